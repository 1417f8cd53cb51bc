#include "viewer/contracts/printable_area.h"

#include <cmath>

namespace {

void ClipSpan(double extent, double& start, double& length) {
    if (start >= extent) start = 0;
    if (start + length > extent) length = extent - start;
}

int32_t RoundPixels(double mm, double per_mm) { return static_cast<int32_t>(std::floor(mm * per_mm + 0.5)); }

double PerPixel(double value, double per_mm) { return per_mm > 0 ? value / per_mm : 0; }

}  // namespace

void PrintableAreaClip(PrintableArea& area) {
    ClipSpan(area.paper.width, area.printable.origin.x, area.printable.size.width);
    ClipSpan(area.paper.height, area.printable.origin.y, area.printable.size.height);
}

Ref<PrintableArea> PrintableAreaFromMm(SizeD paper, RectD printable, double pixels_per_mm_x,
                                       double pixels_per_mm_y) {
    Ref<PrintableArea> area = MakeRef<PrintableArea>();
    area->paper = paper;
    area->printable = printable;
    area->pixels_per_mm_x = pixels_per_mm_x;
    area->pixels_per_mm_y = pixels_per_mm_y;
    PrintableAreaClip(*area);
    return area;
}

Ref<PrintableArea> PrintableAreaFromDevice(uint32_t paper_width, uint32_t paper_height, RectI printable,
                                           double pixels_per_mm_x, double pixels_per_mm_y) {
    const double x = pixels_per_mm_x, y = pixels_per_mm_y;
    const SizeD paper{PerPixel(paper_width, x), PerPixel(paper_height, y)};
    const RectD mm{{PerPixel(printable.size.width, x), PerPixel(printable.size.height, y)},
                   {PerPixel(printable.origin.x, x), PerPixel(printable.origin.y, y)}};
    return PrintableAreaFromMm(paper, mm, x, y);
}

Ref<PrintableArea> PrintableAreaCopy(const PrintableArea& area) {
    return PrintableAreaFromMm(area.paper, area.printable, area.pixels_per_mm_x, area.pixels_per_mm_y);
}

SizeI PrintableAreaPaperPixels(const PrintableArea& area) {
    return {RoundPixels(area.paper.width, area.pixels_per_mm_x),
            RoundPixels(area.paper.height, area.pixels_per_mm_y)};
}

RectI PrintableAreaPrintablePixels(const PrintableArea& area) {
    const RectD& r = area.printable;
    return {
        {RoundPixels(r.size.width, area.pixels_per_mm_x), RoundPixels(r.size.height, area.pixels_per_mm_y)},
        {RoundPixels(r.origin.x, area.pixels_per_mm_x), RoundPixels(r.origin.y, area.pixels_per_mm_y)}};
}
