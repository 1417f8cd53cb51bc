#include "viewer/dialogs/info_box.h"

#include "foundation/handles.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

struct InfoBoxState {
    ViewerContext* context;  // borrowed for the span of the box
    GdiFont font;            // deleted when the box ends
};

void InitInfoBox(HWND dialog, InfoBoxState* state) {
    ViewerContext* context = state->context;
    SetDlgItemTextW(dialog, IDOK, ViewerGetText(context, text::kOk));
    SetDlgItemTextW(dialog, IDCANCEL, ViewerGetText(context, text::kCancel));
    Ref<Settings> settings = ViewerGetSettings(context);
    const WString title = settings ? SettingsGetCustomAppInfoTitle(settings.get()) : WString();
    const WString info = settings ? SettingsGetCustomAppInfo(settings.get()) : WString();
    SetWindowTextW(dialog, WStrCStr(title));
    HWND field = GetDlgItem(dialog, IDC_INFO_BOX_TEXT);
    RECT rect = {};
    if (field && GetWindowRect(field, &rect)) {
        state->font.Reset(CreateFontW(InfoBoxFontHeight(rect.bottom - rect.top), 0, 0, 0, FW_BOLD, FALSE,
                                      FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                      DEFAULT_QUALITY, DEFAULT_PITCH, L"ARIAL"));
        if (state->font) SendMessageW(field, WM_SETFONT, reinterpret_cast<WPARAM>(state->font.get()), FALSE);
    }
    SetDlgItemTextW(dialog, IDC_INFO_BOX_TEXT, WStrCStr(info));
}

INT_PTR CALLBACK InfoBoxProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            InitInfoBox(dialog, reinterpret_cast<InfoBoxState*>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK || LOWORD(wparam) == IDCANCEL) {
                EndDialog(dialog, LOWORD(wparam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

int InfoBoxFontHeight(int field_height) { return field_height / 8; }

INT_PTR ShowInfoBox(ViewerContext* context, HWND owner) {
    InfoBoxState state{context, GdiFont()};
    return DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_INFO_BOX), owner, InfoBoxProc,
                           reinterpret_cast<LPARAM>(&state));
}
