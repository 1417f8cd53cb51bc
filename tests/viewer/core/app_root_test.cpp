#include "viewer/core/app_root.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/hub_test_support.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/command_line.h"
#include "viewer/core/document_controller.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/image_store.h"
#include "viewer/core/module_list.h"
#include "viewer/core/settings.h"
#include "viewer/core/shared_slot.h"
#include "viewer/core/viewer_context.h"
#include "viewer/windows/frame_window.h"

// Create, window, stop, shutdown: what each step makes, posts and lets go.
TEST(AppRoot, CreateWindowStopAndShutdownInOrder) {
    Ref<CmdLine> cmd_line = CmdLineParse(L"\"C:\\drawings\\one.tif\"");
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), cmd_line.get());
    ASSERT_TRUE(root && AppGetEventHub(root.get()));
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());

    EXPECT_FALSE(AppCreateWindow(root.get(), nullptr, GetModuleHandleW(nullptr), nullptr, true));
    ASSERT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true));
    const HWND frame = AppGetFrameHwnd(root.get());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(EventHubGetWindow(AppGetEventHub(root.get()).get()), frame);
    EXPECT_TRUE(root->dde_server);  // asked for, started and kept
    EXPECT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false));
    EXPECT_EQ(AppGetFrameHwnd(root.get()), frame);
    StartTempCleanup(root.get());


    // Once stopping, posts no longer arrive; sends still do.
    AppStop(root.get());
    const size_t before = listener->events.size();
    ViewerPostAction(context.get(), event::kMainViewRecomputed);
    PumpPending();
    EXPECT_EQ(listener->events.size(), before);
    AppCloseAll(root.get(), context.get());
    const size_t closed = listener->events.size();
    AppBroadcast(root.get(), event::kAppEnding);
    ASSERT_EQ(listener->events.size(), closed + 1);
    EXPECT_EQ(listener->events.back().code, event::kAppEnding);

    // Shutdown ends the cleanup thread and lets go of everything once,
    // also of a listener still registered.
    Ref<SharedSlot> slot = AppGetSharedSlot(root.get());
    AppShutdown(root.get());
    EXPECT_EQ(root->cleanup_thread.load(), nullptr);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(listener->RefCountForTests(), 1u);
    EXPECT_EQ(cmd_line->RefCountForTests(), 1u);
    EXPECT_EQ(slot->RefCountForTests(), 1u);
    EXPECT_FALSE(AppGetSettings(root.get()) || AppGetEventHub(root.get()) || AppGetFrame(root.get()) ||
                 AppGetTextTable(root.get()) || AppGetModules(root.get()) || AppGetController(root.get()) ||
                 AppGetImageStore(root.get()) || AppGetSharedSlot(root.get()) || AppGetCmdLine(root.get()));
    AppShutdown(root.get());  // a second time does no harm
    EXPECT_EQ(AppGetState(root.get()), kAppStopped);
}

// 0 means "no item" to the DDE and tree callers: ids skip it when they wrap.
TEST(AppRoot, IdsNeverZeroOnWrap) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    root->next_item_id = root->next_source_id = 0xFFFFFFFF;
    for (uint32_t expected : {0xFFFFFFFFu, 1u}) {
        EXPECT_EQ(AppNextId(root.get()), expected);
        EXPECT_EQ(AppNextSourceId(root.get()), expected);
    }
}
