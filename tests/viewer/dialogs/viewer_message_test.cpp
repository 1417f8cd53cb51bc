#include "viewer/dialogs/viewer_message.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/text_ids.h"
#include "tests/viewer/documents/document_test_support.h"

namespace {

std::wstring box_caption, box_text;

BOOL CALLBACK ReadAndClose(HWND window, LPARAM) {
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (std::wstring(class_name) != L"#32770") return TRUE;
    wchar_t text[200] = {};
    GetWindowTextW(window, text, 200);
    box_caption = text;
    // The message is the box's one static text with words in it.
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetClassNameW(child, class_name, 16);
        GetWindowTextW(child, text, 200);
        if (std::wstring(class_name) == L"Static" && text[0]) box_text = text;
    }
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK CloseBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), ReadAndClose, 0);
}

}  // namespace

TEST(ViewerShowMessage, KindsDecideWhetherABoxShows) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    for (uint32_t kind : {0u, 1u, 2u}) EXPECT_EQ(ViewerShowMessage(context, 5002, kind), 1) << kind;
    EXPECT_EQ(ViewerShowMessage(context, 5002, 6), -1);
    EXPECT_EQ(ViewerShowMessage(nullptr, 5002, 3), -1);

    const UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseBox);
    EXPECT_EQ(ViewerShowMessage(context, 5002, 3), IDOK);
    KillTimer(nullptr, timer);
    EXPECT_EQ(box_caption, ViewerGetText(context, text::kError));
    EXPECT_EQ(box_text, ViewerGetText(context, 5002));
}
