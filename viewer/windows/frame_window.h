// The viewer's frame: the one top-level window of the desktop program (a
// child of the control's window in the control). It owns the panes (command
// bars, navigation tree, status bar, main view, preview) and the redlining
// tool window, lays the docked panes out with two draggable splitters, keeps
// floating panes with it when it moves, opens dropped files, shows the
// active document in its title, and is the window through which the event
// hub drains its queue.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/window_object.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/frame_messages.h"
#include "viewer/windows/frame_layout.h"

class CommandBars;
class DocTreeWindow;
class FrameWindow;
class MainViewWindow;
class PreviewWindow;
class MarkupToolbar;
class StatusBarWindow;
class ViewerContext;

inline constexpr wchar_t kFrameClassName[] = L"Plovex5";

enum SplitterDrag : int32_t {
    kSplitterDragNone = 0,
    kSplitterDragHorizontal = 1,  // the splitter between tree and preview, moving in y
    kSplitterDragVertical = 2,    // the splitter left of the main view, moving in x
};

// Follows the active item into the title and the redlining mode into the
// redlining tool window.
class FrameListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    // The frame with a reference added, or null once it is going.
    Ref<FrameWindow> Frame();
    void ForgetFrame();

  private:
    friend Ref<FrameWindow> FrameWindowCreate(ViewerContext*, HWND, HINSTANCE, EventHub*);
    CriticalSection lock_;
    FrameWindow* frame_ = nullptr;  // borrowed: the frame detaches its listener before it goes
};

class FrameWindow : public WindowObject {
  public:
    // Unregisters, releases the listener and the panes, then destroys the
    // window.
    ~FrameWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    // Splitter drag: which one, the band's client coordinate (-1 while none
    // is drawn) and the limits of the position.
    int32_t drag_mode = kSplitterDragNone;
    int32_t drag_position = -1;
    int32_t drag_lower = 0;
    int32_t drag_upper = 0;

    CriticalSection lock;                // guards redline_toolbar only
    Ref<MarkupToolbar> redline_toolbar;  // made on first entering select or draw mode, then hidden and shown

    // Each null until made (and when making it failed).
    Ref<CommandBars> command_bars;
    Ref<DocTreeWindow> tree;
    Ref<StatusBarWindow> status_bar;
    Ref<PreviewWindow> preview;
    Ref<MainViewWindow> main_view;

    // Borrowed: the panes hold the context, and the root releases the frame
    // before its context can go.
    ViewerContext* context = nullptr;
    Ref<EventHub> hub;
    Ref<FrameListener> listener;
    HINSTANCE instance = nullptr;

    // What the last layout gave (client coordinates); the splitters are
    // empty when not shown.
    RectI vertical_splitter;
    RectI horizontal_splitter;
    int32_t top_height = 0;     // the docked command bars
    int32_t bottom_height = 0;  // the docked status bar
    FramePaneModes applied_modes{kPaneHidden, kPaneHidden, kPaneHidden};
};

// Registers the class "Plovex5" once and makes the window: a child filling
// `parent`'s client area when a parent is given, else a top-level window at
// RECT_MAINWINDOW. Accepts dropped files and makes the listener. Null when
// the window cannot be made.
Ref<FrameWindow> FrameWindowCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub);
// Makes the panes (tree, command bars, status bar; with settings the main
// view and the preview), sets the bare title, shows the frame and lays it
// out. Nothing when the tree exists already or there is no context.
void FrameCreatePanes(FrameWindow* frame, EventHub* hub);
// FrameWindowCreate, then FrameCreatePanes, and the cleanup timer is asked
// for (it starts once the message loop runs). Null when the window cannot
// be made.
Ref<FrameWindow> FrameCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub);

HWND FrameGetHwnd(FrameWindow* frame);
// With one reference added, or null.
Ref<MainViewWindow> FrameGetMainView(FrameWindow* frame);
// Lays the panes out for the stored display modes and splitter positions;
// nothing until all five panes exist. Run on WM_SIZE, after a splitter drag
// and after a display mode or a popups option changed.
void FrameLayout(FrameWindow* frame);
// "Plovex", followed by " - " and the name when it is not empty.
void FrameSetTitle(FrameWindow* frame, const wchar_t* document_name);
// Shows the redlining tool window (made when needed), or hides and releases
// it.
void FrameShowRedlineToolbar(FrameWindow* frame, bool on);
// The one paint routine of WM_PAINT and WM_PRINTCLIENT: the splitters, and
// the empty area while no pane is docked.
void FramePaint(FrameWindow* frame, HDC dc);
