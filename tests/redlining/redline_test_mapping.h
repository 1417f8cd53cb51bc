// The view mapping markup tests draw and hit-test through: a square page of
// page_mm millimetres shown at 4 pixels per millimetre from the window's
// corner, turned and mirrored as a page item's view would be.
#pragma once

#include "viewer/model/area_placement.h"
#include "viewer/model/view_mapping.h"

constexpr double kTestPixelsPerMm = 4.0;

// The device's own pixels per millimetre are the zoom factors: 1 leaves the
// page shown at 4 times true size; kTestPixelsPerMm shows it at true size,
// which sizes handles and numbers in the same pixels as the page.
inline Ref<ViewMapping> TestMapping(double page_mm = 100, int32_t page_id = 1, uint32_t rotation = 0,
                                    bool mirror_horizontal = false, bool mirror_vertical = false,
                                    double device_pixels_per_mm = 1.0) {
    PagePlacement placement;
    RectDSet(placement.rect, 0, 0, page_mm, page_mm);
    placement.pixel_width = placement.pixel_height = static_cast<uint32_t>(page_mm * kTestPixelsPerMm);
    placement.rotation = static_cast<uint16_t>(rotation);
    ComputePlacementFlips(rotation, mirror_horizontal, mirror_vertical, placement.flip_x, placement.flip_y);
    return ViewMappingConstruct(page_id, PointI{}, placement, device_pixels_per_mm, device_pixels_per_mm);
}
