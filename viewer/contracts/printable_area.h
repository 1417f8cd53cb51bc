// The paper and its printable part in millimetres, with the device's pixels
// per millimetre: what a print provider reports and the print layout places
// pages in.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"

class PrintableArea : public RefCounted {
  public:
    SizeD paper;      // mm
    RectD printable;  // mm, inside the paper after clipping
    double pixels_per_mm_x = 0;
    double pixels_per_mm_y = 0;
};

// Both constructors clip. From millimetres:
Ref<PrintableArea> PrintableAreaFromMm(SizeD paper, RectD printable, double pixels_per_mm_x,
                                       double pixels_per_mm_y);
// From device pixels, each divided by the resolution (a resolution of 0
// gives an empty area rather than a division by zero).
Ref<PrintableArea> PrintableAreaFromDevice(uint32_t paper_width, uint32_t paper_height, RectI printable,
                                           double pixels_per_mm_x, double pixels_per_mm_y);
Ref<PrintableArea> PrintableAreaCopy(const PrintableArea& area);
// Per direction: a start at or beyond the paper moves to 0, an end beyond the
// paper is shortened to it.
void PrintableAreaClip(PrintableArea& area);
SizeI PrintableAreaPaperPixels(const PrintableArea& area);
RectI PrintableAreaPrintablePixels(const PrintableArea& area);
