// The dialog kit's edits and combos on real controls under a plain parent.
#include "viewer/dialogs/dialog_kit.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/viewer/dialogs/dialog_test_support.h"

namespace {

constexpr int kItem = 100;
constexpr int kOtherItem = 101;

// A top-level window with one child control of id kItem.
struct Host {
    Host(const wchar_t* child_class, DWORD child_style) {
        parent = CreateWindowExW(0, L"STATIC", L"", WS_OVERLAPPED, 0, 0, 300, 200, nullptr, nullptr, nullptr,
                                 nullptr);
        child = CreateWindowExW(0, child_class, L"", WS_CHILD | WS_VISIBLE | child_style, 0, 0, 200, 100, parent,
                                reinterpret_cast<HMENU>(INT_PTR(kItem)), nullptr, nullptr);
    }
    ~Host() { DestroyWindow(parent); }
    HWND parent, child;
};

}  // namespace

TEST(ComboData, SelectsAndReadsPointerWideItemData) {
    Host host(L"COMBOBOX", CBS_DROPDOWNLIST);
    const INT_PTR wide = INT_PTR(1) << (sizeof(INT_PTR) * 8 - 2);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"zero", 0), 0);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"ninety", 90), 1);
    EXPECT_EQ(ComboAddText(host.parent, kItem, L"wide", wide), 2);
    EXPECT_EQ(ComboAddText(host.parent, kOtherItem, L"nowhere", 1), -1);
    INT_PTR data = -5;
    EXPECT_EQ(ComboGetSelData(host.child, data), -1);
    for (INT_PTR wanted : {INT_PTR(90), wide}) {
        EXPECT_EQ(ComboSelectByData(host.child, wanted), wanted == 90 ? 1 : 2);
        EXPECT_EQ(ComboGetSelData(host.child, data), wanted == 90 ? 1 : 2);
        EXPECT_EQ(data, wanted);
    }
    // No item has it: nothing stays selected.
    EXPECT_EQ(ComboSelectByData(host.child, 45), -1);
    EXPECT_EQ(ComboGetSelData(host.child, data), -1);
}
