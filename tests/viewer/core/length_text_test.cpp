// Lengths and drawing scales as the measuring box, the status bar and the
// scale dialog write and read them.
#include "viewer/core/length_text.h"

#include <gtest/gtest.h>

#include <string>

#include "viewer/core/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

TEST(LengthText, NumbersUnitsAndThousands) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    AppGetSettings(root.get())->language = 1;
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);

    // Decimals by magnitude, also for negative values.
    const std::pair<double, const wchar_t*> numbers[] = {
        {1234.4, L"1234"}, {99.999, L"100.00"}, {-250, L"-250.0"}};
    for (const auto& [value, text] : numbers) {
        WStrBuilder builder(16);
        EXPECT_TRUE(FormatNumberByMagnitude(value, builder));
        EXPECT_STREQ(WStrBuilderCStr(builder), text) << value;
    }
    // Each unit (1 metric, 2 inch, 3 with cm, 4 mm only) picks its largest
    // step below the value; below every step the first, 0 the default one.
    const struct {
        double millimetres;
        int32_t unit;
        const wchar_t* text;
    } lengths[] = {
        {0.0000005, 1, L"0.5000 nm"}, {0.25, 1, L"250.0 \u00b5m"}, {0, 1, L"0.0000 mm"},
        {25, 3, L"2.500 cm"},         {254, 2, L"10.00 Inch"},     {-2500, 1, L"-2.500 m"}, {42, 5, L"42.00"},
    };
    for (const auto& c : lengths) {
        WStrBuilder builder(16);
        EXPECT_TRUE(FormatLengthInUnit(context.get(), c.millimetres, c.unit, builder));
        EXPECT_STREQ(WStrBuilderCStr(builder), c.text) << c.millimetres << " in unit " << c.unit;
    }
    // Pages without a resolution measure in pixels.
    WStrBuilder pixels(16), inches(16), bare(16);
    ASSERT_TRUE(FormatLength(context.get(), 37.5, false, pixels));
    EXPECT_STREQ(WStrBuilderCStr(pixels), L"37.50 Pixel");
    root->settings->length_unit = 2;
    ASSERT_TRUE(FormatLength(context.get(), 50.8, true, inches));
    EXPECT_STREQ(WStrBuilderCStr(inches), L"2.000 Inch");
    ASSERT_TRUE(FormatLength(nullptr, 25, true, bare));  // no settings: metric with cm
    EXPECT_STREQ(WStrBuilderCStr(bare), L"2.500 ");

    const std::pair<int64_t, const wchar_t*> thousands[] = {
        {999, L"999"}, {1234567, L"1.234.567"}, {INT64_MIN, L"-9.223.372.036.854.775.808"}};
    for (const auto& [value, text] : thousands) {
        WString out;
        EXPECT_STREQ(WStrCStr(FormatThousands(value, out)), text) << value;
    }
}

TEST(ScaleText, ParsesFormatsAndParsesBack) {
    const struct {
        const wchar_t* text;
        bool decimal;
        double ratio;
        const wchar_t* formatted;
    } cases[] = {
        {L" 1 : 100 ", false, 0.01, L"1 : 100"}, {L"100", false, 100.0, L"100 : 1"},
        {L"0.5", true, 0.5, L"1 : 2.0"},         {L"2.5", true, 2.5, L"2.5 : 1"},
        {L"1.5:3", true, 0.5, L"1 : 2.0"},       {L"1\t:\t20", false, 0.05, L"1 : 20"},
        {L"1999999999:1", false, 1999999999.0, L"1999999999 : 1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "text " << testing::PrintToString(std::wstring(c.text)));
        Ref<Scale> scale = ParseScale(c.text);
        ASSERT_TRUE(scale);
        EXPECT_EQ(scale->decimal, c.decimal);
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), c.ratio);
        WString formatted;
        EXPECT_STREQ(WStrCStr(FormatScale(scale.get(), formatted)), c.formatted);
        // What the status bar and the scale dialog show reads back as the same scale.
        Ref<Scale> again = ParseScale(WStrCStr(formatted));
        ASSERT_TRUE(again);
        EXPECT_NEAR(ScaleGetRatio(again.get()), c.ratio, c.ratio * 1e-9);
    }
    // "%.1f" of a huge ratio has hundreds of digits; the text stays within 50.
    WString huge;
    EXPECT_LE(WStrLength(FormatScale(ScaleCreateDecimal(1e300).get(), huge)), 50u);

    for (const wchar_t* refused : {L"", L"0", L"5:0", L"-1:50", L"+1", L"1:", L"1:2:3", L"abc", L"1.5x",
                                   L"inf.", L"nan.", L"1e3:1", L"2000000000:1", L"1:99999999999"}) {
        EXPECT_FALSE(ParseScale(refused)) << testing::PrintToString(std::wstring(refused));
    }
}
