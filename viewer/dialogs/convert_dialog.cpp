#include "viewer/dialogs/convert_dialog.h"

#include <commdlg.h>

#include <string>
#include <utility>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/progress_forwarder.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/wait_cursor.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/export/document_export.h"
#include "viewer/export/page_list.h"

namespace {

constexpr uint32_t kMaxDescription = 1000;
constexpr uint32_t kMaxTarget = 500;

const wchar_t* ExtensionOf(uint32_t file_format) { return file_format == kConvertTiff ? L".tif" : L".pdf"; }

struct FindSource {
    DocumentSource* source;
};

bool IsDocumentOf(DocItem* item, void* data) {
    if (DocItemGetType(item) != doc_type::kImage) return false;
    Ref<DocumentSource> source = item->GetSource();
    return source.get() == static_cast<FindSource*>(data)->source;
}

// The image document in the tree that shows this source, or null.
Ref<DocItem> DocumentOf(ViewerContext* context, DocumentSource* source) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return nullptr;
    FindSource find{source};
    return DocItemVisit(root.get(), IsDocumentOf, &find);
}

bool SourceIsLocal(DocumentSource* source) {
    ScopedLock hold(source->lock);
    return source->local;
}

// ---- The dialog

struct ConvertDialogState {
    ViewerContext* context;  // borrowed for the span of the dialog
    DocumentSource* source;
};

void AddEntry(HWND dialog, int list, const wchar_t* text, uint32_t value) {
    const LRESULT index = SendDlgItemMessageW(dialog, list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
    if (index >= 0) SendDlgItemMessageW(dialog, list, CB_SETITEMDATA, WPARAM(index), LPARAM(value));
}

void SelectValue(HWND dialog, int list, uint32_t value) {
    const LRESULT count = SendDlgItemMessageW(dialog, list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        if (uint32_t(SendDlgItemMessageW(dialog, list, CB_GETITEMDATA, WPARAM(i), 0)) == value) {
            SendDlgItemMessageW(dialog, list, CB_SETCURSEL, WPARAM(i), 0);
            return;
        }
    }
}

uint32_t SelectedValue(HWND dialog, int list) {
    const LRESULT index = SendDlgItemMessageW(dialog, list, CB_GETCURSEL, 0, 0);
    if (index < 0) return 0;
    return uint32_t(SendDlgItemMessageW(dialog, list, CB_GETITEMDATA, WPARAM(index), 0));
}

WString ItemText(HWND dialog, int control) {
    HWND window = GetDlgItem(dialog, control);
    const int length = window ? GetWindowTextLengthW(window) : 0;
    WString text;
    if (length <= 0) return text;
    wchar_t* buffer = WStrBufAlloc(uint32_t(length));
    if (!buffer) return text;
    const int got = GetWindowTextW(window, buffer, length + 1);
    buffer[got > 0 ? got : 0] = 0;
    WStrAssignChars(text, buffer);
    StrBufRelease(buffer);
    return text;
}

void FillCompression(HWND dialog, ViewerContext* context, uint32_t file_format) {
    SendDlgItemMessageW(dialog, IDC_CONVERT_COMPRESSION, CB_RESETCONTENT, 0, 0);
    if (file_format == kConvertPdf)
        AddEntry(dialog, IDC_CONVERT_COMPRESSION, ViewerTextOrEmpty(context, text::kConvertOptimum), 0);
    AddEntry(dialog, IDC_CONVERT_COMPRESSION, ViewerTextOrEmpty(context, text::kConvertGroup4), 1);
    SendDlgItemMessageW(dialog, IDC_CONVERT_COMPRESSION, CB_SETCURSEL, 0, 0);
    EnableWindow(GetDlgItem(dialog, IDC_CONVERT_LAYOUT), file_format == kConvertTiff);
    EnableWindow(GetDlgItem(dialog, IDC_CONVERT_LAYOUT_LABEL), file_format == kConvertTiff);
}

void UpdateOkButton(HWND dialog) {
    EnableWindow(GetDlgItem(dialog, IDOK), GetWindowTextLengthW(GetDlgItem(dialog, IDC_CONVERT_TARGET)) > 0);
}

// The file format changed: its compressions, its layout controls, and the
// target's extension.
void ApplyFileFormat(HWND dialog, ViewerContext* context, uint32_t file_format) {
    SelectValue(dialog, IDC_CONVERT_FILE_FORMAT, file_format);
    FillCompression(dialog, context, file_format);
    WString target;
    ConvertReplaceExtension(ItemText(dialog, IDC_CONVERT_TARGET), file_format, target);
    SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WStrCStr(target));
}

void SetTexts(HWND dialog, ViewerContext* context) {
    static constexpr struct {
        int control;
        uint32_t text;
    } kTexts[] = {
        {IDC_CONVERT_SOURCE_GROUP, text::kConvertSourceFile},
        {IDC_CONVERT_NAME_LABEL, text::kConvertName},
        {IDC_CONVERT_FORMAT_LABEL, text::kConvertFormat},
        {IDC_CONVERT_PAGES_LABEL, text::kConvertPageCount},
        {IDC_CONVERT_TARGET_GROUP, text::kConvertTargetFile},
        {IDC_CONVERT_BROWSE, text::kConvertBrowse},
        {IDC_CONVERT_FILE_FORMAT_LABEL, text::kConvertFileFormat},
        {IDC_CONVERT_OPTIONS_GROUP, text::kConvertOptions},
        {IDC_CONVERT_COMPRESSION_LABEL, text::kConvertCompression},
        {IDC_CONVERT_LAYOUT_LABEL, text::kConvertLayout},
        {IDC_CONVERT_ROTATION_LABEL, text::kConvertRotation},
        {IDC_CONVERT_DESCRIPTION_LABEL, text::kConvertDescription},
        {IDC_CONVERT_AS_DISPLAYED, text::kConvertAsDisplayed},
        {IDOK, text::kConvertButton},
        {IDCANCEL, text::kCancel},
    };
    SetWindowTextW(dialog, ViewerTextOrEmpty(context, text::kConvertTitle));
    for (const auto& entry : kTexts)
        SetDlgItemTextW(dialog, entry.control, ViewerTextOrEmpty(context, entry.text));
}

void FillLists(HWND dialog, ViewerContext* context) {
    AddEntry(dialog, IDC_CONVERT_FILE_FORMAT, ViewerTextOrEmpty(context, text::kConvertTiff), kConvertTiff);
    AddEntry(dialog, IDC_CONVERT_FILE_FORMAT, ViewerTextOrEmpty(context, text::kConvertPdf), kConvertPdf);
    AddEntry(dialog, IDC_CONVERT_LAYOUT, ViewerTextOrEmpty(context, text::kConvertSingleStrip), 0);
    AddEntry(dialog, IDC_CONVERT_LAYOUT, ViewerTextOrEmpty(context, text::kConvertStriped), 1);
    AddEntry(dialog, IDC_CONVERT_LAYOUT, ViewerTextOrEmpty(context, text::kConvertTiled), 2);
    AddEntry(dialog, IDC_CONVERT_LAYOUT, ViewerTextOrEmpty(context, text::kConvertTiledReduced), 3);
    SelectValue(dialog, IDC_CONVERT_LAYOUT, 1);
    AddEntry(dialog, IDC_CONVERT_ROTATION, ViewerTextOrEmpty(context, text::kConvertNoRotation), 0);
    AddEntry(dialog, IDC_CONVERT_ROTATION, ViewerTextOrEmpty(context, text::kConvertLeft90), 90);
    AddEntry(dialog, IDC_CONVERT_ROTATION, ViewerTextOrEmpty(context, text::kConvertTurn180), 180);
    AddEntry(dialog, IDC_CONVERT_ROTATION, ViewerTextOrEmpty(context, text::kConvertRight90), 270);
    SelectValue(dialog, IDC_CONVERT_ROTATION, 0);
}

void ShowSource(HWND dialog, DocumentSource* source) {
    WString name;
    SourceGetFileName(source, name);
    SetDlgItemTextW(dialog, IDC_CONVERT_NAME, WStrCStr(name));
    Ref<ImageFormat> format = SourceGetFormat(source);
    if (!format) return;
    FormatInfo info;
    if (format->GetInfo(&info)) SetDlgItemTextW(dialog, IDC_CONVERT_FORMAT, WStrCStr(info.format_name));
    SetDlgItemInt(dialog, IDC_CONVERT_PAGES, format->PageCount(), FALSE);
    Ref<ImagePage> first = format->PageCount() ? format->GetPage(0) : nullptr;
    PageInfo page_info;
    if (first && first->GetInfo(&page_info)) {
        WString description;
        WStrLeft(page_info.description, kMaxDescription, description);
        SetDlgItemTextW(dialog, IDC_CONVERT_DESCRIPTION, WStrCStr(description));
    }
}

void InitDialog(HWND dialog, ConvertDialogState* state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(state));
    ViewerContext* context = state->context;
    SetTexts(dialog, context);
    FillLists(dialog, context);
    SendDlgItemMessageW(dialog, IDC_CONVERT_DESCRIPTION, EM_LIMITTEXT, kMaxDescription, 0);
    SendDlgItemMessageW(dialog, IDC_CONVERT_TARGET, EM_LIMITTEXT, kMaxTarget, 0);
    ShowSource(dialog, state->source);
    WString target;
    ConvertDefaultTarget(state->source, kConvertPdf, target);
    SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WStrCStr(target));
    SelectValue(dialog, IDC_CONVERT_FILE_FORMAT, kConvertPdf);
    FillCompression(dialog, context, kConvertPdf);
    UpdateOkButton(dialog);
}

// Where the save dialog starts: the target's folder and name, or else the
// document's, a local one's name marked "_conv".
void BrowseStart(HWND dialog, DocumentSource* source, WString& folder, WString& name) {
    WString target = ItemText(dialog, IDC_CONVERT_TARGET);
    WStrTrim(target);
    if (WStrLength(target) == 0) {
        WString path;
        SourceGetPath(source, path);
        if (SourceIsLocal(source)) {
            WStrGetDirectory(path, folder);
            WString file;
            WStrStripExtension(WStrGetFileName(path, file), name);
            WStrAppendChars(name, L"_conv");
        } else {
            SourceGetFileName(source, name);
        }
        return;
    }
    WStrGetDirectory(target, folder);
    WStrGetFileName(target, name);
}

void Browse(HWND dialog, ConvertDialogState* state) {
    ViewerContext* context = state->context;
    WString folder, name;
    BrowseStart(dialog, state->source, folder, name);
    // Two filters, each a name and a pattern, the list ending in an empty name.
    std::wstring filters;
    for (const auto& [text, pattern] :
         {std::pair{text::kConvertPdf, L"*.PDF"}, std::pair{text::kConvertTiff, L"*.TIF"}}) {
        filters.append(ViewerTextOrEmpty(context, text)).push_back(L'\0');
        filters.append(pattern).push_back(L'\0');
    }
    filters.push_back(L'\0');

    wchar_t file[kMaxTarget + 1] = {};
    lstrcpynW(file, WStrCStr(name), kMaxTarget + 1);
    OPENFILENAMEW request = {};
    request.lStructSize = sizeof request;
    request.hwndOwner = dialog;
    request.lpstrFilter = filters.c_str();
    const uint32_t current = SelectedValue(dialog, IDC_CONVERT_FILE_FORMAT);
    request.nFilterIndex = current == kConvertTiff ? 2 : 1;
    request.lpstrFile = file;
    request.nMaxFile = kMaxTarget + 1;
    request.lpstrInitialDir = WStrLength(folder) ? WStrCStr(folder) : nullptr;
    request.Flags = OFN_HIDEREADONLY | OFN_PATHMUSTEXIST | OFN_NOTESTFILECREATE;
    if (!GetSaveFileNameW(&request)) return;

    uint32_t file_format = current;
    WString chosen;
    ConvertCompleteChosenName(WString(file), request.nFilterIndex == 2 ? kConvertTiff : kConvertPdf, chosen,
                              file_format);
    SetDlgItemTextW(dialog, IDC_CONVERT_TARGET, WStrCStr(chosen));
    if (file_format != current) {
        SelectValue(dialog, IDC_CONVERT_FILE_FORMAT, file_format);
        FillCompression(dialog, context, file_format);
    }
}

ConvertChoices ReadChoices(HWND dialog) {
    ConvertChoices choices;
    choices.target = ItemText(dialog, IDC_CONVERT_TARGET);
    choices.file_format = SelectedValue(dialog, IDC_CONVERT_FILE_FORMAT);
    choices.compression = SelectedValue(dialog, IDC_CONVERT_COMPRESSION);
    choices.layout = SelectedValue(dialog, IDC_CONVERT_LAYOUT);
    choices.rotation = static_cast<uint16_t>(SelectedValue(dialog, IDC_CONVERT_ROTATION));
    choices.as_displayed = IsDlgButtonChecked(dialog, IDC_CONVERT_AS_DISPLAYED) == BST_CHECKED;
    choices.description = ItemText(dialog, IDC_CONVERT_DESCRIPTION);
    return choices;
}

void Convert(HWND dialog, ConvertDialogState* state) {
    const ConvertOutcome outcome = ConvertRun(state->context, state->source, dialog, ReadChoices(dialog));
    if (outcome == kConvertWritten) {
        EndDialog(dialog, 1);
    } else if (outcome == kConvertFailed) {
        MessageBoxW(dialog, ViewerTextOrEmpty(state->context, text::kConvertFailed),
                    ViewerTextOrEmpty(state->context, text::kErrorLabel), MB_OK | MB_ICONERROR);
    }
}

INT_PTR CALLBACK ConvertDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_INITDIALOG) {
        InitDialog(dialog, reinterpret_cast<ConvertDialogState*>(lparam));
        return TRUE;
    }
    auto* state = reinterpret_cast<ConvertDialogState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (message != WM_COMMAND || !state) return FALSE;
    const int control = LOWORD(wparam);
    const int notification = HIWORD(wparam);
    switch (control) {
        case IDC_CONVERT_FILE_FORMAT:
            if (notification == CBN_SELCHANGE)
                ApplyFileFormat(dialog, state->context, SelectedValue(dialog, IDC_CONVERT_FILE_FORMAT));
            return TRUE;
        case IDC_CONVERT_AS_DISPLAYED:
            EnableWindow(GetDlgItem(dialog, IDC_CONVERT_ROTATION),
                         IsDlgButtonChecked(dialog, IDC_CONVERT_AS_DISPLAYED) != BST_CHECKED);
            return TRUE;
        case IDC_CONVERT_TARGET:
            if (notification == EN_CHANGE) UpdateOkButton(dialog);
            return TRUE;
        case IDC_CONVERT_BROWSE:
            Browse(dialog, state);
            return TRUE;
        case IDOK:
            Convert(dialog, state);
            return TRUE;
        case IDCANCEL:
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

}  // namespace

bool ConvertDialogShow(ViewerContext* context, DocumentSource* source, HWND owner) {
    if (!context || !source) return false;
    ConvertDialogState state{context, source};
    return DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_CONVERT), owner,
                           ConvertDialogProc, reinterpret_cast<LPARAM>(&state)) == 1;
}

ConvertOutcome ConvertRun(ViewerContext* context, DocumentSource* source, HWND owner,
                          const ConvertChoices& choices) {
    WString target(choices.target), description(choices.description);
    WStrTrim(target);
    WStrTrim(description);
    if (!context || !source || WStrLength(target) == 0) return kConvertFailed;
    if (!CheckSaveTargetNotOpen(context, owner, target)) return kConvertNotStarted;

    ScopedWaitCursor wait;
    Ref<ImageFormat> format = SourceGetFormat(source);
    Ref<DataSource> data = SourceGetData(source);
    uint32_t count = 0;
    PageList pages;
    if (choices.as_displayed) {
        Ref<DocItem> document = DocumentOf(context, source);
        if (document) pages = BuildPageList(context, document.get(), &count);
    }
    Ref<ProgressForwarder> progress = ViewerGetProgressForwarder(context);
    ProgressClear(progress.get());
    bool written;
    if (choices.file_format == kConvertTiff) {
        // The list's values count from 0.
        const TiffLayout& layout = TiffLayoutFor(int64_t{choices.layout} + 1);
        const ExtraTag tag{kTagImageDescription, description};
        written = ExportTiff(format.get(), data.get(), target, choices.compression, choices.rotation,
                             pages.get(), count, layout.tile_width, layout.rows, layout.reduction_percent,
                             &tag, WStrLength(description) ? 1 : 0, progress.get());
    } else {
        written = ExportPdf(format.get(), data.get(), target, choices.compression, choices.rotation,
                            pages.get(), count, description, progress.get());
    }
    if (progress) ProgressForwarderReset(progress.get());
    return written ? kConvertWritten : kConvertFailed;
}

WString& ConvertDefaultTarget(DocumentSource* source, uint32_t file_format, WString& out) {
    WStrClear(out);
    if (!source) return out;
    WString base;
    if (SourceIsLocal(source)) {
        SourceGetPath(source, base);
    } else {
        wchar_t folder[MAX_PATH] = {};
        const DWORD length = GetCurrentDirectoryW(MAX_PATH, folder);
        if (length > 0 && length < MAX_PATH) base = WString(folder);
        WString name;
        WStrAppendPath(base, WStrCStr(SourceGetFileName(source, name)));
    }
    WStrStripExtension(base, out);
    return WStrAppendChars(out, ExtensionOf(file_format));
}

WString& ConvertReplaceExtension(const WString& target, uint32_t file_format, WString& out) {
    if (WStrLength(target) == 0) return WStrClear(out);
    WStrStripExtension(target, out);
    return WStrAppendChars(out, ExtensionOf(file_format));
}

WString& ConvertCompleteChosenName(const WString& chosen, uint32_t filter_format, WString& out,
                                   uint32_t& file_format) {
    WString extension;
    WStrGetExtension(chosen, extension);
    WStrCopy(out, chosen);
    file_format = filter_format;
    if (WStrLength(extension) == 0) return WStrAppendChars(out, ExtensionOf(filter_format));
    if (WStrEqualsNoCase(extension, L"pdf")) file_format = kConvertPdf;
    if (WStrEqualsNoCase(extension, L"tif")) file_format = kConvertTiff;
    return out;
}
