// The settings against the registry: values seeded with `wine reg add` into
// the machine's and the user's key, and what saving leaves in the user's.
#include "viewer/core/settings.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/viewer/core/settings_test_support.h"

namespace {

class SettingsRegistry : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redirect_.ok()); }
    static Ref<Settings> Loaded() {
        Ref<Settings> settings = SettingsCreate();
        EXPECT_TRUE(SettingsLoad(settings.get()));
        return settings;
    }
    RegListing UserValues() const { return QueryRegistry(user_key, "settings_query"); }

    SettingsKeyRedirect redirect_{"PlovexSettingsTest"};
    const std::string machine_key = redirect_.MachineSettingsKey();
    const std::string user_key = redirect_.UserSettingsKey();
};

RegListedValue Text(const char* text) { return {"REG_SZ", text}; }
std::wstring Wide(const WString& text) { return WStrCStr(text); }

}  // namespace

TEST_F(SettingsRegistry, ValuesOutOfRangeAreRepairedOnLoad) {
    using Getter = std::function<double(Settings*)>;
    auto open = [](auto read) {
        return [read](Settings* s) { return read(SettingsGetOpenParams(s).get()); };
    };
    // Each option with the value stored in round 1, 2, 3 and what it loads as
    // (-1: an open parameter left unset).
    const struct {
        const char* name;
        Getter get;
        std::vector<std::pair<const char*, double>> rounds;
    } rows[] = {
        {"LANGUAGE", SettingsGetLanguage, {{"5", 0}, {"1", 1}}},
        {"FIXED_ZOOMFACTOR", SettingsGetZoomFactor, {{"100000.5", 0}, {"100000", 100000}, {"-1", 0}}},
        {"LENGTH_RECENT_FILES_LIST", SettingsGetRecentFilesLength, {{"50", 20}, {"-3", 0}}},
        {"NETWORK_DRIVETYPES_CACHING", SettingsGetDriveTypesCaching, {{"255", 15}}},
        {"WIDTH_NAVIFRAME", SettingsGetNavigationWidth, {{"10", 200}, {"2000", 2000}, {"2001", 200}}},
        {"OPEN_ROTATION", open([](OpenParams* p) { return p->rotation_set ? double(p->rotation) : -1; }),
         {{"-450", 270}, {"45", 0}}},
        {"OPEN_MAX_LOADING_TIME",
         open([](OpenParams* p) { return p->max_loading_time_set ? double(p->max_loading_time) : -1; }),
         {{"-1", -1}, {"5", 5000}, {"5000000", 4294967295.0}}},
        {"OPEN_OFFSET_LEFT", open([](OpenParams* p) { return p->margins_set ? p->margin_left : -1; }),
         {{"-1", 0}}},
    };
    for (size_t round = 0; round < 3; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round + 1);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
        RegValues values;
        for (const auto& row : rows)
            if (round < row.rounds.size()) values.emplace_back(row.name, row.rounds[round].first);
        SeedRegistry(machine_key, values);
        Ref<Settings> s = Loaded();
        for (const auto& row : rows) {
            if (round >= row.rounds.size()) continue;
            const auto& [stored, loaded] = row.rounds[round];
            EXPECT_EQ(row.get(s.get()), loaded) << row.name << " = " << stored;
        }
        // Loading is no change: the machine's values are not copied to the user's key.
        EXPECT_TRUE(SettingsSave(s.get()));
        EXPECT_EQ(UserValues(), RegListing());
    }
}

TEST_F(SettingsRegistry, MachineWordsDecideWhatTheUserKeyMayChange) {
    SeedRegistry(machine_key, {{"PERMISSION_VIEW", "0"},
                               {"LANGUAGE", "0"},
                               {"PERMISSION_PERMISSIONS", "0"},
                               {"EXTENSIONS", "a.dll,b.dll"},
                               {"CUSTOMAPPINFO", "Line one\\nLine two\\rend"}});
    SeedRegistry(user_key, {{"LANGUAGE", "1"},
                            {"VIEWMODE_PREVIEW", "2"},
                            {"RESTRICTIONS", "4"},
                            {"PERMISSION_VIEW", "65535"},
                            {"EXTENSIONS", "other.dll"},
                            {"OPEN_ROTATION", "90"}});
    Ref<Settings> s = Loaded();
    EXPECT_EQ(SettingsGetLanguage(s.get()), 0);                // view group closed to the user
    EXPECT_EQ(SettingsGetViewMode(s.get(), kPanePreview), 2);  // window group open
    EXPECT_EQ(SettingsGetRestrictions(s.get()), 0u);           // PERMISSION_RESTRICTIONS is 0 by default
    EXPECT_EQ(SettingsGetPermission(s.get(), kGroupView), 0u);
    EXPECT_EQ(Wide(SettingsGetExtensions(s.get())), L"a.dll,b.dll");
    EXPECT_EQ(Wide(SettingsGetCustomAppInfo(s.get())), L"Line one\nLine two\rend");
    EXPECT_EQ(OpenParamsGetRotation(SettingsGetOpenParams(s.get()).get()), 90u);
    // The settings dialog may not change the view group either; kind 3 may.
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerInternal, 1));

    // The user's key may replace a word, but the machine's word decides
    // which of the user's groups are read.
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software");
    SeedRegistry(machine_key, {{"PERMISSION_DOCUMENTOPEN", "0"}});
    SeedRegistry(user_key, {{"PERMISSION_VIEW", "0"}});
    s = Loaded();
    EXPECT_EQ(SettingsGetPermission(s.get(), kGroupView), 0u);
    EXPECT_EQ(SettingsGetLanguage(s.get()), 1);
    EXPECT_FALSE(SettingsGetOpenParams(s.get())->rotation_set);
}

TEST_F(SettingsRegistry, SaveWritesOnlyChangedValuesOfSavingGroups) {
    // The extended and redlining groups may be changed but not saved.
    SeedRegistry(machine_key, {{"PERMISSION_EXTENDED", "255"}, {"PERMISSION_REDLINING", "255"}});
    SeedRegistry(user_key, {{"LENGTH_UNIT", "2"}});
    Ref<Settings> s = Loaded();
    ASSERT_EQ(SettingsGetLengthUnit(s.get()), 2);
    RectI rect;
    RectISet(rect, 1, -2, 3, 4);
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    EXPECT_TRUE(SettingsSetZoomFactor(s.get(), nullptr, kCallerViewer, 2.5));
    EXPECT_TRUE(SettingsSetPaneRect(s.get(), nullptr, kCallerViewer, kPaneNavigation, rect));
    // Bit 3 of ACTIVEX_FILEOPENMODE lies among the view bits; it is saved
    // with its own, extended, group.
    EXPECT_TRUE(SettingsSetFileOpenMode(s.get(), nullptr, kCallerViewer, 2));
    EXPECT_TRUE(SettingsSetRedliningDisplay(s.get(), nullptr, kCallerViewer, false));
    Ref<OpenParams> defaults = SettingsGetOpenParams(s.get());
    OpenParamsSetOffsets(defaults.get(), 1.5, 0, 0, 2);
    OpenParamsSetRotation(defaults.get(), 90);

    EXPECT_TRUE(SettingsSave(s.get()));
    const RegListing expected = {
        {"LENGTH_UNIT", Text("2")},  // seeded, not written
        {"LANGUAGE", Text("1")},
        {"FIXED_ZOOMFACTOR", Text("2.500000")},
        {"RECT_NAVIGATION", Text("1;-2;3;4")},
        {"OPEN_OFFSET_LEFT", Text("1.500000")},
        {"OPEN_OFFSET_TOP", Text("0.000000")},
        {"OPEN_OFFSET_RIGHT", Text("0.000000")},
        {"OPEN_OFFSET_BOTTOM", Text("2.000000")},
        {"OPEN_ROTATION", Text("90")},
    };
    EXPECT_EQ(UserValues(), expected);
    // The groups that were not saved keep their marks; the others start over.
    EXPECT_EQ(SettingsGetChangedMask(s.get()), setting::kFileOpenMode | setting::kRedliningDisplay);
    EXPECT_FALSE(defaults->modified);
    // Nothing changed since: a second save writes nothing.
    ASSERT_EQ(RunHostCommand("wine reg delete '" + user_key + "' /f >/dev/null 2>&1"), 0);
    EXPECT_TRUE(SettingsSave(s.get()));
    EXPECT_EQ(UserValues(), RegListing());

    // Groups without the save bit write nothing; automation lacks bits 1 and 2.
    SeedRegistry(machine_key, {{"PERMISSION_VIEW", "8"}, {"PERMISSION_DOCUMENTOPEN", "8"}});
    s = Loaded();
    EXPECT_TRUE(SettingsSetLanguage(s.get(), nullptr, kCallerViewer, 1));
    OpenParamsSetOffsets(SettingsGetOpenParams(s.get()).get(), 3, 3, 3, 3);
    EXPECT_FALSE(SettingsSetLanguage(s.get(), nullptr, kCallerExternal, 0));
    EXPECT_TRUE(SettingsSave(s.get()));
    EXPECT_EQ(UserValues(), RegListing());
}
