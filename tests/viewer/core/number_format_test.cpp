#include "viewer/core/number_format.h"

#include <gtest/gtest.h>

#include <cmath>

TEST(NumberFormat, DecimalsByMagnitude) {
    struct Case {
        double value;
        const wchar_t* text;
    };
    const Case cases[] = {{123.6, L"124"},  {10, L"10"},    {9.96, L"10.0"},  {1, L"1.0"},
                          {0.5, L"0.50"},   {0.1, L"0.10"}, {0.05, L"0.050"}, {0.001234, L"0.00123"},
                          {-3, L"-3.00000"}};
    for (const Case& c : cases) {
        WStrBuilder builder;
        ASSERT_TRUE(WStrBuilderAppendChars(builder, L">"));
        ASSERT_TRUE(FormatDecimalAuto(c.value, builder));
        EXPECT_EQ(std::wstring(WStrBuilderCStr(builder)), std::wstring(L">") + c.text) << c.value;
    }
    WStrBuilder huge;
    ASSERT_TRUE(FormatDecimalAuto(1e200, huge));
    EXPECT_EQ(wcslen(WStrBuilderCStr(huge)), 30u);
}

TEST(NumberFormat, RoundToInt) {
    EXPECT_EQ(RoundToInt(-2.5), -2);
    EXPECT_EQ(RoundToInt(2.5), 3);
    EXPECT_EQ(RoundToInt(-2.51), -3);
    EXPECT_EQ(RoundToInt(0.49), 0);
    EXPECT_EQ(RoundToInt(1e12), INT32_MAX);
    EXPECT_EQ(RoundToInt(-1e12), INT32_MIN);
    EXPECT_EQ(RoundToInt(std::nan("")), 0);
}
