// What the panes that dock in the frame or float beside it share: the
// window styles of each display mode, the trimmed system menu of a floating
// pane, its placement at the rectangle stored relative to the frame, and
// storing that rectangle back when the user moves or sizes it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/window_object.h"
#include "viewer/core/settings.h"

class ViewerContext;

// A floating pane whose stored size is smaller than this takes the default.
inline constexpr int32_t kFloatingPaneMinSide = 10;
inline constexpr int32_t kFloatingPaneDefaultWidth = 200;
inline constexpr int32_t kFloatingPaneDefaultHeight = 300;

// Makes the window of a docked (1: a visible child of the frame at
// `docked_rect`) or floating (2: a visible tool window owned by the frame at
// `stored_rect`, taken relative to the frame's window origin) pane. The
// floating pane has a caption and a sizing border only when `moveable`, and
// its system menu offers neither maximise, minimise nor restore, nor move
// when it may not be moved. Null for another mode or when creation fails.
HWND PaneWindowCreate(WindowObject* pane, const wchar_t* class_name, const wchar_t* title, int32_t mode,
                      bool moveable, HWND frame_window, const RectI& docked_rect, const RectI& stored_rect);

// The screen rectangle of a floating pane stored relative to the frame.
RectI FloatingPaneScreenRect(HWND frame_window, const RectI& stored_rect);
// The pane's window rectangle relative to the frame's window origin.
RectI FloatingPaneRelativeRect(HWND pane_window, HWND frame_window);
// Stores the floating pane's rectangle as the user's value; nothing while
// its width is 0 or without a frame window.
void FloatingPaneStoreRect(HWND pane_window, HWND frame_window, ViewerContext* context, SettingsPane pane);
// Moves the pane's window to the screen point, keeping its size.
void FloatingPaneMoveTo(HWND pane_window, const PointI& screen_origin);
