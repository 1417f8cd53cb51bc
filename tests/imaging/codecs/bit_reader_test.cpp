#include "imaging/codecs/bit_reader.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

// Bit i of the stream as the bit reader should hand it out: least
// significant first within each byte, or most significant first when the
// reader reverses the bytes.
uint32_t StreamBit(const std::vector<uint8_t>& bytes, uint64_t i, bool msb_first) {
    if (i / 8 >= bytes.size()) return 0;
    const uint32_t bit = uint32_t(i % 8);
    return (bytes[i / 8] >> (msb_first ? 7 - bit : bit)) & 1;
}

void ExpectWalk(const std::vector<uint8_t>& bytes, bool msb_first, uint32_t seed) {
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, bytes.data(), uint32_t(bytes.size()), !msb_first));
    BitReader bits;
    BitReaderInit(bits, &reader);
    std::mt19937 random(seed);
    uint64_t position = 0;
    const uint64_t total = bytes.size() * 8ull;
    while (position < total + 64) {
        const uint32_t n = 1 + random() % 25;
        ASSERT_GE(bits.current_bits, 25);
        for (uint32_t k = 0; k < n; ++k) {
            ASSERT_EQ((bits.current >> k) & 1, StreamBit(bytes, position + k, msb_first))
                << "bit " << position + k;
        }
        BitReaderSkip(bits, n);
        position += n;
        EXPECT_EQ(BitReaderDataLeft(bits), int64_t(position < total ? total - position : 0));
    }
}

}  // namespace

TEST(BitReader, DeliversEveryBitInStreamOrder) {
    std::mt19937 random(7);
    for (uint32_t size : {0u, 1u, 3u, 4u, 5u, 31u, 1000u, 4099u}) {
        std::vector<uint8_t> bytes(size);
        for (auto& b : bytes) b = uint8_t(random());
        ExpectWalk(bytes, false, size);
        ExpectWalk(bytes, true, size + 1);
    }
}

TEST(BitReader, AlignByteSkipsRestOfByte) {
    const uint8_t bytes[] = {0xA5, 0x3C, 0xFF};
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, bytes, 3, true));
    BitReader bits;
    BitReaderInit(bits, &reader);
    BitReaderAlignByte(bits);  // already on a byte: nothing consumed
    EXPECT_EQ(bits.current & 0xFF, 0xA5u);
    BitReaderSkip(bits, 3);
    BitReaderAlignByte(bits);
    EXPECT_EQ(bits.current & 0xFF, 0x3Cu);
    BitReaderSkip(bits, 8);
    EXPECT_EQ(bits.current & 0xFF, 0xFFu);
}
