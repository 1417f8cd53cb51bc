#include "imaging/formats/jpeg_reader.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "foundation/data_source.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/page_placement.h"
#include "imaging/sinks/raster_sink.h"
#include "tests/imaging/codecs/jpeg_test_data.h"
#include "tests/imaging/formats/reader_test_support.h"

namespace {

std::string JfifPath(const std::string& name, const char* extension) {
    return JpegDataDir("jfif") + "/" + name + extension;
}

Ref<ImagePage> ParsePage(DataSource* source, ImageStatus* status) {
    Ref<ImageFormat> format = JpegParse(status, source, nullptr, 0, 0);
    return format ? format->GetPage(0) : nullptr;
}

Pnm DjpegOfBytes(const std::vector<uint8_t>& bytes, const std::string& stem) {
    EXPECT_TRUE(WriteHostFile(stem + ".jpg", bytes));
    RunHostCommand("djpeg -pnm -outfile '" + stem + ".pnm' '" + stem + ".jpg' 2>/dev/null");
    Pnm pnm;
    EXPECT_TRUE(ReadPnm(stem + ".pnm", pnm));
    return pnm;
}

}  // namespace

TEST(JpegReader, FormatAndPageDescribeTheFile) {
    ImageStatus status;
    Ref<DataSource> source = FileSource(JfifPath("colour420", ".jpg"));
    ASSERT_TRUE(source);
    Ref<ImageFormat> format = JpegParse(&status, source.get(), nullptr, 0, 0);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->FormatCode(), 3u);
    EXPECT_EQ(format->FormatOrdinal(), 3u);
    EXPECT_EQ(format->PageCount(), 1u);
    EXPECT_FALSE(format->GetPage(1));
    FormatInfo info;
    ASSERT_TRUE(format->GetInfo(&info));
    EXPECT_TRUE(WStrEqualsChars(info.format_name, L"JPEG File Interchange Format (JFIF)"));
    Ref<ImagePage> page = format->GetPage(0);
    ASSERT_TRUE(page);
    EXPECT_FALSE(page->IsBilevel());
    EXPECT_EQ(page->PixelWidth(), 203u);
    EXPECT_EQ(page->PixelHeight(), 151u);
    PageInfo colour;
    ASSERT_TRUE(page->GetInfo(&colour));
    EXPECT_EQ(colour.bits_per_pixel, 24u);
    EXPECT_EQ(colour.grey, 0u);
    EXPECT_EQ(colour.colour_palette, 0u);
    EXPECT_EQ(colour.image_count, 1u);
    EXPECT_EQ(colour.flagged_image_count, 0u);
    EXPECT_EQ(colour.compression, uint32_t(kCompressionJpeg));
    Ref<ImagePage> grey_page = ParsePage(FileSource(JfifPath("grey", ".jpg")).get(), &status);
    ASSERT_TRUE(grey_page);
    PageInfo grey;
    ASSERT_TRUE(grey_page->GetInfo(&grey));
    EXPECT_EQ(grey.bits_per_pixel, 8u);
    EXPECT_EQ(grey.grey, 1u);
    EXPECT_EQ(status.severity, 0);
}

TEST(JpegReader, DensitiesReachThePage) {
    std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "grey.jpg");
    ImageStatus status;
    jpeg[13] = 2;  // dots per centimetre, 118 x 59
    jpeg[14] = 0, jpeg[15] = 118, jpeg[16] = 0, jpeg[17] = 59;
    Ref<ImagePage> page = ParsePage(MemorySource(jpeg).get(), &status);
    ASSERT_TRUE(page);
    EXPECT_DOUBLE_EQ(page->DpiX(), 299.72);
    EXPECT_DOUBLE_EQ(page->DpiY(), 149.86);
    EXPECT_DOUBLE_EQ(page->WidthMm(), 203 / 299.72 * 25.4);
    EXPECT_DOUBLE_EQ(page->HeightMm(), 151 / 149.86 * 25.4);
    PageInfo info;
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(info.resolution_given, 1u);
    jpeg[13] = 0;  // an aspect ratio of 1:1
    jpeg[15] = 1, jpeg[17] = 1;
    page = ParsePage(MemorySource(jpeg).get(), &status);
    ASSERT_TRUE(page);
    EXPECT_EQ(page->DpiX(), 100);
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(info.resolution_given, 0u);
}

TEST(JpegReader, RendersAsDjpegDecodes) {
    for (const std::string& name : JpegCaseNames("jfif")) {
        ImageStatus status;
        Ref<DataSource> source = FileSource(JfifPath(name, ".jpg"));
        Ref<ImagePage> page = ParsePage(source.get(), &status);
        ASSERT_TRUE(page) << name;
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(JfifPath(name, ".pnm"), pnm)) << name;
        Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->bits_per_pixel, pnm.channels == 3 ? 24u : 8u) << name;
        EXPECT_EQ(ComparePicture(image.get(), pnm), "") << name;
        EXPECT_EQ(status.severity, 0) << name;
    }
}

TEST(JpegReader, PartsEqualCropsOfTheWhole) {
    std::mt19937 random(8);
    for (const char* name : {"colour420", "progressive444", "restart_grey", "large", "thin_3x300"}) {
        Ref<DataSource> source = FileSource(JfifPath(name, ".jpg"));
        Ref<ImagePage> page = ParsePage(source.get(), nullptr);
        ASSERT_TRUE(page) << name;
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(JfifPath(name, ".pnm"), pnm));
        ExpectPartsAndTurnsShowThePicture(page.get(), source.get(), pnm, random, 5, {}, name);
    }
}

// Scaling, turning and mirroring are the sink's: the page must hand it
// exactly djpeg's rows. A render reduced by 2 or more takes them reduced
// inside libjpeg's inverse DCT (djpeg -scale 1/d), by the largest factor
// that leaves at least the target's pixels in the part shown.
TEST(JpegReader, ReducedAndTurnedRendersGetDjpegsRows) {
    struct Case {
        const char* name;
        uint32_t pixel_width, pixel_height;
        uint16_t rotation;
        uint8_t flip_x, invert;
        uint32_t x, y, w, h;                              // the part shown, in full-size pixels; w 0: all
        uint32_t scale;                                   // djpeg's reduction of the rows the sink gets
        uint32_t scaled_x, scaled_y, scaled_w, scaled_h;  // the part in those rows
    };
    const std::string scratch = ReaderScratch("jpeg-scaled");
    for (const Case& c : {Case{"colour422", 51, 68, 90, 1, 0, 0, 0, 0, 0, 2, 0, 0, 102, 76},
                          Case{"grey", 100, 75, 0, 0, 1, 0, 0, 0, 0, 2, 0, 0, 102, 76},
                          Case{"grey", 150, 110, 270, 0, 0, 0, 0, 0, 0, 1, 0, 0, 203, 151},
                          Case{"large", 300, 200, 180, 0, 0, 0, 0, 0, 0, 4, 0, 0, 301, 227},
                          Case{"large", 150, 100, 0, 0, 0, 301, 203, 600, 400, 4, 75, 50, 151, 101},
                          Case{"large", 60, 40, 0, 1, 0, 0, 0, 0, 0, 8, 0, 0, 151, 114}}) {
        const std::string what = std::string(c.name) + " " + std::to_string(c.pixel_width);
        Ref<DataSource> source = FileSource(JfifPath(c.name, ".jpg"));
        Ref<ImagePage> page = ParsePage(source.get(), nullptr);
        ASSERT_TRUE(page) << what;
        PagePlacement placement =
            ReaderPlacement(page.get(), int32_t(c.x), int32_t(c.y), c.w ? c.w : page->PixelWidth(),
                            c.w ? c.h : page->PixelHeight());
        placement.pixel_width = c.pixel_width;
        placement.pixel_height = c.pixel_height;
        placement.rotation = c.rotation;
        placement.flip_x = c.flip_x;
        placement.invert = c.invert;
        Ref<RasterImage> image = page->Render(nullptr, source.get(), &placement, nullptr);
        ASSERT_TRUE(image) << what;

        Pnm whole;
        if (c.scale == 1) {
            ASSERT_TRUE(ReadPnm(JfifPath(c.name, ".pnm"), whole));
        } else {
            const std::string out = scratch + "/" + c.name + "-" + std::to_string(c.scale) + ".pnm";
            RunHostCommand("djpeg -scale 1/" + std::to_string(c.scale) + " -pnm -outfile '" + out + "' '" +
                           JfifPath(c.name, ".jpg") + "' 2>/dev/null");
            ASSERT_TRUE(ReadPnm(out, whole)) << what;
        }
        const Pnm pnm = CropPnm(whole, c.scaled_x, c.scaled_y, c.scaled_w, c.scaled_h);
        const bool quarter = c.rotation == 90 || c.rotation == 270;
        const uint16_t bits = uint16_t(pnm.channels * 8);
        Ref<RasterSink> sink = CreateSink(pnm.width, pnm.height, quarter ? c.pixel_height : c.pixel_width,
                                          quarter ? c.pixel_width : c.pixel_height, bits, nullptr, c.rotation,
                                          c.flip_x, true, c.invert, c.w == 0);
        ASSERT_TRUE(sink);
        std::vector<uint8_t> row(size_t(pnm.width) * pnm.channels);
        for (uint32_t y = 0; y < pnm.height; ++y) {
            memcpy(row.data(), &pnm.bytes[y * row.size()], row.size());
            if (pnm.channels == 3) {
                for (size_t i = 0; i < row.size(); i += 3) std::swap(row[i], row[i + 2]);
            }
            sink->PutRow(bits, row.data(), 0, y, 0, pnm.width);
        }
        Ref<RenderToken> token = AdoptRef(new RenderToken);
        Ref<RasterImage> expect = sink->Finish(nullptr, token.get());
        ASSERT_TRUE(expect);
        ASSERT_EQ(image->width, expect->width) << what;
        ASSERT_EQ(image->height, expect->height) << what;
        EXPECT_EQ(memcmp(image->pixels, expect->pixels, size_t(image->stride) * image->height), 0) << what;
    }
}

TEST(JpegReader, TruncatedFilesRenderAsFarAsTheirData) {
    const std::string dir = ReaderScratch("jpeg-truncated");
    for (const char* name : {"large", "progressive420", "restart_blocks"}) {
        const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", std::string(name) + ".jpg");
        const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + jpeg.size() * 3 / 5);
        ImageStatus status;
        Ref<DataSource> source = MemorySource(cut);
        Ref<ImagePage> page = ParsePage(source.get(), &status);
        ASSERT_TRUE(page) << name;
        Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(status.severity, 0) << name;
        EXPECT_EQ(ComparePicture(image.get(), DjpegOfBytes(cut, dir + "/" + name)), "") << name;
    }
}

TEST(JpegReader, UnreadableFilesAndRendersSetTheirStatus) {
    const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", "colour420.jpg");
    ImageStatus status;
    EXPECT_FALSE(JpegParse(&status, nullptr, nullptr, 0, 0));
    EXPECT_EQ(status.severity, 2);
    EXPECT_EQ(status.code, kStatusNothingToRender);
    for (const std::vector<uint8_t>& bytes :
         {TablesOnly(jpeg), std::vector<uint8_t>{0xFF, 0xD8},
          std::vector<uint8_t>(jpeg.begin(), jpeg.begin() + 150), std::vector<uint8_t>(300, 0xFF)}) {
        ImageStatus refused;
        EXPECT_FALSE(JpegParse(&refused, MemorySource(bytes).get(), nullptr, 0, 0)) << bytes.size();
        EXPECT_EQ(refused.severity, 2);
        EXPECT_EQ(refused.code, kStatusBadData);
    }
    const std::string empty = ReaderScratch("jpeg-empty") + "/empty.jpg";
    ASSERT_TRUE(WriteHostFile(empty, {}));
    ImageStatus empty_status;
    EXPECT_FALSE(JpegParse(&empty_status, FileSource(empty).get(), nullptr, 0, 0));
    EXPECT_EQ(empty_status.code, kStatusBadData);

    // Four components parse, but no sink takes 32-bit rows.
    ImageStatus cmyk_status;
    Ref<DataSource> cmyk = FileSource(JfifPath("cmyk", ".jpg"));
    Ref<ImagePage> page = ParsePage(cmyk.get(), &cmyk_status);
    ASSERT_TRUE(page);
    PageInfo info;
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(info.bits_per_pixel, 32u);
    EXPECT_FALSE(RenderWholePage(page.get(), cmyk.get(), &cmyk_status));
    EXPECT_EQ(cmyk_status.severity, 2);
    EXPECT_EQ(cmyk_status.code, kStatusBadData);

    Ref<DataSource> source = MemorySource(jpeg);
    Ref<ImagePage> colour = ParsePage(source.get(), nullptr);
    ASSERT_TRUE(colour);
    ImageStatus no_source, no_placement, outside;
    EXPECT_FALSE(RenderWholePage(colour.get(), nullptr, &no_source));
    EXPECT_EQ(no_source.code, kStatusBadData);
    EXPECT_FALSE(colour->Render(&no_placement, source.get(), nullptr, nullptr));
    EXPECT_EQ(no_placement.code, kStatusBadData);
    PagePlacement negative = ReaderPlacement(colour.get(), 0, 0, 10, 10);
    negative.rect.size.width = -5;
    EXPECT_FALSE(colour->Render(&outside, source.get(), &negative, nullptr));
    EXPECT_EQ(outside.code, kStatusBadData);
}

TEST(JpegReader, DamagedFilesNeverCrash) {
    std::mt19937 random(21);
    int rendered = 0;
    for (const char* name :
         {"colour420", "progressive420", "restart_rows", "grey", "arithmetic", "colour440"}) {
        const std::vector<uint8_t> jpeg = JpegCaseFile("jfif", std::string(name) + ".jpg");
        for (int i = 0; i < 25; ++i) {
            std::vector<uint8_t> bytes = jpeg;
            if (i % 2) bytes.resize(2 + random() % (bytes.size() - 2));
            for (int k = 0; k <= i / 3; ++k) bytes[random() % bytes.size()] = uint8_t(random());
            ImageStatus status;
            Ref<DataSource> source = MemorySource(bytes);
            Ref<ImagePage> page = ParsePage(source.get(), &status);
            if (!page) {
                EXPECT_EQ(status.code, kStatusBadData);
                continue;
            }
            Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
            rendered += image ? 1 : 0;
            EXPECT_TRUE(image ? status.severity == 0 : status.code == kStatusBadData) << name << " " << i;
        }
    }
    EXPECT_GT(rendered, 20);
}
