#include "viewer/export/bitmap_export_request.h"

#include <gtest/gtest.h>

#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/views/cut_out_state.h"
#include "viewer/views/view_mapping.h"

TEST(BitmapExportRequest, ProposedSizesFollowPageCutOutViewAndTurn) {
    const std::string dir = MakeScratchDir("bitmap_request");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -density 72 -units PixelsPerInch -size 60x40 xc:white -type TrueColor"
                            " -compress none page.tif"));
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocItem> page = ChildAt(viewer.Open(dir + "/page.tif").get(), 0);
    ASSERT_TRUE(page);
    // The left half of the page, shown 300 pixels wide.
    const double mm = 25.4 / 72;
    ASSERT_TRUE(CutOutSetRect(page->GetCutOut().get(), RectD{SizeD{30 * mm, 40 * mm}, PointD{}}));
    PagePlacement shown;
    PagePlacementInit(shown);
    shown.pixel_width = 300;
    Ref<ViewMapping> mapping = ViewMappingConstruct(DocItemGetId(page.get()), PointI{}, shown, 1, 1);

    BitmapExportRequest request;
    ASSERT_TRUE(BitmapExportRequestInit(request, context, page.get(), mapping.get()));
    EXPECT_EQ(request.view_pixel_width, 300u);
    EXPECT_EQ(BitmapExportInitialDepth(request), 24);
    EXPECT_EQ(BitmapExportScreenWidth(request, true), 600u);  // the cut-out is half the page
    EXPECT_EQ(BitmapExportOriginalWidth(request, true), 60u);
    EXPECT_EQ(BitmapExportOriginalWidth(request, false), 30u);
    EXPECT_EQ(BitmapExportHeightFor(request, true, 600), 400u);
    EXPECT_EQ(BitmapExportHeightFor(request, false, 7), 9u);  // 9.33: rounded once, not twice

    // Turned by a quarter, the page's height runs across.
    CutOutSetRotation(page->GetCutOut().get(), 90);
    ASSERT_TRUE(BitmapExportRequestInit(request, context, page.get(), mapping.get()));
    EXPECT_EQ(BitmapExportOriginalWidth(request, true), 40u);
    EXPECT_EQ(BitmapExportHeightFor(request, true, 40), 60u);
    EXPECT_EQ(BitmapExportHeightFor(request, false, 40), 30u);
    EXPECT_EQ(BitmapExportScreenWidth(request, true), 300u);  // the cut-out spans the page's height

    UseEnglish(context);
    WString line;
    EXPECT_STREQ(WStrCStr(BitmapExportSizeText(context, 1000, 800, 8, line)), L"Image size: 781 KB");
    EXPECT_STREQ(WStrCStr(BitmapExportSizeText(context, 5000, 5000, 24, line)), L"Image size: 73.242 KB");
    EXPECT_STREQ(WStrCStr(BitmapExportSizeText(context, 0, 800, 8, line)), L"Image size: ? KB");
}
