#include "foundation/handles.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "foundation/dde_handles.h"

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

TEST(ScopedDcState, NestedScopesRestoreMixModeTextColourAndBackground) {
    MemoryDC dc(nullptr);
    ASSERT_TRUE(dc);
    SetROP2(dc.get(), R2_COPYPEN);
    SetBkMode(dc.get(), OPAQUE);
    SetTextColor(dc.get(), RGB(1, 2, 3));
    {
        ScopedMixMode outer(dc.get(), R2_XORPEN);
        ScopedTextState text(dc.get(), RGB(200, 0, 0));
        {
            ScopedMixMode inner(dc.get(), R2_MASKPEN);
            EXPECT_EQ(GetROP2(dc.get()), R2_MASKPEN);
        }
        EXPECT_EQ(GetROP2(dc.get()), R2_XORPEN);
        EXPECT_EQ(GetBkMode(dc.get()), TRANSPARENT);
        text.Colour(RGB(0, 0, 200));  // a change inside the scope does not stick either
        EXPECT_EQ(GetTextColor(dc.get()), RGB(0, 0, 200));
    }
    EXPECT_EQ(GetROP2(dc.get()), R2_COPYPEN);
    EXPECT_EQ(GetBkMode(dc.get()), OPAQUE);
    EXPECT_EQ(GetTextColor(dc.get()), RGB(1, 2, 3));
}

TEST(ClipboardScope, HoldsTheClipboardForItsScopeOnly) {
    HWND first = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    HWND second = CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 1, 1, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_TRUE(first && second);
    {
        ClipboardScope held(first);
        ASSERT_TRUE(held.open());
        EXPECT_EQ(GetOpenClipboardWindow(), first);
        {
            ClipboardScope refused(second);  // held by another window
            EXPECT_FALSE(refused.open());
        }
        EXPECT_EQ(GetOpenClipboardWindow(), first);  // the refused scope closed nothing
    }
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    {
        ClipboardScope again(second);
        EXPECT_TRUE(again.open());
    }
    EXPECT_EQ(GetOpenClipboardWindow(), nullptr);
    DestroyWindow(second);
    DestroyWindow(first);
}

HDDEDATA CALLBACK IdleDdeCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

TEST(DdeStringHandle, MovesAndMatchesWithoutCase) {
    DWORD raw = 0;
    ASSERT_EQ(DdeInitializeW(&raw, &IdleDdeCallback, APPCMD_CLIENTONLY, 0),
              static_cast<UINT>(DMLERR_NO_ERROR));
    DdeInstance owner(raw);
    DdeStringHandle name(owner.get(), L"HandlesTestName");
    ASSERT_TRUE(name);
    DdeStringHandle moved(std::move(name));
    EXPECT_FALSE(name);
    wchar_t text[32] = {};
    EXPECT_GT(DdeQueryStringW(owner.get(), moved.get(), text, 32, CP_WINUNICODE), 0u);
    EXPECT_STREQ(text, L"HandlesTestName");
    DdeStringHandle other(owner.get(), L"HandlesTestOther");
    other = std::move(moved);
    EXPECT_TRUE(other.Matches(DdeStringHandle(owner.get(), L"handlestestname").get()));
    EXPECT_FALSE(other.Matches(nullptr));
}
