#include <cstring>
#include <utility>

#include "foundation/progress.h"
#include "imaging/raster/raster_pixels.h"
#include "imaging/sinks/sink_kinds.h"

namespace {

// Bits offset to offset + count - 1 of `from` merged into bits x to
// x + count - 1 of `to`, both positions at the same place within their byte:
// set source bits set the target's (or clear them), the others leave it.
void MergeBits(uint8_t* to, const uint8_t* from, uint32_t x, uint32_t offset, uint32_t count, bool clear) {
    if (count == 0) return;
    const uint32_t last = x + count - 1;
    uint8_t* out = to + x / 8;
    const uint8_t* in = from + offset / 8;
    const uint32_t bytes = last / 8 - x / 8 + 1;
    const uint8_t first_mask = uint8_t(0xFFu >> (x % 8));
    const uint8_t last_mask = uint8_t(0xFFu << (7 - last % 8));
    auto merge = [clear](uint8_t& target, uint8_t bits) {
        target = clear ? uint8_t(target & ~bits) : uint8_t(target | bits);
    };
    if (bytes == 1) {
        merge(out[0], uint8_t(in[0] & first_mask & last_mask));
        return;
    }
    merge(out[0], uint8_t(in[0] & first_mask));
    if (clear) {
        for (uint32_t i = 1; i + 1 < bytes; ++i) out[i] = uint8_t(out[i] & ~in[i]);
    } else {
        for (uint32_t i = 1; i + 1 < bytes; ++i) out[i] = uint8_t(out[i] | in[i]);
    }
    merge(out[bytes - 1], uint8_t(in[bytes - 1] & last_mask));
}

// Sets (value 1) or clears (value 0) bits first to last - 1 of a row (most
// significant bit first): a mask for each end byte, whole bytes between. The
// runs of a drawing are short, so the bytes between go one by one up to a
// few words.
void PutBitRange(uint8_t* row, uint32_t first, uint32_t last, uint32_t value) {
    if (first >= last) return;
    const uint32_t head = first >> 3, tail = (last - 1) >> 3;
    const uint8_t head_mask = static_cast<uint8_t>(0xFFu >> (first & 7));
    const uint8_t tail_mask = static_cast<uint8_t>(0xFF00u >> (((last - 1) & 7) + 1));
    const uint8_t fill = value ? 0xFF : 0x00;
    auto put = [&](uint32_t k, uint8_t mask) {
        row[k] = static_cast<uint8_t>((row[k] & ~mask) | (fill & mask));
    };
    if (head == tail) {
        put(head, head_mask & tail_mask);
        return;
    }
    put(head, head_mask);
    const uint32_t between = tail - head - 1;
    if (between > 16) {
        memset(row + head + 1, fill, between);
    } else {
        for (uint32_t k = head + 1; k < tail; ++k) row[k] = fill;
    }
    put(tail, tail_mask);
}

// Copies the pixel at index `from` of a row over the `n` pixels after it.
// Bilevel pixels there still hold the background, so only the other value
// needs writing.
void RepeatPixel(uint8_t* row, uint32_t from, uint32_t n, uint32_t bits, uint32_t background) {
    const uint32_t value = PixelGet(row, from, bits);
    if (bits == 1) {
        if (value != background) PutBitRange(row, from + 1, from + 1 + n, value);
        return;
    }
    if (bits == 8) {
        memset(row + from + 1, value, n);
        return;
    }
    for (uint32_t k = 1; k <= n; ++k) PixelPut(row, from + k, bits, value);
}

}  // namespace

DirectSink::DirectSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                       uint32_t target_height, uint16_t bits_per_pixel, Palette* palette, uint16_t rotation,
                       bool flip_x, bool flip_y, bool invert, bool whole_image)
    : RasterSink(source_width, source_height, target_width, target_height, bits_per_pixel, palette, rotation,
                 flip_x, flip_y, invert, whole_image) {
    if (!map_block.block) return;
    const bool quarter = rotation == 90 || rotation == 270;
    const bool with_palette = bits_per_pixel < 24 && palette;
    image_ = RasterImageCreate(quarter ? target_height : target_width, quarter ? target_width : target_height,
                               bits_per_pixel, !with_palette);
    if (!image_) return;
    if (with_palette) {
        // The image keeps 2^bits entries whatever the source table holds
        // (GDI reads that many); entries the source lacks stay black.
        Palette* own = image_->palette;
        for (uint32_t i = 0; i < own->count; ++i) own->entries[i] = PaletteGetEntry(palette, i);
        own->kind = own->count == palette->count ? palette->kind : kPaletteUnknown;
    }
    // A mirror along the picture's rows equals the other mirror plus a half
    // turn; keep only the one that the final vertical flip can apply.
    if (!quarter && this->flip_x) {
        this->rotation = static_cast<uint16_t>((this->rotation + 180) % 360);
        this->flip_x = 0;
        this->flip_y ^= 1;
    } else if (quarter && this->flip_y) {
        this->rotation = static_cast<uint16_t>((this->rotation + 180) % 360);
        this->flip_y = 0;
        this->flip_x ^= 1;
    }
    // The remaining vertical flip is applied as rows are written, rather
    // than by a pass over the whole image at the end.
    flip_rows_ = quarter ? this->flip_x : this->flip_y;
    if (bits_per_pixel == 1) {
        // A bilevel image without palette inverts its bits: it starts with
        // every bit set and set source pixels clear theirs, which saves a
        // pass of reading and writing the whole image at the end.
        background_ = invert && !with_palette ? 1 : 0;
        // Filled here even with 0: the fresh memory of a large page is then
        // taken in by the thread that makes the sink. Left to the writes, it
        // costs a relay's second thread (where the runs are written) far
        // more than this pass.
        memset(image_->pixels, background_ ? 0xFF : 0, size_t(image_->stride) * image_->height);
        if (background_) RasterImageClearPadding(image_.get());
        same_columns_ = this->rotation == 0 && source_width == target_width;
        for (uint32_t sx = 0; sx < source_width && same_columns_; ++sx)
            same_columns_ = column_map[sx].first == sx && column_map[sx].span == 1;
    }
}

uint8_t* DirectSink::MemoryRow(uint32_t index) const {
    return RasterImageRowAddress(image_.get(), flip_rows_ ? image_->height - 1 - index : index);
}

uint32_t DirectSink::FixedIndex(uint32_t y) const {
    return (rotation == 0 || rotation == 90) ? row_map[y].first : row_map[source_height - 1 - y].first;
}

uint32_t DirectSink::MovingIndex(uint32_t sx) const {
    return (rotation == 0 || rotation == 270) ? column_map[sx].first
                                              : column_map[source_width - 1 - sx].first;
}

const SinkMapEntry* DirectSink::HorizontalMap() const {
    return (rotation == 0 || rotation == 180) ? column_map : row_map;
}
const SinkMapEntry* DirectSink::VerticalMap() const {
    return (rotation == 0 || rotation == 180) ? row_map : column_map;
}
uint32_t DirectSink::HorizontalCount() const {
    return (rotation == 0 || rotation == 180) ? source_width : source_height;
}
uint32_t DirectSink::VerticalCount() const {
    return (rotation == 0 || rotation == 180) ? source_height : source_width;
}

template <uint32_t Bits>
void DirectSink::WriteRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) {
    const uint32_t fixed = FixedIndex(y);
    const bool quarter = rotation == 90 || rotation == 270;
    uint8_t* fixed_row = quarter ? nullptr : MemoryRow(fixed);
    if constexpr (Bits == 1) {
        // Whole bytes where the row's bits and the image's line up (a page
        // at 1:1, or a cut-out from a byte boundary): set bits are merged a
        // byte at a time instead of one by one.
        if (same_columns_ && (offset - x) % 8 == 0) {
            MergeBits(fixed_row, row, x, offset, count, background_ != 0);
            return;
        }
        // Only set pixels are written: the image starts as background, and
        // where several source pixels share a target pixel (huge targets) a
        // set one wins.
        ForEachSetBit(row, offset, count, [&](uint32_t k) {
            const uint32_t moving = MovingIndex(x + k);
            uint8_t* out = quarter ? MemoryRow(moving) : fixed_row;
            const uint32_t column = quarter ? fixed : moving;
            if (background_) {
                BitClear(out, column);
            } else {
                BitSet(out, column);
            }
        });
        return;
    }
    if constexpr (Bits == 8 || Bits == 24) {
        // 1:1 columns (a photograph at its own size): the row is copied
        // whole, or pixel by pixel from the other end for a half turn.
        if (!quarter && source_width == target_width) {
            constexpr uint32_t bytes = Bits / 8;
            const uint8_t* from = row + size_t(offset) * bytes;
            if (rotation == 0) {
                memcpy(fixed_row + size_t(x) * bytes, from, size_t(count) * bytes);
                return;
            }
            uint8_t* to = fixed_row + size_t(source_width - 1 - x) * bytes;
            for (uint32_t k = 0; k < count; ++k, from += bytes, to -= bytes) memcpy(to, from, bytes);
            return;
        }
    }
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t value = PixelGet(row, offset + k, Bits);
        const uint32_t moving = MovingIndex(x + k);
        uint8_t* out = quarter ? MemoryRow(moving) : fixed_row;
        const uint32_t column = quarter ? fixed : moving;
        // Shared target pixels: a set nibble bit wins, bytes overwrite.
        if constexpr (Bits == 4) {
            NibbleOr(out, column, value);
        } else {
            PixelPut(out, column, Bits, value);
        }
    }
}

bool DirectSink::PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                        uint32_t count) {
    if (bits != bits_per_pixel || !row || !ClipRow(x, y, &count)) return false;
    switch (bits) {
        case 1:
            WriteRow<1>(row, x, y, offset, count);
            break;
        case 4:
            WriteRow<4>(row, x, y, offset, count);
            break;
        case 8:
            WriteRow<8>(row, x, y, offset, count);
            break;
        default:
            WriteRow<24>(row, x, y, offset, count);
            break;
    }
    return true;
}

bool DirectSink::PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) {
    if (bits_per_pixel != 1 || !runs || !ClipRow(x, y, &count)) return false;
    const uint32_t fixed = FixedIndex(y);
    const bool quarter = rotation == 90 || rotation == 270;
    uint8_t* fixed_row = quarter ? nullptr : MemoryRow(fixed);
    const uint32_t set = background_ ^ 1;
    ForEachRun(runs, offset, count, [&](uint32_t k0, uint32_t k1) {
        const uint32_t s0 = x + k0, s1 = x + k1 - 1;
        if (quarter) {
            // One bit per source pixel; Finish spreads it over the block.
            for (uint32_t s = s0; s <= s1; ++s) {
                if (set) {
                    BitSet(MemoryRow(MovingIndex(s)), fixed);
                } else {
                    BitClear(MemoryRow(MovingIndex(s)), fixed);
                }
            }
            return;
        }
        // The blocks of consecutive source columns are adjacent.
        const uint32_t a = rotation == 0 ? s0 : s1, b = rotation == 0 ? s1 : s0;
        const SinkMapEntry& last = column_map[rotation == 0 ? b : source_width - 1 - b];
        PutBitRange(fixed_row, MovingIndex(a), last.first + last.span, set);
    });
    return true;
}

bool DirectSink::ReplicateColumns(ProgressSink* progress) {
    const SinkMapEntry* horizontal = HorizontalMap();
    const SinkMapEntry* vertical = VerticalMap();
    const uint32_t columns = HorizontalCount(), rows = VerticalCount();
    bool any_span = false;
    for (uint32_t j = 0; j < columns && !any_span; ++j) any_span = horizontal[j].span > 1;
    if (!any_span) return true;
    for (uint32_t i = 0; i < rows; ++i) {
        // Only the first row of each block was written: the others are
        // copies made afterwards.
        if (i > 0 && vertical[i].first == vertical[i - 1].first) continue;
        if (ProgressIsCancelled(progress)) return false;
        uint8_t* row = MemoryRow(vertical[i].first);
        for (uint32_t j = 0; j < columns; ++j) {
            if (horizontal[j].span > 1)
                RepeatPixel(row, horizontal[j].first, horizontal[j].span - 1, bits_per_pixel, background_);
        }
    }
    return true;
}

bool DirectSink::ReplicateRows(ProgressSink* progress) {
    const SinkMapEntry* vertical = VerticalMap();
    const uint32_t rows = VerticalCount(), stride = image_->stride;
    for (uint32_t i = 0; i < rows; ++i) {
        if (vertical[i].span < 2) continue;
        if (ProgressIsCancelled(progress)) return false;
        const uint8_t* from = MemoryRow(vertical[i].first);
        for (uint32_t k = 1; k < vertical[i].span; ++k)
            memcpy(MemoryRow(vertical[i].first + k), from, stride);
    }
    return true;
}

Ref<RasterImage> DirectSink::Finish(ProgressSink* progress, RenderToken*) {
    if (!image_) return nullptr;
    // A cancelled replication leaves the image as it stands.
    if (ReplicateColumns(progress)) ReplicateRows(progress);
    if (invert && !background_) image_->Invert();
    // Handed over: a second Finish must not invert or flip it again.
    return std::move(image_);
}
