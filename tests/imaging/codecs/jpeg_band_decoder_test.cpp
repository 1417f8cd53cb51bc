#include "imaging/codecs/jpeg_band_decoder.h"

#include <gtest/gtest.h>

#include <random>

#include "foundation/progress.h"
#include "tests/imaging/codecs/decoder_test_support.h"
#include "tests/imaging/codecs/jpeg_test_data.h"

namespace {

// A JPEG-compressed TIFF made by tiffcp (the case's data), its JPEGTables
// bytes and libtiff's own decode of it.
struct JpegTiff : DataCase {
    std::vector<uint8_t> tables;
    uint32_t Get(const std::string& key) const { return uint32_t(DataCase::Get(key)); }
    uint16_t Bits() const { return uint16_t(8 * Get("samples")); }
};

JpegTiff LoadJpegTiff(const std::string& name) {
    JpegTiff t;
    static_cast<DataCase&>(t) = LoadDataCase(JpegDataDir("tiff"), name);
    t.tables = JpegCaseFile("tiff", name + ".tables");
    return t;
}

// As the TIFF reader builds it: the tables without their end-of-image
// marker, and the strips' own start-of-image marker skipped.
JpegBandDecoder MakeDecoder(const JpegTiff& t, uint32_t row_width) {
    MemBlock tables;
    EXPECT_TRUE(MemSet(tables, t.tables.data(), uint32_t(t.tables.size() - 2), 0));
    return JpegBandDecoder(row_width, tables, 2);
}

bool DecodeStrip(const JpegTiff& t, uint32_t index, JpegBandDecoder& decoder, RasterSink* sink,
                 const RectI& part, const PointI& origin, ProgressSink* progress = nullptr) {
    const auto& strip = t.strips.at(index);
    ByteReader reader;
    EXPECT_TRUE(ByteReaderInitBytes(reader, t.data.data() + strip.first, strip.second, true));
    return decoder.Decode(&reader, sink, t.Get("tile_length"), &part, &origin, progress);
}

// Decodes the rectangle (x, y, w, h) of the image tile by tile (a striped
// image is one column of strips) into a sink of the rectangle's size.
bool DecodeRect(const JpegTiff& t, CaptureSink& sink, const RectI& rect) {
    const int32_t tw = int32_t(t.Get("tile_width")), tl = int32_t(t.Get("tile_length"));
    const int32_t across = (int32_t(t.Get("width")) + tw - 1) / tw;
    const int32_t x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    JpegBandDecoder decoder = MakeDecoder(t, uint32_t(tw));
    for (int32_t r = y / tl; r <= (y + h - 1) / tl; ++r) {
        for (int32_t c = x / tw; c <= (x + w - 1) / tw; ++c) {
            const int32_t left = c == x / tw ? x % tw : 0, top = r == y / tl ? y % tl : 0;
            const int32_t right = c == (x + w - 1) / tw ? (x + w - 1) % tw + 1 : tw;
            const int32_t bottom = r == (y + h - 1) / tl ? (y + h - 1) % tl + 1 : tl;
            const RectI part = MakeRect(left, top, right - left, bottom - top);
            if (!DecodeStrip(t, uint32_t(r * across + c), decoder, &sink, part, {c * tw - x, r * tl - y})) {
                return false;
            }
        }
    }
    return true;
}

class CancelNow : public ProgressSink {
  public:
    bool IsCancelled() override { return true; }
};

}  // namespace

// The whole image and parts of it, tile by tile, as libtiff decodes them.
TEST(JpegBandDecoder, WholeAndPartsMatchLibtiff) {
    std::mt19937 random(3);
    const std::vector<std::string> names = JpegCaseNames("tiff");
    ASSERT_GE(names.size(), 10u);
    for (const std::string& name : names) {
        const JpegTiff t = LoadJpegTiff(name);
        const uint32_t width = t.Get("width"), height = t.Get("height"), channels = t.Get("samples");
        for (int i = 0; i < 7; ++i) {
            const uint32_t w = i ? 1 + random() % width : width, h = i ? 1 + random() % height : height;
            const uint32_t x = random() % (width - w + 1), y = random() % (height - h + 1);
            CaptureSink sink(w, h, t.Bits());
            ASSERT_TRUE(DecodeRect(t, sink, MakeRect(int32_t(x), int32_t(y), int32_t(w), int32_t(h))))
                << name;
            EXPECT_TRUE(sink.EveryPixelWrittenOnce()) << name << " " << x << "," << y << " " << w << "x" << h;
            EXPECT_EQ(sink.bad_calls, 0u) << name;
            EXPECT_TRUE(sink.pixels == CropExpected(t.expect, width, channels, x, y, w, h))
                << name << " " << x << "," << y << " " << w << "x" << h;
        }
    }
}

// A damaged TIFF may claim tiles wider or taller than their JPEG data: the
// decoder passes on what the data hold and never reads past a scanline.
TEST(JpegBandDecoder, PartsBeyondTheJpegDataAreClamped) {
    const JpegTiff tiles = LoadJpegTiff("tiles_64x48");
    JpegBandDecoder wide = MakeDecoder(tiles, 100);
    CaptureSink sink(100, 48, 24);
    ASSERT_TRUE(DecodeStrip(tiles, 0, wide, &sink, MakeRect(0, 0, 100, 48), {0, 0}));
    EXPECT_EQ(sink.bad_calls, 0u);
    EXPECT_EQ(sink.rows_received, 48u);
    for (uint32_t y = 0; y < 48; ++y) {
        EXPECT_EQ(sink.writes[y * 100 + 63], 1u);
        EXPECT_EQ(sink.writes[y * 100 + 64], 0u);
    }
    EXPECT_TRUE(sink.Crop(0, 0, 64, 48) == CropExpected(tiles.expect, 203, 3, 0, 0, 64, 48));

    // The last strip of 151 rows in strips of 16 holds 7 rows.
    const JpegTiff strips = LoadJpegTiff("strips_r16");
    JpegBandDecoder decoder = MakeDecoder(strips, 203);
    CaptureSink tall(203, 16, 24);
    ASSERT_TRUE(DecodeStrip(strips, 9, decoder, &tall, MakeRect(0, 0, 203, 16), {0, 0}));
    EXPECT_EQ(tall.rows_received, 7u);
    EXPECT_TRUE(tall.Crop(0, 0, 203, 7) == CropExpected(strips.expect, 203, 3, 0, 144, 203, 7));

    CaptureSink beside(300, 16, 24);
    EXPECT_FALSE(DecodeStrip(strips, 0, decoder, &beside, MakeRect(203, 0, 10, 16), {0, 0}));
    EXPECT_EQ(beside.rows_received, 0u);
}

TEST(JpegBandDecoder, UnusableDataOrRequestsFail) {
    const JpegTiff colour = LoadJpegTiff("strips_r16");
    const JpegTiff grey = LoadJpegTiff("grey_strips_r8");
    JpegBandDecoder decoder = MakeDecoder(colour, 203);
    const PointI origin{0, 0};
    CaptureSink eight(203, 16, 8);
    EXPECT_FALSE(DecodeStrip(colour, 0, decoder, &eight, MakeRect(0, 0, 203, 16), origin));
    EXPECT_EQ(eight.rows_received, 0u);
    JpegBandDecoder grey_decoder = MakeDecoder(grey, 203);
    CaptureSink colour_sink(203, 8, 24);
    EXPECT_FALSE(DecodeStrip(grey, 0, grey_decoder, &colour_sink, MakeRect(0, 0, 203, 8), origin));

    CaptureSink sink(203, 16, 24);
    for (const RectI& part :
         {MakeRect(0, 0, 0, 16), MakeRect(0, 0, 203, 0), MakeRect(-1, 0, 10, 16), MakeRect(0, -1, 10, 16)}) {
        EXPECT_FALSE(DecodeStrip(colour, 0, decoder, &sink, part, origin));
    }
    CancelNow cancel;
    EXPECT_FALSE(DecodeStrip(colour, 0, decoder, &sink, MakeRect(0, 0, 203, 16), origin, &cancel));
    EXPECT_EQ(sink.rows_received, 0u);

    // An abbreviated strip without its tables, and the tables without a strip.
    JpegBandDecoder no_tables(203, MemBlock(), 0);
    EXPECT_FALSE(DecodeStrip(colour, 0, no_tables, &sink, MakeRect(0, 0, 203, 16), origin));
    ByteReader tables_only;
    ASSERT_TRUE(ByteReaderInitBytes(tables_only, colour.tables.data(), uint32_t(colour.tables.size()), true));
    const RectI part = MakeRect(0, 0, 203, 16);
    EXPECT_FALSE(no_tables.Decode(&tables_only, &sink, 16, &part, &origin, nullptr));
    EXPECT_EQ(sink.rows_received, 0u);
    EXPECT_FALSE(decoder.Decode(nullptr, &sink, 16, &part, &origin, nullptr));
}

TEST(JpegBandDecoder, CutStripsDecodeAsFarAsTheirData) {
    const JpegTiff t = LoadJpegTiff("one_strip");
    JpegBandDecoder decoder = MakeDecoder(t, 203);
    const uint32_t length = t.strips[0].second;
    for (uint32_t keep : {2u, 20u, 40u, length / 3, length - 2}) {
        JpegTiff cut = t;
        cut.strips[0].second = keep;
        CaptureSink sink(203, 151, 24);
        const bool decoded = DecodeStrip(cut, 0, decoder, &sink, MakeRect(0, 0, 203, 151), {0, 0});
        EXPECT_EQ(sink.bad_calls, 0u) << keep;
        if (keep == 2) {
            EXPECT_FALSE(decoded);  // the strip's start-of-image marker only
        }
        if (keep < length / 3) continue;  // cut in its headers: a status either way
        // Cut inside the scan: every row arrives, the early ones as libtiff has them.
        EXPECT_TRUE(decoded) << keep;
        EXPECT_TRUE(sink.EveryPixelWrittenOnce()) << keep;
        EXPECT_TRUE(sink.Crop(0, 0, 203, 8) == CropExpected(t.expect, 203, 3, 0, 0, 203, 8)) << keep;
    }
}
