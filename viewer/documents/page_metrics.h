// A page's size and resolution, as the document tree answers them for the
// status bar, measuring and the bitmap export.
#pragma once

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"

class PageMetrics : public RefCounted {
  public:
    SizeD page_size;     // millimetres
    double dpi_x = 0.0;  // dots per inch
    double dpi_y = 0.0;
};

Ref<PageMetrics> PageMetricsCreate(const SizeD& page_size, double dpi_x, double dpi_y);
// The page in pixels at its resolution: trunc(mm x dpi / 25.4 + 0.5) per side.
SizeI PageMetricsPixelSize(const PageMetrics* metrics);
