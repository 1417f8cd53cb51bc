#include "viewer/dialogs/scale_dialog.h"

#include <cwchar>

#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/scale.h"
#include "viewer/core/viewer_context.h"

namespace {
constexpr int kFieldBuffer = 64;

struct ScaleDialogState {
    ViewerContext* context;  // borrowed for the span of the dialog
    const Scale* current;    // borrowed
    Ref<Scale> chosen;
};

WString& OneDecimal(double value, WString& out) {
    wchar_t text[400];
    const int length = swprintf(text, 400, L"%.1f", value);
    WStrClear(out);
    if (length > 0) WStrAppendN(out, text, static_cast<uint32_t>(length));
    return out;
}

WString& Number(uint32_t value, WString& out) {
    WStrClear(out);
    return WStrAppendInt(out, static_cast<int32_t>(value));
}

WString FieldText(HWND dialog, int id) {
    wchar_t text[kFieldBuffer] = {};
    GetDlgItemTextW(dialog, id, text, kFieldBuffer);
    return WString(text);
}

ScaleFields ReadFields(HWND dialog) {
    ScaleFields fields;
    fields.first = FieldText(dialog, IDC_SCALE_FIRST);
    fields.second = FieldText(dialog, IDC_SCALE_SECOND);
    fields.unknown = IsDlgButtonChecked(dialog, IDC_SCALE_UNKNOWN) == BST_CHECKED;
    return fields;
}

void SetText(HWND dialog, int id, ViewerContext* context, uint32_t text_id) {
    if (const wchar_t* text = ViewerGetText(context, text_id)) SetDlgItemTextW(dialog, id, text);
}

void Validate(HWND dialog) {
    Ref<Scale> scale;
    EnableWindow(GetDlgItem(dialog, IDOK), ScaleDialogReadInput(ReadFields(dialog), scale));
}

void EnableFields(HWND dialog) {
    const bool known = IsDlgButtonChecked(dialog, IDC_SCALE_UNKNOWN) != BST_CHECKED;
    EnableWindow(GetDlgItem(dialog, IDC_SCALE_FIRST), known);
    EnableWindow(GetDlgItem(dialog, IDC_SCALE_SECOND), known);
}

// False: the focus was set here.
BOOL InitScaleDialog(HWND dialog, ScaleDialogState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    ViewerContext* context = state->context;
    if (const wchar_t* title = ViewerGetText(context, text::kScale)) SetWindowTextW(dialog, title);
    SetText(dialog, IDC_SCALE_LABEL, context, text::kScale);
    SetText(dialog, IDC_SCALE_UNKNOWN, context, text::kUnknownScale);
    SetText(dialog, IDOK, context, text::kOk);
    SetText(dialog, IDCANCEL, context, text::kCancel);
    for (const int id : {IDC_SCALE_FIRST, IDC_SCALE_SECOND}) {
        SendDlgItemMessageW(dialog, id, EM_LIMITTEXT, kScaleDialogFieldLength, 0);
    }
    ScaleFields fields;
    ScaleDialogInitialFields(state->current, fields);
    SetDlgItemTextW(dialog, IDC_SCALE_FIRST, WStrCStr(fields.first));
    SetDlgItemTextW(dialog, IDC_SCALE_SECOND, WStrCStr(fields.second));
    CheckDlgButton(dialog, IDC_SCALE_UNKNOWN, fields.unknown ? BST_CHECKED : BST_UNCHECKED);
    EnableFields(dialog);
    Validate(dialog);
    if (fields.unknown) return TRUE;
    HWND first = GetDlgItem(dialog, IDC_SCALE_FIRST);
    SetFocus(first);
    SendMessageW(first, EM_SETSEL, 0, -1);
    return FALSE;
}

INT_PTR CALLBACK ScaleDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* state = reinterpret_cast<ScaleDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    switch (message) {
        case WM_INITDIALOG:
            return InitScaleDialog(dialog, reinterpret_cast<ScaleDialogState*>(lparam));
        case WM_COMMAND: {
            const int id = LOWORD(wparam), code = HIWORD(wparam);
            if ((id == IDC_SCALE_FIRST || id == IDC_SCALE_SECOND) && code == EN_CHANGE) {
                Validate(dialog);
            } else if (id == IDC_SCALE_UNKNOWN && code == BN_CLICKED) {
                EnableFields(dialog);
                Validate(dialog);
            } else if (id == IDOK && state) {
                // Invalid input keeps the dialog open.
                if (ScaleDialogReadInput(ReadFields(dialog), state->chosen)) EndDialog(dialog, 1);
            } else if (id == IDCANCEL) {
                EndDialog(dialog, 0);
            } else {
                return FALSE;
            }
            return TRUE;
        }
        case WM_CLOSE:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

void ScaleDialogInitialFields(const Scale* scale, ScaleFields& out) {
    const double ratio = ScaleGetRatio(scale);
    out.unknown = !(ratio > 0);
    if (out.unknown) {
        out.first = L"1";
        out.second = L"1";
    } else if (!scale->decimal) {
        Number(scale->numerator, out.first);
        Number(scale->denominator, out.second);
    } else if (ratio >= 1) {
        OneDecimal(ratio, out.first);
        out.second = L"1";
    } else {
        out.first = L"1";
        OneDecimal(1 / ratio, out.second);
    }
}

bool ScaleDialogReadInput(const ScaleFields& input, Ref<Scale>& out) {
    out.Reset();
    if (input.unknown) return true;
    WString first = input.first, second = input.second;
    WStrTrim(first);
    WStrTrim(second);
    if (WStrLength(first) == 0 || WStrLength(second) == 0) return false;
    if (WStrFindAnyOf(first, L"-:+") >= 0 || WStrFindAnyOf(second, L"-:+") >= 0) return false;
    WString text = first;
    WStrAppendChar(text, L':');
    WStrAppend(text, second);
    WStrReplaceChar(text, L',', L'.');
    Ref<Scale> scale = ParseScale(text);
    const double ratio = ScaleGetRatio(scale.get());
    if (!scale || !(ratio > kScaleDialogMinRatio && ratio < kScaleDialogMaxRatio)) return false;
    out = std::move(scale);
    return true;
}

INT_PTR ShowScaleDialog(ViewerContext* context, HWND owner, const Scale* current, Ref<Scale>& chosen) {
    ScaleDialogState state{context, current, nullptr};
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_SCALE), owner,
                                           ScaleDialogProc, reinterpret_cast<LPARAM>(&state));
    if (result == 1) chosen = state.chosen;
    return result;
}
