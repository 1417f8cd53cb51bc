// Where and how large a page lands on the paper: the print options and what
// the provider supports, placed through the viewer's shared placement
// routines. The print job prints with the layout at the printer's
// resolution; the print dialog draws it scaled into its preview box.
#pragma once

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "viewer/model/view_mapping.h"

class CutOutState;
class DocItem;
class PrintableArea;
class PrintProvider;
class ViewerContext;
struct PrintOptions;

// A print layout: the page item's id, the image's position on the paper in
// printer pixels from the paper's top-left corner, the render request, and
// the printer's pixels per mm across and down as the two zoom factors.
using PrintLayout = ViewMapping;

// Null without provider or area, for an item that cannot be printed (command
// bits 4 and 0x1000), without cut-out state, or when the page does not fit.
Ref<PrintLayout> PrintLayoutCompute(ViewerContext* context, PrintProvider* provider, DocItem* item,
                                    const PrintOptions& options, const PrintableArea* area,
                                    bool auto_orientation);

// The layout scaled into a preview box of `box_size` pixels: the paper's
// rectangle (relative to the box) comes back in `paper`; the page shows
// unturned on paper drawn turned where the layout turned the page. The
// mapping is relative to the box as well. Null when nothing can be drawn.
Ref<ViewMapping> PrintPreviewMapping(ViewerContext* context, const PrintableArea& area,
                                     const PrintLayout& layout, CutOutState* state, const SizeI& box_size,
                                     RectI& paper);
