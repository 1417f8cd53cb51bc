#include "imaging/codecs/jpeg_band_decoder.h"

#include <algorithm>
#include <cstring>

#include "foundation/progress.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/jpeg_glue.h"
#include "imaging/sinks/raster_sink.h"

uint32_t JpegBandRead(void* context, uint8_t* buffer, uint32_t count) {
    JpegStream* stream = static_cast<JpegStream*>(context);
    if (stream->tables_position < stream->tables_length) {
        const uint32_t n = std::min(count, stream->tables_length - stream->tables_position);
        memcpy(buffer, stream->tables + stream->tables_position, n);
        stream->tables_position += n;
        return n;
    }
    if (!stream->reader) return 0;
    const uint32_t n = std::min(count, ByteReaderAvailable(*stream->reader));
    if (n == 0 || !ByteReaderRead(*stream->reader, buffer, n)) return 0;
    return n;
}

bool JpegBandRow(void* context, uint32_t line, uint8_t* row, uint32_t width, uint32_t components) {
    JpegStream* stream = static_cast<JpegStream*>(context);
    const RectI& part = stream->part;
    const uint32_t top = uint32_t(part.origin.y);
    if (line < top) return true;
    if (ProgressIsCancelled(stream->progress)) return false;
    ProgressReport(stream->progress, float(line - top) / float(part.size.height));
    const uint32_t bits = components * 8;
    if (bits != stream->sink->bits_per_pixel) return false;
    if (line - top >= uint32_t(part.size.height)) return true;
    // A damaged TIFF may describe a tile wider than its JPEG data: only the
    // columns the scanline holds are passed on.
    const uint32_t left = uint32_t(part.origin.x);
    if (left >= width) return true;
    const uint32_t count = std::min(uint32_t(part.size.width), width - left);
    // Colour rows come from libjpeg as blue, green, red already.
    const int64_t x = int64_t(stream->origin.x) + left;
    const int64_t y = int64_t(stream->origin.y) + line;
    if (x < 0 || y < 0 || x > UINT32_MAX || y > UINT32_MAX) return true;
    stream->sink->PutRow(uint16_t(bits), row, uint32_t(x), uint32_t(y), left, count);
    return true;
}

uint32_t JpegChooseScale(uint32_t image_width, uint32_t image_height, uint32_t block_width,
                         uint32_t block_height, uint64_t target_width, uint64_t target_height, RectI* part) {
    if (!part || part->origin.x < 0 || part->origin.y < 0 || part->size.width <= 0 || part->size.height <= 0)
        return 1;
    const uint64_t x = uint32_t(part->origin.x), y = uint32_t(part->origin.y);
    const uint64_t right = x + uint32_t(part->size.width), bottom = y + uint32_t(part->size.height);
    for (uint32_t d = 8; d >= 2; d /= 2) {
        if ((block_width < image_width && block_width % d != 0) ||
            (block_height < image_height && block_height % d != 0))
            continue;
        const uint64_t width = (uint64_t(image_width) + d - 1) / d, height = (uint64_t(image_height) + d - 1) / d;
        const uint64_t left = x / d, top = y / d;
        const uint64_t end_x = std::min(width, (right + d - 1) / d), end_y = std::min(height, (bottom + d - 1) / d);
        if (end_x - left < target_width || end_y - top < target_height) continue;
        RectISet(*part, int32_t(left), int32_t(top), int32_t(end_x - left), int32_t(end_y - top));
        return d;
    }
    return 1;
}

JpegBandDecoder::JpegBandDecoder(uint32_t row_width, const MemBlock& tables, uint32_t skip_count) {
    JpegBandDecoderInit(*this, row_width, tables, skip_count);
}

bool JpegBandDecoderInit(JpegBandDecoder& decoder, uint32_t row_width, const MemBlock& tables,
                         uint32_t skip_count) {
    decoder.row_width = row_width;
    decoder.skip_count = skip_count;
    decoder.failed = !MemCopy(decoder.tables, tables);
    return !decoder.failed;
}

bool JpegBandDecoder::Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows,
                             const RectI* source_rect, const PointI* origin, ProgressSink* progress) {
    if (failed || !reader || !sink || !source_rect || !origin) return false;
    const RectI& part = *source_rect;
    if (part.origin.x < 0 || part.origin.y < 0 || part.size.width <= 0 || part.size.height <= 0) return false;
    JpegStream stream;
    stream.sink = sink;
    stream.reader = reader;
    stream.part = part;
    // Columns beyond the decoder's row width belong to no strip or tile.
    if (row_width != 0) {
        if (uint32_t(part.origin.x) >= row_width) return false;
        stream.part.size.width =
            int32_t(std::min(uint32_t(part.size.width), row_width - uint32_t(part.origin.x)));
    }
    stream.origin = *origin;
    stream.progress = progress;
    stream.tables = tables.data();
    stream.tables_length = tables.size();
    // The strip's own start-of-image marker, when the tables bring theirs.
    if (skip_count != 0 && !ByteReaderSkip(*reader, skip_count)) return false;
    const uint32_t line_limit = uint32_t(part.origin.y) + uint32_t(part.size.height);
    return JpegDecode(&stream, line_limit, JpegBandRead, JpegBandRow, stored_colour, scale_denominator,
                      true) == kJpegOk;
}
