// Conversions into TIFF and PDF, judged by libtiff, ImageMagick, qpdf and
// poppler (tags, page choice, turns and mirrors, pixels, refusals,
// failures), and the bitmap export as Pillow reads it, its refusals, and the
// page at every turn and mirror exactly as the main view shows it.
#include "viewer/export/bitmap_export.h"
#include "viewer/export/document_export.h"

#include <psapi.h>

#include <algorithm>

#include "foundation/progress.h"
#include "imaging/writers/pdf_look_ahead.h"
#include "imaging/writers/pdf_writer.h"
#include "tests/viewer/export/export_test_support.h"
#include "tests/viewer/views/view_harness.h"
#include "viewer/core/app_utils.h"

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

// The same two pages, of which the format cannot give the second.
struct GappedFormat : FailingFormat {
    Ref<ImagePage> GetPage(uint32_t index) override { return index == 0 ? pages[0] : nullptr; }
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
            EXPECT_EQ(dirs[i][259].values, "4");  // Group 4, whatever compression was asked for
            EXPECT_EQ(dirs[i][274].values, s.rotation == 0     ? ""
                                    : s.rotation == 90  ? "8"
                                    : s.rotation == 180 ? "3"
                                                        : "6");
            EXPECT_EQ(dirs[i][305].values + dirs[i][270].values + dirs[i][269].values,
                      "Plovex 5.2.9\\0Plan 4711\\0Site\\0");
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
    // A page missing from the format fails both writers alike.
    const OpenedImage gapped{MakeRef<DataSource>(), MakeRef<GappedFormat>()};
    EXPECT_FALSE(Pdf(gapped, pdf, 0, 0));
    EXPECT_FALSE(Tiff(gapped, tif, 0, {}));
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

namespace {

// Twelve pages of 1203 x 877 pixels, each a drawing of its own, in turn
// Group 4 in one strip (carried as stored), in strips of 64 rows, in one
// strip again, and BlackIsZero in one strip (carried when shown inverted)
// or, last, LZW.
std::string MakeCarriedDocument(const std::string& dir) {
    EXPECT_EQ(RunHostCommand(
                  "cd '" + dir +
                  "' && for n in $(seq 0 11); do convert -size 1203x877 xc:white -fill black"
                  " -draw \"rectangle 10,10 $((n*40+400)),200\" -draw \"circle 600,400 700,$((n*20+420))\""
                  " -draw 'line 0,876 1202,0' -monochrome d$n.pbm && case $((n % 4)) in"
                  " 1) pnmtotiff -g4 -rowsperstrip 64 -miniswhite d$n.pbm ;;"
                  " 3) if [ $n -lt 8 ]; then pnmtotiff -g4 -rowsperstrip 877 -minisblack d$n.pbm;"
                  " else pnmtotiff -lzw d$n.pbm; fi ;;"
                  " *) pnmtotiff -g4 -rowsperstrip 877 -miniswhite d$n.pbm ;;"
                  " esac > p$((n + 10)).tif || exit 1; done 2>/dev/null && tiffcp p*.tif carried.tif"
                  " && rm p*.tif d*.pbm"),
              0);
    return dir + "/carried.tif";
}

// The document as the export wrote it before any page was checked ahead:
// page after page, each through PdfAddRenderedImage.
bool PdfPageByPage(const OpenedImage& image, const std::string& target, uint16_t rotation,
                   const std::vector<PageDescriptor>& pages) {
    Ref<PdfDocument> doc =
        PdfDocumentNew(0, WString(L"Drawing 4711"), WString(), WString(), WString(kSoftwareName));
    if (!doc || !PdfDocumentStreamToFile(doc.get(), WinPath(target))) return false;
    for (uint32_t i = 0; i < image.format->PageCount(); ++i) {
        PageDescriptor descriptor{1, 0, 0, 0, rotation};
        if (i < pages.size()) descriptor = pages[i];
        if (!descriptor.include) continue;
        Ref<ImagePage> image_page = image.format->GetPage(i);
        Ref<PdfPage> page = PdfAddPage(doc.get(), SizeD{image_page->WidthMm(), image_page->HeightMm()});
        PdfPageSetRotation(page.get(), descriptor.rotation);
        PdfRenderOptions options;
        options.flip_x = descriptor.flip_x;
        options.flip_y = descriptor.flip_y;
        options.invert = descriptor.invert;
        if (!PdfAddRenderedImage(page.get(), image_page.get(), image.data.get(), kPdfModeOptimum, options,
                                 nullptr)) {
            return false;
        }
    }
    return PdfDocumentSave(doc.get(), WinPath(target));
}

// A PDF's bytes with the second of its making left out.
std::vector<uint8_t> WithoutDate(std::vector<uint8_t> pdf) {
    const std::string mark = "/CreationDate (D:";
    auto at = std::search(pdf.begin(), pdf.end(), mark.begin(), mark.end());
    if (at != pdf.end()) std::fill(at + mark.size(), std::min(at + mark.size() + 14, pdf.end()), '0');
    return pdf;
}

// Page `page`'s one strip as stored.
std::vector<uint8_t> StoredStrip(const std::string& tif, int page, const std::string& dir) {
    auto dirs = DumpTiff(tif, dir);
    const std::vector<uint8_t> file = ReadHostFile(tif);
    const uint64_t offset = std::stoull(dirs.at(page)[273].values),
                   length = std::stoull(dirs.at(page)[279].values);
    if (offset + length > file.size()) return {};
    return std::vector<uint8_t>(file.begin() + offset, file.begin() + offset + length);
}

// Cancels once the export is halfway, and counts the process's threads then.
struct CancelHalfway : ProgressSink {
    void Report(float overall) override {
        if (cancelled || overall < 0.5f) return;
        cancelled = true;
        threads = ProcessThreadCount();
    }
    bool IsCancelled() override { return cancelled; }
    bool cancelled = false;
    uint32_t threads = 0;
};

}  // namespace

// Carried pages are read and checked ahead of their turn while the pages
// before them are written: the file is the one written page by page.
TEST(DocumentExport, PdfOfPagesCheckedAheadEqualsThePageByPageOne) {
    const std::string dir = MakeScratchDir("export_pdf_ahead");
    const std::string source = MakeCarriedDocument(dir), pdf = dir + "/out.pdf",
                      in_turn = dir + "/in-turn.pdf";
    const OpenedImage image = OpenImage(source), again = OpenImage(source);
    ASSERT_TRUE(image.format && again.format);
    ASSERT_EQ(image.format->PageCount(), 12u);
    // Page 3 mirrored (rendered), 4 inverted (carried), 5 left out, 7 turned.
    const std::vector<PageDescriptor> pages = {{},  {}, {1, 1, 0, 0, 0}, {1, 0, 0, 1, 0},
                                               {0}, {}, {1, 0, 0, 0, 90}};
    ProgressSink never_cancels;
    ASSERT_TRUE(ExportPdf(image.format.get(), image.data.get(), WinPath(pdf), 0, 0, pages.data(),
                          uint32_t(pages.size()), WString(L"Drawing 4711"), &never_cancels));
    ASSERT_TRUE(PdfPageByPage(again, in_turn, 0, pages));
    EXPECT_TRUE(WithoutDate(ReadHostFile(pdf)) == WithoutDate(ReadHostFile(in_turn)));
    EXPECT_EQ(RunHostCommand("qpdf --check '" + pdf + "' >/dev/null"), 0);
    EXPECT_EQ(HostOutput("pdfinfo '" + pdf + "' | grep Pages:", dir), "Pages:           11\n");
    ASSERT_EQ(RunHostCommand("cd '" + dir + "' && rm -f img-* && pdfimages -ccitt -f 10 -l 10 out.pdf img"),
              0);
    EXPECT_TRUE(ReadHostFile(dir + "/img-000.ccitt") == StoredStrip(source, 10, dir)) << "carried as stored";
}

// A damaged page in the middle, or a cancel halfway, fails the export as a
// page that fails to render does: no new file, an older one kept, and no
// worker left.
TEST(DocumentExport, PdfStopsAtADamagedPageOrACancelAndLeavesNoFile) {
    const std::string dir = MakeScratchDir("export_pdf_stops");
    const std::string source = MakeCarriedDocument(dir), pdf = dir + "/out.pdf";
    std::vector<uint8_t> damaged = ReadHostFile(source);
    const auto dirs = DumpTiff(source, dir);
    ASSERT_EQ(dirs.size(), 12u);
    const uint64_t offset = std::stoull(dirs[6].at(273).values), length = std::stoull(dirs[6].at(279).values);
    ASSERT_EQ(dirs[6].at(278).values, "877") << "page 7 is in one strip";
    ASSERT_LE(offset + length, damaged.size());
    for (uint32_t i = 0; i < 16; ++i) damaged[offset + length / 2 + i] = 0;
    ASSERT_TRUE(WriteHostFile(dir + "/damaged.tif", damaged));
    const std::vector<uint8_t> older = {'o', 'l', 'd'};
    ASSERT_TRUE(WriteHostFile(pdf, older));
    const uint32_t threads = ProcessThreadCount();
    ASSERT_GT(threads, 0u) << "the threads of the process cannot be counted here";

    const OpenedImage broken = OpenImage(dir + "/damaged.tif");
    ASSERT_TRUE(broken.format);
    EXPECT_FALSE(Pdf(broken, pdf, 0, 0));
    EXPECT_TRUE(ReadHostFile(pdf) == older);
    EXPECT_EQ(ProcessThreadCount(), threads);

    // Only carried pages, which render nothing that would see the cancel.
    const OpenedImage image = OpenImage(source);
    const PageDescriptor out{0}, inverted{1, 0, 0, 1, 0};
    const std::vector<PageDescriptor> carried = {{}, out,      {}, inverted, {}, out,
                                                 {}, inverted, {}, out,      {}, out};
    CancelHalfway cancel;
    EXPECT_FALSE(ExportPdf(image.format.get(), image.data.get(), WinPath(pdf), 0, 0, carried.data(),
                           uint32_t(carried.size()), WString(), &cancel));
    EXPECT_TRUE(cancel.cancelled);
    if (PdfLookAheadWorkers() > 0) {
        EXPECT_GT(cancel.threads, threads) << "no worker ran";
    }
    EXPECT_EQ(ProcessThreadCount(), threads);
    EXPECT_TRUE(ReadHostFile(pdf) == older);
    EXPECT_EQ(HostOutput("ls '" + dir + "' | grep -v 'output.txt'", dir),
              "carried.tif\ndamaged.tif\nout.pdf\n");
    EXPECT_TRUE(Pdf(image, pdf, 0, 0, carried)) << "the same pages, not cancelled";
}

namespace {

constexpr double kMm = 25.4 / 72;  // one pixel of the test pages

bool Export(ViewerContext* context, DocItem* page, bool entire, SizeI size, uint16_t bits,
            const std::string& file) {
    return ExportBitmap(context, page, entire, size, bits, 0, WinPath(file), nullptr);
}

}  // namespace

TEST(ExportBitmap, FilesAsPillowReadsThemAndRefusals) {
    const std::string dir = MakeScratchDir("bitmap_export_files");
    MakeExportPages(dir);
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    auto open = [&](const char* name) { return ChildAt(viewer.Open(dir + "/" + name).get(), 0); };
    Ref<DocItem> colour = open("colour.tif"), grey = open("grey.tif"), bilevel = open("bilevel.tif");
    ASSERT_TRUE(colour && grey && bilevel);
    struct Case {
        DocItem* page;
        const char* source;  // the file the pixels equal within `tolerance`; none for a cut-out
        bool entire;
        SizeI size;
        uint16_t bits;
        int tolerance;
        const char* expected;
    } const cases[] = {
        {colour.get(), "colour", true, {60, 40}, 24, 0, "RGB (60, 40) [72, 72] True\n"},
        {grey.get(), "grey", true, {60, 40}, 8, 3, "P (60, 40) [72, 72] True\nTrue\n"},
        {bilevel.get(), "bilevel", true, {50, 30}, 1, 0, "1 (50, 30) [72, 72] True\n"},
        // Half the page across at the same width: twice the resolution.
        {colour.get(), nullptr, false, {60, 80}, 24, 0, "RGB (60, 80) [144, 144]\n"},
    };
    ASSERT_TRUE(CutOutSetRect(colour->GetCutOut().get(), RectD{SizeD{30 * kMm, 40 * kMm}, PointD{}}));
    for (const Case& c : cases) {
        const std::string out = dir + "/out.bmp", source = c.source ? dir + "/" + c.source + ".tif" : "";
        ASSERT_TRUE(Export(context, c.page, c.entire, c.size, c.bits, out)) << c.expected;
        // 8 bits: 46 greys, then the colour cube without its greys.
        const std::string script =
            "from PIL import Image\nimage = Image.open('" + out + "')\nsource = '" + source +
            "'\nprint(image.mode, image.size, [round(d) for d in image.info['dpi']], end='')\n"
            "if source:\n    pixels = zip(image.convert('RGB').tobytes(), "
            "Image.open(source).convert('RGB').tobytes())\n"
            "    print('', max(abs(a - b) for a, b in pixels) <= " +
            std::to_string(c.tolerance) +
            ")\n"
            "else:\n    print()\n"
            "greys = [(g, g, g) for g in (int(i * 255 / 45 + 0.5) for i in range(46))]\n"
            "cube = [(r * 51, g * 51, b * 51) for b in range(6) for g in range(6) for r in range(6) if not r "
            "== g == b]\n"
            "if image.mode == 'P':\n    print(image.getpalette()[:768] == list(sum(greys + cube, ())))\n";
        ASSERT_TRUE(WriteHostFile(dir + "/probe.py", std::vector<uint8_t>(script.begin(), script.end())));
        EXPECT_EQ(HostOutput("/usr/bin/python3 '" + dir + "/probe.py'", dir), c.expected);
    }
    // Refused: no width, 4 bits, neither file nor clipboard, not a page, a
    // folder that takes no file.
    const std::string refused = dir + "/refused.bmp";
    EXPECT_FALSE(Export(context, colour.get(), true, {0, 40}, 24, refused));
    EXPECT_FALSE(Export(context, colour.get(), true, {60, 40}, 4, refused));
    EXPECT_FALSE(ExportBitmap(context, colour.get(), true, {60, 40}, 24, 0, WString(), nullptr));
    EXPECT_FALSE(Export(context, ViewerGetRootItem(context).get(), true, {60, 40}, 24, refused));
    EXPECT_FALSE(HostFileExists(refused));
    LockedFolder locked(dir + "/locked");
    ASSERT_TRUE(locked.locked());
    EXPECT_FALSE(Export(context, colour.get(), true, {60, 40}, 24, dir + "/locked/out.bmp"));
    EXPECT_TRUE(locked.Empty());
}

TEST(ExportBitmap, EveryTurnAndMirrorEqualsTheMainView) {
    const std::string dir = MakeScratchDir("bitmap_export_turns");
    MakeExportPages(dir);
    ViewHarness h(300, 200);
    Ref<DocItem> page = h.Show(dir + "/colour.tif");
    ASSERT_TRUE(h.view && page);
    // The cut-out as it is, not widened to fill the window.
    SettingsSetZoomExact(h.settings().get(), nullptr, kCallerInternal, true);
    // Tests beside this one move the desktop's one cursor, and the view
    // draws its cross-hair wherever the cursor last crossed it.
    SettingsSetShowHairCross(h.settings().get(), nullptr, kCallerInternal, false);
    Ref<CutOutState> state = page->GetCutOut();
    for (int view = 0; view < 32; ++view) {
        const bool mh = view & 1, mv = view & 2, entire = view & 16;
        const uint32_t rotation = 90 * (view >> 2 & 3);
        SCOPED_TRACE(std::string(entire ? "page " : "cut-out ") + std::to_string(rotation) +
                     (mh ? " mirror h" : "") + (mv ? " mirror v" : ""));
        const RectD part{SizeD{30 * kMm, 25 * kMm}, PointD{10 * kMm, 5 * kMm}};
        ASSERT_TRUE(CutOutSetRect(state.get(), entire ? RectD{CutOutGetPageSize(state.get()), {}} : part));
        CutOutSetRotation(state.get(), rotation);
        CutOutSetMirrorHorizontal(state.get(), mh);
        CutOutSetMirrorVertical(state.get(), mv);
        // Two screen pixels a page pixel: the view mirrors its last picture
        // rather than rendering anew, which at other scales samples the
        // page's edges a little differently.
        ASSERT_TRUE(CutOutSetZoom(state.get(), 2 * (72 / 25.4) / ViewerGetPixelsPerMmX(h.context())));
        h.Changed(event::kViewEverything);
        std::unique_ptr<DibCanvas> canvas = h.Print();
        Ref<ViewMapping> mapping = h.Mapping();
        ASSERT_TRUE(mapping && canvas->ok());
        const SizeI size{int32_t(mapping->placement.pixel_width), int32_t(mapping->placement.pixel_height)};
        ASSERT_TRUE(Export(h.context(), page.get(), entire, size, 24, dir + "/shown.bmp"));
        const Pnm exported = Magick(dir + "/shown.bmp", 0, "", dir, "ppm");
        // ImageMagick: the page or its part mirrored, then turned
        // counter-clockwise, every pixel doubled.
        const std::string options = std::string(entire ? "" : "-crop 30x25+10+5 +repage") +
                                    (mh ? " -flop" : "") + (mv ? " -flip" : "") + " -rotate -" +
                                    std::to_string(rotation) + " -scale 200%";
        const Pnm expected = Magick(dir + "/colour.tif", 0, options, dir, "ppm");
        ASSERT_TRUE(SamePicture(exported, expected));
        for (int32_t y = 0; y < size.height; ++y) {
            for (int32_t x = 0; x < size.width; ++x) {
                const uint8_t* rgb = expected.Row(y) + x * 3;
                ASSERT_EQ(canvas->Pixel(mapping->window_offset.x + x, mapping->window_offset.y + y),
                          uint32_t(rgb[0] << 16 | rgb[1] << 8 | rgb[2]))
                    << x << "," << y;
            }
        }
    }
}
