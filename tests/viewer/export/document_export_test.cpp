// Conversions into TIFF and PDF, judged by libtiff, ImageMagick, qpdf and
// poppler: tags, page choice, turns and mirrors, pixels, failures, memory.
#include "viewer/export/document_export.h"

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <psapi.h>

#include <algorithm>
#include <vector>

#include "foundation/progress.h"
#include "tests/viewer/export/export_test_support.h"

namespace {

// Three bilevel Group 4 pages of different sizes, asymmetric, at 72 dpi so
// that PDF points and pixels coincide.
std::string MakePages(const std::string& dir) {
    EXPECT_EQ(RunHostCommand("cd '" + dir +
                             "' && convert -density 72 -units PixelsPerInch"
                             " \\( -size 120x80 xc:white -fill black -draw 'rectangle 5,5 40,20'"
                             " -draw 'circle 90,60 100,70' \\)"
                             " \\( -size 100x90 xc:white -fill black -draw 'polygon 10,10 90,20 30,80' \\)"
                             " \\( -size 80x120 xc:white -fill black -draw 'rectangle 60,5 75,100'"
                             " -draw 'line 0,119 79,0' \\) -monochrome -compress group4 pages.tif"),
              0);
    return dir + "/pages.tif";
}

bool Tiff(const OpenedImage& image, const std::string& target, uint16_t rotation,
          const std::vector<PageDescriptor>& pages, const std::vector<ExtraTag>& tags = {},
          ProgressSink* progress = nullptr) {
    return ExportTiff(image.format.get(), image.data.get(), WinPath(target), 1, rotation, pages.data(),
                      uint32_t(pages.size()), 0, 64, 0, tags.data(), uint32_t(tags.size()), progress);
}

bool Pdf(const OpenedImage& image, const std::string& target, uint32_t mode, uint16_t rotation,
         const std::vector<PageDescriptor>& pages, ProgressSink* progress = nullptr) {
    return ExportPdf(image.format.get(), image.data.get(), WinPath(target), mode, rotation, pages.data(),
                     uint32_t(pages.size()), WString(L"Drawing 4711"), progress);
}

std::string ImageList(const std::string& pdf, const std::string& dir) {
    return HostOutput("pdfimages -list '" + pdf + "' | tail -n +3 | awk '{print $1,$4,$5,$6,$8,$9}'", dir);
}

// The image of a PDF page as stored (pdfimages), and as poppler renders the
// page at 72 dpi made bilevel.
Pnm StoredImage(const std::string& pdf, int page, const std::string& dir, const std::string& kind = "pbm") {
    const std::string n = std::to_string(page);
    return PnmFrom("cd '" + dir + "' && rm -f img-* && pdfimages -f " + n + " -l " + n + " '" + pdf + "' img",
                   dir + "/img-000." + kind);
}

Pnm RenderedPage(const std::string& pdf, int page, const std::string& dir) {
    const std::string n = std::to_string(page);
    return PnmFrom("pdftoppm -r 72 -gray -aa no -f " + n + " -l " + n + " -singlefile '" + pdf + "' '" + dir +
                       "/page' && convert '" + dir + "/page.pgm' -threshold 50% pbm:'" + dir + "/page.pbm'",
                   dir + "/page.pbm");
}

// Poppler's scaling moves a few edge pixels: at most 1.5 % may differ.
bool NearlySame(const Pnm& a, const Pnm& b) {
    if (a.kind != '4' || b.kind != '4' || a.width != b.width || a.height != b.height) return false;
    uint64_t differing = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i) differing += __builtin_popcount(a.pixels[i] ^ b.pixels[i]);
    return differing <= 0.015 * a.width * a.height;
}

// Pages made in memory; one may fail to render.
class MemoryFormat : public ImageFormat {
  public:
    uint32_t FormatCode() const override { return kFormatCodeTiff; }
    uint32_t PageCount() const override { return uint32_t(pages.size()); }
    Ref<ImagePage> GetPage(uint32_t index) override { return index < pages.size() ? pages[index] : nullptr; }
    bool GetInfo(FormatInfo*) override { return false; }
    uint32_t FormatOrdinal() const override { return kOrdinalTiff; }
    std::vector<Ref<ImagePage>> pages;
};

class FailingPage : public PicturePage {
  public:
    using PicturePage::PicturePage;
    Ref<RasterImage> Render(ImageStatus*, DataSource*, const PagePlacement*, ProgressSink*) override {
        return nullptr;
    }
};

OpenedImage MemoryImage(const std::vector<ImagePage*>& pages) {
    auto* format = new MemoryFormat;
    for (ImagePage* page : pages) format->pages.push_back(AdoptRef(page));
    return OpenedImage{MakeRef<DataSource>(), AdoptRef<ImageFormat>(format)};
}

// The process's private memory, sampled whenever progress is reported.
class MemorySampler : public ProgressSink {
  public:
    void Report(float) override { peak = std::max(peak, Current()); }
    static uint64_t Current() {
        PROCESS_MEMORY_COUNTERS counters = {};
        return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage
                                                                                     : 0;
    }
    uint64_t peak = Current();
};

}  // namespace

TEST(ExportTiff, Group4PagesWithTagsTurnsMirrorsAndPageChoice) {
    const std::string dir = MakeScratchDir("export_tiff");
    const std::string source = MakePages(dir), out = dir + "/out.tif";
    const OpenedImage image = OpenImage(source);
    ASSERT_TRUE(image.format);

    // No descriptors: every page as stored, turned by the argument.
    ASSERT_TRUE(Tiff(image, out, 90, {}, {{270, WString(L"Plan 4711")}, {269, WString(L"Site")}}));
    auto dirs = DumpTiff(out, dir);
    ASSERT_EQ(dirs.size(), 3u);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(dirs[i][259], "4");  // Group 4, whatever compression was asked for
        EXPECT_EQ(dirs[i][274], "8");
        EXPECT_EQ(dirs[i][305], "Plovex 5.2.9\\0");
        EXPECT_EQ(dirs[i][270], "Plan 4711\\0");
        EXPECT_EQ(dirs[i][269], "Site\\0");
        EXPECT_TRUE(SamePicture(Magick(out, i, "", dir), Magick(source, i, "", dir))) << i;
    }

    // Descriptors: the second page left out; pages past them take the
    // rotation argument; a turn of 0 writes no Orientation.
    ASSERT_TRUE(Tiff(image, out, 270, {{1, 1, 0, 0, 180}, {0, 0, 0, 0, 0}}));
    dirs = DumpTiff(out, dir);
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(dirs[0][274], "3");
    EXPECT_EQ(dirs[1][274], "6");
    EXPECT_TRUE(SamePicture(Magick(out, 0, "", dir), Magick(source, 0, "-flop", dir)));
    ASSERT_TRUE(Tiff(image, out, 90, {{1, 0, 1, 1, 0}}));
    dirs = DumpTiff(out, dir);
    EXPECT_EQ(dirs[0].count(274), 0u);
    // Shown as a TIFF viewer shows it, a page is what the view shows:
    // mirrored and inverted, then turned counter-clockwise.
    EXPECT_TRUE(SamePicture(Magick(out, 2, "-auto-orient", dir), Magick(source, 2, "-rotate -90", dir)));
    EXPECT_TRUE(SamePicture(Magick(out, 0, "", dir), Magick(source, 0, "-flip -negate", dir)));

    // Refused: a reduction of 100 %, a tag the writer keeps for itself, no
    // page at all; no file is left.
    const std::string refused = dir + "/refused.tif";
    EXPECT_FALSE(ExportTiff(image.format.get(), image.data.get(), WinPath(refused), 0, 0, nullptr, 0, 0, 0,
                            100, nullptr, 0, nullptr));
    EXPECT_FALSE(Tiff(image, refused, 0, {}, {{273, WString(L"0")}}));
    EXPECT_FALSE(Tiff(image, refused, 0, {{0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}, {0, 0, 0, 0, 0}}));
    EXPECT_FALSE(HostFileExists(refused));
}

TEST(ExportPdf, ModesTurnsPalettesAndPixels) {
    const std::string dir = MakeScratchDir("export_pdf");
    ASSERT_EQ(
        RunHostCommand("cd '" + dir +
                       "' && convert -density 72 -units PixelsPerInch -size 60x40 xc:black -channel R -fx i/w"
                       " -channel G -fx j/h +channel -depth 8 -type TrueColor -compress none colour.tif &&"
                       " convert -density 72 -units PixelsPerInch -size 50x30 xc:white -fill black"
                       " -draw 'rectangle 3,3 20,25' -monochrome -compress group4 bilevel.tif &&"
                       " tiffcp colour.tif bilevel.tif mixed.tif && convert colour.tif -colors 12"
                       " -type Palette bmp3:palette.bmp"),
        0);
    const OpenedImage mixed = OpenImage(dir + "/mixed.tif");
    ASSERT_TRUE(mixed.format);
    const std::string colour = dir + "/colour.pdf", group4 = dir + "/group4.pdf", one = dir + "/one.pdf";
    ASSERT_TRUE(Pdf(mixed, colour, 0, 90, {}));
    ASSERT_TRUE(Pdf(mixed, group4, 1, 0, {}));
    ASSERT_TRUE(Pdf(mixed, one, 0, 0, {{0, 0, 0, 0, 0}, {1, 0, 0, 0, 180}}));
    for (const std::string& pdf : {colour, group4, one}) {
        EXPECT_EQ(RunHostCommand("qpdf --check '" + pdf + "' >/dev/null"), 0) << pdf;
    }
    EXPECT_EQ(ImageList(colour, dir), "1 60 40 rgb 8 image\n2 50 30 gray 1 ccitt\n");
    EXPECT_EQ(ImageList(group4, dir), "1 60 40 gray 1 ccitt\n2 50 30 gray 1 ccitt\n");
    EXPECT_EQ(ImageList(one, dir), "1 50 30 gray 1 ccitt\n");  // the page left out is not written
    const std::string info = HostOutput("pdfinfo -f 1 -l 2 '" + colour + "'", dir);
    EXPECT_NE(info.find("Title:           Drawing 4711\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Creator:         Plovex 5.2.9\n"), std::string::npos) << info;
    EXPECT_NE(info.find("Page    1 size:  60 x 40 pts\nPage    1 rot:   270\n"), std::string::npos) << info;
    EXPECT_NE(HostOutput("pdfinfo '" + one + "'", dir).find("Page rot:        180\n"), std::string::npos);
    EXPECT_TRUE(
        SamePicture(StoredImage(colour, 1, dir, "ppm"), Magick(dir + "/colour.tif", 0, "", dir, "ppm")));

    // A 4-bit palette page: an indexed image of 16 entries in its colours.
    const OpenedImage palette = OpenImage(dir + "/palette.bmp");
    const std::string indexed = dir + "/indexed.pdf";
    ASSERT_TRUE(Pdf(palette, indexed, 0, 0, {}));
    EXPECT_EQ(ImageList(indexed, dir), "1 60 40 index 4 image\n");
    const std::vector<uint8_t> bytes = ReadHostFile(indexed);
    EXPECT_NE(std::string(bytes.begin(), bytes.end()).find("/Indexed /DeviceRGB 15"), std::string::npos);

    // Pages stored mirrored and inverted and turned by /Rotate show as the
    // view shows them: mirrored, then turned counter-clockwise.
    const std::string source = MakePages(dir), pages = dir + "/pages.pdf";
    const OpenedImage bilevel = OpenImage(source);
    ASSERT_TRUE(Pdf(bilevel, pages, 0, 0, {{1, 1, 0, 0, 90}, {1, 0, 0, 1, 0}, {1, 1, 1, 0, 270}}));
    EXPECT_TRUE(SamePicture(StoredImage(pages, 1, dir), Magick(source, 0, "-flop", dir)));
    EXPECT_TRUE(SamePicture(StoredImage(pages, 3, dir), Magick(source, 2, "-flop -flip", dir)));
    EXPECT_TRUE(NearlySame(RenderedPage(pages, 1, dir), Magick(source, 0, "-flop -rotate -90", dir)));
    EXPECT_TRUE(NearlySame(RenderedPage(pages, 2, dir), Magick(source, 1, "-negate", dir)));
    EXPECT_TRUE(NearlySame(RenderedPage(pages, 3, dir), Magick(source, 2, "-flop -flip -rotate -270", dir)));
}

TEST(DocumentExport, FailuresLeaveNoFileAndKeepAnOlderOne) {
    const std::string dir = MakeScratchDir("export_failures");
    Ref<RasterImage> picture = RasterImageCreate(200, 100, 1, true);
    const OpenedImage image = MemoryImage({new PicturePage(picture, 72, 1), new FailingPage(picture, 72, 1)});
    const std::string pdf = dir + "/old.pdf";
    ASSERT_TRUE(WriteHostFile(pdf, {'o', 'l', 'd'}));
    EXPECT_FALSE(Pdf(image, pdf, 0, 0, {}));
    EXPECT_FALSE(Tiff(image, dir + "/new.tif", 0, {}));
    EXPECT_EQ(ReadHostFile(pdf), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(HostOutput("ls '" + dir + "' | grep -v output.txt", dir), "old.pdf\n");

    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    EXPECT_FALSE(Pdf(image, dir + "/locked/out.pdf", 0, 0, {{1}, {0}}));
    EXPECT_FALSE(Tiff(image, dir + "/locked/out.tif", 0, {{1}, {0}}));
    EXPECT_TRUE(locked.Empty());
    // Without the failing page both are written.
    EXPECT_TRUE(Pdf(image, pdf, 0, 0, {{1}, {0}}));
    EXPECT_TRUE(Tiff(image, dir + "/new.tif", 0, {{1}, {0}}));
}

TEST(DocumentExport, LongDocumentsNeedMemoryForOnePageOnly) {
    // Colour pages: the PDF keeps them uncompressed, the TIFF makes them
    // bilevel; six of them held would show.
    const uint32_t side = 2400;
    const uint64_t page_bytes = uint64_t(side) * side * 3;
    Ref<RasterImage> picture = RasterImageCreate(side, side, 24, true);
    ASSERT_TRUE(picture);
    for (uint32_t y = 0; y < side; ++y)
        memset(RasterImageRowAddress(picture.get(), y), int(y % 251), picture->stride);
    std::vector<ImagePage*> pages;
    for (int i = 0; i < 6; ++i) pages.push_back(new PicturePage(picture, 200, 24));
    const OpenedImage image = MemoryImage(pages);
    {
        const uint64_t before = MemorySampler::Current();
        std::vector<uint8_t> held(size_t(2 * page_bytes), 1);
        ASSERT_GT(MemorySampler::Current(), before + page_bytes) << "private memory cannot be measured here";
    }
    const std::string dir = MakeScratchDir("export_memory");
    for (const bool pdf : {false, true}) {
        MemorySampler sampler;
        const uint64_t start = sampler.peak;
        ASSERT_TRUE(pdf ? Pdf(image, dir + "/long.pdf", 0, 0, {}, &sampler)
                        : Tiff(image, dir + "/long.tif", 0, {}, {}, &sampler));
        EXPECT_LT(sampler.peak - start, 3 * page_bytes) << (pdf ? "PDF" : "TIFF");
    }
    EXPECT_EQ(ImageList(dir + "/long.pdf", dir).substr(0, 24), "1 2400 2400 rgb 8 image\n");
}
