#include "printing/printer_device.h"

#include <winspool.h>

#include <cstring>

#include "foundation/handles.h"
#include "printing/printer_workarounds.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/viewer_context.h"
#include "viewer/model/paper_format_matcher.h"

namespace {

namespace wa = printer_workaround;

constexpr double kMmPerInch = 25.4;

DEVMODEW* AsDevmode(std::vector<uint8_t>& bytes) { return reinterpret_cast<DEVMODEW*>(bytes.data()); }

// The request goes into a copy of the earlier settings, so that a change the
// driver refuses never reaches the settings the next CreateDC uses.
void WriteChange(DEVMODEW& mode, const PrinterChange& change) {
    if (change.mask & PrinterChange::kCopies) {
        mode.dmFields |= DM_COPIES;
        mode.dmCopies = static_cast<short>(change.copies & 0xFFFF);
    }
    if (change.mask & PrinterChange::kCollate) {
        mode.dmFields |= DM_COLLATE;
        mode.dmCollate = change.collate ? DMCOLLATE_TRUE : DMCOLLATE_FALSE;
    }
    if (change.mask & PrinterChange::kPaperSize) {
        mode.dmFields |= DM_PAPERSIZE;
        mode.dmPaperSize = static_cast<short>(change.paper_size);
    }
    if (change.mask & PrinterChange::kPaperSource) {
        mode.dmFields |= DM_DEFAULTSOURCE;
        mode.dmDefaultSource = static_cast<short>(change.paper_source);
    }
    if (change.mask & PrinterChange::kOrientation) {
        mode.dmFields |= DM_ORIENTATION;
        mode.dmOrientation = change.orientation ? DMORIENT_LANDSCAPE : DMORIENT_PORTRAIT;
    }
}

// The settings the driver is handed as its input: the device's own when it
// holds this printer's; another printer's private part means nothing to this
// driver, so a change of printer starts from the new driver's defaults, with
// the request's public fields written over them.
std::vector<uint8_t> InputSettings(PrinterDevice& device, HANDLE printer, const WString& name, size_t size,
                                   const PrinterChange* change) {
    std::vector<uint8_t> input;
    {
        ScopedLock hold(device.lock);
        if (!device.devmode.empty() && WStrEqualsNoCaseStr(device.printer_name, name)) input = device.devmode;
    }
    if (input.empty() && change && change->mask) {
        input.assign(size, 0);
        AsDevmode(input)->dmSize = sizeof(DEVMODEW);
        if (DocumentPropertiesW(nullptr, printer, const_cast<wchar_t*>(WStrCStr(name)), AsDevmode(input),
                                nullptr, DM_OUT_BUFFER) != IDOK) {
            input.clear();
        }
    }
    return input;
}

void StoreCapabilities(PrinterDevice& device, ViewerContext* context, HDC info, const WString& name,
                       const DEVMODEW& mode, uint32_t bits) {
    const int width = GetDeviceCaps(info, PHYSICALWIDTH), height = GetDeviceCaps(info, PHYSICALHEIGHT);
    const int offset_x = GetDeviceCaps(info, PHYSICALOFFSETX),
              offset_y = GetDeviceCaps(info, PHYSICALOFFSETY);
    const int printable_x = GetDeviceCaps(info, HORZRES), printable_y = GetDeviceCaps(info, VERTRES);
    const int dpi_x = GetDeviceCaps(info, LOGPIXELSX), dpi_y = GetDeviceCaps(info, LOGPIXELSY);
    const int bits_per_pixel = GetDeviceCaps(info, BITSPIXEL);
    const int raster = GetDeviceCaps(info, RASTERCAPS);
    Ref<PrintableArea> area = PrintableAreaFromDevice(
        static_cast<uint32_t>(width), static_cast<uint32_t>(height),
        RectI{{printable_x, printable_y}, {offset_x, offset_y}}, dpi_x / kMmPerInch, dpi_y / kMmPerInch);

    WString paper_name;
    if (!(bits & wa::kNeverFormName) && ((mode.dmFields & DM_FORMNAME) || (bits & wa::kAlwaysFormName))) {
        WStrAssignN(paper_name, mode.dmFormName,
                    static_cast<uint32_t>(wcsnlen(mode.dmFormName, CCHFORMNAME)));
    } else if (Ref<AppRoot> app = ViewerGetApp(context)) {
        PaperFormatName(&app->paper_formats, area->paper, paper_name);
    }

    bool colour;
    if (bits & wa::kBlackAndWhite) {
        colour = false;
    } else if (bits & wa::kColour) {
        colour = true;
    } else {
        const int answer = DeviceCapabilitiesW(WStrCStr(name), nullptr, DC_COLORDEVICE, nullptr, &mode);
        colour = answer == 1 || (answer != 0 && bits_per_pixel > 1);
    }

    ScopedLock hold(device.lock);
    device.landscape = mode.dmOrientation != DMORIENT_PORTRAIT ? 1 : 0;
    device.copies_supported = (mode.dmFields & DM_COPIES) != 0;
    device.copies = device.copies_supported ? static_cast<uint16_t>(mode.dmCopies) : 0;
    device.collation_supported = (mode.dmFields & DM_COLLATE) != 0;
    device.collation = device.collation_supported && mode.dmCollate == DMCOLLATE_TRUE;
    device.printable_area = area;
    device.paper_name = paper_name;
    device.printer_name = name;
    device.paper_size = mode.dmPaperSize;
    device.paper_source = mode.dmDefaultSource;
    device.workaround_bits = bits;
    device.banding = (raster & RC_BANDING) != 0;
    device.large_bitmaps = (raster & RC_BITMAP64) != 0;
    // The direct send is SetDIBitsToDevice, which RC_DIBTODEV promises; a
    // driver that has it without SetDIBits (RC_DI_BITMAP), as Wine's
    // PostScript driver, would otherwise be sent the memory path, whose
    // device bitmap of an A0 sheet does not fit a 32-bit process.
    device.device_independent_bitmaps = (raster & (RC_DI_BITMAP | RC_DIBTODEV)) != 0;
    device.stretch_device_independent_bitmaps = (raster & RC_STRETCHDIB) != 0;
    device.colour = colour;
}

bool Apply(PrinterDevice& device, ViewerContext* context, const WString& name, bool prompt, HWND parent,
           const PrinterChange* change) {
    if ((prompt && !parent) || !WStrLength(name)) return false;
    const uint32_t bits = context ? PrinterWorkaroundsFor(context, name) : 0;
    wchar_t* printer_name = const_cast<wchar_t*>(WStrCStr(name));
    PrinterHandle printer;
    if (!OpenPrinterW(printer_name, printer.Put(), nullptr)) return false;

    const LONG size = DocumentPropertiesW(nullptr, printer.get(), printer_name, nullptr, nullptr, 0);
    if (size < static_cast<LONG>(sizeof(DEVMODEW))) return false;
    std::vector<uint8_t> settings(static_cast<size_t>(size), 0);
    AsDevmode(settings)->dmSize = sizeof(DEVMODEW);

    DWORD mode = DM_OUT_BUFFER | (prompt ? DM_IN_PROMPT : 0);
    std::vector<uint8_t> input = InputSettings(device, printer.get(), name, settings.size(), change);
    if (!input.empty()) {
        mode |= DM_IN_BUFFER;
        DEVMODEW& previous = *AsDevmode(input);
        if (bits & wa::kClearPaperMarks) previous.dmFields &= ~(DM_PAPERLENGTH | DM_PAPERWIDTH | DM_FORMNAME);
        if (change) WriteChange(previous, *change);
    }
    if (DocumentPropertiesW(parent, printer.get(), printer_name, AsDevmode(settings),
                            input.empty() ? nullptr : AsDevmode(input), mode) != IDOK) {
        return false;  // the device keeps its previous state
    }

    DEVMODEW& answer = *AsDevmode(settings);
    if (bits & wa::kMarkPaperDimensions) {
        if (answer.dmPaperWidth > 0) answer.dmFields |= DM_PAPERWIDTH;
        if (answer.dmPaperLength > 0) answer.dmFields |= DM_PAPERLENGTH;
    }
    bool ok = false;
    if (MemoryDC info = MemoryDC::Adopt(CreateICW(L"WINSPOOL", printer_name, nullptr, &answer)); info) {
        StoreCapabilities(device, context, info.get(), name, answer, bits);
        ok = true;
    }
    ScopedLock hold(device.lock);
    device.devmode = std::move(settings);
    return ok;
}

bool ApplyOne(PrinterDevice& device, ViewerContext* context, const PrinterChange& change) {
    WString name;
    {
        ScopedLock hold(device.lock);
        name = device.printer_name;
    }
    return Apply(device, context, name, false, nullptr, &change);
}

}  // namespace

PrinterDevice::PrinterDevice(const PrinterDevice& other) : RefCounted() {
    ScopedLock hold(other.lock);
    printer_name = other.printer_name;
    paper_name = other.paper_name;
    paper_size = other.paper_size;
    paper_source = other.paper_source;
    if (other.printable_area) printable_area = PrintableAreaCopy(*other.printable_area);
    landscape = other.landscape;
    banding = other.banding;
    device_independent_bitmaps = other.device_independent_bitmaps;
    stretch_device_independent_bitmaps = other.stretch_device_independent_bitmaps;
    large_bitmaps = other.large_bitmaps;
    colour = other.colour;
    workaround_bits = other.workaround_bits;
    devmode = other.devmode;
    copies_supported = other.copies_supported;
    copies = other.copies;
    collation_supported = other.collation_supported;
    collation = other.collation;
}

Ref<PrinterDevice> PrinterDeviceCopy(const PrinterDevice& device) { return MakeRef<PrinterDevice>(device); }

bool PrinterDeviceOpen(PrinterDevice& device, ViewerContext* context, const WString& name,
                       const PrinterChange* change) {
    if (!WStrLength(name)) return false;
    if (Apply(device, context, name, false, nullptr, change)) return true;
    ScopedLock hold(device.lock);
    device.devmode.clear();
    WStrClear(device.printer_name);
    WStrClear(device.paper_name);
    device.workaround_bits = 0;
    return false;
}

bool PrinterDeviceSetCopies(PrinterDevice& device, ViewerContext* context, uint32_t copies) {
    return ApplyOne(device, context, {.mask = PrinterChange::kCopies, .copies = copies});
}

bool PrinterDeviceSetCollate(PrinterDevice& device, ViewerContext* context, bool on) {
    return ApplyOne(device, context, {.mask = PrinterChange::kCollate, .collate = on});
}

bool PrinterDeviceSetPaperSize(PrinterDevice& device, ViewerContext* context, uint16_t paper_size) {
    return ApplyOne(device, context, {.mask = PrinterChange::kPaperSize, .paper_size = paper_size});
}

bool PrinterDeviceSetOrientation(PrinterDevice& device, ViewerContext* context, uint32_t landscape) {
    return ApplyOne(device, context, {.mask = PrinterChange::kOrientation, .orientation = landscape});
}

bool PrinterDeviceSetPaperSource(PrinterDevice& device, ViewerContext* context, uint16_t source) {
    return ApplyOne(device, context, {.mask = PrinterChange::kPaperSource, .paper_source = source});
}

bool PrinterDeviceShowProperties(PrinterDevice& device, ViewerContext* context, HWND parent,
                                 const PrinterChange* change) {
    WString name;
    {
        ScopedLock hold(device.lock);
        name = device.printer_name;
    }
    if (!parent || !WStrLength(name)) return false;
    return Apply(device, context, name, true, parent, change);
}

Ref<PrintableArea> PrinterDeviceGetPrintableArea(const PrinterDevice& device) {
    ScopedLock hold(device.lock);
    return device.printable_area;
}

HDC PrinterDeviceCreateDC(const PrinterDevice& device) {
    ScopedLock hold(device.lock);
    if (!WStrLength(device.printer_name)) return nullptr;
    const DEVMODEW* mode =
        device.devmode.empty() ? nullptr : reinterpret_cast<const DEVMODEW*>(device.devmode.data());
    return CreateDCW(L"WINSPOOL", WStrCStr(device.printer_name), nullptr, mode);
}

int32_t PrinterDeviceGetCapabilities(const PrinterDevice& device, WORD capability, wchar_t* output) {
    ScopedLock hold(device.lock);
    if (!WStrLength(device.printer_name) || device.devmode.empty()) return 0;
    return DeviceCapabilitiesW(WStrCStr(device.printer_name), nullptr, capability, output,
                               reinterpret_cast<const DEVMODEW*>(device.devmode.data()));
}

uint32_t PrinterStatusTextId(uint32_t status) {
    static constexpr struct {
        uint32_t bit;
        uint32_t text;
    } kTexts[] = {
        {PRINTER_STATUS_PAPER_JAM, text::kPrinterPaperJam},
        {PRINTER_STATUS_PAPER_OUT, text::kPrinterOutOfPaper},
        {PRINTER_STATUS_PAPER_PROBLEM, text::kPrinterPaperProblem},
        {PRINTER_STATUS_OFFLINE, text::kPrinterOffline},
        {PRINTER_STATUS_OUTPUT_BIN_FULL, text::kPrinterOutputBinFull},
        {PRINTER_STATUS_NOT_AVAILABLE, text::kPrinterNotAvailable},
        {PRINTER_STATUS_NO_TONER, text::kPrinterNoToner},
        {PRINTER_STATUS_OUT_OF_MEMORY, text::kPrinterOutOfMemory},
        {PRINTER_STATUS_DOOR_OPEN, text::kPrinterDoorOpen},
        {PRINTER_STATUS_SERVER_UNKNOWN, text::kPrinterServerUnknown},
        {PRINTER_STATUS_ERROR, text::kPrinterError},
        {PRINTER_STATUS_TONER_LOW, text::kPrinterTonerLow},
        {PRINTER_STATUS_BUSY, text::kPrinterBusy},
        {PRINTER_STATUS_WARMING_UP, text::kPrinterWarmingUp},
        {PRINTER_STATUS_POWER_SAVE, text::kPrinterPowerSave},
        {PRINTER_STATUS_MANUAL_FEED, text::kPrinterManualFeed},
    };
    for (const auto& entry : kTexts)
        if (status & entry.bit) return entry.text;
    return text::kPrinterReady;
}
