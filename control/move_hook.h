// Popup windows follow the browser: one process-wide WH_CALLWNDPROC hook
// watches WM_MOVE of every ancestor of the registered viewer frames and
// posts WM_APP to those frames, which move their floating panes with them.
// Shared by every control of the process; safe on any thread.
#pragma once

#include <windows.h>

#include <cstddef>

inline constexpr size_t kMoveHookMaxFrames = 10;
inline constexpr size_t kMoveHookMaxAncestors = 100;

// Registers a frame (the first installs the hook); a frame beyond the
// tenth is not registered.
void MoveHookAddWindow(HWND frame);
// Forgets a frame (the last removes the hook).
void MoveHookRemoveWindow(HWND frame);

// For tests: whether the hook is installed.
bool MoveHookInstalled();
