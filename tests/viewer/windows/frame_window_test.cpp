#include "viewer/windows/frame_window.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "foundation/file_handle.h"
#include "foundation/handles.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/documents/document_source.h"
#include "viewer/views/main_view.h"
#include "viewer/views/preview_window.h"
#include "viewer/windows/command_bars.h"
#include "viewer/windows/frame_layout.h"
#include "viewer/windows/status_bar.h"

namespace {

constexpr COLORREF kSplitterGrey = RGB(200, 200, 200);
constexpr COLORREF kEmptyGrey = RGB(192, 192, 192);  // the light-grey stock brush

int32_t Bottom(const RectI& rect) { return rect.origin.y + rect.size.height; }

// The frame's client area as WM_PRINTCLIENT draws it.
struct ClientPixels {
    explicit ClientPixels(HWND window) {
        RECT client = {};
        GetClientRect(window, &client);
        width = client.right;
        height = client.bottom;
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap.Reset(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        MemoryDC dc(nullptr);
        if (!bitmap || !dc) return;
        ScopedSelect select(dc.get(), bitmap.get());
        RECT all = {0, 0, width, height};
        FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
        SendMessageW(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc.get()), PRF_CLIENT);
        GdiFlush();
        pixels = static_cast<const uint32_t*>(bits);
    }
    COLORREF At(int32_t x, int32_t y) const {
        const uint32_t bgr = pixels[y * width + x];
        return RGB((bgr >> 16) & 0xFF, (bgr >> 8) & 0xFF, bgr & 0xFF);
    }
    int32_t width = 0;
    int32_t height = 0;
    GdiBitmap bitmap;
    const uint32_t* pixels = nullptr;
};

// The band between the command bars and the status bar, in client
// coordinates, as the bars' windows show it.
RectI PaneArea(FrameViewer& viewer) {
    const HWND frame = viewer.Frame();
    const RectI bars = RectInFrame(CommandBarsGetWindow(viewer.frame->command_bars.get()), frame);
    const RectI status = RectInFrame(StatusBarGetWindow(viewer.frame->status_bar.get()), frame);
    RECT client = {};
    GetClientRect(frame, &client);
    return MakeRect(0, Bottom(bars), client.right, status.origin.y - Bottom(bars));
}

HWND PreviewWindowOf(FrameViewer& viewer) {
    return viewer.frame->preview ? viewer.frame->preview->window() : nullptr;
}
HWND MainViewWindowOf(FrameViewer& viewer) {
    return viewer.frame->main_view ? viewer.frame->main_view->window() : nullptr;
}

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

void Drag(HWND frame, POINT from, POINT to) {
    PostMessageW(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    PostMessageW(frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM((to.x + from.x) / 2, (to.y + from.y) / 2));
    PostMessageW(frame, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    PostMessageW(frame, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    PumpPending();
}

// A drop as the shell hands it over: a DROPFILES header and the wide paths,
// each ended by a NUL and the list by one more.
HDROP MakeDrop(const std::vector<std::wstring>& paths) {
    size_t characters = 1;
    for (const std::wstring& path : paths) characters += path.size() + 1;
    GlobalMemory memory(GlobalAlloc(GHND, sizeof(DROPFILES) + characters * sizeof(wchar_t)));
    GlobalLockScope lock(memory.get());
    auto* header = static_cast<DROPFILES*>(lock.data());
    if (!header) return nullptr;
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    auto* text = reinterpret_cast<wchar_t*>(header + 1);
    for (const std::wstring& path : paths) {
        path.copy(text, path.size());
        text += path.size() + 1;
    }
    return static_cast<HDROP>(memory.Release());
}

std::wstring SourcePathOf(DocItem* item) {
    Ref<DocumentSource> source = item ? item->GetSource() : nullptr;
    WString path;
    if (source) SourceGetPath(source.get(), path);
    return WStrLength(path) ? std::wstring(WStrCStr(path)) : std::wstring();
}

}  // namespace

TEST(FrameSplit, PanesShareTheAreaByTheirModes) {
    const RectI client = MakeRect(0, 0, 800, 600);
    const RectI none;
    struct Case {
        const char* name;
        FramePaneModes modes;
        int32_t navigation_width;
        int32_t preview_height;
        RectI tree, preview, main_view, vertical, horizontal;
        FramePaneModes applied;
    };
    // Below bars of 50 and above a status bar of 20: the area 0,50 800x530.
    const Case cases[] = {
        {"all docked",
         {1, 1, 1},
         200,
         150,
         MakeRect(0, 50, 200, 377),
         MakeRect(0, 430, 200, 150),
         MakeRect(203, 50, 597, 530),
         MakeRect(200, 50, 3, 530),
         MakeRect(0, 427, 200, 3),
         {1, 1, 1}},
        {"column as wide as the area hides the main view",
         {1, 1, 1},
         797,
         150,
         MakeRect(0, 50, 800, 377),
         MakeRect(0, 430, 800, 150),
         none,
         none,
         MakeRect(0, 427, 800, 3),
         {1, 1, 0}},
        {"preview too high takes the column",
         {1, 1, 1},
         200,
         527,
         none,
         MakeRect(0, 50, 200, 530),
         MakeRect(203, 50, 597, 530),
         MakeRect(200, 50, 3, 530),
         none,
         {0, 1, 1}},
        {"floating tree leaves the column to the preview",
         {2, 1, 1},
         200,
         150,
         none,
         MakeRect(0, 50, 200, 530),
         MakeRect(203, 50, 597, 530),
         MakeRect(200, 50, 3, 530),
         none,
         {2, 1, 1}},
        {"tree beside the main view",
         {1, 2, 1},
         200,
         150,
         MakeRect(0, 50, 200, 530),
         none,
         MakeRect(203, 50, 597, 530),
         MakeRect(200, 50, 3, 530),
         none,
         {1, 2, 1}},
        {"main view alone",
         {0, 0, 1},
         200,
         150,
         none,
         none,
         MakeRect(0, 50, 800, 530),
         none,
         none,
         {0, 0, 1}},
        {"tree beside the preview",
         {1, 1, 2},
         200,
         150,
         MakeRect(0, 50, 200, 530),
         MakeRect(203, 50, 597, 530),
         none,
         MakeRect(200, 50, 3, 530),
         none,
         {1, 1, 2}},
        {"preview squeezed to nothing",
         {1, 1, 0},
         798,
         150,
         MakeRect(0, 50, 798, 530),
         none,
         none,
         MakeRect(798, 50, 2, 530),
         none,
         {1, 0, 0}},
        {"tree wider than the area",
         {1, 1, 0},
         800,
         150,
         MakeRect(0, 50, 800, 530),
         none,
         none,
         none,
         none,
         {1, 0, 0}},
        {"preview alone", {2, 1, 0}, 200, 150, none, MakeRect(0, 50, 800, 530), none, none, none, {2, 1, 0}},
        {"tree alone", {1, 0, 2}, 200, 150, MakeRect(0, 50, 800, 530), none, none, none, none, {1, 0, 2}},
        {"nothing docked", {2, 0, 2}, 200, 150, none, none, none, none, none, {2, 0, 2}},
    };
    for (const Case& c : cases) {
        const FrameSplit split =
            FrameSplitPanes(client, 50, 20, c.navigation_width, c.preview_height, c.modes);
        EXPECT_EQ(split.tree, c.tree) << c.name << ": " << Show(split.tree);
        EXPECT_EQ(split.preview, c.preview) << c.name << ": " << Show(split.preview);
        EXPECT_EQ(split.main_view, c.main_view) << c.name << ": " << Show(split.main_view);
        EXPECT_EQ(split.vertical_splitter, c.vertical) << c.name << ": " << Show(split.vertical_splitter);
        EXPECT_EQ(split.horizontal_splitter, c.horizontal)
            << c.name << ": " << Show(split.horizontal_splitter);
        EXPECT_EQ(split.modes.tree, c.applied.tree) << c.name;
        EXPECT_EQ(split.modes.preview, c.applied.preview) << c.name;
        EXPECT_EQ(split.modes.main_view, c.applied.main_view) << c.name;
    }
    // Bars that leave no height hide every docked pane; floating ones stay.
    const FrameSplit squeezed = FrameSplitPanes(client, 300, 300, 200, 150, FramePaneModes{1, 2, 1});
    EXPECT_EQ(squeezed.modes.tree, 0);
    EXPECT_EQ(squeezed.modes.preview, 2);
    EXPECT_EQ(squeezed.modes.main_view, 0);
    EXPECT_EQ(squeezed.vertical_splitter, none);
}

TEST(FrameWindow, DockedPanesFillTheAreaAroundTheSplitters) {
    FrameViewer viewer("PlovexFrameDockedTest");
    const HWND frame = viewer.Frame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(ClassOf(frame), kFrameClassName);
    EXPECT_EQ(WindowText(frame), L"Plovex");
    EXPECT_TRUE(IsWindowVisible(frame));
    EXPECT_FALSE(GetWindowLongW(frame, GWL_STYLE) & WS_CHILD);
    viewer.SetClientSize(800, 600);

    const RectI bars = RectInFrame(CommandBarsGetWindow(viewer.frame->command_bars.get()), frame);
    const RectI status = RectInFrame(StatusBarGetWindow(viewer.frame->status_bar.get()), frame);
    EXPECT_EQ(ClassOf(CommandBarsGetWindow(viewer.frame->command_bars.get())), REBARCLASSNAMEW);
    EXPECT_EQ(ClassOf(StatusBarGetWindow(viewer.frame->status_bar.get())), STATUSCLASSNAMEW);
    EXPECT_EQ(bars.origin.y, 0);
    EXPECT_GT(bars.size.height, 0);
    EXPECT_GT(status.size.height, 0);
    EXPECT_EQ(Bottom(status), 600);
    EXPECT_EQ(status.size.width, 800);

    const RectI area = PaneArea(viewer);
    const int32_t top = area.origin.y;
    const int32_t tree_height = area.size.height - kTestPreviewHeight - 3;
    EXPECT_EQ(RectInFrame(viewer.Tree(), frame), MakeRect(0, top, kTestNavigationWidth, tree_height));
    EXPECT_EQ(RectInFrame(PreviewWindowOf(viewer), frame),
              MakeRect(0, Bottom(area) - kTestPreviewHeight, kTestNavigationWidth, kTestPreviewHeight));
    EXPECT_EQ(RectInFrame(MainViewWindowOf(viewer), frame),
              MakeRect(kTestNavigationWidth + 3, top, 800 - kTestNavigationWidth - 3, area.size.height));
    EXPECT_EQ(ClassOf(viewer.Tree()), kDocTreeClassName);
    EXPECT_EQ(ClassOf(PreviewWindowOf(viewer)), kPreviewClassName);
    EXPECT_EQ(ClassOf(MainViewWindowOf(viewer)), kMainViewClassName);
    // The tree-view control fills its container.
    EXPECT_EQ(RectInFrame(viewer.TreeControl(), frame), RectInFrame(viewer.Tree(), frame));

    // The splitters paint in their grey, through the same routine as WM_PAINT.
    const ClientPixels pixels(frame);
    ASSERT_NE(pixels.pixels, nullptr);
    EXPECT_EQ(pixels.At(kTestNavigationWidth + 1, top + 10), kSplitterGrey);
    EXPECT_EQ(pixels.At(kTestNavigationWidth / 2, top + tree_height + 1), kSplitterGrey);
}

TEST(FrameWindow, FloatingAndHiddenPanes) {
    FrameViewer viewer("PlovexFrameModesTest");
    const HWND frame = viewer.Frame();
    viewer.SetClientSize(800, 600);
    const RectI area = PaneArea(viewer);
    const RectI column = MakeRect(0, area.origin.y, kTestNavigationWidth, area.size.height);

    // A floating tree is a tool window owned by the frame, at its stored
    // place relative to the frame; the preview takes the whole column.
    SettingsSetPaneRect(viewer.settings.get(), nullptr, kCallerInternal, kPaneNavigation,
                        MakeRect(40, 60, 180, 250));
    viewer.SetMode(kPaneNavigation, 2);
    const HWND tree = viewer.Tree();
    ASSERT_NE(tree, nullptr);
    EXPECT_TRUE(GetWindowLongW(tree, GWL_STYLE) & WS_POPUP);
    EXPECT_TRUE(GetWindowLongW(tree, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_EQ(GetWindow(tree, GW_OWNER), frame);
    const RectI frame_rect = ScreenRect(frame);
    EXPECT_EQ(ScreenRect(tree), MakeRect(frame_rect.origin.x + 40, frame_rect.origin.y + 60, 180, 250));
    EXPECT_EQ(RectInFrame(PreviewWindowOf(viewer), frame), column);

    // Moved by the user, the floating tree stores its new place.
    SetWindowPos(tree, nullptr, frame_rect.origin.x + 70, frame_rect.origin.y + 90, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(SettingsGetPaneRect(viewer.settings.get(), kPaneNavigation), MakeRect(70, 90, 180, 250));

    // Hidden: no window at all.
    viewer.SetMode(kPaneNavigation, 0);
    EXPECT_EQ(viewer.Tree(), nullptr);
    EXPECT_EQ(RectInFrame(PreviewWindowOf(viewer), frame), column);

    // Without tree and preview the main view takes the whole area, and no
    // splitter is left to paint.
    viewer.SetMode(kPanePreview, 0);
    EXPECT_EQ(PreviewWindowOf(viewer), nullptr);
    EXPECT_EQ(RectInFrame(MainViewWindowOf(viewer), frame), area);

    // A floating main view leaves nothing docked: the area is painted grey.
    viewer.SetMode(kPaneMainView, 2);
    const HWND main_view = MainViewWindowOf(viewer);
    ASSERT_NE(main_view, nullptr);
    EXPECT_TRUE(GetWindowLongW(main_view, GWL_STYLE) & WS_POPUP);
    const ClientPixels pixels(frame);
    ASSERT_NE(pixels.pixels, nullptr);
    EXPECT_EQ(pixels.At(400, area.origin.y + area.size.height / 2), kEmptyGrey);
    EXPECT_EQ(pixels.At(kTestNavigationWidth + 1, area.origin.y + 5), kEmptyGrey);

    // Docked again, each pane is a child of the frame once more.
    for (SettingsPane pane : {kPaneMainView, kPanePreview, kPaneNavigation}) viewer.SetMode(pane, 1);
    EXPECT_EQ(GetParent(viewer.Tree()), frame);
    EXPECT_TRUE(GetWindowLongW(viewer.Tree(), GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(RectInFrame(viewer.Tree(), frame).size.width, kTestNavigationWidth);
}

TEST(FrameWindow, FloatingPanesFollowTheFrame) {
    FrameViewer viewer("PlovexFrameFollowTest");
    const HWND frame = viewer.Frame();
    SetWindowPos(frame, nullptr, 10, 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    SettingsSetPaneRect(viewer.settings.get(), nullptr, kCallerInternal, kPanePreview,
                        MakeRect(30, 40, 150, 120));
    SettingsSetPopupsMoveWithMain(viewer.settings.get(), nullptr, kCallerInternal, true);
    viewer.SetMode(kPanePreview, 2);
    const HWND preview = PreviewWindowOf(viewer);
    ASSERT_NE(preview, nullptr);
    EXPECT_EQ(ScreenRect(preview), MakeRect(40, 60, 150, 120));

    SetWindowPos(frame, nullptr, 110, 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ScreenRect(preview), MakeRect(140, 110, 150, 120));
    // The control's move hook reports the host's moves the same way.
    SettingsSetPaneRect(viewer.settings.get(), nullptr, kCallerInternal, kPanePreview,
                        MakeRect(5, 6, 150, 120));
    SendMessageW(frame, kFrameHostMovedMessage, 0, 0);
    EXPECT_EQ(ScreenRect(preview), MakeRect(115, 76, 150, 120));

    // Not following, the pane stays where it is and its place relative to
    // the frame is what is stored.
    SettingsSetPopupsMoveWithMain(viewer.settings.get(), nullptr, kCallerInternal, false);
    SetWindowPos(frame, nullptr, 60, 50, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_EQ(ScreenRect(preview), MakeRect(115, 76, 150, 120));
    EXPECT_EQ(SettingsGetPaneRect(viewer.settings.get(), kPanePreview), MakeRect(55, 26, 150, 120));

    if constexpr (kViewerProgramBuild) {
        // The desktop program keeps its frame's place for the next start.
        EXPECT_EQ(SettingsGetFrameRect(viewer.settings.get()), ScreenRect(frame));
    }
}

TEST(FrameWindow, SplitterDragMovesTheColumnAndClamps) {
    FrameViewer viewer("PlovexFrameSplitterTest");
    const HWND frame = viewer.Frame();
    viewer.SetClientSize(800, 600);
    const RectI area = PaneArea(viewer);
    const int32_t row = area.origin.y + 10;

    Drag(frame, POINT{kTestNavigationWidth + 1, row}, POINT{300, row + 40});
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(SettingsGetNavigationWidth(viewer.settings.get()), 301);
    EXPECT_EQ(RectInFrame(viewer.Tree(), frame).size.width, 301);
    EXPECT_EQ(RectInFrame(MainViewWindowOf(viewer), frame).origin.x, 304);
    EXPECT_EQ(viewer.frame->vertical_splitter, MakeRect(301, area.origin.y, 3, area.size.height));

    // Past the edges the column stops 20 pixels from the left and 101 from
    // the right of the client area.
    Drag(frame, POINT{302, row}, POINT{-50, row});
    EXPECT_EQ(SettingsGetNavigationWidth(viewer.settings.get()), 21);
    Drag(frame, POINT{22, row}, POINT{900, row});
    EXPECT_EQ(SettingsGetNavigationWidth(viewer.settings.get()), 800 - 100);

    // The horizontal splitter sets the preview's height from the bottom.
    const RectI tree = RectInFrame(viewer.Tree(), frame);
    Drag(frame, POINT{10, Bottom(tree) + 1}, POINT{10, Bottom(area) - 250});
    EXPECT_EQ(SettingsGetPreviewHeight(viewer.settings.get()), 250);
    EXPECT_EQ(RectInFrame(PreviewWindowOf(viewer), frame).size.height, 250);
    Drag(frame, POINT{10, Bottom(area) - 252}, POINT{10, Bottom(area) + 100});
    EXPECT_EQ(SettingsGetPreviewHeight(viewer.settings.get()), 21);

    // A click that starts on no splitter drags nothing.
    Drag(frame, POINT{500, row}, POINT{100, row});
    EXPECT_EQ(SettingsGetNavigationWidth(viewer.settings.get()), 700);
}

TEST(FrameWindow, SplitterDragRefusedWhenTooSmallOrNotPermitted) {
    FrameViewer viewer("PlovexFrameRefusedTest");
    const HWND frame = viewer.Frame();
    viewer.SetClientSize(800, 600);
    const int32_t row = PaneArea(viewer).origin.y + 10;

    // The user's window settings may not be changed: no drag.
    viewer.settings->permissions[kGroupWindow] = 0;
    PostMessageW(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(kTestNavigationWidth + 1, row));
    PumpPending();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(viewer.frame->drag_mode, kSplitterDragNone);
    viewer.settings->permissions[kGroupWindow] = kPermissionDefault;

    // A client area of 110 pixels: the limits (20 and 9) cross.
    SettingsSetNavigationWidth(viewer.settings.get(), nullptr, kCallerInternal, 50);
    viewer.SetClientSize(110, 600);
    ASSERT_EQ(viewer.frame->vertical_splitter.origin.x, 50);
    PostMessageW(frame, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(51, row));
    PumpPending();
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(viewer.frame->drag_mode, kSplitterDragNone);
    PostMessageW(frame, WM_LBUTTONUP, 0, MAKELPARAM(30, row));
    PumpPending();
    EXPECT_EQ(SettingsGetNavigationWidth(viewer.settings.get()), 50);
}

TEST(FrameWindow, TitleShowsTheActiveDocument) {
    const std::string dir = MakeScratchDir("frame_title");
    MakeTiff(dir + "/single.tif", 1);
    MakeTiff(dir + "/three.tif", 3);
    FrameViewer viewer("PlovexFrameTitleTest");
    ASSERT_TRUE(viewer.Open({dir + "/single.tif"}));
    EXPECT_TRUE(PollUntil([&] { return WindowText(viewer.Frame()) == L"Plovex - single.tif"; }, 5000))
        << std::string(Narrow(WString(WindowText(viewer.Frame()).c_str())));

    ViewerCloseAll(viewer.context.get());
    EXPECT_TRUE(PollUntil([&] { return WindowText(viewer.Frame()) == L"Plovex"; }, 5000));

    // A page of a document with several pages: document / page.
    ASSERT_TRUE(viewer.Open({dir + "/three.tif"}));
    Ref<DocItem> first_page = DocItemGetChild(viewer.Document(0).get(), 0);
    WString page_name;
    DocItemGetName(first_page.get(), page_name);
    const std::wstring expected = L"Plovex - three.tif / " + std::wstring(WStrCStr(page_name));
    EXPECT_TRUE(PollUntil([&] { return WindowText(viewer.Frame()) == expected; }, 5000));
}

TEST(FrameWindow, DrainsTheHubOnItsMessage) {
    FrameViewer viewer("PlovexFrameDrainTest");
    Ref<EventHub> hub = AppGetEventHub(viewer.root.get());
    viewer.recorder->events.clear();
    EventHubPost(hub.get(), nullptr, event::kDrawingScaleChanged);
    EXPECT_TRUE(viewer.recorder->events.empty());
    SendMessageW(viewer.Frame(), kHubDrainMessage, 0, 0);
    EXPECT_EQ(viewer.recorder->Codes(), std::vector<uint32_t>{event::kDrawingScaleChanged});
    PumpPending();  // the hub's own message now finds the queue empty
    EXPECT_EQ(viewer.recorder->events.size(), 1u);
}

TEST(FrameWindow, DroppedFilesOpenWhole) {
    // A path longer than the classic 260 characters.
    std::string dir = MakeScratchDir("frame_drop");
    for (int i = 0; i < 6; ++i) dir += "/" + std::string(50, static_cast<char>('a' + i));
    ASSERT_EQ(RunHostCommand("mkdir -p '" + dir + "'"), 0);
    MakeTiff(dir + "/long.tif", 2);
    MakeTiff(dir + "/other.tif", 1);
    const std::wstring long_path = WindowsPathOf(dir + "/long.tif");
    ASSERT_GT(long_path.size(), 300u);

    FrameViewer viewer("PlovexFrameDropTest");
    SendMessageW(viewer.Frame(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({long_path})), 0);
    ASSERT_TRUE(PollUntil([&] { return viewer.Loaded(1); }, 15000));
    EXPECT_EQ(SourcePathOf(viewer.Document(0).get()), long_path);
    EXPECT_EQ(DocItemGetChildCount(viewer.Document(0).get()), 2u);

    // Several files open as one request, the first of them activated.
    ViewerCloseAll(viewer.context.get());
    const std::wstring other_path = WindowsPathOf(dir + "/other.tif");
    SendMessageW(viewer.Frame(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({other_path, long_path})),
                 0);
    ASSERT_TRUE(PollUntil([&] { return viewer.Loaded(2); }, 15000));
    EXPECT_EQ(SourcePathOf(viewer.Document(0).get()), other_path);
    EXPECT_EQ(SourcePathOf(viewer.Document(1).get()), long_path);
    EXPECT_TRUE(PollUntil(
        [&] {
            return ViewerGetActiveItemId(viewer.context.get()) ==
                   DocItemGetId(DocItemGetChild(viewer.Document(0).get(), 0).get());
        },
        5000));

    // Opening by the user forbidden: the drop opens nothing.
    ViewerCloseAll(viewer.context.get());
    SettingsAddRestrictions(viewer.settings.get(), nullptr, kCallerInternal, restriction::kOpenInteractively);
    SendMessageW(viewer.Frame(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({other_path})), 0);
    PumpPending();
    EXPECT_EQ(DocItemGetChildCount(ViewerGetRootItem(viewer.context.get()).get()), 0u);
}

TEST(FrameWindow, CleanupTimerRunsAtEveryTick) {
    const std::string unix_directory = MakeScratchDir("frame_cleanup");
    const std::wstring directory = WindowsPathOf(unix_directory) + L"\\";
    FrameViewer viewer("PlovexFrameCleanupTest", directory);
    const HWND frame = viewer.Frame();
    // The frame asked for its timer itself: it is set once the loop ran.
    PumpPending();
    EXPECT_TRUE(KillTimer(frame, kFrameCleanupTimer));
    SendMessageW(frame, kFrameStartCleanupMessage, 0, 0);

    // A file of another session, two days and more old.
    auto make_stale = [&](uint32_t counter) {
        SYSTEMTIME time = {};
        WString name;
        AppTempFileName((viewer.root->session_letter + 1) % kTempLetterCount, time, counter, L"tif", name);
        RunHostCommand("touch -d '3 days ago' '" + unix_directory + "/" + Narrow(name) + "'");
        return directory + WStrCStr(name);
    };
    auto gone = [](const std::wstring& path) {
        return PollUntil([&] { return GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES; }, 5000);
    };
    for (uint32_t tick = 0; tick < 2; ++tick) {
        const std::wstring stale = make_stale(tick);
        ASSERT_NE(GetFileAttributesW(stale.c_str()), INVALID_FILE_ATTRIBUTES);
        SendMessageW(frame, WM_TIMER, kFrameCleanupTimer, 0);
        EXPECT_TRUE(gone(stale)) << "tick " << tick;
    }
    // The timer repeats: it is still set after its ticks.
    EXPECT_TRUE(KillTimer(frame, kFrameCleanupTimer));
}

TEST(FrameWindow, OnlyATopLevelFrameEndsTheLoop) {
    MSG message;
    while (PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
    }
    // The control's frame is a child of its host window.
    HWND host = CreateWindowExW(0, L"STATIC", L"host", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host, nullptr);
    {
        Ref<FrameWindow> child = FrameWindowCreate(nullptr, host, GetModuleHandleW(nullptr), nullptr);
        ASSERT_TRUE(child);
        EXPECT_TRUE(GetWindowLongW(child->window(), GWL_STYLE) & WS_CHILD);
        RECT host_client = {};
        GetClientRect(host, &host_client);
        EXPECT_EQ(RectInFrame(child->window(), host), MakeRect(0, 0, host_client.right, host_client.bottom));
        DestroyWindow(host);
        EXPECT_EQ(child->window(), nullptr);
    }
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    FrameViewer viewer("PlovexFrameQuitTest");
    DestroyWindow(viewer.Frame());
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(FrameWindow, BringsAWindowToTheFront) {
    FrameViewer viewer("PlovexFrameFrontTest");
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(other, nullptr);
    ShowWindow(other, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(other));
    EXPECT_EQ(SendMessageW(viewer.Frame(), kFrameBringToFrontMessage, 0, reinterpret_cast<LPARAM>(other)), 0);
    EXPECT_FALSE(IsIconic(other));
    // Without a window nothing happens.
    EXPECT_EQ(SendMessageW(viewer.Frame(), kFrameBringToFrontMessage, 0, 0), 0);
    DestroyWindow(other);
}
