#include "foundation/handles.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

TEST(UniqueResource, ClosesEachValueExactlyOnce) {
    static std::vector<int> closed;
    struct Logged {  // a resource that is a plain number; closing logs it
        using Type = int;
        static Type Empty() { return 0; }
        static bool IsValid(Type value) { return value != 0; }
        static void Close(Type value) { closed.push_back(value); }
    };
    {
        UniqueResource<Logged> first(1), moved(std::move(first)), target(2);
        target = std::move(moved);  // closes what the target held
        target.Reset(3);
        target.Reset(3);  // the value already held stays open
        EXPECT_EQ(closed, (std::vector<int>{2, 1}));
        EXPECT_EQ(target.Release(), 3);  // the caller's now: never closed here
        UniqueResource<Logged> last(4);
    }
    // Nothing closed twice: not the moved-from owners, not the released value.
    EXPECT_EQ(closed, (std::vector<int>{2, 1, 4}));
}

TEST(ScopedSelect, RestoresThePreviousObject) {
    MemoryDC dc(nullptr);
    GdiBitmap outer_bitmap(CreateBitmap(4, 4, 1, 1, nullptr)),
        inner_bitmap(CreateBitmap(8, 8, 1, 1, nullptr));
    ASSERT_TRUE(dc && outer_bitmap && inner_bitmap);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    ASSERT_NE(original, nullptr);
    {
        ScopedSelect outer(dc.get(), outer_bitmap.get());
        {
            ScopedSelect inner(dc.get(), inner_bitmap.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), inner_bitmap.get());
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), outer_bitmap.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}
