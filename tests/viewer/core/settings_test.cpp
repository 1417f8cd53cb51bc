// The settings, the recent-file list and the variable list against the
// registry: values seeded with `wine reg add` into the machine's and the
// user's key, what saving leaves in the user's read back with `wine reg
// query`; the short names of the File menu; placeholders in texts expanded
// on a clock fixed by the test. A full recent list taking a 21st file and the
// recent command moving its file to the top are checked from outside
// (frame_panes_test).
#include "viewer/core/settings.h"
#include "viewer/core/var_text.h"
#include "viewer/core/variable_list.h"
#include "viewer/windows/recent_files.h"

#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"

namespace {

class SettingsRegistry : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redirect_.ok()); }
    static Ref<Settings> Loaded() {
        Ref<Settings> settings = SettingsCreate();
        EXPECT_TRUE(SettingsLoad(settings.get()));
        return settings;
    }
    RegListing Values(const std::string& key) const { return QueryRegistry(key, "settings_query"); }
    RegListing UserValues() const { return Values(user_key); }
    // Settings and recent-file list as the root makes them, with this list length.
    Ref<RecentFiles> LoadRecent(int length) {
        SeedRegistry(user_key, {{"LENGTH_RECENT_FILES_LIST", std::to_string(length)}});
        settings_ = Loaded();
        EXPECT_EQ(SettingsGetRecentFilesLength(settings_.get()), length);
        return RecentFilesCreate(nullptr, settings_.get());
    }
    static std::string Path(int n) { return "C:\\docs\\file" + std::to_string(n) + ".tif"; }

    SettingsKeyRedirect redirect_{"PlovexSettingsTest"};
    const std::string machine_key = redirect_.MachineSettingsKey(), user_key = redirect_.UserSettingsKey();
    const std::string recent_key = user_key + "\\RecentFiles", variables_key = user_key + "\\Variables";
    Ref<Settings> settings_;
};
class RecentFilesRegistry : public SettingsRegistry {};
class VariableListRegistry : public SettingsRegistry {};

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
        {"LENGTH_UNIT", Sz("2")},  // seeded, not written
        {"LANGUAGE", Sz("1")},
        {"FIXED_ZOOMFACTOR", Sz("2.500000")},
        {"RECT_NAVIGATION", Sz("1;-2;3;4")},
        {"OPEN_OFFSET_LEFT", Sz("1.500000")},
        {"OPEN_OFFSET_TOP", Sz("0.000000")},
        {"OPEN_OFFSET_RIGHT", Sz("0.000000")},
        {"OPEN_OFFSET_BOTTOM", Sz("2.000000")},
        {"OPEN_ROTATION", Sz("90")},
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

namespace {

WString W(const std::string& text) { return WString(std::wstring(text.begin(), text.end()).c_str()); }

TEST_F(RecentFilesRegistry, ReopeningMovesToTheTopAndTheTopStays) {
    SeedRegistry(recent_key, {{"FILE_0", Path(0)}, {"FILE_1", Path(1)}, {"FILE_2", Path(2)}, {"FILE_3", ""}});
    Ref<RecentFiles> list = LoadRecent(5);
    ASSERT_EQ(RecentFilesCount(list.get()), 3u);

    // Compared without case; the new spelling is kept.
    std::string second = Path(1);
    for (char& c : second) c = static_cast<char>(toupper(c));
    EXPECT_TRUE(RecentFilesAdd(list.get(), W(second)));
    EXPECT_FALSE(RecentFilesAdd(list.get(), W(second)));
    EXPECT_FALSE(RecentFilesAdd(list.get(), WString()));
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 0)), second);
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 1)), Path(0));
    EXPECT_EQ(Narrow(RecentFilesGet(list.get(), 2)), Path(2));
    EXPECT_EQ(WStrLength(RecentFilesGet(list.get(), 3)), 0u);
    ASSERT_TRUE(RecentFilesSave(list.get()));

    // The empty FILE_3 was not counted as found, so it stays as it was.
    const RegListing expected = {{"FILE_0", Sz(second)},
                                 {"FILE_1", Sz(Path(0))},
                                 {"FILE_2", Sz(Path(2))},
                                 {"FILE_3", {"REG_SZ", ""}}};
    EXPECT_EQ(Values(recent_key), expected);
}

TEST_F(RecentFilesRegistry, StaleValuesBeyondAShorterListAreDeleted) {
    RegValues seeded;
    for (int position = 0; position < 5; ++position) seeded.push_back({"FILE_" + std::to_string(position), Path(position)});
    SeedRegistry(recent_key, seeded);
    Ref<RecentFiles> list = LoadRecent(5);
    ASSERT_EQ(RecentFilesCount(list.get()), 5u);

    // The list gets shorter while the program runs.
    SeedRegistry(user_key, {{"LENGTH_RECENT_FILES_LIST", "2"}});
    ASSERT_TRUE(SettingsLoad(settings_.get()));
    EXPECT_TRUE(RecentFilesAdd(list.get(), W(Path(9))));
    ASSERT_TRUE(RecentFilesSave(list.get()));
    const RegListing expected = {{"FILE_0", Sz(Path(9))}, {"FILE_1", Sz(Path(0))}};
    EXPECT_EQ(Values(recent_key), expected);
}

TEST_F(RecentFilesRegistry, NothingIsKeptWithoutSettingsOrWithALengthOfZero) {
    Ref<RecentFiles> without = RecentFilesCreate(nullptr, nullptr);
    EXPECT_FALSE(RecentFilesAdd(without.get(), W(Path(1))));
    EXPECT_TRUE(RecentFilesSave(without.get()));

    Ref<RecentFiles> list = LoadRecent(0);
    EXPECT_FALSE(RecentFilesAdd(list.get(), W(Path(1))));
    EXPECT_EQ(RecentFilesCount(list.get()), 0u);
    EXPECT_TRUE(RecentFilesSave(list.get()));
    EXPECT_TRUE(Values(recent_key).empty());
}

TEST(RecentFilesShortenName, KeepsTheHeadAndTheTail) {
    struct Case {
        std::string path;
        std::string shown;
    };
    const std::string forty = "C:\\" + std::string(33, 'a') + ".tif";                   // 40 characters
    const std::string forty_four = "C:\\dir\\" + std::string(33, 'b') + ".tif";          // 44 characters
    const std::string url = "http://example.org/" + std::string(30, 'c') + ".tif";       // scheme head
    const std::string unc = "\\\\server\\share\\" + std::string(30, 'd') + ".tif";      // UNC head
    // A "://" at position 35 of 45: the rest is shorter than the tail.
    const std::string late = std::string(35, 'e') + "://abcdefg";
    const std::string plain = std::string(45, 'f');                                       // no head
    const Case cases[] = {
        {forty, forty},
        {forty_four, "C:\\..." + forty_four.substr(44 - 37)},
        {url, "http://..." + url.substr(url.size() - 37)},
        {unc, "\\\\..." + unc.substr(unc.size() - 37)},
        {late, "..." + late.substr(45 - 37)},
        {plain, "..." + plain.substr(45 - 37)},
    };
    for (const Case& c : cases) {
        const std::string shown = Narrow(RecentFilesShortenName(W(c.path), 40));
        EXPECT_EQ(shown, c.shown) << c.path;
    }
    EXPECT_EQ(Narrow(RecentFilesShortenName(W(forty_four), 40)).size(), 43u);
}

std::wstring Value(Variable* variable) {
    WString out;
    return variable ? WStrCStr(variable->GetValue(out, nullptr, nullptr)) : L"(none)";
}

std::wstring Description(Variable* variable) {
    WString out;
    return WStrCStr(variable->GetDescription(out, nullptr));
}

WString Repeat(wchar_t c, size_t n) { return WString(std::wstring(n, c).c_str()); }

}  // namespace

TEST_F(VariableListRegistry, LoadsBuiltInsThenFixedThenUserVariables) {
    SeedRegistry(machine_key + "\\Variables",
                 {{"PROJECT", "Bridge 7"}, {"~PROJECT", "Project name"}, {"DATE", "never"}});
    SeedRegistry(variables_key, {{"PROJECT", "mine"},
                             {"DRAWER", "Anna"},
                             {"~DRAWER", "Drawn by"},
                             {"~ORPHAN", "a description alone"},
                             {std::string(59, 'L'), "fits"},
                             {std::string(60, 'M'), "too long a name"},
                             {"HUGE", std::string(2100, 'h')}});
    ASSERT_EQ(
        RunHostCommand("wine reg add '" + variables_key + "' /v NUMBER /t REG_DWORD /d 5 /f >/dev/null 2>&1"), 0);
    // Data stored without their terminating NUL still end.
    {
        RegKey key = RegOpen(HKEY_CURRENT_USER, kVariablesKeyPath, false);
        ASSERT_TRUE(key);
        const wchar_t raw[] = {L'a', L'b', L'c'};
        ASSERT_EQ(
            RegSetValueExW(key.get(), L"RAW", 0, REG_SZ, reinterpret_cast<const BYTE*>(raw), sizeof(raw)),
            ERROR_SUCCESS);
    }

    Ref<VariableList> list = VariableListConstruct();
    // Ten built-ins, two fixed, then PROJECT, DRAWER, the 59-character name and RAW.
    EXPECT_EQ(VarListCount(list.get()), 10u + 2 + 4);
    EXPECT_FALSE(VarListGetAt(list.get(), VarListCount(list.get())));

    // The first of a name wins: built-in before fixed before user.
    Ref<Variable> project = VarListFind(list.get(), WString(L"project"));
    ASSERT_TRUE(project);
    EXPECT_EQ(project->kind, kVariableFixed);
    EXPECT_EQ(Value(project.get()), L"Bridge 7");
    EXPECT_EQ(Description(project.get()), L"Project name");
    EXPECT_FALSE(project->SetValue(WString(L"changed")));
    EXPECT_FALSE(VarListFind(list.get(), WString(L"DATE"))->SetValue(WString(L"x")));
    Ref<Variable> drawer = VarListFind(list.get(), WString(L"DRAWER"));
    ASSERT_TRUE(drawer);
    EXPECT_EQ(drawer->kind, kVariableUser);
    EXPECT_EQ(Description(drawer.get()), L"Drawn by");
    EXPECT_EQ(Value(VarListFind(list.get(), WString(L"RAW")).get()), L"abc");
    EXPECT_TRUE(VarListFind(list.get(), Repeat(L'L', 59)));
    for (const wchar_t* skipped : {L"NUMBER", L"~ORPHAN", L"ORPHAN", L"HUGE", L""})
        EXPECT_FALSE(VarListFind(list.get(), WString(skipped))) << skipped;
    EXPECT_FALSE(VarListFind(list.get(), Repeat(L'M', 60)));
}

TEST_F(VariableListRegistry, UserVariablesAreWrittenAtOnceAndReadBack) {
    Ref<VariableList> list = VariableListConstruct();
    Ref<Variable> sheet = VarListCreateUser(list.get(), WString(L"SHEET"), WString(), WString());
    ASSERT_TRUE(sheet);
    RegListing stored = Values(variables_key);
    EXPECT_EQ(stored["SHEET"], Sz(""));
    EXPECT_EQ(stored.count("~SHEET"), 0u) << "an empty description is not written";

    ASSERT_TRUE(VarListCreateUser(list.get(), WString(L"ROOM"), WString(L"Room number"), Repeat(L'v', 200)));
    EXPECT_TRUE(sheet->SetValue(WString(L"A-12")));
    EXPECT_TRUE(sheet->SetDescription(WString(L"Sheet number")));
    stored = Values(variables_key);
    EXPECT_EQ(stored["SHEET"], Sz("A-12"));
    EXPECT_EQ(stored["~SHEET"], Sz("Sheet number"));
    EXPECT_EQ(stored["ROOM"], Sz(std::string(200, 'v')));
    EXPECT_EQ(stored["~ROOM"], Sz("Room number"));
    // A list loaded afterwards (the next start) has them, the long value whole.
    Ref<VariableList> reloaded = VariableListConstruct();
    EXPECT_EQ(Value(VarListFind(reloaded.get(), WString(L"SHEET")).get()), L"A-12");
    EXPECT_EQ(Value(VarListFind(reloaded.get(), WString(L"ROOM")).get()), std::wstring(200, L'v'));

    const uint32_t count = VarListCount(list.get());
    // The registry takes no text of 2048 characters or more: such a value
    // would be gone at the next start, so nothing changes and the caller
    // hears so; a half-written variable is taken back.
    const WString too_long = Repeat(L'x', 2048);
    EXPECT_FALSE(sheet->SetValue(too_long));
    EXPECT_FALSE(sheet->SetDescription(too_long));
    EXPECT_EQ(Value(sheet.get()), L"A-12");
    EXPECT_FALSE(VarListCreateUser(list.get(), WString(L"BIG"), WString(), too_long));
    EXPECT_FALSE(VarListCreateUser(list.get(), WString(L"BIGDESC"), too_long, WString(L"v")));
    EXPECT_EQ(VarListCount(list.get()), count);

    EXPECT_TRUE(VarListDeleteUser(list.get(), WString(L"sheet")));
    for (const wchar_t* kept : {L"SHEET", L"DATE"})
        EXPECT_FALSE(VarListDeleteUser(list.get(), WString(kept))) << kept;
    stored = Values(variables_key);
    for (const char* gone : {"SHEET", "~SHEET", "BIG", "BIGDESC"}) EXPECT_EQ(stored.count(gone), 0u) << gone;
    EXPECT_EQ(stored.count("ROOM"), 1u);
}

namespace {

std::wstring Expand(ViewerContext* context, const wchar_t* text, const VarContext* var_context = nullptr) {
    VarText var_text;
    VarTextSet(var_text, WString(text));
    WString out;
    return WStrCStr(VarTextExpand(var_text, context, var_context, out));
}

}  // namespace

TEST(VarText, ReplacesKnownNamesAndKeepsTheRest) {
    // The registry roots point at empty keys: no user variables.
    SettingsKeyRedirect redirect("PlovexVarTextTest");
    ASSERT_TRUE(redirect.ok());
    const std::string dir = MakeScratchDir("var_text_documents");
    MakeTiff(dir + "/drawing.tif", 3);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    {
        ScopedLock hold(context->lock);
        context->variables = VariableListConstruct([] { return SYSTEMTIME{2026, 12, 0, 8, 9, 5, 30, 0}; });
        context->language = 1;  // dates as 2026-12-08
    }
    // Unknown or malformed placeholders stay as they are; print job numbers
    // come from the print's context, counted from 0.
    VarContext printing;
    printing.page_number = 2;
    printing.page_count = 5;
    const wchar_t* text = L"a<date>b <Time> <NOPE> <<DATE> < DATE> <\r\n> <TIME <PRPGNUMBER>/<PRPGCOUNT>";
    EXPECT_EQ(Expand(context, text, &printing),
              L"a2026-12-08b 9:05 <NOPE> <2026-12-08 < DATE> <\r\n> <TIME 3/5");
    EXPECT_EQ(Expand(context, L"[<PRPGNUMBER>|<DOCNAME>|<PGNUMBER>]"), L"[||]");
    EXPECT_EQ(Expand(nullptr, L"a<DATE>b"), L"a<DATE>b");  // no context, no variable list

    // Document values come from the item and its file.
    Ref<DocumentItem> document = viewer.Open(dir + "/drawing.tif");
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    text = L"<FILENAME>|<PATH>|<PGNUMBER>|<PGCOUNT>";
    const std::wstring directory = WindowsPathOf(dir) + L"\\";
    VarContext on_page(DocItemGetChild(document.get(), 1).get());
    EXPECT_EQ(Expand(context, text, &on_page), L"drawing.tif|" + directory + L"|2|3");
    VarContext on_document(document.get());
    EXPECT_EQ(Expand(context, text, &on_document), L"drawing.tif|" + directory + L"||3");
    VarContextFree(on_document);
    EXPECT_EQ(Expand(context, text, &on_document), L"|||");

    // Opened under another extension, the file is read from a temporary
    // copy, whose directory means nothing to the reader of a print.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetName(params.get(), WString(L"drawing.tiff"));
    Ref<DocumentItem> copied = viewer.Open(dir + "/drawing.tif", params.get());
    ASSERT_TRUE(copied);
    VarContext on_copy(copied.get());
    EXPECT_EQ(Expand(context, L"<FILENAME>|<PATH>", &on_copy), L"drawing.tif|");
}
