#include "foundation/geometry.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <numbers>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

TEST(GeometryRectD, NegativeSizesMoveTheOriginOrAreMadePositive) {
    RectD rect;
    EXPECT_EQ(RectDSet(rect, 10, 10, -4, 5), (RectD{SizeD{4, 5}, PointD{6, 10}}));
    EXPECT_EQ(RectDSet(rect, 1, 2, 3, -7), (RectD{SizeD{3, 7}, PointD{1, -5}}));
    EXPECT_EQ(RectDAssign(rect, RectD{SizeD{-3, -4}, PointD{1, 2}}), (RectD{SizeD{3, 4}, PointD{1, 2}}));
    SizeD size;
    SizeDSetAbs(size, -3, 4);
    SizeDScale(size, -0.5);
    EXPECT_EQ(size, (SizeD{1.5, 2}));
}

TEST(GeometryRectD, IntersectAndContainAtTheEdges) {
    RectD a{SizeD{10, 10}, PointD{0, 0}};
    RectD out{SizeD{1, 1}, PointD{1, 1}};
    EXPECT_FALSE(RectDIntersect(a, RectD{SizeD{5, 5}, PointD{10, 2}}, &out));  // touching only
    EXPECT_EQ(out, RectD{});
    ASSERT_TRUE(RectDIntersect(a, RectD{SizeD{5, 5}, PointD{8, -2}}, &out));
    EXPECT_EQ(out, (RectD{SizeD{2, 3}, PointD{8, 0}}));
    EXPECT_TRUE(RectDIntersect(a, out, nullptr));
    RectD rect{SizeD{2, 3}, PointD{1, 1}};
    EXPECT_TRUE(RectDContains(rect, PointD{1, 1}));
    EXPECT_TRUE(RectDContains(rect, PointD{3, 4}));
    EXPECT_FALSE(RectDContains(rect, PointD{3.0001, 4}));
    EXPECT_FALSE(RectDContains(rect, PointD{0.9999, 2}));
}

TEST(GeometryRectD, ConstrainShrinksOnlyWhenAllowed) {
    RectD bounds{SizeD{100, 100}, PointD{0, 0}};
    RectD rect{SizeD{200, 100}, PointD{0, 0}};
    EXPECT_FALSE(RectDConstrain(rect, bounds, false, true));
    ASSERT_TRUE(RectDConstrain(rect, bounds, true, true));
    EXPECT_EQ(rect.size, (SizeD{100, 50}));
    // Moved, not resized: past the far edge it moves back, before the near edge it is put on it.
    RectD moved{SizeD{30, 40}, PointD{90, -10}};
    ASSERT_TRUE(RectDConstrain(moved, bounds, false, false));
    EXPECT_EQ(moved, (RectD{SizeD{30, 40}, PointD{70, 0}}));
    RectD flat{SizeD{10, 0}, PointD{0, 0}};
    EXPECT_FALSE(RectDConstrain(flat, bounds, true, true));
}

TEST(GeometryRectD, ScaleKeepsCentreAndGrowNeverGoesNegative) {
    RectD rect{SizeD{10, 4}, PointD{0, 0}};
    RectDScale(rect, -2);
    EXPECT_EQ(rect, (RectD{SizeD{20, 8}, PointD{-5, -2}}));
    RectD grow{SizeD{10, 4}, PointD{5, 5}};
    RectDGrowLeft(grow, 3);
    EXPECT_EQ(grow, (RectD{SizeD{13, 4}, PointD{2, 5}}));
    RectDGrowTop(grow, -100);
    EXPECT_EQ(grow, (RectD{SizeD{13, 0}, PointD{2, 9}}));
}

TEST(GeometryRectD, UnionAndIncludePointReportChanges) {
    RectD rect{SizeD{10, 10}, PointD{0, 0}};
    EXPECT_FALSE(RectDUnion(rect, RectD{SizeD{2, 2}, PointD{3, 3}}));
    EXPECT_TRUE(RectDUnion(rect, RectD{SizeD{2, 2}, PointD{9, -3}}));
    EXPECT_EQ(rect, (RectD{SizeD{11, 13}, PointD{0, -3}}));
    EXPECT_FALSE(RectDIncludePoint(rect, PointD{11, 10}));
    EXPECT_TRUE(RectDIncludePoint(rect, PointD{-1, 10}));
    EXPECT_EQ(rect, (RectD{SizeD{12, 13}, PointD{-1, -3}}));
}

TEST(GeometryRectD, SidesGoClockwiseAndClampMovesOntoTheNearestEdge) {
    RectD rect{SizeD{4, 2}, PointD{1, 1}};
    const PointD starts[] = {{1, 1}, {5, 1}, {5, 3}, {1, 3}},
                 directions[] = {{4, 0}, {0, 2}, {-4, 0}, {0, -2}};
    for (uint32_t side = 0; side < 4; ++side) {
        PointD start, direction, corner;
        RectDGetSide(rect, side, start, direction);
        EXPECT_EQ(start, starts[side]) << side;
        EXPECT_EQ(direction, directions[side]) << side;
        EXPECT_EQ(RectDGetCorner(rect, side, corner), starts[side]) << side;
    }
    PointD point{-3, 9};
    ASSERT_TRUE(RectDClampPoint(rect, point));
    EXPECT_EQ(point, (PointD{1, 3}));
    EXPECT_FALSE(RectDClampPoint(RectD{SizeD{0, 2}, PointD{1, 1}}, point));
    // Integer rectangles clamp onto their inclusive far edge.
    PointI pixel{50, -3};
    ASSERT_TRUE(RectIClampPoint(RectI{SizeI{10, 10}, PointI{0, 0}}, pixel));
    EXPECT_EQ(pixel, (PointI{9, 0}));
}

TEST(GeometryPointD, RoundsHalfUpAndStaysInRange) {
    PointI out;
    EXPECT_EQ(PointDRound(PointD{2.5, -2.5}, out), (PointI{3, -2}));
    EXPECT_EQ(PointDRound(PointD{-0.5000001, 0.4999999}, out), (PointI{-1, 0}));
    EXPECT_EQ(PointDRound(PointD{1e30, -1e30}, out), (PointI{INT_MAX, INT_MIN}));
    EXPECT_EQ(PointDRound(PointD{NAN, 0}, out), (PointI{0, 0}));
}

TEST(GeometryPointD, VectorOperations) {
    PointD point{3, 4};
    EXPECT_DOUBLE_EQ(PointDLength(point), 5);
    PointDSetLength(point, 10);
    EXPECT_DOUBLE_EQ(point.x, 6);
    EXPECT_DOUBLE_EQ(point.y, 8);
    PointD zero;
    EXPECT_EQ(PointDSetLength(zero, 5), PointD{});
    PointD turned{1, 0};
    PointDRotate(turned, std::numbers::pi / 2);
    EXPECT_NEAR(turned.x, 0, 1e-15);
    EXPECT_NEAR(turned.y, 1, 1e-15);
    EXPECT_DOUBLE_EQ(PointDAngle(PointD{-1, 0}), std::numbers::pi);

    PointD points[] = {{3, -1}, {-2, 5}, {0, 0}};
    RectD bounds;
    EXPECT_EQ(PointDBounds(points, 3, bounds), (RectD{SizeD{5, 6}, PointD{-2, -1}}));
    EXPECT_EQ(PointDBounds(points, 0, bounds), RectD{});
}

TEST(GeometryRectI, InclusiveFarEdges) {
    RectI rect;
    RectISet(rect, 0, 0, 10, 10);
    EXPECT_TRUE(RectIContains(rect, PointI{9, 9}));
    EXPECT_FALSE(RectIContains(rect, PointI{10, 10}));
    EXPECT_FALSE(RectIContains(rect, PointI{-1, 0}));
    EXPECT_FALSE(RectIContains(RectI{}, PointI{0, 0}));
    RectI out;
    ASSERT_TRUE(RectIIntersect(rect, RectI{SizeI{5, 5}, PointI{9, 9}}, &out));
    EXPECT_EQ(out, (RectI{SizeI{1, 1}, PointI{9, 9}}));
    EXPECT_FALSE(RectIIntersect(rect, RectI{SizeI{5, 5}, PointI{10, 0}}, &out));
    EXPECT_FALSE(RectIIntersect(rect, RectI{SizeI{0, 5}, PointI{3, 3}}, nullptr));
    EXPECT_EQ(SizeIArea(SizeI{100000, 100000}), 10000000000LL);
}

TEST(GeometryRectI, CornersInAnyOrder) {
    RectI rect;
    RectIFromCorners(rect, PointI{5, 5}, PointI{2, 2});
    EXPECT_EQ(rect, (RectI{SizeI{4, 4}, PointI{2, 2}}));
    int32_t corners[4];
    RectIGetCorners(rect, corners);
    EXPECT_EQ(std::vector<int32_t>(corners, corners + 4), (std::vector<int32_t>{2, 2, 5, 5}));
    RectI back;
    EXPECT_EQ(RectIFromCornersRaw(back, corners), rect);
    RECT windows_rect{7, 1, 3, 2};
    EXPECT_EQ(RectIFromRect(rect, windows_rect), (RectI{SizeI{5, 2}, PointI{3, 1}}));
    RectISetCorners(rect, INT_MIN, 0, INT_MAX, 0);
    EXPECT_EQ(rect.size.width, INT_MAX);
}

TEST(GeometryRectI, GrowNeverGoesNegative) {
    RectI rect{SizeI{10, 4}, PointI{5, 5}};
    RectIGrowLeft(rect, 2);
    EXPECT_EQ(rect, (RectI{SizeI{12, 4}, PointI{3, 5}}));
    RectIGrowTop(rect, -9);
    EXPECT_EQ(rect, (RectI{SizeI{12, 0}, PointI{3, 9}}));
    RectIGrowWidth(rect, INT_MIN);
    EXPECT_EQ(rect.size.width, 0);
    RectIGrowHeight(rect, 7);
    EXPECT_EQ(rect.size.height, 7);
}

TEST(GeometryRectI, BoundPoints) {
    RectI rect;
    EXPECT_EQ(RectIBoundPoints(rect, nullptr, 0), RectI{});
    PointI one{4, -2};
    EXPECT_EQ(RectIBoundPoints(rect, &one, 1), (RectI{SizeI{1, 1}, PointI{4, -2}}));
    PointI points[] = {{4, -2}, {0, 3}, {2, 2}};
    EXPECT_EQ(RectIBoundPoints(rect, points, 3), (RectI{SizeI{5, 6}, PointI{0, -2}}));
}

TEST(GeometryRectI, ConstrainShrinksInProportionAndMoves) {
    RectI bounds{SizeI{100, 100}, PointI{0, 0}};
    RectI rect{SizeI{300, 100}, PointI{50, 50}};
    EXPECT_FALSE(RectIConstrain(rect, bounds, false, false));
    ASSERT_TRUE(RectIConstrain(rect, bounds, true, true));
    EXPECT_EQ(rect, (RectI{SizeI{100, 33}, PointI{0, 50}}));
    // A proportional side of 0 becomes 1.
    RectI thin{SizeI{1000, 1}, PointI{0, 0}};
    ASSERT_TRUE(RectIConstrain(thin, bounds, true, true));
    EXPECT_EQ(thin.size, (SizeI{100, 1}));
    // 64-bit products: 2e9 x 2e9 does not wrap.
    RectI big_bounds{SizeI{2000000000, 2000000000}, PointI{0, 0}};
    RectI big{SizeI{2100000000, 2050000000}, PointI{0, 0}};
    ASSERT_TRUE(RectIConstrain(big, big_bounds, true, true));
    EXPECT_EQ(big.size, (SizeI{2000000000, 1952380952}));
    RectI zero{SizeI{0, 10}, PointI{0, 0}};
    EXPECT_FALSE(RectIConstrain(zero, bounds, true, true));
}

TEST(GeometryRectI, ClipRectsCutsAndAdvancesBothPositions) {
    RectI bounds[2] = {{SizeI{100, 50}, PointI{0, 0}}, {SizeI{40, 40}, PointI{10, 10}}};
    PointI positions[2] = {{-5, 20}, {0, 0}};
    SizeI extent{60, 60};
    ASSERT_TRUE(RectIClipRects(extent, 2, bounds, positions));
    // Source starts at -5 (needs +5), destination at 0 (needs +10): both move by 10.
    EXPECT_EQ(positions[0], (PointI{5, 30}));
    EXPECT_EQ(positions[1], (PointI{10, 10}));
    // Width: 60 - 10 = 50, cut to the destination's 40; height: the source has 20 rows left.
    EXPECT_EQ(extent, (SizeI{40, 20}));

    PointI outside[2] = {{200, 0}, {0, 0}};
    SizeI gone{10, 10};
    EXPECT_FALSE(RectIClipRects(gone, 2, bounds, outside));
    EXPECT_EQ(gone, SizeI{});
}

TEST(GeometryFraction, ReducesBySmallPrimesOnly) {
    EXPECT_EQ(FractionReduce(4000, 6000), (Fraction{2, 3}));
    EXPECT_EQ(FractionReduce(37, 74), (Fraction{37, 74}));
    EXPECT_EQ(FractionReduce(-300, 200), (Fraction{-3, 2}));
    EXPECT_EQ(FractionReduce(5, 0), (Fraction{0, 1}));
    EXPECT_EQ(FractionReduce(INT_MIN, 1 << 30), (Fraction{-2, 1}));
}

namespace {

bool HasPrimeFactorUpTo31(int64_t value) {
    for (int64_t prime : {2, 3, 5, 7, 11, 13, 17, 19, 23, 29, 31}) {
        if (value % prime == 0) return true;
    }
    return false;
}

}  // namespace

// Python's fractions reduce fully; ours must have the same value and differ
// from it only by a common factor without primes up to 31.
TEST(GeometryFraction, AgreesWithPythonFractions) {
    std::vector<std::string> lines;
    ASSERT_TRUE(RunDataScript("make_fraction_cases.py", "out.txt", {}, &lines));
    int checked = 0;
    for (const std::string& line : lines) {
        int64_t n, d, python_n, python_d;
        ASSERT_TRUE(std::istringstream(line) >> n >> d >> python_n >> python_d) << line;
        SCOPED_TRACE(std::to_string(n) + "/" + std::to_string(d));
        Fraction ours = FractionReduce(static_cast<int32_t>(n), static_cast<int32_t>(d));
        ++checked;
        if (d == 0) {
            EXPECT_EQ(ours, (Fraction{0, 1}));
            continue;
        }
        if (n == 0) {
            // Zero is left over its denominator: no prime is "not larger" than 0.
            EXPECT_EQ(ours, (Fraction{0, static_cast<int32_t>(d)}));
            continue;
        }
        ASSERT_EQ(int64_t{ours.numerator} * python_d, python_n * int64_t{ours.denominator});
        int64_t leftover = int64_t{ours.denominator} / python_d;
        EXPECT_EQ(int64_t{ours.denominator}, leftover * python_d);
        EXPECT_EQ(int64_t{ours.numerator}, leftover * python_n);
        EXPECT_FALSE(HasPrimeFactorUpTo31(leftover)) << "left " << leftover;
        EXPECT_EQ(ours.numerator < 0, n < 0) << "the numerator keeps its sign";
    }
    EXPECT_GT(checked, 2000);
}
