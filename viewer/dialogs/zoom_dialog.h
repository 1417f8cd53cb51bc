// The zoom-factor dialog: the main view's factor as a percentage, and
// whether it is to be the fixed factor of every page.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class ViewerContext;

// Bounds of a typed percentage, both accepted.
inline constexpr double kZoomPercentMin = 0.01;
inline constexpr double kZoomPercentMax = 1000000.0;
// Characters the edit takes, and that are read back.
inline constexpr uint32_t kZoomEditLimit = 8;
inline constexpr uint32_t kZoomReadLimit = 9;

// What the dialog shows and returns; the dialog keeps it as its user data.
struct ZoomDialogRecord {
    double zoom_factor = 0.0;  // a fraction: 1 is 100 %
    uint8_t fixed = 0;
    ViewerContext* context = nullptr;  // borrowed
};

// The typed text as a fraction: ',' read as '.', the leading number taken
// and what follows it ignored; false for an empty text, no leading number,
// or a percentage outside 0.01 to 1000000.
bool ZoomDialogParsePercent(const WString& text, double& factor);
INT_PTR CALLBACK ZoomDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam);
// Runs the dialog over the frame and applies the choice to the active page.
// Refused (false) under the zoom restriction unless `kind` waives it,
// without frame, main view or settings, or while the main view shows no
// zoom. True when the user confirmed.
bool ViewerShowZoomDialog(ViewerContext* context, uint32_t kind);
