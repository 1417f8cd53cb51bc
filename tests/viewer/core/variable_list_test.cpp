// The variable list against the registry: fixed and user variables seeded
// with `wine reg add`, and what creating, changing and deleting user
// variables leaves there, read back with `wine reg query`.
#include "viewer/core/variable_list.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "tests/viewer/core/settings_test_support.h"
#include "viewer/core/var_text.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr uint32_t kBuiltInCount = 10;

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
    return WStrCStr(variable->GetValue(out, nullptr, nullptr));
}

std::wstring Description(Variable* variable) {
    WString out;
    return WStrCStr(variable->GetDescription(out, nullptr));
}

std::string Repeat(char c, size_t n) { return std::string(n, c); }
WString WideRepeat(wchar_t c, size_t n) { return WString(std::wstring(n, c).c_str()); }

}  // namespace

TEST_F(VariableListRegistry, LoadsBuiltInsThenFixedThenUserVariables) {
    SeedRegistry(MachineKey(), {{"PROJECT", "Bridge 7"}, {"~PROJECT", "Project name"}, {"DATE", "never"}});
    SeedRegistry(UserKey(), {{"PROJECT", "mine"},
                             {"DRAWER", "Anna"},
                             {"~DRAWER", "Drawn by"},
                             {"~ORPHAN", "a description alone"},
                             {"NOTE", Repeat('n', 200)},
                             {Repeat('L', 59), "fits"},
                             {Repeat('M', 60), "too long a name"},
                             {"HUGE", Repeat('h', 2100)}});
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
    const wchar_t* built_ins[] = {L"DATE", L"TIME",     L"USERNAME", L"DOCNAME",    L"FILENAME",
                                  L"PATH", L"PGNUMBER", L"PGCOUNT",  L"PRPGNUMBER", L"PRPGCOUNT"};
    for (uint32_t i = 0; i < kBuiltInCount; ++i) {
        Ref<Variable> variable = VarListGetAt(list.get(), i);
        ASSERT_TRUE(variable);
        EXPECT_STREQ(WStrCStr(variable->name), built_ins[i]);
        EXPECT_EQ(variable->kind, kVariableBuiltIn);
        EXPECT_FALSE(variable->SetValue(WString(L"x")));
        EXPECT_FALSE(variable->SetDescription(WString(L"x")));
    }
    // Two fixed, then PROJECT, DRAWER, NOTE, the 59-character name and RAW.
    EXPECT_EQ(VarListCount(list.get()), kBuiltInCount + 2 + 5);
    EXPECT_FALSE(VarListGetAt(list.get(), VarListCount(list.get())));

    Ref<Variable> project = VarListFind(list.get(), WString(L"project"));
    ASSERT_TRUE(project);
    EXPECT_EQ(project->kind, kVariableFixed);
    EXPECT_EQ(Value(project.get()), L"Bridge 7");
    EXPECT_EQ(Description(project.get()), L"Project name");
    EXPECT_FALSE(project->SetValue(WString(L"changed")));
    EXPECT_EQ(VarListFind(list.get(), WString(L"DATE"))->kind, kVariableBuiltIn);

    Ref<Variable> drawer = VarListFind(list.get(), WString(L"DRAWER"));
    ASSERT_TRUE(drawer);
    EXPECT_EQ(drawer->kind, kVariableUser);
    EXPECT_EQ(Description(drawer.get()), L"Drawn by");
    EXPECT_EQ(Value(VarListFind(list.get(), WString(L"NOTE")).get()).size(), 200u);
    EXPECT_EQ(Value(VarListFind(list.get(), WString(L"RAW")).get()), L"abc");
    EXPECT_TRUE(VarListFind(list.get(), WideRepeat(L'L', 59)));
    for (const wchar_t* skipped : {L"NUMBER", L"~ORPHAN", L"ORPHAN", L"HUGE", L""}) {
        EXPECT_FALSE(VarListFind(list.get(), WString(skipped)))
            << testing::PrintToString(std::wstring(skipped));
    }
    EXPECT_FALSE(VarListFind(list.get(), WideRepeat(L'M', 60)));

    // The first of a name wins: built-in before fixed before user.
    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    {
        ScopedLock hold(context->lock);
        context->variables = list;
    }
    VarText text;
    VarTextSet(text, WString(L"<PROJECT> by <DRAWER>, <DATE>"));
    WString out;
    VarTextExpand(text, context.get(), nullptr, out);
    EXPECT_EQ(std::wstring(WStrCStr(out)).rfind(L"Bridge 7 by Anna, ", 0), 0u) << WStrCStr(out);
    EXPECT_EQ(std::wstring(WStrCStr(out)).find(L"never"), std::wstring::npos);
}

TEST_F(VariableListRegistry, UserVariablesAreWrittenAtOnce) {
    Ref<VariableList> list = VariableListConstruct();
    Ref<Variable> sheet = VarListCreateUser(list.get(), WString(L"SHEET"), WString(), WString());
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->kind, kVariableUser);
    RegListing stored = UserValues();
    EXPECT_EQ(stored["SHEET"], (RegListedValue{"REG_SZ", ""}));
    EXPECT_EQ(stored.count("~SHEET"), 0u) << "an empty description is not written";

    ASSERT_TRUE(VarListCreateUser(list.get(), WString(L"ROOM"), WString(L"Room number"), WString(L"4.12")));
    EXPECT_TRUE(sheet->SetValue(WString(L"A-12")));
    EXPECT_TRUE(sheet->SetDescription(WString(L"Sheet number")));
    const std::string long_value = Repeat('v', 200);
    Ref<Variable> room = VarListFind(list.get(), WString(L"room"));
    EXPECT_TRUE(room->SetValue(WString(std::wstring(long_value.begin(), long_value.end()).c_str())));
    stored = UserValues();
    EXPECT_EQ(stored["SHEET"], (RegListedValue{"REG_SZ", "A-12"}));
    EXPECT_EQ(stored["~SHEET"], (RegListedValue{"REG_SZ", "Sheet number"}));
    EXPECT_EQ(stored["ROOM"], (RegListedValue{"REG_SZ", long_value}));
    EXPECT_EQ(stored["~ROOM"], (RegListedValue{"REG_SZ", "Room number"}));

    // A list loaded afterwards (the next start) has them, the long value whole.
    Ref<VariableList> reloaded = VariableListConstruct();
    ASSERT_TRUE(VarListFind(reloaded.get(), WString(L"ROOM")));
    EXPECT_EQ(Value(VarListFind(reloaded.get(), WString(L"ROOM")).get()).size(), 200u);
    EXPECT_EQ(Value(VarListFind(reloaded.get(), WString(L"SHEET")).get()), L"A-12");

    // Taken and unusable names create nothing.
    const uint32_t count = VarListCount(list.get());
    for (const wchar_t* refused : {L"SHEET", L"sheet", L"DATE", L"", L"A B", L"~X", L"A<B", L"TAB\tS"}) {
        EXPECT_FALSE(VarListCreateUser(list.get(), WString(refused), WString(), WString()))
            << testing::PrintToString(std::wstring(refused));
    }
    EXPECT_EQ(VarListCount(list.get()), count);

    EXPECT_TRUE(VarListDeleteUser(list.get(), WString(L"sheet")));
    EXPECT_FALSE(VarListFind(list.get(), WString(L"SHEET")));
    EXPECT_FALSE(VarListDeleteUser(list.get(), WString(L"SHEET")));
    EXPECT_FALSE(VarListDeleteUser(list.get(), WString(L"DATE")));
    stored = UserValues();
    EXPECT_EQ(stored.count("SHEET"), 0u);
    EXPECT_EQ(stored.count("~SHEET"), 0u);
    EXPECT_EQ(stored.count("ROOM"), 1u);
}

TEST_F(VariableListRegistry, DeletingFindsTheUserVariableBehindAFixedOne) {
    SeedRegistry(MachineKey(), {{"PROJECT", "Bridge 7"}});
    SeedRegistry(UserKey(), {{"PROJECT", "mine"}, {"~PROJECT", "my project"}});
    Ref<VariableList> list = VariableListConstruct();
    ASSERT_GE(VarListFindUser(list.get(), WString(L"PROJECT")), 0);
    EXPECT_TRUE(VarListDeleteUser(list.get(), WString(L"PROJECT")));
    EXPECT_LT(VarListFindUser(list.get(), WString(L"PROJECT")), 0);
    Ref<Variable> project = VarListFind(list.get(), WString(L"PROJECT"));
    ASSERT_TRUE(project);
    EXPECT_EQ(project->kind, kVariableFixed);
    EXPECT_TRUE(UserValues().empty());
    EXPECT_EQ(QueryRegistry(MachineKey(), "variable_list_machine")["PROJECT"],
              (RegListedValue{"REG_SZ", "Bridge 7"}));
}

TEST_F(VariableListRegistry, TextsThatCannotBeStoredAreRefused) {
    // The registry takes no text of 2048 characters or more: such a value
    // would be gone at the next start, so nothing changes and the caller
    // hears so.
    Ref<VariableList> list = VariableListConstruct();
    Ref<Variable> sheet = VarListCreateUser(list.get(), WString(L"SHEET"), WString(L"d"), WString(L"1"));
    ASSERT_TRUE(sheet);
    const WString too_long = WideRepeat(L'x', 2048);
    EXPECT_FALSE(sheet->SetValue(too_long));
    EXPECT_FALSE(sheet->SetDescription(too_long));
    EXPECT_EQ(Value(sheet.get()), L"1");
    EXPECT_EQ(Description(sheet.get()), L"d");

    const uint32_t count = VarListCount(list.get());
    EXPECT_FALSE(VarListCreateUser(list.get(), WString(L"BIG"), WString(), too_long));
    EXPECT_FALSE(VarListCreateUser(list.get(), WString(L"BIGDESC"), too_long, WString(L"v")));
    EXPECT_EQ(VarListCount(list.get()), count);
    const RegListing stored = UserValues();
    EXPECT_EQ(stored.count("BIG"), 0u);
    EXPECT_EQ(stored.count("BIGDESC"), 0u) << "a half-written variable is taken back";
    EXPECT_EQ(stored.at("SHEET"), (RegListedValue{"REG_SZ", "1"}));
}
