// The preview: the whole active page small, with the current cut-out as a
// blue frame that the user draws anew (left button) or drags (left button
// with the right one held, inside the frame). Docked in the frame's left
// column or floating beside it. It keeps a rendered image per page, so that
// paging back and forth decodes nothing again.
//
// Everything runs on the GUI thread; the lock guards the mapping and the
// frame rectangle.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/hash_table.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/window_object.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/pane_display_modes.h"

class PreviewWindow;
class ViewMapping;
class ViewerContext;

inline constexpr wchar_t kPreviewClassName[] = L"Plovex50Voransicht";

// What the mouse does in the preview.
enum PreviewMouseMode : int32_t {
    kPreviewIdle = 0,
    kPreviewDrawing = 1,  // a new cut-out frame from the anchor to the mouse
    kPreviewMoving = 3,   // the cut-out follows the mouse
    kPreviewWaiting = 4,  // the left button is up, the right one still down
};

// The pass on which items that draw themselves are asked to paint into the
// preview.
inline constexpr uint32_t kPreviewPass = 2;

class PreviewListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    // The preview with a reference added, or null once let go.
    Ref<PreviewWindow> Preview();
    void SetPreview(PreviewWindow* preview);

  private:
    CriticalSection lock_;
    PreviewWindow* preview_ = nullptr;  // borrowed: the preview detaches its listener before it goes
};

class PreviewWindow : public WindowObject {
  public:
    ~PreviewWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    HINSTANCE instance = nullptr;
    Ref<ViewerContext> context;
    HWND frame_window = nullptr;  // parent (docked) or owner (floating)
    Ref<PreviewListener> listener;
    Ref<IntHashTable> cache;   // page id -> its last rendered image (BitmapCacheEntry)
    CriticalSection lock;      // guards mapping, frame_valid and frame_rect
    Ref<ViewMapping> mapping;  // made on demand, dropped whenever the page or the window changes
    bool frame_valid = false;
    RectI frame_rect;  // where the cut-out frame was last drawn
    int32_t display_mode = kPaneHidden;
    bool made_moveable = true;  // POPUPS_MOVEABLE when the window was made
    int32_t mouse_mode = kPreviewIdle;
    PointI anchor;
    PointI current;
    Ref<MarkupView> markups = MakeRef<MarkupView>();  // the root's kind once made; never null
};

// Registers the class once; the window is made by PreviewShow. Null without
// a context.
Ref<PreviewWindow> PreviewCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub);
// Makes the window anew when the mode or POPUPS_MOVEABLE changed (none for
// mode 0); a floating preview is placed at RECT_PREVIEW relative to the
// frame, a docked one is moved to `rect`.
void PreviewShow(PreviewWindow* preview, int32_t mode, HWND frame_window, const RectI& rect);
// Only for a floating preview (false otherwise); the point is relative to
// the frame window, the size at least 10 by 10.
bool PreviewSetPosition(PreviewWindow* preview, const PointI& point);
bool PreviewSetSize(PreviewWindow* preview, const SizeI& size);
// The whole active page fitted into the client area, or null without a
// page (or window).
Ref<ViewMapping> PreviewGetMapping(PreviewWindow* preview);
// Forgets the mapping and the markup page and repaints (the page or the
// window changed).
void PreviewUpdate(PreviewWindow* preview);
// The one paint routine of WM_PAINT and WM_PRINTCLIENT.
void PreviewPaint(PreviewWindow* preview, HDC dc);
