// Version comparisons of Group 4 drawings made by ImageMagick: the composed
// render's colours pixel by pixel, a rotated and scaled twin lined up by its
// markers, the markers on screen, and compositions that cannot stand.
#include "viewer/documents/comparison_item.h"

#include <gtest/gtest.h>

#include <cmath>

#include "imaging/raster/raster_image.h"
#include "tests/viewer/documents/doc_tree_test_support.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/views/cut_out_state.h"
#include "viewer/views/view_mapping.h"

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
    "convert b.tif -rotate 90 -scale 200% -density 100 -units PixelsPerInch -compress Group4 c.tif && "
    "convert a.tif b.tif -compress Group4 two.tif";

bool InBand(int v, int first, int last) { return v >= first && v <= last; }
bool OnA(int x, int y) { return InBand(y, 50, 57) || InBand(x, 100, 107); }
bool OnB(int x, int y) { return InBand(y, 50, 57) || InBand(x, 300, 307); }
bool NearEdge(int x, int y) {
    for (int edge : {50, 57}) {
        if (std::abs(y - edge) <= 1) return true;
    }
    for (int edge : {100, 107, 300, 307}) {
        if (std::abs(x - edge) <= 1) return true;
    }
    return false;
}

uint32_t Expected(int x, int y) {
    const bool a = OnA(x, y), b = OnB(x, y);
    return a && b ? kBlack : a ? kRed : b ? kBlue : kWhite;
}

// The picture's pixel (x, y from its top line) of an upright render.
uint32_t ColourAt(const RasterImage* image, int x, int y) {
    uint32_t colour = 0;
    image->GetPixelRgb(static_cast<uint32_t>(x), image->height - 1 - static_cast<uint32_t>(y), &colour);
    return colour & 0xFFFFFF;
}

PagePlacement WholeComposition(ComparisonItem* comparison, uint32_t width, uint32_t height) {
    Ref<CutOutState> cut_out = comparison->GetCutOut();
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect = RectD{cut_out ? CutOutGetPageSize(cut_out.get()) : SizeD{}, PointD{}};
    placement.pixel_width = width;
    placement.pixel_height = height;
    placement.flip_y = 1;
    return placement;
}

// A comparison page that notes what it is asked to render.
class RecordingPage : public ComparisonPageItem {
  public:
    using ComparisonPageItem::ComparisonPageItem;
    Ref<RasterImage> RenderPage(ViewerContext* context, const PagePlacement& placement,
                                ProgressSink* progress, ImageStatus* status) override {
        requests.push_back(placement);
        return ComparisonPageItem::RenderPage(context, placement, progress, status);
    }
    std::vector<PagePlacement> requests;
};

struct Comparison {
    explicit Comparison(const char* scratch) : dir(MakeScratchDir(scratch)) {
        made = MakeFilesIn(dir, kDrawings);
        if (!made) return;
        a = viewer.Open(dir + "/a.tif");
        b = viewer.Open(dir + "/b.tif");
        c = viewer.Open(dir + "/c.tif");
        two = viewer.Open(dir + "/two.tif");
        container = ComparisonCreate(viewer.context.get(), viewer.RootItem().get());
    }
    Ref<ComparisonPageItem> Add(DocItem* document, uint32_t page = 0) {
        return ComparisonPageCreate(viewer.context.get(), container.get(), ChildAt(document, page).get());
    }

    std::string dir;
    bool made = false;
    TreeViewer viewer;
    Ref<DocumentItem> a, b, c, two;
    Ref<ComparisonItem> container;
};

}  // namespace

TEST(VersionComparison, SharedLinesBlackReferenceRedOthersBlue) {
    Comparison comparison("comparison_colours");
    ASSERT_TRUE(comparison.made);
    ComparisonItem* container = comparison.container.get();
    ASSERT_TRUE(comparison.Add(comparison.a.get()));
    ASSERT_TRUE(comparison.Add(comparison.b.get()));
    ASSERT_EQ(container->GetCommandMask(), item_command::kComposedComparisonMask);

    Ref<RasterImage> image = container->RenderPage(comparison.viewer.context.get(),
                                                   WholeComposition(container, 400, 300), nullptr);
    ASSERT_TRUE(image);
    ASSERT_EQ(image->width, 400u);
    ASSERT_EQ(image->height, 300u);
    int wrong = 0;
    for (int y = 0; y < 300; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (ColourAt(image.get(), x, y) != Expected(x, y) && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << ColourAt(image.get(), x, y);
            }
        }
    }
    EXPECT_EQ(wrong, 0);

    // The colour table behind it: levels of the other pages high, of the
    // reference low.
    Ref<Palette> palette = ComparisonPalette();
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0xFF) & 0xFFFFFF, kWhite);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0xF0) & 0xFFFFFF, kRed);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0x0F) & 0xFFFFFF, kBlue);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0x84) & 0xFFFFFF, 0x884444u);
    EXPECT_EQ(ComparisonChannelTable(true)[0x9C] & ComparisonChannelTable(false)[0x37], 0x39);

    // 300 dpi metrics of the composed area.
    Ref<PageMetrics> metrics = container->GetPageMetrics(comparison.viewer.context.get());
    ASSERT_TRUE(metrics);
    EXPECT_NEAR(metrics->page_size.width, kWidthMm, 1e-9);
    EXPECT_EQ(metrics->dpi_x, 300.0);
}

TEST(VersionComparison, RotatedAndScaledTwinLinesUpByItsMarkers) {
    Comparison comparison("comparison_twin");
    ASSERT_TRUE(comparison.made);
    ComparisonItem* container = comparison.container.get();
    ASSERT_TRUE(comparison.Add(comparison.a.get()));
    Ref<ComparisonPageItem> twin = comparison.Add(comparison.c.get());
    ASSERT_TRUE(twin);
    // A point (x, y) of B lies at (2 (height - y), 2 x) on its twin.
    PointD r1, r2;
    Ref<ComparisonPageItem> reference =
        AdoptRef(dynamic_cast<ComparisonPageItem*>(ChildAt(container, 0).Leak()));
    ASSERT_TRUE(ComparisonPageGetMarker(reference.get(), 0, r1));
    ASSERT_TRUE(ComparisonPageGetMarker(reference.get(), 1, r2));
    EXPECT_NEAR(r1.x, 0.1 * kWidthMm, 1e-9);
    EXPECT_NEAR(r2.x, 0.9 * kWidthMm, 1e-9);
    ASSERT_TRUE(ComparisonPageSetMarker(twin.get(), 0, PointD{2 * (kHeightMm - r1.y), 2 * r1.x}));
    ASSERT_TRUE(ComparisonPageSetMarker(twin.get(), 1, PointD{2 * (kHeightMm - r2.y), 2 * r2.x}));
    EXPECT_FALSE(ComparisonPageSetMarker(twin.get(), 2, PointD{}));
    ComparisonCompose(container, comparison.viewer.context.get());

    Ref<CutOutState> composed = container->GetCutOut();
    ASSERT_TRUE(composed);
    EXPECT_NEAR(CutOutGetPageSize(composed.get()).width, kWidthMm, 1e-6);
    EXPECT_NEAR(CutOutGetPageSize(composed.get()).height, kHeightMm, 1e-6);
    Ref<RasterImage> image = container->RenderPage(comparison.viewer.context.get(),
                                                   WholeComposition(container, 400, 300), nullptr);
    ASSERT_TRUE(image);
    int wrong = 0, checked = 0;
    for (int y = 2; y < 298; ++y) {
        for (int x = 2; x < 398; ++x) {
            if (NearEdge(x, y)) continue;
            ++checked;
            if (ColourAt(image.get(), x, y) != Expected(x, y) && ++wrong <= 5) {
                ADD_FAILURE() << "pixel " << x << "," << y << ": " << std::hex << ColourAt(image.get(), x, y);
            }
        }
    }
    EXPECT_GT(checked, 100000);
    EXPECT_EQ(wrong, 0);
}

// A page that overlaps the request in a thin sliver is rendered at the
// target's density, not stretched to the target's width.
TEST(VersionComparison, SliversAreRenderedAtTheTargetsDensity) {
    Comparison comparison("comparison_sliver");
    ASSERT_TRUE(comparison.made);
    ViewerContext* context = comparison.viewer.context.get();
    ComparisonItem* container = comparison.container.get();
    ASSERT_TRUE(comparison.Add(comparison.a.get()));
    auto* original = dynamic_cast<PageItem*>(ChildAt(comparison.b.get(), 0).get());
    ASSERT_TRUE(original);
    Ref<RecordingPage> shifted =
        MakeRef<RecordingPage>(context, original, CutOutCopy(original->cut_out.get()).get());
    // B lies 100.6 mm to the right of A: 1 mm of it overlaps A.
    ComparisonPageSetMarker(shifted.get(), 0, PointD{0.1 * kWidthMm - 100.6, 0.1 * kHeightMm});
    ComparisonPageSetMarker(shifted.get(), 1, PointD{0.9 * kWidthMm - 100.6, 0.1 * kHeightMm});
    ASSERT_TRUE(DocItemAddChild(container, context, shifted.get()));
    Ref<CutOutState> composed = container->GetCutOut();
    ASSERT_TRUE(composed);
    EXPECT_NEAR(CutOutGetPageSize(composed.get()).width, 100.6 + kWidthMm, 1e-6);

    PagePlacement placement = WholeComposition(container, 400, 300);
    placement.rect.size.width = kWidthMm;  // A's part only
    Ref<RasterImage> image = container->RenderPage(context, placement, nullptr);
    ASSERT_TRUE(image);
    ASSERT_EQ(shifted->requests.size(), 1u);
    const PagePlacement& asked = shifted->requests[0];
    EXPECT_NEAR(asked.rect.size.width, 1.0, 1e-6);
    EXPECT_LE(asked.pixel_width, 6u);
    EXPECT_LE(asked.pixel_height, 310u);
    EXPECT_EQ(ColourAt(image.get(), 398, 53), kBlack);
    EXPECT_EQ(ColourAt(image.get(), 398, 150), kWhite);
    EXPECT_EQ(ColourAt(image.get(), 103, 150), kRed);
}

TEST(VersionComparison, MarkersThatCannotLineUpShowTheBox) {
    Comparison comparison("comparison_markers");
    ASSERT_TRUE(comparison.made);
    ViewerContext* context = comparison.viewer.context.get();
    ComparisonItem* container = comparison.container.get();
    WString name;
    EXPECT_EQ(std::wstring(WStrCStr(DocItemGetName(container, name))),
              std::wstring(ViewerGetText(context, 2745)) + L" #1");

    // No pages yet: nothing composed, yet nothing wrong either.
    EXPECT_EQ(container->GetCommandMask(), item_command::kItemMask);
    EXPECT_FALSE(container->GetCutOut());
    EXPECT_FALSE(container->RenderPage(context, WholeComposition(container, 40, 30), nullptr));
    RectI box;
    RectISet(box, 0, 0, 700, 120);
    DibCanvas empty(700, 120, kWhite);
    EXPECT_TRUE(container->Draw(context, kMainViewPass, empty.dc(), box));
    EXPECT_FALSE(container->Draw(context, 2, empty.dc(), box));
    EXPECT_EQ(empty.Pixel(1, 1), 0xE6E6E6u);
    EXPECT_GT(empty.Count(kBlack), 50);

    ASSERT_TRUE(comparison.Add(comparison.a.get()));
    Ref<ComparisonPageItem> second = comparison.Add(comparison.two.get(), 1);
    ASSERT_TRUE(second);
    EXPECT_EQ(NameOf(second.get()), L"two.tif - " + NameOf(ChildAt(comparison.two.get(), 1).get()));
    EXPECT_EQ(NameOf(ChildAt(container, 0).get()), L"a.tif");

    // Both markers on one point: no scale can be found. The view announces
    // a moved marker with notification 20, which recomposes.
    PointD first, last;
    ASSERT_TRUE(ComparisonPageGetMarker(second.get(), 0, first));
    ASSERT_TRUE(ComparisonPageGetMarker(second.get(), 1, last));
    ComparisonPageSetMarker(second.get(), 1, first);
    ViewerSendActionArg(context, event::kItemContentChanged, Variant());
    EXPECT_FALSE(container->GetCutOut());
    EXPECT_EQ(container->GetCommandMask(), item_command::kItemMask);
    EXPECT_FALSE(container->CanPrint(context));
    DibCanvas failed(700, 120, kWhite);
    EXPECT_TRUE(container->Draw(context, kMainViewPass, failed.dc(), box));
    int differing = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 700; ++x) differing += failed.Pixel(x, y) != empty.Pixel(x, y);
    }
    EXPECT_GT(differing, 50) << "other texts than before";

    // A marker segment so long that the page would shrink below a thousandth.
    ComparisonPageSetMarker(second.get(), 1, PointD{first.x + 1e5, first.y});
    ComparisonCompose(container, context);
    EXPECT_FALSE(container->GetCutOut());

    ComparisonPageSetMarker(second.get(), 1, last);
    ViewerSendActionArg(context, event::kItemContentChanged, Variant());
    EXPECT_TRUE(container->GetCutOut());
    EXPECT_EQ(container->GetCommandMask(), item_command::kComposedComparisonMask);
    EXPECT_TRUE(container->CanPrint(context));
}

TEST(VersionComparison, PagesAreCopiesThatGoWithTheirContainer) {
    Comparison comparison("comparison_copies");
    ASSERT_TRUE(comparison.made);
    ViewerContext* context = comparison.viewer.context.get();
    Ref<DocItem> original = ChildAt(comparison.a.get(), 0);
    Ref<CutOutState> original_cut = original->GetCutOut();
    CutOutSetRotation(original_cut.get(), 90);
    CutOutSetMirrorHorizontal(original_cut.get(), true);
    CutOutSetInvert(original_cut.get(), true);

    comparison.viewer.listener->events.clear();
    Ref<ComparisonPageItem> copy = comparison.Add(comparison.a.get());
    ASSERT_TRUE(copy);
    EXPECT_EQ(comparison.viewer.Codes({event::kItemAdded, event::kItemContentChanged}),
              (std::vector<uint32_t>{event::kItemAdded, event::kItemContentChanged}));
    EXPECT_EQ(copy->GetPageIndex(), 0u);
    EXPECT_EQ(copy->GetSource().get(), comparison.a->source.get());
    EXPECT_FALSE(copy->CanSave(context));
    Ref<CutOutState> copy_cut = copy->GetCutOut();
    EXPECT_NE(copy_cut.get(), original_cut.get());
    EXPECT_EQ(CutOutGetRotation(copy_cut.get()), 0u);
    EXPECT_FALSE(CutOutGetMirrorHorizontal(copy_cut.get()));
    EXPECT_TRUE(CutOutGetInvert(copy_cut.get()));
    EXPECT_FALSE(ComparisonPageCreate(context, comparison.container.get(), comparison.a.get()))
        << "documents are no pages";

    comparison.viewer.listener->events.clear();
    const std::vector<int32_t> ids = {comparison.container->id, copy->id};
    ASSERT_TRUE(DocItemRemoveChild(comparison.viewer.RootItem().get(), context, comparison.container.get()));
    std::vector<int32_t> removed;
    for (const ReceivedEvent& received : comparison.viewer.listener->events) {
        if (received.code == event::kItemRemoved) removed.push_back(VariantToInt(received.argument));
    }
    EXPECT_EQ(removed, ids);
    EXPECT_EQ(CutOutGetRotation(original_cut.get()), 90u);
    EXPECT_TRUE(CutOutGetMirrorHorizontal(original_cut.get()));
}

TEST(VersionComparison, MarkersAreDrawnWhereTheyAreVisible) {
    Comparison comparison("comparison_overlay");
    ASSERT_TRUE(comparison.made);
    ViewerContext* context = comparison.viewer.context.get();
    Ref<ComparisonPageItem> page = comparison.Add(comparison.a.get());
    ASSERT_TRUE(page);
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect = RectD{SizeD{kWidthMm, kHeightMm}, PointD{}};
    placement.pixel_width = 400;
    placement.pixel_height = 300;
    placement.flip_y = 1;
    Ref<ViewMapping> mapping = ViewMappingConstruct(page->id, PointI{}, placement, 1.0, 1.0);
    ASSERT_TRUE(mapping);
    // Marker 1 at (40, 30), marker 2 at (360, 30); only the left half shows.
    RectI left_half;
    RectISet(left_half, 0, 0, 200, 300);
    DibCanvas canvas(400, 300, kWhite);
    EXPECT_FALSE(page->DrawOverlay(context, 2, canvas.dc(), left_half, mapping.get()));
    EXPECT_EQ(canvas.Count(kWhite), 400 * 300);
    EXPECT_TRUE(page->DrawOverlay(context, kMainViewPass, canvas.dc(), left_half, mapping.get()));
    constexpr uint32_t kMarker = 0xF00000;
    EXPECT_EQ(canvas.Pixel(36, 30), kMarker);
    EXPECT_EQ(canvas.Pixel(40, 26), kMarker);
    EXPECT_EQ(canvas.Pixel(40, 30 - 12), kWhite);
    EXPECT_EQ(canvas.Pixel(356, 30), kWhite);
    EXPECT_EQ(canvas.Pixel(360, 26), kWhite);
    int label = 0;
    for (int y = 20; y < 45; ++y) {
        for (int x = 52; x < 75; ++x) label += canvas.Pixel(x, y) == kMarker;
    }
    EXPECT_GT(label, 5) << "the marker's number";
}
