#include "viewer/model/view_mapping.h"

#include <cmath>

namespace {

bool QuarterTurn(uint16_t rotation) { return rotation == 90 || rotation == 270; }

int32_t ClampToInt(int64_t value) {
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

bool PositiveFinite(double value) { return value > 0 && std::isfinite(value); }

}  // namespace

Ref<ViewMapping> ViewMappingConstruct(int32_t page_id, const PointI& window_offset,
                                      const PagePlacement& placement, double zoom_x, double zoom_y) {
    if (!PositiveFinite(zoom_x) || !PositiveFinite(zoom_y)) return nullptr;
    return MakeRef<ViewMapping>(page_id, window_offset, placement, zoom_x, zoom_y);
}

PointI ViewMapPageToDevice(const ViewMapping* mapping, const PointD& page) {
    const PointI pixel = PagePlacementPageToPixel(mapping->placement, page);
    return PointI{ClampToInt(int64_t(pixel.x) + mapping->window_offset.x),
                  ClampToInt(int64_t(pixel.y) + mapping->window_offset.y)};
}

PointD ViewMapDeviceToPage(const ViewMapping* mapping, const PointI& window) {
    const PointI pixel{ClampToInt(int64_t(window.x) - mapping->window_offset.x),
                       ClampToInt(int64_t(window.y) - mapping->window_offset.y)};
    return PagePlacementPixelToPage(mapping->placement, pixel);
}

double ViewMappingScaleX(const ViewMapping* mapping) {
    const double zoom = QuarterTurn(mapping->placement.rotation) ? mapping->zoom_y : mapping->zoom_x;
    return PagePlacementScaleX(mapping->placement) / zoom;
}

double ViewMappingScaleY(const ViewMapping* mapping) {
    const double zoom = QuarterTurn(mapping->placement.rotation) ? mapping->zoom_x : mapping->zoom_y;
    return PagePlacementScaleY(mapping->placement) / zoom;
}
