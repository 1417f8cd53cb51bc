// Stand-in: a message-only window that drains the hub; no panes, menus, cleanup timer or painting.

// The viewer's main window. The hub posts kHubDrainMessage to it, and it
// dispatches the hub's queue on the GUI thread.
#pragma once

#include <windows.h>

#include "foundation/ref_counted.h"
#include "foundation/window_object.h"

class EventHub;
class ViewerContext;

// Posted to the frame when the shell could not open a document or address;
// the second message parameter carries the error code.
inline constexpr UINT kFrameShellErrorMessage = WM_APP + 4;

class FrameWindow : public WindowObject {
  public:
    ~FrameWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    Ref<EventHub> hub;
};

// Null when the window cannot be made.
Ref<FrameWindow> FrameCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub);
HWND FrameGetHwnd(FrameWindow* frame);
// Lays the panes out again after a display mode or a popups option changed;
// the stand-in has no panes to lay out.
void FrameLayout(FrameWindow* frame);
