#include "viewer/views/view_image_cache.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "viewer/views/bitmap_cache.h"

namespace {

bool QuarterTurn(uint32_t rotation) { return rotation % 180 == 90; }

// Below this share of the request's extent a margin is not worth its render.
constexpr double kSmallestMargin = 0.1;
// How far, in pixels, a window may lie off the outer image's pixel grid.
constexpr double kGridTolerance = 0.01;

// How close a scale ratio must come to a whole number to count as one.
constexpr double kWholeRatioTolerance = 1e-6;

// Whole steps of the scale that fit between the rectangle and the page's
// edge (`room` millimetres), at most `wanted` pixels; in pixels.
uint32_t MarginPixels(double room, double scale, uint32_t wanted, uint32_t step) {
    const double fit = std::floor(room * scale + 1e-6);
    if (!(fit > 0)) return 0;
    const uint32_t pixels = fit < wanted ? static_cast<uint32_t>(fit) : wanted;
    return pixels / step * step;
}

uint32_t WholeRatio(double view_pixels_per_mm, double dpi) {
    if (!(dpi > 0) || !(view_pixels_per_mm > 0)) return 1;
    const double ratio = view_pixels_per_mm * 25.4 / dpi;
    const double whole = std::round(ratio);
    if (whole < 2 || whole > 1000000 || std::fabs(ratio - whole) > kWholeRatioTolerance * whole) return 1;
    return static_cast<uint32_t>(whole);
}

bool SameRender(const PagePlacement& a, const PagePlacement& b) {
    return a.rotation == b.rotation && a.flip_x == b.flip_x && a.flip_y == b.flip_y && a.invert == b.invert &&
           a.flags == b.flags && a.reserved == b.reserved;
}

bool Near(const PointD& a, const PointD& b, double tolerance_x, double tolerance_y) {
    return std::fabs(a.x - b.x) <= tolerance_x && std::fabs(a.y - b.y) <= tolerance_y;
}

}  // namespace

ViewPixelGrid ViewPixelGridFor(const PagePlacement& request, const SizeD& page_dpi) {
    ViewPixelGrid grid;
    if (!(request.rect.size.width > 0) || !(request.rect.size.height > 0)) return grid;
    grid.step_x = WholeRatio(PagePlacementScaleX(request), page_dpi.width);
    grid.step_y = WholeRatio(PagePlacementScaleY(request), page_dpi.height);
    return grid;
}

PagePlacement WidenPlacementForScrolling(const PagePlacement& request, const SizeD& page_size,
                                         const ViewPixelGrid& grid, uint64_t max_pixels) {
    const RectD& shown = request.rect;
    const bool quarter = QuarterTurn(request.rotation);
    // Pixels along the page's x and y.
    const uint32_t along_x = quarter ? request.pixel_height : request.pixel_width;
    const uint32_t along_y = quarter ? request.pixel_width : request.pixel_height;
    if (along_x == 0 || along_y == 0 || !(shown.size.width > 0) || !(shown.size.height > 0)) return request;
    const double requested = static_cast<double>(along_x) * along_y;
    const double share = std::min(1.0, (std::sqrt(static_cast<double>(max_pixels) / requested) - 1) / 2);
    if (!(share >= kSmallestMargin)) return request;

    const double scale_x = along_x / shown.size.width, scale_y = along_y / shown.size.height;
    const auto wanted_x = static_cast<uint32_t>(along_x * share),
               wanted_y = static_cast<uint32_t>(along_y * share);
    const uint32_t step_x = std::max(1u, grid.step_x), step_y = std::max(1u, grid.step_y);
    const uint32_t left = MarginPixels(shown.origin.x, scale_x, wanted_x, step_x);
    const uint32_t right =
        MarginPixels(page_size.width - shown.origin.x - shown.size.width, scale_x, wanted_x, step_x);
    const uint32_t top = MarginPixels(shown.origin.y, scale_y, wanted_y, step_y);
    const uint32_t bottom =
        MarginPixels(page_size.height - shown.origin.y - shown.size.height, scale_y, wanted_y, step_y);
    if (left + right + top + bottom == 0) return request;

    PagePlacement wide = request;
    // Whole pixels of the request's scale keep the request on the wide
    // render's pixel grid; the origin may come out a hair below 0.
    wide.rect.origin.x = std::max(0.0, shown.origin.x - left / scale_x);
    wide.rect.origin.y = std::max(0.0, shown.origin.y - top / scale_y);
    wide.rect.size.width = shown.size.width + (left + right) / scale_x;
    wide.rect.size.height = shown.size.height + (top + bottom) / scale_y;
    const uint32_t wide_x = along_x + left + right, wide_y = along_y + top + bottom;
    wide.pixel_width = quarter ? wide_y : wide_x;
    wide.pixel_height = quarter ? wide_x : wide_y;
    return wide;
}

bool PlacementWindowOffset(const PagePlacement& outer, const PagePlacement& request, PointI& offset,
                           const ViewPixelGrid& grid) {
    if (!SameRender(outer, request) || request.pixel_width == 0 || request.pixel_height == 0 ||
        outer.pixel_width == 0 || outer.pixel_height == 0) {
        return false;
    }
    const PointD corner = PagePlacementPixelToPage(request, PointI{0, 0});
    const PointI start = PagePlacementPageToPixel(outer, corner);
    const PointI end{start.x + static_cast<int32_t>(request.pixel_width),
                     start.y + static_cast<int32_t>(request.pixel_height)};
    if (start.x < 0 || start.y < 0 || end.x > static_cast<int32_t>(outer.pixel_width) ||
        end.y > static_cast<int32_t>(outer.pixel_height)) {
        return false;
    }
    // Both corners must meet the outer grid: that also proves the scale.
    const double tolerance_x = kGridTolerance / PagePlacementScaleX(request);
    const double tolerance_y = kGridTolerance / PagePlacementScaleY(request);
    const PointD far_corner = PagePlacementPixelToPage(
        request,
        PointI{static_cast<int32_t>(request.pixel_width), static_cast<int32_t>(request.pixel_height)});
    if (!Near(PagePlacementPixelToPage(outer, start), corner, tolerance_x, tolerance_y) ||
        !Near(PagePlacementPixelToPage(outer, end), far_corner, tolerance_x, tolerance_y)) {
        return false;
    }
    // Along the pixels' x runs the page's x, or its y at a quarter turn.
    const bool quarter = QuarterTurn(request.rotation);
    const int32_t step_across = std::max(1u, quarter ? grid.step_y : grid.step_x);
    const int32_t step_down = std::max(1u, quarter ? grid.step_x : grid.step_y);
    if (start.x % step_across != 0 || start.y % step_down != 0) return false;
    offset = start;
    return true;
}

bool ViewCacheLookup(BitmapCacheEntry* entry, int32_t page_id, const PagePlacement& request,
                     const ViewPixelGrid& grid, CachedViewImage& out) {
    if (!entry) return false;
    PagePlacement held;
    {
        ScopedLock hold(entry->lock);
        if (!entry->image || entry->page_id != page_id) return false;
        held = entry->placement;
    }
    if (held.flags != request.flags || held.reserved != request.reserved) return false;
    // The entry's picture as the request turns, mirrors and inverts it.
    PagePlacement wanted = held;
    wanted.rotation = request.rotation;
    wanted.flip_x = request.flip_x;
    wanted.flip_y = request.flip_y;
    wanted.invert = request.invert;
    if (QuarterTurn(held.rotation) != QuarterTurn(request.rotation)) {
        std::swap(wanted.pixel_width, wanted.pixel_height);
    }
    PointI offset;
    if (!PlacementWindowOffset(wanted, request, offset, grid)) return false;
    Ref<RasterImage> image = BitmapCacheLookup(entry, page_id, wanted);
    if (!image || image->width != wanted.pixel_width || image->height != wanted.pixel_height) return false;
    out.image = std::move(image);
    out.source_offset = offset;
    return true;
}
