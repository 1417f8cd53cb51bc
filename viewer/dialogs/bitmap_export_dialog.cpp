#include "viewer/dialogs/bitmap_export_dialog.h"

#include <commdlg.h>

#include <string>

#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/wait_cursor.h"
#include "viewer/documents/doc_item.h"
#include "viewer/export/bitmap_export.h"
#include "viewer/export/bitmap_export_request.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

constexpr uint32_t kMaxWidthDigits = 7;
constexpr uint32_t kMaxFileName = 1024;

struct BitmapDialogState {
    BitmapExportRequest request;
};

// The main view's mapping (null when there is no view, or no page in it).
Ref<ViewMapping> ShownMapping(ViewerContext* context) {
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    Ref<MainViewWindow> view = frame ? FrameGetMainView(frame.get()) : nullptr;
    return view ? MainViewGetMapping(view.get()) : nullptr;
}

bool EntirePage(HWND dialog) { return IsDlgButtonChecked(dialog, IDC_BITMAP_EXPORT_ENTIRE) == BST_CHECKED; }

uint32_t ItemNumber(HWND dialog, int control) {
    BOOL ok = FALSE;
    const UINT value = GetDlgItemInt(dialog, control, &ok, FALSE);
    return ok ? value : 0;
}

uint16_t Depth(HWND dialog) {
    if (IsDlgButtonChecked(dialog, IDC_BITMAP_EXPORT_DEPTH1) == BST_CHECKED) return 1;
    if (IsDlgButtonChecked(dialog, IDC_BITMAP_EXPORT_DEPTH8) == BST_CHECKED) return 8;
    return 24;
}

// The height follows the width; the size line and the output buttons
// follow both.
void Update(HWND dialog, BitmapDialogState* state) {
    const uint32_t width = ItemNumber(dialog, IDC_BITMAP_EXPORT_WIDTH);
    const uint32_t height = BitmapExportHeightFor(state->request, EntirePage(dialog), width);
    SetDlgItemInt(dialog, IDC_BITMAP_EXPORT_HEIGHT, height, FALSE);
    WString line;
    BitmapExportSizeText(state->request.context.get(), width, height, Depth(dialog), line);
    SetDlgItemTextW(dialog, IDC_BITMAP_EXPORT_SIZE_LINE, WStrCStr(line));
    const bool sized = width > 0 && height > 0;
    EnableWindow(GetDlgItem(dialog, IDC_BITMAP_EXPORT_CLIPBOARD), sized);
    EnableWindow(GetDlgItem(dialog, IDC_BITMAP_EXPORT_FILE), sized);
}

void SetTexts(HWND dialog, ViewerContext* context) {
    static constexpr struct {
        int control;
        uint32_t text;
    } kTexts[] = {
        {IDCANCEL, text::kClose},
        {IDC_BITMAP_EXPORT_ENTIRE, text::kScreenCopyEntirePage},
        {IDC_BITMAP_EXPORT_CUTOUT, text::kScreenCopyCurrentCutOut},
        {IDC_BITMAP_EXPORT_SIZE_GROUP, text::kScreenCopySize},
        {IDC_BITMAP_EXPORT_PIXEL, text::kScreenCopyPixel},
        {IDC_BITMAP_EXPORT_SCREEN, text::kScreenCopyScreenResolution},
        {IDC_BITMAP_EXPORT_ORIGINAL, text::kScreenCopyOriginalResolution},
        {IDC_BITMAP_EXPORT_DEPTH_GROUP, text::kScreenCopyColourDepth},
        {IDC_BITMAP_EXPORT_DEPTH1, text::kScreenCopyDepth1},
        {IDC_BITMAP_EXPORT_DEPTH8, text::kScreenCopyDepth8},
        {IDC_BITMAP_EXPORT_DEPTH24, text::kScreenCopyDepth24},
        {IDC_BITMAP_EXPORT_MORE_GROUP, text::kScreenCopyMoreSettings},
        {IDC_BITMAP_EXPORT_MARKUPS, text::kScreenCopyIncludeMarkups},
        {IDC_BITMAP_EXPORT_CLIPBOARD, text::kScreenCopyClipboard},
        {IDC_BITMAP_EXPORT_FILE, text::kScreenCopyBmpFile},
    };
    SetWindowTextW(dialog, ViewerTextOrEmpty(context, text::kScreenCopyTitle));
    for (const auto& entry : kTexts)
        SetDlgItemTextW(dialog, entry.control, ViewerTextOrEmpty(context, entry.text));
}

void InitDialog(HWND dialog, BitmapDialogState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    const BitmapExportRequest& request = state->request;
    SetTexts(dialog, request.context.get());
    CheckRadioButton(dialog, IDC_BITMAP_EXPORT_ENTIRE, IDC_BITMAP_EXPORT_CUTOUT, IDC_BITMAP_EXPORT_CUTOUT);
    const uint16_t depth = BitmapExportInitialDepth(request);
    CheckRadioButton(dialog, IDC_BITMAP_EXPORT_DEPTH1, IDC_BITMAP_EXPORT_DEPTH24,
                     depth == 1   ? IDC_BITMAP_EXPORT_DEPTH1
                     : depth == 8 ? IDC_BITMAP_EXPORT_DEPTH8
                                  : IDC_BITMAP_EXPORT_DEPTH24);
    Ref<MarkupPage> markups = request.item->GetRedlinePage(request.context.get(), true);
    EnableWindow(GetDlgItem(dialog, IDC_BITMAP_EXPORT_MARKUPS), markups != nullptr);
    SendDlgItemMessageW(dialog, IDC_BITMAP_EXPORT_WIDTH, EM_LIMITTEXT, kMaxWidthDigits, 0);
    SetDlgItemInt(dialog, IDC_BITMAP_EXPORT_WIDTH, request.view_pixel_width, FALSE);
    Update(dialog, state);
}

// A BMP name from the save dialog, ".bmp" added when it has no extension;
// false when the user cancelled.
bool ChooseFile(HWND dialog, ViewerContext* context, WString& out) {
    std::wstring filters;
    filters.append(ViewerTextOrEmpty(context, text::kFile)).push_back(L'\0');
    filters.append(L"*.BMP").push_back(L'\0');
    filters.push_back(L'\0');
    wchar_t file[kMaxFileName] = L"plovex.bmp";
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = filters.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = file;
    request.nMaxFile = kMaxFileName;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE;
    if (!GetSaveFileNameW(&request)) return false;
    out = WString(file);
    WString extension;
    if (WStrLength(WStrGetExtension(out, extension)) == 0) WStrAppendChars(out, L".bmp");
    return true;
}

void Export(HWND dialog, BitmapDialogState* state, bool to_file) {
    ViewerContext* context = state->request.context.get();
    WString file;
    if (to_file && (!ChooseFile(dialog, context, file) || !CheckSaveTargetNotOpen(context, dialog, file)))
        return;
    const uint32_t width = ItemNumber(dialog, IDC_BITMAP_EXPORT_WIDTH);
    const SizeI size{int32_t(width),
                     int32_t(BitmapExportHeightFor(state->request, EntirePage(dialog), width))};
    const uint32_t flags =
        IsDlgButtonChecked(dialog, IDC_BITMAP_EXPORT_MARKUPS) == BST_CHECKED ? kBitmapExportMarkups : 0;
    bool exported;
    {
        ScopedWaitCursor wait;
        exported = ExportBitmap(context, state->request.item.get(), EntirePage(dialog), size, Depth(dialog),
                                flags, file, to_file ? nullptr : ViewerGetFrameHwnd(context));
    }
    if (exported) {
        EndDialog(dialog, 1);
        return;
    }
    MessageBoxW(
        dialog,
        ViewerTextOrEmpty(context, to_file ? text::kScreenCopyFileFailed : text::kScreenCopyClipboardFailed),
        ViewerTextOrEmpty(context, text::kWarning), MB_OK | MB_ICONEXCLAMATION);
}

void ProposeWidth(HWND dialog, BitmapDialogState* state, bool original) {
    const bool entire = EntirePage(dialog);
    const uint32_t width = original ? BitmapExportOriginalWidth(state->request, entire)
                                    : BitmapExportScreenWidth(state->request, entire);
    SetDlgItemInt(dialog, IDC_BITMAP_EXPORT_WIDTH, width, FALSE);
}

INT_PTR CALLBACK BitmapExportDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        InitDialog(dialog, reinterpret_cast<BitmapDialogState*>(lparam));
        return TRUE;
    }
    auto* state = reinterpret_cast<BitmapDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || !state) return FALSE;
    switch (LOWORD(wparam)) {
        case IDC_BITMAP_EXPORT_WIDTH:
            if (HIWORD(wparam) == EN_CHANGE) Update(dialog, state);
            return TRUE;
        case IDC_BITMAP_EXPORT_ENTIRE:
        case IDC_BITMAP_EXPORT_CUTOUT:
        case IDC_BITMAP_EXPORT_DEPTH1:
        case IDC_BITMAP_EXPORT_DEPTH8:
        case IDC_BITMAP_EXPORT_DEPTH24:
            Update(dialog, state);
            return TRUE;
        case IDC_BITMAP_EXPORT_SCREEN:
            ProposeWidth(dialog, state, false);
            return TRUE;
        case IDC_BITMAP_EXPORT_ORIGINAL:
            ProposeWidth(dialog, state, true);
            return TRUE;
        case IDC_BITMAP_EXPORT_CLIPBOARD:
            Export(dialog, state, false);
            return TRUE;
        case IDC_BITMAP_EXPORT_FILE:
            Export(dialog, state, true);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool ShowBitmapExport(HWND owner, ViewerContext* context, DocItem* item) {
    if (!context || !item || !(item->GetCommandMask() & item_command::kBitmapExport)) return false;
    BitmapDialogState state;
    Ref<ViewMapping> mapping = ShownMapping(context);
    if (!BitmapExportRequestInit(state.request, context, item, mapping.get())) return false;
    return DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_BITMAP_EXPORT), owner,
                           BitmapExportDialogProc, reinterpret_cast<LPARAM>(&state)) == 1;
}
