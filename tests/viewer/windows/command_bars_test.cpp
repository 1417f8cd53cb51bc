// The command bars and the status bar of a real frame: the tool bar's
// states read as any outside program reads them (TB_ISBUTTONENABLED) on the
// empty frame and with opening forbidden, the pictures of its buttons and
// menu items, the File menu's recent part; the texts of the status bar's
// parts as the hub's notifications change them and its owner-drawn progress
// bar through WM_PRINTCLIENT.
#include "viewer/windows/command_bars.h"
#include "viewer/windows/status_bar.h"

#include <climits>
#include <cmath>
#include <commctrl.h>
#include <cstdio>

#include "tests/viewer/fake_print_provider.h"
#include "tests/viewer/views/dib_canvas.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/commands.h"
#include "viewer/core/length_text.h"
#include "viewer/core/scale.h"
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
    // Opens three.tif with the permissions; waits, bounded, until its first page is active.
    bool OpenWith(bool allow_save, bool allow_print) {
        Ref<OpenParams> params = OpenParamsCreate();
        OpenParamsSetAllowSave(params.get(), allow_save);
        OpenParamsSetAllowPrint(params.get(), allow_print);
        return viewer_.Open({dir_ + "/three.tif"}, params.get());
    }
    // Lets the hub's notifications reach the bars, then checks the buttons.
    void ExpectEnabled(const std::vector<Expected>& buttons, const char* when) {
        PumpPending();
        for (const Expected& b : buttons) {
            EXPECT_EQ(SendMessageW(CommandBarsGetToolBar(bars_), TB_ISBUTTONENABLED, b.id, 0) != 0, b.on)
                << when << ": " << b.id;
        }
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
    ASSERT_TRUE(OpenWith(true, false));
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

    ASSERT_TRUE(OpenWith(true, true));
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

constexpr uint32_t kBlue = 0x0000FF;

std::wstring PartText(HWND control, int part) {
    const LRESULT length = LOWORD(SendMessageW(control, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(control, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

struct StatusHarness {
    StatusHarness() : viewer("PlovexStatusBarTest") {
        bar = viewer.frame->status_bar.get();
        control = StatusBarGetWindow(bar);
    }
    ViewerContext* context() const { return viewer.context.get(); }
    std::wstring Text(int part) const { return PartText(control, part); }
    // Waits, bounded, until the part shows the text.
    bool Shows(int part, const std::wstring& text) const {
        return PollUntil([&] { return Text(part) == text; }, 5000);
    }
    bool Holds(int part, const std::wstring& text) const {
        return PollUntil([&] { return Text(part).find(text) != std::wstring::npos; }, 5000);
    }
    std::wstring LanguageText(uint32_t id) const { return ViewerTextOrEmpty(viewer.context.get(), id); }
    // The blue the control paints (the frame owner-draws the progress part):
    // its count and bounding box.
    struct Blue {
        int count = 0, left = INT_MAX, right = -1, top = INT_MAX, bottom = -1;
        int Width() const { return right - left + 1; }
        bool Solid() const { return count == Width() * (bottom - top + 1); }
    };
    Blue BlueArea() const {
        RECT client = {};
        GetClientRect(control, &client);
        DibCanvas canvas(client.right, client.bottom, 0xFFFFFF);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        Blue b;
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = 0; x < client.right; ++x) {
                if (canvas.Pixel(x, y) != kBlue) continue;
                ++b.count, b.left = std::min(b.left, x), b.right = std::max(b.right, x);
                b.top = std::min(b.top, y), b.bottom = std::max(b.bottom, y);
            }
        }
        return b;
    }
    void Progress(double fraction) const {
        Variant argument;
        VariantInitDouble(argument, fraction);
        ViewerSendActionArg(viewer.context.get(), event::kProgress, argument);
        PumpPending();
    }

    FrameViewer viewer;
    StatusBarWindow* bar = nullptr;
    HWND control = nullptr;
};

std::string MakeA4Pages() {
    const std::string dir = MakeScratchDir("status_bar");
    // 595 x 842 pixels at 72 dpi: 209.9 x 297.0 mm.
    EXPECT_TRUE(MakeFilesIn(dir,
                            "convert -density 72 -units PixelsPerInch -size 595x842 xc:white xc:white"
                            " xc:white -compress group4 a4.tif"));
    return dir + "/a4.tif";
}

TEST(StatusBar, PartsFollowTheActivePage) {
    StatusHarness h;
    ASSERT_NE(h.control, nullptr);
    EXPECT_EQ(SendMessageW(h.control, SB_GETPARTS, 0, 0), kStatusPartCount);
    ASSERT_TRUE(h.viewer.Open({MakeA4Pages()}));
    Ref<DocItem> document = h.viewer.Document(0);
    Ref<DocItem> second = DocItemGetChild(document.get(), 1);
    ASSERT_NE(second, nullptr);
    ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), 0).get());

    wchar_t expected[100];
    swprintf(expected, 100, h.LanguageText(1846).c_str(), 1, 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);
    EXPECT_TRUE(h.Shows(kStatusPartPaper, L"\tISO A4")) << h.Text(kStatusPartPaper);
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"\t" + h.LanguageText(2070) + L" " + h.LanguageText(2071)))
        << h.Text(kStatusPartScale);

    ViewerSetActiveItem(h.context(), second.get());
    swprintf(expected, 100, h.LanguageText(1846).c_str(), 2, 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);

    // The scale as the scale dialog sets it: on the page and the document.
    Ref<Scale> scale = ScaleCreate(1, 50);
    OpenParamsSetScale(second->GetOpenParams().get(), scale.get());
    if (Ref<OpenParams> params = document->GetOpenParams()) OpenParamsSetScale(params.get(), scale.get());
    ViewerPostActionArg(h.context(), event::kDrawingScaleChanged, VariantOfInt(0));
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"\t" + h.LanguageText(2070) + L" 1 : 50"))
        << h.Text(kStatusPartScale);

    // The cut-out's size follows the length unit; a fixed zoom factor is
    // shown as such once the view has taken it.
    EXPECT_TRUE(h.Holds(kStatusPartCutOut, L" " + h.LanguageText(10100) + L" x ")) << h.Text(kStatusPartCutOut);
    SettingsSetLengthUnit(h.viewer.settings.get(), h.context(), kCallerViewer, kLengthInch);
    EXPECT_TRUE(h.Holds(kStatusPartCutOut, L" " + h.LanguageText(10103) + L" x ")) << h.Text(kStatusPartCutOut);
    SettingsSetZoomFactor(h.viewer.settings.get(), h.context(), kCallerViewer, 2.0);
    EXPECT_TRUE(h.Shows(kStatusPartZoom, L"\t200 % " + h.LanguageText(1878))) << h.Text(kStatusPartZoom);

    // The document itself: its page count; no paper format.
    ViewerSetActiveItem(h.context(), document.get());
    swprintf(expected, 100, h.LanguageText(1847).c_str(), 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);
    EXPECT_TRUE(h.Shows(kStatusPartPaper, L"\t")) << h.Text(kStatusPartPaper);

    // Without any document the scale part is empty and the page part a tab.
    AppCloseAll(h.viewer.root.get(), h.context());
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"")) << h.Text(kStatusPartScale);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t")) << h.Text(kStatusPartPage);
}

// The parts are set with the control's redrawing off (as Wine does it, the
// control is not visible meanwhile): a shown bar is visible again and waits
// for its paint, a hidden one stays hidden, and both hold the new texts.
TEST(StatusBar, NewTextsLeaveTheBarAsShownOrHidden) {
    StatusHarness h;
    ASSERT_TRUE(h.viewer.Open({MakeA4Pages()}));
    Ref<DocItem> document = h.viewer.Document(0);
    wchar_t expected[100];
    for (const int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        h.viewer.SetMode(kPaneStatusBar, mode);
        PumpPending();
        for (const uint32_t page : {1u, 0u}) {
            ValidateRect(h.control, nullptr);
            ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), page).get());
            StatusBarRefresh(h.bar, event::kActiveItemChanged);
            swprintf(expected, 100, h.LanguageText(1846).c_str(), int(page + 1), 3);
            EXPECT_EQ(h.Text(kStatusPartPage), L"\t" + std::wstring(expected));
            EXPECT_EQ((GetWindowLongW(h.control, GWL_STYLE) & WS_VISIBLE) != 0, mode == 1);
            if (mode == 1) {
                EXPECT_TRUE(GetUpdateRect(h.control, nullptr, FALSE));
            }
            PumpPending();
        }
    }
}

// Counts the times the control's redrawing is switched off, into the int
// its data points to.
LRESULT CALLBACK CountRedrawsOff(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                 DWORD_PTR counter) {
    if (message == WM_SETREDRAW && !wparam) ++*reinterpret_cast<int*>(counter);
    return WindowSubclassNext(window, message, wparam, lparam);
}

// Notifications queued together fill the parts once, as the drain ends or
// with the last of them: the control's redrawing goes off and on once, and
// the texts are the ones the notifications give one at a time.
TEST(StatusBar, ADrainsNotificationsFillThePartsOnceWithTheSameTexts) {
    StatusHarness h;
    const std::string dir = MakeScratchDir("status_bar_drain");
    // A4 and A3 at 72 dpi: the paper, the cut-out and the page parts all differ.
    ASSERT_TRUE(MakeFilesIn(dir, "convert -density 72 -units PixelsPerInch -size 595x842 xc:white"
                                 " -size 842x1191 xc:white -compress group4 a4a3.tif"));
    ASSERT_TRUE(h.viewer.Open({dir + "/a4a3.tif"}));
    Ref<DocItem> document = h.viewer.Document(0);
    Ref<EventHub> hub = AppGetEventHub(h.viewer.root.get());
    static int redraws_off = 0;  // outlives the control, whichever way the test ends
    ASSERT_TRUE(WindowSubclassAdd(h.control, &CountRedrawsOff, 77, reinterpret_cast<DWORD_PTR>(&redraws_off)));
    auto texts = [&] {
        std::vector<std::wstring> all;
        for (int part = kStatusPartPaper; part < kStatusPartCount; ++part) all.push_back(h.Text(part));
        return all;
    };
    // Each would refresh some of the parts on its own: the cut-out, then all.
    const uint32_t codes[] = {event::kMainViewScaleChanged, event::kActiveItemChanged,
                              event::kMainViewRecomputed};
    for (const uint32_t page : {1u, 0u}) {
        SCOPED_TRACE(page);
        // One at a time, outside any drain: the texts to expect.
        ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), page).get());
        PumpPending();
        for (const uint32_t code : codes) EventHubSend(hub.get(), h.context(), code);
        const std::vector<std::wstring> expected = texts();
        // To the other page, its texts given by hand.
        ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), 1 - page).get());
        PumpPending();
        for (const uint32_t code : codes) EventHubSend(hub.get(), h.context(), code);
        ASSERT_NE(texts(), expected);
        {
            // Made active without a notification of its own: the posts below are the drain.
            ScopedLock hold(h.context()->lock);
            h.context()->active_item = DocItemGetChild(document.get(), page);
        }
        redraws_off = 0;
        for (const uint32_t code : codes) EventHubPost(hub.get(), h.context(), code);
        PumpPending();
        EXPECT_EQ(texts(), expected);
        EXPECT_EQ(redraws_off, 1);
    }
    WindowSubclassRemove(h.control, &CountRedrawsOff, 77);
}

TEST(StatusBar, StatusTextNeedsASender) {
    StatusHarness h;
    Variant text;
    VariantInitString(text, WString(L"dragging"));
    ViewerSendActionArg(h.context(), event::kStatusText, text);
    EXPECT_EQ(h.Text(kStatusPartText), L"dragging");
    if (Ref<EventHub> hub = AppGetEventHub(h.viewer.root.get())) {
        VariantInitString(text, WString(L"anonymous"));
        EventHubSendArg(hub.get(), nullptr, event::kStatusText, text);
    }
    EXPECT_EQ(h.Text(kStatusPartText), L"dragging");
}

TEST(StatusBar, ProgressBarShowsOnlyFractionsFromZeroToOne) {
    EXPECT_EQ(StatusBarProgressPercent(std::nan("")), -1);

    StatusHarness h;
    RECT part = {};
    SendMessageW(h.control, SB_GETRECT, kStatusPartProgress, reinterpret_cast<LPARAM>(&part));
    EXPECT_EQ(h.BlueArea().count, 0);

    h.Progress(1.0);
    EXPECT_EQ(h.bar->progress_drawn, 100);
    const StatusHarness::Blue full = h.BlueArea();
    // A filled box inside the part, a few pixels in from its edges.
    EXPECT_TRUE(full.count > 0 && full.Solid());
    EXPECT_GE(full.left, part.left + 2);
    EXPECT_LE(full.right, part.right - 2);
    EXPECT_GE(full.Width(), part.right - part.left - 8);
    EXPECT_GE(full.top, part.top + 4);
    EXPECT_LE(full.bottom, part.bottom - 4);
    // Listeners after the status bar never see the progress.
    EXPECT_EQ(h.viewer.Count(event::kProgress), 1u);

    h.Progress(0.5);
    const StatusHarness::Blue half = h.BlueArea();
    EXPECT_TRUE(half.Solid());
    EXPECT_EQ(half.left, full.left);
    EXPECT_NEAR(half.Width(), full.Width() / 2.0, 1.0);

    h.Progress(1.5);
    EXPECT_EQ(h.bar->progress, -1);
    EXPECT_EQ(h.BlueArea().count, 0);
    h.Progress(1.0);
    EXPECT_EQ(h.BlueArea().count, full.count);
    h.Progress(-0.1);
    EXPECT_EQ(h.BlueArea().count, 0);
    EXPECT_EQ(h.bar->progress_drawn, -1);
}

}  // namespace

namespace {

void AddTwoFakeProviders(AppRoot* root) {
    PrintProvidersAdd(root->print_providers, MakeRef<FakePrintProvider>(L"Windows printing").get());
    PrintProvidersAdd(root->print_providers, MakeRef<FakePrintProvider>(L"Plot server").get());
}

std::wstring MenuText(HMENU menu, UINT id) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
    return text;
}

}  // namespace

// The File menu has one print item per provider of the installed printing
// layer, told apart by the providers' names; without a layer it has none.
TEST(CommandBarsPrintItems, OnePerProviderNamedWhenThereAreSeveral) {
    {
        FrameViewer plain("PlovexPrintItemsNone");
        HMENU file = CommandBarsGetPopup(plain.frame->command_bars.get(), kFirstPopup);
        EXPECT_EQ(GetMenuState(file, kFirstPrinter, MF_BYCOMMAND), static_cast<UINT>(-1));
    }
    PrintLayer layer;
    layer.add_windows = AddTwoFakeProviders;
    PrintLayerInstall(layer);
    {
        FrameViewer viewer("PlovexPrintItemsTwo");
        HMENU file = CommandBarsGetPopup(viewer.frame->command_bars.get(), kFirstPopup);
        const std::wstring print = ViewerTextOrEmpty(viewer.context.get(), 1812);
        EXPECT_EQ(MenuText(file, kFirstPrinter), print + L" (Windows printing)");
        EXPECT_EQ(MenuText(file, kFirstPrinter + 1), print + L" (Plot server)");
        EXPECT_EQ(GetMenuState(file, kFirstPrinter + 2, MF_BYCOMMAND), static_cast<UINT>(-1));
    }
    PrintLayerInstall(PrintLayer{});
}
