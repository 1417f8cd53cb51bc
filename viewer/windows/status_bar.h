// Stand-in: an empty status bar control; no parts, texts, progress bar or listener.
// The status bar at the bottom of the frame: status text, progress, paper
// format, scale, cut-out size, page number and zoom.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "viewer/windows/control_handle.h"

class EventHub;
class ViewerContext;

class StatusBarWindow : public RefCounted {
  public:
    ControlHandle control;
    bool shown = false;
};

// A status bar control, a child of the frame; null when it cannot be made.
Ref<StatusBarWindow> StatusBarCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                     EventHub* hub);
// 0 hides it; 1 shows it along the bottom of `area` at its own height; 2 is
// ignored (the status bar never floats).
void StatusBarShow(StatusBarWindow* bar, int32_t mode, HWND frame_window, const RectI& area);
// The control's client height while it is shown, else 0.
int32_t StatusBarGetClientHeight(StatusBarWindow* bar);
HWND StatusBarGetWindow(StatusBarWindow* bar);
// The frame's WM_DRAWITEM and WM_NOTIFY from the control: answered as for
// an item and a click that are not the status bar's.
inline LRESULT StatusBarOwnerDraw(StatusBarWindow* bar, const DRAWITEMSTRUCT* item) { return 1; }
inline LRESULT StatusBarOnNotify(StatusBarWindow* bar, const NMHDR* header) { return 0; }
