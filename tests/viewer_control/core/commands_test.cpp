// The control build numbers the actions from 61 on one lower than the
// program; its commands and its action listener agree on that numbering.
#include "viewer/core/commands.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/view_operations.h"

// This test is built against the control's variant.
static_assert(!kViewerProgramBuild);

TEST(ControlCommands, ActionsFromSixtyOneOnKeepTheControlNumbers) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    // The zoom factor is action 61 here; with a value it fixes the factor.
    Variant value;
    VariantInitObject(value, ZoomValueCreate(2.5, true).get());
    ViewerSendActionArg(context, 61, value);
    EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), 2.5);

    viewer.MuteActions();
    const std::pair<uint32_t, uint32_t> commands[] = {{514, 61}, {562, 69}, {575, 73}, {660, 63}};
    for (const auto& [id, action] : commands) {
        viewer.Forget();
        EXPECT_TRUE(viewer.Command(id));
        PumpPending();
        EXPECT_EQ(viewer.listener->Codes(), std::vector<uint32_t>{action}) << "command " << id;
    }
    // Exit and the session list are the program's.
    EXPECT_FALSE(viewer.Command(command::kExit));
    EXPECT_FALSE(viewer.Command(command::kReopenSession));
}
