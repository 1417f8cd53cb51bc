// The zoom-factor dialog: what the typed percentage becomes, and the dialog
// run by the zoom-factor command on a shown page.
#include "viewer/dialogs/zoom_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/number_format.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

TEST(ZoomDialog, CommandFixesTheFactorOrZoomsThePage) {
    const std::string dir = MakeScratchDir("zoom_dialog_command");
    MakeTiff(dir + "/drawing.tif", 1);
    ActionViewer viewer;
    // Refused without a shown zoom, under the restriction, without a viewer.
    auto refused = [&](ViewerContext* context) {
        ModalScript script([](HWND dialog) { return Post(dialog, IDCANCEL), true; });
        return !ViewerShowZoomDialog(context, 0) && script.answered == 0;
    };
    EXPECT_TRUE(refused(viewer.context.get()));
    ASSERT_TRUE(viewer.OpenFrame());
    UseEnglish(viewer.context.get());
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    Ref<MainViewWindow> view = FrameGetMainView(AppGetFrame(viewer.root.get()).get());
    ASSERT_TRUE(view);
    PumpPending();
    MainViewGetMapping(view.get());
    WStrBuilder shown(16);
    FormatDecimalAuto(MainViewGetScale(view.get()) * 100, shown);
    Ref<CutOutState> cut_out = viewer.ActiveCutOut();

    // It starts with the view's factor; a value out of range keeps it open;
    // "Fixed" makes the factor every page's and leaves the page alone.
    // Then it starts with the fixed factor ticked; without "Fixed" that
    // goes and the page takes the zoom.
    const struct {
        const wchar_t* typed;
        bool fixed;
        std::wstring offered;
        double setting, page;
    } cases[] = {{L"200", true, WStrBuilderCStr(shown), 2.0, 0.0}, {L"50", false, L"200 fixed", 0.0, 0.5}};
    for (const auto& c : cases) {
        std::vector<std::wstring> seen;
        ModalScript script([&](HWND dialog) {
            seen = {WindowText(dialog),
                    ItemText(dialog, IDC_ZOOM_FACTOR) + (Checked(dialog, IDC_ZOOM_FACTOR_FIXED) ? L" fixed" : L"")};
            SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, L"0");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            seen.push_back(IsWindowVisible(dialog) ? L"open" : L"closed");
            SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, c.typed);
            CheckDlgButton(dialog, IDC_ZOOM_FACTOR_FIXED, c.fixed ? BST_CHECKED : BST_UNCHECKED);
            Post(dialog, IDOK);
            return true;
        });
        EXPECT_TRUE(viewer.Command(command::kZoomFactor));
        EXPECT_EQ(seen, (std::vector<std::wstring>{L"Set zoomfactor", c.offered, L"open"}));
        EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), c.setting);
        EXPECT_EQ(CutOutGetZoom(cut_out.get()), c.page);
    }
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kZoom);
    EXPECT_TRUE(refused(viewer.context.get()));
    EXPECT_TRUE(refused(nullptr));
}
