#include "redlining/redline_fields.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

// Numbers are written and read by mingw's own stdio only, named explicitly:
// msvcrt's printf and wcstod differ from it on "inf", "nan" and hexadecimal
// input, and which one a plain call reaches depends on include order.
extern "C" {
int __cdecl __mingw_vsnprintf(char* buffer, size_t size, const char* format, va_list arguments);
double __cdecl __mingw_wcstod(const wchar_t* text, wchar_t** end);
}

RedlineFields::RedlineFields(const WString& text) : split_(WStrSplitChar(text, L':', false)) {}

RedlineFields::~RedlineFields() {
    if (split_) StrSplitFree(split_);
}

uint32_t RedlineFields::count() const { return split_ ? split_->count : 0; }

WString& RedlineFields::Raw(uint32_t i, WString& out) const {
    if (!split_) return WStrClear(out);
    return WStrSplitGet(*split_, i, out);
}

bool RedlineFields::Trimmed(uint32_t i, WString& out) const {
    Raw(i, out);
    WStrTrim(out);
    return WStrLength(out) > 0;
}

bool RedlineFields::Int(uint32_t i, int32_t& out) const {
    WString field;
    if (!Trimmed(i, field)) return false;
    out = WStrToInt(field);
    return true;
}

bool RedlineFields::Bool(uint32_t i, bool& out) const {
    WString field;
    if (!Trimmed(i, field)) return false;
    out = WStrCharAt(field, 0) != L'0';
    return true;
}

bool RedlineFields::Real(uint32_t i, double& out) const {
    WString field;
    if (!Trimmed(i, field)) return false;
    return RedlineReadReal(field, out);
}

bool RedlineReadReal(const WString& text, double& out) {
    const wchar_t* start = WStrCStr(text);
    wchar_t* end = nullptr;
    const double value = __mingw_wcstod(start, &end);
    if (end == start || !std::isfinite(value)) return false;
    out = value;
    return true;
}

bool RedlineAppendPrinted(WStrBuilder& builder, uint32_t limit, const char* format, ...) {
    // "%f" of the largest doubles has over 300 digits.
    char narrow[400];
    va_list arguments;
    va_start(arguments, format);
    const int length = __mingw_vsnprintf(narrow, sizeof narrow, format, arguments);
    va_end(arguments);
    if (length < 0) return false;
    wchar_t wide[sizeof narrow];
    uint32_t n = 0;
    for (; narrow[n] != 0 && n < limit; ++n) wide[n] = static_cast<unsigned char>(narrow[n]);
    return WStrBuilderAppendN(builder, wide, n);
}

bool RedlineAppendFixed(WStrBuilder& builder, double value) {
    return RedlineAppendPrinted(builder, 400, "%f", value);
}
