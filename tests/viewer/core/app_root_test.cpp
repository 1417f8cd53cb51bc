#include "viewer/core/app_root.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/hub_test_support.h"
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

TEST(AppRoot, CreateMakesTheMembersInStateStarting) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    ASSERT_TRUE(root);
    EXPECT_EQ(AppGetState(root.get()), kAppStarting);
    EXPECT_TRUE(AppGetSettings(root.get()));
    EXPECT_TRUE(AppGetTextTable(root.get()));
    EXPECT_TRUE(AppGetImageStore(root.get()));
    EXPECT_TRUE(AppGetEventHub(root.get()));
    EXPECT_TRUE(AppGetController(root.get()));
    EXPECT_TRUE(AppGetSharedSlot(root.get()));
    EXPECT_FALSE(AppGetFrame(root.get()));
    EXPECT_FALSE(AppGetCmdLine(root.get()));
    EXPECT_EQ(PrintProvidersCount(root->print_providers), 0u);
    Ref<ModuleList> modules = AppGetModules(root.get());
    ASSERT_EQ(ModuleListCount(modules.get()), 1u);
    EXPECT_TRUE(WStrEqualsChars(ModuleListGet(modules.get(), 0)->name, L"Oeffnen-Dialog-Modul"));
    EXPECT_LT(root->session_letter, 37u);
    const std::wstring temp = WStrCStr(root->temp_directory);
    ASSERT_FALSE(temp.empty());
    EXPECT_EQ(temp.back(), L'\\');
    EXPECT_EQ(temp.find(L'/'), std::wstring::npos);
}

TEST(AppRoot, IdsAreUniquePerRootAndNeverZero) {
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    EXPECT_EQ(AppNextId(root.get()), 1u);
    EXPECT_EQ(AppNextId(root.get()), 2u);
    EXPECT_EQ(AppNextSourceId(root.get()), 1u);
    root->next_item_id = 0xFFFFFFFF;
    EXPECT_EQ(AppNextId(root.get()), 0xFFFFFFFFu);
    EXPECT_EQ(AppNextId(root.get()), 1u);
    EXPECT_EQ(AppNextId(nullptr), 0u);
}

TEST(AppRoot, WindowRunsThePostsAndOpensTheCommandLine) {
    Ref<CmdLine> cmd_line = CmdLineParse(L"\"C:\\drawings\\one.tif\"");
    ASSERT_EQ(CmdLineFileCount(cmd_line.get()), 1u);
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), cmd_line.get());
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());

    EXPECT_FALSE(AppCreateWindow(root.get(), nullptr, GetModuleHandleW(nullptr), nullptr, true));
    ASSERT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true));
    EXPECT_EQ(AppGetState(root.get()), kAppRunning);
    const HWND frame = AppGetFrameHwnd(root.get());
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(EventHubGetWindow(AppGetEventHub(root.get()).get()), frame);
    EXPECT_EQ(ViewerGetFrameHwnd(context.get()), frame);
    EXPECT_TRUE(root->dde_server);  // asked for, started and kept
    // A second call keeps the frame.
    EXPECT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false));
    EXPECT_EQ(AppGetFrameHwnd(root.get()), frame);

    // The frame's panes post events of their own; the open action is one.
    auto find_open = [&]() -> const ReceivedEvent* {
        for (const ReceivedEvent& received : listener->events) {
            if (received.code == event::kOpenCommandLine) return &received;
        }
        return nullptr;
    };
    ASSERT_TRUE(PumpUntil([&] { return find_open() != nullptr; }));
    EXPECT_EQ(VariantGetObject(find_open()->argument).get(), cmd_line.get());
    EXPECT_EQ(find_open()->sender, context.get());

    AppStop(root.get());
    EXPECT_EQ(AppGetState(root.get()), kAppStopping);
    const size_t before = listener->events.size();
    ViewerPostAction(context.get(), event::kMainViewRecomputed);
    PumpPending();
    EXPECT_EQ(listener->events.size(), before);
    ListenerDetach(listener.get());
}

TEST(AppRoot, NoCommandLineFilesNoOpenAction) {
    Ref<CmdLine> cmd_line = CmdLineParse(L"-n");
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), cmd_line.get());
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());
    ASSERT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false));
    PumpPending();
    EXPECT_TRUE(listener->events.empty());
    ListenerDetach(listener.get());
}

TEST(AppRoot, ShutdownReleasesEverythingOnce) {
    Ref<CmdLine> cmd_line = CmdLineParse(L"a.tif");
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), cmd_line.get());
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    ASSERT_TRUE(AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false));
    const HWND frame = AppGetFrameHwnd(root.get());
    // A listener still registered at the end is let go when the hub closes.
    Ref<RecordingListener> listener = MakeRef<RecordingListener>();
    ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());
    Ref<SharedSlot> slot = AppGetSharedSlot(root.get());

    AppStop(root.get());
    AppCloseAll(root.get(), context.get());
    AppBroadcast(root.get(), event::kAppEnding);
    EXPECT_EQ(listener->Codes(), std::vector<uint32_t>{event::kAppEnding});
    EXPECT_EQ(listener->events[0].sender, nullptr);

    AppShutdown(root.get());
    EXPECT_EQ(AppGetState(root.get()), kAppStopped);
    EXPECT_FALSE(IsWindow(frame));
    EXPECT_EQ(listener->RefCountForTests(), 1u);
    EXPECT_EQ(cmd_line->RefCountForTests(), 1u);
    EXPECT_EQ(slot->RefCountForTests(), 1u);
    for (bool missing :
         {!AppGetSettings(root.get()), !AppGetEventHub(root.get()), !AppGetFrame(root.get()),
          !AppGetTextTable(root.get()), !AppGetModules(root.get()), !AppGetController(root.get()),
          !AppGetImageStore(root.get()), !AppGetSharedSlot(root.get()), !AppGetCmdLine(root.get())}) {
        EXPECT_TRUE(missing);
    }
    EXPECT_EQ(ViewerGetText(context.get(), 3002), nullptr);
    AppShutdown(root.get());
    EXPECT_EQ(AppGetState(root.get()), kAppStopped);
    // Without a hub the context's sends and posts do nothing.
    ViewerSendAction(context.get(), event::kAppEnding);
    EXPECT_EQ(listener->events.size(), 1u);
}

TEST(AppRoot, ScreenResolutionOutsideItsRangeMeans96) {
    struct Case {
        int x, y;
        double expected_x, expected_y;
    };
    const Case cases[] = {{96, 96, 96 / 25.4, 96 / 25.4}, {10, 10000, 10 / 25.4, 10000 / 25.4},
                          {9, 300, 96 / 25.4, 96 / 25.4}, {300, 10001, 96 / 25.4, 96 / 25.4},
                          {0, 0, 96 / 25.4, 96 / 25.4},   {120, 144, 120 / 25.4, 144 / 25.4}};
    for (const Case& c : cases) {
        double x = 0;
        double y = 0;
        ScreenPixelsPerMm(c.x, c.y, x, y);
        EXPECT_DOUBLE_EQ(x, c.expected_x) << c.x << " " << c.y;
        EXPECT_DOUBLE_EQ(y, c.expected_y) << c.x << " " << c.y;
    }
    EXPECT_DOUBLE_EQ(ViewerGetPixelsPerMmX(nullptr), 3.7795275590551185);
    EXPECT_DOUBLE_EQ(ViewerGetPixelsPerMmY(nullptr), 3.7795275590551185);
    Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
    Ref<ViewerContext> context = ViewerContextConstruct(root.get());
    EXPECT_DOUBLE_EQ(ViewerGetPixelsPerMmX(context.get()), root->pixels_per_mm_x);
}
