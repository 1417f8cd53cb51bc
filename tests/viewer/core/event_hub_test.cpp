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

// A hub drained by a real frame window of this (the GUI) thread.
struct HubWithWindow {
    HubWithWindow() : hub(EventHubCreate()) {
        frame = FrameCreate(nullptr, nullptr, GetModuleHandleW(nullptr), hub.get());
        if (frame) EventHubSetWindow(hub.get(), FrameGetHwnd(frame.get()));
    }
    ~HubWithWindow() { EventHubClose(hub.get()); }
    Ref<EventHub> hub;
    Ref<FrameWindow> frame;
};

}  // namespace

TEST(EventHubSend, AnswerTwoHidesTheEventFromLaterListeners) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> first = AddRecorder(hub.get(), 1);
    Ref<RecordingListener> stopper = AddRecorder(hub.get(), kHubStop);
    Ref<RecordingListener> last = AddRecorder(hub.get());
    EventHubSend(hub.get(), first.get(), 9);
    EXPECT_EQ(first->Codes(), std::vector<uint32_t>{9});
    EXPECT_EQ(stopper->Codes(), std::vector<uint32_t>{9});
    EXPECT_TRUE(last->events.empty());
    // Answers 0 and 1 both let the event go on.
    ListenerDetach(stopper.get());
    EventHubSend(hub.get(), nullptr, 10);
    EXPECT_EQ(last->Codes(), std::vector<uint32_t>{10});
    EventHubClose(hub.get());
}

TEST(EventHubSend, ListenerRemovingItselfLivesUntilItsNotifyReturns) {
    class DyingListener : public RecordingListener {
      public:
        explicit DyingListener(bool* destroyed) : destroyed_(destroyed) {}
        ~DyingListener() override { *destroyed_ = true; }
        bool* destroyed_;
    };
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
    EventHubClose(hub.get());
}

TEST(EventHubPost, WorkerThreadPostArrivesOnTheGuiThread) {
    HubWithWindow h;
    ASSERT_TRUE(h.frame);
    Ref<RecordingListener> listener = AddRecorder(h.hub.get());
    std::thread worker([&] {
        Variant argument;
        VariantInitDouble(argument, 0.5);
        EventHubPostArg(h.hub.get(), nullptr, 8, argument);
        EventHubPost(h.hub.get(), nullptr, 16);
    });
    worker.join();
    // Queued, not dispatched, until the GUI thread takes its messages.
    EXPECT_TRUE(listener->events.empty());
    ASSERT_TRUE(PumpUntil([&] { return listener->events.size() == 2; }));
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{8, 16}));
    EXPECT_EQ(listener->events[0].thread, GetCurrentThreadId());
    EXPECT_DOUBLE_EQ(VariantToDouble(listener->events[0].argument), 0.5);
}

TEST(EventHubPost, UnsettingTheWindowDiscardsTheQueue) {
    HubWithWindow h;
    ASSERT_TRUE(h.frame);
    Ref<RecordingListener> listener = AddRecorder(h.hub.get());
    // An object argument is held by the queue and let go with it.
    Ref<RecordingListener> payload = MakeRef<RecordingListener>();
    Variant argument;
    VariantInitObject(argument, payload.get());
    EventHubPostArg(h.hub.get(), nullptr, 17, argument);
    VariantClear(argument);
    EventHubPost(h.hub.get(), nullptr, 13);
    EXPECT_EQ(payload->RefCountForTests(), 2u);

    EventHubSetWindow(h.hub.get(), nullptr);
    EXPECT_EQ(payload->RefCountForTests(), 1u);
    PumpPending();
    EventHubSetWindow(h.hub.get(), FrameGetHwnd(h.frame.get()));
    EventHubDrain(h.hub.get());
    EXPECT_TRUE(listener->events.empty());
}
