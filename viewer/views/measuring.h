// Measuring in the main view: a line from an anchor on the page to the mouse
// with its length, its two components and its angle in a box beside the
// mouse, and the position and size texts of page rectangles that the status
// bar shows. Lengths are page millimetres turned into the length unit, or
// into the page's pixels when the page states no resolution.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DocItem;
class ViewMapping;
class ViewerContext;

// Where a running measurement starts, in page millimetres.
class MeasureAnchor : public RefCounted {
  public:
    PointD point;
};

Ref<MeasureAnchor> MeasureAnchorCreate(const PointD& point);

// Below this length in window pixels the line is drawn 20 pixels longer at
// each end, with its arrowheads outside pointing inwards.
inline constexpr double kMeasureShortLine = 40.0;

// The line from A to B (window pixels): a wide grey band, the red line,
// strokes across both true ends and an arrowhead at each.
bool DrawMeasureLines(HDC dc, const PointD& a, const PointD& b);

// The six lines of the box: title, hint, distance, x, y, angle.
struct MeasureTexts {
    WString lines[6];
};
inline constexpr uint32_t kMeasureDistanceLine = 2;

// The texts for a measuring vector given as page millimetres along the
// page's axes: shown in the picture's orientation (the placement's flips and
// turn), up counting positive. With a stated resolution the values are
// lengths (divided by the document's scale when it has one); without one
// they are the page's pixels.
bool MeasureInfoTexts(ViewerContext* context, DocItem* item, const ViewMapping* mapping, const PointD& vector,
                      MeasureTexts& out);
// "Angle:", a blank, the angle in tenths of a degree from -180.0 to 180.0
// ("-" only above -180.0) and the degree sign.
WString& MeasureAngleText(ViewerContext* context, double dx, double dy, WString& out);

// Where the box of `box` size goes beside the mouse point: the free corner
// of highest priority, not the one towards which the line runs from the
// mouse unless no other fits, the upper right when none fits. `line` is B - A.
PointI PlaceBoxNearPoint(const PointI& mouse, const SizeI& box, const PointD& line, const RectI& client);
// Draws the box with the texts beside the mouse; false when its fonts or
// pens cannot be made.
bool DrawMeasureInfo(HDC dc, const MeasureTexts& texts, const PointI& mouse, const PointD& line,
                     const RectI& client);

// The whole measurement from the anchor to the mouse point (window pixels)
// into `dc`; nothing without an item, a mapping or an anchor.
bool MeasureDraw(ViewerContext* context, DocItem* item, const ViewMapping* mapping,
                 const MeasureAnchor* anchor, const PointI& mouse, const RectI& client, HDC dc);

// Appends the rectangle's corner form "(x,y) -> (x2,y2) " or its size form
// "w x h": lengths in the length unit when the page states a resolution or
// the item has no page, else the page's whole pixels followed by " Pixel".
WString& MeasurePositionText(WString& out, ViewerContext* context, DocItem* item, const RectD& rect,
                             bool size_only);
