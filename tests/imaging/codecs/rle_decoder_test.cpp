#include "imaging/codecs/rle_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/imaging/codecs/decoder_test_support.h"

namespace {

struct RleRun {
    bool ok = false;
    std::vector<uint8_t> pixels;
    uint32_t bad_calls = 0;
};

RleRun DecodeRle(uint32_t width, uint32_t height, uint16_t bits, const std::vector<uint8_t>& data,
                 const RectI& part) {
    RleDecoder decoder(width, bits);
    EXPECT_FALSE(decoder.IsFailed());
    ByteReader reader;
    EXPECT_TRUE(ByteReaderInitBytes(reader, data.data(), uint32_t(data.size()), true));
    CaptureSink sink(uint32_t(part.size.width), uint32_t(part.size.height), bits);
    const PointI origin = {-part.origin.x, -part.origin.y};
    RleRun run;
    run.ok = decoder.Decode(&reader, &sink, height, &part, &origin, nullptr);
    if (run.ok) {
        EXPECT_TRUE(sink.EveryPixelWrittenOnce());
    }
    run.pixels = sink.pixels;
    run.bad_calls = sink.bad_calls;
    return run;
}

RleRun DecodeCase(const DecoderCase& c, const std::vector<uint8_t>& data, const RectI& part) {
    return DecodeRle(uint32_t(c.Get("width")), uint32_t(c.Get("height")), uint16_t(c.Get("bits")), data,
                     part);
}

RectI Whole(const DecoderCase& c) {
    return MakeRect(0, 0, int32_t(c.Get("width")), int32_t(c.Get("height")));
}

}  // namespace

// ImageMagick's RLE8 files and crafted RLE4 and delta streams, whole and in
// parts, against ImageMagick's decode.
TEST(RleDecoder, WholeAndPartsMatchImageMagick) {
    std::mt19937 random(2);
    const std::vector<std::string> names = DecoderCaseNames("bmp");
    ASSERT_GE(names.size(), 6u);
    for (const std::string& name : names) {
        const DecoderCase c = LoadDecoderCase("bmp", name);
        const uint32_t width = uint32_t(c.Get("width")), height = uint32_t(c.Get("height"));
        for (int round = 0; round < 7; ++round) {
            const uint32_t w = round ? 1 + random() % width : width,
                           h = round ? 1 + random() % height : height;
            const uint32_t x = random() % (width - w + 1), y = random() % (height - h + 1);
            const RleRun run =
                DecodeCase(c, c.data, MakeRect(int32_t(x), int32_t(y), int32_t(w), int32_t(h)));
            ASSERT_TRUE(run.ok) << name;
            EXPECT_TRUE(run.pixels == CropExpected(c.expect, width, 1, x, y, w, h)) << name;
        }
    }
}

// A delta past the row's end stops at the end; an absolute run that follows
// writes nothing more into the row, and its bytes are not taken for codes.
TEST(RleDecoder, DeltaPastTheRowIsClamped) {
    const std::vector<uint8_t> data = {0, 2, 200, 0,              // delta far past the 6-pixel row
                                       0, 5, 1,   2, 3, 4, 5, 0,  // absolute run: nothing fits
                                       0, 0,                      // end of line
                                       0, 3, 7,   8, 9, 0,        // a 3-pixel absolute run
                                       2, 6, 0,   1};             // run, end of bitmap
    const RleRun run = DecodeRle(6, 2, 8, data, MakeRect(0, 0, 6, 2));
    ASSERT_TRUE(run.ok);
    EXPECT_EQ(run.pixels, (std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 7, 8, 9, 6, 6, 0}));

    // The same in 4 bits: 5 nibbles in 3 bytes, padded to 4.
    const std::vector<uint8_t> data4 = {0, 2, 9, 0, 0,    5,    0x12, 0x34, 0x50, 0,
                                        0, 0, 0, 5, 0x12, 0x34, 0x50, 0,    0,    1};
    const RleRun run4 = DecodeRle(4, 2, 4, data4, MakeRect(0, 0, 4, 2));
    ASSERT_TRUE(run4.ok);
    EXPECT_EQ(run4.pixels, (std::vector<uint8_t>{0, 0, 0, 0, 1, 2, 3, 4}));
}

TEST(RleDecoder, EndOfDataWithoutEndCodeFails) {
    const std::vector<uint8_t> data = {4, 9, 0, 0, 2, 9};  // the second row never ends
    EXPECT_FALSE(DecodeRle(4, 2, 8, data, MakeRect(0, 0, 4, 2)).ok);
    // Only the first row asked for: the second is never read.
    EXPECT_TRUE(DecodeRle(4, 2, 8, data, MakeRect(0, 0, 4, 1)).ok);
    EXPECT_TRUE(RleDecoder(3, 1).IsFailed());
    EXPECT_TRUE(RleDecoder(0, 8).IsFailed());
}

TEST(RleDecoder, DamagedStreamsNeverCrash) {
    std::mt19937 random(4);
    for (const std::string& name : DecoderCaseNames("bmp")) {
        const DecoderCase c = LoadDecoderCase("bmp", name);
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> bytes = c.data;
            if (round % 3 == 0) bytes.resize(random() % bytes.size());
            for (int flips = 1 + random() % 6; flips > 0 && !bytes.empty(); --flips) {
                bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            }
            EXPECT_EQ(DecodeCase(c, bytes, Whole(c)).bad_calls, 0u);
        }
    }
}
