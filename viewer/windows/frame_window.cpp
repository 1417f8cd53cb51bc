#include "viewer/windows/frame_window.h"

#include <shellapi.h>
#include <windowsx.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "foundation/handles.h"
#include "foundation/variant.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/core/commands.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/document_saving.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/frame_messages.h"
#include "viewer/core/open_request.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/views/main_view.h"
#include "viewer/views/preview_window.h"
#include "viewer/windows/command_bars.h"
#include "viewer/windows/doc_tree_window.h"
#include "viewer/windows/floating_pane.h"
#include "viewer/windows/status_bar.h"

namespace {

constexpr uint32_t kFrameIconResource = 100;
constexpr wchar_t kBareTitle[] = L"Plovex";
constexpr COLORREF kSplitterColour = RGB(200, 200, 200);
constexpr int32_t kMinTrackWidth = 40;
constexpr int32_t kMinTrackHeight = 20;
constexpr int32_t kDefaultFrameWidth = 640;
constexpr int32_t kDefaultFrameHeight = 480;
// Between a floating tool window and the edges of the drawing it opens over.
constexpr int kFloatingToolMargin = 8;
// How close a splitter may come to the frame's edges while dragged.
constexpr int32_t kDragMarginStart = 20;
constexpr int32_t kDragMarginEnd = 101;
constexpr int32_t kDragMarginBottom = 21;
constexpr int32_t kBandThickness = 5;  // the dragged band, centred on the position

int32_t Bottom(const RectI& rect) { return rect.origin.y + rect.size.height; }

bool IsEmpty(const RectI& rect) { return rect.size.width <= 0 || rect.size.height <= 0; }

bool UserMayMoveSplitters(FrameWindow* frame) {
    Ref<Settings> settings = ViewerGetSettings(frame->context);
    return settings && SettingsCallerMayChange(settings.get(), kGroupWindow, kCallerViewer);
}

// Fills the rectangle exactly: with the null pen, Rectangle leaves out the
// right column and the bottom row of what it is given.
void FillWithCurrentBrush(HDC dc, const RectI& rect) {
    Rectangle(dc, rect.origin.x, rect.origin.y, rect.origin.x + rect.size.width + 1, Bottom(rect) + 1);
}

RectI BandRect(FrameWindow* frame, int32_t position) {
    RectI client;
    WindowGetClientRect(frame, client);
    RectI band;
    if (frame->drag_mode == kSplitterDragVertical) {
        const int32_t bottom = Bottom(client) - frame->bottom_height;
        RectISet(band, position - kBandThickness / 2, frame->top_height, kBandThickness,
                 bottom - frame->top_height);
    } else {
        RectISet(band, client.origin.x, position - kBandThickness / 2, frame->horizontal_splitter.size.width,
                 kBandThickness);
    }
    return band;
}

// Draws the band over whatever the frame and its panes show; drawn again at
// the same place, it puts back what was there.
void DrawBands(FrameWindow* frame, int32_t erase_at, int32_t draw_at) {
    WindowDC dc(frame->window());
    if (!dc) return;
    GdiBrush brush(CreateSolidBrush(kSplitterColour));
    ScopedSelect select_brush(dc.get(), brush.get());
    ScopedSelect select_pen(dc.get(), GetStockObject(NULL_PEN));
    ScopedMixMode mix(dc.get(), R2_NOTXORPEN);
    if (erase_at != -1) FillWithCurrentBrush(dc.get(), BandRect(frame, erase_at));
    if (draw_at != -1) FillWithCurrentBrush(dc.get(), BandRect(frame, draw_at));
}

void SetCursorShape(const wchar_t* shape) { SetCursor(LoadCursorW(nullptr, shape)); }

void EndSplitterDrag(FrameWindow* frame) {
    if (frame->drag_mode == kSplitterDragNone) return;
    if (frame->drag_position != -1) DrawBands(frame, frame->drag_position, -1);
    frame->drag_mode = kSplitterDragNone;
    frame->drag_position = -1;
    if (GetCapture() == frame->window()) ReleaseCapture();
    SetCursorShape(IDC_ARROW);
}

void StartSplitterDrag(FrameWindow* frame, int32_t mode, int32_t lower, int32_t upper,
                       const wchar_t* cursor) {
    // A frame too small to move the splitter in refuses the drag.
    if (lower >= upper) return;
    frame->drag_mode = mode;
    frame->drag_position = -1;
    frame->drag_lower = lower;
    frame->drag_upper = upper;
    SetCapture(frame->window());
    SetCursorShape(cursor);
}

void OnButtonDown(FrameWindow* frame, const PointI& point) {
    if (frame->drag_mode != kSplitterDragNone) {
        EndSplitterDrag(frame);
        return;
    }
    if (!UserMayMoveSplitters(frame)) return;
    RectI client;
    WindowGetClientRect(frame, client);
    if (!IsEmpty(frame->vertical_splitter) && RectIContains(frame->vertical_splitter, point)) {
        StartSplitterDrag(frame, kSplitterDragVertical, client.origin.x + kDragMarginStart,
                          client.origin.x + client.size.width - kDragMarginEnd, IDC_SIZEWE);
    } else if (!IsEmpty(frame->horizontal_splitter) && RectIContains(frame->horizontal_splitter, point)) {
        StartSplitterDrag(frame, kSplitterDragHorizontal, frame->top_height + kDragMarginStart,
                          Bottom(client) - frame->bottom_height - kDragMarginBottom, IDC_SIZENS);
    }
}

void OnMouseMove(FrameWindow* frame, const PointI& point) {
    if (frame->drag_mode == kSplitterDragNone) {
        if (!IsEmpty(frame->vertical_splitter) && RectIContains(frame->vertical_splitter, point)) {
            SetCursorShape(IDC_SIZEWE);
        } else if (!IsEmpty(frame->horizontal_splitter) && RectIContains(frame->horizontal_splitter, point)) {
            SetCursorShape(IDC_SIZENS);
        } else {
            SetCursorShape(IDC_ARROW);
        }
        return;
    }
    const int32_t wanted = frame->drag_mode == kSplitterDragVertical ? point.x : point.y;
    const int32_t position = std::clamp(wanted, frame->drag_lower, frame->drag_upper);
    DrawBands(frame, frame->drag_position, position);
    frame->drag_position = position;
}

void OnButtonUp(FrameWindow* frame) {
    if (frame->drag_mode == kSplitterDragNone) return;
    const int32_t mode = frame->drag_mode;
    const int32_t position = frame->drag_position;
    EndSplitterDrag(frame);
    if (position == -1) return;
    Ref<Settings> settings = ViewerGetSettings(frame->context);
    if (!settings) return;
    RectI client;
    WindowGetClientRect(frame, client);
    if (mode == kSplitterDragVertical) {
        SettingsSetNavigationWidth(settings.get(), frame->context, kCallerViewer,
                                   position - client.origin.x + 1);
    } else {
        SettingsSetPreviewHeight(settings.get(), frame->context, kCallerViewer,
                                 Bottom(client) - frame->bottom_height - position);
    }
    FrameLayout(frame);
}

// A floating pane either keeps its place beside the frame or, when it does
// not move with the frame, has its own place stored.
void FollowPane(FrameWindow* frame, Settings* settings, HWND pane_window, SettingsPane pane,
                bool move_with_frame) {
    if (!pane_window) return;
    if (!move_with_frame) {
        FloatingPaneStoreRect(pane_window, frame->window(), frame->context, pane);
        return;
    }
    const RectI stored = SettingsGetPaneRect(settings, pane);
    RectI frame_rect;
    WindowGetRect(frame, frame_rect);
    FloatingPaneMoveTo(pane_window,
                       PointI{frame_rect.origin.x + stored.origin.x, frame_rect.origin.y + stored.origin.y});
}

void FollowFloatingPanes(FrameWindow* frame) {
    HWND window = frame->window();
    if (!window || IsIconic(window)) return;
    Ref<Settings> settings = ViewerGetSettings(frame->context);
    if (!settings) return;
    if constexpr (kViewerProgramBuild) {
        RectI frame_rect;
        SettingsSetFrameRect(settings.get(), frame->context, kCallerViewer, WindowGetRect(frame, frame_rect));
    }
    const bool move_with_frame = SettingsGetPopupsMoveWithMain(settings.get());
    if (frame->preview && frame->preview->display_mode == kPaneFloating) {
        FollowPane(frame, settings.get(), frame->preview->window(), kPanePreview, move_with_frame);
    }
    if (frame->main_view && frame->main_view->display_mode == kPaneFloating) {
        FollowPane(frame, settings.get(), frame->main_view->window(), kPaneMainView, move_with_frame);
    }
}

// The dropped paths joined with TAB. Each length is asked for first: a
// buffer of the classic 260 characters would cut a longer path, which then
// names another file or none.
WString DroppedPaths(HDROP drop) {
    WString joined;
    const UINT count = DragQueryFileW(drop, 0xFFFFFFFF, nullptr, 0);
    for (UINT i = 0; i < count; ++i) {
        const UINT length = DragQueryFileW(drop, i, nullptr, 0);
        if (length == 0) continue;
        std::vector<wchar_t> path(length + 1);
        if (DragQueryFileW(drop, i, path.data(), length + 1) != length) continue;
        if (WStrLength(joined)) WStrAppendChar(joined, L'\t');
        WStrAppendN(joined, path.data(), length);
    }
    return joined;
}

void OnDropFiles(FrameWindow* frame, HDROP drop) {
    if (ViewerIsAllowed(frame->context, 0, restriction::kOpenInteractively)) {
        const WString paths = DroppedPaths(drop);
        if (WStrLength(paths)) ViewerOpenDocument(frame->context, paths, nullptr, kOpenInteractive);
    }
    DragFinish(drop);
}

// Earlier sessions' temporary files are looked for at every tick of the
// timer, for as long as the viewer runs.
void OnCleanupTimer(FrameWindow* frame) {
    Ref<AppRoot> app = ViewerGetApp(frame->context);
    Ref<Settings> settings = AppGetSettings(app.get());
    if (app && settings && SettingsGetTempDirCleanup(settings.get())) StartTempCleanup(app.get());
}

LRESULT OnNotify(FrameWindow* frame, const NMHDR* header, bool& handled) {
    handled = true;
    if (frame->status_bar && header->hwndFrom == StatusBarGetWindow(frame->status_bar.get())) {
        return StatusBarOnNotify(frame->status_bar.get(), header);
    }
    if (header->code == RBN_HEIGHTCHANGE) {
        RECT client = {};
        GetClientRect(frame->window(), &client);
        PostMessageW(frame->window(), WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
        return 0;
    }
    handled = false;
    return 0;
}

RectI InitialRect(ViewerContext* context, HWND parent) {
    RectI rect;
    if (parent) {
        RECT client = {};
        GetClientRect(parent, &client);
        return RectISet(rect, 0, 0, client.right, client.bottom);
    }
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings) return SettingsGetFrameRect(settings.get());
    return RectISet(rect, 0, 0, kDefaultFrameWidth, kDefaultFrameHeight);
}

// False when the user keeps the program running: a top-level frame with
// changed markups asks about each document first.
bool ConfirmProgramEnd(FrameWindow* frame) {
    if (GetWindowLongW(frame->window(), GWL_STYLE) & WS_CHILD) return true;
    return !frame->context || ViewerConfirmMarkupsClose(frame->context, nullptr);
}

// Windows keeps owned windows above their owner. Wine's X11 driver without a
// window manager raises a frame that takes the focus in X alone, around
// SetWindowPos; a moment later, without a message, the exposed frame goes over
// the tool window in the window order too. The timer set on activation and on
// clicks puts the tool window back on top then, not activated.
void KeepToolWindowAbove(FrameWindow* frame) {
    HWND tool = nullptr;
    {
        ScopedLock hold(frame->lock);
        if (frame->redline_toolbar) tool = frame->redline_toolbar->window();
    }
    if (tool && IsWindowVisible(tool) && GetForegroundWindow() == GetAncestor(frame->window(), GA_ROOT))
        SetWindowPos(tool, HWND_TOP, 0, 0, 0, 0, SWP_NOACTIVATE | SWP_NOMOVE | SWP_NOSIZE);
}

void KeepToolWindowAboveSoon(FrameWindow* frame) {
    SetTimer(frame->window(), kFrameToolWindowTimer, kFrameToolWindowDelay, nullptr);
}

// Whether the main view's markups were drawing an object, now ended.
bool EndMarkupCreation(FrameWindow* frame) {
    Ref<MainViewWindow> main_view = FrameGetMainView(frame);
    return main_view && main_view->markups->EndCreation();
}

}  // namespace

Ref<FrameWindow> FrameListener::Frame() {
    ScopedLock hold(lock_);
    if (!frame_ || !RefTryAddRef(frame_)) return nullptr;
    return AdoptRef(frame_);
}

void FrameListener::ForgetFrame() {
    ScopedLock hold(lock_);
    frame_ = nullptr;
}

HubAnswer FrameListener::Notify(RefCounted* sender, HubEvent* event) {
    if (!event) return HubAnswer::kContinue;
    Ref<FrameWindow> frame = Frame();
    if (!frame) return HubAnswer::kContinue;
    switch (event->code) {
        case event::kActiveItemChanged: {
            Ref<DocItem> active = ViewerGetActiveItem(frame->context);
            WString name;
            if (active) DocItemGetDisplayName(active.get(), frame->context, name);
            FrameSetTitle(frame.get(), WStrCStr(name));
            return HubAnswer::kHandled;
        }
        case event::kRedlineModeChanged: {
            const uint32_t mode = ViewerGetRedliningMode(frame->context);
            FrameShowRedlineToolbar(frame.get(), RedliningModeEdits(mode));
            return HubAnswer::kHandled;
        }
    }
    return HubAnswer::kContinue;
}

FrameWindow::~FrameWindow() {
    // Messages of the dying window go to the default procedure from here on.
    WindowUnregister(this);
    if (listener) {
        listener->ForgetFrame();
        ListenerDetach(listener.get());
        listener.Reset();
    }
    Ref<MarkupToolbar> toolbar;
    {
        ScopedLock hold(lock);
        toolbar = std::move(redline_toolbar);
    }
    if (toolbar) toolbar->Detach();
    toolbar.Reset();
    status_bar.Reset();
    tree.Reset();
    command_bars.Reset();
    preview.Reset();
    main_view.Reset();
    WindowDestroy(this);
}

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CLOSE:
            // Every way out of the program (Alt+F4, Exit, DDE's Quit) asks
            // about changed markups; the control's child frame never asks.
            if (!ConfirmProgramEnd(this)) return 0;
            break;
        case WM_QUERYENDSESSION:
            // The session's end would lose them as surely.
            return ConfirmProgramEnd(this) ? TRUE : FALSE;
        case WM_DESTROY:
            // The control's frame is a child: the loop it would end is its
            // host's.
            if (!(GetWindowLongW(window(), GWL_STYLE) & WS_CHILD)) PostQuitMessage(0);
            break;
        case WM_ACTIVATE:
            if (LOWORD(wparam) != WA_INACTIVE) KeepToolWindowAboveSoon(this);
            break;
        case WM_PARENTNOTIFY:
            // A click in a pane, which may take the focus; not a child made or gone.
            if (LOWORD(wparam) != WM_CREATE && LOWORD(wparam) != WM_DESTROY) KeepToolWindowAboveSoon(this);
            break;
        case WM_MOVE:
            FollowFloatingPanes(this);
            break;
        case WM_SIZE:
            EndSplitterDrag(this);
            FrameLayout(this);
            FollowFloatingPanes(this);
            break;
        case WM_PAINT: {
            PaintDC paint(window());
            if (paint) FramePaint(this, paint.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            FramePaint(this, reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lparam);
            info->ptMinTrackSize = POINT{kMinTrackWidth, kMinTrackHeight};
            return 0;
        }
        case WM_DRAWITEM:
            if (status_bar)
                return StatusBarOwnerDraw(status_bar.get(), reinterpret_cast<DRAWITEMSTRUCT*>(lparam));
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            bool handled = false;
            const LRESULT result = header ? OnNotify(this, header, handled) : 0;
            if (handled) return result;
            break;
        }
        case WM_COMMAND:
            // Esc (the accelerator of Zoom All) first ends an object being drawn.
            if (HIWORD(wparam) == 1 && LOWORD(wparam) == command::kZoomAll && EndMarkupCreation(this))
                return 0;
            if (ViewerOnCommand(context, wparam, lparam)) return 0;
            break;
        case WM_TIMER:
            if (wparam == kFrameToolWindowTimer) {
                KillTimer(window(), wparam);
                KeepToolWindowAbove(this);
                return 0;
            }
            if (wparam != kFrameCleanupTimer) break;
            OnCleanupTimer(this);
            return 0;
        case WM_MENUCHAR:
            if (HWND bars = CommandBarsGetWindow(command_bars.get()))
                PostMessageW(bars, message, wparam, lparam);
            return 0;
        case WM_MOUSEMOVE:
            OnMouseMove(this, PointI{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
            return 0;
        case WM_LBUTTONDOWN:
            OnButtonDown(this, PointI{GET_X_LPARAM(lparam), GET_Y_LPARAM(lparam)});
            return 0;
        case WM_LBUTTONUP:
            OnButtonUp(this);
            return 0;
        case WM_MOUSEWHEEL: {
            EndSplitterDrag(this);
            Variant argument;
            VariantInitInt(argument, static_cast<int32_t>(wparam));
            ViewerSendActionArg(context, event::kMouseWheel, argument);
            return 0;
        }
        case WM_DROPFILES:
            OnDropFiles(this, reinterpret_cast<HDROP>(wparam));
            return 0;
        case kFrameHostMovedMessage:
            FollowFloatingPanes(this);
            break;
        case kHubDrainMessage: {
            // The hub may outlive this window's use of it; hold it for the drain.
            Ref<EventHub> held = hub;
            if (held) EventHubDrain(held.get());
            return 0;
        }
        case kFrameEndMarkupCreationMessage:
            return EndMarkupCreation(this) ? 1 : 0;
        case kFrameStartCleanupMessage:
            // A timer of the system repeats: the cleanup runs again at every
            // interval.
            SetTimer(window(), kFrameCleanupTimer, kFrameCleanupInterval, nullptr);
            return 0;
        case kFrameBringToFrontMessage: {
            HWND target = reinterpret_cast<HWND>(lparam);
            // Any process can post this message: only this process's own
            // windows are restored and brought to the front.
            DWORD owner = 0;
            if (target && GetWindowThreadProcessId(target, &owner) && owner == GetCurrentProcessId()) {
                if (IsIconic(target)) ShowWindow(target, SW_RESTORE);
                SetForegroundWindow(target);
            }
            return 0;
        }
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

Ref<FrameWindow> FrameWindowCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub) {
    HICON icon = instance ? LoadIconW(instance, MAKEINTRESOURCEW(kFrameIconResource)) : nullptr;
    if (!WindowRegisterClass(kFrameClassName, CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW),
                             static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)), icon)) {
        return nullptr;
    }
    Ref<FrameWindow> frame = MakeRef<FrameWindow>();
    frame->context = context;
    frame->hub = Ref<EventHub>(hub);
    frame->instance = instance;
    const DWORD style = parent ? WS_CHILD : WS_OVERLAPPEDWINDOW;
    if (!WindowCreate(frame.get(), 0, kFrameClassName, kBareTitle, style, InitialRect(context, parent),
                      parent, nullptr)) {
        return nullptr;
    }
    DragAcceptFiles(frame->window(), TRUE);
    frame->listener = MakeRef<FrameListener>();
    frame->listener->frame_ = frame.get();
    if (hub) ListenerConstruct(frame->listener.get(), hub);
    return frame;
}

void FrameCreatePanes(FrameWindow* frame, EventHub* hub) {
    if (!frame || !frame->context || frame->tree || !frame->window()) return;
    ViewerContext* context = frame->context;
    HWND window = frame->window();
    frame->tree = DocTreeCreate(context, window, frame->instance, hub);
    frame->command_bars = CommandBarsCreate(context, window, frame->instance, hub);
    frame->status_bar = StatusBarCreate(context, window, frame->instance, hub);
    FrameSetTitle(frame, nullptr);
    if (Ref<Settings> settings = ViewerGetSettings(context)) {
        frame->main_view =
            MainViewCreate(context, window, kPaneHidden, SettingsGetPopupsMoveable(settings.get()));
        frame->preview = PreviewCreate(context, window, frame->instance, hub);
    }
    ShowWindow(window, SW_SHOW);
    FrameLayout(frame);
}

Ref<FrameWindow> FrameCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub) {
    Ref<FrameWindow> frame = FrameWindowCreate(context, parent, instance, hub);
    if (!frame) return nullptr;
    FrameCreatePanes(frame.get(), hub);
    // Taken from the queue once the message loop runs, which is after the
    // root has set the hub's window and its running state.
    PostMessageW(frame->window(), kFrameStartCleanupMessage, 0, 0);
    return frame;
}

HWND FrameGetHwnd(FrameWindow* frame) { return frame ? frame->window() : nullptr; }

Ref<MainViewWindow> FrameGetMainView(FrameWindow* frame) { return frame ? frame->main_view : nullptr; }

void FrameLayout(FrameWindow* frame) {
    if (!frame || !frame->window() || !frame->command_bars || !frame->tree || !frame->status_bar ||
        !frame->preview || !frame->main_view) {
        return;
    }
    Ref<Settings> settings = ViewerGetSettings(frame->context);
    if (!settings) return;
    Settings* s = settings.get();
    HWND window = frame->window();
    RectI client;
    WindowGetClientRect(frame, client);

    CommandBarsLayout(frame->command_bars.get(), SettingsGetViewMode(s, kPaneMenuBar),
                      SettingsGetViewMode(s, kPaneToolBar), window, client);
    frame->top_height = CommandBarsGetHeight(frame->command_bars.get());
    StatusBarShow(frame->status_bar.get(), SettingsGetViewMode(s, kPaneStatusBar), window, client);
    frame->bottom_height = StatusBarGetClientHeight(frame->status_bar.get());

    const FramePaneModes modes{SettingsGetViewMode(s, kPaneNavigation), SettingsGetViewMode(s, kPanePreview),
                               SettingsGetViewMode(s, kPaneMainView)};
    const FrameSplit split =
        FrameSplitPanes(client, frame->top_height, frame->bottom_height, SettingsGetNavigationWidth(s),
                        SettingsGetPreviewHeight(s), modes);
    frame->vertical_splitter = split.vertical_splitter;
    frame->horizontal_splitter = split.horizontal_splitter;
    frame->applied_modes = split.modes;

    PreviewShow(frame->preview.get(), split.modes.preview, window, split.preview);
    MainViewSetDisplayMode(frame->main_view.get(), static_cast<uint32_t>(split.modes.main_view), window,
                           split.main_view);
    DocTreeSetMode(frame->tree.get(), split.modes.tree, window, split.tree);
    InvalidateRect(window, nullptr, FALSE);
}

void FrameSetTitle(FrameWindow* frame, const wchar_t* document_name) {
    if (!frame || !frame->window()) return;
    const wchar_t* bare = ViewerGetText(frame->context, text::kProductName);
    WString title = bare ? bare : kBareTitle;
    if (document_name && *document_name) {
        WStrAppendChars(title, L" - ");
        WStrAppendChars(title, document_name);
    }
    SetWindowTextW(frame->window(), WStrCStr(title));
}

namespace {

// A floating tool window first opens in the drawing's top right corner, so it
// covers none of the frame's own tools.
void PlaceOverDrawing(FrameWindow* frame, HWND tool) {
    const HWND view = frame->main_view ? frame->main_view->window() : nullptr;
    RECT area = {}, own = {};
    if (!tool || !view || !GetWindowRect(view, &area) || !GetWindowRect(tool, &own)) return;
    const int x = std::max(area.left, area.right - (own.right - own.left) - kFloatingToolMargin);
    SetWindowPos(tool, nullptr, x, area.top + kFloatingToolMargin, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void FrameShowRedlineToolbar(FrameWindow* frame, bool on) {
    if (!frame) return;
    Ref<MarkupToolbar> toolbar;
    if (on) {
        Ref<MarkupProvider> markups = ViewerGetMarkups(frame->context);
        bool created = false;
        {
            ScopedLock hold(frame->lock);
            if (!frame->redline_toolbar) {
                frame->redline_toolbar = markups->CreateToolbar(frame->context, frame->window(),
                                                                frame->instance, frame->hub.get());
                created = true;
            }
            toolbar = frame->redline_toolbar;
        }
        // Without markups installed there is no tool bar to show.
        if (!toolbar) return;
        if (created) PlaceOverDrawing(frame, toolbar->window());
        WindowShow(toolbar.get(), true);
        return;
    }
    // Hidden, not released: the tool window keeps its place for the next
    // time, and a close from its own caption (which only changes the mode)
    // finds the same window afterwards.
    {
        ScopedLock hold(frame->lock);
        toolbar = frame->redline_toolbar;
    }
    if (toolbar) WindowShow(toolbar.get(), false);
}

void FramePaint(FrameWindow* frame, HDC dc) {
    if (!frame || !dc) return;
    RectI client;
    WindowGetClientRect(frame, client);
    const FramePaneModes& modes = frame->applied_modes;
    if (modes.tree != kPaneDocked && modes.preview != kPaneDocked && modes.main_view != kPaneDocked) {
        RectI empty;
        RectISet(empty, client.origin.x, client.origin.y + frame->top_height, client.size.width,
                 client.size.height - frame->top_height - frame->bottom_height);
        ScopedSelect brush(dc, GetStockObject(LTGRAY_BRUSH));
        ScopedSelect pen(dc, GetStockObject(NULL_PEN));
        if (!IsEmpty(empty)) FillWithCurrentBrush(dc, empty);
    }
    GdiBrush splitter_brush(CreateSolidBrush(kSplitterColour));
    for (const RectI* splitter : {&frame->vertical_splitter, &frame->horizontal_splitter}) {
        if (IsEmpty(*splitter)) continue;
        RECT rect = {splitter->origin.x, splitter->origin.y, splitter->origin.x + splitter->size.width,
                     Bottom(*splitter)};
        FillRect(dc, &rect, splitter_brush.get());
    }
}
