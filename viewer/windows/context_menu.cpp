#include "viewer/windows/context_menu.h"

#include "foundation/handles.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/commands.h"
#include "viewer/core/image_store.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/windows/menu_items.h"

namespace {

// Adds the items of one group, each after a separator when an earlier
// group added something.
class GroupedMenu {
  public:
    GroupedMenu(ViewerContext* context, const ImageStore* images, HMENU menu)
        : context_(context), images_(images), menu_(menu) {}
    void StartGroup() { group_started_ = false; }
    void Add(uint32_t id, uint32_t text, int32_t bitmap = -1) {
        if (!group_started_ && any_) MenuAddSeparator(menu_);
        group_started_ = true;
        any_ = true;
        MenuAddItem(context_, images_, menu_, id, text, bitmap, true);
    }

  private:
    ViewerContext* context_;
    const ImageStore* images_;
    HMENU menu_;
    bool group_started_ = false;
    bool any_ = false;
};

}  // namespace

HMENU ViewContextMenuBuild(ViewerContext* context, DocItem* item) {
    if (!item) return nullptr;
    MenuHandle menu(CreatePopupMenu());
    if (!menu) return nullptr;
    Ref<AppRoot> app = ViewerGetApp(context);
    const ImageStore* images = app ? app->images.get() : nullptr;
    Ref<Settings> settings = ViewerGetSettings(context);
    const uint32_t restrictions = settings ? SettingsGetRestrictions(settings.get()) : 0;
    const uint32_t mask = item->GetCommandMask();
    const uint32_t type = DocItemGetType(item);
    GroupedMenu out(context, images, menu.get());

    if (!(restrictions & restriction::kOpenInteractively)) out.Add(command::kClose, text::kMenuClose);
    out.StartGroup();
    if (item->CanSave(context)) {
        out.Add(command::kSaveAs, text::kMenuSaveAs, 303);
        if (type & (doc_type::kImage | doc_type::kPage)) out.Add(command::kConvert, text::kMenuConvert);
    }
    if (item->CanPrint(context)) out.Add(command::kPrint, text::kMenuPrint, 305);
    out.StartGroup();
    if (mask & item_command::kZoom) {
        out.Add(command::kZoomOut, text::kMenuZoomOut, 309);
        out.Add(command::kZoomIn, text::kMenuZoomIn, 307);
        out.Add(command::kZoomAll, text::kMenuZoomAll, 328);
    }
    out.StartGroup();
    if (mask & item_command::kMirroring) {
        out.Add(command::kMirrorVertical, text::kMenuMirrorVertical, 313);
        out.Add(command::kMirrorHorizontal, text::kMenuMirrorHorizontal, 315);
    }
    out.StartGroup();
    if (mask & item_command::kRotation) {
        out.Add(command::kRotateLeft, text::kMenuRotateLeft, 319);
        out.Add(command::kRotateRight, text::kMenuRotateRight, 317);
    }
    out.StartGroup();
    if (mask & item_command::kInversion) out.Add(command::kInvert, text::kMenuInvert, 311);
    out.StartGroup();
    if (type == doc_type::kPage) out.Add(command::kVersionComparison, text::kMenuAddToComparison);
    out.StartGroup();
    if (item->CanShowProperties(context)) out.Add(command::kProperties, text::kMenuProperties);
    MenuApplyStyle(menu.get());
    return menu.Release();
}

bool ViewContextMenuShow(ViewContextMenu& menu, ViewerContext* context, DocItem* item, POINT point) {
    if (!menu.owner) return false;
    MenuHandle popup(ViewContextMenuBuild(context, item));
    if (!popup || GetMenuItemCount(popup.get()) <= 0) return false;
    SetForegroundWindow(menu.owner);
    TrackPopupMenu(popup.get(), TPM_VERTICAL, point.x, point.y, 0, menu.owner, nullptr);
    // Lets the menu's own loop end before the next click (a known quirk of
    // menus tracked for a window that is not in the foreground).
    PostMessageW(menu.owner, WM_NULL, 0, 0);
    return true;
}
