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

size_t NodeCount(HWND control) { return static_cast<size_t>(TreeView_GetCount(control)); }

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
    EXPECT_EQ(ActionIds(viewer, event::kActivateItem), (std::vector<int32_t>{nodes[1], nodes[2]}));

    // The active item set in code: the node follows, no action comes back.
    ViewerSetActiveItem(viewer.context.get(), DocItemGetChild(viewer.Document(1).get(), 1).get());
    EXPECT_TRUE(PollUntil([&] { return SelectedId(control) == nodes[5]; }, 5000));
    // Closing the selected document deletes its nodes, moving the selection.
    ASSERT_TRUE(ViewerCloseDocument(viewer.context.get(), nodes[5]));
    PumpPending();
    EXPECT_EQ(NodeCount(control), 3u);
    EXPECT_EQ(viewer.Count(event::kActivateItem), 2u);

    // Clicks on a node of the user's.
    const HWND tree = viewer.Tree();
    const int32_t second = nodes[2];
    HTREEITEM node = DocTreeFindNode(viewer.frame->tree.get(), second);
    ASSERT_NE(node, nullptr);
    viewer.recorder->events.clear();

    // Right click: the node is selected and activated, then the menu asked
    // for at the point of the click.
    const POINT point = AimAt(control, node);
    {
        MenuCloser close_the_menu;
        EXPECT_EQ(Notify(tree, control, NM_RCLICK), 1);
    }
    EXPECT_EQ(SelectedId(control), second);
    EXPECT_EQ(ActionIds(viewer, event::kActivateItem), std::vector<int32_t>{second});
    ASSERT_EQ(viewer.Count(event::kContextMenu), 1u);
    // Queued events may have been drained while the menu was open.
    const ReceivedEvent& menu = *std::find_if(viewer.recorder->events.begin(), viewer.recorder->events.end(),
                                              [](const ReceivedEvent& e) { return e.code == event::kContextMenu; });
    Ref<RefCounted> object = VariantGetObject(menu.argument);
    auto* request = dynamic_cast<ContextMenuRequest*>(object.get());
    ASSERT_NE(request, nullptr);
    EXPECT_EQ(std::vector<int32_t>({request->item_id, request->screen_x, request->screen_y}),
              std::vector<int32_t>({second, point.x, point.y}));

    // Double click: open with the registered program (action 25).
    AimAt(control, node);
    EXPECT_EQ(Notify(tree, control, NM_DBLCLK), 1);
    EXPECT_EQ(ActionIds(viewer, event::kOpenWithRegisteredProgram), std::vector<int32_t>{second});
}
