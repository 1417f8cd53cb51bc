#include "imaging/codecs/rle_decoder.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/sinks/raster_sink.h"

namespace {

// One byte, or false at the end of the data.
inline bool NextByte(ByteReader& reader, uint8_t* byte) {
    if (reader.read_pos < reader.fill) {
        *byte = reader.buffer.data()[reader.read_pos++];
        return true;
    }
    if (ByteReaderAvailable(reader) == 0) return false;
    return ByteReaderRead(reader, byte, 1);
}

}  // namespace

RleDecoder::RleDecoder(uint32_t width, uint16_t bits) : width_(width), bits_(bits) {
    if (width == 0 || width > 0x7FFFFFF0u || (bits != 4 && bits != 8)) return;
    row_bytes_ = bits == 4 ? uint32_t((uint64_t(width) + 1) / 2) : width;
    if (!MemAlloc(row_, row_bytes_ + 4, kPoolZero, 0)) return;
    failed_ = false;
}

void RleDecoder::PutRun(uint32_t count, uint8_t value) {
    const uint32_t end = uint32_t(std::min<uint64_t>(uint64_t(x_) + count, width_));
    uint8_t* row = row_.data();
    if (bits_ == 8) {
        memset(row + x_, value, end - x_);
        x_ = end;
        return;
    }
    // Alternately the high and the low nibble of the value.
    const uint8_t nibbles[2] = {uint8_t(value >> 4), uint8_t(value & 0x0F)};
    for (uint32_t i = 0; x_ < end; ++i, ++x_) {
        row[x_ >> 1] |= uint8_t(nibbles[i & 1] << ((x_ & 1) ? 0 : 4));
    }
}

// An absolute run of `count` pixels, padded to a 16-bit boundary in the
// file. Pixels beyond the row's end are read and dropped, so that the next
// control byte is found where the encoder put it.
bool RleDecoder::PutAbsolute(ByteReader& reader, uint32_t count) {
    uint8_t* row = row_.data();
    const uint32_t bytes = bits_ == 8 ? count : (count + 1) / 2;
    for (uint32_t i = 0; i < bytes; ++i) {
        uint8_t byte = 0;
        if (!NextByte(reader, &byte)) return false;
        if (bits_ == 8) {
            if (x_ < width_) row[x_++] = byte;
            continue;
        }
        for (uint32_t half = 0; half < 2 && 2 * i + half < count; ++half) {
            if (x_ >= width_) break;
            const uint8_t nibble = half == 0 ? byte >> 4 : byte & 0x0F;
            row[x_ >> 1] |= uint8_t(nibble << ((x_ & 1) ? 0 : 4));
            ++x_;
        }
    }
    uint8_t pad = 0;
    if (bytes % 2 == 1 && !NextByte(reader, &pad)) return false;
    return true;
}

RleDecoder::RowEnd RleDecoder::DecodeRow(ByteReader& reader) {
    memset(row_.data(), 0, row_bytes_);
    x_ = 0;
    if (bitmap_ended_) return RowEnd::kComplete;
    if (blank_rows_ > 0) {
        --blank_rows_;
        return RowEnd::kComplete;
    }
    x_ = start_x_;
    start_x_ = 0;
    for (;;) {
        uint8_t count = 0, value = 0;
        if (!NextByte(reader, &count)) return RowEnd::kFailed;
        if (!NextByte(reader, &value)) return RowEnd::kFailed;
        if (count > 0) {
            PutRun(count, value);
            continue;
        }
        if (value == 0) return RowEnd::kComplete;
        if (value == 1) {
            bitmap_ended_ = true;
            return RowEnd::kComplete;
        }
        if (value == 2) {
            uint8_t dx = 0, dy = 0;
            if (!NextByte(reader, &dx) || !NextByte(reader, &dy)) return RowEnd::kFailed;
            // A delta past the row's end stops at it.
            x_ = uint32_t(std::min<uint64_t>(uint64_t(x_) + dx, width_));
            if (dy == 0) continue;
            // Moving down ends this row; dy - 1 rows stay blank and the row
            // landed on starts at the new column.
            blank_rows_ = dy - 1u;
            start_x_ = x_;
            return RowEnd::kComplete;
        }
        if (!PutAbsolute(reader, value)) return RowEnd::kFailed;
    }
}

bool RleDecoder::Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                        const PointI* origin, ProgressSink* progress) {
    if (failed_ || !reader || !sink || !source_rect || !origin) return false;
    const int64_t x = source_rect->origin.x, y = source_rect->origin.y;
    const int64_t w = source_rect->size.width, h = source_rect->size.height;
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > width_ || y + h > image_rows) return false;
    x_ = 0;
    blank_rows_ = 0;
    start_x_ = 0;
    bitmap_ended_ = false;
    const uint32_t rows = uint32_t(y + h);
    for (uint32_t r = 0; r < rows; ++r) {
        if (ProgressIsCancelled(progress)) return false;
        if (r % 16 == 0) ProgressReport(progress, float(r) / float(rows));
        if (DecodeRow(*reader) != RowEnd::kComplete) return false;
        if (r < y) continue;
        sink->PutRow(bits_, row_.data(), uint32_t(x + origin->x), uint32_t(r + origin->y), uint32_t(x),
                     uint32_t(w));
    }
    return true;
}
