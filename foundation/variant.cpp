#include "foundation/variant.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <cwchar>

namespace {

// Position of a tag in the conversion table; -1 for a tag outside it.
int TableIndex(uint32_t tag) {
    if (tag <= kVariantDateTime) return static_cast<int>(tag);
    if (tag == kVariantObject) return 8;
    return -1;
}

// kConvertible[to][from], in the order empty, text, int32, int64, f64, bool,
// date, date-time, object.
constexpr bool kConvertible[9][9] = {
    {1, 0, 0, 0, 0, 0, 0, 0, 0},  // to empty
    {1, 1, 1, 1, 1, 1, 1, 1, 0},  // to text
    {1, 1, 1, 1, 0, 1, 1, 0, 0},  // to int32
    {1, 1, 1, 1, 0, 1, 1, 1, 0},  // to int64
    {1, 1, 1, 1, 1, 1, 0, 0, 0},  // to f64
    {1, 1, 1, 1, 1, 1, 0, 0, 0},  // to bool
    {0, 1, 0, 0, 0, 0, 1, 1, 0},  // to date
    {0, 1, 0, 0, 0, 0, 1, 1, 0},  // to date-time
    {1, 0, 0, 0, 0, 0, 0, 0, 1},  // to object
};

uint32_t DateBits(const DateValue& date) {
    uint32_t bits;
    memcpy(&bits, &date, sizeof bits);
    return bits;
}

uint64_t DateTimeBits(const DateTime& time) {
    uint64_t bits;
    memcpy(&bits, &time, sizeof bits);
    return bits;
}

const WString& TextOf(const Variant& variant) {
    return variant.payload.text ? *variant.payload.text : EmptyWString;
}

// printf-style number text through a bounded narrow buffer; %f of the
// largest f64 takes 317 characters.
WString& AssignPrinted(WString& out, const char* format, ...) {
    char narrow[400];
    va_list arguments;
    va_start(arguments, format);
    int length = vsnprintf(narrow, sizeof narrow, format, arguments);
    va_end(arguments);
    if (length < 0) return WStrClear(out);
    wchar_t wide[sizeof narrow];
    size_t i = 0;
    for (; narrow[i] != 0; ++i) wide[i] = static_cast<unsigned char>(narrow[i]);
    wide[i] = 0;
    return WStrAssignChars(out, wide);
}

}  // namespace

Variant::Variant(const Variant& other) { VariantCopy(*this, other); }

Variant& Variant::operator=(const Variant& other) { return VariantAssign(*this, other); }

Variant::~Variant() { VariantFree(*this); }

Variant& VariantInit(Variant& variant) {
    VariantClear(variant);
    return variant;
}

Variant& VariantInitString(Variant& variant, const WString& text) { return VariantSetString(variant, text); }
Variant& VariantInitInt(Variant& variant, int32_t value) { return VariantSetInt(variant, value); }
Variant& VariantInitInt64(Variant& variant, int64_t value) { return VariantSetInt64(variant, value); }
Variant& VariantInitDouble(Variant& variant, double value) { return VariantSetDouble(variant, value); }
Variant& VariantInitBool(Variant& variant, bool value) { return VariantSetBool(variant, value); }
Variant& VariantInitObject(Variant& variant, RefCounted* object) { return VariantSetObject(variant, object); }
Variant& VariantCopy(Variant& variant, const Variant& other) { return VariantAssign(variant, other); }

void VariantFree(Variant& variant) {
    if (variant.tag != kVariantEmpty) VariantClear(variant);
}

void VariantClear(Variant& variant) {
    // Detach first: releasing an object may run code that reads this Variant.
    uint32_t tag = variant.tag;
    Variant::Payload payload = variant.payload;
    variant.tag = kVariantEmpty;
    variant.payload.int64 = 0;
    if (tag == kVariantText) delete payload.text;
    if (tag == kVariantObject && payload.object) RefRelease(payload.object);
}

Variant& VariantSetString(Variant& variant, const WString& text) {
    // The copy is made before the old payload goes: text may live in it.
    WString* copy = WStrLength(text) == 0 ? nullptr : new WString(text);
    VariantClear(variant);
    variant.tag = kVariantText;
    variant.payload.text = copy;
    return variant;
}

Variant& VariantSetInt(Variant& variant, int32_t value) {
    VariantClear(variant);
    variant.tag = kVariantInt32;
    variant.payload.int32 = value;
    return variant;
}

Variant& VariantSetInt64(Variant& variant, int64_t value) {
    VariantClear(variant);
    variant.tag = kVariantInt64;
    variant.payload.int64 = value;
    return variant;
}

Variant& VariantSetDouble(Variant& variant, double value) {
    VariantClear(variant);
    variant.tag = kVariantDouble;
    variant.payload.f64 = value;
    return variant;
}

Variant& VariantSetBool(Variant& variant, bool value) {
    VariantClear(variant);
    variant.tag = kVariantBool;
    variant.payload.boolean = value;
    return variant;
}

Variant& VariantSetObject(Variant& variant, RefCounted* object) {
    // The reference is taken before the old payload goes: it may hold the
    // only other reference to the same object.
    if (object) RefAddRef(object);
    VariantClear(variant);
    if (!object) return variant;
    variant.tag = kVariantObject;
    variant.payload.object = object;
    return variant;
}

Variant& VariantAssign(Variant& variant, const Variant& other) {
    if (&variant == &other) return variant;
    switch (other.tag) {
        case kVariantText:
            return VariantSetString(variant, TextOf(other));
        case kVariantObject:
            return VariantSetObject(variant, other.payload.object);
        case kVariantEmpty:
        case kVariantInt32:
        case kVariantInt64:
        case kVariantDouble:
        case kVariantBool:
        case kVariantDate:
        case kVariantDateTime:
            VariantClear(variant);
            variant.tag = other.tag;
            variant.payload = other.payload;
            return variant;
        default:
            VariantClear(variant);
            return variant;
    }
}

int32_t VariantToInt(const Variant& variant) {
    switch (variant.tag) {
        case kVariantText:
            return WStrToInt(TextOf(variant));
        case kVariantInt32:
            return variant.payload.int32;
        case kVariantInt64: {
            int64_t value = variant.payload.int64;
            constexpr int64_t kLimit = int64_t{1} << 32;
            if (value <= -kLimit || value >= kLimit) return 0;
            return static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value)));
        }
        case kVariantBool:
            return variant.payload.boolean ? 1 : 0;
        case kVariantDate:
            return static_cast<int32_t>(DateBits(variant.payload.date));
        default:
            return 0;
    }
}

int64_t VariantToInt64(const Variant& variant) {
    switch (variant.tag) {
        case kVariantText:
            return WStrToInt64(TextOf(variant));
        case kVariantInt32:
            return variant.payload.int32;
        case kVariantInt64:
            return variant.payload.int64;
        case kVariantBool:
            return variant.payload.boolean ? 1 : 0;
        case kVariantDate:
            return DateBits(variant.payload.date);
        case kVariantDateTime:
            return static_cast<int64_t>(DateTimeBits(variant.payload.date_time));
        default:
            return 0;
    }
}

double VariantToDouble(const Variant& variant) {
    switch (variant.tag) {
        case kVariantText:
            return wcstod(WStrCStr(TextOf(variant)), nullptr);
        case kVariantInt32:
            return variant.payload.int32;
        case kVariantInt64:
            return static_cast<double>(variant.payload.int64);
        case kVariantDouble:
            return variant.payload.f64;
        case kVariantBool:
            return variant.payload.boolean ? 1.0 : 0.0;
        default:
            return 0.0;
    }
}

bool VariantToBool(const Variant& variant) {
    switch (variant.tag) {
        case kVariantText:
            return WStrLength(TextOf(variant)) != 0 && !WStrEqualsChars(TextOf(variant), L"0");
        case kVariantInt32:
            return variant.payload.int32 != 0;
        case kVariantInt64:
            return variant.payload.int64 != 0;
        case kVariantDouble:
            return variant.payload.f64 != 0.0;
        case kVariantBool:
            return variant.payload.boolean;
        default:
            return false;
    }
}

Ref<RefCounted> VariantGetObject(const Variant& variant) {
    if (variant.tag != kVariantObject) return nullptr;
    return Ref<RefCounted>(variant.payload.object);
}

WString& VariantToString(const Variant& variant, WString& out) {
    switch (variant.tag) {
        case kVariantText:
            return WStrAssign(out, TextOf(variant));
        case kVariantInt32:
            return AssignPrinted(out, "%ld", static_cast<long>(variant.payload.int32));
        case kVariantInt64:
            return AssignPrinted(out, "%lld", static_cast<long long>(variant.payload.int64));
        case kVariantDouble:
            return AssignPrinted(out, "%f", variant.payload.f64);
        case kVariantBool:
            return WStrAssignChars(out, variant.payload.boolean ? L"1" : L"0");
        case kVariantDate: {
            wchar_t compact[kDateCompactChars];
            return WStrAssignChars(out, DateValueToCompact(variant.payload.date, compact));
        }
        case kVariantDateTime: {
            wchar_t stamp[kDateTimeStampChars];
            return WStrAssignChars(out, DateTimeStamp(variant.payload.date_time, stamp));
        }
        default:
            return WStrClear(out);
    }
}

WString& VariantFormat(Variant& variant, WString& out, bool clear_after) {
    VariantToString(variant, out);
    if (clear_after && variant.tag != kVariantEmpty) VariantClear(variant);
    return out;
}

bool VariantTypeConvertible(uint32_t from_tag, uint32_t to_tag) {
    int from = TableIndex(from_tag);
    int to = TableIndex(to_tag);
    if (from < 0 || to < 0) return from_tag == to_tag;
    return kConvertible[to][from];
}

bool VariantIsConvertible(const Variant& variant, uint32_t to_tag) {
    return VariantTypeConvertible(variant.tag, to_tag);
}

Variant VariantOfInt(int32_t value) {
    Variant variant;
    VariantInitInt(variant, value);
    return variant;
}

Variant VariantOfObject(RefCounted* object) {
    Variant variant;
    VariantInitObject(variant, object);
    return variant;
}
