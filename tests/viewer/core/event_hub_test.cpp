#include "viewer/core/event_hub.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/viewer/core/hub_test_support.h"
#include "viewer/windows/frame_window.h"

namespace {

Ref<RecordingListener> AddRecorder(EventHub* hub, uint32_t answer = kHubContinue) {
    Ref<RecordingListener> listener = MakeRef<RecordingListener>(answer);
    ListenerConstruct(listener.get(), hub);
    return listener;
}

// A listener that tells when it is destroyed.
class DyingListener : public RecordingListener {
  public:
    explicit DyingListener(bool* destroyed) : destroyed_(destroyed) {}
    ~DyingListener() override { *destroyed_ = true; }

  private:
    bool* destroyed_;
};

}  // namespace

TEST(EventHubSend, AnswerTwoHidesTheEventFromLaterListeners) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> first = AddRecorder(hub.get(), 1);
    Ref<RecordingListener> stopper = AddRecorder(hub.get(), kHubStop);
    Ref<RecordingListener> last = AddRecorder(hub.get());

    Variant argument;
    VariantInitInt(argument, 42);
    EventHubSendArg(hub.get(), first.get(), 9, argument);
    ASSERT_EQ(first->events.size(), 1u);
    EXPECT_EQ(first->events[0].sender, first.get());
    EXPECT_EQ(VariantToInt(first->events[0].argument), 42);
    EXPECT_EQ(stopper->Codes(), std::vector<uint32_t>{9});
    EXPECT_TRUE(last->events.empty());

    // Answers 0 and 1 both let the event go on.
    ListenerDetach(stopper.get());
    EventHubSend(hub.get(), nullptr, 10);
    EXPECT_EQ(first->Codes(), (std::vector<uint32_t>{9, 10}));
    EXPECT_EQ(last->Codes(), std::vector<uint32_t>{10});
    EXPECT_EQ(last->events[0].argument.tag, kVariantEmpty);
    EventHubClose(hub.get());
}

TEST(EventHubSend, ListenerRemovingItselfLivesUntilItsNotifyReturns) {
    Ref<EventHub> hub = EventHubCreate();
    bool destroyed = false;
    bool alive_after_detach = false;
    {
        Ref<DyingListener> listener = MakeRef<DyingListener>(&destroyed);
        ListenerConstruct(listener.get(), hub.get());
        listener->on_notify = [&](RecordingListener* self, HubEvent*) {
            ListenerDetach(self);
            alive_after_detach = !destroyed;
        };
    }  // only the hub holds it now
    Ref<RecordingListener> later = AddRecorder(hub.get());
    EventHubSend(hub.get(), nullptr, 4);
    EXPECT_TRUE(alive_after_detach);
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(later->Codes(), std::vector<uint32_t>{4});
    EXPECT_EQ(hub->listeners.count, 1u);
    EventHubClose(hub.get());
}

TEST(EventHubSend, ListenerRemovedDuringDispatchStillGetsThatEvent) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> remover = AddRecorder(hub.get());
    Ref<RecordingListener> removed = AddRecorder(hub.get());
    Ref<RecordingListener> added;
    remover->on_notify = [&](RecordingListener*, HubEvent* event) {
        if (event->code != 4) return;
        ListenerDetach(removed.get());
        added = AddRecorder(hub.get());
    };
    EventHubSend(hub.get(), nullptr, 4);
    // The walk goes over the listeners registered when the send began.
    EXPECT_EQ(removed->Codes(), std::vector<uint32_t>{4});
    EXPECT_TRUE(added->events.empty());
    EventHubSend(hub.get(), nullptr, 5);
    EXPECT_EQ(removed->Codes(), std::vector<uint32_t>{4});
    EXPECT_EQ(added->Codes(), std::vector<uint32_t>{5});
    EventHubClose(hub.get());
}

TEST(EventHubPost, WorkerThreadPostArrivesOnTheGuiThread) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<FrameWindow> frame = FrameCreate(nullptr, nullptr, GetModuleHandleW(nullptr), hub.get());
    ASSERT_TRUE(frame);
    EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    Ref<RecordingListener> listener = AddRecorder(hub.get());

    std::thread worker([&] {
        Variant argument;
        VariantInitDouble(argument, 0.5);
        EventHubPostArg(hub.get(), nullptr, 8, argument);
        EventHubPost(hub.get(), nullptr, 16);
    });
    worker.join();
    // Queued, not dispatched, until the GUI thread takes its messages.
    EXPECT_TRUE(listener->events.empty());
    ASSERT_TRUE(PumpUntil([&] { return listener->events.size() == 2; }));
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{8, 16}));
    EXPECT_EQ(listener->events[0].thread, GetCurrentThreadId());
    EXPECT_DOUBLE_EQ(VariantToDouble(listener->events[0].argument), 0.5);
    EventHubClose(hub.get());
}

TEST(EventHubPost, NoWindowDropsTheEventAndUnsettingItDiscardsTheQueue) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> listener = AddRecorder(hub.get());
    EventHubPost(hub.get(), nullptr, 12);
    EXPECT_EQ(hub->queue.count, 0u);

    Ref<FrameWindow> frame = FrameCreate(nullptr, nullptr, GetModuleHandleW(nullptr), hub.get());
    ASSERT_TRUE(frame);
    EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    // An object argument is held by the queue and let go with it.
    Ref<RecordingListener> payload = MakeRef<RecordingListener>();
    Variant argument;
    VariantInitObject(argument, payload.get());
    EventHubPostArg(hub.get(), nullptr, 17, argument);
    VariantClear(argument);
    EventHubPost(hub.get(), nullptr, 13);
    EXPECT_EQ(hub->queue.count, 2u);
    EXPECT_EQ(payload->RefCountForTests(), 2u);

    EventHubSetWindow(hub.get(), nullptr);
    EXPECT_EQ(hub->queue.count, 0u);
    EXPECT_EQ(payload->RefCountForTests(), 1u);
    PumpPending();
    EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    EventHubDrain(hub.get());
    EXPECT_TRUE(listener->events.empty());
    EventHubClose(hub.get());
}

TEST(EventHubDrain, ListenerUnsettingTheWindowStopsTheDrain) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<FrameWindow> frame = FrameCreate(nullptr, nullptr, GetModuleHandleW(nullptr), hub.get());
    ASSERT_TRUE(frame);
    EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    Ref<RecordingListener> listener = AddRecorder(hub.get());
    listener->on_notify = [&](RecordingListener*, HubEvent* event) {
        if (event->code == 20) EventHubSetWindow(hub.get(), nullptr);
    };
    EventHubPost(hub.get(), nullptr, 19);
    EventHubPost(hub.get(), nullptr, 20);
    EventHubPost(hub.get(), nullptr, 21);
    EventHubDrain(hub.get());
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{19, 20}));
    PumpPending();
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{19, 20}));
    EventHubClose(hub.get());
}

TEST(EventHubClose, DrainsReleasesListenersAndKeepsOnlySending) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<FrameWindow> frame = FrameCreate(nullptr, nullptr, GetModuleHandleW(nullptr), hub.get());
    ASSERT_TRUE(frame);
    EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    bool destroyed = false;
    {
        Ref<DyingListener> listener = MakeRef<DyingListener>(&destroyed);
        ListenerConstruct(listener.get(), hub.get());
    }
    Ref<RecordingListener> kept = AddRecorder(hub.get());
    EventHubPost(hub.get(), nullptr, 14);

    EventHubClose(hub.get());
    EXPECT_EQ(kept->Codes(), std::vector<uint32_t>{14});  // the queue was drained first
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(hub->listeners.count, 0u);
    EXPECT_EQ(EventHubGetWindow(hub.get()), nullptr);

    // A detached listener's later detach does nothing; new listeners are
    // taken and reached by sends, but nothing can be posted any more.
    ListenerDetach(kept.get());
    Ref<RecordingListener> again = AddRecorder(hub.get());
    EventHubSend(hub.get(), nullptr, 1);
    EventHubPost(hub.get(), nullptr, 12);
    EXPECT_EQ(again->Codes(), std::vector<uint32_t>{1});
    EXPECT_EQ(hub->queue.count, 0u);
    EventHubClose(hub.get());
}

TEST(EventHub, NullArgumentsAreTolerated) {
    Variant out;
    VariantInitInt(out, 3);
    HubEventGetArg(nullptr, out);
    EXPECT_EQ(out.tag, kVariantEmpty);
    EventHubSend(nullptr, nullptr, 1);
    EventHubPost(nullptr, nullptr, 1);
    EventHubAddListener(nullptr, nullptr);
    Ref<EventHub> hub = EventHubCreate();
    EventHubAddListener(hub.get(), nullptr);
    EXPECT_EQ(hub->listeners.count, 0u);
    ListenerConstruct(nullptr, hub.get());
    ListenerDetach(nullptr);
}
