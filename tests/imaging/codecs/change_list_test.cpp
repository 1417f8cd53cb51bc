#include "imaging/codecs/change_list.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "foundation/pool.h"

namespace {

std::vector<uint32_t> Elements(const ChangeList& list) {
    return std::vector<uint32_t>(list.elements, list.elements + list.count);
}

void Set(ChangeList& list, const std::vector<uint32_t>& elements) {
    for (size_t i = 0; i < elements.size(); ++i) list.elements[i] = elements[i];
    list.count = uint32_t(elements.size());
}

bool EndMarksFollow(const ChangeList& list) {
    for (uint32_t i = 0; i < kChangeListEndMarks; ++i) {
        if (list.elements[list.count + i] != list.width) return false;
    }
    return true;
}

}  // namespace

TEST(ChangeList, InitEmptyAndTerminate) {
    ChangeList list;
    EXPECT_FALSE(ChangeListInit(list, 0));
    EXPECT_FALSE(ChangeListInit(list, kChangeListMaxWidth + 1));
    ASSERT_TRUE(ChangeListInit(list, 10));
    EXPECT_EQ(reinterpret_cast<uintptr_t>(list.elements) % 8, 0u);
    EXPECT_EQ(Elements(list), (std::vector<uint32_t>{10}));
    EXPECT_TRUE(ChangeListIsEmpty(list));
    ChangeListClear(list);
    EXPECT_TRUE(ChangeListIsEmpty(list));
    Set(list, {0, 10});
    EXPECT_FALSE(ChangeListIsEmpty(list));

    struct Case {
        std::vector<uint32_t> before, after;
    };
    const Case cases[] = {
        {{}, {10}},                // nothing decoded: white
        {{3, 7, 10}, {3, 7, 10}},  // ends at the width: stays
        {{3, 10}, {3, 10}},
        {{3, 7}, {3, 7, 10}},     // an open white run runs to the end
        {{3, 7, 9}, {3, 7, 10}},  // an open black run is dropped
        {{3}, {10}},
        {{3, 7, 12}, {3, 7, 10}},  // a run past the end is cut at it
        {{3, 12, 15}, {3, 10}},
        {{12}, {10}},
    };
    for (const Case& c : cases) {
        Set(list, c.before);
        ChangeListTerminate(list);
        EXPECT_EQ(Elements(list), c.after);
        EXPECT_TRUE(EndMarksFollow(list));
    }
}

// Against a plain scan of every bit, on random rows of every density,
// widths 1 to 140 and pixel counts below, at and above the width. The row
// handed over is a pool block of just the bytes the pixels need, so the
// guard-page build faults on any read past it.
TEST(ChangeList, FromRowRecordsEveryChange) {
    std::mt19937 random(3);
    for (uint32_t width = 1; width <= 140; ++width) {
        ChangeList list;
        ASSERT_TRUE(ChangeListInit(list, width));
        for (int trial = 0; trial < 30; ++trial) {
            std::vector<uint8_t> row((width + 7) / 8 + 2);
            const int density = trial % 5;  // 0 all clear ... 4 all set
            for (uint8_t& b : row) {
                b = 0;
                for (int bit = 0; bit < 8; ++bit) {
                    if (int(random() % 4) < density) b |= uint8_t(1 << bit);
                }
            }
            const uint32_t pixels = trial % 3 == 0 ? width + 5 : trial % 3 == 1 ? width : width / 2;
            const uint32_t n = std::min(pixels, width);
            auto* exact = static_cast<uint8_t*>(PoolAlloc(n ? (n + 7) / 8 : 1, 0, 0));
            ASSERT_NE(exact, nullptr);
            memcpy(exact, row.data(), (n + 7) / 8);
            for (uint32_t start : {0u, 1u}) {
                ChangeListFromRowStartingIn(list, exact, pixels, start);
                std::vector<uint32_t> expect;
                uint32_t state = start;
                for (uint32_t x = 0; x < n; ++x) {
                    const uint32_t bit = (row[x / 8] >> (7 - x % 8)) & 1;
                    if (bit != state) {
                        expect.push_back(x);
                        state = bit;
                    }
                }
                expect.push_back(n);
                if (n < width) {
                    // Completed past the pixel count as if in the start state.
                    if (expect.size() % 2 == 0) {
                        expect.push_back(width);
                    } else {
                        expect.back() = width;
                    }
                }
                EXPECT_EQ(Elements(list), expect) << width << " " << trial << " " << start;
                EXPECT_TRUE(EndMarksFollow(list));
            }
            PoolFree(exact);
        }
    }
}
