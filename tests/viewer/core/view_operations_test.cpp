// The view commands against a page opened from a TIFF: turns, mirrors,
// inversion, zoom, the whole page, the standard view, cut-outs and zoom
// factors from outside, and the view notifications they post.
#include "viewer/core/view_operations.h"

#include <gtest/gtest.h>

#include <cmath>

#include "tests/viewer/core/actions_test_support.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"

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

TEST(ViewCommands, RotationTurnsByQuarters) {
    PageViewer viewer("view_rotation");
    ViewerContext* context = viewer.context.get();
    CutOutState* state = viewer.cut_out.get();
    // Left adds 90; right takes 90 away, and 0 - 90 comes round to 270.
    const std::pair<uint32_t, uint32_t> steps[] = {
        {command::kRotateLeft, 90},   {command::kRotateRight, 0},  {command::kRotateRight, 270},
        {command::kRotateRight, 180}, {command::kRotateLeft, 270}, {command::kRotateLeft, 0},
    };
    for (const auto& [id, rotation] : steps) {
        EXPECT_TRUE(viewer.Command(id));
        EXPECT_EQ(CutOutGetRotation(state), rotation) << "after command " << id;
    }
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(6, event::kViewRotation));

    EXPECT_TRUE(ViewerRotatePage(context, -1, -450, true));
    EXPECT_EQ(CutOutGetRotation(state), 270u);
    EXPECT_TRUE(ViewerRotatePage(context, -1, -36090, false)) << "steps far below zero still come round";
    EXPECT_EQ(CutOutGetRotation(state), 180u);
    EXPECT_FALSE(ViewerRotatePage(context, -1, 45, true));
    EXPECT_FALSE(ViewerRotatePage(context, -1, 30, false));
    EXPECT_EQ(CutOutGetRotation(state), 180u);
    ExpectRect(viewer.Rect(), 0, 0, viewer.page.width, viewer.page.height);

    // A page that is not the active one turns without a view notification.
    viewer.Forget();
    Ref<DocItem> second = viewer.Page(0, 1);
    EXPECT_TRUE(ViewerRotatePage(context, DocItemGetId(second.get()), 90, true));
    EXPECT_EQ(CutOutGetRotation(second->GetCutOut().get()), 90u);
    EXPECT_TRUE(viewer.ViewMasks().empty());
    // A document has no page state to turn.
    EXPECT_FALSE(ViewerRotatePage(context, DocItemGetId(viewer.Document(0).get()), 90, true));
}

TEST(ViewCommands, MirrorsSwapWhileThePageIsTurnedByAQuarter) {
    PageViewer viewer("view_mirror");
    CutOutState* state = viewer.cut_out.get();
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_FALSE(CutOutGetMirrorHorizontal(state));
    EXPECT_TRUE(viewer.Command(command::kMirrorHorizontal));
    EXPECT_TRUE(CutOutGetMirrorHorizontal(state));

    CutOutSetRotation(state, 90);
    EXPECT_TRUE(viewer.Command(command::kMirrorVertical));
    EXPECT_FALSE(CutOutGetMirrorHorizontal(state)) << "vertical on screen is the page's horizontal";
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    CutOutSetRotation(state, 270);
    EXPECT_TRUE(viewer.Command(command::kMirrorHorizontal));
    EXPECT_FALSE(CutOutGetMirrorVertical(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(4, event::kViewMirroring));

    // From outside the page's own flag is set, turned or not; setting the
    // value it has already changes nothing and reports nothing.
    viewer.Forget();
    EXPECT_TRUE(ViewerMirrorVertical(viewer.context.get(), -1, true, true));
    EXPECT_TRUE(CutOutGetMirrorVertical(state));
    EXPECT_TRUE(ViewerMirrorVertical(viewer.context.get(), -1, true, true));
    EXPECT_EQ(viewer.ViewMasks().size(), 1u);
}

TEST(ViewCommands, InversionTogglesAndIsSetFromOutside) {
    PageViewer viewer("view_invert");
    CutOutState* state = viewer.cut_out.get();
    EXPECT_TRUE(viewer.Command(command::kInvert));
    EXPECT_TRUE(CutOutGetInvert(state));
    EXPECT_TRUE(viewer.Command(command::kInvert));
    EXPECT_FALSE(CutOutGetInvert(state));
    EXPECT_EQ(viewer.ViewMasks(), (std::vector<int32_t>{event::kViewInversion, event::kViewInversion}));
    EXPECT_TRUE(ViewerSetInverted(viewer.context.get(), -1, true, true));
    EXPECT_TRUE(CutOutGetInvert(state));
    EXPECT_FALSE(ViewerSetInverted(viewer.context.get(), 555555, true, true));
}

TEST(ViewCommands, ZoomHalvesAndDoublesTheCutOutAboutItsCentre) {
    PageViewer viewer("view_zoom");
    const double w = viewer.page.width, h = viewer.page.height;
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    ExpectRect(viewer.Rect(), 3 * w / 8, 3 * h / 8, w / 4, h / 4);
    EXPECT_TRUE(viewer.Command(command::kZoomOut));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(viewer.Command(command::kZoomAll));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(4, event::kViewZoom));

    // The whole page does not grow; nothing is reported.
    viewer.Forget();
    EXPECT_FALSE(ViewZoomByFactor(viewer.context.get(), 0, -1, 0.8));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_TRUE(viewer.ViewMasks().empty());

    // Zooming in stops once the cut-out is a thousandth of the page.
    int steps = 0;
    while (ViewZoomByFactor(viewer.context.get(), 0, -1, 1.2) && steps < 100) ++steps;
    EXPECT_EQ(steps, 10);  // 1/1024 is the first size not above 1/1000
    EXPECT_FALSE(ViewZoomByFactor(viewer.context.get(), 0, -1, NAN));
}

TEST(ViewCommands, TheZoomRestrictionAndAFixedFactorStopZooming) {
    PageViewer viewer("view_zoom_refused");
    const double w = viewer.page.width, h = viewer.page.height;
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kZoom);
    EXPECT_TRUE(viewer.Command(command::kZoomIn));
    EXPECT_TRUE(viewer.Command(command::kZoomOut));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
    EXPECT_FALSE(ViewerSetCutOut(viewer.context.get(), 0, -1, RectD{SizeD{10, 10}, PointD{}}, false));
    // Callers from outside (kind 2) are not bound by it.
    EXPECT_TRUE(ViewZoomByFactor(viewer.context.get(), 2, -1, 1.2));
    ExpectRect(viewer.Rect(), w / 4, h / 4, w / 2, h / 2);
    EXPECT_TRUE(ViewerZoomAll(viewer.context.get(), 2, -1));
    EXPECT_EQ(viewer.ViewMasks(), (std::vector<int32_t>{event::kViewZoom, event::kViewZoom}));

    viewer.GetSettings()->restrictions = 0;
    ASSERT_TRUE(ViewerSetZoomFactor(viewer.context.get(), -1, 0, 1.5, true));
    EXPECT_FALSE(ViewZoomByFactor(viewer.context.get(), 0, -1, 1.2));
    ExpectRect(viewer.Rect(), 0, 0, w, h);
}

TEST(ViewCommands, StandardViewReturnsToTheOpenParameters) {
    Ref<OpenParams> params = OpenParamsCreate();
    ASSERT_TRUE(OpenParamsSetCutOut(params.get(), RectD{SizeD{20, 10}, PointD{5, 5}}));
    OpenParamsSetRotation(params.get(), 90);
    PageViewer viewer("view_standard", params.get());
    CutOutState* state = viewer.cut_out.get();
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    ASSERT_EQ(CutOutGetRotation(state), 90u);

    viewer.Command(command::kZoomAll);
    viewer.Command(command::kInvert);
    viewer.Command(command::kRotateLeft);
    viewer.Forget();
    EXPECT_TRUE(viewer.Command(command::kStandardView));
    ExpectRect(viewer.Rect(), 5, 5, 20, 10);
    EXPECT_EQ(CutOutGetRotation(state), 90u);
    EXPECT_FALSE(CutOutGetInvert(state));
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewEverything});
}

TEST(ViewCommands, CutOutsFromOutsideAreFittedIntoThePage) {
    PageViewer viewer("view_cut_out");
    ViewerContext* context = viewer.context.get();
    const double w = viewer.page.width, h = viewer.page.height;
    EXPECT_TRUE(ViewerSetCutOut(context, 2, -1, RectD{SizeD{0.5, 0.25}, PointD{0.25, 0.5}}, true));
    ExpectRect(viewer.Rect(), w / 4, h / 2, w / 2, h / 4);
    EXPECT_TRUE(ViewerSetCutOut(context, 2, -1, RectD{SizeD{10, 5}, PointD{2, 3}}, false));
    ExpectRect(viewer.Rect(), 2, 3, 10, 5);
    // Hanging over the far edge: moved back inside.
    EXPECT_TRUE(ViewerSetCutOut(context, 2, -1, RectD{SizeD{10, 5}, PointD{w - 4, h - 1}}, false));
    ExpectRect(viewer.Rect(), w - 10, h - 5, 10, 5);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>(3, event::kViewZoom));

    for (const RectD& bad : {RectD{SizeD{0, 5}, PointD{}}, RectD{SizeD{-5, 5}, PointD{10, 10}},
                             RectD{SizeD{NAN, 5}, PointD{}}, RectD{SizeD{5, 5}, PointD{NAN, 0}}}) {
        EXPECT_FALSE(ViewerSetCutOut(context, 2, -1, bad, false));
    }
    ExpectRect(viewer.Rect(), w - 10, h - 5, 10, 5);
}

TEST(ViewCommands, ZoomFactorIsFixedForEveryPageOrTakenByOne) {
    PageViewer viewer("view_zoom_factor");
    ViewerContext* context = viewer.context.get();
    Ref<Settings> settings = viewer.GetSettings();

    Variant fixed;
    VariantInitObject(fixed, ZoomValueCreate(1.5, true).get());
    ViewerSendActionArg(context, event::kZoomFactor, fixed);
    EXPECT_EQ(SettingsGetZoomFactor(settings.get()), 1.5);
    EXPECT_EQ(CutOutGetZoom(viewer.cut_out.get()), 0.0);
    EXPECT_TRUE(viewer.ViewMasks().empty());
    EXPECT_EQ(viewer.Count(event::kSettingChanged), 1u);

    viewer.Forget();
    Variant page_only;
    VariantInitObject(page_only, ZoomValueCreate(2.0, false).get());
    ViewerSendActionArg(context, event::kZoomFactor, page_only);
    EXPECT_EQ(SettingsGetZoomFactor(settings.get()), 0.0);
    EXPECT_EQ(CutOutGetZoom(viewer.cut_out.get()), 2.0);
    EXPECT_EQ(viewer.ViewMasks(), std::vector<int32_t>{event::kViewFixedZoom});

    // No such page: the fixed factor is still cleared.
    ASSERT_TRUE(ViewerSetZoomFactor(context, -1, 0, 1.0, true));
    EXPECT_TRUE(ViewerSetZoomFactor(context, 424242, 0, 3.0, false));
    EXPECT_EQ(SettingsGetZoomFactor(settings.get()), 0.0);
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, -1.0, true));
    EXPECT_FALSE(ViewerSetZoomFactor(context, -1, 0, INFINITY, false));
    EXPECT_FALSE(ViewerSetZoomFactor(nullptr, -1, 0, 1.0, true));
}

TEST(ViewCommands, ScrollCommandsMoveTheCutOutThroughTheMainView) {
    PageViewer viewer("view_scroll");
    ASSERT_TRUE(viewer.OpenFrame());
    Ref<FrameWindow> frame = AppGetFrame(viewer.root.get());
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    ASSERT_TRUE(view);
    ASSERT_TRUE(viewer.Command(command::kZoomIn));
    PumpPending();
    ASSERT_TRUE(MainViewGetMapping(view.get()));
    const RectD zoomed = viewer.Rect();

    EXPECT_TRUE(viewer.Command(command::kScrollRight));
    RectD moved = viewer.Rect();
    EXPECT_GT(moved.origin.x, zoomed.origin.x);
    EXPECT_EQ(moved.origin.y, zoomed.origin.y);
    EXPECT_EQ(moved.size, zoomed.size);
    PumpPending();
    EXPECT_TRUE(viewer.Command(command::kScrollDown));
    EXPECT_GT(viewer.Rect().origin.y, moved.origin.y);

    // Scrolling forbidden: the commands change nothing.
    PumpPending();
    SettingsAddRestrictions(viewer.GetSettings().get(), nullptr, 0, restriction::kScroll);
    moved = viewer.Rect();
    EXPECT_TRUE(viewer.Command(command::kScrollLeft));
    EXPECT_TRUE(viewer.Command(command::kScrollUp));
    EXPECT_EQ(viewer.Rect(), moved);
}
