#include "imaging/codecs/byte_reader.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/codecs/bit_reader.h"
#include "tests/support/test_support.h"

namespace {

std::vector<uint8_t> Reversed(std::vector<uint8_t> bytes) {
    for (auto& b : bytes) {
        uint8_t r = 0;
        for (int i = 0; i < 8; ++i) r |= uint8_t(((b >> i) & 1) << (7 - i));
        b = r;
    }
    return bytes;
}

// A file of random bytes and a data source opened on it in place.
struct SourceFile {
    explicit SourceFile(uint32_t size) {
        std::mt19937 random(size);
        bytes.resize(size);
        for (auto& b : bytes) b = uint8_t(random());
        const std::string path =
            MakeScratchDir("byte-reader-" + std::to_string(GetCurrentProcessId())) + "/data.bin";
        EXPECT_TRUE(WriteHostFile(path, bytes));
        source = DataSourceOpenFile(WString(WindowsPathOf(path).c_str()), false);
        EXPECT_TRUE(source);
    }
    std::vector<uint8_t> bytes;
    Ref<DataSource> source;
};

}  // namespace

TEST(ByteReader, ReversesBitsUnlessKept) {
    const uint8_t bytes[] = {0x01, 0x80, 0xF0};
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, bytes, 3, false));
    uint8_t out[3] = {};
    ASSERT_TRUE(ByteReaderRead(reader, out, 3));
    EXPECT_EQ(out[0], 0x80);
    EXPECT_EQ(out[1], 0x01);
    EXPECT_EQ(out[2], 0x0F);
    EXPECT_EQ(ByteReaderAvailable(reader), 0u);
    EXPECT_FALSE(ByteReaderRead(reader, out, 1));  // a short read sets the error for good
    EXPECT_TRUE(reader.error);
    EXPECT_FALSE(ByteReaderRead(reader, out, 0));
}

TEST(ByteReader, SkipAndReadAllOverMemory) {
    std::vector<uint8_t> bytes(37);
    for (uint32_t i = 0; i < bytes.size(); ++i) bytes[i] = uint8_t(i * 7);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, bytes.data(), uint32_t(bytes.size()), true));
    EXPECT_TRUE(ByteReaderSkip(reader, 5));
    EXPECT_EQ(ByteReaderAvailable(reader), 32u);
    MemBlock all;
    ASSERT_EQ(ByteReaderReadAll(reader, all), 32u);
    EXPECT_EQ(std::vector<uint8_t>(all.data(), all.data() + 32),
              std::vector<uint8_t>(bytes.begin() + 5, bytes.end()));
    EXPECT_EQ(ByteReaderReadAll(reader, all), 0u);
    EXPECT_TRUE(ByteReaderSkip(reader, 100));  // skipping past the end is not an error
}

// Random reads and skips through buffers of every size, against the file.
TEST(ByteReader, ReadsAndSkipsThroughTheSource) {
    SourceFile file(10007);
    std::mt19937 random(3);
    for (uint32_t buffer : {1u, 4u, 6u, 64u, 1000u, 0u}) {
        for (bool keep : {true, false}) {
            for (uint32_t initial : {0u, 5u, 3000u}) {
                const uint32_t start = 13, length = 9000;
                const std::vector<uint8_t> range(file.bytes.begin() + start,
                                                 file.bytes.begin() + start + length);
                const std::vector<uint8_t> expect = keep ? range : Reversed(range);
                ByteReader reader;
                ASSERT_TRUE(ByteReaderInit(reader, file.source.get(), keep, buffer));
                EXPECT_EQ(reader.buffer_size % 4, 0u);
                ASSERT_TRUE(
                    ByteReaderStart(reader, start, length, initial ? range.data() : nullptr, initial));
                uint32_t at = 0;
                while (at < length) {
                    ASSERT_EQ(ByteReaderAvailable(reader), length - at);
                    const uint32_t n = std::min<uint32_t>(1 + random() % 700, length - at);
                    if (random() % 3 == 0) {
                        ASSERT_TRUE(ByteReaderSkip(reader, n));
                    } else {
                        std::vector<uint8_t> got(n);
                        ASSERT_TRUE(ByteReaderRead(reader, got.data(), n)) << buffer << " at " << at;
                        ASSERT_TRUE(std::equal(got.begin(), got.end(), expect.begin() + at))
                            << buffer << " at " << at;
                    }
                    at += n;
                }
                uint8_t extra = 0;
                EXPECT_FALSE(ByteReaderRead(reader, &extra, 1));
                EXPECT_TRUE(reader.error);
            }
        }
    }
}

// Bits across buffer refills that do not fall on word boundaries.
TEST(ByteReader, WordsStraddlingRefillsStayInOrder) {
    SourceFile file(3001);
    for (uint32_t buffer : {4u, 8u, 12u}) {
        for (uint32_t start : {0u, 1u, 3u}) {
            ByteReader reader;
            ASSERT_TRUE(ByteReaderInit(reader, file.source.get(), true, buffer));
            ASSERT_TRUE(ByteReaderStart(reader, start, 2000, file.bytes.data() + start, 3));
            uint8_t first = 0;
            ASSERT_TRUE(ByteReaderRead(reader, &first, 1));  // the words start one byte in
            EXPECT_EQ(first, file.bytes[start]);
            BitReader bits;
            BitReaderInit(bits, &reader);
            for (uint32_t i = 0; i < 1999 * 8; i += 8) {
                ASSERT_EQ(bits.current & 0xFF, file.bytes[start + 1 + i / 8])
                    << buffer << " " << start << " " << i;
                BitReaderSkip(bits, 8);
            }
            EXPECT_EQ(BitReaderDataLeft(bits), 0);
            EXPECT_FALSE(reader.error);
        }
    }
}

TEST(ByteReader, ShortSourceSetsTheError) {
    SourceFile file(100);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInit(reader, file.source.get(), true, 16));
    // The range claims more than the file holds: the fill that reaches past
    // the end fails.
    EXPECT_TRUE(ByteReaderStart(reader, 80, 32, nullptr, 0));
    uint8_t got[32] = {};
    EXPECT_FALSE(ByteReaderRead(reader, got, 32));
    EXPECT_TRUE(reader.error);
    EXPECT_FALSE(ByteReaderFill(reader));

    ByteReader memory;
    const uint8_t bytes[] = {1, 2};
    ASSERT_TRUE(ByteReaderInitBytes(memory, bytes, 2, true));
    EXPECT_FALSE(ByteReaderStart(memory, 0, 2, nullptr, 0));  // no source
    ByteReader none;
    EXPECT_FALSE(ByteReaderInit(none, nullptr, true, 0));
    EXPECT_TRUE(none.error);
}
