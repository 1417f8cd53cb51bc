// The paper-format names: either orientation, the order of the table where
// formats lie within the tolerance of each other, sizes far outside the
// table, and the cache of the last match.
#include "viewer/views/paper_format_matcher.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

std::wstring NameOf(PaperFormatMatcher& matcher, double width, double height) {
    WString name(L"untouched");
    PaperFormatName(&matcher, SizeD{width, height}, name);
    return WStrBuffer(name);
}

TEST(PaperFormatMatcher, NamesTheFirstFormatWithinTheToleranceOrKeepsTheName) {
    const double nan = std::numeric_limits<double>::quiet_NaN(),
                 inf = std::numeric_limits<double>::infinity();
    const wchar_t* const kept = L"untouched";
    const struct {
        double tolerance, width, height;
        const wchar_t* name;
    } cases[] = {
        {0.05, 210, 297, L"ISO A4"},      // portrait
        {0.05, 297, 210, L"ISO A4"},      // landscape
        {0.05, 209.9, 297.0, L"ISO A4"},  // 595 x 842 points
        {0.05, 250, 176, L"ISO B5"},      // also within 5 % of JIS B5 (257 x 182), which comes later
        {0.05, 257, 182, L"ISO B5"},      // the same: ISO B5's bounds reach it first
        {0.05, 280, 200, L"ISO D4"},      // ISO E4 is exactly this, but ISO D4 (272 x 192) comes first
        {0.05, 45, 32, L"ISO B10"},       // JIS B10 is exactly this, ISO B10 (44 x 31) earlier
        {0.0, 257, 182, L"JIS B5"},
        {0.0, 280, 200, L"ISO E4"},
        {0.0, 295, 210, kept},
        // 62,700 would pass for 297 if the bounds were cut to 16 bits
        // (62,700 x 1.05 = 65,835 = 65,536 + 299).
        {0.05, 62700, 210, kept},
        {0.05, 65536 + 297, 65536 + 210, kept},
        {0.05, 230, 297, kept},  // between A4 and the next formats
        {0.05, 0, 0, kept},
        {0.05, -210, -297, kept},
        {0.05, nan, 297, kept},
        {0.05, inf, inf, kept},
    };
    for (const auto& c : cases) {
        PaperFormatMatcher matcher(c.tolerance);
        EXPECT_EQ(NameOf(matcher, c.width, c.height), c.name) << c.width << " x " << c.height;
        if (c.name == kept) EXPECT_EQ(matcher.cached_row, -1) << "a miss leaves the cache as it was";
    }
}

TEST(PaperFormatMatcher, TheSameSizeIsAnsweredFromTheCache) {
    PaperFormatMatcher matcher(0.05);
    EXPECT_EQ(PaperFormatFind(&matcher, SizeD{210, 297}), 7);
    EXPECT_EQ(matcher.cached_row, 7);
    EXPECT_EQ(matcher.cached_size, (SizeD{210, 297}));
    // Planted: an answer from the cache cannot come from the table.
    matcher.cached_row = 3;
    EXPECT_EQ(NameOf(matcher, 210, 297), L"ISO A0");
    // The other orientation is another size: searched, and cached anew.
    EXPECT_EQ(NameOf(matcher, 297, 210), L"ISO A4");
    EXPECT_EQ(matcher.cached_size, (SizeD{297, 210}));
    EXPECT_EQ(NameOf(matcher, 62700, 210), L"untouched");
    EXPECT_EQ(matcher.cached_size, (SizeD{297, 210}));
}

}  // namespace
