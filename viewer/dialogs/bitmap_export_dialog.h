// The bitmap-export dialog ("Screen Copy"): the page or the cut-out at a
// chosen pixel size and depth, with or without markups, to the clipboard or
// a BMP file; the export itself is ExportBitmap (viewer/export/bitmap_export.h).
#pragma once

#include <windows.h>

class DocItem;
class ViewerContext;

// Runs the dialog modally over `owner`; true when something was exported.
// False at once for an item that does not allow bitmap export.
bool ShowBitmapExport(HWND owner, ViewerContext* context, DocItem* item);
