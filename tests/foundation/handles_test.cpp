#include "foundation/handles.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <utility>
#include <vector>

namespace {

// A resource that is a plain number; closing logs it.
struct LoggedTraits {
    using Type = int;
    static inline std::vector<int> closed;
    static Type Empty() { return 0; }
    static bool IsValid(Type value) { return value != 0; }
    static void Close(Type value) { closed.push_back(value); }
};
using LoggedResource = UniqueResource<LoggedTraits>;

}  // namespace

TEST(UniqueResource, ClosesEachValueExactlyOnce) {
    LoggedTraits::closed.clear();
    {
        LoggedResource first(1);
        LoggedResource moved(std::move(first));
        EXPECT_FALSE(first.valid());
        EXPECT_EQ(moved.get(), 1);

        LoggedResource target(2);
        target = std::move(moved);  // closes what the target held
        EXPECT_EQ(LoggedTraits::closed, std::vector<int>{2});

        target.Reset(3);
        target.Reset(3);  // the value already held stays open
        EXPECT_EQ(LoggedTraits::closed, (std::vector<int>{2, 1}));

        EXPECT_EQ(target.Release(), 3);  // the caller's now: never closed here
        EXPECT_FALSE(target);

        LoggedResource filled(4);
        *filled.Put() = 5;
        EXPECT_EQ(LoggedTraits::closed, (std::vector<int>{2, 1, 4}));
    }
    EXPECT_EQ(LoggedTraits::closed, (std::vector<int>{2, 1, 4, 5}));
}

TEST(ScopedSelect, RestoresThePreviousObject) {
    MemoryDC dc(nullptr);
    ASSERT_TRUE(dc);
    GdiBitmap outer_bitmap(CreateBitmap(4, 4, 1, 1, nullptr));
    GdiBitmap inner_bitmap(CreateBitmap(8, 8, 1, 1, nullptr));
    ASSERT_TRUE(outer_bitmap && inner_bitmap);
    const HGDIOBJ original = GetCurrentObject(dc.get(), OBJ_BITMAP);
    ASSERT_NE(original, nullptr);
    {
        ScopedSelect outer(dc.get(), outer_bitmap.get());
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), outer_bitmap.get());
        {
            ScopedSelect inner(dc.get(), inner_bitmap.get());
            EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), inner_bitmap.get());
            ScopedSelect nothing(dc.get(), static_cast<HGDIOBJ>(nullptr));
        }
        EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), outer_bitmap.get());
    }
    EXPECT_EQ(GetCurrentObject(dc.get(), OBJ_BITMAP), original);
}
