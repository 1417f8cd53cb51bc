// The settings sheet and the Edit-variables dialog worked through their
// windows by messages; what they leave in the user's key is read back with
// `wine reg query`.
#include "viewer/dialogs/settings_sheet.h"

#include "resources/resource_ids.h"
#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "tests/viewer/views/dib_canvas.h"
#include "viewer/core/settings.h"
#include "viewer/core/variable_list.h"
#include "viewer/dialogs/dialog_kit.h"
#include "viewer/dialogs/variables_dialog.h"

namespace {

enum PageIndex { kCommon = 0, kDefaultView, kNetwork, kUserInfo, kRedlining };

// The viewer as the program starts it, its settings loaded from keys that
// `wine reg add` seeded.
struct SheetRig {
    explicit SheetRig(const RegValues& machine) {
        EXPECT_TRUE(redirect.ok());
        // An empty command is a shell syntax error that RunHostCommand waits out.
        if (!machine.empty()) SeedRegistry(redirect.MachineSettingsKey(), machine);
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        settings = ViewerGetSettings(context.get());
    }
    // Shows the sheet; `script` works it from a timer, then `button` is
    // pressed (none when negative). False when the script never ran.
    bool Run(const std::function<void(HWND sheet)>& script, int button = PSBTN_OK) {
        bool driven = false;
        ModalScript driver([&](HWND sheet) {
            if (!PropSheet_GetTabControl(sheet)) return false;
            script(sheet);
            driven = true;
            if (button >= 0) PostMessageW(sheet, PSM_PRESSBUTTON, WPARAM(button), 0);
            return true;
        });
        EXPECT_TRUE(ShowSettings(context.get()));
        return driven;
    }
    // What the settings write to the user's key at shutdown.
    RegListing Saved() {
        EXPECT_TRUE(SettingsSave(settings.get()));
        return QueryRegistry(redirect.UserSettingsKey(), "settings-sheet-query");
    }

    SettingsKeyRedirect redirect{"PlovexSettingsSheetTest"};
    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<Settings> settings;
};

INT_PTR SelectedData(HWND page, int item) {
    INT_PTR data = -1;
    return ComboGetSelData(GetDlgItem(page, item), data) < 0 ? -1 : data;
}
void SelectData(HWND page, int item, INT_PTR data) { ComboSelectByData(GetDlgItem(page, item), data); }
// What the page paints for WM_PRINTCLIENT, on a grey it never uses.
constexpr uint32_t kUnpainted = 0x7F7F7F;
RECT Client(HWND window, RECT client = {}) { return GetClientRect(window, &client), client; }
struct PagePaint : DibCanvas {
    explicit PagePaint(HWND page) : DibCanvas(Client(page).right, Client(page).bottom, kUnpainted) {
        SendMessageW(page, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc()), PRF_CLIENT);
    }
};

constexpr int kMargins[] = {IDC_DEFAULT_MARGIN_LEFT, IDC_DEFAULT_MARGIN_TOP, IDC_DEFAULT_MARGIN_RIGHT,
                            IDC_DEFAULT_MARGIN_BOTTOM};
constexpr const char* kMarginNames[] = {"OPEN_OFFSET_LEFT", "OPEN_OFFSET_TOP", "OPEN_OFFSET_RIGHT",
                                        "OPEN_OFFSET_BOTTOM"};

}  // namespace

TEST(SettingsSheet, CommonPageShowsTheStoredChoicesAndOkStoresNewOnes) {
    SheetRig rig(
        {{"LANGUAGE", "1"}, {"LENGTH_UNIT", "3"}, {"ACTIVEX_FILEOPENMODE", "2"}, {"ZOOM_EXACT", "1"}});
    std::vector<std::wstring> seen;
    ASSERT_TRUE(rig.Run([&](HWND sheet) {
        HWND page = ShowPage(sheet, kCommon);
        seen = {WindowText(sheet), std::to_wstring(TabCtrl_GetItemCount(PropSheet_GetTabControl(sheet)))};
        for (int item : {IDC_COMMON_LANGUAGE, IDC_COMMON_ACTIVEX, IDC_COMMON_LENGTH_UNIT})
            seen.push_back(std::to_wstring(SelectedData(page, item)));
        seen.push_back(Checked(page, IDC_COMMON_ZOOM_EXACT) ? L"exact" : L"not exact");
        SelectData(page, IDC_COMMON_LANGUAGE, 0);
        SelectData(page, IDC_COMMON_ACTIVEX, 3);
        CheckDlgButton(page, IDC_COMMON_ZOOM_EXACT, 0);
    }));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Settings", L"5", L"1", L"2", L"3", L"exact"}));
    const RegListing saved = rig.Saved();
    EXPECT_EQ(saved.at("LANGUAGE"), Sz("0"));
    EXPECT_EQ(saved.at("ACTIVEX_FILEOPENMODE"), Sz("3"));
    EXPECT_EQ(saved.at("ZOOM_EXACT"), Sz("0"));
    EXPECT_EQ(saved.count("LENGTH_UNIT"), 0u) << "unchanged values are not written";
}

TEST(SettingsSheet, MarginsAreShownInTheUnitAndStoredInMillimetres) {
    const struct {
        RegValues seed;
        bool keys;                // typed key by key, else set as text
        const wchar_t* typed[4];  // null: left alone
        const wchar_t* shown[4];  // before typing
        const wchar_t* after[4];  // in the edits after typing
        const char* saved[4];
    } cases[] = {
        // Out of range or no number: 0.
        {{{"OPEN_OFFSET_LEFT", "12.34"}},
         false,
         {L"250", L"0", L"abc", L"12,5"},
         {L"12.3", L"0.0", L"0.0", L"0.0"},
         {L"250", L"0", L"abc", L"12,5"},
         {"0.000000", "0.000000", "0.000000", "12.500000"}},
        // Inches: the numeric edit refuses the letter and the second
        // separator and makes ',' a '.'; a margin shown but never touched
        // keeps its millimetres.
        {{{"LENGTH_UNIT", "2"}, {"OPEN_OFFSET_TOP", "25.4"}, {"OPEN_OFFSET_RIGHT", "10"}},
         true,
         {L"0,x3.9", nullptr, nullptr, nullptr},
         {L"0.00", L"1.00", L"0.39", L"0.00"},
         {L"0.39", L"1.00", L"0.39", L"0.00"},
         {"9.906000", "25.400000", "10.000000", "0.000000"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.keys ? "inch" : "mm");
        SheetRig rig(c.seed);
        std::vector<std::wstring> shown, after;
        std::vector<uint32_t> symbol;
        ASSERT_TRUE(rig.Run([&](HWND sheet) {
            HWND page = ShowPage(sheet, kDefaultView);
            for (int i = 0; i < 4; ++i) {
                shown.push_back(ItemText(page, kMargins[i]));
                if (!c.typed[i]) continue;
                SetDlgItemTextW(page, kMargins[i], c.keys ? L"" : c.typed[i]);
                if (c.keys) Type(page, kMargins[i], c.typed[i]);
            }
            for (int item : kMargins) after.push_back(ItemText(page, item));
            // The page symbol between the edits: frame, inside, frame, then
            // nothing painted beyond it.
            const RECT box = SettingsPageSymbolRect(ItemRect(page, kMargins[0]), ItemRect(page, kMargins[1]),
                                                    ItemRect(page, kMargins[2]), ItemRect(page, kMargins[3]));
            const int y = (box.top + box.bottom) / 2;
            const PagePaint paint(page);
            for (LONG x : {box.left, box.left + 1, box.right - 1, box.right})
                symbol.push_back(paint.Pixel(x, y));
        }));
        EXPECT_EQ(shown, std::vector<std::wstring>(c.shown, c.shown + 4));
        EXPECT_EQ(after, std::vector<std::wstring>(c.after, c.after + 4));
        EXPECT_EQ(symbol, (std::vector<uint32_t>{0, 0xFFFFFF, 0, kUnpainted}));
        const RegListing saved = rig.Saved();
        for (int i = 0; i < 4; ++i) EXPECT_EQ(saved.at(kMarginNames[i]), Sz(c.saved[i])) << kMarginNames[i];
    }
}

// A multi-line edit closes the sheet on ESC with WM_CLOSE: nothing typed is applied.
TEST(SettingsSheet, EscapeAppliesNothing) {
    SheetRig rig({});
    ASSERT_TRUE(rig.Run(
        [&](HWND sheet) {
            SelectData(ShowPage(sheet, kCommon), IDC_COMMON_LANGUAGE, 1);
            SetDlgItemTextW(ShowPage(sheet, kDefaultView), IDC_DEFAULT_MARGIN_LEFT, L"5");
            HWND info = ShowPage(sheet, kUserInfo);
            SetDlgItemTextW(info, IDC_USER_INFO_TEXT, L"never applied");
            SendMessageW(info, WM_CLOSE, 0, 0);
        },
        -1));
    EXPECT_EQ(SettingsGetLanguage(rig.settings.get()), 0);
    EXPECT_EQ(std::wstring(WStrCStr(SettingsGetUserInfoText(rig.settings.get()))), L"");
    EXPECT_FALSE(SettingsGetOpenParams(rig.settings.get())->margins_set);
    EXPECT_EQ(SettingsGetChangedMask(rig.settings.get()), 0u);
}

TEST(SettingsSheet, EachPermissionWordOfZeroGreysItsControlsAndDropsTheirChanges) {
    const std::pair<int, std::vector<int>> pages[] = {
        {kCommon,
         {IDC_COMMON_LANGUAGE, IDC_COMMON_ZOOM_EXACT, IDC_COMMON_PREVIEW_INFO, IDC_COMMON_HAIR_CROSS,
          IDC_COMMON_LENGTH_UNIT, IDC_COMMON_ACTIVEX, IDC_COMMON_FILE_TYPES}},
        {kDefaultView,
         {IDC_DEFAULT_MARGIN_LEFT, IDC_DEFAULT_MARGIN_TOP, IDC_DEFAULT_MARGIN_RIGHT,
          IDC_DEFAULT_MARGIN_BOTTOM, IDC_DEFAULT_INVERSE, IDC_DEFAULT_MIRROR_H, IDC_DEFAULT_MIRROR_V,
          IDC_DEFAULT_ROTATION, IDC_DEFAULT_AUTO_INVERT_OFF, IDC_DEFAULT_AUTO_INVERT_WHITE,
          IDC_DEFAULT_AUTO_INVERT_BLACK}},
        {kNetwork,
         {IDC_NETWORK_SEND_COOKIES, IDC_NETWORK_CACHE_REMOTE, IDC_NETWORK_CACHE_REMOVABLE,
          IDC_NETWORK_CACHE_CDROM, IDC_NETWORK_CACHE_FIXED}},
        {kUserInfo,
         {IDC_USER_INFO_TEXT, IDC_USER_INFO_BORDER, IDC_USER_INFO_TRANSPARENT, IDC_USER_INFO_LARGE_FONT,
          IDC_USER_INFO_POSITION, IDC_USER_INFO_VARIABLES, IDC_USER_INFO_PASTE,
          IDC_USER_INFO_EDIT_VARIABLES}},
        {kRedlining,
         {IDC_REDLINING_ACTIVE, IDC_REDLINING_DISPLAY, IDC_REDLINING_NUMBERS_ALWAYS,
          IDC_REDLINING_NUMBERS_SCREEN, IDC_REDLINING_NUMBERS_EDITING, IDC_REDLINING_NUMBERS_NEVER}},
    };
    auto all_of = [&](int page) {
        std::set<int> items;
        for (const auto& [index, ids] : pages)
            for (int id : ids)
                if (index == page) items.insert(page * 10000 + id);
        return items;
    };
    auto join = [](std::set<int> a, const std::set<int>& b) { return a.insert(b.begin(), b.end()), a; };
    // Without view permission 1237 to 1239 grey with the rest of the page's
    // view group: an enabled box would take a change and drop it.
    const std::set<int> view_items =
        join(all_of(kNetwork), {1237, 1238, 1239, IDC_COMMON_LANGUAGE, IDC_COMMON_LENGTH_UNIT});
#if VIEWER_PROGRAM_BUILD
    const std::set<int> extended = {IDC_COMMON_ACTIVEX, IDC_COMMON_FILE_TYPES};
    const std::set<int> always = {};
#else
    const std::set<int> extended = {IDC_COMMON_ACTIVEX};
    const std::set<int> always = {IDC_COMMON_FILE_TYPES};  // the control registers no file types
#endif
    const struct {
        const char* word;
        std::set<int> greyed;
    } cases[] = {
        {"PERMISSION_VIEW", view_items},
        {"PERMISSION_EXTENDED", extended},
        {"PERMISSION_DOCUMENTOPEN", all_of(kDefaultView)},
        {"PERMISSION_USERINFO", all_of(kUserInfo)},
        {"PERMISSION_REDLINING", all_of(kRedlining)},
        {"RESTRICTIONS", {kUserInfo * 10000 + IDC_USER_INFO_EDIT_VARIABLES}},  // 4096: no variables editing
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.word);
        SheetRig rig(RegValues{{c.word, std::string(c.word) == "RESTRICTIONS" ? "4096" : "0"}});
        std::set<int> greyed;
        ASSERT_TRUE(rig.Run([&](HWND sheet) {
            for (const auto& [index, ids] : pages) {
                HWND page = ShowPage(sheet, index);
                for (int id : ids)
                    if (!Enabled(page, id)) greyed.insert(index * 10000 + id);
            }
            // Changes forced past greyed controls.
            HWND common = ShowPage(sheet, kCommon);
            CheckDlgButton(common, IDC_COMMON_PREVIEW_INFO, 0);
            CheckDlgButton(common, IDC_COMMON_HAIR_CROSS, 0);
            CheckDlgButton(ShowPage(sheet, kRedlining), IDC_REDLINING_DISPLAY, 0);
        }));
        EXPECT_EQ(greyed, join(c.greyed, always));
        const bool view = c.greyed != view_items;
        EXPECT_NE(SettingsGetUsePreviewInfo(rig.settings.get()), view);
        EXPECT_NE(SettingsGetShowHairCross(rig.settings.get()), view);
        EXPECT_EQ(SettingsGetRedliningDisplay(rig.settings.get()), c.greyed == all_of(kRedlining));
    }
}

namespace {

LRESULT List(HWND dialog, UINT message, WPARAM wparam = 0) {
    return SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, message, wparam, 0);
}
std::wstring Line(HWND dialog, LRESULT line) {
    wchar_t text[512] = {};
    SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, LB_GETTEXT, WPARAM(line), reinterpret_cast<LPARAM>(text));
    return text;
}
std::wstring Selected(HWND dialog) { return Line(dialog, List(dialog, LB_GETCURSEL)); }
void Command(HWND dialog, int item, int code = BN_CLICKED) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(item, code), LPARAM(GetDlgItem(dialog, item)));
}

}  // namespace

TEST(VariablesDialog, CreatesUpdatesAndDeletesUserVariables) {
    SettingsKeyRedirect redirect("PlovexVariablesDialogTest");
    ASSERT_TRUE(redirect.ok());
    const std::string user_key = redirect.UserSettingsKey() + "\\Variables";
    SeedRegistry(redirect.MachineSettingsKey() + "\\Variables", {{"PROJECT", "Bridge 7"}});
    // DATE is also a built-in: the user's own is still listed and deleted.
    SeedRegistry(user_key, {{"A1", "one"}, {"~A1", "first"}, {"DATE", "a user DATE"}});
    RunningViewer viewer;
    UseEnglish(viewer.context.get());

    std::vector<std::wstring> seen;
    std::vector<bool> create_offered;  // for each name typed
    RegListing after_update;
    ModalScript script([&](HWND dialog) {
        seen = {WindowText(dialog), std::to_wstring(List(dialog, LB_GETCOUNT)), Line(dialog, 0),
                ItemText(dialog, IDC_VARIABLES_VALUE), ItemText(dialog, IDC_VARIABLES_DESCRIPTION)};
        // Names with blanks inside, the description prefix, a fixed or
        // built-in or listed name, or none, cannot be created.
        for (const wchar_t* typed : {L"A B", L"~X", L" PROJECT ", L"date", L"a1", L"", L"  SHEET  "}) {
            SetDlgItemTextW(dialog, IDC_VARIABLES_NEW_NAME, typed);
            create_offered.push_back(Enabled(dialog, IDC_VARIABLES_CREATE));
        }
        Command(dialog, IDC_VARIABLES_CREATE);
        seen.insert(seen.end(), {std::to_wstring(List(dialog, LB_GETCOUNT)), Selected(dialog),
                                 ItemText(dialog, IDC_VARIABLES_NEW_NAME)});
        SetDlgItemTextW(dialog, IDC_VARIABLES_VALUE, L"A-12");
        SetDlgItemTextW(dialog, IDC_VARIABLES_DESCRIPTION, L"Sheet number");
        Command(dialog, IDOK);
        after_update = QueryRegistry(user_key, "variables_dialog_query");
        for (LRESULT line = 0; line < List(dialog, LB_GETCOUNT); ++line) {
            if (Line(dialog, line).rfind(L"A1\t", 0) == 0) List(dialog, LB_SETCURSEL, WPARAM(line));
        }
        Command(dialog, IDC_VARIABLES_LIST, LBN_SELCHANGE);
        Command(dialog, IDC_VARIABLES_DELETE);
        seen.insert(seen.end(), {std::to_wstring(List(dialog, LB_GETCOUNT)), Selected(dialog)});
        Post(dialog, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(ShowVariablesDialog(nullptr, viewer.context.get()));
    EXPECT_EQ(seen,
              (std::vector<std::wstring>{L"Edit user variables", L"2", L"A1\tone\tfirst", L"one", L"first",
                                         L"3", L"SHEET\t\t", L"", L"2", L"DATE\ta user DATE\t"}));
    EXPECT_EQ(create_offered, (std::vector<bool>{false, false, false, false, false, false, true}));
    EXPECT_EQ(after_update["SHEET"], Sz("A-12"));
    EXPECT_EQ(after_update["~SHEET"], Sz("Sheet number"));
    const RegListing stored = QueryRegistry(user_key, "variables_dialog_query");
    EXPECT_EQ(stored.count("A1") + stored.count("~A1"), 0u);
    EXPECT_EQ(stored.count("SHEET"), 1u);
    EXPECT_FALSE(VarListFind(ViewerGetVariableList(viewer.context.get()).get(), WString(L"A1")));
}

TEST(SettingsSheet, EveryTextFitsItsControlInBothLanguages) {
    for (const char* language : {"0", "1"}) {
        SCOPED_TRACE(std::string("LANGUAGE ") + language);
        SheetRig rig(RegValues{{"LANGUAGE", language}});
        std::vector<std::wstring> clipped;
        EXPECT_TRUE(rig.Run(
            [&](HWND sheet) {
                for (int page = kCommon; page <= kRedlining; ++page) {
                    for (const std::wstring& text : ClippedTexts(ShowPage(sheet, page)))
                        clipped.push_back(L"page " + std::to_wstring(page) + L", item " + text);
                }
            },
            PSBTN_CANCEL));
        {
            bool seen = false;
            ModalScript script([&](HWND dialog) {
                for (const std::wstring& text : ClippedTexts(dialog))
                    clipped.push_back(L"variables, item " + text);
                seen = true;
                return Post(dialog, IDCANCEL), true;
            });
            ShowVariablesDialog(nullptr, rig.context.get());
            EXPECT_TRUE(seen);
        }
        EXPECT_EQ(clipped, std::vector<std::wstring>());
    }
}
