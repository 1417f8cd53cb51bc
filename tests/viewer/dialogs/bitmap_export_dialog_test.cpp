// The bitmap-export dialog driven as a user would: its proposals, the copy
// to the clipboard, and a BMP file that cannot be written.
#include "viewer/dialogs/bitmap_export_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <dlgs.h>

#include <functional>
#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/export/bitmap_export_request.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

std::function<bool(HWND)> script;  // offered each visible dialog of the thread

BOOL CALLBACK Offer(HWND window, LPARAM) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    return std::wstring(name) == L"#32770" && IsWindowVisible(window) && script(window) ? FALSE : TRUE;
}

void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) { EnumThreadWindows(GetCurrentThreadId(), Offer, 0); }

std::wstring Text(HWND dialog, int control) {
    wchar_t text[300] = {};
    GetDlgItemTextW(dialog, control, text, 300);
    return text;
}

void Click(HWND dialog, int control) { SendDlgItemMessageW(dialog, control, BM_CLICK, 0, 0); }

bool IsExportDialog(HWND window) { return GetDlgItem(window, IDC_BITMAP_EXPORT_WIDTH) != nullptr; }

Ref<DocItem> OpenColourPage(RunningViewer& viewer, const std::string& dir) {
    EXPECT_TRUE(MakeFilesIn(dir,
                            "convert -density 72 -units PixelsPerInch -size 60x40 xc:black -channel R"
                            " -fx i/w +channel -depth 8 -type TrueColor -compress none colour.tif"));
    UseEnglish(viewer.context.get());
    return ChildAt(viewer.Open(dir + "/colour.tif").get(), 0);
}

}  // namespace

TEST(BitmapExportDialog, ProposesSizesAndCopiesToTheClipboard) {
    const std::string dir = MakeScratchDir("bitmap_dialog_clipboard");
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> page = OpenColourPage(viewer, dir);
    ASSERT_TRUE(page);
    // The width the dialog starts with: the main view's, or the cut-out at
    // the screen's true size.
    Ref<MainViewWindow> view = FrameGetMainView(ViewerGetFrame(context).get());
    Ref<ViewMapping> mapping = view ? MainViewGetMapping(view.get()) : nullptr;
    BitmapExportRequest request;
    ASSERT_TRUE(BitmapExportRequestInit(request, context, page.get(), mapping.get()));

    std::vector<std::wstring> seen;
    script = [&](HWND dialog) {
        if (!IsExportDialog(dialog) || !seen.empty()) return false;
        wchar_t title[64] = {};
        GetWindowTextW(dialog, title, 64);
        seen = {title, Text(dialog, IDCANCEL), Text(dialog, IDC_BITMAP_EXPORT_WIDTH)};
        for (int control : {IDC_BITMAP_EXPORT_CUTOUT, IDC_BITMAP_EXPORT_DEPTH24}) {
            seen.push_back(IsDlgButtonChecked(dialog, control) ? L"checked" : L"clear");
        }
        seen.push_back(IsWindowEnabled(GetDlgItem(dialog, IDC_BITMAP_EXPORT_MARKUPS)) ? L"markups"
                                                                                      : L"no markups");
        Click(dialog, IDC_BITMAP_EXPORT_ENTIRE);
        SetDlgItemTextW(dialog, IDC_BITMAP_EXPORT_WIDTH, L"90");
        seen.push_back(Text(dialog, IDC_BITMAP_EXPORT_HEIGHT));
        Click(dialog, IDC_BITMAP_EXPORT_ORIGINAL);
        Click(dialog, IDC_BITMAP_EXPORT_DEPTH8);
        seen.push_back(Text(dialog, IDC_BITMAP_EXPORT_WIDTH) + L"x" + Text(dialog, IDC_BITMAP_EXPORT_HEIGHT));
        seen.push_back(Text(dialog, IDC_BITMAP_EXPORT_SIZE_LINE));
        PostMessageW(dialog, WM_COMMAND, IDC_BITMAP_EXPORT_CLIPBOARD, 0);
        return true;
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    const bool exported = ShowBitmapExport(nullptr, context, page.get());
    KillTimer(nullptr, timer);
    ASSERT_TRUE(exported);
    EXPECT_EQ(seen, (std::vector<std::wstring>{
                        L"Screen Copy", L"Close", std::to_wstring(request.view_pixel_width), L"checked",
                        L"checked", L"no markups", L"60", L"60x40", L"Image size: 2 KB"}));
    BITMAPINFOHEADER header = {};
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(CF_DIB)) {
        GlobalLockScope locked(data);
        if (locked.data()) header = *static_cast<const BITMAPINFOHEADER*>(locked.data());
    }
    CloseClipboard();
    // Only the header: another test program may put its own bitmap there too.
    EXPECT_EQ(header.biWidth, 60);
    EXPECT_EQ(header.biHeight, 40);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_FALSE(ShowBitmapExport(nullptr, context, ViewerGetRootItem(context).get())) << "no page";
}

TEST(BitmapExportDialog, FileThatCannotBeWrittenIsReported) {
    const std::string dir = MakeScratchDir("bitmap_dialog_file");
    RunningViewer viewer;
    Ref<DocItem> page = OpenColourPage(viewer, dir);
    ASSERT_TRUE(page);
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    const std::wstring target = WindowsPathOf(dir + "/locked/copy");

    bool file_dialog_seen = false;
    std::wstring message;
    int ticks = 0;
    script = [&](HWND window) {
        if (IsExportDialog(window)) {
            if (ticks++ == 0) PostMessageW(window, WM_COMMAND, IDC_BITMAP_EXPORT_FILE, 0);
            if (!message.empty() || ticks > 100) PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
        } else if (HWND name =
                       GetDlgItem(window, cmb13) ? GetDlgItem(window, cmb13) : GetDlgItem(window, edt1)) {
            file_dialog_seen = true;
            SetWindowTextW(name, target.c_str());
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        } else {
            message = Text(window, 0xFFFF);
            PostMessageW(window, WM_COMMAND, IDOK, 0);
        }
        return true;
    };
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, Tick);
    const bool exported = ShowBitmapExport(nullptr, viewer.context.get(), page.get());
    KillTimer(nullptr, timer);
    if (!file_dialog_seen) GTEST_SKIP() << "no file dialog under this Wine";
    EXPECT_FALSE(exported);
    EXPECT_EQ(message, L"Error while writing int the file.");
    EXPECT_TRUE(locked.Empty());
}
