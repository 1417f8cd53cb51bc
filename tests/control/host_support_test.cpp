// The control's host helpers without a control, for what the container and
// hand-over tests cannot reach from outside: lists of several dropped files,
// damaged drop blocks, SRC values, and the move hook's limit and removal.
#include <windows.h>
// after windows.h, which they need
#include <gtest/gtest.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "control/host_support.h"
#include "control/move_hook.h"
#include "tests/control/test_container.h"
#include "viewer/core/frame_messages.h"

namespace {

using control_test::DropBlock;

std::wstring Text(const WString& text) { return WStrCStr(text) ? WStrCStr(text) : L""; }

TEST(DropFilesTest, WideAndAnsiListsAreJoinedWithTabs) {
    WString out;
    const std::vector<uint8_t> wide = DropBlock(std::wstring(L"C:\\a b.tif\0D:\\c.lst\0\0", 22));
    EXPECT_EQ(Text(DropFilesRead(wide.data(), wide.size(), out)), L"C:\\a b.tif\tD:\\c.lst");
    const std::vector<uint8_t> ansi = DropBlock(std::string("C:\\x.tif\0C:\\y.tif\0\0", 20));
    EXPECT_EQ(Text(DropFilesRead(ansi.data(), ansi.size(), out)), L"C:\\x.tif\tC:\\y.tif");
}

TEST(DropFilesTest, ReadingStopsAtTheBlockEnd) {
    WString out;
    // The second name has no NUL inside the block: it is not read.
    const std::vector<uint8_t> wide = DropBlock(std::wstring(L"C:\\a.tif\0C:\\cut", 15));
    EXPECT_EQ(Text(DropFilesRead(wide.data(), wide.size(), out)), L"C:\\a.tif");
    // An offset beyond the block reads nothing.
    std::vector<uint8_t> bad = DropBlock(std::string("C:\\x.tif\0\0", 10));
    reinterpret_cast<DROPFILES*>(bad.data())->pFiles = 5000;
    EXPECT_EQ(Text(DropFilesRead(bad.data(), bad.size(), out)), L"");
    EXPECT_EQ(Text(DropFilesRead(bad.data(), 4, out)), L"");
}

// A file URL with "%20" and '+' is the container test's SRC.
TEST(SrcValueTest, OnlyTheFileSchemeIsTakenOffAndNoNulIsDecoded) {
    WString out;
    // Only "file:///" is taken off; the rest of the value is decoded.
    ASSERT_TRUE(SrcValueToOpenText(WString(L"file:C:\\x%41.tif"), nullptr, out));
    EXPECT_EQ(Text(out), L"file:C:\\xA.tif");
    // "%00" would cut the path: it stays as it is.
    ASSERT_TRUE(SrcValueToOpenText(WString(L"file:///C:/a%00b"), nullptr, out));
    EXPECT_EQ(Text(out), L"C:/a%00b");
    EXPECT_FALSE(SrcValueToOpenText(WString(), nullptr, out));
}

TEST(SrcValueTest, RelativeValuesResolveAgainstThePage) {
    WString out;
    const WString page(L"http://server.example/docs/page.html");
    ASSERT_TRUE(SrcValueToOpenText(WString(L"plan.tif"), &page, out));
    // The URL's text names its port.
    EXPECT_EQ(Text(out), L"http://server.example:80/docs/plan.tif");
    ASSERT_TRUE(SrcValueToOpenText(WString(L"http://other.example/x.tif"), &page, out));
    EXPECT_EQ(Text(out), L"http://other.example:80/x.tif");
}

HWND MakeWindow(HWND parent) {
    control_test::RegisterTestWindowClass(L"MoveHookTestWindow", DefWindowProcW);
    return CreateWindowExW(0, L"MoveHookTestWindow", L"", parent ? WS_CHILD : WS_OVERLAPPEDWINDOW, 0, 0, 100,
                           100, parent, nullptr, GetModuleHandleW(nullptr), nullptr);
}

bool HostMovedPosted(HWND frame) {
    MSG message;
    bool posted = false;
    while (PeekMessageW(&message, frame, kFrameHostMovedMessage, kFrameHostMovedMessage, PM_REMOVE))
        posted = true;
    return posted;
}

TEST(MoveHookTest, AnEleventhFrameIsNotRegistered) {
    HWND top = MakeWindow(nullptr);
    std::vector<HWND> frames;
    for (int i = 0; i < 11; ++i) frames.push_back(MakeWindow(top));
    for (HWND frame : frames) MoveHookAddWindow(frame);
    SetWindowPos(top, nullptr, 10, 10, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(HostMovedPosted(frames[9]));
    EXPECT_FALSE(HostMovedPosted(frames[10]));
    // Removed, the frames hear of no move, and the last one took the hook.
    for (HWND frame : frames) MoveHookRemoveWindow(frame);
    SetWindowPos(top, nullptr, 20, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_FALSE(HostMovedPosted(frames[9]));
    EXPECT_FALSE(MoveHookInstalled());
    DestroyWindow(top);
}

}  // namespace
