// The document tree as the viewer's windows see it through the hub: the
// order of the notifications from opening a document to its destruction, the
// cost of a document with thousands of pages, when a page that fails to
// render is given up for good; version comparisons of Group 4 drawings (the
// composed render's colours pixel by pixel, a rotated and scaled twin lined
// up by its markers).
#include "viewer/documents/doc_item.h"

#include <algorithm>
#include <cmath>
#include <fstream>

#include "foundation/variant.h"
#include "imaging/raster/raster_image.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/model/cut_out_state.h"

namespace {

const std::set<uint32_t> kTreeEvents = {
    event::kItemAdded,    event::kPagesBuilt,    event::kItemKindChanged, event::kItemNameChanged,
    event::kSourceLoaded, event::kItemDestroyed, event::kItemRemoved,     event::kItemContentChanged};

}  // namespace

TEST(DocItemTree, NotificationsFromOpeningToDestruction) {
    const std::string dir = MakeScratchDir("doc_item_order");
    ASSERT_TRUE(
        MakeFilesIn(dir, "convert -size 40x30 xc:white xc:white xc:white -compress Group4 three.tif"));
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> root = viewer.RootItem();
    Ref<DocumentItem> document = viewer.Open(dir + "/three.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetType(document.get()), doc_type::kImage);

    // The entry, its source's report, the kind, one item per page, then the
    // handler's end of building.
    const std::vector<uint32_t> opened = {event::kItemAdded, event::kSourceLoaded, event::kItemKindChanged,
                                          event::kItemAdded, event::kItemAdded,    event::kItemAdded,
                                          event::kPagesBuilt};
    EXPECT_EQ(viewer.Codes(kTreeEvents), opened);
    EXPECT_EQ(viewer.Count(event::kItemKindChanged, document.get()), 1u);
    std::vector<RefCounted*> added;
    for (const ReceivedEvent& e : viewer.listener->events) {
        if (e.code == event::kItemAdded) added.push_back(e.argument.payload.object);
    }
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    std::vector<int32_t> ids = {document->id};
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> page = ChildAt(document.get(), i);
        EXPECT_EQ(added[i + 1], page.get());
        EXPECT_EQ(page->GetPageIndex(), i);
        EXPECT_EQ(ViewerFindItem(context, page->id).get(), page.get());
        ids.push_back(page->id);
    }
    EXPECT_EQ(std::set<int32_t>(ids.begin(), ids.end()).size(), ids.size()) << "ids are unique";

    // A source announced a second time builds nothing again.
    viewer.listener->events.clear();
    SourceStartLoad(document->source.get(), context);
    ASSERT_TRUE(viewer.WaitForAnnouncement(document->source.get()));
    PumpPending();
    EXPECT_EQ(viewer.Codes(kTreeEvents), std::vector<uint32_t>{event::kSourceLoaded});
    EXPECT_EQ(DocItemGetChildCount(document.get()), 3u);

    // Removal announces the item and its descendants in pre-order.
    viewer.listener->events.clear();
    ASSERT_TRUE(DocItemRemoveChild(root.get(), context, document.get()));
    EXPECT_FALSE(DocItemRemoveChild(root.get(), context, document.get()));
    EXPECT_EQ(viewer.listener->ArgumentIds(event::kItemRemoved), ids);
    EXPECT_FALSE(ViewerFindItem(context, ids[2]));

    // Destruction after removal is announced too, the document first.
    viewer.listener->events.clear();
    document.Reset();
    ASSERT_TRUE(PumpUntil([&] { return viewer.listener->ArgumentIds(event::kItemDestroyed).size() == 4; }));
    const std::vector<int32_t> destroyed = viewer.listener->ArgumentIds(event::kItemDestroyed);
    EXPECT_EQ(destroyed[0], ids[0]);
    EXPECT_EQ(std::set<int32_t>(destroyed.begin(), destroyed.end()),
              std::set<int32_t>(ids.begin(), ids.end()));
}

// Building the pages of a long document costs each page a constant number
// of listener calls: no page listens on the hub, and the document stops
// listening once its source has reported.
TEST(DocItemTree, ThousandsOfPagesAddNoListeners) {
    const std::string dir = MakeScratchDir("doc_item_many");
    constexpr int kPages = 2000;
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 16x16 xc:white -compress Group4 one.tif && tiffcp $(yes one.tif | "
                            "head -n " +
                                std::to_string(kPages) + ") many.tif"));
    RunningViewer viewer;
    const uint32_t before = viewer.ListenerCount();
    uint32_t most = 0, calls = 0;
    viewer.listener->on_notify = [&](RecordingListener*, HubEvent*) {
        most = std::max(most, viewer.ListenerCount());
        ++calls;
    };
    Ref<DocumentItem> document = viewer.Open(dir + "/many.tif", OpenParamsCreate().get());
    ASSERT_TRUE(document);
    ASSERT_EQ(DocItemGetChildCount(document.get()), uint32_t{kPages});
    viewer.listener->on_notify = nullptr;
    EXPECT_LE(most, before + 1) << "only the loading entry listened";
    EXPECT_EQ(viewer.ListenerCount(), before);
    EXPECT_LT(calls, uint32_t{kPages} + 20);
}

namespace {

PagePlacement Request(uint32_t width, uint32_t height) {
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect = RectD{SizeD{25.4, 25.4}, PointD{}};
    placement.pixel_width = width;
    placement.pixel_height = height;
    return placement;
}

class CancelledProgress : public ProgressSink {
  public:
    bool IsCancelled() override { return true; }
};

}  // namespace

// Only a file the reader cannot decode refuses its page; a cancelled
// render, a request too small to prove anything and a file changed on disk
// leave it renderable.
TEST(PageItemRender, OnlyFilesTheReaderCannotDecodeAreGivenUp) {
    const std::string dir = MakeScratchDir("page_item_render");
    // 100 x 100 pixels at 100 dpi: 25.4 mm square.
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 100x100 -density 100 -units PixelsPerInch xc:white -fill black "
                            "-draw 'rectangle 10,10 20,90' -compress Group4 g4.tif && "
                            "convert g4.tif -compress Zip zip.tif && cp g4.tif grows.tif"));
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> good = ChildAt(viewer.Open(dir + "/g4.tif").get(), 0);
    Ref<DocItem> zipped = ChildAt(viewer.Open(dir + "/zip.tif").get(), 0);
    Ref<DocItem> grows = ChildAt(viewer.Open(dir + "/grows.tif").get(), 0);
    ASSERT_TRUE(good && zipped && grows);
    const PagePlacement sensible = Request(100, 100);

    CancelledProgress cancelled;
    ImageStatus status;
    EXPECT_FALSE(good->RenderPage(context, sensible, &cancelled, &status));
    EXPECT_EQ(PageItemGetRenderState(good.get()), kPageNeverRendered);
    Ref<RasterImage> image = good->RenderPage(context, sensible, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 100u);
    EXPECT_EQ(PageItemGetRenderState(good.get()), kPageRendered);

    // An unsupported compression: at a tiny size that proves nothing, at a
    // real one the page is refused and not read again.
    status = ImageStatus();
    EXPECT_FALSE(zipped->RenderPage(context, Request(5, 5), nullptr, &status));
    EXPECT_EQ(status.code, kStatusUnsupported);
    EXPECT_EQ(PageItemGetRenderState(zipped.get()), kPageNeverRendered);
    EXPECT_FALSE(zipped->RenderPage(context, sensible, nullptr));
    EXPECT_EQ(PageItemGetRenderState(zipped.get()), kPageRefused);
    // Refused, it keeps its reason for the view without reading the file
    // again: a file read again after it changed would report an access error.
    {
        std::ofstream grow(dir + "/zip.tif", std::ios::binary | std::ios::app);
        grow << "more bytes";
    }
    status = ImageStatus();
    EXPECT_FALSE(zipped->RenderPage(context, sensible, nullptr, &status));
    EXPECT_EQ(status.code, kStatusUnsupported) << "refused pages are not read again";

    // A file that changed since it was opened reports an access error.
    ASSERT_TRUE(grows->RenderPage(context, Request(50, 50), nullptr));
    {
        std::ofstream grow(dir + "/grows.tif", std::ios::binary | std::ios::app);
        grow << "more bytes";
    }
    status = ImageStatus();
    EXPECT_FALSE(grows->RenderPage(context, Request(50, 50), nullptr, &status));
    EXPECT_EQ(status.code, kRenderStatusUnreadable);
    EXPECT_EQ(PageItemGetRenderState(grows.get()), kPageRendered);
}

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
