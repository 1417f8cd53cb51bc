// The variable list against the registry: fixed and user variables seeded
// with `wine reg add`, and what creating, changing and deleting user
// variables leaves there, read back with `wine reg query`.
#include "viewer/core/variable_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/viewer/core/settings_test_support.h"

namespace {

class VariableListRegistry : public testing::Test {
  protected:
    void SetUp() override { ASSERT_TRUE(redirect_.ok()); }
    std::string MachineKey() const { return redirect_.MachineSettingsKey() + "\\Variables"; }
    std::string UserKey() const { return redirect_.UserSettingsKey() + "\\Variables"; }
    RegListing UserValues() const { return QueryRegistry(UserKey(), "variable_list_query"); }

    SettingsKeyRedirect redirect_{"PlovexVariableListTest"};
};

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
    SeedRegistry(MachineKey(), {{"PROJECT", "Bridge 7"}, {"~PROJECT", "Project name"}, {"DATE", "never"}});
    SeedRegistry(UserKey(), {{"PROJECT", "mine"},
                             {"DRAWER", "Anna"},
                             {"~DRAWER", "Drawn by"},
                             {"~ORPHAN", "a description alone"},
                             {std::string(59, 'L'), "fits"},
                             {std::string(60, 'M'), "too long a name"},
                             {"HUGE", std::string(2100, 'h')}});
    ASSERT_EQ(
        RunHostCommand("wine reg add '" + UserKey() + "' /v NUMBER /t REG_DWORD /d 5 /f >/dev/null 2>&1"), 0);
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
    RegListing stored = UserValues();
    EXPECT_EQ(stored["SHEET"], (RegListedValue{"REG_SZ", ""}));
    EXPECT_EQ(stored.count("~SHEET"), 0u) << "an empty description is not written";

    ASSERT_TRUE(VarListCreateUser(list.get(), WString(L"ROOM"), WString(L"Room number"), Repeat(L'v', 200)));
    EXPECT_TRUE(sheet->SetValue(WString(L"A-12")));
    EXPECT_TRUE(sheet->SetDescription(WString(L"Sheet number")));
    stored = UserValues();
    EXPECT_EQ(stored["SHEET"], (RegListedValue{"REG_SZ", "A-12"}));
    EXPECT_EQ(stored["~SHEET"], (RegListedValue{"REG_SZ", "Sheet number"}));
    EXPECT_EQ(stored["ROOM"], (RegListedValue{"REG_SZ", std::string(200, 'v')}));
    EXPECT_EQ(stored["~ROOM"], (RegListedValue{"REG_SZ", "Room number"}));
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
    stored = UserValues();
    for (const char* gone : {"SHEET", "~SHEET", "BIG", "BIGDESC"}) EXPECT_EQ(stored.count(gone), 0u) << gone;
    EXPECT_EQ(stored.count("ROOM"), 1u);
}
