// The colon-separated fields of markup texts (attributes and geometry), and
// the one number formatter and parser they are written and read with.
#pragma once

#include <cstdint>

#include "foundation/string_builder.h"
#include "foundation/string_split.h"
#include "foundation/strings.h"

// The fields of a text split at every ':', empty fields kept.
class RedlineFields {
  public:
    explicit RedlineFields(const WString& text);
    ~RedlineFields();
    RedlineFields(const RedlineFields&) = delete;
    RedlineFields& operator=(const RedlineFields&) = delete;

    // False when the split could not be allocated.
    bool ok() const { return split_ != nullptr; }
    uint32_t count() const;
    // Field i as it stands.
    WString& Raw(uint32_t i, WString& out) const;
    // Field i trimmed of white space; false when nothing is left.
    bool Trimmed(uint32_t i, WString& out) const;
    // Typed fields; each fails on an empty field. A boolean is true unless
    // its first character is '0'; a real must be finite.
    bool Int(uint32_t i, int32_t& out) const;
    bool Bool(uint32_t i, bool& out) const;
    bool Real(uint32_t i, double& out) const;

  private:
    WStrSplit* split_ = nullptr;
};

// The leading number of the text; false when there is none or it is not
// finite ("inf", "nan" and overflowing exponents reach integer conversions
// later, so they are refused here).
bool RedlineReadReal(const WString& text, double& out);
// "%f" of the value (six decimals, C locale).
bool RedlineAppendFixed(WStrBuilder& builder, double value);
// Appends printf-formatted text of at most `limit` characters.
bool RedlineAppendPrinted(WStrBuilder& builder, uint32_t limit, const char* format, ...);
