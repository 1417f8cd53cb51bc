#include "imaging/raster_image.h"

#include <gtest/gtest.h>

TEST(RasterImageCreate, RefusesBadSizesAndDepths) {
    EXPECT_FALSE(RasterImageCreate(1000001, 1, 1, false));
    EXPECT_FALSE(RasterImageCreate(0, 1, 8, false));
    EXPECT_FALSE(RasterImageCreate(4, 4, 2, false));
    Ref<RasterImage> image = RasterImageCreate(1, 1, 1, false);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->stride, 4u);
    ASSERT_NE(image->palette, nullptr);
    EXPECT_EQ(image->palette->count, 2u);
}

#include "imaging/raster_sink.h"

TEST(RasterSinkSmoke, DirectOneToOneUpright) {
    Ref<RasterSink> sink = CreateSink(3, 2, 3, 2, 8, nullptr, 0, false, true, false, true);
    ASSERT_TRUE(sink);
    const uint8_t rows[2][3] = {{1, 2, 3}, {4, 5, 6}};
    for (uint32_t y = 0; y < 2; ++y) EXPECT_TRUE(sink->PutRow(8, rows[y], 0, y, 0, 3));
    Ref<RasterImage> image = sink->Finish(nullptr, nullptr);
    ASSERT_TRUE(image);
    // Memory row 0 is the bottom line of the picture.
    EXPECT_EQ(RasterImageRowAddress(image.get(), 0)[0], 4);
    EXPECT_EQ(RasterImageRowAddress(image.get(), 1)[2], 3);
}
