// Wine's atl.dll as a second, independent container: an "AtlAxWin" window
// with the control's ProgID as its text creates the registered control and
// activates it in place; the viewer's frame appears inside it.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>

#include "tests/control/test_container.h"

namespace {

using namespace control_test;

using AtlAxWinInitFunction = BOOL(WINAPI*)();

constexpr wchar_t kFrameClass[] = L"Plovex5";

// The first descendant of `window` of the class, or null.
HWND FindDescendant(HWND window, const wchar_t* class_name) {
    for (HWND child = GetWindow(window, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t name[64] = {};
        GetClassNameW(child, name, 64);
        if (lstrcmpiW(name, class_name) == 0) return child;
        if (HWND deeper = FindDescendant(child, class_name)) return deeper;
    }
    return nullptr;
}

TEST(AtlContainerTest, AtlAxWinHostsTheControlWithTheViewerInside) {
    OleInitialize(nullptr);
    ControlLibrary library;
    ASSERT_TRUE(library.loaded());
    ASSERT_EQ(library.register_server(), S_OK);

    ModuleHandle atl(LoadLibraryW(L"atl.dll"));
    ASSERT_TRUE(atl);
    auto init = reinterpret_cast<AtlAxWinInitFunction>(
        reinterpret_cast<void*>(GetProcAddress(atl.get(), "AtlAxWinInit")));
    ASSERT_NE(init, nullptr);
    ASSERT_TRUE(init());

    HWND top = CreateWindowExW(0, L"STATIC", L"atl host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 640,
                               480, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(top, nullptr);
    HWND ax = CreateWindowExW(0, L"AtlAxWin", L"PlovexActiveXCtrl.PlovexCtrl", WS_CHILD | WS_VISIBLE, 0, 0,
                              600, 400, top, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(ax, nullptr);
    HWND frame = nullptr;
    EXPECT_TRUE(WaitFor([&] { return (frame = FindDescendant(ax, kFrameClass)) != nullptr; }))
        << "no viewer frame inside the AtlAxWin window";
    if (frame) {
        // The frame is the child of the control's window, which is the
        // container's child.
        const HWND control_window = GetParent(frame);
        EXPECT_EQ(GetParent(control_window), ax);
        EXPECT_TRUE(GetWindowLongW(frame, GWL_STYLE) & WS_CHILD);
    }
    DestroyWindow(top);
    // The container's end closed the control and stopped its viewer.
    EXPECT_FALSE(frame && IsWindow(frame));
    // The other control tests find the registry as they left it.
    EXPECT_EQ(library.unregister_server(), S_OK);
    OleUninitialize();
}

}  // namespace
