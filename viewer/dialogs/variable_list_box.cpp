#include "viewer/dialogs/variable_list_box.h"

#include <vector>

#include "foundation/strings.h"
#include "resources/text_ids.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"

namespace {

LRESULT SendItem(HWND dialog, int item_id, UINT message, WPARAM wparam = 0, LPARAM lparam = 0) {
    return SendDlgItemMessageW(dialog, item_id, message, wparam, lparam);
}

// The selected line's text, false when no line is selected.
bool SelectedLine(HWND dialog, int list_box_id, WString& out) {
    const LRESULT selected = SendItem(dialog, list_box_id, LB_GETCURSEL);
    if (selected == LB_ERR) return false;
    const LRESULT length = SendItem(dialog, list_box_id, LB_GETTEXTLEN, WPARAM(selected));
    if (length == LB_ERR) return false;
    std::vector<wchar_t> text(size_t(length) + 1, L'\0');
    SendItem(dialog, list_box_id, LB_GETTEXT, WPARAM(selected), reinterpret_cast<LPARAM>(text.data()));
    out = text.data();
    return true;
}

}  // namespace

bool VarListFillListBox(ViewerContext* context, HWND dialog, int list_box_id) {
    SendItem(dialog, list_box_id, LB_RESETCONTENT);
    Ref<VariableList> list = ViewerGetVariableList(context);
    bool added = false;
    const uint32_t count = VarListCount(list.get());
    for (uint32_t position = 0; position < count; ++position) {
        Ref<Variable> variable = VarListGetAt(list.get(), position);
        if (!variable) break;
        const LRESULT line = SendItem(dialog, list_box_id, LB_ADDSTRING, 0,
                                      reinterpret_cast<LPARAM>(WStrCStr(variable->name)));
        if (line < 0) continue;
        SendItem(dialog, list_box_id, LB_SETITEMDATA, WPARAM(line), LPARAM(position));
        added = true;
    }
    return added;
}

void VarListShowDescription(ViewerContext* context, HWND dialog, int list_box_id, int text_id,
                            int button_id) {
    const LRESULT selected = SendItem(dialog, list_box_id, LB_GETCURSEL);
    Ref<Variable> variable;
    if (selected != LB_ERR) {
        const LRESULT position = SendItem(dialog, list_box_id, LB_GETITEMDATA, WPARAM(selected));
        Ref<VariableList> list = ViewerGetVariableList(context);
        if (position != LB_ERR) variable = VarListGetAt(list.get(), uint32_t(position));
    }
    EnableWindow(GetDlgItem(dialog, button_id), selected != LB_ERR);
    if (!variable) {
        SetDlgItemTextW(dialog, text_id, L"");
        return;
    }
    WString description;
    variable->GetDescription(description, context);
    if (WStrLength(description) == 0) description = ViewerGetText(context, text::kVariableNoDescription);
    SetDlgItemTextW(dialog, text_id, WStrCStr(description));
}

bool VarListInsertSelected(HWND dialog, int list_box_id, int edit_id) {
    HWND edit = GetDlgItem(dialog, edit_id);
    WString name;
    if (!edit || !SelectedLine(dialog, list_box_id, name)) return false;
    DWORD start = 0, end = 0;
    SendMessageW(edit, EM_GETSEL, reinterpret_cast<WPARAM>(&start), reinterpret_cast<LPARAM>(&end));
    const DWORD length = DWORD(GetWindowTextLengthW(edit));
    // An edit selects all its text when it gets the focus; typing the
    // placeholder over it would lose the text.
    if (length > 0 && start == 0 && end >= length) SendMessageW(edit, EM_SETSEL, length, length);
    WString placeholder(L"<");
    WStrAppend(placeholder, name);
    WStrAppendChar(placeholder, L'>');
    SendMessageW(edit, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(WStrCStr(placeholder)));
    return true;
}

void VarListRefillListBox(ViewerContext* context, HWND dialog, int list_box_id, int text_id, int button_id) {
    VarListFillListBox(context, dialog, list_box_id);
    SendItem(dialog, list_box_id, LB_SETCURSEL, 0);
    VarListShowDescription(context, dialog, list_box_id, text_id, button_id);
}

void VarListOnCommand(ViewerContext* context, HWND dialog, int item, int code, const VarListItems& items,
                      bool may_insert) {
    if (item == items.list_box && code == LBN_SELCHANGE) {
        VarListShowDescription(context, dialog, items.list_box, items.description, items.paste_button);
        if (!may_insert) EnableWindow(GetDlgItem(dialog, items.paste_button), FALSE);
    } else if ((item == items.list_box && code == LBN_DBLCLK) ||
               (item == items.paste_button && code == BN_CLICKED)) {
        if (may_insert) VarListInsertSelected(dialog, items.list_box, items.edit);
    }
}
