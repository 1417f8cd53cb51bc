// What differs in the control: the service name follows the setting
// ACTIVEX_FILEOPENMODE (none at 0), and Quit leaves the viewer running.
#include "viewer/dde/dde_server.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/dde/dde_client_runner.h"
#include "viewer/core/settings.h"
#include "viewer/dde/instance_link.h"

namespace {

// A control viewer whose settings choose the mode before its windows open.
struct ControlViewer {
    explicit ControlViewer(int32_t mode) {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        SettingsSetFileOpenMode(AppGetSettings(root.get()).get(), nullptr, kCallerInternal, mode);
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true);
    }
    ~ControlViewer() {
        AppStop(root.get());
        AppCloseAll(root.get(), context.get());
        AppBroadcast(root.get(), 1);
        context.Reset();
        root.Reset();
    }
    Ref<AppRoot> root;
    Ref<ViewerContext> context;
};

struct LinkRun {
    ViewerContext* context;
    bool connected = false;
};

DWORD WINAPI ConnectFromContext(void* parameter) {
    LinkRun& run = *static_cast<LinkRun*>(parameter);
    run.connected = InstanceLinkFromContext(run.context) != nullptr;
    return 0;
}

}  // namespace

TEST(ControlDdeServer, ServiceNameFollowsTheOpenMode) {
    const std::wstring own = L"PLX-VAX" + std::to_wstring(GetCurrentProcessId());
    const struct {
        int32_t mode;
        std::wstring service;
    } cases[] = {{0, L""}, {1, own}, {2, L"PLX-VAX"}, {3, L"Plovex"}, {7, L""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ControlViewer viewer(c.mode);
        WString name;
        DdeServiceName(AppGetSettings(viewer.root.get()).get(), name);
        EXPECT_STREQ(WStrCStr(name), c.service.c_str());
        // Without a name no server starts, and the root goes on without one.
        ASSERT_EQ(viewer.root->dde_server != nullptr, !c.service.empty());
        if (c.service.empty()) continue;
        EXPECT_EQ(DdeStep(c.service, "r\tGetProcessID"),
                  "data\t" + std::to_string(std::to_string(GetCurrentProcessId()).size() + 1) + "\t1\t" +
                      std::to_string(GetCurrentProcessId()));
    }
}

TEST(ControlDdeServer, QuitIsRefusedAndTheLinkFindsTheControlsService) {
    ControlViewer viewer(2);
    ASSERT_TRUE(viewer.root->dde_server);
    const HWND frame = AppGetFrameHwnd(viewer.root.get());
    EXPECT_EQ(DdeStep(L"PLX-VAX", "x\tQuit"), "nack");
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    EXPECT_TRUE(IsWindow(frame));

    // The link names the service as this control's settings do.
    LinkRun run{viewer.context.get()};
    HANDLE thread = CreateThread(nullptr, 0, ConnectFromContext, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(PumpUntilProcessEnds(thread, 15000));
    CloseHandle(thread);
    EXPECT_TRUE(run.connected);
}
