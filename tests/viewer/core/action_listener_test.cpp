// Which actions the action listener lets later listeners see, its letting
// go at the end of the application, and the scale it sets.
#include "viewer/core/action_listener.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/command_line.h"
#include "viewer/core/scale.h"

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

TEST(ActionListener, TheScaleChosenReachesTheDocumentAndEveryPage) {
    const std::string dir = MakeScratchDir("action_scale");
    MakeTiffFiles(dir, {{"plan.tif", 2}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/plan.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    viewer.Forget();
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        if (IsDlgButtonChecked(dialog, IDC_SCALE_UNKNOWN) == BST_CHECKED)
            SendDlgItemMessageW(dialog, IDC_SCALE_UNKNOWN, BM_CLICK, 0, 0);
        SetDlgItemTextW(dialog, IDC_SCALE_FIRST, L"1");
        SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"50");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    ViewerSendAction(viewer.context.get(), event::kScaleDialog);
    ASSERT_EQ(driver.dialogs, 1);
    for (DocItem* item : {viewer.Document(0).get(), viewer.Page(0, 0).get(), viewer.Page(0, 1).get()}) {
        Ref<OpenParams> params = item->GetOpenParams();
        Ref<Scale> scale = params ? OpenParamsGetScale(params.get()) : nullptr;
        ASSERT_TRUE(scale) << NameOf(item);
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), 1.0 / 50) << NameOf(item);
    }
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kDrawingScaleChanged), 1u);
}
