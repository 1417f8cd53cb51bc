#include "viewer/dialogs/open_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <dlgs.h>

#include <string>

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/open_request.h"

namespace {

bool dialog_seen = false;

// Types three names into the file dialog and confirms them.
BOOL CALLBACK TypeNamesAndConfirm(HWND window, LPARAM) {
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (std::wstring(class_name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
    dialog_seen = true;
    SetDlgItemTextW(window, cmb13, L"\"a.tif\" \"b.tif\" \"c.tif\"");
    PostMessageW(window, WM_COMMAND, IDOK, 0);
    return FALSE;
}

void CALLBACK AnswerDialog(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), TypeNamesAndConfirm, 0);
}

}  // namespace

TEST(OpenDialog, DISABLED_ThreeChosenFilesBecomeOneRequest) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("open_dialog");
    // Real (tiny) images: the request is carried out, and a file the viewer
    // cannot show would stop the test at its message box.
    const std::string spacer("GIF89a\x01\x00\x01\x00\x80\x00\x00\x00\x00\x00\xff\xff\xff!\xf9\x04\x01"
                             "\x00\x00\x00\x00,\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02"
                             "D\x01\x00;",
                             43);
    for (const char* name : {"a.tif", "b.tif", "c.tif"}) WriteText(dir + "/" + name, spacer);
    const std::wstring folder = WindowsPathOf(dir);
    wchar_t previous[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, previous);
    ASSERT_TRUE(SetCurrentDirectoryW(folder.c_str()));
    const UINT_PTR timer = SetTimer(nullptr, 0, 200, AnswerDialog);
    const bool chosen = RunOpenDialog(viewer.context.get());
    KillTimer(nullptr, timer);
    SetCurrentDirectoryW(previous);
    if (!dialog_seen) GTEST_SKIP() << "no file dialog under this Wine";
    EXPECT_TRUE(chosen);
    ASSERT_EQ(viewer.Count(event::kOpenRequest), 1u);
    const ReceivedEvent& received = viewer.listener->events.back();
    ASSERT_EQ(received.code, event::kOpenRequest);
    Ref<RefCounted> object = VariantGetObject(received.argument);
    auto* request = static_cast<OpenRequest*>(object.get());
    ASSERT_TRUE(request);
    EXPECT_EQ(request->mode, uint32_t(kOpenInteractive));
    EXPECT_EQ(std::wstring(WStrCStr(request->paths)),
              folder + L"\\a.tif\t" + folder + L"\\b.tif\t" + folder + L"\\c.tif");
}
