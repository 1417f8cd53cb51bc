// Stand-in: an empty pane of the preview's class, modes and place; no page, cut-out editing or listener.
//
// The preview: the whole active page small, with the current cut-out as a
// frame that the user draws anew or drags. Docked in the frame's left column
// or floating beside it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/window_object.h"

class EventHub;
class ViewerContext;

inline constexpr wchar_t kPreviewClassName[] = L"Plovex50Voransicht";

class PreviewWindow : public WindowObject {
  public:
    ~PreviewWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    HINSTANCE instance = nullptr;
    Ref<ViewerContext> context;
    HWND frame_window = nullptr;  // parent (docked) or owner (floating)
    int32_t display_mode = 0;
    bool made_moveable = true;  // POPUPS_MOVEABLE when the window was made
};

// Registers the class once; the window is made by PreviewShow. Null without
// a context.
Ref<PreviewWindow> PreviewCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub);
// Makes the window anew when the mode or POPUPS_MOVEABLE changed (none for
// mode 0); a floating preview is placed at RECT_PREVIEW relative to the
// frame, a docked one is moved to `rect`.
void PreviewShow(PreviewWindow* preview, int32_t mode, HWND frame_window, const RectI& rect);
// The one paint routine of WM_PAINT and WM_PRINTCLIENT.
void PreviewPaint(PreviewWindow* preview, HDC dc);
