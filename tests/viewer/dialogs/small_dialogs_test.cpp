// The dialog kit's combos on a real control; the scale, go-to-page and
// zoom-factor dialogs worked as a user would (what typed input becomes, what
// keeps them open, what Cancel leaves alone); the About box's texts from a
// version block that windres compiled into a library at test time.
#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/number_format.h"
#include "viewer/core/scale.h"
#include "viewer/dialogs/about_dialog.h"
#include "viewer/dialogs/dialog_kit.h"
#include "viewer/dialogs/go_to_page_dialog.h"
#include "viewer/dialogs/info_box.h"
#include "viewer/dialogs/scale_dialog.h"
#include "viewer/dialogs/zoom_dialog.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

constexpr int kItem = 100;
constexpr int kOtherItem = 101;

// A top-level window with one child control of id kItem.
struct Host {
    Host(const wchar_t* child_class, DWORD child_style) {
        parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                 nullptr);
        child = CreateWindowExW(0, child_class, L"", WS_CHILD | WS_VISIBLE | child_style, 0, 0, 200, 100,
                                parent, reinterpret_cast<HMENU>(INT_PTR(kItem)), nullptr, nullptr);
    }
    ~Host() { DestroyWindow(parent); }
    HWND parent, child;
};

}  // namespace

TEST(ComboData, SelectsAndReadsPointerWideItemData) {
    Host host(L"COMBOBOX", CBS_DROPDOWNLIST);
    const INT_PTR wide = INT_PTR(1) << (sizeof(INT_PTR) * 8 - 2);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"zero", 0), 0);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"ninety", 90), 1);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"wide", wide), 2);
    EXPECT_EQ(ComboAddText(host.parent, kOtherItem, L"nowhere", 1), -1);
    INT_PTR data = -5;
    EXPECT_EQ(ComboGetSelData(host.child, data), -1);
    for (INT_PTR wanted : {INT_PTR(90), wide}) {
        EXPECT_EQ(ComboSelectByData(host.child, wanted), wanted == 90 ? 1 : 2);
        EXPECT_EQ(ComboGetSelData(host.child, data), wanted == 90 ? 1 : 2);
        EXPECT_EQ(data, wanted);
    }
    // No item has it: nothing stays selected.
    EXPECT_EQ(ComboSelectByData(host.child, 45), -1);
    EXPECT_EQ(ComboGetSelData(host.child, data), -1);
}

TEST(ScaleDialog, TypedScaleComesBackOnOkAndCancelChangesNothing) {
    RunningViewer viewer;
    Ref<Scale> current = ScaleCreateDecimal(0.04), chosen;
    std::vector<std::wstring> seen;
    auto run = [&](const Scale* start, std::function<void(HWND)> steps) {
        ModalScript script([&](HWND dialog) { return steps(dialog), true; });
        return ShowScaleDialog(viewer.context.get(), nullptr, start, chosen);
    };
    EXPECT_EQ(run(current.get(),
                  [&](HWND dialog) {
                      seen = {ItemText(dialog, IDC_SCALE_FIRST), ItemText(dialog, IDC_SCALE_SECOND)};
                      SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"");
                      seen.push_back(Enabled(dialog, IDOK) ? L"OK" : L"no OK");
                      SetDlgItemTextW(dialog, IDC_SCALE_FIRST, L"1,5");
                      SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"100");
                      Post(dialog, IDOK);
                  }),
              1);
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"1", L"25.0", L"no OK"}));
    ASSERT_TRUE(chosen);
    EXPECT_DOUBLE_EQ(ScaleGetRatio(chosen.get()), 0.015);

    // "Unknown": the fields grey and OK gives no scale.
    bool first_enabled = true;
    EXPECT_EQ(run(current.get(),
                  [&](HWND dialog) {
                      Click(dialog, IDC_SCALE_UNKNOWN);
                      first_enabled = Enabled(dialog, IDC_SCALE_FIRST);
                      Post(dialog, IDOK);
                  }),
              1);
    EXPECT_FALSE(first_enabled);
    EXPECT_FALSE(chosen);
    chosen = current;
    EXPECT_EQ(run(nullptr, [&](HWND dialog) { Post(dialog, IDCANCEL); }), 0);
    EXPECT_EQ(chosen.get(), current.get());
}

TEST(GoToPage, DialogActivatesPageNMinusOneAndNothingElse) {
    ActionViewer viewer;
    UseEnglish(viewer.context.get());
    const std::string dir = MakeScratchDir("go_to_page");
    MakeTiff(dir + "/three.tif", 3);
    viewer.Open({dir + "/three.tif"});
    ViewerSetActiveItem(viewer.context.get(), viewer.Page(0, 1).get());
    const int32_t second = viewer.ActiveId();

    // 0, empty and Cancel change nothing; the current page is offered.
    for (const wchar_t* typed : {L"0", L"", static_cast<const wchar_t*>(nullptr)}) {
        std::wstring offered;
        ModalScript script([&](HWND dialog) {
            offered = ItemText(dialog, IDC_GO_TO_PAGE_NUMBER);
            if (typed) SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, typed);
            Post(dialog, typed ? IDOK : IDCANCEL);
            return true;
        });
        EXPECT_FALSE(ViewerGoToPage(viewer.context.get(), -1));
        EXPECT_EQ(offered, L"2");
        EXPECT_EQ(viewer.ActiveId(), second);
    }

    // The page count + 1 keeps the dialog open; 3 then activates page 2.
    std::vector<std::wstring> seen;
    ModalScript script([&](HWND dialog) {
        if (seen.empty()) {
            seen = {WindowText(dialog), ItemText(dialog, IDC_GO_TO_PAGE_LABEL),
                    ItemText(dialog, IDC_GO_TO_PAGE_COUNT)};
            SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"4");
            SendMessageW(dialog, WM_COMMAND, IDOK, 0);
            seen.push_back(IsWindowVisible(dialog) ? L"open" : L"closed");
            SetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, L"3");
            Post(dialog, IDOK);
        }
        return true;
    });
    EXPECT_TRUE(ViewerGoToPage(viewer.context.get(), -1));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Go to page", L"Go to page", L"3", L"open"}));
    EXPECT_EQ(viewer.ActiveId(), DocItemGetId(viewer.Page(0, 2).get()));
}

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
            seen = {WindowText(dialog), ItemText(dialog, IDC_ZOOM_FACTOR) +
                                            (Checked(dialog, IDC_ZOOM_FACTOR_FIXED) ? L" fixed" : L"")};
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

namespace {

// A German string table with five of the six texts (Address2 empty, no
// Fax), and an English one that must not be read.
constexpr char kVersionScript[] = R"(1 VERSIONINFO
FILEVERSION 5,2,9,1024
PRODUCTVERSION 5,2,9,1024
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "CompanyName", "English Maker Ltd\0"
    END
    BLOCK "040704b0"
    BEGIN
      VALUE "CompanyName", "Ostrel Zeichnungstechnik GmbH\0"
      VALUE "Address1", "Musterweg 5\0"
      VALUE "Address2", "\0"
      VALUE "Phone", "+49 30 1234-0\0"
      VALUE "EMail", "info@example.com\0"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x407, 1200, 0x409, 1200
  END
END
)";

std::string BuildVersionLibrary() {
    const std::string dir = MakeScratchDir("about_version");
    WriteText(dir + "/version.rc", kVersionScript);
    // Not named version.dll: a module of a loaded module's name would be
    // taken for that one.
    EXPECT_TRUE(MakeFilesIn(dir,
                            "i686-w64-mingw32-windres version.rc -o version.o && "
                            "i686-w64-mingw32-ld --dll --entry=0 -o maker.dll version.o"));
    return dir + "/maker.dll";
}

}  // namespace

TEST(AboutBox, TextsComeFromTheGermanStringTable) {
    const std::string library = BuildVersionLibrary();
    AboutTexts texts;
    ASSERT_TRUE(AboutReadVersionTexts(WindowsPathOf(library).c_str(), texts));
    EXPECT_STREQ(WStrCStr(texts.company), L"Ostrel Zeichnungstechnik GmbH");
    EXPECT_STREQ(WStrCStr(texts.address1), L"Musterweg 5");
    EXPECT_STREQ(WStrCStr(texts.address2), L"");
    EXPECT_STREQ(WStrCStr(texts.phone), L"+49 30 1234-0");
    EXPECT_STREQ(WStrCStr(texts.fax), L"");
    EXPECT_STREQ(WStrCStr(texts.email), L"info@example.com");
    // No version block, or no file: every text empty.
    EXPECT_FALSE(AboutReadVersionTexts(WindowsPathOf(library + ".none").c_str(), texts));
    EXPECT_EQ(WStrLength(texts.company), 0u);
    EXPECT_FALSE(AboutReadVersionTexts(nullptr, texts));
}

TEST(AboutBox, RunsWithTheVersionTitleAndAClickClosesIt) {
    RunningViewer viewer;
    std::wstring title;
    ModalScript script([&](HWND box) {
        title = WindowText(box);
        return PostMessageW(box, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(10, 10)), true;
    });
    EXPECT_TRUE(AboutShow(viewer.context.get(), nullptr));
    WString date;
    ASSERT_TRUE(GetBuildDate(date));
    EXPECT_EQ(title, L"Version 5.2.9.1024 Win32 (" + std::wstring(WStrCStr(date)) + L")");
}

TEST(AboutBox, TheProgramNamesEveryValueTheBoxPaintsAndItsButtonClosesIt) {
    const std::string program = TestEnvDir("TEST_BINARY_DIR") + "/bin/PLXEX529.exe";
    AboutTexts texts;
    ASSERT_TRUE(AboutReadVersionTexts(WindowsPathOf(program).c_str(), texts)) << program << " is not built";
    for (const WString* text :
         {&texts.company, &texts.address1, &texts.address2, &texts.phone, &texts.fax, &texts.email}) {
        EXPECT_GT(WStrLength(*text), 0u);
    }

    RunningViewer viewer;
    std::wstring label;
    bool inside = false;
    ModalScript script([&](HWND box) {
        const HWND button = GetDlgItem(box, IDCANCEL);
        if (!button) return false;
        label = WindowText(button);
        RECT client = {}, shown = {};
        GetClientRect(box, &client);
        GetWindowRect(button, &shown);
        MapWindowPoints(nullptr, box, reinterpret_cast<POINT*>(&shown), 2);
        inside = IsWindowVisible(button) && shown.left >= 0 && shown.top >= 0 &&
                 shown.right <= client.right && shown.bottom <= client.bottom;
        return PostMessageW(button, BM_CLICK, 0, 0), true;
    });
    EXPECT_TRUE(AboutShow(viewer.context.get(), nullptr));
    EXPECT_EQ(label, std::wstring(ViewerGetText(viewer.context.get(), 10012)));
    EXPECT_TRUE(inside) << "the button lies inside the box";
}

TEST(SmallDialogs, EveryTextFitsItsControlInBothLanguages) {
    for (const bool english : {false, true}) {
        SCOPED_TRACE(english ? "English" : "German");
        RunningViewer viewer;
        if (english) UseEnglish(viewer.context.get());
        std::vector<std::wstring> clipped;
        auto check_then_cancel = [&](const wchar_t* dialog_name) {
            return [&clipped, dialog_name](HWND dialog) {
                for (const std::wstring& text : ClippedTexts(dialog))
                    clipped.push_back(std::wstring(dialog_name) + L", item " + text);
                Post(dialog, IDCANCEL);
                return true;
            };
        };
        {
            ModalScript script(check_then_cancel(L"scale"));
            Ref<Scale> chosen;
            ShowScaleDialog(viewer.context.get(), nullptr, nullptr, chosen);
        }
        {
            ModalScript script(check_then_cancel(L"go to page"));
            GoToPageState state{12, 3, viewer.context.get()};
            GoToPageDialog(nullptr, state);
        }
        {
            ModalScript script(check_then_cancel(L"info box"));
            ShowInfoBox(viewer.context.get(), nullptr);
        }
        {
            ModalScript script(check_then_cancel(L"about"));
            AboutShow(viewer.context.get(), nullptr);
        }
        EXPECT_EQ(clipped, std::vector<std::wstring>());
    }
}
