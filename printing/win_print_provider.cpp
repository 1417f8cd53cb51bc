#include "printing/win_print_provider.h"

#include <winspool.h>

#include <vector>

#include "foundation/handles.h"
#include "printing/print_job.h"
#include "resources/text_ids.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/viewer_message.h"
#include "viewer/documents/doc_item.h"

namespace {

constexpr DWORD kPrinterListBytes = 60000;
constexpr DWORD kPrinterInfoBytes = 20000;
constexpr DWORD kDefaultPrinterChars = 300;
constexpr WORD kDefaultPrinterOrdinal = 203;
constexpr uint32_t kBinNameChars = 24;
constexpr uint32_t kPaperNameChars = 64;
constexpr uint32_t kPrintableItemTypes = doc_type::kPage | doc_type::kComparison | doc_type::kComparisonPage;

WString FixedText(const wchar_t* chars, uint32_t max) {
    WString text;
    return WStrAssignN(text, chars, static_cast<uint32_t>(wcsnlen(chars, max)));
}

WString TextOf(const wchar_t* chars) { return chars ? WString(chars) : WString(); }

// Last index whose code equals `code`, searched from the end.
template <class Entry>
int32_t LastWithCode(const PtrArray& list, int32_t code) {
    for (uint32_t i = PtrArrayCount(list); i-- > 0;) {
        Ref<Entry> entry = PtrArrayGetAs<Entry>(list, i);
        if (entry && entry->code == code) return static_cast<int32_t>(i);
    }
    return -1;
}

}  // namespace

WString SpoolerDefaultPrinter() {
    using Query = BOOL(WINAPI*)(wchar_t*, DWORD*);
    HMODULE spooler = GetModuleHandleW(L"winspool.drv");
    if (!spooler) return {};
    auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(spooler, MAKEINTRESOURCEA(kDefaultPrinterOrdinal))));
    wchar_t name[kDefaultPrinterChars] = L"";
    DWORD size = kDefaultPrinterChars;
    if (!query || !query(name, &size)) return {};
    return FixedText(name, kDefaultPrinterChars);
}

WString& WinPrintProvider::GetName(WString& out) { return WStrAssign(out, name_); }

bool WinPrintProvider::Init() {
    ScopedLock hold(lock_);
    if (!device_) device_ = MakeRef<PrinterDevice>();
    return true;
}

Ref<PrinterDevice> WinPrintProvider::GetDevice() {
    ScopedLock hold(lock_);
    return device_;
}

WString WinPrintProvider::DefaultPrinterName() {
    ScopedLock hold(lock_);
    return default_printer_;
}

void WinPrintProvider::ReadPrinters() {
    ScopedLock hold(lock_);
    PtrArrayClear(printers_);
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<uint8_t> buffer(kPrinterListBytes);
    DWORD needed = 0, count = 0;
    if (!EnumPrintersW(flags, nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                       &count)) {
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size()) return;
        buffer.assign(needed, 0);
        if (!EnumPrintersW(flags, nullptr, 2, buffer.data(), needed, &needed, &count)) return;
    }
    const auto* records = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (!records[i].pPrinterName || !records[i].pPrinterName[0]) continue;
        Ref<PrinterEntry> entry = MakeRef<PrinterEntry>();
        entry->name = records[i].pPrinterName;
        entry->location = TextOf(records[i].pLocation);
        entry->comment = TextOf(records[i].pComment);
        PtrArrayAdd(printers_, entry.get());
    }
}

void WinPrintProvider::ReadBins() {
    ScopedLock hold(lock_);
    PtrArrayClear(bins_);
    if (!device_) return;
    const int32_t count = PrinterDeviceGetCapabilities(*device_, DC_BINS, nullptr);
    if (count <= 0) return;
    std::vector<WORD> codes(static_cast<size_t>(count));
    std::vector<wchar_t> names(static_cast<size_t>(count) * kBinNameChars, L'\0');
    if (PrinterDeviceGetCapabilities(*device_, DC_BINS, reinterpret_cast<wchar_t*>(codes.data())) != count)
        return;
    const bool named = PrinterDeviceGetCapabilities(*device_, DC_BINNAMES, names.data()) == count;
    for (int32_t i = 0; i < count; ++i) {
        Ref<PaperBinEntry> entry = MakeRef<PaperBinEntry>();
        entry->code = codes[i];
        if (named) entry->name = FixedText(&names[i * kBinNameChars], kBinNameChars);
        PtrArrayAdd(bins_, entry.get());
    }
}

void WinPrintProvider::ReadPapers() {
    ScopedLock hold(lock_);
    PtrArrayClear(papers_);
    if (!device_) return;
    const int32_t count = PrinterDeviceGetCapabilities(*device_, DC_PAPERS, nullptr);
    if (count <= 0) return;
    std::vector<WORD> codes(static_cast<size_t>(count));
    std::vector<wchar_t> names(static_cast<size_t>(count) * kPaperNameChars, L'\0');
    std::vector<POINT> sizes(static_cast<size_t>(count));
    if (PrinterDeviceGetCapabilities(*device_, DC_PAPERS, reinterpret_cast<wchar_t*>(codes.data())) != count)
        return;
    const bool named = PrinterDeviceGetCapabilities(*device_, DC_PAPERNAMES, names.data()) == count;
    const bool sized = PrinterDeviceGetCapabilities(*device_, DC_PAPERSIZE,
                                                    reinterpret_cast<wchar_t*>(sizes.data())) == count;
    for (int32_t i = 0; i < count; ++i) {
        Ref<PaperEntry> entry = MakeRef<PaperEntry>();
        entry->code = codes[i];
        if (named) entry->name = FixedText(&names[i * kPaperNameChars], kPaperNameChars);
        if (sized) {
            entry->width_mm = sizes[i].x / 10.0;  // tenths of a millimetre
            entry->height_mm = sizes[i].y / 10.0;
        }
        PtrArrayAdd(papers_, entry.get());
    }
}

bool WinPrintProvider::LoadSettings(ViewerContext* context) {
    if (!context) return false;
    if (GetDevice()) {
        WString name = SpoolerDefaultPrinter();
        ScopedLock hold(lock_);
        default_printer_ = name;
    }
    ReadPrinters();
    WString current;
    GetCurrentPrinter(current);
    if (WStrLength(current)) return SelectPrinter(context, current);
    const WString fallback = DefaultPrinterName();
    return WStrLength(fallback) && SelectPrinter(context, fallback);
}

uint32_t WinPrintProvider::GetPrinterCount() {
    ScopedLock hold(lock_);
    return PtrArrayCount(printers_);
}

Ref<PrinterEntry> WinPrintProvider::GetPrinterAt(uint32_t index) {
    ScopedLock hold(lock_);
    return PtrArrayGetAs<PrinterEntry>(printers_, index);
}

bool WinPrintProvider::SelectPrinter(ViewerContext* context, const WString& name) {
    if (!context) return false;
    const WString chosen = WStrLength(name) ? name : DefaultPrinterName();
    Ref<PrinterDevice> device = GetDevice();
    if (!device || !WStrLength(chosen) || !PrinterDeviceOpen(*device, context, chosen)) return false;
    {
        ScopedLock hold(lock_);
        current_printer_ = chosen;
    }
    ReadBins();
    ReadPapers();
    return true;
}

WString& WinPrintProvider::GetCurrentPrinter(WString& out) {
    ScopedLock hold(lock_);
    return WStrAssign(out, current_printer_);
}

bool WinPrintProvider::Print(ViewerContext* context, HWND parent, const PtrArray& pages,
                             PrintOptions* options) {
    Ref<PrinterDevice> device = GetDevice();
    if (!context || !options || !device || PtrArrayCount(pages) == 0) return false;
    Ref<PrintJob> job = PrintJobCreate(context, this, pages, *options, *device);
    if (!job || !PrintJobStart(job.get())) return false;
    const PrintOutcome outcome = job->outcome.load();
    if (outcome == PrintOutcome::kNoDevice || outcome == PrintOutcome::kRefused) {
        // The printer went away (or stopped taking jobs) after it was chosen.
        ViewerShowMessage(context, text::kPrinterUnreachable, kMessageError);
        return false;
    }
    // A sheet that did not go out is never passed over in silence; the
    // answer is false only when nothing went out at all.
    if (outcome == PrintOutcome::kNothingPrinted || outcome == PrintOutcome::kPartlyPrinted)
        ViewerShowMessage(context, text::kCannotPrint, kMessageError);
    return outcome == PrintOutcome::kPrinted || outcome == PrintOutcome::kPartlyPrinted;
}

bool WinPrintProvider::ShowProperties(ViewerContext* context, HWND parent) {
    Ref<PrinterDevice> device = GetDevice();
    return context && device && PrinterDeviceShowProperties(*device, context, parent);
}

bool WinPrintProvider::HasFeature(uint32_t code) {
    namespace f = print_feature;
    switch (code) {
        case f::kBins:
            return GetBinCount() > 1;
        case f::kPapers:
            return GetPaperCount() > 1;
        case f::kCopies:
        case f::kCollation:
        case f::kColour: {
            Ref<PrinterDevice> device = GetDevice();
            if (!device) return false;
            ScopedLock hold(device->lock);
            return code == f::kCopies      ? device->copies_supported
                   : code == f::kCollation ? device->collation_supported
                                           : device->colour;
        }
        case f::kFold:
        case f::kCover:
            return false;
        default:
            return code <= f::kUnnamed;
    }
}

bool WinPrintProvider::CanPrintItem(DocItem* item) {
    return item && (DocItemGetType(item) & kPrintableItemTypes) != 0;
}

uint32_t WinPrintProvider::GetPaperCount() {
    ScopedLock hold(lock_);
    return PtrArrayCount(papers_);
}

Ref<PaperEntry> WinPrintProvider::GetPaperAt(uint32_t index) {
    ScopedLock hold(lock_);
    return PtrArrayGetAs<PaperEntry>(papers_, index);
}

int32_t WinPrintProvider::GetCurrentPaper() {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return -1;
    int32_t size;
    {
        ScopedLock hold(device->lock);
        size = device->paper_size;
    }
    if (size <= 0) return -1;
    ScopedLock hold(lock_);
    return LastWithCode<PaperEntry>(papers_, size);
}

bool WinPrintProvider::SelectPaper(ViewerContext* context, uint32_t index) {
    Ref<PrinterDevice> device = GetDevice();
    Ref<PaperEntry> paper = GetPaperAt(index);
    if (!device || !context || !paper) return false;
    PrinterDeviceSetPaperSize(*device, context, paper->code);
    return true;
}

uint32_t WinPrintProvider::GetOrientation() {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return 0;
    ScopedLock hold(device->lock);
    return device->landscape;
}

bool WinPrintProvider::SetOrientation(ViewerContext* context, uint32_t value) {
    Ref<PrinterDevice> device = GetDevice();
    if (!device || !context) return false;
    PrinterDeviceSetOrientation(*device, context, value);
    return true;
}

Ref<PrintableArea> WinPrintProvider::GetPrintableArea() {
    Ref<PrinterDevice> device = GetDevice();
    return device ? PrinterDeviceGetPrintableArea(*device) : nullptr;
}

uint32_t WinPrintProvider::GetBinCount() {
    ScopedLock hold(lock_);
    return PtrArrayCount(bins_);
}

Ref<PaperBinEntry> WinPrintProvider::GetBinAt(uint32_t index) {
    ScopedLock hold(lock_);
    return PtrArrayGetAs<PaperBinEntry>(bins_, index);
}

bool WinPrintProvider::SelectBin(ViewerContext* context, uint32_t index) {
    Ref<PrinterDevice> device = GetDevice();
    Ref<PaperBinEntry> bin = GetBinAt(index);
    if (!device || !context || !bin) return false;
    PrinterDeviceSetPaperSource(*device, context, bin->code);
    return true;
}

int32_t WinPrintProvider::GetCurrentBin() {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return -1;
    int32_t source;
    {
        ScopedLock hold(device->lock);
        source = device->paper_source;
    }
    if (source <= 0) return -1;
    ScopedLock hold(lock_);
    return LastWithCode<PaperBinEntry>(bins_, source);
}

WString& WinPrintProvider::GetStatusText(WString& out, ViewerContext* context) {
    WStrClear(out);
    WString name;
    GetCurrentPrinter(name);
    if (!WStrLength(name)) return out;
    PrinterHandle printer;
    if (!OpenPrinterW(const_cast<wchar_t*>(WStrCStr(name)), printer.Put(), nullptr)) return out;
    std::vector<uint8_t> buffer(kPrinterInfoBytes);
    DWORD needed = 0;
    if (!GetPrinterW(printer.get(), 2, buffer.data(), kPrinterInfoBytes, &needed)) return out;
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    return WStrAssignChars(out, ViewerTextOrEmpty(context, PrinterStatusTextId(info->Status)));
}

uint32_t WinPrintProvider::GetCopies() {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return 1;
    ScopedLock hold(device->lock);
    return device->copies_supported ? device->copies : 0;
}

bool WinPrintProvider::SetCopies(ViewerContext* context, uint32_t number) {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return false;
    PrinterDeviceSetCopies(*device, context, number);
    return true;
}

bool WinPrintProvider::GetCollate() {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return false;
    ScopedLock hold(device->lock);
    return device->collation_supported && device->collation;
}

bool WinPrintProvider::SetCollate(ViewerContext* context, bool on) {
    Ref<PrinterDevice> device = GetDevice();
    if (!device) return false;
    PrinterDeviceSetCollate(*device, context, on);
    return true;
}
