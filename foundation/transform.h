// The 2x2 matrix and the affine transform that line pages up for a version
// comparison and map markups between pages.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"

// Maps (x, y) to (a·x + b·y, c·x + d·y). Starts as the identity.
struct Matrix2 {
    double a = 1.0;
    double b = 0.0;
    double c = 0.0;
    double d = 1.0;
    bool operator==(const Matrix2&) const = default;
};

// Maps p to matrix·p + translation. Starts as the identity.
struct TransformD {
    Matrix2 matrix;
    PointD translation;
    bool operator==(const TransformD&) const = default;
};

// ---- Matrix2 (out may be the matrix or point itself)
Matrix2& Matrix2Identity(Matrix2& matrix);
Matrix2& Matrix2Set(Matrix2& matrix, double a, double b, double c, double d);
Matrix2& Matrix2Copy(const Matrix2& matrix, Matrix2& out);
PointD& Matrix2Apply(const Matrix2& matrix, const PointD& point, PointD& out);
// out = matrix × other: applying out is applying other, then matrix.
Matrix2& Matrix2Multiply(const Matrix2& matrix, const Matrix2& other, Matrix2& out);
double Matrix2Determinant(const Matrix2& matrix);
// (s, 0, 0, s).
Matrix2& Matrix2Scale(Matrix2& matrix, double scale);
// (cos, -sin, sin, cos): the same turn as PointDRotate.
Matrix2& Matrix2Rotation(Matrix2& matrix, double radians);
// False, leaving out alone, when the determinant is 0 or the inverse is not finite.
bool Matrix2Invert(const Matrix2& matrix, Matrix2& out);

// ---- TransformD (out may be the transform or point itself)
TransformD& TransformIdentity(TransformD& transform);
// Matrix (sx, 0, 0, sy) and the given translation.
TransformD& TransformScaleCreate(TransformD& transform, double scale_x, double scale_y,
                                 const PointD& translation);
PointD& TransformApply(const TransformD& transform, const PointD& point, PointD& out);
void TransformApplyArray(const TransformD& transform, PointD* points, uint32_t n);
// False, leaving out alone, when the matrix cannot be inverted.
bool TransformInvert(const TransformD& transform, TransformD& out);
// out = transform followed by other: applying out to p gives other(transform(p)).
// Chains read in the order they are applied (pixels to millimetres, then
// millimetres to the target).
TransformD& TransformMultiply(const TransformD& transform, TransformD& out, const TransformD& other);
// The similarity (turn, uniform scale, shift) mapping a1 to b1 and a2 to b2.
// False, leaving out alone, when either segment has length 0.
bool TransformFromSegments(TransformD& out, const PointD& a1, const PointD& a2, const PointD& b1,
                           const PointD& b2);
