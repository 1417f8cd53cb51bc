// The tagged value that carries event arguments, option tables and
// automation values.
#pragma once

#include <cstdint>

#include "foundation/dates.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

enum VariantTag : uint32_t {
    kVariantEmpty = 0,
    kVariantText = 1,
    kVariantInt32 = 2,
    kVariantInt64 = 3,
    kVariantDouble = 4,
    kVariantBool = 5,
    kVariantDate = 6,
    kVariantDateTime = 7,
    kVariantObject = 12,
};

class Variant {
  public:
    Variant() = default;
    Variant(const Variant& other);             // VariantCopy
    Variant& operator=(const Variant& other);  // VariantAssign
    ~Variant();                                // VariantFree

    uint32_t tag = kVariantEmpty;
    union Payload {
        Payload() : int64(0) {}
        int64_t int64;
        WString* text;  // owned; null for the empty text
        int32_t int32;
        double f64;
        bool boolean;
        DateValue date;
        DateTime date_time;
        RefCounted* object;  // one reference held
    } payload;
};
static_assert(sizeof(Variant::Payload) == 8);

Variant& VariantInit(Variant& variant);
Variant& VariantInitString(Variant& variant, const WString& text);
Variant& VariantInitInt(Variant& variant, int32_t value);
Variant& VariantInitInt64(Variant& variant, int64_t value);
Variant& VariantInitDouble(Variant& variant, double value);
Variant& VariantInitBool(Variant& variant, bool value);
// Null stays empty; otherwise one reference is added.
Variant& VariantInitObject(Variant& variant, RefCounted* object);
// A new variant holding the value, for arguments built in one expression.
Variant VariantOfInt(int32_t value);
Variant VariantOfObject(RefCounted* object);
Variant& VariantCopy(Variant& variant, const Variant& other);
void VariantFree(Variant& variant);

// Each setter clears the old payload first.
Variant& VariantSetString(Variant& variant, const WString& text);
Variant& VariantSetInt(Variant& variant, int32_t value);
Variant& VariantSetInt64(Variant& variant, int64_t value);
Variant& VariantSetDouble(Variant& variant, double value);
Variant& VariantSetBool(Variant& variant, bool value);
Variant& VariantSetObject(Variant& variant, RefCounted* object);
// A private copy of the text, one reference more on an object; a tag outside
// the table gives an empty Variant.
Variant& VariantAssign(Variant& variant, const Variant& other);
void VariantClear(Variant& variant);

int32_t VariantToInt(const Variant& variant);
int64_t VariantToInt64(const Variant& variant);
double VariantToDouble(const Variant& variant);
bool VariantToBool(const Variant& variant);
// Tag 12 only, with a reference added; else null.
Ref<RefCounted> VariantGetObject(const Variant& variant);
WString& VariantToString(const Variant& variant, WString& out);
// As VariantToString; with clear_after a non-empty Variant is cleared after.
WString& VariantFormat(Variant& variant, WString& out, bool clear_after);

bool VariantTypeConvertible(uint32_t from_tag, uint32_t to_tag);
bool VariantIsConvertible(const Variant& variant, uint32_t to_tag);
