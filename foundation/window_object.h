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
    // Registered from construction on; the handle may be set later, once the
    // window exists. Until then its messages go to DefWindowProcW.
    explicit WindowObject(HWND handle = nullptr);
    // Unregisters. A subclass that owns its window destroys it in its own
    // destructor through WindowDestroy, which unregisters first, so the
    // messages of the dying window never reach the half-destroyed object.
    ~WindowObject() override;

    virtual int32_t WindowProc(uint32_t message, uint32_t wparam, int32_t lparam) { return 0; }

    HWND window = nullptr;
    bool needs_repaint = false;
};

void WindowObjectInit(WindowObject* object, HWND handle);
void WindowObjectFree(WindowObject* object);

// The registry holds plain pointers (no reference). Register is false for
// null or when the registry cannot grow; Unregister searches from the end
// and is false when the object is absent. Both are safe on any thread.
bool WindowRegister(WindowObject* object);
bool WindowUnregister(WindowObject* object);
// The most recently registered live object with this handle, with one
// reference added; null when none (or only a dying one) has it.
Ref<WindowObject> WindowFromHandle(HWND handle);

// The window procedure of every window class of the system.
LRESULT CALLBACK WindowObjectProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam);

// Unregisters the object, then destroys its window and forgets the handle.
// Subclass destructors use it instead of a bare DestroyWindow.
void WindowDestroy(WindowObject* object);

// Client and window rectangles as origin and size; empty without a handle.
RectI& WindowGetClientRect(WindowObject* object, RectI& out);
RectI& WindowGetRect(WindowObject* object, RectI& out);
void WindowMove(WindowObject* object, const RectI& rect);
void WindowShow(WindowObject* object, bool show);
// Clears needs_repaint and invalidates the whole client area. Without a
// handle nothing happens (a null handle would invalidate every window).
void WindowInvalidate(WindowObject* object, bool erase);
bool WindowInvalidateIfNeeded(WindowObject* object, bool erase);
