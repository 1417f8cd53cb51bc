#include "viewer/model/area_placement.h"

#include <algorithm>
#include <cmath>

#include "viewer/model/cut_out_state.h"

namespace {

// The smallest usable area, in the target's unit.
constexpr double kSmallestUsable = 10.0;
// Degrees to radians as the markups and measurements have always turned
// their points (not the exact value of pi / 180).
constexpr double kRadiansPerDegree = 0.017453292519444445;

bool QuarterTurn(uint32_t rotation) { return rotation == 90 || rotation == 270; }

// Add 0.5 and truncate, limited to the range of the result.
uint32_t RoundToPixels(double value) {
    const double rounded = std::trunc(value + 0.5);
    if (!(rounded > 0.0)) return 0;  // NaN too
    if (rounded >= 4294967295.0) return UINT32_MAX;
    return static_cast<uint32_t>(rounded);
}

int32_t RoundToOffset(double value) {
    const double rounded = std::trunc(value + 0.5);
    if (!(rounded > -2147483648.0)) return std::isnan(rounded) ? 0 : INT32_MIN;
    if (rounded >= 2147483647.0) return INT32_MAX;
    return static_cast<int32_t>(rounded);
}

RectD PageRect(const SizeD& page_size) {
    RectD rect;
    return RectDSet(rect, 0.0, 0.0, page_size.width, page_size.height);
}

// A page rectangle in the frame of the page turned by a quarter: (x, y, w,
// h) becomes the rectangle between (H - (y + h), x) and (H - y, x + w), H the
// unturned page height. Only sizes and containment matter to the callers,
// so the sense of the turn is immaterial as long as TurnBack undoes it.
RectD TurnQuarter(const RectD& rect, double page_height) {
    RectD turned;
    return RectDSet(turned, page_height - (rect.origin.y + rect.size.height), rect.origin.x, rect.size.height,
                    rect.size.width);
}

RectD TurnBack(const RectD& turned, double page_height) {
    RectD rect;
    return RectDSet(rect, turned.origin.y, page_height - turned.origin.x - turned.size.width,
                    turned.size.height, turned.size.width);
}

// Resizes about the centre.
void ResizeAboutCentre(RectD& rect, const SizeD& size) {
    PointD centre;
    RectDCentre(rect, centre);
    rect.size = size;
    rect.origin = PointD{centre.x - size.width / 2, centre.y - size.height / 2};
}

}  // namespace

bool PlacePageInArea(const PageAreaRequest& request, PageAreaPlacement& out) {
    SizeD page = request.page_size;
    RectD cut = request.cut_out;
    if (!(page.width > 0 && page.height > 0 && cut.size.width > 0 && cut.size.height > 0)) return false;
    if (request.rotation % 90 != 0 || !std::isfinite(request.zoom)) return false;

    uint32_t rotation = request.rotation % 360;
    double margin_left = request.margin_left, margin_top = request.margin_top;
    double margin_right = request.margin_right, margin_bottom = request.margin_bottom;
    if (request.auto_turn) {
        const bool cut_portrait = (cut.size.width < cut.size.height) != QuarterTurn(rotation);
        const bool area_portrait = request.printable.size.width < request.printable.size.height;
        if (cut_portrait != area_portrait) {
            const double old_left = margin_left;
            margin_left = margin_top;
            margin_top = margin_right;
            margin_right = margin_bottom;
            margin_bottom = old_left;
            rotation = (rotation + 90) % 360;
        }
    }

    const RectD& printable = request.printable;
    const double left = std::max(printable.origin.x, margin_left);
    const double top = std::max(printable.origin.y, margin_top);
    const double right =
        std::min(printable.origin.x + printable.size.width, request.area_size.width - margin_right);
    const double bottom =
        std::min(printable.origin.y + printable.size.height, request.area_size.height - margin_bottom);
    // Written so that NaN fails too.
    if (!(right >= left + kSmallestUsable) || !(bottom >= top + kSmallestUsable)) return false;
    RectD usable;
    RectDSet(usable, left, top, right - left, bottom - top);

    const bool quarter = QuarterTurn(rotation);
    if (quarter) {
        cut = TurnQuarter(cut, page.height);
        SizeDSwap(page);
    }

    double scale = request.zoom;
    if (!(scale > 0)) {
        const bool width_bound = cut.size.height / cut.size.width <= usable.size.height / usable.size.width;
        scale = width_bound ? usable.size.width / cut.size.width : usable.size.height / cut.size.height;
    }
    // A fixed zoom larger than the area shows less of the cut-out, never a
    // smaller scale.
    const double width_ratio = usable.size.width / (cut.size.width * scale);
    if (width_ratio < 1) {
        if (request.keep_centre && request.centre_x) cut.origin.x += cut.size.width * (1 - width_ratio) / 2;
        cut.size.width *= width_ratio;
    }
    const double height_ratio = usable.size.height / (cut.size.height * scale);
    if (height_ratio < 1) {
        if (request.keep_centre && request.centre_y) cut.origin.y += cut.size.height * (1 - height_ratio) / 2;
        cut.size.height *= height_ratio;
    }
    if (request.fill) {
        ResizeAboutCentre(cut, SizeD{usable.size.width / scale, usable.size.height / scale});
        RectDConstrain(cut, PageRect(page), true, false);
    }
    const SizeD out_size{cut.size.width * scale, cut.size.height * scale};

    const double x = request.centre_x ? request.area_size.width / 2 - out_size.width / 2 : usable.origin.x;
    const double y = request.centre_y ? request.area_size.height / 2 - out_size.height / 2 : usable.origin.y;
    RectDSet(out.area_rect, x, y, out_size.width, out_size.height);
    RectDConstrain(out.area_rect, usable, false, true);
    out.page_rect = quarter ? TurnBack(cut, request.page_size.height) : cut;
    out.rotation = rotation;
    return true;
}

void ComputePlacementFlips(uint32_t rotation, bool mirror_horizontal, bool mirror_vertical, uint8_t& flip_x,
                           uint8_t& flip_y) {
    if (QuarterTurn(rotation)) {
        flip_x = !mirror_horizontal;
        flip_y = mirror_vertical;
    } else {
        flip_x = mirror_horizontal;
        flip_y = !mirror_vertical;
    }
}

bool PagePlacementCompute(const RectD& page_rect, const SizeD& divisor, const RectD& area,
                          const SizeI& pixel_size, uint32_t rotation, bool mirror_horizontal,
                          bool mirror_vertical, bool invert, PagePlacement& out, PointI& pixel_offset) {
    if (!(divisor.width > 0 && divisor.height > 0)) return false;
    out.rect = page_rect;
    out.rotation = static_cast<uint16_t>(rotation % 360);
    out.invert = invert;
    ComputePlacementFlips(rotation, mirror_horizontal, mirror_vertical, out.flip_x, out.flip_y);
    out.reserved = 0;
    out.pixel_width = RoundToPixels(pixel_size.width * area.size.width / divisor.width);
    out.pixel_height = RoundToPixels(pixel_size.height * area.size.height / divisor.height);
    pixel_offset = PointI{RoundToOffset(pixel_size.width * area.origin.x / divisor.width),
                          RoundToOffset(pixel_size.height * area.origin.y / divisor.height)};
    return true;
}

void PreviewPlacePage(const SizeD& page_size, CutOutState* state, bool whole_page, const SizeI& area_pixels,
                      bool fill, PagePlacement& out, PointI& pixel_offset) {
    RectD rect;
    bool mirror_horizontal, mirror_vertical, invert;
    uint32_t rotation;
    {
        ScopedLock hold(state->lock);
        if (whole_page) {
            rect = PageRect(page_size);
        } else {
            RectDAssign(rect, state->cut_out);
        }
        mirror_horizontal = state->mirror_horizontal;
        mirror_vertical = state->mirror_vertical;
        rotation = state->rotation;
        invert = state->invert;
    }
    PreviewFitPage(page_size, rect, mirror_horizontal, mirror_vertical, rotation, invert, area_pixels, 0.0,
                   0.0, 0.0, fill, out, pixel_offset);
}

void PreviewFitPage(const SizeD& page_size, const RectD& rect, bool mirror_horizontal, bool mirror_vertical,
                    uint32_t rotation, bool invert, const SizeI& area_pixels, double zoom,
                    double pixels_per_mm_x, double pixels_per_mm_y, bool fill, PagePlacement& out,
                    PointI& pixel_offset) {
    rotation %= 360;
    const bool quarter = QuarterTurn(rotation);
    out.rotation = static_cast<uint16_t>(rotation);
    out.invert = invert;
    ComputePlacementFlips(rotation, mirror_horizontal, mirror_vertical, out.flip_x, out.flip_y);
    out.reserved = 0;
    RectD shown;
    RectDAssign(shown, rect);
    if (!(shown.size.width > 0 && shown.size.height > 0)) shown = PageRect(page_size);

    const double area_width = area_pixels.width, area_height = area_pixels.height;
    if (!(area_width > 0 && area_height > 0)) {
        out.rect = shown;
        out.pixel_width = out.pixel_height = 0;
        pixel_offset = PointI{};
        return;
    }
    // Sizes as the target shows them: page width and height exchanged at a quarter turn.
    auto turned = [quarter](const SizeD& size) { return quarter ? SizeD{size.height, size.width} : size; };

    SizeD pixels;
    if (!(zoom > 0 && pixels_per_mm_x > 0 && pixels_per_mm_y > 0)) {
        const double area_aspect = area_width / area_height;
        if (fill) {
            SizeD wanted = turned(shown.size);
            if (wanted.width / wanted.height < area_aspect) {
                wanted.width = wanted.height * area_aspect;
            } else {
                wanted.height = wanted.width / area_aspect;
            }
            wanted = turned(wanted);
            wanted.width = std::min(wanted.width, page_size.width);
            wanted.height = std::min(wanted.height, page_size.height);
            ResizeAboutCentre(shown, wanted);
            RectDConstrain(shown, PageRect(page_size), true, false);
        }
        const SizeD seen = turned(shown.size);
        const double aspect = seen.width / seen.height;
        pixels = aspect >= area_aspect ? SizeD{area_width, area_width / aspect}
                                       : SizeD{area_height * aspect, area_height};
    } else {
        const SizeD area_mm =
            turned(SizeD{area_width / pixels_per_mm_x / zoom, area_height / pixels_per_mm_y / zoom});
        if (fill) {
            ResizeAboutCentre(shown, area_mm);
            RectDConstrain(shown, PageRect(page_size), true, false);
        } else {
            shown.size.width = std::min(shown.size.width, area_mm.width);
            shown.size.height = std::min(shown.size.height, area_mm.height);
        }
        const SizeD seen = turned(shown.size);
        pixels = SizeD{seen.width * zoom * pixels_per_mm_x, seen.height * zoom * pixels_per_mm_y};
    }
    out.rect = shown;
    out.pixel_width = std::clamp<uint32_t>(RoundToPixels(pixels.width), 1, uint32_t(area_pixels.width));
    out.pixel_height = std::clamp<uint32_t>(RoundToPixels(pixels.height), 1, uint32_t(area_pixels.height));
    pixel_offset = PointI{int32_t((area_pixels.width - int64_t(out.pixel_width)) / 2),
                          int32_t((area_pixels.height - int64_t(out.pixel_height)) / 2)};
}

PointD PointDMirrorRotate(const PagePlacement& placement, const PointD& point) {
    PointD turned = point;
    if (placement.flip_x) turned.x = -turned.x;
    if (!placement.flip_y) turned.y = -turned.y;
    return PointDRotate(turned, placement.rotation * kRadiansPerDegree);
}
