// The render request of a page and the token that carries a page's grey
// level from a whole-page render into later renders of its parts.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"

// Lent by a page to its sink's finishing step; created invalid.
class RenderToken : public RefCounted {
  public:
    uint8_t grey_level = 0;
    uint8_t valid = 0;
};

// What to render: a rectangle of the page (millimetres of the unrotated
// image, origin at its first stored pixel, x along the rows) at a pixel size
// measured after rotation. Images keep their rows bottom-up while decoders
// deliver the top row first: flip y = 1 reverses the rows so that the
// picture stands upright.
struct PagePlacement {
    RectD rect;
    uint32_t pixel_width = 0;
    uint32_t pixel_height = 0;
    uint8_t flip_x = 0;
    uint8_t flip_y = 0;
    uint16_t rotation = 0;  // 0, 90, 180 or 270, clockwise
    uint8_t invert = 0;
    uint32_t reserved = 0;       // always 0; compared, never read
    uint32_t flags = 0;          // bit 0: render a TIFF page from its full-size image
    uint32_t negative_mode = 0;  // 0 off, 1 show positive, 2 show negative
};

constexpr uint32_t kPlacementFullSizeImage = 1;

PagePlacement& PagePlacementInit(PagePlacement& placement);
PagePlacement& PagePlacementCopy(PagePlacement& placement, const PagePlacement& other);
// Everything but the negative mode.
bool PagePlacementEquals(const PagePlacement& placement, const PagePlacement& other);
// Page point to the pixel of the produced image (y counted from the
// picture's top line) and back; the second is the exact inverse of the
// continuous mapping, without rounding.
PointI PagePlacementPageToPixel(const PagePlacement& placement, const PointD& page);
PointD PagePlacementPixelToPage(const PagePlacement& placement, const PointI& pixel);
// Pixels per millimetre along the page's x and y.
double PagePlacementScaleX(const PagePlacement& placement);
double PagePlacementScaleY(const PagePlacement& placement);
double PagePlacementScale(const PagePlacement& placement);
