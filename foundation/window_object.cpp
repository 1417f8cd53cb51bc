#include "foundation/window_object.h"

#include <new>

#include "foundation/locks.h"

// The module this code is linked into: the desktop program or the control
// library. Classes are registered for it and windows created with it, so
// both find the same class in either.
extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace {

constexpr uint32_t kBucketBits = 6;
constexpr uint32_t kBucketCount = 1u << kBucketBits;

// Several controls of one browser process may run their windows on
// different threads, so the registry has its own lock. The lock also keeps
// an object's memory alive while a look-up inspects it: the object leaves
// the registry (under the lock) before its storage is freed.
struct Registry {
    CriticalSection lock;
    // Chains of objects by handle, the most recently registered first, so a
    // look-up walks only the few objects whose handles share its bucket.
    WindowObject* buckets[kBucketCount] = {};
};

// Built on first use and never destroyed: windows may be released from
// destructors of other static objects at exit.
Registry& TheRegistry() {
    alignas(Registry) static char storage[sizeof(Registry)];
    static Registry* registry = new (storage) Registry();
    return *registry;
}

uint32_t BucketOf(HWND handle) {
    const uintptr_t value = reinterpret_cast<uintptr_t>(handle);
    const uint32_t mixed = static_cast<uint32_t>(value ^ (value >> 16)) * 0x9E3779B1u;
    return mixed >> (32 - kBucketBits);
}

HINSTANCE ThisModule() { return reinterpret_cast<HINSTANCE>(&__ImageBase); }

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

// The registry's side of WindowObject; every operation runs under the lock.
class WindowRegistryAccess {
  public:
    static void Link(Registry& registry, WindowObject* object) {
        WindowObject*& head = registry.buckets[BucketOf(object->window_)];
        object->next_in_bucket_ = head;
        head = object;
        object->registered_ = true;
    }

    static bool Unlink(Registry& registry, WindowObject* object) {
        if (!object->registered_) return false;
        WindowObject** link = &registry.buckets[BucketOf(object->window_)];
        while (*link && *link != object) link = &(*link)->next_in_bucket_;
        if (*link) *link = object->next_in_bucket_;
        object->next_in_bucket_ = nullptr;
        object->registered_ = false;
        return true;
    }

    // Moves the object to the new handle's chain, as its newest entry. An
    // unregistered object is registered only when `register_absent` says so.
    static void Rekey(WindowObject* object, HWND handle, bool register_absent) {
        Registry& registry = TheRegistry();
        ScopedLock hold(registry.lock);
        if (!Unlink(registry, object) && !register_absent) return;
        object->window_ = handle;
        Link(registry, object);
    }

    static Ref<WindowObject> Find(HWND handle) {
        Registry& registry = TheRegistry();
        ScopedLock hold(registry.lock);
        for (WindowObject* object = registry.buckets[BucketOf(handle)]; object;
             object = object->next_in_bucket_) {
            if (object->window_ != handle) continue;
            // An object whose count already reached 0 is in its destructor: a
            // reference added now would delete it a second time.
            if (RefTryAddRef(object)) return AdoptRef(object);
        }
        return nullptr;
    }

    static void ForgetHandle(WindowObject* object) { object->window_ = nullptr; }
};

WindowObject::WindowObject(HWND handle) { WindowObjectInit(this, handle); }

WindowObject::~WindowObject() { WindowObjectFree(this); }

LRESULT WindowObject::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    return DefWindowProcW(window_, message, wparam, lparam);
}

void WindowObjectInit(WindowObject* object, HWND handle) { WindowAttach(object, handle); }

void WindowObjectFree(WindowObject* object) { WindowUnregister(object); }

bool WindowRegister(WindowObject* object) {
    if (!object) return false;
    WindowRegistryAccess::Rekey(object, object->window(), true);
    return true;
}

bool WindowUnregister(WindowObject* object) {
    if (!object) return false;
    Registry& registry = TheRegistry();
    ScopedLock hold(registry.lock);
    return WindowRegistryAccess::Unlink(registry, object);
}

void WindowAttach(WindowObject* object, HWND handle) {
    if (object) WindowRegistryAccess::Rekey(object, handle, true);
}

Ref<WindowObject> WindowFromHandle(HWND handle) {
    if (!handle) return nullptr;
    return WindowRegistryAccess::Find(handle);
}

LRESULT CALLBACK WindowObjectProc(HWND handle, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lparam);
        if (create && create->lpCreateParams) {
            WindowAttach(static_cast<WindowObject*>(create->lpCreateParams), handle);
        }
    }
    Ref<WindowObject> object = WindowFromHandle(handle);
    if (!object) return DefWindowProcW(handle, message, wparam, lparam);
    const LRESULT result = object->WindowProc(message, wparam, lparam);
    // The handle dies with the window; a later window may get the same value.
    if (message == WM_NCDESTROY && object->window() == handle) {
        WindowRegistryAccess::Rekey(object.get(), nullptr, false);
    }
    return result;
}

bool WindowRegisterClass(const wchar_t* class_name, UINT class_style, HCURSOR cursor, HBRUSH background,
                         HICON icon) {
    if (!class_name || !*class_name) return false;
    WNDCLASSEXW window_class = {};
    window_class.cbSize = sizeof(window_class);
    window_class.style = class_style;
    window_class.lpfnWndProc = WindowObjectProc;
    window_class.hInstance = ThisModule();
    window_class.hIcon = icon;
    window_class.hCursor = cursor;
    window_class.hbrBackground = background;
    window_class.lpszClassName = class_name;
    if (RegisterClassExW(&window_class)) return true;
    WNDCLASSEXW existing = {};
    existing.cbSize = sizeof(existing);
    return GetClassInfoExW(ThisModule(), class_name, &existing) && existing.lpfnWndProc == WindowObjectProc;
}

HWND WindowCreate(WindowObject* object, DWORD ex_style, const wchar_t* class_name, const wchar_t* title,
                  DWORD style, const RectI& rect, HWND parent, HMENU menu_or_id) {
    if (!object || object->window() || !class_name) return nullptr;
    return CreateWindowExW(ex_style, class_name, title, style, rect.origin.x, rect.origin.y, rect.size.width,
                           rect.size.height, parent, menu_or_id, ThisModule(), object);
}

void WindowDestroy(WindowObject* object) {
    if (!object) return;
    WindowUnregister(object);
    HWND handle = object->window();
    WindowRegistryAccess::ForgetHandle(object);
    if (handle) DestroyWindow(handle);
}

RectI& WindowGetClientRect(WindowObject* object, RectI& out) {
    RECT rect;
    if (!object || !object->window() || !GetClientRect(object->window(), &rect)) return EmptyRect(out);
    return FromWindowsRect(rect, out);
}

RectI& WindowGetRect(WindowObject* object, RectI& out) {
    RECT rect;
    if (!object || !object->window() || !GetWindowRect(object->window(), &rect)) return EmptyRect(out);
    return FromWindowsRect(rect, out);
}

void WindowMove(WindowObject* object, const RectI& rect) {
    if (!object || !object->window()) return;
    SetWindowPos(object->window(), nullptr, rect.origin.x, rect.origin.y, rect.size.width, rect.size.height,
                 SWP_NOZORDER);
}

void WindowShow(WindowObject* object, bool show) {
    if (!object || !object->window()) return;
    ShowWindow(object->window(), show ? SW_SHOW : SW_HIDE);
}

void WindowInvalidate(WindowObject* object, bool erase) {
    if (!object || !object->window()) return;
    InvalidateRect(object->window(), nullptr, erase ? TRUE : FALSE);
}
