// The frame's own work: the panes' split for every mode, the splitters'
// drags, dropped files, the cleanup timer, the end of the loop and the main
// view painted before the preview renders (where the docked, floating and
// hidden panes land is checked from outside: desktop_program_test); the
// document tree's nodes and the actions the user's choices alone start.
#include "viewer/windows/doc_tree_window.h"
#include "viewer/windows/frame_window.h"

#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>

#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/app_temp_files.h"
#include "viewer/core/view_operations.h"
#include "viewer/documents/document_source.h"
#include "viewer/views/bitmap_cache.h"
#include "viewer/views/main_view.h"
#include "viewer/views/preview_window.h"
#include "viewer/windows/command_bars.h"
#include "viewer/windows/context_menu.h"
#include "viewer/windows/frame_layout.h"
#include "viewer/windows/status_bar.h"

namespace {

int32_t Bottom(const RectI& rect) { return rect.origin.y + rect.size.height; }

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

// A drag on the frame from one client point to another; the settings' navigation width after it.
int32_t Drag(FrameViewer& viewer, POINT from, POINT to) {
    PostMessageW(viewer.Frame(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    PostMessageW(viewer.Frame(), WM_MOUSEMOVE, MK_LBUTTON,
                 MAKELPARAM((to.x + from.x) / 2, (to.y + from.y) / 2));
    PostMessageW(viewer.Frame(), WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    PostMessageW(viewer.Frame(), WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
    PumpPending();
    return SettingsGetNavigationWidth(viewer.settings.get());
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
    WString path;
    if (Ref<DocumentSource> source = item ? item->GetSource() : nullptr) SourceGetPath(source.get(), path);
    return WStrLength(path) ? std::wstring(WStrCStr(path)) : std::wstring();
}

// The turn of a cached picture, or -1 without one.
int32_t TurnOf(BitmapCacheEntry* entry) {
    if (!entry) return -1;
    ScopedLock hold(entry->lock);
    return entry->image ? static_cast<int32_t>(entry->placement.rotation) : -1;
}
int32_t PreviewTurn(PreviewWindow* preview, int32_t page_id) {
    Ref<RefCounted> found = IntHashFind(preview->cache.get(), static_cast<uint32_t>(page_id));
    return TurnOf(dynamic_cast<BitmapCacheEntry*>(found.get()));
}

// What the preview held each time the main view had painted.
struct PaintOrder {
    MainViewWindow* view;
    PreviewWindow* preview;
    int32_t page_id;
    std::vector<std::pair<int32_t, int32_t>> turns;  // main view's, preview's
};

LRESULT CALLBACK WatchMainViewPaint(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR,
                                    DWORD_PTR data) {
    const LRESULT result = DefSubclassProc(window, message, wparam, lparam);
    if (message == WM_PAINT) {
        auto* order = reinterpret_cast<PaintOrder*>(data);
        Ref<BitmapCacheEntry> shown;
        {
            ScopedLock hold(order->view->lock);
            shown = order->view->cache;
        }
        order->turns.emplace_back(TurnOf(shown.get()), PreviewTurn(order->preview, order->page_id));
    }
    return result;
}

}  // namespace

TEST(FrameSplit, PanesShareTheAreaByTheirModes) {
    const RectI client = MakeRect(0, 0, 800, 600);
    const RectI no;
    auto r = MakeRect;
    struct Case {
        FramePaneModes modes;
        int32_t navigation_width, preview_height;
        RectI tree, preview, main_view, vertical, horizontal;
        FramePaneModes applied;
    };
    // Below bars of 50 and above a status bar of 20: the area 0,50 800x530.
    // clang-format off
    const Case cases[] = {
        {{1, 1, 1}, 200, 150, r(0, 50, 200, 377), r(0, 430, 200, 150), r(203, 50, 597, 530), r(200, 50, 3, 530), r(0, 427, 200, 3), {1, 1, 1}},
        // A column as wide as the area hides the main view.
        {{1, 1, 1}, 797, 150, r(0, 50, 800, 377), r(0, 430, 800, 150), no, no, r(0, 427, 800, 3), {1, 1, 0}},
        // A preview too high takes the column.
        {{1, 1, 1}, 200, 527, no, r(0, 50, 200, 530), r(203, 50, 597, 530), r(200, 50, 3, 530), no, {0, 1, 1}},
        {{1, 2, 1}, 200, 150, r(0, 50, 200, 530), no, r(203, 50, 597, 530), r(200, 50, 3, 530), no, {1, 2, 1}},
        {{0, 0, 1}, 200, 150, no, no, r(0, 50, 800, 530), no, no, {0, 0, 1}},
        {{1, 1, 0}, 798, 150, r(0, 50, 798, 530), no, no, r(798, 50, 2, 530), no, {1, 0, 0}},
        {{1, 1, 0}, 800, 150, r(0, 50, 800, 530), no, no, no, no, {1, 0, 0}},
        {{2, 0, 2}, 200, 150, no, no, no, no, no, {2, 0, 2}},
    };
    // clang-format on
    for (const Case& c : cases) {
        const FrameSplit split =
            FrameSplitPanes(client, 50, 20, c.navigation_width, c.preview_height, c.modes);
        SCOPED_TRACE(testing::Message() << "case " << (&c - cases));
        EXPECT_EQ(split.tree, c.tree);
        EXPECT_EQ(split.preview, c.preview);
        EXPECT_EQ(split.main_view, c.main_view);
        EXPECT_EQ(split.vertical_splitter, c.vertical);
        EXPECT_EQ(split.horizontal_splitter, c.horizontal);
        EXPECT_EQ(std::vector<int32_t>({split.modes.tree, split.modes.preview, split.modes.main_view}),
                  std::vector<int32_t>({c.applied.tree, c.applied.preview, c.applied.main_view}));
    }
}

TEST(FrameWindow, SplitterDragMovesTheColumnWithinItsLimits) {
    FrameViewer viewer("PlovexFrameSplitterTest");
    const HWND frame = viewer.Frame();
    viewer.SetClientSize(800, 600);
    const RectI area = PaneArea(viewer);
    const int32_t row = area.origin.y + 10;

    EXPECT_EQ(Drag(viewer, POINT{kTestNavigationWidth + 1, row}, POINT{300, row + 40}), 301);
    EXPECT_EQ(GetCapture(), nullptr);
    EXPECT_EQ(RectInFrame(viewer.Tree(), frame).size.width, 301);
    EXPECT_EQ(RectInFrame(viewer.frame->main_view->window(), frame).origin.x, 304);
    // Past the edges the column stops 20 pixels from the left and 101 from the right.
    EXPECT_EQ(Drag(viewer, POINT{302, row}, POINT{-50, row}), 21);
    EXPECT_EQ(Drag(viewer, POINT{22, row}, POINT{900, row}), 700);
    // A click on no splitter drags nothing.
    EXPECT_EQ(Drag(viewer, POINT{500, row}, POINT{100, row}), 700);

    // The horizontal splitter sets the preview's height from the bottom.
    const RectI tree = RectInFrame(viewer.Tree(), frame);
    Drag(viewer, POINT{10, Bottom(tree) + 1}, POINT{10, Bottom(area) - 250});
    EXPECT_EQ(SettingsGetPreviewHeight(viewer.settings.get()), 250);
    EXPECT_EQ(RectInFrame(viewer.frame->preview->window(), frame).size.height, 250);

    // No drag where the user's window settings may not change, nor where
    // the limits (20 and 9) cross in a client area of 110 pixels.
    viewer.settings->permissions[kGroupWindow] = 0;
    EXPECT_EQ(Drag(viewer, POINT{701, row}, POINT{300, row}), 700);
    viewer.settings->permissions[kGroupWindow] = kPermissionDefault;
    SettingsSetNavigationWidth(viewer.settings.get(), nullptr, kCallerInternal, 50);
    viewer.SetClientSize(110, 600);
    ASSERT_EQ(viewer.frame->vertical_splitter.origin.x, 50);
    EXPECT_EQ(Drag(viewer, POINT{51, row}, POINT{30, row}), 50);
    EXPECT_EQ(viewer.frame->drag_mode, kSplitterDragNone);
}

TEST(FrameWindow, DroppedFilesOpenWhole) {
    // A path longer than the classic 260 characters.
    std::string dir = MakeScratchDir("frame_drop");
    for (int i = 0; i < 6; ++i) dir += "/" + std::string(50, static_cast<char>('a' + i));
    ASSERT_EQ(RunHostCommand("mkdir -p '" + dir + "'"), 0);
    MakeTiff(dir + "/long.tif", 2);
    MakeTiff(dir + "/other.tif", 1);
    const std::wstring long_path = WindowsPathOf(dir + "/long.tif");
    const std::wstring other_path = WindowsPathOf(dir + "/other.tif");
    ASSERT_GT(long_path.size(), 300u);

    // Several files open as one request, whole, the first of them activated.
    FrameViewer viewer("PlovexFrameDropTest");
    SendMessageW(viewer.Frame(), WM_DROPFILES, reinterpret_cast<WPARAM>(MakeDrop({other_path, long_path})),
                 0);
    ASSERT_TRUE(PollUntil([&] { return viewer.Loaded(2); }, 15000));
    EXPECT_EQ(SourcePathOf(viewer.Document(0).get()), other_path);
    EXPECT_EQ(SourcePathOf(viewer.Document(1).get()), long_path);
    EXPECT_EQ(DocItemGetChildCount(viewer.Document(1).get()), 2u);
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

// The frame sets its cleanup timer itself; a tick removes another
// session's old file (which files go: app_root_test).
TEST(FrameWindow, CleanupTimerRemovesOldFiles) {
    const std::string unix_directory = MakeScratchDir("frame_cleanup");
    FrameViewer viewer("PlovexFrameCleanupTest", WindowsPathOf(unix_directory) + L"\\");
    PumpPending();
    EXPECT_TRUE(KillTimer(viewer.Frame(), kFrameCleanupTimer));
    WString name;
    AppTempFileName((viewer.root->session_letter + 1) % kTempLetterCount, SYSTEMTIME{}, 0, L"tif", name);
    const std::string stale = unix_directory + "/" + Narrow(name);
    ASSERT_EQ(RunHostCommand("touch -d '3 days ago' '" + stale + "'"), 0);
    SendMessageW(viewer.Frame(), WM_TIMER, kFrameCleanupTimer, 0);
    EXPECT_TRUE(PollUntil([&] { return RunHostCommand("test -e '" + stale + "'") != 0; }, 5000));
}

// The hand-over's "bring to front" restores a window of this process; a
// handle that names no window of it is left alone.
TEST(FrameWindow, BringsOnlyItsOwnProcesssWindowsToTheFront) {
    FrameViewer viewer("PlovexFrameFrontTest");
    HWND own = CreateWindowExW(0, L"STATIC", L"own", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200, nullptr, nullptr,
                               GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(own, nullptr);
    ShowWindow(own, SW_SHOWMINIMIZED);
    ASSERT_TRUE(IsIconic(own));
    EXPECT_EQ(SendMessageW(viewer.Frame(), kFrameBringToFrontMessage, 0, reinterpret_cast<LPARAM>(own)), 0);
    EXPECT_FALSE(IsIconic(own));
    const HWND stale = own;
    DestroyWindow(own);
    EXPECT_EQ(SendMessageW(viewer.Frame(), kFrameBringToFrontMessage, 0, reinterpret_cast<LPARAM>(stale)), 0);
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
        DestroyWindow(host);
        EXPECT_EQ(child->window(), nullptr);
    }
    EXPECT_FALSE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));

    FrameViewer viewer("PlovexFrameQuitTest");
    DestroyWindow(viewer.Frame());
    EXPECT_TRUE(PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

TEST(FrameWindow, TheMainViewPaintsANewPictureBeforeThePreviewRendersItsOwn) {
    const std::string dir = MakeScratchDir("frame_paint_order");
    MakeTiff(dir + "/page.tif", 1);
    FrameViewer viewer("PlovexFramePaintOrderTest");
    viewer.SetClientSize(800, 600);
    ShowWindow(viewer.Frame(), SW_SHOWNOACTIVATE);
    ASSERT_TRUE(viewer.Open({dir + "/page.tif"}));
    const int32_t page_id = ViewerGetActiveItemId(viewer.context.get());
    MainViewWindow* view = viewer.frame->main_view.get();
    PreviewWindow* preview = viewer.frame->preview.get();
    // Docked, the preview waits for its paint beside the main view; floating,
    // its own window is painted before any of the frame's children.
    int32_t turn = 0;
    for (const int32_t mode : {1, 2}) {
        SCOPED_TRACE(mode);
        viewer.SetMode(kPanePreview, mode);
        PumpPending();
        ASSERT_TRUE(PollUntil([&] { return PreviewTurn(preview, page_id) == turn; }, 5000));
        PaintOrder order{view, preview, page_id, {}};
        ASSERT_TRUE(
            SetWindowSubclass(view->window(), &WatchMainViewPaint, 1, reinterpret_cast<DWORD_PTR>(&order)));
        // A turn: neither picture can be adapted from what is cached.
        turn = (turn + 90) % 360;
        ASSERT_TRUE(ViewerRotatePage(viewer.context.get(), -1, 90, false));
        const bool rendered = PollUntil([&] { return PreviewTurn(preview, page_id) == turn; }, 5000);
        RemoveWindowSubclass(view->window(), &WatchMainViewPaint, 1);
        ASSERT_TRUE(rendered);
        // The first paint of the main view showed the turned page, while the
        // preview still held its picture from before.
        ASSERT_FALSE(order.turns.empty());
        EXPECT_EQ(order.turns.front().first, turn);
        EXPECT_EQ(order.turns.front().second, (turn + 270) % 360);
        // The preview painted its own picture too: nothing of it waits.
        EXPECT_FALSE(GetUpdateRect(preview->window(), nullptr, FALSE));
    }
}

namespace {

// A node's item id.
int32_t IdOf(HWND control, HTREEITEM node) {
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_PARAM;
    item.hItem = node;
    TreeView_GetItem(control, &item);
    return static_cast<int32_t>(item.lParam);
}

// The ids of the control's nodes in display order.
std::vector<int32_t> NodeIds(HWND control) {
    std::vector<int32_t> ids;
    auto walk = [&](auto&& self, HTREEITEM node) -> void {
        for (; node; node = TreeView_GetNextSibling(control, node)) {
            ids.push_back(IdOf(control, node));
            self(self, TreeView_GetChild(control, node));
        }
    };
    walk(walk, TreeView_GetRoot(control));
    return ids;
}

int32_t SelectedId(HWND control) {
    HTREEITEM node = TreeView_GetSelection(control);
    return node ? IdOf(control, node) : -1;
}

// Makes the cursor position of the next message the centre of the node, as
// a click there would, and answers that point on the screen.
POINT AimAt(HWND control, HTREEITEM node) {
    // The message takes the node in the rectangle's first bytes.
    RECT rect = {};
    std::memcpy(&rect, &node, sizeof(node));
    SendMessageW(control, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&rect));
    POINT point = {(rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2};
    ClientToScreen(control, &point);
    SetCursorPos(point.x, point.y);
    PostMessageW(control, WM_NULL, 0, 0);
    MSG message;
    PeekMessageW(&message, control, WM_NULL, WM_NULL, PM_REMOVE);
    return point;
}

LRESULT Notify(HWND tree, HWND control, UINT code) {
    NMHDR header = {control, static_cast<UINT_PTR>(GetDlgCtrlID(control)), code};
    return SendMessageW(tree, WM_NOTIFY, header.idFrom, reinterpret_cast<LPARAM>(&header));
}

// While it lives, any menu that this thread tracks is ended within about
// 50 ms: the tree's context menu opens without a user to close it.
class MenuCloser {
  public:
    MenuCloser() : timer_(SetTimer(nullptr, 0, 50, &MenuCloser::Close)) {}
    ~MenuCloser() {
        if (timer_) KillTimer(nullptr, timer_);
    }
    MenuCloser(const MenuCloser&) = delete;
    MenuCloser& operator=(const MenuCloser&) = delete;

  private:
    static void CALLBACK Close(HWND, UINT, UINT_PTR, DWORD) { EndMenu(); }
    UINT_PTR timer_;
};

}  // namespace

// Node texts and counts are also read from outside; here the ids behind
// them, and the actions: the user's choices start them, the tree's own
// changes (TVN_SELCHANGED of code's selection and deletion) do not.
TEST(DocTree, TheUsersChoicesAloneBecomeActions) {
    const std::string dir = MakeScratchDir("doc_tree_quiet");
    MakeTiff(dir + "/a.tif", 2);
    MakeTiff(dir + "/b.tif", 2);
    FrameViewer viewer("PlovexDocTreeQuietTest");
    ASSERT_TRUE(viewer.Open({dir + "/a.tif", dir + "/b.tif"}));
    const HWND control = viewer.TreeControl();
    const std::vector<int32_t> nodes = NodeIds(control);
    ASSERT_EQ(nodes.size(), 6u);
    EXPECT_EQ(nodes[0], DocItemGetId(viewer.Document(0).get()));
    EXPECT_EQ(nodes[5], DocItemGetId(DocItemGetChild(viewer.Document(1).get(), 1).get()));
    // Only the first path's first page was activated, and its node selected;
    // the user moving the selection down activates the next page.
    EXPECT_EQ(SelectedId(control), nodes[1]);
    PostMessageW(control, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(control, WM_KEYUP, VK_DOWN, 0);
    EXPECT_TRUE(PollUntil([&] { return ViewerGetActiveItemId(viewer.context.get()) == nodes[2]; }, 5000));
    EXPECT_EQ(viewer.recorder->ArgumentIds(event::kActivateItem), (std::vector<int32_t>{nodes[1], nodes[2]}));

    // The active item set in code: the node follows, no action comes back.
    ViewerSetActiveItem(viewer.context.get(), DocItemGetChild(viewer.Document(1).get(), 1).get());
    EXPECT_TRUE(PollUntil([&] { return SelectedId(control) == nodes[5]; }, 5000));
    // Closing the selected document deletes its nodes, moving the selection.
    ASSERT_TRUE(ViewerCloseDocument(viewer.context.get(), nodes[5]));
    PumpPending();
    EXPECT_EQ(TreeView_GetCount(control), 3u);
    EXPECT_EQ(viewer.Count(event::kActivateItem), 2u);

    // Right click on a node: it is selected and activated, then the menu
    // asked for at the point of the click.
    const HWND tree = viewer.Tree();
    const int32_t second = nodes[2];
    HTREEITEM node = DocTreeFindNode(viewer.frame->tree.get(), second);
    ASSERT_NE(node, nullptr);
    viewer.recorder->events.clear();
    const POINT point = AimAt(control, node);
    {
        MenuCloser close_the_menu;
        EXPECT_EQ(Notify(tree, control, NM_RCLICK), 1);
    }
    EXPECT_EQ(SelectedId(control), second);
    EXPECT_EQ(viewer.recorder->ArgumentIds(event::kActivateItem), std::vector<int32_t>{second});
    ASSERT_EQ(viewer.Count(event::kContextMenu), 1u);
    // Queued events may have been drained while the menu was open.
    const ReceivedEvent& menu = *std::find_if(viewer.recorder->events.begin(), viewer.recorder->events.end(),
                                              [](const ReceivedEvent& e) { return e.code == event::kContextMenu; });
    Ref<RefCounted> object = VariantGetObject(menu.argument);
    auto* request = dynamic_cast<ContextMenuRequest*>(object.get());
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(std::vector<int32_t>({request->item_id, request->screen_x, request->screen_y}),
              std::vector<int32_t>({second, point.x, point.y}));

    // Double click: open with the registered program.
    AimAt(control, node);
    EXPECT_EQ(Notify(tree, control, NM_DBLCLK), 1);
    EXPECT_EQ(viewer.recorder->ArgumentIds(event::kOpenWithRegisteredProgram), std::vector<int32_t>{second});
}
