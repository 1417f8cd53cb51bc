#include "foundation/clipping.h"

#include <algorithm>
#include <cmath>

namespace {

bool IsFinite(const PointD& point) { return std::isfinite(point.x) && std::isfinite(point.y); }

// Narrows [t0, t1] to the parameters where low <= t·delta <= high.
bool ClipAxis(double delta, double low, double high, double& t0, double& t1) {
    if (delta == 0.0) return low <= 0.0 && 0.0 <= high;
    double enter = (delta > 0.0 ? low : high) / delta;
    double leave = (delta > 0.0 ? high : low) / delta;
    t0 = std::max(t0, enter);
    t1 = std::min(t1, leave);
    return t0 <= t1;
}

// Even-odd rule: a ray to the right crosses the outline an odd number of times.
bool PolygonContains(const PointD* points, uint32_t n, const PointD& point) {
    bool inside = false;
    for (uint32_t i = 0, j = n - 1; i < n; j = i++) {
        const PointD& p = points[i];
        const PointD& q = points[j];
        if ((p.y > point.y) == (q.y > point.y)) continue;
        double x = q.x + (point.y - q.y) * (p.x - q.x) / (p.y - q.y);
        if (point.x < x) inside = !inside;
    }
    return inside;
}

// Grows a bounding box from nothing, so that the first point does not drag
// the rectangle's (0, 0) in with it.
struct BoundsBuilder {
    RectD bounds;
    bool empty = true;

    void Add(const PointD& point) {
        if (empty) {
            bounds = RectD{SizeD{}, point};
            empty = false;
            return;
        }
        RectDIncludePoint(bounds, point);
    }
};

// The points where the polygon's edges cross one side of the rectangle.
void AddSideCrossings(const PointD& start, const PointD& direction, const PointD* points, uint32_t n,
                      BoundsBuilder& builder) {
    PointD end{start.x + direction.x, start.y + direction.y};
    for (uint32_t i = 0; i < n; ++i) {
        const PointD& edge_start = points[i];
        const PointD& edge_end = points[(i + 1) % n];
        double along_edge = 0.0, along_side = 0.0;
        if (!SegmentIntersectParam(start, end, edge_start, edge_end, along_edge, along_side)) continue;
        // Each polygon vertex belongs to the edge that ends in it.
        if (!(along_edge > 0.0 && along_edge <= 1.0)) continue;
        if (!(along_side >= 0.0 && along_side <= 1.0)) continue;
        builder.Add(PointD{start.x + direction.x * along_side, start.y + direction.y * along_side});
    }
}

}  // namespace

bool SegmentIntersectParam(const PointD& a1, const PointD& a2, const PointD& b1, const PointD& b2, double& t,
                           double& u) {
    double denominator = (a2.y - a1.y) * (b2.x - b1.x) - (b2.y - b1.y) * (a2.x - a1.x);
    if (denominator == 0.0) return false;
    t = ((a1.x - b1.x) * (a2.y - a1.y) - (a1.y - b1.y) * (a2.x - a1.x)) / denominator;
    if (a2.x != a1.x) {
        u = ((b1.x - a1.x) + (b2.x - b1.x) * t) / (a2.x - a1.x);
    } else if (a2.y != a1.y) {
        u = ((b1.y - a1.y) + (b2.y - b1.y) * t) / (a2.y - a1.y);
    } else {
        u = 0.0;
    }
    return true;
}

// Parametric clipping of start + t·direction, t in [0, 1], against the two
// slabs of the rectangle. Counting crossings with the sides alone loses the
// piece of a segment that has only one end inside.
bool RectDClipSegment(const RectD& rect, const RectD& segment, RectD* out) {
    const PointD& start = segment.origin;
    PointD direction{segment.size.width, segment.size.height};
    if (!IsFinite(start) || !IsFinite(direction)) return false;
    bool start_inside = RectDContains(rect, start);
    double t0 = 0.0, t1 = 1.0;
    bool meets =
        ClipAxis(direction.x, rect.origin.x - start.x, rect.origin.x + rect.size.width - start.x, t0, t1) &&
        ClipAxis(direction.y, rect.origin.y - start.y, rect.origin.y + rect.size.height - start.y, t0, t1);
    if (start_inside) {
        // Rounding in the divisions must not drop the inside start point.
        t0 = 0.0;
        t1 = meets ? std::max(t1, 0.0) : 0.0;
    } else if (!meets || !(t0 < t1)) {
        return false;
    }
    if (out != nullptr) {
        out->origin = PointD{start.x + direction.x * t0, start.y + direction.y * t0};
        out->size = SizeD{direction.x * (t1 - t0), direction.y * (t1 - t0)};
    }
    return true;
}

// The part of the polygon inside the rectangle is bounded by polygon edges
// and pieces of the rectangle's sides, so its bounding box is that of the
// polygon's points inside, the crossings of its edges with the sides, and the
// rectangle's corners that lie inside the polygon.
bool RectDClipPolygonBounds(const RectD& rect, const PointD* points, uint32_t n, RectD& out) {
    RectDInitEmpty(out);
    if (n == 0 || points == nullptr) return false;
    BoundsBuilder builder;
    uint32_t inside_count = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (!RectDContains(rect, points[i])) continue;
        builder.Add(points[i]);
        ++inside_count;
    }
    if (inside_count == n) {
        PointDBounds(points, n, out);
        return true;
    }
    for (uint32_t side = 0; side < 4; ++side) {
        PointD start, direction, corner;
        RectDGetSide(rect, side, start, direction);
        AddSideCrossings(start, direction, points, n, builder);
        RectDGetCorner(rect, side, corner);
        if (PolygonContains(points, n, corner)) builder.Add(corner);
    }
    if (!builder.empty) out = builder.bounds;
    return true;
}
