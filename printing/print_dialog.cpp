#include "printing/print_dialog.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cwchar>

#include "foundation/handles.h"
#include "imaging/raster/packed_dib.h"
#include "imaging/raster/raster_image.h"
#include "printing/print_layout.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/dialog_kit.h"
#include "viewer/dialogs/viewer_message.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"

namespace {

namespace f = print_feature;

constexpr int32_t kInchesUnit = 2;  // LENGTH_UNIT
constexpr double kInchesPerMm = 0.03937007874015748;
constexpr double kMmPerInch = 25.4;
constexpr double kMarginLimitMm = 200.0;
constexpr size_t kMarginReadLimit = 25;
constexpr WPARAM kMarginEditLimit = 4;
constexpr WPARAM kCopiesEditLimit = 2;
constexpr uint32_t kEntryDepthStep = 2;
constexpr uint32_t kPrintBits = item_command::kPrint | item_command::kPrintablePage;
constexpr COLORREF kPaperColour = 0xF0F0F0;
constexpr COLORREF kEmptyBoxColour = 255;  // red

constexpr DlgItemText kItemTexts[] = {
    {IDC_PRINT_PRINTER_GROUP, text::kPrintPrinterGroup},
    {IDC_PRINT_PRINTER_LABEL, text::kPrintPrinterName},
    {IDC_PRINT_STATUS_LABEL, text::kPrintPrinterStatus},
    {IDC_PRINT_PROPERTIES, text::kMenuProperties},
    {IDC_PRINT_BIN_LABEL, text::kPrintPaperBin},
    {IDC_PRINT_PAPER_LABEL, text::kPrintPaper},
    {IDC_PRINT_PORTRAIT, text::kPrintPortrait},
    {IDC_PRINT_LANDSCAPE, text::kPrintLandscape},
    {IDC_PRINT_POSITION_GROUP, text::kPrintPosition},
    {IDC_PRINT_CENTRED, text::kPrintCentred},
    {IDC_PRINT_AUTO_ORIENTATION, text::kPrintAutoOrientation},
    {IDC_PRINT_FILL, text::kPrintPageFilled},
    {IDC_PRINT_RATIO_LABEL, text::kPrintRatio},
    {IDC_PRINT_CUT_OUT_ONLY, text::kPrintCutOutOnly},
    {IDC_PRINT_RANGE_GROUP, text::kPrintRange},
    {IDC_PRINT_CURRENT, text::kPrintCurrentPage},
    {IDC_PRINT_SELECTED, text::kPrintSelectedPages},
    {IDC_PRINT_ALL, text::kPrintAllPages},
    {IDC_PRINT_SELECT, text::kPrintSelect},
    {IDC_PRINT_PREVIEW_GROUP, text::kPrintPreview},
    {IDC_PRINT_PREVIEW_OF, text::kPrintPageOf},
    {IDC_PRINT_OPTIONS_GROUP, text::kPrintOptions},
    {IDC_PRINT_COPIES_LABEL, text::kPrintCopies},
    {IDC_PRINT_COLLATE, text::kPrintCollate},
    {IDC_PRINT_MARKUPS, text::kPrintMarkups},
    {IDC_PRINT_USER_INFO, text::kPrintUserInfo},
    {IDC_PRINT_FOLD, text::kPrintFold},
    {IDC_PRINT_COVER, text::kPrintCover},
    {IDOK, text::kOk},
    {IDCANCEL, text::kClose},
};

constexpr int kMarginEdits[] = {IDC_PRINT_MARGIN_TOP, IDC_PRINT_MARGIN_LEFT, IDC_PRINT_MARGIN_RIGHT,
                                IDC_PRINT_MARGIN_BOTTOM};
constexpr int kUnitLabels[] = {IDC_PRINT_UNIT_TOP, IDC_PRINT_UNIT_LEFT, IDC_PRINT_UNIT_RIGHT,
                               IDC_PRINT_UNIT_BOTTOM};

double* MarginOf(PrintOptions& options, int edit) {
    switch (edit) {
        case IDC_PRINT_MARGIN_TOP:
            return &options.margin_top;
        case IDC_PRINT_MARGIN_LEFT:
            return &options.margin_left;
        case IDC_PRINT_MARGIN_RIGHT:
            return &options.margin_right;
        case IDC_PRINT_MARGIN_BOTTOM:
            return &options.margin_bottom;
        default:
            return nullptr;
    }
}

bool UserInfoChangeable(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings && SettingsCallerMayChange(settings.get(), kGroupUserInfo, 0);
}

bool UsesInches(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings && SettingsGetLengthUnit(settings.get()) == kInchesUnit;
}

bool Printable(DocItem* item) {
    if ((item->GetCommandMask() & kPrintBits) != kPrintBits) return false;
    Ref<OpenParams> params = item->GetOpenParams();
    return !params || OpenParamsGetAllowPrint(params.get());
}

void AddEntries(PrintDialog* dialog, DocItem* item, uint32_t depth) {
    if (Printable(item)) dialog->entries.push_back(PrintPageEntry{Ref<DocItem>(item), false, depth});
    for (uint32_t i = 0; i < DocItemGetChildCount(item); ++i) {
        if (Ref<DocItem> child = DocItemGetChild(item, i))
            AddEntries(dialog, child.get(), depth + kEntryDepthStep);
    }
}

int32_t ActiveId(PrintDialog* dialog) { return ViewerGetActiveItemId(dialog->context.get()); }

// ---- Preview drawing

void DrawEmptyBox(HDC dc, const RectI& box) {
    GdiPen pen(CreatePen(PS_SOLID, 1, kEmptyBoxColour));
    ScopedSelect select_pen(dc, pen.get());
    ScopedSelect select_brush(dc, GetSysColorBrush(COLOR_BTNFACE));
    const int32_t x = box.origin.x, y = box.origin.y, w = box.size.width, h = box.size.height;
    Rectangle(dc, x, y, x + w, y + h);
    MoveToEx(dc, x, y, nullptr);
    LineTo(dc, x + w - 1, y + h - 1);
    MoveToEx(dc, x + w - 1, y, nullptr);
    LineTo(dc, x, y + h - 1);
}

void FillBoxPart(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    if (right <= left || bottom <= top) return;
    RECT part = {left, top, right, bottom};
    FillRect(dc, &part, GetSysColorBrush(COLOR_BTNFACE));
}

void DrawPaper(HDC dc, const RectI& box, const RectI& paper_in_box) {
    const int32_t px = box.origin.x + paper_in_box.origin.x, py = box.origin.y + paper_in_box.origin.y;
    const int32_t pw = paper_in_box.size.width, ph = paper_in_box.size.height;
    {
        GdiPen pen(CreatePen(PS_SOLID, 1, 0));
        GdiBrush brush(CreateSolidBrush(kPaperColour));
        ScopedSelect select_pen(dc, pen.get());
        ScopedSelect select_brush(dc, brush.get());
        Rectangle(dc, px - 1, py - 1, px + pw + 1, py + ph + 1);
    }
    const int32_t left = box.origin.x, top = box.origin.y;
    const int32_t right = left + box.size.width, bottom = top + box.size.height;
    FillBoxPart(dc, left, top, px - 1, bottom);
    FillBoxPart(dc, px + pw + 1, top, right, bottom);
    FillBoxPart(dc, px - 1, top, px + pw + 1, py - 1);
    FillBoxPart(dc, px - 1, py + ph + 1, px + pw + 1, bottom);
}

Ref<RasterImage> PreviewImage(PrintDialog* dialog, DocItem* page, const PagePlacement& request, bool colour) {
    if (dialog->cached_image && dialog->cached_page == page->id &&
        PagePlacementEquals(dialog->cached_request, request))
        return dialog->cached_image;
    Ref<RasterImage> image = page->RenderPage(dialog->context.get(), request, nullptr);
    if (image && !colour && !image->IsGrey()) {
        if (Ref<RasterImage> grey = RasterImageConvert(image.get(), 8)) image = grey;
    }
    dialog->cached_image = image;
    dialog->cached_page = page->id;
    dialog->cached_request = request;
    return image;
}

bool PaintPreviewPage(PrintDialog* dialog, HDC dc) {
    if (dialog->shown < 0 || dialog->shown >= static_cast<int32_t>(dialog->entries.size())) return false;
    DocItem* page = dialog->entries[static_cast<size_t>(dialog->shown)].page.get();
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    ViewerContext* context = dialog->context.get();
    if (!provider || !page) return false;
    Ref<Settings> settings = ViewerGetSettings(context);
    Ref<MarkupPage> markups;
    if (ViewerGetRedliningMode(context) != kRedliningModeOff && provider->HasFeature(f::kRedlining) &&
        dialog->options->markups && settings && SettingsGetRedliningDisplay(settings.get()))
        markups = page->GetRedlinePage(context, true);
    Ref<PrintableArea> area = provider->GetPrintableArea();
    Ref<PrintLayout> layout = area ? PrintLayoutCompute(context, provider.get(), page, *dialog->options,
                                                        area.get(), dialog->options->auto_orientation != 0)
                                   : nullptr;
    Ref<CutOutState> state = page->GetCutOut();
    RectI paper;
    Ref<ViewMapping> mapping =
        layout ? PrintPreviewMapping(context, *area, *layout, state.get(), dialog->preview_box.size, paper)
               : nullptr;
    if (!mapping) return false;
    const bool colour = provider->HasFeature(f::kColour);
    Ref<RasterImage> image = PreviewImage(dialog, page, mapping->placement, colour);
    if (!image) return false;
    PackedDib header = RasterImageToPackedDib(image.get());
    if (!header) return false;
    DrawPaper(dc, dialog->preview_box, paper);
    const PointI at{mapping->window_offset.x + dialog->preview_box.origin.x,
                    mapping->window_offset.y + dialog->preview_box.origin.y};
    SetDIBitsToDevice(dc, at.x, at.y, image->width, image->height, 0, 0, 0, image->height, image->pixels,
                      header.get(), DIB_RGB_COLORS);
    header.Reset();
    if (markups) {
        Ref<ViewMapping> placed =
            ViewMappingConstruct(mapping->page_id, at, mapping->placement, mapping->zoom_x, mapping->zoom_y);
        Ref<MarkupView> view = ViewerGetMarkups(context)->CreateView(context);
        if (placed && view) {
            view->SetPage(markups.get(), placed.get());
            view->Paint(context, dc, markup_purpose::kPrintPreview, true, !colour);
            view->SetPage(nullptr, nullptr);
        }
    }
    return true;
}

// ---- Dialog 175

struct Updating {
    explicit Updating(bool& flag) : flag_(flag), was_(flag) { flag = true; }
    ~Updating() { flag_ = was_; }
    bool& flag_;
    bool was_;
};

PrintDialog* DialogOf(HWND window) { return static_cast<PrintDialog*>(DlgGetUserData(window)); }

void SetCheck(HWND window, int id, bool on) { CheckDlgButton(window, id, on ? BST_CHECKED : BST_UNCHECKED); }
bool IsChecked(HWND window, int id) { return IsDlgButtonChecked(window, id) == BST_CHECKED; }
void Enable(HWND window, int id, bool on) { EnableWindow(GetDlgItem(window, id), on ? TRUE : FALSE); }

void SetUnsigned(HWND window, int id, uint32_t value) { SetDlgItemInt(window, id, value, FALSE); }

void RefreshEnabling(PrintDialog* dialog) {
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    if (!provider) return;
    for (const PrintControlEnabling& control :
         PrintDialogEnabling(provider.get(), *dialog->options, UserInfoChangeable(dialog->context.get())))
        Enable(dialog->window, control.control, control.enabled);
    Enable(dialog->window, IDC_PRINT_SELECT, dialog->options->range == print_range::kSelectedPages);
}

void RefreshNavigation(PrintDialog* dialog) {
    HWND window = dialog->window;
    const int32_t count = static_cast<int32_t>(dialog->entries.size());
    wchar_t text[16];
    _snwprintf(text, 16, L"%d", count);
    SetDlgItemTextW(window, IDC_PRINT_PREVIEW_COUNT, text);
    if (dialog->shown >= 0) {
        _snwprintf(text, 16, L"%d", dialog->shown + 1);
        SetDlgItemTextW(window, IDC_PRINT_PREVIEW_PAGE, text);
    } else {
        SetDlgItemTextW(window, IDC_PRINT_PREVIEW_PAGE, L"?");
    }
    Enable(window, IDC_PRINT_PREVIOUS, count >= 2 && dialog->shown > 0);
    Enable(window, IDC_PRINT_NEXT, dialog->shown + 1 < count);
}

void RefreshPreview(PrintDialog* dialog) {
    const RectI& box = dialog->preview_box;
    RECT rect = {box.origin.x, box.origin.y, box.origin.x + box.size.width, box.origin.y + box.size.height};
    InvalidateRect(dialog->window, &rect, FALSE);
}

void RefreshMargins(PrintDialog* dialog) {
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    const bool centred = provider && provider->HasFeature(f::kCentring) && dialog->options->centred;
    const bool empty = !provider || !provider->HasFeature(f::kMargins) || centred;
    const bool inches = UsesInches(dialog->context.get());
    for (int edit : kMarginEdits) {
        const WString text =
            empty ? WString(L"") : PrintMarginFormat(*MarginOf(*dialog->options, edit), inches);
        SetDlgItemTextW(dialog->window, edit, WStrCStr(text));
    }
}

void RefreshValues(PrintDialog* dialog) {
    Updating hold(dialog->opened);
    dialog->opened = false;
    HWND window = dialog->window;
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    if (!provider) return;
    PrintOptions& options = *dialog->options;
    ViewerContext* context = dialog->context.get();

    SendDlgItemMessageW(window, IDC_PRINT_BIN, CB_RESETCONTENT, 0, 0);
    for (uint32_t i = 0; i < provider->GetBinCount(); ++i) {
        if (Ref<PaperBinEntry> bin = provider->GetBinAt(i))
            ComboAddText(window, IDC_PRINT_BIN, WStrCStr(bin->name), static_cast<INT_PTR>(i));
    }
    // A bin without a name is left out of the list, so the provider's index
    // is the item's data, not its place in the list.
    ComboSelectByData(GetDlgItem(window, IDC_PRINT_BIN), provider->GetCurrentBin());
    SendDlgItemMessageW(window, IDC_PRINT_PAPER, CB_RESETCONTENT, 0, 0);
    for (uint32_t i = 0; i < provider->GetPaperCount(); ++i) {
        if (Ref<PaperEntry> paper = provider->GetPaperAt(i))
            ComboAddText(window, IDC_PRINT_PAPER, WStrCStr(paper->name), static_cast<INT_PTR>(i));
    }
    ComboSelectByData(GetDlgItem(window, IDC_PRINT_PAPER), provider->GetCurrentPaper());
    const bool landscape = provider->GetOrientation() != 0;
    SetCheck(window, IDC_PRINT_PORTRAIT, !landscape);
    SetCheck(window, IDC_PRINT_LANDSCAPE, landscape);
    WString status;
    SetDlgItemTextW(window, IDC_PRINT_STATUS, WStrCStr(provider->GetStatusText(status, context)));

    SetCheck(window, IDC_PRINT_CENTRED, provider->HasFeature(f::kCentring) && options.centred);
    SetCheck(window, IDC_PRINT_AUTO_ORIENTATION, options.auto_orientation != 0);
    SetCheck(window, IDC_PRINT_FILL, provider->HasFeature(f::kFitToPage) && options.fit);
    SetCheck(window, IDC_PRINT_CUT_OUT_ONLY, provider->HasFeature(f::kCutOutOnly) && options.cut_out_only);
    SetCheck(window, IDC_PRINT_COLLATE, provider->HasFeature(f::kCollation) && options.collate);
    SetCheck(window, IDC_PRINT_MARKUPS, provider->HasFeature(f::kRedlining) && options.markups);
    SetCheck(window, IDC_PRINT_USER_INFO,
             provider->HasFeature(f::kUserInformation) && options.user_information);
    SetCheck(window, IDC_PRINT_FOLD, provider->HasFeature(f::kFold) && options.fold);
    SetCheck(window, IDC_PRINT_COVER, provider->HasFeature(f::kCover) && options.cover);
    const bool ratio = provider->HasFeature(f::kRatio);
    SetUnsigned(window, IDC_PRINT_RATIO_NUMERATOR, ratio ? options.ratio_numerator : 1);
    SetUnsigned(window, IDC_PRINT_RATIO_DENOMINATOR, ratio ? options.ratio_denominator : 1);
    SetUnsigned(window, IDC_PRINT_COPIES, options.copies);
    SetCheck(window, IDC_PRINT_CURRENT, options.range == print_range::kCurrentPage);
    SetCheck(window, IDC_PRINT_SELECTED, options.range == print_range::kSelectedPages);
    SetCheck(window, IDC_PRINT_ALL, options.range == print_range::kAllPages);
    RefreshMargins(dialog);
    RefreshEnabling(dialog);
}

void RefreshAll(PrintDialog* dialog) {
    RefreshValues(dialog);
    RefreshNavigation(dialog);
    RefreshPreview(dialog);
}

void FillPrinterList(PrintDialog* dialog) {
    HWND window = dialog->window;
    Ref<AppRoot> app = ViewerGetApp(dialog->context.get());
    dialog->printer_lines.clear();
    SendDlgItemMessageW(window, IDC_PRINT_PRINTER, CB_RESETCONTENT, 0, 0);
    if (!app) return;
    int current_line = -1;
    for (uint32_t p = 0; p < PrintProvidersCount(app->print_providers); ++p) {
        Ref<PrintProvider> provider = PrintProvidersGet(app->print_providers, p);
        if (!provider) continue;
        WString current;
        provider->GetCurrentPrinter(current);
        for (uint32_t i = 0; i < provider->GetPrinterCount(); ++i) {
            Ref<PrinterEntry> printer = provider->GetPrinterAt(i);
            if (!printer) continue;
            WString line = printer->name;
            if (WStrLength(printer->location) > 0) {
                WStrAppendChars(line, L" (");
                WStrAppend(line, printer->location);
                WStrAppendChars(line, L")");
            }
            const int index = ComboAddText(window, IDC_PRINT_PRINTER, WStrCStr(line),
                                           static_cast<INT_PTR>(dialog->printer_lines.size()));
            dialog->printer_lines.push_back(PrintPrinterLine{p, i});
            if (p == dialog->provider_index && WStrEquals(printer->name, current)) current_line = index;
        }
    }
    SendDlgItemMessageW(window, IDC_PRINT_PRINTER, CB_SETCURSEL, static_cast<WPARAM>(current_line), 0);
}

void PushCopies(PrintDialog* dialog) {
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    if (!provider) return;
    const PrintOptions& options = *dialog->options;
    if (provider->HasFeature(f::kCopies) && provider->HasFeature(f::kCollation) &&
        provider->GetCopies() == options.copies && provider->GetCollate() == (options.collate != 0))
        return;
    provider->SetCopies(dialog->context.get(), options.copies);
    provider->SetCollate(dialog->context.get(), options.collate != 0);
    RefreshValues(dialog);
}

void ReadPreviewBox(PrintDialog* dialog) {
    HWND frame = GetDlgItem(dialog->window, IDC_PRINT_PREVIEW_BOX);
    RECT rect = {};
    if (!frame || !GetWindowRect(frame, &rect)) return;
    POINT corners[2] = {{rect.left, rect.top}, {rect.right, rect.bottom}};
    ScreenToClient(dialog->window, &corners[0]);
    ScreenToClient(dialog->window, &corners[1]);
    dialog->preview_box.origin = PointI{corners[0].x, corners[0].y};
    dialog->preview_box.size = SizeI{corners[1].x - corners[0].x, corners[1].y - corners[0].y};
}

void OpenDialog(HWND window, PrintDialog* dialog) {
    dialog->window = window;
    DlgSetUserData(window, dialog);
    ViewerContext* context = dialog->context.get();
    if (Ref<PrintProvider> provider = PrintDialogProvider(dialog)) provider->LoadSettings(context);
    if (const wchar_t* title = ViewerGetText(context, text::kPrintDialogTitle)) SetWindowTextW(window, title);
    DlgSetItemTexts(context, window, kItemTexts);
    const uint32_t unit = UsesInches(context) ? text::kPrintUnitInch : text::kUnitMillimetre;
    for (int label : kUnitLabels) DlgSetItemText(context, window, label, unit);
    for (int edit : kMarginEdits) {
        DlgMakeNumericEdit(window, edit);
        SendDlgItemMessageW(window, edit, EM_LIMITTEXT, kMarginEditLimit, 0);
    }
    for (int edit : {IDC_PRINT_RATIO_NUMERATOR, IDC_PRINT_RATIO_DENOMINATOR}) {
        DlgMakeNumericEdit(window, edit);
        SendDlgItemMessageW(window, edit, EM_LIMITTEXT, kMarginEditLimit, 0);
    }
    SendDlgItemMessageW(window, IDC_PRINT_COPIES, EM_LIMITTEXT, kCopiesEditLimit, 0);
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings) dialog->options->user_information = SettingsGetUserInfoPrint(settings.get()) ? 1 : 0;
    FillPrinterList(dialog);
    ReadPreviewBox(dialog);
    PrintDialogBuildEntries(dialog);
    PrintDialogApplyRange(dialog);
    RefreshAll(dialog);
    dialog->opened = true;
}

void ChoosePrinter(PrintDialog* dialog) {
    INT_PTR line = -1;
    HWND combo = GetDlgItem(dialog->window, IDC_PRINT_PRINTER);
    if (ComboGetSelData(combo, line) < 0 || line < 0 ||
        static_cast<size_t>(line) >= dialog->printer_lines.size())
        return;
    const PrintPrinterLine chosen = dialog->printer_lines[static_cast<size_t>(line)];
    dialog->provider_index = chosen.provider;
    if (Ref<PrintProvider> provider = PrintDialogProvider(dialog))
        PrintProviderSelectPrinterAt(provider.get(), dialog->context.get(), chosen.printer);
    RefreshAll(dialog);
}

void ChooseListEntry(PrintDialog* dialog, int combo_id) {
    INT_PTR index = -1;
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    if (!provider || ComboGetSelData(GetDlgItem(dialog->window, combo_id), index) < 0 || index < 0) return;
    if (combo_id == IDC_PRINT_BIN) {
        provider->SelectBin(dialog->context.get(), static_cast<uint32_t>(index));
    } else {
        provider->SelectPaper(dialog->context.get(), static_cast<uint32_t>(index));
    }
    RefreshAll(dialog);
}

void SetRange(PrintDialog* dialog, uint32_t range) {
    dialog->options->range = range;
    PrintDialogApplyRange(dialog);
    RefreshNavigation(dialog);
    RefreshPreview(dialog);
    RefreshEnabling(dialog);
}

void StoreCheck(PrintDialog* dialog, int id) {
    PrintOptions& options = *dialog->options;
    const uint8_t on = IsChecked(dialog->window, id) ? 1 : 0;
    switch (id) {
        case IDC_PRINT_FOLD:
            options.fold = on;
            break;
        case IDC_PRINT_COVER:
            options.cover = on;
            break;
        case IDC_PRINT_USER_INFO:
            options.user_information = on;
            break;
        case IDC_PRINT_MARKUPS:
            options.markups = on;
            break;
        case IDC_PRINT_AUTO_ORIENTATION:
            options.auto_orientation = on;
            break;
        case IDC_PRINT_COLLATE:
            options.collate = on;
            PushCopies(dialog);
            break;
        case IDC_PRINT_FILL:
            options.fit = on;
            break;
        case IDC_PRINT_CENTRED:
            options.centred = on;
            RefreshMargins(dialog);
            break;
        case IDC_PRINT_CUT_OUT_ONLY: {
            Ref<PrintProvider> provider = PrintDialogProvider(dialog);
            if (provider && provider->HasFeature(f::kCutOutOnly)) options.cut_out_only = on;
            break;
        }
        default:
            return;
    }
    RefreshEnabling(dialog);
    RefreshPreview(dialog);
}

void StoreEdit(PrintDialog* dialog, int id) {
    if (!dialog->opened) return;
    PrintOptions& options = *dialog->options;
    if (double* margin = MarginOf(options, id)) {
        wchar_t text[kMarginReadLimit + 1] = {};
        GetDlgItemTextW(dialog->window, id, text, kMarginReadLimit + 1);
        *margin = PrintMarginParse(text, UsesInches(dialog->context.get()));
    } else if (id == IDC_PRINT_RATIO_NUMERATOR || id == IDC_PRINT_RATIO_DENOMINATOR ||
               id == IDC_PRINT_COPIES) {
        const uint32_t value = GetDlgItemInt(dialog->window, id, nullptr, FALSE);
        if (id == IDC_PRINT_RATIO_NUMERATOR) options.ratio_numerator = value;
        if (id == IDC_PRINT_RATIO_DENOMINATOR) options.ratio_denominator = value;
        if (id == IDC_PRINT_COPIES) options.copies = value;
    } else {
        return;
    }
    RefreshPreview(dialog);
}

void MovePreview(PrintDialog* dialog, int32_t step) {
    const int32_t next = dialog->shown + step;
    if (next < 0 || next >= static_cast<int32_t>(dialog->entries.size())) return;
    dialog->shown = next;
    RefreshPreview(dialog);
    RefreshNavigation(dialog);
    RefreshEnabling(dialog);
}

INT_PTR RunPageSelection(PrintDialog* dialog);

bool Command(PrintDialog* dialog, WPARAM wparam) {
    const int id = LOWORD(wparam);
    const UINT code = HIWORD(wparam);
    switch (id) {
        case IDOK:
        case IDCANCEL:
            PushCopies(dialog);
            EndDialog(dialog->window, id);
            return true;
        case IDC_PRINT_ALL:
            SetRange(dialog, print_range::kAllPages);
            return true;
        case IDC_PRINT_CURRENT:
            SetRange(dialog, print_range::kCurrentPage);
            return true;
        case IDC_PRINT_SELECTED:
            SetRange(dialog, print_range::kSelectedPages);
            return true;
        case IDC_PRINT_SELECT:
            if (RunPageSelection(dialog) == 1) SetRange(dialog, print_range::kSelectedPages);
            return true;
        case IDC_PRINT_PORTRAIT:
        case IDC_PRINT_LANDSCAPE:
            if (Ref<PrintProvider> provider = PrintDialogProvider(dialog))
                provider->SetOrientation(dialog->context.get(), id == IDC_PRINT_LANDSCAPE ? 1 : 0);
            RefreshAll(dialog);
            return true;
        case IDC_PRINT_PROPERTIES:
            if (Ref<PrintProvider> provider = PrintDialogProvider(dialog))
                provider->ShowProperties(dialog->context.get(), dialog->window);
            RefreshAll(dialog);
            return true;
        case IDC_PRINT_PREVIOUS:
            MovePreview(dialog, -1);
            return true;
        case IDC_PRINT_NEXT:
            MovePreview(dialog, 1);
            return true;
        case IDC_PRINT_PRINTER:
            if (code == CBN_SELCHANGE) ChoosePrinter(dialog);
            return true;
        case IDC_PRINT_BIN:
        case IDC_PRINT_PAPER:
            if (code == CBN_SELCHANGE) ChooseListEntry(dialog, id);
            return true;
        default:
            if (code == EN_CHANGE) {
                StoreEdit(dialog, id);
            } else if (code == BN_CLICKED) {
                StoreCheck(dialog, id);
            }
            return true;
    }
}

INT_PTR CALLBACK PrintDialogProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    PrintDialog* dialog = message == WM_INITDIALOG ? nullptr : DialogOf(window);
    switch (message) {
        case WM_INITDIALOG:
            OpenDialog(window, reinterpret_cast<PrintDialog*>(lparam));
            return TRUE;
        case WM_PAINT: {
            if (!dialog) return FALSE;
            PaintDC paint(window);
            if (paint) PrintPreviewPaint(dialog, paint.get());
            return TRUE;
        }
        case WM_PRINTCLIENT:
            if (dialog) PrintPreviewPaint(dialog, reinterpret_cast<HDC>(wparam));
            return FALSE;
        case WM_COMMAND:
            return dialog && Command(dialog, wparam) ? TRUE : FALSE;
        case WM_CLOSE:
            if (dialog) PushCopies(dialog);
            EndDialog(window, IDCANCEL);
            return TRUE;
        case WM_DESTROY:
            if (dialog) {
                dialog->printer_lines.clear();
                dialog->window = nullptr;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

// ---- Dialog 140

WString EntryText(PrintDialog* dialog, size_t index) {
    const PrintPageEntry& entry = dialog->entries[index];
    WString text;
    WStrAppendInt(text, static_cast<int32_t>(index + 1));
    WStrAppendChars(text, L".");
    for (uint32_t i = 0; i <= entry.depth; ++i) WStrAppendChars(text, L" ");
    WString name;
    if (Ref<DocItem> parent = DocItemGetParent(entry.page.get(), dialog->context.get()))
        WStrAppend(text, DocItemGetName(parent.get(), name));
    WStrAppendChars(text, L" - ");
    WStrAppend(text, DocItemGetName(entry.page.get(), name));
    return text;
}

INT_PTR CALLBACK PageSelectionProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    auto* dialog = static_cast<PrintDialog*>(DlgGetUserData(window));
    HWND list = GetDlgItem(window, IDC_PRINT_PAGES_LIST);
    switch (message) {
        case WM_INITDIALOG: {
            dialog = reinterpret_cast<PrintDialog*>(lparam);
            DlgSetUserData(window, dialog);
            if (const wchar_t* title = ViewerGetText(dialog->context.get(), text::kPrintDialogTitle))
                SetWindowTextW(window, title);
            DlgSetItemText(dialog->context.get(), window, IDOK, text::kOk);
            DlgSetItemText(dialog->context.get(), window, IDCANCEL, text::kCancel);
            for (size_t i = 0; i < dialog->entries.size(); ++i) {
                const WString text = EntryText(dialog, i);
                SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(WStrCStr(text)));
                SendMessageW(list, LB_SETSEL, dialog->entries[i].selected ? TRUE : FALSE,
                             static_cast<LPARAM>(i));
            }
            return TRUE;
        }
        case WM_COMMAND:
            if (LOWORD(wparam) == IDOK && dialog) {
                for (size_t i = 0; i < dialog->entries.size(); ++i)
                    dialog->entries[i].selected =
                        SendMessageW(list, LB_GETSEL, static_cast<WPARAM>(i), 0) > 0;
                EndDialog(window, 1);
            } else if (LOWORD(wparam) == IDCANCEL) {
                EndDialog(window, 2);
            }
            return TRUE;
        case WM_CLOSE:
            EndDialog(window, 2);
            return TRUE;
        default:
            return FALSE;
    }
}

INT_PTR RunPageSelection(PrintDialog* dialog) {
    return DialogBoxParamW(ViewerGetInstance(dialog->context.get()), MAKEINTRESOURCEW(IDD_PRINT_PAGES),
                           dialog->window, PageSelectionProc, reinterpret_cast<LPARAM>(dialog));
}

// The document that the item belongs to: the tree's top-level item above it.
Ref<DocItem> DocumentOf(ViewerContext* context, DocItem* item) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    Ref<DocItem> document(item);
    while (document) {
        Ref<DocItem> parent = DocItemGetParent(document.get(), context);
        if (!parent || parent.get() == root.get()) break;
        document = parent;
    }
    return document;
}

}  // namespace

PrintDialog::~PrintDialog() {
    if (context && options) PrintOptionsKeep(ViewerGetApp(context.get()).get(), options.get());
}

Ref<PrintDialog> PrintDialogCreate(ViewerContext* context, DocItem* item) {
    if (!context || !item) return nullptr;
    Ref<PrintDialog> dialog = MakeRef<PrintDialog>();
    dialog->context = Ref<ViewerContext>(context);
    dialog->item = Ref<DocItem>(item);
    dialog->options = PrintOptionsTake(ViewerGetApp(context).get());
    return dialog;
}

Ref<PrintProvider> PrintDialogProvider(PrintDialog* dialog) {
    Ref<AppRoot> app = dialog ? ViewerGetApp(dialog->context.get()) : nullptr;
    return app ? PrintProvidersGet(app->print_providers, dialog->provider_index) : nullptr;
}

void PrintDialogBuildEntries(PrintDialog* dialog) {
    dialog->entries.clear();
    dialog->shown = -1;
    if (dialog->item) AddEntries(dialog, dialog->item.get(), 0);
}

void PrintDialogApplyRange(PrintDialog* dialog) {
    auto& entries = dialog->entries;
    const int32_t active = ActiveId(dialog);
    const int32_t count = static_cast<int32_t>(entries.size());
    switch (dialog->options->range) {
        case print_range::kCurrentPage:
            dialog->shown = -1;
            if (active < 0) return;
            for (int32_t i = 0; i < count; ++i) {
                entries[static_cast<size_t>(i)].selected = entries[static_cast<size_t>(i)].page->id == active;
                if (entries[static_cast<size_t>(i)].selected) dialog->shown = i;
            }
            return;
        case print_range::kAllPages:
            for (PrintPageEntry& entry : entries) entry.selected = true;
            if (count > 0 && dialog->shown < 0) dialog->shown = 0;
            return;
        default:
            if (dialog->shown >= 0 && !entries[static_cast<size_t>(dialog->shown)].selected)
                dialog->shown = -1;
            for (int32_t i = 0; i < count && dialog->shown < 0; ++i)
                if (entries[static_cast<size_t>(i)].selected) dialog->shown = i;
            for (int32_t i = 0; i < count && dialog->shown < 0; ++i) {
                if (entries[static_cast<size_t>(i)].page->id != active) continue;
                entries[static_cast<size_t>(i)].selected = true;
                dialog->shown = i;
            }
            return;
    }
}

uint32_t PrintDialogSelectedCount(const PrintDialog* dialog) {
    return static_cast<uint32_t>(std::count_if(dialog->entries.begin(), dialog->entries.end(),
                                               [](const PrintPageEntry& entry) { return entry.selected; }));
}

INT_PTR PrintDialogRun(PrintDialog* dialog, HWND parent) {
    if (!dialog) return -1;
    ViewerContext* context = dialog->context.get();
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_PRINT), parent,
                                           PrintDialogProc, reinterpret_cast<LPARAM>(dialog));
    if (result != IDOK) return result;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings && UserInfoChangeable(context))
        SettingsSetUserInfoPrint(settings.get(), context, 0, dialog->options->user_information != 0);
    PtrArray pages(10, true);
    for (const PrintPageEntry& entry : dialog->entries)
        if (entry.selected) PtrArrayAdd(pages, entry.page.get());
    Ref<PrintProvider> provider = PrintDialogProvider(dialog);
    if (PtrArrayCount(pages) == 0) {
        // No page of the document can be printed (none could be rendered,
        // say): OK must not pass for a print.
        ViewerShowMessage(context, text::kCannotPrint, kMessageError);
        return result;
    }
    if (provider) provider->Print(context, parent, pages, dialog->options.get());
    return result;
}

bool PrintDialogRunFor(ViewerContext* context, HWND owner, PrintProvider* provider, DocItem* item) {
    Ref<DocItem> document = DocumentOf(context, item);
    Ref<PrintDialog> dialog = PrintDialogCreate(context, document.get());
    Ref<AppRoot> app = ViewerGetApp(context);
    if (!dialog || !app) return false;
    for (uint32_t i = 0; i < PrintProvidersCount(app->print_providers); ++i)
        if (PrintProvidersGet(app->print_providers, i).get() == provider) dialog->provider_index = i;
    return PrintDialogRun(dialog.get(), owner) == IDOK;
}

WString PrintMarginFormat(double mm, bool inches) {
    wchar_t text[32];
    if (inches) {
        _snwprintf(text, 32, L"%.2f", mm * kInchesPerMm);
    } else {
        _snwprintf(text, 32, L"%.1f", mm);
    }
    text[31] = 0;
    return WString(text);
}

double PrintMarginParse(const wchar_t* text, bool inches) {
    if (!text) return 0;
    wchar_t copy[kMarginReadLimit + 1] = {};
    for (size_t i = 0; i < kMarginReadLimit && text[i]; ++i) copy[i] = text[i] == L',' ? L'.' : text[i];
    wchar_t* end = nullptr;
    double value = std::wcstod(copy, &end);
    if (end == copy) return 0;
    if (inches) value *= kMmPerInch;
    return value > 0 && value < kMarginLimitMm ? value : 0;
}

std::vector<PrintControlEnabling> PrintDialogEnabling(PrintProvider* provider, const PrintOptions& options,
                                                      bool user_info_changeable) {
    auto has = [provider](uint32_t feature) { return provider->HasFeature(feature); };
    const bool orientation = has(f::kOrientation) && !options.auto_orientation;
    const bool margins = has(f::kMargins) && !(has(f::kCentring) && options.centred);
    const bool ratio = (!has(f::kFitToPage) || !options.fit) && has(f::kRatio);
    return {
        {IDC_PRINT_PORTRAIT, orientation},
        {IDC_PRINT_LANDSCAPE, orientation},
        {IDC_PRINT_COPIES, has(f::kCopies)},
        {IDC_PRINT_COLLATE, has(f::kCollation)},
        {IDC_PRINT_BIN, has(f::kBins)},
        {IDC_PRINT_PAPER, has(f::kPapers)},
        {IDC_PRINT_USER_INFO, has(f::kUserInformation) && user_info_changeable},
        {IDC_PRINT_MARKUPS, has(f::kRedlining)},
        {IDC_PRINT_PROPERTIES, has(f::kPropertiesDialog)},
        {IDC_PRINT_FOLD, has(f::kFold)},
        {IDC_PRINT_COVER, has(f::kCover)},
        {IDC_PRINT_CENTRED, has(f::kCentring)},
        {IDC_PRINT_MARGIN_LEFT, margins},
        {IDC_PRINT_MARGIN_TOP, margins},
        {IDC_PRINT_MARGIN_RIGHT, margins},
        {IDC_PRINT_MARGIN_BOTTOM, margins},
        {IDC_PRINT_FILL, has(f::kFitToPage)},
        {IDC_PRINT_RATIO_NUMERATOR, ratio},
        {IDC_PRINT_RATIO_DENOMINATOR, ratio},
        {IDC_PRINT_RATIO_LABEL, ratio},
        {IDC_PRINT_CUT_OUT_ONLY, has(f::kCutOutOnly)},
    };
}

void PrintPreviewPaint(PrintDialog* dialog, HDC dc) {
    if (!dialog || dialog->preview_box.size.width <= 0 || dialog->preview_box.size.height <= 0) return;
    if (!PaintPreviewPage(dialog, dc)) DrawEmptyBox(dc, dialog->preview_box);
}
