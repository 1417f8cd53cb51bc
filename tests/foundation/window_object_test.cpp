#include "foundation/window_object.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

#include "tests/support/test_support.h"

namespace {

const wchar_t kClassName[] = L"WindowObjectTestClass";
constexpr UINT kEchoMessage = WM_APP + 1;  // answers its lParam

void RegisterTestClass() { ASSERT_TRUE(WindowRegisterClass(kClassName, 0, nullptr, nullptr)); }

// Records what reaches it; its destructor destroys its window, as every
// window subclass of the program does.
class RecordingWindow : public WindowObject {
  public:
    explicit RecordingWindow(int* destructions = nullptr, bool unregister_first = true)
        : destructions_(destructions), unregister_first_(unregister_first) {}
    ~RecordingWindow() override {
        if (destructions_) ++*destructions_;
        if (unregister_first_) {
            WindowDestroy(this);
        } else if (window()) {
            DestroyWindow(window());  // a careless subclass: the registry still lists it
        }
    }
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
        messages.push_back(message);
        if (message != kEchoMessage) return WindowObject::WindowProc(message, wparam, lparam);
        last_wparam = wparam;
        return lparam;
    }
    bool Saw(UINT message) const {
        for (UINT seen : messages) {
            if (seen == message) return true;
        }
        return false;
    }

    std::vector<UINT> messages;
    WPARAM last_wparam = 0;

  private:
    int* destructions_;
    bool unregister_first_;
};

// Creates its window in its own constructor, as the frame and the views do.
class SelfCreatingWindow : public RecordingWindow {
  public:
    SelfCreatingWindow(HWND parent, DWORD style) {
        WindowCreate(this, 0, kClassName, L"made", style, RectI{{200, 100}, {10, 20}}, parent,
                     parent ? reinterpret_cast<HMENU>(static_cast<UINT_PTR>(7)) : nullptr);
    }
};

HWND CreatePlainWindow() {
    return CreateWindowExW(0, kClassName, L"plain", WS_POPUP, 10, 20, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

}  // namespace

TEST(WindowObject, EveryKindOfCreationSeesCreate) {
    RegisterTestClass();
    Ref<SelfCreatingWindow> top = AdoptRef(new SelfCreatingWindow(nullptr, WS_OVERLAPPEDWINDOW));
    ASSERT_NE(top->window(), nullptr);
    Ref<SelfCreatingWindow> child = AdoptRef(new SelfCreatingWindow(top->window(), WS_CHILD | WS_VISIBLE));
    ASSERT_NE(child->window(), nullptr);
    EXPECT_EQ(GetDlgCtrlID(child->window()), 7);
    Ref<RecordingWindow> later = MakeRef<RecordingWindow>();
    EXPECT_EQ(later->window(), nullptr);
    const HWND later_handle = WindowCreate(later.get(), 0, kClassName, L"later", WS_POPUP,
                                           RectI{{50, 40}, {0, 0}}, nullptr, nullptr);
    ASSERT_NE(later_handle, nullptr);
    EXPECT_EQ(later->window(), later_handle);

    for (RecordingWindow* object : {static_cast<RecordingWindow*>(top.get()),
                                    static_cast<RecordingWindow*>(child.get()), later.get()}) {
        ASSERT_FALSE(object->messages.empty());
        EXPECT_EQ(object->messages.front(), UINT(WM_NCCREATE));
        EXPECT_TRUE(object->Saw(WM_CREATE));
        EXPECT_EQ(WindowFromHandle(object->window()).get(), object);
    }
    // WM_NCCREATE went on to DefWindowProcW, which keeps the title.
    wchar_t title[16] = {};
    GetWindowTextW(later_handle, title, 16);
    EXPECT_STREQ(title, L"later");
    // Refused: an object that already has its window, and no object at all.
    EXPECT_EQ(WindowCreate(later.get(), 0, kClassName, L"", WS_POPUP, RectI{}, nullptr, nullptr), nullptr);
    EXPECT_EQ(WindowCreate(nullptr, 0, kClassName, L"", WS_POPUP, RectI{}, nullptr, nullptr), nullptr);
    EXPECT_TRUE(WindowRegisterClass(kClassName, 0, nullptr, nullptr));  // again: already there

    // The parent takes its child window along; the child's object lets go of
    // the dead handle.
    const HWND child_handle = child->window();
    top.Reset();
    EXPECT_FALSE(IsWindow(child_handle));
    EXPECT_EQ(child->window(), nullptr);
    EXPECT_EQ(WindowFromHandle(child_handle).get(), nullptr);
}

// Pointers in both parameters and in the result come through with all their
// bits.
TEST(WindowObject, PointerParametersArriveWhole) {
    RegisterTestClass();
    Ref<RecordingWindow> object = MakeRef<RecordingWindow>();
    const HWND handle = WindowCreate(object.get(), 0, kClassName, L"", WS_POPUP, RectI{}, nullptr, nullptr);
    ASSERT_NE(handle, nullptr);
    // The highest free page: above 4 GB in a 64-bit process, where a cut
    // parameter would lose its upper half.
    void* far_away = VirtualAlloc(nullptr, 4096, MEM_COMMIT | MEM_RESERVE | MEM_TOP_DOWN, PAGE_READWRITE);
    ASSERT_NE(far_away, nullptr);
    const LPARAM sent = reinterpret_cast<LPARAM>(static_cast<char*>(far_away) + 4095);
    const WPARAM sent_too = reinterpret_cast<WPARAM>(far_away);
    EXPECT_EQ(SendMessageW(handle, kEchoMessage, sent_too, sent), sent);
    EXPECT_EQ(object->last_wparam, sent_too);
    VirtualFree(far_away, 0, MEM_RELEASE);
}

TEST(WindowObject, DestroyingSubclassDeletesOnce) {
    RegisterTestClass();
    for (bool unregister_first : {true, false}) {
        int destructions = 0;
        auto* object = new RecordingWindow(&destructions, unregister_first);
        const HWND handle = WindowCreate(object, 0, kClassName, L"", WS_POPUP, RectI{}, nullptr, nullptr);
        ASSERT_NE(handle, nullptr);
        RefRelease(object);
        // WM_DESTROY of the dying window found no live object to revive.
        EXPECT_EQ(destructions, 1) << unregister_first;
        EXPECT_FALSE(IsWindow(handle));
        EXPECT_EQ(WindowFromHandle(handle).get(), nullptr);
    }
}

TEST(WindowObject, LookUpFindsLatestLiveObject) {
    RegisterTestClass();
    const HWND handle = CreatePlainWindow();
    ASSERT_NE(handle, nullptr);
    Ref<WindowObject> first = MakeRef<WindowObject>(handle);
    Ref<WindowObject> second = MakeRef<WindowObject>(handle);
    EXPECT_EQ(second->RefCountForTests(), 1u);  // the registry holds no reference
    EXPECT_EQ(WindowFromHandle(handle).get(), second.get());
    EXPECT_TRUE(WindowUnregister(second.get()));
    EXPECT_FALSE(WindowUnregister(second.get()));
    EXPECT_EQ(WindowFromHandle(handle).get(), first.get());
    EXPECT_TRUE(WindowRegister(second.get()));
    EXPECT_EQ(WindowFromHandle(handle).get(), second.get());
    EXPECT_TRUE(WindowRegister(first.get()));
    EXPECT_EQ(WindowFromHandle(handle).get(), first.get());
    EXPECT_FALSE(WindowRegister(nullptr));
    EXPECT_EQ(WindowFromHandle(nullptr).get(), nullptr);
    first.Reset();
    EXPECT_EQ(WindowFromHandle(handle).get(), second.get());
    second.Reset();
    EXPECT_EQ(WindowFromHandle(handle).get(), nullptr);
    EXPECT_TRUE(DestroyWindow(handle));
}

// Rectangles keep their size first and their origin second; Windows gets
// and gives (left, top, right, bottom).
TEST(WindowObject, RectanglesAndInvalidation) {
    RegisterTestClass();
    Ref<RecordingWindow> object = MakeRef<RecordingWindow>();
    ASSERT_NE(WindowCreate(object.get(), 0, kClassName, L"", WS_POPUP, RectI{{200, 100}, {10, 20}}, nullptr,
                           nullptr),
              nullptr);
    RectI rect;
    WindowGetRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{200, 100}, {10, 20}}));
    WindowMove(object.get(), RectI{{300, 150}, {-5, 7}});
    WindowGetRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{300, 150}, {-5, 7}}));
    WindowGetClientRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{300, 150}, {0, 0}}));
    WindowShow(object.get(), true);
    UpdateWindow(object->window());
    RECT update;
    EXPECT_FALSE(GetUpdateRect(object->window(), &update, FALSE));
    WindowInvalidate(object.get(), false);
    EXPECT_TRUE(GetUpdateRect(object->window(), &update, FALSE));
    EXPECT_EQ(update.right - update.left, 300);

    Ref<WindowObject> no_window = MakeRef<WindowObject>();
    WindowGetRect(no_window.get(), rect);
    EXPECT_EQ(rect, RectI{});
    // A null handle would invalidate every window of the desktop.
    WindowInvalidate(no_window.get(), false);
}

TEST(WindowObject, RegistryIsSafeAcrossThreads) {
    HWND handle = reinterpret_cast<HWND>(0x1234);  // never a real window: only looked up
    volatile LONG misses = 0;
    ASSERT_TRUE(RunConcurrently(3, [&](int) {
        for (int i = 0; i < 20000; ++i) {
            Ref<WindowObject> object = MakeRef<WindowObject>(handle);
            if (!WindowFromHandle(handle)) InterlockedIncrement(&misses);
        }
    }));
    EXPECT_EQ(misses, 0);
    EXPECT_EQ(WindowFromHandle(handle).get(), nullptr);
}
