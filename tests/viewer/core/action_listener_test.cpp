// Which actions the action listener lets later listeners see, and its
// letting go at the end of the application.
#include "viewer/core/action_listener.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/command_line.h"

TEST(ActionListener, AnswersSayWhetherLaterListenersSeeTheAction) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentController> controller = AppGetController(viewer.root.get());
    Ref<ActionListener> listener(controller->listener);
    ASSERT_TRUE(listener);
    auto execute = [&](RefCounted* sender, uint32_t code, RefCounted* argument = nullptr) {
        Variant value;
        if (argument) VariantInitObject(value, argument);
        return ExecuteAction(listener.get(), sender, HubEventCreate(code, argument ? &value : nullptr).get());
    };
    // Handled actions stop the dispatch, except those others watch too; an
    // argument of the wrong kind is ignored, not misread. Notifications,
    // unknown codes and senders that are no viewer context are not its.
    Ref<OpenRequest> request = OpenRequestCreate(WString(), kOpenInteractive);
    EXPECT_EQ(execute(context, event::kZoomIn), kHubStop);
    EXPECT_EQ(execute(context, event::kOpenRequest, request.get()), kHubHandled);
    EXPECT_EQ(execute(context, event::kOpenRequest, CmdLineCreate(L"").get()), kHubHandled);
    EXPECT_EQ(execute(context, event::kViewChanged), kHubContinue);
    EXPECT_EQ(execute(context, 1000), kHubContinue);
    EXPECT_EQ(execute(request.get(), event::kZoomIn), kHubContinue);
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 0u);
    // Through the hub: a later listener sees the open request but not the zoom.
    viewer.Forget();
    ViewerSendAction(context, event::kZoomIn);
    Variant argument;
    VariantInitObject(argument, request.get());
    ViewerSendActionArg(context, event::kOpenRequest, argument);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kOpenRequest});

    // At the end of the application it lets go of hub and controller.
    const uint32_t before = controller->RefCountForTests();
    AppBroadcast(viewer.root.get(), event::kAppEnding);
    EXPECT_FALSE(listener->hub || listener->controller);
    EXPECT_EQ(controller->RefCountForTests(), before - 1);
    viewer.Forget();
    ViewerSendAction(context, event::kZoomIn);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kZoomIn});
}
