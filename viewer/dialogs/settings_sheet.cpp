#include "viewer/dialogs/settings_sheet.h"

#include <windowsx.h>

#include <cwchar>
#include <span>

#include "foundation/handles.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/open_params.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"
#include "viewer/dialogs/position_picker.h"
#include "viewer/dialogs/variable_list_box.h"
#include "viewer/dialogs/variables_dialog.h"

namespace {

constexpr int kPageCount = 5;
constexpr double kMillimetresPerInch = 25.4;
constexpr double kInchesPerMillimetre = 0.03937007874015748;
constexpr double kMaxMargin = 200.0;
constexpr uint32_t kMarginReadLength = 25;
constexpr int kLengthUnitInch = 2;
// RESTRICTIONS bit that keeps the user from editing the text variables.

// One per page.
struct SettingsPageState : DlgPageState {
    // Set once the page shows the stored values: changes before that are
    // the page's own and do not enable Apply.
    bool ready = false;
    // The margins as the Default representation page showed them. A margin
    // whose text is unchanged keeps its stored value: the edits show it
    // rounded (to 1/10 mm, or 1/100 inch), and applying the rounded text
    // would move a margin that nobody touched.
    WString shown_margin_texts[4];
    double shown_margins[4] = {};
};

// What distinguishes the pages; the common procedure below does the rest.
struct PageKind {
    void (*init)(HWND page, SettingsPageState& state);
    void (*apply)(HWND page, SettingsPageState& state);
    // The items that edit a value: a change in one enables Apply.
    std::span<const int> value_items;
};

SettingsPageState* PageState(HWND page) { return static_cast<SettingsPageState*>(DlgGetPageParam(page)); }

void EnableItems(HWND page, std::span<const int> items, bool enable) {
    for (int item : items) {
        if (HWND window = GetDlgItem(page, item)) EnableWindow(window, enable);
    }
}

bool UserMayChange(Settings* settings, SettingsGroup group) {
    return SettingsCallerMayChange(settings, group, kCallerViewer);
}

void CheckItem(HWND page, int item, bool checked) {
    CheckDlgButton(page, item, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(HWND page, int item) { return IsDlgButtonChecked(page, item) == BST_CHECKED; }

int32_t Clamp(INT_PTR value, int32_t low, int32_t high) {
    return value < low ? low : value > high ? high : static_cast<int32_t>(value);
}

void MarkChanged(HWND page) {
    const SettingsPageState* state = PageState(page);
    if (state && state->ready) PropSheet_Changed(GetParent(page), page);
}

// ---- Common ---------------------------------------------------------------

// The length unit has no hint: its hint item keeps the template's empty text.
constexpr DlgItemText kCommonTexts[] = {
    {IDC_COMMON_LANGUAGE_LABEL, text::kSettingsLanguage},
    {IDC_COMMON_LANGUAGE_HINT, text::kSettingsNextStartHint},
    {IDC_COMMON_FILE_TYPES_LABEL, text::kSettingsFileTypes},
    {IDC_COMMON_ACTIVEX_LABEL, text::kSettingsActiveXBehaviour},
    {IDC_COMMON_ACTIVEX_HINT, text::kSettingsFileOpenModeHint},
    {IDC_COMMON_ZOOM_EXACT_LABEL, text::kSettingsZoomExact},
    {IDC_COMMON_ZOOM_EXACT_HINT, text::kSettingsZoomExactHint},
    {IDC_COMMON_PREVIEW_INFO_LABEL, text::kSettingsUsePreviewInfo},
    {IDC_COMMON_PREVIEW_INFO_HINT, text::kSettingsUsePreviewInfoHint},
    {IDC_COMMON_HAIR_CROSS_LABEL, text::kSettingsShowHairCross},
    {IDC_COMMON_HAIR_CROSS_HINT, text::kSettingsShowHairCrossHint},
    {IDC_COMMON_LENGTH_UNIT_LABEL, text::kSettingsLengthUnit},
};
// Greyed without PERMISSION_VIEW. The two check boxes of preview use and
// hair cross are among them: their values are applied only with it, so an
// enabled box would take a change and silently drop it.
constexpr int kCommonViewItems[] = {IDC_COMMON_LANGUAGE, IDC_COMMON_ZOOM_EXACT, IDC_COMMON_PREVIEW_INFO,
                                    IDC_COMMON_HAIR_CROSS, IDC_COMMON_LENGTH_UNIT};
constexpr int kCommonValueItems[] = {IDC_COMMON_LANGUAGE,   IDC_COMMON_FILE_TYPES,   IDC_COMMON_ACTIVEX,
                                     IDC_COMMON_ZOOM_EXACT, IDC_COMMON_PREVIEW_INFO, IDC_COMMON_HAIR_CROSS,
                                     IDC_COMMON_LENGTH_UNIT};

void InitCommonPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    DlgSetItemTexts(context, page, kCommonTexts);

    for (int language = 0; language < 2; ++language) {
        ComboAddTextId(context, page, IDC_COMMON_LANGUAGE, text::kLanguageGerman + language, language);
    }
    ComboSelectByData(GetDlgItem(page, IDC_COMMON_LANGUAGE), ViewerGetLanguage(context));

    // The supported file types are the desktop program's, which registers
    // itself for them; the control does not use them.
    SendDlgItemMessageW(page, IDC_COMMON_FILE_TYPES, EM_LIMITTEXT, 100, 0);
#if VIEWER_PROGRAM_BUILD
    SetDlgItemTextW(page, IDC_COMMON_FILE_TYPES, WStrCStr(SettingsGetExtensionList(settings.get())));
    DlgSetItemText(context, page, IDC_COMMON_FILE_TYPES_HINT, text::kFileTypesRegistered);
    EnableWindow(GetDlgItem(page, IDC_COMMON_FILE_TYPES), UserMayChange(settings.get(), kGroupExtended));
#else
    DlgSetItemText(context, page, IDC_COMMON_FILE_TYPES_HINT, text::kFileTypesNotUsed);
    EnableWindow(GetDlgItem(page, IDC_COMMON_FILE_TYPES), FALSE);
#endif

    for (int mode = 0; mode < 4; ++mode) {
        ComboAddTextId(context, page, IDC_COMMON_ACTIVEX, text::kFileOpenModeDefault + mode, mode);
    }
    ComboSelectByData(GetDlgItem(page, IDC_COMMON_ACTIVEX), SettingsGetFileOpenMode(settings.get()));

    CheckItem(page, IDC_COMMON_ZOOM_EXACT, SettingsGetZoomExact(settings.get()));
    CheckItem(page, IDC_COMMON_PREVIEW_INFO, SettingsGetUsePreviewInfo(settings.get()));
    CheckItem(page, IDC_COMMON_HAIR_CROSS, SettingsGetShowHairCross(settings.get()));

    for (int unit = 1; unit <= 4; ++unit) {
        ComboAddTextId(context, page, IDC_COMMON_LENGTH_UNIT, text::kLengthUnitMetricTechnical + unit - 1,
                       unit);
    }
    ComboSelectByData(GetDlgItem(page, IDC_COMMON_LENGTH_UNIT), SettingsGetLengthUnit(settings.get()));

    EnableItems(page, kCommonViewItems, UserMayChange(settings.get(), kGroupView));
    EnableWindow(GetDlgItem(page, IDC_COMMON_ACTIVEX), UserMayChange(settings.get(), kGroupExtended));
}

void ApplyCommonPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    Settings* s = settings.get();
    INT_PTR data = 0;
    if (UserMayChange(s, kGroupView)) {
        if (ComboGetSelData(GetDlgItem(page, IDC_COMMON_LANGUAGE), data) >= 0) {
            SettingsSetLanguage(s, context, kCallerViewer, static_cast<uint16_t>(Clamp(data, 0, 1)));
        }
        SettingsSetZoomExact(s, context, kCallerViewer, IsChecked(page, IDC_COMMON_ZOOM_EXACT));
        SettingsSetUsePreviewInfo(s, context, kCallerViewer, IsChecked(page, IDC_COMMON_PREVIEW_INFO));
        SettingsSetShowHairCross(s, context, kCallerViewer, IsChecked(page, IDC_COMMON_HAIR_CROSS));
        if (ComboGetSelData(GetDlgItem(page, IDC_COMMON_LENGTH_UNIT), data) >= 0) {
            SettingsSetLengthUnit(s, context, kCallerViewer, Clamp(data, 1, 4));
        }
    }
    // The setters of the extended group's two values check no permission:
    // the page does.
    if (!UserMayChange(s, kGroupExtended)) return;
#if VIEWER_PROGRAM_BUILD
    SettingsSetExtensionList(s, context, kCallerViewer, DlgGetItemString(page, IDC_COMMON_FILE_TYPES));
#endif
    if (ComboGetSelData(GetDlgItem(page, IDC_COMMON_ACTIVEX), data) >= 0) {
        SettingsSetFileOpenMode(s, context, kCallerViewer, Clamp(data, 0, 3));
    }
}

// ---- Default representation ------------------------------------------------

constexpr DlgItemText kDefaultViewTexts[] = {
    {IDC_DEFAULT_BORDERS, text::kSettingsBorders},
    {IDC_DEFAULT_INVERSE, text::kSettingsInvert},
    {IDC_DEFAULT_MIRROR_H, text::kSettingsFlipHorizontally},
    {IDC_DEFAULT_MIRROR_V, text::kSettingsFlipVertically},
    {IDC_DEFAULT_ROTATION_LABEL, text::kSettingsRotation},
    {IDC_DEFAULT_AUTO_INVERT_GROUP, text::kSettingsAutoInvert},
    {IDC_DEFAULT_AUTO_INVERT_OFF, text::kSettingsAutoInvertOff},
    {IDC_DEFAULT_AUTO_INVERT_WHITE, text::kSettingsAutoInvertWhite},
    {IDC_DEFAULT_AUTO_INVERT_BLACK, text::kSettingsAutoInvertBlack},
};
// Left, top, right, bottom.
constexpr int kMarginEdits[] = {IDC_DEFAULT_MARGIN_LEFT, IDC_DEFAULT_MARGIN_TOP, IDC_DEFAULT_MARGIN_RIGHT,
                                IDC_DEFAULT_MARGIN_BOTTOM};
constexpr int kMarginUnits[] = {IDC_DEFAULT_UNIT_LEFT, IDC_DEFAULT_UNIT_TOP, IDC_DEFAULT_UNIT_RIGHT,
                                IDC_DEFAULT_UNIT_BOTTOM};
// By auto-invert mode 0, 1, 2.
constexpr int kAutoInvertRadios[] = {IDC_DEFAULT_AUTO_INVERT_OFF, IDC_DEFAULT_AUTO_INVERT_WHITE,
                                     IDC_DEFAULT_AUTO_INVERT_BLACK};
constexpr int kDefaultViewValueItems[] = {
    IDC_DEFAULT_MARGIN_LEFT,       IDC_DEFAULT_MARGIN_TOP,        IDC_DEFAULT_MARGIN_RIGHT,
    IDC_DEFAULT_MARGIN_BOTTOM,     IDC_DEFAULT_INVERSE,           IDC_DEFAULT_MIRROR_H,
    IDC_DEFAULT_MIRROR_V,          IDC_DEFAULT_ROTATION,          IDC_DEFAULT_AUTO_INVERT_OFF,
    IDC_DEFAULT_AUTO_INVERT_WHITE, IDC_DEFAULT_AUTO_INVERT_BLACK,
};

void InitDefaultViewPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    Ref<OpenParams> params = SettingsGetOpenParams(settings.get());
    DlgSetItemTexts(context, page, kDefaultViewTexts);

    double margins[4] = {};
    OpenParamsGetOffsets(params.get(), margins[0], margins[1], margins[2], margins[3]);
    for (int side = 0; side < 4; ++side) {
        DlgSetItemText(context, page, kMarginUnits[side],
                       state.inch ? text::kUnitInch : text::kUnitMillimetre);
        DlgMakeNumericEdit(page, kMarginEdits[side]);
        SendDlgItemMessageW(page, kMarginEdits[side], EM_LIMITTEXT, 4, 0);
        state.shown_margins[side] = margins[side];
        state.shown_margin_texts[side] = SettingsMarginText(margins[side], state.inch);
        SetDlgItemTextW(page, kMarginEdits[side], WStrCStr(state.shown_margin_texts[side]));
    }

    CheckItem(page, IDC_DEFAULT_INVERSE, OpenParamsGetInverted(params.get()));
    CheckItem(page, IDC_DEFAULT_MIRROR_H, OpenParamsGetMirrorH(params.get()));
    CheckItem(page, IDC_DEFAULT_MIRROR_V, OpenParamsGetMirrorV(params.get()));

    constexpr const wchar_t* kRotations[] = {L"0", L"90", L"180", L"270"};
    for (int quarter = 0; quarter < 4; ++quarter) {
        ComboAddText(page, IDC_DEFAULT_ROTATION, kRotations[quarter], quarter * 90);
    }
    ComboSelectByData(GetDlgItem(page, IDC_DEFAULT_ROTATION), OpenParamsGetRotation(params.get()));

    const uint32_t auto_invert = OpenParamsGetAutoInvert(params.get());
    for (uint32_t mode = 0; mode < 3; ++mode) CheckItem(page, kAutoInvertRadios[mode], mode == auto_invert);

    EnableItems(page, kDefaultViewValueItems, UserMayChange(settings.get(), kGroupDocumentOpen));
}

void ApplyDefaultViewPage(HWND page, SettingsPageState& state) {
    Ref<Settings> settings = ViewerGetSettings(state.context);
    if (!UserMayChange(settings.get(), kGroupDocumentOpen)) return;
    Ref<OpenParams> params = SettingsGetOpenParams(settings.get());
    if (!params) return;

    double margins[4];
    for (int side = 0; side < 4; ++side) {
        const WString typed = DlgGetItemString(page, kMarginEdits[side]);
        margins[side] = WStrEquals(typed, state.shown_margin_texts[side])
                            ? state.shown_margins[side]
                            : SettingsMarginFromText(typed, state.inch);
    }
    OpenParamsSetOffsets(params.get(), margins[0], margins[1], margins[2], margins[3]);
    OpenParamsSetInverted(params.get(), IsChecked(page, IDC_DEFAULT_INVERSE));
    OpenParamsSetMirrorH(params.get(), IsChecked(page, IDC_DEFAULT_MIRROR_H));
    OpenParamsSetMirrorV(params.get(), IsChecked(page, IDC_DEFAULT_MIRROR_V));
    uint32_t auto_invert = 0;
    if (IsChecked(page, IDC_DEFAULT_AUTO_INVERT_WHITE)) auto_invert = 1;
    if (IsChecked(page, IDC_DEFAULT_AUTO_INVERT_BLACK)) auto_invert = 2;
    OpenParamsSetAutoInvert(params.get(), auto_invert);
    INT_PTR rotation = 0;
    if (ComboGetSelData(GetDlgItem(page, IDC_DEFAULT_ROTATION), rotation) >= 0 && rotation >= 0 &&
        rotation <= 270) {
        OpenParamsSetRotation(params.get(), static_cast<int32_t>(rotation));
    }
}

RECT ItemClientRect(HWND page, int item) {
    RECT rect = {};
    if (HWND window = GetDlgItem(page, item); window && GetWindowRect(window, &rect)) {
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

void PaintPageSymbol(HWND page, HDC dc) {
    const RECT symbol = SettingsPageSymbolRect(
        ItemClientRect(page, IDC_DEFAULT_MARGIN_LEFT), ItemClientRect(page, IDC_DEFAULT_MARGIN_TOP),
        ItemClientRect(page, IDC_DEFAULT_MARGIN_RIGHT), ItemClientRect(page, IDC_DEFAULT_MARGIN_BOTTOM));
    if (symbol.right <= symbol.left || symbol.bottom <= symbol.top) return;
    ScopedSelect pen(dc, GetStockObject(BLACK_PEN));
    ScopedSelect brush(dc, GetStockObject(WHITE_BRUSH));
    Rectangle(dc, symbol.left, symbol.top, symbol.right, symbol.bottom);
}

// ---- Network settings ------------------------------------------------------

constexpr DlgItemText kNetworkTexts[] = {
    {IDC_NETWORK_HTTP_GROUP, text::kSettingsHttpDownloads},
    {IDC_NETWORK_SEND_COOKIES, text::kSettingsSendCookies},
    {IDC_NETWORK_CACHE_GROUP, text::kSettingsFileCache},
    {IDC_NETWORK_CACHE_REMOTE, text::kSettingsCacheNetwork},
    {IDC_NETWORK_CACHE_REMOVABLE, text::kSettingsCacheRemovable},
    {IDC_NETWORK_CACHE_CDROM, text::kSettingsCacheCdRom},
    {IDC_NETWORK_CACHE_FIXED, text::kSettingsCacheFixed},
};
struct CacheBox {
    int item;
    uint32_t bit;
};
constexpr CacheBox kCacheBoxes[] = {
    {IDC_NETWORK_CACHE_REMOTE, 1},
    {IDC_NETWORK_CACHE_REMOVABLE, 4},
    {IDC_NETWORK_CACHE_CDROM, 8},
    {IDC_NETWORK_CACHE_FIXED, 2},
};
constexpr int kNetworkValueItems[] = {IDC_NETWORK_SEND_COOKIES, IDC_NETWORK_CACHE_REMOTE,
                                      IDC_NETWORK_CACHE_REMOVABLE, IDC_NETWORK_CACHE_CDROM,
                                      IDC_NETWORK_CACHE_FIXED};

void InitNetworkPage(HWND page, SettingsPageState& state) {
    Ref<Settings> settings = ViewerGetSettings(state.context);
    DlgSetItemTexts(state.context, page, kNetworkTexts);
    CheckItem(page, IDC_NETWORK_SEND_COOKIES, SettingsGetSendCookiesAuth(settings.get()));
    const uint32_t caching = SettingsGetDriveTypesCaching(settings.get());
    for (const CacheBox& box : kCacheBoxes) CheckItem(page, box.item, (caching & box.bit) != 0);
    // The network group has no word of its own in the registry; the view
    // group's word decides what the page offers.
    EnableItems(page, kNetworkValueItems, UserMayChange(settings.get(), kGroupView));
}

void ApplyNetworkPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    SettingsSetSendCookiesAuth(settings.get(), context, kCallerViewer,
                               IsChecked(page, IDC_NETWORK_SEND_COOKIES));
    uint32_t caching = 0;
    for (const CacheBox& box : kCacheBoxes) {
        if (IsChecked(page, box.item)) caching |= box.bit;
    }
    SettingsSetDriveTypesCaching(settings.get(), context, kCallerViewer, caching);
}

// ---- User information ------------------------------------------------------

constexpr DlgItemText kUserInfoTexts[] = {
    {IDC_USER_INFO_TEXT_LABEL, text::kSettingsText},
    {IDC_USER_INFO_VARIABLES_LABEL, text::kSettingsVariables},
    {IDC_USER_INFO_PASTE, text::kSettingsPasteIntoText},
    {IDC_USER_INFO_EDIT_VARIABLES, text::kSettingsEditVariables},
    {IDC_USER_INFO_BORDER, text::kSettingsBorder},
    {IDC_USER_INFO_TRANSPARENT, text::kSettingsTransparent},
    {IDC_USER_INFO_LARGE_FONT, text::kSettingsLargeFont},
};
struct FlagBox {
    int item;
    int32_t bit;
};
constexpr FlagBox kUserInfoFlagBoxes[] = {
    {IDC_USER_INFO_BORDER, 2},
    {IDC_USER_INFO_TRANSPARENT, 1},
    {IDC_USER_INFO_LARGE_FONT, 4},
};
// Greyed without PERMISSION_USERINFO. The large-font box and the position
// picker are applied only with it as well, so they are greyed with the rest.
constexpr int kUserInfoPermissionItems[] = {
    IDC_USER_INFO_TEXT,     IDC_USER_INFO_BORDER,    IDC_USER_INFO_TRANSPARENT, IDC_USER_INFO_LARGE_FONT,
    IDC_USER_INFO_POSITION, IDC_USER_INFO_VARIABLES, IDC_USER_INFO_PASTE,       IDC_USER_INFO_EDIT_VARIABLES,
};
constexpr int kUserInfoValueItems[] = {IDC_USER_INFO_TEXT, IDC_USER_INFO_BORDER, IDC_USER_INFO_TRANSPARENT,
                                       IDC_USER_INFO_LARGE_FONT};

void FillVariables(HWND page, ViewerContext* context) {
    VarListRefillListBox(context, page, IDC_USER_INFO_VARIABLES, IDC_USER_INFO_DESCRIPTION,
                         IDC_USER_INFO_PASTE);
}

void InitUserInfoPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    DlgSetItemTexts(context, page, kUserInfoTexts);

    SendDlgItemMessageW(page, IDC_USER_INFO_TEXT, EM_LIMITTEXT, 2000, 0);
    SetDlgItemTextW(page, IDC_USER_INFO_TEXT, WStrCStr(SettingsGetUserInfoText(settings.get())));
    DlgMakeEnterEdit(page, IDC_USER_INFO_TEXT);

    PositionPickerSet(page, IDC_USER_INFO_POSITION, SettingsGetUserInfoPosition(settings.get()));
    const int32_t flags = SettingsGetUserInfoFlags(settings.get());
    for (const FlagBox& box : kUserInfoFlagBoxes) CheckItem(page, box.item, (flags & box.bit) != 0);

    const bool may_change = UserMayChange(settings.get(), kGroupUserInfo);
    EnableItems(page, kUserInfoPermissionItems, may_change);
    if (SettingsGetRestrictions(settings.get()) & restriction::kEditVariables) {
        EnableWindow(GetDlgItem(page, IDC_USER_INFO_EDIT_VARIABLES), FALSE);
    }
    // The description enables the paste button while a variable is
    // selected; without the permission it stays grey all the same.
    FillVariables(page, context);
    if (!may_change) EnableWindow(GetDlgItem(page, IDC_USER_INFO_PASTE), FALSE);
}

void ApplyUserInfoPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!UserMayChange(settings.get(), kGroupUserInfo)) return;
    Settings* s = settings.get();
    SettingsSetUserInfoText(s, context, kCallerViewer, DlgGetItemString(page, IDC_USER_INFO_TEXT));
    SettingsSetUserInfoPosition(s, context, kCallerViewer, PositionPickerGet(page, IDC_USER_INFO_POSITION));
    int32_t flags = 0;
    for (const FlagBox& box : kUserInfoFlagBoxes) {
        if (IsChecked(page, box.item)) flags |= box.bit;
    }
    SettingsSetUserInfoFlags(s, context, kCallerViewer, flags);
}

void OnUserInfoCommand(HWND page, int item, int code) {
    SettingsPageState* state = PageState(page);
    if (!state) return;
    ViewerContext* context = state->context;
    const bool may_change = IsWindowEnabled(GetDlgItem(page, IDC_USER_INFO_TEXT));
    if (item == IDC_USER_INFO_EDIT_VARIABLES && code == BN_CLICKED) {
        if (ShowVariablesDialog(GetParent(page), context)) FillVariables(page, context);
        return;
    }
    VarListOnCommand(
        context, page, item, code,
        {IDC_USER_INFO_VARIABLES, IDC_USER_INFO_DESCRIPTION, IDC_USER_INFO_PASTE, IDC_USER_INFO_TEXT},
        may_change);
}

// ---- Redlining ---------------------------------------------------------------

constexpr DlgItemText kRedliningTexts[] = {
    {IDC_REDLINING_ACTIVE, text::kSettingsRedliningActive},
    {IDC_REDLINING_DISPLAY, text::kSettingsRedliningDisplay},
    {IDC_REDLINING_NUMBERS_GROUP, text::kSettingsObjectNumbers},
    {IDC_REDLINING_NUMBERS_ALWAYS, text::kSettingsDisplayAlways},
    {IDC_REDLINING_NUMBERS_SCREEN, text::kSettingsDisplayOnScreen},
    {IDC_REDLINING_NUMBERS_EDITING, text::kSettingsDisplayEditOnly},
    {IDC_REDLINING_NUMBERS_NEVER, text::kSettingsDisplayNever},
};
// By REDLINING_OBJECTNUMBERS 0 to 3. Their numbers are not in one range, so
// each is checked on its own (CheckRadioButton would clear the boxes between).
constexpr int kObjectNumberRadios[] = {IDC_REDLINING_NUMBERS_ALWAYS, IDC_REDLINING_NUMBERS_SCREEN,
                                       IDC_REDLINING_NUMBERS_EDITING, IDC_REDLINING_NUMBERS_NEVER};
constexpr int kRedliningValueItems[] = {IDC_REDLINING_ACTIVE,          IDC_REDLINING_DISPLAY,
                                        IDC_REDLINING_NUMBERS_ALWAYS,  IDC_REDLINING_NUMBERS_SCREEN,
                                        IDC_REDLINING_NUMBERS_EDITING, IDC_REDLINING_NUMBERS_NEVER};

void InitRedliningPage(HWND page, SettingsPageState& state) {
    Ref<Settings> settings = ViewerGetSettings(state.context);
    DlgSetItemTexts(state.context, page, kRedliningTexts);
    CheckItem(page, IDC_REDLINING_ACTIVE, SettingsGetRedliningActive(settings.get()));
    CheckItem(page, IDC_REDLINING_DISPLAY, SettingsGetRedliningDisplay(settings.get()));
    const int32_t numbers = SettingsGetRedliningObjectNumbers(settings.get());
    for (int32_t mode = 0; mode < 4; ++mode) CheckItem(page, kObjectNumberRadios[mode], mode == numbers);
    EnableItems(page, kRedliningValueItems, UserMayChange(settings.get(), kGroupRedlining));
}

void ApplyRedliningPage(HWND page, SettingsPageState& state) {
    ViewerContext* context = state.context;
    Ref<Settings> settings = ViewerGetSettings(context);
    Settings* s = settings.get();
    SettingsSetRedliningActive(s, context, kCallerViewer, IsChecked(page, IDC_REDLINING_ACTIVE));
    SettingsSetRedliningDisplay(s, context, kCallerViewer, IsChecked(page, IDC_REDLINING_DISPLAY));
    for (int32_t mode = 0; mode < 4; ++mode) {
        if (IsChecked(page, kObjectNumberRadios[mode])) {
            SettingsSetRedliningObjectNumbers(s, context, kCallerViewer, mode);
            break;
        }
    }
}

// ---- Page procedures -------------------------------------------------------

constexpr PageKind kCommonPage = {InitCommonPage, ApplyCommonPage, kCommonValueItems};
constexpr PageKind kDefaultViewPage = {InitDefaultViewPage, ApplyDefaultViewPage, kDefaultViewValueItems};
constexpr PageKind kNetworkPage = {InitNetworkPage, ApplyNetworkPage, kNetworkValueItems};
constexpr PageKind kUserInfoPage = {InitUserInfoPage, ApplyUserInfoPage, kUserInfoValueItems};
constexpr PageKind kRedliningPage = {InitRedliningPage, ApplyRedliningPage, kRedliningValueItems};

bool IsValueChange(const PageKind& kind, int item, int code) {
    if (code != BN_CLICKED && code != EN_CHANGE && code != CBN_SELCHANGE) return false;
    for (int value_item : kind.value_items) {
        if (value_item == item) return true;
    }
    return false;
}

INT_PTR PageProc(const PageKind& kind, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* state = static_cast<SettingsPageState*>(DlgAttachPageParam(page, lparam));
            if (state) {
                kind.init(page, *state);
                state->ready = true;
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (IsValueChange(kind, LOWORD(wparam), HIWORD(wparam))) MarkChanged(page);
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == PSN_KILLACTIVE) {
                SetWindowLongPtrW(page, DWLP_MSGRESULT, FALSE);
                return TRUE;
            }
            if (header->code == PSN_APPLY) {
                if (SettingsPageState* state = PageState(page)) kind.apply(page, *state);
                SetWindowLongPtrW(page, DWLP_MSGRESULT, PSNRET_NOERROR);
                return TRUE;
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK CommonPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kCommonPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK DefaultViewPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_PAINT) {
        PaintDC dc(page);
        if (dc) PaintPageSymbol(page, dc.get());
        return TRUE;
    }
    if (message == WM_PRINTCLIENT) {
        PaintPageSymbol(page, reinterpret_cast<HDC>(wparam));
        return TRUE;
    }
    return PageProc(kDefaultViewPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK NetworkPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kNetworkPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK UserInfoPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_PAINT: {
            PaintDC dc(page);
            if (dc) PositionPickerPaintItem(page, IDC_USER_INFO_POSITION, dc.get());
            return TRUE;
        }
        case WM_PRINTCLIENT:
            PositionPickerPaintItem(page, IDC_USER_INFO_POSITION, reinterpret_cast<HDC>(wparam));
            return TRUE;
        case WM_LBUTTONDOWN:
            if (PositionPickerClick(page, IDC_USER_INFO_POSITION,
                                    {GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)})) {
                MarkChanged(page);
            }
            return TRUE;
        case WM_CLOSE:
            // ESC in the multi-line text closes the page: cancel the sheet.
            PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
            return TRUE;
        case WM_COMMAND:
            OnUserInfoCommand(page, LOWORD(wparam), HIWORD(wparam));
            break;
        default:
            break;
    }
    return PageProc(kUserInfoPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK RedliningPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kRedliningPage, page, message, wparam, lparam);
}

}  // namespace

double SettingsMarginFromText(const WString& text, bool inch) {
    WString number = text;
    WStrTruncate(number, kMarginReadLength);
    WStrReplaceChar(number, L',', L'.');
    const double millimetres = std::wcstod(WStrCStr(number), nullptr) * (inch ? kMillimetresPerInch : 1.0);
    // Also false for NaN.
    return millimetres > 0.0 && millimetres < kMaxMargin ? millimetres : 0.0;
}

WString SettingsMarginText(double millimetres, bool inch) {
    wchar_t text[21] = {};
    const int length = inch ? swprintf(text, 21, L"%.2f", millimetres * kInchesPerMillimetre)
                            : swprintf(text, 21, L"%.1f", millimetres);
    return length > 0 ? WString(text) : WString();
}

RECT SettingsPageSymbolRect(const RECT& left_edit, const RECT& top_edit, const RECT& right_edit,
                            const RECT& bottom_edit) {
    return RECT{left_edit.right + 8, top_edit.bottom + 8, right_edit.left - 8, bottom_edit.top - 8};
}

bool ShowSettings(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings) return false;
    struct PageSpec {
        int template_id;
        uint32_t title;
        DLGPROC procedure;
    };
    static constexpr PageSpec kPages[kPageCount] = {
        {IDD_SETTINGS_COMMON, text::kSettingsCommon, CommonPageProc},
        {IDD_SETTINGS_DEFAULT_VIEW, text::kSettingsDefaultView, DefaultViewPageProc},
        {IDD_SETTINGS_NETWORK, text::kSettingsNetwork, NetworkPageProc},
        {IDD_SETTINGS_USER_INFO, text::kSettingsUserInfo, UserInfoPageProc},
        {IDD_SETTINGS_REDLINING, text::kSettingsRedlining, RedliningPageProc},
    };

    const HINSTANCE instance = ViewerGetInstance(context);
    const bool inch = SettingsGetLengthUnit(settings.get()) == kLengthUnitInch;
    SettingsPageState states[kPageCount];
    PROPSHEETPAGEW pages[kPageCount];
    for (int index = 0; index < kPageCount; ++index) {
        states[index].context = context;
        states[index].inch = inch;
        DlgInitPropPage(pages[index], instance, kPages[index].template_id,
                        ViewerTextOrEmpty(context, kPages[index].title), kPages[index].procedure);
        pages[index].lParam = reinterpret_cast<LPARAM>(static_cast<DlgPageState*>(&states[index]));
    }

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP;
    header.hwndParent = ViewerGetFrameHwnd(context);
    header.hInstance = instance;
    header.pszCaption = ViewerTextOrEmpty(context, text::kSettings);
    header.nPages = kPageCount;
    header.nStartPage = 0;
    header.ppsp = pages;
    return PropertySheetW(&header) >= 0;
}
