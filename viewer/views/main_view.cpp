#include "viewer/views/main_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <utility>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/variant.h"
#include "imaging/raster/packed_dib.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/number_format.h"
#include "viewer/core/open_params.h"
#include "viewer/core/progress_forwarder.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/model/area_placement.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/page_boxes.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/bitmap_cache.h"
#include "viewer/views/measuring.h"
#include "viewer/views/view_image_cache.h"
#include "viewer/windows/context_menu.h"

namespace {

constexpr DWORD kDockedStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kFloatingStyle = WS_POPUP | WS_VISIBLE | WS_BORDER | WS_SYSMENU;
constexpr DWORD kMovableFloatingStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

constexpr int32_t kMinSide = 10;
// The keyboard messages from WM_KEYDOWN up to this one go to the frame's host.
constexpr UINT kLastForwardedKey = 0x0108;
// A shown extent of at least this share of the page needs no scroll bar.
constexpr double kNoScrollShare = 0.999;
// One line step of a scroll bar is this share of the shown extent; a page
// step is eight lines.
constexpr double kLineStepShare = 0.1;
constexpr int32_t kPageStep = 8;
constexpr int32_t kWheelStep = -120;
constexpr double kSmallestPan = 0.00001;

constexpr COLORREF kOverlayColour = RGB(255, 255, 0);
constexpr int kBandPenWidth = 2;

bool QuarterTurn(uint32_t rotation) { return rotation % 180 == 90; }

Variant EventArgument(HubEvent* event) {
    Variant argument;
    HubEventGetArg(event, argument);
    return argument;
}

Ref<Settings> SettingsOf(MainViewWindow* view) { return ViewerGetSettings(view->context.get()); }

bool Allowed(MainViewWindow* view, uint32_t waive, uint32_t restriction) {
    return ViewerIsAllowed(view->context.get(), waive, restriction);
}

bool RedliningEditing(MainViewWindow* view) {
    return RedliningModeEdits(ViewerGetRedliningMode(view->context.get()));
}

bool ShowsCrossHair(MainViewWindow* view) {
    Ref<Settings> settings = SettingsOf(view);
    return settings && SettingsGetShowHairCross(settings.get());
}

// The whole client area, but not the scroll bars: the view's paint never
// draws over them, and they redraw themselves when their state changes. The
// view has no WS_CLIPCHILDREN, so a plain InvalidateRect would have both
// bars paint again after each of its paints (several milliseconds under
// Wine for nothing).
void InvalidateView(HWND window) { RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_NOCHILDREN); }

void Repaint(MainViewWindow* view) {
    if (view->window()) InvalidateView(view->window());
}

RectI ClientRect(MainViewWindow* view) {
    RectI client;
    return WindowGetClientRect(view, client);
}

// ---- Scroll bars

void LayoutBars(MainViewWindow* view) {
    if (!view->window() || !view->horizontal_bar || !view->vertical_bar) return;
    const RectI client = ClientRect(view);
    const int32_t bar_height = view->horizontal_bar_height, bar_width = view->vertical_bar_width;
    MoveWindow(view->horizontal_bar, 0, client.size.height - bar_height,
               std::max(0, client.size.width - bar_width), bar_height, TRUE);
    MoveWindow(view->vertical_bar, client.size.width - bar_width, 0, bar_width,
               std::max(0, client.size.height - bar_height), TRUE);
}

void SetBar(HWND bar, int32_t maximum, int32_t position) {
    if (!bar) return;
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_POS;
    info.nMin = 0;
    info.nMax = std::max(0, maximum);
    info.nPos = maximum > 0 ? position : 0;
    // Every recomputed mapping (each view change) sets both bars, mostly
    // during the view's paint. A bar left alone when unchanged, and a changed
    // one set with its redrawing off, so that it paints once with its own
    // next paint, after the view's (its parent's): set with redrawing on, it
    // drew itself at once for the new range, again for its arrows' state and
    // again when enabled, each 4 to 12 ms under Wine in the middle of the
    // view's paint.
    SCROLLINFO held = {};
    held.cbSize = sizeof(held);
    held.fMask = SIF_RANGE | SIF_POS;
    const bool enable = maximum > 0;
    if (GetScrollInfo(bar, SB_CTL, &held) && held.nMin == info.nMin && held.nMax == info.nMax &&
        held.nPos == info.nPos && (IsWindowEnabled(bar) != FALSE) == enable) {
        return;
    }
    ScopedRedrawOff quiet(bar);
    SetScrollInfo(bar, SB_CTL, &info, FALSE);
    EnableWindow(bar, enable);
}

void DisableBars(MainViewWindow* view) {
    SetBar(view->horizontal_bar, 0, 0);
    SetBar(view->vertical_bar, 0, 0);
}

// Which page axis a bar moves along and whether its positions count from
// the page's far side, read from the placement itself, so the bars follow
// the picture as the mapping turns and mirrors it.
struct BarAxis {
    bool page_x;
    bool reversed;
};

BarAxis AxisOfBar(const PagePlacement& placement, bool horizontal) {
    BarAxis axis;
    axis.page_x = horizontal != QuarterTurn(placement.rotation);
    const RectD& rect = placement.rect;
    const PointD far_point{rect.origin.x + (axis.page_x ? rect.size.width : 0.0),
                           rect.origin.y + (axis.page_x ? 0.0 : rect.size.height)};
    const PointI start = PagePlacementPageToPixel(placement, rect.origin);
    const PointI end = PagePlacementPageToPixel(placement, far_point);
    axis.reversed = horizontal ? end.x < start.x : end.y < start.y;
    return axis;
}

double AxisOf(const SizeD& size, bool page_x) { return page_x ? size.width : size.height; }
double AxisOf(const PointD& point, bool page_x) { return page_x ? point.x : point.y; }

void SetBarsFromPlacement(MainViewWindow* view, const SizeD& page_size, const PagePlacement& placement) {
    for (const bool horizontal : {true, false}) {
        const BarAxis axis = AxisOfBar(placement, horizontal);
        const double page = AxisOf(page_size, axis.page_x);
        const double shown = AxisOf(placement.rect.size, axis.page_x);
        const double origin = AxisOf(placement.rect.origin, axis.page_x);
        int32_t maximum = 0, position = 0;
        if (page > 0 && shown > 0 && shown / page < kNoScrollShare) {
            const int32_t steps = RoundToI32((page - shown) / (shown * kLineStepShare));
            if (steps > 1) {
                maximum = steps - 1;
                position = std::clamp(RoundToI32(origin / (page - shown) * maximum), 0, maximum);
                if (axis.reversed) position = maximum - position;
            }
        }
        SetBar(horizontal ? view->horizontal_bar : view->vertical_bar, maximum, position);
    }
}

bool BarRange(HWND bar, int32_t& maximum, int32_t& position, int32_t* track = nullptr) {
    SCROLLINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = SIF_RANGE | SIF_POS | SIF_TRACKPOS;
    if (!bar || !GetScrollInfo(bar, SB_CTL, &info)) return false;
    maximum = info.nMax;
    position = info.nPos;
    if (track) *track = info.nTrackPos;
    return true;
}

// ---- Mapping

Ref<ViewMapping> ComputeMapping(MainViewWindow* view) {
    ViewerContext* context = view->context.get();
    Ref<Settings> settings = SettingsOf(view);
    const double fixed_zoom = settings ? SettingsGetZoomFactor(settings.get()) : 0.0;
    const bool exact = settings && SettingsGetZoomExact(settings.get());
    Ref<DocItem> item = ViewerGetActiveItem(context);
    Ref<CutOutState> cut_out =
        item && (item->GetCommandMask() & item_command::kRenderedPage) ? item->GetCutOut() : nullptr;
    const RectI target = MainViewGetTargetRect(view);
    if (!cut_out || target.size.width <= 0 || target.size.height <= 0) return nullptr;
    const bool zoom_is_fixed = fixed_zoom > 0;
    const double zoom = zoom_is_fixed ? fixed_zoom : CutOutGetZoom(cut_out.get());

    const double per_mm_x = ViewerGetPixelsPerMmX(context), per_mm_y = ViewerGetPixelsPerMmY(context);
    PageAreaRequest request;
    request.page_size = CutOutGetPageSize(cut_out.get());
    CutOutGetRect(cut_out.get(), request.cut_out);
    request.rotation = CutOutGetRotation(cut_out.get());
    // Measured in screen millimetres, so that a zoom of 1 is true size.
    request.area_size = SizeD{target.size.width / per_mm_x, target.size.height / per_mm_y};
    RectDSet(request.printable, 0.0, 0.0, request.area_size.width, request.area_size.height);
    request.zoom = zoom;
    request.fill = !exact;
    request.centre_x = request.centre_y = true;
    PageAreaPlacement placed;
    if (!PlacePageInArea(request, placed)) return nullptr;

    PagePlacement placement;
    PagePlacementInit(placement);
    PagePlacementSetAutoInvert(item.get(), placement);
    PointI offset;
    if (!PagePlacementCompute(placed.page_rect, request.area_size, placed.area_rect, target.size,
                              placed.rotation, CutOutGetMirrorHorizontal(cut_out.get()),
                              CutOutGetMirrorVertical(cut_out.get()), CutOutGetInvert(cut_out.get()),
                              placement, offset)) {
        return nullptr;
    }
    if (placement.pixel_width == 0 || placement.pixel_height == 0) return nullptr;
    offset.x += target.origin.x;
    offset.y += target.origin.y;
    Ref<ViewMapping> mapping = ViewMappingConstruct(item->id, offset, placement, per_mm_x, per_mm_y);
    if (!mapping) return nullptr;
    // Magnification along the page's x as the screen shows it.
    const double shown_width =
        QuarterTurn(placed.rotation) ? placed.page_rect.size.height : placed.page_rect.size.width;
    view->scale = placed.area_rect.size.width / shown_width;

    if (!exact || zoom > 0) {
        CutOutSetRect(cut_out.get(), placed.page_rect);
        // Storing the rectangle resets the page's zoom: a zoom of the page's
        // own (not the fixed one of the settings) is kept, or a page smaller
        // than the view would be blown up to fit on the next computation.
        if (!zoom_is_fixed && zoom > 0) CutOutSetZoom(cut_out.get(), zoom);
        ViewerPostAction(context, event::kMainViewScaleChanged);
    }
    ViewerPostAction(context, event::kMainViewRecomputed);
    SetBarsFromPlacement(view, request.page_size, placement);
    return mapping;
}

// ---- Painting

void FillStrip(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // With the null pen Rectangle leaves out the right and bottom edge.
    if (right > left && bottom > top) Rectangle(dc, left, top, right + 1, bottom + 1);
}

// The image at the mapping's pixel rectangle and the light grey around it.
void DrawPageImage(HDC dc, const CachedViewImage& shown, const ViewMapping* mapping, const RectI& target) {
    const RasterImage* image = shown.image.get();
    const int32_t width = static_cast<int32_t>(mapping->placement.pixel_width);
    const int32_t height = static_cast<int32_t>(mapping->placement.pixel_height);
    const PointI at = mapping->window_offset;
    PackedDib header = RasterImageToPackedDib(image);
    if (header) {
        // Rows are stored bottom line first: the source's y counts from the bottom.
        const int32_t source_bottom = static_cast<int32_t>(image->height) - shown.source_offset.y - height;
        SetDIBitsToDevice(dc, at.x, at.y, width, height, shown.source_offset.x, source_bottom, 0,
                          image->height, image->pixels, header.get(), DIB_RGB_COLORS);
    }
    ScopedSelect pen(dc, GetStockObject(NULL_PEN));
    ScopedSelect brush(dc, GetStockObject(LTGRAY_BRUSH));
    const int32_t left = target.origin.x, top = target.origin.y;
    const int32_t right = left + target.size.width, bottom = top + target.size.height;
    const int32_t image_right = at.x + width, image_bottom = at.y + height;
    FillStrip(dc, left, top, at.x, bottom);
    FillStrip(dc, image_right, top, right, bottom);
    FillStrip(dc, std::max(left, at.x), top, std::min(right, image_right), at.y);
    FillStrip(dc, std::max(left, at.x), image_bottom, std::min(right, image_right), bottom);
}

// The view pixels by which the picture moves on the page's own pixel grid.
ViewPixelGrid GridOf(MainViewWindow* view, DocItem* item, const PagePlacement& placement) {
    Ref<PageMetrics> metrics = item ? item->GetPageMetrics(view->context.get()) : nullptr;
    return metrics ? ViewPixelGridFor(placement, SizeD{metrics->dpi_x, metrics->dpi_y}) : ViewPixelGrid{};
}

// The picture of the mapping's placement: from the cache, or rendered now
// with a margin for scrolling. False, with the reason's text, when the page
// gives none.
bool ObtainImage(MainViewWindow* view, DocItem* item, const ViewMapping* mapping, CachedViewImage& out,
                 WString& error) {
    ViewerContext* context = view->context.get();
    PagePlacement request = mapping->placement;
    // Set before the lookup: the entry holds the request as rendered, and a
    // lookup without the flag would never find it.
    Ref<Settings> settings = SettingsOf(view);
    if (settings && !SettingsGetUsePreviewInfo(settings.get())) request.flags |= kPlacementFullSizeImage;

    const ViewPixelGrid grid = GridOf(view, item, request);
    ScopedLock hold(view->lock);
    if (ViewCacheLookup(view->cache.get(), item->id, request, grid, out)) return true;

    Ref<CutOutState> cut_out = item->GetCutOut();
    const PagePlacement wide =
        cut_out ? WidenPlacementForScrolling(request, CutOutGetPageSize(cut_out.get()), grid) : request;
    Ref<ProgressForwarder> progress = ViewerGetProgressForwarder(context);
    ProgressClear(progress.get());
    ImageStatus status;
    PagePlacement rendered = wide;
    Ref<RasterImage> image = item->RenderPage(context, wide, progress.get(), &status);
    PointI offset;
    // A wide render that does not line up with the view's pixels would show
    // the wrong part of the page: the shown part alone is rendered instead.
    if (image && !PagePlacementEquals(wide, request) && !PlacementWindowOffset(wide, request, offset, grid))
        image.Reset();
    if (!image && !PagePlacementEquals(wide, request)) {
        // The margin may be what failed (memory); the shown part alone may not.
        offset = PointI{};
        status = ImageStatus();
        ProgressClear(progress.get());
        rendered = request;
        image = item->RenderPage(context, request, progress.get(), &status);
    }
    ProgressForwarderReset(progress.get());
    if (!image) {
        ErrorCodeToText(context, static_cast<uint32_t>(status.code), error);
        return false;
    }
    view->cache = BitmapCacheConstruct(item->id, image.get(), rendered);
    out.image = std::move(image);
    out.source_offset = offset;
    return true;
}

void PaintRedlining(MainViewWindow* view, DocItem* item, ViewMapping* mapping, HDC dc) {
    ViewerContext* context = view->context.get();
    if (!view->markups->HasPage()) {
        bool active;
        {
            ScopedLock hold(context->lock);
            active = context->redlining_active;
        }
        Ref<Settings> settings = SettingsOf(view);
        const bool display = settings && SettingsGetRedliningDisplay(settings.get());
        if (active && (display || RedliningEditing(view))) {
            Ref<MarkupPage> page = item->GetRedlinePage(context, false);
            view->markups->SetPage(page.get(), mapping);
        }
    }
    view->markups->Paint(context, dc, markup_purpose::kMainView, false, false);
}

// ---- Overlays (XOR, so that drawing twice erases)

void DrawCrossHair(MainViewWindow* view, HDC dc, const PointI& point) {
    const RectI target = MainViewGetTargetRect(view);
    GdiPen pen(CreatePen(PS_SOLID, 1, kOverlayColour));
    if (!pen) return;
    ScopedSelect keep_pen(dc, pen.get());
    ScopedMixMode xor_mode(dc, R2_XORPEN);
    MoveToEx(dc, point.x, target.origin.y, nullptr);
    LineTo(dc, point.x, target.origin.y + target.size.height);
    MoveToEx(dc, target.origin.x, point.y, nullptr);
    LineTo(dc, target.origin.x + target.size.width, point.y);
}

void DrawBand(HDC dc, const int32_t* corners) {
    GdiPen pen(CreatePen(PS_SOLID, kBandPenWidth, kOverlayColour));
    if (!pen) return;
    ScopedSelect keep_pen(dc, pen.get());
    ScopedSelect keep_brush(dc, GetStockObject(HOLLOW_BRUSH));
    ScopedMixMode xor_mode(dc, R2_XORPEN);
    Rectangle(dc, corners[0], corners[1], corners[2] + 1, corners[3] + 1);
}

void EraseOverlayInto(MainViewWindow* view, HDC dc) {
    if (view->overlay_state == kOverlayCrossHair) {
        DrawCrossHair(view, dc, PointI{view->overlay[0], view->overlay[1]});
    } else if (view->overlay_state == kOverlayBand) {
        DrawBand(dc, view->overlay);
    }
    view->overlay_state = kOverlayNone;
}

// The overlay of the mouse state, into `dc` (a paint's memory context) or,
// without one, into the window. A running measurement draws only in a paint.
void DrawMouseOverlay(MainViewWindow* view, HDC dc) {
    std::unique_ptr<WindowDC> window_dc;
    if (!dc) {
        if (!view->window()) return;
        window_dc = std::make_unique<WindowDC>(view->window());
        dc = window_dc->get();
        if (!dc) return;
    }
    EraseOverlayInto(view, dc);
    const uint32_t mode = view->mouse_handler ? view->mouse_handler->mode : kMouseIdle;
    const PointI last = view->last_point;
    const bool outside = last.x == -1 && last.y == -1;
    if (mode == kMouseIdle) {
        if (view->anchor) {
            if (!outside && !window_dc) {
                Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
                Ref<ViewMapping> mapping = MainViewGetMapping(view);
                MeasureDraw(view->context.get(), item.get(), mapping.get(), view->anchor.get(), last,
                            ClientRect(view), dc);
            }
            return;
        }
        if (outside || RedliningEditing(view) || !ShowsCrossHair(view)) return;
        DrawCrossHair(view, dc, last);
        view->overlay_state = kOverlayCrossHair;
        view->overlay[0] = last.x;
        view->overlay[1] = last.y;
        return;
    }
    if (mode != kMouseZoomBand) return;
    RectI visible;
    if (!MainViewGetVisibleRect(view, visible)) return;
    PointI end = last;
    RectIClampPoint(visible, end);
    const PointI start = view->press_point;
    if (std::abs(end.x - start.x) + 1 < kMinBandPixels && std::abs(end.y - start.y) + 1 < kMinBandPixels)
        return;
    int32_t corners[4] = {std::min(start.x, end.x), std::min(start.y, end.y), std::max(start.x, end.x),
                          std::max(start.y, end.y)};
    DrawBand(dc, corners);
    view->overlay_state = kOverlayBand;
    std::copy(corners, corners + 4, view->overlay);
}

void EraseOverlay(MainViewWindow* view) {
    if (view->overlay_state == kOverlayNone || !view->window()) return;
    WindowDC dc(view->window());
    if (dc) EraseOverlayInto(view, dc.get());
}

// What the target shows; false when nothing counts as drawn.
bool PaintContent(MainViewWindow* view, HDC dc, const RectI& target, WString& error, bool& failed) {
    ViewerContext* context = view->context.get();
    Ref<DocItem> item = ViewerGetActiveItem(context);
    if (!item) return false;
    const ImageStatus refused = item->GetOpenStatus();
    if (refused.severity >= kSeverityError) {
        ErrorCodeToText(context, static_cast<uint32_t>(refused.code), error);
        failed = true;
        return false;
    }
    const uint32_t mask = item->GetCommandMask();
    if (mask & item_command::kDrawsItself) {
        DisableBars(view);
        return item->Draw(context, kMainViewPass, dc, target);
    }
    if (!(mask & item_command::kRenderedPage)) return false;
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    if (!mapping || mapping->page_id != item->id) return false;
    CachedViewImage shown;
    if (!ObtainImage(view, item.get(), mapping.get(), shown, error)) {
        failed = true;
        return false;
    }
    DrawPageImage(dc, shown, mapping.get(), target);
    if (mask & item_command::kOverlay) item->DrawOverlay(context, kMainViewPass, dc, target, mapping.get());
    PaintRedlining(view, item.get(), mapping.get(), dc);
    DrawMouseOverlay(view, dc);
    return true;
}

// ---- Mouse

void SendStatusText(MainViewWindow* view, const WString& text) {
    Variant argument;
    VariantInitString(argument, text);
    ViewerPostActionArg(view->context.get(), event::kStatusText, argument);
}

// The status bar says why the view shows its error box, and forgets it
// again once something else shows; other texts there are left alone.
void ReportError(MainViewWindow* view, const WString& error) {
    if (WStrEquals(error, view->error_posted)) return;
    view->error_posted = error;
    SendStatusText(view, error);
}

// The band's size in page units on the status bar.
void ShowBandSize(MainViewWindow* view, const ViewMapping* mapping, const PointI& start, const PointI& end) {
    Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
    RectD rect;
    RectDFromPoints(rect, ViewMapDeviceToPage(mapping, start), ViewMapDeviceToPage(mapping, end));
    WString text;
    MeasurePositionText(text, view->context.get(), item.get(), rect, true);
    SendStatusText(view, text);
}

Ref<CutOutState> ActiveCutOut(MainViewWindow* view) {
    Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
    return item ? item->GetCutOut() : nullptr;
}

void EndBand(MainViewWindow* view, PointI end) {
    EraseOverlay(view);
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    RectI visible;
    if (mapping && MainViewGetVisibleRect(view, visible)) RectIClampPoint(visible, end);
    const PointI start = view->press_point;
    Ref<CutOutState> cut_out = ActiveCutOut(view);
    if (mapping && cut_out && std::abs(end.x - start.x) >= kMinBandPixels &&
        std::abs(end.y - start.y) >= kMinBandPixels && Allowed(view, 0, restriction::kZoom)) {
        RectD band;
        RectDFromPoints(band, ViewMapDeviceToPage(mapping.get(), start),
                        ViewMapDeviceToPage(mapping.get(), end));
        const SizeD page = CutOutGetPageSize(cut_out.get());
        if (page.width <= kMaxBandZoom * band.size.width && page.height <= kMaxBandZoom * band.size.height &&
            CutOutSetRect(cut_out.get(), band)) {
            ViewerSendActionArg(view->context.get(), event::kViewChanged, VariantOfInt(event::kViewZoom));
        }
    }
    SendStatusText(view, WString());
}

void Pan(MainViewWindow* view, const PointI& point) {
    SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    Ref<CutOutState> cut_out = ActiveCutOut(view);
    if (!mapping || !cut_out || !Allowed(view, 0, restriction::kScroll)) return;
    // Moved by whole steps of the page's pixel grid, so that the picture
    // stays a window into the cached render; the rest waits for the next move.
    Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
    const ViewPixelGrid grid = GridOf(view, item.get(), mapping->placement);
    const bool quarter = QuarterTurn(mapping->placement.rotation);
    const int32_t step_x = static_cast<int32_t>(quarter ? grid.step_y : grid.step_x);
    const int32_t step_y = static_cast<int32_t>(quarter ? grid.step_x : grid.step_y);
    const PointI moved{(point.x - view->press_point.x) / step_x * step_x,
                       (point.y - view->press_point.y) / step_y * step_y};
    if (moved.x == 0 && moved.y == 0) return;
    const PointI reached{view->press_point.x + moved.x, view->press_point.y + moved.y};
    const PointD from = ViewMapDeviceToPage(mapping.get(), view->press_point);
    const PointD to = ViewMapDeviceToPage(mapping.get(), reached);
    RectD rect;
    CutOutGetRect(cut_out.get(), rect);
    rect.origin.x += from.x - to.x;
    rect.origin.y += from.y - to.y;
    const SizeD page_size = CutOutGetPageSize(cut_out.get());
    RectD page;
    RectDSet(page, 0.0, 0.0, page_size.width, page_size.height);
    RectDConstrain(rect, page, true, true);
    if (!(rect.size.width > kSmallestPan && rect.size.height > kSmallestPan)) return;
    if (!CutOutSetRect(cut_out.get(), rect)) return;
    view->press_point = reached;
    ViewerPostActionArg(view->context.get(), event::kViewChanged, VariantOfInt(event::kViewPosition));
}

void OpenContextMenu(MainViewWindow* view, const PointI& point) {
    EraseOverlay(view);
    POINT screen{point.x, point.y};
    ClientToScreen(view->window(), &screen);
    Ref<ContextMenuRequest> request =
        ContextMenuRequestCreate(ViewerGetActiveItemId(view->context.get()), screen.x, screen.y);
    Variant argument;
    VariantInitObject(argument, request.get());
    ViewerSendActionArg(view->context.get(), event::kContextMenu, argument);
}

void Click(MainViewWindow* view, const PointI& point) {
    if (view->anchor) {
        MainViewMeasure(view, point, false);
    } else if (Allowed(view, 0, restriction::kZoom)) {
        ViewerPostAction(view->context.get(), event::kZoomAll);
    }
}

bool ButtonEvent(MainViewWindow* view, const PointI& point, uint32_t key_state, bool* keep_capture) {
    MainViewMouseHandler* handler = view->mouse_handler.get();
    SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    if (handler->mode == kMouseIdle) {
        RectI visible;
        if (!MainViewGetVisibleRect(view, visible) || !RectIContains(visible, point)) return false;
    }
    const bool left = key_state & MK_LBUTTON, right = key_state & MK_RBUTTON;
    switch (handler->mode) {
        case kMouseIdle:
        case kMouseLeftDown:
        case kMouseBothDown:
        case kMouseRightDown: {
            const uint32_t before = handler->mode;
            handler->mode = left && right ? kMouseBothDown
                            : left        ? kMouseLeftDown
                            : right       ? kMouseRightDown
                                          : kMouseIdle;
            view->press_point = point;
            if (handler->mode == kMouseIdle && before == kMouseRightDown) OpenContextMenu(view, point);
            if (handler->mode == kMouseIdle && before == kMouseLeftDown) Click(view, point);
            break;
        }
        case kMouseZoomBand:
            if (left || right) {
                handler->mode = kMouseCancelled;
                EraseOverlay(view);
            } else {
                handler->mode = kMouseIdle;
                EndBand(view, point);
            }
            break;
        case kMousePanning:
            handler->mode = left || right ? kMouseCancelled : kMouseIdle;
            break;
        default:
            if (!left && !right) handler->mode = kMouseIdle;
            break;
    }
    *keep_capture = left || right;
    return true;
}

bool MoveEvent(MainViewWindow* view, const PointI& point, uint32_t key_state, bool* keep_capture) {
    MainViewMouseHandler* handler = view->mouse_handler.get();
    const bool buttons = key_state & (MK_LBUTTON | MK_RBUTTON);
    *keep_capture = buttons;
    if (point == view->last_point) return true;
    view->last_point = point;
    switch (handler->mode) {
        case kMouseIdle:
            if (view->anchor) {
                EraseOverlay(view);
                Repaint(view);
            } else {
                DrawMouseOverlay(view, nullptr);
            }
            break;
        case kMouseLeftDown:
            // Zooming is checked here, as the keyboard's zoom checks it.
            if (!Allowed(view, 0, restriction::kZoom)) {
                handler->mode = kMouseCancelled;
                break;
            }
            handler->mode = kMouseZoomBand;
            [[fallthrough]];
        case kMouseZoomBand: {
            Ref<ViewMapping> mapping = MainViewGetMapping(view);
            RectI visible;
            if (mapping && MainViewGetVisibleRect(view, visible)) {
                PointI end = point;
                RectIClampPoint(visible, end);
                ShowBandSize(view, mapping.get(), view->press_point, end);
            }
            DrawMouseOverlay(view, nullptr);
            break;
        }
        case kMouseRightDown:
            // A drag with the right button alone does nothing and opens no menu.
            handler->mode = kMouseCancelled;
            break;
        case kMouseBothDown:
            if (!Allowed(view, 0, restriction::kScroll)) {
                handler->mode = kMouseCancelled;
                break;
            }
            handler->mode = kMousePanning;
            [[fallthrough]];
        case kMousePanning:
            Pan(view, point);
            break;
        default:
            if (!buttons) handler->mode = kMouseIdle;
            break;
    }
    return true;
}

// ---- Window

// RECT_MAINVIEW, whose origin is relative to the frame window's.
RectI FloatingRect(MainViewWindow* view, HWND frame_window) {
    Ref<Settings> settings = SettingsOf(view);
    RectI rect = settings ? SettingsGetPaneRect(settings.get(), kPaneMainView) : RectI{};
    RECT frame = {};
    if (frame_window && GetWindowRect(frame_window, &frame)) {
        rect.origin.x += frame.left;
        rect.origin.y += frame.top;
    }
    rect.size.width = std::max(kMinSide, rect.size.width);
    rect.size.height = std::max(kMinSide, rect.size.height);
    return rect;
}

bool CreateViewWindow(MainViewWindow* view, HWND parent, int32_t mode, bool movable) {
    view->display_mode = mode;
    view->movable = movable;
    view->horizontal_bar = view->vertical_bar = nullptr;
    RectI rect;
    RectISet(rect, 0, 0, kMinSide, kMinSide);
    if (mode == kPaneFloating) rect = FloatingRect(view, parent);
    HWND window = nullptr;
    if (mode == kPaneDocked) {
        window = WindowCreate(view, 0, kMainViewClassName, L"", kDockedStyle, rect, parent, nullptr);
        // Waiting windows are painted in their z-order, and a new child
        // starts below its older siblings. The docked panes never overlap,
        // so the order shows nowhere but in which paints first: the main
        // view, the picture the user works with, goes before the bars and
        // the preview when a change leaves them all to be painted.
        if (window) SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    } else if (mode == kPaneFloating) {
        const wchar_t* title = ViewerGetText(view->context.get(), text::kZoomViewTitle);
        window = WindowCreate(view, WS_EX_TOOLWINDOW, kMainViewClassName, title ? title : L"",
                              movable ? kMovableFloatingStyle : kFloatingStyle, rect, parent, nullptr);
        if (HMENU menu = window ? GetSystemMenu(window, FALSE) : nullptr) {
            // The view is sized by the frame's layout only.
            for (const UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE}) {
                DeleteMenu(menu, command, MF_BYCOMMAND);
            }
            if (!movable) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
        }
    }
    if (!window) return false;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    view->horizontal_bar_height = GetSystemMetrics(SM_CYHSCROLL);
    view->vertical_bar_width = GetSystemMetrics(SM_CXVSCROLL);
    view->horizontal_bar = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_HORZ, 0, 0, 0, 0,
                                           window, nullptr, instance, nullptr);
    view->vertical_bar = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | SBS_VERT, 0, 0, 0, 0,
                                         window, nullptr, instance, nullptr);
    LayoutBars(view);
    DisableBars(view);
    return true;
}

void StorePaneRect(MainViewWindow* view) {
    if (view->display_mode != kPaneFloating || !view->frame_window) return;
    RectI rect;
    WindowGetRect(view, rect);
    RECT frame;
    if (rect.size.width == 0 || !GetWindowRect(view->frame_window, &frame)) return;
    rect.origin.x -= frame.left;
    rect.origin.y -= frame.top;
    if (Ref<Settings> settings = SettingsOf(view)) {
        SettingsSetPaneRect(settings.get(), view->context.get(), kCallerViewer, kPaneMainView, rect);
    }
}

void Wheel(MainViewWindow* view, int32_t argument) {
    const auto keys = static_cast<uint32_t>(LOWORD(static_cast<uint32_t>(argument)));
    const int32_t delta = static_cast<int16_t>(HIWORD(static_cast<uint32_t>(argument)));
    const int32_t steps = delta / kWheelStep;
    if (steps != 0) MainViewScrollBy(view, 0, (keys & MK_CONTROL) != 0, steps);
}

void SetComparisonMarker(MainViewWindow* view, int32_t marker) {
    Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
    auto* page = dynamic_cast<ComparisonPageItem*>(item.get());
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    RectI visible;
    if (!page || !mapping || (marker != 1 && marker != 2) || !MainViewGetVisibleRect(view, visible) ||
        !RectIContains(visible, view->last_point)) {
        return;
    }
    if (!ComparisonPageSetMarker(page, static_cast<uint32_t>(marker - 1),
                                 ViewMapDeviceToPage(mapping.get(), view->last_point))) {
        return;
    }
    ViewerSendActionArg(view->context.get(), event::kItemContentChanged, VariantOfInt(item->id));
    Repaint(view);
}

// Turns a bar position into the cut-out's origin along the bar's page axis.
bool ScrollTo(MainViewWindow* view, bool horizontal, int32_t position, int32_t maximum) {
    if (maximum <= 0) return false;
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    Ref<CutOutState> cut_out = ActiveCutOut(view);
    if (!mapping || !cut_out) return false;
    const BarAxis axis = AxisOfBar(mapping->placement, horizontal);
    const SizeD page = CutOutGetPageSize(cut_out.get());
    RectD rect;
    CutOutGetRect(cut_out.get(), rect);
    const double range = AxisOf(page, axis.page_x) - AxisOf(rect.size, axis.page_x);
    if (!(range > 0)) return false;
    double origin = static_cast<double>(position) / maximum * range;
    if (axis.reversed) origin = range - origin;
    // Moved by whole steps of the shown pixels, so that the picture stays on
    // the grid of the cached render and scrolling needs no decoder.
    Ref<DocItem> item = ViewerGetActiveItem(view->context.get());
    const ViewPixelGrid grid = GridOf(view, item.get(), mapping->placement);
    const double pixels_per_mm =
        axis.page_x ? PagePlacementScaleX(mapping->placement) : PagePlacementScaleY(mapping->placement);
    const double step = (axis.page_x ? grid.step_x : grid.step_y) / pixels_per_mm;
    const double old_origin = AxisOf(rect.origin, axis.page_x);
    if (step > 0 && std::isfinite(step)) {
        origin = old_origin + std::round((origin - old_origin) / step) * step;
        // At the page's ends the last whole step inside the page.
        if (origin > range) origin = old_origin + std::floor((range - old_origin) / step + 1e-9) * step;
        if (origin < 0) origin = old_origin - std::floor(old_origin / step + 1e-9) * step;
    }
    origin = std::clamp(origin, 0.0, range);
    (axis.page_x ? rect.origin.x : rect.origin.y) = origin;
    if (!CutOutSetRect(cut_out.get(), rect)) return false;
    ViewerPostActionArg(view->context.get(), event::kViewChanged, VariantOfInt(event::kViewPosition));
    return true;
}

LRESULT OnScroll(MainViewWindow* view, bool horizontal, WPARAM wparam) {
    if (!Allowed(view, 0, restriction::kScroll)) return 0;
    int32_t maximum = 0, position = 0, track = 0;
    if (!BarRange(horizontal ? view->horizontal_bar : view->vertical_bar, maximum, position, &track))
        return 0;
    int32_t wanted = position;
    switch (LOWORD(wparam)) {
        case SB_LINEUP:
            wanted = std::max(0, position - 1);
            break;
        case SB_LINEDOWN:
            wanted = std::min(maximum, position + 1);
            break;
        case SB_PAGEUP:
            wanted = position < kPageStep + 1 ? 0 : position - kPageStep;
            break;
        case SB_PAGEDOWN:
            wanted = maximum - position < kPageStep ? maximum : position + kPageStep;
            break;
        case SB_THUMBTRACK:
            wanted = track;
            break;
        case SB_TOP:
            wanted = 0;
            break;
        case SB_BOTTOM:
            wanted = maximum;
            break;
        default:
            return 0;
    }
    if (wanted != position) ScrollTo(view, horizontal, wanted, maximum);
    return 0;
}

}  // namespace

// ---- Listener and mouse handler

HubAnswer MainViewListener::Notify(RefCounted* sender, HubEvent* event) {
    if (event->code == event::kAppEnding) {
        ListenerDetach(this);
        return HubAnswer::kHandled;
    }
    MainViewWindow* view = this->view;
    if (!view) return HubAnswer::kContinue;
    const Variant argument = EventArgument(event);
    switch (event->code) {
        case event::kViewChanged:
            MainViewUpdate(view, static_cast<uint32_t>(VariantToInt(argument)));
            return HubAnswer::kHandled;
        case event::kMouseWheel:
            Wheel(view, VariantToInt(argument));
            return HubAnswer::kStop;
        case event::kActiveItemChanged:
            view->anchor.Reset();
            MainViewUpdate(view, event::kViewEverything);
            return HubAnswer::kHandled;
        case event::kSettingChanged: {
            const auto changed = static_cast<uint64_t>(VariantToInt64(argument));
            if (changed & setting::kZoomFactor) {
                MainViewUpdate(view, event::kViewEverything);
                return HubAnswer::kHandled;
            }
            if (changed & (setting::kRedliningDisplay | setting::kRedliningObjectNumbers)) {
                view->markups->SetPage(nullptr, nullptr);
                Repaint(view);
                return HubAnswer::kHandled;
            }
            return HubAnswer::kContinue;
        }
        case event::kRedlineModeChanged:
            view->markups->SetPage(nullptr, nullptr);
            Repaint(view);
            return HubAnswer::kHandled;
        case event::kRedlineSelectionChanged:
            if (!VariantToBool(argument)) Repaint(view);
            return HubAnswer::kHandled;
        case event::kMeasuringPoint:
            MainViewMeasure(view, view->last_point, true);
            return HubAnswer::kHandled;
        case event::kComparisonMarker:
            SetComparisonMarker(view, VariantToInt(argument));
            return HubAnswer::kContinue;
        case event::kSelectAllMarkups:
            view->markups->SelectAll();
            return HubAnswer::kStop;
        case event::kDeleteMarkups:
            view->markups->DeleteSelection();
            return HubAnswer::kStop;
        case event::kMarkupOrder:
            view->markups->ChangeZOrder(static_cast<uint32_t>(VariantToInt(argument)));
            return HubAnswer::kStop;
        case event::kMarkupProperties:
            view->markups->ShowProperties();
            return HubAnswer::kStop;
        default:
            return HubAnswer::kContinue;
    }
}

bool MainViewMouseHandler::ButtonDown(const PointI* point, uint32_t key_state, bool* keep_capture,
                                      bool* repaint) {
    return view && ButtonEvent(view, *point, key_state, keep_capture);
}

bool MainViewMouseHandler::ButtonUp(const PointI* point, uint32_t key_state, bool* keep_capture,
                                    bool* repaint) {
    return view && ButtonEvent(view, *point, key_state, keep_capture);
}

bool MainViewMouseHandler::Move(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) {
    return view && MoveEvent(view, *point, key_state, keep_capture);
}

// ---- MainViewWindow

MainViewWindow::~MainViewWindow() {
    if (listener) {
        listener->view = nullptr;
        ListenerDetach(listener.get());
    }
    if (mouse_handler) mouse_handler->view = nullptr;
    WindowDestroy(this);
}

LRESULT MainViewWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= WM_KEYFIRST && message <= kLastForwardedKey) {
        // Keys belong to the window that hosts the frame (the control's).
        const bool frame_is_child =
            frame_window && (GetWindowLongPtrW(frame_window, GWL_STYLE) & WS_CHILD) != 0;
        if (HWND host = frame_is_child ? GetParent(frame_window) : nullptr) {
            PostMessageW(host, message, wparam, lparam);
        }
        return 1;
    }
    switch (message) {
        case WM_MOUSEMOVE: {
            MouseChainDispatch(mouse_chain, window(), message, wparam, lparam);
            TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, window(), 0};
            TrackMouseEvent(&track);
            return 0;
        }
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_RBUTTONDOWN:
        case WM_RBUTTONUP:
            return MouseChainDispatch(mouse_chain, window(), message, wparam, lparam);
        case WM_MOUSELEAVE:
            last_point = PointI{-1, -1};
            EraseOverlay(this);
            if (anchor) Repaint(this);
            return 0;
        case WM_HSCROLL:
        case WM_VSCROLL:
            return OnScroll(this, message == WM_HSCROLL, wparam);
        case WM_MOVE:
            StorePaneRect(this);
            return WindowObject::WindowProc(message, wparam, lparam);
        case WM_SIZE:
            LayoutBars(this);
            StorePaneRect(this);
            MainViewUpdate(this, event::kViewEverything);
            return 0;
        case WM_PAINT: {
            overlay_state = kOverlayNone;
            InvalidateView(window());
            PaintDC paint(window());
            if (paint) MainViewPaint(this, paint.get());
            return 0;
        }
        case WM_PRINTCLIENT: {
            // A copy of the picture: what stands on the screen stays as it is.
            const uint32_t state = overlay_state;
            int32_t remembered[4];
            std::copy(overlay, overlay + 4, remembered);
            overlay_state = kOverlayNone;
            MainViewPaint(this, reinterpret_cast<HDC>(wparam));
            overlay_state = state;
            std::copy(remembered, remembered + 4, overlay);
            return 0;
        }
        case WM_CLOSE:
            ViewerSendActionArg(context.get(), event::kShowZoomView, VariantOfInt(kPaneDocked));
            return 0;
        case WM_COMMAND:
            ViewerOnCommand(context.get(), wparam, lparam);
            return 0;
        default:
            return WindowObject::WindowProc(message, wparam, lparam);
    }
}

bool MainViewRegisterClass(HINSTANCE instance) {
    return WindowRegisterClass(kMainViewClassName, CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW),
                               static_cast<HBRUSH>(GetStockObject(HOLLOW_BRUSH)));
}

Ref<MainViewWindow> MainViewCreate(ViewerContext* context, HWND parent, int32_t mode, bool movable) {
    if (!context || !MainViewRegisterClass(ViewerGetInstance(context))) return nullptr;
    Ref<MainViewWindow> view = MakeRef<MainViewWindow>();
    view->context = Ref<ViewerContext>(context);
    view->frame_window = parent;
    if (Ref<MarkupView> markups = ViewerGetMarkups(context)->CreateView(context))
        view->markups = std::move(markups);
    view->listener = MakeRef<MainViewListener>();
    view->listener->view = view.get();
    Ref<AppRoot> app = ViewerGetApp(context);
    if (Ref<EventHub> hub = app ? AppGetEventHub(app.get()) : nullptr)
        ListenerConstruct(view->listener.get(), hub.get());
    view->mouse_handler = MakeRef<MainViewMouseHandler>();
    view->mouse_handler->view = view.get();
    Ref<MouseHandler> tool = view->markups->GetMouseTool();
    MouseChainAdd(view->mouse_chain, tool.get());
    MouseChainAdd(view->mouse_chain, view->mouse_handler.get());
    view->mouse_chain.enabled = true;
    CreateViewWindow(view.get(), parent, mode, movable);
    return view;
}

void MainViewMoveTo(MainViewWindow* view, const PointI& origin) {
    if (view && view->window()) {
        SetWindowPos(view->window(), nullptr, origin.x, origin.y, 0, 0,
                     SWP_NOZORDER | SWP_NOSIZE | SWP_NOACTIVATE);
    }
}

void MainViewResize(MainViewWindow* view, const SizeI& size) {
    if (view && view->window()) {
        SetWindowPos(view->window(), nullptr, 0, 0, std::max(kMinSide, size.width),
                     std::max(kMinSide, size.height), SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE);
    }
}

void MainViewSetDisplayMode(MainViewWindow* view, int32_t mode, HWND parent, const RectI& rect) {
    if (!view) return;
    Ref<Settings> settings = SettingsOf(view);
    const bool movable = settings && SettingsGetPopupsMoveable(settings.get());
    if (mode != view->display_mode || movable != view->movable ||
        (!view->window() && (mode == kPaneDocked || mode == kPaneFloating))) {
        WindowDestroy(view);
        view->horizontal_bar = view->vertical_bar = nullptr;
        view->frame_window = parent;
        CreateViewWindow(view, parent, mode, movable);
    }
    view->frame_window = parent;
    if (!view->window()) return;
    if (mode == kPaneFloating) {
        const RectI floating = FloatingRect(view, parent);
        MainViewMoveTo(view, floating.origin);
        MainViewResize(view, floating.size);
    } else {
        WindowMove(view, rect);
    }
    LayoutBars(view);
    ShowWindow(view->window(), SW_SHOW);
    MainViewUpdate(view, event::kViewEverything);
}

Ref<ViewMapping> MainViewGetMapping(MainViewWindow* view) {
    if (!view) return nullptr;
    ScopedLock hold(view->lock);
    // The status bar may ask before the view has heard that another item
    // became active: a mapping of another item says nothing about this one.
    if (view->mapping) {
        Ref<DocItem> active = ViewerGetActiveItem(view->context.get());
        if (!active || active->id != view->mapping->page_id) view->mapping.Reset();
    }
    if (!view->mapping) {
        view->mapping = ComputeMapping(view);
        if (!view->mapping) {
            view->scale = -1.0;
            DisableBars(view);
        }
    }
    return view->mapping;
}

double MainViewGetScale(MainViewWindow* view) {
    if (!view) return -1.0;
    MainViewGetMapping(view);
    ScopedLock hold(view->lock);
    return view->scale;
}

RectI MainViewGetTargetRect(MainViewWindow* view) {
    RectI target = ClientRect(view);
    if (view->horizontal_bar && IsWindowVisible(view->horizontal_bar)) {
        target.size.height = std::max(0, target.size.height - view->horizontal_bar_height);
    }
    if (view->vertical_bar && IsWindowVisible(view->vertical_bar)) {
        target.size.width = std::max(0, target.size.width - view->vertical_bar_width);
    }
    return target;
}

bool MainViewGetVisibleRect(MainViewWindow* view, RectI& out) {
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    if (!mapping) return false;
    RectI image;
    RectIFromPointSize(image, mapping->window_offset,
                       SizeI{static_cast<int32_t>(mapping->placement.pixel_width),
                             static_cast<int32_t>(mapping->placement.pixel_height)});
    return RectIIntersect(image, MainViewGetTargetRect(view), &out);
}

namespace {

// A scroll, zoom or resize shows the same page anew: the markups follow the
// new mapping and keep their selection and the object being drawn. Another
// page, turn or mirror lets go of them.
bool KeepMarkupsOnNewMapping(MainViewWindow* view, const ViewMapping* old) {
    if (!old || !view->markups->HasPage()) return false;
    Ref<ViewMapping> now = MainViewGetMapping(view);
    if (!now || now->page_id != old->page_id) return false;
    const PagePlacement& a = now->placement;
    const PagePlacement& b = old->placement;
    if (a.rotation != b.rotation || a.flip_x != b.flip_x || a.flip_y != b.flip_y) return false;
    return view->markups->SetPageView(now.get());
}

}  // namespace

void MainViewUpdate(MainViewWindow* view, uint32_t change_mask) {
    if (!view) return;
    Ref<ViewMapping> old;
    {
        ScopedLock hold(view->lock);
        old = view->mapping;
        view->mapping.Reset();
    }
    if (!KeepMarkupsOnNewMapping(view, old.get())) view->markups->SetPage(nullptr, nullptr);
    MainViewMouseHandler* handler = view->mouse_handler.get();
    const bool panning_on =
        change_mask == static_cast<uint32_t>(event::kViewPosition) && handler->mode == kMousePanning;
    if (handler->mode != kMouseIdle && !panning_on) handler->mode = kMouseCancelled;
    Repaint(view);
}

bool MainViewScrollBy(MainViewWindow* view, uint32_t waive, bool horizontal, int32_t steps) {
    if (!view || !Allowed(view, waive, restriction::kScroll)) return false;
    // The bars' ranges come with the mapping.
    if (!MainViewGetMapping(view)) return false;
    int32_t maximum = 0, position = 0;
    if (!BarRange(horizontal ? view->horizontal_bar : view->vertical_bar, maximum, position)) return false;
    // A bar without range (the page fits) has nothing to scroll; its
    // maximum of 0 must not divide.
    if (maximum <= 0) return false;
    const int64_t moved = std::clamp<int64_t>(int64_t(position) + steps, 0, maximum);
    if (moved == position) return false;
    return ScrollTo(view, horizontal, static_cast<int32_t>(moved), maximum);
}

void MainViewPaint(MainViewWindow* view, HDC dc) {
    if (!view || !dc || !view->window()) return;
    const RectI client = ClientRect(view);
    const RectI target = MainViewGetTargetRect(view);
    if (target.size.width < client.size.width && target.size.height < client.size.height) {
        // The square between the two bars.
        RECT corner = {target.size.width, target.size.height, client.size.width, client.size.height};
        FillRect(dc, &corner, GetSysColorBrush(COLOR_BTNFACE));
    }
    if (target.size.width <= 0 || target.size.height <= 0) return;
    // A paint of the window composes in the kept buffer; a copy into another
    // DC (WM_PRINTCLIENT) in a buffer of that DC's kind, made for it.
    KeptBackBuffer made;
    KeptBackBuffer& buffer = WindowFromDC(dc) == view->window() ? view->back_buffer : made;
    const HDC memory = buffer.Prepare(dc, target.size.width, target.size.height);
    if (!memory) return;
    // Whatever the drawing leaves set in the DC goes with it.
    const int saved = SaveDC(memory);
    // The memory context's origin is the target's.
    SetViewportOrgEx(memory, -target.origin.x, -target.origin.y, nullptr);
    WString error;
    bool failed = false;
    if (!PaintContent(view, memory, target, error, failed)) {
        DisableBars(view);
        if (failed) {
            DrawErrorBox(memory, target, error);
        } else {
            DrawEmptyPage(memory, target);
        }
    }
    ReportError(view, error);
    RestoreDC(memory, saved);
    BitBlt(dc, target.origin.x, target.origin.y, target.size.width, target.size.height, memory, 0, 0,
           SRCCOPY);
}

void MainViewMeasure(MainViewWindow* view, const PointI& point, bool toggle) {
    if (!view) return;
    const bool running = view->anchor != nullptr;
    view->anchor.Reset();
    Repaint(view);
    if (toggle && running) return;
    Ref<ViewMapping> mapping = MainViewGetMapping(view);
    RectI visible;
    if (!mapping || !MainViewGetVisibleRect(view, visible)) return;
    PointI start = point;
    RectIClampPoint(visible, start);
    view->anchor = MeasureAnchorCreate(ViewMapDeviceToPage(mapping.get(), start));
}
