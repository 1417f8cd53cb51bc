#include "viewer/core/settings.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "tests/support/test_support.h"

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
    std::string command = "true";
    for (const auto& [name, value] : values)
        command += " && wine reg add '" + key + "' /v '" + name + "' /d '" + value + "' /f >/dev/null 2>&1";
    ASSERT_EQ(RunHostCommand(command), 0) << command;
}

// The key's values as `wine reg query` lists them ("    NAME    TYPE    TEXT"),
// by name as "TYPE TEXT".
using Listing = std::map<std::string, std::string>;
Listing Query(const std::string& key) {
    const std::string dir = MakeScratchDir("settings-query");
    RunHostCommand("wine reg query '" + key + "' >'" + dir + "/out.txt' 2>/dev/null");
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream lines(std::string(bytes.begin(), bytes.end()));
    static const std::regex value_line("    (\\S+)    (\\S+)(    (.*))?");
    Listing listing;
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::smatch match;
        if (std::regex_match(line, match, value_line))
            listing[match[1]] = match[2].str() + " " + match[4].str();
    }
    return listing;
}

std::string Text(const char* text) { return std::string("REG_SZ ") + text; }

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

TEST_F(SettingsRegistry, ValuesOutOfRangeAreRepairedOnLoad) {
    using Getter = std::function<double(Settings*)>;
    auto open = [](auto read) {
        return [read](Settings* s) { return read(SettingsGetOpenParams(s).get()); };
    };
    // Each option with the value stored in round 1, 2, 3 and what it loads as
    // (-1: an open parameter left unset).
    struct Row {
        const char* name;
        Getter get;
        std::vector<std::pair<const char*, double>> rounds;
    };
    const Getter preview = [](Settings* s) { return SettingsGetViewMode(s, kPanePreview); };
    const Getter status = [](Settings* s) { return SettingsGetViewMode(s, kPaneStatusBar); };
    const Getter rotation = open([](OpenParams* p) { return p->rotation_set ? double(p->rotation) : -1; });
    const Getter invert =
        open([](OpenParams* p) { return p->auto_invert_set ? double(p->auto_invert) : -1; });
    const Getter limit =
        open([](OpenParams* p) { return p->max_loading_time_set ? double(p->max_loading_time) : -1; });
    const Getter margin = open([](OpenParams* p) { return p->margins_set ? p->margin_left : -1; });
    const Row rows[] = {
        {"LANGUAGE", SettingsGetLanguage, {{"5", 0}, {"1", 1}}},
        {"LENGTH_UNIT", SettingsGetLengthUnit, {{"9", 1}, {"4", 4}}},
        {"FIXED_ZOOMFACTOR", SettingsGetZoomFactor, {{"100000.5", 0}, {"100000", 100000}, {"-1", 0}}},
        {"ACTIVEX_FILEOPENMODE", SettingsGetFileOpenMode, {{"4", 1}, {"0", 0}}},
        {"LENGTH_RECENT_FILES_LIST", SettingsGetRecentFilesLength, {{"50", 20}, {"-3", 0}, {"7", 7}}},
        {"NETWORK_DRIVETYPES_CACHING", SettingsGetDriveTypesCaching, {{"255", 15}}},
        {"VIEWMODE_PREVIEW", preview, {{"3", 1}, {"2", 2}}},
        {"VIEWMODE_STATUSBAR", status, {{"2", 1}, {"0", 0}}},
        {"WIDTH_NAVIFRAME", SettingsGetNavigationWidth, {{"10", 200}, {"2000", 2000}}},
        {"HEIGHT_PREVIEW", SettingsGetPreviewHeight, {{"2001", 200}, {"20", 20}}},
        {"REDLINING_OBJECTNUMBERS", SettingsGetRedliningObjectNumbers, {{"4", 2}, {"0", 0}}},
        {"USERINFO_POSITION", SettingsGetUserInfoPosition, {{"9", 1}, {"8", 8}}},
        {"POPUPS_MOVEABLE", SettingsGetPopupsMoveable, {{"0", 0}, {"5", 1}}},
        {"OPEN_ROTATION", rotation, {{"-450", 270}, {"45", 0}}},
        {"OPEN_AUTOINVERT", invert, {{"3", -1}, {"2", 2}}},
        {"OPEN_MAX_LOADING_TIME", limit, {{"-1", -1}, {"5", 5000}, {"5000000", 4294967295.0}}},
        {"OPEN_OFFSET_LEFT", margin, {{"-1", 0}}},
    };
    for (size_t round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round + 1);
        RegDeleteTreeW(HKEY_CURRENT_USER, kMachineRoot);
        Values values;
        for (const Row& row : rows) {
            if (round < row.rounds.size()) values.emplace_back(row.name, row.rounds[round].first);
        }
        Seed(kMachineKey, values);
        Ref<Settings> s = Loaded();
        for (const Row& row : rows) {
            if (round >= row.rounds.size()) continue;
            EXPECT_EQ(row.get(s.get()), row.rounds[round].second)
                << row.name << " = " << row.rounds[round].first;
        }
        // Loading is no change: the machine's values are not copied to the user's key.
        EXPECT_TRUE(SettingsSave(s.get()));
        EXPECT_EQ(Query(kUserKey), Listing());
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
