#include "viewer/dialogs/zoom_dialog.h"

#include <cwchar>

#include "foundation/string_builder.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/number_format.h"
#include "viewer/core/settings.h"
#include "viewer/core/view_operations.h"
#include "viewer/core/viewer_context.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {
constexpr double kPercent = 100.0;

// The magnification the main view shows now (1 is true size), -1 without a
// view or a page.
double MainViewCurrentZoom(ViewerContext* context) {
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    return view ? MainViewGetScale(view.get()) : -1.0;
}

void SetItemText(ViewerContext* context, HWND dialog, int item, uint32_t text_id) {
    if (const wchar_t* text = ViewerGetText(context, text_id)) SetDlgItemTextW(dialog, item, text);
}

void InitDialog(HWND dialog, ZoomDialogRecord* record) {
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(record));
    ViewerContext* context = record->context;
    if (const wchar_t* caption = ViewerGetText(context, text::kZoomFactorTitle))
        SetWindowTextW(dialog, caption);
    SetItemText(context, dialog, IDC_ZOOM_FACTOR_LABEL, text::kZoomFactorLabel);
    SetItemText(context, dialog, IDC_ZOOM_FACTOR_FIXED, text::kZoomFactorFixed);
    SetItemText(context, dialog, IDOK, text::kOk);
    SetItemText(context, dialog, IDCANCEL, text::kCancel);

    WStrBuilder percent(32);
    if (FormatDecimalAuto(record->zoom_factor * kPercent, percent)) {
        SetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, WStrBuilderCStr(percent));
    }
    SendDlgItemMessageW(dialog, IDC_ZOOM_FACTOR, EM_LIMITTEXT, kZoomEditLimit, 0);
    CheckDlgButton(dialog, IDC_ZOOM_FACTOR_FIXED, record->fixed ? BST_CHECKED : BST_UNCHECKED);
    const HWND edit = GetDlgItem(dialog, IDC_ZOOM_FACTOR);
    SetFocus(edit);
    SendMessageW(edit, EM_SETSEL, 0, -1);
}

// Takes the typed value, or beeps and keeps the dialog open.
void Confirm(HWND dialog) {
    auto* record = reinterpret_cast<ZoomDialogRecord*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    wchar_t text[kZoomReadLimit + 1] = {};
    GetDlgItemTextW(dialog, IDC_ZOOM_FACTOR, text, kZoomReadLimit + 1);
    double factor = 0.0;
    if (!record || !ZoomDialogParsePercent(WString(text), factor)) {
        MessageBeep(MB_ICONHAND);
        return;
    }
    record->zoom_factor = factor;
    record->fixed = IsDlgButtonChecked(dialog, IDC_ZOOM_FACTOR_FIXED) == BST_CHECKED;
    EndDialog(dialog, 1);
}

}  // namespace

bool ZoomDialogParsePercent(const WString& text, double& factor) {
    WString number = text;
    WStrReplaceChar(number, L',', L'.');
    const wchar_t* start = WStrCStr(number);
    if (!start || !*start) return false;
    wchar_t* end = nullptr;
    const double percent = wcstod(start, &end);
    if (end == start) return false;
    // Written so that NaN fails too.
    if (!(percent >= kZoomPercentMin && percent <= kZoomPercentMax)) return false;
    factor = percent / kPercent;
    return true;
}

INT_PTR CALLBACK ZoomDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            InitDialog(dialog, reinterpret_cast<ZoomDialogRecord*>(lparam));
            return FALSE;  // the focus is set
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK) {
                Confirm(dialog);
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

bool ViewerShowZoomDialog(ViewerContext* context, uint32_t kind) {
    if (!context || !ViewerIsAllowed(context, kind, restriction::kZoom)) return false;
    const HWND frame = ViewerGetFrameHwnd(context);
    Ref<Settings> settings = ViewerGetSettings(context);
    const double view_zoom = MainViewCurrentZoom(context);
    if (!frame || !settings || !(view_zoom > 0.0)) return false;

    ZoomDialogRecord record;
    record.context = context;
    const double fixed = SettingsGetZoomFactor(settings.get());
    record.zoom_factor = fixed > 0.0 ? fixed : view_zoom;
    record.fixed = fixed > 0.0 ? 1 : 0;
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_ZOOM_FACTOR),
                                           frame, ZoomDialogProc, reinterpret_cast<LPARAM>(&record));
    if (result != 1) return false;
    ViewerSetZoomFactor(context, -1, 0, record.zoom_factor, record.fixed != 0);
    return true;
}
