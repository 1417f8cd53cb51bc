// The cut-out state: what counts as a cut-out, how a new one is fitted into
// the page, what the open parameters set, and copying between two states
// from two threads at once.
#include "viewer/views/cut_out_state.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <string>

#include "foundation/handles.h"
#include "viewer/core/open_params.h"

namespace {

RectD Rect(double x, double y, double w, double h) {
    RectD rect;
    rect.origin = PointD{x, y}, rect.size = SizeD{w, h};  // as given, negative sizes too
    return rect;
}

TEST(CutOutState, ValidityFollowsThePageEdgesWithTheirSlack) {
    const double W = 210, H = 297;
    Ref<CutOutState> state = CutOutCreate(SizeD{W, H});
    struct Case {
        RectD rect;
        bool valid;
    };
    const Case cases[] = {
        {Rect(0, 0, W, H), true},
        {Rect(0, 0, W + 0.000005, H), true},
        {Rect(0, 0, W, H + 0.0001), false},
        {Rect(-0.001, 0, 10, 10), false},
        {Rect(5, 5, 0.0000001 * W, 10), false},
        {Rect(5, 5, 0.000002 * W, 0.000002 * H), true},
        {Rect(20, 5, -10, 10), false},
        {Rect(NAN, 5, 10, 10), false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(CutOutIsValidRect(state.get(), c.rect), c.valid)
            << c.rect.origin.x << ", " << c.rect.origin.y << ", " << c.rect.size.width << ", "
            << c.rect.size.height;
    }
}

TEST(CutOutState, NewCutOutIsMovedAndCutIntoThePageOrRefused) {
    struct Case {
        RectD given;
        bool taken;
        RectD stored;  // the earlier cut-out when refused
    };
    const Case cases[] = {
        {Rect(10, 20, 30, 40), true, Rect(10, 20, 30, 40)},
        {Rect(90, -5, 30, 40), true, Rect(70, 0, 30, 40)},
        {Rect(-10, 20, 150, 40), true, Rect(0, 20, 100, 40)},
        {Rect(-10, -10, 500, 500), true, Rect(0, 0, 100, 200)},
        {Rect(0, 0, 0, 10), false, Rect(1, 2, 3, 4)},
        {Rect(0, 0, 10, -5), false, Rect(1, 2, 3, 4)},
        {Rect(NAN, 0, 10, 10), false, Rect(1, 2, 3, 4)},
        {Rect(0, 0, INFINITY, 10), false, Rect(1, 2, 3, 4)},
    };
    for (const Case& c : cases) {
        Ref<CutOutState> state = CutOutCreate(SizeD{100, 200});
        ASSERT_TRUE(CutOutSetRect(state.get(), Rect(1, 2, 3, 4)));
        ASSERT_TRUE(CutOutSetZoom(state.get(), 2.5));
        EXPECT_EQ(CutOutSetRect(state.get(), c.given), c.taken);
        RectD stored;
        EXPECT_EQ(CutOutGetRect(state.get(), stored), c.stored);
        // A new cut-out is shown fitted; a refused one changes nothing.
        EXPECT_EQ(CutOutGetZoom(state.get()), c.taken ? 0.0 : 2.5);
    }
    Ref<CutOutState> no_area = CutOutCreate(SizeD{0, 0});
    EXPECT_FALSE(CutOutSetRect(no_area.get(), Rect(0, 0, 1, 1)));
    EXPECT_FALSE(CutOutSetRotation(no_area.get(), 45));
}

TEST(CutOutState, OpenParametersSetTheCutOutOrMarginsAndTheViewFlags) {
    struct Case {
        const char* name;
        void (*set)(OpenParams*);
        RectD cut_out;
    };
    const Case cases[] = {
        {"nothing", [](OpenParams*) {}, Rect(0, 0, 20, 30)},
        {"cut-out", [](OpenParams* p) { OpenParamsSetCutOut(p, Rect(18, 3, 5, 6)); }, Rect(15, 3, 5, 6)},
        {"cut-out before margins",
         [](OpenParams* p) {
             OpenParamsSetOffsets(p, 1, 1, 1, 1);
             OpenParamsSetCutOut(p, Rect(2, 3, 5, 6));
         },
         Rect(2, 3, 5, 6)},
        {"margins", [](OpenParams* p) { OpenParamsSetOffsets(p, 1, 2, 3, 4); }, Rect(1, 2, 16, 24)},
        {"margins leaving no width", [](OpenParams* p) { OpenParamsSetOffsets(p, 10, 10, 10, 10); },
         Rect(0, 0, 20, 30)},
        {"flags",
         [](OpenParams* p) {
             OpenParamsSetInverted(p, true);
             OpenParamsSetMirrorH(p, true);
             OpenParamsSetRotation(p, -90);
         },
         Rect(0, 0, 20, 30)},
    };
    for (const Case& c : cases) {
        Ref<CutOutState> state = CutOutCreate(SizeD{20, 30});
        CutOutSetMirrorVertical(state.get(), true);  // unset in every case: cleared
        Ref<OpenParams> params = OpenParamsCreate();
        c.set(params.get());
        EXPECT_TRUE(CutOutApplyOpenParams(state.get(), params.get())) << c.name;
        RectD rect;
        EXPECT_EQ(CutOutGetRect(state.get(), rect), c.cut_out) << c.name;
        const bool flags = std::string(c.name) == "flags";
        EXPECT_EQ(CutOutGetInvert(state.get()), flags) << c.name;
        EXPECT_EQ(CutOutGetMirrorHorizontal(state.get()), flags) << c.name;
        EXPECT_FALSE(CutOutGetMirrorVertical(state.get())) << c.name;
        EXPECT_EQ(CutOutGetRotation(state.get()), flags ? 270u : 0u) << c.name;
    }
    EXPECT_FALSE(CutOutApplyOpenParams(CutOutCreate(SizeD{20, 30}).get(), nullptr));
}

struct CrossCopy {
    CutOutState* target;
    CutOutState* source;
};

DWORD WINAPI CopyRepeatedly(void* argument) {
    const CrossCopy* job = static_cast<CrossCopy*>(argument);
    for (int i = 0; i < 300; ++i) CutOutAssign(job->target, job->source);
    return 0;
}

TEST(CutOutState, TwoStatesCopiedIntoEachOtherFromTwoThreadsNeverDeadlock) {
    Ref<CutOutState> a = CutOutCreate(SizeD{20, 30});
    Ref<CutOutState> b = CutOutCreate(SizeD{40, 50});
    CutOutSetRotation(b.get(), 180);
    CutOutSetZoom(b.get(), 1.5);
    CrossCopy a_to_b{b.get(), a.get()}, b_to_a{a.get(), b.get()};
    UniqueHandle first(CreateThread(nullptr, 0, CopyRepeatedly, &a_to_b, 0, nullptr));
    UniqueHandle second(CreateThread(nullptr, 0, CopyRepeatedly, &b_to_a, 0, nullptr));
    ASSERT_TRUE(first && second);
    const HANDLE both[] = {first.get(), second.get()};
    ASSERT_EQ(WaitForMultipleObjects(2, both, TRUE, 60000), WAIT_OBJECT_0);
    // Each copy is whole: a page size always comes with its own cut-out and view.
    for (CutOutState* state : {a.get(), b.get()}) {
        const SizeD size = CutOutGetPageSize(state);
        const bool second_page = size == SizeD{40, 50};
        RectD rect;
        EXPECT_EQ(CutOutGetRect(state, rect), Rect(0, 0, size.width, size.height));
        EXPECT_EQ(CutOutGetRotation(state), second_page ? 180u : 0u);
        EXPECT_EQ(CutOutGetZoom(state), second_page ? 1.5 : 0.0);
    }
    Ref<CutOutState> copy = CutOutCopy(b.get());
    EXPECT_EQ(CutOutGetPageSize(copy.get()), CutOutGetPageSize(b.get()));
}

}  // namespace
