#include "imaging/codecs/strip_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "foundation/progress.h"
#include "tests/imaging/codecs/decoder_test_support.h"

namespace {

uint32_t ModeOf(const DecoderCase& c) {
    switch (c.Get("compression")) {
        case 5:
            return c.Get("predictor") == 2 ? kStripLzwPredictor : kStripLzw;
        case 32773:
            return kStripPackBits;
        default:
            return kStripUncompressed;
    }
}

StripDecoder MakeDecoder(const DecoderCase& c) {
    return StripDecoder(uint32_t(c.Get("width")), uint16_t(c.Get("bits")), uint16_t(c.Get("samples")),
                        uint16_t(c.Get("extra")),
                        c.Get("photometric") == 5 ? kStripColourCmyk : kStripColourRgb, ModeOf(c));
}

// Decodes the part (x, y, w, h) of the image strip by strip, as the TIFF
// reader does, into a sink of the part's size.
bool DecodeRect(const DecoderCase& c, CaptureSink& sink, const RectI& part) {
    StripDecoder decoder = MakeDecoder(c);
    EXPECT_FALSE(decoder.IsFailed()) << c.name;
    const int32_t height = int32_t(c.Get("height"));
    const int32_t rows_per_strip = int32_t(std::min<int64_t>(c.Get("rows_per_strip"), height));
    const int32_t top = part.origin.y, bottom = part.origin.y + part.size.height;
    for (int32_t s = top / rows_per_strip; s * rows_per_strip < bottom; ++s) {
        const int32_t strip_top = s * rows_per_strip;
        const int32_t strip_rows = std::min(rows_per_strip, height - strip_top);
        const int32_t y0 = std::max(top, strip_top) - strip_top;
        const int32_t y1 = std::min(bottom, strip_top + strip_rows) - strip_top;
        const RectI in_strip = MakeRect(part.origin.x, y0, part.size.width, y1 - y0);
        const PointI origin = {-part.origin.x, strip_top - top};
        ByteReader reader;
        const auto& strip = c.strips.at(size_t(s));
        if (!ByteReaderInitBytes(reader, c.data.data() + strip.first, strip.second, true)) return false;
        if (!decoder.Decode(&reader, &sink, uint32_t(strip_rows), &in_strip, &origin, nullptr)) return false;
    }
    return true;
}

class CancelAfter : public ProgressSink {
  public:
    explicit CancelAfter(int polls) : polls_(polls) {}
    bool IsCancelled() override { return --polls_ < 0; }
    int polls_;
};

}  // namespace

// The whole image and parts of it, strip by strip, as libtiff decodes them.
TEST(StripDecoder, WholeAndPartsMatchLibtiff) {
    std::mt19937 random(11);
    const std::vector<std::string> names = DecoderCaseNames("strips");
    ASSERT_GE(names.size(), 40u);
    for (const std::string& name : names) {
        const DecoderCase c = LoadDecoderCase("strips", name);
        const uint32_t width = uint32_t(c.Get("width")), height = uint32_t(c.Get("height"));
        const uint16_t bits = MakeDecoder(c).OutputBits();
        for (int round = 0; round < 5; ++round) {
            const uint32_t w = round ? 1 + random() % width : width,
                           h = round ? 1 + random() % height : height;
            const uint32_t x = random() % (width - w + 1), y = random() % (height - h + 1);
            CaptureSink sink(w, h, bits);
            ASSERT_TRUE(DecodeRect(c, sink, MakeRect(int32_t(x), int32_t(y), int32_t(w), int32_t(h))))
                << name << " " << x << "," << y << " " << w << "x" << h;
            EXPECT_TRUE(sink.EveryPixelWrittenOnce()) << name;
            EXPECT_EQ(sink.bad_calls, 0u) << name;
            EXPECT_TRUE(sink.pixels == CropExpected(c.expect, width, sink.channels_, x, y, w, h))
                << name << " " << x << "," << y << " " << w << "x" << h;
        }
    }
}

TEST(StripDecoder, OneBitColumnReadsOnlyItsByte) {
    // Rows of 10 pixels (2 bytes); pixel 9 is bit 6 of byte 1.
    const uint8_t rows[] = {0xFF, 0x40, 0x00, 0xBF, 0xAA, 0x00};
    StripDecoder decoder(10, 1, 1, 0, kStripColourNone, kStripUncompressed);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, rows, sizeof(rows), true));
    CaptureSink sink(1, 3, 1);
    const RectI part = MakeRect(9, 0, 1, 3);
    const PointI origin = {-9, 0};
    ASSERT_TRUE(decoder.Decode(&reader, &sink, 3, &part, &origin, nullptr));
    EXPECT_EQ(sink.last_offset, 1u);
    EXPECT_EQ(sink.last_first_byte, 0x00);
    EXPECT_EQ(sink.pixels, (std::vector<uint8_t>{1, 0, 0}));
}

TEST(StripDecoder, BmpRowsArePaddedToFourBytes) {
    // 3 pixels of 24 bits: 9 bytes and 3 of padding per row, blue green red.
    const uint8_t rows[] = {1,    2,  3,  4,  5,  6,  7,  8,  9,  0xEE, 0xEE,
                            0xEE, 10, 11, 12, 13, 14, 15, 16, 17, 18,   0xEE};
    StripDecoder decoder(3, 8, 3, 0, kStripColourNone, kStripUncompressedPadded);
    EXPECT_EQ(decoder.RowBytes(), 12u);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, rows, sizeof(rows), true));
    CaptureSink sink(2, 2, 24);
    const RectI part = MakeRect(1, 0, 2, 2);
    const PointI origin = {-1, 0};
    ASSERT_TRUE(decoder.Decode(&reader, &sink, 2, &part, &origin, nullptr));
    EXPECT_EQ(sink.pixels, (std::vector<uint8_t>{4, 5, 6, 7, 8, 9, 13, 14, 15, 16, 17, 18}));
}

TEST(StripDecoder, RefusesWhatItCannotDeliver) {
    EXPECT_TRUE(StripDecoder(0, 8, 1, 0, 0, 0).IsFailed());
    EXPECT_TRUE(StripDecoder(10, 16, 1, 0, 0, 0).IsFailed());
    EXPECT_TRUE(StripDecoder(10, 8, 2, 0, 0, 0).IsFailed());  // two colour samples
    EXPECT_TRUE(StripDecoder(10, 4, 2, 1, 0, 0).IsFailed());  // extra samples need 8 bits
    EXPECT_TRUE(StripDecoder(10, 4, 3, 0, 1, 0).IsFailed());  // colour needs 8 bits
    EXPECT_TRUE(StripDecoder(10, 8, 10, 0, 1, 0).IsFailed());
    EXPECT_TRUE(StripDecoder(10, 8, 1, 0, 0, 5).IsFailed());
    EXPECT_FALSE(StripDecoder(10, 8, 2, 1, 0, 0).IsFailed());  // grey with alpha
    EXPECT_EQ(StripDecoder(10, 8, 5, 1, 2, 0).OutputBits(), 24);

    // A rectangle outside the strip is refused before anything is read.
    const uint8_t bytes[20] = {};
    StripDecoder decoder(10, 8, 1, 0, 0, 0);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, bytes, sizeof(bytes), true));
    CaptureSink sink(10, 2, 8);
    const PointI origin = {0, 0};
    for (const RectI& bad :
         {MakeRect(5, 0, 6, 2), MakeRect(0, 1, 10, 2), MakeRect(-1, 0, 3, 1), MakeRect(0, 0, 0, 1)}) {
        EXPECT_FALSE(decoder.Decode(&reader, &sink, 2, &bad, &origin, nullptr));
    }
    EXPECT_EQ(sink.rows_received, 0u);
}

TEST(StripDecoder, StopsWhenCancelledOrShort) {
    const DecoderCase c = LoadDecoderCase("strips", "lzw_8_r100000");
    const uint32_t width = uint32_t(c.Get("width")), height = uint32_t(c.Get("height"));
    StripDecoder decoder = MakeDecoder(c);
    CaptureSink sink(width, height, 8);
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, c.data.data(), uint32_t(c.data.size()), true));
    const RectI whole = MakeRect(0, 0, int32_t(width), int32_t(height));
    const PointI origin = {0, 0};
    CancelAfter cancel(20);
    EXPECT_FALSE(decoder.Decode(&reader, &sink, height, &whole, &origin, &cancel));
    EXPECT_EQ(sink.rows_received, 20u);

    // An uncompressed strip cut short fails at the first row it cannot read.
    const DecoderCase plain = LoadDecoderCase("strips", "none_8_r100000");
    StripDecoder plain_decoder = MakeDecoder(plain);
    CaptureSink plain_sink(width, height, 8);
    ASSERT_TRUE(ByteReaderInitBytes(reader, plain.data.data(), width * 50 + 7, true));
    EXPECT_FALSE(plain_decoder.Decode(&reader, &plain_sink, height, &whole, &origin, nullptr));
    EXPECT_EQ(plain_sink.rows_received, 50u);
}

// Damaged strips: every case ends with an answer, and nothing is written out
// of bounds (the guard-page build faults at once if it is).
TEST(StripDecoder, DamagedStripsNeverCrash) {
    std::mt19937 random(3);
    for (const char* name : {"lzw_1_r100000", "lzw_4_r16", "lzw2_24_r13", "packbits_8_r7", "lzw2_cmyk",
                             "packbits_24_r100000", "lzw_rgba"}) {
        const DecoderCase c = LoadDecoderCase("strips", name);
        const uint32_t width = uint32_t(c.Get("width")), height = uint32_t(c.Get("height"));
        const uint32_t rows = uint32_t(std::min<int64_t>(c.Get("rows_per_strip"), height));
        StripDecoder decoder = MakeDecoder(c);
        const auto& strip = c.strips[0];
        for (int round = 0; round < 60; ++round) {
            std::vector<uint8_t> bytes(c.data.begin() + strip.first,
                                       c.data.begin() + strip.first + strip.second);
            if (round % 3 == 0) bytes.resize(random() % bytes.size());
            for (int flips = 1 + random() % 8; flips > 0 && !bytes.empty(); --flips) {
                bytes[random() % bytes.size()] ^= uint8_t(1u << (random() % 8));
            }
            ByteReader reader;
            ASSERT_TRUE(ByteReaderInitBytes(reader, bytes.data(), uint32_t(bytes.size()), true));
            CaptureSink sink(width, rows, decoder.OutputBits());
            const RectI whole = MakeRect(0, 0, int32_t(width), int32_t(rows));
            const PointI origin = {0, 0};
            decoder.Decode(&reader, &sink, rows, &whole, &origin, nullptr);
            EXPECT_EQ(sink.bad_calls, 0u);
        }
    }
}
