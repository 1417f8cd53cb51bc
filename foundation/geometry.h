// Points, sizes and rectangles of page and window geometry: f64 for page
// millimetres, zoom arithmetic and markups; 32-bit integers for pixels and
// window rectangles. Plain values: operations that produce a value fill an
// out-object of the caller and return it.
//
// A rectangle stores its size first and its origin second. An integer
// rectangle's far edge is inclusive (x + width - 1); width 0 is empty. Code
// that talks to Windows converts (left, top, right, bottom) to and from this
// form itself.
#pragma once

#include <windows.h>

#include <cstdint>

struct PointD {
    double x = 0.0;
    double y = 0.0;
    bool operator==(const PointD&) const = default;
};

struct SizeD {
    double width = 0.0;
    double height = 0.0;
    bool operator==(const SizeD&) const = default;
};

struct RectD {
    SizeD size;
    PointD origin;
    bool operator==(const RectD&) const = default;
};

struct PointI {
    int32_t x = 0;
    int32_t y = 0;
    bool operator==(const PointI&) const = default;
};

struct SizeI {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const SizeI&) const = default;
};

struct RectI {
    SizeI size;
    PointI origin;
    bool operator==(const RectI&) const = default;
};

// A resolution or any other ratio, as FractionReduce leaves it.
struct Fraction {
    int32_t numerator = 0;
    int32_t denominator = 1;
    bool operator==(const Fraction&) const = default;
};

// ---- PointD
PointD& PointDInit(PointD& point);
PointD& PointDSet(PointD& point, double x, double y);
PointD& PointDAssign(PointD& point, const PointD& other);
PointD& PointDSetX(PointD& point, double x);
PointD& PointDSetY(PointD& point, double y);
PointD& PointDCopy(const PointD& point, PointD& out);
PointD& PointDCopyFrom(PointD& point, const PointD& other);
PointD& PointDAdd(PointD& point, const PointD& other);
PointD& PointDSum(const PointD& point, const PointD& other, PointD& out);
PointD& PointDNegated(const PointD& point, PointD& out);
PointD& PointDScale(PointD& point, double factor);
PointD PointDScaled(const PointD& point, double factor);
PointD& PointDFromPointI(PointD& point, const PointI& other);
// floor(v + 0.5), limited to the i32 range (NaN gives 0): the rounding of
// every f64 to integer conversion.
int32_t RoundToI32(double v);
// RoundToI32 per coordinate.
PointI& PointDRound(const PointD& point, PointI& out);
double PointDLength(const PointD& point);
// atan2(y, x) in radians.
double PointDAngle(const PointD& point);
// About (0, 0), counter-clockwise for a y axis pointing up.
PointD& PointDRotate(PointD& point, double radians);
// Scales the vector to the length; a vector of length 0 stays as it is.
PointD& PointDSetLength(PointD& point, double length);
// The smallest rectangle holding the points; n = 0 gives the empty rectangle at (0, 0).
RectD& PointDBounds(const PointD* points, uint32_t n, RectD& out);

// ---- PointI
PointI& PointIAdd(PointI& point, const PointI& other);
PointI& PointISub(PointI& point, const PointI& other);
PointI& PointICopy(const PointI& point, PointI& out);
PointI& PointINegate(PointI& point);
double PointIAngle(const PointI& point);

// ---- SizeD (the setters store absolute values)
SizeD& SizeDInit(SizeD& size);
SizeD& SizeDSetAbs(SizeD& size, double width, double height);
SizeD& SizeDSetWidth(SizeD& size, double width);
SizeD& SizeDSetHeight(SizeD& size, double height);
double SizeDArea(const SizeD& size);
SizeD& SizeDSwap(SizeD& size);
SizeD& SizeDScale(SizeD& size, double factor);

// ---- SizeI
SizeI& SizeISet(SizeI& size, int32_t width, int32_t height);
int64_t SizeIArea(const SizeI& size);
SizeI& SizeISwap(SizeI& size);

// ---- RectD
RectD& RectDInitEmpty(RectD& rect);
RectD& RectDInit(RectD& rect, const PointD& origin, const SizeD& size);
// From two opposite corners in any order.
RectD& RectDInitPoints(RectD& rect, const PointD& corner1, const PointD& corner2);
// A negative width moves the origin left by its amount and keeps |width|; the same for the height.
RectD& RectDSet(RectD& rect, double x, double y, double width, double height);
// Copies, making the size non-negative without moving the origin.
RectD& RectDAssign(RectD& rect, const RectD& other);
RectD& RectDAssignRaw(RectD& rect, const RectD& other);
RectD& RectDCopy(const RectD& rect, RectD& out);
RectD& RectDSetOrigin(RectD& rect, const PointD& origin);
RectD& RectDOffset(RectD& rect, const PointD& delta);
bool RectDEquals(const RectD& rect, const RectD& other);
// Edges inclusive: x <= px <= x + width, the same for y.
bool RectDContains(const RectD& rect, const PointD& point);
// Origin = the smaller coordinates, size = the absolute differences.
RectD& RectDSetCorners(RectD& rect, double x1, double y1, double x2, double y2);
RectD& RectDFromPoints(RectD& rect, const PointD& corner1, const PointD& corner2);
PointD& RectDCentre(const RectD& rect, PointD& out);
PointD& RectDFarCorner(const RectD& rect, PointD& out);
// 0 (x, y), 1 (x + w, y), 2 (x + w, y + h), 3 (x, y + h); the index is taken modulo 4.
PointD& RectDGetCorner(const RectD& rect, uint32_t index, PointD& out);
// 0 top, 1 right, 2 bottom, 3 left, clockwise from the origin corner; each
// side as its start point and its direction (end = start + direction).
void RectDGetSide(const RectD& rect, uint32_t index, PointD& start, PointD& direction);
// Scale the width (height) by |factor| about the centre.
RectD& RectDScaleWidth(RectD& rect, double factor);
RectD& RectDScaleHeight(RectD& rect, double factor);
RectD& RectDScale(RectD& rect, double factor);
// Moves the left (top) edge out by d; the size never goes negative.
RectD& RectDGrowLeft(RectD& rect, double d);
RectD& RectDGrowTop(RectD& rect, double d);
// Each edge moves out to the other's when that lies further out; true when anything changed.
bool RectDUnion(RectD& rect, const RectD& other);
bool RectDIncludePoint(RectD& rect, const PointD& point);
// True when the overlap has a positive area; out (optional) gets it, or all zeros.
bool RectDIntersect(const RectD& rect, const RectD& other, RectD* out);
// Fits the rectangle into the bounds: shrinks it (in proportion with
// keep_aspect) only with shrink, then moves it inside. False for a
// non-positive size or when it does not fit without shrinking.
bool RectDConstrain(RectD& rect, const RectD& bounds, bool shrink, bool keep_aspect);
// Moves the point onto the nearest edge when it lies outside; false for a non-positive size.
bool RectDClampPoint(const RectD& rect, PointD& point);

// ---- RectI
RectI& RectISet(RectI& rect, int32_t x, int32_t y, int32_t width, int32_t height);
RectI& RectIFromPointSize(RectI& rect, const PointI& origin, const SizeI& size);
RectI& RectIAssign(RectI& rect, const RectI& other);
RectI& RectICopy(const RectI& rect, RectI& out);
RectI& RectIClear(RectI& rect);
bool RectIEquals(const RectI& rect, const RectI& other);
PointI& RectICentre(const RectI& rect, PointI& out);
// x <= px <= x + width - 1, the same for y.
bool RectIContains(const RectI& rect, const PointI& point);
// The four below take two INCLUSIVE corners in any order: origin = the
// smaller coordinates, size = difference + 1. RectIFromRect reads a RECT's
// right and bottom as inclusive too; a Windows rectangle with exclusive edges
// converts through origin and size instead.
RectI& RectISetCorners(RectI& rect, int32_t x1, int32_t y1, int32_t x2, int32_t y2);
RectI& RectIFromRect(RectI& rect, const RECT& corners);
RectI& RectIFromCorners(RectI& rect, const PointI& corner1, const PointI& corner2);
// corners: x1, y1, x2, y2.
RectI& RectIFromCornersRaw(RectI& rect, const int32_t* corners);
// corners: left, top, inclusive right, inclusive bottom.
void RectIGetCorners(const RectI& rect, int32_t* corners);
RectI& RectIOffset(RectI& rect, const PointI& delta);
// GrowLeft: x -= d, width += d; GrowWidth: width += d; likewise for y and
// height. d is raised to -size when below it, so the size never goes negative.
RectI& RectIGrowLeft(RectI& rect, int32_t d);
RectI& RectIGrowWidth(RectI& rect, int32_t d);
RectI& RectIGrowTop(RectI& rect, int32_t d);
RectI& RectIGrowHeight(RectI& rect, int32_t d);
// On inclusive edges; true when they overlap. out (optional) gets the overlap
// only on success.
bool RectIIntersect(const RectI& rect, const RectI& other, RectI* out);
// n = 0 gives the empty rectangle at (0, 0); one point a 1-by-1 rectangle.
RectI& RectIBoundPoints(RectI& rect, const PointI* points, uint32_t n);
// As RectDConstrain; the proportional side is computed in 64 bits,
// truncated, and at least 1.
bool RectIConstrain(RectI& rect, const RectI& bounds, bool shrink, bool keep_aspect);
bool RectIClampPoint(const RectI& rect, PointI& point);
// A copy of `extent` from positions[i] inside bounds[i], for every i < n
// (source and destination of an image copy): cuts the extent and advances
// every position alike so that the copied area lies inside all bounds. False,
// with a zero extent, when nothing remains.
bool RectIClipRects(SizeI& extent, uint32_t n, const RectI* bounds, PointI* positions);

// ---- Fraction
// Divides out the primes 2 to 31 only (4000/6000 gives 2/3, 37/74 stays);
// the numerator keeps its sign; a denominator of 0 gives 0/1.
Fraction FractionReduce(int32_t numerator, int32_t denominator);
