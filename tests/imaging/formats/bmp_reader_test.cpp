#include "imaging/formats/bmp_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/imaging/formats/reader_test_support.h"

namespace {

ReaderFile OpenCase(const std::string& name, ImageStatus* status) {
    return OpenReaderFile("bmp", BmpParse, name, status);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) bytes[at + i] = uint8_t(value >> (8 * i));
}

void PutU16(std::vector<uint8_t>& bytes, size_t at, uint16_t value) {
    bytes[at] = uint8_t(value);
    bytes[at + 1] = uint8_t(value >> 8);
}

int32_t ParseStatus(const std::vector<uint8_t>& bytes) {
    ImageStatus status;
    Ref<DataSource> source = MemorySource(bytes);
    Ref<ImageFormat> format = BmpParse(&status, source.get(), nullptr, 0, 0);
    EXPECT_EQ(bool(format), status.severity == 0);
    return status.code;
}

}  // namespace

TEST(BmpReader, RendersAsTheToolsDecode) {
    for (const std::string& name : ReaderCaseNames("bmp")) {
        ImageStatus status;
        ReaderFile file = OpenCase(name, &status);
        ASSERT_TRUE(file.page) << name;
        EXPECT_EQ(file.page->PixelWidth(), uint32_t(file.data.Get("width"))) << name;
        EXPECT_EQ(file.page->PixelHeight(), uint32_t(file.data.Get("height"))) << name;
        EXPECT_NEAR(file.page->DpiX(), file.data.Get("dpix1000") / 1000.0, 5e-4) << name;
        EXPECT_NEAR(file.page->DpiY(), file.data.Get("dpiy1000") / 1000.0, 5e-4) << name;
        PageInfo info;
        ASSERT_TRUE(file.page->GetInfo(&info));
        EXPECT_EQ(info.bits_per_pixel, file.data.Get("bits")) << name;
        EXPECT_EQ(info.compression, uint32_t(file.data.Get("compression"))) << name;
        EXPECT_EQ(info.resolution_given, file.data.Get("given")) << name;
        if (file.data.meta.count("palette")) {
            EXPECT_EQ(info.colour_palette, file.data.Get("palette")) << name;
        }
        if (file.data.meta.count("grey")) {
            EXPECT_EQ(info.grey, file.data.Get("grey")) << name;
        }

        Ref<RasterImage> image = RenderWholePage(file.page.get(), file.source.get(), &status);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->bits_per_pixel, file.data.Get("bits")) << name;
        EXPECT_EQ(ComparePicture(image.get(), file.expect), "") << name;
        EXPECT_EQ(status.severity, 0) << name;
    }
}

TEST(BmpReader, FormatAndResolution) {
    ReaderFile file = OpenCase("pil_rgb", nullptr);
    ASSERT_TRUE(file.page);
    Ref<ImageFormat> format = BmpParse(nullptr, file.source.get(), nullptr, 0, 0);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->FormatCode(), 0u);
    EXPECT_EQ(format->FormatOrdinal(), 1u);
    EXPECT_EQ(format->PageCount(), 1u);
    EXPECT_FALSE(format->GetPage(1));
    FormatInfo info;
    ASSERT_TRUE(format->GetInfo(&info));
    EXPECT_TRUE(WStrEqualsChars(info.format_name, L"Windows Bitmap (BMP)"));
    // 3780 pixels per metre.
    EXPECT_DOUBLE_EQ(file.page->DpiX(), 96.012);
    EXPECT_DOUBLE_EQ(file.page->WidthMm(), 61 / 96.012 * 25.4);
}

// A bottom-up file's top strip is its last stored rows; parts, turns and
// mirrors show the picture as the tools decode it, whichever way the rows
// are stored and however they are coded.
TEST(BmpReader, PartsAndTurnsEqualThePicture) {
    std::mt19937 random(6);
    for (const char* name : {"ppm_24", "top_down_8", "im_rle8", "crafted_rle4", "ppm_1", "top_down_24"}) {
        ReaderFile file = OpenCase(name, nullptr);
        ASSERT_TRUE(file.page) << name;
        const uint32_t width = file.expect.width;
        const PagePlacement top = ReaderPlacement(file.page.get(), 0, 0, width, 5);
        Ref<RasterImage> strip = file.page->Render(nullptr, file.source.get(), &top, nullptr);
        ASSERT_TRUE(strip) << name;
        EXPECT_EQ(ComparePicture(strip.get(), CropPnm(file.expect, 0, 0, width, 5)), "") << name;
        ExpectPartsAndTurnsShowThePicture(file.page.get(), file.source.get(), file.expect, random, 6,
                                          {{90, true}, {180, false}, {270, false}}, name);
    }
}

// A palette from white to black is dropped like a plain grey ramp; the
// render still shows the picture as stored, and its negative when asked.
TEST(BmpReader, DescendingGreyLooksAsStored) {
    for (const char* name : {"descending_grey_8", "descending_grey_1"}) {
        ReaderFile file = OpenCase(name, nullptr);
        ASSERT_TRUE(file.page) << name;
        PagePlacement placement =
            ReaderPlacement(file.page.get(), 0, 0, file.page->PixelWidth(), file.page->PixelHeight());
        placement.invert = 1;
        Ref<RasterImage> image = file.page->Render(nullptr, file.source.get(), &placement, nullptr);
        ASSERT_TRUE(image) << name;
        Pnm negative = file.expect;
        for (uint8_t& byte : negative.bytes) byte = uint8_t(255 - byte);
        EXPECT_EQ(ComparePicture(image.get(), negative), "") << name;
    }
}

TEST(BmpReader, UnsupportedVariantsAreRefused) {
    const std::vector<uint8_t> good = LoadReaderCase("bmp", "ppm_8").data;
    const std::vector<uint8_t> rle = LoadReaderCase("bmp", "im_rle8").data;
    struct Change {
        const char* what;
        size_t at;
        uint32_t value;
        int size;
        bool coded;
    };
    for (const Change& c :
         {Change{"16 bits", 28, 16, 2, false}, Change{"32 bits", 28, 32, 2, false},
          Change{"bit fields", 30, 3, 4, false}, Change{"two planes", 26, 2, 2, false},
          Change{"RLE8 with 4 bits", 28, 4, 2, true}, Change{"RLE4 with 8 bits", 30, 2, 4, true},
          Change{"coded without size", 34, 0, 4, true}, Change{"top-down coded", 22, uint32_t(-43), 4, true},
          Change{"OS/2 header", 14, 12, 4, false}, Change{"width 0", 18, 0, 4, false},
          Change{"negative width", 18, uint32_t(-61), 4, false},
          Change{"width above 1000000", 18, 1000001, 4, false}, Change{"height 0", 22, 0, 4, false},
          Change{"height below -1000000", 22, uint32_t(-1000001), 4, false}}) {
        std::vector<uint8_t> bytes = c.coded ? rle : good;
        if (c.size == 2) {
            PutU16(bytes, c.at, uint16_t(c.value));
        } else {
            PutU32(bytes, c.at, c.value);
        }
        EXPECT_EQ(ParseStatus(bytes), kStatusUnsupported) << c.what;
    }
}

TEST(BmpReader, BrokenFilesGiveTheirStatus) {
    const std::vector<uint8_t> good = LoadReaderCase("bmp", "ppm_8").data;
    ImageStatus none;
    EXPECT_FALSE(BmpParse(&none, nullptr, nullptr, 0, 0));
    EXPECT_EQ(none.code, kStatusNothingToRender);
    EXPECT_EQ(ParseStatus(std::vector<uint8_t>(good.begin(), good.begin() + 53)), kStatusShortRead);
    std::vector<uint8_t> bytes = good;
    bytes[1] = 'A';
    EXPECT_EQ(ParseStatus(bytes), kStatusBadData);
    bytes = good;
    PutU32(bytes, 14, 4000);  // the palette would lie past the end
    PutU32(bytes, 10, 0);
    EXPECT_EQ(ParseStatus(bytes), kStatusBadData);
    bytes = good;
    PutU32(bytes, 10, uint32_t(good.size()));  // pixels past the end
    EXPECT_EQ(ParseStatus(bytes), kStatusBadData);
    bytes = good;
    PutU32(bytes, 10, 40);  // pixels inside the header
    EXPECT_EQ(ParseStatus(bytes), kStatusBadData);
    // Without bfOffBits the pixels follow the colour table.
    bytes = good;
    PutU32(bytes, 10, 0);
    EXPECT_EQ(ParseStatus(bytes), 0);

    // Rows missing at the end: the page parses, its render fails with 2005,
    // and so does a request outside the page.
    const std::vector<uint8_t> cut(good.begin(), good.end() - 100);
    ImageStatus status;
    Ref<DataSource> source = MemorySource(cut);
    Ref<ImagePage> page = ParseFirstPage(BmpParse, source.get(), cut, &status);
    ASSERT_TRUE(page);
    EXPECT_FALSE(RenderWholePage(page.get(), source.get(), &status));
    EXPECT_EQ(status.code, kStatusBadData);
    ImageStatus outside;
    PagePlacement empty = ReaderPlacement(page.get(), 0, 0, 4, 2);
    empty.rect.size.height = -10;
    EXPECT_FALSE(page->Render(&outside, source.get(), &empty, nullptr));
    EXPECT_EQ(outside.code, kStatusBadData);
}

TEST(BmpReader, DamagedFilesNeverCrash) {
    std::mt19937 random(29);
    int rendered = 0;
    for (const char* name :
         {"ppm_4", "im_rle8", "crafted_rle4", "v4_header_4", "top_down_24", "short_palette_8"}) {
        const DataCase data = LoadReaderCase("bmp", name);
        for (int round = 0; round < 30; ++round) {
            std::vector<uint8_t> bytes = Damage(data.data, random, round);
            if (round % 5 == 4 && bytes.size() > 60) {
                PutU32(bytes, 18 + 4 * (random() % 8), random());  // a header field at random
            }
            ImageStatus status;
            Ref<DataSource> source = MemorySource(bytes);
            Ref<ImagePage> page = ParseFirstPage(BmpParse, source.get(), bytes, &status);
            if (!page) {
                EXPECT_EQ(status.severity, 2) << name << " " << round;
                continue;
            }
            Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
            rendered += image ? 1 : 0;
            EXPECT_TRUE(image ? status.severity == 0 : status.code == kStatusBadData) << name << " " << round;
        }
    }
    EXPECT_GT(rendered, 15);
}
