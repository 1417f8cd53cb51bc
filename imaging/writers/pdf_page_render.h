// Puts a rendered ImagePage onto a PDF page, at the page's own resolution:
// uncompressed when that keeps its colours, else as a Group 4 image.
// Uncompressed pages are rendered in bands that go straight into the
// document, so a large colour page is never held whole.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"

class DataSource;
class ImagePage;
class PdfPage;
class ProgressSink;

enum PdfImageMode : uint32_t {
    kPdfModeOptimum = 0,  // 4, 8 and 24 bits per pixel uncompressed, the others Group 4
    kPdfModeGroup4 = 1,   // every page bilevel
};

struct PdfRenderOptions {
    uint8_t flip_x = 0;
    uint8_t flip_y = 0;
    uint8_t invert = 0;
    // A single-strip Group 4 TIFF page that shows as it is stored goes over
    // with its coded data instead of being decoded and coded anew; a caller
    // that draws over the page clears this.
    uint8_t carry_group4 = 1;
};

// Renders the whole page (no status) and adds it as one image covering the
// PDF page. False when the page cannot be rendered, coded or added.
bool PdfAddRenderedImage(PdfPage* page, ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options, ProgressSink* progress);

// A page's own Group 4 data, read and checked (PdfReadCarriedImage) before
// the page's turn comes, for PdfAddCarriedImage.
struct PdfCarriedImage {
    MemBlock coded;
    uint32_t length = 0;
};

// The byte count of the coded data PdfAddRenderedImage would carry over for
// the page, as far as the file's tags tell without reading anything; 0 for
// a page that would be rendered.
uint32_t PdfCarriedBytes(ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options);
// Reads and checks those data, which a worker thread may do ahead of the
// page's turn: it touches neither the page's state nor any progress but
// `cancel` (may be null), which it only asks whether to stop. False for a
// page that PdfAddRenderedImage would render: not carried, damaged, or the
// check cancelled.
bool PdfReadCarriedImage(ImagePage* image_page, DataSource* source, uint32_t mode,
                         const PdfRenderOptions& options, ProgressSink* cancel, PdfCarriedImage& out);
// Adds what PdfReadCarriedImage read as the image covering the page, as
// PdfAddRenderedImage would have.
bool PdfAddCarriedImage(PdfPage* page, ImagePage* image_page, const PdfCarriedImage& image);
