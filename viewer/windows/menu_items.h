// The building blocks of every menu the viewer makes in code: the main
// menu's popups, the context menus of the views and of redlining.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class ImageStore;
class ViewerContext;

// Appends a string item with the language text; with a bitmap number
// (-1 none) the store's menu bitmap is its check mark both ways. A disabled
// item is greyed. False when the menu refuses the item.
bool MenuAddItem(ViewerContext* context, const ImageStore* images, HMENU menu, uint32_t id,
                 uint32_t text_number, int32_t bitmap_number, bool enabled);
// The same with a literal text and no bitmap.
bool MenuAddTextItem(HMENU menu, uint32_t id, const WString& text, bool enabled);
bool MenuAddSeparator(HMENU menu);
// An entry with the id and the submenu and no text.
bool MenuAddPopup(HMENU menu, HMENU popup, uint32_t id);
// The button-face background, where the system has SetMenuInfo.
void MenuApplyStyle(HMENU menu);
