// The print job against the test printer (CUPS queue PlovexTest, PostScript
// to a file, Wine's PostScript driver as the translator): what lands on the
// sheet is read back by ghostscript at 100 dpi and measured in millimetres.
// The charts are Group 4 pages at 254 dpi, ten pixels per millimetre, with
// black squares at known places, so offset, turn, mirror and polarity faults
// show as marks in the wrong place or of the wrong size.
#include "printing/print_job.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>

#include "imaging/raster/raster_image.h"
#include "printing/print_bands.h"
#include "printing/print_layout.h"
#include "printing/win_print_provider.h"
#include "redlining/redline_document.h"
#include "redlining/redline_markups.h"
#include "redlining/redline_objects.h"
#include "resources/resource_ids.h"
#include "tests/printing/print_test_support.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/settings.h"
#include "viewer/model/cut_out_state.h"

namespace {

constexpr wchar_t kTestPrinter[] = L"PlovexTest";
constexpr double kTolerance = 0.5;  // mm, two raster pixels at 100 dpi

// Marks of the chart: A 10 mm at the top left, B 10 mm at the top right,
// C 10 x 20 mm at the bottom left; `width_mm` by `height_mm`. (A square page
// would count as landscape and be turned on portrait paper.)
std::string ChartCommand(int width_mm, int height_mm, const std::string& name, int dpi = 254) {
    const std::string w = std::to_string(width_mm * 10), h = std::to_string(height_mm * 10);
    const std::string right = std::to_string(width_mm * 10 - 100), low = std::to_string(height_mm * 10 - 200);
    return "convert -size " + w + "x" + h + " xc:white -fill black -draw 'rectangle 0,0 99,99' " +
           "-draw 'rectangle " + right + ",0 " + std::to_string(width_mm * 10 - 1) + ",99' " +
           "-draw 'rectangle 0," + low + " 99," + std::to_string(height_mm * 10 - 1) + "' " +
           "-units PixelsPerInch -density " + std::to_string(dpi) + " -monochrome -compress Group4 " + name;
}

// Black and white of a sheet: the paths differ in the grey of the paper
// (an 8-bit image's white is not the page's own).
std::vector<bool> Dark(const GreyPage& page) {
    std::vector<bool> dark(page.pixels.size());
    for (size_t i = 0; i < dark.size(); ++i) dark[i] = page.pixels[i] < 128;
    return dark;
}

struct PrintBed {
    explicit PrintBed(MarkupProvider* markups = nullptr, const wchar_t* printer = kTestPrinter)
        : viewer(markups) {
        provider = MakeRef<WinPrintProvider>(L"Windows printing");
        provider->Init();
        selected = provider->SelectPrinter(viewer.context.get(), WString(printer));
    }
    // Makes the files by the commands in a scratch folder and opens one; the
    // test printer must be there.
    bool Open(const std::string& scratch, const std::string& commands, const std::string& file) {
        EXPECT_TRUE(selected) << "no test printer: run tools/setup (cupsd before the wineserver)";
        const std::string dir = MakeScratchDir(scratch);
        return selected && MakeFilesIn(dir, commands) && viewer.Open({dir + "/" + file});
    }
    Ref<DocItem> Page(uint32_t index) { return DocItemGetChild(viewer.Document(0).get(), index); }
    // The pages of the opened document at these indexes.
    std::shared_ptr<PtrArray> Pages(std::initializer_list<uint32_t> indexes) {
        auto pages = std::make_shared<PtrArray>(4, true);
        for (uint32_t i : indexes) PtrArrayAdd(*pages, Page(i).get());
        return pages;
    }
    Ref<PrintJob> Job(const PtrArray& pages, const PrintOptions& options, uint32_t workarounds = 0) {
        Ref<PrinterDevice> device = provider->GetDevice();
        {
            ScopedLock hold(device->lock);
            device->workaround_bits = workarounds;
        }
        return PrintJobCreate(viewer.context.get(), provider.get(), pages, options, *device);
    }
    // Prints without the status dialog and answers the queue's file.
    std::string Print(const PtrArray& pages, const PrintOptions& options, uint32_t workarounds = 0) {
        Ref<PrintJob> job = Job(pages, options, workarounds);
        if (!job) return {};
        RunHostCommand("rm -f " + kPrintOutput);
        PrintJobRun(job.get());
        return WaitForPrint();
    }
    Ref<PrintableArea> Area() { return provider->GetPrintableArea(); }
    // The image bytes of the page's sheet as the job lays it out, at one bit.
    uint64_t SheetBytes(uint32_t index, const PrintOptions& options) {
        Ref<PrintableArea> area = Area();
        Ref<PrintLayout> layout =
            area ? PrintLayoutCompute(viewer.context.get(), provider.get(), Page(index).get(), options,
                                      area.get(), options.auto_orientation != 0)
                 : nullptr;
        return layout ? PrintImageBytes(layout->placement, 1) : 0;
    }

    PrintViewer viewer;
    Ref<WinPrintProvider> provider;
    bool selected = false;
};

Ref<PrintOptions> TrueSize() {
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->fit = 0;
    options->cut_out_only = 0;
    return options;
}

}  // namespace

// 1:1 from the page's resolution: the 100 mm wide chart measures 100 mm on the
// sheet, its marks keep their sizes and corners, and it sits at the centre of
// the printable area.
TEST(PrintJobPlacement, TrueSizeIsCentredAndMeasuresOneHundredMillimetres) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_true_size", ChartCommand(100, 140, "chart.tif"), "chart.tif"));
    const std::string printed = bed.Print(*bed.Pages({0}), *TrueSize());
    ASSERT_FALSE(printed.empty());
    const std::vector<GreyPage> sheets = RasterisePrint(printed, "print_true_size_raster");
    ASSERT_EQ(sheets.size(), 1u);
    const std::vector<Mark> marks = FindMarks(sheets[0]);
    ASSERT_EQ(marks.size(), 3u);
    const Mark& a = marks[0];  // top left
    const Mark& b = marks[1];  // top right
    const Mark& c = marks[2];  // bottom left, tall
    EXPECT_LT(a.left, b.left);
    EXPECT_NEAR(b.right - a.left, 100, kTolerance);
    EXPECT_NEAR(c.bottom - a.top, 140, kTolerance);
    EXPECT_NEAR(a.width(), 10, kTolerance);
    EXPECT_NEAR(a.height(), 10, kTolerance);
    EXPECT_NEAR(c.width(), 10, kTolerance);
    EXPECT_NEAR(c.height(), 20, kTolerance);
    EXPECT_NEAR(c.left, a.left, kTolerance);
    Ref<PrintableArea> area = bed.Area();
    ASSERT_TRUE(area);
    EXPECT_NEAR((a.left + b.right) / 2, area->printable.origin.x + area->printable.size.width / 2,
                kTolerance);
    EXPECT_NEAR((a.top + c.bottom) / 2, area->printable.origin.y + area->printable.size.height / 2,
                kTolerance);
}

// Fitted, the square page fills the printable width; with the left and top
// margins and no centring it starts there.
TEST(PrintJobPlacement, FitFillsThePrintableWidthAndMarginsMoveThePage) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_fit", ChartCommand(100, 140, "chart.tif"), "chart.tif"));
    Ref<PrintableArea> area = bed.Area();
    ASSERT_TRUE(area);
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->cut_out_only = 0;
    std::vector<Mark> marks =
        FindMarks(FirstSheet(RasterisePrint(bed.Print(*bed.Pages({0}), *options), "print_fit_r")));
    ASSERT_EQ(marks.size(), 3u);
    const double scale = area->printable.size.width / 100.0;
    EXPECT_NEAR(marks[1].right - marks[0].left, area->printable.size.width, kTolerance);
    EXPECT_NEAR(marks[0].left, area->printable.origin.x, kTolerance);
    EXPECT_NEAR(marks[0].width(), 10 * scale, kTolerance);
    EXPECT_NEAR(marks[2].height(), 20 * scale, kTolerance);

    options = TrueSize();
    options->centred = 0;
    options->margin_left = 30;
    options->margin_top = 40;
    marks = FindMarks(FirstSheet(RasterisePrint(bed.Print(*bed.Pages({0}), *options), "print_margins_r")));
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_NEAR(marks[0].left, 30, kTolerance);
    EXPECT_NEAR(marks[0].top, 40, kTolerance);
    EXPECT_NEAR(marks[1].right - marks[0].left, 100, kTolerance);
}

// A landscape page on portrait paper is turned by a quarter with automatic
// orientation, and printed as it stands without.
TEST(PrintJobPlacement, AutomaticOrientationTurnsALandscapePage) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_turn", ChartCommand(180, 100, "wide.tif"), "wide.tif"));
    Ref<PrintOptions> options = TrueSize();
    std::vector<Mark> marks =
        FindMarks(FirstSheet(RasterisePrint(bed.Print(*bed.Pages({0}), *options), "print_turn_r")));
    ASSERT_EQ(marks.size(), 3u);
    double left = 1e9, right = 0, top = 1e9, bottom = 0;
    for (const Mark& m : marks) {
        left = std::min(left, m.left), right = std::max(right, m.right);
        top = std::min(top, m.top), bottom = std::max(bottom, m.bottom);
    }
    EXPECT_NEAR(bottom - top, 180, kTolerance);
    EXPECT_NEAR(right - left, 100, kTolerance);
    // The tall mark is turned too: 20 mm across, 10 mm down.
    const auto tall = std::find_if(marks.begin(), marks.end(), [](const Mark& m) { return m.width() > 15; });
    ASSERT_NE(tall, marks.end());
    EXPECT_NEAR(tall->height(), 10, kTolerance);

    options->auto_orientation = 0;
    marks = FindMarks(FirstSheet(RasterisePrint(bed.Print(*bed.Pages({0}), *options), "print_unturned_r")));
    ASSERT_EQ(marks.size(), 3u);
    EXPECT_NEAR(marks[1].right - marks[0].left, 180, kTolerance);
    EXPECT_NEAR(marks[2].height(), 20, kTolerance);
}

// A driver left without copies (workaround 512): three copies of two pages
// are three passes, of one page the page three times. (The spooler
// document's name is the program's print check.)
TEST(PrintJobCopies, JobRepeatsPassesOrPages) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_copies",
                         "convert -size 500x500 xc:white -fill black -draw 'rectangle 0,0 99,99' one.tif && "
                         "convert -size 500x500 xc:white -fill black -draw 'rectangle 0,0 99,99' "
                         "-draw 'rectangle 300,300 399,399' two.tif && "
                         "convert one.tif two.tif -units PixelsPerInch -density 254 -monochrome "
                         "-compress Group4 pair.tif",
                         "pair.tif"));
    Ref<PrintOptions> options = TrueSize();
    options->copies = 3;
    const std::string printed = bed.Print(*bed.Pages({0, 1}), *options, 512);
    ASSERT_FALSE(printed.empty());
    EXPECT_EQ(PageComments(printed).size(), 6u);
    const std::vector<GreyPage> sheets = RasterisePrint(printed, "print_copies_r");
    ASSERT_EQ(sheets.size(), 6u);
    std::vector<size_t> marks;
    for (const GreyPage& sheet : sheets) marks.push_back(FindMarks(sheet).size());
    EXPECT_EQ(marks, (std::vector<size_t>{1, 2, 1, 2, 1, 2}));

    const std::string single = bed.Print(*bed.Pages({1}), *options, 512);
    const std::vector<GreyPage> repeated = RasterisePrint(single, "print_copies_single_r");
    ASSERT_EQ(repeated.size(), 3u);
    for (const GreyPage& sheet : repeated) EXPECT_EQ(FindMarks(sheet).size(), 2u);
}

// Straight to the device, through a memory bitmap, in vertical strips: the
// same sheet each way.
TEST(PrintJobSending, EverySendPathGivesTheSameRaster) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_paths", ChartCommand(100, 140, "chart.tif"), "chart.tif"));
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->cut_out_only = 0;
    const std::vector<GreyPage> plain = RasterisePrint(bed.Print(*bed.Pages({0}), *options, 0), "print_p0");
    ASSERT_EQ(plain.size(), 1u);
    ASSERT_EQ(FindMarks(plain[0]).size(), 3u);
    for (uint32_t bits : {64u, 128u, 256u}) {
        const std::vector<GreyPage> other =
            RasterisePrint(bed.Print(*bed.Pages({0}), *options, bits), "print_p" + std::to_string(bits));
        ASSERT_EQ(other.size(), 1u) << bits;
        EXPECT_TRUE(Dark(other[0]) == Dark(plain[0])) << "workaround " << bits;
    }
}

TEST(PrintJobSending, StripsStayUnderFiveMillionBits) {
    struct Case {
        uint32_t width, height;
        uint16_t bits;
        uint32_t strip;
    };
    // 5,120,000 bits over 6000 rows are 853 columns, down to whole bytes 848.
    for (const Case& c : {Case{4000, 6000, 1, 848}, Case{300, 10000, 24, 21}, Case{10, 10, 1, 10},
                          Case{5, 6000000 / 5, 8, 1}, Case{4000, 6000, 4, 212}, Case{4000, 600000, 1, 8}}) {
        Ref<RasterImage> image =
            RasterImageCreate(c.width, std::min<uint32_t>(c.height, 10000), c.bits, true);
        ASSERT_TRUE(image);
        // Only the sides matter to the division.
        const_cast<uint32_t&>(image->height) = c.height;
        EXPECT_EQ(PrintStripWidth(*image), c.strip) << c.width << "x" << c.height << "x" << c.bits;
        const_cast<uint32_t&>(image->height) = std::min<uint32_t>(c.height, 10000);
    }
}

size_t ImageCalls(const std::string& postscript) {
    size_t count = 0;
    for (size_t at = postscript.find("imagemask"); at != std::string::npos;
         at = postscript.find("imagemask", at + 1))
        ++count;
    return count;
}

// The band sizes of a test, put back however it ends.
struct BandSizes {
    BandSizes(uint64_t threshold, uint64_t band) { PrintBandsSetSizesForTests(threshold, band); }
    ~BandSizes() { PrintBandsSetSizesForTests(0, 0); }
};

// A sheet just above the band threshold goes out in bands that meet without
// a seam or an overlap: the raster of the one-call sheet, upright, turned a
// quarter for the paper, mirrored, and in vertical strips within each band.
// The charts are 300 dpi scans, so the printer's pixels are the page's.
TEST(PrintJobBands, BandsGiveTheRasterOfTheOneCallSheet) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_bands",
                         ChartCommand(100, 140, "tall.tif", 300) + " && " +
                             ChartCommand(180, 100, "wide.tif", 300) +
                             " && tiffcp tall.tif wide.tif charts.tif",
                         "charts.tif"));
    Ref<PrintOptions> options = TrueSize();
    struct Case {
        uint32_t page;
        uint32_t workarounds;
        bool mirrored;
    };
    for (const Case& c : {Case{0, 0, false}, Case{1, 0, false}, Case{0, 0, true}, Case{1, 256, false}}) {
        const std::string what = "page " + std::to_string(c.page) + ", workarounds " +
                                 std::to_string(c.workarounds) + (c.mirrored ? ", mirrored" : "");
        Ref<CutOutState> cut_out = bed.Page(c.page)->GetCutOut();
        ASSERT_TRUE(cut_out);
        CutOutSetMirrorHorizontal(cut_out.get(), c.mirrored);
        const std::string whole = bed.Print(*bed.Pages({c.page}), *options, c.workarounds);
        const uint64_t bytes = bed.SheetBytes(c.page, *options);
        ASSERT_GT(bytes, 0u) << what;
        std::string banded;
        {
            BandSizes sizes(bytes - 1, bytes / 5);
            banded = bed.Print(*bed.Pages({c.page}), *options, c.workarounds);
        }
        EXPECT_GE(ImageCalls(banded), ImageCalls(whole) + 4) << what << ": the sheet went out in one piece";
        const std::vector<GreyPage> one = RasterisePrint(whole, "print_bands_one");
        const std::vector<GreyPage> parts = RasterisePrint(banded, "print_bands_parts");
        ASSERT_EQ(one.size(), 1u) << what;
        ASSERT_EQ(parts.size(), 1u) << what;
        ASSERT_EQ(FindMarks(one[0]).size(), 3u) << what;
        EXPECT_TRUE(Dark(parts[0]) == Dark(one[0])) << what;
        CutOutSetMirrorHorizontal(cut_out.get(), false);
    }
}

// An A2 1-bit sheet 1:1 at 600 dpi is 17 MB as an image and goes out whole;
// through the memory path it is a device bitmap of 32 bits a pixel (560 MB),
// sent in bands whose device bitmaps stay at the usual size. (9925 pixels at
// 600 dpi come back from millimetres a hair above 9925: still 1:1.)
TEST(PrintJobBands, TheMemoryPathCountsItsDeviceBitmap) {
    PagePlacement a2;
    PagePlacementInit(a2);
    a2.pixel_width = 9925, a2.pixel_height = 14031;
    a2.rect.size = SizeD{9925 * 25.4 / 600, 14031 * 25.4 / 600};
    EXPECT_TRUE(PrintBandsSplit(a2, BandSource{1, 600, 600, 0}).empty());
    const std::vector<PrintBand> bands = PrintBandsSplit(a2, BandSource{1, 600, 600, 32});
    EXPECT_GT(bands.size(), 1u);
    for (const PrintBand& band : bands) EXPECT_LE(PrintImageBytes(band.placement, 32), kBandBytes);
}

// The memory path (workaround 128) cannot make the device bitmap of an A0
// sheet at 600 dpi (over 2 GB at the driver's 32 bits): the sheet goes out
// empty and is reported as not printed, not as printed.
TEST(PrintJobSending, ARefusedSendIsNotPrinted) {
    PrintBed bed(nullptr, L"PlovexTestA0");
    ASSERT_TRUE(bed.Open("print_refused",
                         "convert -size 100x140 xc:white -fill black -draw 'rectangle 10,10 49,49' "
                         "-units PixelsPerInch -density 25.4 -monochrome -compress Group4 small.tif",
                         "small.tif"));
    Ref<PrintableArea> area = bed.Area();
    ASSERT_TRUE(area);
    ASSERT_NEAR(area->pixels_per_mm_x * 25.4, 600, 1) << "the A0 queue prints at 600 dpi";
    Ref<PrintOptions> fitted = PrintOptionsCreate();
    fitted->cut_out_only = 0;
    BandSizes one_piece(uint64_t(1) << 40, 0);
    Ref<PrintJob> job = bed.Job(*bed.Pages({0}), *fitted, 128);
    ASSERT_TRUE(job);
    PrintJobRun(job.get());
    EXPECT_EQ(job->pages_sent, 0u);
    EXPECT_EQ(job->pages_missed, 1u);
    EXPECT_EQ(job->outcome.load(), PrintOutcome::kNothingPrinted);
}

// The user-information block with the page's number within the job and the
// job's page count, read back as text.
TEST(PrintJobUserInformation, LinesCarryThePageNumberAndCount) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_user_info",
                         "convert -size 300x300 xc:white xc:white -compress Group4 two.tif", "two.tif"));
    Settings* settings = bed.viewer.settings.get();
    ASSERT_TRUE(SettingsSetUserInfoText(settings, nullptr, kCallerInternal,
                                        WString(L"Sheet <PRPGNUMBER> of <PRPGCOUNT>\r\n\r\nApproved")));
    ASSERT_TRUE(SettingsSetUserInfoPosition(settings, nullptr, kCallerInternal, 9));
    Ref<PrintOptions> options = PrintOptionsCreate();
    options->user_information = 1;
    const std::string printed = bed.Print(*bed.Pages({0, 1}), *options);
    ASSERT_FALSE(printed.empty());
    const std::string scratch = MakeScratchDir("print_user_info_text");
    WriteHostFile(scratch + "/p.ps", std::vector<uint8_t>(printed.begin(), printed.end()));
    ASSERT_EQ(RunHostCommand("gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=txtwrite -sOutputFile=" + scratch +
                             "/p.txt " + scratch + "/p.ps >/dev/null 2>&1"),
              0);
    // txtwrite writes the blanks of the font as no-break spaces.
    std::string text = ReadTextFile(scratch + "/p.txt");
    for (size_t at = text.find("\xC2\xA0"); at != std::string::npos; at = text.find("\xC2\xA0", at))
        text.replace(at, 2, " ");
    EXPECT_NE(text.find("Sheet 1 of 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Sheet 2 of 2"), std::string::npos) << text;
    EXPECT_NE(text.find("Approved"), std::string::npos) << text;
    // Bottom right: the block's text lies in the lower right quarter.
    const std::vector<GreyPage> sheets = RasterisePrint(printed, "print_user_info_r");
    ASSERT_EQ(sheets.size(), 2u);
    const std::vector<Mark> marks = FindMarks(sheets[0], 2);
    ASSERT_FALSE(marks.empty());
    for (const Mark& m : marks) {
        EXPECT_GT(m.left, 105);
        EXPECT_GT(m.top, 250);
    }
}

// With the status dialog: the cancel button stops a 20-page job within a
// second, the document is aborted and the queue holds no job.
TEST(PrintJobStatus, CancelStopsWithinASecond) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_cancel",
                         "convert -size 2000x2800 xc:white -fill black -draw 'rectangle 100,100 900,900' "
                         "-units PixelsPerInch -density 254 -monochrome -compress Group4 one.tif && "
                         "tiffcp -c g4 $(yes one.tif | head -n 20) twenty.tif",
                         "twenty.tif"));
    PtrArray pages(20, true);
    for (uint32_t i = 0; i < 20; ++i) PtrArrayAdd(pages, bed.Page(i).get());
    Ref<PrintJob> job = bed.Job(pages, *PrintOptionsCreate());
    ASSERT_TRUE(job);
    std::atomic<DWORD> cancelled_at{0};
    std::atomic<bool> stop{false};
    std::thread canceller([&] {
        for (int i = 0; i < 600 && !stop.load(); ++i) {
            HWND dialog = job->progress ? job->progress->window.load() : nullptr;
            if (dialog && job->progress->last_percent.load() >= 5) {
                cancelled_at.store(GetTickCount());
                PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_PRINT_STATUS_CANCEL, BN_CLICKED),
                             reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_PRINT_STATUS_CANCEL)));
                return;
            }
            Sleep(50);
        }
    });
    const bool shown = PrintJobStart(job.get());
    const DWORD ended = GetTickCount();
    stop.store(true);
    canceller.join();
    EXPECT_TRUE(shown);
    ASSERT_NE(cancelled_at.load(), 0u) << "the job never reported progress";
    EXPECT_LT(ended - cancelled_at.load(), 1000u);
    EXPECT_TRUE(job->finished.load());
    EXPECT_TRUE(job->progress->IsCancelled());
    EXPECT_EQ(job->outcome.load(), PrintOutcome::kCancelled);
    bool clean = false;
    for (int i = 0; i < 100 && !clean; ++i) {
        clean = RunHostCommand("test -z \"$(lpstat -o PlovexTest 2>/dev/null)\"") == 0;
        if (!clean) Sleep(50);
    }
    EXPECT_TRUE(clean) << "a job stayed in the queue";
}

// Closing the status dialog is cancelling; without a window to own the
// dialog the job never runs, and its thread still ends.
TEST(PrintJobStatus, ClosingCancelsAndAMissingDialogEndsTheThread) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_close",
                         "convert -size 300x300 xc:white xc:white xc:white -compress Group4 three.tif",
                         "three.tif"));
    Ref<PrintJob> job = bed.Job(*bed.Pages({0, 1, 2}), *PrintOptionsCreate());
    ASSERT_TRUE(job);
    std::thread closer([&] {
        for (int i = 0; i < 200; ++i) {
            HWND dialog = job->progress ? job->progress->window.load() : nullptr;
            if (dialog) {
                PostMessageW(dialog, WM_CLOSE, 0, 0);
                return;
            }
            Sleep(10);
        }
    });
    const DWORD start = GetTickCount();
    EXPECT_TRUE(PrintJobStart(job.get()));
    closer.join();
    EXPECT_LT(GetTickCount() - start, 5000u);
    EXPECT_TRUE(job->progress->IsCancelled());
    EXPECT_TRUE(job->finished.load());

    // No frame window: no dialog, no print, no thread left behind.
    RunningViewer headless;
    Ref<PrintJob> orphan = PrintJobCreate(headless.context.get(), bed.provider.get(), *bed.Pages({0}),
                                          *PrintOptionsCreate(), *bed.provider->GetDevice());
    ASSERT_TRUE(orphan);
    RunHostCommand("rm -f " + kPrintOutput);
    EXPECT_FALSE(PrintJobStart(orphan.get()));
    EXPECT_TRUE(orphan->finished.load());
    EXPECT_FALSE(orphan->thread);
    EXPECT_EQ(orphan->RefCountForTests(), 1u) << "the thread released its reference";
    Sleep(300);
    EXPECT_TRUE(ReadTextFile(kPrintOutput).empty());
}

// A printer that went away after the dialog chose it: the job says so, and
// nothing reaches the queue.
TEST(PrintJobStatus, APrinterThatDisappearedIsReported) {
    PrintBed bed;
    ASSERT_TRUE(bed.Open("print_gone", "convert -size 300x300 xc:white -compress Group4 one.tif", "one.tif"));
    Ref<PrinterDevice> gone = PrinterDeviceCopy(*bed.provider->GetDevice());
    gone->printer_name = WString(L"PlovexTestRemoved");
    Ref<PrintJob> job = PrintJobCreate(bed.viewer.context.get(), bed.provider.get(), *bed.Pages({0}),
                                       *PrintOptionsCreate(), *gone);
    ASSERT_TRUE(job);
    RunHostCommand("rm -f " + kPrintOutput);
    PrintJobRun(job.get());
    EXPECT_EQ(job->outcome.load(), PrintOutcome::kNoDevice);
    EXPECT_TRUE(ReadTextFile(kPrintOutput).empty());

    Ref<PrintJob> fine = bed.Job(*bed.Pages({0}), *PrintOptionsCreate());
    ASSERT_TRUE(fine);
    PrintJobRun(fine.get());
    EXPECT_EQ(fine->outcome.load(), PrintOutcome::kPrinted);
    EXPECT_FALSE(WaitForPrint().empty());
}

// A markup on the page prints at its place: a 20 x 15 mm rectangle 5 mm from
// the top left corner of the page printed at true size.
TEST(PrintJobMarkups, ARectangleLandsAtItsPlace) {
    PrintBed bed(RedlineMarkupsCreate().get());
    ASSERT_TRUE(
        bed.Open("print_markups",
                 "convert -size 1000x1400 xc:white -units PixelsPerInch -density 254 -compress Group4 "
                 "blank.tif",
                 "blank.tif"));
    Ref<DocItem> page = bed.Page(0);
    Ref<MarkupPage> markups = page->GetRedlinePage(bed.viewer.context.get(), false);
    RedlinePage* redline = RedlineMarkupsPageOf(markups.get());
    ASSERT_TRUE(redline) << "the page has no redlining page";
    if (!redline->GetLayer(0)) redline->CreateLayer();
    PtrArray none(1, true);
    redline->GetLayer(0)->objects.Add(
        CreateRedlineObjectFromData(2, 1, redline_type::kRectangle, 0, none, WString(L"5:5:25:20")).get());
    const std::vector<GreyPage> sheets =
        RasterisePrint(bed.Print(*bed.Pages({0}), *TrueSize()), "print_markups_r");
    ASSERT_EQ(sheets.size(), 1u);
    const std::vector<Mark> marks = FindMarks(sheets[0]);
    ASSERT_EQ(marks.size(), 1u);
    Ref<PrintableArea> area = bed.Area();
    const double page_left = area->printable.origin.x + area->printable.size.width / 2 - 50;
    const double page_top = area->printable.origin.y + area->printable.size.height / 2 - 70;
    // The outline's centre line is the rectangle; its pen widens the box.
    EXPECT_NEAR((marks[0].left + marks[0].right) / 2 - page_left, 15, kTolerance);
    EXPECT_NEAR((marks[0].top + marks[0].bottom) / 2 - page_top, 12.5, kTolerance);
    EXPECT_NEAR(marks[0].width(), 20, 1.5);
    EXPECT_NEAR(marks[0].height(), 15, 1.5);
}
