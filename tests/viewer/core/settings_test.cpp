#include "viewer/core/settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "foundation/variant.h"
#include "tests/support/test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/viewer_context.h"

namespace {

// The settings read HKEY_LOCAL_MACHINE and HKEY_CURRENT_USER. The tests
// point both at keys of their own (RegOverridePredefKey), so that nothing
// else running in the same prefix sees their values, and seed and read those
// keys from outside with `wine reg`.
constexpr wchar_t kTestRoot[] = L"Software\\PlovexSettingsTest";
constexpr wchar_t kMachineRoot[] = L"Software\\PlovexSettingsTest\\Machine";
constexpr wchar_t kUserRoot[] = L"Software\\PlovexSettingsTest\\User";
const std::string kMachineKey = "HKCU\\Software\\PlovexSettingsTest\\Machine\\Software\\Ostrel\\Plovex5";
const std::string kUserKey = "HKCU\\Software\\PlovexSettingsTest\\User\\Software\\Ostrel\\Plovex5";

using Values = std::vector<std::pair<std::string, std::string>>;

// Adds every value with `wine reg add`, as text.
void Seed(const std::string& key, const Values& values) {
    std::string command;
    for (const auto& [name, value] : values) {
        if (!command.empty()) command += " && ";
        command += "wine reg add '" + key + "' /v '" + name + "' /d '" + value + "' /f >/dev/null 2>&1";
    }
    ASSERT_EQ(RunHostCommand(command), 0) << command;
}

struct RegValue {
    std::string type;
    std::string text;
    bool operator==(const RegValue&) const = default;
};
using Listing = std::map<std::string, RegValue>;

// The key's values as `wine reg query` lists them ("    NAME    TYPE    TEXT").
Listing Query(const std::string& key) {
    const std::string dir = MakeScratchDir("settings-query");
    RunHostCommand("wine reg query '" + key + "' >'" + dir + "/out.txt' 2>/dev/null");
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    Listing listing;
    std::string line;
    auto take = [&listing](std::string text) {
        while (!text.empty() && (text.back() == '\r' || text.back() == '\n')) text.pop_back();
        if (text.rfind("    ", 0) != 0) return;
        text = text.substr(4);
        const size_t type_at = text.find("    ");
        if (type_at == std::string::npos) return;
        const size_t text_at = text.find("    ", type_at + 4);
        RegValue value;
        value.type = text.substr(type_at + 4,
                                 text_at == std::string::npos ? std::string::npos : text_at - type_at - 4);
        if (text_at != std::string::npos) value.text = text.substr(text_at + 4);
        listing[text.substr(0, type_at)] = value;
    };
    for (uint8_t byte : bytes) {
        if (byte == '\n') {
            take(line);
            line.clear();
        } else {
            line += static_cast<char>(byte);
        }
    }
    take(line);
    return listing;
}

RegValue Text(const char* text) { return {"REG_SZ", text}; }

class SettingsRegistry : public testing::Test {
  protected:
    void SetUp() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
        machine_ = RegOpen(HKEY_CURRENT_USER, kMachineRoot, false);
        user_ = RegOpen(HKEY_CURRENT_USER, kUserRoot, false);
        ASSERT_TRUE(machine_ && user_);
        ASSERT_EQ(RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_.get()), ERROR_SUCCESS);
        ASSERT_EQ(RegOverridePredefKey(HKEY_CURRENT_USER, user_.get()), ERROR_SUCCESS);
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        machine_.Reset();
        user_.Reset();
        RegDeleteTreeW(HKEY_CURRENT_USER, kTestRoot);
    }

    static Ref<Settings> Loaded() {
        Ref<Settings> settings = SettingsCreate();
        EXPECT_TRUE(SettingsLoad(settings.get()));
        return settings;
    }

    RegKey machine_;
    RegKey user_;
};

std::wstring Wide(const WString& text) { return WStrCStr(text); }

}  // namespace

TEST(SettingsSetters, CallerKindsNeedTheirPermissionBit) {
    Ref<Settings> s = SettingsCreate();
    s->permissions[kGroupView] = kPermissionKind1;
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerAutomation, 1));
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, 4, 1));
    EXPECT_EQ(SettingsGetLanguage(s.get()), 0);
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerExternal, 1));
    EXPECT_TRUE(SettingsSetLengthUnit(s.get(), nullptr, kCallerInternal, 3));
    EXPECT_EQ(SettingsGetLanguage(s.get()), 1);
    EXPECT_EQ(SettingsGetLengthUnit(s.get()), 3);
    // Only the viewer's own changes are saved.
    EXPECT_EQ(SettingsGetChangedMask(s.get()), 0u);

    s->permissions[kGroupView] = kPermissionKind0 | kPermissionKind2;
    EXPECT_TRUE(SettingsSetZoomFactor(s.get(), nullptr, kCallerAutomation, 2.0));
    EXPECT_EQ(SettingsGetChangedMask(s.get()), 0u);
    EXPECT_TRUE(SettingsSetZoomFactor(s.get(), nullptr, kCallerViewer, 2.0));  // no change, no mark
    EXPECT_EQ(SettingsGetChangedMask(s.get()), 0u);
    EXPECT_TRUE(SettingsSetZoomExact(s.get(), nullptr, kCallerViewer, true));
    EXPECT_EQ(SettingsGetChangedMask(s.get()), setting::kZoomExact);
    EXPECT_TRUE(SettingsCallerMayChange(s.get(), kGroupView, kCallerAutomation));
    EXPECT_FALSE(SettingsCallerMayChange(s.get(), kGroupView, kCallerExternal));

    // Pane rectangles and the ActiveX mode have no permission check.
    s->permissions[kGroupWindow] = 0;
    s->permissions[kGroupExtended] = 0;
    RectI rect;
    RectISet(rect, 1, 2, 3, 4);
    EXPECT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kCallerViewer, kPaneNavigation, rect));
    EXPECT_FALSE(SettingsSetPaneRect(s.get(), nullptr, kCallerViewer, kPaneToolBar, rect));
    EXPECT_TRUE(SettingsSetFileOpenMode(s.get(), nullptr, kCallerViewer, 3));
    EXPECT_EQ(SettingsGetPaneRect(s.get(), kPaneNavigation), rect);
    EXPECT_EQ(SettingsGetFileOpenMode(s.get()), 3);
    EXPECT_FALSE(SettingsSetViewMode(s.get(), nullptr, kCallerViewer, kPanePreview, 2));
    EXPECT_EQ(SettingsGetChangedMask(s.get()),
              setting::kZoomExact | setting::kRectNavigation | setting::kFileOpenMode);

    // Restrictions only grow.
    EXPECT_TRUE(SettingsAddRestrictions(s.get(), nullptr, kCallerAutomation, 2 | 8));
    EXPECT_TRUE(SettingsAddRestrictions(s.get(), nullptr, kCallerAutomation, 1));
    EXPECT_EQ(SettingsGetRestrictions(s.get()), 11u);
}

TEST(SettingsSetters, SplitterPositionsStayWhereLoadingAcceptsThem) {
    // A splitter dragged across a very wide frame must not store a width
    // that the next start would reject for the default.
    Ref<Settings> s = SettingsCreate();
    const std::pair<int32_t, int32_t> cases[] = {{2500, 2000}, {2000, 2000}, {321, 321},
                                                 {20, 20},     {5, 20},      {-7, 20}};
    for (const auto& [wanted, stored] : cases) {
        EXPECT_TRUE(SettingsSetNavigationWidth(s.get(), nullptr, kCallerViewer, wanted));
        EXPECT_EQ(SettingsGetNavigationWidth(s.get()), stored) << wanted;
        EXPECT_TRUE(SettingsSetPreviewHeight(s.get(), nullptr, kCallerViewer, wanted));
        EXPECT_EQ(SettingsGetPreviewHeight(s.get()), stored) << wanted;
    }
}

TEST_F(SettingsRegistry, ValuesOutOfRangeAreRepairedOnLoad) {
    using Getter = std::function<double(Settings*)>;
    auto open = [](auto read) {
        return [read](Settings* s) { return read(SettingsGetOpenParams(s).get()); };
    };
    struct Row {
        int round;
        const char* name;
        const char* stored;
        Getter get;
        double expected;  // -1 for an open parameter left unset
    };
    const Getter language = [](Settings* s) { return SettingsGetLanguage(s); };
    const Getter unit = [](Settings* s) { return SettingsGetLengthUnit(s); };
    const Getter zoom = [](Settings* s) { return SettingsGetZoomFactor(s); };
    const Getter mode = [](Settings* s) { return SettingsGetFileOpenMode(s); };
    const Getter recent = [](Settings* s) { return SettingsGetRecentFilesLength(s); };
    const Getter drives = [](Settings* s) { return SettingsGetDriveTypesCaching(s); };
    const Getter preview = [](Settings* s) { return SettingsGetViewMode(s, kPanePreview); };
    const Getter status = [](Settings* s) { return SettingsGetViewMode(s, kPaneStatusBar); };
    const Getter width = [](Settings* s) { return SettingsGetNavigationWidth(s); };
    const Getter height = [](Settings* s) { return SettingsGetPreviewHeight(s); };
    const Getter numbers = [](Settings* s) { return SettingsGetRedliningObjectNumbers(s); };
    const Getter position = [](Settings* s) { return SettingsGetUserInfoPosition(s); };
    const Getter popups = [](Settings* s) { return SettingsGetPopupsMoveable(s); };
    const Getter rotation = open([](OpenParams* p) { return p->rotation_set ? double(p->rotation) : -1; });
    const Getter invert =
        open([](OpenParams* p) { return p->auto_invert_set ? double(p->auto_invert) : -1; });
    const Getter limit =
        open([](OpenParams* p) { return p->max_loading_time_set ? double(p->max_loading_time) : -1; });
    const Row rows[] = {
        {1, "LANGUAGE", "5", language, 0},
        {2, "LANGUAGE", "1", language, 1},
        {1, "LENGTH_UNIT", "9", unit, 1},
        {2, "LENGTH_UNIT", "4", unit, 4},
        {1, "FIXED_ZOOMFACTOR", "100000.5", zoom, 0},
        {2, "FIXED_ZOOMFACTOR", "100000", zoom, 100000},
        {3, "FIXED_ZOOMFACTOR", "-1", zoom, 0},
        {1, "ACTIVEX_FILEOPENMODE", "4", mode, 1},
        {2, "ACTIVEX_FILEOPENMODE", "0", mode, 0},
        {1, "LENGTH_RECENT_FILES_LIST", "50", recent, 20},
        {2, "LENGTH_RECENT_FILES_LIST", "-3", recent, 0},
        {3, "LENGTH_RECENT_FILES_LIST", "7", recent, 7},
        {1, "NETWORK_DRIVETYPES_CACHING", "255", drives, 15},
        {1, "VIEWMODE_PREVIEW", "3", preview, 1},
        {2, "VIEWMODE_PREVIEW", "2", preview, 2},
        {1, "VIEWMODE_STATUSBAR", "2", status, 1},
        {2, "VIEWMODE_STATUSBAR", "0", status, 0},
        {1, "WIDTH_NAVIFRAME", "10", width, 200},
        {2, "WIDTH_NAVIFRAME", "2000", width, 2000},
        {1, "HEIGHT_PREVIEW", "2001", height, 200},
        {2, "HEIGHT_PREVIEW", "20", height, 20},
        {1, "REDLINING_OBJECTNUMBERS", "4", numbers, 2},
        {2, "REDLINING_OBJECTNUMBERS", "0", numbers, 0},
        {1, "USERINFO_POSITION", "9", position, 1},
        {2, "USERINFO_POSITION", "8", position, 8},
        {1, "POPUPS_MOVEABLE", "0", popups, 0},
        {2, "POPUPS_MOVEABLE", "5", popups, 1},
        {1, "OPEN_ROTATION", "-450", rotation, 270},
        {2, "OPEN_ROTATION", "45", rotation, 0},
        {1, "OPEN_AUTOINVERT", "3", invert, -1},
        {2, "OPEN_AUTOINVERT", "2", invert, 2},
        {1, "OPEN_MAX_LOADING_TIME", "-1", limit, -1},
        {2, "OPEN_MAX_LOADING_TIME", "5", limit, 5000},
        {3, "OPEN_MAX_LOADING_TIME", "5000000", limit, 4294967295.0},
    };
    for (int round = 1; round <= 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        RegDeleteTreeW(HKEY_CURRENT_USER, kMachineRoot);
        Values values;
        for (const Row& row : rows) {
            if (row.round == round) values.emplace_back(row.name, row.stored);
        }
        Seed(kMachineKey, values);
        Ref<Settings> s = Loaded();
        for (const Row& row : rows) {
            if (row.round != round) continue;
            EXPECT_EQ(row.get(s.get()), row.expected) << row.name << " = " << row.stored;
        }
    }
}

TEST_F(SettingsRegistry, UserKeyOverridesOnlyWhereTheMachineAllows) {
    Seed(kMachineKey, {{"PERMISSION_VIEW", "0"},
                       {"LANGUAGE", "0"},
                       {"PERMISSION_PERMISSIONS", "0"},
                       {"EXTENSIONS", "a.dll,b.dll"},
                       {"CUSTOMAPPINFOTITLE", "Licensed to"},
                       {"CUSTOMAPPINFO", "Line one\\nLine two\\rend"}});
    Seed(kUserKey, {{"LANGUAGE", "1"},
                    {"VIEWMODE_PREVIEW", "2"},
                    {"RESTRICTIONS", "4"},
                    {"PERMISSION_VIEW", "65535"},
                    {"EXTENSIONS", "other.dll"},
                    {"CUSTOMAPPINFOTITLE", "Mine"},
                    {"OPEN_ROTATION", "90"}});
    Ref<Settings> s = Loaded();
    EXPECT_EQ(SettingsGetLanguage(s.get()), 0);                // view group closed to the user
    EXPECT_EQ(SettingsGetViewMode(s.get(), kPanePreview), 2);  // window group open
    EXPECT_EQ(SettingsGetRestrictions(s.get()), 0u);           // PERMISSION_RESTRICTIONS is 0 by default
    EXPECT_EQ(SettingsGetPermission(s.get(), kGroupView), 0u);
    EXPECT_EQ(Wide(SettingsGetExtensions(s.get())), L"a.dll,b.dll");
    EXPECT_EQ(Wide(SettingsGetCustomAppInfoTitle(s.get())), L"Licensed to");
    EXPECT_EQ(Wide(SettingsGetCustomAppInfo(s.get())), L"Line one\nLine two\rend");
    EXPECT_TRUE(SettingsHasCustomInfo(s.get()));
    EXPECT_EQ(OpenParamsGetRotation(SettingsGetOpenParams(s.get()).get()), 90u);
    // The settings dialog may not change the view group either; kind 3 may.
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerInternal, 1));
}

TEST_F(SettingsRegistry, MachineWordsDecideWhichUserGroupsAreRead) {
    Seed(kMachineKey, {{"PERMISSION_PERMISSIONS", "1"},
                       {"PERMISSION_RESTRICTIONS", "1"},
                       {"PERMISSION_DOCUMENTOPEN", "0"},
                       {"RESTRICTIONS", "1"}});
    Seed(kUserKey, {{"PERMISSION_VIEW", "0"},
                    {"PERMISSION_PERMISSIONS", "0"},
                    {"LANGUAGE", "1"},
                    {"RESTRICTIONS", "6"},
                    {"OPEN_ROTATION", "90"},
                    {"OPEN_INVERTED", "1"}});
    Ref<Settings> s = Loaded();
    // The user's key replaced the view word, but the machine's word decided
    // that the user's view values are read.
    EXPECT_EQ(SettingsGetPermission(s.get(), kGroupView), 0u);
    EXPECT_EQ(SettingsGetLanguage(s.get()), 1);
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 0));
    EXPECT_EQ(SettingsGetPermission(s.get(), kGroupPermissions), 1u);
    EXPECT_EQ(SettingsGetRestrictions(s.get()), 6u);
    Ref<OpenParams> defaults = SettingsGetOpenParams(s.get());
    EXPECT_FALSE(defaults->rotation_set);
    EXPECT_FALSE(defaults->inverted_set);
}

TEST_F(SettingsRegistry, SaveWritesOnlyChangedValuesOfSavingGroups) {
    // The extended and redlining groups may be changed but not saved.
    Seed(kMachineKey, {{"PERMISSION_EXTENDED", "255"}, {"PERMISSION_REDLINING", "255"}});
    Seed(kUserKey, {{"LENGTH_UNIT", "2"}});
    Ref<Settings> s = Loaded();
    ASSERT_EQ(SettingsGetLengthUnit(s.get()), 2);
    RectI rect;
    RectISet(rect, 1, -2, 3, 4);
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetZoomFactor(s.get(), nullptr, kCallerViewer, 2.5));
    EXPECT_TRUE(SettingsSetShowHairCross(s.get(), nullptr, kCallerViewer, false));
    EXPECT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kCallerViewer, kPaneNavigation, rect));
    EXPECT_TRUE(SettingsSetSendCookiesAuth(s.get(), nullptr, kCallerViewer, false));
    // Bit 3 of ACTIVEX_FILEOPENMODE lies among the view bits; it is saved
    // with its own, extended, group.
    EXPECT_TRUE(SettingsSetFileOpenMode(s.get(), nullptr, kCallerViewer, 2));
    EXPECT_TRUE(SettingsSetRedliningDisplay(s.get(), nullptr, kCallerViewer, false));
    EXPECT_TRUE(SettingsSetUserInfoPosition(s.get(), nullptr, kCallerAutomation, 5));
    EXPECT_TRUE(SettingsSetPopupsMoveable(s.get(), nullptr, kCallerViewer, false));
    Ref<OpenParams> defaults = SettingsGetOpenParams(s.get());
    OpenParamsSetOffsets(defaults.get(), 1.5, 0, 0, 2);
    OpenParamsSetRotation(defaults.get(), 90);
    OpenParamsSetMaxLoadingTime(defaults.get(), 9000);

    EXPECT_TRUE(SettingsSave(s.get()));
    const Listing expected = {
        {"LENGTH_UNIT", Text("2")},  // seeded, not written
        {"LANGUAGE", Text("1")},
        {"FIXED_ZOOMFACTOR", Text("2.500000")},
        {"SHOW_HAIRCROSS", Text("0")},
        {"RECT_NAVIGATION", Text("1;-2;3;4")},
        {"NETWORK_SEND_COOKIES_AUTH", Text("0")},
        {"OPEN_OFFSET_LEFT", Text("1.500000")},
        {"OPEN_OFFSET_TOP", Text("0.000000")},
        {"OPEN_OFFSET_RIGHT", Text("0.000000")},
        {"OPEN_OFFSET_BOTTOM", Text("2.000000")},
        {"OPEN_ROTATION", Text("90")},
    };
    EXPECT_EQ(Query(kUserKey), expected);
    // The groups that were not saved keep their marks; the others start over.
    EXPECT_EQ(SettingsGetChangedMask(s.get()), setting::kFileOpenMode | setting::kRedliningDisplay);
    EXPECT_FALSE(defaults->modified);

    // Nothing changed since: a second save writes nothing.
    ASSERT_EQ(RunHostCommand("wine reg delete '" + kUserKey + "' /f >/dev/null 2>&1"), 0);
    EXPECT_TRUE(SettingsSave(s.get()));
    EXPECT_EQ(Query(kUserKey), Listing());
}

TEST_F(SettingsRegistry, GroupsWithoutTheSaveBitWriteNothing) {
    Seed(kMachineKey,
         {{"PERMISSION_VIEW", "8"}, {"PERMISSION_WINDOW", "8"}, {"PERMISSION_DOCUMENTOPEN", "8"}});
    Ref<Settings> s = Loaded();
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetViewMode(s.get(), nullptr, kCallerViewer, kPaneToolBar, 0));
    OpenParamsSetOffsets(SettingsGetOpenParams(s.get()).get(), 3, 3, 3, 3);
    // The automation methods lack bits 1 and 2 here.
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerExternal, 0));
    EXPECT_FALSE(SettingsSetViewMode(s.get(), nullptr, kCallerAutomation, kPaneToolBar, 1));
    EXPECT_TRUE(SettingsSave(s.get()));
    EXPECT_EQ(Query(kUserKey), Listing());
}

TEST_F(SettingsRegistry, EverySavedOptionLoadsBack) {
    Ref<Settings> s = Loaded();
    const uint32_t kind = kCallerViewer;
    RectI preview, main_view, navigation;
    RectISet(preview, -5, 6, 70, 80);
    RectISet(main_view, 9, 10, 110, 120);
    RectISet(navigation, 13, 14, 150, 160);
    const WString info_text = L"Gepr\u00fcft: <USER> \u0394 <DATE>";
    ASSERT_TRUE(SettingsSetLanguage(s.get(), nullptr, kind, 1));
    ASSERT_TRUE(SettingsSetLengthUnit(s.get(), nullptr, kind, 3));
    ASSERT_TRUE(SettingsSetZoomExact(s.get(), nullptr, kind, true));
    ASSERT_TRUE(SettingsSetZoomFactor(s.get(), nullptr, kind, 12.25));
    ASSERT_TRUE(SettingsSetShowHairCross(s.get(), nullptr, kind, false));
    ASSERT_TRUE(SettingsSetUsePreviewInfo(s.get(), nullptr, kind, false));
    ASSERT_TRUE(SettingsSetFileOpenMode(s.get(), nullptr, kind, 3));
    ASSERT_TRUE(SettingsSetSendCookiesAuth(s.get(), nullptr, kind, false));
    ASSERT_TRUE(SettingsSetDriveTypesCaching(s.get(), nullptr, kind, 5));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPanePreview, 2));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPaneMainView, 0));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPaneNavigation, 2));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPaneStatusBar, 0));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPaneToolBar, 0));
    ASSERT_TRUE(SettingsSetViewMode(s.get(), nullptr, kind, kPaneMenuBar, 0));
    ASSERT_TRUE(SettingsSetNavigationWidth(s.get(), nullptr, kind, 321));
    ASSERT_TRUE(SettingsSetPreviewHeight(s.get(), nullptr, kind, 123));
    ASSERT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kind, kPanePreview, preview));
    ASSERT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kind, kPaneMainView, main_view));
    ASSERT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kind, kPaneNavigation, navigation));
    RectI frame;
    RectISet(frame, -4, 3, 900, 700);
    ASSERT_TRUE(SettingsSetFrameRect(s.get(), nullptr, kind, frame));
    ASSERT_TRUE(SettingsSetExtensionList(s.get(), nullptr, kind, L" tif, .cal"));
    ASSERT_TRUE(SettingsSetRedliningActive(s.get(), nullptr, kind, false));
    ASSERT_TRUE(SettingsSetRedliningDisplay(s.get(), nullptr, kind, false));
    ASSERT_TRUE(SettingsSetRedliningObjectNumbers(s.get(), nullptr, kind, 3));
    ASSERT_TRUE(SettingsSetUserInfoText(s.get(), nullptr, kind, info_text));
    ASSERT_TRUE(SettingsSetUserInfoPosition(s.get(), nullptr, kind, 7));
    ASSERT_TRUE(SettingsSetUserInfoFlags(s.get(), nullptr, kind, 0x55));
    ASSERT_TRUE(SettingsSetUserInfoPrint(s.get(), nullptr, kind, true));
    Ref<OpenParams> defaults = SettingsGetOpenParams(s.get());
    OpenParamsSetOffsets(defaults.get(), 1, 2, 3, 4.5);
    OpenParamsSetInverted(defaults.get(), true);
    OpenParamsSetMirrorH(defaults.get(), true);
    OpenParamsSetMirrorV(defaults.get(), false);
    OpenParamsSetAutoInvert(defaults.get(), 2);
    OpenParamsSetRotation(defaults.get(), 270);
    ASSERT_TRUE(SettingsSave(s.get()));

    Ref<Settings> back = Loaded();
    EXPECT_EQ(SettingsGetLanguage(back.get()), 1);
    EXPECT_EQ(SettingsGetLengthUnit(back.get()), 3);
    EXPECT_TRUE(SettingsGetZoomExact(back.get()));
    EXPECT_EQ(SettingsGetZoomFactor(back.get()), 12.25);
    EXPECT_FALSE(SettingsGetShowHairCross(back.get()));
    EXPECT_FALSE(SettingsGetUsePreviewInfo(back.get()));
    EXPECT_EQ(SettingsGetFileOpenMode(back.get()), 3);
    EXPECT_FALSE(SettingsGetSendCookiesAuth(back.get()));
    EXPECT_EQ(SettingsGetDriveTypesCaching(back.get()), 5u);
    const int32_t modes[] = {2, 0, 2, 0, 0, 0};
    for (uint32_t pane = kPanePreview; pane <= kPaneMenuBar; ++pane) {
        EXPECT_EQ(SettingsGetViewMode(back.get(), static_cast<SettingsPane>(pane)), modes[pane]) << pane;
    }
    EXPECT_EQ(SettingsGetNavigationWidth(back.get()), 321);
    EXPECT_EQ(SettingsGetPreviewHeight(back.get()), 123);
    EXPECT_EQ(SettingsGetPaneRect(back.get(), kPanePreview), preview);
    EXPECT_EQ(SettingsGetPaneRect(back.get(), kPaneMainView), main_view);
    EXPECT_EQ(SettingsGetPaneRect(back.get(), kPaneNavigation), navigation);
    EXPECT_EQ(SettingsGetFrameRect(back.get()), frame);
    EXPECT_EQ(Wide(SettingsGetExtensionList(back.get())), L" tif, .cal");
    EXPECT_FALSE(SettingsGetRedliningActive(back.get()));
    EXPECT_FALSE(SettingsGetRedliningDisplay(back.get()));
    EXPECT_EQ(SettingsGetRedliningObjectNumbers(back.get()), 3);
    EXPECT_EQ(Wide(SettingsGetUserInfoText(back.get())), Wide(info_text));
    EXPECT_EQ(SettingsGetUserInfoPosition(back.get()), 7);
    EXPECT_EQ(SettingsGetUserInfoFlags(back.get()), 0x55);
    EXPECT_TRUE(SettingsGetUserInfoPrint(back.get()));
    Ref<OpenParams> loaded = SettingsGetOpenParams(back.get());
    double l, t, r, b;
    ASSERT_TRUE(OpenParamsGetOffsets(loaded.get(), l, t, r, b));
    EXPECT_EQ(l, 1.0);
    EXPECT_EQ(t, 2.0);
    EXPECT_EQ(r, 3.0);
    EXPECT_EQ(b, 4.5);
    EXPECT_TRUE(OpenParamsGetInverted(loaded.get()));
    EXPECT_TRUE(OpenParamsGetMirrorH(loaded.get()));
    EXPECT_TRUE(loaded->mirror_v_set);
    EXPECT_FALSE(OpenParamsGetMirrorV(loaded.get()));
    EXPECT_EQ(OpenParamsGetAutoInvert(loaded.get()), 2u);
    EXPECT_EQ(OpenParamsGetRotation(loaded.get()), 270u);
    // Loading is no change: nothing is marked for the next save.
    EXPECT_FALSE(loaded->modified);
    EXPECT_EQ(SettingsGetChangedMask(back.get()), 0u);
}

namespace {

struct Heard {
    RefCounted* sender;
    uint32_t code;
    uint32_t tag;
    int64_t value;
    bool operator==(const Heard&) const = default;
};

class Recorder : public HubListener {
  public:
    uint32_t Notify(RefCounted* sender, HubEvent* event) override {
        const Variant& argument = event->argument;
        const int64_t value = argument.tag == kVariantInt64 ? argument.payload.int64 : VariantToInt(argument);
        heard.push_back({sender, event->code, argument.tag, value});
        return kHubContinue;
    }
    std::vector<Heard> heard;
};

}  // namespace

TEST(SettingsNotifications, ChangesPostTheOptionBitThroughTheContext) {
    // A root with only a hub, whose queue this thread drains; a message-only
    // window stands in for the frame that receives the drain message.
    Ref<AppRoot> root = MakeRef<AppRoot>(GetModuleHandleW(nullptr));
    root->hub = EventHubCreate();
    HWND window = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(window);
    EventHubSetWindow(root->hub.get(), window);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<Recorder> recorder = MakeRef<Recorder>();
    ListenerConstruct(recorder.get(), root->hub.get());

    Ref<Settings> s = SettingsCreate();
    ViewerContext* sender = context.get();
    RectI rect;
    RectISet(rect, 1, 2, 3, 4);
    EXPECT_TRUE(SettingsSetLanguage(s.get(), sender, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetLanguage(s.get(), sender, kCallerViewer, 1));  // no change, nothing posted
    s->permissions[kGroupRedlining] = 0;
    EXPECT_FALSE(SettingsSetRedliningActive(s.get(), sender, kCallerViewer, false));
    EXPECT_TRUE(SettingsSetViewMode(s.get(), sender, kCallerAutomation, kPanePreview, 2));
    EXPECT_TRUE(SettingsSetPaneRect(s.get(), sender, kCallerViewer, kPanePreview, rect));
    EXPECT_TRUE(SettingsSetFileOpenMode(s.get(), sender, kCallerViewer, 0));
    EXPECT_TRUE(SettingsSetFrameRect(s.get(), sender, kCallerViewer, rect));  // never posted
    EXPECT_TRUE(SettingsSetExtensionList(s.get(), sender, kCallerViewer, L"tif"));
    EXPECT_TRUE(SettingsSetExtensionList(s.get(), sender, kCallerViewer, L"tif"));
    EXPECT_TRUE(SettingsSetPopupsMoveable(s.get(), sender, kCallerViewer, false));
    EXPECT_TRUE(SettingsSetPopupsMoveWithMain(s.get(), sender, kCallerViewer, true));
    EXPECT_TRUE(SettingsSetDriveTypesCaching(s.get(), nullptr, kCallerViewer, 1));  // no sender, no post
    EXPECT_TRUE(SettingsAddRestrictions(s.get(), sender, kCallerInternal, 2));
    EXPECT_TRUE(SettingsAddRestrictions(s.get(), sender, kCallerInternal, 2));
    EventHubDrain(root->hub.get());

    const std::vector<Heard> expected = {
        {sender, event::kSettingChanged, kVariantInt64, int64_t(setting::kLanguage)},
        {sender, event::kSettingChanged, kVariantInt64, int64_t(setting::kViewModePreview)},
        {sender, event::kSettingChanged, kVariantInt64, 64},
        {sender, event::kSettingChanged, kVariantInt64, 0x10000000},
        {sender, event::kSettingChanged, kVariantInt64, 0x20000000},
        {sender, event::kRestrictionsChanged, kVariantInt32, 2},
    };
    EXPECT_EQ(recorder->heard, expected);

    ListenerDetach(recorder.get());
    EventHubSetWindow(root->hub.get(), nullptr);
    DestroyWindow(window);
}
