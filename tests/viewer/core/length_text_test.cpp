// Lengths as the measuring box and the status bar write them, against the
// texts of the viewer's own text resource.
#include "viewer/core/length_text.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "viewer/core/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

std::wstring Number(double value) {
    WStrBuilder builder(16);
    EXPECT_TRUE(FormatNumberByMagnitude(value, builder));
    return WStrBuilderCStr(builder);
}

struct LengthCase {
    double millimetres;
    int32_t unit;
    const wchar_t* text;
};

class EnglishViewer {
  public:
    EnglishViewer() {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        Ref<Settings> settings = AppGetSettings(root.get());
        settings->language = 1;
        context = ViewerContextConstruct(root.get());
        root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
    }
    std::wstring Length(double millimetres, int32_t unit) {
        WStrBuilder builder(16);
        EXPECT_TRUE(FormatLengthInUnit(context.get(), millimetres, unit, builder));
        return WStrBuilderCStr(builder);
    }
    Ref<AppRoot> root;
    Ref<ViewerContext> context;
};

}  // namespace

TEST(LengthText, NumbersKeepDecimalsByTheirSize) {
    EXPECT_EQ(Number(1234.4), L"1234");
    EXPECT_EQ(Number(100), L"100.0");
    EXPECT_EQ(Number(99.999), L"100.00");
    EXPECT_EQ(Number(10), L"10.00");
    EXPECT_EQ(Number(1), L"1.000");
    EXPECT_EQ(Number(0.5), L"0.5000");
    EXPECT_EQ(Number(0), L"0.0000");
    // A negative value is written by its magnitude too, not with the four
    // decimals of the smallest values.
    EXPECT_EQ(Number(-250), L"-250.0");
    EXPECT_EQ(Number(-3.25), L"-3.250");
}

TEST(LengthText, EachUnitPicksItsLargestStepBelowTheValue) {
    EnglishViewer viewer;
    const LengthCase cases[] = {
        {0.0000005, 1, L"0.5000 nm"},  // below every step: the first one
        {0.0005, 1, L"500.0 nm"},
        {0.25, 1, L"250.0 \u00b5m"},
        {25, 1, L"25.00 mm"},
        {2500, 1, L"2.500 m"},
        {3000000, 1, L"3.000 km"},
        {0, 1, L"0.0000 mm"},  // 0 takes the unit's default step
        {25, 3, L"2.500 cm"},
        {9, 3, L"9.000 mm"},
        {12000, 3, L"12.00 m"},
        {254, 2, L"10.00 Inch"},
        {1, 2, L"0.0394 Inch"},
        {0, 2, L"0.0000 Inch"},
        {123456, 4, L"123456 mm"},
        {-2500, 1, L"-2.500 m"},
        {-0.25, 3, L"-250.0 \u00b5m"},
        {42, 0, L"42.00"},  // no unit: the bare number
        {42, 5, L"42.00"},
    };
    for (const LengthCase& c : cases) {
        EXPECT_EQ(viewer.Length(c.millimetres, c.unit), c.text) << c.millimetres << " in unit " << c.unit;
    }
}

TEST(LengthText, FormatLengthFollowsTheSettingOrCountsPixels) {
    EnglishViewer viewer;
    WStrBuilder pixels(16);
    ASSERT_TRUE(FormatLength(viewer.context.get(), 37.5, false, pixels));
    EXPECT_STREQ(WStrBuilderCStr(pixels), L"37.50 Pixel");

    viewer.root->settings->length_unit = 2;
    WStrBuilder inches(16);
    ASSERT_TRUE(FormatLength(viewer.context.get(), 50.8, true, inches));
    EXPECT_STREQ(WStrBuilderCStr(inches), L"2.000 Inch");

    // Without settings the metric unit with centimetres serves.
    WStrBuilder bare(16);
    ASSERT_TRUE(FormatLength(nullptr, 25, true, bare));
    EXPECT_STREQ(WStrBuilderCStr(bare), L"2.500 ");
}

TEST(LengthText, ThousandsAreGroupedFromTheRight) {
    const std::pair<int64_t, const wchar_t*> cases[] = {
        {0, L"0"},
        {999, L"999"},
        {1000, L"1.000"},
        {1234567, L"1.234.567"},
        {-45000, L"-45.000"},
        {INT64_MIN, L"-9.223.372.036.854.775.808"},
    };
    for (const auto& [value, text] : cases) {
        WString out;
        EXPECT_STREQ(WStrCStr(FormatThousands(value, out)), text) << value;
    }
}
