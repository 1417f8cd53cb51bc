// Painting through the view's cached metafile against drawing the page
// directly, object numbers by purpose and setting, and the selection commands.
#include "redlining/redline_view.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "foundation/ptr_array.h"
#include "tests/redlining/redline_test_mapping.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/views/dib_canvas.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/settings.h"

namespace {

constexpr int kSide = 240;  // pixels: a 60 mm page at 4 pixels per mm
constexpr double kPageMm = kSide / kTestPixelsPerMm;
constexpr uint32_t kWhite = 0xFFFFFF;

Ref<RedlineObject> Object(int32_t id, int32_t type, const wchar_t* geometry) {
    PtrArray none(1, true);
    return CreateRedlineObjectFromData(2, id, type, 0, none, WString(geometry));
}

// A page with a rectangle, an ellipse, a multi-line and a note.
Ref<RedlinePage> SamplePage() {
    Ref<RedlinePage> page = MakeRef<RedlinePage>();
    page->CreateLayer();
    Ref<RedlineLayer> layer = page->GetLayer(0);
    layer->objects.Add(Object(1, redline_type::kRectangle, L"5:5:25:20").get());
    layer->objects.Add(Object(2, redline_type::kEllipse, L"30:5:55:25").get());
    layer->objects.Add(Object(3, redline_type::kMultiLine, L"3:5:40:25:50:40:35").get());
    layer->objects.Add(Object(4, redline_type::kNote, L"35:38:55:55").get());
    return page;
}

// Pixels drawn in one picture with nothing drawn within one pixel in the other.
int Unmatched(const DibCanvas& a, const DibCanvas& b) {
    int unmatched = 0;
    for (int y = 0; y < kSide; ++y) {
        for (int x = 0; x < kSide; ++x) {
            if (a.Pixel(x, y) == kWhite) continue;
            bool found = false;
            for (int dy = -1; dy <= 1 && !found; ++dy) {
                for (int dx = -1; dx <= 1 && !found; ++dx) {
                    const int u = x + dx, v = y + dy;
                    found = u >= 0 && v >= 0 && u < kSide && v < kSide && b.Pixel(u, v) == a.Pixel(x, y);
                }
            }
            if (!found) ++unmatched;
        }
    }
    return unmatched;
}

// A view of its own bound to the page, in a viewer whose settings the test sets.
struct PaintHarness {
    explicit PaintHarness(Ref<RedlinePage> page_in) : page(std::move(page_in)) {
        RedlineViewConstruct(&view, viewer.context.get());
        RedlineViewSetPage(&view, page.get(), mapping.get());
    }
    ~PaintHarness() { RedlineViewDestruct(&view); }
    ViewerContext* context() const { return viewer.context.get(); }
    void SetNumbers(int32_t value) {
        Ref<Settings> settings = ViewerGetSettings(context());
        ScopedLock hold(settings->lock);
        settings->redlining_object_numbers = value;
    }
    void SetMode(uint32_t mode) {
        ScopedLock hold(context()->lock);
        context()->redlining_mode = mode;
    }
    std::unique_ptr<DibCanvas> Paint(uint32_t purpose, bool no_overlay = true, bool grey = false) {
        auto canvas = std::make_unique<DibCanvas>(kSide, kSide, kWhite);
        RedlineViewDropCache(&view);
        EXPECT_TRUE(RedlinePaint(&view, context(), canvas->dc(), purpose, no_overlay, grey));
        return canvas;
    }
    std::unique_ptr<DibCanvas> Direct(uint32_t purpose, uint32_t flags) {
        auto canvas = std::make_unique<DibCanvas>(kSide, kSide, kWhite);
        EXPECT_TRUE(
            RedlinePaintPage(page.get(), context(), purpose, canvas->dc(), mapping.get(), nullptr, flags));
        return canvas;
    }

    RunningViewer viewer;
    Ref<RedlinePage> page;
    Ref<ViewMapping> mapping = TestMapping(kPageMm, 1, 0, false, false, kTestPixelsPerMm);
    RedlineView view;
};

// White text on red: the label pixels of object numbers.
int LabelPixels(const DibCanvas& canvas) { return canvas.Count(0xFF0000); }

}  // namespace

TEST(RedlinePaint, EveryPurposeMatchesDrawingThePageDirectlyWithinOnePixel) {
    PaintHarness h(SamplePage());
    h.SetNumbers(3);  // never numbers: the pictures differ only by the metafile
    for (uint32_t purpose = 0; purpose <= markup_purpose::kBitmapExport; ++purpose) {
        for (bool grey : {false, true}) {
            SCOPED_TRACE(testing::Message() << "purpose " << purpose << " grey " << grey);
            std::unique_ptr<DibCanvas> played = h.Paint(purpose, true, grey);
            const uint32_t flags = redline_draw::kContent | (grey ? redline_draw::kGrey : 0);
            std::unique_ptr<DibCanvas> direct = h.Direct(purpose, flags);
            const int drawn = kSide * kSide - direct->Count(kWhite);
            ASSERT_GT(drawn, 500) << "the sample draws something";
            EXPECT_EQ(Unmatched(*played, *direct), 0);
            EXPECT_EQ(Unmatched(*direct, *played), 0);
        }
    }
}

TEST(RedlinePaint, TheCachedPictureIsKeptUntilDroppedAndPlaysAtAnOffset) {
    PaintHarness h(SamplePage());
    h.SetNumbers(3);
    std::unique_ptr<DibCanvas> first = h.Paint(markup_purpose::kPreview);
    // A change of the markup without dropping the cache does not show...
    Ref<RedlineLayer> layer = h.page->GetLayer(0);
    layer->objects.Remove(layer->objects.GetAt(0).get());
    DibCanvas again(kSide, kSide, kWhite);
    ASSERT_TRUE(RedlinePaint(&h.view, h.context(), again.dc(), markup_purpose::kPreview, true, false));
    EXPECT_EQ(Unmatched(*first, again), 0);
    // ...until the cache goes.
    std::unique_ptr<DibCanvas> dropped = h.Paint(markup_purpose::kPreview);
    EXPECT_GT(Unmatched(*first, *dropped), 50) << "the rectangle is gone";

    // A page shown away from the window's corner.
    PagePlacement placement = h.mapping->placement;
    Ref<ViewMapping> moved = ViewMappingConstruct(1, PointI{17, 9}, placement, 1.0, 1.0);
    RedlineViewSetPage(&h.view, h.page.get(), moved.get());
    DibCanvas played(kSide, kSide, kWhite);
    ASSERT_TRUE(RedlinePaint(&h.view, h.context(), played.dc(), markup_purpose::kPreview, true, false));
    DibCanvas direct(kSide, kSide, kWhite);
    RedlinePaintPage(h.page.get(), h.context(), 0, direct.dc(), moved.get(), nullptr, redline_draw::kContent);
    EXPECT_EQ(Unmatched(played, direct), 0);
    EXPECT_EQ(Unmatched(direct, played), 0);
}

TEST(RedlinePaint, ObjectNumbersFollowTheSettingAndThePurpose) {
    // The purposes the paints below do not reach.
    EXPECT_TRUE(RedlineNumbersShown(0, markup_purpose::kPrinting, false));
    EXPECT_FALSE(RedlineNumbersShown(0, markup_purpose::kPreview, false));
    EXPECT_FALSE(RedlineNumbersShown(1, markup_purpose::kPreview, true));

    PaintHarness h(SamplePage());
    h.SetNumbers(0);
    std::unique_ptr<DibCanvas> exported = h.Paint(markup_purpose::kBitmapExport);
    // Four labels, each some pixels of red around white digits (their own
    // drawing is the object drawing test's).
    EXPECT_GT(LabelPixels(*exported), 4 * 20);

    h.SetNumbers(1);
    EXPECT_EQ(LabelPixels(*h.Paint(markup_purpose::kBitmapExport)), 0) << "1: the main view only";
    EXPECT_EQ(LabelPixels(*h.Paint(markup_purpose::kPreview)), 0);
    EXPECT_GT(LabelPixels(*h.Paint(markup_purpose::kMainView)), 4 * 20);

    h.SetNumbers(2);
    h.SetMode(kRedliningModeView);
    EXPECT_EQ(LabelPixels(*h.Paint(markup_purpose::kMainView, false)), 0) << "2: only while editing";
    h.SetMode(kRedliningModeSelect);
    EXPECT_GT(LabelPixels(*h.Paint(markup_purpose::kMainView, false)), 4 * 20);
    EXPECT_EQ(LabelPixels(*h.Paint(markup_purpose::kPreview)), 0);
}

TEST(RedlinePaint, TheSelectionOverlayShowsOnlyInTheMainViewWhileEditing) {
    PaintHarness h(SamplePage());
    h.SetNumbers(3);
    Ref<RedlineObject> rectangle = h.page->GetLayer(0)->objects.GetAt(0);
    h.view.selection.Add(rectangle.get());
    // The dotted box round the selection lies one handle outside the plain picture.
    auto overlay_pixels = [&](uint32_t mode, bool no_overlay) {
        h.SetMode(mode);
        std::unique_ptr<DibCanvas> canvas = h.Paint(markup_purpose::kMainView, no_overlay);
        std::unique_ptr<DibCanvas> plain = h.Direct(markup_purpose::kMainView, redline_draw::kContent);
        return Unmatched(*canvas, *plain);
    };
    EXPECT_EQ(overlay_pixels(kRedliningModeView, false), 0) << "view mode has no overlay";
    EXPECT_EQ(overlay_pixels(kRedliningModeSelect, true), 0) << "the caller asked for none";
    EXPECT_GT(overlay_pixels(kRedliningModeSelect, false), 20) << "handles and the selection box";
    EXPECT_FALSE(RedlinePaint(&h.view, h.context(), nullptr, 1, false, false));
    RedlineViewSetPage(&h.view, nullptr, nullptr);
    DibCanvas none(kSide, kSide, kWhite);
    EXPECT_FALSE(RedlinePaint(&h.view, h.context(), none.dc(), 1, false, false)) << "no page";
    EXPECT_EQ(h.view.selection.Count(), 0u) << "a new page starts without a selection";
}

// Most pages carry no markups: their paint records no picture and draws
// nothing, in every mode, and the first markup drawn shows at the next paint.
TEST(RedlinePaint, APageWithoutMarkupsRecordsNoPictureAndTheFirstMarkupShows) {
    Ref<RedlinePage> empty = MakeRef<RedlinePage>();
    empty->CreateLayer();
    PaintHarness h(empty);
    h.SetNumbers(0);
    for (const uint32_t mode : {kRedliningModeView, kRedliningModeSelect}) {
        h.SetMode(mode);
        for (uint32_t purpose = 0; purpose <= markup_purpose::kBitmapExport; ++purpose) {
            DibCanvas canvas(kSide, kSide, kWhite);
            EXPECT_TRUE(RedlinePaint(&h.view, h.context(), canvas.dc(), purpose, false, false));
            EXPECT_EQ(canvas.Count(kWhite), kSide * kSide) << "mode " << mode << " purpose " << purpose;
            EXPECT_FALSE(h.view.metafile);
        }
    }
    // Drawn without the cache being dropped, as a markup tool adds one.
    h.SetMode(kRedliningModeView);
    h.page->GetLayer(0)->objects.Add(Object(1, redline_type::kRectangle, L"5:5:25:20").get());
    DibCanvas shown(kSide, kSide, kWhite);
    ASSERT_TRUE(RedlinePaint(&h.view, h.context(), shown.dc(), markup_purpose::kPreview, true, false));
    std::unique_ptr<DibCanvas> direct = h.Direct(markup_purpose::kPreview, redline_draw::kContent);
    ASSERT_GT(kSide * kSide - direct->Count(kWhite), 100);
    EXPECT_EQ(Unmatched(shown, *direct), 0);
    EXPECT_EQ(Unmatched(*direct, shown), 0);
    // And a page whose last markup went shows nothing, whatever was cached.
    h.page->GetLayer(0)->objects.Remove(h.page->GetLayer(0)->objects.GetAt(0).get());
    DibCanvas emptied(kSide, kSide, kWhite);
    ASSERT_TRUE(RedlinePaint(&h.view, h.context(), emptied.dc(), markup_purpose::kPreview, true, false));
    EXPECT_EQ(emptied.Count(kWhite), kSide * kSide);
}

TEST(RedlineViewCommands, SelectAllDeleteAndZOrderWorkOnTheSelection) {
    PaintHarness h(SamplePage());
    Ref<RedlineLayer> layer = h.page->GetLayer(0);
    const size_t before = h.viewer.Count(event::kRedlineSelectionChanged);
    RedlineSelectAll(&h.view);
    RedlineDeleteSelection(&h.view);
    PumpPending();
    EXPECT_EQ(h.view.selection.Count(), 0u) << "select all needs a selected object";
    EXPECT_EQ(layer->objects.Count(), 4u);
    EXPECT_EQ(h.viewer.Count(event::kRedlineSelectionChanged), before) << "nothing changed, nothing posted";

    Ref<RedlineObject> first = layer->objects.GetAt(0);
    h.view.selection.Add(first.get());
    RedlineSelectAll(&h.view);
    EXPECT_EQ(h.view.selection.Count(), 4u);

    // Deleting objects 1 and 3 of four (the renumbering is the layer test's).
    h.view.selection.Clear();
    Ref<RedlineObject> third = layer->objects.GetAt(2);
    h.view.selection.Add(first.get());
    h.view.selection.Add(third.get());
    RedlineDeleteSelection(&h.view);
    ASSERT_EQ(layer->objects.Count(), 2u);
    EXPECT_EQ(h.view.selection.Count(), 0u);

    // To front (573's value) draws the first object last; to back (574's) first.
    Ref<RedlineObject> second = layer->objects.GetAt(0);
    h.view.selection.Add(second.get());
    RedlineChangeZOrder(&h.view, redline_z::kToFront);
    PtrArray order(2, true);
    ASSERT_TRUE(layer->objects.SnapshotInDrawingOrder(order));
    EXPECT_EQ(PtrArrayGetAs<RedlineObject>(order, 1).get(), second.get());
    RedlineChangeZOrder(&h.view, redline_z::kToBack);
    PtrArray again(2, true);
    ASSERT_TRUE(layer->objects.SnapshotInDrawingOrder(again));
    EXPECT_EQ(PtrArrayGetAs<RedlineObject>(again, 0).get(), second.get());
    PumpPending();
    EXPECT_EQ(h.viewer.Count(event::kRedlineSelectionChanged), before + 4) << "select all, delete, two moves";
}
