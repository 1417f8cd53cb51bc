#include "viewer/core/event_hub.h"

#include <gtest/gtest.h>

#include <thread>

#include "tests/viewer/core/hub_test_support.h"

namespace {

Ref<RecordingListener> AddRecorder(EventHub* hub, uint32_t answer = kHubContinue) {
    Ref<RecordingListener> listener = MakeRef<RecordingListener>(answer);
    ListenerConstruct(listener.get(), hub);
    return listener;
}

}  // namespace

// Answer 2 hides an event from later listeners; 0 and 1 let it go on. A
// listener that detaches itself lives until its Notify returns.
TEST(EventHubSend, AnswersAndListenersLeavingDuringTheirNotify) {
    class DyingListener : public RecordingListener {
      public:
        explicit DyingListener(bool* destroyed) : destroyed_(destroyed) {}
        ~DyingListener() override { *destroyed_ = true; }
        bool* destroyed_;
    };
    Ref<EventHub> hub = EventHubCreate();
    Ref<RecordingListener> first = AddRecorder(hub.get(), 1);
    Ref<RecordingListener> stopper = AddRecorder(hub.get(), kHubStop);
    Ref<RecordingListener> last = AddRecorder(hub.get());
    EventHubSend(hub.get(), first.get(), 9);
    EXPECT_EQ(first->Codes(), std::vector<uint32_t>{9});
    EXPECT_EQ(stopper->Codes(), std::vector<uint32_t>{9});
    EXPECT_TRUE(last->events.empty());
    ListenerDetach(stopper.get());

    bool destroyed = false, alive_after_detach = false;
    {
        Ref<DyingListener> dying = MakeRef<DyingListener>(&destroyed);
        ListenerConstruct(dying.get(), hub.get());
        dying->on_notify = [&](RecordingListener* self, HubEvent*) {
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

// Posts from any thread arrive on the thread of the hub's window; without
// a window the queue is discarded and lets go of its arguments.
TEST(EventHubPost, WorkerThreadPostsArriveOnTheGuiThreadOrAreDiscarded) {
    Ref<EventHub> hub = EventHubCreate();
    Ref<HubDrainWindow> window = MakeRef<HubDrainWindow>(hub.get());
    Ref<RecordingListener> listener = AddRecorder(hub.get());
    std::thread worker([&] {
        Variant argument;
        VariantInitDouble(argument, 0.5);
        EventHubPostArg(hub.get(), nullptr, 8, argument);
        EventHubPost(hub.get(), nullptr, 16);
    });
    worker.join();
    EXPECT_TRUE(listener->events.empty()) << "queued until the GUI thread takes its messages";
    ASSERT_TRUE(PumpUntil([&] { return listener->events.size() == 2; }));
    EXPECT_EQ(listener->Codes(), (std::vector<uint32_t>{8, 16}));
    EXPECT_EQ(listener->events[0].thread, GetCurrentThreadId());
    EXPECT_DOUBLE_EQ(VariantToDouble(listener->events[0].argument), 0.5);

    listener->events.clear();
    Ref<RecordingListener> payload = MakeRef<RecordingListener>();
    Variant argument;
    VariantInitObject(argument, payload.get());
    EventHubPostArg(hub.get(), nullptr, 17, argument);
    VariantClear(argument);
    EXPECT_EQ(payload->RefCountForTests(), 2u);
    EventHubSetWindow(hub.get(), nullptr);
    EXPECT_EQ(payload->RefCountForTests(), 1u);
    PumpPending();
    EventHubDrain(hub.get());
    EXPECT_TRUE(listener->events.empty());
    window.Reset();
    EventHubClose(hub.get());
}
