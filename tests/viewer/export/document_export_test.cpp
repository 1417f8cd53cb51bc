// Conversions into TIFF and PDF, judged by libtiff, ImageMagick, qpdf and
// poppler: tags, page choice, turns and mirrors, pixels, refusals, failures.
#include "viewer/export/document_export.h"

#include <gtest/gtest.h>

#include <windows.h>
// After windows.h, which it needs.
#include <psapi.h>

#include <vector>

#include "foundation/progress.h"
#include "tests/viewer/export/export_test_support.h"

namespace {

// Two pages made in memory; the second fails to render.
struct FailingPage : PicturePage {
    using PicturePage::PicturePage;
    Ref<RasterImage> Render(ImageStatus*, DataSource*, const PagePlacement*, ProgressSink*) override {
        return nullptr;
    }
};
struct FailingFormat : ImageFormat {
    uint32_t FormatCode() const override { return kFormatCodeTiff; }
    uint32_t PageCount() const override { return 2; }
    Ref<ImagePage> GetPage(uint32_t index) override { return index < 2 ? pages[index] : nullptr; }
    bool GetInfo(FormatInfo*) override { return false; }
    uint32_t FormatOrdinal() const override { return kOrdinalTiff; }
    Ref<RasterImage> picture = RasterImageCreate(200, 100, 1, true);
    Ref<ImagePage> pages[2] = {MakeRef<PicturePage>(picture, 72, 1), MakeRef<FailingPage>(picture, 72, 1)};
};

// One page given `count` times.
struct RepeatedFormat : ImageFormat {
    RepeatedFormat(Ref<ImagePage> page, uint32_t count) : page(page), count(count) {}
    uint32_t FormatCode() const override { return kFormatCodeTiff; }
    uint32_t PageCount() const override { return count; }
    Ref<ImagePage> GetPage(uint32_t index) override { return index < count ? page : nullptr; }
    bool GetInfo(FormatInfo*) override { return false; }
    uint32_t FormatOrdinal() const override { return kOrdinalTiff; }
    Ref<ImagePage> page;
    uint32_t count;
};

// The process's private memory, sampled whenever progress is reported.
struct MemorySampler : ProgressSink {
    void Report(float) override { peak = std::max(peak, Current()); }
    static uint64_t Current() {
        PROCESS_MEMORY_COUNTERS counters = {};
        return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage
                                                                                     : 0;
    }
    const uint64_t start = Current();
    uint64_t peak = start;
};

bool Tiff(const OpenedImage& image, const std::string& target, uint16_t rotation,
          const std::vector<PageDescriptor>& pages, const std::vector<ExtraTag>& tags = {}) {
    return ExportTiff(image.format.get(), image.data.get(), WinPath(target), 1, rotation, pages.data(),
                      uint32_t(pages.size()), 0, 64, 0, tags.data(), uint32_t(tags.size()), nullptr);
}

bool Pdf(const OpenedImage& image, const std::string& target, uint32_t mode, uint16_t rotation,
         const std::vector<PageDescriptor>& pages = {}) {
    return ExportPdf(image.format.get(), image.data.get(), WinPath(target), mode, rotation, pages.data(),
                     uint32_t(pages.size()), WString(L"Drawing 4711"), nullptr);
}

std::string ImageList(const std::string& pdf, const std::string& dir) {
    return HostOutput("pdfimages -list '" + pdf + "' | tail -n +3 | awk '{print $1,$4,$5,$6,$8,$9}'", dir);
}

// Page `n`'s image as stored.
Pnm PdfImage(const std::string& pdf, const std::string& n, const std::string& dir, const std::string& kind) {
    EXPECT_EQ(RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages -f " + n + " -l " + n + " '" +
                             pdf + "' img"),
              0);
    return Magick(dir + "/img-000." + kind, 0, "", dir, kind);  // without pdfimages' row padding
}

}  // namespace

// Every written page shows as the view shows it: mirrored and inverted, then
// turned counter-clockwise (TIFF's Orientation, PDF's /Rotate).
TEST(DocumentExport, TiffAndPdfPagesTurnMirrorAndLeaveOutAsTheViewShowsThem) {
    const std::string dir = MakeScratchDir("export_pages");
    MakeExportPages(dir);
    const std::string source = dir + "/pages.tif", tif = dir + "/out.tif", pdf = dir + "/out.pdf";
    const OpenedImage image = OpenImage(source);
    ASSERT_TRUE(image.format);
    struct Shown {
        int page;
        const char* mirrors;
        uint16_t rotation;
    };
    const struct Case {
        uint16_t rotation;  // of pages without a descriptor
        std::vector<PageDescriptor> descriptors;
        std::vector<Shown> shown;
    } cases[] = {
        {90, {}, {{0, "", 90}, {1, "", 90}, {2, "", 90}}},
        {270, {{1, 1, 0, 0, 180}, {0, 0, 0, 0, 0}}, {{0, "-flop", 180}, {2, "", 270}}},
        {90, {{1, 0, 1, 1, 0}}, {{0, "-flip -negate", 0}, {1, "", 90}, {2, "", 90}}},
        {0,
         {{1, 1, 0, 0, 90}, {1, 0, 0, 1, 0}, {1, 1, 1, 0, 270}},
         {{0, "-flop", 90}, {1, "-negate", 0}, {2, "-flop -flip", 270}}},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(Tiff(image, tif, c.rotation, c.descriptors,
                         {{270, WString(L"Plan 4711")}, {269, WString(L"Site")}}));
        ASSERT_TRUE(Pdf(image, pdf, 0, c.rotation, c.descriptors));
        EXPECT_EQ(RunHostCommand("qpdf --check '" + pdf + "' >/dev/null"), 0);
        auto dirs = DumpTiff(tif, dir);
        ASSERT_EQ(dirs.size(), c.shown.size());
        const std::string info = HostOutput("pdfinfo -f 1 -l 3 '" + pdf + "'", dir);
        EXPECT_NE(info.find("Pages:           " + std::to_string(c.shown.size()) + "\n"), std::string::npos);
        for (size_t i = 0; i < c.shown.size(); ++i) {
            const Shown& s = c.shown[i];
            const std::string n = std::to_string(i + 1),
                              turned = std::string(s.mirrors) + " -rotate -" + std::to_string(s.rotation);
            SCOPED_TRACE("rotation " + std::to_string(c.rotation) + ", page " + n);
            EXPECT_EQ(dirs[i][259], "4");  // Group 4, whatever compression was asked for
            EXPECT_EQ(dirs[i][274], s.rotation == 0     ? ""
                                    : s.rotation == 90  ? "8"
                                    : s.rotation == 180 ? "3"
                                                        : "6");
            EXPECT_EQ(dirs[i][305] + dirs[i][270] + dirs[i][269], "Plovex 5.2.9\\0Plan 4711\\0Site\\0");
            EXPECT_TRUE(
                SamePicture(Magick(tif, int(i), "-auto-orient", dir), Magick(source, s.page, turned, dir)));
            EXPECT_NE(
                info.find("Page    " + n + " rot:   " + std::to_string((360 - s.rotation) % 360) + "\n"),
                std::string::npos)
                << info;
            // As stored; the turn is the /Rotate checked above.
            EXPECT_TRUE(SamePicture(PdfImage(pdf, n, dir, "pbm"), Magick(source, s.page, s.mirrors, dir)));
        }
    }
}

TEST(DocumentExport, PdfImagesRefusalsAndFailuresThatLeaveNoFile) {
    const std::string dir = MakeScratchDir("export_pdf");
    MakeExportPages(dir);
    const OpenedImage mixed = OpenImage(dir + "/mixed.tif"), palette = OpenImage(dir + "/palette.bmp");
    ASSERT_TRUE(mixed.format && palette.format);
    const std::string pdf = dir + "/out.pdf", tif = dir + "/out.tif";
    // Mode 0 keeps colour, mode 1 makes every page Group 4; a 4-bit palette
    // page is an indexed image of 16 entries.
    ASSERT_TRUE(Pdf(mixed, pdf, 1, 0));
    EXPECT_EQ(ImageList(pdf, dir),
              "1 60 40 gray 1 ccitt\n2 120 80 gray 1 ccitt\n3 100 90 gray 1 ccitt\n4 80 120 gray 1 ccitt\n");
    ASSERT_TRUE(Pdf(palette, pdf, 0, 0));
    EXPECT_EQ(ImageList(pdf, dir), "1 60 40 index 4 image\n");
    EXPECT_NE(HostOutput("grep -c '/Indexed /DeviceRGB 15' '" + pdf + "'", dir), "0\n");
    ASSERT_TRUE(Pdf(mixed, pdf, 0, 0));
    EXPECT_EQ(ImageList(pdf, dir).substr(0, 42), "1 60 40 rgb 8 image\n2 120 80 gray 1 ccitt\n");
    EXPECT_TRUE(SamePicture(PdfImage(pdf, "1", dir, "ppm"), Magick(dir + "/colour.tif", 0, "", dir, "ppm")));
    const std::string info = HostOutput("pdfinfo '" + pdf + "'", dir);
    EXPECT_NE(info.find("Title:           Drawing 4711\nCreator:         Plovex 5.2.9\n"), std::string::npos)
        << info;

    // Refused: a reduction of 100 %, a tag the writer keeps for itself, no page.
    EXPECT_FALSE(ExportTiff(mixed.format.get(), mixed.data.get(), WinPath(tif), 0, 0, nullptr, 0, 0, 0, 100,
                            nullptr, 0, nullptr));
    EXPECT_FALSE(Tiff(mixed, tif, 0, {}, {{273, WString(L"0")}}));
    EXPECT_FALSE(Tiff(mixed, tif, 0, {{0}, {0}, {0}, {0}}));
    // A page that fails to render: no new file, an older PDF kept as it was.
    const std::vector<uint8_t> older = ReadHostFile(pdf);
    const OpenedImage failing{MakeRef<DataSource>(), MakeRef<FailingFormat>()};
    EXPECT_FALSE(Pdf(failing, pdf, 0, 0));
    EXPECT_FALSE(Tiff(failing, tif, 0, {}));
    EXPECT_EQ(ReadHostFile(pdf), older);
    EXPECT_EQ(HostOutput("ls '" + dir + "' | grep -v 'output.txt\\|img-\\|magick'", dir),
              "bilevel.tif\ncolour.tif\ngrey.tif\nmixed.tif\nout.pdf\npages.tif\npalette.bmp\n");
    EXPECT_TRUE(Pdf(failing, pdf, 0, 0, {{1}, {0}})) << "without the failing page";
}

// Coded pages wait on disk, not in memory, until the file is written: a
// long document of large pages needs memory for about one of them.
TEST(DocumentExport, LongTiffDocumentsHoldOnePageAtATime) {
    const uint32_t side = 3000, pages = 8;
    Ref<RasterImage> noise = RasterImageCreate(side, side, 1, true);
    ASSERT_TRUE(noise);
    uint32_t state = 4711;
    for (uint32_t y = 0; y < side; ++y) {
        uint8_t* row = RasterImageRowAddress(noise.get(), y);
        for (uint32_t x = 0; x < noise->stride; ++x) row[x] = uint8_t((state = state * 1103515245u + 12345u) >> 24);
    }
    const OpenedImage image{MakeRef<DataSource>(),
                            MakeRef<RepeatedFormat>(MakeRef<PicturePage>(noise, 400, 1), pages)};
    {
        const uint64_t before = MemorySampler::Current();
        std::vector<uint8_t> held(size_t(64) << 20, 1);
        ASSERT_GT(MemorySampler::Current(), before + (32u << 20)) << "private memory cannot be measured here";
    }
    const std::string dir = MakeScratchDir("export_memory"), tif = dir + "/long.tif";
    MemorySampler sampler;
    ASSERT_TRUE(ExportTiff(image.format.get(), image.data.get(), WinPath(tif), 1, 0, nullptr, 0, 0, 64, 0,
                           nullptr, 0, &sampler));
    // Noise codes to no less than its bits, so all pages held would show.
    const uint64_t page_bytes = ReadHostFile(tif).size() / pages;
    EXPECT_GT(page_bytes, uint64_t(side) * side / 8);
    EXPECT_LT(sampler.peak - sampler.start, 3 * page_bytes);
    EXPECT_EQ(HostOutput("ls '" + dir + "' | grep -v output.txt", dir), "long.tif\n") << "no spill file left";
}
