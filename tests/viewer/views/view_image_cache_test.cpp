// The scrolling margin of the main view's cache: a window into a widened
// render shows what a render of the window itself shows; widening keeps to
// the page; a request off the grid misses.
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

// At 1:1 and enlarged twice (two view pixels an image pixel), for every
// turn, mirror and inversion: windows moved by whole image pixels within the
// margin are served, half an image pixel off is rendered anew.
TEST(ViewImageCache, AWindowIntoTheWidenedRenderEqualsARenderOfTheWindow) {
    std::mt19937 random(2024);
    const double dpi = 100;
    for (PageKind kind : {PageKind::kBilevelWhiteIsZero, PageKind::kGrey8, PageKind::kRgb}) {
        const uint32_t width = 90 + random() % 40, height = 70 + random() % 40;
        const TestPage page = RandomPage(random, kind, width, height, uint32_t(dpi), uint32_t(dpi),
                                         MakeScratchDir("view_image_cache") + "/page.tif");
        ASSERT_TRUE(page.page);
        const SizeD page_size{width * 25.4 / dpi, height * 25.4 / dpi};
        for (int variant = 0; variant < 64; ++variant) {
            SCOPED_TRACE("variant " + std::to_string(variant));
            const uint32_t scale = variant < 32 ? 1 : 2, x = 10 + random() % 30, y = 10 + random() % 30,
                           w = 10 + random() % 20, h = 10 + random() % 20;
            auto at = [&](int dx, int dy) {
                PagePlacement placement = OneToOne(dpi, x + dx, y + dy, w, h, variant % 32);
                placement.pixel_width *= scale, placement.pixel_height *= scale;
                return placement;
            };
            const PagePlacement request = at(0, 0);
            const ViewPixelGrid grid = ViewPixelGridFor(request, SizeD{dpi, dpi});
            ASSERT_EQ(grid.step_x, scale);
            const PagePlacement wide = WidenPlacementForScrolling(request, page_size, grid);
            ASSERT_GT(wide.pixel_width * wide.pixel_height, request.pixel_width * request.pixel_height);
            EXPECT_GE(wide.rect.origin.x, 0.0);
            EXPECT_GE(wide.rect.origin.y, 0.0);
            EXPECT_LE(wide.rect.origin.x + wide.rect.size.width, page_size.width + 1e-9);
            EXPECT_LE(wide.rect.origin.y + wide.rect.size.height, page_size.height + 1e-9);
            Ref<RasterImage> whole = PageRender(page.page.get(), nullptr, page.source.get(), &wide, nullptr);
            ASSERT_TRUE(whole);
            Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(kPageId, whole.get(), wide);
            CachedViewImage served;
            for (const PointI& shift : {PointI{0, 0}, PointI{-3, 2}, PointI{4, -5}}) {
                const PagePlacement moved = at(shift.x, shift.y);
                Ref<RasterImage> fresh =
                    PageRender(page.page.get(), nullptr, page.source.get(), &moved, nullptr);
                ASSERT_TRUE(fresh && ViewCacheLookup(entry.get(), kPageId, moved, grid, served));
                EXPECT_EQ(served.source_offset.x % int(scale), 0);
                EXPECT_EQ(CompareWindow(served.image.get(), served.source_offset, fresh.get()), "");
            }
            PagePlacement half = request;
            half.rect.origin.x += 25.4 / dpi / 2;
            EXPECT_FALSE(ViewCacheLookup(entry.get(), kPageId, half, grid, served));
        }
    }
}
