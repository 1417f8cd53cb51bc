#include "viewer/windows/frame_window.h"

#include "viewer/core/event_hub.h"

namespace {

constexpr wchar_t kFrameClass[] = L"Plovex50HubWindow";

}  // namespace

FrameWindow::~FrameWindow() { WindowDestroy(this); }

LRESULT FrameWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kHubDrainMessage) {
        // The hub may outlive this window's use of it; hold it for the drain.
        Ref<EventHub> held = hub;
        if (held) EventHubDrain(held.get());
        return 0;
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

Ref<FrameWindow> FrameCreate(ViewerContext* context, HWND parent, HINSTANCE instance, EventHub* hub) {
    if (!WindowRegisterClass(kFrameClass, 0, nullptr, nullptr)) return nullptr;
    Ref<FrameWindow> frame = MakeRef<FrameWindow>();
    frame->hub = Ref<EventHub>(hub);
    // Message-only: it receives posted messages and nothing else; the parent
    // matters only to the real frame.
    if (!WindowCreate(frame.get(), 0, kFrameClass, L"", 0, RectI{}, HWND_MESSAGE, nullptr)) return nullptr;
    return frame;
}

HWND FrameGetHwnd(FrameWindow* frame) { return frame ? frame->window() : nullptr; }

void FrameLayout(FrameWindow* frame) {}
