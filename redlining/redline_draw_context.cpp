#include "redlining/redline_draw_context.h"

#include <algorithm>
#include <cstdio>

#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"

namespace {

constexpr double kNumberHeightMm = 4.0;
constexpr COLORREF kNumberTextColour = RGB(255, 255, 255);
constexpr COLORREF kNumberLabelColour = RGB(255, 0, 0);
constexpr BYTE kNumberPitchAndFamily = 48;

// The rotation the page item itself shows, 0 when it cannot be found.
uint32_t PageOwnRotation(ViewerContext* context, const ViewMapping* mapping) {
    if (!context || !mapping) return 0;
    Ref<DocItem> item = ViewerFindItem(context, mapping->page_id);
    if (!item) return 0;
    Ref<CutOutState> cut_out = item->GetCutOut();
    return cut_out ? CutOutGetRotation(cut_out.get()) : 0;
}

}  // namespace

void RedlineDrawContextBuild(RedlineDrawContext& draw, ViewerContext* context, const ViewMapping* mapping,
                             uint32_t flags) {
    RedlineDrawContextFree(draw);
    draw.scale = 1.0;
    draw.factor_x = draw.factor_y = 96.0 / 25.4;
    if (mapping) {
        const double scale = PagePlacementScale(mapping->placement);
        if (scale > 0) draw.scale = scale;
        // The mapping's scales are magnifications, under 1 below 100 %: sized
        // by them, handles and numbers shrank to specks as the view zoomed out.
        draw.factor_x = mapping->zoom_x;
        draw.factor_y = mapping->zoom_y;
    }
    if (flags & redline_draw::kNumbers) {
        draw.number_font_height = RoundToI32(draw.factor_y * kNumberHeightMm);
        const int32_t view_rotation = mapping ? mapping->placement.rotation : 0;
        const int32_t own = static_cast<int32_t>(PageOwnRotation(context, mapping) % 360);
        draw.number_rotation = ((view_rotation - own) % 360 + 360) % 360;
        draw.number_font.Reset(CreateFontW(-draw.number_font_height, 0, draw.number_rotation * 10,
                                           draw.number_rotation * 10, FW_BOLD, FALSE, FALSE, FALSE,
                                           DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                           DEFAULT_QUALITY, kNumberPitchAndFamily, L"Arial"));
    }
    if (flags & redline_draw::kSelection) draw.dotted_pen.Reset(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
    if (flags & redline_draw::kHandles) draw.solid_pen.Reset(CreatePen(PS_SOLID, 1, RGB(0, 0, 0)));
}

void RedlineDrawContextFree(RedlineDrawContext& draw) {
    draw.dotted_pen.Reset();
    draw.solid_pen.Reset();
    draw.number_font.Reset();
}

void RedlineDrawHandle(const RedlineDrawContext& draw, HDC dc, const PointI& point) {
    const int32_t w = RoundToI32(draw.factor_x * kRedlineHandleSideMm);
    const int32_t h = RoundToI32(draw.factor_y * kRedlineHandleSideMm);
    const int32_t left = std::clamp(point.x - w / 2, -kGdiCoordinateLimit, kGdiCoordinateLimit);
    const int32_t top = std::clamp(point.y - h / 2, -kGdiCoordinateLimit, kGdiCoordinateLimit);
    Rectangle(dc, left, top, left + w, top + h);
}

void RedlineDrawObjectNumber(const RedlineDrawContext& draw, HDC dc, const PointD& page,
                             const ViewMapping* mapping, int32_t number) {
    if (!draw.number_font || !mapping) return;
    POINT at = RedlineMapPoint(mapping, page);
    const int32_t half = draw.number_font_height / 2;
    switch (draw.number_rotation) {
        case 0:
            at.y -= half;
            break;
        case 90:
            at.x -= half;
            break;
        case 180:
            at.y += half;
            break;
        case 270:
            at.x += half;
            break;
        default:
            break;
    }
    wchar_t text[21];
    const int length = swprintf(text, 21, L" %d ", static_cast<int>(number));
    if (length <= 0) return;
    ScopedSelect font(dc, draw.number_font.get());
    const COLORREF old_text = SetTextColor(dc, kNumberTextColour);
    const COLORREF old_background = SetBkColor(dc, kNumberLabelColour);
    const UINT old_align = SetTextAlign(dc, TA_CENTER | TA_TOP);
    const int old_mode = SetBkMode(dc, OPAQUE);
    TextOutW(dc, at.x, at.y, text, length);
    SetBkMode(dc, old_mode);
    SetTextAlign(dc, old_align);
    SetBkColor(dc, old_background);
    SetTextColor(dc, old_text);
}

COLORREF RedlineDrawColour(uint32_t colour, uint32_t flags) {
    if (!(flags & redline_draw::kGrey)) return colour;
    const uint32_t grey = (GetRValue(colour) + GetGValue(colour) + GetBValue(colour)) / 3;
    return RGB(grey, grey, grey);
}

POINT RedlineMapPoint(const ViewMapping* mapping, const PointD& page) {
    const PointI device = ViewMapPageToDevice(mapping, page);
    return POINT{std::clamp(device.x, -kGdiCoordinateLimit, kGdiCoordinateLimit),
                 std::clamp(device.y, -kGdiCoordinateLimit, kGdiCoordinateLimit)};
}
