// The status bar at the bottom of the frame: status text, progress, paper
// format, scale, cut-out size, page number and zoom. A listener on the hub
// keeps the parts up to date; the frame hands the control's WM_DRAWITEM
// (the progress part is owner-drawn) and WM_NOTIFY (clicks) to it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/event_hub.h"
#include "viewer/windows/control_handle.h"

class ViewerContext;
class StatusBarWindow;

// The parts, left to right.
enum StatusBarPart : int32_t {
    kStatusPartText = 0,
    kStatusPartProgress = 1,
    kStatusPartPaper = 2,
    kStatusPartScale = 3,
    kStatusPartCutOut = 4,
    kStatusPartPage = 5,
    kStatusPartZoom = 6,
    kStatusPartCount = 7,
};

// Keeps the parts up to date; stops the progress (23) from reaching the
// listeners after it.
class StatusBarListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;
    void DrainEnded() override;

    // The bar with a reference added, or null once let go.
    Ref<StatusBarWindow> Bar();
    void SetBar(StatusBarWindow* bar);

  private:
    // Takes the parts put off so far, leaving none.
    uint32_t TakeWaitingParts();

    CriticalSection lock_;
    StatusBarWindow* bar_ = nullptr;  // borrowed: the bar detaches its listener before it goes
    // Parts to refresh once the hub's drain ends (a bit per part): an open or
    // a page change queues several notifications that each refresh parts,
    // and every refresh turns the control's redrawing off and on.
    uint32_t waiting_parts_ = 0;
};

class StatusBarWindow : public RefCounted {
  public:
    ~StatusBarWindow() override;

    Ref<ViewerContext> context;
    HWND parent = nullptr;
    Ref<StatusBarListener> listener;
    ControlHandle control;
    bool shown = false;
    int16_t progress = -1;        // to show: -1 none, else 0 to 100
    int16_t progress_drawn = -1;  // what part 1 shows
    // The text last given to each part (known once given): a part is only
    // set when its text changes.
    WString texts[kStatusPartCount];
    bool texts_known[kStatusPartCount] = {};
};

// A status bar control, a child of the frame, with its parts and listener;
// null when it cannot be made.
Ref<StatusBarWindow> StatusBarCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                     EventHub* hub);
// 0 hides it; 1 shows it along the bottom of `area` at its own height; 2 is
// ignored (the status bar never floats).
void StatusBarShow(StatusBarWindow* bar, int32_t mode, HWND frame_window, const RectI& area);
// The control's client height while it is shown, else 0.
int32_t StatusBarGetClientHeight(StatusBarWindow* bar);
HWND StatusBarGetWindow(StatusBarWindow* bar);
// The frame's WM_DRAWITEM: 1 unless the item is this control's progress
// part, which is drawn (0).
LRESULT StatusBarOwnerDraw(StatusBarWindow* bar, const DRAWITEMSTRUCT* item);
// The frame's WM_NOTIFY from the control: a click on the scale, the page
// number or the zoom posts the action that changes it (1); anything else 0.
LRESULT StatusBarOnNotify(StatusBarWindow* bar, const NMHDR* header);

// The percentage the progress bar shows for a fraction: 0 to 100, -1 for
// anything outside [0, 1] (also NaN).
int16_t StatusBarProgressPercent(double fraction);
// Shows the percentage (clamped to 100; -1 clears the bar).
void StatusBarSetProgress(StatusBarWindow* bar, int32_t percent);
// Fills the parts from the active item as notification `code` requires
// (14 refreshes every part but the status text and the progress).
void StatusBarRefresh(StatusBarWindow* bar, uint32_t code);

// The size (or corner) form of the rectangle on the active item, posted as
// the status text; while the main view or the preview drags a rectangle.
void PostRectStatusText(ViewerContext* context, const RectD& rect_mm, bool size_only);
