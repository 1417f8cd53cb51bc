#include "imaging/codecs/gif_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/imaging/codecs/decoder_test_support.h"

namespace {

struct GifRun {
    bool ok = false;
    std::vector<uint8_t> pixels;
    uint32_t bad_calls = 0;
};

GifRun DecodeGif(const DecoderCase& c, const std::vector<uint8_t>& data, const RectI& part) {
    GifDecoder decoder(uint32_t(c.Get("width")), uint16_t(c.Get("bits")), c.Get("interlaced") != 0,
                       uint32_t(c.Get("code_size")));
    EXPECT_FALSE(decoder.IsFailed());
    ByteReader reader;
    EXPECT_TRUE(ByteReaderInitBytes(reader, data.data(), uint32_t(data.size()), true));
    CaptureSink sink(uint32_t(part.size.width), uint32_t(part.size.height), decoder.OutputBits());
    const PointI origin = {-part.origin.x, -part.origin.y};
    GifRun run;
    run.ok = decoder.Decode(&reader, &sink, uint32_t(c.Get("height")), &part, &origin, nullptr);
    if (run.ok) {
        EXPECT_TRUE(sink.EveryPixelWrittenOnce()) << c.name;
    }
    run.pixels = sink.pixels;
    run.bad_calls = sink.bad_calls;
    return run;
}

RectI Whole(const DecoderCase& c) {
    return MakeRect(0, 0, int32_t(c.Get("width")), int32_t(c.Get("height")));
}

}  // namespace

// The whole picture and parts of it as Pillow decodes them, at every depth.
TEST(GifDecoder, WholeAndPartsMatchPillow) {
    std::mt19937 random(5);
    const std::vector<std::string> names = DecoderCaseNames("gif");
    ASSERT_GE(names.size(), 20u);
    for (const std::string& name : names) {
        const DecoderCase c = LoadDecoderCase("gif", name);
        const uint32_t width = uint32_t(c.Get("width")), height = uint32_t(c.Get("height"));
        for (int round = 0; round < 5; ++round) {
            const uint32_t w = round ? 1 + random() % width : width,
                           h = round ? 1 + random() % height : height;
            const uint32_t x = random() % (width - w + 1), y = random() % (height - h + 1);
            const GifRun run = DecodeGif(c, c.data, MakeRect(int32_t(x), int32_t(y), int32_t(w), int32_t(h)));
            ASSERT_TRUE(run.ok) << name;
            EXPECT_TRUE(run.pixels == CropExpected(c.expect, width, 1, x, y, w, h))
                << name << " " << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST(GifDecoder, InterlacedRowsComeFromTheirPass) {
    // 10 rows: passes hold rows 0 8 | 4 | 2 6 | 1 3 5 7 9.
    const uint32_t expected[10] = {0, 5, 3, 6, 2, 7, 4, 8, 1, 9};
    for (uint32_t y = 0; y < 10; ++y) EXPECT_EQ(GifInterlacedStreamRow(y, 10), expected[y]) << y;
    EXPECT_EQ(GifInterlacedStreamRow(0, 1), 0u);
    EXPECT_EQ(GifInterlacedStreamRow(1, 2), 1u);
}

TEST(GifDecoder, RefusesBadParametersAndData) {
    EXPECT_TRUE(GifDecoder(0, 8, false, 8).IsFailed());
    EXPECT_TRUE(GifDecoder(10, 0, false, 8).IsFailed());
    EXPECT_TRUE(GifDecoder(10, 9, false, 8).IsFailed());
    EXPECT_EQ(GifDecoder(10, 1, false, 2).OutputBits(), 1);
    EXPECT_EQ(GifDecoder(10, 3, false, 3).OutputBits(), 4);
    EXPECT_EQ(GifDecoder(10, 5, false, 5).OutputBits(), 8);

    const DecoderCase c = LoadDecoderCase("gif", "pillow_b8_n");
    EXPECT_FALSE(DecodeGif(c, {}, Whole(c)).ok);
    // A code size the data were not made with: the first code is no Clear.
    DecoderCase other = c;
    other.meta["code_size"] = 5;
    EXPECT_FALSE(DecodeGif(other, c.data, Whole(c)).ok);
}

// A table that fills up: with a Clear the whole image decodes; an encoder
// that goes on at 12 bits without one still gives the whole image.
TEST(GifDecoder, FullTableKeepsDecoding) {
    for (const char* name : {"full_table_clear", "full_table_deferred"}) {
        const DecoderCase c = LoadDecoderCase("gif", name);
        const GifRun run = DecodeGif(c, c.data, Whole(c));
        ASSERT_TRUE(run.ok) << name;
        EXPECT_TRUE(run.pixels == c.expect) << name;
    }
}

TEST(GifDecoder, DamagedDataNeverCrash) {
    std::mt19937 random(9);
    for (const char* name : {"pillow_b1_i", "pillow_b4_n", "pillow_b8_i", "full_table_deferred"}) {
        const DecoderCase c = LoadDecoderCase("gif", name);
        for (int round = 0; round < 80; ++round) {
            std::vector<uint8_t> bytes = c.data;
            if (round % 3 == 0) bytes.resize(1 + random() % bytes.size());
            for (int flips = 1 + random() % 6; flips > 0; --flips) {
                bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            }
            EXPECT_EQ(DecodeGif(c, bytes, Whole(c)).bad_calls, 0u);
        }
    }
}
