// The print command: whether the active item may be printed and which print
// provider prints it.
#pragma once

#include <cstdint>

class DocItem;
class ViewerContext;

// A page-like item that prints (command bits 0x4 or 0x40), or an image
// document whose source is an image file.
bool ViewerCanPrintItem(DocItem* item);
// Prints the active item with the provider at `printer_index` (the first
// one when there is no such provider); an item that cannot be printed is
// refused with a message. True when a print job ran.
bool ViewerPrintDocument(ViewerContext* context, int32_t printer_index);
