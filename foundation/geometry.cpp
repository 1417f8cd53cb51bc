#include "foundation/geometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

constexpr int64_t kI32Min = std::numeric_limits<int32_t>::min();
constexpr int64_t kI32Max = std::numeric_limits<int32_t>::max();

int32_t ClampToI32(int64_t v) { return static_cast<int32_t>(std::clamp(v, kI32Min, kI32Max)); }

int64_t RightEdge(const RectI& rect) { return int64_t{rect.origin.x} + rect.size.width - 1; }
int64_t BottomEdge(const RectI& rect) { return int64_t{rect.origin.y} + rect.size.height - 1; }

// The proportional side of a shrunk integer rectangle: truncated, at least 1.
int32_t ProportionalSide(int32_t new_side, int32_t other_side, int32_t old_side) {
    int64_t value = int64_t{new_side} * other_side / old_side;
    return ClampToI32(std::max<int64_t>(value, 1));
}

}  // namespace

// Without the undefined conversion of values outside the i32 range.
int32_t RoundToI32(double v) {
    double rounded = std::floor(v + 0.5);
    if (std::isnan(rounded)) return 0;
    if (rounded <= static_cast<double>(kI32Min)) return static_cast<int32_t>(kI32Min);
    if (rounded >= static_cast<double>(kI32Max)) return static_cast<int32_t>(kI32Max);
    return static_cast<int32_t>(rounded);
}

// ---- PointD

PointD& PointDInit(PointD& point) { return PointDSet(point, 0.0, 0.0); }

PointD& PointDSet(PointD& point, double x, double y) {
    point.x = x;
    point.y = y;
    return point;
}

PointD& PointDAssign(PointD& point, const PointD& other) { return PointDSet(point, other.x, other.y); }

PointD& PointDSetX(PointD& point, double x) {
    point.x = x;
    return point;
}

PointD& PointDSetY(PointD& point, double y) {
    point.y = y;
    return point;
}

PointD& PointDCopy(const PointD& point, PointD& out) { return PointDSet(out, point.x, point.y); }

PointD& PointDCopyFrom(PointD& point, const PointD& other) { return PointDSet(point, other.x, other.y); }

PointD& PointDAdd(PointD& point, const PointD& other) {
    point.x += other.x;
    point.y += other.y;
    return point;
}

PointD& PointDSum(const PointD& point, const PointD& other, PointD& out) {
    return PointDSet(out, point.x + other.x, point.y + other.y);
}

PointD& PointDNegated(const PointD& point, PointD& out) { return PointDSet(out, -point.x, -point.y); }

PointD& PointDScale(PointD& point, double factor) {
    point.x *= factor;
    point.y *= factor;
    return point;
}

PointD PointDScaled(const PointD& point, double factor) { return PointD{point.x * factor, point.y * factor}; }

PointD& PointDFromPointI(PointD& point, const PointI& other) { return PointDSet(point, other.x, other.y); }

PointI& PointDRound(const PointD& point, PointI& out) {
    out.x = RoundToI32(point.x);
    out.y = RoundToI32(point.y);
    return out;
}

double PointDLength(const PointD& point) { return std::hypot(point.x, point.y); }

double PointDAngle(const PointD& point) { return std::atan2(point.y, point.x); }

PointD& PointDRotate(PointD& point, double radians) {
    double c = std::cos(radians);
    double s = std::sin(radians);
    return PointDSet(point, point.x * c - point.y * s, point.x * s + point.y * c);
}

PointD& PointDSetLength(PointD& point, double length) {
    double current = PointDLength(point);
    if (current > 0.0) PointDScale(point, length / current);
    return point;
}

RectD& PointDBounds(const PointD* points, uint32_t n, RectD& out) {
    RectDInitEmpty(out);
    if (n == 0 || points == nullptr) return out;
    double left = points[0].x, right = points[0].x;
    double top = points[0].y, bottom = points[0].y;
    for (uint32_t i = 1; i < n; ++i) {
        left = std::min(left, points[i].x);
        right = std::max(right, points[i].x);
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    return RectDSetCorners(out, left, top, right, bottom);
}

// ---- PointI

PointI& PointIAdd(PointI& point, const PointI& other) {
    point.x += other.x;
    point.y += other.y;
    return point;
}

PointI& PointISub(PointI& point, const PointI& other) {
    point.x -= other.x;
    point.y -= other.y;
    return point;
}

PointI& PointICopy(const PointI& point, PointI& out) {
    out = point;
    return out;
}

PointI& PointINegate(PointI& point) {
    point.x = -point.x;
    point.y = -point.y;
    return point;
}

double PointIAngle(const PointI& point) {
    return std::atan2(static_cast<double>(point.y), static_cast<double>(point.x));
}

// ---- SizeD

SizeD& SizeDInit(SizeD& size) {
    size.width = 0.0;
    size.height = 0.0;
    return size;
}

SizeD& SizeDSetAbs(SizeD& size, double width, double height) {
    size.width = std::fabs(width);
    size.height = std::fabs(height);
    return size;
}

SizeD& SizeDSetWidth(SizeD& size, double width) {
    size.width = std::fabs(width);
    return size;
}

SizeD& SizeDSetHeight(SizeD& size, double height) {
    size.height = std::fabs(height);
    return size;
}

double SizeDArea(const SizeD& size) { return size.width * size.height; }

SizeD& SizeDSwap(SizeD& size) {
    std::swap(size.width, size.height);
    return size;
}

SizeD& SizeDScale(SizeD& size, double factor) {
    double magnitude = std::fabs(factor);
    size.width *= magnitude;
    size.height *= magnitude;
    return size;
}

// ---- SizeI

SizeI& SizeISet(SizeI& size, int32_t width, int32_t height) {
    size.width = width;
    size.height = height;
    return size;
}

int64_t SizeIArea(const SizeI& size) { return int64_t{size.width} * size.height; }

SizeI& SizeISwap(SizeI& size) {
    std::swap(size.width, size.height);
    return size;
}

// ---- RectD

RectD& RectDInitEmpty(RectD& rect) {
    rect = RectD{};
    return rect;
}

RectD& RectDInit(RectD& rect, const PointD& origin, const SizeD& size) {
    rect.origin = origin;
    rect.size = size;
    return rect;
}

RectD& RectDInitPoints(RectD& rect, const PointD& corner1, const PointD& corner2) {
    return RectDFromPoints(rect, corner1, corner2);
}

RectD& RectDSet(RectD& rect, double x, double y, double width, double height) {
    if (width < 0.0) x += width;
    if (height < 0.0) y += height;
    rect.origin = PointD{x, y};
    rect.size = SizeD{std::fabs(width), std::fabs(height)};
    return rect;
}

RectD& RectDAssign(RectD& rect, const RectD& other) {
    rect.origin = other.origin;
    SizeDSetAbs(rect.size, other.size.width, other.size.height);
    return rect;
}

RectD& RectDAssignRaw(RectD& rect, const RectD& other) {
    rect = other;
    return rect;
}

RectD& RectDCopy(const RectD& rect, RectD& out) {
    out = rect;
    return out;
}

RectD& RectDSetOrigin(RectD& rect, const PointD& origin) {
    rect.origin = origin;
    return rect;
}

RectD& RectDOffset(RectD& rect, const PointD& delta) {
    PointDAdd(rect.origin, delta);
    return rect;
}

bool RectDEquals(const RectD& rect, const RectD& other) { return rect == other; }

bool RectDContains(const RectD& rect, const PointD& point) {
    return rect.origin.x <= point.x && point.x <= rect.origin.x + rect.size.width &&
           rect.origin.y <= point.y && point.y <= rect.origin.y + rect.size.height;
}

RectD& RectDSetCorners(RectD& rect, double x1, double y1, double x2, double y2) {
    rect.origin = PointD{std::min(x1, x2), std::min(y1, y2)};
    rect.size = SizeD{std::fabs(x2 - x1), std::fabs(y2 - y1)};
    return rect;
}

RectD& RectDFromPoints(RectD& rect, const PointD& corner1, const PointD& corner2) {
    return RectDSetCorners(rect, corner1.x, corner1.y, corner2.x, corner2.y);
}

PointD& RectDCentre(const RectD& rect, PointD& out) {
    return PointDSet(out, rect.origin.x + rect.size.width / 2, rect.origin.y + rect.size.height / 2);
}

PointD& RectDFarCorner(const RectD& rect, PointD& out) {
    return PointDSet(out, rect.origin.x + rect.size.width, rect.origin.y + rect.size.height);
}

PointD& RectDGetCorner(const RectD& rect, uint32_t index, PointD& out) {
    double left = rect.origin.x, top = rect.origin.y;
    double right = left + rect.size.width, bottom = top + rect.size.height;
    switch (index % 4) {
        case 0:
            return PointDSet(out, left, top);
        case 1:
            return PointDSet(out, right, top);
        case 2:
            return PointDSet(out, right, bottom);
        default:
            return PointDSet(out, left, bottom);
    }
}

void RectDGetSide(const RectD& rect, uint32_t index, PointD& start, PointD& direction) {
    PointD end;
    RectDGetCorner(rect, index, start);
    RectDGetCorner(rect, index + 1, end);
    PointDSet(direction, end.x - start.x, end.y - start.y);
}

RectD& RectDScaleWidth(RectD& rect, double factor) {
    double width = rect.size.width * std::fabs(factor);
    rect.origin.x += rect.size.width / 2 - width / 2;
    rect.size.width = width;
    return rect;
}

RectD& RectDScaleHeight(RectD& rect, double factor) {
    double height = rect.size.height * std::fabs(factor);
    rect.origin.y += rect.size.height / 2 - height / 2;
    rect.size.height = height;
    return rect;
}

RectD& RectDScale(RectD& rect, double factor) {
    return RectDScaleHeight(RectDScaleWidth(rect, factor), factor);
}

RectD& RectDGrowLeft(RectD& rect, double d) {
    d = std::max(d, -rect.size.width);
    rect.size.width += d;
    rect.origin.x -= d;
    return rect;
}

RectD& RectDGrowTop(RectD& rect, double d) {
    d = std::max(d, -rect.size.height);
    rect.size.height += d;
    rect.origin.y -= d;
    return rect;
}

bool RectDUnion(RectD& rect, const RectD& other) {
    double left = rect.origin.x, top = rect.origin.y;
    double right = left + rect.size.width, bottom = top + rect.size.height;
    bool changed = false;
    if (other.origin.x < left) left = other.origin.x, changed = true;
    if (other.origin.y < top) top = other.origin.y, changed = true;
    if (other.origin.x + other.size.width > right) right = other.origin.x + other.size.width, changed = true;
    if (other.origin.y + other.size.height > bottom)
        bottom = other.origin.y + other.size.height, changed = true;
    if (changed) RectDSetCorners(rect, left, top, right, bottom);
    return changed;
}

bool RectDIncludePoint(RectD& rect, const PointD& point) { return RectDUnion(rect, RectD{SizeD{}, point}); }

bool RectDIntersect(const RectD& rect, const RectD& other, RectD* out) {
    double left = std::max(rect.origin.x, other.origin.x);
    double top = std::max(rect.origin.y, other.origin.y);
    double right = std::min(rect.origin.x + rect.size.width, other.origin.x + other.size.width);
    double bottom = std::min(rect.origin.y + rect.size.height, other.origin.y + other.size.height);
    bool overlap = left < right && top < bottom;
    if (out == nullptr) return overlap;
    if (overlap) {
        RectDSetCorners(*out, left, top, right, bottom);
    } else {
        RectDInitEmpty(*out);
    }
    return overlap;
}

bool RectDConstrain(RectD& rect, const RectD& bounds, bool shrink, bool keep_aspect) {
    SizeD& size = rect.size;
    if (!(size.width > 0.0 && size.height > 0.0 && bounds.size.width > 0.0 && bounds.size.height > 0.0)) {
        return false;
    }
    if (size.width > bounds.size.width) {
        if (!shrink) return false;
        if (keep_aspect) size.height *= bounds.size.width / size.width;
        size.width = bounds.size.width;
    }
    if (size.height > bounds.size.height) {
        if (!shrink) return false;
        if (keep_aspect) size.width *= bounds.size.height / size.height;
        size.height = bounds.size.height;
    }
    double excess_x = rect.origin.x + size.width - (bounds.origin.x + bounds.size.width);
    if (excess_x > 0.0) rect.origin.x -= excess_x;
    if (rect.origin.x < bounds.origin.x) rect.origin.x = bounds.origin.x;
    double excess_y = rect.origin.y + size.height - (bounds.origin.y + bounds.size.height);
    if (excess_y > 0.0) rect.origin.y -= excess_y;
    if (rect.origin.y < bounds.origin.y) rect.origin.y = bounds.origin.y;
    return true;
}

bool RectDClampPoint(const RectD& rect, PointD& point) {
    if (!(rect.size.width > 0.0 && rect.size.height > 0.0)) return false;
    point.x = std::clamp(point.x, rect.origin.x, rect.origin.x + rect.size.width);
    point.y = std::clamp(point.y, rect.origin.y, rect.origin.y + rect.size.height);
    return true;
}

// ---- RectI

RectI& RectISet(RectI& rect, int32_t x, int32_t y, int32_t width, int32_t height) {
    rect.origin = PointI{x, y};
    rect.size = SizeI{width, height};
    return rect;
}

RectI& RectIFromPointSize(RectI& rect, const PointI& origin, const SizeI& size) {
    rect.origin = origin;
    rect.size = size;
    return rect;
}

RectI& RectIAssign(RectI& rect, const RectI& other) {
    rect = other;
    return rect;
}

RectI& RectICopy(const RectI& rect, RectI& out) {
    out = rect;
    return out;
}

RectI& RectIClear(RectI& rect) {
    rect = RectI{};
    return rect;
}

bool RectIEquals(const RectI& rect, const RectI& other) { return rect == other; }

PointI& RectICentre(const RectI& rect, PointI& out) {
    out.x = ClampToI32(int64_t{rect.origin.x} + rect.size.width / 2);
    out.y = ClampToI32(int64_t{rect.origin.y} + rect.size.height / 2);
    return out;
}

bool RectIContains(const RectI& rect, const PointI& point) {
    return rect.origin.x <= point.x && point.x <= RightEdge(rect) && rect.origin.y <= point.y &&
           point.y <= BottomEdge(rect);
}

RectI& RectISetCorners(RectI& rect, int32_t x1, int32_t y1, int32_t x2, int32_t y2) {
    rect.origin = PointI{std::min(x1, x2), std::min(y1, y2)};
    rect.size.width = ClampToI32(std::abs(int64_t{x2} - x1) + 1);
    rect.size.height = ClampToI32(std::abs(int64_t{y2} - y1) + 1);
    return rect;
}

RectI& RectIFromRect(RectI& rect, const RECT& corners) {
    return RectISetCorners(rect, corners.left, corners.top, corners.right, corners.bottom);
}

RectI& RectIFromCorners(RectI& rect, const PointI& corner1, const PointI& corner2) {
    return RectISetCorners(rect, corner1.x, corner1.y, corner2.x, corner2.y);
}

RectI& RectIFromCornersRaw(RectI& rect, const int32_t* corners) {
    return RectISetCorners(rect, corners[0], corners[1], corners[2], corners[3]);
}

void RectIGetCorners(const RectI& rect, int32_t* corners) {
    corners[0] = rect.origin.x;
    corners[1] = rect.origin.y;
    corners[2] = ClampToI32(RightEdge(rect));
    corners[3] = ClampToI32(BottomEdge(rect));
}

RectI& RectIOffset(RectI& rect, const PointI& delta) {
    rect.origin.x = ClampToI32(int64_t{rect.origin.x} + delta.x);
    rect.origin.y = ClampToI32(int64_t{rect.origin.y} + delta.y);
    return rect;
}

RectI& RectIGrowLeft(RectI& rect, int32_t d) {
    int64_t grow = std::max<int64_t>(d, -int64_t{rect.size.width});
    rect.size.width = ClampToI32(rect.size.width + grow);
    rect.origin.x = ClampToI32(rect.origin.x - grow);
    return rect;
}

RectI& RectIGrowWidth(RectI& rect, int32_t d) {
    int64_t grow = std::max<int64_t>(d, -int64_t{rect.size.width});
    rect.size.width = ClampToI32(rect.size.width + grow);
    return rect;
}

RectI& RectIGrowTop(RectI& rect, int32_t d) {
    int64_t grow = std::max<int64_t>(d, -int64_t{rect.size.height});
    rect.size.height = ClampToI32(rect.size.height + grow);
    rect.origin.y = ClampToI32(rect.origin.y - grow);
    return rect;
}

RectI& RectIGrowHeight(RectI& rect, int32_t d) {
    int64_t grow = std::max<int64_t>(d, -int64_t{rect.size.height});
    rect.size.height = ClampToI32(rect.size.height + grow);
    return rect;
}

bool RectIIntersect(const RectI& rect, const RectI& other, RectI* out) {
    int64_t left = std::max(rect.origin.x, other.origin.x);
    int64_t top = std::max(rect.origin.y, other.origin.y);
    int64_t right = std::min(RightEdge(rect), RightEdge(other));
    int64_t bottom = std::min(BottomEdge(rect), BottomEdge(other));
    if (left > right || top > bottom) return false;
    if (out != nullptr) {
        RectISet(*out, static_cast<int32_t>(left), static_cast<int32_t>(top), ClampToI32(right - left + 1),
                 ClampToI32(bottom - top + 1));
    }
    return true;
}

RectI& RectIBoundPoints(RectI& rect, const PointI* points, uint32_t n) {
    RectIClear(rect);
    if (n == 0 || points == nullptr) return rect;
    int32_t left = points[0].x, right = points[0].x;
    int32_t top = points[0].y, bottom = points[0].y;
    for (uint32_t i = 1; i < n; ++i) {
        left = std::min(left, points[i].x);
        right = std::max(right, points[i].x);
        top = std::min(top, points[i].y);
        bottom = std::max(bottom, points[i].y);
    }
    return RectISetCorners(rect, left, top, right, bottom);
}

bool RectIConstrain(RectI& rect, const RectI& bounds, bool shrink, bool keep_aspect) {
    SizeI& size = rect.size;
    if (size.width <= 0 || size.height <= 0 || bounds.size.width <= 0 || bounds.size.height <= 0)
        return false;
    if (size.width > bounds.size.width) {
        if (!shrink) return false;
        if (keep_aspect) size.height = ProportionalSide(bounds.size.width, size.height, size.width);
        size.width = bounds.size.width;
    }
    if (size.height > bounds.size.height) {
        if (!shrink) return false;
        if (keep_aspect) size.width = ProportionalSide(bounds.size.height, size.width, size.height);
        size.height = bounds.size.height;
    }
    int64_t x = rect.origin.x, y = rect.origin.y;
    int64_t excess_x = x + size.width - (int64_t{bounds.origin.x} + bounds.size.width);
    if (excess_x > 0) x -= excess_x;
    if (x < bounds.origin.x) x = bounds.origin.x;
    int64_t excess_y = y + size.height - (int64_t{bounds.origin.y} + bounds.size.height);
    if (excess_y > 0) y -= excess_y;
    if (y < bounds.origin.y) y = bounds.origin.y;
    rect.origin = PointI{static_cast<int32_t>(x), static_cast<int32_t>(y)};
    return true;
}

bool RectIClampPoint(const RectI& rect, PointI& point) {
    if (rect.size.width <= 0 || rect.size.height <= 0) return false;
    point.x = ClampToI32(std::clamp<int64_t>(point.x, rect.origin.x, RightEdge(rect)));
    point.y = ClampToI32(std::clamp<int64_t>(point.y, rect.origin.y, BottomEdge(rect)));
    return true;
}

bool RectIClipRects(SizeI& extent, uint32_t n, const RectI* bounds, PointI* positions) {
    int64_t width = extent.width, height = extent.height;
    // Positions only move forward, so every start edge is met by one common
    // shift; the far edges then only cut the extent.
    int64_t shift_x = 0, shift_y = 0;
    for (uint32_t i = 0; i < n; ++i) {
        shift_x = std::max(shift_x, int64_t{bounds[i].origin.x} - positions[i].x);
        shift_y = std::max(shift_y, int64_t{bounds[i].origin.y} - positions[i].y);
    }
    width -= shift_x;
    height -= shift_y;
    for (uint32_t i = 0; i < n; ++i) {
        width =
            std::min(width, int64_t{bounds[i].origin.x} + bounds[i].size.width - (positions[i].x + shift_x));
        height = std::min(height,
                          int64_t{bounds[i].origin.y} + bounds[i].size.height - (positions[i].y + shift_y));
    }
    if (width <= 0 || height <= 0) {
        extent = SizeI{};
        return false;
    }
    for (uint32_t i = 0; i < n; ++i) {
        positions[i].x = static_cast<int32_t>(positions[i].x + shift_x);
        positions[i].y = static_cast<int32_t>(positions[i].y + shift_y);
    }
    extent = SizeI{static_cast<int32_t>(width), static_cast<int32_t>(height)};
    return true;
}

// ---- Fraction

Fraction FractionReduce(int32_t numerator, int32_t denominator) {
    static constexpr uint32_t kPrimes[] = {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31};
    if (denominator == 0) return Fraction{0, 1};
    for (uint32_t prime : kPrimes) {
        uint32_t magnitude =
            numerator < 0 ? 0u - static_cast<uint32_t>(numerator) : static_cast<uint32_t>(numerator);
        if (prime > magnitude || prime > static_cast<uint32_t>(denominator)) break;
        int32_t p = static_cast<int32_t>(prime);
        while (numerator % p == 0 && denominator % p == 0) {
            numerator /= p;
            denominator /= p;
        }
    }
    return Fraction{numerator, denominator};
}
