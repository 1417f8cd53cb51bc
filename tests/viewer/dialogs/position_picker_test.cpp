#include "viewer/dialogs/position_picker.h"

#include <gtest/gtest.h>

TEST(PositionPicker, ClicksPickTheCellOfTheSymbolUnderThem) {
    // 300 x 300: cells of 100, symbols centred at 50, 150, 250; hit boxes
    // 29 to either side (300/12 + 4) and 16 up and down (300/30 + 6).
    const RECT rect = {0, 0, 300, 300};
    struct Case {
        POINT point;
        int cell;
    };
    const Case cases[] = {
        {{50, 50}, 0},   {{150, 50}, 1},   {{250, 50}, 2},   {{50, 150}, 3},  {{150, 150}, 4},
        {{250, 150}, 5}, {{50, 250}, 6},   {{150, 250}, 7},  {{250, 250}, 8}, {{79, 50}, 0},
        {{80, 50}, -1},  {{21, 50}, 0},    {{20, 50}, -1},   {{150, 166}, 4}, {{150, 167}, -1},
        {{150, 134}, 4}, {{150, 133}, -1}, {{300, 150}, -1}, {{-1, 150}, -1}, {{150, 300}, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PositionPickerHitTest(rect, c.point), c.cell) << c.point.x << "," << c.point.y;
    }
    // The same with an offset rectangle, and an empty one.
    const RECT moved = {100, 40, 400, 340};
    EXPECT_EQ(PositionPickerHitTest(moved, {350, 290}), 8);
    EXPECT_EQ(PositionPickerHitTest(moved, {50, 50}), -1);
    EXPECT_EQ(PositionPickerHitTest(RECT{10, 10, 10, 40}, {10, 20}), -1);
}
