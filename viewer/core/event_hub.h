// The event hub: one per application root. Every window and observer of the
// viewer registers a listener on it; events (a number from event_codes.h and
// a Variant argument) are either sent, dispatched at once on the caller's
// thread, or posted, queued and dispatched later on the GUI thread when the
// hub's window receives kHubDrainMessage.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/variant.h"

// The message the hub posts to its window when an event is queued and no
// such message is on its way yet; the window answers it with EventHubDrain.
inline constexpr UINT kHubDrainMessage = WM_APP + 1;

// Answers of HubListener::Notify. Continue and handled let the dispatch go
// on alike; stop hides the event from the listeners registered later.
enum class HubAnswer : uint32_t {
    kContinue = 0,
    kHandled = 1,
    kStop = 2,
};

class HubEvent : public RefCounted {
  public:
    uint32_t code = 0;
    Variant argument;  // a copy of the value given at creation, or empty
};

// A new event; null argument leaves it empty.
Ref<HubEvent> HubEventCreate(uint32_t code, const Variant* argument);
// Copies the event's argument into `out` (empty for a null event).
Variant& HubEventGetArg(const HubEvent* event, Variant& out);

class EventHub;

// The base of every observer. A listener and its hub hold each other, so a
// listener stays registered until it detaches or the hub closes.
class HubListener : public RefCounted {
  public:
    HubListener() = default;
    ~HubListener() override;  // detaches

    // Answer HubAnswer::kStop to hide the event from the listeners after
    // this one; any other answer lets the dispatch go on. `sender` may be null.
    virtual HubAnswer Notify(RefCounted* sender, HubEvent* event) = 0;
    // Called on the GUI thread after a drain that dispatched something: a
    // listener that put off its work while the queue ran does it once here.
    virtual void DrainEnded() {}

    Ref<EventHub> hub;  // null once detached; change only through the operations below
};

// Keeps a reference to the hub and registers the listener on it.
void ListenerConstruct(HubListener* listener, EventHub* hub);
// Leaves the hub and forgets it; a second call does nothing.
void ListenerDetach(HubListener* listener);

class EventHub : public RefCounted {
  public:
    CriticalSection lock;         // guards everything below
    PtrArray listeners{4, true};  // HubListener, in registration order
    PtrArray queue{16, true};     // posted entries, in posting order
    HWND window = nullptr;        // receives kHubDrainMessage; posting needs one
    // A drain message is posted (at that tick) and its drain has not begun:
    // posts queue behind it without a message of their own.
    bool drain_pending = false;
    DWORD drain_posted_at = 0;
    // The thread draining the queue and how deep (a listener's own message
    // loop drains again inside a drain); 0 when none.
    DWORD drain_thread = 0;
    uint32_t drain_depth = 0;
    bool closing = false;         // only while EventHubClose empties the listeners
};

Ref<EventHub> EventHubCreate();
// Appends the listener unless the hub is closing; null is ignored.
void EventHubAddListener(EventHub* hub, HubListener* listener);
// Removes the listener's first entry unless the hub is closing.
void EventHubRemoveListener(EventHub* hub, HubListener* listener);
// Dispatches at once, on this thread, to the listeners registered now.
void EventHubSend(EventHub* hub, RefCounted* sender, uint32_t code);
void EventHubSendArg(EventHub* hub, RefCounted* sender, uint32_t code, const Variant& argument);
// Queues the event for the GUI thread; any thread may post. Without a
// window the event is dropped.
void EventHubPost(EventHub* hub, RefCounted* sender, uint32_t code);
void EventHubPostArg(EventHub* hub, RefCounted* sender, uint32_t code, const Variant& argument);
// Sets the window that drains the queue; null discards every queued entry.
void EventHubSetWindow(EventHub* hub, HWND window);
HWND EventHubGetWindow(EventHub* hub);
// Dispatches queued entries while a window is set (GUI thread), then tells
// every listener that the drain ended, if it dispatched anything.
void EventHubDrain(EventHub* hub);
// Whether the calling thread is inside a drain with more entries waiting:
// what is sent now is followed by more of the same run, and by DrainEnded.
bool EventHubDrainContinues(EventHub* hub);
// Drains, unsets the window and releases every listener. The hub takes
// listeners again afterwards, but only sends reach them.
void EventHubClose(EventHub* hub);
