#include "viewer/core/event_hub.h"

#include <utility>

namespace {

// A drain message not answered within this long is taken for lost (a host's
// message loop may take messages it does not dispatch): the next post sends
// another, and the queue waits no longer than this.
constexpr DWORD kDrainMessageGraceMs = 1000;

// What Post queues: the event and who posted it.
class QueueEntry : public RefCounted {
  public:
    Ref<RefCounted> sender;
    Ref<HubEvent> event;
};

void SwapArrays(PtrArray& a, PtrArray& b) {
    std::swap(a.items, b.items);
    std::swap(a.capacity, b.capacity);
    std::swap(a.count, b.count);
    std::swap(a.grow_step, b.grow_step);
    std::swap(a.owns, b.owns);
}

// Takes every entry out of the array under the lock and releases them after
// leaving it: a released event may hold the last reference to an object
// whose destructor posts or removes a listener.
void DiscardUnderLock(EventHub* hub, PtrArray& array, uint32_t grow_step) {
    PtrArray taken(grow_step, true);
    {
        ScopedLock hold(hub->lock);
        SwapArrays(taken, array);
    }
}

// Posts the drain message unless one is on its way (hub lock held).
void PostDrainMessage(EventHub* hub) {
    const DWORD now = GetTickCount();
    if (hub->drain_pending && now - hub->drain_posted_at < kDrainMessageGraceMs) return;
    hub->drain_pending = PostMessageW(hub->window, kHubDrainMessage, 0, 0) != FALSE;
    hub->drain_posted_at = now;
}

void Dispatch(EventHub* hub, RefCounted* sender, HubEvent* event) {
    if (!event) return;
    PtrArray snapshot;
    {
        ScopedLock hold(hub->lock);
        if (hub->closing) return;
        if (!PtrArrayCopy(snapshot, hub->listeners)) return;
    }
    // The copy holds a reference on each listener, so one that removes
    // itself (or is removed) inside Notify lives until the walk is done.
    for (uint32_t i = 0; i < snapshot.count; ++i) {
        auto* listener = static_cast<HubListener*>(snapshot.items[i]);
        if (listener->Notify(sender, event) == HubAnswer::kStop) break;
    }
}

bool IsClosing(EventHub* hub) {
    ScopedLock hold(hub->lock);
    return hub->closing;
}

void SendEvent(EventHub* hub, RefCounted* sender, uint32_t code, const Variant* argument) {
    if (!hub || IsClosing(hub)) return;
    Ref<HubEvent> event = HubEventCreate(code, argument);
    Dispatch(hub, sender, event.get());
}

void PostEvent(EventHub* hub, RefCounted* sender, uint32_t code, const Variant* argument) {
    if (!hub) return;
    {
        ScopedLock hold(hub->lock);
        if (!hub->window || hub->closing) return;
    }
    Ref<QueueEntry> entry = MakeRef<QueueEntry>();
    entry->sender = Ref<RefCounted>(sender);
    entry->event = HubEventCreate(code, argument);
    ScopedLock hold(hub->lock);
    // Tested again: the window may have gone while the entry was made.
    if (!hub->window || hub->closing) return;
    if (PtrArrayAdd(hub->queue, entry.get()) < 0) return;
    // One message serves every event queued before its drain begins: each
    // message is a round trip to Wine's server, and an open posts ten
    // events at a time. A failed post leaves the next one to try again.
    PostDrainMessage(hub);
}

}  // namespace

Ref<HubEvent> HubEventCreate(uint32_t code, const Variant* argument) {
    Ref<HubEvent> event = MakeRef<HubEvent>();
    event->code = code;
    if (argument) VariantAssign(event->argument, *argument);
    return event;
}

Variant& HubEventGetArg(const HubEvent* event, Variant& out) {
    if (!event) {
        VariantClear(out);
        return out;
    }
    return VariantAssign(out, event->argument);
}

HubListener::~HubListener() { ListenerDetach(this); }

void ListenerConstruct(HubListener* listener, EventHub* hub) {
    if (!listener) return;
    ListenerDetach(listener);
    if (!hub) return;
    listener->hub = Ref<EventHub>(hub);
    EventHubAddListener(hub, listener);
}

void ListenerDetach(HubListener* listener) {
    if (!listener) return;
    Ref<EventHub> hub = std::move(listener->hub);
    if (hub) EventHubRemoveListener(hub.get(), listener);
}

Ref<EventHub> EventHubCreate() { return MakeRef<EventHub>(); }

void EventHubAddListener(EventHub* hub, HubListener* listener) {
    if (!hub || !listener) return;
    ScopedLock hold(hub->lock);
    if (hub->closing) return;
    PtrArrayAdd(hub->listeners, listener);
}

void EventHubRemoveListener(EventHub* hub, HubListener* listener) {
    if (!hub || !listener) return;
    // Declared before the lock, so released after it: the array's reference
    // may be the last one, and no destructor runs under the hub's lock.
    Ref<HubListener> removed;
    ScopedLock hold(hub->lock);
    if (hub->closing) return;
    for (uint32_t i = 0; i < hub->listeners.count; ++i) {
        if (hub->listeners.items[i] != listener) continue;
        removed = Ref<HubListener>(listener);
        PtrArrayRemoveAt(hub->listeners, i);
        break;
    }
}

void EventHubSend(EventHub* hub, RefCounted* sender, uint32_t code) { SendEvent(hub, sender, code, nullptr); }

void EventHubSendArg(EventHub* hub, RefCounted* sender, uint32_t code, const Variant& argument) {
    SendEvent(hub, sender, code, &argument);
}

void EventHubPost(EventHub* hub, RefCounted* sender, uint32_t code) { PostEvent(hub, sender, code, nullptr); }

void EventHubPostArg(EventHub* hub, RefCounted* sender, uint32_t code, const Variant& argument) {
    PostEvent(hub, sender, code, &argument);
}

void EventHubSetWindow(EventHub* hub, HWND window) {
    if (!hub) return;
    {
        ScopedLock hold(hub->lock);
        hub->window = window;
        // A message on its way went to the window before.
        hub->drain_pending = false;
    }
    if (!window) DiscardUnderLock(hub, hub->queue, 16);
}

HWND EventHubGetWindow(EventHub* hub) {
    if (!hub) return nullptr;
    ScopedLock hold(hub->lock);
    return hub->window;
}

void EventHubDrain(EventHub* hub) {
    if (!hub) return;
    {
        // Cleared as the drain begins: what is posted from here on gets a
        // message of its own, which a listener's own message loop (a modal
        // dialog) delivers.
        ScopedLock hold(hub->lock);
        hub->drain_pending = false;
        hub->drain_thread = GetCurrentThreadId();
        ++hub->drain_depth;
    }
    bool dispatched = false;
    for (;;) {
        Ref<QueueEntry> entry;
        {
            ScopedLock hold(hub->lock);
            // A listener may have unset the window: the rest is discarded.
            if (!hub->window || hub->queue.count == 0) {
                if (--hub->drain_depth == 0) hub->drain_thread = 0;
                break;
            }
            entry = PtrArrayGetAs<QueueEntry>(hub->queue, 0);
            PtrArrayRemoveAt(hub->queue, 0);
            // What waits behind this entry has a message on its way: should
            // a listener run a message loop of its own, that loop drains it.
            if (hub->queue.count > 0) PostDrainMessage(hub);
        }
        Dispatch(hub, entry->sender.get(), entry->event.get());
        dispatched = true;
    }
    if (!dispatched) return;
    PtrArray snapshot;
    {
        ScopedLock hold(hub->lock);
        if (hub->closing || !PtrArrayCopy(snapshot, hub->listeners)) return;
    }
    for (uint32_t i = 0; i < snapshot.count; ++i) static_cast<HubListener*>(snapshot.items[i])->DrainEnded();
}

bool EventHubDrainContinues(EventHub* hub) {
    if (!hub) return false;
    ScopedLock hold(hub->lock);
    return hub->drain_depth > 0 && hub->drain_thread == GetCurrentThreadId() && hub->window &&
           hub->queue.count > 0;
}

void EventHubClose(EventHub* hub) {
    if (!hub) return;
    EventHubDrain(hub);
    EventHubSetWindow(hub, nullptr);
    PtrArray taken(4, true);
    {
        ScopedLock hold(hub->lock);
        hub->closing = true;
        SwapArrays(taken, hub->listeners);
    }
    // Released with the flag set and the lock free: a listener whose
    // destructor removes itself or posts finds the hub closing.
    PtrArrayFree(taken);
    ScopedLock hold(hub->lock);
    hub->closing = false;
}
