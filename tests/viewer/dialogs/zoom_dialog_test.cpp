// The zoom-factor dialog: what the typed percentage becomes, and the dialog
// itself from its template, driven by posted clicks.
#include "viewer/dialogs/zoom_dialog.h"

#include <gtest/gtest.h>

#include <cmath>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/number_format.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

TEST(ZoomDialog, TypedPercentagesBecomeFactors) {
    const struct {
        const wchar_t* text;
        bool ok;
        double factor;
    } cases[] = {
        {L"150", true, 1.5},  {L"12,5", true, 0.125},  {L"12.5", true, 0.125},    {L"100 %", true, 1.0},
        {L"  80", true, 0.8}, {L"0.01", true, 0.0001}, {L"1000000", true, 10000}, {L"1000001", false, 0},
        {L"0", false, 0},     {L"0,009", false, 0},    {L"", false, 0},           {L"abc", false, 0},
        {L"-50", false, 0},   {L"nan", false, 0},      {L"inf", false, 0},
    };
    for (const auto& c : cases) {
        double factor = -7;
        EXPECT_EQ(ZoomDialogParsePercent(WString(c.text), factor), c.ok) << "\"" << c.text << "\"";
        if (c.ok) {
            EXPECT_NEAR(factor, c.factor, 1e-12);
        } else {
            EXPECT_EQ(factor, -7);
        }
    }
}

TEST(ZoomDialog, ShowsTheFactorAndReturnsTheChoice) {
    ActionViewer viewer;
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    {
        ScopedLock hold(viewer.context->lock);
        viewer.context->language = 1;
    }
    ZoomDialogRecord record;
    record.zoom_factor = 1.5;
    record.context = viewer.context.get();

    std::wstring caption, shown;
    bool checked = true;
    int round = 0;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        // First a value out of range: OK keeps the dialog open; then 12,5 %
        // with "Fixed" ticked.
        wchar_t text[64] = {};
        if (round == 0) {
            GetWindowTextW(dialog, text, 64);
            caption = text;
            GetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, text, 64);
            shown = text;
            checked = IsDlgButtonChecked(dialog, IDC_ZOOM_FACTOR_FIXED) == BST_CHECKED;
            SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, L"0");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            ++round;
            return false;
        }
        EXPECT_TRUE(IsWindowVisible(dialog)) << "an invalid value keeps the dialog";
        SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, L"12,5");
        CheckDlgButton(dialog, IDC_ZOOM_FACTOR_FIXED, BST_CHECKED);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    const INT_PTR result = DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ZOOM_FACTOR),
                                           nullptr, ZoomDialogProc, reinterpret_cast<LPARAM>(&record));
    EXPECT_EQ(result, 1);
    EXPECT_EQ(caption, L"Set zoomfactor");
    EXPECT_EQ(shown, L"150");
    EXPECT_FALSE(checked);
    EXPECT_DOUBLE_EQ(record.zoom_factor, 0.125);
    EXPECT_EQ(record.fixed, 1);
}

TEST(ZoomDialog, RefusedWithoutAShownZoomOrUnderTheRestriction) {
    ActionViewer viewer;
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    // Nothing is shown, so there is no zoom to start with.
    EXPECT_FALSE(ViewerShowZoomDialog(viewer.context.get(), 0));
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kZoom);
    EXPECT_FALSE(ViewerShowZoomDialog(viewer.context.get(), 0));
    EXPECT_FALSE(ViewerShowZoomDialog(nullptr, 2));
    EXPECT_EQ(driver.dialogs, 0);
}

TEST(ZoomDialog, ZoomFactorCommandFixesTheFactorOrZoomsThePage) {
    const std::string dir = MakeScratchDir("zoom_dialog_command");
    MakeTiff(dir + "/drawing.tif", 1);
    ActionViewer viewer;
    ASSERT_TRUE(viewer.OpenFrame());
    ASSERT_EQ(viewer.Open({dir + "/drawing.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kFirstPage));
    Ref<FrameWindow> frame = AppGetFrame(viewer.root.get());
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    ASSERT_TRUE(view);
    PumpPending();
    MainViewGetMapping(view.get());
    const double shown = MainViewGetScale(view.get());
    ASSERT_GT(shown, 0.0);
    Ref<CutOutState> cut_out = viewer.ActiveCutOut();

    // The dialog starts with the view's factor; "Fixed" makes it every
    // page's and leaves the page alone.
    std::wstring first_text;
    {
        DialogDriver driver([&](DialogDriver&, HWND dialog) {
            wchar_t text[32] = {};
            GetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, text, 32);
            first_text = text;
            SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, L"200");
            CheckDlgButton(dialog, IDC_ZOOM_FACTOR_FIXED, BST_CHECKED);
            PostMessageW(dialog, WM_COMMAND, IDOK, 0);
            return true;
        });
        EXPECT_TRUE(viewer.Command(command::kZoomFactor));
        EXPECT_EQ(driver.dialogs, 1);
    }
    WStrBuilder expected(16);
    FormatDecimalAuto(shown * 100, expected);
    EXPECT_EQ(first_text, WStrBuilderCStr(expected));
    EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), 2.0);
    EXPECT_EQ(CutOutGetZoom(cut_out.get()), 0.0);

    // Now it starts with the fixed factor ticked; without "Fixed" the fixed
    // factor goes and the page takes the zoom.
    bool was_fixed = false;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        wchar_t text[32] = {};
        GetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, text, 32);
        first_text = text;
        was_fixed = IsDlgButtonChecked(dialog, IDC_ZOOM_FACTOR_FIXED) == BST_CHECKED;
        SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, L"50");
        CheckDlgButton(dialog, IDC_ZOOM_FACTOR_FIXED, BST_UNCHECKED);
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    EXPECT_TRUE(viewer.Command(command::kZoomFactor));
    EXPECT_EQ(first_text, L"200");
    EXPECT_TRUE(was_fixed);
    EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), 0.0);
    EXPECT_EQ(CutOutGetZoom(cut_out.get()), 0.5);
}
