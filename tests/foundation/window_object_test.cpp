#include "foundation/window_object.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <vector>

namespace {

const wchar_t kClassName[] = L"WindowObjectTestClass";

void RegisterTestClass() {
    static bool registered = [] {
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = WindowObjectProc;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = kClassName;
        return RegisterClassW(&window_class) != 0;
    }();
    ASSERT_TRUE(registered);
}

HWND CreateTestWindow() {
    return CreateWindowExW(0, kClassName, L"test", WS_POPUP, 10, 20, 200, 100, nullptr, nullptr,
                           GetModuleHandleW(nullptr), nullptr);
}

// Records what reaches it; its destructor destroys its window, as every
// window subclass of the program does.
class RecordingWindow : public WindowObject {
  public:
    explicit RecordingWindow(int* destructions, bool unregister_first = true)
        : destructions_(destructions), unregister_first_(unregister_first) {
        window = CreateTestWindow();
    }
    ~RecordingWindow() override {
        ++*destructions_;
        if (unregister_first_) {
            WindowDestroy(this);
        } else if (window) {
            DestroyWindow(window);  // a careless subclass: the registry still lists it
        }
    }
    int32_t WindowProc(uint32_t message, uint32_t wparam, int32_t lparam) override {
        messages.push_back(message);
        if (message == WM_USER + 1) return 42;
        return static_cast<int32_t>(DefWindowProcW(window, message, wparam, lparam));
    }
    bool Saw(uint32_t message) const {
        for (uint32_t seen : messages) {
            if (seen == message) return true;
        }
        return false;
    }

    std::vector<uint32_t> messages;

  private:
    int* destructions_;
    bool unregister_first_;
};

}  // namespace

TEST(WindowObject, RoutesMessagesOnceTheHandleIsStored) {
    RegisterTestClass();
    int destructions = 0;
    auto* object = new RecordingWindow(&destructions);
    ASSERT_NE(object->window, nullptr);
    // Creation ran before the handle was stored: those messages went to
    // DefWindowProcW.
    EXPECT_FALSE(object->Saw(WM_CREATE));
    EXPECT_FALSE(object->Saw(WM_NCCREATE));
    EXPECT_EQ(SendMessageW(object->window, WM_USER + 1, 0, 0), 42);
    EXPECT_TRUE(object->Saw(WM_USER + 1));

    Ref<WindowObject> found = WindowFromHandle(object->window);
    EXPECT_EQ(found.get(), object);
    EXPECT_EQ(object->RefCountForTests(), 2u);
    found.Reset();
    RefRelease(object);
    EXPECT_EQ(destructions, 1);
}

TEST(WindowObject, DestroyingSubclassDeletesOnce) {
    RegisterTestClass();
    for (bool unregister_first : {true, false}) {
        int destructions = 0;
        auto* object = new RecordingWindow(&destructions, unregister_first);
        HWND handle = object->window;
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
    HWND handle = CreateTestWindow();
    ASSERT_NE(handle, nullptr);
    Ref<WindowObject> first = MakeRef<WindowObject>(handle);
    Ref<WindowObject> second = MakeRef<WindowObject>(handle);
    EXPECT_EQ(WindowFromHandle(handle).get(), second.get());
    EXPECT_TRUE(WindowUnregister(second.get()));
    EXPECT_FALSE(WindowUnregister(second.get()));
    EXPECT_EQ(WindowFromHandle(handle).get(), first.get());
    EXPECT_TRUE(WindowRegister(second.get()));
    EXPECT_EQ(WindowFromHandle(handle).get(), second.get());
    EXPECT_FALSE(WindowRegister(nullptr));
    EXPECT_EQ(WindowFromHandle(nullptr).get(), nullptr);
    // The base answers 0 to everything it is sent.
    EXPECT_EQ(SendMessageW(handle, WM_USER + 1, 0, 0), 0);
    second.Reset();
    first.Reset();
    EXPECT_EQ(WindowFromHandle(handle).get(), nullptr);
    EXPECT_TRUE(DestroyWindow(handle));
}

TEST(WindowObject, RectanglesMoveAndShow) {
    RegisterTestClass();
    int destructions = 0;
    Ref<RecordingWindow> object = AdoptRef(new RecordingWindow(&destructions));
    RectI rect;
    WindowGetRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{200, 100}, {10, 20}}));
    WindowMove(object.get(), RectI{{300, 150}, {-5, 7}});
    EXPECT_TRUE(object->Saw(WM_WINDOWPOSCHANGED));
    WindowGetRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{300, 150}, {-5, 7}}));
    WindowGetClientRect(object.get(), rect);
    EXPECT_EQ(rect, (RectI{{300, 150}, {0, 0}}));

    WindowShow(object.get(), true);
    EXPECT_TRUE(IsWindowVisible(object->window));
    WindowShow(object.get(), false);
    EXPECT_FALSE(IsWindowVisible(object->window));

    Ref<WindowObject> no_window = MakeRef<WindowObject>();
    WindowGetRect(no_window.get(), rect);
    EXPECT_EQ(rect, RectI{});
    WindowGetClientRect(no_window.get(), rect);
    EXPECT_EQ(rect, RectI{});
    no_window->needs_repaint = true;
    EXPECT_FALSE(WindowInvalidateIfNeeded(no_window.get(), false));
}

TEST(WindowObject, InvalidateOnlyWhenNeeded) {
    RegisterTestClass();
    int destructions = 0;
    Ref<RecordingWindow> object = AdoptRef(new RecordingWindow(&destructions));
    WindowShow(object.get(), true);
    UpdateWindow(object->window);
    RECT update;
    EXPECT_FALSE(GetUpdateRect(object->window, &update, FALSE));
    EXPECT_FALSE(WindowInvalidateIfNeeded(object.get(), false));
    EXPECT_FALSE(GetUpdateRect(object->window, &update, FALSE));
    object->needs_repaint = true;
    EXPECT_TRUE(WindowInvalidateIfNeeded(object.get(), false));
    EXPECT_FALSE(object->needs_repaint);
    EXPECT_TRUE(GetUpdateRect(object->window, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 200);
}

namespace {

DWORD WINAPI ChurnObjects(void* argument) {
    HWND handle = static_cast<HWND>(argument);
    for (int i = 0; i < 20000; ++i) {
        Ref<WindowObject> object = MakeRef<WindowObject>(handle);
        Ref<WindowObject> found = WindowFromHandle(handle);
        if (!found) return 1;
    }
    return 0;
}

}  // namespace

TEST(WindowObject, RegistryIsSafeAcrossThreads) {
    HWND handle = reinterpret_cast<HWND>(0x1234);  // never a real window: only looked up
    HANDLE threads[3];
    for (HANDLE& thread : threads) {
        thread = CreateThread(nullptr, 0, ChurnObjects, handle, 0, nullptr);
        ASSERT_NE(thread, nullptr);
    }
    ASSERT_EQ(WaitForMultipleObjects(3, threads, TRUE, 60000), WAIT_OBJECT_0);
    for (HANDLE thread : threads) {
        DWORD code = 99;
        EXPECT_TRUE(GetExitCodeThread(thread, &code));
        EXPECT_EQ(code, 0u);
        CloseHandle(thread);
    }
    EXPECT_EQ(WindowFromHandle(handle).get(), nullptr);
}
