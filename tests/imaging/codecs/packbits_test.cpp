#include "imaging/codecs/packbits.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/byte_buf.h"

namespace {

std::vector<uint8_t> Expand(const std::vector<uint8_t>& input) {
    Ref<ByteBuf> out = ByteBufCreate(3, 0, 0);  // emptied first
    EXPECT_TRUE(PackBitsDecode(input.data(), uint32_t(input.size()), out.get()));
    return std::vector<uint8_t>(ByteBufData(out.get()), ByteBufData(out.get()) + ByteBufSize(out.get()));
}

}  // namespace

TEST(PackBits, ControlBytes) {
    EXPECT_EQ(Expand({0x80}), std::vector<uint8_t>{});
    EXPECT_EQ(Expand({0xFF, 0x41}), (std::vector<uint8_t>{0x41, 0x41}));
    std::vector<uint8_t> mixed = {1, 2, 3};
    mixed.insert(mixed.end(), 128, 9);  // 0x81: 1 - (-127) repeats
    mixed.push_back(7);
    EXPECT_EQ(Expand({0x02, 1, 2, 3, 0x81, 9, 0x80, 0x00, 7}), mixed);
    // Cut short: a literal gives what is there, a repeat without its byte
    // nothing.
    EXPECT_EQ(Expand({0x05, 1, 2}), (std::vector<uint8_t>{1, 2}));
    EXPECT_EQ(Expand({0x00, 4, 0xFE}), (std::vector<uint8_t>{4}));
    EXPECT_FALSE(PackBitsDecode(nullptr, 0, nullptr));
}
