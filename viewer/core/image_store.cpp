#include "viewer/core/image_store.h"

#include <objbase.h>
#include <shellapi.h>

#include "foundation/handles.h"

Ref<ImageStore> ImageStoreCreate(HMODULE module) {
    Ref<ImageStore> store = MakeRef<ImageStore>();
    store->module = module;
    store->menu_check_width = GetSystemMetrics(SM_CXMENUCHECK);
    store->menu_check_height = GetSystemMetrics(SM_CYMENUCHECK);
    return store;
}

HBITMAP LoadBitmapResource(HMODULE module, uint32_t number, int width, int height, bool transparent,
                           bool map_3d_colours) {
    UINT flags = LR_CREATEDIBSECTION;
    if (transparent) flags |= LR_LOADTRANSPARENT;
    if (map_3d_colours) flags |= LR_LOADMAP3DCOLORS;
    return static_cast<HBITMAP>(
        LoadImageW(module, MAKEINTRESOURCEW(number), IMAGE_BITMAP, width, height, flags));
}

namespace {

// The colour of the bitmap's first stored pixel (the bottom-left one), which
// the loader treats as the transparent one; CLR_INVALID when unreadable.
COLORREF BackgroundColour(HBITMAP bitmap) {
    BITMAP size = {};
    if (!GetObjectW(bitmap, sizeof(size), &size) || size.bmWidth <= 0 || size.bmHeight <= 0)
        return CLR_INVALID;
    MemoryDC dc(nullptr);
    if (!dc.get()) return CLR_INVALID;
    ScopedSelect select(dc.get(), bitmap);
    return GetPixel(dc.get(), 0, size.bmHeight - 1);
}

}  // namespace

HBITMAP ImageStoreLoadMenuBitmap(const ImageStore* store, uint32_t number) {
    if (!store) return nullptr;
    return LoadBitmapResource(store->module, number, store->menu_check_width, store->menu_check_height, true,
                              false);
}

bool ImageListAddBitmap(const ImageStore* store, HIMAGELIST image_list, uint32_t number) {
    if (!store || !image_list) return false;
    // Not made transparent by the loader, which would paint the background
    // in a system colour: the list masks it out instead, so the tool bar can
    // draw a disabled button from the picture's shape and the tree shows its
    // own background around the picture.
    GdiBitmap bitmap(LoadBitmapResource(store->module, number, 16, 16, false, true));
    if (!bitmap) return false;
    const COLORREF background = BackgroundColour(bitmap.get());
    if (background == CLR_INVALID) return false;
    // Masked by the background colour alone: white and greys inside a
    // picture stay opaque.
    return ImageList_AddMasked(image_list, bitmap.get(), background) >= 0;
}

HICON GetFileTypeIcon(const WString& extension) {
    // The shell's icon handlers may be COM objects.
    const HRESULT com = CoInitialize(nullptr);
    WString name = L"foo.";
    WStrAppend(name, extension);
    SHFILEINFOW info = {};
    const DWORD_PTR found =
        SHGetFileInfoW(WStrCStr(name), FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                       SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES | SHGFI_ADDOVERLAYS);
    if (SUCCEEDED(com)) CoUninitialize();
    return found ? info.hIcon : nullptr;
}
