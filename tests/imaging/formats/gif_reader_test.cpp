#include "imaging/formats/gif_reader.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/imaging/formats/reader_test_support.h"

namespace {

ReaderFile OpenCase(const std::string& name, ImageStatus* status) {
    return OpenReaderFile("gif", GifParse, name, status);
}

// A hand-made GIF89a of 4 x 2 pixels and a 2-bit global table, with
// `blocks` between the colour table and the image.
std::vector<uint8_t> SmallGif(const std::vector<uint8_t>& blocks) {
    std::vector<uint8_t> gif = {'G', 'I', 'F', '8', '9', 'a', 4, 0, 2, 0, 0x81, 0, 0};
    const uint8_t table[] = {0, 0, 0, 255, 255, 255, 255, 0, 0, 0, 0, 255};
    gif.insert(gif.end(), table, table + sizeof(table));
    gif.insert(gif.end(), blocks.begin(), blocks.end());
    // The image descriptor and the data Pillow writes for pixels 0, 1, 2, 3
    // on both rows (code size 8, one sub-block), then the trailer.
    const uint8_t image[] = {0x2C, 0,    0,    0,    0,    4,    0,    2,    0,    0, 8,   9,
                             0x00, 0x01, 0x04, 0x10, 0x30, 0x40, 0x20, 0xC1, 0x80, 0, 0x3B};
    gif.insert(gif.end(), image, image + sizeof(image));
    return gif;
}

}  // namespace

TEST(GifReader, RendersAsPillowDecodes) {
    for (const std::string& name : ReaderCaseNames("gif")) {
        ImageStatus status;
        ReaderFile file = OpenCase(name, &status);
        ASSERT_TRUE(file.page) << name;
        EXPECT_EQ(file.page->PixelWidth(), uint32_t(file.data.Get("width"))) << name;
        EXPECT_EQ(file.page->PixelHeight(), uint32_t(file.data.Get("height"))) << name;
        EXPECT_DOUBLE_EQ(file.page->DpiX(), 25.4) << name;
        EXPECT_NEAR(file.page->DpiY(), file.data.Get("dpiy1000") / 1000.0, 1e-9) << name;
        EXPECT_FALSE(file.page->IsBilevel());
        PageInfo info;
        ASSERT_TRUE(file.page->GetInfo(&info));
        EXPECT_EQ(info.bits_per_pixel, file.data.Get("bits")) << name;
        EXPECT_EQ(info.compression, uint32_t(kCompressionLzw));
        EXPECT_EQ(info.colour_palette, 1u);
        EXPECT_EQ(info.resolution_given, 0u);
        const std::vector<uint8_t> text = ReadHostFile(ReaderCasePath("gif", name, ".text"));
        EXPECT_EQ(AsciiOf(info.description), std::string(text.begin(), text.end())) << name;

        Ref<RasterImage> image = RenderWholePage(file.page.get(), file.source.get(), &status);
        ASSERT_TRUE(image) << name;
        const uint16_t bits = GifPaletteDepth(uint16_t(file.data.Get("bits")));
        EXPECT_EQ(image->bits_per_pixel, bits) << name;
        EXPECT_EQ(ComparePicture(image.get(), file.expect), "") << name;
        EXPECT_EQ(status.severity, 0) << name;
    }
}

TEST(GifReader, FormatNamesItsVersion) {
    for (const char* name : {"pil_87a", "im_16_colours"}) {
        const DataCase data = LoadReaderCase("gif", name);
        Ref<DataSource> source = MemorySource(data.data);
        Ref<ImageFormat> format = GifParse(nullptr, source.get(), nullptr, 0, 0);
        ASSERT_TRUE(format);
        EXPECT_EQ(format->FormatCode(), 2u);
        EXPECT_EQ(format->FormatOrdinal(), 2u);
        EXPECT_EQ(format->PageCount(), 1u);
        EXPECT_FALSE(format->GetPage(1));
        FormatInfo info;
        ASSERT_TRUE(format->GetInfo(&info));
        EXPECT_TRUE(WStrEqualsChars(info.format_name, data.Get("version") == 87
                                                          ? L"Graphics Interchange Format (GIF87a)"
                                                          : L"Graphics Interchange Format (GIF89a)"));
    }
}

TEST(GifReader, PartsAndTurnsEqualThePicture) {
    std::mt19937 random(3);
    for (const char* name : {"im_16_colours", "im_256_interlaced", "im_2_colours", "im_4_interlaced"}) {
        ReaderFile file = OpenCase(name, nullptr);
        ASSERT_TRUE(file.page) << name;
        ExpectPartsAndTurnsShowThePicture(file.page.get(), file.source.get(), file.expect, random, 6,
                                          {{90, true}}, name);
    }
}

// Extensions of any label are sub-blocks to skip; comments are joined over
// sub-blocks and extensions, up to any NUL in each.
TEST(GifReader, WalksExtensionsToTheImage) {
    const std::vector<uint8_t> blocks = {
        0x21, 0xF9, 4, 0, 0, 0, 0, 0,                // graphic control
        0x21, 0xFE, 3, 'a', 'b', 'c', 2, 'd', 0, 0,  // comment, a NUL in its second sub-block
        0x21, 0x01, 12, 0, 0, 0, 0, 4, 0, 2, 0, 1, 1, 0, 1, 2, 'x', 'y', 0,  // plain
                                                                             // text
        0x21, 0xFF, 11, 'N', 'E', 'T', 'S', 'C', 'A', 'P', 'E', '2', '.', '0', 3, 1, 0, 0, 0, 0x21, 0x42, 0,
        0x21, 0xFE, 2, 'e', 'f', 0,  // an unknown label, a second comment
    };
    const std::vector<uint8_t> gif = SmallGif(blocks);
    ImageStatus status;
    Ref<DataSource> source = MemorySource(gif);
    Ref<ImagePage> page = ParseFirstPage(GifParse, source.get(), gif, &status);
    ASSERT_TRUE(page);
    EXPECT_EQ(status.severity, 0);
    PageInfo info;
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(AsciiOf(info.description), "abcdef");
    EXPECT_EQ(info.bits_per_pixel, 2u);
    Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
    ASSERT_TRUE(image);
    const uint32_t row[] = {0x000000, 0xFFFFFF, 0xFF0000, 0x0000FF};
    for (uint32_t y = 0; y < 2; ++y) {
        for (uint32_t x = 0; x < 4; ++x) EXPECT_EQ(PictureRgb(image.get(), x, y), row[x]) << x << "," << y;
    }
}

TEST(GifReader, BrokenFilesGiveTheirStatus) {
    const std::vector<uint8_t> good = SmallGif({});
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t code;
    };
    std::vector<uint8_t> trailer_first = SmallGif({0x3B});
    std::vector<uint8_t> stray_byte = SmallGif({0x00});
    std::vector<uint8_t> cut_extension = SmallGif({});
    cut_extension.resize(25);
    cut_extension.insert(cut_extension.end(), {0x21, 0xFE, 30, 'a', 'b'});
    std::vector<uint8_t> cut_table = good;
    cut_table.resize(20);
    std::vector<uint8_t> cut_descriptor = good;
    cut_descriptor.resize(30);
    for (const Case& c :
         {Case{"trailer first", trailer_first, kStatusBadData},
          Case{"stray byte", stray_byte, kStatusBadData},
          Case{"cut extension", cut_extension, kStatusBadData}, Case{"cut table", cut_table, kStatusBadData},
          Case{"cut descriptor", cut_descriptor, kStatusBadData},
          Case{"16 bytes", std::vector<uint8_t>(good.begin(), good.begin() + 16), kStatusBadData}}) {
        ImageStatus status;
        Ref<DataSource> source = MemorySource(c.bytes);
        EXPECT_FALSE(GifParse(&status, source.get(), nullptr, 0, 0)) << c.what;
        EXPECT_EQ(status.severity, 2) << c.what;
        EXPECT_EQ(status.code, c.code) << c.what;
    }
    ImageStatus none;
    EXPECT_FALSE(GifParse(&none, nullptr, nullptr, 0, 0));
    EXPECT_EQ(none.code, kStatusNothingToRender);
    std::vector<uint8_t> other = good;
    other[4] = '8';  // "GIF88a" is no GIF: no status of the reader's own
    ImageStatus not_gif;
    EXPECT_FALSE(GifParse(&not_gif, MemorySource(other).get(), nullptr, 0, 0));
    EXPECT_EQ(not_gif.severity, 0);

    // The data end before their empty sub-block: the page parses, its
    // render fails without a status; a request outside the page sets 2000.
    std::vector<uint8_t> cut_data = good;
    cut_data.resize(cut_data.size() - 2);
    ImageStatus status;
    Ref<DataSource> source = MemorySource(cut_data);
    Ref<ImagePage> page = ParseFirstPage(GifParse, source.get(), cut_data, &status);
    ASSERT_TRUE(page);
    EXPECT_FALSE(RenderWholePage(page.get(), source.get(), &status));
    EXPECT_EQ(status.severity, 0);
    PagePlacement empty = ReaderPlacement(page.get(), 0, 0, 4, 2);
    empty.rect.size.width = -10;
    EXPECT_FALSE(page->Render(&status, source.get(), &empty, nullptr));
    EXPECT_EQ(status.code, kStatusNothingToRender);
}

TEST(GifReader, DamagedFilesNeverCrash) {
    std::mt19937 random(17);
    int rendered = 0;
    for (const char* name : {"im_16_colours", "im_256_interlaced", "pil_two_comments", "local_table"}) {
        const DataCase data = LoadReaderCase("gif", name);
        for (int round = 0; round < 40; ++round) {
            const std::vector<uint8_t> bytes = Damage(data.data, random, round);
            ImageStatus status;
            Ref<DataSource> source = MemorySource(bytes);
            Ref<ImagePage> page = ParseFirstPage(GifParse, source.get(), bytes, &status);
            if (!page) {
                EXPECT_TRUE(status.severity == 0 || status.code == kStatusBadData) << name << " " << round;
                continue;
            }
            rendered += RenderWholePage(page.get(), source.get(), &status) ? 1 : 0;
            EXPECT_EQ(status.severity, 0) << name << " " << round;
        }
    }
    EXPECT_GT(rendered, 20);
}
