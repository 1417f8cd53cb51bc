// Subclassing of windows the system makes (the common controls), called as
// comctl32's SetWindowSubclass, RemoveWindowSubclass and DefSubclassProc are,
// with the same procedures. comctl32 finds a window's chain through a window
// property on every message and again in every DefSubclassProc; under Wine
// each property look-up is a round trip to the server (about 0.04 ms), so a
// message to a control with two subclasses cost 0.1 to 0.15 ms however
// little the control did with it. Here the chains live in a table of the
// process's own.
//
// As with comctl32: a chain is changed only on its window's thread; the
// newest procedure sees a message first, and each passes it on through
// WindowSubclassNext, the last to the window's own procedure. A procedure
// removed while a message runs sees no further message; the chain leaves the
// window (its own procedure put back) once it is empty and no message runs,
// and goes with the window at WM_NCDESTROY in any case.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

// Adds the procedure with its id, or gives a procedure and id already there
// the new data. False for a null window or procedure, or a window of
// another thread.
bool WindowSubclassAdd(HWND window, SUBCLASSPROC procedure, UINT_PTR id, DWORD_PTR data);
// False when the window has no such procedure and id.
bool WindowSubclassRemove(HWND window, SUBCLASSPROC procedure, UINT_PTR id);
// Passes the message on to the next procedure of the chain, or to the
// window's own procedure after the last.
LRESULT WindowSubclassNext(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
