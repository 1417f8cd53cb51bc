#include "imaging/formats/tiff/tiff_directory.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "foundation/pool.h"

namespace {

// Bytes kept before and after out-of-line values when their window is
// reloaded, so that neighbouring values usually come with one read.
constexpr uint32_t kValueWindowBefore = 128;
constexpr uint32_t kValueWindowAfter = 256;
constexpr uint32_t kValueWindowMinimum = 512;

enum class Layout { kNone, kStriped, kTiled };

void Swap16(uint8_t* p) { std::swap(p[0], p[1]); }
void Swap32(uint8_t* p) {
    std::swap(p[0], p[3]);
    std::swap(p[1], p[2]);
}
void Swap64(uint8_t* p) {
    for (int i = 0; i < 4; ++i) std::swap(p[i], p[7 - i]);
}

// Brings the values of a big-endian file into host order, one value (or
// half a rational) at a time.
void SwapValues(uint8_t* bytes, uint16_t type, uint64_t length) {
    switch (type) {
        case kTiffShort:
        case kTiffSShort:
            for (uint64_t i = 0; i + 2 <= length; i += 2) Swap16(bytes + i);
            break;
        case kTiffLong:
        case kTiffSLong:
        case kTiffRational:
        case kTiffSRational:
        case kTiffFloat:
            for (uint64_t i = 0; i + 4 <= length; i += 4) Swap32(bytes + i);
            break;
        case kTiffDouble:
            for (uint64_t i = 0; i + 8 <= length; i += 8) Swap64(bytes + i);
            break;
        default:
            break;
    }
}

template <class T>
T Load(const uint8_t* bytes) {
    T value;
    memcpy(&value, bytes, sizeof value);
    return value;
}

bool ValueReadable(const TiffDirEntry* entry, uint32_t index, uint16_t last_type) {
    return entry && entry->data && index < entry->count && entry->field_type >= 1 &&
           entry->field_type <= last_type && entry->field_type != kTiffUndefined;
}

// The value of an integer field type, signed types sign-extended; false for
// the fractional and floating types.
bool IntegerAt(const uint8_t* p, uint16_t type, int64_t* out) {
    switch (type) {
        case kTiffByte:
        case kTiffAscii:
            *out = p[0];
            return true;
        case kTiffShort:
            *out = Load<uint16_t>(p);
            return true;
        case kTiffLong:
            *out = Load<uint32_t>(p);
            return true;
        case kTiffSByte:
            *out = int8_t(p[0]);
            return true;
        case kTiffSShort:
            *out = Load<int16_t>(p);
            return true;
        case kTiffSLong:
            *out = Load<int32_t>(p);
            return true;
        default:
            return false;
    }
}

uint32_t DivideUnsigned(uint32_t numerator, uint32_t denominator) {
    return denominator == 0 ? 0 : numerator / denominator;
}

uint32_t DivideSigned(int32_t numerator, int32_t denominator) {
    if (denominator == 0) return 0;
    return uint32_t(int64_t(numerator) / int64_t(denominator));  // 64 bits: INT32_MIN / -1 stays defined
}

// Copies out-of-line values through the private value window.
bool ReadOutOfLine(TiffParseContext& context, TiffDirEntry& entry, uint32_t offset, uint32_t length) {
    TiffWindow& window = context.values;
    if (!TiffWindowHolds(window, offset, length)) {
        const uint32_t start = offset >= kValueWindowBefore ? offset - kValueWindowBefore : 0;
        const uint64_t span = uint64_t(offset) + length - start + kValueWindowAfter;
        const uint32_t n =
            uint32_t(std::min<uint64_t>(std::max<uint64_t>(span, kValueWindowMinimum), kPoolMaxBlock));
        if (!TiffWindowLoad(context, window, start, n) || !TiffWindowHolds(window, offset, length))
            return false;
    }
    if (!MemSet(entry.block, ByteBufData(window.buffer.get()) + (offset - window.offset), length, 0))
        return false;
    entry.data = entry.block.data();
    return true;
}

uint16_t Clamp16(uint32_t value) { return uint16_t(std::min<uint32_t>(value, 0xFFFF)); }

uint32_t FirstUInt(const TiffDirEntry& entry, uint32_t fallback) {
    uint32_t value = 0;
    return TiffDirEntryGetUInt(&entry, 0, &value) ? value : fallback;
}

// A resolution that is not a positive number counts as not given.
double Resolution(const TiffDirEntry& entry) {
    double value = 0;
    if (!TiffDirEntryGetDouble(&entry, 0, &value) || !std::isfinite(value) || value <= 0) return 0;
    return value;
}

// Striped and tiled tags must not meet in one directory.
bool NoteLayout(Layout& layout, Layout kind) {
    if (layout == Layout::kNone) layout = kind;
    return layout == kind;
}

struct DirParseState {
    Layout layout = Layout::kNone;
    bool compression_given = false;
};

// Sets the directory's fields from one interpreted tag; false when the tag
// makes the directory mixed striped and tiled.
bool ApplyTag(TiffDir& dir, const TiffDirEntry& entry, DirParseState& state) {
    switch (entry.tag) {
        case kTagNewSubfileType:
            dir.subfile_kind = uint16_t(FirstUInt(entry, 0) & 0xFFFF);
            break;
        case kTagSubfileType:
            if (dir.subfile_kind == 0) {
                const uint32_t value = FirstUInt(entry, 0);
                if (value == 2) dir.subfile_kind = kSubfileReduced;
                if (value == 3) dir.subfile_kind = kSubfilePage;
            }
            break;
        case kTagImageWidth:
            dir.image_width = FirstUInt(entry, 0);
            break;
        case kTagImageLength:
            dir.image_length = FirstUInt(entry, 0);
            break;
        case kTagBitsPerSample:
            dir.bits_per_sample = Clamp16(FirstUInt(entry, 1));
            break;
        case kTagCompression:
            dir.compression = Clamp16(FirstUInt(entry, 0));
            state.compression_given = true;
            break;
        case kTagPhotometric:
            dir.photometric = Clamp16(FirstUInt(entry, 0));
            break;
        case kTagOrientation:
            dir.orientation = Clamp16(FirstUInt(entry, 1));
            break;
        case kTagSamplesPerPixel:
            dir.samples_per_pixel = Clamp16(FirstUInt(entry, 1));
            break;
        case kTagXResolution:
            dir.x_resolution = Resolution(entry);
            break;
        case kTagYResolution:
            dir.y_resolution = Resolution(entry);
            break;
        case kTagPlanarConfiguration:
            dir.planar_configuration = Clamp16(FirstUInt(entry, 1));
            break;
        case kTagResolutionUnit:
            dir.resolution_unit = Clamp16(FirstUInt(entry, 2));
            break;
        case kTagColorMap:
            dir.colour_map_present = 1;
            break;
        case kTagExtraSamples:
            dir.extra_samples = uint16_t(entry.count & 0xFFFF);
            break;
        case kTagStripOffsets:
        case kTagStripByteCounts:
            return NoteLayout(state.layout, Layout::kStriped);
        case kTagRowsPerStrip:
            dir.tile_length = FirstUInt(entry, 0);
            return NoteLayout(state.layout, Layout::kStriped);
        case kTagTileWidth:
            dir.tile_width = FirstUInt(entry, 0);
            return NoteLayout(state.layout, Layout::kTiled);
        case kTagTileLength:
            dir.tile_length = FirstUInt(entry, 0);
            return NoteLayout(state.layout, Layout::kTiled);
        case kTagTileOffsets:
        case kTagTileByteCounts:
            return NoteLayout(state.layout, Layout::kTiled);
        default:
            break;
    }
    return true;
}

void InheritFromPrevious(TiffDir& dir, const TiffDir* previous) {
    if (!previous) return;
    if (dir.tiled && dir.tile_width == 0) dir.tile_width = previous->tile_width;
    if (dir.tiled && dir.tile_length == 0) dir.tile_length = previous->tile_length;
    if (dir.compression == 0) dir.compression = previous->compression;
    if (dir.bits_per_sample == 0) dir.bits_per_sample = previous->bits_per_sample;
}

void SettleResolution(TiffDir& dir) {
    if (dir.resolution_unit == 3) {
        dir.x_resolution *= 2.54;
        dir.y_resolution *= 2.54;
    } else if (dir.resolution_unit != 2) {
        dir.resolution_unit = 2;
    }
    dir.resolution_given = 1;
    if (dir.x_resolution == 0 && dir.y_resolution != 0) dir.x_resolution = dir.y_resolution;
    if (dir.y_resolution == 0 && dir.x_resolution != 0) dir.y_resolution = dir.x_resolution;
    if (dir.x_resolution == 0 && dir.y_resolution == 0) {
        dir.x_resolution = dir.y_resolution = 100.0;
        dir.resolution_given = 0;
    }
}

// The defaults and consequences that need the whole directory; false when
// the directory is rejected.
bool FinishDir(TiffDir& dir, const DirParseState& state, const TiffDir* previous, ImageStatus* status) {
    dir.tiled = state.layout == Layout::kTiled;
    if (dir.compression >= 2 && dir.compression <= 4) dir.bits_per_sample = dir.samples_per_pixel = 1;
    if (dir.photometric != 5 && dir.bits_per_sample == 8 &&
        int32_t(dir.samples_per_pixel) - int32_t(dir.extra_samples) > 3) {
        dir.extra_samples = uint16_t(dir.samples_per_pixel - 3);
    }
    InheritFromPrevious(dir, previous);
    // TIFF 6.0: no Compression tag means no compression.
    if (!state.compression_given && dir.compression == 0) dir.compression = 1;
    if (dir.tile_length == 0 || dir.tile_length > dir.image_length) dir.tile_length = dir.image_length;
    SettleResolution(dir);
    if (dir.image_width == 0 || dir.image_length == 0 || state.layout == Layout::kNone) return false;
    if (!dir.tiled) {
        dir.tile_width = dir.image_width;
    } else if (dir.tile_width == 0) {
        dir.tile_width = dir.tile_length;
        ImageStatusSet(status, kSeverityWarning, kStatusDamagedButUsable);
    }
    return true;
}

int32_t LowerBound(const PtrArray& entries, uint16_t tag) {
    uint32_t low = 0, high = entries.count;
    while (low < high) {
        const uint32_t middle = low + (high - low) / 2;
        if (static_cast<const TiffDirEntry*>(entries.items[middle])->tag < tag) {
            low = middle + 1;
        } else {
            high = middle;
        }
    }
    return int32_t(low);
}

}  // namespace

uint32_t TiffFieldSize(uint32_t type) {
    switch (type) {
        case kTiffShort:
        case kTiffSShort:
            return 2;
        case kTiffLong:
        case kTiffSLong:
        case kTiffFloat:
            return 4;
        case kTiffRational:
        case kTiffSRational:
        case kTiffDouble:
            return 8;
        default:
            return 1;
    }
}

bool TiffDirEntryGetData(const TiffDirEntry* entry, const uint8_t** out, uint32_t* length) {
    const bool has = entry && entry->data && entry->count > 0;
    if (out) *out = has ? entry->data : nullptr;
    if (length) *length = has ? uint32_t(uint64_t(entry->count) * TiffFieldSize(entry->field_type)) : 0;
    return has;
}

bool TiffDirEntryGetString(const TiffDirEntry* entry, WString* out) {
    if (!entry || !out || entry->field_type != kTiffAscii) return false;
    if (!entry->data || entry->count == 0) {
        *out = WString();
        return true;
    }
    // The last byte was set to NUL when the entry was read.
    WStrFromAnsi(*out, reinterpret_cast<const char*>(entry->data));
    return true;
}

bool TiffDirEntryGetUInt(const TiffDirEntry* entry, uint32_t index, uint32_t* out) {
    if (!out || !ValueReadable(entry, index, kTiffSRational)) return false;
    const uint8_t* p = entry->data + uint64_t(index) * TiffFieldSize(entry->field_type);
    int64_t whole = 0;
    if (IntegerAt(p, entry->field_type, &whole)) {
        *out = uint32_t(whole);
    } else if (entry->field_type == kTiffRational) {
        *out = DivideUnsigned(Load<uint32_t>(p), Load<uint32_t>(p + 4));
    } else if (entry->field_type == kTiffSRational) {
        *out = DivideSigned(Load<int32_t>(p), Load<int32_t>(p + 4));
    } else {
        return false;
    }
    return true;
}

bool TiffDirEntryGetDouble(const TiffDirEntry* entry, uint32_t index, double* out) {
    if (!out || !ValueReadable(entry, index, kTiffDouble)) return false;
    const uint8_t* p = entry->data + uint64_t(index) * TiffFieldSize(entry->field_type);
    int64_t whole = 0;
    if (IntegerAt(p, entry->field_type, &whole)) {
        *out = double(whole);
        return true;
    }
    switch (entry->field_type) {
        case kTiffRational: {
            const uint32_t denominator = Load<uint32_t>(p + 4);
            *out = denominator == 0 ? 0.0 : double(Load<uint32_t>(p)) / double(denominator);
            break;
        }
        case kTiffSRational: {
            const int32_t denominator = Load<int32_t>(p + 4);
            *out = denominator == 0 ? 0.0 : double(Load<int32_t>(p)) / double(denominator);
            break;
        }
        case kTiffFloat:
            *out = Load<float>(p);
            break;
        case kTiffDouble:
            *out = Load<double>(p);
            break;
        default:
            return false;
    }
    return true;
}

TiffDir::TiffDir() : entries(32, true) {}

Ref<TiffDirEntry> TiffDirFindEntry(const TiffDir* dir, uint16_t tag) {
    if (!dir) return nullptr;
    const int32_t at = LowerBound(dir->entries, tag);
    if (uint32_t(at) >= dir->entries.count) return nullptr;
    auto* entry = static_cast<TiffDirEntry*>(dir->entries.items[at]);
    return entry->tag == tag ? Ref<TiffDirEntry>(entry) : nullptr;
}

bool TiffDirTagText(const TiffDir* dir, uint16_t tag, WString* out) {
    Ref<TiffDirEntry> entry = TiffDirFindEntry(dir, tag);
    return TiffDirEntryGetString(entry.get(), out);
}

bool TiffDirInsertEntry(TiffDir* dir, TiffDirEntry* entry) {
    if (!dir || !entry) return false;
    const int32_t at = LowerBound(dir->entries, entry->tag);
    if (uint32_t(at) < dir->entries.count &&
        static_cast<TiffDirEntry*>(dir->entries.items[at])->tag == entry->tag) {
        PtrArrayRemoveAt(dir->entries, uint32_t(at));
    }
    return PtrArrayInsert(dir->entries, entry, uint32_t(at));
}

bool TiffDirIsTransposed(const TiffDir* dir) { return dir->orientation >= 5 && dir->orientation <= 8; }

uint32_t TiffDirPixelWidth(const TiffDir* dir) {
    return TiffDirIsTransposed(dir) ? dir->image_length : dir->image_width;
}

uint32_t TiffDirPixelHeight(const TiffDir* dir) {
    return TiffDirIsTransposed(dir) ? dir->image_width : dir->image_length;
}

double TiffDirDpiX(const TiffDir* dir) {
    return TiffDirIsTransposed(dir) ? dir->y_resolution : dir->x_resolution;
}

double TiffDirDpiY(const TiffDir* dir) {
    return TiffDirIsTransposed(dir) ? dir->x_resolution : dir->y_resolution;
}

double TiffDirWidthMm(const TiffDir* dir) { return double(TiffDirPixelWidth(dir)) / TiffDirDpiX(dir) * 25.4; }

double TiffDirHeightMm(const TiffDir* dir) {
    return double(TiffDirPixelHeight(dir)) / TiffDirDpiY(dir) * 25.4;
}

TiffOrientationMap& TiffDirMapRect(const TiffDir* dir, const RectI& displayed, TiffOrientationMap& out) {
    const int32_t x = displayed.origin.x, y = displayed.origin.y;
    const int32_t w = displayed.size.width, h = displayed.size.height;
    const int32_t width = int32_t(std::min<uint32_t>(dir->image_width, INT32_MAX));
    const int32_t length = int32_t(std::min<uint32_t>(dir->image_length, INT32_MAX));
    struct Row {
        int32_t x, y, w, h;
        bool mirror_x, mirror_y;
        uint16_t rotation;
    };
    Row row{x, y, w, h, false, false, 0};
    switch (dir->orientation) {
        case 2:
            row = {width - x - w, y, w, h, true, false, 0};
            break;
        case 3:
            row = {width - x - w, length - y - h, w, h, true, true, 0};
            break;
        case 4:
            row = {x, length - y - h, w, h, false, true, 0};
            break;
        case 5:
            row = {y, x, h, w, true, false, 90};
            break;
        case 6:
            row = {y, length - x - w, h, w, false, false, 270};
            break;
        case 7:
            row = {width - y - h, length - x - w, h, w, true, false, 270};
            break;
        case 8:
            row = {width - y - h, x, h, w, false, false, 90};
            break;
        default:
            break;
    }
    RectISet(out.stored, row.x, row.y, row.w, row.h);
    out.mirror_x = row.mirror_x;
    out.mirror_y = row.mirror_y;
    out.rotation = row.rotation;
    return out;
}

Ref<TiffDirEntry> TiffDirStripOffsets(const TiffDir* dir) {
    return TiffDirFindEntry(dir, dir->tiled ? kTagTileOffsets : kTagStripOffsets);
}

Ref<TiffDirEntry> TiffDirStripByteCounts(const TiffDir* dir) {
    return TiffDirFindEntry(dir, dir->tiled ? kTagTileByteCounts : kTagStripByteCounts);
}

bool TiffWindowHolds(const TiffWindow& window, uint64_t offset, uint64_t length) {
    if (!window.buffer || offset < window.offset) return false;
    return offset - window.offset + length <= ByteBufSize(window.buffer.get());
}

bool TiffWindowLoad(TiffParseContext& context, TiffWindow& window, uint32_t offset, uint32_t n) {
    if (!window.buffer) {
        window.buffer = ByteBufCreate(0, 0, 0);
        if (!window.buffer) return false;
    }
    window.offset = offset;
    return ByteBufLoad(window.buffer.get(), context.reader.get(), offset, n);
}

uint16_t TiffGet16(const uint8_t* bytes, bool big_endian) {
    return big_endian ? uint16_t(bytes[0] << 8 | bytes[1]) : uint16_t(bytes[1] << 8 | bytes[0]);
}

uint32_t TiffGet32(const uint8_t* bytes, bool big_endian) {
    if (big_endian)
        return uint32_t(bytes[0]) << 24 | uint32_t(bytes[1]) << 16 | uint32_t(bytes[2]) << 8 | bytes[3];
    return uint32_t(bytes[3]) << 24 | uint32_t(bytes[2]) << 16 | uint32_t(bytes[1]) << 8 | bytes[0];
}

Ref<TiffDirEntry> TiffDirEntryRead(TiffParseContext& context, const uint8_t* bytes, bool* unknown_type) {
    const bool big = context.big_endian;
    Ref<TiffDirEntry> entry = AdoptRef(new TiffDirEntry);
    entry->tag = TiffGet16(bytes, big);
    entry->field_type = TiffGet16(bytes + 2, big);
    entry->count = TiffGet32(bytes + 4, big);
    *unknown_type = entry->field_type < kTiffByte || entry->field_type > kTiffDouble;
    if (*unknown_type) return nullptr;
    const uint64_t length = uint64_t(entry->count) * TiffFieldSize(entry->field_type);
    if (length <= 4) {
        memcpy(&entry->value_field, bytes + 8, 4);
        auto* field = reinterpret_cast<uint8_t*>(&entry->value_field);
        if (big) SwapValues(field, entry->field_type, length);
        if (entry->field_type == kTiffAscii && length == 0) entry->value_field = 0;
        if (entry->field_type == kTiffAscii && length > 0) field[length - 1] = 0;
        entry->data = entry->count > 0 ? field : nullptr;
        return entry;
    }
    const uint32_t offset = TiffGet32(bytes + 8, big);
    memcpy(&entry->value_field, bytes + 8, 4);
    if (uint64_t(offset) + length > context.file_size) return nullptr;
    if (context.value_bytes + length > context.file_size) return nullptr;
    context.value_bytes += length;
    if (!ReadOutOfLine(context, *entry, offset, uint32_t(length))) return nullptr;
    if (big) SwapValues(entry->block.data(), entry->field_type, length);
    if (entry->field_type == kTiffAscii) entry->block.data()[length - 1] = 0;
    return entry;
}

Ref<TiffDir> TiffDirParse(TiffParseContext& context, const uint8_t* entries, uint32_t n,
                          const TiffDir* previous) {
    Ref<TiffDir> dir = AdoptRef(new TiffDir);
    DirParseState state;
    context.value_bytes = 0;
    for (uint32_t i = 0; i < n; ++i) {
        bool unknown_type = false;
        Ref<TiffDirEntry> entry = TiffDirEntryRead(context, entries + uint64_t(i) * 12, &unknown_type);
        // TIFF 6.0: readers skip fields of an unexpected type. An entry whose
        // values cannot be had ends the directory; what came before counts.
        if (unknown_type) continue;
        if (!entry || !TiffDirInsertEntry(dir.get(), entry.get())) break;
        if (!ApplyTag(*dir, *entry, state)) return nullptr;
    }
    if (!FinishDir(*dir, state, previous, context.status)) return nullptr;
    return dir;
}
