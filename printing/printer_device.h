// One selected printer with its driver settings (DEVMODE), its printable
// area and what its driver supports. Every change goes through the driver,
// so that the driver's answer, not the request, becomes the device's state.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/contracts/printable_area.h"

class ViewerContext;

// A change that the apply step asks the driver for; only the fields whose
// mask bit is set are used.
struct PrinterChange {
    static constexpr uint32_t kCopies = 1;
    static constexpr uint32_t kCollate = 2;
    static constexpr uint32_t kPaperSize = 4;
    static constexpr uint32_t kOrientation = 8;
    static constexpr uint32_t kPaperSource = 16;
    uint32_t mask = 0;
    uint32_t copies = 0;  // low 16 bits used
    bool collate = false;
    uint16_t paper_size = 0;
    uint16_t paper_source = 0;
    uint32_t orientation = 0;  // non-zero: landscape
};

class PrinterDevice : public RefCounted {
  public:
    PrinterDevice() = default;
    PrinterDevice(const PrinterDevice& other);  // a print job's own copy

    mutable CriticalSection lock;  // guards every field below
    WString printer_name;
    WString paper_name;
    int16_t paper_size = 0;
    int16_t paper_source = 0;
    Ref<PrintableArea> printable_area;
    uint32_t landscape = 0;
    bool banding = false;
    bool device_independent_bitmaps = true;
    bool stretch_device_independent_bitmaps = true;
    bool large_bitmaps = true;
    bool colour = false;
    uint32_t workaround_bits = 0;
    std::vector<uint8_t> devmode;  // empty until a printer is opened
    bool copies_supported = false;
    uint32_t copies = 0;
    bool collation_supported = false;
    bool collation = false;
};

Ref<PrinterDevice> PrinterDeviceCopy(const PrinterDevice& device);
// Opens `name` (empty: false); a failure leaves the device empty.
bool PrinterDeviceOpen(PrinterDevice& device, ViewerContext* context, const WString& name,
                       const PrinterChange* change = nullptr);
// One setting of the current printer through the driver.
bool PrinterDeviceSetCopies(PrinterDevice& device, ViewerContext* context, uint32_t copies);
bool PrinterDeviceSetCollate(PrinterDevice& device, ViewerContext* context, bool on);
bool PrinterDeviceSetPaperSize(PrinterDevice& device, ViewerContext* context, uint16_t paper_size);
bool PrinterDeviceSetOrientation(PrinterDevice& device, ViewerContext* context, uint32_t landscape);
bool PrinterDeviceSetPaperSource(PrinterDevice& device, ViewerContext* context, uint16_t source);
// The driver's own property sheet (modal); false without a parent or printer.
bool PrinterDeviceShowProperties(PrinterDevice& device, ViewerContext* context, HWND parent,
                                 const PrinterChange* change = nullptr);
Ref<PrintableArea> PrinterDeviceGetPrintableArea(const PrinterDevice& device);
// CreateDCW with the held settings; null without a printer. The caller deletes it.
HDC PrinterDeviceCreateDC(const PrinterDevice& device);
// DeviceCapabilitiesW with the held settings; 0 without printer or settings.
int32_t PrinterDeviceGetCapabilities(const PrinterDevice& device, WORD capability, wchar_t* output);
// The UI text number for a spooler status word (the first problem that is set).
uint32_t PrinterStatusTextId(uint32_t status);
