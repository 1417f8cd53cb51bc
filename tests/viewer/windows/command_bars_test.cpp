// The command bars on a real frame: the tool bar's states read as any
// outside program reads them (TB_ISBUTTONENABLED) on the empty frame and with
// opening forbidden, the pictures of its buttons and menu items, and the File
// menu's recent part.
#include "viewer/windows/command_bars.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "tests/viewer/views/dib_canvas.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/commands.h"
#include "viewer/core/open_params.h"
#include "viewer/windows/recent_files.h"

namespace {

using namespace command;

struct Expected {
    uint32_t id;
    bool on;
};

// A picture's pixels as drawn, or nothing when it could not be drawn.
std::vector<uint32_t> Drawn(int width, int height, auto&& draw) {
    DibCanvas canvas(width, height, 0x123456);
    if (!canvas.ok() || !draw(canvas.dc())) return {};
    std::vector<uint32_t> pixels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels.push_back(canvas.Pixel(x, y));
    return pixels;
}
// Something drawn on its background: pixels of more than one colour.
bool HasPicture(const std::vector<uint32_t>& pixels) {
    return std::count(pixels.begin(), pixels.end(), pixels.empty() ? 0 : pixels[0]) < std::ssize(pixels);
}

class CommandBarsOnFrame : public testing::Test {
  protected:
    void SetUp() override {
        dir_ = MakeScratchDir("command_bars");
        MakeTiff(dir_ + "/three.tif", 3);
        bars_ = viewer_.frame->command_bars.get();
        ASSERT_NE(CommandBarsGetToolBar(bars_), nullptr);
    }
    // Opens the file with the permissions and waits, bounded, until its
    // first page is active.
    bool OpenWith(const std::string& name, bool allow_save, bool allow_print) {
        Ref<OpenParams> params = OpenParamsCreate();
        OpenParamsSetAllowSave(params.get(), allow_save);
        OpenParamsSetAllowPrint(params.get(), allow_print);
        const size_t before = DocItemGetChildCount(ViewerGetRootItem(viewer_.context.get()).get());
        const std::wstring path = WindowsPathOf(dir_ + "/" + name);
        if (ViewerOpenDocument(viewer_.context.get(), WString(path.c_str()), params.get(), kOpenInteractive) <= 0)
            return false;
        return PollUntil(
            [&] {
                Ref<DocItem> active = ViewerGetActiveItem(viewer_.context.get());
                return viewer_.Loaded(before + 1) && active && DocItemGetType(active.get()) == doc_type::kPage &&
                       DocItemGetParentId(active.get()) == DocItemGetId(viewer_.Document(before).get());
            },
            15000);
    }
    bool Enabled(uint32_t id) {
        return SendMessageW(CommandBarsGetToolBar(bars_), TB_ISBUTTONENABLED, id, 0) != 0;
    }
    // Lets the hub's notifications reach the bars, then checks the buttons.
    void ExpectEnabled(const std::vector<Expected>& buttons, const char* when) {
        PumpPending();
        for (const Expected& button : buttons) EXPECT_EQ(Enabled(button.id), button.on) << when << ": " << button.id;
    }
    bool MenuEnabled(uint32_t id) {
        const UINT state = GetMenuState(CommandBarsGetPopup(bars_, kFirstPopup), id, MF_BYCOMMAND);
        return state != static_cast<UINT>(-1) && !(state & MF_GRAYED);
    }

    FrameViewer viewer_{"PlovexCommandBarsTest"};
    std::string dir_;
    CommandBars* bars_ = nullptr;  // borrowed from the frame
};

// The permissions, page position, zoom setting and turn are read from
// outside the program (tests/program/frame_panes_test.py); here the empty
// frame and the menu's following the tool bar.
TEST_F(CommandBarsOnFrame, EmptyFrameAndOpeningForbidden) {
    ExpectEnabled({{kOpen, true}, {kSaveAs, false}, {kPrint, false}, {kZoomIn, false}, {kFirstPage, false},
                   {kNextPage, false}, {kMirrorVertical, false}, {kStandardView, false}},
                  "empty");
    ASSERT_TRUE(OpenWith("three.tif", true, false));
    ExpectEnabled({{kSaveAs, true}, {kPrint, false}}, "-noprint");
    EXPECT_TRUE(MenuEnabled(kSaveAs));
    EXPECT_TRUE(MenuEnabled(kClose));

    // Opening forbidden: Open and Close go grey.
    SettingsAddRestrictions(viewer_.settings.get(), viewer_.context.get(), kCallerInternal,
                            restriction::kOpenInteractively);
    ExpectEnabled({{kOpen, false}}, "RESTRICTIONS 1");
    EXPECT_FALSE(MenuEnabled(kClose));
}

TEST_F(CommandBarsOnFrame, ButtonsAndMenuItemsHavePictures) {
    HWND tool_bar = CommandBarsGetToolBar(bars_);
    const auto normal = reinterpret_cast<HIMAGELIST>(SendMessageW(tool_bar, TB_GETIMAGELIST, 0, 0));
    const auto hot = reinterpret_cast<HIMAGELIST>(SendMessageW(tool_bar, TB_GETHOTIMAGELIST, 0, 0));
    std::set<std::vector<uint32_t>> pictures;
    int buttons = 0;
    const int count = static_cast<int>(SendMessageW(tool_bar, TB_BUTTONCOUNT, 0, 0));
    for (int i = 0; i < count; ++i) {
        TBBUTTON button = {};
        ASSERT_TRUE(SendMessageW(tool_bar, TB_GETBUTTON, i, reinterpret_cast<LPARAM>(&button)));
        if (button.fsStyle & BTNS_SEP) continue;
        ++buttons;
        for (HIMAGELIST list : {normal, hot}) {
            const std::vector<uint32_t> pixels = Drawn(16, 16, [&](HDC dc) {
                return ImageList_Draw(list, button.iBitmap, dc, 0, 0, ILD_NORMAL) != FALSE;
            });
            EXPECT_TRUE(HasPicture(pixels)) << "command " << button.idCommand << (list == hot ? " hot" : "");
            // The background is masked out, the canvas shows at the corner:
            // the tool bar greys a disabled button in the mask's shape, and
            // without a mask as a grey square.
            EXPECT_EQ(pixels.empty() ? 0 : pixels[0], 0x123456u)
                << "command " << button.idCommand << (list == hot ? " hot" : "");
            if (list == normal) pictures.insert(pixels);
        }
    }
    // No two commands share a picture (one bitmap number given to two buttons).
    EXPECT_EQ(std::ssize(pictures), buttons);

    MENUITEMINFOW item = {};
    item.cbSize = sizeof(item);
    item.fMask = MIIM_CHECKMARKS;
    ASSERT_TRUE(GetMenuItemInfoW(CommandBarsGetPopup(bars_, kFirstPopup), kOpen, FALSE, &item));
    BITMAP size = {};
    ASSERT_TRUE(GetObjectW(item.hbmpChecked, sizeof(size), &size));
    EXPECT_TRUE(HasPicture(Drawn(size.bmWidth, size.bmHeight, [&](HDC dc) {
        MemoryDC source(nullptr);
        ScopedSelect select(source.get(), item.hbmpChecked);
        return BitBlt(dc, 0, 0, size.bmWidth, size.bmHeight, source.get(), 0, 0, SRCCOPY) != FALSE;
    })));
}

TEST_F(CommandBarsOnFrame, FileMenuListsRecentFilesUnlessOpeningIsForbidden) {
    HMENU file = CommandBarsGetPopup(bars_, kFirstPopup);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(GetMenuState(file, kFirstRecentFile, MF_BYCOMMAND), static_cast<UINT>(-1));

    ASSERT_TRUE(OpenWith("three.tif", true, true));
    PumpPending();
    wchar_t text[128] = {};
    ASSERT_GT(GetMenuStringW(file, kFirstRecentFile, text, 128, MF_BYCOMMAND), 0);
    const WString expected =
        RecentFilesShortenName(WString(WindowsPathOf(dir_ + "/three.tif").c_str()), kRecentFilesMenuLength);
    EXPECT_STREQ(text, WStrCStr(expected));
    const int count = GetMenuItemCount(file);
    EXPECT_EQ(GetMenuItemID(file, count - 1), kFirstRecentFile);

    // Rebuilt with opening forbidden, the recent part and its separator go.
    SettingsAddRestrictions(viewer_.settings.get(), viewer_.context.get(), kCallerInternal,
                            restriction::kOpenInteractively);
    PumpPending();
    EXPECT_EQ(GetMenuState(file, kFirstRecentFile, MF_BYCOMMAND), static_cast<UINT>(-1));
    EXPECT_EQ(GetMenuItemCount(file), count - 2);
}

}  // namespace
