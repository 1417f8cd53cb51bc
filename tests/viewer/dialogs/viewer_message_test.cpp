#include "viewer/dialogs/viewer_message.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/text_ids.h"
#include "tests/viewer/documents/document_test_support.h"

namespace {

std::wstring box_caption, box_text;

// Reads the message box's caption and its text (the static 0xFFFF), then closes it.
BOOL CALLBACK ReadAndClose(HWND window, LPARAM) {
    wchar_t text[200] = {};
    GetClassNameW(window, text, 200);
    if (std::wstring(text) != L"#32770") return TRUE;
    GetWindowTextW(window, text, 200);
    box_caption = text;
    GetDlgItemTextW(window, 0xFFFF, text, 200);
    box_text = text;
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK CloseBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), ReadAndClose, 0);
}

}  // namespace

TEST(ViewerShowMessage, ErrorBoxShowsTheTextUnderItsCaption) {
    RunningViewer viewer;
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseBox);
    EXPECT_EQ(ViewerShowMessage(viewer.context.get(), 5002, 3), IDOK);
    KillTimer(nullptr, timer);
    EXPECT_EQ(box_caption, ViewerGetText(viewer.context.get(), text::kError));
    EXPECT_EQ(box_text, ViewerGetText(viewer.context.get(), 5002));
}
