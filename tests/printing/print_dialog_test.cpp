// The print dialog: its margins in millimetres or inches, the enabling of
// its controls by the provider's features, the page entries and the range
// rules, and dialog 175 itself driven by messages from a second thread,
// found by its title as a user would see it.
#include "printing/print_dialog.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <set>
#include <thread>

#include "printing/print_providers.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "tests/printing/feature_print_provider.h"
#include "tests/printing/print_test_support.h"
#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/views/dib_canvas.h"
#include "viewer/app/app_root.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"

namespace {

namespace f = print_feature;

// Counts what it is asked to print.
class DialogProvider : public FeatureProvider {
  public:
    using FeatureProvider::FeatureProvider;
    bool Print(ViewerContext*, HWND, const PtrArray& pages, PrintOptions*) override {
        printed_pages = PtrArrayCount(pages);
        ++print_calls;
        return true;
    }
    uint32_t printed_pages = 0;
    uint32_t print_calls = 0;
};

bool Enabled(const std::vector<PrintControlEnabling>& table, int control) {
    for (const PrintControlEnabling& entry : table)
        if (entry.control == control) return entry.enabled;
    ADD_FAILURE() << "control " << control << " not in the table";
    return false;
}

struct DialogBed {
    DialogBed() {
        dir = MakeScratchDir("print_dialog");
        MakeFilesIn(dir, "convert -size 300x400 xc:white xc:white xc:white -compress Group4 three.tif");
    }
    Ref<DocumentItem> Open(bool allow_print = true) {
        Ref<OpenParams> params = OpenParamsCreate();
        OpenParamsSetAllowPrint(params.get(), allow_print);
        return viewer.Open(dir + "/three.tif", params.get());
    }
    RunningViewer viewer;
    std::string dir;
};

// Runs `drive` on a second thread once dialog 175 has opened (found by its
// title), while this thread runs the dialog; the drive ends it.
INT_PTR RunDriven(PrintDialog* dialog, const std::function<void(HWND)>& drive) {
    const wchar_t* title = ViewerGetText(dialog->context.get(), text::kPrintDialogTitle);
    std::atomic<bool> found{false};
    std::thread driver([&] {
        for (int i = 0; i < 400; ++i) {
            HWND window = FindWindowW(nullptr, title);
            if (window && GetDlgItem(window, IDC_PRINT_PREVIEW_BOX)) {
                found.store(true);
                drive(window);
                return;
            }
            Sleep(10);
        }
    });
    const INT_PTR result = PrintDialogRun(dialog, nullptr);
    driver.join();
    EXPECT_TRUE(found.load()) << "no window titled by text 2020";
    return result;
}

std::wstring ItemText(HWND window, int id) {
    wchar_t text[64] = {};
    GetDlgItemTextW(window, id, text, 64);
    return text;
}

void Press(HWND window, int id) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(window, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED),
                        reinterpret_cast<LPARAM>(GetDlgItem(window, id)), SMTO_NORMAL, 5000, &answer);
}

void Type(HWND window, int id, const wchar_t* text) {
    DWORD_PTR answer = 0;
    SendMessageTimeoutW(GetDlgItem(window, id), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text), SMTO_NORMAL,
                        5000, &answer);
}

}  // namespace

// Inches shown and typed, and the comma, are the driven dialog's checks below.
TEST(PrintMargins, MillimetresAndInchesBothWays) {
    EXPECT_STREQ(WStrCStr(PrintMarginFormat(12.25, false)), L"12.3");
    EXPECT_STREQ(WStrCStr(PrintMarginFormat(0, false)), L"0.0");
    struct Case {
        const wchar_t* text;
        bool inches;
        double mm;
    };
    for (const Case& c :
         {Case{L"1", true, 25.4}, Case{L"0,5", false, 0.5}, Case{L"199.9", false, 199.9},
          Case{L"200", false, 0}, Case{L"0", false, 0}, Case{L"-3", false, 0}, Case{L"abc", false, 0},
          Case{L"", false, 0}, Case{L"00000000000000000000000012", false, 1} /* 25 characters read */}) {
        EXPECT_NEAR(PrintMarginParse(c.text, c.inches), c.mm, 1e-9) << c.text << (c.inches ? " in" : " mm");
    }
    EXPECT_EQ(PrintMarginParse(nullptr, false), 0);
}

// Each feature enables its controls; orientation only without automatic
// orientation, margins only without centring, the ratio only without fit.
TEST(PrintDialogEnabling, ControlsFollowFeaturesAndOptions) {
    Ref<DialogProvider> none = MakeRef<DialogProvider>(std::set<uint32_t>{});
    Ref<PrintOptions> options = PrintOptionsCreate();
    for (const PrintControlEnabling& entry : PrintDialogEnabling(none.get(), *options, true))
        EXPECT_FALSE(entry.enabled) << entry.control;

    std::set<uint32_t> all;
    for (uint32_t i = 0; i <= 16; ++i) all.insert(i);
    Ref<DialogProvider> every = MakeRef<DialogProvider>(all);
    std::vector<PrintControlEnabling> table = PrintDialogEnabling(every.get(), *options, true);
    EXPECT_FALSE(Enabled(table, IDC_PRINT_PORTRAIT)) << "automatic orientation decides";
    EXPECT_FALSE(Enabled(table, IDC_PRINT_MARGIN_LEFT)) << "centred";
    EXPECT_FALSE(Enabled(table, IDC_PRINT_RATIO_NUMERATOR)) << "fitted";
    for (int id : {IDC_PRINT_COPIES, IDC_PRINT_COLLATE, IDC_PRINT_BIN, IDC_PRINT_PAPER, IDC_PRINT_USER_INFO,
                   IDC_PRINT_MARKUPS, IDC_PRINT_PROPERTIES, IDC_PRINT_FOLD, IDC_PRINT_COVER,
                   IDC_PRINT_CENTRED, IDC_PRINT_FILL, IDC_PRINT_CUT_OUT_ONLY})
        EXPECT_TRUE(Enabled(table, id)) << id;
    EXPECT_FALSE(Enabled(PrintDialogEnabling(every.get(), *options, false), IDC_PRINT_USER_INFO))
        << "the settings forbid changing the user information";

    options->auto_orientation = 0;
    options->centred = 0;
    options->fit = 0;
    table = PrintDialogEnabling(every.get(), *options, true);
    EXPECT_TRUE(Enabled(table, IDC_PRINT_LANDSCAPE));
    EXPECT_TRUE(Enabled(table, IDC_PRINT_MARGIN_BOTTOM));
    EXPECT_TRUE(Enabled(table, IDC_PRINT_RATIO_LABEL));

    // Centring missing: the margins stay usable even with the option on;
    // fit missing: the ratio is usable with the option on.
    all.erase(f::kCentring);
    all.erase(f::kFitToPage);
    Ref<DialogProvider> some = MakeRef<DialogProvider>(all);
    options->centred = options->fit = 1;
    table = PrintDialogEnabling(some.get(), *options, true);
    EXPECT_TRUE(Enabled(table, IDC_PRINT_MARGIN_TOP));
    EXPECT_TRUE(Enabled(table, IDC_PRINT_RATIO_DENOMINATOR));
    EXPECT_FALSE(Enabled(table, IDC_PRINT_CENTRED));
    EXPECT_FALSE(Enabled(table, IDC_PRINT_FILL));
}

// All, then the current page, then selected pages; selected pages with none
// selected picks the active page.
TEST(PrintDialogRange, SwitchingRangesFollowsTheActivePage) {
    DialogBed bed;
    Ref<DocumentItem> document = bed.Open();
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    ViewerSetActiveItem(bed.viewer.context.get(), DocItemGetChild(document.get(), 1).get());
    Ref<PrintDialog> dialog = PrintDialogCreate(bed.viewer.context.get(), document.get());
    ASSERT_TRUE(dialog);
    PrintDialogBuildEntries(dialog.get());
    ASSERT_EQ(dialog->entries.size(), 3u) << "the pages, not the document";
    EXPECT_EQ(dialog->entries[0].depth, 2u);

    dialog->options->range = print_range::kAllPages;
    PrintDialogApplyRange(dialog.get());
    EXPECT_EQ(PrintDialogSelectedCount(dialog.get()), 3u);
    EXPECT_EQ(dialog->shown, 0);

    dialog->options->range = print_range::kCurrentPage;
    PrintDialogApplyRange(dialog.get());
    EXPECT_EQ(PrintDialogSelectedCount(dialog.get()), 1u);
    EXPECT_TRUE(dialog->entries[1].selected);
    EXPECT_EQ(dialog->shown, 1);

    dialog->options->range = print_range::kSelectedPages;
    PrintDialogApplyRange(dialog.get());
    EXPECT_EQ(PrintDialogSelectedCount(dialog.get()), 1u);
    EXPECT_TRUE(dialog->entries[1].selected);

    for (PrintPageEntry& entry : dialog->entries) entry.selected = false;
    dialog->shown = -1;
    PrintDialogApplyRange(dialog.get());
    EXPECT_TRUE(dialog->entries[1].selected);
    EXPECT_EQ(dialog->shown, 1);
}

// Dialog 175 from outside: inches show 25.4 mm as "1.00", a typed 8 (inches)
// is stored as 0, a comma is a decimal point; "All" and OK hand the three
// pages to the provider, and the options outlive the dialog in the root.
TEST(PrintDialogWindow, DrivenByMessages) {
    DialogBed bed;
    Ref<DocumentItem> document = bed.Open();
    ASSERT_TRUE(document);
    ViewerSetActiveItem(bed.viewer.context.get(), DocItemGetChild(document.get(), 0).get());
    Ref<DialogProvider> provider =
        MakeRef<DialogProvider>(std::set<uint32_t>{f::kMargins, f::kRatio, f::kFitToPage});
    ASSERT_TRUE(PrintProvidersAdd(bed.viewer.root->print_providers, provider.get()));
    Settings* settings = AppGetSettings(bed.viewer.root.get()).get();
    ASSERT_TRUE(SettingsSetLengthUnit(settings, nullptr, kCallerInternal, 2));

    Ref<PrintDialog> dialog = PrintDialogCreate(bed.viewer.context.get(), document.get());
    ASSERT_TRUE(dialog);
    dialog->options->margin_top = 25.4;
    dialog->options->range = print_range::kCurrentPage;
    PrintOptions* options = dialog->options.get();
    std::wstring shown_top, unit;
    double after_eight = -1, after_comma = -1;
    bool centred_enabled = true;
    uint32_t range_after_all = 99;
    const INT_PTR result = RunDriven(dialog.get(), [&](HWND window) {
        shown_top = ItemText(window, IDC_PRINT_MARGIN_TOP);
        unit = ItemText(window, IDC_PRINT_UNIT_TOP);
        centred_enabled = IsWindowEnabled(GetDlgItem(window, IDC_PRINT_CENTRED)) != FALSE;
        Type(window, IDC_PRINT_MARGIN_TOP, L"8");
        after_eight = options->margin_top;
        Type(window, IDC_PRINT_MARGIN_LEFT, L"0,5");
        after_comma = options->margin_left;
        Press(window, IDC_PRINT_ALL);
        range_after_all = options->range;
        Press(window, IDOK);
    });
    EXPECT_EQ(result, IDOK);
    EXPECT_EQ(shown_top, L"1.00");
    EXPECT_EQ(unit, ViewerGetText(bed.viewer.context.get(), text::kPrintUnitInch));
    EXPECT_FALSE(centred_enabled) << "no centring feature";
    EXPECT_EQ(after_eight, 0) << "8 inches is beyond 200 mm";
    EXPECT_NEAR(after_comma, 12.7, 1e-9);
    EXPECT_EQ(range_after_all, print_range::kAllPages);
    EXPECT_EQ(provider->print_calls, 1u);
    EXPECT_EQ(provider->printed_pages, 3u);
    dialog.Reset();
    Ref<PrintOptions> kept = PrintOptionsTake(bed.viewer.root.get());
    EXPECT_EQ(kept.get(), options) << "the root keeps the last options";
    EXPECT_EQ(kept->range, print_range::kAllPages);

    // A document opened with noprint: OK prints nothing, and says so.
    Ref<DocumentItem> forbidden = bed.Open(false);
    dialog = PrintDialogCreate(bed.viewer.context.get(), forbidden.get());
    std::atomic<bool> told{false};
    std::thread closer([&] {
        const wchar_t* caption = ViewerGetText(bed.viewer.context.get(), text::kError);
        for (int i = 0; i < 1000 && !told.load(); ++i, Sleep(10)) {
            if (HWND box = FindWindowW(L"#32770", caption)) {
                told.store(true);
                PostMessageW(box, WM_COMMAND, IDOK, 0);
            }
        }
    });
    EXPECT_EQ(RunDriven(dialog.get(), [&](HWND window) { Press(window, IDOK); }), IDOK);
    closer.join();
    EXPECT_TRUE(told.load()) << "no box says that nothing can be printed";
    EXPECT_EQ(provider->print_calls, 1u);
}

// The preview, read through WM_PRINTCLIENT: the paper in its grey inside the
// box, and the page's black top half on it, above its white lower half.
TEST(PrintDialogWindow, PreviewShowsThePageOnThePaper) {
    DialogBed bed;
    MakeFilesIn(bed.dir,
                "convert -size 1000x1400 xc:white -fill black -draw 'rectangle 0,0 999,699' "
                "-units PixelsPerInch -density 254 -monochrome -compress Group4 half.tif");
    Ref<DocumentItem> document = bed.viewer.Open(bed.dir + "/half.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    ViewerSetActiveItem(bed.viewer.context.get(), DocItemGetChild(document.get(), 0).get());
    Ref<DialogProvider> provider = MakeRef<DialogProvider>(std::set<uint32_t>{f::kFitToPage, f::kCentring});
    ASSERT_TRUE(PrintProvidersAdd(bed.viewer.root->print_providers, provider.get()));
    Ref<PrintDialog> dialog = PrintDialogCreate(bed.viewer.context.get(), document.get());
    ASSERT_TRUE(dialog);
    dialog->options->range = print_range::kCurrentPage;
    RectI box;
    std::unique_ptr<DibCanvas> canvas;
    RunDriven(dialog.get(), [&](HWND window) {
        RECT client = {};
        GetClientRect(window, &client);
        canvas = std::make_unique<DibCanvas>(client.right, client.bottom, 0x7F7F7F);
        DWORD_PTR answer = 0;
        SendMessageTimeoutW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc()), PRF_CLIENT,
                            SMTO_NORMAL, 10000, &answer);
        box = dialog->preview_box;
        Press(window, IDCANCEL);
    });
    ASSERT_TRUE(canvas && canvas->ok());
    ASSERT_GT(box.size.width, 50);
    const int32_t centre_x = box.origin.x + box.size.width / 2;
    const int32_t top = box.origin.y + box.size.height / 4, bottom = box.origin.y + box.size.height * 7 / 8;
    EXPECT_EQ(canvas->Pixel(centre_x, top), 0u) << "the page's black half";
    EXPECT_EQ(canvas->Pixel(centre_x, bottom), 0xFFFFFFu) << "the page's white half";
    // Portrait paper in a wider box: the box's far sides are button face.
    const COLORREF face = GetSysColor(COLOR_BTNFACE);  // 0xBBGGRR; the DIB holds 0xRRGGBB
    EXPECT_EQ(canvas->Pixel(box.origin.x + 1, box.origin.y + box.size.height / 2),
              (uint32_t{GetRValue(face)} << 16) | (uint32_t{GetGValue(face)} << 8) | GetBValue(face));
}

// A plug-in's bin without a name is left out of the list: the combo still
// shows the bin the provider has chosen, found by the provider's index.
TEST(PrintDialogWindow, BinListShowsTheChosenBinAfterAnUnnamedOne) {
    SettingsKeyRedirect redirect("PrintDialogWindow_Bins");  // the plug-in stores its choices
    DialogBed bed;
    Ref<DocumentItem> document = bed.Open();
    ASSERT_TRUE(document);
    const std::string folder = PluginFolder("print_dialog_bins", "probe", {"plp_gapbin.dll"});
    PrintProviders& providers = bed.viewer.root->print_providers;
    PrintProvidersLoadPluginsFrom(providers, PluginFolderArgument(folder));
    ASSERT_EQ(PrintProvidersCount(providers), 1u);
    Ref<PrintProvider> provider = PrintProvidersGet(providers, 0);
    ViewerContext* context = bed.viewer.context.get();
    ASSERT_TRUE(PrintProviderSelectPrinterAt(provider.get(), context, 0));
    ASSERT_TRUE(provider->SelectBin(context, 1));
    Ref<PrintDialog> dialog = PrintDialogCreate(context, document.get());
    ASSERT_TRUE(dialog);
    std::wstring shown;
    LRESULT listed = 0;
    RunDriven(dialog.get(), [&](HWND window) {
        shown = ItemText(window, IDC_PRINT_BIN);
        listed = SendDlgItemMessageW(window, IDC_PRINT_BIN, CB_GETCOUNT, 0, 0);
        Press(window, IDCANCEL);
    });
    EXPECT_EQ(listed, 2) << "the unnamed bin is not listed";
    EXPECT_EQ(shown, L"Tray 1") << "bin 1 chosen";
}
