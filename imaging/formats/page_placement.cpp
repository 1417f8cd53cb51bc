#include "imaging/formats/page_placement.h"

#include <cmath>

namespace {

bool QuarterTurn(uint16_t rotation) { return rotation == 90 || rotation == 270; }

int32_t TruncToInt(double value) {
    if (!(value > -2147483648.0)) return INT32_MIN;  // NaN too
    if (value >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(value);
}

}  // namespace

PagePlacement& PagePlacementInit(PagePlacement& placement) {
    placement = PagePlacement{};
    RectDInitEmpty(placement.rect);
    return placement;
}

PagePlacement& PagePlacementCopy(PagePlacement& placement, const PagePlacement& other) {
    placement = other;
    return placement;
}

bool PagePlacementEquals(const PagePlacement& placement, const PagePlacement& other) {
    return RectDEquals(placement.rect, other.rect) && placement.pixel_width == other.pixel_width &&
           placement.pixel_height == other.pixel_height && placement.flip_x == other.flip_x &&
           placement.flip_y == other.flip_y && placement.rotation == other.rotation &&
           placement.invert == other.invert && placement.reserved == other.reserved &&
           placement.flags == other.flags;
}

PointI PagePlacementPageToPixel(const PagePlacement& placement, const PointD& page) {
    const RectD& r = placement.rect;
    double u = (page.x - r.origin.x) / r.size.width, v = (page.y - r.origin.y) / r.size.height;
    if (placement.flip_x) u = 1 - u;
    if (!placement.flip_y) v = 1 - v;
    double ru = u, rv = v;
    switch (placement.rotation) {
        case 90:
            ru = 1 - v, rv = u;
            break;
        case 180:
            ru = 1 - u, rv = 1 - v;
            break;
        case 270:
            ru = v, rv = 1 - u;
            break;
        default:
            break;
    }
    return PointI{TruncToInt(ru * static_cast<double>(placement.pixel_width) + 0.5),
                  TruncToInt(rv * static_cast<double>(placement.pixel_height) + 0.5)};
}

PointD PagePlacementPixelToPage(const PagePlacement& placement, const PointI& pixel) {
    const double pu = pixel.x / static_cast<double>(placement.pixel_width);
    const double pv = pixel.y / static_cast<double>(placement.pixel_height);
    double u = pu, v = pv;
    switch (placement.rotation) {
        case 90:
            u = pv, v = 1 - pu;
            break;
        case 180:
            u = 1 - pu, v = 1 - pv;
            break;
        case 270:
            u = 1 - pv, v = pu;
            break;
        default:
            break;
    }
    if (placement.flip_x) u = 1 - u;
    if (!placement.flip_y) v = 1 - v;
    const RectD& r = placement.rect;
    return PointD{u * r.size.width + r.origin.x, v * r.size.height + r.origin.y};
}

double PagePlacementScaleX(const PagePlacement& placement) {
    const double pixels = QuarterTurn(placement.rotation) ? placement.pixel_height : placement.pixel_width;
    return pixels / placement.rect.size.width;
}

double PagePlacementScaleY(const PagePlacement& placement) {
    const double pixels = QuarterTurn(placement.rotation) ? placement.pixel_width : placement.pixel_height;
    return pixels / placement.rect.size.height;
}

double PagePlacementScale(const PagePlacement& placement) {
    if (!(placement.rect.size.width > 0) || !(placement.rect.size.height > 0)) return 1.0;
    return std::sqrt(PagePlacementScaleX(placement) * PagePlacementScaleY(placement));
}
