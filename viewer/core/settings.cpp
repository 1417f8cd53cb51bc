#include "viewer/core/settings.h"

#include <algorithm>
#include <cmath>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "foundation/variant.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"

namespace {

// Registry value names.
constexpr wchar_t kLanguageName[] = L"LANGUAGE";
constexpr wchar_t kLengthUnitName[] = L"LENGTH_UNIT";
constexpr wchar_t kZoomExactName[] = L"ZOOM_EXACT";
constexpr wchar_t kZoomFactorName[] = L"FIXED_ZOOMFACTOR";
constexpr wchar_t kShowHairCrossName[] = L"SHOW_HAIRCROSS";
constexpr wchar_t kUsePreviewInfoName[] = L"USE_PREVIEW_INFO";
constexpr wchar_t kFileOpenModeName[] = L"ACTIVEX_FILEOPENMODE";
constexpr wchar_t kRecentFilesLengthName[] = L"LENGTH_RECENT_FILES_LIST";
constexpr wchar_t kTempDirCleanupName[] = L"TEMPDIR_CLEANUP";
constexpr wchar_t kPrinterWorkaroundName[] = L"PRINTER_WORKAROUND";
constexpr wchar_t kWorkaroundName[] = L"WORKAROUND";
constexpr wchar_t kSearchExtensionsName[] = L"SEARCH_EXTENSIONS";
constexpr wchar_t kSupportedFileTypesName[] = L"SUPPORTED_FILETYPES";
constexpr wchar_t kSendCookiesAuthName[] = L"NETWORK_SEND_COOKIES_AUTH";
constexpr wchar_t kDriveTypesCachingName[] = L"NETWORK_DRIVETYPES_CACHING";
constexpr wchar_t kNavigationWidthName[] = L"WIDTH_NAVIFRAME";
constexpr wchar_t kPreviewHeightName[] = L"HEIGHT_PREVIEW";
// The splitter positions that loading accepts.
constexpr int32_t kSplitterMin = 20;
constexpr int32_t kSplitterMax = 2000;
constexpr wchar_t kRectPreviewName[] = L"RECT_PREVIEW";
constexpr wchar_t kRectMainViewName[] = L"RECT_MAINVIEW";
constexpr wchar_t kRectNavigationName[] = L"RECT_NAVIGATION";
constexpr wchar_t kRectMainWindowName[] = L"RECT_MAINWINDOW";
constexpr wchar_t kPopupsMoveableName[] = L"POPUPS_MOVEABLE";
constexpr wchar_t kPopupsMoveWithMainName[] = L"POPUPS_MOVE_WITH_MAINWINDOW";
constexpr wchar_t kRedliningActiveName[] = L"REDLINING_ACTIVE";
constexpr wchar_t kRedliningDisplayName[] = L"REDLINING_DISPLAY";
constexpr wchar_t kRedliningObjectNumbersName[] = L"REDLINING_OBJECTNUMBERS";
constexpr wchar_t kUserInfoTextName[] = L"USERINFO_TEXT";
constexpr wchar_t kUserInfoPositionName[] = L"USERINFO_POSITION";
constexpr wchar_t kUserInfoFlagsName[] = L"USERINFO_FLAGS";
constexpr wchar_t kUserInfoPrintName[] = L"USERINFO_PRINT";
constexpr wchar_t kRestrictionsName[] = L"RESTRICTIONS";
constexpr wchar_t kCustomAppInfoTitleName[] = L"CUSTOMAPPINFOTITLE";
constexpr wchar_t kCustomAppInfoName[] = L"CUSTOMAPPINFO";
constexpr wchar_t kExtensionsName[] = L"EXTENSIONS";

// By SettingsGroup; the network group's word has no registry value.
constexpr const wchar_t* kPermissionNames[kGroupCount] = {
    L"PERMISSION_VIEW",         L"PERMISSION_EXTENDED",     nullptr,
    L"PERMISSION_WINDOW",       L"PERMISSION_REDLINING",    L"PERMISSION_USERINFO",
    L"PERMISSION_RESTRICTIONS", L"PERMISSION_DOCUMENTOPEN", L"PERMISSION_PERMISSIONS",
};

// By SettingsPane: value name, changed bit, highest mode.
struct ViewModeOption {
    const wchar_t* name;
    uint64_t bit;
    int32_t highest;
};
constexpr ViewModeOption kViewModes[] = {
    {L"VIEWMODE_PREVIEW", setting::kViewModePreview, 2},
    {L"VIEWMODE_MAINVIEW", setting::kViewModeMainView, 2},
    {L"VIEWMODE_NAVIGATION", setting::kViewModeNavigation, 2},
    {L"VIEWMODE_STATUSBAR", setting::kViewModeStatusBar, 1},
    {L"VIEWMODE_TOOLBAR", setting::kViewModeToolBar, 1},
    {L"VIEWMODE_MENUE", setting::kViewModeMenuBar, 1},
};
constexpr uint32_t kViewModeCount = sizeof kViewModes / sizeof kViewModes[0];

// The options of each group, by their bits in the changed mask. The bits do
// not follow the groups (ACTIVEX_FILEOPENMODE has bit 3 among the view bits
// but belongs to the extended group), so each group names its own.
constexpr uint64_t kViewOptions = setting::kLanguage | setting::kLengthUnit | setting::kZoomExact |
                                  setting::kZoomFactor | setting::kShowHairCross | setting::kUsePreviewInfo;
constexpr uint64_t kExtendedOptions =
    setting::kFileOpenMode | setting::kRecentFilesLength | setting::kSupportedFileTypes;
constexpr uint64_t kNetworkOptions = setting::kSendCookiesAuth | setting::kDriveTypesCaching;
constexpr uint64_t kWindowOptions =
    setting::kViewModePreview | setting::kViewModeMainView | setting::kViewModeNavigation |
    setting::kViewModeStatusBar | setting::kViewModeToolBar | setting::kViewModeMenuBar |
    setting::kNavigationWidth | setting::kPreviewHeight | setting::kRectPreview | setting::kRectMainView |
    setting::kRectNavigation | setting::kRectMainWindow;
constexpr uint64_t kRedliningOptions =
    setting::kRedliningActive | setting::kRedliningDisplay | setting::kRedliningObjectNumbers;
constexpr uint64_t kUserInfoOptions =
    setting::kUserInfoText | setting::kUserInfoPosition | setting::kUserInfoFlags | setting::kUserInfoPrint;
static_assert((kViewOptions & kExtendedOptions) == 0 && (kViewOptions & kWindowOptions) == 0 &&
              (kExtendedOptions & kWindowOptions) == 0 && (kNetworkOptions & kWindowOptions) == 0 &&
              (kRedliningOptions & kUserInfoOptions) == 0);

bool CallerAllowed(uint32_t word, uint32_t caller_kind) {
    switch (caller_kind) {
        case kCallerViewer:
            return (word & kPermissionKind0) != 0;
        case kCallerExternal:
            return (word & kPermissionKind1) != 0;
        case kCallerAutomation:
            return (word & kPermissionKind2) != 0;
        case kCallerInternal:
            return true;
        default:
            return false;
    }
}

// ---- Reading: a missing value leaves the field as it is.

void ReadBool(HKEY key, const wchar_t* name, bool& field) {
    bool value = false;
    if (RegGetBool(key, name, value)) field = value;
}

void ReadInt(HKEY key, const wchar_t* name, int32_t& field) {
    int32_t value = 0;
    if (RegGetInt(key, name, value)) field = value;
}

void ReadBits(HKEY key, const wchar_t* name, uint32_t& field) {
    int32_t value = 0;
    if (RegGetInt(key, name, value)) field = static_cast<uint32_t>(value);
}

// A value outside low..high becomes the fallback.
void ReadIntOr(HKEY key, const wchar_t* name, int32_t& field, int32_t low, int32_t high, int32_t fallback) {
    int32_t value = 0;
    if (RegGetInt(key, name, value)) field = value >= low && value <= high ? value : fallback;
}

// A value outside low..high is ignored.
void ReadIntIfInRange(HKEY key, const wchar_t* name, int32_t& field, int32_t low, int32_t high) {
    int32_t value = 0;
    if (RegGetInt(key, name, value) && value >= low && value <= high) field = value;
}

void ReadText(HKEY key, const wchar_t* name, WString& field) {
    WString value;
    if (RegGetString(key, name, value)) field = value;
}

void ReadRect(HKEY key, const wchar_t* name, RectI& field) {
    RectI value;
    if (RegGetRect(key, name, value)) field = value;
}

// ---- The groups, each read and written in one place.

void LoadView(Settings& s, HKEY key) {
    int32_t language = s.language;
    ReadIntOr(key, kLanguageName, language, 0, 1, 0);
    s.language = static_cast<uint16_t>(language);
    ReadIntOr(key, kLengthUnitName, s.length_unit, 1, 4, 1);
    ReadBool(key, kZoomExactName, s.zoom_exact);
    double factor = 0.0;
    if (RegGetDouble(key, kZoomFactorName, factor))
        s.zoom_factor = factor >= 0.0 && factor <= 100000.0 ? factor : 0.0;
    ReadBool(key, kShowHairCrossName, s.show_hair_cross);
    ReadBool(key, kUsePreviewInfoName, s.use_preview_info);
}

bool SaveView(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    if (pending & setting::kLanguage) ok &= RegSetInt(key, kLanguageName, s.language);
    if (pending & setting::kLengthUnit) ok &= RegSetInt(key, kLengthUnitName, s.length_unit);
    if (pending & setting::kZoomExact) ok &= RegSetBool(key, kZoomExactName, s.zoom_exact);
    if (pending & setting::kZoomFactor) ok &= RegSetDouble(key, kZoomFactorName, s.zoom_factor);
    if (pending & setting::kShowHairCross) ok &= RegSetBool(key, kShowHairCrossName, s.show_hair_cross);
    if (pending & setting::kUsePreviewInfo) ok &= RegSetBool(key, kUsePreviewInfoName, s.use_preview_info);
    return ok;
}

void LoadExtended(Settings& s, HKEY key) {
    ReadIntOr(key, kFileOpenModeName, s.file_open_mode, 0, 3, 1);
    int32_t length = 0;
    // The list holds 0 to 20 files; a negative length would make no sense.
    if (RegGetInt(key, kRecentFilesLengthName, length))
        s.recent_files_length = length < 0 ? 0 : length > 20 ? 20 : length;
    ReadBool(key, kTempDirCleanupName, s.temp_dir_cleanup);
    ReadText(key, kPrinterWorkaroundName, s.printer_workaround);
    ReadBits(key, kWorkaroundName, s.workaround);
    ReadBool(key, kSearchExtensionsName, s.search_extensions);
    // Only the desktop program registers file types.
    if constexpr (kViewerProgramBuild) ReadText(key, kSupportedFileTypesName, s.supported_file_types);
}

bool SaveExtended(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    if (pending & setting::kFileOpenMode) ok &= RegSetInt(key, kFileOpenModeName, s.file_open_mode);
    if (pending & setting::kRecentFilesLength)
        ok &= RegSetInt(key, kRecentFilesLengthName, s.recent_files_length);
    if (pending & setting::kSupportedFileTypes)
        ok &= RegSetString(key, kSupportedFileTypesName, s.supported_file_types);
    return ok;
}

void LoadNetwork(Settings& s, HKEY key) {
    ReadBool(key, kSendCookiesAuthName, s.send_cookies_auth);
    int32_t drive_types = 0;
    if (RegGetInt(key, kDriveTypesCachingName, drive_types))
        s.drive_types_caching = static_cast<uint32_t>(drive_types) & 15;
}

bool SaveNetwork(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    if (pending & setting::kSendCookiesAuth) ok &= RegSetBool(key, kSendCookiesAuthName, s.send_cookies_auth);
    if (pending & setting::kDriveTypesCaching) {
        ok &= RegSetInt(key, kDriveTypesCachingName, static_cast<int32_t>(s.drive_types_caching));
    }
    return ok;
}

void LoadWindow(Settings& s, HKEY key) {
    for (uint32_t pane = 0; pane < kViewModeCount; ++pane) {
        ReadIntOr(key, kViewModes[pane].name, s.view_modes[pane], 0, kViewModes[pane].highest, 1);
    }
    ReadIntIfInRange(key, kNavigationWidthName, s.navigation_width, kSplitterMin, kSplitterMax);
    ReadIntIfInRange(key, kPreviewHeightName, s.preview_height, kSplitterMin, kSplitterMax);
    ReadRect(key, kRectPreviewName, s.rect_preview);
    ReadRect(key, kRectMainViewName, s.rect_main_view);
    ReadRect(key, kRectNavigationName, s.rect_navigation);
    // The control's frame lives in its host's window and has no place of its own.
    if constexpr (kViewerProgramBuild) ReadRect(key, kRectMainWindowName, s.frame_rect);
    ReadBool(key, kPopupsMoveableName, s.popups_moveable);
    ReadBool(key, kPopupsMoveWithMainName, s.popups_move_with_main);
}

bool SaveWindow(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    for (uint32_t pane = 0; pane < kViewModeCount; ++pane) {
        if (pending & kViewModes[pane].bit) ok &= RegSetInt(key, kViewModes[pane].name, s.view_modes[pane]);
    }
    if (pending & setting::kNavigationWidth) ok &= RegSetInt(key, kNavigationWidthName, s.navigation_width);
    if (pending & setting::kPreviewHeight) ok &= RegSetInt(key, kPreviewHeightName, s.preview_height);
    if (pending & setting::kRectPreview) ok &= RegSetRect(key, kRectPreviewName, s.rect_preview);
    if (pending & setting::kRectMainView) ok &= RegSetRect(key, kRectMainViewName, s.rect_main_view);
    if (pending & setting::kRectNavigation) ok &= RegSetRect(key, kRectNavigationName, s.rect_navigation);
    if (pending & setting::kRectMainWindow) ok &= RegSetRect(key, kRectMainWindowName, s.frame_rect);
    return ok;
}

void LoadRedlining(Settings& s, HKEY key) {
    ReadBool(key, kRedliningActiveName, s.redlining_active);
    ReadBool(key, kRedliningDisplayName, s.redlining_display);
    ReadIntOr(key, kRedliningObjectNumbersName, s.redlining_object_numbers, 0, 3, 2);
}

bool SaveRedlining(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    if (pending & setting::kRedliningActive) ok &= RegSetBool(key, kRedliningActiveName, s.redlining_active);
    if (pending & setting::kRedliningDisplay)
        ok &= RegSetBool(key, kRedliningDisplayName, s.redlining_display);
    if (pending & setting::kRedliningObjectNumbers) {
        ok &= RegSetInt(key, kRedliningObjectNumbersName, s.redlining_object_numbers);
    }
    return ok;
}

void LoadUserInfo(Settings& s, HKEY key) {
    ReadText(key, kUserInfoTextName, s.user_info_text);
    ReadIntOr(key, kUserInfoPositionName, s.user_info_position, 0, 8, 1);
    ReadInt(key, kUserInfoFlagsName, s.user_info_flags);
    ReadBool(key, kUserInfoPrintName, s.user_info_print);
}

bool SaveUserInfo(Settings& s, HKEY key, uint64_t pending) {
    bool ok = true;
    if (pending & setting::kUserInfoText) ok &= RegSetString(key, kUserInfoTextName, s.user_info_text);
    if (pending & setting::kUserInfoPosition)
        ok &= RegSetInt(key, kUserInfoPositionName, s.user_info_position);
    if (pending & setting::kUserInfoFlags) ok &= RegSetInt(key, kUserInfoFlagsName, s.user_info_flags);
    if (pending & setting::kUserInfoPrint) ok &= RegSetBool(key, kUserInfoPrintName, s.user_info_print);
    return ok;
}

struct GroupStorage {
    SettingsGroup group;
    uint64_t options;
    void (*load)(Settings&, HKEY);
    bool (*save)(Settings&, HKEY, uint64_t);
};

// In the order of loading and saving.
constexpr GroupStorage kGroupStorage[] = {
    {kGroupView, kViewOptions, LoadView, SaveView},
    {kGroupExtended, kExtendedOptions, LoadExtended, SaveExtended},
    {kGroupNetwork, kNetworkOptions, LoadNetwork, SaveNetwork},
    {kGroupWindow, kWindowOptions, LoadWindow, SaveWindow},
    {kGroupRedlining, kRedliningOptions, LoadRedlining, SaveRedlining},
    {kGroupUserInfo, kUserInfoOptions, LoadUserInfo, SaveUserInfo},
};

// Every permission word with a registry value except PERMISSION_PERMISSIONS.
void LoadPermissionWords(Settings& s, HKEY key) {
    for (uint32_t group = 0; group < kGroupCount; ++group) {
        if (group == kGroupPermissions || !kPermissionNames[group]) continue;
        ReadBits(key, kPermissionNames[group], s.permissions[group]);
    }
}

void LoadMachineOnly(Settings& s, HKEY key) {
    ReadText(key, kCustomAppInfoTitleName, s.custom_app_info_title);
    WString info;
    if (RegGetString(key, kCustomAppInfoName, info)) {
        // The registry editor cannot type line breaks into a string value.
        WStrReplaceAll(info, L"\\n", L"\n", true);
        WStrReplaceAll(info, L"\\r", L"\r", true);
        s.custom_app_info = info;
    }
}

void PostSettingChanged(ViewerContext* sender, uint64_t bit) {
    if (!sender) return;
    Variant argument;
    VariantSetInt64(argument, static_cast<int64_t>(bit));
    ViewerPostActionArg(sender, event::kSettingChanged, argument);
}

bool Same(const WString& a, const WString& b) { return WStrEquals(a, b); }
template <class T>
bool Same(const T& a, const T& b) {
    return a == b;
}

// The common road of every setter with a permission check.
template <class T>
bool SetChecked(Settings* s, ViewerContext* sender, uint32_t caller_kind, SettingsGroup group, uint64_t bit,
                T& field, const T& value) {
    if (!s) return false;
    {
        ScopedLock hold(s->lock);
        if (!CallerAllowed(s->permissions[group], caller_kind)) return false;
        if (Same(field, value)) return true;
        field = value;
        if (caller_kind == kCallerViewer) s->changed |= bit;
    }
    PostSettingChanged(sender, bit);
    return true;
}

// Setters without a permission check and without a notification.
template <class T>
bool SetUnchecked(Settings* s, uint32_t caller_kind, uint64_t bit, T& field, const T& value) {
    if (!s) return false;
    ScopedLock hold(s->lock);
    if (Same(field, value)) return true;
    field = value;
    if (caller_kind == kCallerViewer) s->changed |= bit;
    return true;
}

// The popups options: applied at once, never saved.
bool SetPopupsOption(Settings* s, ViewerContext* sender, uint64_t bit, bool& field, bool value) {
    if (!s) return false;
    {
        ScopedLock hold(s->lock);
        if (field == value) return true;
        field = value;
    }
    PostSettingChanged(sender, bit);
    return true;
}

template <class T>
T Get(Settings* s, const T& field) {
    if (!s) return T();
    ScopedLock hold(s->lock);
    return field;
}

RectI* PaneRect(Settings& s, SettingsPane pane, uint64_t& bit) {
    switch (pane) {
        case kPanePreview:
            bit = setting::kRectPreview;
            return &s.rect_preview;
        case kPaneMainView:
            bit = setting::kRectMainView;
            return &s.rect_main_view;
        case kPaneNavigation:
            bit = setting::kRectNavigation;
            return &s.rect_navigation;
        default:
            bit = 0;
            return nullptr;
    }
}

}  // namespace

Settings::Settings() : open_params(OpenParamsCreate()) {
    for (uint32_t& word : permissions) word = kPermissionDefault;
    permissions[kGroupRestrictions] = 0;
    RectISet(rect_preview, 20, 20, 300, 300);
    RectISet(rect_main_view, 20, 200, 400, 400);
    RectISet(rect_navigation, 100, 20, 200, 400);
    RectISet(frame_rect, 0, 0, 640, 480);
    extensions = L"*";
    supported_file_types = L"tif,tiff,lst";
}

Ref<Settings> SettingsCreate() { return MakeRef<Settings>(); }

bool SettingsLoad(Settings* settings) {
    if (!settings) return false;
    Settings& s = *settings;
    {
        RegKey machine(RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, true));
        if (machine) {
            {
                ScopedLock hold(s.lock);
                ReadBits(machine.get(), kPermissionNames[kGroupPermissions],
                         s.permissions[kGroupPermissions]);
                LoadPermissionWords(s, machine.get());
                for (const GroupStorage& group : kGroupStorage) group.load(s, machine.get());
                LoadMachineOnly(s, machine.get());
                ReadBits(machine.get(), kRestrictionsName, s.restrictions);
                ReadText(machine.get(), kExtensionsName, s.extensions);
            }
            OpenParamsLoad(s.open_params.get(), machine.get());
        }
    }

    RegKey user(RegOpen(HKEY_CURRENT_USER, kSettingsKeyPath, true));
    if (user) {
        // Which groups the user may override is the machine's decision, also
        // when the user's key replaces the permission words themselves.
        uint32_t machine_words[kGroupCount];
        {
            ScopedLock hold(s.lock);
            for (uint32_t group = 0; group < kGroupCount; ++group)
                machine_words[group] = s.permissions[group];
            if (machine_words[kGroupPermissions] & kPermissionUserOverride)
                LoadPermissionWords(s, user.get());
            for (const GroupStorage& group : kGroupStorage) {
                if (machine_words[group.group] & kPermissionUserOverride) group.load(s, user.get());
            }
            if (machine_words[kGroupRestrictions] & kPermissionUserOverride) {
                ReadBits(user.get(), kRestrictionsName, s.restrictions);
            }
        }
        if (machine_words[kGroupDocumentOpen] & kPermissionUserOverride) {
            OpenParamsLoad(s.open_params.get(), user.get());
        }
    }

    ScopedLock hold(s.lock);
    s.changed = 0;
    return true;
}

bool SettingsSave(Settings* settings) {
    if (!settings) return false;
    Settings& s = *settings;
    RegKey user(RegOpen(HKEY_CURRENT_USER, kSettingsKeyPath, false));
    if (!user) return false;
    bool ok = true;
    ScopedLock hold(s.lock);
    for (const GroupStorage& group : kGroupStorage) {
        if (!(s.permissions[group.group] & kPermissionSave)) continue;
        const uint64_t pending = s.changed & group.options;
        if (pending) ok &= group.save(s, user.get(), pending);
        // Cleared also after a failed write: the value is not tried again.
        s.changed &= ~group.options;
    }
    if ((s.permissions[kGroupDocumentOpen] & kPermissionSave) && s.open_params->modified) {
        ok &= OpenParamsSave(s.open_params.get(), user.get());
        s.open_params->modified = false;
    }
    return ok;
}

uint32_t SettingsGetPermission(Settings* settings, SettingsGroup group) {
    if (!settings || group >= kGroupCount) return 0;
    return Get(settings, settings->permissions[group]);
}

bool SettingsCallerMayChange(Settings* settings, SettingsGroup group, uint32_t caller_kind) {
    return settings && group < kGroupCount &&
           CallerAllowed(SettingsGetPermission(settings, group), caller_kind);
}

uint64_t SettingsGetChangedMask(Settings* settings) {
    return settings ? Get(settings, settings->changed) : 0;
}

uint16_t SettingsGetLanguage(Settings* settings) { return settings ? Get(settings, settings->language) : 0; }
int32_t SettingsGetLengthUnit(Settings* settings) {
    return settings ? Get(settings, settings->length_unit) : 1;
}
bool SettingsGetZoomExact(Settings* settings) { return settings && Get(settings, settings->zoom_exact); }
double SettingsGetZoomFactor(Settings* settings) {
    return settings ? Get(settings, settings->zoom_factor) : 0.0;
}
bool SettingsGetShowHairCross(Settings* settings) {
    return settings && Get(settings, settings->show_hair_cross);
}
bool SettingsGetUsePreviewInfo(Settings* settings) {
    return settings && Get(settings, settings->use_preview_info);
}
int32_t SettingsGetFileOpenMode(Settings* settings) {
    return settings ? Get(settings, settings->file_open_mode) : 0;
}
int32_t SettingsGetRecentFilesLength(Settings* settings) {
    return settings ? Get(settings, settings->recent_files_length) : 0;
}
bool SettingsGetTempDirCleanup(Settings* settings) {
    return settings && Get(settings, settings->temp_dir_cleanup);
}
WString SettingsGetPrinterWorkaround(Settings* settings) {
    return settings ? Get(settings, settings->printer_workaround) : WString();
}
uint32_t SettingsGetWorkaround(Settings* settings) {
    return settings ? Get(settings, settings->workaround) : 0;
}
bool SettingsGetSearchExtensions(Settings* settings) {
    return settings && Get(settings, settings->search_extensions);
}
WString SettingsGetExtensionList(Settings* settings) {
    return settings ? Get(settings, settings->supported_file_types) : WString();
}
bool SettingsGetSendCookiesAuth(Settings* settings) {
    return settings && Get(settings, settings->send_cookies_auth);
}
uint32_t SettingsGetDriveTypesCaching(Settings* settings) {
    return settings ? Get(settings, settings->drive_types_caching) : 0;
}

int32_t SettingsGetViewMode(Settings* settings, SettingsPane pane) {
    if (!settings || pane >= kViewModeCount) return 0;
    return Get(settings, settings->view_modes[pane]);
}
int32_t SettingsGetNavigationWidth(Settings* settings) {
    return settings ? Get(settings, settings->navigation_width) : 0;
}
int32_t SettingsGetPreviewHeight(Settings* settings) {
    return settings ? Get(settings, settings->preview_height) : 0;
}

RectI SettingsGetPaneRect(Settings* settings, SettingsPane pane) {
    if (!settings) return RectI();
    uint64_t bit = 0;
    const RectI* rect = PaneRect(*settings, pane, bit);
    return rect ? Get(settings, *rect) : RectI();
}

bool SettingsGetPopupsMoveable(Settings* settings) {
    return settings && Get(settings, settings->popups_moveable);
}
bool SettingsGetPopupsMoveWithMain(Settings* settings) {
    return settings && Get(settings, settings->popups_move_with_main);
}
RectI SettingsGetFrameRect(Settings* settings) {
    return settings ? Get(settings, settings->frame_rect) : RectI();
}

bool SettingsGetRedliningActive(Settings* settings) {
    return settings && Get(settings, settings->redlining_active);
}
bool SettingsGetRedliningDisplay(Settings* settings) {
    return settings && Get(settings, settings->redlining_display);
}
int32_t SettingsGetRedliningObjectNumbers(Settings* settings) {
    return settings ? Get(settings, settings->redlining_object_numbers) : 0;
}

WString SettingsGetUserInfoText(Settings* settings) {
    return settings ? Get(settings, settings->user_info_text) : WString();
}
int32_t SettingsGetUserInfoPosition(Settings* settings) {
    return settings ? Get(settings, settings->user_info_position) : 0;
}
int32_t SettingsGetUserInfoFlags(Settings* settings) {
    return settings ? Get(settings, settings->user_info_flags) : 0;
}
bool SettingsGetUserInfoPrint(Settings* settings) {
    return settings && Get(settings, settings->user_info_print);
}

uint32_t SettingsGetRestrictions(Settings* settings) {
    return settings ? Get(settings, settings->restrictions) : 0;
}
WString SettingsGetCustomAppInfoTitle(Settings* settings) {
    return settings ? Get(settings, settings->custom_app_info_title) : WString();
}
WString SettingsGetCustomAppInfo(Settings* settings) {
    return settings ? Get(settings, settings->custom_app_info) : WString();
}
bool SettingsHasCustomInfo(Settings* settings) {
    return WStrLength(SettingsGetCustomAppInfoTitle(settings)) != 0;
}
WString SettingsGetExtensions(Settings* settings) {
    return settings ? Get(settings, settings->extensions) : WString();
}
Ref<OpenParams> SettingsGetOpenParams(Settings* settings) {
    return settings ? Get(settings, settings->open_params) : nullptr;
}

bool SettingsSetLanguage(Settings* settings, ViewerContext* sender, uint32_t caller_kind, uint16_t language) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kLanguage, settings->language,
                      language);
}

bool SettingsSetLengthUnit(Settings* settings, ViewerContext* sender, uint32_t caller_kind, int32_t unit) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kLengthUnit, settings->length_unit,
                      unit);
}

bool SettingsSetZoomExact(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool exact) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kZoomExact, settings->zoom_exact,
                      exact);
}

bool SettingsSetZoomFactor(Settings* settings, ViewerContext* sender, uint32_t caller_kind, double factor) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kZoomFactor, settings->zoom_factor,
                      factor);
}

bool SettingsSetShowHairCross(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool show) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kShowHairCross,
                      settings->show_hair_cross, show);
}

bool SettingsSetUsePreviewInfo(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool use) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupView, setting::kUsePreviewInfo,
                      settings->use_preview_info, use);
}

bool SettingsSetSendCookiesAuth(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool send) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupNetwork, setting::kSendCookiesAuth,
                      settings->send_cookies_auth, send);
}

bool SettingsSetDriveTypesCaching(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                  uint32_t bits) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupNetwork, setting::kDriveTypesCaching,
                      settings->drive_types_caching, bits);
}

bool SettingsSetViewMode(Settings* settings, ViewerContext* sender, uint32_t caller_kind, SettingsPane pane,
                         int32_t mode) {
    if (!settings || pane >= kViewModeCount) return false;
    return SetChecked(settings, sender, caller_kind, kGroupWindow, kViewModes[pane].bit,
                      settings->view_modes[pane], mode);
}

bool SettingsSetNavigationWidth(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                int32_t width) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupWindow, setting::kNavigationWidth,
                      settings->navigation_width, std::clamp(width, kSplitterMin, kSplitterMax));
}

bool SettingsSetPreviewHeight(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                              int32_t height) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupWindow, setting::kPreviewHeight,
                      settings->preview_height, std::clamp(height, kSplitterMin, kSplitterMax));
}

bool SettingsSetRedliningActive(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                bool active) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupRedlining, setting::kRedliningActive,
                      settings->redlining_active, active);
}

bool SettingsSetRedliningDisplay(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                 bool display) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupRedlining, setting::kRedliningDisplay,
                      settings->redlining_display, display);
}

bool SettingsSetRedliningObjectNumbers(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                       int32_t mode) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupRedlining, setting::kRedliningObjectNumbers,
                      settings->redlining_object_numbers, mode);
}

bool SettingsSetUserInfoText(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                             const WString& text) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupUserInfo, setting::kUserInfoText,
                      settings->user_info_text, text);
}

bool SettingsSetUserInfoPosition(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                 int32_t position) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupUserInfo, setting::kUserInfoPosition,
                      settings->user_info_position, position);
}

bool SettingsSetUserInfoFlags(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                              int32_t flags) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupUserInfo, setting::kUserInfoFlags,
                      settings->user_info_flags, flags);
}

bool SettingsSetUserInfoPrint(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool print) {
    if (!settings) return false;
    return SetChecked(settings, sender, caller_kind, kGroupUserInfo, setting::kUserInfoPrint,
                      settings->user_info_print, print);
}

bool SettingsSetPaneRect(Settings* settings, ViewerContext* /*sender*/, uint32_t caller_kind,
                         SettingsPane pane, const RectI& rect) {
    if (!settings) return false;
    uint64_t bit = 0;
    RectI* field = PaneRect(*settings, pane, bit);
    return field && SetUnchecked(settings, caller_kind, bit, *field, rect);
}

bool SettingsSetFileOpenMode(Settings* settings, ViewerContext* /*sender*/, uint32_t caller_kind,
                             int32_t mode) {
    if (!settings) return false;
    return SetUnchecked(settings, caller_kind, setting::kFileOpenMode, settings->file_open_mode, mode);
}

bool SettingsSetFrameRect(Settings* settings, ViewerContext* /*sender*/, uint32_t caller_kind,
                          const RectI& rect) {
    if (!settings) return false;
    return SetUnchecked(settings, caller_kind, setting::kRectMainWindow, settings->frame_rect, rect);
}

bool SettingsSetExtensionList(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                              const WString& text) {
    if (!settings) return false;
    {
        ScopedLock hold(settings->lock);
        if (WStrEquals(settings->supported_file_types, text)) return true;
        settings->supported_file_types = text;
        if (caller_kind == kCallerViewer) settings->changed |= setting::kSupportedFileTypes;
    }
    PostSettingChanged(sender, setting::kSupportedFileTypes);
    return true;
}

bool SettingsSetPopupsMoveable(Settings* settings, ViewerContext* sender, uint32_t /*caller_kind*/,
                               bool moveable) {
    if (!settings) return false;
    return SetPopupsOption(settings, sender, setting::kPopupsMoveable, settings->popups_moveable, moveable);
}

bool SettingsSetPopupsMoveWithMain(Settings* settings, ViewerContext* sender, uint32_t /*caller_kind*/,
                                   bool follow) {
    if (!settings) return false;
    return SetPopupsOption(settings, sender, setting::kPopupsMoveWithMain, settings->popups_move_with_main,
                           follow);
}

bool SettingsAddRestrictions(Settings* settings, ViewerContext* sender, uint32_t /*caller_kind*/,
                             uint32_t bits) {
    if (!settings) return false;
    uint32_t word = 0;
    {
        ScopedLock hold(settings->lock);
        word = settings->restrictions | bits;
        if (word == settings->restrictions) return true;
        settings->restrictions = word;
    }
    if (sender) {
        Variant argument;
        VariantSetInt(argument, static_cast<int32_t>(word));
        ViewerPostActionArg(sender, event::kRestrictionsChanged, argument);
    }
    return true;
}
