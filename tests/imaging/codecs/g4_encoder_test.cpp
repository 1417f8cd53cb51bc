#include "imaging/codecs/g4_encoder.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "foundation/out_stream.h"
#include "foundation/progress.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/raster/raster_image.h"
#include "tests/imaging/codecs/ccitt_test_support.h"
#include "tests/imaging/formats/tiff/tiff_test_files.h"
#include "tests/support/test_support.h"
#include "tests/support/vector_out_stream.h"

namespace {

// Bytes of a string of '0' and '1' (spaces ignored), zero padded.
std::vector<uint8_t> BitsOf(const std::string& text) {
    std::vector<uint8_t> bytes;
    int n = 0;
    for (char ch : text) {
        if (ch != '0' && ch != '1') continue;
        if (n % 8 == 0) bytes.push_back(0);
        if (ch == '1') bytes.back() |= uint8_t(0x80 >> (n % 8));
        ++n;
    }
    return bytes;
}

// A 1-bit image from packed rows (file order, memory row 0 first).
Ref<RasterImage> ImageOf(uint32_t width, uint32_t height, const std::vector<uint8_t>& rows) {
    Ref<RasterImage> image = RasterImageCreate(width, height, 1, true);
    const uint32_t stride = (width + 7) / 8;
    for (uint32_t y = 0; y < height && image; ++y) {
        memcpy(RasterImageRowAddress(image.get(), y), rows.data() + size_t(y) * stride, stride);
    }
    if (image) RasterImageClearPadding(image.get());
    return image;
}

std::vector<uint8_t> Encode(const RasterImage* image) {
    VectorOutStream stream;
    G4Encoder encoder;
    G4EncoderInit(encoder);
    EXPECT_EQ(G4Encode(encoder, image, &stream, 0, 0, nullptr), 0u);
    return stream.data;
}

// The smallest TIFF around one strip (Group 4 or, with compression 1,
// packed rows), marked as the TIFF writer marks its pages:
// PhotometricInterpretation 0.
std::vector<uint8_t> MinimalTiff(uint32_t width, uint32_t height, const std::vector<uint8_t>& strip,
                                 uint32_t compression = 4) {
    TiffBuilder file(false);
    const uint32_t at = file.Blob(strip);
    const uint32_t tags[][3] = {{256, 4, width},
                                {257, 4, height},
                                {258, 3, 1},
                                {259, 3, compression},
                                {262, 3, 0},
                                {273, 4, at},
                                {277, 3, 1},
                                {278, 4, height},
                                {279, 4, uint32_t(strip.size())},
                                {293, 4, 0}};
    for (const auto& t : tags) file.Add(uint16_t(t[0]), uint16_t(t[1]), {t[2]});
    file.EndDirectory();
    return file.bytes;
}

uint32_t Read32(const std::vector<uint8_t>& b, size_t at) {
    return at + 4 <= b.size() ? b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24 : 0;
}
uint32_t Read16(const std::vector<uint8_t>& b, size_t at) {
    return at + 2 <= b.size() ? b[at] | b[at + 1] << 8 : 0;
}

// The one strip of a little-endian TIFF that tiffcp wrote.
std::vector<uint8_t> OnlyStrip(const std::vector<uint8_t>& tiff) {
    const uint32_t ifd = Read32(tiff, 4);
    uint32_t offset = 0, length = 0;
    for (uint32_t i = 0, n = Read16(tiff, ifd); i < n; ++i) {
        const size_t e = ifd + 2 + 12 * i;
        const uint32_t tag = Read16(tiff, e), type = Read16(tiff, e + 2);
        const uint32_t value = type == 3 ? Read16(tiff, e + 8) : Read32(tiff, e + 8);
        if (tag == 273) offset = value;
        if (tag == 279) length = value;
    }
    if (offset + uint64_t(length) > tiff.size()) return {};
    return std::vector<uint8_t>(tiff.begin() + offset, tiff.begin() + offset + length);
}

// What the decoders must give for an image: a set bit where it has a 0 bit.
std::vector<uint8_t> Inverted(const std::vector<uint8_t>& rows, uint32_t width) {
    const uint32_t stride = (width + 7) / 8;
    std::vector<uint8_t> out(rows.size());
    for (size_t i = 0; i < rows.size(); ++i) {
        const uint32_t used = (i % stride == stride - 1 && width % 8) ? width % 8 : 8;
        out[i] = uint8_t(~rows[i] & (0xFF00 >> used));
    }
    return out;
}

struct Picture {
    std::string name;
    uint32_t width, height;
    std::vector<uint8_t> rows;  // packed, file order
};

std::vector<Picture> Pictures() {
    std::mt19937 random(11);
    std::vector<Picture> pictures;
    auto add = [&](std::string name, uint32_t width, uint32_t height, auto bit) {
        Picture p{std::move(name), width, height, std::vector<uint8_t>(size_t((width + 7) / 8) * height)};
        for (uint32_t y = 0; y < height; ++y)
            for (uint32_t x = 0; x < width; ++x)
                if (bit(x, y)) p.rows[size_t(y) * ((width + 7) / 8) + x / 8] |= uint8_t(0x80 >> (x % 8));
        pictures.push_back(std::move(p));
    };
    add("all ones", 100, 5, [](uint32_t, uint32_t) { return true; });
    add("all zeros", 100, 5, [](uint32_t, uint32_t) { return false; });
    add("one pixel wide", 1, 40, [&](uint32_t, uint32_t) { return random() % 2 == 0; });
    for (uint32_t width : {7u, 8u, 33u, 77u, 1000u}) {
        for (int density : {1, 2, 3}) {
            add("noise " + std::to_string(width) + "/" + std::to_string(density), width, 30,
                [&](uint32_t, uint32_t) { return int(random() % 4) < density; });
        }
    }
    add("alternating", 64, 6, [](uint32_t x, uint32_t y) { return (x + y) % 2 == 0; });
    // Slanted edges and staircases: vertical and pass modes.
    add("slants", 300, 120, [](uint32_t x, uint32_t y) {
        return ((x + y / 2) / 17) % 2 == 0 || (x > 150 && ((x - y) / 9) % 3 == 0);
    });
    // Runs over 2560 in both colours, all-zero rows.
    add("long runs", 6007, 12, [](uint32_t x, uint32_t y) {
        if (y == 3 || y == 4) return false;
        if (y % 3 == 0) return x < 5000;
        return x < 10 || x > 2700;
    });
    return pictures;
}

}  // namespace

// libtiff decodes what the encoder made back into the picture: its black
// runs (set bits in libtiff's raw output) are where the image had 0 bits.
// And libtiff's own Group 4 encoder, given the picture in its colours (0
// bits white), writes the very same bytes.
TEST(G4Encoder, LibtiffDecodesThePictureBackAndCodesItTheSame) {
    const std::string dir = MakeScratchDir("g4-encoder-" + std::to_string(GetCurrentProcessId()));
    int index = 0;
    for (const Picture& p : Pictures()) {
        Ref<RasterImage> image = ImageOf(p.width, p.height, p.rows);
        ASSERT_TRUE(image);
        const std::vector<uint8_t> coded = Encode(image.get());
        const std::string stem = dir + "/" + std::to_string(index++);
        ASSERT_TRUE(WriteHostFile(stem + ".tif", MinimalTiff(p.width, p.height, coded)));
        ASSERT_TRUE(
            WriteHostFile(stem + "-raw.tif", MinimalTiff(p.width, p.height, Inverted(p.rows, p.width), 1)));
        ASSERT_EQ(RunHostCommand("tiffcp -c none -f msb2lsb '" + stem + ".tif' '" + stem + "-none.tif' && " +
                                 "tiffcp -c g4 -r " + std::to_string(p.height) + " '" + stem + "-raw.tif' '" +
                                 stem + "-g4.tif'"),
                  0)
            << p.name;
        EXPECT_EQ(OnlyStrip(ReadHostFile(stem + "-none.tif")), Inverted(p.rows, p.width)) << p.name;
        EXPECT_EQ(coded, OnlyStrip(ReadHostFile(stem + "-g4.tif"))) << p.name;
    }
}

// The project's own decoder agrees, and so round trips keep every pixel.
TEST(G4Encoder, OwnDecoderSetsPixelsWhereTheImageHadZeros) {
    for (const Picture& p : Pictures()) {
        Ref<RasterImage> image = ImageOf(p.width, p.height, p.rows);
        const std::vector<uint8_t> coded = Encode(image.get());
        ByteReader reader;
        ASSERT_TRUE(ByteReaderInitBytes(reader, coded.data(), uint32_t(coded.size()), false));
        CcittDecoder decoder(p.width, kCcittT6, 0);
        RunsCaptureSink sink(p.width, p.height);
        const RectI whole = CcittRect(0, 0, p.width, p.height);
        const PointI origin = {0, 0};
        EXPECT_TRUE(decoder.Decode(&reader, &sink, p.height, &whole, &origin, nullptr)) << p.name;
        EXPECT_EQ(sink.bits, Inverted(p.rows, p.width)) << p.name;
    }
}

TEST(G4Encoder, KnownCodeSequences) {
    {
        // 5000 white: make-up 2560, make-up 2432, terminating 8.
        VectorOutStream stream;
        BitWriter writer;
        BitWriterInit(writer, &stream);
        CcittPutRun(5000, true, &writer);
        CcittPutRun(-1, false, &writer);  // writes nothing
        BitWriterFlush(writer);
        EXPECT_EQ(stream.data, BitsOf("000000011111 000000011101 10011"));
    }
    {
        // 1 bits are white: one V0 per row, then EOFB.
        const uint32_t width = 20, height = 8;
        Ref<RasterImage> ones = ImageOf(width, height, std::vector<uint8_t>(3 * height, 0xFF));
        EXPECT_EQ(Encode(ones.get()), BitsOf("11111111 000000000001 000000000001"));
    }
    {
        // 0 bits are black: the first row is horizontal mode with white 0
        // and black 20; every row below it V0 V0 (a0 stops at 0, then
        // a1 = b1 = the width).
        Ref<RasterImage> zeros = ImageOf(20, 3, std::vector<uint8_t>(9, 0));
        EXPECT_EQ(Encode(zeros.get()),
                  BitsOf("001 00110101 00001101000  1 1  1 1  000000000001 000000000001"));
    }
}

TEST(G4Encoder, RefusalsAndStreamErrors) {
    G4Encoder encoder;
    G4EncoderInit(encoder);
    VectorOutStream stream;
    Ref<RasterImage> grey = RasterImageCreate(16, 4, 8, true);
    ASSERT_TRUE(grey);
    EXPECT_EQ(G4Encode(encoder, grey.get(), &stream, 0, 0, nullptr), 1u);
    EXPECT_EQ(G4Encode(encoder, nullptr, &stream, 0, 0, nullptr), 1u);
    EXPECT_EQ(OutStreamPosition(stream), 0u);

    Ref<RasterImage> page = ImageOf(77, 30, std::vector<uint8_t>(10 * 30, 0x5A));
    VectorOutStream broken(0);
    EXPECT_EQ(G4Encode(encoder, page.get(), &broken, 0, 0, nullptr), 1u);

    // Progress levels are closed again afterwards.
    ProgressSink progress;
    VectorOutStream fine;
    EXPECT_EQ(G4Encode(encoder, page.get(), &fine, 0, 0, &progress), 0u);
    EXPECT_EQ(progress.level_count, 0u);

    ChangeList a, b;
    ASSERT_TRUE(ChangeListInit(a, 10));
    ASSERT_TRUE(ChangeListInit(b, 11));
    BitWriter writer;
    BitWriterInit(writer, &fine);
    EXPECT_FALSE(CcittEncode2DLine(a, b, &writer));
    EXPECT_TRUE(CcittEncode2DLine(a, a, &writer));
}
