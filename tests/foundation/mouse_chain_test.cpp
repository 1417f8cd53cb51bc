#include "foundation/mouse_chain.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

namespace {

HWND CreatePlainWindow() {
    static bool registered = [] {
        WNDCLASSW window_class = {};
        window_class.lpfnWndProc = DefWindowProcW;
        window_class.hInstance = GetModuleHandleW(nullptr);
        window_class.lpszClassName = L"MouseChainTestClass";
        return RegisterClassW(&window_class) != 0;
    }();
    if (!registered) return nullptr;
    return CreateWindowExW(0, L"MouseChainTestClass", L"", WS_POPUP | WS_VISIBLE, 0, 0, 100, 80, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

// Accepts the operations it is told to; `log` collects "name:op" for every call.
class ScriptedHandler : public MouseHandler {
  public:
    ScriptedHandler(std::string name, std::string* log) : name_(std::move(name)), log_(log) {}
    bool ButtonDown(const PointI* point, uint32_t keys, bool* keep_capture, bool* repaint) override {
        return Handle("down", accept_down, capture_on_down, point, keys, keep_capture, repaint);
    }
    bool ButtonUp(const PointI* point, uint32_t keys, bool* keep_capture, bool* repaint) override {
        return Handle("up", accept_up, false, point, keys, keep_capture, repaint);
    }
    bool Move(const PointI* point, uint32_t keys, bool* keep_capture, bool* repaint) override {
        return Handle("move", accept_move, capture_on_move, point, keys, keep_capture, repaint);
    }

    bool accept_down = false, accept_up = false, accept_move = false;
    bool capture_on_down = false, capture_on_move = false, ask_repaint = false;
    PointI last_point;
    uint32_t last_keys = 0;

  private:
    bool Handle(const char* op, bool accept, bool capture, const PointI* point, uint32_t keys,
                bool* keep_capture, bool* repaint) {
        *log_ += name_ + ":" + op + " ";
        last_point = *point;
        last_keys = keys;
        if (ask_repaint) *repaint = true;
        if (accept) *keep_capture = capture;
        return accept;
    }
    std::string name_;
    std::string* log_;
};

class MouseChainTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = CreatePlainWindow();
        ASSERT_NE(window, nullptr);
        first = AdoptRef(new ScriptedHandler("a", &log));
        second = AdoptRef(new ScriptedHandler("b", &log));
        MouseChainAdd(chain, first.get());
        MouseChainAdd(chain, nullptr);
        MouseChainAdd(chain, second.get());
        chain.enabled = true;
    }
    void TearDown() override {
        MouseChainFree(chain);
        DestroyWindow(window);
    }
    int32_t Send(UINT message, int x = 5, int y = 6, WPARAM keys = MK_LBUTTON) {
        log.clear();
        return MouseChainDispatch(chain, window, message, keys, MAKELPARAM(x, y));
    }

    HWND window = nullptr;
    std::string log;
    Ref<ScriptedHandler> first, second;
    MouseHandlerChain chain;
};

}  // namespace

TEST_F(MouseChainTest, DisabledChainHandlesNothing) {
    first->accept_down = true;
    chain.enabled = false;
    EXPECT_EQ(Send(WM_LBUTTONDOWN), 1);
    EXPECT_EQ(log, "");
}

TEST_F(MouseChainTest, HandlersAskedInOrderUntilOneAccepts) {
    second->accept_down = true;
    EXPECT_EQ(Send(WM_RBUTTONDOWN, -5, -7), 0);
    EXPECT_EQ(log, "a:down b:down ");
    EXPECT_EQ(second->last_point, (PointI{-5, -7}));
    EXPECT_EQ(second->last_keys, uint32_t(MK_LBUTTON));
    first->accept_down = true;
    EXPECT_EQ(Send(WM_MBUTTONDOWN), 0);
    EXPECT_EQ(log, "a:down ");
    EXPECT_EQ(Send(WM_MOUSEMOVE), 1);
    EXPECT_EQ(log, "a:move b:move ");
    EXPECT_EQ(chain.captured, nullptr);
}

TEST_F(MouseChainTest, CapturedHandlerGetsMessagesAlone) {
    second->accept_down = second->capture_on_down = true;
    second->accept_move = second->capture_on_move = true;
    second->accept_up = true;
    first->accept_move = first->accept_up = true;
    EXPECT_EQ(Send(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(chain.captured, second.get());
    EXPECT_EQ(GetCapture(), window);
    EXPECT_EQ(Send(WM_MOUSEMOVE), 0);
    EXPECT_EQ(log, "b:move ");
    EXPECT_EQ(Send(WM_LBUTTONUP), 0);
    EXPECT_EQ(log, "b:up ");
    EXPECT_EQ(chain.captured, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(Send(WM_MOUSEMOVE), 0);
    EXPECT_EQ(log, "a:move ");
}

TEST_F(MouseChainTest, CaptureTakenElsewhereStartsOver) {
    second->accept_down = second->capture_on_down = true;
    ASSERT_EQ(Send(WM_LBUTTONDOWN), 0);
    HWND other = CreatePlainWindow();
    ASSERT_NE(other, nullptr);
    SetCapture(other);
    EXPECT_EQ(Send(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(log, "a:down b:down ");
    EXPECT_EQ(chain.captured, second.get());
    ReleaseCapture();
    DestroyWindow(other);
}

TEST_F(MouseChainTest, RefusalOrUnknownMessageReleasesCapture) {
    second->accept_down = second->capture_on_down = true;
    ASSERT_EQ(Send(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(Send(WM_LBUTTONDBLCLK), 1);
    EXPECT_EQ(log, "");
    EXPECT_EQ(chain.captured, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);

    ASSERT_EQ(Send(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(Send(WM_MOUSEMOVE), 1);  // the captured handler refuses
    EXPECT_EQ(log, "b:move ");
    EXPECT_EQ(chain.captured, nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(MouseChainTest, RepaintFromAnyCalledHandler) {
    UpdateWindow(window);
    RECT update;
    ASSERT_FALSE(GetUpdateRect(window, &update, FALSE));
    first->ask_repaint = true;  // refuses but asks for a repaint
    second->accept_move = true;
    EXPECT_EQ(Send(WM_MOUSEMOVE), 0);
    EXPECT_TRUE(GetUpdateRect(window, &update, FALSE));
    EXPECT_EQ(update.right - update.left, 100);
}

TEST_F(MouseChainTest, FreeReleasesHandlers) {
    second->accept_down = second->capture_on_down = true;
    ASSERT_EQ(Send(WM_LBUTTONDOWN), 0);
    EXPECT_EQ(second->RefCountForTests(), 3u);  // ours, the list's, the capture's
    MouseChainFree(chain);
    EXPECT_EQ(first->RefCountForTests(), 1u);
    EXPECT_EQ(second->RefCountForTests(), 1u);
    ReleaseCapture();
}
