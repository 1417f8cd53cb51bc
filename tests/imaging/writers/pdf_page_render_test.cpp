#include "imaging/writers/pdf_page_render.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/formats/tiff/tiff_page.h"
#include "imaging/formats/tiff/tiff_reader.h"
#include "imaging/raster/raster_image.h"
#include "imaging/writers/pdf_writer.h"
#include "tests/imaging/writers/pdf_test_support.h"
#include "tests/support/test_support.h"

namespace {

Ref<PdfDocument> NewDoc() { return PdfDocumentNew(0, WString(), WString(), WString(), WString()); }

Ref<PdfPage> AddPageFor(PdfDocument* doc, ImagePage* image_page) {
    return PdfAddPage(doc, {image_page->WidthMm(), image_page->HeightMm()});
}

uint8_t GreyAt(uint32_t x, uint32_t y) { return uint8_t((x * 7) ^ (y * 13)); }

Ref<RasterImage> GreyPicture(uint32_t width, uint32_t height) {
    Ref<RasterImage> image = RasterImageCreate(width, height, 8, true);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = RasterImageRowAddress(image.get(), y);
        for (uint32_t x = 0; x < width; ++x) row[x] = GreyAt(x, y);
    }
    return image;
}

Ref<RasterImage> RgbPicture(uint32_t width, uint32_t height) {
    Ref<RasterImage> image = RasterImageCreate(width, height, 24, true);
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* row = RasterImageRowAddress(image.get(), y);
        for (uint32_t x = 0; x < width; ++x) {
            row[x * 3] = uint8_t(x * 7 + y);  // blue
            row[x * 3 + 1] = uint8_t(y * 3);
            row[x * 3 + 2] = uint8_t(x ^ y);
        }
    }
    return image;
}

// Fails its render number `fail_at` (1-based).
class FailingPage : public PicturePage {
  public:
    FailingPage(Ref<RasterImage> picture, uint32_t fail_at)
        : PicturePage(picture, 300, 8), fail_at_(fail_at) {}
    Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override {
        if (renders + 1 == fail_at_) {
            ++renders;
            return nullptr;
        }
        return PicturePage::Render(status, source, placement, progress);
    }

  private:
    uint32_t fail_at_;
};

bool ExtractImages(const std::string& dir, const std::string& pdf) {
    return RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages '" + pdf + "' img") == 0;
}

std::string ImageList(const std::string& dir, const std::string& pdf) {
    return HostOutput("pdfimages -list '" + pdf + "' | tail -n +3 | awk '{print $3,$4,$5,$6,$7,$8,$9}'", dir);
}

TEST(PdfRenderedPage, LargeColourPageStreamsInBands) {
    const std::string dir = MakeScratchDir("pdf_render_rgb");
    const std::string path = dir + "/rgb.pdf";
    const uint32_t width = 2000, height = 6000;  // 36 MB of pixels
    Ref<RasterImage> picture = RgbPicture(width, height);
    for (const uint8_t flip_y : {0, 1}) {
        SCOPED_TRACE(flip_y ? "flip y" : "upright");
        Ref<PicturePage> image_page = AdoptRef(new PicturePage(picture, 300, 24));
        Ref<PdfDocument> doc = NewDoc();
        const WString target(WindowsPathOf(path).c_str());
        ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
        PdfRenderOptions options;
        options.flip_y = flip_y;
        ASSERT_TRUE(
            PdfAddRenderedImage(page.get(), image_page.get(), nullptr, kPdfModeOptimum, options, nullptr));
        EXPECT_GT(image_page->renders, 1u);
        EXPECT_LT(image_page->largest_band, height);
        ASSERT_TRUE(PdfDocumentSave(doc.get(), target));

        EXPECT_EQ(ImageList(dir, path), "image 2000 6000 rgb 3 8 image\n");
        ASSERT_TRUE(ExtractImages(dir, path));
        Pnm pnm;
        ASSERT_TRUE(ReadPnm(dir + "/img-000.ppm", pnm));
        ASSERT_EQ(pnm.width, width);
        ASSERT_EQ(pnm.height, height);
        for (uint32_t y = 0; y < height; ++y) {
            const uint8_t* source = RasterImageRowAddress(picture.get(), flip_y ? height - 1 - y : y);
            const uint8_t* shown = pnm.Row(y);
            for (uint32_t x = 0; x < width; ++x) {
                const uint8_t* bgr = source + x * 3;
                const uint8_t* rgb = shown + x * 3;
                ASSERT_TRUE(rgb[0] == bgr[2] && rgb[1] == bgr[1] && rgb[2] == bgr[0]) << x << "," << y;
            }
        }
    }
}

TEST(PdfRenderedPage, GreyPageAsGroup4InBands) {
    const std::string dir = MakeScratchDir("pdf_render_g4");
    const std::string path = dir + "/g4.pdf";
    const uint32_t width = 8192, height = 4200;  // over one band of 8-bit rows
    Ref<RasterImage> picture = GreyPicture(width, height);
    Ref<PicturePage> image_page = AdoptRef(new PicturePage(picture, 400, 8));
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
    PdfRenderOptions options;
    options.flip_x = 1;
    options.invert = 1;
    ASSERT_TRUE(PdfAddRenderedImage(page.get(), image_page.get(), nullptr, kPdfModeGroup4, options, nullptr));
    EXPECT_EQ(image_page->renders, 2u);
    ASSERT_TRUE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(path).c_str())));
    EXPECT_EQ(ImageList(dir, path), "image 8192 4200 gray 1 1 ccitt\n");
    ASSERT_TRUE(ExtractImages(dir, path));
    Pnm pnm;
    ASSERT_TRUE(ReadPnm(dir + "/img-000.pbm", pnm));
    ASSERT_EQ(pnm.width, width);
    ASSERT_EQ(pnm.height, height);
    for (uint32_t y = 0; y < height; ++y) {
        for (uint32_t x = 0; x < width; ++x) {
            // Mirrored, inverted, then light values (128 and up) white.
            const bool white = 255 - GreyAt(width - 1 - x, y) >= 128;
            const bool pbm_black = pnm.Row(y)[x / 8] & (0x80 >> (x % 8));
            ASSERT_NE(white, pbm_black) << x << "," << y;
        }
    }
}

// A 1-bit page whose palette makes 1 black (a two-colour GIF, say) shows in
// the PDF as it shows in the viewer, not inverted.
TEST(PdfRenderedPage, BilevelPaletteKeepsItsColours) {
    const std::string dir = MakeScratchDir("pdf_render_bilevel_palette");
    const std::string path = dir + "/palette1.pdf";
    Ref<RasterImage> picture = RasterImageCreate(64, 16, 1, true);
    Ref<Palette> palette = AdoptRef(new Palette);
    ASSERT_TRUE(PaletteInit(palette.get(), 2));
    PaletteSetEntry(palette.get(), 0, 0xFFFFFF);
    PaletteSetEntry(palette.get(), 1, 0x000000);
    ASSERT_TRUE(picture->SetPalette(palette.get()));
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 64; ++x) picture->SetPixel(x, y, uint8_t((x / 4 + y) % 3 == 0), kRasterCopy);
    }
    Ref<PicturePage> image_page = AdoptRef(new PicturePage(picture, 100, 1));
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
    ASSERT_TRUE(PdfAddRenderedImage(page.get(), image_page.get(), nullptr, kPdfModeOptimum, {}, nullptr));
    ASSERT_TRUE(PdfDocumentSave(doc.get(), WString(WindowsPathOf(path).c_str())));
    EXPECT_EQ(ImageList(dir, path), "image 64 16 gray 1 1 ccitt\n");
    ASSERT_TRUE(ExtractImages(dir, path));
    Pnm pnm;
    ASSERT_TRUE(ReadPnm(dir + "/img-000.pbm", pnm));
    for (uint32_t y = 0; y < 16; ++y) {
        for (uint32_t x = 0; x < 64; ++x) {
            const bool black = (x / 4 + y) % 3 == 0;
            const bool pbm_black = pnm.Row(y)[x / 8] & (0x80 >> (x % 8));
            ASSERT_EQ(black, pbm_black) << x << "," << y;
        }
    }
}

TEST(PdfRenderedPage, FailedRenderFailsTheDocument) {
    const std::string dir = MakeScratchDir("pdf_render_fail");
    const std::string path = dir + "/failed.pdf";
    const WString target(WindowsPathOf(path).c_str());
    Ref<RasterImage> picture = GreyPicture(8192, 4200);
    {
        // Before any row went out the document stays whole.
        Ref<FailingPage> image_page = AdoptRef(new FailingPage(picture, 1));
        Ref<PdfDocument> doc = NewDoc();
        Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
        EXPECT_FALSE(
            PdfAddRenderedImage(page.get(), image_page.get(), nullptr, kPdfModeOptimum, {}, nullptr));
        Ref<FailingPage> bilevel_page = AdoptRef(new FailingPage(picture, 1));
        EXPECT_FALSE(
            PdfAddRenderedImage(page.get(), bilevel_page.get(), nullptr, kPdfModeGroup4, {}, nullptr));
        EXPECT_TRUE(PdfDocumentSave(doc.get(), target));
    }
    {
        // A band lost half way leaves an image without all its rows.
        Ref<FailingPage> image_page = AdoptRef(new FailingPage(picture, 2));
        Ref<PdfDocument> doc = NewDoc();
        ASSERT_TRUE(PdfDocumentStreamToFile(doc.get(), target));
        Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
        EXPECT_FALSE(
            PdfAddRenderedImage(page.get(), image_page.get(), nullptr, kPdfModeOptimum, {}, nullptr));
        EXPECT_FALSE(PdfDocumentSave(doc.get(), target));
        EXPECT_EQ(GetFileAttributesW(WindowsPathOf(path).c_str()), INVALID_FILE_ATTRIBUTES);
    }
}

}  // namespace

namespace {

// The file's first page as a one-page PDF; whether the page was rendered.
bool WritePdf(const std::string& tif, const std::string& pdf, bool carry, bool invert, bool* rendered) {
    const OpenedTiff tiff = OpenTiff(tif);
    if (!tiff.format) return false;
    Ref<ImagePage> image_page = tiff.format->GetPage(0);
    Ref<PdfDocument> doc = NewDoc();
    Ref<PdfPage> page = AddPageFor(doc.get(), image_page.get());
    PdfRenderOptions options;
    options.invert = uint8_t(invert);
    options.carry_group4 = uint8_t(carry);
    const bool added =
        PdfAddRenderedImage(page.get(), image_page.get(), tiff.data.get(), kPdfModeOptimum, options, nullptr);
    *rendered = tiff.Image()->render_state != kTiffUntried;
    return added && PdfDocumentSave(doc.get(), WString(WindowsPathOf(pdf).c_str()));
}

// The offset and length of the file's first strip.
std::pair<uint32_t, uint32_t> FirstStrip(const std::string& tif) {
    const OpenedTiff tiff = OpenTiff(tif);
    uint32_t offset = 0, length = 0;
    TiffDirEntryGetUInt(TiffDirStripOffsets(tiff.Image()).get(), 0, &offset);
    TiffDirEntryGetUInt(TiffDirStripByteCounts(tiff.Image()).get(), 0, &length);
    return {offset, length};
}

std::vector<uint8_t> StripBytes(const std::string& tif) {
    const auto [offset, length] = FirstStrip(tif);
    const std::vector<uint8_t> file = ReadHostFile(tif);
    if (uint64_t(offset) + length > file.size()) return {};
    return std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + length);
}

}  // namespace

// A Group 4 page that shows as stored keeps its coded strip; every other
// page is rendered and coded anew, and both roads show the same pixels.
TEST(PdfRenderedPage, Group4StripCarriedOverOnlyWhereItShowsTheSame) {
    const std::string dir = MakeScratchDir("pdf_render_carry");
    const std::string g4 = " && pnmtotiff -g4 -rowsperstrip ";
    ASSERT_EQ(RunHostCommand(
                  "cd '" + dir +
                  "' && convert -size 1203x877 xc:white -fill black -draw 'rectangle 10,10 300,200'"
                  " -draw 'circle 600,400 700,520' -draw 'line 0,876 1202,0'"
                  " -draw 'polygon 900,50 1190,300 1000,860' -fill white"
                  " -draw 'rectangle 950,300 1050,500' -monochrome drawing.pbm" +
                  g4 + "877 -miniswhite drawing.pbm > white.tif" + g4 +
                  "877 -minisblack drawing.pbm > black.tif" + g4 + "64 -miniswhite drawing.pbm > strips.tif" +
                  g4 + "877 -miniswhite -lsb2msb drawing.pbm > lsb.tif"),
              0);
    // The files are what the cases say they are.
    EXPECT_NE(HostOutput("tiffinfo '" + dir + "/white.tif'", dir).find("min-is-white"), std::string::npos);
    EXPECT_NE(HostOutput("tiffinfo '" + dir + "/black.tif'", dir).find("min-is-black"), std::string::npos);
    EXPECT_NE(HostOutput("tiffinfo '" + dir + "/strips.tif'", dir).find("Rows/Strip: 64"), std::string::npos);
    EXPECT_NE(HostOutput("tiffinfo '" + dir + "/lsb.tif'", dir).find("FillOrder: lsb-to-msb"),
              std::string::npos);
    // Bytes in the middle of the strip spoilt: the render fails, and so
    // must the carried page rather than pass the fault on.
    std::vector<uint8_t> damaged = ReadHostFile(dir + "/white.tif");
    const auto [offset, length] = FirstStrip(dir + "/white.tif");
    ASSERT_GT(length, 64u);
    ASSERT_LE(uint64_t(offset) + length, damaged.size());
    for (uint32_t i = 0; i < 16; ++i) damaged[offset + length / 2 + i] = 0;
    ASSERT_TRUE(WriteHostFile(dir + "/damaged.tif", damaged));

    const struct Case {
        const char* file;
        bool invert;
        bool carried;
    } cases[] = {
        {"white", false, true},   {"white", true, false}, {"black", true, true},     {"black", false, false},
        {"strips", false, false}, {"lsb", false, false},  {"damaged", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.file) + (c.invert ? " inverted" : ""));
        const std::string tif = dir + "/" + c.file + ".tif";
        bool rendered = false;
        if (std::string(c.file) == "damaged") {
            EXPECT_FALSE(WritePdf(tif, dir + "/carried.pdf", true, c.invert, &rendered));
            EXPECT_FALSE(WritePdf(tif, dir + "/coded.pdf", false, c.invert, &rendered));
            continue;
        }
        ASSERT_TRUE(WritePdf(tif, dir + "/carried.pdf", true, c.invert, &rendered));
        EXPECT_EQ(rendered, !c.carried);
        ASSERT_TRUE(WritePdf(tif, dir + "/coded.pdf", false, c.invert, &rendered));
        EXPECT_TRUE(rendered);
        for (const char* pdf : {"carried.pdf", "coded.pdf"})
            EXPECT_EQ(RunHostCommand("qpdf --check '" + dir + "/" + pdf + "' >/dev/null"), 0) << pdf;
        ASSERT_EQ(RunHostCommand("cd '" + dir +
                                 "' && pdftoppm -r 200 -mono carried.pdf carried && pdftoppm"
                                 " -r 200 -mono coded.pdf coded"),
                  0);
        const std::vector<uint8_t> shown = ReadHostFile(dir + "/carried-1.pbm");
        EXPECT_GT(shown.size(), 1203u * 877 / 8);
        EXPECT_TRUE(shown == ReadHostFile(dir + "/coded-1.pbm"));
        if (c.carried) {
            ASSERT_EQ(RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages -ccitt carried.pdf img"),
                      0);
            EXPECT_TRUE(ReadHostFile(dir + "/img-000.ccitt") == StripBytes(tif)) << "the strip as stored";
        }
    }
    // The carried page shows the file's own pixels: black.tif shown
    // inverted is the negative of the drawing.
    bool rendered = false;
    ASSERT_TRUE(WritePdf(dir + "/black.tif", dir + "/carried.pdf", true, true, &rendered));
    ASSERT_EQ(RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages carried.pdf img"), 0);
    Pnm drawn, carried;
    ASSERT_TRUE(ReadPnm(dir + "/drawing.pbm", drawn));
    ASSERT_TRUE(ReadPnm(dir + "/img-000.pbm", carried));
    ASSERT_EQ(drawn.width, carried.width);
    ASSERT_EQ(drawn.height, carried.height);
    uint32_t differing = 0;
    for (uint32_t y = 0; y < drawn.height; ++y) {
        for (uint32_t x = 0; x < drawn.width; ++x) {
            const uint8_t bit = uint8_t(0x80 >> (x % 8));
            differing += ((drawn.Row(y)[x / 8] & bit) != 0) == ((carried.Row(y)[x / 8] & bit) != 0);
        }
    }
    EXPECT_EQ(differing, 0u);
}
