// The right-click menu of the views and the navigation tree, and the request
// (action 64) that asks for it.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ref_counted.h"

class DocItem;
class ViewerContext;

// The argument of the context-menu action: the item clicked (-1 the active
// one) and the screen point of the click.
class ContextMenuRequest : public RefCounted {
  public:
    int32_t item_id = -1;
    int32_t screen_x = 0;
    int32_t screen_y = 0;
};

inline Ref<ContextMenuRequest> ContextMenuRequestCreate(int32_t item_id, int32_t screen_x, int32_t screen_y) {
    Ref<ContextMenuRequest> request = MakeRef<ContextMenuRequest>();
    request->item_id = item_id;
    request->screen_x = screen_x;
    request->screen_y = screen_y;
    return request;
}

// Its chosen command reaches the owner as WM_COMMAND.
struct ViewContextMenu {
    HWND owner = nullptr;
};

inline void ViewContextMenuConstruct(ViewContextMenu& menu, HWND owner) { menu.owner = owner; }
// The menu's items for the item, in groups split by separators; the caller
// owns it. Null without an item or when the system refuses a menu.
HMENU ViewContextMenuBuild(ViewerContext* context, DocItem* item);
// Builds the menu for the item and tracks it at the point; false when
// nothing was shown.
bool ViewContextMenuShow(ViewContextMenu& menu, ViewerContext* context, DocItem* item, POINT point);
