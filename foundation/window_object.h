// The base of every window of the system: one process-wide registry from
// window handle to object, and the one window procedure that every window
// class registers, which hands each message to the object's WindowProc.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"

class WindowObject : public RefCounted {
  public:
    // Registered from construction on. The handle is usually null here and
    // arrives with the window (WindowCreate); until an object holds the
    // handle, that window's messages go to DefWindowProcW.
    explicit WindowObject(HWND handle = nullptr);
    // Unregisters. A subclass that owns its window destroys it in its own
    // destructor through WindowDestroy, which unregisters first, so the
    // messages of the dying window never reach the half-destroyed object.
    ~WindowObject() override;

    // Handles what the subclass must and forwards the rest here, which hands
    // it to DefWindowProcW.
    virtual LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam);

    // Null until the window exists, and again once it is destroyed.
    HWND window() const { return window_; }

  private:
    friend class WindowRegistryAccess;
    HWND window_ = nullptr;
    // The registry's chain of objects whose handles share a bucket, newest
    // first; changed only under the registry's lock.
    WindowObject* next_in_bucket_ = nullptr;
    bool registered_ = false;
};

void WindowObjectInit(WindowObject* object, HWND handle);
void WindowObjectFree(WindowObject* object);

// The registry holds plain pointers (no reference). Register is false for
// null; registering again makes the object the most recent for its handle.
// Unregister is false when the object is absent. Both are safe on any
// thread.
bool WindowRegister(WindowObject* object);
bool WindowUnregister(WindowObject* object);
// Stores the handle in the object and registers it under that handle (as
// the most recent object for it). The window procedure does this when the
// window is created and clears the handle when the window is destroyed.
void WindowAttach(WindowObject* object, HWND handle);
// The most recently registered live object with this handle, with one
// reference added; null when none (or only a dying one) has it.
Ref<WindowObject> WindowFromHandle(HWND handle);

// The window procedure of every window class of the system. At WM_NCCREATE
// the creation parameter, when not null, is the WindowObject the window
// belongs to (WindowCreate passes it).
LRESULT CALLBACK WindowObjectProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);

// Registers a class of this module whose procedure is WindowObjectProc.
// True also when this module registered it before.
bool WindowRegisterClass(const wchar_t* class_name, UINT class_style, HCURSOR cursor, HBRUSH background,
                         HICON icon = nullptr);
// Creates a window of such a class for the object, which receives every
// message from WM_NCCREATE on (so also WM_CREATE and the first WM_SIZE).
// `menu_or_id` is the menu of a top-level window or the id of a child.
// Null when creation fails, or for a null object or one that already has a
// window.
HWND WindowCreate(WindowObject* object, DWORD ex_style, const wchar_t* class_name, const wchar_t* title,
                  DWORD style, const RectI& rect, HWND parent, HMENU menu_or_id);

// Unregisters the object, then destroys its window and forgets the handle.
// Subclass destructors use it instead of a bare DestroyWindow.
void WindowDestroy(WindowObject* object);

// Client and window rectangles as origin and size; empty without a handle.
RectI& WindowGetClientRect(WindowObject* object, RectI& out);
RectI& WindowGetRect(WindowObject* object, RectI& out);
void WindowMove(WindowObject* object, const RectI& rect);
void WindowShow(WindowObject* object, bool show);
// Invalidates the whole client area. Without a
// handle nothing happens (a null handle would invalidate every window).
void WindowInvalidate(WindowObject* object, bool erase);
