#include "viewer/dialogs/dialog_kit.h"

#include "viewer/core/viewer_context.h"

namespace {

// The edits' subclasses keep the procedure they replaced in the edit's user
// data and hand it every message they do not consume.
LRESULT ForwardToPrevious(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
    auto previous = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_USERDATA));
    if (!previous) return DefWindowProcW(edit, message, wparam, lparam);
    return CallWindowProcW(previous, edit, message, wparam, lparam);
}

bool IsNumericEditChar(wchar_t c) {
    return (c >= L'0' && c <= L'9') || c == L'.' || c == L',' || c == L'\r' || c == L'\n' || c == L'\t' ||
           c == L'\b' || c == 27;
}

bool EditHoldsDot(HWND edit) {
    wchar_t text[41] = {};
    GetWindowTextW(edit, text, 41);
    for (const wchar_t* c = text; *c; ++c) {
        if (*c == L'.') return true;
    }
    return false;
}

LRESULT CALLBACK NumericEditProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CHAR) {
        wchar_t c = static_cast<wchar_t>(wparam);
        if (c == L',') c = L'.';
        if (!IsNumericEditChar(c) || (c == L'.' && EditHoldsDot(edit))) {
            MessageBeep(MB_ICONEXCLAMATION);
            return 0;
        }
        wparam = c;
    }
    return ForwardToPrevious(edit, message, wparam, lparam);
}

LRESULT CALLBACK EnterEditProc(HWND edit, UINT message, WPARAM wparam, LPARAM lparam) {
    // An edit without ES_WANTRETURN ignores a typed CR but breaks the line
    // for LF.
    if (message == WM_CHAR && wparam == L'\r') wparam = L'\n';
    return ForwardToPrevious(edit, message, wparam, lparam);
}

bool Subclass(HWND dialog, int item_id, WNDPROC procedure) {
    HWND edit = GetDlgItem(dialog, item_id);
    if (!edit) return false;
    // Subclassing twice would make the edit call itself for ever.
    if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(edit, GWLP_WNDPROC)) == procedure) return true;
    const LONG_PTR previous = GetWindowLongPtrW(edit, GWLP_WNDPROC);
    if (!previous) return false;
    SetWindowLongPtrW(edit, GWLP_USERDATA, previous);
    SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(procedure));
    return true;
}

}  // namespace

void DlgInitPropPage(PROPSHEETPAGEW& page, HINSTANCE instance, int template_id, const wchar_t* title,
                     DLGPROC procedure) {
    page = PROPSHEETPAGEW{};
    page.dwSize = sizeof(PROPSHEETPAGEW);
    page.dwFlags = PSP_USETITLE;
    page.hInstance = instance;
    page.pszTemplate = MAKEINTRESOURCEW(template_id);
    page.pszTitle = title;
    page.pfnDlgProc = procedure;
}

void DlgSetUserData(HWND window, void* pointer) {
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(pointer));
}

void* DlgGetUserData(HWND window) {
    return reinterpret_cast<void*>(GetWindowLongPtrW(window, GWLP_USERDATA));
}

DlgPageState* DlgAttachPageParam(HWND page, LPARAM init_param) {
    const auto* record = reinterpret_cast<const PROPSHEETPAGEW*>(init_param);
    auto* state = record ? reinterpret_cast<DlgPageState*>(record->lParam) : nullptr;
    DlgSetUserData(page, state);
    return state;
}

DlgPageState* DlgGetPageParam(HWND page) { return static_cast<DlgPageState*>(DlgGetUserData(page)); }

ViewerContext* DlgGetPageViewer(HWND page) {
    DlgPageState* state = DlgGetPageParam(page);
    return state ? state->context : nullptr;
}

void DlgSetItemText(ViewerContext* context, HWND dialog, int item_id, uint32_t text_id) {
    const wchar_t* text = ViewerGetText(context, text_id);
    if (text) SetDlgItemTextW(dialog, item_id, text);
}

void DlgSetItemTexts(ViewerContext* context, HWND dialog, std::span<const DlgItemText> texts) {
    for (const DlgItemText& entry : texts) DlgSetItemText(context, dialog, entry.item, entry.text);
}

WString DlgGetItemString(HWND dialog, int item_id) {
    HWND item = GetDlgItem(dialog, item_id);
    if (!item) return WString();
    const int length = GetWindowTextLengthW(item);
    if (length <= 0) return WString();
    wchar_t stack_buffer[80];
    if (length < 80) {
        const int got = GetWindowTextW(item, stack_buffer, 80);
        WString text;
        WStrAssignN(text, stack_buffer, static_cast<uint32_t>(got > 0 ? got : 0));
        return text;
    }
    wchar_t* buffer = WStrBufAlloc(static_cast<uint32_t>(length));
    if (!buffer) return WString();
    const int got = GetWindowTextW(item, buffer, length + 1);
    WString text;
    WStrAttach(text, buffer);
    // The text may have shrunk since its length was asked.
    if (got >= 0 && got < length) WStrTruncate(text, static_cast<uint32_t>(got));
    return text;
}

int ComboAddText(HWND dialog, int item_id, const wchar_t* text, INT_PTR data) {
    HWND combo = GetDlgItem(dialog, item_id);
    if (!combo || !text) return -1;
    const LRESULT index = SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index < 0) return -1;
    SendMessageW(combo, CB_SETITEMDATA, static_cast<WPARAM>(index), static_cast<LPARAM>(data));
    return static_cast<int>(index);
}

int ComboAddTextId(ViewerContext* context, HWND dialog, int item_id, uint32_t text_id, INT_PTR data) {
    return ComboAddText(dialog, item_id, ViewerGetText(context, text_id), data);
}

int ComboSelectByData(HWND combo, INT_PTR data) {
    const LRESULT count = SendMessageW(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT index = 0; index < count; ++index) {
        const LRESULT item_data = SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0);
        if (static_cast<INT_PTR>(item_data) != data) continue;
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
        return static_cast<int>(index);
    }
    SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    return -1;
}

int ComboGetSelData(HWND combo, INT_PTR& data) {
    data = 0;
    const LRESULT index = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (index < 0) return -1;
    data = static_cast<INT_PTR>(SendMessageW(combo, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    return static_cast<int>(index);
}

bool DlgMakeNumericEdit(HWND dialog, int item_id) {
    if (!Subclass(dialog, item_id, NumericEditProc)) return false;
    SendDlgItemMessageW(dialog, item_id, EM_LIMITTEXT, 5, 0);
    return true;
}

bool DlgMakeEnterEdit(HWND dialog, int item_id) { return Subclass(dialog, item_id, EnterEditProc); }
