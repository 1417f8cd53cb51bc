// Times one render case of one file inside the process (QueryPerformanceCounter,
// so Wine's start-up is not counted) and reports the process's peak working
// set around it. bench/run_bench.py drives it case by case, one process each.
//
// Usage: imaging_bench FILE CASE RUNS
//   CASE  screen      the whole page fitted into 1280 x 1024 (as the viewer's
//                     fit-page view asks for it), through PageRender
//         full        the whole page at 1:1
//         corner-tl, corner-tr, corner-bl, corner-br
//                     a 1000 x 1000 pixel cut-out of that corner at 1:1
// A FILE written as ccitt:PATH:OFFSET:LENGTH:WIDTH:HEIGHT:MODE:OPTIONS:DPI
// is one CCITT strip rendered through the shared render steps without the
// TIFF reader (decoder and sinks alone).
//
// Prints one line of key=value pairs: parse_ms, median_ms, min_ms (of RUNS
// renders), cpu_ms (the process's processor time per render, every thread
// counted), ws_before and peak (bytes, around the first render; peak_reset=1
// when the peak counter could be reset before it), out (the image's size and
// depth) and mean (its mean brightness, a sanity check).
#include <windows.h>
// psapi.h needs the types of windows.h first.
#include <psapi.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bench/bench_support.h"
#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/page_render_steps.h"

namespace {

constexpr uint32_t kScreenWidth = 1280;
constexpr uint32_t kScreenHeight = 1024;
constexpr uint32_t kCutOut = 1000;

WString Wide(const std::string& text) {
    std::wstring wide(text.size() + 1, L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), int(wide.size()));
    wide.resize(n > 0 ? size_t(n - 1) : 0);
    return WString(wide.c_str());
}

// Processor time of every thread of the process (a render that runs a
// second thread counts both), in milliseconds.
double ProcessCpuMs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ms = [](const FILETIME& t) {
        return double((uint64_t(t.dwHighDateTime) << 32) | t.dwLowDateTime) / 1e4;
    };
    return ms(kernel) + ms(user);
}

bool Memory(SIZE_T* working_set, SIZE_T* peak) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof counters;
    if (!GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters)) return false;
    *working_set = counters.WorkingSetSize;
    *peak = counters.PeakWorkingSetSize;
    return true;
}

// One CCITT strip as a page: what a TIFF page does for a single-strip
// image, without parsing a file.
class CcittStripPage final : public ImagePage {
  public:
    uint32_t offset = 0, length = 0, width = 0, height = 0, mode = 0, options = 0;
    double dpi = 0;

    Ref<RasterImage> Render(ImageStatus*, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override {
        RenderRun run;
        if (!RenderSourceRect(*placement, dpi, dpi, width, height, &run.source)) return nullptr;
        ByteReader reader;
        if (!ByteReaderInit(reader, source, false, 0) || !ByteReaderStart(reader, offset, length, nullptr, 0))
            return nullptr;
        CcittDecoder decoder(width, mode, options);
        run.image_width = width;
        run.image_height = height;
        run.image_rows = height;
        run.bits_per_pixel = 1;
        run.decoder = &decoder;
        run.reader = &reader;
        run.token_lock = &token_lock;
        run.token = &token;
        // PhotometricInterpretation 0, as fax data are stored.
        PagePlacement inverted = *placement;
        inverted.invert = !inverted.invert;
        return RenderDecode(run, inverted, progress);
    }
    bool IsBilevel() const override { return true; }
    uint32_t PixelWidth() const override { return width; }
    uint32_t PixelHeight() const override { return height; }
    double DpiX() const override { return dpi; }
    double DpiY() const override { return dpi; }
    bool GetInfo(PageInfo*) override { return false; }
};

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (size_t at; (at = text.find(separator, start)) != std::string::npos; start = at + 1)
        parts.push_back(text.substr(start, at - start));
    parts.push_back(text.substr(start));
    return parts;
}

// The file's first page, or a CCITT strip page; null with a message.
Ref<ImagePage> OpenPage(const std::string& input_name, Ref<DataSource>& source) {
    if (input_name.rfind("ccitt:", 0) == 0) {
        // ccitt:Z:\path:... - the drive letter's colon is part of the path.
        const std::vector<std::string> parts = Split(input_name.substr(6), ':');
        if (parts.size() != 9) return nullptr;
        source = DataSourceOpenFile(Wide(parts[0] + ":" + parts[1]), false);
        if (!source) return nullptr;
        Ref<CcittStripPage> page = AdoptRef(new CcittStripPage);
        page->offset = uint32_t(std::stoul(parts[2]));
        page->length = uint32_t(std::stoul(parts[3]));
        page->width = uint32_t(std::stoul(parts[4]));
        page->height = uint32_t(std::stoul(parts[5]));
        page->mode = uint32_t(std::stoul(parts[6]));
        page->options = uint32_t(std::stoul(parts[7]));
        page->dpi = std::stod(parts[8]);
        return page;
    }
    source = DataSourceOpenFile(Wide(input_name), false);
    if (!source) return nullptr;
    ImageStatus status;
    Ref<ImageFormat> format = ImageParseFile(&status, source.get(), 0);
    if (!format) {
        std::fprintf(stderr, "not parsed: status %d %d\n", status.severity, status.code);
        return nullptr;
    }
    return format->GetPage(0);
}

bool MakePlacement(ImagePage* page, const std::string& name, PagePlacement& placement) {
    PagePlacementInit(placement);
    const uint32_t width = page->PixelWidth(), height = page->PixelHeight();
    const double mm_x = 25.4 / page->DpiX(), mm_y = 25.4 / page->DpiY();
    placement.flip_y = 1;  // upright, as the viewer asks
    placement.rect.size.width = page->WidthMm();
    placement.rect.size.height = page->HeightMm();
    if (name == "screen") {
        const double scale = std::min(double(kScreenWidth) / width, double(kScreenHeight) / height);
        placement.pixel_width = std::max<uint32_t>(1, uint32_t(width * scale + 0.5));
        placement.pixel_height = std::max<uint32_t>(1, uint32_t(height * scale + 0.5));
        return true;
    }
    if (name == "full") {
        placement.pixel_width = width;
        placement.pixel_height = height;
        return true;
    }
    if (name.rfind("corner-", 0) != 0 || name.size() != 9 || width < kCutOut || height < kCutOut)
        return false;
    const bool bottom = name[7] == 'b', right = name[8] == 'r';
    placement.rect.origin.x = right ? (width - kCutOut) * mm_x : 0;
    placement.rect.origin.y = bottom ? (height - kCutOut) * mm_y : 0;
    placement.rect.size.width = kCutOut * mm_x;
    placement.rect.size.height = kCutOut * mm_y;
    placement.pixel_width = kCutOut;
    placement.pixel_height = kCutOut;
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: imaging_bench FILE CASE RUNS\n");
        return 2;
    }
    const int runs = std::max(1, std::atoi(argv[3]));
    const double parse_start = NowMs();
    Ref<DataSource> source;
    Ref<ImagePage> page = OpenPage(argv[1], source);
    const double parse_ms = NowMs() - parse_start;
    PagePlacement placement;
    if (!page || !MakePlacement(page.get(), argv[2], placement)) {
        std::fprintf(stderr, "cannot open %s for case %s\n", argv[1], argv[2]);
        return 1;
    }
    SIZE_T ws_before = 0, peak_before = 0, ws_after = 0, peak = 0;
    const bool reset = ResetPeakWorkingSet();
    Memory(&ws_before, &peak_before);
    std::vector<double> times;
    Ref<RasterImage> image;
    const double cpu_start = ProcessCpuMs();
    for (int i = 0; i < runs; ++i) {
        image = nullptr;  // the last image goes before the next render
        ImageStatus status;
        const double start = NowMs();
        image = PageRender(page.get(), &status, source.get(), &placement, nullptr);
        times.push_back(NowMs() - start);
        if (!image) {
            std::fprintf(stderr, "render failed: status %d %d\n", status.severity, status.code);
            return 1;
        }
        if (i == 0) Memory(&ws_after, &peak);
    }
    const double cpu_ms = (ProcessCpuMs() - cpu_start) / runs;
    std::sort(times.begin(), times.end());
    std::printf(
        "parse_ms=%.2f median_ms=%.2f min_ms=%.2f cpu_ms=%.2f runs=%d ws_before=%lu peak=%lu peak_reset=%d "
        "out=%ux%ux%u mean=%.4f\n",
        parse_ms, times[times.size() / 2], times[0], cpu_ms, runs, static_cast<unsigned long>(ws_before),
        static_cast<unsigned long>(peak), reset ? 1 : 0, image->width, image->height, image->bits_per_pixel,
        image->MeanBrightness());
    return 0;
}
