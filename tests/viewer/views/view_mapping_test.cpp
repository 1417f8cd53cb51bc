// A placement frozen in a window: page millimetres to window pixels and back.
#include "viewer/views/view_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

TEST(ViewMapping, PageToWindowAndBackRoundTrips) {
    std::mt19937 random(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 2000; ++round) {
        PagePlacement placement;
        PagePlacementInit(placement);
        RectDSet(placement.rect, unit(random) * 500, unit(random) * 500, 1 + unit(random) * 500,
                 1 + unit(random) * 500);
        placement.pixel_width = 10 + random() % 3000;
        placement.pixel_height = 10 + random() % 3000;
        placement.rotation = uint16_t(90 * (random() % 4));
        placement.flip_x = random() % 2, placement.flip_y = random() % 2;
        const PointI offset{int32_t(random() % 2000) - 1000, int32_t(random() % 2000) - 1000};
        Ref<ViewMapping> mapping = ViewMappingConstruct(5, offset, placement, 3.78, 3.78);
        ASSERT_TRUE(mapping);

        // A page point comes back within half a pixel.
        const RectD& r = placement.rect;
        const PointD page{r.origin.x + unit(random) * r.size.width,
                          r.origin.y + unit(random) * r.size.height};
        const PointD back = ViewMapDeviceToPage(mapping.get(), ViewMapPageToDevice(mapping.get(), page));
        const double half_pixel =
            0.5 / std::min(PagePlacementScaleX(placement), PagePlacementScaleY(placement));
        EXPECT_NEAR(back.x, page.x, half_pixel + 1e-9) << round;
        EXPECT_NEAR(back.y, page.y, half_pixel + 1e-9) << round;

        // A window pixel over the image comes back as itself.
        const PointI pixel{offset.x + int32_t(random() % placement.pixel_width),
                           offset.y + int32_t(random() % placement.pixel_height)};
        EXPECT_EQ(ViewMapPageToDevice(mapping.get(), ViewMapDeviceToPage(mapping.get(), pixel)), pixel)
            << round;
    }
}

TEST(ViewMapping, ScalesDivideByTheZoomOfTheWindowAxisThePageAxisRunsAlong) {
    // 100 x 50 mm at 4 pixels per mm along both page axes; zoom x 2, zoom y 4.
    for (uint16_t rotation : {0, 90, 180, 270}) {
        PagePlacement placement;
        PagePlacementInit(placement);
        RectDSet(placement.rect, 0, 0, 100, 50);
        const bool quarter = rotation % 180 == 90;
        placement.pixel_width = quarter ? 200 : 400;
        placement.pixel_height = quarter ? 400 : 200;
        placement.rotation = rotation;
        Ref<ViewMapping> mapping = ViewMappingConstruct(1, PointI{}, placement, 2, 4);
        EXPECT_DOUBLE_EQ(ViewMappingScaleX(mapping.get()), quarter ? 1 : 2) << rotation;
        EXPECT_DOUBLE_EQ(ViewMappingScaleY(mapping.get()), quarter ? 2 : 1) << rotation;
    }
    EXPECT_FALSE(ViewMappingConstruct(1, PointI{}, PagePlacement{}, 0, 1));
}

}  // namespace
