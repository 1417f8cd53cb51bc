#include "imaging/writers/tiff_writer_document.h"

#include <cstring>

#include "foundation/pool.h"

namespace {

constexpr uint32_t kEntryTag = 0x54456E74;  // "TEnt"
constexpr uint32_t kSlotsTag = 0x5453746C;  // "TStl"

bool ValidType(uint32_t type) { return type >= kTiffByte && type <= kTiffDouble; }

void Put16(uint8_t* at, uint32_t value) {
    const uint16_t v = uint16_t(value);
    memcpy(at, &v, 2);
}

void Put32(uint8_t* at, uint32_t value) { memcpy(at, &value, 4); }

// Integer and floating stores shared by the setters; `value` carries the
// number with its sign, `as_double` the same number for FLOAT and DOUBLE.
bool StoreNumber(TiffEntry* entry, uint32_t index, uint32_t bits, double as_double) {
    if (!entry || index >= entry->count) return false;
    uint8_t* values = TiffEntryValues(entry);
    const uint32_t size = TiffFieldSize(entry->type);
    uint8_t* at = values + size_t(index) * size;
    switch (entry->type) {
        case kTiffByte:
        case kTiffSByte:
        case kTiffUndefined:
            *at = uint8_t(bits);
            return true;
        case kTiffShort:
        case kTiffSShort:
            Put16(at, bits);
            return true;
        case kTiffLong:
        case kTiffSLong:
            Put32(at, bits);
            return true;
        case kTiffRational:
        case kTiffSRational:
            Put32(at, bits);
            Put32(at + 4, 1);
            return true;
        case kTiffFloat: {
            const float f = float(as_double);
            memcpy(at, &f, 4);
            return true;
        }
        case kTiffDouble:
            memcpy(at, &as_double, 8);
            return true;
        default:
            return false;
    }
}

}  // namespace

uint8_t* TiffEntryValues(TiffEntry* entry) {
    return entry->byte_size > 4 ? entry->values.data() : entry->inline_value;
}

const uint8_t* TiffEntryValues(const TiffEntry* entry) {
    return entry->byte_size > 4 ? entry->values.data() : entry->inline_value;
}

Ref<TiffEntry> TiffEntryCreate(uint16_t tag, uint16_t type, uint32_t count) {
    if (!ValidType(type)) return nullptr;
    const uint64_t size = uint64_t(count) * TiffFieldSize(type);
    if (size > 0x7FFFFFFFu) return nullptr;
    Ref<TiffEntry> entry = MakeRef<TiffEntry>();
    entry->tag = tag;
    entry->type = type;
    entry->count = count;
    entry->byte_size = uint32_t(size);
    if (size > 4 && !MemAlloc(entry->values, uint32_t(size), kPoolSmall | kPoolZero, kEntryTag))
        return nullptr;
    return entry;
}

Ref<TiffEntry> TiffEntryCreateAscii(uint16_t tag, const WString& text) {
    AString ansi;
    AStrFromWide(ansi, text);
    const uint32_t length = AStrLength(ansi);
    Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffAscii, length + 1);
    if (entry) memcpy(TiffEntryValues(entry.get()), AStrCStr(ansi), length);  // the NUL is already there
    return entry;
}

Ref<TiffEntry> TiffEntryCreateBytes(uint16_t tag, const uint8_t* bytes, uint32_t n) {
    if (n != 0 && !bytes) return nullptr;
    Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffByte, n);
    if (entry && n) memcpy(TiffEntryValues(entry.get()), bytes, n);
    return entry;
}

Ref<TiffEntry> TiffEntryCreateFromDir(const TiffDirEntry* source) {
    if (!source || !ValidType(source->field_type) || source->count == 0) return nullptr;
    const uint8_t* data = nullptr;
    uint32_t length = 0;
    if (!TiffDirEntryGetData(source, &data, &length)) return nullptr;
    Ref<TiffEntry> entry = TiffEntryCreate(source->tag, source->field_type, source->count);
    if (!entry || length < entry->byte_size) return nullptr;
    memcpy(TiffEntryValues(entry.get()), data, entry->byte_size);
    return entry;
}

Ref<TiffEntry> TiffEntryCopy(const TiffEntry* source) {
    if (!source) return nullptr;
    Ref<TiffEntry> entry = TiffEntryCreate(source->tag, source->type, source->count);
    if (entry && entry->byte_size)
        memcpy(TiffEntryValues(entry.get()), TiffEntryValues(source), entry->byte_size);
    return entry;
}

bool TiffEntrySetInt(TiffEntry* entry, uint32_t index, int32_t value) {
    return StoreNumber(entry, index, uint32_t(value), double(value));
}

bool TiffEntrySetUInt(TiffEntry* entry, uint32_t index, uint32_t value) {
    return StoreNumber(entry, index, value, double(value));
}

bool TiffEntrySetFraction(TiffEntry* entry, uint32_t index, int32_t numerator, int32_t denominator) {
    if (!entry || denominator == 0 || index >= entry->count) return false;
    int64_t top = numerator;
    int64_t bottom = denominator;
    if (bottom < 0) {
        top = -top;
        bottom = -bottom;
    }
    if (entry->type == kTiffRational || entry->type == kTiffSRational) {
        uint8_t* at = TiffEntryValues(entry) + size_t(index) * 8;
        Put32(at, uint32_t(top));
        Put32(at + 4, uint32_t(bottom));
        return true;
    }
    const double quotient = double(top) / double(bottom);
    return StoreNumber(entry, index, uint32_t(top / bottom), quotient);
}

TiffStripList::~TiffStripList() {
    for (uint32_t i = 0; i < count && slots; ++i) {
        if (slots[i]) RefRelease(slots[i]);
    }
    if (slots) PoolFree(slots);
}

TiffStrip::~TiffStrip() = default;

Ref<TiffStripList> TiffStripListCreate(uint32_t count) {
    if (count == 0 || count > 0x3FFFFFFFu) return nullptr;
    Ref<TiffStripList> list = MakeRef<TiffStripList>();
    list->slots =
        static_cast<TiffStrip**>(PoolAlloc(count * uint32_t(sizeof(TiffStrip*)), kPoolZero, kSlotsTag));
    if (!list->slots) return nullptr;
    list->count = count;
    return list;
}

bool TiffStripListSet(TiffStripList* list, uint32_t index, TiffStrip* strip) {
    if (!list || index >= list->count) return false;
    if (strip) RefAddRef(strip);
    if (TiffStrip* old = list->slots[index]) RefRelease(old);
    list->slots[index] = strip;
    return true;
}

TiffStrip* TiffStripListAt(const TiffStripList* list, uint32_t index) {
    return list && index < list->count ? list->slots[index] : nullptr;
}

TiffEntry* TiffIfdEntryAt(const TiffIfd* ifd, uint32_t index) {
    return index < ifd->entries.count ? static_cast<TiffEntry*>(ifd->entries.items[index]) : nullptr;
}

bool TiffIfdSetEntry(TiffIfd* ifd, TiffEntry* entry) {
    if (!ifd || !entry) return false;
    uint32_t at = 0;
    while (at < ifd->entries.count && TiffIfdEntryAt(ifd, at)->tag < entry->tag) ++at;
    if (at < ifd->entries.count && TiffIfdEntryAt(ifd, at)->tag == entry->tag) {
        if (TiffIfdEntryAt(ifd, at) == entry) return true;
        PtrArrayRemoveAt(ifd->entries, at);
    }
    return PtrArrayInsert(ifd->entries, entry, at);
}

void TiffIfdRemoveEntry(TiffIfd* ifd, uint16_t tag) {
    for (uint32_t i = 0; i < ifd->entries.count; ++i) {
        if (TiffIfdEntryAt(ifd, i)->tag == tag) {
            PtrArrayRemoveAt(ifd->entries, i);
            return;
        }
    }
}

Ref<TiffEntry> TiffIfdFindEntry(const TiffIfd* ifd, uint16_t tag) {
    for (uint32_t i = 0; i < ifd->entries.count; ++i) {
        TiffEntry* entry = TiffIfdEntryAt(ifd, i);
        if (entry->tag == tag) return Ref<TiffEntry>(entry);
        if (entry->tag > tag) break;
    }
    return nullptr;
}

bool TiffTagIsStructural(uint16_t tag) {
    // The image's geometry, coding and strip layout, which the writer keeps
    // consistent itself, and tags whose values are offsets into a file.
    static constexpr uint16_t kTags[] = {254, 255, 256, 257, 258, 259, 262, 266, 273, 274,   277,  278,
                                         279, 282, 283, 284, 288, 289, 292, 293, 296, 297,   317,  320,
                                         322, 323, 324, 325, 330, 338, 347, 513, 514, 34665, 34853};
    for (uint16_t structural : kTags) {
        if (structural == tag) return true;
    }
    return false;
}

bool TiffPageSetEntry(TiffWriterPage* page, const TiffEntry* entry) {
    if (!page || !entry || TiffTagIsStructural(entry->tag)) return false;
    for (uint32_t i = 0; i < page->ifds.count; ++i) {
        Ref<TiffEntry> copy = TiffEntryCopy(entry);
        if (!copy || !TiffIfdSetEntry(static_cast<TiffIfd*>(page->ifds.items[i]), copy.get())) return false;
    }
    return true;
}

Ref<TiffDoc> TiffDocCreate() { return MakeRef<TiffDoc>(); }

bool TiffDocSetEntryAll(TiffDoc* doc, const TiffEntry* entry) {
    if (!doc || !entry || TiffTagIsStructural(entry->tag)) return false;
    for (uint32_t i = 0; i < doc->pages.count; ++i) {
        if (!TiffPageSetEntry(static_cast<TiffWriterPage*>(doc->pages.items[i]), entry)) return false;
    }
    return true;
}
