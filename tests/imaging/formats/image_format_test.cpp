#include "imaging/formats/image_format.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "imaging/codecs/band_decoder.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/sinks/raster_sink.h"

namespace {

std::vector<uint8_t> Head(const char* text, size_t size) {
    std::vector<uint8_t> bytes(size, ' ');
    memcpy(bytes.data(), text, strlen(text));
    return bytes;
}

int32_t Sniff(const std::vector<uint8_t>& bytes) {
    return ImageSniffFormat(bytes.data(), uint32_t(bytes.size()));
}

PagePlacement Placement(double x, double y, double w, double h, uint32_t pw, uint32_t ph) {
    PagePlacement placement;
    PagePlacementInit(placement);
    placement.rect.origin = {x, y};
    placement.rect.size = {w, h};
    placement.pixel_width = pw;
    placement.pixel_height = ph;
    placement.flip_y = 1;
    return placement;
}

}  // namespace

TEST(FormatSniffing, RecognisesEachFormatByItsFirstBytes) {
    EXPECT_EQ(Sniff({0xFF, 0xD8, 0xFF, 0xE0, 0, 0}), kFormatCodeJpeg);
    EXPECT_EQ(Sniff({'I', 'I', 0x2A, 0, 8, 0}), kFormatCodeTiff);
    EXPECT_EQ(Sniff({'M', 'M', 0, 0x2A, 0, 8}), kFormatCodeTiff);
    EXPECT_EQ(Sniff({'I', 'I', 0, 0x2A, 0, 8}), -1);
    EXPECT_EQ(Sniff(Head("GIF87a", 6)), kFormatCodeGif);
    EXPECT_EQ(Sniff(Head("GIF89a", 6)), kFormatCodeGif);
    EXPECT_EQ(Sniff(Head("GIF88a", 6)), -1);
    EXPECT_EQ(Sniff(Head("BM", 6)), kFormatCodeBmp);
    EXPECT_EQ(Sniff(Head("BM", 5)), -1);
    EXPECT_EQ(ImageSniffFormat(nullptr, 100), -1);
}

TEST(FormatSniffing, CalsNeedsItsSecondRecordAndIgnoresCase) {
    auto cals = Head("srcdocid: NONE", 256);
    memcpy(cals.data() + 128, "dstdocid: NONE", 14);
    EXPECT_EQ(Sniff(cals), kFormatCodeCals);
    cals.resize(255);
    EXPECT_EQ(Sniff(cals), -1);
    auto capitals = Head("SPECVERSION: MIL-PRF-28002C", 256);
    memcpy(capitals.data() + 128, "SRCDOCID: NONE", 14);
    EXPECT_EQ(Sniff(capitals), kFormatCodeCals);
    memcpy(capitals.data() + 128, "dstdocid: NONE", 14);
    EXPECT_EQ(Sniff(capitals), -1);
}

TEST(RenderFitting, ThinRectanglesStillShowOnePixel) {
    RectI source;
    // 0.01 mm at 254 dpi is a tenth of a pixel.
    ASSERT_TRUE(RenderSourceRect(Placement(1, 1, 0.01, 0.01, 1, 1), 254, 254, 100, 100, &source));
    EXPECT_EQ(source.size.width, 1);
    EXPECT_EQ(source.size.height, 1);
    EXPECT_EQ(source.origin.x, 10);
}

TEST(RenderFitting, OverhangMovesAndOversizeShrinksInProportion) {
    RectI source;
    // 100 x 50 pixels at 25.4 dpi (1 pixel per mm), 10 pixels past the right edge.
    ASSERT_TRUE(RenderSourceRect(Placement(60, 0, 50, 20, 50, 20), 25.4, 25.4, 100, 50, &source));
    EXPECT_EQ(source, (RectI{{50, 20}, {50, 0}}));
    ASSERT_TRUE(RenderSourceRect(Placement(0, 0, 200, 40, 10, 10), 25.4, 25.4, 100, 50, &source));
    EXPECT_EQ(source, (RectI{{100, 20}, {0, 0}}));
    ASSERT_TRUE(RenderSourceRect(Placement(-5, -5, 10, 10, 10, 10), 25.4, 25.4, 100, 50, &source));
    EXPECT_EQ(source.origin, (PointI{0, 0}));
}

TEST(RenderFitting, DegenerateRequestsFailWithoutDividing) {
    RectI source;
    EXPECT_FALSE(RenderSourceRect(Placement(0, 0, -3, 10, 10, 10), 25.4, 25.4, 100, 50, &source));
    EXPECT_FALSE(RenderSourceRect(Placement(0, 0, 10, 10, 10, 10), 25.4, 25.4, 0, 50, &source));
    EXPECT_FALSE(RenderSourceRect(Placement(0, 0, 1e300, 1e300, 10, 10), 25.4, 25.4, 100, 50, &source) &&
                 source.size.width <= 0);
}

namespace {

// Delivers every row of an 8-bit grey picture whose pixel value is its
// column index, so a render shows which source columns it used.
class ColumnRampDecoder : public BandDecoder {
  public:
    bool Decode(ByteReader*, RasterSink* sink, uint32_t rows, const RectI* source, const PointI* origin,
                ProgressSink*) override {
        std::vector<uint8_t> row(width);
        for (uint32_t x = 0; x < width; ++x) row[x] = uint8_t(x);
        for (uint32_t y = 0; y < rows; ++y) {
            const int32_t sy = int32_t(y) + origin->y;
            if (sy < 0 || sy >= source->size.height) continue;
            if (!sink->PutRow(8, row.data() + source->origin.x, 0, uint32_t(sy), 0,
                              uint32_t(source->size.width))) {
                return false;
            }
        }
        return true;
    }
    uint32_t width = 0;
};

// A page of uniform grey: 255 = white; bilevel or not as told.
class UniformPage : public ImagePage {
  public:
    UniformPage(uint8_t grey, bool bilevel) : grey(grey), bilevel(bilevel) {}
    Ref<RasterImage> Render(ImageStatus*, DataSource*, const PagePlacement* placement,
                            ProgressSink*) override {
        ++renders;
        last_invert = placement->invert;
        Ref<RasterImage> image = RasterImageCreate(placement->pixel_width, placement->pixel_height, 8, true);
        image->Fill(placement->invert ? uint8_t(255 - grey) : grey);
        return image;
    }
    bool IsBilevel() const override { return bilevel; }
    uint32_t PixelWidth() const override { return 1000; }
    uint32_t PixelHeight() const override { return 1000; }
    double DpiX() const override { return 254; }
    double DpiY() const override { return 254; }
    bool GetInfo(PageInfo*) override { return true; }
    uint8_t grey;
    bool bilevel;
    int renders = 0;
    int last_invert = -1;
};

uint8_t FirstPixel(const Ref<RasterImage>& image) { return RasterImageRowAddress(image.get(), 0)[0]; }

}  // namespace

TEST(RenderDecoding, QuarterTurnGivesTheRequestedSizeAndKeepsColumns) {
    ColumnRampDecoder decoder;
    decoder.width = 40;
    ByteReader reader;
    ASSERT_TRUE(ByteReaderInitBytes(reader, reinterpret_cast<const uint8_t*>("x"), 1, true));
    PagePlacement placement = Placement(0, 0, 40, 20, 30, 20);
    placement.rotation = 90;
    RenderRun run;
    run.source = RectI{{20, 10}, {10, 5}};
    run.image_width = 40;
    run.image_height = 20;
    run.image_rows = 20;
    run.bits_per_pixel = 8;
    run.decoder = &decoder;
    run.reader = &reader;
    CriticalSection lock;
    Ref<RenderToken> token;
    run.token_lock = &lock;
    run.token = &token;
    Ref<RasterImage> image = RenderDecode(run, placement, nullptr);
    ASSERT_TRUE(image);
    EXPECT_EQ(image->width, 30u);
    EXPECT_EQ(image->height, 20u);
    // The source columns 10..29, turned a quarter, run down the picture.
    uint8_t seen_min = 255, seen_max = 0;
    for (uint32_t y = 0; y < image->height; ++y) {
        for (uint32_t x = 0; x < image->width; ++x) {
            uint8_t v;
            image->GetPixelValue(x, y, &v);
            seen_min = std::min(seen_min, v);
            seen_max = std::max(seen_max, v);
        }
    }
    EXPECT_EQ(seen_min, 10);
    EXPECT_EQ(seen_max, 29);
}

TEST(NegativeDetection, OnlyALargeRenderDecidesAndMidGreyIsDark) {
    Ref<UniformPage> page = AdoptRef(new UniformPage(128, true));  // 128/255 > 0.5: light
    PagePlacement quarter = Placement(0, 0, 50, 50, 10, 10);       // a quarter of 100 x 100 mm
    quarter.negative_mode = 1;
    ASSERT_TRUE(PageRender(page.get(), nullptr, nullptr, &quarter, nullptr));
    EXPECT_EQ(page->negative_decision, kNegativeUndecided);
    PagePlacement most = Placement(0, 0, 90, 80, 10, 10);  // 72 % of the page
    most.negative_mode = 1;
    ASSERT_TRUE(PageRender(page.get(), nullptr, nullptr, &most, nullptr));
    EXPECT_EQ(page->negative_decision, kNegativePositive);

    // Brightness of exactly one half counts as dark: such a page is a negative.
    Ref<RasterImage> half = RasterImageCreate(2, 1, 8, true);
    half->SetPixel(0, 0, 255, kRasterCopy);
    EXPECT_DOUBLE_EQ(half->MeanBrightness(), 0.5);
}

TEST(NegativeDetection, ModeOneShowsANegativeScanAsPositive) {
    Ref<UniformPage> page = AdoptRef(new UniformPage(20, true));  // dark: a negative scan
    PagePlacement whole = Placement(0, 0, 100, 100, 4, 4);
    whole.negative_mode = 1;
    Ref<RasterImage> first = PageRender(page.get(), nullptr, nullptr, &whole, nullptr);
    EXPECT_EQ(page->negative_decision, kNegativeNegative);
    EXPECT_EQ(FirstPixel(first), 235);  // inverted after the fact
    Ref<RasterImage> later = PageRender(page.get(), nullptr, nullptr, &whole, nullptr);
    EXPECT_EQ(page->last_invert, 1);  // toggled before rendering now
    EXPECT_EQ(FirstPixel(later), 235);
    whole.invert = 1;  // the caller's invert now shows the scan as stored
    EXPECT_EQ(FirstPixel(PageRender(page.get(), nullptr, nullptr, &whole, nullptr)), 20);
    whole.negative_mode = 2;
    whole.invert = 0;
    EXPECT_EQ(FirstPixel(PageRender(page.get(), nullptr, nullptr, &whole, nullptr)), 20);
}

TEST(NegativeDetection, PagesThatAreNotBilevelNeverDetect) {
    Ref<UniformPage> page = AdoptRef(new UniformPage(20, false));
    PagePlacement whole = Placement(0, 0, 100, 100, 4, 4);
    whole.negative_mode = 1;
    EXPECT_EQ(FirstPixel(PageRender(page.get(), nullptr, nullptr, &whole, nullptr)), 20);
    EXPECT_EQ(page->negative_decision, kNegativeNeverDetect);
    Ref<UniformPage> bilevel = AdoptRef(new UniformPage(20, true));
    whole.negative_mode = 0;  // the first render without a mode fixes "never"
    PageRender(bilevel.get(), nullptr, nullptr, &whole, nullptr);
    EXPECT_EQ(bilevel->negative_decision, kNegativeNeverDetect);
}
