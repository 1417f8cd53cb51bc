#include "foundation/transform.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

void ExpectNear(const PointD& actual, const PointD& expected, double tolerance) {
    EXPECT_NEAR(actual.x, expected.x, tolerance);
    EXPECT_NEAR(actual.y, expected.y, tolerance);
}

// A random affine transform whose matrix is kept well away from singular.
TransformD RandomTransform(std::mt19937& rng) {
    std::uniform_real_distribution<double> entry(-3.0, 3.0);
    std::uniform_real_distribution<double> shift(-1000.0, 1000.0);
    TransformD transform;
    do {
        Matrix2Set(transform.matrix, entry(rng), entry(rng), entry(rng), entry(rng));
    } while (std::fabs(Matrix2Determinant(transform.matrix)) < 0.1);
    transform.translation = PointD{shift(rng), shift(rng)};
    return transform;
}

PointD RandomPoint(std::mt19937& rng) {
    std::uniform_real_distribution<double> coordinate(-500.0, 500.0);
    return PointD{coordinate(rng), coordinate(rng)};
}

}  // namespace

TEST(TransformMatrix, MultiplyAppliesOtherFirst) {
    std::mt19937 rng(8);
    for (int i = 0; i < 200; ++i) {
        Matrix2 m = RandomTransform(rng).matrix, o = RandomTransform(rng).matrix, product;
        PointD p = RandomPoint(rng), step, expected, actual;
        Matrix2Apply(m, Matrix2Apply(o, p, step), expected);
        Matrix2Apply(Matrix2Multiply(m, o, product), p, actual);
        ExpectNear(actual, expected, 1e-9);
        EXPECT_NEAR(Matrix2Determinant(product), Matrix2Determinant(m) * Matrix2Determinant(o), 1e-9);
    }
}

TEST(TransformMatrix, SingularMatricesDoNotInvert) {
    Matrix2 out{9, 9, 9, 9};
    EXPECT_FALSE(Matrix2Invert(Matrix2{2, 4, 1, 2}, out));
    EXPECT_FALSE(Matrix2Invert(Matrix2{0, 0, 0, 0}, out));
    // A determinant that is not 0 but whose inverse overflows.
    EXPECT_FALSE(Matrix2Invert(Matrix2{1e-300, 0, 0, 1e-300}, out));
    EXPECT_EQ(out, (Matrix2{9, 9, 9, 9}));
    TransformD transform, inverse;
    TransformScaleCreate(transform, 0, 3, PointD{1, 1});
    EXPECT_FALSE(TransformInvert(transform, inverse));
}

TEST(TransformAffine, InvertThenApplyGivesThePointBack) {
    std::mt19937 rng(9);
    for (int i = 0; i < 1000; ++i) {
        TransformD transform = RandomTransform(rng), inverse;
        ASSERT_TRUE(TransformInvert(transform, inverse));
        PointD p = RandomPoint(rng), mapped, back;
        TransformApply(inverse, TransformApply(transform, p, mapped), back);
        ExpectNear(back, p, 1e-7);
        TransformApply(transform, TransformApply(inverse, p, mapped), back);
        ExpectNear(back, p, 1e-7);
    }
}

TEST(TransformAffine, MultiplyIsTheTransformFollowedByTheOther) {
    std::mt19937 rng(10);
    for (int i = 0; i < 500; ++i) {
        TransformD first = RandomTransform(rng), second = RandomTransform(rng), chained;
        TransformMultiply(first, chained, second);
        PointD p = RandomPoint(rng), step, expected, actual;
        TransformApply(second, TransformApply(first, p, step), expected);
        ExpectNear(TransformApply(chained, p, actual), expected, 1e-8);
        // out may be the transform itself.
        TransformMultiply(first, first, second);
        ExpectNear(TransformApply(first, p, actual), expected, 1e-8);
    }
}

TEST(TransformSegments, MapsBothEndsWithASimilarity) {
    std::mt19937 rng(11);
    for (int i = 0; i < 500; ++i) {
        PointD a1 = RandomPoint(rng), a2 = RandomPoint(rng), b1 = RandomPoint(rng), b2 = RandomPoint(rng);
        TransformD transform;
        ASSERT_TRUE(TransformFromSegments(transform, a1, a2, b1, b2));
        PointD out;
        ExpectNear(TransformApply(transform, a1, out), b1, 1e-8);
        ExpectNear(TransformApply(transform, a2, out), b2, 1e-8);
        // Rotation and uniform scale only: (a, b, c, d) = (s cos, -s sin, s sin, s cos).
        const Matrix2& m = transform.matrix;
        EXPECT_NEAR(m.a, m.d, 1e-12);
        EXPECT_NEAR(m.b, -m.c, 1e-12);
    }
}

TEST(TransformSegments, QuarterTurnAndDegenerateSegments) {
    TransformD transform;
    ASSERT_TRUE(TransformFromSegments(transform, PointD{0, 0}, PointD{1, 0}, PointD{0, 0}, PointD{0, 2}));
    EXPECT_NEAR(transform.matrix.a, 0, 1e-15);
    EXPECT_NEAR(transform.matrix.b, -2, 1e-15);
    EXPECT_NEAR(transform.matrix.c, 2, 1e-15);
    EXPECT_NEAR(transform.matrix.d, 0, 1e-15);
    PointD same{5, 5};
    TransformD untouched;
    EXPECT_FALSE(TransformFromSegments(untouched, same, same, PointD{0, 0}, PointD{1, 1}));
    EXPECT_FALSE(TransformFromSegments(untouched, PointD{0, 0}, PointD{1, 1}, same, same));
    EXPECT_EQ(untouched, TransformD{});
}
