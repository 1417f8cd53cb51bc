#include "viewer/core/scale.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::wstring Format(const Scale* scale) {
    WString text;
    FormatScale(scale, text);
    return WStrCStr(text);
}

}  // namespace

TEST(ScaleText, ParsesFormatsAndParsesBack) {
    struct Case {
        const wchar_t* text;
        bool decimal;
        double ratio;
        const wchar_t* formatted;
    };
    const Case cases[] = {
        {L"1:50", false, 0.02, L"1 : 50"},     {L" 1 : 100 ", false, 0.01, L"1 : 100"},
        {L"100", false, 100.0, L"100 : 1"},    {L"2:1", false, 2.0, L"2 : 1"},
        {L"0.5", true, 0.5, L"1 : 2.0"},       {L"2.5", true, 2.5, L"2.5 : 1"},
        {L"1.5:3", true, 0.5, L"1 : 2.0"},     {L"1:2.5", true, 0.4, L"1 : 2.5"},
        {L"1\t:\t20", false, 0.05, L"1 : 20"}, {L"1999999999:1", false, 1999999999.0, L"1999999999 : 1"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "text " << testing::PrintToString(std::wstring(c.text)));
        Ref<Scale> scale = ParseScale(c.text);
        ASSERT_TRUE(scale);
        EXPECT_EQ(scale->decimal, c.decimal);
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), c.ratio);
        const std::wstring formatted = Format(scale.get());
        EXPECT_EQ(formatted, c.formatted);
        // What the status bar and the scale dialog show reads back as the same scale.
        Ref<Scale> again = ParseScale(formatted.c_str());
        ASSERT_TRUE(again);
        EXPECT_NEAR(ScaleGetRatio(again.get()), c.ratio, c.ratio * 1e-9);
    }
    // "%.1f" of a huge ratio has hundreds of digits; the text stays within 50.
    EXPECT_LE(Format(ScaleCreateDecimal(1e300).get()).size(), 50u);
}

TEST(ScaleText, RefusesWhatIsNoScale) {
    const wchar_t* const refused[] = {
        L"",     L"   ", L"0",    L"0:5",   L"5:0",          L"-1:50",         L"1:-50",
        L"+1",   L"1:",  L":5",   L"1:2:3", L"abc",          L"1.5x",          L"inf.",
        L"nan.", L"0.0", L"1x:2", L"1e3:1", L"2000000000:1", L"1:99999999999",
    };
    for (const wchar_t* text : refused) {
        EXPECT_FALSE(ParseScale(text)) << testing::PrintToString(std::wstring(text));
    }
}
