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

HBITMAP ImageStoreLoadMenuBitmap(const ImageStore* store, uint32_t number) {
    if (!store) return nullptr;
    return LoadBitmapResource(store->module, number, store->menu_check_width, store->menu_check_height, true,
                              false);
}

bool ImageListAddBitmap(const ImageStore* store, HIMAGELIST image_list, uint32_t number) {
    if (!store || !image_list) return false;
    GdiBitmap bitmap(LoadBitmapResource(store->module, number, 16, 16, true, true));
    if (!bitmap) return false;
    return ImageList_Add(image_list, bitmap.get(), nullptr) >= 0;
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
