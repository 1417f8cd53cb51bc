#include "foundation/window_subclass.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/handles.h"

namespace {

constexpr UINT kProbe = WM_APP + 7;     // each procedure appends its mark to the journal
constexpr UINT kNested = WM_APP + 8;    // the procedure sends kProbe from inside
constexpr UINT kRemoveMe = WM_APP + 9;  // the procedure removes itself, then passes it on

// What the procedures saw, in order: "a", "b", "own" (the window's procedure).
std::vector<std::string>& Journal() {
    static std::vector<std::string> journal;
    return journal;
}

LRESULT CALLBACK OwnProcedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == kProbe || message == kNested || message == kRemoveMe) {
        Journal().push_back("own");
        return 100;
    }
    return DefWindowProcW(window, message, wparam, lparam);
}

// Marks the journal with its data (a letter) and adds 1 to what follows it.
LRESULT CALLBACK Marking(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                         DWORD_PTR data) {
    if (message == kProbe || message == kNested || message == kRemoveMe) {
        Journal().push_back(std::string(1, static_cast<char>(data)));
        if (message == kNested && data == 'b') SendMessageW(window, kProbe, 0, 0);
        if (message == kRemoveMe && data == 'b') {
            EXPECT_TRUE(WindowSubclassRemove(window, &Marking, id));
        }
        return WindowSubclassNext(window, message, wparam, lparam) + 1;
    }
    if (message == WM_NCDESTROY) {
        Journal().push_back("destroyed " + std::string(1, static_cast<char>(data)));
        WindowSubclassRemove(window, &Marking, id);
    }
    return WindowSubclassNext(window, message, wparam, lparam);
}

class TestWindow {
  public:
    TestWindow() {
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = OwnProcedure;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"WindowSubclassTest";
        RegisterClassW(&window_class);  // fails harmlessly when registered before
        window_ = CreateWindowExW(0, window_class.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 50, 50, nullptr,
                                  nullptr, window_class.hInstance, nullptr);
        Journal().clear();
    }
    ~TestWindow() {
        if (window_) DestroyWindow(window_);
    }
    HWND get() const { return window_; }
    void Destroy() {
        DestroyWindow(window_);
        window_ = nullptr;
    }

  private:
    HWND window_ = nullptr;
};

std::vector<std::string> Marks(std::initializer_list<const char*> marks) {
    return std::vector<std::string>(marks.begin(), marks.end());
}

BOOL CALLBACK CountProperty(HWND, LPWSTR, HANDLE, ULONG_PTR count) {
    ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int PropertyCount(HWND window) {
    int count = 0;
    EnumPropsExW(window, CountProperty, reinterpret_cast<LPARAM>(&count));
    return count;
}

WNDPROC ProcedureOf(HWND window) {
    return reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
}

}  // namespace

TEST(WindowSubclass, TheNewestSeesAMessageFirstAndTheWindowsOwnProcedureLast) {
    TestWindow window;
    ASSERT_TRUE(window.get());
    const int properties = PropertyCount(window.get());
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 1, 'a'));
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 2, 'b'));
    EXPECT_EQ(SendMessageW(window.get(), kProbe, 0, 0), 102);
    EXPECT_EQ(Journal(), Marks({"b", "a", "own"}));
    // What makes it cheap under Wine: no property to look up per message.
    EXPECT_EQ(PropertyCount(window.get()), properties);

    // The same procedure and id again only takes the new data.
    Journal().clear();
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 1, 'c'));
    SendMessageW(window.get(), kProbe, 0, 0);
    EXPECT_EQ(Journal(), Marks({"b", "c", "own"}));
}

TEST(WindowSubclass, AMessageSentFromInsideStartsAtTheTopAndTheOuterOneGoesOn) {
    TestWindow window;
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 1, 'a'));
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 2, 'b'));
    EXPECT_EQ(SendMessageW(window.get(), kNested, 0, 0), 102);
    EXPECT_EQ(Journal(), Marks({"b", "b", "a", "own", "a", "own"}));
}

TEST(WindowSubclass, RemovedProceduresSeeNoMoreAndTheLastGivesTheWindowItsProcedureBack) {
    TestWindow window;
    const WNDPROC own = ProcedureOf(window.get());
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 1, 'a'));
    ASSERT_TRUE(WindowSubclassAdd(window.get(), &Marking, 2, 'b'));
    EXPECT_NE(ProcedureOf(window.get()), own);
    // Removed while its own message runs: that message still reaches the rest.
    EXPECT_EQ(SendMessageW(window.get(), kRemoveMe, 0, 0), 102);
    EXPECT_EQ(Journal(), Marks({"b", "a", "own"}));
    Journal().clear();
    SendMessageW(window.get(), kProbe, 0, 0);
    EXPECT_EQ(Journal(), Marks({"a", "own"}));

    EXPECT_FALSE(WindowSubclassRemove(window.get(), &Marking, 2)) << "gone already";
    EXPECT_FALSE(WindowSubclassRemove(window.get(), &Marking, 9));
    EXPECT_TRUE(WindowSubclassRemove(window.get(), &Marking, 1));
    EXPECT_EQ(ProcedureOf(window.get()), own);
    Journal().clear();
    EXPECT_EQ(SendMessageW(window.get(), kProbe, 0, 0), 100);
    EXPECT_EQ(Journal(), Marks({"own"}));
}

TEST(WindowSubclass, TheChainGoesWithItsWindowAndANewChainStartsAfresh) {
    TestWindow first;
    ASSERT_TRUE(WindowSubclassAdd(first.get(), &Marking, 1, 'a'));
    ASSERT_TRUE(WindowSubclassAdd(first.get(), &Marking, 2, 'b'));
    const HWND gone = first.get();
    first.Destroy();
    EXPECT_EQ(Journal(), Marks({"destroyed b", "destroyed a"}));
    EXPECT_FALSE(WindowSubclassRemove(gone, &Marking, 1));

    TestWindow second;
    ASSERT_TRUE(WindowSubclassAdd(second.get(), &Marking, 1, 'c'));
    SendMessageW(second.get(), kProbe, 0, 0);
    EXPECT_EQ(Journal(), Marks({"c", "own"}));
}

TEST(WindowSubclass, RefusesWhatItCannotServe) {
    TestWindow window;
    EXPECT_FALSE(WindowSubclassAdd(nullptr, &Marking, 1, 'a'));
    EXPECT_FALSE(WindowSubclassAdd(window.get(), nullptr, 1, 'a'));
    EXPECT_FALSE(WindowSubclassRemove(window.get(), &Marking, 1));
    // A window of another thread: its messages run there, where this chain
    // is not to be touched.
    HWND other = nullptr;
    UniqueHandle made(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    UniqueHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    struct Shared {
        HWND* other;
        HANDLE made, done;
    } shared{&other, made.get(), done.get()};
    UniqueHandle thread(CreateThread(
        nullptr, 0,
        [](void* parameter) -> DWORD {
            auto* s = static_cast<Shared*>(parameter);
            *s->other =
                CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
            SetEvent(s->made);
            WaitForSingleObject(s->done, 10000);
            DestroyWindow(*s->other);
            return 0;
        },
        &shared, 0, nullptr));
    ASSERT_TRUE(thread.get());
    ASSERT_EQ(WaitForSingleObject(made.get(), 10000), WAIT_OBJECT_0);
    ASSERT_TRUE(other);
    EXPECT_FALSE(WindowSubclassAdd(other, &Marking, 1, 'a'));
    SetEvent(done.get());
    EXPECT_EQ(WaitForSingleObject(thread.get(), 10000), WAIT_OBJECT_0);
}
