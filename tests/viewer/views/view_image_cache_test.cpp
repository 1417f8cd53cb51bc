// The scrolling margin of the main view's cache: a window into a widened
// render shows what a render of the window itself shows, for every turn,
// mirror and inversion; widening keeps to the page and the pixel budget; a
// request off the grid or of another scale misses.
#include "viewer/views/view_image_cache.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/viewer/views/random_pages.h"
#include "viewer/views/bitmap_cache.h"

namespace {

constexpr int32_t kPageId = 5;

// Empty when the window of `outer` at `offset` shows `inner`'s picture.
std::string CompareWindow(const RasterImage* outer, const PointI& offset, const RasterImage* inner) {
    for (uint32_t y = 0; y < inner->height; ++y) {
        for (uint32_t x = 0; x < inner->width; ++x) {
            if (PictureRgb(outer, offset.x + x, offset.y + y) != PictureRgb(inner, x, y)) {
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
            }
        }
    }
    return "";
}

// A request of `width` x `height` image pixels at 1:1 from (x, y), turned,
// mirrored and inverted as `variant` says.
PagePlacement OneToOne(double dpi, uint32_t x, uint32_t y, uint32_t width, uint32_t height, int variant) {
    PagePlacement placement;
    PagePlacementInit(placement);
    RectDSet(placement.rect, x * 25.4 / dpi, y * 25.4 / dpi, width * 25.4 / dpi, height * 25.4 / dpi);
    placement.rotation = static_cast<uint16_t>(90 * (variant % 4));
    placement.flip_x = variant >> 2 & 1;
    placement.flip_y = variant >> 3 & 1;
    placement.invert = variant >> 4 & 1;
    const bool quarter = placement.rotation % 180 == 90;
    placement.pixel_width = quarter ? height : width;
    placement.pixel_height = quarter ? width : height;
    return placement;
}

}  // namespace

TEST(ViewImageCache, AWindowIntoTheWidenedRenderEqualsARenderOfTheWindow) {
    std::mt19937 random(2024);
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kGrey8, PageKind::kRgb}) {
        const double dpi = 96;
        const uint32_t width = 90 + random() % 40, height = 70 + random() % 40;
        const TestPage page = RandomPage(random, kind, width, height, uint32_t(dpi), uint32_t(dpi), MakeScratchDir("view_image_cache") + "/page.tif");
        ASSERT_TRUE(page.page);
        const SizeD page_size{width * 25.4 / dpi, height * 25.4 / dpi};
        for (int variant = 0; variant < 32; ++variant) {
            const uint32_t x = 5 + random() % 30, y = 5 + random() % 30;
            const PagePlacement request =
                OneToOne(dpi, x, y, 20 + random() % 20, 15 + random() % 20, variant);
            const PagePlacement wide = WidenPlacementForScrolling(request, page_size);
            SCOPED_TRACE("variant " + std::to_string(variant));
            ASSERT_GT(wide.pixel_width * wide.pixel_height, request.pixel_width * request.pixel_height);
            EXPECT_GE(wide.rect.origin.x, 0.0);
            EXPECT_GE(wide.rect.origin.y, 0.0);
            EXPECT_LE(wide.rect.origin.x + wide.rect.size.width, page_size.width + 1e-9);
            EXPECT_LE(wide.rect.origin.y + wide.rect.size.height, page_size.height + 1e-9);

            Ref<RasterImage> whole = PageRender(page.page.get(), nullptr, page.source.get(), &wide, nullptr);
            Ref<RasterImage> part =
                PageRender(page.page.get(), nullptr, page.source.get(), &request, nullptr);
            ASSERT_TRUE(whole && part);
            Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, whole.get(), wide);
            CachedViewImage served;
            ASSERT_TRUE(ViewCacheLookup(entry.get(), kPageId, request, {}, served));
            EXPECT_EQ(CompareWindow(served.image.get(), served.source_offset, part.get()), "");

            // Scrolled by whole pixels within the margin: still served.
            const PagePlacement moved =
                OneToOne(dpi, x - 3, y + 2, request.rect.size.width * dpi / 25.4 + 0.5,
                         request.rect.size.height * dpi / 25.4 + 0.5, variant);
            Ref<RasterImage> moved_part =
                PageRender(page.page.get(), nullptr, page.source.get(), &moved, nullptr);
            ASSERT_TRUE(ViewCacheLookup(entry.get(), kPageId, moved, {}, served));
            EXPECT_EQ(CompareWindow(served.image.get(), served.source_offset, moved_part.get()), "");
        }
    }
}

TEST(ViewImageCache, WideningKeepsToThePageAndTheBudgetAndMissesOffTheGrid) {
    const SizeD page_size{200, 100};
    PagePlacement request;
    PagePlacementInit(request);
    request.flip_y = 1;
    RectDSet(request.rect, 0, 0, 200, 100);
    request.pixel_width = 400, request.pixel_height = 200;
    EXPECT_TRUE(PagePlacementEquals(WidenPlacementForScrolling(request, page_size), request))
        << "the whole page has no margin";

    RectDSet(request.rect, 50, 20, 50, 25);
    request.pixel_width = 100, request.pixel_height = 50;
    PagePlacement wide = WidenPlacementForScrolling(request, page_size);
    // Up to the request's extent on each side, cut at the page's top.
    EXPECT_EQ(wide.pixel_width, 300u);
    EXPECT_EQ(wide.pixel_height, 40u + 50u + 50u);
    EXPECT_DOUBLE_EQ(wide.rect.origin.x, 0.0);
    EXPECT_DOUBLE_EQ(wide.rect.origin.y, 0.0);
    EXPECT_DOUBLE_EQ(wide.rect.size.width / wide.pixel_width, request.rect.size.width / request.pixel_width);
    PointI offset;
    ASSERT_TRUE(PlacementWindowOffset(wide, request, offset));
    EXPECT_EQ(offset, (PointI{100, 40}));

    const PagePlacement small = WidenPlacementForScrolling(request, page_size, {}, 20000);
    EXPECT_LE(uint64_t(small.pixel_width) * small.pixel_height, 20000u);
    EXPECT_GT(small.pixel_width, request.pixel_width);
    EXPECT_TRUE(PagePlacementEquals(WidenPlacementForScrolling(request, page_size, {}, 5100), request))
        << "a budget that leaves no useful margin";

    PagePlacement off_grid = request;
    off_grid.rect.origin.x += 0.25;  // half a pixel
    EXPECT_FALSE(PlacementWindowOffset(wide, off_grid, offset));
    PagePlacement other_scale = request;
    other_scale.pixel_width = 101;
    EXPECT_FALSE(PlacementWindowOffset(wide, other_scale, offset));
    PagePlacement full_size = request;
    full_size.flags = kPlacementFullSizeImage;
    EXPECT_FALSE(PlacementWindowOffset(wide, full_size, offset));
    PagePlacement outside = request;
    outside.rect.origin.x = 150;  // beyond the margin on the right
    EXPECT_FALSE(PlacementWindowOffset(wide, outside, offset));
}

TEST(ViewImageCache, WholeEnlargementsMoveByWholeImagePixels) {
    // One view pixel is 0.127 mm: at 100 dpi two view pixels show an image
    // pixel, at 50 dpi four; 150 dpi gives no whole number.
    PagePlacement request;
    PagePlacementInit(request);
    RectDSet(request.rect, 10.16, 10.16, 12.7, 12.7);
    request.pixel_width = request.pixel_height = 100;
    EXPECT_EQ(ViewPixelGridFor(request, SizeD{100, 50}).step_x, 2u);
    EXPECT_EQ(ViewPixelGridFor(request, SizeD{100, 50}).step_y, 4u);
    EXPECT_EQ(ViewPixelGridFor(request, SizeD{150, 0}).step_x, 1u);
    EXPECT_EQ(ViewPixelGridFor(request, SizeD{0, 400}).step_y, 1u);

    std::mt19937 random(31);
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kGrey8, PageKind::kRgb}) {
        const double dpi = 100;
        const TestPage page = RandomPage(random, kind, 80, 70, uint32_t(dpi), uint32_t(dpi), MakeScratchDir("view_image_cache") + "/small.tif");
        ASSERT_TRUE(page.page);
        const SizeD page_size{80 * 25.4 / dpi, 70 * 25.4 / dpi};
        for (int variant = 0; variant < 32; variant += 3) {
            SCOPED_TRACE("variant " + std::to_string(variant));
            // Two view pixels an image pixel.
            PagePlacement part = OneToOne(dpi, 21, 17, 15, 11, variant);
            part.pixel_width *= 2, part.pixel_height *= 2;
            const ViewPixelGrid grid = ViewPixelGridFor(part, SizeD{dpi, dpi});
            ASSERT_EQ(grid.step_x, 2u);
            const PagePlacement wide = WidenPlacementForScrolling(part, page_size, grid);
            Ref<RasterImage> whole = PageRender(page.page.get(), nullptr, page.source.get(), &wide, nullptr);
            ASSERT_TRUE(whole);
            Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, whole.get(), wide);
            for (const PointI& shift : {PointI{0, 0}, PointI{-3, 2}, PointI{4, -5}}) {
                PagePlacement moved = OneToOne(dpi, 21 + shift.x, 17 + shift.y, 15, 11, variant);
                moved.pixel_width *= 2, moved.pixel_height *= 2;
                Ref<RasterImage> fresh =
                    PageRender(page.page.get(), nullptr, page.source.get(), &moved, nullptr);
                CachedViewImage served;
                ASSERT_TRUE(ViewCacheLookup(entry.get(), kPageId, moved, grid, served));
                EXPECT_EQ(served.source_offset.x % 2, 0);
                EXPECT_EQ(CompareWindow(served.image.get(), served.source_offset, fresh.get()), "");
            }
            // Half an image pixel off the grid is rendered anew.
            PagePlacement half = part;
            half.rect.origin.x += 25.4 / dpi / 2;
            CachedViewImage served;
            EXPECT_FALSE(ViewCacheLookup(entry.get(), kPageId, half, grid, served));
        }
    }
}
