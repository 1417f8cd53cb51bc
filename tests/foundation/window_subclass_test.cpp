// The table's chains against comctl32's SetWindowSubclass, the behaviour
// they stand in for: the same procedures, run through either, see the same
// messages in the same order and give the same results; and what the table
// adds, no window property and the window's own procedure given back.
#include "foundation/window_subclass.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace {

constexpr UINT kProbe = WM_APP + 7;     // each procedure marks the journal
constexpr UINT kNested = WM_APP + 8;    // 'b' sends kProbe from inside
constexpr UINT kRemoveMe = WM_APP + 9;  // 'b' removes itself, then passes it on

struct Subclassing {
    bool (*add)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR);
    bool (*remove)(HWND, SUBCLASSPROC, UINT_PTR);
    LRESULT (*next)(HWND, UINT, WPARAM, LPARAM);
};
const Subclassing kOurs = {&WindowSubclassAdd, &WindowSubclassRemove, &WindowSubclassNext};
const Subclassing kComctl32 = {
    [](HWND w, SUBCLASSPROC p, UINT_PTR id, DWORD_PTR d) { return SetWindowSubclass(w, p, id, d) != FALSE; },
    [](HWND w, SUBCLASSPROC p, UINT_PTR id) { return RemoveWindowSubclass(w, p, id) != FALSE; },
    [](HWND w, UINT m, WPARAM wp, LPARAM lp) { return DefSubclassProc(w, m, wp, lp); }};
const Subclassing* g_under_test = &kOurs;
std::vector<std::string> g_journal;

LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message >= kProbe && message <= kRemoveMe) {
        g_journal.push_back("own");
        return 100;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Marks the journal with its data (a letter) and adds 1 to what follows it.
LRESULT CALLBACK Marking(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                         DWORD_PTR data) {
    const std::string mark(1, static_cast<char>(data));
    if (message >= kProbe && message <= kRemoveMe) {
        g_journal.push_back(mark);
        if (message == kNested && data == 'b') SendMessageW(window, kProbe, 0, 0);
        if (message == kRemoveMe && data == 'b') g_under_test->remove(window, &Marking, id);
        return g_under_test->next(window, message, wparam, lparam) + 1;
    }
    if (message == WM_NCDESTROY) {
        g_journal.push_back("destroyed " + mark);
        g_under_test->remove(window, &Marking, id);
    }
    return g_under_test->next(window, message, wparam, lparam);
}

HWND MakeWindow() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = OwnProcedure;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"WindowSubclassTest";
    RegisterClassW(&window_class);  // fails harmlessly when registered before
    return CreateWindowExW(0, window_class.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr, nullptr,
                           window_class.hInstance, nullptr);
}

// One scenario through one implementation: each message's result and the
// journal, in one list.
std::vector<std::string> Journey(const Subclassing& subclassing) {
    g_under_test = &subclassing;
    g_journal.clear();
    HWND window = MakeWindow();
    auto probe = [&](UINT message) {
        const LRESULT result = SendMessageW(window, message, 0, 0);
        g_journal.push_back("= " + std::to_string(result));
    };
    subclassing.add(window, &Marking, 1, 'a');
    subclassing.add(window, &Marking, 2, 'b');
    probe(kProbe);
    probe(kNested);
    subclassing.add(window, &Marking, 1, 'c');  // the same procedure and id take the new data
    probe(kProbe);
    probe(kRemoveMe);
    probe(kProbe);
    g_journal.push_back(subclassing.remove(window, &Marking, 2) ? "removed twice" : "gone already");
    subclassing.add(window, &Marking, 3, 'd');
    DestroyWindow(window);
    g_journal.push_back(subclassing.remove(window, &Marking, 1) ? "outlived its window" : "went with it");
    g_under_test = &kOurs;
    return std::move(g_journal);
}

BOOL CALLBACK CountProperty(HWND, LPWSTR, HANDLE, ULONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int PropertyCount(HWND window) {
    int count = 0;
    EnumPropsExW(window, &CountProperty, reinterpret_cast<LPARAM>(&count));
    return count;
}

WNDPROC ProcedureOf(HWND window) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC)); }

}  // namespace

TEST(WindowSubclass, ChainsBehaveAsComctl32s) {
    const std::vector<std::string> theirs = Journey(kComctl32);
    ASSERT_FALSE(theirs.empty());
    EXPECT_EQ(Journey(kOurs), theirs);
}

// What the table is for: no property looked up per message; and the window
// gets its own procedure back with the last removal. Nulls and another
// thread's windows are refused.
TEST(WindowSubclass, NoPropertyAndTheOwnProcedureBack) {
    HWND window = MakeWindow();
    ASSERT_TRUE(window);
    const WNDPROC own = ProcedureOf(window);
    const int properties = PropertyCount(window);
    ASSERT_TRUE(WindowSubclassAdd(window, &Marking, 1, 'a'));
    EXPECT_EQ(PropertyCount(window), properties);
    EXPECT_NE(ProcedureOf(window), own);
    EXPECT_TRUE(WindowSubclassRemove(window, &Marking, 1));
    EXPECT_EQ(ProcedureOf(window), own);
    EXPECT_FALSE(WindowSubclassAdd(nullptr, &Marking, 1, 'a'));
    EXPECT_FALSE(WindowSubclassAdd(window, nullptr, 1, 'a'));
    DestroyWindow(window);
    EXPECT_FALSE(WindowSubclassAdd(GetDesktopWindow(), &Marking, 1, 'a')) << "a window of another thread";
}
