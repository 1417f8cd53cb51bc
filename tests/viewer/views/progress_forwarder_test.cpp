// The progress forwarder: which fractions reach the hub as notification 23.
#include "viewer/views/progress_forwarder.h"

#include <gtest/gtest.h>

#include <vector>

#include "tests/viewer/core/hub_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"

TEST(ProgressForwarder, PassesOnFallsStepsOfAtLeastAFiftiethAndTheEnd) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());
    Ref<ProgressForwarder> forwarder = ProgressForwarderCreate(context.get());
    EXPECT_FALSE(ProgressIsCancelled(forwarder.get()));

    for (float fraction : {0.0f, 0.02f, 0.05f, 0.09f, 0.5f, 0.5f, 0.3f, 0.31f, 1.0f, 1.0f}) {
        ProgressForwarderReport(forwarder.get(), fraction);
    }
    ProgressForwarderReset(forwarder.get());
    ProgressForwarderReset(forwarder.get());
    // Through the sink interface, as a render reports: one step of two done.
    ProgressPush(forwarder.get(), 2);
    ProgressStepEnd(forwarder.get(), 0);

    std::vector<double> sent;
    for (const ReceivedEvent& received : listener->events) {
        EXPECT_EQ(received.code, event::kProgress);
        EXPECT_EQ(received.sender, context.get());
        sent.push_back(VariantToDouble(received.argument));
    }
    const std::vector<double> expected = {0.0, 0.05f, 0.5, 0.3f, 1.0, 1.0, -1.0, 0.5};
    ASSERT_EQ(sent.size(), expected.size());
    for (size_t i = 0; i < sent.size(); ++i) EXPECT_DOUBLE_EQ(sent[i], expected[i]) << i;

    // Detached, nothing more goes out.
    ProgressForwarderDetach(forwarder.get());
    ProgressForwarderReport(forwarder.get(), 0.9f);
    EXPECT_EQ(listener->events.size(), expected.size());
    ListenerDetach(listener.get());
}
