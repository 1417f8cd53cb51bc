// What counts as a cut-out of a page, and how a new one is moved and cut
// into the page or refused.
#include "viewer/views/cut_out_state.h"

#include <gtest/gtest.h>

#include <cmath>

static RectD Rect(double x, double y, double w, double h) {
    RectD rect;
    rect.origin = PointD{x, y}, rect.size = SizeD{w, h};  // as given, negative sizes too
    return rect;
}

TEST(CutOutState, InvalidCutOutsAreRefusedAndChangeNothing) {
    const double W = 100, H = 200;
    const RectD earlier = Rect(1, 2, 3, 4), unset = Rect(-1, -1, -1, -1);
    struct Case {
        RectD rect;
        bool valid;    // as a cut-out of the page
        RectD stored;  // after setting it (`earlier` when refused), or `unset`: not set
    } const cases[] = {
        {Rect(0, 0, W, H), true, Rect(0, 0, W, H)},
        {Rect(0, 0, W + 0.000005, H), true, Rect(0, 0, W, H)},
        {Rect(0, 0, W, H + 0.0001), false, Rect(0, 0, W, H)},
        {Rect(-0.001, 0, 10, 10), false, Rect(0, 0, 10, 10)},
        {Rect(90, -5, 30, 40), false, Rect(70, 0, 30, 40)},
        {Rect(-10, -10, 500, 500), false, Rect(0, 0, W, H)},
        {Rect(5, 5, 0.0000001 * W, 10), false, unset},
        {Rect(5, 5, 0.000002 * W, 0.000002 * H), true, unset},
        {Rect(0, 0, 0, 10), false, earlier},
        {Rect(20, 5, -10, 10), false, earlier},
        {Rect(NAN, 5, 10, 10), false, earlier},
        {Rect(0, 0, INFINITY, 10), false, earlier},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rect.origin.x << ", " << c.rect.origin.y << ", "
                                        << c.rect.size.width << ", " << c.rect.size.height);
        Ref<CutOutState> state = CutOutCreate(SizeD{W, H});
        EXPECT_EQ(CutOutIsValidRect(state.get(), c.rect), c.valid);
        if (c.stored == unset) continue;
        ASSERT_TRUE(CutOutSetRect(state.get(), earlier) && CutOutSetZoom(state.get(), 2.5));
        const bool taken = !(c.stored == earlier);
        EXPECT_EQ(CutOutSetRect(state.get(), c.rect), taken);
        RectD stored;
        EXPECT_EQ(CutOutGetRect(state.get(), stored), c.stored);
        EXPECT_EQ(CutOutGetZoom(state.get()), taken ? 0.0 : 2.5);  // a new cut-out is shown fitted
    }
    EXPECT_FALSE(CutOutSetRect(CutOutCreate(SizeD{0, 0}).get(), Rect(0, 0, 1, 1)));
}
