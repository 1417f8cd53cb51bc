#include "viewer/views/measuring.h"

#include <algorithm>
#include <cmath>
#include <cwchar>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/string_builder.h"
#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "viewer/core/length_text.h"
#include "viewer/core/number_format.h"
#include "viewer/core/open_params.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/area_placement.h"
#include "viewer/model/view_mapping.h"

namespace {

// atan2's radians to tenths of a degree.
constexpr double kTenthsPerRadian = 572.9577951471995;
constexpr double kPi = 3.14159265358979323846;

constexpr double kOverhang = 20.0;  // pixels added at each end of a short line
constexpr double kEndStroke = 5.0;  // half the stroke across each end
constexpr double kArrowStroke = 15.0;
constexpr int kBandWidth = 40;
constexpr COLORREF kBandColour = RGB(160, 160, 160);
constexpr COLORREF kLineColour = RGB(255, 0, 0);

constexpr int kBoxHeight = 125;
constexpr int kBoxMinTextWidth = 50;
constexpr int kBoxPadding = 5;
constexpr int kBoxGap = 20;
constexpr COLORREF kBoxFrame = RGB(220, 0, 0);
constexpr COLORREF kBoxShade = RGB(200, 200, 200);
constexpr COLORREF kBoxMask = RGB(220, 220, 220);
constexpr int kSmallFontHeight = -15;
constexpr int kLargeFontHeight = -24;
// Where each line of the box stands below its top; the distance, in the
// large font, is drawn last.
constexpr int kLineTops[6] = {5, 22, 42, 71, 88, 105};

constexpr int32_t kNoSettingsUnit = 3;

PointD Sub(const PointD& a, const PointD& b) { return PointD{a.x - b.x, a.y - b.y}; }
PointD Add(const PointD& a, const PointD& b) { return PointD{a.x + b.x, a.y + b.y}; }
PointD Times(const PointD& a, double factor) { return PointD{a.x * factor, a.y * factor}; }

PointD Turned(const PointD& direction, double degrees) {
    PointD turned = direction;
    return PointDRotate(turned, degrees * kPi / 180.0);
}

void Line(HDC dc, const PointD& from, const PointD& to) {
    MoveToEx(dc, RoundToI32(from.x), RoundToI32(from.y), nullptr);
    LineTo(dc, RoundToI32(to.x), RoundToI32(to.y));
}

GdiFont BoxFont(int height) {
    return GdiFont(
        CreateFontW(height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, 0, 0, 0, 0, FF_MODERN, L"ARIAL"));
}

void AppendText(WString& out, ViewerContext* context, uint32_t id) {
    if (const wchar_t* text = ViewerGetText(context, id)) WStrAppendChars(out, text);
}

void AppendLength(WString& out, ViewerContext* context, double value, bool in_units) {
    WStrBuilder builder;
    WString text;
    if (FormatLength(context, value, in_units, builder)) WStrAppend(out, WStrBuilderToString(builder, text));
}

void AppendUnitLength(WString& out, ViewerContext* context, double millimetres, int32_t unit) {
    WStrBuilder builder;
    WString text;
    if (FormatLengthInUnit(context, millimetres, unit, builder)) {
        WStrAppend(out, WStrBuilderToString(builder, text));
    }
}

// The page's pixels per millimetre when it states no resolution; false
// when it states one or the item has no page (lengths are shown then).
bool PagePixelsPerMm(DocItem* item, double& per_mm_x, double& per_mm_y) {
    Ref<ImagePage> page = DocItemGetPage(item);
    if (!page) return false;
    PageInfo info;
    if (page->GetInfo(&info) && info.resolution_given) return false;
    const double width = std::fabs(page->WidthMm()), height = std::fabs(page->HeightMm());
    if (!(width > 0) || !(height > 0)) return false;
    per_mm_x = page->PixelWidth() / width;
    per_mm_y = page->PixelHeight() / height;
    return true;
}

// The document's drawing scale (switch "sc:"), or 0 without one.
double DrawingScaleRatio(DocItem* item) {
    Ref<OpenParams> params = item->GetOpenParams();
    Ref<Scale> scale = params ? OpenParamsGetScale(params.get()) : nullptr;
    return scale ? ScaleGetRatio(scale.get()) : 0.0;
}

}  // namespace

Ref<MeasureAnchor> MeasureAnchorCreate(const PointD& point) {
    Ref<MeasureAnchor> anchor = MakeRef<MeasureAnchor>();
    anchor->point = point;
    return anchor;
}

bool DrawMeasureLines(HDC dc, const PointD& a, const PointD& b) {
    const PointD line = Sub(b, a);
    const double length = PointDLength(line);
    PointD unit = line;
    if (length > 0) unit = Times(line, 1.0 / length);
    const bool short_line = length < kMeasureShortLine;
    const PointD from = short_line ? Sub(a, Times(unit, kOverhang)) : a;
    const PointD to = short_line ? Add(b, Times(unit, kOverhang)) : b;

    GdiPen band(CreatePen(PS_SOLID, kBandWidth, kBandColour));
    GdiPen red(CreatePen(PS_SOLID, 2, kLineColour));
    if (!band || !red) return false;
    ScopedSelect keep_pen(dc, band.get());
    {
        ScopedMixMode merge(dc, R2_MERGEPEN);
        Line(dc, from, to);
    }
    ScopedMixMode copy(dc, R2_COPYPEN);
    SelectObject(dc, red.get());
    Line(dc, from, to);
    for (const PointD& end : {a, b}) {
        Line(dc, Add(end, Times(Turned(unit, 90), kEndStroke)),
             Add(end, Times(Turned(unit, -90), kEndStroke)));
    }
    // The heads point along the line, outwards at the true ends; a short
    // line has them outside, pointing inwards.
    const double flip = short_line ? 180.0 : 0.0;
    for (const double degrees : {165.0, 195.0}) {
        Line(dc, b, Add(b, Times(Turned(unit, degrees + flip), kArrowStroke)));
    }
    for (const double degrees : {15.0, -15.0}) {
        Line(dc, a, Add(a, Times(Turned(unit, degrees + flip), kArrowStroke)));
    }
    return true;
}

WString& MeasureAngleText(ViewerContext* context, double dx, double dy, WString& out) {
    WStrClear(out);
    AppendText(out, context, text::kMeasureAngle);
    WStrAppendChar(out, L' ');
    const int32_t tenths = RoundToI32(std::atan2(dy, dx) * kTenthsPerRadian);
    // -180.0 and 180.0 are the same direction: shown without a sign.
    if (tenths < 0 && tenths > -1800) WStrAppendChar(out, L'-');
    const int32_t magnitude = tenths < 0 ? -tenths : tenths;
    wchar_t number[12];
    const int length = swprintf(number, 12, L"%hd.%hd", static_cast<short>(magnitude / 10),
                                static_cast<short>(magnitude % 10));
    if (length > 0) WStrAppendN(out, number, static_cast<uint32_t>(length));
    AppendText(out, context, text::kMeasureDegree);
    return out;
}

bool MeasureInfoTexts(ViewerContext* context, DocItem* item, const ViewMapping* mapping, const PointD& vector,
                      MeasureTexts& out) {
    if (!item || !mapping) return false;
    PointD measured = vector;
    double per_mm_x = 0, per_mm_y = 0;
    const bool in_pixels = PagePixelsPerMm(item, per_mm_x, per_mm_y);
    if (in_pixels) {
        // Without a stated resolution millimetres mean nothing to the user:
        // the page's own pixels are shown, as the "Pixel" label says.
        measured = PointD{vector.x * per_mm_x, vector.y * per_mm_y};
    } else if (const double ratio = DrawingScaleRatio(item); ratio > 0) {
        measured = Times(vector, 1.0 / ratio);
    }
    const PointD shown = PointDMirrorRotate(mapping->placement, measured);
    const double dx = shown.x;
    const double dy = shown.y == 0 ? 0.0 : -shown.y;  // up counts positive; 0 keeps its sign
    const double distance = PointDLength(measured);

    for (WString& line : out.lines) WStrClear(line);
    AppendText(out.lines[0], context, text::kMeasurement);
    AppendText(out.lines[1], context, text::kMeasureCancelHint);
    AppendLength(out.lines[kMeasureDistanceLine], context, distance, !in_pixels);
    AppendText(out.lines[3], context, text::kMeasureDeltaX);
    WStrAppendChar(out.lines[3], L' ');
    AppendLength(out.lines[3], context, dx, !in_pixels);
    AppendText(out.lines[4], context, text::kMeasureDeltaY);
    WStrAppendChar(out.lines[4], L' ');
    AppendLength(out.lines[4], context, dy, !in_pixels);
    MeasureAngleText(context, dx, dy, out.lines[5]);
    return true;
}

PointI PlaceBoxNearPoint(const PointI& mouse, const SizeI& box, const PointD& line, const RectI& client) {
    struct Candidate {
        PointI origin;
        int priority;
        bool left;
        bool upper;
    };
    Candidate candidates[4] = {
        {{mouse.x - box.width - kBoxGap, mouse.y - box.height - kBoxGap}, 101, true, true},
        {{mouse.x + kBoxGap, mouse.y - box.height - kBoxGap}, 104, false, true},
        {{mouse.x + kBoxGap, mouse.y + kBoxGap}, 103, false, false},
        {{mouse.x - box.width - kBoxGap, mouse.y + kBoxGap}, 102, true, false},
    };
    // The line runs from the mouse back towards the anchor: keep that
    // corner free unless nothing else fits.
    int towards = 0;
    if (line.x >= 0 && line.y >= 0) {
        towards = 0;
    } else if (line.x < 0 && line.y >= 0) {
        towards = 1;
    } else if (line.x < 0) {
        towards = 2;
    } else {
        towards = 3;
    }
    candidates[towards].priority -= 10;
    const int32_t last_column = client.origin.x + client.size.width - 1;
    const int32_t last_row = client.origin.y + client.size.height - 1;
    for (int i = 0; i < 4; ++i) {
        Candidate& c = candidates[i];
        const bool fits_across =
            c.left ? c.origin.x >= client.origin.x : c.origin.x + box.width <= last_column;
        const bool fits_down = c.upper ? c.origin.y >= client.origin.y : c.origin.y + box.height <= last_row;
        if (!fits_across || !fits_down) c.priority = i == 1 ? 1 : 0;
    }
    int best = 0;
    for (int i = 1; i < 4; ++i) {
        if (candidates[i].priority > candidates[best].priority) best = i;
    }
    return candidates[best].origin;
}

bool DrawMeasureInfo(HDC dc, const MeasureTexts& texts, const PointI& mouse, const PointD& line,
                     const RectI& client) {
    GdiFont small_font = BoxFont(kSmallFontHeight);
    GdiFont large_font = BoxFont(kLargeFontHeight);
    GdiPen frame(CreatePen(PS_SOLID, 1, kBoxFrame));
    GdiBrush shade(CreateSolidBrush(kBoxShade));
    GdiBrush mask(CreateSolidBrush(kBoxMask));
    if (!small_font || !large_font || !frame || !shade || !mask) return false;

    ScopedSelect keep_font(dc, small_font.get());
    int widest = kBoxMinTextWidth;
    for (uint32_t i = 0; i < 6; ++i) {
        SelectObject(dc, i == kMeasureDistanceLine ? large_font.get() : small_font.get());
        SIZE extent = {};
        const WString& text = texts.lines[i];
        if (GetTextExtentPoint32W(dc, WStrCStr(text), static_cast<int>(WStrLength(text)), &extent)) {
            widest = std::max<int>(widest, extent.cx);
        }
    }
    const SizeI box{widest + 2 * kBoxPadding, kBoxHeight};
    const PointI at = PlaceBoxNearPoint(mouse, box, line, client);

    {
        // Shaded first, then masked, so that the picture shows through.
        ScopedSelect keep_pen(dc, frame.get());
        ScopedSelect keep_brush(dc, shade.get());
        {
            ScopedMixMode merge(dc, R2_MERGEPEN);
            Rectangle(dc, at.x, at.y, at.x + box.width, at.y + box.height);
        }
        ScopedMixMode mask_mode(dc, R2_MASKPEN);
        SelectObject(dc, mask.get());
        Rectangle(dc, at.x, at.y, at.x + box.width, at.y + box.height);
    }

    ScopedTextState text_state(dc, kLineColour);
    for (uint32_t i : {0u, 1u, 3u, 4u, 5u, kMeasureDistanceLine}) {
        SelectObject(dc, i == kMeasureDistanceLine ? large_font.get() : small_font.get());
        const WString& text = texts.lines[i];
        TextOutW(dc, at.x + kBoxPadding, at.y + kLineTops[i], WStrCStr(text),
                 static_cast<int>(WStrLength(text)));
    }
    return true;
}

bool MeasureDraw(ViewerContext* context, DocItem* item, const ViewMapping* mapping,
                 const MeasureAnchor* anchor, const PointI& mouse, const RectI& client, HDC dc) {
    if (!item || !mapping || !anchor || !dc) return false;
    const PointI anchor_pixel = ViewMapPageToDevice(mapping, anchor->point);
    const PointD a{static_cast<double>(anchor_pixel.x), static_cast<double>(anchor_pixel.y)};
    const PointD b{static_cast<double>(mouse.x), static_cast<double>(mouse.y)};
    const PointD vector = Sub(ViewMapDeviceToPage(mapping, mouse), anchor->point);
    MeasureTexts texts;
    if (!MeasureInfoTexts(context, item, mapping, vector, texts)) return false;
    const bool lines = DrawMeasureLines(dc, a, b);
    return DrawMeasureInfo(dc, texts, mouse, Sub(b, a), client) && lines;
}

WString& MeasurePositionText(WString& out, ViewerContext* context, DocItem* item, const RectD& rect,
                             bool size_only) {
    double per_mm_x = 0, per_mm_y = 0;
    const bool in_pixels = PagePixelsPerMm(item, per_mm_x, per_mm_y);
    Ref<Settings> settings = ViewerGetSettings(context);
    const int32_t unit = settings ? SettingsGetLengthUnit(settings.get()) : kNoSettingsUnit;
    auto number = [&](double millimetres, bool along_x) {
        if (in_pixels) {
            WStrAppendInt(out, RoundToI32(millimetres * (along_x ? per_mm_x : per_mm_y)));
        } else {
            AppendUnitLength(out, context, millimetres, unit);
        }
    };
    if (size_only) {
        number(rect.size.width, true);
        WStrAppendChars(out, L" x ");
        number(rect.size.height, false);
    } else {
        WStrAppendChar(out, L'(');
        number(rect.origin.x, true);
        WStrAppendChar(out, L',');
        number(rect.origin.y, false);
        WStrAppendChars(out, L") -> (");
        number(rect.origin.x + rect.size.width, true);
        WStrAppendChar(out, L',');
        number(rect.origin.y + rect.size.height, false);
        WStrAppendChars(out, L") ");
    }
    if (in_pixels) {
        WStrAppendChar(out, L' ');
        AppendText(out, context, text::kPixel);
    }
    return out;
}
