// The viewer's registry-backed options. Loaded once at start from the
// machine-wide key and then from the user's key, group by group, as far as
// each group's permission word lets the user override the machine; the
// options changed through the viewer's own windows are written back to the
// user's key at shutdown, for the groups whose permission word allows it.
// Every getter and setter takes the settings' lock; setters given a sender
// context post notification 18 (19 for the restrictions) after leaving it.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/open_params.h"

class ViewerContext;

// Who asks for a change. Each kind has its own permission bit in the
// group's word; kind 3 may always change a value.
enum SettingsCaller : uint32_t {
    kCallerViewer = 0,      // the viewer's own windows, dialogs and actions
    kCallerExternal = 1,    // automation of the first kind
    kCallerAutomation = 2,  // the control's automation methods
    kCallerInternal = 3,    // always allowed, never saved
};

// The nine permission words, one per group.
enum SettingsGroup : uint32_t {
    kGroupView = 0,
    kGroupExtended,
    kGroupNetwork,  // no registry value: always 65535
    kGroupWindow,
    kGroupRedlining,
    kGroupUserInfo,
    kGroupRestrictions,
    kGroupDocumentOpen,
    kGroupPermissions,  // may the user's key replace the other words
    kGroupCount,
};

// Bits of a permission word.
inline constexpr uint32_t kPermissionUserOverride = 1;  // also read from HKEY_CURRENT_USER
inline constexpr uint32_t kPermissionKind1 = 2;         // callers of kind 1 may change
inline constexpr uint32_t kPermissionKind2 = 4;         // callers of kind 2 may change
inline constexpr uint32_t kPermissionKind0 = 8;         // callers of kind 0 may change
inline constexpr uint32_t kPermissionSave = 256;        // changed values saved to HKEY_CURRENT_USER
inline constexpr uint32_t kPermissionDefault = 65535;

// Panes whose display mode is a setting: 0 hidden, 1 docked, 2 floating
// (the bars only 0 or 1).
enum SettingsPane : uint32_t {
    kPanePreview = 0,
    kPaneMainView,
    kPaneNavigation,
    kPaneStatusBar,
    kPaneToolBar,
    kPaneMenuBar,
};

// The option bits of the changed mask, which notification 18 carries (one
// bit per change) so that observers can tell which option changed.
namespace setting {
inline constexpr uint64_t kLanguage = 1ull << 0;
inline constexpr uint64_t kLengthUnit = 1ull << 1;
inline constexpr uint64_t kZoomExact = 1ull << 2;
inline constexpr uint64_t kFileOpenMode = 1ull << 3;
inline constexpr uint64_t kZoomFactor = 1ull << 4;
inline constexpr uint64_t kShowHairCross = 1ull << 5;
inline constexpr uint64_t kSupportedFileTypes = 1ull << 6;  // the desktop program only
inline constexpr uint64_t kRecentFilesLength = 1ull << 7;
inline constexpr uint64_t kUsePreviewInfo = 1ull << 8;
inline constexpr uint64_t kNavigationWidth = 1ull << 16;
inline constexpr uint64_t kPreviewHeight = 1ull << 17;
inline constexpr uint64_t kViewModePreview = 1ull << 18;
inline constexpr uint64_t kViewModeMainView = 1ull << 19;
inline constexpr uint64_t kViewModeNavigation = 1ull << 20;
inline constexpr uint64_t kViewModeStatusBar = 1ull << 21;
inline constexpr uint64_t kViewModeToolBar = 1ull << 22;
inline constexpr uint64_t kViewModeMenuBar = 1ull << 23;
inline constexpr uint64_t kRectMainWindow = 1ull << 24;  // the desktop program only
inline constexpr uint64_t kRectPreview = 1ull << 25;
inline constexpr uint64_t kRectMainView = 1ull << 26;
inline constexpr uint64_t kRectNavigation = 1ull << 27;
// Never in the changed mask: the popups options are not saved.
inline constexpr uint64_t kPopupsMoveable = 1ull << 28;
inline constexpr uint64_t kPopupsMoveWithMain = 1ull << 29;
inline constexpr uint64_t kRedliningActive = 1ull << 36;
inline constexpr uint64_t kRedliningDisplay = 1ull << 37;
inline constexpr uint64_t kRedliningObjectNumbers = 1ull << 38;
inline constexpr uint64_t kUserInfoText = 1ull << 44;
inline constexpr uint64_t kUserInfoPosition = 1ull << 45;
inline constexpr uint64_t kUserInfoFlags = 1ull << 46;
inline constexpr uint64_t kUserInfoPrint = 1ull << 47;
inline constexpr uint64_t kSendCookiesAuth = 1ull << 52;
inline constexpr uint64_t kDriveTypesCaching = 1ull << 53;
}  // namespace setting

// Below HKEY_LOCAL_MACHINE (read) and HKEY_CURRENT_USER (read and written).
inline constexpr wchar_t kSettingsKeyPath[] = L"Software\\Ostrel\\Plovex5";

// The option values; read them only through the getters (they take the
// lock). Defaults as set here.
class Settings : public RefCounted {
  public:
    CriticalSection lock;
    uint32_t permissions[kGroupCount];
    uint64_t changed = 0;

    // View group.
    uint16_t language = 0;
    int32_t length_unit = 1;
    bool zoom_exact = false;
    double zoom_factor = 0.0;
    bool show_hair_cross = true;
    bool use_preview_info = true;
    // Extended group.
    int32_t file_open_mode = 1;
    int32_t recent_files_length = 5;
    bool temp_dir_cleanup = true;
    WString printer_workaround;
    uint32_t workaround = 0;
    bool search_extensions = false;
    // SUPPORTED_FILETYPES: comma-separated extensions that the desktop
    // program registers itself for at shutdown.
    WString supported_file_types;
    // Network group.
    bool send_cookies_auth = true;
    uint32_t drive_types_caching = 12;
    // Window group.
    int32_t view_modes[6] = {1, 1, 1, 1, 1, 1};  // by SettingsPane
    int32_t navigation_width = 200;
    int32_t preview_height = 200;
    RectI rect_preview;
    RectI rect_main_view;
    RectI rect_navigation;
    bool popups_moveable = true;
    bool popups_move_with_main = false;
    RectI frame_rect;  // RECT_MAINWINDOW: the desktop program's frame on the screen
    // Redlining group.
    bool redlining_active = true;
    bool redlining_display = true;
    int32_t redlining_object_numbers = 2;
    // User-information group.
    WString user_info_text;
    int32_t user_info_position = 1;
    int32_t user_info_flags = 0;
    bool user_info_print = false;
    // Restrictions.
    uint32_t restrictions = 0;
    // Machine only.
    WString custom_app_info_title;
    WString custom_app_info;
    WString extensions;
    // Document open group; always present.
    Ref<OpenParams> open_params;

    Settings();
};

// The defaults, an empty changed mask.
Ref<Settings> SettingsCreate();
// Machine key, then the user's key as far as the permission words allow;
// clears the changed mask. A missing key leaves what is there. Always true.
bool SettingsLoad(Settings* settings);
// Writes the changed values of the groups whose word has the save bit (and
// the modified default open parameters) to the user's key, creating it when
// needed. False when the key cannot be opened or any write failed; every
// value is tried.
bool SettingsSave(Settings* settings);

// Permissions.
uint32_t SettingsGetPermission(Settings* settings, SettingsGroup group);
// Whether a caller of this kind may change the group's values (the
// dialogs disable what they may not change).
bool SettingsCallerMayChange(Settings* settings, SettingsGroup group, uint32_t caller_kind);
uint64_t SettingsGetChangedMask(Settings* settings);

// View group.
uint16_t SettingsGetLanguage(Settings* settings);
int32_t SettingsGetLengthUnit(Settings* settings);
bool SettingsGetZoomExact(Settings* settings);
double SettingsGetZoomFactor(Settings* settings);
bool SettingsGetShowHairCross(Settings* settings);
bool SettingsGetUsePreviewInfo(Settings* settings);
// Extended group.
int32_t SettingsGetFileOpenMode(Settings* settings);
int32_t SettingsGetRecentFilesLength(Settings* settings);
bool SettingsGetTempDirCleanup(Settings* settings);
// The PRINTER_WORKAROUND text; the printing side builds its table from it.
WString SettingsGetPrinterWorkaround(Settings* settings);
uint32_t SettingsGetWorkaround(Settings* settings);
bool SettingsGetSearchExtensions(Settings* settings);
// SUPPORTED_FILETYPES as stored ("tif,tiff,lst" by default).
WString SettingsGetExtensionList(Settings* settings);
// Network group.
bool SettingsGetSendCookiesAuth(Settings* settings);
uint32_t SettingsGetDriveTypesCaching(Settings* settings);
// Window group.
int32_t SettingsGetViewMode(Settings* settings, SettingsPane pane);
int32_t SettingsGetNavigationWidth(Settings* settings);
int32_t SettingsGetPreviewHeight(Settings* settings);
// Preview, navigation or main view; any other pane gives the empty rectangle.
RectI SettingsGetPaneRect(Settings* settings, SettingsPane pane);
bool SettingsGetPopupsMoveable(Settings* settings);
bool SettingsGetPopupsMoveWithMain(Settings* settings);
RectI SettingsGetFrameRect(Settings* settings);
// Redlining group.
bool SettingsGetRedliningActive(Settings* settings);
bool SettingsGetRedliningDisplay(Settings* settings);
int32_t SettingsGetRedliningObjectNumbers(Settings* settings);
// User-information group.
WString SettingsGetUserInfoText(Settings* settings);
int32_t SettingsGetUserInfoPosition(Settings* settings);
int32_t SettingsGetUserInfoFlags(Settings* settings);
bool SettingsGetUserInfoPrint(Settings* settings);
// Restrictions and machine-only values.
uint32_t SettingsGetRestrictions(Settings* settings);
WString SettingsGetCustomAppInfoTitle(Settings* settings);
WString SettingsGetCustomAppInfo(Settings* settings);
bool SettingsHasCustomInfo(Settings* settings);
WString SettingsGetExtensions(Settings* settings);
// The default open parameters (counted; never null).
Ref<OpenParams> SettingsGetOpenParams(Settings* settings);

// Setters with a permission check: false (nothing changed) when the caller's
// bit of the option's group is clear or the kind is unknown; else true. A
// change by kind 0 is marked for saving; with a sender, a change posts
// notification 18 carrying the option's bit.
bool SettingsSetLanguage(Settings* settings, ViewerContext* sender, uint32_t caller_kind, uint16_t language);
bool SettingsSetLengthUnit(Settings* settings, ViewerContext* sender, uint32_t caller_kind, int32_t unit);
bool SettingsSetZoomExact(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool exact);
bool SettingsSetZoomFactor(Settings* settings, ViewerContext* sender, uint32_t caller_kind, double factor);
bool SettingsSetShowHairCross(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool show);
bool SettingsSetUsePreviewInfo(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool use);
bool SettingsSetSendCookiesAuth(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool send);
bool SettingsSetDriveTypesCaching(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                  uint32_t bits);
bool SettingsSetViewMode(Settings* settings, ViewerContext* sender, uint32_t caller_kind, SettingsPane pane,
                         int32_t mode);
// The two splitter positions are kept within 20 to 2000, the range that
// loading accepts, so that a stored value is never rejected at the next start.
bool SettingsSetNavigationWidth(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                int32_t width);
bool SettingsSetPreviewHeight(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                              int32_t height);
bool SettingsSetRedliningActive(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool active);
bool SettingsSetRedliningDisplay(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                 bool display);
bool SettingsSetRedliningObjectNumbers(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                       int32_t mode);
bool SettingsSetUserInfoText(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                             const WString& text);
bool SettingsSetUserInfoPosition(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                 int32_t position);
bool SettingsSetUserInfoFlags(Settings* settings, ViewerContext* sender, uint32_t caller_kind, int32_t flags);
bool SettingsSetUserInfoPrint(Settings* settings, ViewerContext* sender, uint32_t caller_kind, bool print);

// No permission check and no notification: the value is stored when it
// differs and marked for saving for caller kind 0. Always true (false only
// for a pane without a rectangle).
bool SettingsSetPaneRect(Settings* settings, ViewerContext* sender, uint32_t caller_kind, SettingsPane pane,
                         const RectI& rect);
bool SettingsSetFileOpenMode(Settings* settings, ViewerContext* sender, uint32_t caller_kind, int32_t mode);
// RECT_MAINWINDOW, the frame's window rectangle on the screen (the desktop
// program's frame stores it whenever it moves or is resized).
bool SettingsSetFrameRect(Settings* settings, ViewerContext* sender, uint32_t caller_kind, const RectI& rect);
// SUPPORTED_FILETYPES without a permission check: the text is stored as
// given when it differs, marked for saving for caller kind 0, and a change
// with a sender posts notification 18 with setting::kSupportedFileTypes.
// Always true with settings.
bool SettingsSetExtensionList(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                              const WString& text);
// No permission check, never saved; a change with a sender posts
// notification 18 with setting::kPopupsMoveable or kPopupsMoveWithMain.
bool SettingsSetPopupsMoveable(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                               bool moveable);
bool SettingsSetPopupsMoveWithMain(Settings* settings, ViewerContext* sender, uint32_t caller_kind,
                                   bool follow);
// ORs bits into RESTRICTIONS; when the word changed and a sender is given,
// posts notification 19 with the new word. Always true.
bool SettingsAddRestrictions(Settings* settings, ViewerContext* sender, uint32_t caller_kind, uint32_t bits);
