#include "viewer/dialogs/settings_sheet.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <prsht.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "foundation/handles.h"
#include "resources/resource_ids.h"
#include "tests/viewer/core/settings_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

enum PageIndex { kCommon = 0, kDefaultView, kNetwork, kUserInfo, kRedlining };

// ---- Driving the modal sheet from a second thread ---------------------------

BOOL CALLBACK FindSheet(HWND window, LPARAM found) {
    wchar_t class_name[16] = {};
    GetClassNameW(window, class_name, 16);
    if (wcscmp(class_name, L"#32770") != 0 || !PropSheet_GetTabControl(window)) return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

HWND SheetOf(DWORD thread) {
    HWND sheet = nullptr;
    EnumThreadWindows(thread, FindSheet, reinterpret_cast<LPARAM>(&sheet));
    return sheet;
}

std::atomic<bool> sheet_timed_out{false};

// The last resort of a script that never ends the sheet.
void CALLBACK CancelStuckSheet(HWND, UINT, UINT_PTR, DWORD) {
    if (HWND sheet = SheetOf(GetCurrentThreadId())) {
        sheet_timed_out = true;
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_CANCEL, 0);
    }
}

struct SheetRun {
    bool shown = false;
    bool driven = false;
};

constexpr int kNoButton = -1;

// Shows the sheet on this thread while `script` works it from a second
// thread, as a user would through its windows, then presses `button`. The
// script records what it sees; the test checks it on this thread. Waits are
// bounded: the script gives up when no sheet shows within 10 s, and a sheet
// still open after 30 s is cancelled.
SheetRun RunSheet(ViewerContext* context, const std::function<void(HWND sheet)>& script,
                  int button = PSBTN_OK) {
    SheetRun run;
    sheet_timed_out = false;
    const DWORD thread = GetCurrentThreadId();
    std::thread driver([&] {
        HWND sheet = nullptr;
        for (int attempt = 0; attempt < 200 && !sheet; ++attempt) {
            sheet = SheetOf(thread);
            if (!sheet) Sleep(50);
        }
        if (!sheet) return;
        script(sheet);
        run.driven = true;
        if (button != kNoButton) SendMessageW(sheet, PSM_PRESSBUTTON, button, 0);
        // The sheet's loop looks at its end flag only between posted messages.
        PostMessageW(sheet, WM_NULL, 0, 0);
    });
    const UINT_PTR timer = SetTimer(nullptr, 0, 30000, CancelStuckSheet);
    run.shown = ShowSettings(context);
    KillTimer(nullptr, timer);
    driver.join();
    EXPECT_FALSE(sheet_timed_out) << "the sheet had to be cancelled";
    return run;
}

HWND ShowPage(HWND sheet, int index) {
    PropSheet_SetCurSel(sheet, nullptr, index);
    return PropSheet_IndexToHwnd(sheet, index);
}

std::wstring WindowText(HWND window) {
    wchar_t text[2100] = {};
    GetWindowTextW(window, text, 2100);
    return text;
}

std::wstring ItemText(HWND page, int item) { return WindowText(GetDlgItem(page, item)); }

bool Enabled(HWND page, int item) { return IsWindowEnabled(GetDlgItem(page, item)) != FALSE; }
bool Checked(HWND page, int item) { return IsDlgButtonChecked(page, item) == BST_CHECKED; }

void SetCheck(HWND page, int item, bool checked) {
    SendDlgItemMessageW(page, item, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

INT_PTR SelectedData(HWND page, int item) {
    const LRESULT index = SendDlgItemMessageW(page, item, CB_GETCURSEL, 0, 0);
    return index < 0 ? -1 : SendDlgItemMessageW(page, item, CB_GETITEMDATA, index, 0);
}

void SelectData(HWND page, int item, INT_PTR data) {
    const LRESULT count = SendDlgItemMessageW(page, item, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        if (SendDlgItemMessageW(page, item, CB_GETITEMDATA, index, 0) == data) {
            SendDlgItemMessageW(page, item, CB_SETCURSEL, index, 0);
        }
    }
}

void Type(HWND page, int item, const wchar_t* characters) {
    for (const wchar_t* c = characters; *c; ++c) SendDlgItemMessageW(page, item, WM_CHAR, *c, 1);
}

constexpr uint32_t kUnpainted = 0x7F7F7F;

// What a page paints for WM_PRINTCLIENT, read from a DIB section.
class PagePixels {
  public:
    explicit PagePixels(HWND page) {
        RECT client = {};
        GetClientRect(page, &client);
        width_ = client.right;
        height_ = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        bitmap_.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        MemoryDC dc(nullptr);
        if (!bitmap_ || !dc) return;
        // What the page leaves unpainted keeps a colour of its own.
        std::fill_n(static_cast<uint32_t*>(bits), static_cast<size_t>(width_) * height_, kUnpainted);
        ScopedSelect select(dc.get(), bitmap_.get());
        SendMessageW(page, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
        pixels_ = static_cast<const uint32_t*>(bits);
    }
    // 0xRRGGBB; 1 (no colour of a page) outside the page or without pixels.
    uint32_t At(POINT point) const {
        if (!pixels_ || point.x < 0 || point.y < 0 || point.x >= width_ || point.y >= height_) return 1;
        return pixels_[point.y * width_ + point.x] & 0xFFFFFF;
    }

  private:
    GdiBitmap bitmap_;
    const uint32_t* pixels_ = nullptr;
    int width_ = 0;
    int height_ = 0;
};

RECT ItemRect(HWND page, int item) {
    RECT rect = {};
    GetWindowRect(GetDlgItem(page, item), &rect);
    MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

// ---- The fixture -------------------------------------------------------------

class SettingsSheet : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redirect_.ok()); }

    void SeedMachine(const RegValues& values) { SeedRegistry(redirect_.MachineSettingsKey(), values); }

    // The viewer as the program starts it: settings loaded from the keys.
    void Start() {
        root_ = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context_ = ViewerContextConstruct(root_.get());
        settings_ = ViewerGetSettings(context_.get());
        ASSERT_TRUE(settings_);
    }

    // What the settings write to the user's key at shutdown.
    RegListing Saved() {
        EXPECT_TRUE(SettingsSave(settings_.get()));
        return QueryRegistry(redirect_.UserSettingsKey(), "settings-sheet-query");
    }

    std::wstring LanguageText(uint32_t id) {
        const wchar_t* text = ViewerGetText(context_.get(), id);
        return text ? text : L"";
    }

    SettingsKeyRedirect redirect_{"PlovexSettingsSheetTest"};
    Ref<AppRoot> root_;
    Ref<ViewerContext> context_;
    Ref<Settings> settings_;
};

RegListedValue Sz(const char* text) { return {"REG_SZ", text}; }

}  // namespace

TEST_F(SettingsSheet, ShowsFivePagesUnderTheirLanguageTitles) {
    SeedMachine({{"LANGUAGE", "1"}});
    Start();
    std::wstring caption;
    std::vector<std::wstring> tabs;
    const SheetRun run = RunSheet(
        context_.get(),
        [&](HWND sheet) {
            caption = WindowText(sheet);
            HWND tab = PropSheet_GetTabControl(sheet);
            const int count = TabCtrl_GetItemCount(tab);
            for (int index = 0; index < count; ++index) {
                wchar_t title[100] = {};
                TCITEMW item = {};
                item.mask = TCIF_TEXT;
                item.pszText = title;
                item.cchTextMax = 100;
                TabCtrl_GetItem(tab, index, &item);
                tabs.push_back(title);
            }
        },
        PSBTN_CANCEL);
    EXPECT_TRUE(run.shown);
    ASSERT_TRUE(run.driven);
    EXPECT_EQ(caption, L"Settings");
    const std::vector<std::wstring> expected = {L"Common", L"Default representation", L"Network settings",
                                                L"User information", L"Redlining"};
    EXPECT_EQ(tabs, expected);
}

TEST_F(SettingsSheet, CommonPageShowsTheStoredChoicesAndAppliesNewOnes) {
    SeedMachine({{"LENGTH_UNIT", "3"}, {"ACTIVEX_FILEOPENMODE", "2"}, {"ZOOM_EXACT", "1"}});
    Start();
    INT_PTR language = -1, mode = -1, unit = -1;
    bool zoom_exact = false, preview_info = false, hair_cross = false, file_types_enabled = false;
    std::wstring file_types;
    const SheetRun run = RunSheet(context_.get(), [&](HWND sheet) {
        HWND page = ShowPage(sheet, kCommon);
        language = SelectedData(page, IDC_COMMON_LANGUAGE);
        mode = SelectedData(page, IDC_COMMON_ACTIVEX);
        unit = SelectedData(page, IDC_COMMON_LENGTH_UNIT);
        zoom_exact = Checked(page, IDC_COMMON_ZOOM_EXACT);
        preview_info = Checked(page, IDC_COMMON_PREVIEW_INFO);
        hair_cross = Checked(page, IDC_COMMON_HAIR_CROSS);
        file_types_enabled = Enabled(page, IDC_COMMON_FILE_TYPES);
        file_types = ItemText(page, IDC_COMMON_FILE_TYPES);
        if (file_types_enabled) SetDlgItemTextW(page, IDC_COMMON_FILE_TYPES, L"tif, cal");

        SelectData(page, IDC_COMMON_LANGUAGE, 1);
        SelectData(page, IDC_COMMON_ACTIVEX, 3);
        SelectData(page, IDC_COMMON_LENGTH_UNIT, 2);
        SetCheck(page, IDC_COMMON_ZOOM_EXACT, false);
        SetCheck(page, IDC_COMMON_HAIR_CROSS, false);
    });
    ASSERT_TRUE(run.driven);
    EXPECT_EQ(language, 0);
    EXPECT_EQ(mode, 2);
    EXPECT_EQ(unit, 3);
    EXPECT_TRUE(zoom_exact);
    EXPECT_TRUE(preview_info);
    EXPECT_TRUE(hair_cross);
#if VIEWER_PROGRAM_BUILD
    // The desktop program registers itself for these types.
    EXPECT_TRUE(file_types_enabled);
    EXPECT_EQ(file_types, L"tif,tiff,lst");
#else
    EXPECT_FALSE(file_types_enabled);
    EXPECT_EQ(file_types, L"");
#endif

    const RegListing saved = Saved();
    EXPECT_EQ(saved.at("LANGUAGE"), Sz("1"));
    EXPECT_EQ(saved.at("ACTIVEX_FILEOPENMODE"), Sz("3"));
    EXPECT_EQ(saved.at("LENGTH_UNIT"), Sz("2"));
    EXPECT_EQ(saved.at("ZOOM_EXACT"), Sz("0"));
    EXPECT_EQ(saved.at("SHOW_HAIRCROSS"), Sz("0"));
    EXPECT_EQ(saved.count("USE_PREVIEW_INFO"), 0u);  // unchanged values are not written
#if VIEWER_PROGRAM_BUILD
    EXPECT_EQ(saved.at("SUPPORTED_FILETYPES"), Sz("tif, cal"));  // as typed
#endif
}

TEST_F(SettingsSheet, MarginsOutsideTheRangeOrNoNumberAreStoredAsZero) {
    SeedMachine({{"OPEN_OFFSET_LEFT", "12.34"}, {"OPEN_ROTATION", "90"}, {"OPEN_AUTOINVERT", "1"}});
    Start();
    std::wstring left_shown, unit_shown;
    INT_PTR rotation = -1;
    bool white_background = false;
    std::vector<uint32_t> symbol_pixels;
    const SheetRun run = RunSheet(context_.get(), [&](HWND sheet) {
        HWND page = ShowPage(sheet, kDefaultView);
        left_shown = ItemText(page, IDC_DEFAULT_MARGIN_LEFT);
        unit_shown = ItemText(page, IDC_DEFAULT_UNIT_LEFT);
        rotation = SelectedData(page, IDC_DEFAULT_ROTATION);
        white_background = Checked(page, IDC_DEFAULT_AUTO_INVERT_WHITE);
        // The page symbol between the four edits: white inside a black frame.
        const RECT symbol = SettingsPageSymbolRect(
            ItemRect(page, IDC_DEFAULT_MARGIN_LEFT), ItemRect(page, IDC_DEFAULT_MARGIN_TOP),
            ItemRect(page, IDC_DEFAULT_MARGIN_RIGHT), ItemRect(page, IDC_DEFAULT_MARGIN_BOTTOM));
        const int middle_y = (symbol.top + symbol.bottom) / 2;
        const PagePixels pixels(page);
        symbol_pixels = {pixels.At({symbol.left, middle_y}), pixels.At({symbol.left + 1, middle_y}),
                         pixels.At({(symbol.left + symbol.right) / 2, middle_y}),
                         pixels.At({symbol.right - 1, middle_y}), pixels.At({symbol.right, middle_y})};

        SetDlgItemTextW(page, IDC_DEFAULT_MARGIN_LEFT, L"250");
        SetDlgItemTextW(page, IDC_DEFAULT_MARGIN_TOP, L"0");
        SetDlgItemTextW(page, IDC_DEFAULT_MARGIN_RIGHT, L"abc");
        SetDlgItemTextW(page, IDC_DEFAULT_MARGIN_BOTTOM, L"12,5");
        SelectData(page, IDC_DEFAULT_ROTATION, 270);
        SetCheck(page, IDC_DEFAULT_AUTO_INVERT_WHITE, false);
        SetCheck(page, IDC_DEFAULT_AUTO_INVERT_BLACK, true);
        SetCheck(page, IDC_DEFAULT_INVERSE, true);
        SetCheck(page, IDC_DEFAULT_MIRROR_V, true);
    });
    ASSERT_TRUE(run.driven);
    EXPECT_EQ(left_shown, L"12.3");
    EXPECT_EQ(unit_shown, LanguageText(10100));
    EXPECT_EQ(rotation, 90);
    EXPECT_TRUE(white_background);
    // Frame, inside, inside, frame, and nothing painted beyond.
    ASSERT_EQ(symbol_pixels.size(), 5u);
    EXPECT_EQ(symbol_pixels[0], 0x000000u);
    EXPECT_EQ(symbol_pixels[1], 0xFFFFFFu);
    EXPECT_EQ(symbol_pixels[2], 0xFFFFFFu);
    EXPECT_EQ(symbol_pixels[3], 0x000000u);
    EXPECT_EQ(symbol_pixels[4], kUnpainted);

    const RegListing saved = Saved();
    EXPECT_EQ(saved.at("OPEN_OFFSET_LEFT"), Sz("0.000000"));
    EXPECT_EQ(saved.at("OPEN_OFFSET_TOP"), Sz("0.000000"));
    EXPECT_EQ(saved.at("OPEN_OFFSET_RIGHT"), Sz("0.000000"));
    EXPECT_EQ(saved.at("OPEN_OFFSET_BOTTOM"), Sz("12.500000"));
    EXPECT_EQ(saved.at("OPEN_ROTATION"), Sz("270"));
    EXPECT_EQ(saved.at("OPEN_AUTOINVERT"), Sz("2"));
    EXPECT_EQ(saved.at("OPEN_INVERTED"), Sz("1"));
    EXPECT_EQ(saved.at("OPEN_MIRROR_H"), Sz("0"));
    EXPECT_EQ(saved.at("OPEN_MIRROR_V"), Sz("1"));
}

TEST_F(SettingsSheet, InchMarginsAreTypedInInchesAndStoredInMillimetres) {
    SeedMachine({{"LENGTH_UNIT", "2"}, {"OPEN_OFFSET_TOP", "25.4"}, {"OPEN_OFFSET_RIGHT", "10"}});
    Start();
    std::wstring top_shown, right_shown, unit_shown, left_typed;
    const SheetRun run = RunSheet(context_.get(), [&](HWND sheet) {
        HWND page = ShowPage(sheet, kDefaultView);
        top_shown = ItemText(page, IDC_DEFAULT_MARGIN_TOP);
        right_shown = ItemText(page, IDC_DEFAULT_MARGIN_RIGHT);
        unit_shown = ItemText(page, IDC_DEFAULT_UNIT_BOTTOM);
        // Typed as a user would: the letter and the second separator are
        // refused, the comma becomes a point.
        SetDlgItemTextW(page, IDC_DEFAULT_MARGIN_LEFT, L"");
        Type(page, IDC_DEFAULT_MARGIN_LEFT, L"0,x3.9");
        left_typed = ItemText(page, IDC_DEFAULT_MARGIN_LEFT);
    });
    ASSERT_TRUE(run.driven);
    EXPECT_EQ(top_shown, L"1.00");
    EXPECT_EQ(right_shown, L"0.39");
    EXPECT_EQ(unit_shown, LanguageText(10103));
    EXPECT_EQ(left_typed, L"0.39");

    const RegListing saved = Saved();
    EXPECT_EQ(saved.at("OPEN_OFFSET_LEFT"), Sz("9.906000"));
    EXPECT_EQ(saved.at("OPEN_OFFSET_TOP"), Sz("25.400000"));
    // Shown as 0.39 inch but never touched: stays 10 mm, not 9.906.
    EXPECT_EQ(saved.at("OPEN_OFFSET_RIGHT"), Sz("10.000000"));
    EXPECT_EQ(saved.at("OPEN_OFFSET_BOTTOM"), Sz("0.000000"));
}

TEST_F(SettingsSheet, NetworkRedliningAndUserInfoPagesApply) {
    SeedMachine({{"NETWORK_DRIVETYPES_CACHING", "5"}, {"USERINFO_POSITION", "0"}});
    Start();
    bool remote = false, removable = false, cdrom = true, fixed = true;
    bool numbers_in_edit_mode = false;
    std::wstring text_after_paste;
    uint32_t chosen_pixel = 0, other_pixel = 0;
    const SheetRun run = RunSheet(context_.get(), [&](HWND sheet) {
        HWND network = ShowPage(sheet, kNetwork);
        remote = Checked(network, IDC_NETWORK_CACHE_REMOTE);
        removable = Checked(network, IDC_NETWORK_CACHE_REMOVABLE);
        cdrom = Checked(network, IDC_NETWORK_CACHE_CDROM);
        fixed = Checked(network, IDC_NETWORK_CACHE_FIXED);
        SetCheck(network, IDC_NETWORK_CACHE_REMOVABLE, false);
        SetCheck(network, IDC_NETWORK_CACHE_FIXED, true);
        SetCheck(network, IDC_NETWORK_SEND_COOKIES, false);

        HWND redlining = ShowPage(sheet, kRedlining);
        numbers_in_edit_mode = Checked(redlining, IDC_REDLINING_NUMBERS_EDITING);
        SetCheck(redlining, IDC_REDLINING_NUMBERS_EDITING, false);
        SetCheck(redlining, IDC_REDLINING_NUMBERS_NEVER, true);
        SetCheck(redlining, IDC_REDLINING_DISPLAY, false);

        HWND info = ShowPage(sheet, kUserInfo);
        SetDlgItemTextW(info, IDC_USER_INFO_TEXT, L"Sheet 2\r\nDrawn by ");
        SendDlgItemMessageW(info, IDC_USER_INFO_TEXT, EM_SETSEL, 100, 100);
        const LRESULT username =
            SendDlgItemMessageW(info, IDC_USER_INFO_VARIABLES, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(L"USERNAME"));
        SendDlgItemMessageW(info, IDC_USER_INFO_VARIABLES, LB_SETCURSEL, username, 0);
        SendMessageW(info, WM_COMMAND, MAKEWPARAM(IDC_USER_INFO_PASTE, BN_CLICKED),
                     reinterpret_cast<LPARAM>(GetDlgItem(info, IDC_USER_INFO_PASTE)));
        text_after_paste = ItemText(info, IDC_USER_INFO_TEXT);
        SetCheck(info, IDC_USER_INFO_BORDER, true);
        SetCheck(info, IDC_USER_INFO_LARGE_FONT, true);

        // A click on the last cell's symbol of the picker, then the page's
        // painting read back: that symbol black, the first one grey.
        const RECT picker = ItemRect(info, IDC_USER_INFO_POSITION);
        const int width = picker.right - picker.left;
        const int height = picker.bottom - picker.top;
        const POINT last = {picker.left + 5 * width / 6, picker.top + 5 * height / 6};
        const POINT first = {picker.left + width / 6, picker.top + height / 6};
        SendMessageW(info, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(last.x, last.y));
        SendMessageW(info, WM_LBUTTONUP, 0, MAKELPARAM(last.x, last.y));

        const PagePixels pixels(info);
        chosen_pixel = pixels.At(last);
        other_pixel = pixels.At(first);
    });
    ASSERT_TRUE(run.driven);
    EXPECT_TRUE(remote);
    EXPECT_TRUE(removable);
    EXPECT_FALSE(cdrom);
    EXPECT_FALSE(fixed);
    EXPECT_TRUE(numbers_in_edit_mode);
    EXPECT_EQ(text_after_paste, L"Sheet 2\r\nDrawn by <USERNAME>");
    EXPECT_EQ(chosen_pixel, 0x000000u);
    EXPECT_EQ(other_pixel, 0xDCDCDCu);

    const RegListing saved = Saved();
    EXPECT_EQ(saved.at("NETWORK_DRIVETYPES_CACHING"), Sz("3"));
    EXPECT_EQ(saved.at("NETWORK_SEND_COOKIES_AUTH"), Sz("0"));
    EXPECT_EQ(saved.at("REDLINING_OBJECTNUMBERS"), Sz("3"));
    EXPECT_EQ(saved.at("REDLINING_DISPLAY"), Sz("0"));
    EXPECT_EQ(saved.count("REDLINING_ACTIVE"), 0u);
    EXPECT_EQ(saved.at("USERINFO_POSITION"), Sz("8"));
    EXPECT_EQ(saved.at("USERINFO_FLAGS"), Sz("6"));
    // The multi-line text does not survive `wine reg query`'s line format:
    // read it back in process.
    EXPECT_EQ(std::wstring(WStrCStr(SettingsGetUserInfoText(settings_.get()))),
              L"Sheet 2\r\nDrawn by <USERNAME>");
    EXPECT_NE(saved.count("USERINFO_TEXT"), 0u);
}

TEST_F(SettingsSheet, ApplyIsOfferedAfterAChangeAndAppliesWhileTheSheetStaysOpen) {
    Start();
    constexpr int kApplyButton = 0x3021;  // comctl32's id of the Apply button
    bool offered_before = true, offered_after = false, applied_while_open = false;
    const SheetRun run = RunSheet(
        context_.get(),
        [&](HWND sheet) {
            HWND page = ShowPage(sheet, kCommon);
            offered_before = Enabled(sheet, kApplyButton);
            SendDlgItemMessageW(page, IDC_COMMON_ZOOM_EXACT, BM_CLICK, 0, 0);
            offered_after = Enabled(sheet, kApplyButton);
            SendMessageW(sheet, PSM_PRESSBUTTON, PSBTN_APPLYNOW, 0);
            for (int attempt = 0; attempt < 100 && !applied_while_open; ++attempt) {
                applied_while_open = SettingsGetZoomExact(settings_.get());
                if (!applied_while_open) Sleep(20);
            }
        },
        PSBTN_CANCEL);
    ASSERT_TRUE(run.driven);
    EXPECT_FALSE(offered_before);
    EXPECT_TRUE(offered_after);
    EXPECT_TRUE(applied_while_open);
    EXPECT_TRUE(SettingsGetZoomExact(settings_.get()));  // Cancel takes back nothing applied
}

TEST_F(SettingsSheet, EscapeInTheUserTextCancelsWithoutApplying) {
    Start();
    const SheetRun run = RunSheet(
        context_.get(),
        [&](HWND sheet) {
            HWND common = ShowPage(sheet, kCommon);
            SelectData(common, IDC_COMMON_LANGUAGE, 1);
            HWND margins = ShowPage(sheet, kDefaultView);
            SetDlgItemTextW(margins, IDC_DEFAULT_MARGIN_LEFT, L"5");
            HWND info = ShowPage(sheet, kUserInfo);
            SetDlgItemTextW(info, IDC_USER_INFO_TEXT, L"never applied");
            // What a multi-line edit does with ESC.
            SendMessageW(info, WM_CLOSE, 0, 0);
        },
        kNoButton);
    EXPECT_TRUE(run.shown);
    ASSERT_TRUE(run.driven);
    EXPECT_EQ(SettingsGetLanguage(settings_.get()), 0);
    EXPECT_EQ(std::wstring(WStrCStr(SettingsGetUserInfoText(settings_.get()))), L"");
    Ref<OpenParams> params = SettingsGetOpenParams(settings_.get());
    EXPECT_FALSE(params->margins_set);
    EXPECT_EQ(SettingsGetChangedMask(settings_.get()), 0u);
}

namespace {

struct GuardedItems {
    int page;
    std::vector<int> items;
};

// Every control that a page greys when its permission word forbids the
// user (kind 0) to change the group.
const std::vector<GuardedItems>& Guarded() {
    static const std::vector<GuardedItems> guarded = {
        {kCommon,
         {
             IDC_COMMON_LANGUAGE,
             IDC_COMMON_ZOOM_EXACT,
             IDC_COMMON_PREVIEW_INFO,
             IDC_COMMON_HAIR_CROSS,
             IDC_COMMON_LENGTH_UNIT,
             IDC_COMMON_ACTIVEX,
#if VIEWER_PROGRAM_BUILD
             IDC_COMMON_FILE_TYPES,
#endif
         }},
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
    return guarded;
}

// The enabled state of every guarded control, page by page.
std::vector<std::pair<int, bool>> EnabledStates(HWND sheet) {
    std::vector<std::pair<int, bool>> states;
    for (const GuardedItems& guarded : Guarded()) {
        HWND page = ShowPage(sheet, guarded.page);
        for (int item : guarded.items) states.emplace_back(guarded.page * 10000 + item, Enabled(page, item));
    }
    return states;
}

}  // namespace

TEST_F(SettingsSheet, PermissionWordsOfZeroGreyTheirControlsAndNothingIsApplied) {
    SeedMachine({{"PERMISSION_VIEW", "0"},
                 {"PERMISSION_EXTENDED", "0"},
                 {"PERMISSION_DOCUMENTOPEN", "0"},
                 {"PERMISSION_USERINFO", "0"},
                 {"PERMISSION_REDLINING", "0"}});
    Start();
    std::vector<std::pair<int, bool>> states;
    bool preview_info_shown = false;
    const SheetRun run = RunSheet(context_.get(), [&](HWND sheet) {
        states = EnabledStates(sheet);
        // The values are still shown; changes forced past the greyed
        // controls are not applied.
        HWND common = ShowPage(sheet, kCommon);
        preview_info_shown = Checked(common, IDC_COMMON_PREVIEW_INFO);
        SetCheck(common, IDC_COMMON_PREVIEW_INFO, false);
        SetCheck(common, IDC_COMMON_HAIR_CROSS, false);
        HWND margins = ShowPage(sheet, kDefaultView);
        SetDlgItemTextW(margins, IDC_DEFAULT_MARGIN_LEFT, L"5");
        HWND redlining = ShowPage(sheet, kRedlining);
        SetCheck(redlining, IDC_REDLINING_DISPLAY, false);
    });
    ASSERT_TRUE(run.driven);
    ASSERT_FALSE(states.empty());
    for (const auto& [item, enabled] : states)
        EXPECT_FALSE(enabled) << "page " << item / 10000 << " item " << item % 10000;
    EXPECT_TRUE(preview_info_shown);
    EXPECT_TRUE(SettingsGetUsePreviewInfo(settings_.get()));
    EXPECT_TRUE(SettingsGetShowHairCross(settings_.get()));
    EXPECT_TRUE(SettingsGetRedliningDisplay(settings_.get()));
    EXPECT_FALSE(SettingsGetOpenParams(settings_.get())->margins_set);
    EXPECT_EQ(SettingsGetChangedMask(settings_.get()), 0u);
}

TEST_F(SettingsSheet, DefaultWordsLeaveEverythingEnabledButRestrictedVariables) {
    SeedMachine({{"RESTRICTIONS", "4096"}});
    Start();
    std::vector<std::pair<int, bool>> states;
    const SheetRun run = RunSheet(
        context_.get(), [&](HWND sheet) { states = EnabledStates(sheet); }, PSBTN_CANCEL);
    ASSERT_TRUE(run.driven);
    ASSERT_FALSE(states.empty());
    for (const auto& [item, enabled] : states) {
        const bool restricted = item == kUserInfo * 10000 + IDC_USER_INFO_EDIT_VARIABLES;
        EXPECT_EQ(enabled, !restricted) << "page " << item / 10000 << " item " << item % 10000;
    }
}

TEST(SettingsMargins, TextsConvertBothWays) {
    struct Case {
        const wchar_t* text;
        bool inch;
        double millimetres;
    };
    const Case cases[] = {
        {L"12.5", false, 12.5},   {L"12,5", false, 12.5}, {L"199.9", false, 199.9}, {L"200", false, 0.0},
        {L"250", false, 0.0},     {L"0", false, 0.0},     {L"-3", false, 0.0},      {L"abc", false, 0.0},
        {L"", false, 0.0},        {L"nan", false, 0.0},   {L"1e999", false, 0.0},   {L"0.39", true, 9.906},
        {L"7.87", true, 199.898}, {L"7.88", true, 0.0},   {L"4mm", false, 4.0},
    };
    for (const Case& c : cases) {
        EXPECT_NEAR(SettingsMarginFromText(c.text, c.inch), c.millimetres, 1e-9) << WStrCStr(WString(c.text));
    }
    EXPECT_EQ(std::wstring(WStrCStr(SettingsMarginText(12.34, false))), L"12.3");
    EXPECT_EQ(std::wstring(WStrCStr(SettingsMarginText(0.0, false))), L"0.0");
    EXPECT_EQ(std::wstring(WStrCStr(SettingsMarginText(9.906, true))), L"0.39");
    EXPECT_EQ(std::wstring(WStrCStr(SettingsMarginText(25.4, true))), L"1.00");
}
