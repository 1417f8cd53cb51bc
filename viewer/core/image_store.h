// The module's bitmaps and the shell's file-type icons, as menus, tool bars
// and the navigation tree load them.
#pragma once

#include <windows.h>
// commctrl.h needs windows.h first.
#include <commctrl.h>

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class ImageStore : public RefCounted {
  public:
    HMODULE module = nullptr;
    int menu_check_width = 0;  // SM_CXMENUCHECK when the store was made
    int menu_check_height = 0;
};

Ref<ImageStore> ImageStoreCreate(HMODULE module);

// The bitmap resource as a DIB section (the caller deletes it), optionally
// with the top-left pixel's colour made transparent and the 3-D greys mapped
// to the system's colours; null when the module has no such bitmap.
HBITMAP LoadBitmapResource(HMODULE module, uint32_t number, int width, int height, bool transparent,
                           bool map_3d_colours);
// At the menu check-mark size, transparent.
HBITMAP ImageStoreLoadMenuBitmap(const ImageStore* store, uint32_t number);
// Adds the 16 by 16 bitmap to the image list (made with ILC_MASK) with its
// background, the colour of its first stored pixel, masked out; true when
// added.
bool ImageListAddBitmap(const ImageStore* store, HIMAGELIST image_list, uint32_t number);
// The shell's small icon for files of the extension (the caller destroys
// it), or null.
HICON GetFileTypeIcon(const WString& extension);
