// The bitmap-export dialog driven as a user would: its proposals, a BMP
// file that cannot be written, then the copy to the clipboard.
#include "viewer/dialogs/bitmap_export_dialog.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/export/bitmap_export_request.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

TEST(BitmapExportDialog, ProposesSizesReportsAFailedFileAndCopiesToTheClipboard) {
    const std::string dir = MakeScratchDir("bitmap_dialog");
    ASSERT_TRUE(MakeFilesIn(dir, "convert -density 72 -units PixelsPerInch -size 60x40 xc:black -channel R"
                                 " -fx i/w +channel -depth 8 -type TrueColor -compress none colour.tif"));
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    ActionViewer viewer;
    // The clipboard belongs to the frame: without one the copy is refused.
    ASSERT_TRUE(viewer.OpenFrame());
    UseEnglish(viewer.context.get());
    viewer.Open({dir + "/colour.tif"});
    Ref<DocItem> page = viewer.Page(0, 0);
    ASSERT_TRUE(page);
    // The width it starts with: the main view's, or the cut-out at the
    // screen's true size.
    Ref<MainViewWindow> view = FrameGetMainView(ViewerGetFrame(viewer.context.get()).get());
    Ref<ViewMapping> mapping = view ? MainViewGetMapping(view.get()) : nullptr;
    BitmapExportRequest request;
    ASSERT_TRUE(BitmapExportRequestInit(request, viewer.context.get(), page.get(), mapping.get()));

    std::vector<std::wstring> seen;
    bool file_dialog_seen = false;
    ModalScript script([&](HWND window) {
        if (IsFileDialog(window)) {
            file_dialog_seen = true;
            ChooseFileName(window, WindowsPathOf(dir + "/locked/copy"));
            return true;
        }
        if (!GetDlgItem(window, IDC_BITMAP_EXPORT_WIDTH)) {  // the failure's message box
            seen.push_back(BoxText(window));
            Post(window, IDOK);
            // Now the copy that works.
            Post(GetWindow(window, GW_OWNER), IDC_BITMAP_EXPORT_CLIPBOARD);
            return true;
        }
        seen = {WindowText(window), ItemText(window, IDCANCEL), ItemText(window, IDC_BITMAP_EXPORT_WIDTH)};
        for (int control : {IDC_BITMAP_EXPORT_CUTOUT, IDC_BITMAP_EXPORT_DEPTH24})
            seen.push_back(Checked(window, control) ? L"checked" : L"clear");
        seen.push_back(Enabled(window, IDC_BITMAP_EXPORT_MARKUPS) ? L"markups" : L"no markups");
        Click(window, IDC_BITMAP_EXPORT_ENTIRE);
        SetDlgItemTextW(window, IDC_BITMAP_EXPORT_WIDTH, L"90");
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_HEIGHT));
        Click(window, IDC_BITMAP_EXPORT_ORIGINAL);
        Click(window, IDC_BITMAP_EXPORT_DEPTH8);
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_WIDTH) + L"x" +
                       ItemText(window, IDC_BITMAP_EXPORT_HEIGHT));
        seen.push_back(ItemText(window, IDC_BITMAP_EXPORT_SIZE_LINE));
        Post(window, IDC_BITMAP_EXPORT_FILE);
        return true;
    });
    ASSERT_TRUE(ShowBitmapExport(nullptr, viewer.context.get(), page.get()));
    EXPECT_TRUE(file_dialog_seen);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Screen Copy", L"Close", std::to_wstring(request.view_pixel_width),
                                               L"checked", L"checked", L"no markups", L"60", L"60x40",
                                               L"Image size: 2 KB", L"Error while writing int the file."}));
    EXPECT_TRUE(locked.Empty());
    BITMAPINFOHEADER header = {};
    ASSERT_TRUE(OpenClipboard(nullptr));
    if (HANDLE data = GetClipboardData(CF_DIB)) {
        GlobalLockScope hold(data);
        if (hold.data()) header = *static_cast<const BITMAPINFOHEADER*>(hold.data());
    }
    CloseClipboard();
    // Only the header: another test program may put its own bitmap there too.
    EXPECT_EQ(header.biWidth, 60);
    EXPECT_EQ(header.biHeight, 40);
    EXPECT_EQ(header.biBitCount, 8);
    EXPECT_FALSE(ShowBitmapExport(nullptr, viewer.context.get(), viewer.RootItem().get())) << "no page";
}
