// The main view: the window in which the active item of the document tree is
// shown. It owns the mapping between page millimetres and window pixels, the
// one-entry cache of the last rendered image, two scroll bars, the mouse
// (zoom band, panning, cross-hair, context menu) and the measuring of
// distances and angles. It follows the hub's view notifications and paints
// through one routine that serves WM_PAINT and WM_PRINTCLIENT alike.
//
// Everything runs on the GUI thread; the lock guards what the actions read
// (mapping, cache entry, scale).
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/mouse_chain.h"
#include "foundation/ref_counted.h"
#include "foundation/window_object.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/pane_display_modes.h"

class BitmapCacheEntry;
class MeasureAnchor;
class ViewMapping;
class ViewerContext;

inline constexpr wchar_t kMainViewClassName[] = L"Plovex50Hauptansicht";

enum MainViewMouseMode : uint32_t {
    kMouseIdle = 0,
    kMouseLeftDown = 1,   // not yet moved
    kMouseBothDown = 2,   // not yet moved
    kMouseRightDown = 3,  // not yet moved
    kMouseZoomBand = 4,   // dragging with the left button
    kMousePanning = 5,    // dragging with both buttons
    kMouseCancelled = 6,  // waiting until every button is up
};

// What the XOR overlay has put on the screen.
enum MainViewOverlay : uint32_t {
    kOverlayCrossHair = 0,
    kOverlayBand = 4,
    kOverlayNone = 6,
};

// Bands and the click that zooms all react only beyond this many pixels.
inline constexpr int32_t kMinBandPixels = 3;
// A band may zoom in at most this many times the page.
inline constexpr double kMaxBandZoom = 1000000.0;

class MainViewWindow;

class MainViewListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    MainViewWindow* view = nullptr;  // plain: the view owns the listener and clears it
};

class MainViewMouseHandler : public MouseHandler {
  public:
    bool ButtonDown(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override;
    bool ButtonUp(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override;
    bool Move(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override;

    MainViewWindow* view = nullptr;  // plain: the view owns the handler through its chain
    uint32_t mode = kMouseIdle;
};

class MainViewWindow : public WindowObject {
  public:
    ~MainViewWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    Ref<ViewerContext> context;
    HWND frame_window = nullptr;  // whose parent receives the view's keys
    Ref<MainViewListener> listener;
    CriticalSection lock;  // guards mapping, cache and scale
    int32_t display_mode = kPaneHidden;
    bool movable = false;  // POPUPS_MOVEABLE when the window was made
    // Children of the window, destroyed with it.
    HWND horizontal_bar = nullptr;
    HWND vertical_bar = nullptr;
    int32_t horizontal_bar_height = 0;
    int32_t vertical_bar_width = 0;
    Ref<ViewMapping> mapping;  // computed on demand, dropped whenever the view changes
    // Screen millimetres per page millimetre of the shown page (1 is true
    // size); -1 while no page is shown.
    double scale = -1.0;
    Ref<BitmapCacheEntry> cache;
    Ref<MeasureAnchor> anchor;                        // null while no measurement runs
    // The error text the view last gave the status bar; cleared there
    // again once a page shows.
    WString error_posted;
    Ref<MarkupView> markups = MakeRef<MarkupView>();  // the root's kind once made; never null
    MouseHandlerChain mouse_chain;                    // the redlining's mouse tool first, then mouse_handler
    Ref<MainViewMouseHandler> mouse_handler;
    PointI press_point;
    PointI last_point{-1, -1};  // (-1, -1) while the mouse is outside
    uint32_t overlay_state = kOverlayNone;
    // The cross-hair's point (x, y) or the band's left, top, inclusive
    // right and inclusive bottom.
    int32_t overlay[4] = {};
    // Where paints of the window compose the picture before it is copied.
    KeptBackBuffer back_buffer;
};

// Registers the window class once; true when it is registered.
bool MainViewRegisterClass(HINSTANCE instance);
// A view with its listener and mouse handlers; its window is a child of
// `parent` (mode 1) or a tool window owned by it (mode 2), with both scroll
// bars; any other mode makes no window. Null without a context.
Ref<MainViewWindow> MainViewCreate(ViewerContext* context, HWND parent, int32_t mode, bool movable);
void MainViewMoveTo(MainViewWindow* view, const PointI& origin);
// At least 10 x 10.
void MainViewResize(MainViewWindow* view, const SizeI& size);
// Makes the window again when the mode or POPUPS_MOVEABLE changed; a
// floating view takes RECT_MAINVIEW (relative to the frame window), a docked
// one `rect`; then the scroll bars are laid out and the window shown.
void MainViewSetDisplayMode(MainViewWindow* view, int32_t mode, HWND parent, const RectI& rect);

// The mapping of the active page into the window, or null when no page is
// shown; computed when none is held (which may store the shown rectangle
// back into the page's cut-out and posts notifications 10 and 16).
Ref<ViewMapping> MainViewGetMapping(MainViewWindow* view);
// The scale of the shown page (screen millimetres per page millimetre), -1
// without one.
double MainViewGetScale(MainViewWindow* view);
// The client area less the scroll bars.
RectI MainViewGetTargetRect(MainViewWindow* view);
// The part of the target that shows the page; false when none does.
bool MainViewGetVisibleRect(MainViewWindow* view, RectI& out);

// After a view change (notification 9 masks): drops the mapping and the
// markup page, cancels the mouse gesture (except panning on a change of
// position alone) and repaints.
void MainViewUpdate(MainViewWindow* view, uint32_t change_mask);
// Adds `steps` to the bar's position and shows that part of the page. False
// when scrolling is forbidden (unless `waive`), the bar has no range or the
// position stays.
bool MainViewScrollBy(MainViewWindow* view, uint32_t waive, bool horizontal, int32_t steps);

// The one paint routine: draws the client area into `dc` (a window's paint
// context or a WM_PRINTCLIENT target).
void MainViewPaint(MainViewWindow* view, HDC dc);

// Starts a measurement at the point (moved into the visible rectangle) or,
// with `toggle` while one runs, ends it.
void MainViewMeasure(MainViewWindow* view, const PointI& point, bool toggle);
