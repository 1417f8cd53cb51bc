// The variable list box that dialogs offer for inserting placeholders, on
// real controls under a plain parent window.
#include "viewer/dialogs/variable_list_box.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "foundation/handles.h"
#include "tests/viewer/core/settings_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr int kList = 100;
constexpr int kText = 101;
constexpr int kButton = 102;
constexpr int kEdit = 103;

// A parent with the four controls a variables panel has.
struct Panel {
    Panel() {
        parent =
            CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
        Child(L"LISTBOX", LBS_NOTIFY | WS_VSCROLL, kList);
        Child(L"STATIC", 0, kText);
        Child(L"BUTTON", BS_PUSHBUTTON, kButton);
        Child(L"EDIT", ES_AUTOHSCROLL, kEdit);
    }
    ~Panel() { DestroyWindow(parent); }
    void Child(const wchar_t* window_class, DWORD style, int id) {
        CreateWindowExW(0, window_class, L"", WS_CHILD | style, 0, 0, 200, 100, parent,
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr, nullptr);
    }
    std::wstring Text(int id) const {
        wchar_t text[256] = {};
        GetDlgItemTextW(parent, id, text, 256);
        return text;
    }
    LRESULT List(UINT message, WPARAM wparam = 0, LPARAM lparam = 0) const {
        return SendDlgItemMessageW(parent, kList, message, wparam, lparam);
    }
    // Selects the line of that name.
    void Select(const wchar_t* name) const {
        List(LB_SELECTSTRING, WPARAM(-1), reinterpret_cast<LPARAM>(name));
    }

    HWND parent = nullptr;
};

}  // namespace

TEST(VariableListBox, OffersEveryVariableForInsertion) {
    SettingsKeyRedirect redirect("PlovexVariableListBoxTest");
    ASSERT_TRUE(redirect.ok());
    SeedRegistry(redirect.UserSettingsKey() + "\\Variables", {{"ROOM", "4.12"}});
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    {
        ScopedLock hold(context->lock);
        context->language = 1;
    }
    Ref<VariableList> list = ViewerGetVariableList(context.get());
    Panel panel;
    ASSERT_TRUE(panel.parent);

    ASSERT_TRUE(VarListFillListBox(context.get(), panel.parent, kList));
    ASSERT_EQ(panel.List(LB_GETCOUNT), LRESULT(VarListCount(list.get())));
    for (LRESULT line = 0; line < panel.List(LB_GETCOUNT); ++line) {
        wchar_t name[64] = {};
        panel.List(LB_GETTEXT, WPARAM(line), reinterpret_cast<LPARAM>(name));
        Ref<Variable> variable = VarListGetAt(list.get(), uint32_t(panel.List(LB_GETITEMDATA, WPARAM(line))));
        ASSERT_TRUE(variable);
        EXPECT_STREQ(name, WStrCStr(variable->name));
    }

    // Nothing selected: no description, nothing to insert.
    SetDlgItemTextW(panel.parent, kText, L"stale");
    VarListShowDescription(context.get(), panel.parent, kList, kText, kButton);
    EXPECT_EQ(panel.Text(kText), L"");
    EXPECT_FALSE(IsWindowEnabled(GetDlgItem(panel.parent, kButton)));
    EXPECT_FALSE(VarListInsertSelected(panel.parent, kList, kEdit));

    panel.Select(L"DATE");
    VarListShowDescription(context.get(), panel.parent, kList, kText, kButton);
    EXPECT_EQ(panel.Text(kText), L"Current date");
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(panel.parent, kButton)));
    panel.Select(L"ROOM");
    VarListShowDescription(context.get(), panel.parent, kList, kText, kButton);
    EXPECT_EQ(panel.Text(kText), L"No description available");

    // The edit's whole text selected (as after tabbing into it): the
    // placeholder goes to the end instead of replacing the text.
    SetDlgItemTextW(panel.parent, kEdit, L"Room ");
    SendDlgItemMessageW(panel.parent, kEdit, EM_SETSEL, 0, -1);
    EXPECT_TRUE(VarListInsertSelected(panel.parent, kList, kEdit));
    EXPECT_EQ(panel.Text(kEdit), L"Room <ROOM>");
    // Otherwise it replaces the selection.
    SetDlgItemTextW(panel.parent, kEdit, L"on X.");
    SendDlgItemMessageW(panel.parent, kEdit, EM_SETSEL, 3, 4);
    panel.Select(L"DATE");
    EXPECT_TRUE(VarListInsertSelected(panel.parent, kList, kEdit));
    EXPECT_EQ(panel.Text(kEdit), L"on <DATE>.");

    // Without a list nothing is added.
    EXPECT_FALSE(VarListFillListBox(nullptr, panel.parent, kList));
    EXPECT_EQ(panel.List(LB_GETCOUNT), 0);
}
