// Per-printer workarounds: the PRINTER_WORKAROUND text ("HP=33;*=8") read
// into a table, and the bits for one printer looked up by name.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/strings.h"

class ViewerContext;

// PRINTER_WORKAROUND bits.
namespace printer_workaround {
inline constexpr uint32_t kMarkPaperDimensions = 1;    // mark positive width and length as set
inline constexpr uint32_t kNeverFormName = 2;          // never take the driver's form name
inline constexpr uint32_t kAlwaysFormName = 4;         // take it even when the driver does not mark it
inline constexpr uint32_t kColour = 8;                 // counts as a colour printer
inline constexpr uint32_t kBlackAndWhite = 16;         // counts as black and white (wins over 8)
inline constexpr uint32_t kClearPaperMarks = 32;       // clear the paper marks before the driver is asked
inline constexpr uint32_t kDirectToDevice = 64;        // print job: straight to the device
inline constexpr uint32_t kThroughMemoryBitmap = 128;  // print job: through a memory bitmap
inline constexpr uint32_t kVerticalStrips = 256;       // print job: in vertical strips
inline constexpr uint32_t kNoDriverCopies = 512;       // print job: never leave copies to the driver
}  // namespace printer_workaround

struct PrinterWorkarounds {
    struct Entry {
        WString name;
        int32_t value = 0;
    };
    int32_t default_value = 0;
    std::vector<Entry> entries;  // in the order of the text
};

void PrinterWorkaroundsParse(PrinterWorkarounds& table, const WString& text);
// The first entry whose name occurs in the printer's name (any case); the
// default for an empty name or when none does.
int32_t PrinterWorkaroundsLookup(const PrinterWorkarounds& table, const WString& printer_name);
// The bits for this printer from the context's settings; 0 without context.
uint32_t PrinterWorkaroundsFor(ViewerContext* context, const WString& printer_name);
