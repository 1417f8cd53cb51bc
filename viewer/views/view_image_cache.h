// How the main view gets its picture from the one-entry bitmap cache also
// while it scrolls. A render for a view that shows only part of its page
// covers a margin around the shown part, on the same pixel grid, so that a
// scrolled view of the same scale is a window into the cached image and
// needs no decoder; the view's mapping stays that of the shown part.
//
// Renders start on whole pixels of the page's own image. Where one image
// pixel becomes a whole number n of view pixels, margins and windows move by
// multiples of n, so that a window shows exactly what a render of it would;
// at other scales a window may sample the image a fraction of a pixel away
// from such a render, as an adapted (mirrored) cache entry does.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "imaging/formats/page_placement.h"
#include "imaging/raster/raster_image.h"

class BitmapCacheEntry;

// At most this many pixels are rendered for a widened request.
inline constexpr uint64_t kWidenedRenderMaxPixels = 12000000;

// The view pixels by which windows and margins move along the page's x and
// y: n where one image pixel shows as a whole number n > 1 of view pixels,
// else 1.
struct ViewPixelGrid {
    uint32_t step_x = 1;
    uint32_t step_y = 1;
};
// From the request's scale and the page's resolution (dots per inch; 0 when
// unknown gives steps of 1).
ViewPixelGrid ViewPixelGridFor(const PagePlacement& request, const SizeD& page_dpi);

// The request grown on each side by up to its own extent (less when the
// pixel budget asks for less), never beyond the page, by whole steps of the
// grid: same scale, rotation, flips, inversion and flags. The request itself
// when it shows the whole page or when the budget leaves no useful margin.
PagePlacement WidenPlacementForScrolling(const PagePlacement& request, const SizeD& page_size,
                                         const ViewPixelGrid& grid = {},
                                         uint64_t max_pixels = kWidenedRenderMaxPixels);

// Where the request's pixel (0, 0) lies in the image of `outer`, when the
// request is a window into it by whole steps of the grid: same scale,
// rotation, flips, inversion and flags, lying inside it. False otherwise.
bool PlacementWindowOffset(const PagePlacement& outer, const PagePlacement& request, PointI& offset,
                           const ViewPixelGrid& grid = {});

struct CachedViewImage {
    Ref<RasterImage> image;
    PointI source_offset;  // the request's pixel (0, 0) in the image
};

// The cached picture of the request: the entry's image when it answers the
// request itself, or when the request is a window into it; an entry that
// differs in inversion, flips or (square images only) a quarter turn is
// adapted first (BitmapCacheLookup). False (render anew) otherwise.
bool ViewCacheLookup(BitmapCacheEntry* entry, int32_t page_id, const PagePlacement& request,
                     const ViewPixelGrid& grid, CachedViewImage& out);
