// The band decoder of JPEG data: JPEG/JFIF files and the JPEG-compressed
// strips and tiles of TIFF (Compression 6 and 7), whose abbreviated streams
// lean on the tables of the JPEGTables tag.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/mem_block.h"
#include "imaging/codecs/band_decoder.h"
#include "imaging/codecs/jpeg_glue.h"

struct ByteReader;
class RasterSink;
class ProgressSink;

// The read context of both users of the glue: the tables (when any) come
// first, then the reader's bytes.
struct JpegStream {
    RasterSink* sink = nullptr;  // all borrowed
    ByteReader* reader = nullptr;
    RectI part;
    PointI origin;
    ProgressSink* progress = nullptr;
    const uint8_t* tables = nullptr;
    uint32_t tables_length = 0;
    uint32_t tables_position = 0;
};

// Read callback of the glue over a JpegStream (context).
uint32_t JpegBandRead(void* stream, uint8_t* buffer, uint32_t count);
// Row callback of the glue: passes the part of each scanline inside the
// stream's part rectangle on to its sink (colour as blue, green, red).
bool JpegBandRow(void* stream, uint32_t line, uint8_t* row, uint32_t width, uint32_t components);

// How to use it for TIFF: JpegBandDecoder decoder(tile_width, tables, 2)
// with `tables` a MemBlock holding the JPEGTables bytes less their last two
// (the tables' end-of-image marker) when the tag has at least 3 bytes; else
// JpegBandDecoder decoder(tile_width, MemBlock(), 0); stored_colour as the
// directory's PhotometricInterpretation says. Then, per strip or
// tile, decoder.Decode(reader positioned on the strip, sink, tile length,
// part in tile coordinates, tile origin relative to the fitted rectangle,
// progress). Rows reach the sink with 8 bits per component (8 grey, 24
// colour); a JPEG with another number of components than the sink's depth
// fails the strip.
class JpegBandDecoder : public BandDecoder {
  public:
    JpegBandDecoder() = default;
    // JpegBandDecoderInit on a new decoder.
    JpegBandDecoder(uint32_t row_width, const MemBlock& tables, uint32_t skip_count);

    // Decodes the scanlines down to the part's last one (those above it are
    // decoded but not passed on). False when libjpeg fails, the tables could
    // not be copied, the part is empty, the rows do not fit the sink's depth
    // or the progress sink cancels.
    bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                const PointI* origin, ProgressSink* progress) override;

    MemBlock tables;          // a copy of the tables bytes, or empty
    uint32_t skip_count = 0;  // bytes skipped at the start of each strip's data
    uint32_t row_width = 0;
    // A TIFF's PhotometricInterpretation: RGB (2) or YCbCr (6) strips.
    JpegStoredColour stored_colour = kJpegColourAsMarked;
    // 2, 4 or 8: rows come reduced by that factor from libjpeg's inverse DCT,
    // and the part, row width and image rows count reduced pixels.
    uint32_t scale_denominator = 1;
    bool failed = false;  // the tables could not be copied
};

// The largest reduction libjpeg can make inside its inverse DCT (2, 4 or 8)
// whose part of the image still has at least target_width x target_height
// pixels, so a sink reduces the rest; 1 when none does. The image is stored
// in blocks (strips or tiles, each a JPEG stream of its own) of block_width x
// block_height pixels: a reduction must divide a block's side unless one
// block spans the image on that axis, so that every block starts on a
// reduced pixel. `part` is in full-size pixels and becomes the same part of
// the reduced image, its ends rounded outwards as libjpeg rounds the reduced
// size up.
uint32_t JpegChooseScale(uint32_t image_width, uint32_t image_height, uint32_t block_width,
                         uint32_t block_height, uint64_t target_width, uint64_t target_height, RectI* part);

// Copies the tables; false (and every Decode fails) when that fails.
bool JpegBandDecoderInit(JpegBandDecoder& decoder, uint32_t row_width, const MemBlock& tables,
                         uint32_t skip_count);
