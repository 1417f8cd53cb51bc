// The messages the frame window takes besides the hub's own, named here so
// that the viewer's lower parts can post them without knowing the frame.
#pragma once

#include <windows.h>

// The frame's own messages. kHubDrainMessage (WM_APP + 1) drains the hub.
// Posted by the control when its host window moved: floating panes follow.
inline constexpr UINT kFrameHostMovedMessage = WM_APP;
// Starts the timer that removes earlier sessions' temporary files.
inline constexpr UINT kFrameStartCleanupMessage = WM_APP + 2;
// Restores the window in lParam when minimised and brings it to the front.
inline constexpr UINT kFrameBringToFrontMessage = WM_APP + 3;
// Posted to the frame when the shell could not open a document or address;
// the second message parameter carries the error code.
inline constexpr UINT kFrameShellErrorMessage = WM_APP + 4;
// Sent before markups are saved: ends an object still being drawn in the
// main view as Esc does; answers 1 when there was one.
inline constexpr UINT kFrameEndMarkupCreationMessage = WM_APP + 5;

inline constexpr UINT_PTR kFrameCleanupTimer = 1;
inline constexpr UINT kFrameCleanupInterval = 180000;  // milliseconds
// Once the window system has settled after an activation or a click, the
// redlining tool window is put back above the frame.
inline constexpr UINT_PTR kFrameToolWindowTimer = 2;
inline constexpr UINT kFrameToolWindowDelay = 100;  // milliseconds
