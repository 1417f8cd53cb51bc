// The owner of a child control of the system's classes (tree view, status
// bar, rebar) that a window object makes: the control is destroyed with its
// owner, and forgotten when its parent window destroys it first, so a stale
// handle (which the system may give to a new window) is never destroyed or
// sent to.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include "foundation/window_subclass.h"

class ControlHandle {
  public:
    ControlHandle() = default;
    ~ControlHandle() { Reset(); }
    // The subclass keeps the address of this owner: it never moves.
    ControlHandle(const ControlHandle&) = delete;
    ControlHandle& operator=(const ControlHandle&) = delete;

    // Takes over the control (destroying any held before); false for null
    // or when the control cannot be watched (it is then destroyed).
    bool Attach(HWND control) {
        Reset();
        if (!control) return false;
        if (!WindowSubclassAdd(control, &ControlHandle::Watch, kSubclassId,
                               reinterpret_cast<DWORD_PTR>(this))) {
            DestroyWindow(control);
            return false;
        }
        window_ = control;
        return true;
    }
    void Reset() {
        HWND control = window_;
        if (!control) return;
        WindowSubclassRemove(control, &ControlHandle::Watch, kSubclassId);
        window_ = nullptr;
        DestroyWindow(control);
    }
    HWND get() const { return window_; }
    explicit operator bool() const { return window_ != nullptr; }

  private:
    static constexpr UINT_PTR kSubclassId = 0x504C5843;  // any value unique among this control's subclasses

    static LRESULT CALLBACK Watch(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                                  DWORD_PTR owner) {
        if (message == WM_NCDESTROY) {
            WindowSubclassRemove(control, &ControlHandle::Watch, id);
            reinterpret_cast<ControlHandle*>(owner)->window_ = nullptr;
        }
        return WindowSubclassNext(control, message, wparam, lparam);
    }

    HWND window_ = nullptr;
};
