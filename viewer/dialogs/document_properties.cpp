#include "viewer/dialogs/document_properties.h"

#include <iterator>

#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"
#include "viewer/dialogs/property_texts.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

// What every page of one sheet shares (the lParam of each page).
struct PropertiesState : DlgPageState {
    Ref<DocItem> document;
    Ref<ImagePage> page;  // the page object of the given page item, or null
};

template <class Texts>
struct PropertyRow {
    int label_id;
    uint32_t label_text;
    int value_id;
    WString Texts::*value;
};

constexpr PropertyRow<DocumentPropertyTexts> kDocumentRows[] = {
    {IDC_DOCPROP_NAME_LABEL, text::kPropertyName, IDC_DOCPROP_NAME, &DocumentPropertyTexts::name},
    {IDC_DOCPROP_PATH_LABEL, text::kPropertyNameOrUrl, IDC_DOCPROP_PATH, &DocumentPropertyTexts::path},
    {IDC_DOCPROP_SIZE_LABEL, text::kPropertyFileSize, IDC_DOCPROP_SIZE, &DocumentPropertyTexts::size},
    {IDC_DOCPROP_CREATED_LABEL, text::kPropertyCreated, IDC_DOCPROP_CREATED, &DocumentPropertyTexts::created},
    {IDC_DOCPROP_MODIFIED_LABEL, text::kPropertyLastChange, IDC_DOCPROP_MODIFIED,
     &DocumentPropertyTexts::modified},
};

constexpr PropertyRow<PagePropertyTexts> kPageRows[] = {
    {IDC_PAGEPROP_PIXELS_LABEL, text::kPropertySizePixels, IDC_PAGEPROP_PIXELS,
     &PagePropertyTexts::pixel_size},
    {IDC_PAGEPROP_SIZE_LABEL, text::kPropertySize, IDC_PAGEPROP_SIZE, &PagePropertyTexts::size},
    {IDC_PAGEPROP_SCALE_LABEL, text::kPropertyScale, IDC_PAGEPROP_SCALE, &PagePropertyTexts::scale},
    {IDC_PAGEPROP_RESOLUTION_LABEL, text::kPropertyResolution, IDC_PAGEPROP_RESOLUTION,
     &PagePropertyTexts::resolution},
    {IDC_PAGEPROP_DEPTH_LABEL, text::kPropertyColourDepth, IDC_PAGEPROP_DEPTH,
     &PagePropertyTexts::colour_depth},
    {IDC_PAGEPROP_FORMAT_LABEL, text::kPropertyFormat, IDC_PAGEPROP_FORMAT, &PagePropertyTexts::format},
    {IDC_PAGEPROP_LAYERS_LABEL, text::kPropertyLayerCount, IDC_PAGEPROP_LAYERS, &PagePropertyTexts::layers},
    {IDC_PAGEPROP_INVALID_LABEL, text::kPropertyInvalidLayers, IDC_PAGEPROP_INVALID,
     &PagePropertyTexts::invalid_layers},
    {IDC_PAGEPROP_COMPRESSION_LABEL, text::kPropertyCompression, IDC_PAGEPROP_COMPRESSION,
     &PagePropertyTexts::compression},
    {IDC_PAGEPROP_DESCRIPTION_LABEL, text::kPropertyDescription, IDC_PAGEPROP_DESCRIPTION,
     &PagePropertyTexts::description},
    {IDC_PAGEPROP_SOFTWARE_LABEL, text::kPropertySoftware, IDC_PAGEPROP_SOFTWARE,
     &PagePropertyTexts::software},
};

PropertiesState* Attach(HWND page, LPARAM init_param) {
    return static_cast<PropertiesState*>(DlgAttachPageParam(page, init_param));
}

template <class Texts, size_t N>
void ShowRows(HWND page, ViewerContext* context, const PropertyRow<Texts> (&rows)[N], const Texts& texts) {
    for (const PropertyRow<Texts>& row : rows) {
        DlgSetItemText(context, page, row.label_id, row.label_text);
        SetDlgItemTextW(page, row.value_id, WStrCStr(texts.*row.value));
    }
}

void InitDocumentPage(HWND page, PropertiesState* state) {
    DocumentPropertyTexts texts;
    CollectDocumentProperties(state->context, state->document.get(), texts);
    ShowRows(page, state->context, kDocumentRows, texts);
}

void InitPagePage(HWND page, PropertiesState* state) {
    PagePropertyTexts texts;
    if (!CollectPageProperties(state->context, state->document.get(), state->page.get(), texts)) {
        // Nothing could be had: every value says so.
        for (const PropertyRow<PagePropertyTexts>& row : kPageRows) {
            texts.*row.value = ViewerGetText(state->context, text::kNotSpecified);
        }
    }
    ShowRows(page, state->context, kPageRows, texts);
    if (!texts.show_invalid_layers) {
        ShowWindow(GetDlgItem(page, IDC_PAGEPROP_INVALID_LABEL), SW_HIDE);
        ShowWindow(GetDlgItem(page, IDC_PAGEPROP_INVALID), SW_HIDE);
    }
}

// The page's image directory: the first (full-size) image of a TIFF page.
const TiffDir* PageDirectory(ImagePage* page) {
    auto* tiff_page = dynamic_cast<TiffPage*>(page);
    return tiff_page ? TiffPageImage(tiff_page, 0) : nullptr;
}

void InitTiffTagsPage(HWND page, PropertiesState* state) {
    HWND list = GetDlgItem(page, IDC_TIFF_TAGS_LIST);
    if (!list) return;
    SendMessageW(list, LB_SETTABSTOPS, WPARAM(std::size(kTiffTagTabStops)),
                 reinterpret_cast<LPARAM>(kTiffTagTabStops));
    SendMessageW(list, LB_SETHORIZONTALEXTENT, WPARAM(kTiffTagListExtent), 0);
    const TiffDir* dir = PageDirectory(state->page.get());
    if (!dir) return;
    for (uint32_t i = 0; i < dir->entries.count; ++i) {
        WString line;
        FormatTiffTagLine(static_cast<const TiffDirEntry*>(dir->entries.items[i]), line);
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WStrCStr(line)));
    }
}

template <void (*Init)(HWND, PropertiesState*)>
INT_PTR CALLBACK PropertiesPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message != WM_INITDIALOG) return FALSE;
    if (PropertiesState* state = Attach(page, lparam)) Init(page, state);
    return TRUE;
}

// The TIFF Tags page is offered for TIFF files only.
bool IsTiffDocument(DocItem* document, ImagePage* page) {
    Ref<DocumentSource> source = document->GetSource();
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    return format && format->FormatOrdinal() == kOrdinalTiff && PageDirectory(page) != nullptr;
}

}  // namespace

INT_PTR ShowDocumentProperties(ViewerContext* context, DocItem* document, DocItem* page) {
    if (!context || !document) return 2;
    PropertiesState state;
    state.context = context;
    state.document = Ref<DocItem>(document);
    if (page) state.page = DocItemGetPage(page);
    const HINSTANCE instance = ViewerGetInstance(context);

    PROPSHEETPAGEW pages[3] = {};
    uint32_t count = 0;
    auto add = [&](int template_id, uint32_t title_text, DLGPROC procedure) {
        DlgInitPropPage(pages[count], instance, template_id, ViewerGetText(context, title_text), procedure);
        pages[count].lParam = reinterpret_cast<LPARAM>(static_cast<DlgPageState*>(&state));
        ++count;
    };
    add(IDD_PROPERTIES_DOCUMENT, text::kPropertiesDocument, PropertiesPageProc<InitDocumentPage>);
    if (page) {
        add(IDD_PROPERTIES_PAGE, text::kPropertiesPage, PropertiesPageProc<InitPagePage>);
        if (IsTiffDocument(document, state.page.get())) {
            add(IDD_PROPERTIES_TIFF_TAGS, text::kPropertiesTiffTags, PropertiesPageProc<InitTiffTagsPage>);
        }
    }

    PROPSHEETHEADERW header = {};
    header.dwSize = sizeof(header);
    header.dwFlags = PSH_PROPSHEETPAGE | PSH_NOCONTEXTHELP;
    header.hwndParent = ViewerGetFrameHwnd(context);
    header.hInstance = instance;
    header.pszCaption = ViewerGetText(context, text::kPropertiesTitle);
    header.nPages = count;
    header.nStartPage = page ? 1 : 0;
    header.ppsp = pages;
    return PropertySheetW(&header);
}
