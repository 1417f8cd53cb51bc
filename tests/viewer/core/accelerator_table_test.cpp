// The accelerator table as the message loop translates with it: key
// messages become the viewer's command ids.
#include "viewer/core/accelerator_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/window_object.h"
#include "viewer/core/commands.h"

namespace {

// A window that remembers the commands it received.
class CommandSink : public WindowObject {
  public:
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override {
        if (message == WM_COMMAND) commands.push_back(LOWORD(wparam));
        return WindowObject::WindowProc(message, wparam, lparam);
    }
    std::vector<uint32_t> commands;
};

void SetControl(bool down) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = down ? 0x80 : 0;
    SetKeyboardState(keys);
}

// What the key message becomes: the command id, or 0 when none.
uint32_t Translate(HACCEL table, CommandSink* sink, UINT message, WPARAM key, bool control) {
    SetControl(control);
    sink->commands.clear();
    MSG msg = {sink->window(), message, key, 1, 0, {0, 0}};
    const bool translated = TranslateAcceleratorW(sink->window(), table, &msg) != 0;
    SetControl(false);
    return translated && !sink->commands.empty() ? sink->commands.back() : 0;
}

}  // namespace

TEST(AcceleratorTable, KeysBecomeTheirCommands) {
    ASSERT_TRUE(WindowRegisterClass(L"AcceleratorTestSink", 0, nullptr, nullptr));
    Ref<CommandSink> sink = MakeRef<CommandSink>();
    ASSERT_TRUE(
        WindowCreate(sink.get(), 0, L"AcceleratorTestSink", L"", WS_POPUP, RectI{}, nullptr, nullptr));
    Ref<AcceleratorTable> table = AcceleratorTableCreate();
    HACCEL handle = table->handle;
    ASSERT_TRUE(handle);
    EXPECT_EQ(CopyAcceleratorTableW(handle, nullptr, 0), int(kAcceleratorCount));

    const struct {
        UINT message;
        WPARAM key;
        bool control;
        uint32_t command;
    } cases[] = {
        {WM_KEYDOWN, 'P', true, 503},
        {WM_KEYDOWN, 'O', true, 500},
        {WM_KEYDOWN, VK_F4, true, 506},
        {WM_KEYDOWN, VK_ESCAPE, false, 513},
        {WM_KEYDOWN, 'N', true, 504},
        {WM_KEYDOWN, VK_LEFT, true, 523},
        {WM_KEYDOWN, VK_RIGHT, true, 524},
        {WM_KEYDOWN, VK_LEFT, false, 531},
        {WM_KEYDOWN, VK_RIGHT, false, 532},
        {WM_KEYDOWN, VK_UP, false, 533},
        {WM_KEYDOWN, VK_DOWN, false, 534},
        {WM_KEYDOWN, 'V', false, 521},
        {WM_KEYDOWN, 'H', false, 522},
        {WM_KEYDOWN, 'I', false, 525},
        {WM_CHAR, '+', false, 511},
        {WM_CHAR, '-', false, 512},
        {WM_KEYDOWN, VK_PRIOR, false, 527},
        {WM_KEYDOWN, VK_NEXT, false, 528},
        {WM_KEYDOWN, VK_HOME, false, 526},
        {WM_KEYDOWN, VK_END, false, 529},
        {WM_KEYDOWN, 'G', true, 530},
        {WM_KEYDOWN, 'B', true, 537},
        {WM_KEYDOWN, 'M', false, 538},
        {WM_KEYDOWN, '1', false, 540},
        {WM_KEYDOWN, '2', false, 541},
        // Keys that are no accelerator, and plain letters of Ctrl ones.
        {WM_KEYDOWN, 'P', false, 0},
        {WM_KEYDOWN, 'V', true, 0},
        {WM_KEYDOWN, '3', false, 0},
        {WM_CHAR, '*', false, 0},
        {WM_KEYDOWN, VK_ADD, false, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Translate(handle, sink.get(), c.message, c.key, c.control), c.command)
            << "key " << c.key << (c.control ? " with Ctrl" : "");
    }
    WindowDestroy(sink.get());
}
