// The Edit-variables dialog from its template, driven by messages while it
// runs; what it leaves in the registry is read back with `wine reg query`.
#include "viewer/dialogs/variables_dialog.h"

#include <gtest/gtest.h>

#include <string>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "tests/viewer/core/settings_test_support.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/variable_list.h"

namespace {

std::wstring ItemText(HWND dialog, int item_id) {
    wchar_t text[512] = {};
    GetDlgItemTextW(dialog, item_id, text, 512);
    return text;
}

std::wstring ListLine(HWND dialog, LRESULT line) {
    wchar_t text[512] = {};
    SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, LB_GETTEXT, WPARAM(line), reinterpret_cast<LPARAM>(text));
    return text;
}

LRESULT ListSend(HWND dialog, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, message, wparam, lparam);
}

bool Enabled(HWND dialog, int item_id) { return IsWindowEnabled(GetDlgItem(dialog, item_id)) != FALSE; }

void Click(HWND dialog, int item_id) { SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(item_id, BN_CLICKED), 0); }

void Select(HWND dialog, LRESULT line) {
    ListSend(dialog, LB_SETCURSEL, WPARAM(line));
    SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_VARIABLES_LIST, LBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_VARIABLES_LIST)));
}

void UseEnglish(ActionViewer& viewer) {
    viewer.root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    ScopedLock hold(viewer.context->lock);
    viewer.context->language = 1;
}

}  // namespace

TEST(VariablesDialog, CreatesUpdatesAndDeletesUserVariables) {
    SettingsKeyRedirect redirect("PlovexVariablesDialogTest");
    ASSERT_TRUE(redirect.ok());
    const std::string machine_key = redirect.MachineSettingsKey() + "\\Variables";
    const std::string user_key = redirect.UserSettingsKey() + "\\Variables";
    SeedRegistry(machine_key, {{"PROJECT", "Bridge 7"}});
    SeedRegistry(user_key, {{"A1", "one"}, {"~A1", "first"}, {"DATE", "a user DATE"}});
    ActionViewer viewer;
    UseEnglish(viewer);

    std::wstring title, first_line, value, description;
    bool buttons_enabled = false, create_enabled_at_start = true;
    std::map<std::wstring, bool> create_enabled;
    LRESULT lines_at_start = 0, lines_after_create = 0, lines_after_delete = 0;
    std::wstring selected_after_create, name_after_create, selected_after_delete;
    bool create_disabled_after_create = false;
    RegListing after_update;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        wchar_t text[128] = {};
        GetWindowTextW(dialog, text, 128);
        title = text;
        lines_at_start = ListSend(dialog, LB_GETCOUNT);
        first_line = ListLine(dialog, 0);
        value = ItemText(dialog, IDC_VARIABLES_VALUE);
        description = ItemText(dialog, IDC_VARIABLES_DESCRIPTION);
        buttons_enabled = Enabled(dialog, IDOK) && Enabled(dialog, IDC_VARIABLES_DELETE) &&
                          Enabled(dialog, IDC_VARIABLES_VALUE) && Enabled(dialog, IDC_VARIABLES_DESCRIPTION);
        create_enabled_at_start = Enabled(dialog, IDC_VARIABLES_CREATE);
        for (const wchar_t* typed : {L"A B", L"~X", L" PROJECT ", L"date", L"a1", L"", L"  SHEET  "}) {
            SetDlgItemTextW(dialog, IDC_VARIABLES_NEW_NAME, typed);
            create_enabled[typed] = Enabled(dialog, IDC_VARIABLES_CREATE);
        }

        Click(dialog, IDC_VARIABLES_CREATE);
        lines_after_create = ListSend(dialog, LB_GETCOUNT);
        selected_after_create = ListLine(dialog, ListSend(dialog, LB_GETCURSEL));
        name_after_create = ItemText(dialog, IDC_VARIABLES_NEW_NAME);
        create_disabled_after_create = !Enabled(dialog, IDC_VARIABLES_CREATE);

        SetDlgItemTextW(dialog, IDC_VARIABLES_VALUE, L"A-12");
        SetDlgItemTextW(dialog, IDC_VARIABLES_DESCRIPTION, L"Sheet number");
        Click(dialog, IDOK);
        after_update = QueryRegistry(user_key, "variables_dialog_query");

        for (LRESULT line = 0; line < ListSend(dialog, LB_GETCOUNT); ++line) {
            if (ListLine(dialog, line).rfind(L"A1\t", 0) == 0) Select(dialog, line);
        }
        Click(dialog, IDC_VARIABLES_DELETE);
        lines_after_delete = ListSend(dialog, LB_GETCOUNT);
        selected_after_delete = ListLine(dialog, ListSend(dialog, LB_GETCURSEL));
        PostMessageW(dialog, WM_COMMAND, IDCANCEL, 0);
        return true;
    });
    EXPECT_TRUE(ShowVariablesDialog(nullptr, viewer.context.get()));
    EXPECT_EQ(driver.dialogs, 1);

    EXPECT_EQ(title, L"Edit user variables");
    // Only user variables are listed, also one that a built-in shadows.
    EXPECT_EQ(lines_at_start, 2);
    EXPECT_EQ(first_line, L"A1\tone\tfirst");
    EXPECT_EQ(value, L"one");
    EXPECT_EQ(description, L"first");
    EXPECT_TRUE(buttons_enabled);
    EXPECT_FALSE(create_enabled_at_start);
    EXPECT_EQ(create_enabled, (std::map<std::wstring, bool>{{L"A B", false},
                                                            {L"~X", false},
                                                            {L" PROJECT ", false},
                                                            {L"date", false},
                                                            {L"a1", false},
                                                            {L"", false},
                                                            {L"  SHEET  ", true}}));
    EXPECT_EQ(lines_after_create, 3);
    EXPECT_EQ(selected_after_create, L"SHEET\t\t");
    EXPECT_EQ(name_after_create, L"");
    EXPECT_TRUE(create_disabled_after_create);
    EXPECT_EQ(after_update["SHEET"], (RegListedValue{"REG_SZ", "A-12"}));
    EXPECT_EQ(after_update["~SHEET"], (RegListedValue{"REG_SZ", "Sheet number"}));
    EXPECT_EQ(lines_after_delete, 2);
    EXPECT_EQ(selected_after_delete, L"DATE\ta user DATE\t");

    const RegListing stored = QueryRegistry(user_key, "variables_dialog_query");
    EXPECT_EQ(stored.count("A1"), 0u);
    EXPECT_EQ(stored.count("~A1"), 0u);
    EXPECT_EQ(stored.count("SHEET"), 1u);
    Ref<VariableList> list = ViewerGetVariableList(viewer.context.get());
    EXPECT_FALSE(VarListFind(list.get(), WString(L"A1")));
}

TEST(VariablesDialog, WithoutUserVariablesNothingCanBeChanged) {
    SettingsKeyRedirect redirect("PlovexVariablesDialogEmptyTest");
    ASSERT_TRUE(redirect.ok());
    ActionViewer viewer;
    bool any_enabled = true;
    LRESULT lines = -1;
    DialogDriver driver([&](DialogDriver&, HWND dialog) {
        lines = ListSend(dialog, LB_GETCOUNT);
        any_enabled = Enabled(dialog, IDOK) || Enabled(dialog, IDC_VARIABLES_DELETE) ||
                      Enabled(dialog, IDC_VARIABLES_VALUE) || Enabled(dialog, IDC_VARIABLES_CREATE);
        Click(dialog, IDOK);
        Click(dialog, IDC_VARIABLES_DELETE);
        PostMessageW(dialog, WM_CLOSE, 0, 0);
        return true;
    });
    EXPECT_FALSE(ShowVariablesDialog(nullptr, viewer.context.get()));
    EXPECT_EQ(lines, 0);
    EXPECT_FALSE(any_enabled);
}
