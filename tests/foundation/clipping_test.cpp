#include "foundation/clipping.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace {

constexpr double kPi = std::numbers::pi;

bool InsideClosed(const RectD& rect, double x, double y) {
    return x >= rect.origin.x && x <= rect.origin.x + rect.size.width && y >= rect.origin.y &&
           y <= rect.origin.y + rect.size.height;
}

RectD RandomRect(std::mt19937& rng) {
    std::uniform_real_distribution<double> origin(-50.0, 50.0);
    std::uniform_real_distribution<double> side(1.0, 100.0);
    return RectD{SizeD{side(rng), side(rng)}, PointD{origin(rng), origin(rng)}};
}

PointD PointIn(std::mt19937& rng, const RectD& rect) {
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    return PointD{rect.origin.x + unit(rng) * rect.size.width, rect.origin.y + unit(rng) * rect.size.height};
}

PointD PointOutside(std::mt19937& rng, const RectD& rect) {
    std::uniform_real_distribution<double> coordinate(-200.0, 200.0);
    PointD point;
    do {
        point = PointD{coordinate(rng), coordinate(rng)};
    } while (InsideClosed(rect, point.x, point.y));
    return point;
}

// The range of t in [0, 1] whose points lie inside, by sampling.
struct SampledRange {
    bool any = false;
    double first = 0.0;
    double last = 0.0;
};

SampledRange SampleSegment(const RectD& rect, const PointD& start, const PointD& end, int samples) {
    SampledRange range;
    for (int k = 0; k <= samples; ++k) {
        double t = double(k) / samples;
        if (!InsideClosed(rect, start.x + (end.x - start.x) * t, start.y + (end.y - start.y) * t)) continue;
        if (!range.any) range.first = t;
        range.any = true;
        range.last = t;
    }
    return range;
}

void CheckSegment(const RectD& rect, const PointD& start, const PointD& end) {
    constexpr int kSamples = 20000;
    SCOPED_TRACE(testing::Message() << "rect " << rect.origin.x << "," << rect.origin.y << " "
                                    << rect.size.width << "x" << rect.size.height << " segment " << start.x
                                    << "," << start.y << " -> " << end.x << "," << end.y);
    RectD segment{SizeD{end.x - start.x, end.y - start.y}, start};
    RectD clipped;
    bool answer = RectDClipSegment(rect, segment, &clipped);
    EXPECT_EQ(RectDClipSegment(rect, segment, nullptr), answer);
    SampledRange sampled = SampleSegment(rect, start, end, kSamples);
    double length = std::hypot(segment.size.width, segment.size.height);
    if (!sampled.any) {
        // Only a piece shorter than the sample spacing may escape the samples.
        if (answer) {
            EXPECT_LT(std::hypot(clipped.size.width, clipped.size.height), 2.0 * length / kSamples);
        }
        return;
    }
    ASSERT_TRUE(answer || sampled.last - sampled.first <= 1.0 / kSamples);
    if (!answer) return;
    double tolerance = 1.0 / kSamples + 1e-9;
    double t0 =
        length > 0 ? std::hypot(clipped.origin.x - start.x, clipped.origin.y - start.y) / length : 0.0;
    double t1 = length > 0 ? t0 + std::hypot(clipped.size.width, clipped.size.height) / length : 0.0;
    EXPECT_NEAR(t0, sampled.first, tolerance);
    EXPECT_NEAR(t1, sampled.last, tolerance);
    // The piece keeps the segment's direction.
    EXPECT_GE(clipped.size.width * segment.size.width + clipped.size.height * segment.size.height, 0.0);
}

// A star-shaped polygon about a centre: angles sorted with gaps below a half turn.
std::vector<PointD> RandomStarPolygon(std::mt19937& rng, const PointD& centre, uint32_t count) {
    std::uniform_real_distribution<double> jitter(-0.2, 0.2);
    std::uniform_real_distribution<double> radius(5.0, 120.0);
    std::vector<PointD> points;
    for (uint32_t i = 0; i < count; ++i) {
        double angle = (i + jitter(rng)) * 2 * kPi / count;
        double r = radius(rng);
        points.push_back(PointD{centre.x + r * std::cos(angle), centre.y + r * std::sin(angle)});
    }
    return points;
}

double Cross(const PointD& o, const PointD& a, const PointD& b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

// Inside a star-shaped polygon: on the centre's side of the edge whose angular sector holds the point.
bool StarContains(const std::vector<PointD>& points, const PointD& centre, const PointD& p) {
    if (p == centre) return true;
    auto angle_of = [&](const PointD& q) {
        double a = std::atan2(q.y - centre.y, q.x - centre.x);
        return a < 0 ? a + 2 * kPi : a;
    };
    double angle = angle_of(p);
    size_t n = points.size();
    for (size_t i = 0; i < n; ++i) {
        const PointD& a = points[i];
        const PointD& b = points[(i + 1) % n];
        double from = angle_of(a), to = angle_of(b);
        bool in_sector = from <= to ? (angle >= from && angle <= to) : (angle >= from || angle <= to);
        if (!in_sector) continue;
        double side_of_point = Cross(a, b, p), side_of_centre = Cross(a, b, centre);
        return side_of_point == 0 || (side_of_point > 0) == (side_of_centre > 0);
    }
    return false;
}

struct Box {
    bool any = false;
    double left = 0, top = 0, right = 0, bottom = 0;
    void Add(double x, double y) {
        if (!any) {
            left = right = x;
            top = bottom = y;
            any = true;
        }
        left = std::min(left, x);
        right = std::max(right, x);
        top = std::min(top, y);
        bottom = std::max(bottom, y);
    }
};

}  // namespace

// A segment is stored as a rectangle: its direction in the size, its start in the origin.
TEST(ClippingSegment, CutAtTheEdgesOfTheRectangle) {
    const RectD rect{SizeD{10, 10}, PointD{0, 0}};
    const struct {
        const char* what;
        RectD segment;
        bool answer;
        RectD clipped;
    } cases[] = {
        {"start inside, cut at the exit", {SizeD{20, 0}, PointD{5, 5}}, true, {SizeD{5, 0}, PointD{5, 5}}},
        {"end inside, cut at the entry",
         {SizeD{20, 10}, PointD{-15, 0}},
         true,
         {SizeD{5, 2.5}, PointD{0, 7.5}}},
        {"crossing", {SizeD{30, 0}, PointD{-10, 4}}, true, {SizeD{10, 0}, PointD{0, 4}}},
        {"missing", {SizeD{30, 0}, PointD{-10, 11}}, false, {}},
        {"through the corner (10, 0) only", {SizeD{10, 10}, PointD{5, -5}}, false, {}},
        {"along the top edge, which is inside",
         {SizeD{30, 0}, PointD{-10, 0}},
         true,
         {SizeD{10, 0}, PointD{0, 0}}},
        {"a single point inside", {SizeD{0, 0}, PointD{3, 3}}, true, {SizeD{0, 0}, PointD{3, 3}}},
        {"a single point outside", {SizeD{0, 0}, PointD{-3, 3}}, false, {}},
    };
    for (const auto& c : cases) {
        RectD clipped;
        ASSERT_EQ(RectDClipSegment(rect, c.segment, &clipped), c.answer) << c.what;
        if (c.answer) EXPECT_EQ(clipped, c.clipped) << c.what;
    }
}

TEST(ClippingSegment, AgreesWithDenseSampling) {
    std::mt19937 rng(21);
    for (int i = 0; i < 600; ++i) {
        RectD rect = RandomRect(rng);
        switch (i % 4) {
            case 0:
                CheckSegment(rect, PointIn(rng, rect), PointOutside(rng, rect));
                break;
            case 1:
                CheckSegment(rect, PointOutside(rng, rect), PointIn(rng, rect));
                break;
            case 2:
                CheckSegment(rect, PointIn(rng, rect), PointIn(rng, rect));
                break;
            default:
                CheckSegment(rect, PointOutside(rng, rect), PointOutside(rng, rect));
                break;
        }
    }
}

TEST(ClippingSegmentIntersect, ParametersAlongBothSegments) {
    double t = -1, u = -1;
    ASSERT_TRUE(SegmentIntersectParam(PointD{0, 0}, PointD{10, 0}, PointD{2, -1}, PointD{2, 3}, t, u));
    EXPECT_DOUBLE_EQ(t, 0.25);
    EXPECT_DOUBLE_EQ(u, 0.2);
    // A vertical first segment takes u from the y coordinates.
    ASSERT_TRUE(SegmentIntersectParam(PointD{1, 0}, PointD{1, 8}, PointD{0, 2}, PointD{4, 2}, t, u));
    EXPECT_DOUBLE_EQ(t, 0.25);
    EXPECT_DOUBLE_EQ(u, 0.25);
    EXPECT_FALSE(SegmentIntersectParam(PointD{0, 0}, PointD{1, 1}, PointD{0, 1}, PointD{2, 3}, t, u));
}

TEST(ClippingPolygon, CornersInsideThePolygonCount) {
    RectD rect{SizeD{10, 10}, PointD{0, 0}};
    RectD bounds;
    // A polygon that holds the whole rectangle.
    PointD around[] = {{-5, -5}, {20, -5}, {20, 20}, {-5, 20}};
    ASSERT_TRUE(RectDClipPolygonBounds(rect, around, 4, bounds));
    EXPECT_EQ(bounds, rect);
    // A triangle over the corner (10, 10) with no vertex inside.
    PointD triangle[] = {{2, 14}, {14, 2}, {20, 20}};
    ASSERT_TRUE(RectDClipPolygonBounds(rect, triangle, 3, bounds));
    EXPECT_NEAR(bounds.origin.x, 6, 1e-12);
    EXPECT_NEAR(bounds.origin.y, 6, 1e-12);
    EXPECT_NEAR(bounds.size.width, 4, 1e-12);
    EXPECT_NEAR(bounds.size.height, 4, 1e-12);
    // One vertex inside, one corner inside: the box is not dragged to (0, 0).
    PointD wedge[] = {{8, 8}, {8, 20}, {20, 20}, {20, 8}};
    ASSERT_TRUE(RectDClipPolygonBounds(rect, wedge, 4, bounds));
    EXPECT_EQ(bounds, (RectD{SizeD{2, 2}, PointD{8, 8}}));
}

TEST(ClippingPolygon, InsideMissingAndEmpty) {
    RectD rect{SizeD{10, 10}, PointD{0, 0}};
    RectD bounds;
    PointD inside[] = {{1, 2}, {5, 1}, {3, 7}};
    ASSERT_TRUE(RectDClipPolygonBounds(rect, inside, 3, bounds));
    EXPECT_EQ(bounds, (RectD{SizeD{4, 6}, PointD{1, 1}}));
    PointD away[] = {{20, 20}, {30, 20}, {25, 30}};
    ASSERT_TRUE(RectDClipPolygonBounds(rect, away, 3, bounds));
    EXPECT_EQ(bounds, RectD{});
    EXPECT_FALSE(RectDClipPolygonBounds(rect, inside, 0, bounds));
}

TEST(ClippingPolygon, AgreesWithDenseSampling) {
    constexpr int kSamples = 4000;
    std::mt19937 rng(22);
    std::uniform_int_distribution<uint32_t> count(3, 12);
    int met = 0;
    for (int i = 0; i < 300; ++i) {
        RectD rect = RandomRect(rng);
        RectD around{SizeD{rect.size.width + 160, rect.size.height + 160},
                     PointD{rect.origin.x - 80, rect.origin.y - 80}};
        PointD centre = PointIn(rng, around);
        std::vector<PointD> polygon = RandomStarPolygon(rng, centre, count(rng));
        uint32_t n = static_cast<uint32_t>(polygon.size());
        // Sample the outline of the clipped area: polygon edges inside the
        // rectangle and rectangle sides inside the polygon.
        Box box;
        double spacing = 0;
        for (uint32_t e = 0; e < n; ++e) {
            const PointD& a = polygon[e];
            const PointD& b = polygon[(e + 1) % n];
            spacing = std::max(spacing, std::hypot(b.x - a.x, b.y - a.y) / kSamples);
            for (int k = 0; k <= kSamples; ++k) {
                double x = a.x + (b.x - a.x) * k / kSamples, y = a.y + (b.y - a.y) * k / kSamples;
                if (InsideClosed(rect, x, y)) box.Add(x, y);
            }
        }
        for (uint32_t side = 0; side < 4; ++side) {
            PointD start, direction;
            RectDGetSide(rect, side, start, direction);
            for (int k = 0; k <= kSamples; ++k) {
                PointD p{start.x + direction.x * k / kSamples, start.y + direction.y * k / kSamples};
                if (StarContains(polygon, centre, p)) box.Add(p.x, p.y);
            }
        }
        testing::Message trace;
        trace << "case " << i << " rect " << rect.origin.x << "," << rect.origin.y << " " << rect.size.width
              << "x" << rect.size.height << " polygon";
        for (const PointD& p : polygon) trace << " " << p.x << "," << p.y;
        SCOPED_TRACE(trace);
        RectD bounds;
        ASSERT_TRUE(RectDClipPolygonBounds(rect, polygon.data(), n, bounds));
        if (!box.any) {
            EXPECT_LT(bounds.size.width + bounds.size.height, 4 * spacing + 1e-9);
            continue;
        }
        ++met;
        double slack = spacing + 1e-9;
        EXPECT_NEAR(bounds.origin.x, box.left, slack);
        EXPECT_NEAR(bounds.origin.y, box.top, slack);
        EXPECT_NEAR(bounds.origin.x + bounds.size.width, box.right, slack);
        EXPECT_NEAR(bounds.origin.y + bounds.size.height, box.bottom, slack);
    }
    EXPECT_GT(met, 150);
}
