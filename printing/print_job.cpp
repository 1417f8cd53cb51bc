#include "printing/print_job.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "foundation/module_thread.h"
#include "foundation/string_builder.h"
#include "imaging/raster/packed_dib.h"
#include "imaging/raster/raster_image.h"
#include "printing/print_bands.h"
#include "printing/print_layout.h"
#include "printing/printer_workarounds.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/settings.h"
#include "viewer/core/var_text.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

constexpr UINT kProgressMessage = WM_APP;  // wParam: percent
constexpr UINT kJobEndedMessage = WM_APP + 1;
constexpr DWORD kPollMs = 50;
// How long start waits for the thread once the dialog has gone: a page in
// hand is finished first, so this is generous, but never unbounded.
constexpr DWORD kThreadEndWaitMs = 60000;
constexpr uint32_t kFontPitchAndFamily = 48;
// The longest side of the render that settles a banded page's polarity.
constexpr uint32_t kNegativeProbePixels = 1024;

int32_t RoundNearest(double value) { return static_cast<int32_t>(std::floor(value + 0.5)); }

// ---- Copies and name

bool DriverMakesCopies(const PrinterDevice& device, const PrintOptions& options) {
    const int32_t most = PrinterDeviceGetCapabilities(device, DC_COPIES, nullptr);
    const int32_t collates = PrinterDeviceGetCapabilities(device, DC_COLLATE, nullptr);
    ScopedLock hold(device.lock);
    if (device.workaround_bits & printer_workaround::kNoDriverCopies) return false;
    if (!device.copies_supported || options.copies == 0 || device.copies != options.copies) return false;
    if (most < static_cast<int32_t>(options.copies)) return false;
    if (options.collate && !(collates == 1 && device.collation_supported && device.collation)) return false;
    return true;
}

void SettleCopies(PrintJob& job) {
    if (job.options->copies == 1) return;
    if (DriverMakesCopies(*job.device, *job.options)) return;
    PrinterDeviceSetCopies(*job.device, job.context.get(), 1);
    PrinterDeviceSetCollate(*job.device, job.context.get(), false);
    job.repeat_count = job.options->copies;
}

bool AllFromOneSource(const PtrArray& pages) {
    int64_t first = -1;
    for (uint32_t i = 0; i < PtrArrayCount(pages); ++i) {
        Ref<DocItem> page = PtrArrayGetAs<DocItem>(pages, i);
        Ref<DocumentSource> source = page ? page->GetSource() : nullptr;
        if (!source) continue;
        const int64_t id = SourceGetId(source.get());
        if (first < 0) first = id;
        if (id != first) return false;
    }
    return true;
}

WString DocumentName(ViewerContext* context, const PtrArray& pages) {
    WStrBuilder name(200);
    if (const wchar_t* product = ViewerGetText(context, text::kPrintProduct))
        WStrBuilderAppendChars(name, product);
    WStrBuilderAppendChars(name, L" - ");
    if (PtrArrayCount(pages) > 1 && !AllFromOneSource(pages)) {
        if (const wchar_t* multiple = ViewerGetText(context, text::kPrintMultipleFiles))
            WStrBuilderAppendChars(name, multiple);
    } else if (Ref<DocItem> first = PtrArrayGetAs<DocItem>(pages, 0)) {
        WString display;
        WStrBuilderAppend(name, DocItemGetDisplayName(first.get(), context, display));
    }
    WString out;
    return WStrBuilderToString(name, out);
}

// ---- Status dialog

struct StatusParams {
    ViewerContext* context;
    uint32_t page_total;
    HANDLE thread;
    PrintProgress* progress;
};

void OpenStatusDialog(HWND dialog, StatusParams* params) {
    SendDlgItemMessageW(dialog, IDC_PRINT_STATUS_PROGRESS, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
    SetWindowLongPtrW(dialog, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(params));
    params->progress->window.store(dialog);
    if (const wchar_t* format = ViewerGetText(params->context, text::kPrintingPages)) {
        wchar_t text[200];
        _snwprintf(text, 200, format, static_cast<int>(params->page_total));
        text[199] = 0;
        SetDlgItemTextW(dialog, IDC_PRINT_STATUS_TEXT, text);
    }
    ResumeThread(params->thread);
}

void CancelFromDialog(HWND dialog) {
    auto* params = reinterpret_cast<StatusParams*>(GetWindowLongPtrW(dialog, GWLP_USERDATA));
    if (params) params->progress->cancelled.store(1);
    EnableWindow(GetDlgItem(dialog, IDC_PRINT_STATUS_CANCEL), FALSE);
}

INT_PTR CALLBACK StatusDialogProc(HWND dialog, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG:
            OpenStatusDialog(dialog, reinterpret_cast<StatusParams*>(lparam));
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wparam) == IDC_PRINT_STATUS_CANCEL) CancelFromDialog(dialog);
            return TRUE;
        case kProgressMessage:
            SendDlgItemMessageW(dialog, IDC_PRINT_STATUS_PROGRESS, PBM_SETPOS, wparam, 0);
            return TRUE;
        case kJobEndedMessage:
            EndDialog(dialog, 0);
            return TRUE;
        case WM_CLOSE:
            // Closing the status is cancelling the job: start then waits for
            // the page in hand only, not for the rest of the document.
            CancelFromDialog(dialog);
            EndDialog(dialog, 0);
            return TRUE;
        default:
            return FALSE;
    }
}

// ---- Page steps

// How a sheet's image goes to the printer: where and by which path.
struct SendTarget {
    PointI target;
    uint32_t flags = 0;
    bool colour = false;
    bool takes_dibs = true;
};

void PaintMarkups(PrintJob& job, HDC dc, MarkupPage* page, const PrintLayout& layout, const PointI& target,
                  bool colour) {
    Ref<ViewMapping> mapping =
        ViewMappingConstruct(layout.page_id, target, layout.placement, layout.zoom_x, layout.zoom_y);
    Ref<MarkupView> view = ViewerGetMarkups(job.context.get())->CreateView(job.context.get());
    if (!mapping || !view) return;
    view->SetPage(page, mapping.get());
    view->Paint(job.context.get(), dc, markup_purpose::kPrinting, true, !colour);
    view->SetPage(nullptr, nullptr);
}

Ref<RasterImage> RenderForPrinter(PrintJob& job, DocItem* item, const PagePlacement& placement, bool colour) {
    Ref<RasterImage> image = item->RenderPage(job.context.get(), placement, job.progress.get());
    if (!image || colour || image->IsGrey()) return image;
    Ref<RasterImage> grey = RasterImageConvert(image.get(), 8);
    return grey ? grey : image;
}

// The reader decides whether a page is a negative from a render of most of
// it, and a band is not: a small render of the whole sheet decides first, so
// that every band is inverted alike.
void SettleNegative(PrintJob& job, DocItem* item, const PagePlacement& whole) {
    if (whole.negative_mode == 0) return;
    PagePlacement small;
    PagePlacementCopy(small, whole);
    const uint32_t longest = std::max(whole.pixel_width, whole.pixel_height);
    const double scale = std::min(1.0, double(kNegativeProbePixels) / std::max<uint32_t>(longest, 1));
    small.pixel_width = std::max<uint32_t>(1, uint32_t(whole.pixel_width * scale));
    small.pixel_height = std::max<uint32_t>(1, uint32_t(whole.pixel_height * scale));
    item->RenderPage(job.context.get(), small, nullptr);
}

// Whether the image went out whole: a packed bitmap and a send the driver took.
bool SendSheetImage(PrintJob& job, HDC dc, const SendTarget& send, const PointI& at,
                    const RasterImage& image) {
    PackedDib header = RasterImageToPackedDib(&image);
    return header &&
           PrintSendImage(dc, send.flags, send.takes_dibs, at, image, header.get(), job.progress.get());
}

// Each band rendered and sent at its rows of the sheet, one after the other,
// so that only one band's image is held at a time. False when any band did
// not go out.
bool SendBands(PrintJob& job, HDC dc, DocItem* item, const SendTarget& send,
               const std::vector<PrintBand>& bands) {
    ProgressSink* progress = job.progress.get();
    if (!ProgressPush(progress, static_cast<uint32_t>(bands.size()))) return false;
    bool sent = true;
    for (uint32_t b = 0; b < bands.size(); ++b) {
        if (progress->IsCancelled()) {
            sent = false;
            break;
        }
        ProgressStep(progress, b);
        Ref<RasterImage> image = RenderForPrinter(job, item, bands[b].placement, send.colour);
        const PointI at{send.target.x, send.target.y + static_cast<int32_t>(bands[b].top)};
        if (!image || !SendSheetImage(job, dc, send, at, *image)) sent = false;
    }
    ProgressPop(progress);
    return sent;
}

void PrintPage(PrintJob& job, HDC dc, uint32_t flags, uint32_t index, uint32_t repetitions) {
    ProgressSink* progress = job.progress.get();
    Ref<DocItem> item = PtrArrayGetAs<DocItem>(job.pages, index);
    if (!item) {
        job.pages_missed += repetitions;
        return;
    }
    Ref<MarkupPage> markups = job.options->markups ? item->GetRedlinePage(job.context.get(), true) : nullptr;
    ProgressPush(progress, 2);
    ProgressStep(progress, 0);
    Ref<PrintableArea> area = PrinterDeviceGetPrintableArea(*job.device);
    Ref<PrintLayout> layout =
        area ? PrintLayoutCompute(job.context.get(), job.provider.get(), item.get(), *job.options, area.get(),
                                  job.options->auto_orientation != 0)
             : nullptr;
    SendTarget send;
    send.flags = flags;
    {
        ScopedLock hold(job.device->lock);
        send.colour = job.device->colour;
        send.takes_dibs = job.device->device_independent_bitmaps;
    }
    if (!layout) {
        job.pages_missed += repetitions;
        ProgressPop(progress);
        return;
    }
    // A printer's device context starts at the printable area.
    send.target =
        PointI{layout->window_offset.x - RoundNearest(area->printable.origin.x * area->pixels_per_mm_x),
               layout->window_offset.y - RoundNearest(area->printable.origin.y * area->pixels_per_mm_y)};
    BandSource source = PrintBandSourceOf(item.get());
    if (PrintSendsThroughMemory(flags, send.takes_dibs))
        source.send_bits_per_pixel =
            static_cast<uint16_t>(GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES));
    const std::vector<PrintBand> bands = PrintBandsSplit(layout->placement, source);
    Ref<RasterImage> image;
    if (bands.empty()) {
        image = RenderForPrinter(job, item.get(), layout->placement, send.colour);
    } else {
        SettleNegative(job, item.get(), layout->placement);
    }
    ProgressStep(progress, 1);
    if (bands.empty() && !image) {
        job.pages_missed += repetitions;
    } else if (ProgressPush(progress, repetitions)) {
        for (uint32_t r = 0; r < repetitions && !progress->IsCancelled(); ++r) {
            ProgressStep(progress, r);
            if (StartPage(dc) <= 0) {
                ++job.pages_missed;
                continue;
            }
            const bool sent = image ? SendSheetImage(job, dc, send, send.target, *image)
                                    : SendBands(job, dc, item.get(), send, bands);
            // Markups and the user information go over the whole sheet once
            // its image is down; a sheet whose image did not go out stays
            // empty and is counted as missed.
            if (sent) {
                ++job.pages_sent;
                if (markups) PaintMarkups(job, dc, markups.get(), *layout, send.target, send.colour);
                if (job.options->user_information)
                    PrintUserInformation(dc, job.context.get(), item.get(), *area,
                                         static_cast<int32_t>(index),
                                         static_cast<int32_t>(PtrArrayCount(job.pages)));
            } else {
                ++job.pages_missed;
            }
            EndPage(dc);
        }
        ProgressPop(progress);
    }
    ProgressPop(progress);
}

DWORD WINAPI PrintThread(void* argument) {
    // The thread holds a reference of its own, so that start may stop
    // waiting for it without the job going away under it.
    Ref<PrintJob> job = Ref<PrintJob>::Adopt(static_cast<PrintJob*>(argument));
    if (!job->abandoned.load()) PrintJobRun(job.get());
    if (HWND window = job->progress ? job->progress->window.load() : nullptr)
        PostMessageW(window, kJobEndedMessage, 0, 0);
    job->finished.store(true);
    return 0;
}

}  // namespace

void PrintProgress::Report(float overall) {
    const int32_t percent = static_cast<int32_t>(std::floor(overall * 100.0 + 0.5));
    HWND dialog = window.load();
    if (!dialog || percent == last_percent.load()) return;
    last_percent.store(percent);
    SendMessageW(dialog, kProgressMessage, static_cast<WPARAM>(percent), 0);
}

Ref<PrintJob> PrintJobCreate(ViewerContext* context, PrintProvider* provider, const PtrArray& pages,
                             const PrintOptions& options, const PrinterDevice& device) {
    if (!context || !provider || PtrArrayCount(pages) == 0) return nullptr;
    Ref<PrintJob> job = MakeRef<PrintJob>();
    job->context = Ref<ViewerContext>(context);
    job->provider = Ref<PrintProvider>(provider);
    for (uint32_t i = 0; i < PtrArrayCount(pages); ++i) {
        if (Ref<DocItem> page = PtrArrayGetAs<DocItem>(pages, i)) PtrArrayAdd(job->pages, page.get());
    }
    job->options = PrintOptionsCopy(options);
    job->device = PrinterDeviceCopy(device);
    if (!job->options || !job->device) return nullptr;
    SettleCopies(*job);
    job->document_name = DocumentName(context, job->pages);
    return job;
}

void PrintJobRun(PrintJob* job) {
    if (!job->progress) job->progress = MakeRef<PrintProgress>();
    ProgressSink* progress = job->progress.get();
    const uint32_t page_count = PtrArrayCount(job->pages);
    const bool single = page_count == 1;
    const uint32_t passes = single ? 1 : job->repeat_count;
    const uint32_t repetitions = single ? job->repeat_count : 1;

    MemoryDC dc = MemoryDC::Adopt(PrinterDeviceCreateDC(*job->device));
    if (!dc) {
        job->outcome.store(PrintOutcome::kNoDevice);
        return;
    }
    SetMapMode(dc.get(), MM_TEXT);
    uint32_t flags = 0;
    {
        ScopedLock hold(job->device->lock);
        flags = job->device->workaround_bits;
    }
    const WString name = job->document_name;
    DOCINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpszDocName = WStrCStr(name);
    if (StartDocW(dc.get(), &info) <= 0) {
        job->outcome.store(PrintOutcome::kRefused);
        return;
    }
    ProgressClear(progress);
    ProgressPush(progress, passes);
    for (uint32_t pass = 0; pass < passes && !progress->IsCancelled(); ++pass) {
        ProgressStep(progress, pass);
        if (!ProgressPush(progress, page_count)) break;
        for (uint32_t i = 0; i < page_count && !progress->IsCancelled(); ++i) {
            ProgressStep(progress, i);
            PrintPage(*job, dc.get(), flags, i, repetitions);
        }
        ProgressPop(progress);
    }
    if (progress->IsCancelled()) {
        AbortDoc(dc.get());
        job->outcome.store(PrintOutcome::kCancelled);
    } else {
        EndDoc(dc.get());
        // A sheet that could not be laid out, rendered, started or sent is
        // missed; the user must hear of every one.
        PrintOutcome outcome = PrintOutcome::kPrinted;
        if (job->pages_missed > 0)
            outcome = job->pages_sent == 0 ? PrintOutcome::kNothingPrinted : PrintOutcome::kPartlyPrinted;
        job->outcome.store(outcome);
    }
    ProgressPop(progress);
}

bool PrintJobStart(PrintJob* job) {
    if (!job) return false;
    RefAddRef(job);  // the thread's reference
    DWORD thread_id = 0;
    job->thread.Reset(CreateModuleThread(PrintThread, job, CREATE_SUSPENDED, &thread_id));
    if (!job->thread) {
        RefRelease(job);
        return false;
    }
    SetThreadPriority(job->thread.get(), THREAD_PRIORITY_BELOW_NORMAL);
    job->progress = MakeRef<PrintProgress>();
    const uint32_t total = job->options->copies * PtrArrayCount(job->pages);
    const bool shown = PrintStatusDialogShow(ViewerGetFrameHwnd(job->context.get()), job->context.get(),
                                             total, job->thread.get(), job->progress.get());
    if (!shown || !job->progress->window.load()) {
        // The dialog never opened, so the thread never ran: let it end at
        // once instead of leaving it suspended with its reference.
        job->abandoned.store(true);
        ResumeThread(job->thread.get());
    }
    for (DWORD waited = 0; !job->finished.load() && waited < kThreadEndWaitMs; waited += kPollMs) {
        if (WaitForSingleObject(job->thread.get(), kPollMs) == WAIT_OBJECT_0) break;
    }
    job->thread.Reset();
    return shown;
}

bool PrintStatusDialogShow(HWND parent, ViewerContext* context, uint32_t page_total, HANDLE thread,
                           PrintProgress* progress) {
    if (!parent || !context || !thread || !progress) return false;
    StatusParams params{context, page_total, thread, progress};
    const INT_PTR result = DialogBoxParamW(ViewerGetInstance(context), MAKEINTRESOURCEW(IDD_PRINT_STATUS),
                                           parent, StatusDialogProc, reinterpret_cast<LPARAM>(&params));
    return result != -1 && progress->window.load() != nullptr;
}

// ---- Sending

uint32_t PrintStripWidth(const RasterImage& image) {
    if (image.bits_per_pixel == 0 || image.height == 0) return std::max<uint32_t>(image.width, 1);
    uint32_t width = kStripBits / image.bits_per_pixel / image.height;
    // Every strip starts on a whole byte of its rows: Wine's PostScript
    // driver reads a source column inside a byte from the byte's start,
    // which moved every strip but the first of a 1-bit page.
    if (image.bits_per_pixel < 8) {
        const uint32_t per_byte = 8u / image.bits_per_pixel;
        width = std::max(width / per_byte * per_byte, per_byte);
    }
    return std::clamp<uint32_t>(width, 1, std::max<uint32_t>(image.width, 1));
}

namespace {

bool SendDirect(HDC dc, uint32_t flags, const PointI& target, const RasterImage& image, BITMAPINFO* header) {
    const int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
    if (!(flags & printer_workaround::kVerticalStrips)) {
        return SetDIBitsToDevice(dc, target.x, target.y, width, height, 0, 0, 0, height, image.pixels, header,
                                 DIB_RGB_COLORS) >= 1;
    }
    const uint32_t strip = PrintStripWidth(image);
    bool sent = true;
    for (uint32_t column = 0; column < image.width; column += strip) {
        const int columns = static_cast<int>(std::min(strip, image.width - column));
        if (SetDIBitsToDevice(dc, target.x + static_cast<int>(column), target.y, columns, height,
                              static_cast<int>(column), 0, 0, height, image.pixels, header,
                              DIB_RGB_COLORS) == 0)
            sent = false;
    }
    return sent;
}

bool SendThroughMemory(HDC dc, const PointI& target, const RasterImage& image, BITMAPINFO* header,
                       ProgressSink* progress) {
    const int width = static_cast<int>(image.width), height = static_cast<int>(image.height);
    MemoryDC memory(dc);
    GdiBitmap bitmap(CreateCompatibleBitmap(dc, width, height));
    if (!memory || !bitmap) return false;
    if (SetDIBits(memory.get(), bitmap.get(), 0, image.height, image.pixels, header, DIB_RGB_COLORS) == 0)
        return false;
    ProgressReport(progress, 0.15f);
    bool sent = false;
    {
        ScopedSelect select(memory.get(), bitmap.get());
        sent = BitBlt(dc, target.x, target.y, width, height, memory.get(), 0, 0, SRCCOPY) != FALSE;
    }
    ProgressReport(progress, 0.3f);
    return sent;
}

}  // namespace

bool PrintSendsThroughMemory(uint32_t flags, bool device_takes_dibs) {
    return !(flags & printer_workaround::kDirectToDevice) &&
           (!device_takes_dibs || (flags & printer_workaround::kThroughMemoryBitmap));
}

bool PrintSendImage(HDC dc, uint32_t flags, bool device_takes_dibs, const PointI& target,
                    const RasterImage& image, BITMAPINFO* header, ProgressSink* progress) {
    if (PrintSendsThroughMemory(flags, device_takes_dibs))
        return SendThroughMemory(dc, target, image, header, progress);
    header->bmiHeader.biSizeImage = 0;
    return SendDirect(dc, flags, target, image, header);
}

// ---- User information

namespace {

// Lines split at CR and LF: a CR LF or LF CR pair is one break, two equal
// break characters in a row leave an empty line between them.
std::vector<std::wstring> SplitLines(const wchar_t* text) {
    std::vector<std::wstring> lines(1);
    for (const wchar_t* at = text; *at; ++at) {
        if (*at != L'\r' && *at != L'\n') {
            lines.back().push_back(*at);
            continue;
        }
        const wchar_t partner = *at == L'\r' ? L'\n' : L'\r';
        if (at[1] == partner) ++at;
        lines.emplace_back();
    }
    return lines;
}

int32_t LineWidth(HDC dc, const std::wstring& line) {
    SIZE size = {};
    if (line.empty() || !GetTextExtentPoint32W(dc, line.c_str(), static_cast<int>(line.size()), &size))
        return 0;
    return size.cx;
}

PointI BoxPosition(int32_t position, const SizeI& printable, const SizeI& box, int32_t mx, int32_t my) {
    const int32_t left = mx, centre_x = (printable.width - box.width) / 2,
                  right = printable.width - box.width - mx;
    const int32_t top = my, centre_y = (printable.height - box.height) / 2,
                  bottom = printable.height - box.height - my;
    switch (position) {
        case 0:
            return {left, top};
        case 1:
            return {centre_x, top};
        case 2:
            return {right, top};
        case 3:
            return {left, centre_y};
        case 4:
            return {centre_x, centre_y};
        case 5:
            return {right, centre_y};
        case 6:
            return {left, bottom};
        case 7:
            return {centre_x, bottom};
        default:
            return {right, bottom};
    }
}

}  // namespace

bool PrintUserInformation(HDC dc, ViewerContext* context, DocItem* item, const PrintableArea& area,
                          int32_t page_index, int32_t page_count) {
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings) return false;
    VarText text;
    VarTextSet(text, SettingsGetUserInfoText(settings.get()));
    if (WStrLength(text.text) == 0) return false;
    VarContext variables(item);
    variables.page_number = page_index;
    variables.page_count = page_count;
    WString expanded;
    VarTextExpand(text, context, &variables, expanded);
    if (WStrLength(expanded) == 0) return false;

    const int32_t flags = SettingsGetUserInfoFlags(settings.get());
    const bool large = (flags & 4) != 0;
    const double char_height = large ? 5.0 : 3.0, line_gap = large ? 2.0 : 1.0;
    const double per_mm_x = area.pixels_per_mm_x, per_mm_y = area.pixels_per_mm_y;
    GdiFont font(CreateFontW(-RoundNearest(char_height * per_mm_y), 0, 0, 0, large ? FW_BOLD : FW_NORMAL, 0,
                             0, 0, 0, 0, 0, 0, kFontPitchAndFamily, L"ARIAL"));
    if (!font) return false;
    ScopedSelect select_font(dc, font.get());
    const COLORREF old_colour = SetTextColor(dc, 0);
    const int old_mode = SetBkMode(dc, TRANSPARENT);

    const std::vector<std::wstring> lines = SplitLines(WStrCStr(expanded));
    int32_t widest = 0;
    for (const std::wstring& line : lines) widest = std::max(widest, LineWidth(dc, line));
    bool drawn = false;
    if (widest > 0) {
        const int32_t count = static_cast<int32_t>(lines.size());
        const SizeI box{widest + RoundNearest(2 * per_mm_x),
                        RoundNearest(((count - 1) * line_gap + count * char_height + 2) * per_mm_y)};
        const int32_t mx = RoundNearest(per_mm_x), my = RoundNearest(per_mm_y);
        const SizeI printable{RoundNearest(area.printable.size.width * per_mm_x),
                              RoundNearest(area.printable.size.height * per_mm_y)};
        const int32_t position = SettingsGetUserInfoPosition(settings.get());
        const PointI at = BoxPosition(position, printable, box, mx, my);
        if (!(flags & 1) || (flags & 2)) {
            ScopedSelect pen(dc, GetStockObject((flags & 2) ? BLACK_PEN : NULL_PEN));
            ScopedSelect brush(dc, GetStockObject((flags & 1) ? NULL_BRUSH : WHITE_BRUSH));
            Rectangle(dc, at.x, at.y, at.x + box.width - 1, at.y + box.height - 1);
        }
        for (int32_t i = 0; i < count; ++i) {
            const std::wstring& line = lines[static_cast<size_t>(i)];
            if (line.empty()) continue;
            const int32_t y = at.y + RoundNearest(((line_gap + char_height) * i + 1) * per_mm_y);
            const int32_t width = LineWidth(dc, line);
            int32_t x = at.x + box.width - 1 - width - mx;
            if (position == 0 || position == 3 || position == 6) x = at.x + mx;
            if (position == 1 || position == 4 || position == 7) x = at.x + box.width / 2 - width / 2;
            TextOutW(dc, x, y, line.c_str(), static_cast<int>(line.size()));
        }
        drawn = true;
    }
    SetBkMode(dc, old_mode);
    SetTextColor(dc, old_colour);
    return drawn;
}
