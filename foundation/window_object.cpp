#include "foundation/window_object.h"

#include <new>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"

namespace {

// Several controls of one browser process may run their windows on
// different threads, so the registry has its own lock. The lock also keeps
// an object's memory alive while a look-up inspects it: the object leaves
// the registry (under the lock) before its storage is freed.
struct Registry {
    CriticalSection lock;
    PtrArray windows{8, false};
};

// Built on first use and never destroyed: windows may be released from
// destructors of other static objects at exit.
Registry& TheRegistry() {
    alignas(Registry) static char storage[sizeof(Registry)];
    static Registry* registry = new (storage) Registry();
    return *registry;
}

RectI& EmptyRect(RectI& out) {
    out = RectI{};
    return out;
}

RectI& FromWindowsRect(const RECT& rect, RectI& out) {
    out.origin.x = rect.left;
    out.origin.y = rect.top;
    out.size.width = rect.right - rect.left;
    out.size.height = rect.bottom - rect.top;
    return out;
}

}  // namespace

WindowObject::WindowObject(HWND handle) { WindowObjectInit(this, handle); }

WindowObject::~WindowObject() { WindowObjectFree(this); }

void WindowObjectInit(WindowObject* object, HWND handle) {
    object->window = handle;
    object->needs_repaint = false;
    WindowRegister(object);
}

void WindowObjectFree(WindowObject* object) { WindowUnregister(object); }

bool WindowRegister(WindowObject* object) {
    if (!object) return false;
    Registry& registry = TheRegistry();
    ScopedLock hold(registry.lock);
    return PtrArrayAdd(registry.windows, object) >= 0;
}

bool WindowUnregister(WindowObject* object) {
    if (!object) return false;
    Registry& registry = TheRegistry();
    ScopedLock hold(registry.lock);
    const int32_t index = PtrArrayFind(registry.windows, object);
    if (index < 0) return false;
    PtrArrayRemoveAt(registry.windows, static_cast<uint32_t>(index));
    return true;
}

Ref<WindowObject> WindowFromHandle(HWND handle) {
    if (!handle) return nullptr;
    Registry& registry = TheRegistry();
    ScopedLock hold(registry.lock);
    for (uint32_t i = registry.windows.count; i-- > 0;) {
        auto* object = static_cast<WindowObject*>(registry.windows.items[i]);
        if (object->window != handle) continue;
        // An object whose count already reached 0 is in its destructor: a
        // reference added now would delete it a second time.
        if (RefTryAddRef(object)) return AdoptRef(object);
    }
    return nullptr;
}

LRESULT CALLBACK WindowObjectProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    Ref<WindowObject> object = WindowFromHandle(handle);
    if (!object) return DefWindowProcW(handle, message, wparam, lparam);
    return object->WindowProc(message, static_cast<uint32_t>(wparam), static_cast<int32_t>(lparam));
}

void WindowDestroy(WindowObject* object) {
    if (!object) return;
    WindowUnregister(object);
    HWND handle = object->window;
    object->window = nullptr;
    if (handle) DestroyWindow(handle);
}

RectI& WindowGetClientRect(WindowObject* object, RectI& out) {
    RECT rect;
    if (!object || !object->window || !GetClientRect(object->window, &rect)) return EmptyRect(out);
    return FromWindowsRect(rect, out);
}

RectI& WindowGetRect(WindowObject* object, RectI& out) {
    RECT rect;
    if (!object || !object->window || !GetWindowRect(object->window, &rect)) return EmptyRect(out);
    return FromWindowsRect(rect, out);
}

void WindowMove(WindowObject* object, const RectI& rect) {
    if (!object || !object->window) return;
    SetWindowPos(object->window, nullptr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height,
                 SWP_NOZORDER);
}

void WindowShow(WindowObject* object, bool show) {
    if (!object || !object->window) return;
    ShowWindow(object->window, show ? SW_SHOW : SW_HIDE);
}

void WindowInvalidate(WindowObject* object, bool erase) {
    if (!object || !object->window) return;
    object->needs_repaint = false;
    InvalidateRect(object->window, nullptr, erase ? TRUE : FALSE);
}

bool WindowInvalidateIfNeeded(WindowObject* object, bool erase) {
    if (!object || !object->window || !object->needs_repaint) return false;
    WindowInvalidate(object, erase);
    return true;
}
