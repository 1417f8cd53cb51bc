#include "viewer/windows/menu_items.h"

#include <map>

#include "foundation/handles.h"
#include "foundation/locks.h"
#include "viewer/core/image_store.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr UINT kAppendPosition = 9999;

// A menu keeps only the handle of its check-mark bitmaps, and menus are
// built again and again: each bitmap is loaded once per module and kept for
// the life of the process.
HBITMAP SharedMenuBitmap(const ImageStore* images, uint32_t number) {
    static CriticalSection lock;
    static std::map<std::pair<HMODULE, uint32_t>, GdiBitmap>* bitmaps =
        new std::map<std::pair<HMODULE, uint32_t>, GdiBitmap>();
    ScopedLock hold(lock);
    GdiBitmap& slot = (*bitmaps)[{images->module, number}];
    if (!slot) slot.Reset(ImageStoreLoadMenuBitmap(images, number));
    return slot.get();
}

bool InsertItem(HMENU menu, MENUITEMINFOW& item) {
    if (!menu) return false;
    item.cbSize = sizeof(item);
    return InsertMenuItemW(menu, kAppendPosition, TRUE, &item) != FALSE;
}

}  // namespace

bool MenuAddTextItem(HMENU menu, uint32_t id, const WString& text, bool enabled) {
    WString copy = text;
    MENUITEMINFOW item = {};
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
    item.fType = MFT_STRING;
    item.fState = enabled ? MFS_ENABLED : MFS_GRAYED;
    item.wID = id;
    // The call copies the text; it only wants a writable pointer.
    item.dwTypeData = const_cast<wchar_t*>(WStrCStr(copy));
    return InsertItem(menu, item);
}

bool MenuAddItem(ViewerContext* context, const ImageStore* images, HMENU menu, uint32_t id,
                 uint32_t text_number, int32_t bitmap_number, bool enabled) {
    WString text(ViewerTextOrEmpty(context, text_number));
    MENUITEMINFOW item = {};
    item.fMask = MIIM_ID | MIIM_STRING | MIIM_FTYPE | MIIM_STATE;
    item.fType = MFT_STRING;
    item.fState = enabled ? MFS_ENABLED : MFS_GRAYED;
    item.wID = id;
    item.dwTypeData = const_cast<wchar_t*>(WStrCStr(text));
    if (bitmap_number >= 0 && images) {
        if (HBITMAP bitmap = SharedMenuBitmap(images, static_cast<uint32_t>(bitmap_number))) {
            item.fMask |= MIIM_CHECKMARKS;
            item.hbmpChecked = bitmap;
            item.hbmpUnchecked = bitmap;
        }
    }
    return InsertItem(menu, item);
}

bool MenuAddSeparator(HMENU menu) {
    MENUITEMINFOW item = {};
    item.fMask = MIIM_FTYPE;
    item.fType = MFT_SEPARATOR;
    return InsertItem(menu, item);
}

bool MenuAddPopup(HMENU menu, HMENU popup, uint32_t id) {
    MENUITEMINFOW item = {};
    item.fMask = MIIM_ID | MIIM_SUBMENU;
    item.wID = id;
    item.hSubMenu = popup;
    return InsertItem(menu, item);
}

void MenuApplyStyle(HMENU menu) {
    using SetMenuInfoProc = BOOL(WINAPI*)(HMENU, const MENUINFO*);
    HMODULE user = GetModuleHandleW(L"user32.dll");
    auto set_menu_info =
        user ? reinterpret_cast<SetMenuInfoProc>(reinterpret_cast<void*>(GetProcAddress(user, "SetMenuInfo")))
             : nullptr;
    if (!menu || !set_menu_info) return;
    MENUINFO info = {};
    info.cbSize = sizeof(info);
    info.fMask = MIM_BACKGROUND;
    info.hbrBack = GetSysColorBrush(COLOR_BTNFACE);
    set_menu_info(menu, &info);
}
