// Where a page lands in a target area and the render request that draws it
// there: shared by the main view, the preview and the print layout.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "imaging/formats/page_placement.h"

class CutOutState;

// What PlacePageInArea works on. Page lengths are millimetres; the area, the
// printable rectangle and the margins are in the target's unit (screen or
// paper millimetres).
struct PageAreaRequest {
    SizeD page_size;
    RectD cut_out;
    uint32_t rotation = 0;  // 0, 90, 180 or 270
    SizeD area_size;
    RectD printable;         // the part of the area that can be drawn on
    bool auto_turn = false;  // turn by 90 more when the cut-out and the area differ in orientation
    double zoom = 0.0;       // target length per page millimetre; 0 fits the cut-out
    bool fill = false;       // widen the cut-out to fill the area with its surroundings
    bool centre_x = false;
    bool centre_y = false;
    // A cut-out larger than the usable area loses as much on each side of a
    // centred direction, instead of its right and bottom: a sheet printed
    // centred keeps its centre on the paper's. The main view keeps the
    // cut-out's top-left, where its scrolling put it.
    bool keep_centre = false;
    double margin_left = 0.0;
    double margin_top = 0.0;
    double margin_right = 0.0;
    double margin_bottom = 0.0;
};

struct PageAreaPlacement {
    RectD area_rect;  // where the page lands, in the target's unit
    RectD page_rect;  // the part of the unrotated page shown there, millimetres
    uint32_t rotation = 0;
};

// False for a page or cut-out without area and for a usable area (printable
// rectangle within the margins) under 10 units in either direction; the
// caller then shows nothing.
bool PlacePageInArea(const PageAreaRequest& request, PageAreaPlacement& out);

// The render request's flips for the view's mirrors at a rotation. Flip y = 1
// is the upright picture; at 90 and 270 both flips are turned over, so the
// picture shows turned counter-clockwise by the rotation.
void ComputePlacementFlips(uint32_t rotation, bool mirror_horizontal, bool mirror_vertical, uint8_t& flip_x,
                           uint8_t& flip_y);

// Fills the render request for a page rectangle shown at `area` (width,
// height, x, y in the unit of `divisor`) of a target whose pixel size is
// `pixel_size` and whose extent in that unit is `divisor`: pixel size
// round(pixel size x area size / divisor), offset round(pixel size x area
// origin / divisor). The flags word and the negative mode stay as the caller
// set them. Always true.
bool PagePlacementCompute(const RectD& page_rect, const SizeD& divisor, const RectD& area,
                          const SizeI& pixel_size, uint32_t rotation, bool mirror_horizontal,
                          bool mirror_vertical, bool invert, PagePlacement& out, PointI& pixel_offset);

// The preview's fit: the whole page, or the state's cut-out, with the state's
// mirrors, turn and inversion, fitted into `area_pixels` (PreviewFitPage with
// no zoom).
void PreviewPlacePage(const SizeD& page_size, CutOutState* state, bool whole_page, const SizeI& area_pixels,
                      bool fill, PagePlacement& out, PointI& pixel_offset);

// Fits `rect` of the page (the whole page when empty) into an area of
// `area_pixels`. Without a positive zoom and pixels per millimetre the
// rectangle fills the area keeping its aspect (with `fill` it is first
// widened about its centre to the area's aspect, within the page); with
// them it is shown at that magnification, cut to what the area holds. The
// image is centred in the area: `pixel_offset` is its top-left.
void PreviewFitPage(const SizeD& page_size, const RectD& rect, bool mirror_horizontal, bool mirror_vertical,
                    uint32_t rotation, bool invert, const SizeI& area_pixels, double zoom,
                    double pixels_per_mm_x, double pixels_per_mm_y, bool fill, PagePlacement& out,
                    PointI& pixel_offset);

// A page direction as the placement shows it: x negated when flip x is set,
// y negated when flip y is clear, then turned by the rotation (PointDRotate).
PointD PointDMirrorRotate(const PagePlacement& placement, const PointD& point);
