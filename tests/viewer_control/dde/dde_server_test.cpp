// What differs in the control: the service name follows the setting
// ACTIVEX_FILEOPENMODE (none at 0), and Quit leaves the viewer running.
#include "viewer/dde/dde_server.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/dde/dde_client_runner.h"
#include "viewer/dde/instance_link.h"

namespace {

// Links from a thread of its own while this one serves.
DWORD WINAPI UseLink(void* context) {
    Ref<InstanceLink> link = InstanceLinkFromContext(static_cast<ViewerContext*>(context));
    uint32_t pid = 0;
    EXPECT_TRUE(link && InstanceLinkGetProcessId(link.get(), pid));
    EXPECT_EQ(pid, GetCurrentProcessId());
    EXPECT_FALSE(InstanceLinkFileOpen(link.get(), WString()));
    return 0;
}

}  // namespace

TEST(ControlDdeServer, ServiceNameFollowsTheOpenMode) {
    const std::string pid = std::to_string(GetCurrentProcessId());
    const std::wstring own = L"PLX-VAX" + std::to_wstring(GetCurrentProcessId());
    const struct {
        int32_t mode;
        std::wstring service;
    } cases[] = {{0, L""}, {1, own}, {2, L"PLX-VAX"}, {3, L"Plovex"}, {7, L""}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        ServedViewer viewer(L"", c.mode);
        WString name;
        DdeServiceName(AppGetSettings(viewer.root.get()).get(), name);
        EXPECT_STREQ(WStrCStr(name), c.service.c_str());
        // Without a name no server starts, and the root goes on without one.
        ASSERT_EQ(viewer.root->dde_server != nullptr, !c.service.empty());
        EXPECT_EQ(c.service.empty() ? pid : DdeStep(c.service, "r\tGetProcessID"), pid);
    }
}

TEST(ControlDdeServer, QuitIsRefusedAndTheLinkFindsTheControlsService) {
    ServedViewer viewer(L"", 2);
    ASSERT_TRUE(viewer.root->dde_server);
    EXPECT_EQ(DdeStep(L"PLX-VAX", "x\tQuit"), "nack");
    PumpPending();
    EXPECT_TRUE(IsWindow(AppGetFrameHwnd(viewer.root.get())));
    // The link names the service as this control's settings do.
    UniqueHandle thread(CreateThread(nullptr, 0, UseLink, viewer.context.get(), 0, nullptr));
    ASSERT_TRUE(thread);
    ServeUntilEnded(thread.get(), 30000);
    EXPECT_FALSE(InstanceLinkConnect(WString()));
    // Nobody serves this name; the link gives up after its second.
    EXPECT_FALSE(InstanceLinkConnect(L"PlovexNobody"));
}
