#include "redlining/redline_view.h"

#include <algorithm>
#include <cmath>

#include "foundation/variant.h"
#include "redlining/redline_mouse_tool.h"
#include "redlining/redline_properties.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

namespace {

// The last-used attribute each mask bit of GetAttributeMask takes.
constexpr uint32_t kTakesFont = 16;
constexpr uint32_t kTakesOutline = 32;
constexpr uint32_t kTakesLineEnds = 64;
constexpr uint32_t kTakesFilling = 128;

void PostSelectionChanged(RedlineView* view, bool while_dragging) {
    Variant argument;
    VariantInitBool(argument, while_dragging);
    ViewerPostActionArg(view->owner.get(), event::kRedlineSelectionChanged, argument);
}

// The page's rectangle in device pixels (inclusive corners), from its four
// mapped corners so that every turn and mirror gives the same rectangle.
RECT PageDeviceRect(const ViewMapping* mapping) {
    const RectD& page = mapping->placement.rect;
    const PointD corners[4] = {{page.origin.x, page.origin.y},
                               {page.origin.x + page.size.width, page.origin.y},
                               {page.origin.x, page.origin.y + page.size.height},
                               {page.origin.x + page.size.width, page.origin.y + page.size.height}};
    RECT rect = {INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN};
    for (const PointD& corner : corners) {
        const PointI device = ViewMapPageToDevice(mapping, corner);
        rect.left = std::min<LONG>(rect.left, device.x);
        rect.top = std::min<LONG>(rect.top, device.y);
        rect.right = std::max<LONG>(rect.right, device.x);
        rect.bottom = std::max<LONG>(rect.bottom, device.y);
    }
    return rect;
}

int32_t ObjectNumbersSetting(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings ? SettingsGetRedliningObjectNumbers(settings.get()) : 0;
}

// Records the page's markup into a new enhanced metafile whose frame is the
// device rectangle, so that playing it over that rectangle draws 1:1.
EnhMetafile RecordPage(RedlineView* view, ViewerContext* context, HDC dc, const RECT& device, HRGN clip,
                       uint32_t purpose, bool overlay, bool grey) {
    const double mm_x = GetDeviceCaps(dc, HORZRES) > 0
                            ? GetDeviceCaps(dc, HORZSIZE) * 100.0 / GetDeviceCaps(dc, HORZRES)
                            : 100.0 * 25.4 / 96.0;
    const double mm_y = GetDeviceCaps(dc, VERTRES) > 0
                            ? GetDeviceCaps(dc, VERTSIZE) * 100.0 / GetDeviceCaps(dc, VERTRES)
                            : 100.0 * 25.4 / 96.0;
    const RECT frame = {static_cast<LONG>(std::floor(device.left * mm_x + 0.5)),
                        static_cast<LONG>(std::floor(device.top * mm_y + 0.5)),
                        static_cast<LONG>(std::floor(device.right * mm_x + 0.5)),
                        static_cast<LONG>(std::floor(device.bottom * mm_y + 0.5))};
    HDC recorder = CreateEnhMetaFileW(dc, nullptr, &frame, nullptr);
    if (!recorder) return EnhMetafile();
    SelectObject(recorder, GetStockObject(BLACK_PEN));
    SelectObject(recorder, GetStockObject(NULL_BRUSH));
    if (clip) SelectClipRgn(recorder, clip);
    uint32_t flags = redline_draw::kContent;
    if (RedlineNumbersShown(ObjectNumbersSetting(context), purpose, overlay)) flags |= redline_draw::kNumbers;
    if (grey) flags |= redline_draw::kGrey;
    RedlinePaintPage(view->page.get(), context, purpose, recorder, view->page_view.get(), nullptr, flags);
    return EnhMetafile(CloseEnhMetaFile(recorder));
}

// The page's markups are those of its first layer, the one that paints.
bool PageHasNoMarkups(RedlinePage* page) {
    Ref<RedlineLayer> layer = page->GetLayer(0);
    return !layer || layer->objects.Count() == 0;
}

void PaintOverlay(RedlineView* view, ViewerContext* context, HDC dc, uint32_t purpose, HRGN clip) {
    if (view->tool_object) {
        SelectClipRgn(dc, clip);
        RedlinePaintPage(view->page.get(), context, purpose, dc, view->page_view.get(),
                         view->tool_object.get(), redline_draw::kOverlay);
        SelectClipRgn(dc, nullptr);
    }
    if (view->selection.Count() == 0) return;
    RectD box;
    view->selection.GetBoundingBox(box);
    const POINT a = RedlineMapPoint(view->page_view.get(), box.origin);
    const POINT b = RedlineMapPoint(view->page_view.get(),
                                    PointD{box.origin.x + box.size.width, box.origin.y + box.size.height});
    {
        GdiPen dotted(CreatePen(PS_DOT, 1, RGB(0, 0, 0)));
        ScopedSelect pen(dc, dotted.get());
        ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
        // Inclusive corners: Rectangle leaves out the far edge.
        Rectangle(dc, std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x) + 1, std::max(a.y, b.y) + 1);
    }
    for (uint32_t i = 0; i < view->selection.Count(); ++i) {
        Ref<RedlineObject> object = view->selection.GetAt(i);
        RedlinePaintPage(view->page.get(), context, purpose, dc, view->page_view.get(), object.get(),
                         redline_draw::kOverlay);
    }
}

}  // namespace

RedlineView::~RedlineView() { RedlineViewDestruct(this); }

void RedlineViewConstruct(RedlineView* view, ViewerContext* owner) {
    ScopedLock hold(view->lock);
    view->owner = Ref<ViewerContext>(owner);
    if (!view->mouse_tool) view->mouse_tool = MakeRef<RedlineMouseTool>(owner, view);
}

void RedlineViewDestruct(RedlineView* view) {
    Ref<RedlineMouseTool> tool;
    {
        ScopedLock hold(view->lock);
        tool = std::move(view->mouse_tool);
    }
    // A tool the main view's chain still holds does nothing from here on.
    if (tool) tool->view = nullptr;
    ScopedLock hold(view->lock);
    view->metafile.Reset();
    view->page_view = nullptr;
    view->tool_object = nullptr;
    view->handle_index = -1;
    view->page = nullptr;
    view->owner = nullptr;
    view->last_attributes = RedlineLastAttributes();
    view->selection.Clear();
}

void RedlineViewSetPage(RedlineView* view, RedlinePage* page, ViewMapping* page_view) {
    // A creation cut short (another page, another mode) keeps no stub.
    Ref<RedlineMouseTool> tool;
    {
        ScopedLock hold(view->lock);
        tool = view->mouse_tool;
    }
    if (tool) tool->Abandon();
    ScopedLock hold(view->lock);
    const bool both = page && page_view;
    view->page = both ? Ref<RedlinePage>(page) : nullptr;
    view->page_view = both ? Ref<ViewMapping>(page_view) : nullptr;
    view->tool_object = nullptr;
    view->handle_index = -1;
    view->selection.Clear();
    view->metafile.Reset();
}

bool RedlineViewSetPageView(RedlineView* view, ViewMapping* page_view) {
    ScopedLock hold(view->lock);
    if (!view->page || !page_view) return false;
    view->page_view = Ref<ViewMapping>(page_view);
    view->metafile.Reset();
    return true;
}

bool RedlineViewEndCreation(RedlineView* view) {
    Ref<RedlineMouseTool> tool;
    {
        ScopedLock hold(view->lock);
        tool = view->mouse_tool;
    }
    if (!tool || !tool->EndCreation()) return false;
    PostSelectionChanged(view, false);
    return true;
}

bool RedlineViewHasPage(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->page != nullptr;
}

Ref<RedlinePage> RedlineViewGetPage(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->page;
}

Ref<ViewMapping> RedlineViewGetPageView(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->page_view;
}

void RedlineViewDropCache(RedlineView* view) {
    ScopedLock hold(view->lock);
    view->metafile.Reset();
}

Ref<MouseHandler> RedlineViewGetMouseTool(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->mouse_tool;
}

Ref<RedlineObject> RedlineViewGetToolObject(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->tool_object;
}

void RedlineViewSetToolObject(RedlineView* view, RedlineObject* object, int32_t handle_index) {
    ScopedLock hold(view->lock);
    view->tool_object = Ref<RedlineObject>(object);
    view->handle_index = handle_index;
}

int32_t RedlineViewGetHandleIndex(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->handle_index;
}

void RedlineViewSetHandleIndex(RedlineView* view, int32_t handle_index) {
    ScopedLock hold(view->lock);
    view->handle_index = handle_index;
}

Ref<RedlineLayer> RedlineViewGetLayer(RedlineView* view) {
    Ref<RedlinePage> page = RedlineViewGetPage(view);
    return page ? page->GetLayer(0) : nullptr;
}

void RedlineApplyLastAttributes(RedlineView* view, RedlineObject* object) {
    if (!object) return;
    RedlineLastAttributes last;
    {
        ScopedLock hold(view->lock);
        last = view->last_attributes;
    }
    const uint32_t mask = object->GetAttributeMask();
    if ((mask & kTakesFont) && last.font) object->SetAttribute(last.font.get());
    if ((mask & kTakesOutline) && last.outline) object->SetAttribute(last.outline.get());
    if ((mask & kTakesLineEnds) && last.line_ends) object->SetAttribute(last.line_ends.get());
    if ((mask & kTakesFilling) && last.filling) object->SetAttribute(last.filling.get());
}

bool RedlineNumbersShown(int32_t setting, uint32_t purpose, bool overlay) {
    switch (setting) {
        case 0:
            return purpose == markup_purpose::kMainView || purpose == markup_purpose::kPrinting ||
                   purpose == markup_purpose::kBitmapExport;
        case 1:
            return purpose == markup_purpose::kMainView;
        case 2:
            return purpose == markup_purpose::kMainView && overlay;
        default:
            return false;
    }
}

bool RedlinePaint(RedlineView* view, ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay,
                  bool grey) {
    if (!view || !dc) return false;
    // The selection and the object being edited belong to the main view.
    if (purpose != markup_purpose::kMainView || !RedliningModeEdits(ViewerGetRedliningMode(context)))
        no_overlay = true;
    ScopedLock hold(view->lock);
    if (!view->page || !view->page_view) return false;
    if (!view->tool_object && PageHasNoMarkups(view->page.get())) {
        // Nothing to record: a metafile costs one to two milliseconds of
        // every repaint under Wine, for pages that mostly carry no markups.
        view->metafile.Reset();
        if (!no_overlay) PaintOverlay(view, context, dc, purpose, nullptr);
        return true;
    }
    const RECT device = PageDeviceRect(view->page_view.get());
    GdiRegion clip;
    if (!view->metafile || view->tool_object) {
        clip.Reset(CreateRectRgn(device.left, device.top, device.right + 1, device.bottom + 1));
    }
    if (!view->metafile) {
        view->metafile = RecordPage(view, context, dc, device, clip.get(), purpose, !no_overlay, grey);
    }
    if (view->metafile) {
        const RECT play = {device.left, device.top, device.right, device.bottom};
        PlayEnhMetaFile(dc, view->metafile.get(), &play);
    }
    if (!no_overlay) PaintOverlay(view, context, dc, purpose, clip.get());
    return true;
}

void RedlineSelectAll(RedlineView* view) {
    Ref<RedlineLayer> layer = RedlineViewGetLayer(view);
    if (!layer || view->selection.Count() == 0) return;
    view->selection.CopyFrom(layer->objects);
    PostSelectionChanged(view, false);
}

void RedlineDeleteSelection(RedlineView* view) {
    Ref<RedlineLayer> layer = RedlineViewGetLayer(view);
    if (!layer) return;
    bool removed = false;
    for (uint32_t i = 0; i < view->selection.Count(); ++i) {
        Ref<RedlineObject> object = view->selection.GetAt(i);
        removed |= layer->objects.Remove(object.get());
    }
    view->selection.Clear();
    RedlineViewSetToolObject(view, nullptr, -1);
    RedlineViewDropCache(view);
    if (removed) PostSelectionChanged(view, false);
}

void RedlineChangeZOrder(RedlineView* view, uint32_t direction) {
    Ref<RedlineLayer> layer = RedlineViewGetLayer(view);
    Ref<RedlineObject> first = view->selection.GetAt(0);
    if (!layer || !first) return;
    layer->objects.ChangeZ(first.get(), direction);
    RedlineViewDropCache(view);
    PostSelectionChanged(view, false);
}

void RedlineShowProperties(RedlineView* view) {
    if (view->selection.Count() == 0) return;
    RedlineLastAttributes record;
    const int32_t result = RunRedlinePropertiesSheet(record, view->owner.get(), view->selection);
    {
        ScopedLock hold(view->lock);
        view->last_attributes = record;
    }
    if (result == kRedlineSheetNoPage) return;
    RedlineViewDropCache(view);
    Ref<FrameWindow> frame = ViewerGetFrame(view->owner.get());
    Ref<MainViewWindow> main_view = frame ? FrameGetMainView(frame.get()) : nullptr;
    if (main_view && main_view->window()) InvalidateRect(main_view->window(), nullptr, FALSE);
    // The preview draws the changed markups too.
    PostSelectionChanged(view, false);
}
