// The steps every reader's page Render shares: fitting the requested
// millimetre rectangle to the image's pixels, and running a band decoder
// into a sink with progress, cancellation and the page's render token.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "imaging/formats/page_placement.h"
#include "imaging/raster/raster_image.h"

class BandDecoder;
class Palette;
class ProgressSink;
class RasterSink;
struct ByteReader;

// Millimetres to pixels at `dpi`: trunc(mm x dpi / 25.4 + 0.5), computed in
// f64 and clamped to the 32-bit range.
int32_t MmToPixels(double mm, double dpi);

// The request's rectangle in image pixels, constrained into the image
// (shrunk keeping its aspect ratio, then moved, not cut). False when nothing
// of the image can be shown; the caller decides what status that is.
bool RenderSourceRect(const PagePlacement& placement, double dpi_x, double dpi_y, uint32_t image_width,
                      uint32_t image_height, RectI* source);

struct RenderRun {
    RectI source;              // from RenderSourceRect
    uint32_t image_width = 0;  // the decoded image's pixel size
    uint32_t image_height = 0;
    uint32_t image_rows = 0;                // rows the decoder delivers (usually the height)
    uint16_t bits_per_pixel = 0;            // of the rows the decoder delivers
    Palette* palette = nullptr;             // borrowed; null when the rows carry no colour table
    BandDecoder* decoder = nullptr;         // borrowed
    ByteReader* reader = nullptr;           // borrowed, set up over the image's data
    CriticalSection* token_lock = nullptr;  // the page's (or image directory's) token and its lock
    Ref<RenderToken>* token = nullptr;
};

// Creates the sink for the request, decodes into it and finishes the image;
// null when the sink cannot be made, decoding fails or the user cancels.
Ref<RasterImage> RenderDecode(const RenderRun& run, const PagePlacement& placement, ProgressSink* progress);

// True when the run's source rectangle covers the whole image.
bool RenderCoversImage(const RenderRun& run);

// The two ends of RenderDecode for readers that run several decodes into one
// sink (one per strip or tile). The sink for the run's source rectangle, the
// placement's target size (exchanged for a quarter turn), rotation, flips and
// invert, behind a relay to a second thread for a large bilevel page (see
// relay_sink.h); null when it cannot be made.
Ref<RasterSink> RenderCreateSink(const RenderRun& run, const PagePlacement& placement);
// Selects step 1 of the render's progress range and finishes the sink's
// image, lending it the run's render token; null when the user cancelled.
Ref<RasterImage> RenderFinish(const RenderRun& run, RasterSink* sink, ProgressSink* progress);
