// What the bitmap-export dialog works on: the page, how the main view shows
// it, and the sizes the dialog proposes from them.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DocItem;
class ViewerContext;
class ViewMapping;

// Sizes as the view shows them: page and cut-out sizes exchanged, and the
// page's pixel height taken for its width, while the view is turned by a
// quarter.
struct BitmapExportRequest {
    Ref<ViewerContext> context;
    Ref<DocItem> item;
    Ref<ViewMapping> mapping;          // the main view's, or null
    uint32_t page_pixel_width = 0;     // at the page's own resolution
    uint32_t view_pixel_width = 0;     // of the cut-out as the view shows it
    SizeD page_size;                   // millimetres
    SizeD cut_out_size;                // millimetres
    uint16_t page_bits_per_pixel = 0;  // 0 when the page does not say
};

// Fills the request for a page item. The view's width comes from the
// mapping when it shows this item; otherwise the cut-out is taken at the
// screen's true size. False without an item that has a cut-out.
bool BitmapExportRequestInit(BitmapExportRequest& request, ViewerContext* context, DocItem* item,
                             ViewMapping* mapping);

// Height for a width, keeping the aspect of the page (entire page) or of the
// cut-out: floor(width x H / W + 0.5); 0 without a width or size.
uint32_t BitmapExportHeightFor(const BitmapExportRequest& request, bool entire_page, uint32_t width);
// The width that shows the cut-out at the view's size (scaled up to the
// whole page with `entire_page`).
uint32_t BitmapExportScreenWidth(const BitmapExportRequest& request, bool entire_page);
// The width at the page's own resolution (scaled down to the cut-out
// without `entire_page`).
uint32_t BitmapExportOriginalWidth(const BitmapExportRequest& request, bool entire_page);
// The depth the dialog starts with: 1 or 8 as the page has them, else 24.
uint16_t BitmapExportInitialDepth(const BitmapExportRequest& request);
// "Image size: 781 KB" (thousands grouped with "."), or "Image size: ? KB"
// while a side is 0.
WString& BitmapExportSizeText(ViewerContext* context, uint32_t width, uint32_t height,
                              uint16_t bits_per_pixel, WString& out);
