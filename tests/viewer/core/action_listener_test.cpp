// The action listener's answers: which actions later listeners still see,
// what it ignores, and its letting go at the end of the application.
#include "viewer/core/action_listener.h"

#include <gtest/gtest.h>

#include "resources/resource_ids.h"
#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/command_line.h"
#include "viewer/core/scale.h"
#include "viewer/windows/context_menu.h"

namespace {

uint32_t Execute(ActionListener* listener, RefCounted* sender, uint32_t code,
                 const Variant* argument = nullptr) {
    Ref<HubEvent> event = HubEventCreate(code, argument);
    return ExecuteAction(listener, sender, event.get());
}

Variant Object(RefCounted* object) {
    Variant argument;
    VariantInitObject(argument, object);
    return argument;
}

}  // namespace

TEST(ActionListener, AnswersSayWhetherLaterListenersSeeTheAction) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Ref<DocumentController> controller = AppGetController(viewer.root.get());
    ActionListener* listener = controller->listener;
    ASSERT_TRUE(listener);

    // Handled actions stop the dispatch, except those others watch too.
    EXPECT_EQ(Execute(listener, context, event::kZoomIn), kHubStop);
    EXPECT_EQ(Execute(listener, context, event::kCloseAll), kHubStop);
    const Variant request = Object(OpenRequestCreate(WString(), kOpenInteractive).get());
    EXPECT_EQ(Execute(listener, context, event::kOpenRequest, &request), kHubHandled);
    const Variant command_line = Object(CmdLineCreate(L"").get());
    EXPECT_EQ(Execute(listener, context, event::kOpenCommandLine, &command_line), kHubHandled);
    Variant id;
    VariantInitInt(id, 12345);
    EXPECT_EQ(Execute(listener, context, event::kActivateItem, &id), kHubHandled);
    Variant extension;
    VariantInitInt(extension, 661);
    EXPECT_EQ(Execute(listener, context, event::kExtensionCommand, &extension), kHubHandled);
    const Variant menu = Object(ContextMenuRequestCreate(-1, 10, 10).get());
    EXPECT_EQ(Execute(listener, context, event::kContextMenu, &menu), kHubHandled);
    EXPECT_EQ(Execute(listener, context, event::kSaveRedlining), kHubHandled);

    // Notifications, the main view's actions, unknown codes, and senders
    // that are no viewer context are not the listener's.
    for (uint32_t code :
         {event::kItemAdded, event::kViewChanged, event::kActiveItemChanged, event::kMouseWheel,
          event::kMeasuringPoint, event::kComparisonMarker, event::kSelectAllMarkups, 0u, 1000u}) {
        EXPECT_EQ(Execute(listener, context, code), kHubContinue) << code;
    }
    EXPECT_EQ(Execute(listener, nullptr, event::kZoomIn), kHubContinue);
    Ref<OpenRequest> not_a_context = OpenRequestCreate(WString(), 0);
    EXPECT_EQ(Execute(listener, not_a_context.get(), event::kZoomIn), kHubContinue);
    // An argument of the wrong kind is ignored, not misread.
    EXPECT_EQ(Execute(listener, context, event::kOpenRequest, &command_line), kHubHandled);
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(context).get()), 0u);

    // Through the hub: a listener after the controller's sees the open
    // request but not the zoom.
    viewer.Forget();
    ViewerSendAction(context, event::kZoomIn);
    ViewerSendActionArg(context, event::kOpenRequest, request);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kOpenRequest});
}

TEST(ActionListener, LetsGoAtTheEndOfTheApplication) {
    ActionViewer viewer;
    Ref<DocumentController> controller = AppGetController(viewer.root.get());
    Ref<ActionListener> listener(controller->listener);
    const uint32_t before = controller->RefCountForTests();

    AppBroadcast(viewer.root.get(), event::kAppEnding);
    EXPECT_FALSE(listener->hub);
    EXPECT_FALSE(listener->controller);
    EXPECT_EQ(controller->RefCountForTests(), before - 1);
    // Detached, it no longer answers for the context.
    viewer.Forget();
    ViewerSendAction(viewer.context.get(), event::kZoomIn);
    EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{event::kZoomIn});
    EXPECT_EQ(Execute(listener.get(), viewer.context.get(), event::kZoomIn), kHubContinue);
}

TEST(ActionListener, TheScaleChosenReachesTheDocumentAndEveryPage) {
    const std::string dir = MakeScratchDir("action_scale");
    MakeTiffFiles(dir, {{"plan.tif", 2}});
    ActionViewer viewer;
    ASSERT_EQ(viewer.Open({dir + "/plan.tif"}), 1);
    ASSERT_TRUE(viewer.Command(command::kLastPage));
    viewer.Forget();
    DialogDriver driver([](DialogDriver&, HWND dialog) {
        if (IsDlgButtonChecked(dialog, IDC_SCALE_UNKNOWN) == BST_CHECKED) {
            SendMessageW(dialog, WM_COMMAND, MAKEWPARAM(IDC_SCALE_UNKNOWN, BN_CLICKED),
                         reinterpret_cast<LPARAM>(GetDlgItem(dialog, IDC_SCALE_UNKNOWN)));
            CheckDlgButton(dialog, IDC_SCALE_UNKNOWN, BST_UNCHECKED);
        }
        SetDlgItemTextW(dialog, IDC_SCALE_FIRST, L"1");
        SetDlgItemTextW(dialog, IDC_SCALE_SECOND, L"50");
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
        return true;
    });
    ViewerSendAction(viewer.context.get(), event::kScaleDialog);
    ASSERT_EQ(driver.dialogs, 1);
    for (DocItem* item : {viewer.Document(0).get(), viewer.Page(0, 0).get(), viewer.Page(0, 1).get()}) {
        Ref<OpenParams> params = item->GetOpenParams();
        ASSERT_TRUE(params);
        Ref<Scale> scale = OpenParamsGetScale(params.get());
        ASSERT_TRUE(scale) << NameOf(item);
        EXPECT_DOUBLE_EQ(ScaleGetRatio(scale.get()), 1.0 / 50) << NameOf(item);
    }
    PumpPending();
    ASSERT_EQ(viewer.Count(event::kDrawingScaleChanged), 1u);
}
