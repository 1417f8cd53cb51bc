// Command ids as menus, tool bars and accelerators deliver them: which
// action each one sends or posts, with which argument.
#include "viewer/core/commands.h"

#include <gtest/gtest.h>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/core/app_root.h"

namespace {

constexpr int32_t kNoArgument = INT32_MIN;

struct Expected {
    uint32_t id;
    uint32_t action;
    int32_t argument;  // kNoArgument: none
    bool posted;
};

// The command table as the viewer's menus know it.
const Expected kTable[] = {
    {500, event::kOpenDialog, kNoArgument, false},
    {501, event::kSaveAs, kNoArgument, false},
    {502, event::kConvertDialog, kNoArgument, false},
    {504, event::kStandardView, kNoArgument, false},
    {506, event::kCloseDocument, -1, false},
    {507, event::kCloseAll, kNoArgument, false},
    {510, event::kDocumentProperties, kNoArgument, false},
    {511, event::kZoomIn, kNoArgument, false},
    {512, event::kZoomOut, kNoArgument, false},
    {513, event::kZoomAll, kNoArgument, false},
    {514, event::kZoomFactor, kNoArgument, false},
    {521, event::kMirrorVertical, kNoArgument, false},
    {522, event::kMirrorHorizontal, kNoArgument, false},
    {523, event::kRotateLeft, kNoArgument, false},
    {524, event::kRotateRight, kNoArgument, false},
    {525, event::kToggleInversion, kNoArgument, false},
    {526, event::kGoToPage, 0, false},
    {527, event::kPageStep, -1, false},
    {528, event::kPageStep, 1, false},
    {529, event::kGoToPage, 999999999, false},
    {530, event::kGoToPage, -1, false},
    {531, event::kScrollHorizontal, -1, false},
    {532, event::kScrollHorizontal, 1, false},
    {533, event::kScrollVertical, -1, false},
    {534, event::kScrollVertical, 1, false},
    {535, event::kSettingsSheet, kNoArgument, false},
    {536, event::kVariablesDialog, kNoArgument, false},
    {537, event::kBitmapExportDialog, kNoArgument, false},
    {538, event::kMeasuringPoint, kNoArgument, false},
    {539, event::kVersionComparison, kNoArgument, true},
    {540, event::kComparisonMarker, 1, true},
    {541, event::kComparisonMarker, 2, true},
    {542, event::kShowToolBar, 1, false},
    {543, event::kShowToolBar, 0, false},
    {544, event::kShowMenuBar, 1, false},
    {545, event::kShowMenuBar, 0, false},
    {546, event::kShowStatusBar, 1, false},
    {547, event::kShowStatusBar, 0, false},
    {548, event::kShowNavigation, 1, false},
    {549, event::kShowNavigation, 2, false},
    {550, event::kShowNavigation, 0, false},
    {551, event::kShowPreview, 1, false},
    {552, event::kShowPreview, 2, false},
    {553, event::kShowPreview, 0, false},
    {554, event::kShowZoomView, 1, false},
    {555, event::kShowZoomView, 2, false},
    {556, event::kShowZoomView, 0, false},
    {557, event::kAboutDialog, kNoArgument, false},
    {558, event::kOpenWebSite, kNoArgument, false},
    {562, event::kSaveRedlining, kNoArgument, false},
    {571, event::kSelectAllMarkups, kNoArgument, true},
    {572, event::kDeleteMarkups, kNoArgument, true},
    {573, event::kMarkupOrder, 0, true},
    {574, event::kMarkupOrder, 3, true},
    {575, event::kMarkupProperties, kNoArgument, false},
    {600, event::kOpenRecentFile, 0, true},
    {649, event::kOpenRecentFile, 49, true},
    {660, event::kExtensionCommand, 660, true},
    {759, event::kExtensionCommand, 759, true},
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
    if (expected.argument == kNoArgument) {
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
}

TEST(Commands, PrintGoesToThePrinterChosenLast) {
    ActionViewer viewer;
    viewer.MuteActions();
    PrintProviders& providers = viewer.root->print_providers;
    PtrArrayAdd(providers.providers, MakeRef<FakeProvider>().get());
    PtrArrayAdd(providers.providers, MakeRef<FakeProvider>().get());
    ExpectDispatch(viewer, {503, event::kPrint, 0, false});
    ExpectDispatch(viewer, {801, event::kPrint, 1, false});
    ExpectDispatch(viewer, {503, event::kPrint, 1, false});
    // A printer the list does not have is neither chosen nor printed on.
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(805));
    PumpPending();
    EXPECT_TRUE(viewer.listener->events.empty());
    ExpectDispatch(viewer, {503, event::kPrint, 1, false});
    PtrArrayClear(providers.providers);
}

TEST(Commands, InformationShowsTheCustomBoxOnlyWhenItHasATitle) {
    ActionViewer viewer;
    viewer.MuteActions();
    ExpectDispatch(viewer, {560, event::kAboutDialog, kNoArgument, false});
    viewer.GetSettings()->custom_app_info_title = L"Drawing archive";
    ExpectDispatch(viewer, {560, event::kInfoBox, kNoArgument, false});
}

TEST(Commands, RedliningCommandsSwitchTheEditMode) {
    ActionViewer viewer;
    ViewerContext* context = viewer.context.get();
    ASSERT_EQ(ViewerGetRedliningMode(context), kRedliningModeView);
    const std::pair<uint32_t, uint32_t> steps[] = {
        {561, 2}, {561, 1}, {566, 3}, {561, 1}, {563, 2}, {570, 3}, {563, 2},
    };
    for (const auto& [id, mode] : steps) {
        viewer.Forget();
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(ViewerGetRedliningMode(context), mode) << "after command " << id;
        PumpPending();
        EXPECT_EQ(viewer.Count(event::kRedlineModeChanged), 1u) << "after command " << id;
    }
    // With redlining off, the edit command leaves it off.
    {
        ScopedLock hold(context->lock);
        context->redlining_mode = kRedliningModeOff;
    }
    EXPECT_TRUE(viewer.Command(561));
    EXPECT_EQ(ViewerGetRedliningMode(context), kRedliningModeOff);
}

TEST(Commands, ExtensionCommandsSplitIntoGroupAndEntry) {
    const struct {
        uint32_t id;
        bool ok;
        uint32_t group, item;
    } cases[] = {
        {660, true, 0, 0},  {669, true, 0, 9},  {675, true, 1, 5}, {759, true, 9, 9},
        {659, false, 0, 0}, {760, false, 0, 0}, {0, false, 0, 0},
    };
    for (const auto& c : cases) {
        uint32_t group = 77, item = 77;
        EXPECT_EQ(SplitMenuCommand(c.id, group, item), c.ok) << c.id;
        EXPECT_EQ(group, c.group) << c.id;
        EXPECT_EQ(item, c.item) << c.id;
    }
}

TEST(Commands, OtherIdsAreNotTheViewers) {
    ActionViewer viewer;
    viewer.MuteActions();
    for (uint32_t id :
         {0u, 499u, 505u, 515u, 518u, 520u, 559u, 576u, 599u, 650u, 655u, 760u, 799u, 811u, 9999u}) {
        viewer.Forget();
        EXPECT_FALSE(viewer.Command(id)) << id;
        PumpPending();
        EXPECT_TRUE(viewer.listener->events.empty()) << id;
    }
    EXPECT_FALSE(ViewerOnCommand(nullptr, 511, 0));
}

TEST(Commands, ProgramBuildReopensTheSessionAndExits) {
    if constexpr (!kViewerProgramBuild) GTEST_SKIP() << "the control build has neither command";
    ActionViewer viewer;
    ASSERT_TRUE(viewer.OpenFrame());
    viewer.MuteActions();
    ExpectDispatch(viewer, {509, event::kReopenSessionList, kNoArgument, false});
    const HWND frame = AppGetFrameHwnd(viewer.root.get());
    ASSERT_TRUE(IsWindow(frame));
    EXPECT_TRUE(viewer.Command(508));
    EXPECT_FALSE(IsWindow(frame));
    // The frame ends the program's message loop as it goes.
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}
