// One page placement frozen in a window: converts between page millimetres
// and window pixels. Made anew for every paint and every conversion, never
// changed afterwards, so it can be shared freely between threads.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "imaging/formats/page_placement.h"

class ViewMapping : public RefCounted {
  public:
    ViewMapping(int32_t page_id, const PointI& window_offset, const PagePlacement& placement, double zoom_x,
                double zoom_y)
        : page_id(page_id),
          window_offset(window_offset),
          placement(placement),
          zoom_x(zoom_x),
          zoom_y(zoom_y) {}

    const int32_t page_id;       // the page item shown
    const PointI window_offset;  // where the placement's pixel (0, 0) lies in the window
    const PagePlacement placement;
    // The factors by which the mapping divides the placement's pixels per
    // millimetre (the target's pixels per millimetre, so that the scales
    // below are magnifications against true size).
    const double zoom_x;
    const double zoom_y;
};

// Null when a zoom factor is not positive and finite.
Ref<ViewMapping> ViewMappingConstruct(int32_t page_id, const PointI& window_offset,
                                      const PagePlacement& placement, double zoom_x, double zoom_y);
// Page point to window pixel and back (the second without rounding).
PointI ViewMapPageToDevice(const ViewMapping* mapping, const PointD& page);
PointD ViewMapDeviceToPage(const ViewMapping* mapping, const PointI& window);
// The placement's pixels per millimetre along the page's x (y) over the
// zoom factor of the window axis that the page's x (y) runs along.
double ViewMappingScaleX(const ViewMapping* mapping);
double ViewMappingScaleY(const ViewMapping* mapping);
