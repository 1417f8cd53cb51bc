#include "viewer/windows/doc_tree_window.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/document_open_close.h"
#include "viewer/documents/document_source.h"
#include "viewer/windows/context_menu.h"

namespace {

struct Node {
    std::wstring text;
    int32_t id;
    int32_t depth;
};

// The control's nodes in display order, as another process would read them.
std::vector<Node> Nodes(HWND control) {
    std::vector<Node> nodes;
    auto walk = [&](auto&& self, HTREEITEM node, int32_t depth) -> void {
        for (; node; node = TreeView_GetNextSibling(control, node)) {
            wchar_t text[260] = {};
            TVITEMW item = {};
            item.mask = TVIF_HANDLE | TVIF_TEXT | TVIF_PARAM;
            item.hItem = node;
            item.pszText = text;
            item.cchTextMax = 260;
            SendMessageW(control, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
            nodes.push_back(Node{text, static_cast<int32_t>(item.lParam), depth});
            self(self, TreeView_GetChild(control, node), depth + 1);
        }
    };
    walk(walk, TreeView_GetRoot(control), 0);
    return nodes;
}

int32_t SelectedId(HWND control) {
    HTREEITEM node = TreeView_GetSelection(control);
    if (!node) return -1;
    TVITEMW item = {};
    item.mask = TVIF_HANDLE | TVIF_PARAM;
    item.hItem = node;
    SendMessageW(control, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item));
    return static_cast<int32_t>(item.lParam);
}

std::wstring NameOf(DocItem* item) {
    WString name;
    DocItemGetName(item, name);
    return WStrLength(name) ? std::wstring(WStrCStr(name)) : std::wstring();
}

size_t NodeCount(HWND control) { return static_cast<size_t>(SendMessageW(control, TVM_GETCOUNT, 0, 0)); }

// The ids that actions of this code arrived with, in order.
std::vector<int32_t> ActionIds(const FrameViewer& viewer, uint32_t code) {
    std::vector<int32_t> ids;
    for (const ReceivedEvent& received : viewer.recorder->events) {
        if (received.code == code) ids.push_back(VariantToInt(received.argument));
    }
    return ids;
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

}  // namespace

TEST(DocTree, MirrorsAThreePageTiffAndTurnsSelectionIntoTheActiveItem) {
    const std::string dir = MakeScratchDir("doc_tree_three");
    MakeTiff(dir + "/three.tif", 3);
    FrameViewer viewer("PlovexDocTreeThreeTest");
    const HWND control = viewer.TreeControl();
    ASSERT_NE(control, nullptr);
    wchar_t title[32] = {};
    GetWindowTextW(control, title, 32);
    EXPECT_STREQ(title, kDocTreeControlTitle);
    EXPECT_EQ(NodeCount(control), 0u);

    ASSERT_TRUE(viewer.Open({dir + "/three.tif"}));
    Ref<DocItem> document = viewer.Document(0);
    ASSERT_EQ(NodeCount(control), 4u);
    const std::vector<Node> nodes = Nodes(control);
    ASSERT_EQ(nodes.size(), 4u);
    EXPECT_EQ(nodes[0].text, L"three.tif");
    EXPECT_EQ(nodes[0].id, DocItemGetId(document.get()));
    EXPECT_EQ(nodes[0].depth, 0);
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<DocItem> page = DocItemGetChild(document.get(), i);
        EXPECT_EQ(nodes[i + 1].text, NameOf(page.get())) << i;
        EXPECT_EQ(nodes[i + 1].id, DocItemGetId(page.get())) << i;
        EXPECT_EQ(nodes[i + 1].depth, 1) << i;
    }

    // The first page was activated once, by the tree, and its node selected.
    const int32_t first = DocItemGetId(DocItemGetChild(document.get(), 0).get());
    const int32_t second = DocItemGetId(DocItemGetChild(document.get(), 1).get());
    EXPECT_EQ(ViewerGetActiveItemId(viewer.context.get()), first);
    EXPECT_EQ(SelectedId(control), first);
    EXPECT_EQ(ActionIds(viewer, event::kActivateItem), std::vector<int32_t>{first});

    // The user moves the selection down: the next page becomes active.
    PostMessageW(control, WM_KEYDOWN, VK_DOWN, 0);
    PostMessageW(control, WM_KEYUP, VK_DOWN, 0);
    EXPECT_TRUE(PollUntil([&] { return ViewerGetActiveItemId(viewer.context.get()) == second; }, 5000));
    EXPECT_EQ(ActionIds(viewer, event::kActivateItem), (std::vector<int32_t>{first, second}));
}

TEST(DocTree, SinglePageDocumentIsOneNodeForItsPage) {
    const std::string dir = MakeScratchDir("doc_tree_single");
    MakeTiff(dir + "/single.tif", 1);
    FrameViewer viewer("PlovexDocTreeSingleTest");
    ASSERT_TRUE(viewer.Open({dir + "/single.tif"}));
    const HWND control = viewer.TreeControl();
    const std::vector<Node> nodes = Nodes(control);
    ASSERT_EQ(nodes.size(), 1u);
    Ref<DocItem> page = DocItemGetChild(viewer.Document(0).get(), 0);
    EXPECT_EQ(nodes[0].text, L"single.tif");
    EXPECT_EQ(nodes[0].id, DocItemGetId(page.get()));
    EXPECT_EQ(ViewerGetActiveItemId(viewer.context.get()), DocItemGetId(page.get()));

    // A new window (here: floating) is filled from the document tree with
    // the same look, the active node selected.
    viewer.SetMode(kPaneNavigation, 2);
    const HWND floating = viewer.TreeControl();
    ASSERT_NE(floating, nullptr);
    const std::vector<Node> again = Nodes(floating);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_EQ(again[0].text, L"single.tif");
    EXPECT_EQ(again[0].id, DocItemGetId(page.get()));
    EXPECT_EQ(SelectedId(floating), DocItemGetId(page.get()));

    // Renaming the document keeps the one node in its look.
    DocItemSetName(viewer.Document(0).get(), viewer.context.get(), L"renamed.tif");
    EXPECT_EQ(Nodes(floating)[0].text, L"renamed.tif");
}

TEST(DocTree, ChangesTheTreeMakesItselfStartNoAction) {
    const std::string dir = MakeScratchDir("doc_tree_quiet");
    MakeTiff(dir + "/a.tif", 2);
    MakeTiff(dir + "/b.tif", 2);
    FrameViewer viewer("PlovexDocTreeQuietTest");
    ASSERT_TRUE(viewer.Open({dir + "/a.tif", dir + "/b.tif"}));
    const HWND control = viewer.TreeControl();
    ASSERT_EQ(NodeCount(control), 6u);
    PumpPending();
    const size_t activations = viewer.Count(event::kActivateItem);
    EXPECT_EQ(activations, 1u);  // only the first path's first page

    // The active item set in code: the node follows, no action comes back.
    Ref<DocItem> other_page = DocItemGetChild(viewer.Document(1).get(), 1);
    ViewerSetActiveItem(viewer.context.get(), other_page.get());
    EXPECT_TRUE(PollUntil([&] { return SelectedId(control) == DocItemGetId(other_page.get()); }, 5000));

    // Closing the selected document deletes its nodes; the selection moving
    // away from them is no choice of the user's either.
    ASSERT_TRUE(ViewerCloseDocument(viewer.context.get(), DocItemGetId(other_page.get())));
    PumpPending();
    EXPECT_EQ(NodeCount(control), 3u);
    EXPECT_EQ(viewer.Count(event::kActivateItem), activations);
    ViewerCloseAll(viewer.context.get());
    PumpPending();
    EXPECT_EQ(NodeCount(control), 0u);
    EXPECT_EQ(viewer.Count(event::kActivateItem), activations);
}

TEST(DocTree, ClicksBecomeActions) {
    const std::string dir = MakeScratchDir("doc_tree_clicks");
    MakeTiff(dir + "/two.tif", 2);
    FrameViewer viewer("PlovexDocTreeClickTest");
    ASSERT_TRUE(viewer.Open({dir + "/two.tif"}));
    const HWND tree = viewer.Tree();
    const HWND control = viewer.TreeControl();
    const int32_t second = DocItemGetId(DocItemGetChild(viewer.Document(0).get(), 1).get());
    HTREEITEM node = DocTreeFindNode(viewer.frame->tree.get(), second);
    ASSERT_NE(node, nullptr);
    viewer.recorder->events.clear();

    // Right click: the node is selected and activated, then the menu asked
    // for at the point of the click.
    const POINT point = AimAt(control, node);
    EXPECT_EQ(Notify(tree, control, NM_RCLICK), 1);
    EXPECT_EQ(SelectedId(control), second);
    EXPECT_EQ(ActionIds(viewer, event::kActivateItem), std::vector<int32_t>{second});
    ASSERT_EQ(viewer.Count(event::kContextMenu), 1u);
    for (const ReceivedEvent& received : viewer.recorder->events) {
        if (received.code != event::kContextMenu) continue;
        Ref<RefCounted> object = VariantGetObject(received.argument);
        auto* request = dynamic_cast<ContextMenuRequest*>(object.get());
        ASSERT_NE(request, nullptr);
        EXPECT_EQ(request->item_id, second);
        EXPECT_EQ(request->screen_x, point.x);
        EXPECT_EQ(request->screen_y, point.y);
    }

    // Double click: open with the registered program (action 25).
    AimAt(control, node);
    EXPECT_EQ(Notify(tree, control, NM_DBLCLK), 1);
    EXPECT_EQ(ActionIds(viewer, event::kOpenWithRegisteredProgram), std::vector<int32_t>{second});

    // A click beside every node does nothing.
    RECT client = {};
    GetClientRect(control, &client);
    POINT empty = {client.right - 2, client.bottom - 2};
    ClientToScreen(control, &empty);
    SetCursorPos(empty.x, empty.y);
    PostMessageW(control, WM_NULL, 0, 0);
    MSG message;
    PeekMessageW(&message, control, WM_NULL, WM_NULL, PM_REMOVE);
    viewer.recorder->events.clear();
    EXPECT_EQ(Notify(tree, control, NM_RCLICK), 1);
    EXPECT_TRUE(viewer.recorder->events.empty());

    // The wheel over the tree reaches the frame once.
    SendMessageW(control, WM_MOUSEWHEEL, MAKEWPARAM(0, WHEEL_DELTA), MAKELPARAM(point.x, point.y));
    EXPECT_EQ(ActionIds(viewer, event::kMouseWheel), std::vector<int32_t>{MAKEWPARAM(0, WHEEL_DELTA)});
}

TEST(DocTree, ClosingTheFloatingTreeDocksIt) {
    const std::string dir = MakeScratchDir("doc_tree_dock");
    MakeTiff(dir + "/two.tif", 2);
    FrameViewer viewer("PlovexDocTreeDockTest");
    ASSERT_TRUE(viewer.Open({dir + "/two.tif"}));
    viewer.SetMode(kPaneNavigation, 2);
    ASSERT_TRUE(GetWindowLongW(viewer.Tree(), GWL_STYLE) & WS_POPUP);
    EXPECT_EQ(NodeCount(viewer.TreeControl()), 3u);

    SendMessageW(viewer.Tree(), WM_CLOSE, 0, 0);
    const HWND docked = viewer.Tree();
    ASSERT_NE(docked, nullptr);
    EXPECT_TRUE(IsWindowVisible(docked));
    EXPECT_TRUE(GetWindowLongW(docked, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(GetParent(docked), viewer.Frame());
    EXPECT_EQ(SettingsGetViewMode(viewer.settings.get(), kPaneNavigation), 1);
    EXPECT_EQ(NodeCount(viewer.TreeControl()), 3u);
}

TEST(DocTree, NodeLookOfEntriesStillLoading) {
    FrameViewer viewer("PlovexDocTreeLookTest");
    DocTreeWindow* tree = viewer.frame->tree.get();
    Ref<DocumentSource> source =
        SourceCreate(viewer.context.get(), WString(WindowsPathOf("/nonexistent/x.tif").c_str()), nullptr);
    ASSERT_TRUE(source);
    Ref<DocumentItem> entry =
        DocumentItemCreate(viewer.context.get(), ViewerGetRootItem(viewer.context.get()).get(), source.get(),
                           nullptr, ViewerNextOpenNumber(viewer.context.get()));
    ASSERT_TRUE(entry);
    const std::wstring loading = ViewerGetText(viewer.context.get(), 1601);
    const std::wstring error = ViewerGetText(viewer.context.get(), 1600);
    // Its node appeared at once, showing that it loads.
    const std::vector<Node> nodes = Nodes(viewer.TreeControl());
    ASSERT_EQ(nodes.size(), 1u);
    EXPECT_EQ(nodes[0].text, loading + L" - x.tif");

    WString text;
    source->state = kSourceFailed;
    EXPECT_STREQ(WStrCStr(DocTreeNodeText(tree, entry.get(), text)), (error + L" - x.tif").c_str());
    source->state = kSourceLoaded;
    EXPECT_STREQ(WStrCStr(DocTreeNodeText(tree, entry.get(), text)), L"x.tif");
    // Removing the item removes its node.
    DocItemRemoveChild(ViewerGetRootItem(viewer.context.get()).get(), viewer.context.get(), entry.get());
    EXPECT_EQ(NodeCount(viewer.TreeControl()), 0u);
}
