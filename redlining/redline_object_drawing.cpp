// How markup objects draw: content, object number, selection outline and
// handles. Each Draw copies what it needs under the object's lock and draws
// from that copy, so no lock is held while GDI or the viewer context is called.
#include <algorithm>
#include <cmath>
#include <vector>

#include "foundation/string_split.h"
#include "redlining/redline_objects.h"
#include "viewer/core/var_text.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"

namespace {

using namespace redline_attribute;
using redline_draw::kContent;
using redline_draw::kHandles;
using redline_draw::kNumbers;
using redline_draw::kSelection;

constexpr int32_t kMaxPenWidth = 1000;
// Larger glyphs only burden the rasteriser; the page would not show more.
constexpr int32_t kMaxFontPixelHeight = 16384;
constexpr int32_t kReferenceFontHeight = 24;
constexpr double kLineSpacing = 1.25;
constexpr double kNumberOffsetMm = 2.0;
constexpr int32_t kUnlaidSelectionSide = 50;  // device pixels
constexpr COLORREF kNoteColour = RGB(255, 255, 0);
constexpr BYTE kTextPitchAndFamily = 48;
// Line ends: arm length factors of the large and the small arrow, and the angles.
constexpr double kLargeArrow = 3.0;
constexpr double kSmallArrow = 1.5;
constexpr double kArmLength = 2.236;
constexpr double kArmAngle = 2.6179938779166667;        // 150 degrees
constexpr double kSecondArmAngle = 1.0471975511666667;  // a further 60 degrees
constexpr double kBarAngle = 1.57079632675;
constexpr double kBarHalf = 2.0;

// A pen or brush made for one call, or a stock object; selected for the scope.
class ScopedTool {
  public:
    ScopedTool(HDC dc, HGDIOBJ made, int stock)
        : made_(made), select_(dc, made ? made : GetStockObject(stock)) {}
    ~ScopedTool() = default;

  private:
    struct Deleter {
        explicit Deleter(HGDIOBJ object) : object(object) {}
        ~Deleter() {
            if (object) DeleteObject(object);
        }
        HGDIOBJ object;
    };
    // Declared first: deleted only after the selection was undone.
    Deleter made_;
    ScopedSelect select_;
};

HPEN MakeOutlinePen(const LineAttr* outline, const RedlineDrawContext& draw, uint32_t flags) {
    if (!outline || outline->transparent) return nullptr;
    const double pixels = std::clamp<double>(outline->width * draw.scale, 1.0, kMaxPenWidth);
    return CreatePen(PS_SOLID, RoundToI32(pixels), RedlineDrawColour(outline->colour, flags));
}

HBRUSH MakeFillBrush(const FillAttr* fill, uint32_t flags) {
    if (!fill || fill->transparent) return nullptr;
    return CreateSolidBrush(RedlineDrawColour(fill->colour, flags));
}

std::vector<POINT> MapPoints(const ViewMapping* mapping, const std::vector<PointD>& points) {
    std::vector<POINT> device(points.size());
    for (size_t i = 0; i < points.size(); ++i) device[i] = RedlineMapPoint(mapping, points[i]);
    return device;
}

POINT Pinned(double x, double y) {
    const double limit = kGdiCoordinateLimit;
    return POINT{RoundToI32(std::clamp(x, -limit, limit)), RoundToI32(std::clamp(y, -limit, limit))};
}

void DrawLineEnd(HDC dc, const POINT& end, const POINT& previous, int32_t style, double unit) {
    const double direction = std::atan2(double(end.y) - previous.y, double(end.x) - previous.x);
    if (style == 1 || style == 2) {
        const double length = (style == 1 ? kLargeArrow : kSmallArrow) * kArmLength * unit;
        const double first = direction + kArmAngle, second = first + kSecondArmAngle;
        const POINT arrow[3] = {Pinned(end.x + length * std::cos(first), end.y + length * std::sin(first)),
                                end,
                                Pinned(end.x + length * std::cos(second), end.y + length * std::sin(second))};
        Polyline(dc, arrow, 3);
    } else if (style == 3) {
        const double angle = direction + kBarAngle, half = kBarHalf * unit;
        const POINT bar[2] = {Pinned(end.x + half * std::cos(angle), end.y + half * std::sin(angle)),
                              Pinned(end.x - half * std::cos(angle), end.y - half * std::sin(angle))};
        Polyline(dc, bar, 2);
    }
}

// Windows rectangles exclude right and bottom; markup boxes include the far_corner corner's pixel.
RECT DeviceBox(const ViewMapping* mapping, const RectD& box) {
    PointD far_corner;
    RectDFarCorner(box, far_corner);
    const POINT a = RedlineMapPoint(mapping, box.origin), b = RedlineMapPoint(mapping, far_corner);
    return RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1};
}

void DrawBoxShape(HDC dc, const RECT& r, bool ellipse) {
    if (ellipse) {
        Ellipse(dc, r.left, r.top, r.right, r.bottom);
    } else {
        Rectangle(dc, r.left, r.top, r.right, r.bottom);
    }
}

void DrawSelectionBox(HDC dc, const RedlineDrawContext& draw, const RECT& r, bool ellipse) {
    ScopedSelect pen(dc, draw.dotted_pen.get());
    ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
    DrawBoxShape(dc, r, ellipse);
}

void DrawBoxHandles(HDC dc, const RedlineDrawContext& draw, const ViewMapping* mapping, const RectD& box) {
    ScopedSelect pen(dc, draw.solid_pen.get());
    for (uint32_t i = 0; i < 4; ++i) {
        PointD corner;
        const POINT p = RedlineMapPoint(mapping, RectDGetCorner(box, i, corner));
        RedlineDrawHandle(draw, dc, PointI{p.x, p.y});
    }
}

}  // namespace

bool RedlineLineObject::Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                             const RedlineDrawContext& draw, uint32_t flags) {
    Ref<LineAttr> outline = Attribute<LineAttr>(kLine);
    Ref<FillAttr> fill = Attribute<FillAttr>(kFill);
    Ref<LineEndsAttr> ends = Attribute<LineEndsAttr>(kLineEnds);
    std::vector<PointD> points;
    int32_t id;
    {
        ScopedLock hold(lock_);
        points = points_;
        id = id_;
    }
    const std::vector<POINT> device = MapPoints(mapping, points);
    const int n = static_cast<int>(device.size());
    const bool polygon = type_ == redline_type::kPolygon;
    if ((flags & kContent) && n > 0) {
        ScopedTool pen(dc, MakeOutlinePen(outline.get(), draw, flags), NULL_PEN);
        if (polygon) {
            ScopedTool brush(dc, MakeFillBrush(fill.get(), flags), NULL_BRUSH);
            Polygon(dc, device.data(), n);
        } else {
            Polyline(dc, device.data(), n);
            if (n >= 2 && ends && outline && !outline->transparent) {
                const double unit = outline->width * draw.scale;
                if (ends->start_style != 0) DrawLineEnd(dc, device[0], device[1], ends->start_style, unit);
                if (ends->end_style != 0)
                    DrawLineEnd(dc, device[n - 1], device[n - 2], ends->end_style, unit);
            }
        }
    }
    if ((flags & kNumbers) && n > 0)
        RedlineDrawObjectNumber(draw, dc,
                                PointD{points.back().x + kNumberOffsetMm, points.back().y + kNumberOffsetMm},
                                mapping, id);
    if ((flags & kSelection) && n > 0) {
        ScopedSelect pen(dc, draw.dotted_pen.get());
        ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
        if (polygon) {
            Polygon(dc, device.data(), n);
        } else {
            Polyline(dc, device.data(), n);
        }
    }
    if (flags & kHandles) {
        ScopedSelect pen(dc, draw.solid_pen.get());
        for (const POINT& p : device) RedlineDrawHandle(draw, dc, PointI{p.x, p.y});
    }
    return true;
}

bool RedlineBoxObject::Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                            const RedlineDrawContext& draw, uint32_t flags) {
    Ref<LineAttr> outline = Attribute<LineAttr>(kLine);
    Ref<FillAttr> fill = Attribute<FillAttr>(kFill);
    RectD box;
    int32_t id;
    {
        ScopedLock hold(lock_);
        RectDAssign(box, box_);
        id = id_;
    }
    const bool ellipse = type_ == redline_type::kEllipse;
    const RECT r = DeviceBox(mapping, box);
    if (flags & kContent) {
        {
            ScopedTool pen(dc, MakeOutlinePen(outline.get(), draw, flags), NULL_PEN);
            ScopedTool brush(dc, MakeFillBrush(fill.get(), flags), NULL_BRUSH);
            DrawBoxShape(dc, r, ellipse);
        }
        if (flags & kNumbers) {
            PointD at;
            if (ellipse) {
                at = PointD{box.origin.x + box.size.width, box.origin.y + box.size.height / 2};
            } else {
                RectDFarCorner(box, at);
            }
            RedlineDrawObjectNumber(draw, dc, PointD{at.x + kNumberOffsetMm, at.y + kNumberOffsetMm}, mapping,
                                    id);
        }
    }
    if (flags & kSelection) DrawSelectionBox(dc, draw, r, ellipse);
    if (flags & kHandles) DrawBoxHandles(dc, draw, mapping, box);
    return true;
}

bool RedlineNoteObject::Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                             const RedlineDrawContext& draw, uint32_t flags) {
    RectD box;
    int32_t id;
    {
        ScopedLock hold(lock_);
        RectDAssign(box, box_);
        id = id_;
    }
    const RECT r = DeviceBox(mapping, box);
    if (flags & kContent) {
        GdiBrush yellow(CreateSolidBrush(RedlineDrawColour(kNoteColour, flags)));
        if (yellow) FillRect(dc, &r, yellow.get());
        if (flags & kNumbers) {
            PointD far_corner;
            RectDFarCorner(box, far_corner);
            RedlineDrawObjectNumber(draw, dc,
                                    PointD{far_corner.x + kNumberOffsetMm, far_corner.y + kNumberOffsetMm},
                                    mapping, id);
        }
    }
    if (flags & kSelection) DrawSelectionBox(dc, draw, r, false);
    if (flags & kHandles) DrawBoxHandles(dc, draw, mapping, box);
    return true;
}

namespace {

struct TextLayout {
    PointD x_edge, y_edge;
    PointD corners[4];
    double font_height = 0;  // millimetres
};

// The width of the widest line, in millimetres, from a 24-pixel reference font.
double MeasureWidth(HDC dc, const FontAttr& font, const WStrSplit& lines) {
    GdiFont reference(CreateFontW(kReferenceFontHeight, 0, 0, 0, font.bold ? FW_BOLD : FW_NORMAL, font.italic,
                                  font.underline, font.strike_out, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                  CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, kTextPitchAndFamily,
                                  WStrCStr(font.face)));
    ScopedSelect select(dc, reference.get());
    const wchar_t* chars = WStrCStr(lines.source);
    LONG widest = 0;
    for (uint32_t i = 0; i < lines.count; ++i) {
        const StrSplitToken& line = lines.tokens()[i];
        SIZE extent{};
        if (line.length > 0 &&
            GetTextExtentPoint32W(dc, chars + line.offset, static_cast<int>(line.length), &extent))
            widest = std::max(widest, extent.cx);
    }
    return widest * static_cast<double>(font.height) / kReferenceFontHeight;
}

}  // namespace

bool RedlineTextObject::Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                             const RedlineDrawContext& draw, uint32_t flags) {
    Ref<FillAttr> fill = Attribute<FillAttr>(kFill);
    Ref<FontAttr> font = Attribute<FontAttr>(kFont);
    Ref<TextAttr> text = Attribute<TextAttr>(kText);
    PointD origin;
    int32_t id;
    {
        ScopedLock hold(lock_);
        laid_out_ = false;
        origin = origin_;
        id = id_;
    }
    // The page item gives the variables' values and the mirrors it is shown with.
    Ref<DocItem> item = context && mapping ? ViewerFindItem(context, mapping->page_id) : nullptr;
    WString shown;
    if (item && text) {
        VarContext variables(item.get());
        text->Expand(context, &variables, shown);
    }
    bool mirror_h = false, mirror_v = false;
    if (item) {
        if (Ref<CutOutState> cut_out = item->GetCutOut()) {
            mirror_h = CutOutGetMirrorHorizontal(cut_out.get());
            mirror_v = CutOutGetMirrorVertical(cut_out.get());
        }
    }
    double rotation = mapping->placement.rotation;
    if (mirror_h && mirror_v) {
        rotation += 180;
        mirror_h = mirror_v = false;
    }
    const POINT mapped_origin = RedlineMapPoint(mapping, origin);
    if (WStrLength(shown) > 0 && font && text) {
        WStrSplit* lines = WStrSplitLines(shown, false);
        if (!lines) return true;
        const double width = MeasureWidth(dc, *font, *lines);
        const double line_height = font->height * kLineSpacing;
        const double height = line_height * lines->count;
        const double angle = std::fmod(static_cast<double>(font->angle), 360.0);
        const double radians = angle * 3.14159265358979323846 / 180.0;
        const PointD x_edge{width * std::cos(radians), -width * std::sin(radians)};
        const PointD y_edge{height * std::sin(radians), height * std::cos(radians)};
        PointD corners[4] = {origin, PointD{origin.x + x_edge.x, origin.y + x_edge.y},
                             PointD{origin.x + x_edge.x + y_edge.x, origin.y + x_edge.y + y_edge.y},
                             PointD{origin.x + y_edge.x, origin.y + y_edge.y}};
        {
            ScopedLock hold(lock_);
            // A move while this draw measured keeps the layout dropped.
            if (origin_ == origin) {
                std::copy(corners, corners + 4, corners_);
                laid_out_ = true;
            }
        }
        const bool one_mirror = mirror_h != mirror_v;
        const int32_t escapement = RoundToI32(((one_mirror ? -angle : angle) + rotation) * 10);
        PointD start = origin;
        if (mirror_h && !mirror_v) start = corners[1];
        if (mirror_v && !mirror_h) start = corners[3];
        PointD advance = PointDScaled(y_edge, 1.0 / lines->count);
        if (mirror_v && !mirror_h) PointDScale(advance, -1.0);
        if (flags & kContent) {
            const double pixels =
                std::clamp<double>(font->height * draw.scale, 1.0, static_cast<double>(kMaxFontPixelHeight));
            GdiFont shown_font(CreateFontW(
                RoundToI32(pixels), 0, escapement, escapement, font->bold ? FW_BOLD : FW_NORMAL, font->italic,
                font->underline, font->strike_out, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                DEFAULT_QUALITY, kTextPitchAndFamily, WStrCStr(font->face)));
            ScopedSelect select(dc, shown_font.get());
            const COLORREF old_colour = SetTextColor(dc, RedlineDrawColour(font->colour, flags));
            const bool opaque = fill && !fill->transparent;
            const COLORREF old_background =
                SetBkColor(dc, opaque ? RedlineDrawColour(fill->colour, flags) : GetBkColor(dc));
            const int old_mode = SetBkMode(dc, opaque ? OPAQUE : TRANSPARENT);
            const wchar_t* chars = WStrCStr(lines->source);
            PointD line_start = start;
            for (uint32_t i = 0; i < lines->count; ++i) {
                const StrSplitToken& line = lines->tokens()[i];
                if (line.length > 0) {
                    const POINT at = RedlineMapPoint(mapping, line_start);
                    TextOutW(dc, at.x, at.y, chars + line.offset, static_cast<int>(line.length));
                }
                PointDAdd(line_start, advance);
            }
            SetBkMode(dc, old_mode);
            SetBkColor(dc, old_background);
            SetTextColor(dc, old_colour);
        }
        StrSplitFree(lines);
        if (flags & kNumbers)
            RedlineDrawObjectNumber(draw, dc, PointD{start.x - kNumberOffsetMm, start.y - kNumberOffsetMm},
                                    mapping, id);
        if (flags & kSelection) {
            POINT outline[4];
            for (int i = 0; i < 4; ++i) outline[i] = RedlineMapPoint(mapping, corners[i]);
            ScopedSelect pen(dc, draw.dotted_pen.get());
            ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
            Polygon(dc, outline, 4);
        }
    } else {
        if (flags & kNumbers)
            RedlineDrawObjectNumber(draw, dc, PointD{origin.x - kNumberOffsetMm, origin.y - kNumberOffsetMm},
                                    mapping, id);
        if (flags & kSelection) {
            ScopedSelect pen(dc, draw.dotted_pen.get());
            ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
            Rectangle(dc, mapped_origin.x, mapped_origin.y, mapped_origin.x + kUnlaidSelectionSide,
                      mapped_origin.y + kUnlaidSelectionSide);
        }
    }
    if (flags & kHandles) {
        ScopedSelect pen(dc, draw.solid_pen.get());
        RedlineDrawHandle(draw, dc, PointI{mapped_origin.x, mapped_origin.y});
    }
    return true;
}
