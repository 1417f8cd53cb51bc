// Version comparisons of Group 4 drawings made by ImageMagick: the composed
// render's colours pixel by pixel and a rotated and scaled twin lined up by
// its markers.
#include "viewer/documents/comparison_item.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/raster/raster_image.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/documents/doc_item.h"
#include "viewer/views/cut_out_state.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kBlack = 0x000000, kRed = 0xFF0000, kBlue = 0x0000FF;
constexpr double kWidthMm = 101.6, kHeightMm = 76.2;  // 400 x 300 pixels at 100 dpi

// Both drawings share the horizontal band; each has a vertical band of its own.
constexpr char kDrawings[] =
    "convert -size 400x300 -density 100 -units PixelsPerInch xc:white -fill black "
    "-draw 'rectangle 0,50 399,57' -draw 'rectangle 100,0 107,299' -compress Group4 a.tif && "
    "convert -size 400x300 -density 100 -units PixelsPerInch xc:white -fill black "
    "-draw 'rectangle 0,50 399,57' -draw 'rectangle 300,0 307,299' -compress Group4 b.tif && "
    // B turned a quarter clockwise and doubled.
    "convert b.tif -rotate 90 -scale 200% -density 100 -units PixelsPerInch -compress Group4 c.tif";

bool InBand(int v, int first, int last) { return v >= first && v <= last; }
// Within a pixel of a band's edge, where the twin's scaling may round.
bool NearEdge(int x, int y) {
    auto close_to = [](int v, int edge) { return std::abs(v - edge) <= 1; };
    return close_to(y, 50) || close_to(y, 57) || close_to(x, 100) || close_to(x, 107) || close_to(x, 300) ||
           close_to(x, 307);
}

// Shared lines black, the reference's own red, the other page's blue.
uint32_t Expected(int x, int y) {
    const bool a = InBand(y, 50, 57) || InBand(x, 100, 107), b = InBand(y, 50, 57) || InBand(x, 300, 307);
    return a && b ? kBlack : a ? kRed : b ? kBlue : kWhite;
}

// The picture's pixel (x, y from its top line) of an upright render.
uint32_t ColourAt(const RasterImage* image, int x, int y) {
    uint32_t colour = 0;
    image->GetPixelRgb(static_cast<uint32_t>(x), image->height - 1 - static_cast<uint32_t>(y), &colour);
    return colour & 0xFFFFFF;
}

// How many pixels 2 pixels or more inside the picture differ from Expected
// (those next to an edge skipped when `skip_edges`); names the first few.
int WrongPixels(const RasterImage* image, bool skip_edges) {
    int wrong = 0;
    const int margin = skip_edges ? 2 : 0;
    for (int y = margin; y < 300 - margin; ++y) {
        for (int x = margin; x < 400 - margin; ++x) {
            if (skip_edges && NearEdge(x, y)) continue;
            if (ColourAt(image, x, y) != Expected(x, y) && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << ColourAt(image, x, y);
            }
        }
    }
    return wrong;
}

PagePlacement WholeComposition(ComparisonItem* comparison) {
    Ref<CutOutState> cut_out = comparison->GetCutOut();
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect = RectD{cut_out ? CutOutGetPageSize(cut_out.get()) : SizeD{}, PointD{}};
    placement.pixel_width = 400;
    placement.pixel_height = 300;
    placement.flip_y = 1;
    return placement;
}

}  // namespace

class VersionComparison : public ::testing::Test {
  protected:
    void SetUp() override {
        const std::string dir = MakeScratchDir("comparison");
        ASSERT_TRUE(MakeFilesIn(dir, kDrawings));
        a = viewer.Open(dir + "/a.tif");
        b = viewer.Open(dir + "/b.tif");
        c = viewer.Open(dir + "/c.tif");
        container = ComparisonCreate(viewer.context.get(), viewer.RootItem().get());
    }
    Ref<ComparisonPageItem> Add(DocItem* document) {
        return ComparisonPageCreate(viewer.context.get(), container.get(), ChildAt(document, 0).get());
    }

    RunningViewer viewer;
    Ref<DocumentItem> a, b, c;
    Ref<ComparisonItem> container;
};

TEST_F(VersionComparison, SharedLinesBlackReferenceRedOthersBlue) {
    ASSERT_TRUE(Add(a.get()));
    ASSERT_TRUE(Add(b.get()));
    ASSERT_EQ(container->GetCommandMask(), item_command::kComposedComparisonMask);

    Ref<RasterImage> image =
        container->RenderPage(viewer.context.get(), WholeComposition(container.get()), nullptr);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 400u);
    ASSERT_EQ(image->height, 300u);
    EXPECT_EQ(WrongPixels(image.get(), false), 0);
}

TEST_F(VersionComparison, RotatedAndScaledTwinLinesUpByItsMarkers) {
    ViewerContext* context = viewer.context.get();
    Ref<ComparisonPageItem> reference = Add(a.get());
    Ref<ComparisonPageItem> twin = Add(c.get());
    ASSERT_TRUE(reference && twin);
    // A point (x, y) of B lies at (2 (height - y), 2 x) on its twin.
    PointD r1, r2;
    ASSERT_TRUE(ComparisonPageGetMarker(reference.get(), 0, r1));
    ASSERT_TRUE(ComparisonPageGetMarker(reference.get(), 1, r2));

    // Both markers on one point give no scale: nothing is composed. The view
    // announces a moved marker with notification 20, which recomposes.
    const PointD m1{2 * (kHeightMm - r1.y), 2 * r1.x}, m2{2 * (kHeightMm - r2.y), 2 * r2.x};
    ASSERT_TRUE(ComparisonPageSetMarker(twin.get(), 0, m1));
    ASSERT_TRUE(ComparisonPageSetMarker(twin.get(), 1, m1));
    ViewerSendActionArg(context, event::kItemContentChanged, Variant());
    EXPECT_FALSE(container->GetCutOut());
    EXPECT_EQ(container->GetCommandMask(), item_command::kItemMask);
    ASSERT_TRUE(ComparisonPageSetMarker(twin.get(), 1, m2));
    ViewerSendActionArg(context, event::kItemContentChanged, Variant());

    Ref<CutOutState> composed = container->GetCutOut();
    ASSERT_TRUE(composed);
    EXPECT_NEAR(CutOutGetPageSize(composed.get()).width, kWidthMm, 1e-6);
    EXPECT_NEAR(CutOutGetPageSize(composed.get()).height, kHeightMm, 1e-6);
    Ref<RasterImage> image = container->RenderPage(context, WholeComposition(container.get()), nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(WrongPixels(image.get(), true), 0);
}
