#include "viewer/views/preview_window.h"

#include <windowsx.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <utility>

#include "foundation/handles.h"
#include "foundation/variant.h"
#include "imaging/raster/packed_dib.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/progress_forwarder.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/area_placement.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/page_boxes.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/bitmap_cache.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/context_menu.h"
#include "viewer/windows/floating_pane.h"
#include "viewer/windows/frame_window.h"
#include "viewer/windows/status_bar.h"

namespace {
constexpr uint32_t kCacheBuckets = 29;
constexpr uint32_t kCacheMaxEntries = 0xFFFF;
constexpr UINT kLastForwardedKey = 0x0108;
constexpr int32_t kMinSide = 10;

constexpr COLORREF kFrameColour = RGB(0, 0, 255);
constexpr int kFramePenWidth = 3;
// A moved cut-out must keep at least this much of each side.
constexpr double kSmallestSide = 0.00001;
// A new cut-out must be at least this share of the page along each side.
constexpr double kSmallestShare = 1000000.0;

void Repaint(PreviewWindow* preview) {
    if (preview->window()) InvalidateRect(preview->window(), nullptr, FALSE);
}

void ClearFrame(PreviewWindow* preview) {
    ScopedLock hold(preview->lock);
    preview->frame_valid = false;
}

void DropCached(PreviewWindow* preview, int32_t id) {
    if (preview->cache) IntHashRemove(preview->cache.get(), static_cast<uint32_t>(id));
}

RectI ImageRect(const ViewMapping* mapping) {
    RectI rect;
    return RectIFromPointSize(rect, mapping->window_offset,
                              SizeI{static_cast<int32_t>(mapping->placement.pixel_width),
                                    static_cast<int32_t>(mapping->placement.pixel_height)});
}

Ref<CutOutState> ActiveCutOut(PreviewWindow* preview) {
    Ref<DocItem> item = ViewerGetActiveItem(preview->context.get());
    return item && (item->GetCommandMask() & item_command::kPreview) ? item->GetCutOut() : nullptr;
}

// The cut-out, or the whole page while it has no width.
RectD CutOutOrPage(CutOutState* cut_out) {
    RectD rect;
    CutOutGetRect(cut_out, rect);
    if (rect.size.width <= 0) {
        const SizeD page = CutOutGetPageSize(cut_out);
        RectDSet(rect, 0.0, 0.0, page.width, page.height);
    }
    return rect;
}

Ref<ViewMapping> ComputeMapping(PreviewWindow* preview) {
    ViewerContext* context = preview->context.get();
    Ref<DocItem> item = ViewerGetActiveItem(context);
    Ref<CutOutState> cut_out = ActiveCutOut(preview);
    RectI client;
    WindowGetClientRect(preview, client);
    if (!cut_out || client.size.width <= 0 || client.size.height <= 0) return nullptr;
    PagePlacement placement;
    PagePlacementInit(placement);
    PointI offset;
    PreviewPlacePage(CutOutGetPageSize(cut_out.get()), cut_out.get(), true, client.size, false, placement,
                     offset);
    if (placement.pixel_width == 0 || placement.pixel_height == 0) return nullptr;
    PagePlacementSetAutoInvert(item.get(), placement);
    return ViewMappingConstruct(item->id, offset, placement, ViewerGetPixelsPerMmX(context),
                                ViewerGetPixelsPerMmY(context));
}

// ---- Painting

void FillStrip(HDC dc, int32_t left, int32_t top, int32_t right, int32_t bottom) {
    // With the null pen Rectangle leaves out the right and bottom edge.
    if (right > left && bottom > top) Rectangle(dc, left, top, right + 1, bottom + 1);
}

// Light grey around the image rectangle.
void FillAround(HDC dc, const RectI& client, const RectI& image) {
    ScopedSelect pen(dc, GetStockObject(NULL_PEN));
    ScopedSelect brush(dc, GetStockObject(LTGRAY_BRUSH));
    const int32_t right = client.size.width, bottom = client.size.height;
    const int32_t image_right = image.origin.x + image.size.width;
    const int32_t image_bottom = image.origin.y + image.size.height;
    FillStrip(dc, 0, 0, image.origin.x, bottom);
    FillStrip(dc, image_right, 0, right, bottom);
    FillStrip(dc, std::max(0, image.origin.x), 0, std::min(right, image_right), image.origin.y);
    FillStrip(dc, std::max(0, image.origin.x), image_bottom, std::min(right, image_right), bottom);
}

// What the preview asks of the page for the mapping. The flag is set before
// any lookup: a cache entry holds the request as rendered.
PagePlacement RenderRequest(PreviewWindow* preview, const ViewMapping* mapping) {
    PagePlacement request = mapping->placement;
    Ref<Settings> settings = ViewerGetSettings(preview->context.get());
    if (settings && !SettingsGetUsePreviewInfo(settings.get())) request.flags |= kPlacementFullSizeImage;
    return request;
}

// The cached image of the page while it fits the request, else null.
Ref<RasterImage> CachedImage(PreviewWindow* preview, DocItem* item, const PagePlacement& request) {
    const auto key = static_cast<uint32_t>(item->id);
    Ref<RefCounted> found = preview->cache ? IntHashFind(preview->cache.get(), key) : nullptr;
    auto* entry = dynamic_cast<BitmapCacheEntry*>(found.get());
    return entry ? BitmapCacheLookup(entry, item->id, request) : nullptr;
}

// The page's image for the mapping: the cached one while it fits, else
// rendered now and cached under the page's id. Null when the page gives none.
Ref<RasterImage> ObtainImage(PreviewWindow* preview, DocItem* item, const ViewMapping* mapping) {
    ViewerContext* context = preview->context.get();
    const PagePlacement request = RenderRequest(preview, mapping);
    if (Ref<RasterImage> image = CachedImage(preview, item, request)) return image;
    const auto key = static_cast<uint32_t>(item->id);
    Ref<ProgressForwarder> progress = ViewerGetProgressForwarder(context);
    ProgressClear(progress.get());
    Ref<RasterImage> image = item->RenderPage(context, request, progress.get());
    ProgressForwarderReset(progress.get());
    if (!image || !preview->cache) return image;
    IntHashRemove(preview->cache.get(), key);
    if (Ref<BitmapCacheEntry> entry = BitmapCacheConstruct(item->id, image.get(), request))
        IntHashInsert(preview->cache.get(), key, entry.get(), nullptr);
    return image;
}

void DrawImage(HDC dc, const RasterImage* image, const RectI& at) {
    PackedDib header = RasterImageToPackedDib(image);
    if (!header) return;
    SetDIBitsToDevice(dc, at.origin.x, at.origin.y, at.size.width, at.size.height, 0,
                      static_cast<int32_t>(image->height) - at.size.height, 0, image->height, image->pixels,
                      header.get(), DIB_RGB_COLORS);
}

void PaintRedlining(PreviewWindow* preview, DocItem* item, ViewMapping* mapping, HDC dc) {
    ViewerContext* context = preview->context.get();
    if (!preview->markups->HasPage()) {
        bool active;
        {
            ScopedLock hold(context->lock);
            active = context->redlining_active;
        }
        Ref<Settings> settings = ViewerGetSettings(context);
        const bool display = settings && SettingsGetRedliningDisplay(settings.get());
        const uint32_t edit = ViewerGetRedliningMode(context);
        if (active && (display || !RedliningModeEdits(edit))) {
            Ref<MarkupPage> page = item->GetRedlinePage(context, false);
            preview->markups->SetPage(page.get(), mapping);
        }
    }
    preview->markups->Paint(context, dc, markup_purpose::kPreview, true, false);
}

// The frame being drawn, or the cut-out in pixels (remembered for the
// mouse), in blue.
void DrawCutOutFrame(PreviewWindow* preview, HDC dc, const ViewMapping* mapping) {
    RectI frame;
    if (preview->mouse_mode == kPreviewDrawing) {
        const PointI a = preview->anchor, b = preview->current;
        RectISet(frame, std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
    } else {
        Ref<CutOutState> cut_out = ActiveCutOut(preview);
        if (!cut_out) return;
        const RectD rect = CutOutOrPage(cut_out.get());
        const PointI a = ViewMapPageToDevice(mapping, rect.origin);
        const PointI b = ViewMapPageToDevice(
            mapping, PointD{rect.origin.x + rect.size.width, rect.origin.y + rect.size.height});
        RectISet(frame, std::min(a.x, b.x), std::min(a.y, b.y), std::abs(b.x - a.x), std::abs(b.y - a.y));
        ScopedLock hold(preview->lock);
        preview->frame_rect = frame;
        preview->frame_valid = true;
    }
    if (frame.size.width <= 0 || frame.size.height <= 0) return;
    GdiPen pen(CreatePen(PS_SOLID, kFramePenWidth, kFrameColour));
    if (!pen) return;
    ScopedSelect keep_pen(dc, pen.get());
    ScopedSelect keep_brush(dc, GetStockObject(NULL_BRUSH));
    Rectangle(dc, frame.origin.x, frame.origin.y, frame.origin.x + frame.size.width,
              frame.origin.y + frame.size.height);
}

// True when painting the preview now would render the active page: it has
// a picture of its own and none fits the preview's mapping.
bool PaintWouldRender(PreviewWindow* preview) {
    Ref<DocItem> item = ViewerGetActiveItem(preview->context.get());
    const uint32_t mask = item ? item->GetCommandMask() : 0;
    if ((mask & item_command::kDrawsItself) || !(mask & item_command::kPreview)) return false;
    Ref<ViewMapping> mapping = PreviewGetMapping(preview);
    return mapping && mapping->page_id == item->id &&
           !CachedImage(preview, item.get(), RenderRequest(preview, mapping.get()));
}

// A new page, a turn or a new document usually leaves both the preview and
// the main view waiting for a paint, and windows are painted in their
// z-order, which may well put the preview first. Its render of the page
// would then hold back the main view, the picture the user works with, by
// about as long again: a main view that waits is painted first.
void LetMainViewPaintFirst(PreviewWindow* preview) {
    Ref<FrameWindow> frame = ViewerGetFrame(preview->context.get());
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    HWND main_view = view ? view->window() : nullptr;
    if (!main_view || !IsWindowVisible(main_view) || !GetUpdateRect(main_view, nullptr, FALSE)) return;
    if (PaintWouldRender(preview)) UpdateWindow(main_view);
}

// ---- Mouse

bool Allowed(PreviewWindow* preview, uint32_t restriction) {
    return ViewerIsAllowed(preview->context.get(), 0, restriction);
}

// Enters the mode when the restrictions allow it; capture follows the mode.
bool EnterMode(PreviewWindow* preview, int32_t mode) {
    if (mode == kPreviewDrawing && !Allowed(preview, restriction::kPreviewDrag)) return false;
    if (mode == kPreviewMoving && !Allowed(preview, restriction::kPreviewDragFrame)) return false;
    preview->mouse_mode = mode;
    if (mode == kPreviewIdle || mode == kPreviewWaiting) {
        if (GetCapture() == preview->window()) ReleaseCapture();
    } else {
        SetCapture(preview->window());
    }
    return true;
}

bool InFrame(PreviewWindow* preview, const PointI& point) {
    ScopedLock hold(preview->lock);
    return preview->frame_valid && RectIContains(preview->frame_rect, point);
}

void PostViewChanged(PreviewWindow* preview, int32_t mask) {
    ViewerPostActionArg(preview->context.get(), event::kViewChanged, VariantOfInt(mask));
}

void LeftDown(PreviewWindow* preview, const PointI& point, WPARAM keys) {
    if ((keys & MK_RBUTTON) && InFrame(preview, point)) {
        // The cut-out moves by the mouse's way from here.
        if (EnterMode(preview, kPreviewMoving)) preview->anchor = preview->current = point;
        return;
    }
    Ref<ViewMapping> mapping = PreviewGetMapping(preview);
    if (!mapping || !RectIContains(ImageRect(mapping.get()), point)) return;
    if (preview->mouse_mode == kPreviewDrawing) return;
    // The anchor only moves when drawing may start.
    const PointI anchor = preview->anchor, current = preview->current;
    preview->anchor = preview->current = point;
    if (!EnterMode(preview, kPreviewDrawing)) {
        preview->anchor = anchor;
        preview->current = current;
    }
}

void MoveCutOut(PreviewWindow* preview) {
    SetCursor(LoadCursorW(nullptr, IDC_SIZEALL));
    Ref<ViewMapping> mapping = PreviewGetMapping(preview);
    Ref<CutOutState> cut_out = ActiveCutOut(preview);
    if (!mapping || !cut_out) return;
    const PointD from = ViewMapDeviceToPage(mapping.get(), preview->anchor);
    const PointD to = ViewMapDeviceToPage(mapping.get(), preview->current);
    RectD rect = CutOutOrPage(cut_out.get());
    rect.origin.x += to.x - from.x;
    rect.origin.y += to.y - from.y;
    const SizeD page_size = CutOutGetPageSize(cut_out.get());
    RectD page;
    RectDSet(page, 0.0, 0.0, page_size.width, page_size.height);
    RectDConstrain(rect, page, true, true);
    if (!(rect.size.width > kSmallestSide && rect.size.height > kSmallestSide)) return;
    if (!CutOutSetRect(cut_out.get(), rect)) return;
    preview->anchor = preview->current;
    PostViewChanged(preview, event::kViewPosition);
}

void MouseMove(PreviewWindow* preview, const PointI& point) {
    preview->current = point;
    if (preview->mouse_mode == kPreviewDrawing) {
        Ref<ViewMapping> mapping = PreviewGetMapping(preview);
        if (!mapping) return;
        RectIClampPoint(ImageRect(mapping.get()), preview->current);
        RectD rect;
        RectDFromPoints(rect, ViewMapDeviceToPage(mapping.get(), preview->anchor),
                        ViewMapDeviceToPage(mapping.get(), preview->current));
        PostRectStatusText(preview->context.get(), rect, true);
        Repaint(preview);
    } else if (preview->mouse_mode == kPreviewMoving) {
        MoveCutOut(preview);
    }
}

PointD ClampToPage(const PointD& point, const SizeD& page) {
    return PointD{std::clamp(point.x, 0.0, page.width), std::clamp(point.y, 0.0, page.height)};
}

// The drawn frame becomes the cut-out; a click resets it to the whole page.
void EndDrawing(PreviewWindow* preview) {
    Ref<ViewMapping> mapping = PreviewGetMapping(preview);
    Ref<CutOutState> cut_out = ActiveCutOut(preview);
    bool changed = false;
    if (mapping && cut_out) {
        if (preview->current == preview->anchor) {
            CutOutReset(cut_out.get());
            changed = true;
        } else {
            const SizeD page = CutOutGetPageSize(cut_out.get());
            RectD rect;
            RectDFromPoints(rect, ClampToPage(ViewMapDeviceToPage(mapping.get(), preview->anchor), page),
                            ClampToPage(ViewMapDeviceToPage(mapping.get(), preview->current), page));
            changed = rect.size.width * kSmallestShare >= page.width &&
                      rect.size.height * kSmallestShare >= page.height && CutOutSetRect(cut_out.get(), rect);
        }
    }
    // The mode is left before anything repaints, so the frame shows the cut-out.
    if (changed) {
        PostViewChanged(preview, event::kViewZoom);
    } else {
        Repaint(preview);
    }
    Variant empty;
    VariantInitString(empty, WString());
    ViewerPostActionArg(preview->context.get(), event::kStatusText, empty);
}

void LeftUp(PreviewWindow* preview, WPARAM keys) {
    if (GetCapture() == preview->window()) ReleaseCapture();
    const int32_t mode = preview->mouse_mode;
    preview->mouse_mode = kPreviewIdle;
    if (mode == kPreviewDrawing) EndDrawing(preview);
    if (mode == kPreviewMoving) SetCursor(LoadCursorW(nullptr, IDC_ARROW));
    EnterMode(preview, (keys & MK_RBUTTON) ? kPreviewWaiting : kPreviewIdle);
}

void RightDown(PreviewWindow* preview, const PointI& point, WPARAM keys) {
    if (!(keys & MK_LBUTTON) || preview->mouse_mode != kPreviewDrawing) return;
    if (point == preview->anchor && preview->current == preview->anchor && InFrame(preview, point)) {
        EnterMode(preview, kPreviewMoving);
    }
}

void RightUp(PreviewWindow* preview, const PointI& point) {
    if (preview->mouse_mode == kPreviewIdle) {
        POINT screen{point.x, point.y};
        ClientToScreen(preview->window(), &screen);
        Ref<ContextMenuRequest> request =
            ContextMenuRequestCreate(ViewerGetActiveItemId(preview->context.get()), screen.x, screen.y);
        Variant argument;
        VariantInitObject(argument, request.get());
        ViewerSendActionArg(preview->context.get(), event::kContextMenu, argument);
    }
    EnterMode(preview, kPreviewIdle);
}

}  // namespace

// ---- Listener

Ref<PreviewWindow> PreviewListener::Preview() {
    ScopedLock hold(lock_);
    return Ref<PreviewWindow>(preview_);
}

void PreviewListener::SetPreview(PreviewWindow* preview) {
    ScopedLock hold(lock_);
    preview_ = preview;
}

HubAnswer PreviewListener::Notify(RefCounted* sender, HubEvent* event) {
    if (event->code == event::kAppEnding) {
        SetPreview(nullptr);
        return HubAnswer::kHandled;
    }
    Ref<PreviewWindow> preview = Preview();
    if (!preview) return HubAnswer::kContinue;
    Variant argument;
    HubEventGetArg(event, argument);
    switch (event->code) {
        case event::kViewChanged: {
            // A comparison page's picture is cached under its parent.
            Ref<DocItem> item = ViewerGetActiveItem(preview->context.get());
            if (dynamic_cast<ComparisonPageItem*>(item.get()))
                DropCached(preview.get(), DocItemGetParentId(item.get()));
            PreviewUpdate(preview.get());
            return HubAnswer::kHandled;
        }
        case event::kMainViewScaleChanged:
            ClearFrame(preview.get());
            Repaint(preview.get());
            return HubAnswer::kHandled;
        case event::kItemRemoved:
            DropCached(preview.get(), VariantToInt(argument));
            return HubAnswer::kHandled;
        case event::kActiveItemChanged:
            PreviewUpdate(preview.get());
            return HubAnswer::kHandled;
        case event::kSettingChanged: {
            const auto changed = static_cast<uint64_t>(VariantToInt64(argument));
            if (changed & (setting::kRedliningDisplay | setting::kRedliningObjectNumbers)) {
                preview->markups->SetPage(nullptr, nullptr);
                Repaint(preview.get());
            }
            return HubAnswer::kContinue;
        }
        case event::kRedlineModeChanged:
        case event::kRedlineSelectionChanged:
            preview->markups->SetPage(nullptr, nullptr);
            Repaint(preview.get());
            return HubAnswer::kHandled;
        default:
            return HubAnswer::kContinue;
    }
}

// ---- PreviewWindow

PreviewWindow::~PreviewWindow() {
    if (listener) {
        listener->SetPreview(nullptr);
        ListenerDetach(listener.get());
    }
    WindowDestroy(this);
}

LRESULT PreviewWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= WM_KEYDOWN && message <= kLastForwardedKey) {
        if (HWND host = frame_window ? GetParent(frame_window) : nullptr) {
            if (!kViewerProgramBuild) PostMessageW(host, message, wparam, lparam);
        }
        return 1;
    }
    const PointI point{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)};
    switch (message) {
        case WM_MOVE:
        case WM_SIZE:
            if (display_mode == kPaneFloating)
                FloatingPaneStoreRect(window(), frame_window, context.get(), kPanePreview);
            if (message == WM_SIZE) PreviewUpdate(this);
            break;
        case WM_PAINT: {
            // Before this paint begins, so that the two never overlap.
            LetMainViewPaintFirst(this);
            PaintDC paint(window());
            if (paint) PreviewPaint(this, paint.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PreviewPaint(this, reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_CLOSE:
            // Closing the floating preview docks it again.
            ViewerSendActionArg(context.get(), event::kShowPreview, VariantOfInt(1));
            return 0;
        case WM_COMMAND:
            ViewerOnCommand(context.get(), wparam, lparam);
            return 0;
        case WM_LBUTTONDOWN:
            LeftDown(this, point, wparam);
            return 0;
        case WM_MOUSEMOVE:
            MouseMove(this, point);
            return 0;
        case WM_LBUTTONUP:
            LeftUp(this, wparam);
            return 0;
        case WM_RBUTTONDOWN:
            RightDown(this, point, wparam);
            return 0;
        case WM_RBUTTONUP:
            RightUp(this, point);
            return 0;
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

Ref<PreviewWindow> PreviewCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub) {
    if (!context) return nullptr;
    if (!WindowRegisterClass(kPreviewClassName, CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW),
                             static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)))) {
        return nullptr;
    }
    Ref<PreviewWindow> preview = MakeRef<PreviewWindow>();
    preview->instance = instance;
    preview->context = Ref<ViewerContext>(context);
    preview->frame_window = frame_window;
    preview->cache = IntHashNew(kCacheBuckets, kCacheMaxEntries);
    if (Ref<MarkupView> markups = ViewerGetMarkups(context)->CreateView(context))
        preview->markups = std::move(markups);
    preview->listener = MakeRef<PreviewListener>();
    preview->listener->SetPreview(preview.get());
    if (hub) ListenerConstruct(preview->listener.get(), hub);
    return preview;
}

void PreviewShow(PreviewWindow* preview, int32_t mode, HWND frame_window, const RectI& rect) {
    if (!preview) return;
    Ref<Settings> settings = ViewerGetSettings(preview->context.get());
    const bool moveable = settings ? SettingsGetPopupsMoveable(settings.get()) : true;
    preview->frame_window = frame_window;
    if (mode != preview->display_mode || moveable != preview->made_moveable || !preview->window()) {
        WindowDestroy(preview);
        preview->mouse_mode = kPreviewIdle;
        preview->display_mode = mode;
        preview->made_moveable = moveable;
        const RectI stored = settings ? SettingsGetPaneRect(settings.get(), kPanePreview) : RectI();
        const wchar_t* title = ViewerTextOrEmpty(preview->context.get(), text::kPreviewTitle);
        PaneWindowCreate(preview, kPreviewClassName, title, mode, moveable, frame_window, rect, stored);
        PreviewUpdate(preview);
    }
    if (mode == kPaneDocked) WindowMove(preview, rect);
}

bool PreviewSetPosition(PreviewWindow* preview, const PointI& point) {
    if (!preview || preview->display_mode != kPaneFloating || !preview->window()) return false;
    RECT frame = {};
    if (preview->frame_window) GetWindowRect(preview->frame_window, &frame);
    FloatingPaneMoveTo(preview->window(), PointI{frame.left + point.x, frame.top + point.y});
    return true;
}

bool PreviewSetSize(PreviewWindow* preview, const SizeI& size) {
    if (!preview || preview->display_mode != kPaneFloating || !preview->window() || size.width < kMinSide ||
        size.height < kMinSide) {
        return false;
    }
    return SetWindowPos(preview->window(), nullptr, 0, 0, size.width, size.height,
                        SWP_NOZORDER | SWP_NOMOVE | SWP_NOACTIVATE) != FALSE;
}

Ref<ViewMapping> PreviewGetMapping(PreviewWindow* preview) {
    if (!preview || !preview->window()) return nullptr;
    ScopedLock hold(preview->lock);
    if (!preview->mapping) preview->mapping = ComputeMapping(preview);
    return preview->mapping;
}

void PreviewUpdate(PreviewWindow* preview) {
    if (!preview) return;
    {
        ScopedLock hold(preview->lock);
        preview->mapping.Reset();
        preview->frame_valid = false;
    }
    preview->markups->SetPage(nullptr, nullptr);
    Repaint(preview);
}

void PreviewPaint(PreviewWindow* preview, HDC dc) {
    if (!preview || !dc || !preview->window()) return;
    ViewerContext* context = preview->context.get();
    RectI client;
    WindowGetClientRect(preview, client);
    Ref<DocItem> item = ViewerGetActiveItem(context);
    const uint32_t mask = item ? item->GetCommandMask() : 0;
    if (mask & item_command::kDrawsItself) {
        // Items may answer without drawing on this pass: nothing of an
        // earlier picture must stay behind.
        DrawEmptyPage(dc, client);
        item->Draw(context, kPreviewPass, dc, client);
        return;
    }
    bool drawn = false, failed = false;
    Ref<ViewMapping> mapping = (mask & item_command::kPreview) ? PreviewGetMapping(preview) : nullptr;
    if (mapping && mapping->page_id == item->id) {
        const RectI image_rect = ImageRect(mapping.get());
        RECT clip = {};
        const int clip_kind = GetClipBox(dc, &clip);
        RectI clip_rect;
        RectISet(clip_rect, clip.left, clip.top, clip.right - clip.left, clip.bottom - clip.top);
        if (clip_kind == ERROR ||
            (clip_kind != NULLREGION && RectIIntersect(image_rect, clip_rect, nullptr))) {
            Ref<RasterImage> image = ObtainImage(preview, item.get(), mapping.get());
            if (image) {
                DrawImage(dc, image.get(), image_rect);
                PaintRedlining(preview, item.get(), mapping.get(), dc);
                drawn = true;
            } else {
                failed = true;
            }
        }
        if (!failed) FillAround(dc, client, image_rect);
        if (drawn) DrawCutOutFrame(preview, dc, mapping.get());
        if (!failed) return;
    }
    if (failed) {
        DrawErrorBox(dc, client, WString());
    } else {
        DrawEmptyPage(dc, client);
    }
}
