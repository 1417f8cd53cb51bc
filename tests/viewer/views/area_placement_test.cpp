// The sense of the view's rotation, pinned on real renders. It is called
// clockwise, as the render request's is, but the flips that go with it make
// the view show the page turned counter-clockwise ("rotate left" adds 90).
// Switches, DDE and stored session lists carry the value.
#include "viewer/views/area_placement.h"

#include <gtest/gtest.h>

#include <random>
#include <string>

#include "tests/viewer/views/random_pages.h"

TEST(ViewRotation, TurnsThePictureCounterClockwiseAfterThePagesMirrors) {
    std::mt19937 random(90);
    const uint32_t w = 7, h = 5;  // odd and oblong: every turn and mirror shows
    const TestPage page =
        RandomPage(random, PageKind::kGrey8, w, h, 254, 254, MakeScratchDir("area_placement") + "/7x5.tif");
    ASSERT_TRUE(page.page);
    PagePlacement plain;
    PagePlacementInit(plain);
    const RectD& page_mm = RectDSet(plain.rect, 0, 0, w * 0.1, h * 0.1);  // 0.1 mm a pixel
    plain.pixel_width = w, plain.pixel_height = h, plain.flip_y = 1;
    Ref<RasterImage> upright = PageRender(page.page.get(), nullptr, page.source.get(), &plain, nullptr);
    ASSERT_TRUE(upright);

    for (uint32_t view = 0; view < 16; ++view) {
        const uint32_t rotation = 90 * (view >> 2);
        const bool mh = view & 1, mv = view & 2;
        SCOPED_TRACE(std::to_string(rotation) + (mh ? " mirror h" : "") + (mv ? " mirror v" : ""));
        // One target pixel per page pixel.
        const SizeI target{int32_t(rotation % 180 ? h : w), int32_t(rotation % 180 ? w : h)};
        RectD area;
        PagePlacement placement;
        PagePlacementInit(placement);
        PointI offset;
        ASSERT_TRUE(PagePlacementCompute(page_mm, SizeD{double(target.width), double(target.height)},
                                         RectDSet(area, 0, 0, target.width, target.height), target, rotation,
                                         mh, mv, false, placement, offset));
        Ref<RasterImage> shown = PageRender(page.page.get(), nullptr, page.source.get(), &placement, nullptr);
        ASSERT_TRUE(shown);
        ASSERT_EQ(shown->width, uint32_t(target.width));
        // Shown pixel (x, y) is page pixel (px, py) turned counter-clockwise, mirrored before.
        for (uint32_t y = 0; y < shown->height; ++y) {
            for (uint32_t x = 0; x < shown->width; ++x) {
                const uint32_t px = rotation == 0     ? x
                                    : rotation == 90  ? w - 1 - y
                                    : rotation == 180 ? w - 1 - x
                                                      : y;
                const uint32_t py = rotation == 0     ? y
                                    : rotation == 90  ? x
                                    : rotation == 180 ? h - 1 - y
                                                      : h - 1 - x;
                ASSERT_EQ(PictureRgb(shown.get(), x, y),
                          PictureRgb(upright.get(), mh ? w - 1 - px : px, mv ? h - 1 - py : py))
                    << "pixel (" << x << ", " << y << ")";
            }
        }
    }
}
