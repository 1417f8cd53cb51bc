#include "imaging/codecs/gif_decoder.h"

#include "foundation/geometry.h"
#include "foundation/mem_block.h"
#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/lzw.h"
#include "imaging/sinks/raster_sink.h"

uint32_t GifInterlacedStreamRow(uint32_t y, uint32_t rows) {
    if (y % 8 == 0) return y / 8;
    if (y % 4 == 0) return (rows + 7) / 8 + y / 8;
    if (y % 2 == 0) return (rows + 3) / 4 + y / 4;
    return (rows + 1) / 2 + y / 2;
}

GifDecoder::GifDecoder(uint32_t width, uint16_t bits, bool interlaced, uint32_t code_size)
    : width_(width), interlaced_(interlaced), code_size_(code_size) {
    if (width == 0 || bits == 0 || bits > 8) return;
    output_bits_ = bits == 1 ? 1 : bits <= 4 ? 4 : 8;
    pixels_per_byte_ = 8 / output_bits_;
    failed_ = false;
}

bool GifDecoder::Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                        const PointI* origin, ProgressSink* progress) {
    if (failed_ || !reader || !sink || !source_rect || !origin) return false;
    const int64_t x = source_rect->origin.x, y = source_rect->origin.y;
    const int64_t w = source_rect->size.width, h = source_rect->size.height;
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > width_ || y + h > image_rows) return false;
    MemBlock input;
    const uint32_t input_length = ByteReaderReadAll(*reader, input);
    if (input_length == 0) return false;

    // Pixels run on from row to row without padding. Interlaced images are
    // decoded whole, since their rows are spread over the stream.
    const uint64_t p = pixels_per_byte_;
    const uint64_t decoded_rows = interlaced_ ? image_rows : uint64_t(y + h);
    const uint64_t skip = interlaced_ ? 0 : uint64_t(width_) * uint64_t(y) / p;
    const uint64_t length = (decoded_rows * width_ + p - 1) / p - skip;
    if (length + skip > kPoolMaxBlock - 8) return false;
    MemBlock output;
    // Zero padding behind the last row: sinks may read it as part of a word.
    if (!MemAlloc(output, uint32_t(length) + 4, kPoolZero, 0)) return false;
    if (!LzwDecode(input.data(), input_length, output.data(), uint32_t(skip), uint32_t(length), 0, code_size_,
                   12, output_bits_)) {
        return false;
    }
    ProgressReport(progress, 0.5f);
    for (uint32_t row = uint32_t(y); row < uint32_t(y + h); ++row) {
        if (ProgressIsCancelled(progress)) return false;
        if ((row - y) % 16 == 0) ProgressReport(progress, (float(row - y) / float(h) + 1.0f) * 0.5f);
        const uint64_t stream_row = interlaced_ ? GifInterlacedStreamRow(row, image_rows) : row;
        const uint64_t pixel = uint64_t(width_) * stream_row;
        // The buffer starts at byte `skip` of the stream.
        const uint8_t* bytes = output.data() + (pixel / p - skip);
        sink->PutRow(output_bits_, bytes, uint32_t(x + origin->x), uint32_t(row + origin->y),
                     uint32_t(pixel % p + x), uint32_t(w));
    }
    return true;
}
