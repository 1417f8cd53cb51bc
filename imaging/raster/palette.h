// The colour table shared by the 1, 4 and 8 bit images: entries 0x00RRGGBB
// (in memory blue, green, red, 0) with a cached grey classification.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class DataSource;

enum PaletteKind : uint32_t {
    kPaletteUnknown = 0,
    kPaletteGrey = 1,
    kPaletteColour = 2,
};

class Palette : public RefCounted {
  public:
    Palette() = default;
    ~Palette() override;

    uint32_t kind = kPaletteUnknown;
    uint32_t count = 0;
    uint32_t* entries = nullptr;  // pool block of count entries
};

// Count n, kind 0, entries allocated but not cleared; false (count 0) when
// the entries cannot be had.
bool PaletteInit(Palette* palette, uint32_t n);
bool PaletteInitCopy(Palette* palette, const Palette* other);
// Copies count, entries and kind; false (nothing changed) when a new block
// of entries cannot be had.
bool PaletteAssign(Palette* palette, const Palette* other);
uint32_t PaletteGetEntry(const Palette* palette, uint32_t index);
void PaletteSetEntry(Palette* palette, uint32_t index, uint32_t colour);
void PaletteInvert(Palette* palette);
// mode 2 ORs every entry with the colour, any other mode ANDs.
void PaletteMerge(Palette* palette, uint32_t colour, uint32_t mode);
void PaletteMakeGreyRamp(Palette* palette);
bool PaletteIsGreyRamp(const Palette* palette, uint8_t* descending);
bool PaletteIsGrey(Palette* palette);
// Reads count x 4 bytes of entries (blue, green, red, reserved) at offset.
bool PaletteRead(Palette* palette, DataSource* source, uint64_t offset);
// 1 bit 2 entries, 4 bits 16, 8 bits 256, any other depth 0.
uint32_t PaletteSizeForBits(uint32_t bits);
