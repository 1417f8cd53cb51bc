// The view commands against a page opened from a TIFF, the view
// notifications they post, and what the restrictions refuse.
#include "viewer/core/view_operations.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/viewer/core/actions_test_support.h"

namespace {

// One two-page drawing, its first page active.
struct PageViewer : ActionViewer {
    explicit PageViewer(const std::string& name, const OpenParams* params = nullptr) {
        const std::string dir = MakeScratchDir(name);
        MakeTiff(dir + "/drawing.tif", 2);
        EXPECT_EQ(Open({dir + "/drawing.tif"}, kOpenCommandLine, params), 1);
        EXPECT_TRUE(Command(command::kFirstPage));
        cut_out = ActiveCutOut();
        EXPECT_TRUE(cut_out);
        page = CutOutGetPageSize(cut_out.get());
        Forget();
    }
    RectD Rect() const {
        RectD rect;
        return CutOutGetRect(cut_out.get(), rect);
    }
    Ref<CutOutState> cut_out;
    SizeD page;
};

void ExpectRect(const RectD& rect, double x, double y, double width, double height) {
    EXPECT_NEAR(rect.origin.x, x, 1e-9);
    EXPECT_NEAR(rect.origin.y, y, 1e-9);
    EXPECT_NEAR(rect.size.width, width, 1e-9);
    EXPECT_NEAR(rect.size.height, height, 1e-9);
}

}  // namespace

// The cut-out's rotation counts counter-clockwise, as the picture turns:
// "rotate left" adds 90. Switches, DDE and stored session lists depend on it.
TEST(ViewCommands, TurnsMirrorsAndInversion) {
    PageViewer viewer("view_rotation");
    ViewerContext* context = viewer.context.get();
    CutOutState* state = viewer.cut_out.get();
    const std::pair<uint32_t, uint32_t> steps[] = {
        {command::kRotateLeft, 90},   {command::kRotateRight, 0},  {command::kRotateRight, 270},
        {command::kRotateRight, 180}, {command::kRotateLeft, 270}, {command::kRotateLeft, 0},
    };
    for (const auto& [id, rotation] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(CutOutGetRotation(state), rotation) << "after command " << id;
    }
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(6, event::kViewRotation));
    EXPECT_TRUE(ViewerRotatePage(context, -1, -36090, false)) << "steps far below zero still come round";
    EXPECT_FALSE(ViewerRotatePage(context, -1, 45, true));
    EXPECT_FALSE(ViewerRotatePage(context, DocItemGetId(viewer.Document(0).get()), 90, true));
    EXPECT_EQ(CutOutGetRotation(state), 270u);

    // While the page is turned by a quarter, the mirrors on screen swap.
    viewer.Forget();
    CutOutSetRotation(state, 0);
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_FALSE(CutOutGetMirrorHorizontal(state));
    CutOutSetRotation(state, 90);
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_TRUE(CutOutGetMirrorHorizontal(state)) << "vertical on screen is the page's horizontal";
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(2, event::kViewMirroring));
    // From outside the page's own flag is set, turned or not; setting the
    // value it has already reports nothing.
    viewer.Forget();
    EXPECT_TRUE(ViewerMirrorVertical(context, -1, false, true));
    EXPECT_TRUE(ViewerMirrorVertical(context, -1, false, true));
    EXPECT_FALSE(CutOutGetMirrorVertical(state));
    EXPECT_EQ(viewer.ViewMasks().size(), 1u);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kInvert));
    EXPECT_TRUE(CutOutGetInvert(state));
    EXPECT_FALSE(ViewerSetInverted(context, 555555, false, true));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewInversion});
}

// Restrictions 1024 (zoom) and 2048 (scroll) bind the viewer's own roads;
// callers from outside (kind 2) are not bound by them.
TEST(ViewCommands, ZoomAboutTheCentreWithinRestrictionsAndLimits) {
    PageViewer viewer("view_zoom");
    ViewerContext* context = viewer.context.get();
    const double w = viewer.page.width, h = viewer.page.height;
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    EXPECT_TRUE(viewer.Command(command::kZoomOut));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomAll));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(4, event::kViewZoom));
    // The whole page does not grow; nothing is reported.
    viewer.Forget();
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, 0.8));
    EXPECT_TRUE(viewer.ViewMasks().empty());

    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kZoom);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_FALSE(ViewerSetCutOut(context, 0, -1, RectD{SizeD{10, 10}, PointD{}}, false));
    EXPECT_TRUE(ViewZoomByFactor(context, 2, -1, 1.2));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(ViewerZoomAll(context, 2, -1));
    viewer.GetSettings()->restrictions = 0;

    // Zooming in stops once the cut-out is a thousandth of the page.
    int steps = 0;
    while (ViewZoomByFactor(context, 0, -1, 1.2) && steps < 100) ++steps;
    EXPECT_EQ(steps, 10);  // 1/1024 is the first size not above 1/1000
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, NAN));
    // A fixed zoom factor stops zooming; bad factors are refused.
    viewer.Command(command::kZoomAll);
    ASSERT_TRUE(ViewerSetZoomFactor(context, -1, 0, 1.5, true));
    EXPECT_FALSE(ViewZoomByFactor(context, 0, -1, 1.2));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, -1.0, true));
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, INFINITY, false));
    // No such page: the fixed factor is still cleared.
    EXPECT_TRUE(ViewerSetZoomFactor(context, 424242, 0, 3.0, false));
    EXPECT_EQ(SettingsGetZoomFactor(viewer.GetSettings().get()), 0.0);
}

TEST(ViewCommands, CutOutsFromOutsideAreFittedIntoThePageAndTheStandardViewReturns) {
    Ref<OpenParams> params = OpenParamsCreate();
    ASSERT_TRUE(OpenParamsSetCutOut(params.get(), RectD{SizeD{20, 10}, PointD{5, 5}}));
    OpenParamsSetRotation(params.get(), 90);
    PageViewer viewer("view_cut_out", params.get());
    ViewerContext* context = viewer.context.get();
    CutOutState* state = viewer.cut_out.get();
    const double w = viewer.page.width, h = viewer.page.height;
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    ASSERT_EQ(CutOutGetRotation(state), 90u);

    // Hanging over the far edge: moved back inside.
    EXPECT_TRUE(ViewerSetCutOut(context, 2, -1, RectD{SizeD{10, 5}, PointD{w - 4, h - 1}}, false));
    ExpectRect(viewer.Rect(), w - 10, h - 5, 10, 5);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewZoom});

    viewer.Command(command::kInvert);
    viewer.Command(command::kRotateLeft);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kStandardView));
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    EXPECT_EQ(CutOutGetRotation(state), 90u);
    EXPECT_FALSE(CutOutGetInvert(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewEverything});
}
