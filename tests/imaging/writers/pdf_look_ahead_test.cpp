// The look-ahead of carried Group 4 pages: every page gets its own data as
// a check in turn reads them, within a bounded window, and no worker
// outlives it.
#include "imaging/writers/pdf_look_ahead.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <algorithm>
#include <cstring>
#include <string>

#include "foundation/pool.h"
#include "tests/imaging/writers/pdf_test_support.h"

namespace {

constexpr uint32_t kWorkers = 3;
// More than the window of kWorkers holds.
constexpr uint32_t kEarlyPages = 8;

// Without the freed blocks the pool keeps for reuse.
uint64_t PrivateBytes() {
    PoolReleaseSpareBlocks();
    PROCESS_MEMORY_COUNTERS counters = {};
    return GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters) ? counters.PagefileUsage : 0;
}

// `pages` pages of noise, each of its own, in one Group 4 strip per page:
// the check of such a page takes long enough for the workers to overlap.
std::string MakeNoiseDocument(const std::string& dir, uint32_t pages) {
    const std::string path = dir + "/noise.tif";
    EXPECT_EQ(RunHostCommand("cd '" + dir + "' && for n in $(seq -w 1 " + std::to_string(pages) +
                             "); do pgmnoise -randomseed $n 1200 1200 | pamthreshold -simple | pnmtotiff -g4"
                             " -rowsperstrip 1200 -miniswhite > p$n.tif || exit 1; done 2>/dev/null"
                             " && tiffcp p*.tif noise.tif && rm p*.tif"),
              0);
    return path;
}

bool SameImage(const PdfCarriedImage& a, const PdfCarriedImage& b) {
    return a.length == b.length && a.length > 0 && memcmp(a.coded.data(), b.coded.data(), a.length) == 0;
}

// The page's data as the writer checks them without look-ahead.
PdfCarriedImage InTurn(const OpenedTiff& tiff, uint32_t index) {
    PdfCarriedImage image;
    EXPECT_TRUE(PdfReadCarriedImage(tiff.format->GetPage(index).get(), tiff.data.get(), kPdfModeGroup4,
                                    {}, nullptr, image));
    return image;
}

}  // namespace

TEST(PdfLookAhead, EveryPageGetsItsOwnDataWithinABoundedWindow) {
    const uint32_t pages = 32;
    const std::string dir = MakeScratchDir("pdf_look_ahead");
    const OpenedTiff tiff = OpenTiff(MakeNoiseDocument(dir, pages));
    ASSERT_TRUE(tiff.format);
    ASSERT_EQ(tiff.format->PageCount(), pages);
    const uint32_t threads = ProcessThreadCount();
    ASSERT_GT(threads, 0u) << "the threads of the process cannot be counted here";
    const uint64_t start = PrivateBytes();
    uint64_t peak = start, early_peak = start;
    {
        PdfLookAhead ahead(tiff.data.get(), kPdfModeGroup4, kWorkers);
        uint32_t next = 0;
        for (uint32_t i = 0; i < pages; ++i) {
            for (; next < pages && ahead.HasRoom(next, i); ++next)
                ahead.Offer(next, tiff.format->GetPage(next).get(), {});
            peak = std::max(peak, PrivateBytes());
            if (i < kEarlyPages) early_peak = peak;
            PdfCarriedImage image;
            ASSERT_TRUE(ahead.Take(i, nullptr, image)) << "page " << i;
            EXPECT_TRUE(SameImage(image, InTurn(tiff, i))) << "page " << i;
        }
        EXPECT_GT(ProcessThreadCount(), threads) << "no worker ran";
    }
    EXPECT_EQ(ProcessThreadCount(), threads) << "a worker outlived the look-ahead";
    // Flat once the window is full; pages read ahead without bound would
    // come to the file's size.
    EXPECT_LT(peak - start, (early_peak - start) * 3 / 2);
    EXPECT_LT(peak - start, ReadHostFile(dir + "/noise.tif").size() * 2 / 3);
}
