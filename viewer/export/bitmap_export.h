// The bitmap export ("Screen Copy"): a page, or the cut-out the view shows
// of it, rendered as shown at a chosen pixel size and depth, with or without
// its markups, saved as a BMP file or put on the clipboard as CF_DIB.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/strings.h"
#include "imaging/formats/page_placement.h"

class DocItem;
class ViewerContext;

// Flags of ExportBitmap.
inline constexpr uint32_t kBitmapExportMarkups = 1;

// The header and colour table of an exported bitmap, as they lead a BMP
// file and a packed CF_DIB block.
struct ExportBitmapHeader {
    BITMAPINFOHEADER header;
    RGBQUAD colours[256];
};

// Bytes of one row at 1, 8 or 24 bits per pixel, padded to 32 bits; 0 for
// any other depth.
uint64_t BitmapRowBytes(uint32_t width, uint16_t bits_per_pixel);
// The colour table for the depth, how many entries it has (0 for 24 bits):
// black and white for 1 bit; for 8 bits 46 greys, then the 6 x 6 x 6 colour
// cube without its greys.
uint32_t BitmapColourTable(uint16_t bits_per_pixel, RGBQUAD* out);
// Header of a bitmap of that size and depth at the resolution (dots per
// inch); false when the depth is not 1, 8 or 24 or the bits would not fit a
// file.
bool BitmapExportHeaderInit(ExportBitmapHeader& out, SizeI pixel_size, uint16_t bits_per_pixel, double dpi_x,
                            double dpi_y);

// The render request of the export: the whole page or the item's cut-out,
// mirrored, turned and inverted as the view shows it, at the pixel size;
// the document's automatic inversion, and the full-size image when the
// settings say not to use reduced ones. False without a cut-out state.
bool BitmapExportPlacement(ViewerContext* context, DocItem* item, bool entire_page, SizeI pixel_size,
                           PagePlacement& out);

// Renders and writes the bitmap: to `file` when it is not empty, else to
// the clipboard, opened for `clipboard_owner`. Refused (false) without an
// item that allows bitmap export, for a zero side, a depth other than 1, 8
// or 24, or with neither a file nor an owner. False too when the page cannot
// be rendered or the output cannot be written; a file that was not written
// whole is deleted.
bool ExportBitmap(ViewerContext* context, DocItem* item, bool entire_page, SizeI pixel_size,
                  uint16_t bits_per_pixel, uint32_t flags, const WString& file, HWND clipboard_owner);
