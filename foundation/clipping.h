// Clipping of segments and polygons by f64 rectangles.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"

// Crosses the lines through a1-a2 and b1-b2. False when they are parallel
// (or either is a single point). Otherwise t is the crossing's parameter
// along b (0 at b1, 1 at b2) and u its parameter along a.
bool SegmentIntersectParam(const PointD& a1, const PointD& a2, const PointD& b1, const PointD& b2, double& t,
                           double& u);

// A segment is stored like a RectD: its start point in the origin, its
// direction (end - start, signs kept) in the size. Answers whether the
// segment meets the rectangle (edges inclusive) and gives, in out when not
// null, the piece of it inside. A segment whose start lies inside always
// answers true; one that starts outside must cross the rectangle over a
// positive length (touching a corner or an edge from outside answers false).
bool RectDClipSegment(const RectD& rect, const RectD& segment, RectD* out);

// The bounding rectangle of the part of a closed polygon (n points, the last
// joined to the first, filled by the even-odd rule) that lies inside the
// rectangle. False only for n = 0; a polygon that misses the rectangle gives
// true with an all-zero out rectangle.
bool RectDClipPolygonBounds(const RectD& rect, const PointD* points, uint32_t n, RectD& out);
