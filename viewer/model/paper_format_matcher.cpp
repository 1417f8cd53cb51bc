#include "viewer/model/paper_format_matcher.h"

#include <cmath>
#include <utility>

namespace {

struct PaperFormat {
    int16_t long_side;  // millimetres
    int16_t short_side;
    const wchar_t* name;
};

// The order matters: the first row within the tolerance wins.
constexpr PaperFormat kPaperFormats[kPaperFormatCount] = {
    {2378, 1682, L"ISO 4A0"}, {1682, 1189, L"ISO 2A0"}, {1247, 882, L"ISO A0 OV"}, {1189, 841, L"ISO A0"},
    {841, 594, L"ISO A1"},    {594, 420, L"ISO A2"},    {420, 297, L"ISO A3"},     {297, 210, L"ISO A4"},
    {210, 148, L"ISO A5"},    {148, 105, L"ISO A6"},    {105, 74, L"ISO A7"},      {74, 52, L"ISO A8"},
    {52, 37, L"ISO A9"},      {37, 26, L"ISO A10"},

    {1727, 1118, L"ANSI F"},  {1118, 864, L"ANSI E"},   {864, 559, L"ANSI D"},     {559, 432, L"ANSI C"},
    {432, 279, L"ANSI B"},    {279, 216, L"ANSI A"},    {356, 216, L"Legal"},

    {2000, 1414, L"ISO 2B0"}, {1414, 1000, L"ISO B0"},  {1000, 707, L"ISO B1"},    {707, 500, L"ISO B2"},
    {500, 353, L"ISO B3"},    {353, 250, L"ISO B4"},    {250, 176, L"ISO B5"},     {176, 125, L"ISO B6"},
    {125, 88, L"ISO B7"},     {88, 62, L"ISO B8"},      {62, 44, L"ISO B9"},       {44, 31, L"ISO B10"},

    {1297, 917, L"ISO C0"},   {917, 648, L"ISO C1"},    {648, 458, L"ISO C2"},     {458, 324, L"ISO C3"},
    {324, 229, L"ISO C4"},    {229, 162, L"ISO C5"},    {162, 114, L"ISO C6"},     {114, 81, L"ISO C7"},
    {81, 57, L"ISO C8"},      {57, 40, L"ISO C9"},      {40, 28, L"ISO C10"},

    {1091, 771, L"ISO D0"},   {771, 545, L"ISO D1"},    {545, 385, L"ISO D2"},     {385, 272, L"ISO D3"},
    {272, 192, L"ISO D4"},    {192, 136, L"ISO D5"},    {136, 96, L"ISO D6"},      {96, 68, L"ISO D7"},

    {1120, 800, L"ISO E0"},   {800, 560, L"ISO E1"},    {560, 400, L"ISO E2"},     {400, 280, L"ISO E3"},
    {280, 200, L"ISO E4"},    {200, 140, L"ISO E5"},    {140, 100, L"ISO E6"},     {100, 70, L"ISO E7"},

    {1456, 1030, L"JIS B0"},  {1030, 728, L"JIS B1"},   {728, 515, L"JIS B2"},     {515, 364, L"JIS B3"},
    {364, 257, L"JIS B4"},    {257, 182, L"JIS B5"},    {182, 128, L"JIS B6"},     {128, 91, L"JIS B7"},
    {91, 64, L"JIS B8"},      {64, 45, L"JIS B9"},      {45, 32, L"JIS B10"},
};

// Rounded to whole millimetres but kept in a double: a bound cut to 16 bits
// would wrap, and a page of 62,700 mm would pass for one of 297.
double Bound(double factor, double side) { return std::floor(factor * side + 0.5); }

bool Within(int16_t side, double low, double high) { return side >= low && side <= high; }

}  // namespace

int32_t PaperFormatFind(PaperFormatMatcher* matcher, const SizeD& size_mm) {
    if (!matcher || !std::isfinite(size_mm.width) || !std::isfinite(size_mm.height) || size_mm.width <= 0 ||
        size_mm.height <= 0) {
        return -1;
    }
    {
        ScopedLock hold(matcher->lock);
        if (matcher->cached_row >= 0 && matcher->cached_size.width == size_mm.width &&
            matcher->cached_size.height == size_mm.height) {
            return matcher->cached_row;
        }
    }
    double long_side = size_mm.width, short_side = size_mm.height;
    if (long_side < short_side) std::swap(long_side, short_side);
    const double long_max = Bound(matcher->upper_factor, long_side);
    const double long_min = Bound(matcher->lower_factor, long_side);
    const double short_max = Bound(matcher->upper_factor, short_side);
    const double short_min = Bound(matcher->lower_factor, short_side);
    for (int32_t row = 0; row < kPaperFormatCount; ++row) {
        const PaperFormat& format = kPaperFormats[row];
        if (Within(format.long_side, long_min, long_max) && Within(format.short_side, short_min, short_max)) {
            ScopedLock hold(matcher->lock);
            matcher->cached_row = row;
            matcher->cached_size = size_mm;
            return row;
        }
    }
    return -1;
}

const wchar_t* PaperFormatRowName(int32_t row) {
    return row >= 0 && row < kPaperFormatCount ? kPaperFormats[row].name : nullptr;
}

bool PaperFormatName(PaperFormatMatcher* matcher, const SizeD& size_mm, WString& out) {
    const wchar_t* name = PaperFormatRowName(PaperFormatFind(matcher, size_mm));
    if (!name) return false;
    out = name;
    return true;
}
