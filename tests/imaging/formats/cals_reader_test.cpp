#include "imaging/formats/cals_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

#include "tests/imaging/formats/reader_test_support.h"

namespace {

// A header of blank records holding the given texts, one per record.
std::vector<uint8_t> Header(const std::vector<std::string>& records) {
    std::vector<uint8_t> header(kCalsDataOffset, ' ');
    for (size_t i = 0; i < records.size(); ++i)
        memcpy(&header[i * kCalsRecordBytes], records[i].data(), records[i].size());
    return header;
}

std::string Field(const std::vector<uint8_t>& header, const char* key, bool* found = nullptr) {
    AString value;
    const bool present = CalsGetField(header.data(), key, value);
    if (found) *found = present;
    return AStrCStr(value);
}

}  // namespace

TEST(CalsReader, RendersAsImageMagickDecodes) {
    for (const std::string& name : ReaderCaseNames("cals")) {
        const DataCase data = LoadReaderCase("cals", name);
        ImageStatus status;
        Ref<DataSource> source = MemorySource(data.data);
        Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), data.data, &status);
        if (data.Get("status") != 0) {
            EXPECT_FALSE(page) << name;
            EXPECT_EQ(status.severity, 2) << name;
            EXPECT_EQ(status.code, data.Get("status")) << name;
            continue;
        }
        ASSERT_TRUE(page) << name;
        EXPECT_EQ(page->PixelWidth(), uint32_t(data.Get("width"))) << name;
        EXPECT_EQ(page->PixelHeight(), uint32_t(data.Get("height"))) << name;
        EXPECT_EQ(page->DpiX(), double(data.Get("dpi"))) << name;
        EXPECT_EQ(page->DpiY(), double(data.Get("dpi"))) << name;
        EXPECT_DOUBLE_EQ(page->WidthMm(), data.Get("width") * 25.4 / data.Get("dpi")) << name;
        EXPECT_FALSE(page->IsBilevel());
        PageInfo info;
        ASSERT_TRUE(page->GetInfo(&info));
        EXPECT_EQ(info.bits_per_pixel, 1u);
        EXPECT_EQ(info.grey, 1u);
        EXPECT_EQ(info.colour_palette, 0u);
        EXPECT_EQ(info.resolution_given, 1u);
        EXPECT_EQ(info.compression, uint32_t(kCompressionT6));
        const std::vector<uint8_t> notes = ReadHostFile(ReaderCasePath("cals", name, ".text"));
        EXPECT_EQ(AsciiOf(info.description), std::string(notes.begin(), notes.end())) << name;

        Pnm expect;
        ASSERT_TRUE(ReadPnm(ReaderCasePath("cals", name, ".expect"), expect));
        Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
        ASSERT_TRUE(image) << name;
        EXPECT_EQ(image->bits_per_pixel, 1u);
        EXPECT_EQ(ComparePicture(image.get(), expect), "") << name;
        EXPECT_EQ(status.severity, 0) << name;
    }
}

TEST(CalsReader, FormatDescribesItself) {
    const DataCase data = LoadReaderCase("cals", "im_200");
    Ref<DataSource> source = MemorySource(data.data);
    Ref<ImageFormat> format = CalsParse(nullptr, source.get(), nullptr, 0, 0);
    ASSERT_TRUE(format);
    EXPECT_EQ(format->FormatCode(), 4u);
    EXPECT_EQ(format->FormatOrdinal(), 4u);
    EXPECT_EQ(format->PageCount(), 1u);
    EXPECT_FALSE(format->GetPage(1));
    FormatInfo info;
    ASSERT_TRUE(format->GetInfo(&info));
    EXPECT_TRUE(WStrEqualsChars(info.format_name, L"CALS Type 1"));
    EXPECT_EQ(ImageSniffFormat(data.data.data(), 256), int32_t(kFormatCodeCals));
}

// Inverting gives the exact negative; parts, turns and mirrors show the
// picture as ImageMagick decodes it.
TEST(CalsReader, InvertedPartsAndTurnsEqualThePicture) {
    const DataCase data = LoadReaderCase("cals", "im_200");
    Ref<DataSource> source = MemorySource(data.data);
    Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), data.data, nullptr);
    ASSERT_TRUE(page);
    Pnm expect;
    ASSERT_TRUE(ReadPnm(ReaderCasePath("cals", "im_200", ".expect"), expect));
    PagePlacement inverted = ReaderPlacement(page.get(), 0, 0, expect.width, expect.height);
    inverted.invert = 1;
    Ref<RasterImage> image = page->Render(nullptr, source.get(), &inverted, nullptr);
    ASSERT_TRUE(image);
    Pnm negative = expect;
    for (uint8_t& byte : negative.bytes) byte = uint8_t(255 - byte);
    EXPECT_EQ(ComparePicture(image.get(), negative), "");

    std::mt19937 random(12);
    ExpectPartsAndTurnsShowThePicture(page.get(), source.get(), expect, random, 6, {{270, true}}, "im_200");
}

TEST(CalsReader, FieldsAreFoundByKey) {
    const std::vector<uint8_t> header = Header({
        "srcdocid: NONE",
        "RPELCNT: 000203,000151",
        "rtype:1",  // no blank after the colon: not a field
        "rtype: \t 1 \t",
        std::string("notes: two\0hidden", 17),
        "rtype: 2",  // a later record of the same key does not count
        std::string("dtype: ") + std::string(121, 'x'),
    });
    bool found = false;
    EXPECT_EQ(Field(header, "rpelcnt"), "000203,000151");
    EXPECT_EQ(Field(header, "rtype"), "1");
    EXPECT_EQ(Field(header, "srcdocid", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(Field(header, "notes"), "two");
    EXPECT_EQ(Field(header, "dtype").size(), 121u);  // the rest of its record, no more
    EXPECT_EQ(Field(header, "rorient", &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(Field(header, "rpelcn"), "");
    EXPECT_EQ(Field(header, ""), "");
    EXPECT_EQ(Field(header, std::string(50, 'r').c_str()), "");
}

TEST(CalsReader, HeaderValuesAreChecked) {
    struct Case {
        const char* what;
        std::vector<std::string> records;
        int32_t code;
        uint32_t width, height, density;
    };
    const std::string size = "rpelcnt: 0100,0010";
    for (const Case& c : {
             Case{"octal-looking", {"rpelcnt: 000010,000008", "rdensty: 0400"}, 0, 10, 8, 400},
             Case{"blanks around numbers", {"rpelcnt: 12 , 7", "rdensity: 150"}, 0, 12, 7, 150},
             Case{"rdensty wins", {size, "rdensity: 150", "rdensty: 200"}, 0, 100, 10, 200},
             Case{"density 0", {size, "rdensty: 0"}, 0, 100, 10, 300},
             Case{"density text", {size, "rdensty: 200dpi"}, 0, 100, 10, 300},
             Case{"dtype 1", {size, "dtype: 1", "rtype: 1"}, 0, 100, 10, 300},
             Case{"rtype 01", {size, "rtype: 01"}, kStatusBadData, 0, 0, 0},
             Case{"no comma", {"rpelcnt: 100 10"}, kStatusUnsupported, 0, 0, 0},
             Case{"height 0", {"rpelcnt: 100,0"}, kStatusUnsupported, 0, 0, 0},
             Case{"negative", {"rpelcnt: -100,10"}, kStatusUnsupported, 0, 0, 0},
             Case{"too wide", {"rpelcnt: 1000001,10"}, kStatusUnsupported, 0, 0, 0},
             Case{"huge", {"rpelcnt: 99999999999999999999,10"}, kStatusUnsupported, 0, 0, 0},
             Case{"missing", {"rdensty: 200"}, kStatusUnsupported, 0, 0, 0},
         }) {
        ImageStatus status;
        const std::vector<uint8_t> file = Header(c.records);
        Ref<DataSource> source = MemorySource(file);
        Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), file, &status);
        EXPECT_EQ(status.code, c.code) << c.what;
        if (c.code != 0) {
            EXPECT_FALSE(page) << c.what;
            continue;
        }
        ASSERT_TRUE(page) << c.what;
        EXPECT_EQ(page->PixelWidth(), c.width) << c.what;
        EXPECT_EQ(page->PixelHeight(), c.height) << c.what;
        EXPECT_EQ(page->DpiX(), double(c.density)) << c.what;
    }
}

TEST(CalsReader, BrokenFilesGiveTheirStatus) {
    ImageStatus none;
    EXPECT_FALSE(CalsParse(&none, nullptr, nullptr, 0, 0));
    EXPECT_EQ(none.code, kStatusNothingToRender);
    const std::vector<uint8_t> good = LoadReaderCase("cals", "im_200").data;
    ImageStatus short_header;
    const std::vector<uint8_t> head(good.begin(), good.begin() + 1407);
    EXPECT_FALSE(CalsParse(&short_header, MemorySource(head).get(), head.data(), 512, 0));
    EXPECT_EQ(short_header.code, kStatusShortRead);

    // Only the header, or image data cut short: pages that fail to render.
    for (size_t length : {size_t(kCalsDataOffset), size_t(kCalsDataOffset) + 10}) {
        const std::vector<uint8_t> cut(good.begin(), good.begin() + length);
        ImageStatus status;
        Ref<DataSource> source = MemorySource(cut);
        Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), cut, &status);
        ASSERT_TRUE(page) << length;
        EXPECT_FALSE(RenderWholePage(page.get(), source.get(), &status)) << length;
        EXPECT_EQ(status.code, kStatusBadData) << length;
    }
    Ref<DataSource> source = MemorySource(good);
    Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), good, nullptr);
    ASSERT_TRUE(page);
    ImageStatus outside;
    PagePlacement empty = ReaderPlacement(page.get(), 0, 0, 4, 2);
    empty.rect.size.width = -10;
    EXPECT_FALSE(page->Render(&outside, source.get(), &empty, nullptr));
    EXPECT_EQ(outside.code, kStatusBadData);
}

TEST(CalsReader, DamagedFilesNeverCrash) {
    std::mt19937 random(31);
    const std::vector<uint8_t> good = LoadReaderCase("cals", "im_200").data;
    int rendered = 0;
    for (int round = 0; round < 60; ++round) {
        std::vector<uint8_t> bytes = good;
        // Damage the image data, and now and then the pixel count.
        const size_t at = kCalsDataOffset + random() % (bytes.size() - kCalsDataOffset);
        for (int k = 0; k <= round / 6; ++k) bytes[at + random() % (bytes.size() - at)] = uint8_t(random());
        if (round % 2) bytes.resize(at);
        if (round % 7 == 3) memcpy(&bytes[8 * kCalsRecordBytes + 9], "099999,000003", 13);
        ImageStatus status;
        Ref<DataSource> source = MemorySource(bytes);
        Ref<ImagePage> page = ParseFirstPage(CalsParse, source.get(), bytes, &status);
        ASSERT_TRUE(page) << round;
        Ref<RasterImage> image = RenderWholePage(page.get(), source.get(), &status);
        rendered += image ? 1 : 0;
        EXPECT_TRUE(image ? status.severity == 0 : status.code == kStatusBadData) << round;
    }
    EXPECT_GT(rendered, 0);
}
