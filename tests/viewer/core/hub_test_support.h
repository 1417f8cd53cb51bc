// What the hub, context and root tests share: a listener that records what
// reaches it, and a bounded message pump for the posted events.
#pragma once

#include <windows.h>

#include <functional>
#include <vector>

#include "foundation/window_object.h"
#include "viewer/core/event_hub.h"

struct ReceivedEvent {
    uint32_t code;
    RefCounted* sender;  // identity only
    Variant argument;
    DWORD thread;
};

class RecordingListener : public HubListener {
  public:
    explicit RecordingListener(HubAnswer answer = HubAnswer::kContinue) : answer(answer) {}

    HubAnswer Notify(RefCounted* sender, HubEvent* event) override {
        ReceivedEvent received{event->code, sender, Variant(), GetCurrentThreadId()};
        HubEventGetArg(event, received.argument);
        events.push_back(received);
        if (on_notify) on_notify(this, event);
        return answer;
    }

    std::vector<uint32_t> Codes() const {
        std::vector<uint32_t> codes;
        for (const ReceivedEvent& received : events) codes.push_back(received.code);
        return codes;
    }
    // The whole-number arguments the events of this code came with, in order.
    std::vector<int32_t> ArgumentIds(uint32_t code) const {
        std::vector<int32_t> ids;
        for (const ReceivedEvent& received : events) {
            if (received.code == code) ids.push_back(VariantToInt(received.argument));
        }
        return ids;
    }
    HubAnswer answer;
    std::vector<ReceivedEvent> events;
    std::function<void(RecordingListener*, HubEvent*)> on_notify;
};

// Moves the listener to the front of the hub's list, so that it records the
// actions the viewer's own listeners keep from later ones.
inline bool PutFirst(EventHub* hub, HubListener* listener) {
    ScopedLock hold(hub->lock);
    const int32_t at = PtrArrayFind(hub->listeners, listener);
    if (at > 0 && PtrArrayInsert(hub->listeners, listener, 0))
        PtrArrayRemoveAt(hub->listeners, uint32_t(at) + 1);
    return PtrArrayFind(hub->listeners, listener) == 0;
}

// Dispatches this thread's messages until `done` answers true or the time
// is up; answers `done`'s last word.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeout_ms = 5000) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (done()) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
    }
}

// Dispatches what is queued now, for checks that something did not arrive.
inline void PumpPending() {
    PumpUntil([] { return false; }, 50);
}

// Pumps messages and tests `done` every 20 ms until it holds or the time is
// up, for states another thread or process reaches without a message here.
inline bool PollUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        PumpUntil([] { return false; }, 20);
    }
    return true;
}

// A message-only window that drains the hub the way the frame does, for
// tests of the model alone: the real frame's views would activate and render
// pages of their own accord.
class HubDrainWindow : public WindowObject {
  public:
    explicit HubDrainWindow(EventHub* hub) : hub_(hub) {
        WindowRegisterClass(L"PlovexTestHubDrain", 0, nullptr, nullptr);
        WindowCreate(this, 0, L"PlovexTestHubDrain", L"", 0, RectI{}, HWND_MESSAGE, nullptr);
        EventHubSetWindow(hub_.get(), window());
    }
    ~HubDrainWindow() override {
        EventHubSetWindow(hub_.get(), nullptr);
        WindowDestroy(this);
    }
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == kHubDrainMessage) {
            EventHubDrain(hub_.get());
            return 0;
        }
        return WindowObject::WindowProc(message, wparam, lparam);
    }

  private:
    Ref<EventHub> hub_;
};
