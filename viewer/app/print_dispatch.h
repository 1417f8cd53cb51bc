// The print command: whether the active item may be printed and which print
// provider prints it.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

class DocItem;
class ViewerContext;

// A page-like item that prints (command bits 0x4 or 0x40), or an image
// document whose source is an image file.
bool ViewerCanPrintItem(DocItem* item);
// Prints the active item with the provider at `printer_index` (the first
// one when there is no such provider); an item that cannot be printed is
// refused with a message. True when a print job ran.
bool ViewerPrintDocument(ViewerContext* context, int32_t printer_index);

// The number of the context's root's providers (0 without a root).
uint32_t ViewerPrintProviderCount(ViewerContext* context);
// Completes the File menu's item "Print" of provider `index` out of `count`:
// with several providers " (" name ")", with one "...\t" and the shortcut.
void PrintMenuItemSuffix(ViewerContext* context, uint32_t index, uint32_t count, const wchar_t* shortcut,
                         WString& text);
