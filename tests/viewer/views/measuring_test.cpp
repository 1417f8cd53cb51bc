// Measuring: the texts of the box for pages with and without a resolution,
// with and without a drawing scale; the position texts of the status bar.
#include "viewer/views/measuring.h"

#include <gtest/gtest.h>

#include <string>

#include "imaging/formats/image_format.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/open_params.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/views/view_mapping.h"

namespace {

std::wstring Text(ViewerContext* context, uint32_t id) {
    const wchar_t* text = ViewerGetText(context, id);
    return text ? text : L"";
}

std::wstring Str(const WString& text) { return WStrLength(text) ? WStrCStr(text) : L""; }

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
    const std::wstring pixel = L" " + Text(context, 2039);
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
        EXPECT_EQ(Str(texts.lines[0]), Text(context, 1865)) << c.name;
        EXPECT_EQ(Str(texts.lines[1]), Text(context, 1866)) << c.name;
        EXPECT_EQ(Str(texts.lines[kMeasureDistanceLine]), c.distance) << c.name;
        EXPECT_EQ(Str(texts.lines[3]), c.x) << c.name;
        EXPECT_EQ(Str(texts.lines[4]), c.y) << c.name;
        // Counted up from the right, as the picture shows it.
        EXPECT_EQ(Str(texts.lines[5]), Text(context, 1869) + L" " + c.angle + Text(context, 1870)) << c.name;
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
    EXPECT_EQ(Str(MeasurePositionText(text, context, stated.get(), rect, true)), L"10.00 mm x 20.00 mm");
    WStrClear(text);
    EXPECT_EQ(Str(MeasurePositionText(text, context, stated.get(), rect, false)),
              L"(1.500 mm,2.000 mm) -> (11.50 mm,22.00 mm) ");

    Ref<ImagePage> gif = DocItemGetPage(unstated.get());
    const double per_mm_x = gif->PixelWidth() / gif->WidthMm(),
                 per_mm_y = gif->PixelHeight() / gif->HeightMm();
    RectDSet(rect, 10 / per_mm_x, 5 / per_mm_y, 40 / per_mm_x, 30 / per_mm_y);
    WStrClear(text);
    const std::wstring pixel = L" " + Text(context, 2039);
    EXPECT_EQ(Str(MeasurePositionText(text, context, unstated.get(), rect, true)), L"40 x 30" + pixel);
    WStrClear(text);
    EXPECT_EQ(Str(MeasurePositionText(text, context, unstated.get(), rect, false)),
              L"(10,5) -> (50,35) " + pixel);
}
