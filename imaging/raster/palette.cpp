#include "imaging/raster/palette.h"

#include <cstring>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "foundation/pool.h"

namespace {

constexpr uint32_t kPaletteTag = 0x506C7474;  // "Pltt"

bool IsGreyColour(uint32_t colour) {
    uint32_t blue = colour & 0xFF, green = (colour >> 8) & 0xFF, red = (colour >> 16) & 0xFF;
    return red == green && green == blue;
}

uint32_t GreyOf(uint32_t level) { return level * 0x010101u; }

uint32_t RampStep(uint32_t count) { return 255 / (count - 1); }

}  // namespace

Palette::~Palette() { PoolFree(entries); }

bool PaletteInit(Palette* palette, uint32_t n) {
    PoolFree(palette->entries);
    palette->entries = nullptr;
    palette->count = 0;
    palette->kind = kPaletteUnknown;
    if (n == 0) return true;
    if (n > 65536) return false;  // no depth has more entries than 2^16
    palette->entries = static_cast<uint32_t*>(PoolAlloc(n * 4, kPoolSmall, kPaletteTag));
    if (!palette->entries) return false;
    palette->count = n;
    return true;
}

bool PaletteInitCopy(Palette* palette, const Palette* other) { return PaletteAssign(palette, other); }

bool PaletteAssign(Palette* palette, const Palette* other) {
    if (palette == other) return true;
    if (palette->count != other->count) {
        // Allocate first: a failure keeps the old entries.
        uint32_t* fresh = nullptr;
        if (other->count > 0) {
            fresh = static_cast<uint32_t*>(PoolAlloc(other->count * 4, kPoolSmall, kPaletteTag));
            if (!fresh) return false;
        }
        PoolFree(palette->entries);
        palette->entries = fresh;
        palette->count = other->count;
    }
    if (other->count > 0) memcpy(palette->entries, other->entries, other->count * 4);
    palette->kind = other->kind;
    return true;
}

uint32_t PaletteGetEntry(const Palette* palette, uint32_t index) {
    return index < palette->count ? palette->entries[index] : 0;
}

void PaletteSetEntry(Palette* palette, uint32_t index, uint32_t colour) {
    if (index < palette->count) palette->entries[index] = colour & 0xFFFFFF;
    palette->kind = kPaletteUnknown;
}

void PaletteInvert(Palette* palette) {
    for (uint32_t i = 0; i < palette->count; ++i) palette->entries[i] ^= 0xFFFFFF;
}

void PaletteMerge(Palette* palette, uint32_t colour, uint32_t mode) {
    for (uint32_t i = 0; i < palette->count; ++i) {
        if (mode == 2) {
            palette->entries[i] |= colour & 0xFFFFFF;
        } else {
            palette->entries[i] &= colour;
        }
    }
    palette->kind = kPaletteUnknown;
}

void PaletteMakeGreyRamp(Palette* palette) {
    if (palette->count >= 2) {
        uint32_t step = RampStep(palette->count);
        for (uint32_t i = 0; i < palette->count; ++i) palette->entries[i] = GreyOf((i * step) & 0xFF);
    }
    palette->kind = kPaletteGrey;
}

bool PaletteIsGreyRamp(const Palette* palette, uint8_t* descending) {
    if (palette->count < 2 || palette->kind == kPaletteColour) return false;
    uint32_t step = RampStep(palette->count);
    bool ascending = true, falling = palette->entries[0] == 0xFFFFFF;
    for (uint32_t i = 0; i < palette->count && (ascending || falling); ++i) {
        uint32_t level = (i * step) & 0xFF;
        uint32_t entry = palette->entries[i] & 0xFFFFFF;
        if (entry != GreyOf(level)) ascending = false;
        if (entry != 0xFFFFFF - GreyOf(level)) falling = false;
    }
    if (!ascending && !falling) return false;
    if (descending) *descending = ascending ? 0 : 1;
    return true;
}

bool PaletteIsGrey(Palette* palette) {
    if (palette->count == 0) return false;
    if (palette->kind == kPaletteGrey) return true;
    if (palette->kind == kPaletteColour) return false;
    bool grey = true;
    for (uint32_t i = 0; i < palette->count && grey; ++i) grey = IsGreyColour(palette->entries[i]);
    palette->kind = grey ? kPaletteGrey : kPaletteColour;
    return grey;
}

bool PaletteRead(Palette* palette, DataSource* source, uint64_t offset) {
    palette->kind = kPaletteUnknown;
    if (!source) return false;
    if (palette->count == 0) return true;
    bool changed = false;
    Ref<DataReader> reader = DataSourceOpenReader(source, changed);
    if (!reader) return false;
    const uint32_t bytes = palette->count * 4;
    if (DataSourceRead(reader.get(), offset, bytes, palette->entries) != static_cast<int32_t>(bytes))
        return false;
    // Files put blue, green, red and a reserved byte that GDI wants 0.
    for (uint32_t i = 0; i < palette->count; ++i) palette->entries[i] &= 0xFFFFFF;
    return true;
}

uint32_t PaletteSizeForBits(uint32_t bits) {
    switch (bits) {
        case 1:
            return 2;
        case 4:
            return 16;
        case 8:
            return 256;
        default:
            return 0;
    }
}
