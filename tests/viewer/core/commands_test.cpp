// Command ids as menus, tool bars and accelerators deliver them: which
// action each one sends or posts, with which argument.
#include "viewer/core/commands.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/pane_modes.h"

namespace {

constexpr int32_t N = INT32_MIN;    // no argument
constexpr bool P = true, S = false;  // posted or sent

struct Expected {
    uint32_t id;
    uint32_t action;
    int32_t argument;
    bool posted;
};

// The command table as the viewer's menus know it. The view, page, close
// and window commands are checked through their effect (view_operations,
// page_navigation, document_open_close and below).
const Expected kTable[] = {
    {500, event::kOpenDialog, N, S}, {501, event::kSaveAs, N, S}, {502, event::kConvertDialog, N, S},
    {537, event::kBitmapExportDialog, N, S}, {538, event::kMeasuringPoint, N, S},
    {539, event::kVersionComparison, N, P}, {540, event::kComparisonMarker, 1, P},
    {541, event::kComparisonMarker, 2, P}, {557, event::kAboutDialog, N, S},
    {573, event::kMarkupOrder, 0, P},
    {575, event::kMarkupProperties, N, S}, {600, event::kOpenRecentFile, 0, P},
    {649, event::kOpenRecentFile, 49, P}, {660, event::kExtensionCommand, 660, P},
    {759, event::kExtensionCommand, 759, P},
};

// Runs the command and checks that exactly the expected action arrived,
// at once when sent, only after the drain when posted.
void ExpectDispatch(ActionViewer& viewer, const Expected& expected) {
    SCOPED_TRACE(testing::Message() << "command " << expected.id);
    viewer.Forget();
    // The accelerator's notification code in the high word changes nothing.
    EXPECT_TRUE(ViewerOnCommand(viewer.context.get(), MAKEWPARAM(expected.id, 1), 0));
    EXPECT_EQ(viewer.listener->events.size(), expected.posted ? 0u : 1u);
    PumpPending();
    ASSERT_EQ(viewer.listener->events.size(), 1u);
    const ReceivedEvent& received = viewer.listener->events[0];
    EXPECT_EQ(received.code, expected.action);
    EXPECT_EQ(received.sender, viewer.context.get());
    if (expected.argument == N) {
        EXPECT_EQ(received.argument.tag, uint32_t(kVariantEmpty));
    } else {
        EXPECT_EQ(received.argument.tag, uint32_t(kVariantInt32));
        EXPECT_EQ(VariantToInt(received.argument), expected.argument);
    }
}

class FakeProvider : public RefCounted {};

}  // namespace

TEST(Commands, EachIdSendsOrPostsItsAction) {
    ActionViewer viewer;
    viewer.MuteActions();
    for (const Expected& expected : kTable) ExpectDispatch(viewer, expected);
    // Information shows the custom box only when it has a title.
    ExpectDispatch(viewer, {560, event::kAboutDialog, N, S});
    viewer.GetSettings()->custom_app_info_title = L"Drawing archive";
    ExpectDispatch(viewer, {560, event::kInfoBox, N, S});

    // Other ids are not the viewer's: nothing is sent.
    for (uint32_t id : {0u, 499u, 505u, 515u, 520u, 559u, 576u, 599u, 650u, 659u, 760u, 799u, 811u, 9999u}) {
        viewer.Forget();
        EXPECT_FALSE(viewer.Command(id)) << id;
        PumpPending();
        EXPECT_TRUE(viewer.listener->events.empty()) << id;
    }
    EXPECT_FALSE(ViewerOnCommand(nullptr, 511, 0));

    // Print goes to the printer chosen last; one the list lacks is neither
    // chosen nor printed on.
    PrintProviders& providers = viewer.root->print_providers;
    PtrArrayAdd(providers.providers, MakeRef<FakeProvider>().get());
    PtrArrayAdd(providers.providers, MakeRef<FakeProvider>().get());
    ExpectDispatch(viewer, {503, event::kPrint, 0, S});
    ExpectDispatch(viewer, {801, event::kPrint, 1, S});
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(805));
    PumpPending();
    EXPECT_TRUE(viewer.listener->events.empty());
    ExpectDispatch(viewer, {503, event::kPrint, 1, S});
    PtrArrayClear(providers.providers);
}

// The window commands store the panes' display modes as settings of the
// window group, within what the group's permission word allows.
TEST(PaneModes, WindowCommandsStoreTheModesWithinThePermissions) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Settings* settings = viewer.GetSettings().get();
    const struct {
        uint32_t id;
        SettingsPane pane;
        int32_t mode;
    } cases[] = {
        {543, kPaneToolBar, 0},    {542, kPaneToolBar, 1},    {547, kPaneStatusBar, 0},
        {549, kPaneNavigation, 2}, {550, kPaneNavigation, 0}, {548, kPaneNavigation, 1},
        {552, kPanePreview, 2},    {553, kPanePreview, 0},    {551, kPanePreview, 1},
        {545, kPaneMenuBar, 0},    {544, kPaneMenuBar, 1},    {555, kPaneMainView, 2},
    };
    for (const auto& c : cases) {
        viewer.Forget();
        EXPECT_TRUE(viewer.Command(c.id));
        EXPECT_EQ(SettingsGetViewMode(settings, c.pane), c.mode) << "command " << c.id;
        PumpPending();
        EXPECT_EQ(viewer.Count(event::kSettingChanged), 1u) << "command " << c.id;
    }
    // The viewer's own changes are kept for the user's key.
    EXPECT_NE(SettingsGetChangedMask(settings) & setting::kViewModeMainView, 0u);

    // Modes a pane does not take are refused.
    EXPECT_FALSE(ViewerShowMenuBar(context, 2, 0));
    EXPECT_FALSE(ViewerShowStatusBar(context, -1, 0));
    EXPECT_FALSE(ViewerShowPreview(context, 3, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPaneMenuBar), 1);
    // Automation may not change the window group when its bit is cleared.
    settings->permissions[kGroupWindow] &= ~kPermissionKind2;
    EXPECT_FALSE(ViewerShowPreview(context, 0, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPanePreview), 1);
    EXPECT_TRUE(ViewerShowPreview(context, 0, 0));
}

