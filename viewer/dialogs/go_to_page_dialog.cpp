#include "viewer/dialogs/go_to_page_dialog.h"

#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"

namespace {
constexpr uint32_t kReadLimit = 10;  // characters of the edit that are read

constexpr DlgItemText kItemTexts[] = {
    {IDOK, text::kOk},
    {IDCANCEL, text::kCancel},
    {IDC_GO_TO_PAGE_LABEL, text::kGoToPageLabel},
    {IDC_GO_TO_PAGE_OF, text::kGoToPageOf},
};

GoToPageState* StateOf(HWND dialog) { return static_cast<GoToPageState*>(DlgGetUserData(dialog)); }

void InitDialog(HWND dialog, GoToPageState* state) {
    DlgSetUserData(dialog, state);
    if (const wchar_t* title = ViewerGetText(state->context, text::kGoToPageTitle))
        SetWindowTextW(dialog, title);
    DlgSetItemTexts(state->context, dialog, kItemTexts);
    HWND edit = GetDlgItem(dialog, IDC_GO_TO_PAGE_NUMBER);
    SendMessageW(edit, EM_LIMITTEXT, kGoToPageEditLimit, 0);
    SetDlgItemInt(dialog, IDC_GO_TO_PAGE_NUMBER, UINT(state->index < 0 ? 1 : state->index + 1), FALSE);
    SetDlgItemInt(dialog, IDC_GO_TO_PAGE_COUNT, UINT(state->page_count < 0 ? 0 : state->page_count), FALSE);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

void Confirm(HWND dialog, GoToPageState* state) {
    wchar_t text[kReadLimit + 1] = {};
    GetDlgItemTextW(dialog, IDC_GO_TO_PAGE_NUMBER, text, kReadLimit + 1);
    int32_t index = -1;
    if (!GoToPageParse(WString(text), state->page_count, index)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    state->index = index;
    EndDialog(dialog, 1);
}

INT_PTR CALLBACK GoToPageProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog, reinterpret_cast<GoToPageState*>(lparam));
            return FALSE;  // the focus was set on the edit
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                if (GoToPageState* state = StateOf(dialog)) Confirm(dialog, state);
                return TRUE;
            }
            if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, 0);
                return TRUE;
            }
            return FALSE;
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool GoToPageParse(const WString& text, int32_t page_count, int32_t& index) {
    WString trimmed = text;
    WStrTrim(trimmed);
    // A number of more digits than any page count has would wrap in 32
    // bits and could land on an existing page.
    const int64_t number = WStrLength(trimmed) > 0 ? WStrToInt64(trimmed) : 0;
    if (number >= 1 && number - 1 >= page_count) return false;
    index = number >= 1 ? int32_t(number - 1) : -1;
    return true;
}

bool GoToPageDialog(HWND owner, GoToPageState& state) {
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(state.context), MAKEINTRESOURCEW(IDD_GO_TO_PAGE),
                                           owner, GoToPageProc, reinterpret_cast<LPARAM>(&state));
    return result == 1;
}
