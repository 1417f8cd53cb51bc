// The TIFF reader on files put together here byte by byte, for what outside
// tools never write: every field type in both byte orders, pages with
// reduced-resolution images of chosen sizes, failing images and cancelled
// renders. (tests/oracle/tiff_render_test.py renders the files that libtiff,
// ImageMagick and Pillow write.)
#include "imaging/formats/tiff/tiff_reader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/tiff/tiff_render.h"
#include "tests/imaging/codecs/jpeg_test_data.h"
#include "tests/imaging/formats/tiff/tiff_test_files.h"
#include "tests/imaging/raster/raster_test_files.h"
#include "tests/support/memory_source.h"

namespace {

Ref<TiffFormat> Parse(DataSource* source, ImageStatus* status, uint32_t options = 0) {
    Ref<ImageFormat> format = TiffParse(status, source, nullptr, 0, options);
    return AdoptRef(static_cast<TiffFormat*>(format.Leak()));
}

// The whole page at `width` x `height` pixels, upright.
PagePlacement WholePage(const ImagePage* page, uint32_t width, uint32_t height) {
    PagePlacement placement;
    PagePlacementInit(placement);
    RectDSet(placement.rect, 0, 0, page->WidthMm(), page->HeightMm());
    placement.pixel_width = width;
    placement.pixel_height = height;
    placement.flip_y = 1;
    return placement;
}

uint8_t FirstPixel(const RasterImage* image) {
    uint32_t colour = 0;
    EXPECT_TRUE(image->GetPixelRgb(0, 0, &colour));
    return uint8_t(colour);
}

class CancelledProgress : public ProgressSink {
  public:
    bool IsCancelled() override { return true; }
};

TEST(TiffEntry, EveryFieldTypeInBothByteOrders) {
    for (bool big : {false, true}) {
        TiffBuilder file(big);
        file.GreyImage(4, 4, 100, 0);
        file.Add(400, 1, {200, 7});
        file.Add(401, 6, {0xFE});
        file.Add(402, 8, {0xFFFE, 3, 4});
        file.Add(403, 9, {0xFFFFFFFB});
        file.Add(404, 5, {7, 2, 9, 0});
        file.Add(405, 10, {0xFFFFFFF9, 2});
        uint32_t one_and_a_half = 0;
        const float f = 1.5f;
        memcpy(&one_and_a_half, &f, 4);
        file.Add(406, 11, {one_and_a_half});
        uint64_t minus = 0;
        const double d = -2.25;
        memcpy(&minus, &d, 8);
        file.Add(407, 12, {minus});
        file.AddRaw(408, 2, 6, {'T', 'e', 'x', 't', '!', '?'});
        file.AddRaw(409, 7, 2, {1, 2});
        file.AddRaw(410, 2, 3, {'a', 'b', 'c', 'd'});
        file.Add(305, 2, {'o', 'l', 'd', 0});
        file.Add(305, 2, {'n', 'e', 'w', 0});  // a later entry of a tag replaces the earlier
        file.EndDirectory();
        Ref<DataSource> source = MemorySource(file.bytes);
        ImageStatus status;
        Ref<TiffFormat> format = Parse(source.get(), &status);
        ASSERT_TRUE(format) << big;
        const TiffDir* dir = TiffPageImage(TiffFormatPage(format.get(), 0), 0);
        auto uint_of = [&](uint16_t tag, uint32_t index) {
            uint32_t v = 12345;
            return TiffDirEntryGetUInt(TiffDirFindEntry(dir, tag).get(), index, &v) ? v : 12345u;
        };
        auto double_of = [&](uint16_t tag, uint32_t index) {
            double v = 12345;
            return TiffDirEntryGetDouble(TiffDirFindEntry(dir, tag).get(), index, &v) ? v : 12345.0;
        };
        EXPECT_EQ(uint_of(400, 1), 7u);
        EXPECT_EQ(uint_of(400, 2), 12345u) << "past the count";
        EXPECT_EQ(uint_of(401, 0), uint32_t(-2));
        EXPECT_EQ(double_of(401, 0), -2.0);
        EXPECT_EQ(uint_of(402, 0), uint32_t(-2));
        EXPECT_EQ(uint_of(402, 2), 4u);
        EXPECT_EQ(double_of(403, 0), -5.0);
        EXPECT_EQ(uint_of(404, 0), 3u);
        EXPECT_EQ(double_of(404, 0), 3.5);
        EXPECT_EQ(uint_of(404, 1), 0u) << "denominator 0";
        EXPECT_EQ(double_of(404, 1), 0.0);
        EXPECT_EQ(uint_of(405, 0), uint32_t(-3));
        EXPECT_EQ(double_of(405, 0), -3.5);
        EXPECT_EQ(uint_of(406, 0), 12345u) << "FLOAT has no integer form";
        EXPECT_EQ(double_of(406, 0), 1.5);
        EXPECT_EQ(double_of(407, 0), -2.25);
        EXPECT_EQ(uint_of(409, 0), 12345u) << "UNDEFINED is read only as data";
        EXPECT_EQ(double_of(409, 0), 12345.0);
        WString text;
        EXPECT_TRUE(TiffDirEntryGetString(TiffDirFindEntry(dir, 408).get(), &text));
        EXPECT_STREQ(WStrBuffer(text), L"Text!") << "the last byte is always NUL";
        EXPECT_TRUE(TiffDirEntryGetString(TiffDirFindEntry(dir, 410).get(), &text));
        EXPECT_STREQ(WStrBuffer(text), L"ab");
        EXPECT_FALSE(TiffDirEntryGetString(TiffDirFindEntry(dir, 400).get(), &text));
        const uint8_t* data = nullptr;
        uint32_t length = 0;
        EXPECT_TRUE(TiffDirEntryGetData(TiffDirFindEntry(dir, 402).get(), &data, &length));
        EXPECT_EQ(length, 6u);
        EXPECT_EQ(data[4], 4) << "host order";
        EXPECT_EQ(dir->x_resolution, 100.0);
        FormatInfo info;
        ASSERT_TRUE(format->GetInfo(&info));
        EXPECT_STREQ(WStrBuffer(info.software), L"new");
    }
}

// A page with a full image of 8000 pixels across and a reduced one of 2000
// (both 4 inches wide), plus reduced ones 3 % and 6 % wider than the page.
std::vector<uint8_t> PageWithReductions() {
    TiffBuilder file(false);
    file.GreyImage(8000, 4, 2000, 10);
    file.EndDirectory();
    file.GreyImage(2000, 1, 500, 20, kSubfileReduced);
    file.EndDirectory();
    file.GreyImage(2060, 1, 500, 30, kSubfileReduced);
    file.EndDirectory();
    file.GreyImage(2120, 1, 500, 40, kSubfileReduced);
    file.EndDirectory();
    return file.bytes;
}

TEST(TiffPageImages, ReducedImagesAreOrderedAndChosenBySize) {
    Ref<DataSource> source = MemorySource(PageWithReductions());
    Ref<TiffFormat> format = Parse(source.get(), nullptr);
    ASSERT_TRUE(format);
    ASSERT_EQ(format->PageCount(), 1u);
    TiffPage* page = TiffFormatPage(format.get(), 0);
    ASSERT_EQ(page->images.count, 4u);
    const uint32_t widths[] = {8000, 2000, 2060, 2120};  // equal resolutions keep file order
    for (uint32_t i = 0; i < 4; ++i) EXPECT_EQ(TiffPageImage(page, i)->image_width, widths[i]);
    EXPECT_EQ(TiffPageImage(page, 2)->render_state, uint32_t(kTiffUntried)) << "3 % wider is the same page";
    EXPECT_EQ(TiffPageImage(page, 3)->render_state, uint32_t(kTiffExcluded)) << "6 % wider is not";
    PageInfo info;
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(info.image_count, 4u);
    EXPECT_EQ(info.flagged_image_count, 1u);

    PagePlacement request = WholePage(page, 1000, 1);  // needs 1500 pixels across
    EXPECT_EQ(TiffPageChooseImage(page, request), 2u);
    Ref<RasterImage> image = PageRender(page, nullptr, source.get(), &request, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(FirstPixel(image.get()), 30) << "rendered from the 2060-pixel image";
    request.pixel_width = 1500;  // needs 2250
    EXPECT_EQ(TiffPageChooseImage(page, request), 0u);
    request.pixel_width = 1000;
    request.flags = kPlacementFullSizeImage;
    EXPECT_EQ(TiffPageChooseImage(page, request), 0u);
    request.flags = 0;
    request.rotation = 90;  // the target's height then counts
    request.pixel_height = 1500;
    EXPECT_EQ(TiffPageChooseImage(page, request), 0u);
    request.rotation = 0;
    request.rect.size.width = 0;  // says nothing about the need; no division by zero
    EXPECT_EQ(TiffPageChooseImage(page, request), 0u);
}

TEST(TiffPageImages, SkippedReducedImagesAreCounted) {
    Ref<DataSource> source = MemorySource(PageWithReductions());
    Ref<TiffFormat> format = Parse(source.get(), nullptr, kTiffSkipReducedImages);
    ASSERT_TRUE(format);
    TiffPage* page = TiffFormatPage(format.get(), 0);
    EXPECT_EQ(page->images.count, 1u);
    EXPECT_EQ(page->skipped_count, 3u);
    PageInfo info;
    ASSERT_TRUE(page->GetInfo(&info));
    EXPECT_EQ(info.image_count, 4u);
    EXPECT_EQ(info.flagged_image_count, 0u);
}

TEST(TiffRender, FailedReducedImageFallsBackToTheFullOne) {
    TiffBuilder file(false);
    file.GreyImage(64, 32, 100, 50);
    file.EndDirectory();
    file.GreyImage(16, 8, 25, 60, kSubfileReduced, true);
    file.EndDirectory();
    Ref<DataSource> source = MemorySource(file.bytes);
    ImageStatus status;
    Ref<TiffFormat> format = Parse(source.get(), &status);
    ASSERT_TRUE(format);
    TiffPage* page = TiffFormatPage(format.get(), 0);
    const PagePlacement request = WholePage(page, 8, 4);
    ASSERT_EQ(TiffPageChooseImage(page, request), 1u);
    Ref<RasterImage> image = PageRender(page, &status, source.get(), &request, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(FirstPixel(image.get()), 50);
    EXPECT_EQ(status.severity, 0) << "a render that gave an image reports nothing";
    EXPECT_EQ(TiffPageImage(page, 1)->render_state, uint32_t(kTiffExcluded));
    EXPECT_EQ(TiffPageImage(page, 0)->render_state, uint32_t(kTiffRenderedWhole));
    EXPECT_EQ(TiffPageChooseImage(page, request), 0u) << "the failed image is not chosen again";
}

TEST(TiffRender, RenderStatesFollowWhatWasRendered) {
    TiffBuilder file(false);
    file.GreyImage(64, 32, 100, 50);
    file.EndDirectory();
    Ref<DataSource> source = MemorySource(file.bytes);
    Ref<TiffFormat> format = Parse(source.get(), nullptr);
    ASSERT_TRUE(format);
    TiffPage* page = TiffFormatPage(format.get(), 0);
    TiffDir* dir = TiffPageImage(page, 0);

    // Cancelling says nothing about the image.
    CancelledProgress cancelled;
    PagePlacement request = WholePage(page, 64, 32);
    ImageStatus status;
    EXPECT_FALSE(PageRender(page, &status, source.get(), &request, &cancelled));
    EXPECT_EQ(dir->render_state, uint32_t(kTiffUntried));
    EXPECT_EQ(status.severity, 0);

    // A part renders without covering the image.
    request.rect.size.width /= 2;
    request.pixel_width = 32;
    EXPECT_TRUE(PageRender(page, nullptr, source.get(), &request, nullptr));
    EXPECT_EQ(dir->render_state, uint32_t(kTiffUntried));
    request = WholePage(page, 64, 32);
    EXPECT_TRUE(PageRender(page, nullptr, source.get(), &request, nullptr));
    EXPECT_EQ(dir->render_state, uint32_t(kTiffRenderedWhole));

    // Without a source nothing renders, and the image is not blamed.
    EXPECT_FALSE(PageRender(page, &status, nullptr, &request, nullptr));
    EXPECT_EQ(status.code, kStatusNothingToRender);
    EXPECT_EQ(dir->render_state, uint32_t(kTiffRenderedWhole));
}

TEST(TiffRender, UndecodableImageFailsWithUnsupported) {
    TiffBuilder file(false);
    file.GreyImage(8, 8, 100, 0);
    file.Add(258, 3, {16});
    file.EndDirectory();
    Ref<DataSource> source = MemorySource(file.bytes);
    Ref<TiffFormat> format = Parse(source.get(), nullptr);
    ASSERT_TRUE(format);
    TiffPage* page = TiffFormatPage(format.get(), 0);
    const PagePlacement request = WholePage(page, 8, 8);
    ImageStatus status;
    EXPECT_FALSE(PageRender(page, &status, source.get(), &request, nullptr));
    EXPECT_EQ(status.severity, kSeverityError);
    EXPECT_EQ(status.code, kStatusUnsupported);
}

TEST(TiffDecoderChoice, ColourMapsOnlyForStripData) {
    Ref<TiffDir> held = MakeRef<TiffDir>();
    TiffDir& dir = *held;
    dir.image_width = dir.tile_width = 8;
    dir.image_length = dir.tile_length = 8;
    dir.compression = 4;
    dir.photometric = 0;
    Ref<TiffDirEntry> map = MakeRef<TiffDirEntry>();
    map->tag = kTagColorMap;
    map->field_type = kTiffShort;
    map->count = 6;
    const uint16_t values[6] = {0x1234, 0xFFFF, 0x5600, 0x0000, 0xAB00, 0x00FF};
    ASSERT_TRUE(MemSet(map->block, values, sizeof values, 0));
    map->data = map->block.data();
    ASSERT_TRUE(TiffDirInsertEntry(&dir, map.get()));
    dir.colour_map_present = 1;

    Ref<Palette> palette;
    EXPECT_TRUE(TiffDirCreateDecoder(&dir, &palette)) << "Group 4";
    EXPECT_FALSE(palette) << "CCITT data get no palette";
    dir.compression = 1;
    dir.photometric = 3;
    EXPECT_TRUE(TiffDirCreateDecoder(&dir, &palette));
    ASSERT_TRUE(palette);
    ASSERT_EQ(palette->count, 2u);
    EXPECT_EQ(PaletteGetEntry(palette.get(), 0), 0x1256ABu) << "high bytes, red, green, blue tables in turn";
    EXPECT_EQ(PaletteGetEntry(palette.get(), 1), 0xFF0000u);
    dir.bits_per_sample = 4;  // 48 values needed
    EXPECT_TRUE(TiffDirCreateDecoder(&dir, &palette));
    EXPECT_FALSE(palette);
    dir.bits_per_sample = 16;
    EXPECT_FALSE(TiffDirCreateDecoder(&dir, &palette));
}

// What djpeg -scale 1/scale makes of every strip or tile of a JPEG TIFF
// (the JPEGTables stream continued by the block's own data), put together.
Pnm DjpegScaledBlocks(const DataCase& t, const std::vector<uint8_t>& tables, uint32_t scale,
                      const std::string& stem) {
    const uint32_t tile_width = uint32_t(t.Get("tile_width")), tile_length = uint32_t(t.Get("tile_length"));
    const uint32_t across = (uint32_t(t.Get("width")) + tile_width - 1) / tile_width;
    Pnm whole;
    whole.width = (uint32_t(t.Get("width")) + scale - 1) / scale;
    whole.height = (uint32_t(t.Get("height")) + scale - 1) / scale;
    whole.channels = uint32_t(t.Get("samples"));
    whole.bytes.assign(size_t(whole.width) * whole.height * whole.channels, 0);
    for (size_t i = 0; i < t.strips.size(); ++i) {
        std::vector<uint8_t> stream(tables.begin(), tables.end() - 2);
        stream.insert(stream.end(), t.data.begin() + t.strips[i].first + 2,
                      t.data.begin() + t.strips[i].first + t.strips[i].second);
        EXPECT_TRUE(WriteHostFile(stem + ".jpg", stream));
        RunHostCommand("djpeg -scale 1/" + std::to_string(scale) + " -pnm -outfile '" + stem + ".pnm' '" +
                       stem + ".jpg' 2>/dev/null");
        Pnm block;
        if (!ReadPnm(stem + ".pnm", block) || block.channels != whole.channels) {
            ADD_FAILURE() << stem << " block " << i;
            return Pnm();
        }
        const uint32_t x = uint32_t(i % across) * tile_width / scale,
                       y = uint32_t(i / across) * tile_length / scale;
        for (uint32_t r = 0; r < block.height && y + r < whole.height; ++r) {
            const uint32_t n = std::min(block.width, whole.width - x);
            memcpy(&whole.bytes[(size_t(y + r) * whole.width + x) * whole.channels],
                   &block.bytes[size_t(r) * block.width * block.channels], size_t(n) * whole.channels);
        }
    }
    return whole;
}

// A reduced render of JPEG strips or tiles takes them reduced inside
// libjpeg's inverse DCT, each block placed at its reduced position: at the
// reduced size itself the picture is djpeg -scale's of every block, and the
// same render turned a quarter is that picture turned.
TEST(TiffRender, ReducedJpegStripsAndTilesGetDjpegsScaledRows) {
    const std::string scratch = MakeScratchDir("tiff-jpeg-scaled-" + std::to_string(GetCurrentProcessId()));
    // Strips of 8 to whole-image rows, tiles of 16 to 64 pixels, grey,
    // YCbCr and RGB; each block costs a djpeg run per scale.
    for (const std::string name : {"strips_r16", "one_strip", "rgb_strips_r8", "grey_strips_r24",
                                   "tiles_64x48", "tiles_16x16", "rgb_tiles_48x32"}) {
        const DataCase t = LoadDataCase(JpegDataDir("tiff"), name);
        const std::vector<uint8_t> tables = JpegCaseFile("tiff", name + ".tables");
        ASSERT_GE(tables.size(), 2u) << name;
        Ref<DataSource> source = MemorySource(t.data);
        Ref<TiffFormat> format = Parse(source.get(), nullptr);
        ASSERT_TRUE(format) << name;
        Ref<ImagePage> page = format->GetPage(0);
        ASSERT_TRUE(page) << name;
        for (uint32_t scale : {2u, 8u}) {
            const std::string what = name + " 1/" + std::to_string(scale);
            const Pnm expect = DjpegScaledBlocks(t, tables, scale, scratch + "/" + name);
            ASSERT_NE(expect.width, 0u) << what;
            PagePlacement placement = WholePage(page.get(), expect.width, expect.height);
            Ref<RasterImage> upright = page->Render(nullptr, source.get(), &placement, nullptr);
            ASSERT_TRUE(upright) << what;
            EXPECT_EQ(ComparePicture(upright.get(), expect), "") << what;

            placement.pixel_width = expect.height;
            placement.pixel_height = expect.width;
            placement.rotation = 90;
            Ref<RasterImage> turned = page->Render(nullptr, source.get(), &placement, nullptr);
            ASSERT_TRUE(turned) << what;
            ASSERT_EQ(turned->width, expect.height) << what;
            ASSERT_EQ(turned->height, expect.width) << what;
            uint32_t wrong = 0;
            for (uint32_t y = 0; y < expect.height; ++y) {
                for (uint32_t x = 0; x < expect.width; ++x)
                    wrong += PictureRgb(turned.get(), expect.height - 1 - y, x) != expect.Rgb(x, y);
            }
            EXPECT_EQ(wrong, 0u) << what;
        }
    }
}

}  // namespace
