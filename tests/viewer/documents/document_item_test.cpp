// Pages rendering through the document tree: when a page is given up for
// good, and what a failed render says otherwise.
#include <gtest/gtest.h>

#include <fstream>

#include "imaging/raster/raster_image.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/documents/doc_item.h"

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
    status = ImageStatus();
    EXPECT_FALSE(zipped->RenderPage(context, sensible, nullptr, &status));
    EXPECT_EQ(status.code, 0) << "refused pages are not read again";

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
