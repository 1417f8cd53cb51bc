// Lengths and drawing scales as the measuring box, the status bar and the
// scale dialog write and read them; the measuring box's texts for pages
// with and without a resolution and a drawing scale, and the position texts
// of the status bar.
#include "viewer/views/measuring.h"

#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/length_text.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/model/view_mapping.h"

namespace {

std::wstring Text(ViewerContext* context, uint32_t id) { return ViewerTextOrEmpty(context, id); }

// An upright, unmirrored mapping, optionally turned.
Ref<ViewMapping> Upright(int32_t id, uint32_t rotation = 0) {
    PagePlacement placement;
    PagePlacementInit(placement);
    RectDSet(placement.rect, 0, 0, 100, 100);
    placement.pixel_width = placement.pixel_height = 400;
    placement.rotation = static_cast<uint16_t>(rotation);
    placement.flip_x = rotation % 180 == 90;
    placement.flip_y = rotation % 180 != 90;
    return ViewMappingConstruct(id, PointI{}, placement, 4.0, 4.0);
}

struct Pages {
    Pages() {
        dir = MakeScratchDir("measuring_pages");
        EXPECT_TRUE(MakeFilesIn(dir,
                                "convert -size 200x100 xc:white -density 96 -units PixelsPerInch -compress "
                                "Group4 stated.tif && convert -size 200x100 xc:white unstated.gif"));
    }
    Ref<DocItem> Open(const std::string& name, OpenParams* params = nullptr) {
        Ref<DocumentItem> document = viewer.Open(dir + "/" + name, params);
        return document ? ChildAt(document.get(), 0) : nullptr;
    }
    std::string dir;
    RunningViewer viewer;
};

}  // namespace

TEST(MeasureTexts, LengthsFollowTheScaleAndPagesWithoutResolutionCountPixels) {
    Pages pages;
    ViewerContext* context = pages.viewer.context.get();
    SettingsSetLengthUnit(ViewerGetSettings(context).get(), nullptr, kCallerInternal, 4);  // millimetres
    Ref<OpenParams> fifty = OpenParamsCreate();
    OpenParamsSetScale(fifty.get(), ScaleCreate(1, 50).get());
    Ref<DocItem> at_fifty = pages.Open("stated.tif", fifty.get());
    Ref<DocItem> at_one = pages.Open("stated.tif");
    Ref<DocItem> unstated = pages.Open("unstated.gif");
    ASSERT_TRUE(at_fifty && at_one && unstated);
    Ref<ImagePage> gif = DocItemGetPage(unstated.get());
    ASSERT_TRUE(gif);
    PageInfo info;
    ASSERT_TRUE(gif->GetInfo(&info));
    ASSERT_FALSE(info.resolution_given);
    // 40 pixels of the GIF to the right, 30 up.
    const PointD gif_vector{40 * gif->WidthMm() / gif->PixelWidth(),
                            -30 * gif->HeightMm() / gif->PixelHeight()};

    const std::wstring dx = Text(context, 1867) + L" ", dy = Text(context, 1868) + L" ";
    const std::wstring pixel = L" " + Text(context, text::kPixel);
    struct Case {
        const char* name;
        DocItem* item;
        PointD vector;
        std::wstring distance, x, y, angle;
    };
    const Case cases[] = {
        // A line of 10 mm on a drawing of 1 : 50 measures 500 mm.
        {"1:50", at_fifty.get(), PointD{6, 8}, L"500.0 mm", dx + L"300.0 mm", dy + L"-400.0 mm", L"-53.1"},
        {"1:1", at_one.get(), PointD{6, 8}, L"10.00 mm", dx + L"6.000 mm", dy + L"-8.000 mm", L"-53.1"},
        {"no resolution", unstated.get(), gif_vector, L"50.00" + pixel, dx + L"40.00" + pixel,
         dy + L"30.00" + pixel, L"36.9"},
    };
    for (const Case& c : cases) {
        MeasureTexts texts;
        ASSERT_TRUE(MeasureInfoTexts(context, c.item, Upright(c.item->id).get(), c.vector, texts)) << c.name;
        EXPECT_EQ(Wide(texts.lines[0]), Text(context, 1865)) << c.name;
        EXPECT_EQ(Wide(texts.lines[1]), Text(context, 1866)) << c.name;
        EXPECT_EQ(Wide(texts.lines[kMeasureDistanceLine]), c.distance) << c.name;
        EXPECT_EQ(Wide(texts.lines[3]), c.x) << c.name;
        EXPECT_EQ(Wide(texts.lines[4]), c.y) << c.name;
        // Counted up from the right, as the picture shows it.
        EXPECT_EQ(Wide(texts.lines[5]), Text(context, 1869) + L" " + c.angle + Text(context, 1870)) << c.name;
    }
}

TEST(MeasurePositionText, LengthsWithAResolutionPixelsWithout) {
    Pages pages;
    ViewerContext* context = pages.viewer.context.get();
    SettingsSetLengthUnit(ViewerGetSettings(context).get(), nullptr, kCallerInternal, 4);
    Ref<DocItem> stated = pages.Open("stated.tif");
    Ref<DocItem> unstated = pages.Open("unstated.gif");
    ASSERT_TRUE(stated && unstated);
    RectD rect;
    RectDSet(rect, 1.5, 2, 10, 20);
    WString text;
    EXPECT_EQ(Wide(MeasurePositionText(text, context, stated.get(), rect, true)), L"10.00 mm x 20.00 mm");
    WStrClear(text);
    EXPECT_EQ(Wide(MeasurePositionText(text, context, stated.get(), rect, false)),
              L"(1.500 mm,2.000 mm) -> (11.50 mm,22.00 mm) ");

    Ref<ImagePage> gif = DocItemGetPage(unstated.get());
    const double per_mm_x = gif->PixelWidth() / gif->WidthMm(),
                 per_mm_y = gif->PixelHeight() / gif->HeightMm();
    RectDSet(rect, 10 / per_mm_x, 5 / per_mm_y, 40 / per_mm_x, 30 / per_mm_y);
    WStrClear(text);
    const std::wstring pixel = L" " + Text(context, text::kPixel);
    EXPECT_EQ(Wide(MeasurePositionText(text, context, unstated.get(), rect, true)), L"40 x 30" + pixel);
    WStrClear(text);
    EXPECT_EQ(Wide(MeasurePositionText(text, context, unstated.get(), rect, false)),
              L"(10,5) -> (50,35) " + pixel);
}

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
        {0.0000005, 1, L"0.5000 nm"}, {0.25, 1, L"250.0 \u00b5m"}, {0, 1, L"0.0000 mm"}, {25, 3, L"2.500 cm"},
        {254, 2, L"10.00 Inch"},      {-2500, 1, L"-2.500 m"},     {42, 5, L"42.00"},
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
        {L" 1 : 100 ", false, 0.01, L"1 : 100"},
        {L"100", false, 100.0, L"100 : 1"},
        {L"0.5", true, 0.5, L"1 : 2.0"},
        {L"2.5", true, 2.5, L"2.5 : 1"},
        {L"1.5:3", true, 0.5, L"1 : 2.0"},
        {L"1\t:\t20", false, 0.05, L"1 : 20"},
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
