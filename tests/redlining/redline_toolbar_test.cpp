// The redlining tool window: its own buttons, the tooltips in the chosen
// language and the pictures. How it shows, hides and presses the button of
// each tool chosen through the frame is what the program's checks see from
// outside (redlining_toolbar_test.py, redlining_screenshot_test.py).
#include "redlining/redline_toolbar.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include "redlining/redline_objects.h"
#include "resources/text_ids.h"
#include "tests/viewer/views/view_harness.h"
#include "viewer/core/commands.h"
#include "viewer/core/redlining_modes.h"

namespace {

struct ToolbarHarness : HostHarness {
    ToolbarHarness() {
        toolbar = RedlineToolbarConstruct(context(), host, GetModuleHandleW(nullptr), viewer.Hub().get());
    }
    ~ToolbarHarness() {
        if (toolbar) RedlineToolbarDetach(toolbar.get());
        toolbar.Reset();
    }
    bool Pressed(uint32_t command) const {
        return SendMessageW(toolbar->tool_bar, TB_ISBUTTONPRESSED, command, 0) != 0;
    }
    // The buttons shown pressed.
    std::vector<uint32_t> AllPressed() const {
        std::vector<uint32_t> pressed;
        for (uint32_t id = command::kRedlineSave; id <= command::kRedlineLastTool; ++id) {
            if (Pressed(id)) pressed.push_back(id);
        }
        return pressed;
    }
    bool Visible() const { return IsWindowVisible(toolbar->window()) != FALSE; }
    std::wstring Tip(uint32_t command) const {
        NMTTDISPINFOW info = {};
        info.hdr.hwndFrom = toolbar->tool_bar;
        info.hdr.idFrom = command;
        info.hdr.code = TTN_GETDISPINFOW;
        SendMessageW(toolbar->window(), WM_NOTIFY, command, reinterpret_cast<LPARAM>(&info));
        return info.lpszText ? info.lpszText : L"";
    }

    Ref<RedlineToolbar> toolbar;
};

}  // namespace

TEST(RedlineToolbar, ItsOwnButtonsChooseTheirTools) {
    ToolbarHarness h;
    ASSERT_TRUE(h.toolbar);
    EXPECT_EQ(SendMessageW(h.toolbar->tool_bar, TB_BUTTONCOUNT, 0, 0), 10) << "nine buttons and a separator";
    SendMessageW(h.toolbar->window(), WM_COMMAND, 568, 0);
    PumpPending();
    EXPECT_EQ(ViewerGetRedliningMode(h.context()), kRedliningModeDraw);
    EXPECT_EQ(ViewerGetRedliningTool(h.context()), static_cast<uint32_t>(redline_type::kPolygon));
    EXPECT_TRUE(h.Visible());
    EXPECT_EQ(h.AllPressed(), std::vector<uint32_t>{568});
}

TEST(RedlineToolbar, TipsNameTheToolsAndTheNoteHasOne) {
    ToolbarHarness h;
    ASSERT_TRUE(h.toolbar);
    const struct {
        uint32_t command;
        uint32_t text;
    } tips[] = {
        {562, text::kRedlineSaveData},  {563, text::kRedlineSelectObjects}, {564, text::kRedlineLine},
        {565, text::kRedlineRectangle}, {566, text::kRedlineEllipse},       {567, text::kRedlineMultiLine},
        {568, text::kRedlinePolygon},   {569, text::kRedlineText},          {570, text::kRedlineNoteTool}};
    for (const auto& tip : tips) {
        SCOPED_TRACE(tip.command);
        const wchar_t* expected = ViewerGetText(h.context(), tip.text);
        ASSERT_TRUE(expected);
        EXPECT_GT(wcslen(expected), 0u);
        EXPECT_EQ(h.Tip(tip.command), expected);
    }
    const std::wstring note = h.Tip(570);
    EXPECT_TRUE(note == L"Note" || note == L"Notiz") << "either language has the note's tip";
    EXPECT_EQ(h.Tip(571), L"") << "not a button of the tool bar";
}

TEST(RedlineToolbar, TheToolPicturesAreResourcesOfTheProgram) {
    ToolbarHarness h;
    ASSERT_TRUE(h.toolbar);
    EXPECT_EQ(ImageList_GetImageCount(h.toolbar->normal_images.get()), 9);
    EXPECT_EQ(ImageList_GetImageCount(h.toolbar->hot_images.get()), 9);
    for (int number = 362; number <= 379; ++number) {
        SCOPED_TRACE(number);
        HBITMAP bitmap = LoadBitmapW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(number));
        ASSERT_TRUE(bitmap);
        BITMAP info = {};
        GetObjectW(bitmap, sizeof(info), &info);
        EXPECT_EQ(info.bmWidth, 16);
        EXPECT_EQ(info.bmHeight, 16);
        DeleteObject(bitmap);
    }
}
