#include "redlining/redline_mouse_tool.h"

#include "foundation/handles.h"
#include "foundation/variant.h"
#include "redlining/redline_view.h"
#include "resources/text_ids.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"
#include "viewer/windows/menu_items.h"

using namespace redline_mouse;

namespace {

// GetAttributeMask's bit: open the Properties sheet once the object is made.
constexpr uint32_t kEditAfterCreation = 2;

bool Left(uint32_t keys) { return (keys & MK_LBUTTON) != 0; }
bool Right(uint32_t keys) { return (keys & MK_RBUTTON) != 0; }
bool Shift(uint32_t keys) { return (keys & MK_SHIFT) != 0; }
bool AllUp(uint32_t keys) { return (keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) == 0; }
bool LeftAlone(uint32_t keys) { return Left(keys) && !Right(keys); }

void UseCursor(const wchar_t* id) { SetCursor(LoadCursorW(nullptr, id)); }

const wchar_t* CursorOfKind(int32_t kind) {
    switch (kind) {
        case 1:
            return IDC_SIZEALL;
        case 2:
            return IDC_SIZEWE;
        case 3:
            return IDC_SIZENS;
        case 4:
            return IDC_SIZENESW;
        case 5:
            return IDC_SIZENWSE;
        default:
            return IDC_ARROW;
    }
}

// Notification 22: true while a drag goes on, false once the markup has
// changed for good (the preview then draws it anew).
void PostMarkupChanged(ViewerContext* owner, bool while_dragging) {
    Variant argument;
    VariantInitBool(argument, while_dragging);
    ViewerPostActionArg(owner, event::kRedlineSelectionChanged, argument);
}

// The object becomes the only one selected and its Properties sheet opens.
void EditObject(RedlineView* view, ViewerContext* owner, RedlineObject* object) {
    view->selection.Clear();
    view->selection.Add(object);
    ViewerSendAction(owner, event::kMarkupProperties);
}

void OpenContextMenu(ViewerContext* owner, const PointI& point) {
    Ref<FrameWindow> frame = ViewerGetFrame(owner);
    Ref<MainViewWindow> main_view = frame ? FrameGetMainView(frame.get()) : nullptr;
    if (!frame || !main_view || !main_view->window()) return;
    POINT screen = {point.x, point.y};
    ClientToScreen(main_view->window(), &screen);
    ShowRedlineContextMenu(frame->window(), owner, true, screen);
}

}  // namespace

RedlineMouseTool::RedlineMouseTool(ViewerContext* owner, RedlineView* view)
    : owner(Ref<ViewerContext>(owner)), view(view) {}

Ref<RedlineObject> RedlineMouseTool::FinishObject() {
    Ref<RedlineObject> object = RedlineViewGetToolObject(view);
    RedlineViewSetToolObject(view, nullptr, -1);
    RedlineViewDropCache(view);
    if (!object) return nullptr;
    if (object->FinishCreation()) return object;
    if (Ref<RedlineLayer> layer = RedlineViewGetLayer(view)) layer->objects.Remove(object.get());
    return nullptr;
}

void RedlineMouseTool::Abandon() { EndCreation(); }

bool RedlineMouseTool::EndCreation() {
    const bool creating = view && (state == kWaitingForPoint || state == kPlacingPoint);
    state = kIdle;
    if (!creating) return false;
    // The point at the handle index follows the mouse and was never placed.
    const int32_t index = RedlineViewGetHandleIndex(view);
    if (Ref<RedlineObject> object = RedlineViewGetToolObject(view); object && index >= 0)
        object->DropCreationPointsFrom(static_cast<uint32_t>(index));
    FinishObject();
    return true;
}

bool RedlineMouseTool::OnButton(const PointI& point, uint32_t keys, bool* repaint) {
    if (!view) return false;
    const uint32_t mode = ViewerGetRedliningMode(owner.get());
    if (!RedliningModeEdits(mode)) return false;
    Ref<ViewMapping> page_view = RedlineViewGetPageView(view);
    Ref<RedlineObject> tool_object = RedlineViewGetToolObject(view);
    int32_t next = kIgnoringUntilRelease;
    bool handled = true;
    bool context_menu = false;
    Ref<RedlineObject> to_edit;
    bool markup_changed = false;
    switch (state) {
        case kIdle:
            if (mode == kRedliningModeSelect) {
                if (!tool_object) {
                    view->selection.Clear();
                    next = kIdle;
                    *repaint = true;
                    handled = false;
                } else if (Right(keys) && !Left(keys)) {
                    if (!view->selection.Contains(tool_object.get())) {
                        view->selection.Clear();
                        view->selection.Add(tool_object.get());
                    }
                    *repaint = true;
                    next = kRightPressedOnObject;
                } else if (LeftAlone(keys)) {
                    if (!Shift(keys) && !view->selection.Contains(tool_object.get())) view->selection.Clear();
                    view->selection.Add(tool_object.get());
                    *repaint = true;
                    if (page_view) {
                        last_point = point;
                        next = kPressedOnObject;
                    }
                } else {
                    handled = false;
                }
                break;
            }
            if (mode == kRedliningModeDraw && LeftAlone(keys) && page_view) {
                Ref<RedlineLayer> layer = RedlineViewGetLayer(view);
                if (!layer) break;
                Ref<RedlineObject> object =
                    CreateRedlineObject(static_cast<int32_t>(layer->objects.Count() + 1),
                                        static_cast<int32_t>(ViewerGetRedliningTool(owner.get())));
                if (!object || !layer->objects.AddOnTop(object.get())) break;
                RedlineApplyLastAttributes(view, object.get());
                object->SetCreationPoint(0, ViewMapDeviceToPage(page_view.get(), point));
                if (object->GetPointCount() < 2 && !object->CanAddPoint()) {
                    RedlineViewSetToolObject(view, nullptr, -1);
                    if (object->GetAttributeMask() & kEditAfterCreation) to_edit = object;
                    next = kIdle;
                } else {
                    RedlineViewSetToolObject(view, object.get(), 1);
                    next = kPlacingPoint;
                }
                RedlineViewDropCache(view);
                markup_changed = true;
                *repaint = true;
                break;
            }
            handled = false;
            next = kIdle;
            break;
        case kPressedOnObject:
            if (!AllUp(keys)) break;
            if (!Shift(keys) && tool_object) {
                view->selection.Clear();
                view->selection.Add(tool_object.get());
                *repaint = true;
            }
            next = kIdle;
            break;
        case kRightPressedOnObject:
            if (!AllUp(keys)) break;
            next = kIdle;
            context_menu = true;
            break;
        case kDragging:
            if (!AllUp(keys)) break;
            next = kIdle;
            *repaint = true;
            break;
        case kWaitingForPoint:
            if (LeftAlone(keys)) {
                next = kPlacingPoint;
                break;
            }
            markup_changed = true;
            if (Ref<RedlineObject> kept = FinishObject()) {
                if (kept->GetAttributeMask() & kEditAfterCreation) to_edit = kept;
            }
            *repaint = true;
            next = AllUp(keys) ? kIdle : kIgnoringUntilRelease;
            break;
        case kPlacingPoint: {
            if (!AllUp(keys)) {
                // A second button while a point is placed: the creation ends.
                FinishObject();
                markup_changed = true;
                *repaint = true;
                break;
            }
            const int32_t index = RedlineViewGetHandleIndex(view);
            if (!tool_object || index < 0 || !page_view) {
                FinishObject();
                markup_changed = true;
                next = kIdle;
                break;
            }
            tool_object->SetCreationPoint(static_cast<uint32_t>(index),
                                          ViewMapDeviceToPage(page_view.get(), point));
            const uint32_t count = tool_object->GetPointCount();
            if (static_cast<uint32_t>(index) + 1 < count || tool_object->CanAddPoint()) {
                // A point equal to the last one is not added: the next point
                // goes where it would have, never beyond the point count.
                RedlineViewSetHandleIndex(view, static_cast<int32_t>(std::min<uint32_t>(index + 1, count)));
                RedlineViewDropCache(view);
                markup_changed = true;
                next = kWaitingForPoint;
            } else {
                markup_changed = true;
                if (Ref<RedlineObject> kept = FinishObject()) {
                    if (kept->GetAttributeMask() & kEditAfterCreation) to_edit = kept;
                }
                next = kIdle;
            }
            *repaint = true;
            break;
        }
        case kIgnoringUntilRelease:
            if (AllUp(keys)) next = kIdle;
            break;
        default:
            next = kIdle;
            break;
    }
    state = next;
    if (markup_changed) PostMarkupChanged(owner.get(), false);
    if (context_menu) OpenContextMenu(owner.get(), point);
    if (to_edit) EditObject(view, owner.get(), to_edit.get());
    return handled;
}

bool RedlineMouseTool::Move(const PointI* point, uint32_t keys, bool* keep_capture, bool* repaint) {
    if (!view) return false;
    const uint32_t mode = ViewerGetRedliningMode(owner.get());
    Ref<ViewMapping> page_view = RedlineViewGetPageView(view);
    if (!RedliningModeEdits(mode) || !page_view) return false;
    const PointD page_point = ViewMapDeviceToPage(page_view.get(), *point);
    switch (state) {
        case kIdle: {
            if (mode == kRedliningModeDraw) {
                UseCursor(IDC_CROSS);
                return false;
            }
            if (!AllUp(keys)) {
                // The main view's own drag (a press beside every object).
                UseCursor(IDC_ARROW);
                return false;
            }
            Ref<RedlinePage> page = RedlineViewGetPage(view);
            if (!page) return false;
            int32_t handle = -1;
            int32_t cursor = 0;
            Ref<RedlineObject> grabbed = page->TopmostHandleHit(page_view.get(), page_point, handle, cursor);
            if (grabbed && view->selection.Contains(grabbed.get())) {
                UseCursor(CursorOfKind(cursor));
                RedlineViewSetToolObject(view, grabbed.get(), handle);
                *repaint = true;
                return false;
            }
            Ref<RedlineObject> hit = page->TopmostHit(page_view.get(), page_point);
            // A handle hovered a moment ago is no longer under the mouse: a
            // press here moves the object, even when it is the same one.
            if (hit != RedlineViewGetToolObject(view) || RedlineViewGetHandleIndex(view) >= 0) {
                RedlineViewSetToolObject(view, hit.get(), -1);
                *repaint = true;
            }
            UseCursor(hit ? IDC_SIZEALL : IDC_ARROW);
            // Hovering is the main view's too: its hair cross and position follow.
            return false;
        }
        case kPressedOnObject:
        case kDragging: {
            state = kDragging;
            const PointD from = ViewMapDeviceToPage(page_view.get(), last_point);
            const PointD by{page_point.x - from.x, page_point.y - from.y};
            const int32_t index = RedlineViewGetHandleIndex(view);
            Ref<RedlineObject> tool_object = RedlineViewGetToolObject(view);
            bool changed = false;
            if (index < 0 || !tool_object) {
                for (uint32_t i = 0; i < view->selection.Count(); ++i) {
                    Ref<RedlineObject> object = view->selection.GetAt(i);
                    PointD position;
                    object->GetPosition(position);
                    changed |= object->MoveTo(PointD{position.x + by.x, position.y + by.y});
                }
            } else {
                changed = tool_object->SetPoint(static_cast<uint32_t>(index), page_point);
            }
            last_point = *point;
            if (changed) {
                RedlineViewDropCache(view);
                *repaint = true;
                PostMarkupChanged(owner.get(), true);
            } else {
                state = kIgnoringUntilRelease;
                UseCursor(IDC_ARROW);
            }
            break;
        }
        case kWaitingForPoint:
        case kPlacingPoint: {
            Ref<RedlineObject> tool_object = RedlineViewGetToolObject(view);
            const int32_t index = RedlineViewGetHandleIndex(view);
            if (!tool_object || index < 0) break;
            if (tool_object->SetCreationPoint(static_cast<uint32_t>(index), page_point)) {
                UseCursor(IDC_CROSS);
            } else {
                // The object cannot follow the mouse: the creation ends here.
                FinishObject();
                state = kIgnoringUntilRelease;
                UseCursor(IDC_ARROW);
            }
            RedlineViewDropCache(view);
            *repaint = true;
            PostMarkupChanged(owner.get(), true);
            break;
        }
        default:
            UseCursor(IDC_ARROW);
            break;
    }
    return true;
}

HMENU BuildRedlineContextMenu(ViewerContext* context, bool bring_to_enabled) {
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return nullptr;
    MenuApplyStyle(menu.get());
    const bool ok =
        MenuAddItem(context, nullptr, menu.get(), command::kSelectAllMarkups, text::kRedlineSelectAll, -1,
                    true) &&
        MenuAddItem(context, nullptr, menu.get(), command::kDeleteMarkups, text::kRedlineDelete, -1, true) &&
        MenuAddSeparator(menu.get()) &&
        MenuAddItem(context, nullptr, menu.get(), command::kMarkupToFront, text::kRedlineToFront, -1,
                    bring_to_enabled) &&
        MenuAddItem(context, nullptr, menu.get(), command::kMarkupToBack, text::kRedlineToBackground, -1,
                    bring_to_enabled) &&
        MenuAddSeparator(menu.get()) &&
        MenuAddItem(context, nullptr, menu.get(), command::kMarkupProperties, text::kRedlineProperties, -1,
                    true);
    return ok ? menu.Release() : nullptr;
}

void ShowRedlineContextMenu(HWND owner, ViewerContext* context, bool bring_to_enabled, const POINT& screen) {
    MenuHandle menu(BuildRedlineContextMenu(context, bring_to_enabled));
    if (!menu || !owner) return;
    SetForegroundWindow(owner);
    TrackPopupMenu(menu.get(), TPM_RIGHTBUTTON, screen.x, screen.y, 0, owner, nullptr);
    PostMessageW(owner, WM_NULL, 0, 0);
}
