// Where a page lands in an area, and the sense in which a view's rotation
// turns the picture, pinned on real renders.
#include "viewer/views/area_placement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "tests/viewer/views/random_pages.h"
#include "viewer/views/cut_out_state.h"

namespace {

RectD Rect(double x, double y, double w, double h) {
    RectD rect;
    return RectDSet(rect, x, y, w, h);
}

PageAreaRequest Request(SizeD page, RectD cut_out, SizeD area) {
    PageAreaRequest request;
    request.page_size = page, request.cut_out = cut_out, request.area_size = area;
    request.printable = Rect(0, 0, area.width, area.height);
    return request;
}

TEST(PlacePageInArea, PlacesScalesAndTurnsAsAsked) {
    struct Case {
        const char* name;
        PageAreaRequest request;
        RectD area_rect, page_rect;
        uint32_t rotation;
    };
    std::vector<Case> cases;
    // A landscape page into a portrait area turns by 90 more, and the
    // margins turn with it (left takes top, top right, right bottom, bottom
    // left), which shows in the usable rectangle (2, 3) to (196, 299).
    PageAreaRequest r = Request({300, 200}, Rect(0, 0, 300, 200), {200, 300});
    r.auto_turn = true, r.margin_left = 1, r.margin_top = 2, r.margin_right = 3, r.margin_bottom = 4;
    cases.push_back({"auto-turn", r, Rect(2, 3, 194, 291), Rect(0, 0, 300, 200), 90});
    r.rotation = 90;  // already upright on the screen
    cases.push_back({"auto-turn of a turned page", r, Rect(1, 2, 196, 294), Rect(0, 0, 300, 200), 90});
    // A fixed zoom larger than the area shows less of the cut-out, not a smaller scale.
    r = Request({100, 100}, Rect(0, 0, 100, 100), {50, 50});
    r.zoom = 2;
    cases.push_back({"zoom past the area", r, Rect(0, 0, 50, 50), Rect(0, 0, 25, 25), 0});
    // Fitted and centred; filled with the cut-out's surroundings about its centre, within the page.
    r = Request({100, 100}, Rect(40, 40, 20, 10), {100, 100});
    r.centre_x = r.centre_y = true;
    cases.push_back({"fit centred", r, Rect(0, 25, 100, 50), Rect(40, 40, 20, 10), 0});
    r.fill = true;
    cases.push_back({"fill", r, Rect(0, 0, 100, 100), Rect(40, 35, 20, 20), 0});
    r.cut_out = Rect(0, 0, 20, 10);
    cases.push_back({"fill at the page's edge", r, Rect(0, 0, 100, 100), Rect(0, 0, 20, 20), 0});
    // Turned: the area takes the turned aspect, the page rectangle comes back unturned.
    r = Request({100, 200}, Rect(10, 20, 40, 20), {80, 80});
    r.rotation = 270;
    cases.push_back({"turned fit", r, Rect(0, 0, 40, 80), Rect(10, 20, 40, 20), 270});
    r.fill = true;
    cases.push_back({"turned fill", r, Rect(0, 0, 80, 80), Rect(10, 10, 40, 40), 270});
    for (const Case& c : cases) {
        PageAreaPlacement out;
        ASSERT_TRUE(PlacePageInArea(c.request, out)) << c.name;
        for (auto [got, want] :
             {std::pair{out.area_rect, c.area_rect}, std::pair{out.page_rect, c.page_rect}}) {
            EXPECT_NEAR(got.origin.x, want.origin.x, 1e-9) << c.name;
            EXPECT_NEAR(got.origin.y, want.origin.y, 1e-9) << c.name;
            EXPECT_NEAR(got.size.width, want.size.width, 1e-9) << c.name;
            EXPECT_NEAR(got.size.height, want.size.height, 1e-9) << c.name;
        }
        EXPECT_EQ(out.rotation, c.rotation) << c.name;
    }

    // Nothing to show: an empty page or cut-out, or a usable area under 10 units.
    PageAreaPlacement out;
    r = Request({100, 100}, Rect(0, 0, 100, 0), {100, 100});
    EXPECT_FALSE(PlacePageInArea(r, out));
    r = Request({100, 100}, Rect(0, 0, 100, 100), {100, 100});
    r.margin_left = 45, r.margin_right = 46;
    EXPECT_FALSE(PlacePageInArea(r, out));
    r.margin_right = 45;  // exactly 10 is enough
    EXPECT_TRUE(PlacePageInArea(r, out));
}

// ---- The sense of the view's rotation. It is called clockwise, as the
// render request's is, but the flips that go with it make the view show
// the page turned counter-clockwise ("rotate left" adds 90). Switches, DDE
// and stored session lists carry the value, so the sense is pinned here.

// Picture pixel (x, y) of `page` mirrored left-right (mh) and top-bottom
// (mv) on the page, then turned counter-clockwise by `rotation`.
uint32_t ViewedPixel(const RasterImage* page, uint32_t rotation, bool mh, bool mv, uint32_t x, uint32_t y) {
    const uint32_t w = page->width, h = page->height;
    uint32_t px = x, py = y;
    if (rotation == 90) px = w - 1 - y, py = x;
    if (rotation == 180) px = w - 1 - x, py = h - 1 - y;
    if (rotation == 270) px = y, py = h - 1 - x;
    return PictureRgb(page, mh ? w - 1 - px : px, mv ? h - 1 - py : py);
}

TEST(ViewRotation, TurnsThePictureCounterClockwiseAfterThePagesMirrors) {
    std::mt19937 random(90);
    const uint32_t width = 7, height = 5;  // odd and oblong: every turn and mirror shows
    const TestPage page = OpenTestPage(RandomTiff(random, PageKind::kGrey8, width, height, 254, 254), "7x5");
    ASSERT_TRUE(page.page);
    const SizeD page_mm{width * 0.1, height * 0.1};  // 0.1 mm a pixel
    PagePlacement plain;
    PagePlacementInit(plain);
    plain.rect = Rect(0, 0, page_mm.width, page_mm.height);
    plain.pixel_width = width, plain.pixel_height = height, plain.flip_y = 1;
    Ref<RasterImage> upright = PageRender(page.page.get(), nullptr, page.source.get(), &plain, nullptr);
    ASSERT_TRUE(upright);

    for (uint32_t rotation = 0; rotation < 360; rotation += 90) {
        for (int mirrors = 0; mirrors < 4; ++mirrors) {
            const bool mh = mirrors & 1, mv = mirrors & 2;
            SCOPED_TRACE(std::to_string(rotation) + (mh ? " mirror h" : "") + (mv ? " mirror v" : ""));
            Ref<CutOutState> state = CutOutCreate(page_mm);
            CutOutSetRotation(state.get(), rotation);
            CutOutSetMirrorHorizontal(state.get(), mh);
            CutOutSetMirrorVertical(state.get(), mv);
            // One target pixel per page pixel.
            const SizeI target{int32_t(rotation % 180 ? height : width),
                               int32_t(rotation % 180 ? width : height)};
            RectD cut_out;
            PagePlacement placement;
            PagePlacementInit(placement);
            PointI offset;
            ASSERT_TRUE(PagePlacementCompute(
                CutOutGetRect(state.get(), cut_out), SizeD{double(target.width), double(target.height)},
                Rect(0, 0, target.width, target.height), target, CutOutGetRotation(state.get()),
                CutOutGetMirrorHorizontal(state.get()), CutOutGetMirrorVertical(state.get()), false,
                placement, offset));
            Ref<RasterImage> shown =
                PageRender(page.page.get(), nullptr, page.source.get(), &placement, nullptr);
            ASSERT_TRUE(shown);
            ASSERT_EQ(shown->width, uint32_t(target.width));
            for (uint32_t y = 0; y < shown->height; ++y) {
                for (uint32_t x = 0; x < shown->width; ++x) {
                    ASSERT_EQ(PictureRgb(shown.get(), x, y),
                              ViewedPixel(upright.get(), rotation, mh, mv, x, y))
                        << "pixel (" << x << ", " << y << ")";
                }
            }
            // The page-to-pixel mapping puts the page's top-left corner where the picture has it.
            uint32_t cx = mh ? width : 0, cy = mv ? height : 0;
            if (rotation == 90) std::tie(cx, cy) = std::make_tuple(cy, width - cx);
            if (rotation == 180) std::tie(cx, cy) = std::make_tuple(width - cx, height - cy);
            if (rotation == 270) std::tie(cx, cy) = std::make_tuple(height - cy, cx);
            EXPECT_EQ(PagePlacementPageToPixel(placement, PointD{0, 0}), (PointI{int32_t(cx), int32_t(cy)}));
            // And the direction helper of markups and measuring turns page directions alike.
            const PointI from = PagePlacementPageToPixel(placement, PointD{0.3, 0.2});
            for (const PointD step : {PointD{0.2, 0}, PointD{0, 0.2}}) {
                const PointI to = PagePlacementPageToPixel(placement, PointD{0.3 + step.x, 0.2 + step.y});
                const PointD turned = PointDMirrorRotate(placement, step);
                EXPECT_NEAR(to.x - from.x, 10 * turned.x, 1e-6);
                EXPECT_NEAR(to.y - from.y, 10 * turned.y, 1e-6);
            }
        }
    }
}

}  // namespace
