#include "printing/print_bands.h"

#include <algorithm>
#include <atomic>
#include <cmath>

#include "imaging/formats/image_format.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/sinks/raster_sink.h"
#include "viewer/documents/doc_item.h"

namespace {

std::atomic<uint64_t> threshold_for_tests{0};
std::atomic<uint64_t> band_bytes_for_tests{0};

uint64_t Threshold() {
    const uint64_t set = threshold_for_tests.load();
    return set ? set : kBandThresholdBytes;
}

uint64_t BandBytes() {
    const uint64_t set = band_bytes_for_tests.load();
    return set ? set : kBandBytes;
}

bool QuarterTurned(const PagePlacement& placement) {
    return placement.rotation == 90 || placement.rotation == 270;
}

// The picture's rows run along the page's y, or along its x once turned by
// a quarter: the band's edges are millimetres on that axis.
struct BandAxis {
    const PagePlacement& whole;
    bool along_x;
    double dpi;

    double PageAt(uint32_t row) const {
        const PointD page = PagePlacementPixelToPage(whole, PointI{0, static_cast<int32_t>(row)});
        return along_x ? page.x : page.y;
    }
    // The nearest source pixel edge, where the reader's rounding of the
    // band's rectangle lands on the same row as its neighbour's.
    double Snapped(double mm) const {
        if (dpi <= 0) return mm;
        return std::floor(mm * dpi / 25.4 + 0.5) * 25.4 / dpi;
    }
    uint32_t RowOf(double mm) const {
        const RectD& r = whole.rect;
        const PointD page = along_x ? PointD{mm, r.origin.y} : PointD{r.origin.x, mm};
        return static_cast<uint32_t>(std::max(0, PagePlacementPageToPixel(whole, page).y));
    }
};

// A reduction of a target this large goes through the direct sink; a band
// must stay as large, or it would be averaged into grey instead.
bool BandsMustStayHuge(const PagePlacement& whole, const BandSource& source) {
    const uint64_t pixels = uint64_t(whole.pixel_width) * whole.pixel_height;
    if (pixels < kSinkHugeTarget) return false;
    if (source.dpi_x <= 0 || source.dpi_y <= 0) return true;
    const bool turned = QuarterTurned(whole);
    const int64_t across = turned ? whole.pixel_height : whole.pixel_width;
    const int64_t down = turned ? whole.pixel_width : whole.pixel_height;
    // The source's pixels counted as the reader counts them: a 1:1 whose
    // millimetres come back a hair above a whole pixel is no reduction.
    return MmToPixels(whole.rect.size.width, source.dpi_x) > across ||
           MmToPixels(whole.rect.size.height, source.dpi_y) > down;
}

PrintBand MakeBand(const PagePlacement& whole, const BandAxis& axis, uint32_t top, uint32_t bottom,
                   double top_mm, double bottom_mm) {
    PrintBand band;
    PagePlacementCopy(band.placement, whole);
    band.top = top;
    band.placement.pixel_height = bottom - top;
    RectD& r = band.placement.rect;
    const double low = std::min(top_mm, bottom_mm), high = std::max(top_mm, bottom_mm);
    if (axis.along_x) {
        r.origin.x = low;
        r.size.width = high - low;
    } else {
        r.origin.y = low;
        r.size.height = high - low;
    }
    return band;
}

}  // namespace

BandSource PrintBandSourceOf(DocItem* item) {
    BandSource source;
    Ref<ImagePage> page = item ? DocItemGetPage(item) : nullptr;
    PageInfo info;
    if (!page || !page->GetInfo(&info)) return source;
    source.bits_per_pixel = info.bits_per_pixel <= 1 ? 1 : info.bits_per_pixel <= 8 ? 8 : 24;
    source.dpi_x = page->DpiX();
    source.dpi_y = page->DpiY();
    return source;
}

uint64_t PrintImageBytes(const PagePlacement& whole, uint16_t bits_per_pixel) {
    const uint64_t row = (uint64_t(whole.pixel_width) * bits_per_pixel + 31) / 32 * 4;
    return row * whole.pixel_height;
}

std::vector<PrintBand> PrintBandsSplit(const PagePlacement& whole, const BandSource& source) {
    std::vector<PrintBand> bands;
    // What the send holds: the image, or the memory path's deeper bitmap.
    const uint16_t bits = std::max<uint16_t>({source.bits_per_pixel, source.send_bits_per_pixel, 1});
    if (whole.pixel_width == 0 || whole.pixel_height < 2 || PrintImageBytes(whole, bits) <= Threshold())
        return bands;
    uint64_t pixels = BandBytes() * 8 / bits;
    if (BandsMustStayHuge(whole, source)) pixels = std::max(pixels, kSinkHugeTarget);
    const uint32_t rows = static_cast<uint32_t>(std::max<uint64_t>(1, pixels / whole.pixel_width));
    if (rows >= whole.pixel_height) return bands;

    const bool along_x = QuarterTurned(whole);
    const BandAxis axis{whole, along_x, along_x ? source.dpi_x : source.dpi_y};
    uint32_t top = 0;
    double top_mm = axis.PageAt(0);
    const double end_mm = axis.PageAt(whole.pixel_height);
    while (top < whole.pixel_height) {
        uint32_t bottom = whole.pixel_height;
        double bottom_mm = end_mm;
        if (uint64_t(top) + rows < whole.pixel_height) {
            bottom = top + rows;
            bottom_mm = axis.PageAt(bottom);
            const double edge = axis.Snapped(bottom_mm);
            const uint32_t row = axis.RowOf(edge);
            if (row > top && row < whole.pixel_height) bottom = row, bottom_mm = edge;
        }
        bands.push_back(MakeBand(whole, axis, top, bottom, top_mm, bottom_mm));
        top = bottom;
        top_mm = bottom_mm;
    }
    return bands;
}

void PrintBandsSetSizesForTests(uint64_t threshold_bytes, uint64_t band_bytes) {
    threshold_for_tests.store(threshold_bytes);
    band_bytes_for_tests.store(band_bytes);
}
