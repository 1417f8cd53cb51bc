// The window commands store the panes' display modes as settings of the
// window group, within what the group's permission word allows.
#include "viewer/core/pane_modes.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"

TEST(PaneModes, WindowCommandsStoreTheModes) {
    ActionViewer viewer;
    Settings* settings = viewer.GetSettings().get();
    const struct {
        uint32_t id;
        SettingsPane pane;
        int32_t mode;
    } cases[] = {
        {543, kPaneToolBar, 0},    {542, kPaneToolBar, 1},    {545, kPaneMenuBar, 0},
        {544, kPaneMenuBar, 1},    {547, kPaneStatusBar, 0},  {546, kPaneStatusBar, 1},
        {549, kPaneNavigation, 2}, {550, kPaneNavigation, 0}, {548, kPaneNavigation, 1},
        {552, kPanePreview, 2},    {553, kPanePreview, 0},    {551, kPanePreview, 1},
        {555, kPaneMainView, 2},   {556, kPaneMainView, 0},   {554, kPaneMainView, 1},
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
}

TEST(PaneModes, ModesAPaneDoesNotTakeAndForbiddenCallersAreRefused) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Settings* settings = viewer.GetSettings().get();
    EXPECT_FALSE(ViewerShowMenuBar(context, 2, 0));
    EXPECT_FALSE(ViewerShowStatusBar(context, -1, 0));
    EXPECT_FALSE(ViewerShowPreview(context, 3, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPaneMenuBar), 1);
    EXPECT_TRUE(ViewerShowZoomView(context, 2, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPaneMainView), 2);

    // Automation may not change the window group when its bit is cleared.
    settings->permissions[kGroupWindow] &= ~kPermissionKind2;
    EXPECT_FALSE(ViewerShowPreview(context, 0, 2));
    EXPECT_EQ(SettingsGetViewMode(settings, kPanePreview), 1);
    EXPECT_TRUE(ViewerShowPreview(context, 0, 0));
}

TEST(PaneModes, PopupOptions) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    Settings* settings = viewer.GetSettings().get();
    Variant off;
    VariantInitBool(off, false);
    ViewerSendActionArg(context, event::kSetPopupsMoveable, off);
    EXPECT_FALSE(SettingsGetPopupsMoveable(settings));
    EXPECT_TRUE(ViewerSetPopupsMoveable(context, true, 2));
    EXPECT_TRUE(SettingsGetPopupsMoveable(settings));
    EXPECT_TRUE(ViewerSetPopupsMoveWithMain(context, true, 2));
    EXPECT_TRUE(SettingsGetPopupsMoveWithMain(settings));
    EXPECT_FALSE(ViewerSetPopupsMoveWithMain(nullptr, true, 2));
    EXPECT_TRUE(ViewerSetPopupsMoveable(nullptr, true, 2));
}
