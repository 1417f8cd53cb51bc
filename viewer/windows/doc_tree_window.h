// The navigation tree: a container window holding a tree-view control that
// mirrors the document tree through the hub, and turns the user's
// selection, double-click and right-click into actions 15, 25 and 64.
//
// Each node carries its item's id. A single-page image document shows as
// one node that stands for its page: the node has the document's text and
// image and the page's id.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdint>
#include <unordered_map>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/hash_table.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "foundation/window_object.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/windows/control_handle.h"

class DocItem;
class DocTreeWindow;
class EventHub;
class ViewerContext;

inline constexpr wchar_t kDocTreeClassName[] = L"Plovex50DokTree";
inline constexpr wchar_t kDocTreeControlTitle[] = L"PXBaumCtrl";

// Mirrors notifications 4, 5, 6, 7, 13 and 14 into the tree; lets go of the
// tree on 1.
class DocTreeListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    // The tree with a reference added, or null once let go.
    Ref<DocTreeWindow> Tree();
    void ForgetTree();

  private:
    friend Ref<DocTreeWindow> DocTreeCreate(ViewerContext*, HWND, HINSTANCE, EventHub*);
    CriticalSection lock_;
    DocTreeWindow* tree_ = nullptr;  // borrowed: the tree detaches its listener before it goes
};

// An entry of the icon cache: the image-list index of an extension's icon.
class TreeIconEntry : public RefCounted {
  public:
    int32_t index = -1;
};

// Image-list indices of the node bitmaps, -1 while a bitmap is missing.
struct TreeImages {
    int32_t list_entry = -1;
    int32_t page = -1;
    int32_t list_document = -1;
    int32_t load_failed = -1;
    int32_t image_document = -1;
    int32_t comparison = -1;
};

class DocTreeWindow : public WindowObject {
  public:
    ~DocTreeWindow() override;
    LRESULT WindowProc(UINT message, WPARAM wparam, LPARAM lparam) override;

    HINSTANCE instance = nullptr;
    ControlHandle tree_view;  // null while the window does not exist
    Ref<ViewerContext> context;
    HWND frame_window = nullptr;   // parent (docked) or owner (floating)
    Ref<StrHashTable> icon_cache;  // lower-case extension -> TreeIconEntry
    CriticalSection lock;          // guards the icon cache
    Ref<DocTreeListener> listener;
    int32_t display_mode = kPaneHidden;  // until a window is made
    bool made_moveable = true;           // POPUPS_MOVEABLE when the window was made
    ImageListHandle image_list;          // kept across the window's re-creation
    TreeImages images;
    // Selections and deletions the tree makes itself are under way: the
    // selection changes they cause are not the user's.
    int32_t quiet_changes = 0;
    // The node of each item id, kept with the control's insertions and
    // deletions: every added or changed item looks up its node, and a walk
    // of the control for each would make a long list quadratic in messages.
    std::unordered_map<int32_t, HTREEITEM> nodes;
};

// A tree with its image list, icon cache and listener; its window is made by
// the first DocTreeSetMode. Null without a context.
Ref<DocTreeWindow> DocTreeCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub);
// Makes the window anew when the mode or POPUPS_MOVEABLE changed (none for
// mode 0): docked, a child of the frame; floating, a tool window owned by it
// at RECT_NAVIGATION; a new window is filled from the document tree. A
// docked window is moved to `rect`.
void DocTreeSetMode(DocTreeWindow* tree, int32_t mode, HWND frame_window, const RectI& rect);
HWND DocTreeGetControl(DocTreeWindow* tree);

// The node look: text and image-list index (-1 none) of an item's node.
WString& DocTreeNodeText(DocTreeWindow* tree, DocItem* item, WString& out);
int32_t DocTreeNodeImage(DocTreeWindow* tree, DocItem* item);
// The node whose item id is `id`, or null.
HTREEITEM DocTreeFindNode(DocTreeWindow* tree, int32_t id);
