// Converting a loaded document into a multi-page TIFF (every page Group 4)
// or a PDF 1.2 file. The convert dialog, the DDE command Convert and the
// automation converter all come here; none of them converts on its own.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "viewer/export/page_list.h"

class DataSource;
class ImageFormat;
class ProgressSink;

// The TIFF layouts a caller chooses by number: the converter's Layout 1 to
// 4 and the DDE command Convert's compression code. Tile width 0 writes
// strips; the reduction adds reduced copies of every page.
struct TiffLayout {
    uint32_t tile_width;
    uint32_t rows;  // per strip or tile; 0 with strips: one strip
    uint32_t reduction_percent;
};
inline constexpr uint32_t kTiffLayoutCount = 4;
inline constexpr TiffLayout kTiffLayouts[kTiffLayoutCount] = {
    {0, 0, 0}, {0, 64, 0}, {512, 512, 0}, {512, 512, 50}};
// Layout 1 for a number outside 1 to 4.
constexpr const TiffLayout& TiffLayoutFor(int64_t number) {
    return number >= 1 && number <= kTiffLayoutCount ? kTiffLayouts[number - 1] : kTiffLayouts[0];
}

// One more ASCII entry for every directory of a TIFF.
struct ExtraTag {
    uint16_t tag = 0;
    WString text;
};

// TIFF layouts: tile width 0 writes strips of `rows` rows (0: one strip);
// a reduction of 1 to 99 percent adds reduced copies of every page.
// `compression` is accepted for the callers' sake and not used: pages are
// always Group 4. A descriptor (when descriptor i exists) says whether page
// i is written and how it is mirrored, inverted and turned; without one the
// page is written as stored, turned by `rotation`. A turn of 90, 180 or 270
// is written as the Orientation of the page's directories. False when an
// argument is missing, a page cannot be rendered or coded, an extra tag is
// one the writer keeps for itself, or the file cannot be written; no file
// is left then.
bool ExportTiff(ImageFormat* format, DataSource* data, const WString& target, uint32_t compression,
                uint16_t rotation, const PageDescriptor* descriptors, uint32_t descriptor_count,
                uint32_t tile_width, uint32_t rows, uint32_t reduction_percent, const ExtraTag* tags,
                uint32_t tag_count, ProgressSink* progress);

// Mode 1 writes every page as a Group 4 image; mode 0 keeps pages of 4, 8
// and 24 bits per pixel as uncompressed images and codes the others with
// Group 4. Descriptors and rotation as for ExportTiff (the turn becomes the
// page's /Rotate). Pages are rendered and written one at a time into a new
// file beside the target, which replaces the target only when the document
// is complete: a failure leaves no new file and an existing target as it
// was.
bool ExportPdf(ImageFormat* format, DataSource* data, const WString& target, uint32_t mode, uint16_t rotation,
               const PageDescriptor* descriptors, uint32_t descriptor_count, const WString& title,
               ProgressSink* progress);
