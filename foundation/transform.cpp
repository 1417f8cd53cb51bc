#include "foundation/transform.h"

#include <cmath>

// ---- Matrix2

Matrix2& Matrix2Identity(Matrix2& matrix) { return Matrix2Set(matrix, 1.0, 0.0, 0.0, 1.0); }

Matrix2& Matrix2Set(Matrix2& matrix, double a, double b, double c, double d) {
    matrix.a = a;
    matrix.b = b;
    matrix.c = c;
    matrix.d = d;
    return matrix;
}

Matrix2& Matrix2Copy(const Matrix2& matrix, Matrix2& out) {
    out = matrix;
    return out;
}

PointD& Matrix2Apply(const Matrix2& matrix, const PointD& point, PointD& out) {
    double x = matrix.a * point.x + matrix.b * point.y;
    double y = matrix.c * point.x + matrix.d * point.y;
    return PointDSet(out, x, y);
}

Matrix2& Matrix2Multiply(const Matrix2& matrix, const Matrix2& other, Matrix2& out) {
    const Matrix2& m = matrix;
    const Matrix2& o = other;
    return Matrix2Set(out, m.a * o.a + m.b * o.c, m.a * o.b + m.b * o.d, m.c * o.a + m.d * o.c,
                      m.c * o.b + m.d * o.d);
}

double Matrix2Determinant(const Matrix2& matrix) { return matrix.a * matrix.d - matrix.b * matrix.c; }

Matrix2& Matrix2Scale(Matrix2& matrix, double scale) { return Matrix2Set(matrix, scale, 0.0, 0.0, scale); }

Matrix2& Matrix2Rotation(Matrix2& matrix, double radians) {
    double c = std::cos(radians);
    double s = std::sin(radians);
    return Matrix2Set(matrix, c, -s, s, c);
}

bool Matrix2Invert(const Matrix2& matrix, Matrix2& out) {
    double det = Matrix2Determinant(matrix);
    if (det == 0.0) return false;
    Matrix2 inverse{matrix.d / det, -matrix.b / det, -matrix.c / det, matrix.a / det};
    // A determinant near the smallest double gives an infinite inverse, which
    // the image drawing would turn into undefined integer conversions.
    if (!std::isfinite(inverse.a) || !std::isfinite(inverse.b) || !std::isfinite(inverse.c) ||
        !std::isfinite(inverse.d)) {
        return false;
    }
    out = inverse;
    return true;
}

// ---- TransformD

TransformD& TransformIdentity(TransformD& transform) {
    transform = TransformD{};
    return transform;
}

TransformD& TransformScaleCreate(TransformD& transform, double scale_x, double scale_y,
                                 const PointD& translation) {
    Matrix2Set(transform.matrix, scale_x, 0.0, 0.0, scale_y);
    transform.translation = translation;
    return transform;
}

PointD& TransformApply(const TransformD& transform, const PointD& point, PointD& out) {
    Matrix2Apply(transform.matrix, point, out);
    return PointDAdd(out, transform.translation);
}

void TransformApplyArray(const TransformD& transform, PointD* points, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) TransformApply(transform, points[i], points[i]);
}

bool TransformInvert(const TransformD& transform, TransformD& out) {
    Matrix2 inverse;
    if (!Matrix2Invert(transform.matrix, inverse)) return false;
    PointD negated;
    PointDNegated(transform.translation, negated);
    Matrix2Apply(inverse, negated, out.translation);
    out.matrix = inverse;
    return true;
}

// other(transform(p)) = other.M·(M·p + t) + other.t, so the matrix is
// other.M × M (applying M first) and the translation other.M·t + other.t.
TransformD& TransformMultiply(const TransformD& transform, TransformD& out, const TransformD& other) {
    Matrix2 matrix;
    Matrix2Multiply(other.matrix, transform.matrix, matrix);
    PointD translation;
    Matrix2Apply(other.matrix, transform.translation, translation);
    PointDAdd(translation, other.translation);
    out.matrix = matrix;
    out.translation = translation;
    return out;
}

bool TransformFromSegments(TransformD& out, const PointD& a1, const PointD& a2, const PointD& b1,
                           const PointD& b2) {
    PointD da{a2.x - a1.x, a2.y - a1.y};
    PointD db{b2.x - b1.x, b2.y - b1.y};
    double length_a = PointDLength(da);
    double length_b = PointDLength(db);
    if (!(length_a > 0.0) || !(length_b > 0.0)) return false;
    Matrix2 rotation, scale, matrix;
    Matrix2Rotation(rotation, PointDAngle(db) - PointDAngle(da));
    Matrix2Scale(scale, length_b / length_a);
    Matrix2Multiply(rotation, scale, matrix);
    PointD mapped_a1;
    Matrix2Apply(matrix, a1, mapped_a1);
    PointD translation{b1.x - mapped_a1.x, b1.y - mapped_a1.y};
    out.matrix = matrix;
    out.translation = translation;
    return true;
}
