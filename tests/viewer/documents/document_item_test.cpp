// Pages rendering through the document tree: what a failed render says and
// when a page is given up for good; the markup pages of a document.
#include <gtest/gtest.h>

#include <fstream>

#include "imaging/raster/raster_image.h"
#include "redlining/redline_document.h"
#include "tests/viewer/documents/doc_tree_test_support.h"
#include "viewer/documents/doc_item.h"

namespace {

PagePlacement Request(double width_mm, double height_mm, uint32_t width, uint32_t height) {
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect = RectD{SizeD{width_mm, height_mm}, PointD{}};
    placement.pixel_width = width;
    placement.pixel_height = height;
    return placement;
}

class CancelledProgress : public ProgressSink {
  public:
    bool IsCancelled() override { return true; }
};

}  // namespace

TEST(PageItemRender, OnlyFilesTheReaderCannotDecodeAreGivenUp) {
    const std::string dir = MakeScratchDir("page_item_render");
    // 100 x 100 pixels at 100 dpi: 25.4 mm square.
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 100x100 -density 100 -units PixelsPerInch xc:white -fill black "
                            "-draw 'rectangle 10,10 20,90' -compress Group4 g4.tif && "
                            "convert g4.tif -compress Zip zip.tif"));
    TreeViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> good = ChildAt(viewer.Open(dir + "/g4.tif").get(), 0);
    Ref<DocItem> zipped = ChildAt(viewer.Open(dir + "/zip.tif").get(), 0);
    ASSERT_TRUE(good && zipped);
    const PagePlacement sensible = Request(25.4, 25.4, 100, 100);

    // A cancelled render (a print job stopped) says nothing about the page.
    CancelledProgress cancelled;
    ImageStatus status;
    EXPECT_FALSE(good->RenderPage(context, sensible, &cancelled, &status));
    EXPECT_EQ(PageItemGetRenderState(good.get()), kPageNeverRendered);
    Ref<RasterImage> image = good->RenderPage(context, sensible, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 100u);
    EXPECT_EQ(PageItemGetRenderState(good.get()), kPageRendered);

    // An unsupported compression fails; at a tiny size that proves nothing,
    // at a real one the page is refused and not tried again.
    status = ImageStatus();
    EXPECT_FALSE(zipped->RenderPage(context, Request(25.4, 25.4, 5, 5), nullptr, &status));
    EXPECT_EQ(status.code, kStatusUnsupported);
    EXPECT_EQ(PageItemGetRenderState(zipped.get()), kPageNeverRendered);
    EXPECT_FALSE(zipped->RenderPage(context, sensible, nullptr));
    EXPECT_EQ(PageItemGetRenderState(zipped.get()), kPageRefused);
    status = ImageStatus();
    EXPECT_FALSE(zipped->RenderPage(context, sensible, nullptr, &status));
    EXPECT_EQ(status.code, 0) << "refused pages are not read again";
}

TEST(PageItemRender, ChangedFileReportsAccessErrorAndStaysRenderable) {
    const std::string dir = MakeScratchDir("page_item_changed");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 100x100 -density 100 -units PixelsPerInch xc:white "
                            "-compress Group4 a.tif"));
    TreeViewer viewer;
    Ref<DocItem> page = ChildAt(viewer.Open(dir + "/a.tif").get(), 0);
    ASSERT_TRUE(page);
    ASSERT_TRUE(page->RenderPage(viewer.context.get(), Request(25.4, 25.4, 50, 50), nullptr));
    {
        std::ofstream grow(dir + "/a.tif", std::ios::binary | std::ios::app);
        grow << "more bytes";
    }
    ImageStatus status;
    EXPECT_FALSE(page->RenderPage(viewer.context.get(), Request(25.4, 25.4, 50, 50), nullptr, &status));
    EXPECT_EQ(status.code, kRenderStatusUnreadable);
    EXPECT_EQ(PageItemGetRenderState(page.get()), kPageRendered);
}

TEST(PageItemRender, MarkupPagesFollowTheFileNotTheTree) {
    const std::string dir = MakeScratchDir("page_item_markups");
    ASSERT_TRUE(MakeFilesIn(dir, "convert -size 20x20 xc:white -duplicate 2 -compress Group4 three.tif"));
    TreeViewer viewer;
    ViewerContext* context = viewer.context.get();
    {
        ScopedLock hold(context->lock);
        context->redlining_active = false;
    }
    Ref<DocumentItem> document = viewer.Open(dir + "/three.tif");
    ASSERT_EQ(DocItemGetChildCount(document.get()), 3u);
    EXPECT_FALSE(DocItemGetRedlining(document.get())) << "nothing loaded while redlining is off";

    // A page the tree lacks must not shift the markups of the pages after it.
    Ref<DocItem> last = ChildAt(document.get(), 2);
    ASSERT_TRUE(DocItemRemoveChildAt(document.get(), context, 1));
    {
        ScopedLock hold(context->lock);
        context->redlining_active = true;
    }
    DocumentLoadRedlining(document.get(), context);
    Ref<RedlineDocument> markups = DocItemGetRedlining(document.get());
    ASSERT_TRUE(markups);
    EXPECT_EQ(RedlineDocPageCount(markups.get()), 3u);
    Ref<RedlinePage> page = last->GetRedlinePage(context, false);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->page_index, 2u);
    EXPECT_FALSE(last->GetRedlinePage(context, true)) << "an empty page is not answered";
    DocumentLoadRedlining(document.get(), context);
    EXPECT_EQ(DocItemGetRedlining(document.get()).get(), markups.get()) << "loaded once";

    // With redlining active a document gets its markups as it loads.
    Ref<DocumentItem> second = viewer.Open(dir + "/three.tif");
    Ref<RedlineDocument> loaded = DocItemGetRedlining(second.get());
    ASSERT_TRUE(loaded);
    EXPECT_EQ(RedlineDocPageCount(loaded.get()), 3u);
}
