// The spooler's provider against the test printer that tools/setup adds to
// CUPS (queue PlovexTest, the project's PPD with A4, A3 and Letter and the
// trays Upper and Lower, PostScript written to /var/spool/plovex). Wine's
// PostScript driver is the independent translator, ghostscript reads its
// output back. Without that printer these tests fail: run tools/setup, and
// start the prefix's wineserver after cupsd.
#include "printing/win_print_provider.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <string>

#include "foundation/handles.h"
#include "tests/printing/print_test_support.h"
#include "viewer/app/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr wchar_t kTestPrinter[] = L"PlovexTest";

struct SpoolerFixture {
    SpoolerFixture() {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        provider = MakeRef<WinPrintProvider>(L"Windows printing");
        provider->Init();
    }
    ~SpoolerFixture() { AppShutdown(root.get()); }
    int32_t PaperIndex(const wchar_t* name) {
        for (uint32_t i = 0; i < provider->GetPaperCount(); ++i)
            if (Wide(provider->GetPaperAt(i)->name) == name) return static_cast<int32_t>(i);
        return -1;
    }
    int32_t BinIndex(const wchar_t* name) {
        for (uint32_t i = 0; i < provider->GetBinCount(); ++i)
            if (Wide(provider->GetBinAt(i)->name).find(name) != std::wstring::npos)
                return static_cast<int32_t>(i);
        return -1;
    }
    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<WinPrintProvider> provider;
};

// Prints one page with a black box on the device's settings and waits
// (bounded) for the queue's file.
std::string PrintOnePage(PrinterDevice& device, const std::wstring& title) {
    RunHostCommand("rm -f " + kPrintOutput);
    MemoryDC dc = MemoryDC::Adopt(PrinterDeviceCreateDC(device));
    if (!dc) return {};
    DOCINFOW info = {};
    info.cbSize = sizeof(info);
    info.lpszDocName = title.c_str();
    if (StartDocW(dc.get(), &info) <= 0) return {};
    StartPage(dc.get());
    PatBlt(dc.get(), 100, 100, 300, 300, BLACKNESS);
    EndPage(dc.get());
    EndDoc(dc.get());
    dc.Reset();
    return WaitForPrint();
}

}  // namespace

TEST(WinPrintProvider, ListsTheTestPrinterWithItsPapersAndBins) {
    SpoolerFixture f;
    ASSERT_TRUE(f.provider->LoadSettings(f.context.get()))
        << "no printer: tools/setup adds PlovexTest to CUPS; cupsd must run before the wineserver";
    EXPECT_EQ(Wide(f.provider->DefaultPrinterName()), kTestPrinter);
    WString current;
    EXPECT_EQ(Wide(f.provider->GetCurrentPrinter(current)), kTestPrinter);
    bool listed = false;
    for (uint32_t i = 0; i < f.provider->GetPrinterCount(); ++i)
        listed |= Wide(f.provider->GetPrinterAt(i)->name) == kTestPrinter;
    EXPECT_TRUE(listed);
    EXPECT_FALSE(f.provider->GetPrinterAt(f.provider->GetPrinterCount()));

    // The PPD's three papers with their sizes, and its two trays.
    ASSERT_EQ(f.provider->GetPaperCount(), 3u);
    const int32_t a4 = f.PaperIndex(L"A4"), a3 = f.PaperIndex(L"A3");
    ASSERT_GE(a4, 0);
    ASSERT_GE(a3, 0);
    EXPECT_EQ(f.provider->GetPaperAt(a4)->code, DMPAPER_A4);
    EXPECT_NEAR(f.provider->GetPaperAt(a3)->width_mm, 297, 0.5);
    EXPECT_NEAR(f.provider->GetPaperAt(a3)->height_mm, 420, 0.5);
    EXPECT_EQ(f.provider->GetCurrentPaper(), a4);  // the PPD's default
    EXPECT_GE(f.provider->GetBinCount(), 2u);
    EXPECT_GE(f.BinIndex(L"Upper"), 0);
    EXPECT_GE(f.BinIndex(L"Lower"), 0);
    EXPECT_TRUE(f.provider->HasFeature(print_feature::kPapers));
    EXPECT_TRUE(f.provider->HasFeature(print_feature::kBins));
    EXPECT_FALSE(f.provider->HasFeature(print_feature::kFold));
    EXPECT_FALSE(f.provider->HasFeature(print_feature::kColour));  // *ColorDevice: False

    // The printable area comes from the device: A4 at the driver's resolution.
    Ref<PrintableArea> area = f.provider->GetPrintableArea();
    ASSERT_TRUE(area);
    EXPECT_NEAR(area->paper.width, 210, 1);
    EXPECT_NEAR(area->paper.height, 297, 1);
    EXPECT_GT(area->printable.origin.x, 0);
    EXPECT_LE(area->printable.origin.x + area->printable.size.width, area->paper.width + 1e-9);
    EXPECT_NEAR(PrintableAreaPaperPixels(*area).width, area->paper.width * area->pixels_per_mm_x, 1);

    WString status;
    EXPECT_EQ(Wide(f.provider->GetStatusText(status, f.context.get())),
              ViewerTextOrEmpty(f.context.get(), 2917));
}

TEST(WinPrintProvider, ChosenPaperAndBinReachThePrintedPostScript) {
    SpoolerFixture f;
    ASSERT_TRUE(f.provider->SelectPrinter(f.context.get(), WString(kTestPrinter))) << "no printer PlovexTest";
    const int32_t a3 = f.PaperIndex(L"A3"), lower = f.BinIndex(L"Lower");
    ASSERT_GE(a3, 0);
    ASSERT_GE(lower, 0);
    ASSERT_TRUE(f.provider->SelectPaper(f.context.get(), static_cast<uint32_t>(a3)));
    EXPECT_EQ(f.provider->GetCurrentPaper(), a3);
    ASSERT_TRUE(f.provider->SelectBin(f.context.get(), static_cast<uint32_t>(lower)));
    // Choosing the tray keeps the paper.
    EXPECT_EQ(f.provider->GetCurrentBin(), lower);
    EXPECT_EQ(f.provider->GetCurrentPaper(), a3);
    EXPECT_NEAR(f.provider->GetPrintableArea()->paper.height, 420, 1);
    ASSERT_TRUE(f.provider->SetOrientation(f.context.get(), 1));
    EXPECT_EQ(f.provider->GetOrientation(), 1u);
    ASSERT_TRUE(f.provider->SetOrientation(f.context.get(), 0));

    Ref<PrinterDevice> device = PrinterDeviceCopy(*f.provider->GetDevice());
    const std::string postscript = PrintOnePage(*device, L"plovex-paper-and-bin");
    ASSERT_FALSE(postscript.empty()) << "nothing arrived in " << kPrintOutput;
    EXPECT_NE(postscript.find("%%Title: plovex-paper-and-bin"), std::string::npos);
    EXPECT_NE(postscript.find("%%BeginFeature: *PageSize A3"), std::string::npos);
    EXPECT_NE(postscript.find("%%BeginFeature: *InputSlot Lower"), std::string::npos);

    // Ghostscript lays the page out as A3: 297 x 420 mm.
    const std::vector<GreyPage> sheets = RasterisePrint(postscript, "spooler_gs");
    ASSERT_EQ(sheets.size(), 1u);
    EXPECT_NEAR(sheets[0].width, 297 * kRasterPixelsPerMm, 2);
    EXPECT_NEAR(sheets[0].height, 420 * kRasterPixelsPerMm, 2);
}

TEST(PrinterDevice, ARefusedOrFailedChangeKeepsTheDevice) {
    SpoolerFixture f;
    Ref<PrinterDevice> device = f.provider->GetDevice();
    ASSERT_TRUE(PrinterDeviceOpen(*device, f.context.get(), WString(kTestPrinter)))
        << "no printer PlovexTest";
    const std::vector<uint8_t> before = device->devmode;
    const int16_t paper = device->paper_size;
    // A printer that does not exist: the open fails and empties the device.
    Ref<PrinterDevice> other = PrinterDeviceCopy(*device);
    EXPECT_FALSE(PrinterDeviceOpen(*other, f.context.get(), WString(L"No such printer")));
    EXPECT_TRUE(other->devmode.empty());
    EXPECT_EQ(WStrLength(other->printer_name), 0u);
    EXPECT_FALSE(PrinterDeviceCreateDC(*other));
    EXPECT_EQ(PrinterDeviceGetCapabilities(*other, DC_PAPERS, nullptr), 0);
    // The copy was independent of the original.
    EXPECT_EQ(device->devmode, before);
    EXPECT_EQ(device->paper_size, paper);
    EXPECT_FALSE(PrinterDeviceOpen(*device, f.context.get(), WString()));
    EXPECT_FALSE(PrinterDeviceShowProperties(*device, f.context.get(), nullptr));
}

// Another printer's driver gets its own defaults with the asked public
// fields, never the first printer's settings: the tray chosen on the test
// printer does not follow to the other one.
TEST(PrinterDevice, ChangingPrintersStartsFromTheNewDriversDefaults) {
    SpoolerFixture f;
    ASSERT_TRUE(f.provider->SelectPrinter(f.context.get(), WString(kTestPrinter))) << "no printer PlovexTest";
    const int32_t lower = f.BinIndex(L"Lower");
    ASSERT_GE(lower, 0);
    ASSERT_TRUE(f.provider->SelectBin(f.context.get(), static_cast<uint32_t>(lower)));
    Ref<PrinterDevice> device = f.provider->GetDevice();
    const int16_t chosen_source = device->paper_source;

    Ref<PrinterDevice> fresh = MakeRef<PrinterDevice>();
    ASSERT_TRUE(PrinterDeviceOpen(*fresh, f.context.get(), WString(L"PlovexTestOther")))
        << "no printer PlovexTestOther (tools/setup)";
    PrinterChange change;
    change.mask = PrinterChange::kOrientation;
    change.orientation = 1;
    ASSERT_TRUE(PrinterDeviceOpen(*device, f.context.get(), WString(L"PlovexTestOther"), &change));
    EXPECT_EQ(device->landscape, 1u);
    EXPECT_EQ(device->paper_source, fresh->paper_source);
    EXPECT_NE(device->paper_source, chosen_source) << fresh->paper_source;
    EXPECT_EQ(device->paper_size, fresh->paper_size);
}
