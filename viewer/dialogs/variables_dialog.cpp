#include "viewer/dialogs/variables_dialog.h"

#include <iterator>

#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"

namespace {
constexpr int kListTabStops[] = {0, 75, 156};
constexpr WPARAM kValueLimit = 200;
constexpr WPARAM kDescriptionLimit = 80;
constexpr WPARAM kNewNameLimit = 20;

constexpr DlgItemText kItemTexts[] = {
    {IDC_VARIABLES_HEAD_NAME, text::kVariableName},
    {IDC_VARIABLES_NAME_LABEL, text::kVariableName},
    {IDC_VARIABLES_HEAD_VALUE, text::kVariableValue},
    {IDC_VARIABLES_VALUE_LABEL, text::kVariableValue},
    {IDC_VARIABLES_HEAD_DESCRIPTION, text::kVariableDescription},
    {IDC_VARIABLES_DESCRIPTION_LABEL, text::kVariableDescription},
    {IDOK, text::kVariableUpdate},
    {IDC_VARIABLES_DELETE, text::kVariableDelete},
    {IDC_VARIABLES_CREATE, text::kVariableCreate},
    {IDC_VARIABLES_NEW_GROUP, text::kVariableNew},
    {IDCANCEL, text::kClose},
};

struct VariablesDialogState {
    ViewerContext* context;  // borrowed for the span of the dialog
    Ref<VariableList> list;
    bool changed = false;
};

VariablesDialogState* StateOf(HWND dialog) {
    return static_cast<VariablesDialogState*>(DlgGetUserData(dialog));
}

LRESULT SendList(HWND dialog, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageW(dialog, IDC_VARIABLES_LIST, message, wparam, lparam);
}

// The selected line's user variable, or null.
Ref<Variable> SelectedVariable(HWND dialog, VariablesDialogState* state) {
    const LRESULT selected = SendList(dialog, LB_GETCURSEL);
    if (selected == LB_ERR) return nullptr;
    const LRESULT position = SendList(dialog, LB_GETITEMDATA, WPARAM(selected));
    if (position == LB_ERR) return nullptr;
    Ref<Variable> variable = VarListGetAt(state->list.get(), uint32_t(position));
    return variable && variable->kind == kVariableUser ? variable : nullptr;
}

// Refills the list with the user variables and selects the line of the
// variable at `select_position`, else the first line.
void FillList(HWND dialog, VariablesDialogState* state, int32_t select_position) {
    SendList(dialog, LB_RESETCONTENT);
    LRESULT select_line = 0;
    const uint32_t count = VarListCount(state->list.get());
    for (uint32_t position = 0; position < count; ++position) {
        Ref<Variable> variable = VarListGetAt(state->list.get(), position);
        if (!variable || variable->kind != kVariableUser) continue;
        WString line;
        VariableListLine(variable.get(), line);
        const LRESULT at = SendList(dialog, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WStrCStr(line)));
        if (at < 0) continue;
        SendList(dialog, LB_SETITEMDATA, WPARAM(at), LPARAM(position));
        if (int32_t(position) == select_position) select_line = at;
    }
    SendList(dialog, LB_SETCURSEL, WPARAM(select_line));
}

void EnableItem(HWND dialog, int item_id, bool enable) { EnableWindow(GetDlgItem(dialog, item_id), enable); }

void ShowSelection(HWND dialog, VariablesDialogState* state) {
    Ref<Variable> variable = SelectedVariable(dialog, state);
    WString value, description;
    if (variable) {
        variable->GetValue(value, state->context, nullptr);
        variable->GetDescription(description, state->context);
    }
    SetDlgItemTextW(dialog, IDC_VARIABLES_VALUE, WStrCStr(value));
    SetDlgItemTextW(dialog, IDC_VARIABLES_DESCRIPTION, WStrCStr(description));
    for (int item_id : {IDOK, IDC_VARIABLES_DELETE, IDC_VARIABLES_VALUE, IDC_VARIABLES_DESCRIPTION}) {
        EnableItem(dialog, item_id, variable != nullptr);
    }
}

void UpdateCreateButton(HWND dialog, VariablesDialogState* state) {
    const WString typed = DlgGetItemString(dialog, IDC_VARIABLES_NEW_NAME);
    EnableItem(dialog, IDC_VARIABLES_CREATE, VariableNameCanBeCreated(state->list.get(), typed));
}

int32_t PositionOf(VariableList* list, Variable* variable) {
    const uint32_t count = VarListCount(list);
    for (uint32_t position = 0; position < count; ++position) {
        if (VarListGetAt(list, position).get() == variable) return int32_t(position);
    }
    return -1;
}

void CreateVariable(HWND dialog, VariablesDialogState* state) {
    WString name = DlgGetItemString(dialog, IDC_VARIABLES_NEW_NAME);
    WStrTrim(name);
    if (!VariableNameCanBeCreated(state->list.get(), name)) return;
    Ref<Variable> variable = VarListCreateUser(state->list.get(), name, WString(), WString());
    if (!variable) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    state->changed = true;
    FillList(dialog, state, PositionOf(state->list.get(), variable.get()));
    ShowSelection(dialog, state);
    SetDlgItemTextW(dialog, IDC_VARIABLES_NEW_NAME, L"");
    EnableItem(dialog, IDC_VARIABLES_CREATE, false);
}

void UpdateVariable(HWND dialog, VariablesDialogState* state) {
    Ref<Variable> variable = SelectedVariable(dialog, state);
    if (!variable) return;
    const WString value = DlgGetItemString(dialog, IDC_VARIABLES_VALUE);
    const WString description = DlgGetItemString(dialog, IDC_VARIABLES_DESCRIPTION);
    WString old_value, old_description;
    variable->GetValue(old_value, state->context, nullptr);
    variable->GetDescription(old_description, state->context);
    bool changed = false, failed = false;
    if (!WStrEquals(value, old_value)) {
        const bool stored = variable->SetValue(value);
        changed |= stored;
        failed |= !stored;
    }
    if (!WStrEquals(description, old_description)) {
        const bool stored = variable->SetDescription(description);
        changed |= stored;
        failed |= !stored;
    }
    if (failed) MessageBeep(MB_ICONHAND);
    if (!changed) return;
    state->changed = true;
    FillList(dialog, state, PositionOf(state->list.get(), variable.get()));
    ShowSelection(dialog, state);
}

void DeleteVariable(HWND dialog, VariablesDialogState* state) {
    Ref<Variable> variable = SelectedVariable(dialog, state);
    if (!variable) return;
    // The list's first user variable of the name may be another one than
    // the selected line's only when the registry held the name twice.
    if (!VarListDeleteUser(state->list.get(), variable->name)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    state->changed = true;
    FillList(dialog, state, -1);
    ShowSelection(dialog, state);
    UpdateCreateButton(dialog, state);
}

void InitDialog(HWND dialog, VariablesDialogState* state) {
    DlgSetUserData(dialog, state);
    if (const wchar_t* title = ViewerGetText(state->context, text::kVariablesTitle))
        SetWindowTextW(dialog, title);
    DlgSetItemTexts(state->context, dialog, kItemTexts);
    SendList(dialog, LB_SETTABSTOPS, WPARAM(std::size(kListTabStops)),
             reinterpret_cast<LPARAM>(kListTabStops));
    SendDlgItemMessageW(dialog, IDC_VARIABLES_VALUE, EM_LIMITTEXT, kValueLimit, 0);
    SendDlgItemMessageW(dialog, IDC_VARIABLES_DESCRIPTION, EM_LIMITTEXT, kDescriptionLimit, 0);
    SendDlgItemMessageW(dialog, IDC_VARIABLES_NEW_NAME, EM_LIMITTEXT, kNewNameLimit, 0);
    FillList(dialog, state, -1);
    ShowSelection(dialog, state);
    EnableItem(dialog, IDC_VARIABLES_CREATE, false);
}

bool OnCommand(HWND dialog, WORD item_id, WORD notification) {
    VariablesDialogState* state = StateOf(dialog);
    if (!state) return false;
    switch (item_id) {
        case IDC_VARIABLES_LIST:
            if (notification == LBN_SELCHANGE) ShowSelection(dialog, state);
            return true;
        case IDC_VARIABLES_NEW_NAME:
            if (notification == EN_CHANGE) UpdateCreateButton(dialog, state);
            return true;
        case IDC_VARIABLES_CREATE:
            CreateVariable(dialog, state);
            return true;
        case IDOK:
            UpdateVariable(dialog, state);
            return true;
        case IDC_VARIABLES_DELETE:
            DeleteVariable(dialog, state);
            return true;
        case IDCANCEL:
            EndDialog(dialog, state->changed ? 1 : 0);
            return true;
        default:
            return false;
    }
}

INT_PTR CALLBACK VariablesDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog, reinterpret_cast<VariablesDialogState*>(lparam));
            return TRUE;
        case WM_COMMAND:
            return OnCommand(dialog, LOWORD(wparam), HIWORD(wparam)) ? TRUE : FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

WString& VariableListLine(Variable* variable, WString& out) {
    WString value, description;
    variable->GetValue(value, nullptr, nullptr);
    variable->GetDescription(description, nullptr);
    out = variable->name;
    WStrAppendChar(out, L'\t');
    WStrAppend(out, value);
    WStrAppendChar(out, L'\t');
    return WStrAppend(out, description);
}

bool VariableNameCanBeCreated(VariableList* list, const WString& typed) {
    WString name = typed;
    WStrTrim(name);
    return VarNameIsValid(name) && !VarListFind(list, name);
}

bool ShowVariablesDialog(HWND owner, ViewerContext* context) {
    VariablesDialogState state{context, ViewerGetVariableList(context)};
    if (!state.list) return false;
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_VARIABLES), owner,
                                           VariablesDialogProc, reinterpret_cast<LPARAM>(&state));
    return result == 1;
}
