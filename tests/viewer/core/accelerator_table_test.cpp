// Key messages as the message loop translates them become the command ids.
#include "viewer/core/accelerator_table.h"

#include <gtest/gtest.h>

#include <vector>

#include "foundation/window_object.h"

namespace {

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

}  // namespace

TEST(AcceleratorTable, KeysBecomeTheirCommands) {
    ASSERT_TRUE(WindowRegisterClass(L"AcceleratorTestSink", 0, nullptr, nullptr));
    Ref<CommandSink> sink = MakeRef<CommandSink>();
    ASSERT_TRUE(
        WindowCreate(sink.get(), 0, L"AcceleratorTestSink", L"", WS_POPUP, RectI{}, nullptr, nullptr));
    Ref<AcceleratorTable> table = AcceleratorTableCreate();
    ASSERT_TRUE(table->handle);
    EXPECT_EQ(CopyAcceleratorTableW(table->handle, nullptr, 0), int(kAcceleratorCount));

    constexpr UINT D = WM_KEYDOWN, C = WM_CHAR;
    const struct {
        UINT message;
        WPARAM key;
        bool control;
        uint32_t command;  // 0: no accelerator
    } cases[] = {
        {D, 'P', true, 503},      {D, 'O', true, 500},       {D, VK_F4, true, 506},    {D, VK_ESCAPE, 0, 513},
        {D, 'N', true, 504},      {D, VK_LEFT, true, 523},   {D, VK_RIGHT, true, 524}, {D, VK_LEFT, 0, 531},
        {D, VK_RIGHT, 0, 532},    {D, VK_UP, 0, 533},        {D, VK_DOWN, 0, 534},     {D, 'V', 0, 521},
        {D, 'H', 0, 522},         {D, 'I', 0, 525},          {C, '+', 0, 511},         {C, '-', 0, 512},
        {D, VK_PRIOR, 0, 527},    {D, VK_NEXT, 0, 528},      {D, VK_HOME, 0, 526},     {D, VK_END, 0, 529},
        {D, 'G', true, 530},      {D, 'B', true, 537},       {D, 'M', 0, 538},         {D, '1', 0, 540},
        {D, '2', 0, 541},         {D, 'P', 0, 0},            {D, 'V', true, 0},        {D, '3', 0, 0},
        {C, '*', 0, 0},           {D, VK_ADD, 0, 0},
    };
    for (const auto& c : cases) {
        SetControl(c.control);
        sink->commands.clear();
        MSG msg = {sink->window(), c.message, c.key, 1, 0, {0, 0}};
        const bool translated = TranslateAcceleratorW(sink->window(), table->handle, &msg) != 0;
        SetControl(false);
        EXPECT_EQ(translated && !sink->commands.empty() ? sink->commands.back() : 0u, c.command)
            << "key " << c.key << (c.control ? " with Ctrl" : "");
    }
    WindowDestroy(sink.get());
}
