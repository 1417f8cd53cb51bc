// What one paint of markups shares between its objects: the scale from page
// millimetres to device pixels, the pens of selection outlines and handles,
// and the font of object numbers.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/handles.h"

class ViewerContext;
class ViewMapping;

// The draw flags of a paint.
namespace redline_draw {
constexpr uint32_t kContent = 1;
constexpr uint32_t kSelection = 2;
constexpr uint32_t kHandles = 4;
constexpr uint32_t kNumbers = 8;
constexpr uint32_t kGrey = 16;
// Selection outline and handles: how the overlay draws the edited objects.
constexpr uint32_t kOverlay = kSelection | kHandles;
}  // namespace redline_draw

// The side of a handle square, in millimetres of the device it is drawn on.
constexpr double kRedlineHandleSideMm = 2.5;

// GDI takes coordinates within 27 bits; points further out are pinned to it.
constexpr int32_t kGdiCoordinateLimit = (1 << 27) - 1;

struct RedlineDrawContext {
    RedlineDrawContext() = default;
    RedlineDrawContext(const RedlineDrawContext&) = delete;
    RedlineDrawContext& operator=(const RedlineDrawContext&) = delete;

    double scale = 1.0;              // device pixels per page millimetre
    GdiPen dotted_pen;               // for flag 2
    GdiPen solid_pen;                // for flag 4
    GdiFont number_font;             // for flag 8
    int32_t number_font_height = 0;  // device pixels
    int32_t number_rotation = 0;     // degrees
    // Device pixels per millimetre of the device itself (not of the page as
    // zoomed): handles and numbers keep their size at every zoom.
    double factor_x = 96.0 / 25.4;
    double factor_y = 96.0 / 25.4;
};

// Fills the context for one paint with the flags; the mapping may be null.
void RedlineDrawContextBuild(RedlineDrawContext& draw, ViewerContext* context, const ViewMapping* mapping,
                             uint32_t flags);
// Deletes the pens and the font the build made.
void RedlineDrawContextFree(RedlineDrawContext& draw);
// A handle square centred on the device point, with the caller's pen and brush.
void RedlineDrawHandle(const RedlineDrawContext& draw, HDC dc, const PointI& point);
// The number on a red label at the page point (only with a number font).
void RedlineDrawObjectNumber(const RedlineDrawContext& draw, HDC dc, const PointD& page,
                             const ViewMapping* mapping, int32_t number);
// The colour as drawn: itself, or with the grey flag (r + g + b) / 3 in all channels.
COLORREF RedlineDrawColour(uint32_t colour, uint32_t flags);
// The page point in device pixels, pinned to the GDI coordinate range.
POINT RedlineMapPoint(const ViewMapping* mapping, const PointD& page);
