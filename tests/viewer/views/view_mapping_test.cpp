// A placement frozen in a window: page millimetres to window pixels and back.
#include "viewer/views/view_mapping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

TEST(ViewMapping, PageToWindowAndBackRoundTrips) {
    std::mt19937 random(2718);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int round = 0; round < 2000; ++round) {
        PagePlacement placement;
        PagePlacementInit(placement);
        const RectD& r = RectDSet(placement.rect, unit(random) * 500, unit(random) * 500,
                                  1 + unit(random) * 500, 1 + unit(random) * 500);
        placement.pixel_width = 10 + random() % 3000, placement.pixel_height = 10 + random() % 3000;
        placement.rotation = uint16_t(90 * (random() % 4));
        placement.flip_x = random() % 2, placement.flip_y = random() % 2;
        const PointI offset{int32_t(random() % 2000) - 1000, int32_t(random() % 2000) - 1000};
        Ref<ViewMapping> mapping = ViewMappingConstruct(5, offset, placement, 3.78, 3.78);
        ASSERT_TRUE(mapping);
        // A page point comes back within half a pixel.
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
