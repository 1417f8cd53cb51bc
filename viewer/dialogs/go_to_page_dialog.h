// The dialog that asks for a page number.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class ViewerContext;

struct GoToPageState {
    int32_t page_count = 0;
    int32_t index = -1;                // the current page, and the choice (0-based); -1 none
    ViewerContext* context = nullptr;  // borrowed
};

// Characters the number edit takes.
inline constexpr uint32_t kGoToPageEditLimit = 5;

// The typed text as a choice: false (the dialog beeps and stays open) when
// the number is past the page count; else the index is the number - 1, or
// -1 for an empty text or a number below 1.
bool GoToPageParse(const WString& text, int32_t page_count, int32_t& index);
// Runs the dialog modally; true when the user confirmed a choice, which is
// then in state.index (-1: none).
bool GoToPageDialog(HWND owner, GoToPageState& state);
