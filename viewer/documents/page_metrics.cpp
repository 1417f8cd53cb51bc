#include "viewer/documents/page_metrics.h"

#include "imaging/formats/page_render_steps.h"

Ref<PageMetrics> PageMetricsCreate(const SizeD& page_size, double dpi_x, double dpi_y) {
    Ref<PageMetrics> metrics = MakeRef<PageMetrics>();
    metrics->page_size = page_size;
    metrics->dpi_x = dpi_x;
    metrics->dpi_y = dpi_y;
    return metrics;
}

SizeI PageMetricsPixelSize(const PageMetrics* metrics) {
    // The same rounding as the renders use, so a page measures as many pixels as it renders.
    return SizeI{MmToPixels(metrics->page_size.width, metrics->dpi_x),
                 MmToPixels(metrics->page_size.height, metrics->dpi_y)};
}
