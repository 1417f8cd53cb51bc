// The Edit-variables dialog worked by messages; what it leaves in the
// registry is read back with `wine reg query`.
#include "viewer/dialogs/variables_dialog.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "resources/resource_ids.h"
#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/dialogs/dialog_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/core/variable_list.h"

namespace {

LRESULT List(HWND dialog, UINT message, WPARAM wparam = 0) {
    return SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, message, wparam, 0);
}
std::wstring Line(HWND dialog, LRESULT line) {
    wchar_t text[512] = {};
    SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, LB_GETTEXT, WPARAM(line), reinterpret_cast<LPARAM>(text));
    return text;
}
std::wstring Selected(HWND dialog) { return Line(dialog, List(dialog, LB_GETCURSEL)); }
void Command(HWND dialog, int item, int code = BN_CLICKED) {
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(item, code), LPARAM(GetDlgItem(dialog, item)));
}

}  // namespace

TEST(VariablesDialog, CreatesUpdatesAndDeletesUserVariables) {
    SettingsKeyRedirect redirect("PlovexVariablesDialogTest");
    ASSERT_TRUE(redirect.ok());
    const std::string user_key = redirect.UserSettingsKey() + "\\Variables";
    SeedRegistry(redirect.MachineSettingsKey() + "\\Variables", {{"PROJECT", "Bridge 7"}});
    // DATE is also a built-in: the user's own is still listed and deleted.
    SeedRegistry(user_key, {{"A1", "one"}, {"~A1", "first"}, {"DATE", "a user DATE"}});
    RunningViewer viewer;
    UseEnglish(viewer.context.get());

    std::vector<std::wstring> seen;
    std::vector<bool> create_offered;  // for each name typed
    RegListing after_update;
    ModalScript script([&](HWND dialog) {
        seen = {WindowText(dialog), std::to_wstring(List(dialog, LB_GETCOUNT)), Line(dialog, 0),
                ItemText(dialog, IDC_VARIABLES_VALUE), ItemText(dialog, IDC_VARIABLES_DESCRIPTION)};
        // Names with blanks inside, the description prefix, a fixed or
        // built-in or listed name, or none, cannot be created.
        for (const wchar_t* typed : {L"A B", L"~X", L" PROJECT ", L"date", L"a1", L"", L"  SHEET  "}) {
            SetDlgItemTextW(dialog, IDC_VARIABLES_NEW_NAME, typed);
            create_offered.push_back(Enabled(dialog, IDC_VARIABLES_CREATE));
        }
        Command(dialog, IDC_VARIABLES_CREATE);
        seen.insert(seen.end(), {std::to_wstring(List(dialog, LB_GETCOUNT)), Selected(dialog),
                                 ItemText(dialog, IDC_VARIABLES_NEW_NAME)});
        SetDlgItemTextW(dialog, IDC_VARIABLES_VALUE, L"A-12");
        SetDlgItemTextW(dialog, IDC_VARIABLES_DESCRIPTION, L"Sheet number");
        Command(dialog, IDOK);
        after_update = QueryRegistry(user_key, "variables_dialog_query");
        for (LRESULT line = 0; line < List(dialog, LB_GETCOUNT); ++line) {
            if (Line(dialog, line).rfind(L"A1\t", 0) == 0) List(dialog, LB_SETCURSEL, WPARAM(line));
        }
        Command(dialog, IDC_VARIABLES_LIST, LBN_SELCHANGE);
        Command(dialog, IDC_VARIABLES_DELETE);
        seen.insert(seen.end(), {std::to_wstring(List(dialog, LB_GETCOUNT)), Selected(dialog)});
        Post(dialog, IDCANCEL);
        return true;
    });
    EXPECT_TRUE(ShowVariablesDialog(nullptr, viewer.context.get()));
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"Edit user variables", L"2", L"A1\tone\tfirst", L"one", L"first",
                                               L"3", L"SHEET\t\t", L"", L"2", L"DATE\ta user DATE\t"}));
    EXPECT_EQ(create_offered, (std::vector<bool>{false, false, false, false, false, false, true}));
    EXPECT_EQ(after_update["SHEET"], (RegListedValue{"REG_SZ", "A-12"}));
    EXPECT_EQ(after_update["~SHEET"], (RegListedValue{"REG_SZ", "Sheet number"}));
    const RegListing stored = QueryRegistry(user_key, "variables_dialog_query");
    EXPECT_EQ(stored.count("A1") + stored.count("~A1"), 0u);
    EXPECT_EQ(stored.count("SHEET"), 1u);
    EXPECT_FALSE(VarListFind(ViewerGetVariableList(viewer.context.get()).get(), WString(L"A1")));
}
