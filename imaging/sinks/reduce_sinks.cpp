// The reducing sinks: every source pixel is added into the target pixels it
// feeds; Finish divides by the number of source pixels per target pixel.
#include <cmath>
#include <cstring>

#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/formats/page_placement.h"
#include "imaging/raster/raster_pixels.h"
#include "imaging/sinks/sink_kinds.h"

namespace {

constexpr uint32_t kAccumulatorTag = 0x53756D73;  // "Sums"

bool PaletteCovers(const Palette* palette, uint32_t bits) {
    return palette && palette->count >= PaletteSizeForBits(bits);
}

// The mean of `divisor` samples of up to 255 that add up to `sum`, rounded
// down. In doubles where that is exact: a 64-bit integer division is a
// library call in the 32-bit build, made for every channel of every target
// pixel. The quotient is at most 255 and one that is not whole lies at least
// 1/divisor below the next integer, far more than the rounding error of at
// most 255 x 2^-53 while the divisor stays below 2^40.
inline uint8_t MeanOf(uint64_t sum, uint64_t divisor) {
    if (divisor >= (uint64_t(1) << 40)) return static_cast<uint8_t>(sum / divisor);
    return static_cast<uint8_t>(static_cast<double>(sum) / static_cast<double>(divisor));
}

}  // namespace

template <class Sum, uint32_t Channels>
AccumulatingSink<Sum, Channels>::AccumulatingSink(uint32_t source_width, uint32_t source_height,
                                                  uint32_t target_width, uint32_t target_height,
                                                  uint16_t bits_per_pixel, Palette* palette,
                                                  uint16_t rotation, bool flip_x, bool flip_y, bool invert,
                                                  bool whole_image)
    : RasterSink(source_width, source_height, target_width, target_height, bits_per_pixel, palette, rotation,
                 flip_x, flip_y, invert, whole_image) {
    const uint64_t bytes = static_cast<uint64_t>(target_width) * target_height * Channels * sizeof(Sum);
    if (!this->map_block.block || bytes > kRasterMaxBlockBytes) return;
    sums_ = static_cast<Sum*>(MemAlloc(store_, static_cast<uint32_t>(bytes), kPoolZero, kAccumulatorTag));
}

template <class Sum, uint32_t Channels>
void AccumulatingSink<Sum, Channels>::AddToColumns(Sum* target_row, uint32_t sx,
                                                   const uint32_t* value) const {
    const SinkMapEntry& entry = this->column_map[sx];
    Sum* cell = target_row + static_cast<size_t>(entry.first) * Channels;
    for (uint32_t k = 0; k < entry.span; ++k, cell += Channels) {
        for (uint32_t c = 0; c < Channels; ++c) cell[c] += static_cast<Sum>(value[c]);
    }
}

template <class Sum, uint32_t Channels>
Ref<RasterImage> AccumulatingSink<Sum, Channels>::CreateOutput(uint16_t bits, bool* flip_columns,
                                                               bool* flip_rows) const {
    const uint32_t tw = this->target_width, th = this->target_height;
    const bool quarter = this->rotation == 90 || this->rotation == 270;
    bool fx = this->flip_x, fy = this->flip_y;
    if (this->rotation == 180 || this->rotation == 90) fx = !fx;
    if (this->rotation == 180 || this->rotation == 270) fy = !fy;
    *flip_columns = fx;
    *flip_rows = fy;
    return RasterImageCreate(quarter ? th : tw, quarter ? tw : th, bits, true);
}

template <class Sum, uint32_t Channels>
template <class ValueOf>
Ref<RasterImage> AccumulatingSink<Sum, Channels>::BuildImage(uint16_t bits, ProgressSink* progress,
                                                             ValueOf value_of) const {
    const uint32_t tw = this->target_width, th = this->target_height;
    const bool quarter = this->rotation == 90 || this->rotation == 270;
    bool fx, fy;
    Ref<RasterImage> image = CreateOutput(bits, &fx, &fy);
    if (!image) return nullptr;
    const uint32_t bytes = bits / 8;
    for (uint32_t t = 0; t < th; ++t) {
        if (ProgressIsCancelled(progress)) return nullptr;
        ProgressReport(progress, static_cast<float>(t) / static_cast<float>(th));
        const Sum* row = TargetRow(t);
        const uint32_t placed_t = fy ? th - 1 - t : t;
        uint8_t* fixed_row = quarter ? nullptr : RasterImageRowAddress(image.get(), placed_t);
        for (uint32_t c = 0; c < tw; ++c, row += Channels) {
            const uint32_t placed_c = fx ? tw - 1 - c : c;
            uint8_t* out = quarter ? RasterImageRowAddress(image.get(), placed_c) + placed_t * bytes
                                   : fixed_row + placed_c * bytes;
            const uint64_t divisor = static_cast<uint64_t>(this->column_counts[c]) * this->row_counts[t];
            value_of(row, divisor, out);
        }
    }
    return image;
}

namespace {

// Distinct values of a count array, at most kMaxClasses of them; false when
// there are more. `class_of` receives each entry's index into `values`.
constexpr uint32_t kMaxClasses = 4;

bool CountClasses(const uint32_t* counts, uint32_t n, uint32_t* values, uint32_t* class_count,
                  uint8_t* class_of) {
    uint32_t found = 0;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t k = 0;
        while (k < found && values[k] != counts[i]) ++k;
        if (k == found) {
            if (found == kMaxClasses) return false;
            values[found++] = counts[i];
        }
        if (class_of) class_of[i] = static_cast<uint8_t>(k);
    }
    *class_count = found;
    return true;
}

}  // namespace

// A screen render's target pixels gather one of very few numbers of source
// pixels (the groups of a reduction differ by at most one on each axis), so
// the quotient sum x multiplier / pixels comes from a small table per number
// instead of a division per byte. Same values as the division.
template <class Sum, uint32_t Channels>
bool AccumulatingSink<Sum, Channels>::BuildThroughTables(uint32_t top, uint32_t multiplier,
                                                         ProgressSink* progress, Ref<RasterImage>* out) const {
    constexpr uint32_t kMaxTableBytes = 256 * 1024;
    const uint32_t tw = this->target_width, th = this->target_height;
    uint32_t column_values[kMaxClasses], row_values[kMaxClasses], columns = 0, rows = 0;
    if (!CountClasses(this->row_counts, th, row_values, &rows, nullptr)) return false;
    MemBlock block;
    uint8_t* class_of = static_cast<uint8_t*>(MemAlloc(block, tw, 0, kAccumulatorTag));
    if (!class_of || !CountClasses(this->column_counts, tw, column_values, &columns, class_of)) return false;
    // Every table holds the quotients for sums 0 to top x its number of pixels.
    uint64_t table_bytes = 0;
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c)
            table_bytes += uint64_t(row_values[r]) * column_values[c] * top + 1;
    }
    MemBlock table_block;
    if (table_bytes > kMaxTableBytes || !MemAlloc(table_block, uint32_t(table_bytes), 0, kAccumulatorTag))
        return false;
    const uint8_t* tables[kMaxClasses][kMaxClasses];
    uint32_t limits[kMaxClasses][kMaxClasses], pixels_of[kMaxClasses][kMaxClasses];
    uint8_t* next = table_block.data();
    for (uint32_t r = 0; r < rows; ++r) {
        for (uint32_t c = 0; c < columns; ++c) {
            const uint32_t pixels = row_values[r] * column_values[c];
            const uint32_t limit = pixels * top;
            for (uint32_t k = 0; k <= limit; ++k) next[k] = static_cast<uint8_t>(k * multiplier / pixels);
            tables[r][c] = next;
            limits[r][c] = limit;
            pixels_of[r][c] = pixels;
            next += limit + 1;
        }
    }
    const bool quarter = this->rotation == 90 || this->rotation == 270;
    bool fx, fy;
    Ref<RasterImage> image = CreateOutput(static_cast<uint16_t>(8 * Channels), &fx, &fy);
    if (!image) return false;
    for (uint32_t t = 0; t < th; ++t) {
        if (ProgressIsCancelled(progress)) return true;  // *out stays null
        ProgressReport(progress, static_cast<float>(t) / static_cast<float>(th));
        const Sum* sums = TargetRow(t);
        uint32_t r = 0;
        while (row_values[r] != this->row_counts[t]) ++r;
        const uint8_t* const* row_tables = tables[r];
        const uint32_t* row_limits = limits[r];
        const uint32_t* row_pixels = pixels_of[r];
        // A sum above its table (rows given twice) takes the division, as it
        // always did.
        auto put = [&](uint32_t c, uint8_t* pixel) {
            const uint32_t k = class_of[c];
            const Sum* cell = sums + static_cast<size_t>(c) * Channels;
            for (uint32_t channel = 0; channel < Channels; ++channel) {
                const Sum value = cell[channel];
                pixel[channel] = value <= row_limits[k]
                                     ? row_tables[k][value]
                                     : static_cast<uint8_t>(uint64_t(value) * multiplier / row_pixels[k]);
            }
        };
        const uint32_t placed_t = fy ? th - 1 - t : t;
        if (quarter) {
            for (uint32_t c = 0; c < tw; ++c)
                put(c, RasterImageRowAddress(image.get(), fx ? tw - 1 - c : c) + size_t(placed_t) * Channels);
        } else if (fx) {
            uint8_t* row = RasterImageRowAddress(image.get(), placed_t) + size_t(tw - 1) * Channels;
            for (uint32_t c = 0; c < tw; ++c, row -= Channels) put(c, row);
        } else {
            uint8_t* row = RasterImageRowAddress(image.get(), placed_t);
            for (uint32_t c = 0; c < tw; ++c, row += Channels) put(c, row);
        }
    }
    *out = std::move(image);
    return true;
}

// ---- colour

template <class Sum>
template <uint32_t Bits>
void ColourReduceSink<Sum>::AddRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                                   uint32_t count) {
    const uint32_t* colours = Bits == 24 ? nullptr : this->palette->entries;
    const SinkMapEntry& rows = this->row_map[y];
    if (rows.span == 1 && this->source_width >= this->target_width) {
        // Reduced on both axes (every screen render of a photograph): each
        // source pixel feeds exactly one target pixel.
        Sum* target = this->TargetRow(rows.first);
        const SinkMapEntry* columns = this->column_map + x;
        for (uint32_t k = 0; k < count; ++k) {
            uint32_t pixel = PixelGet(row, offset + k, Bits);
            if constexpr (Bits != 24) pixel = colours[pixel];
            Sum* cell = target + static_cast<size_t>(columns[k].first) * 3;
            cell[0] += pixel & 0xFF;
            cell[1] += (pixel >> 8) & 0xFF;
            cell[2] += (pixel >> 16) & 0xFF;
        }
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        uint32_t pixel = PixelGet(row, offset + k, Bits);
        if constexpr (Bits != 24) pixel = colours[pixel];
        const uint32_t value[3] = {pixel & 0xFF, (pixel >> 8) & 0xFF, (pixel >> 16) & 0xFF};
        for (uint32_t r = 0; r < rows.span; ++r)
            this->AddToColumns(this->TargetRow(rows.first + r), x + k, value);
    }
}

template <class Sum>
bool ColourReduceSink<Sum>::PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                                   uint32_t count) {
    if (!row || !this->ClipRow(x, y, &count)) return false;
    if (bits != 24 && (bits > 8 || !PaletteCovers(this->palette, bits))) return false;
    switch (bits) {
        case 1:
            AddRow<1>(row, x, y, offset, count);
            return true;
        case 4:
            AddRow<4>(row, x, y, offset, count);
            return true;
        case 8:
            AddRow<8>(row, x, y, offset, count);
            return true;
        case 24:
            AddRow<24>(row, x, y, offset, count);
            return true;
        default:
            return false;
    }
}

template <class Sum>
Ref<RasterImage> ColourReduceSink<Sum>::Finish(ProgressSink* progress, RenderToken*) {
    Ref<RasterImage> image;
    if (!this->BuildThroughTables(255, 1, progress, &image))
        image = this->BuildImage(24, progress, [](const Sum* sums, uint64_t divisor, uint8_t* out) {
            for (uint32_t c = 0; c < 3; ++c) out[c] = MeanOf(sums[c], divisor);
        });
    if (image && this->invert) image->Invert();
    return image;
}

// ---- grey

template <class Sum>
template <uint32_t Bits>
void GreyReduceSink<Sum>::AddRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                                 uint32_t count) {
    const uint32_t scale = Bits == 4 ? 17 : 1;
    const SinkMapEntry& rows = this->row_map[y];
    if (rows.span == 1 && this->source_width >= this->target_width) {
        Sum* target = this->TargetRow(rows.first);
        const SinkMapEntry* columns = this->column_map + x;
        for (uint32_t k = 0; k < count; ++k)
            target[columns[k].first] += PixelGet(row, offset + k, Bits) * scale;
        return;
    }
    for (uint32_t k = 0; k < count; ++k) {
        const uint32_t value = PixelGet(row, offset + k, Bits) * scale;
        if (value == 0) continue;
        for (uint32_t r = 0; r < rows.span; ++r)
            this->AddToColumns(this->TargetRow(rows.first + r), x + k, &value);
    }
}

template <class Sum>
bool GreyReduceSink<Sum>::PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                                 uint32_t count) {
    if (bits != this->bits_per_pixel || !row || !this->ClipRow(x, y, &count)) return false;
    if (bits == 4) {
        AddRow<4>(row, x, y, offset, count);
    } else {
        AddRow<8>(row, x, y, offset, count);
    }
    return true;
}

template <class Sum>
Ref<RasterImage> GreyReduceSink<Sum>::Finish(ProgressSink* progress, RenderToken*) {
    Ref<RasterImage> image;
    if (!this->BuildThroughTables(255, 1, progress, &image))
        image = this->BuildImage(
            8, progress, [](const Sum* sums, uint64_t divisor, uint8_t* out) { *out = MeanOf(*sums, divisor); });
    if (image && this->invert) image->Invert();
    return image;
}

// ---- bilevel

template <class Count>
bool BilevelCountSink<Count>::PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y,
                                     uint32_t offset, uint32_t count) {
    if (bits != 1 || !row || !this->ClipRow(x, y, &count)) return false;
    const SinkMapEntry& rows = this->row_map[y];
    if (TakesPackedRowCheaply(x, y, offset)) {
        AddRowToLanes(row, (x - offset) / kLaneBits, offset, count, rows.first);
        return true;
    }
    // Other packed rows become runs, byte by byte, and take the run path: a
    // drawing's row has a few hundred runs but thousands of set pixels.
    if (row_runs_.elements && uint64_t(offset) + count <= row_runs_.width) {
        ChangeListFromRow(row_runs_, row, offset + count);
        return PutRuns(row_runs_.elements, x, y, offset, count);
    }
    const uint32_t one = 1;
    ForEachSetBit(row, offset, count, [&](uint32_t k) {
        ++set_pixels_;
        for (uint32_t r = 0; r < rows.span; ++r)
            this->AddToColumns(this->TargetRow(rows.first + r), x + k, &one);
    });
    return true;
}

template <class Count>
BilevelCountSink<Count>::BilevelCountSink(uint32_t source_width, uint32_t source_height,
                                          uint32_t target_width, uint32_t target_height,
                                          uint16_t bits_per_pixel, Palette* palette, uint16_t rotation,
                                          bool flip_x, bool flip_y, bool invert, bool whole_image)
    : AccumulatingSink<Count, 1>(source_width, source_height, target_width, target_height, bits_per_pixel,
                                 palette, rotation, flip_x, flip_y, invert, whole_image) {
    if (this->IsFailed()) return;
    // Room for a row's runs from any bit offset of its first byte.
    ChangeListInit(row_runs_, source_width + 8);
    if (source_width < target_width || target_width >= 0x10000) return;
    const uint64_t starts_at = (uint64_t(source_width) * 2 + 3) & ~3ull;
    const uint64_t heads_at = (starts_at + (uint64_t(target_width) + 2) * 4 + 7) & ~7ull;
    const uint64_t bytes = heads_at + uint64_t(target_width) * sizeof(Count);
    if (bytes > kRasterMaxBlockBytes ||
        !MemAlloc(run_map_block_, uint32_t(bytes), kPoolZero, kAccumulatorTag))
        return;
    column_target_ = reinterpret_cast<uint16_t*>(run_map_block_.data());
    group_start_ = reinterpret_cast<uint32_t*>(run_map_block_.data() + starts_at);
    heads_ = reinterpret_cast<Count*>(run_map_block_.data() + heads_at);
    for (uint32_t t = 0; t <= target_width; ++t) group_start_[t] = source_width;
    group_start_[target_width + 1] = 0xFFFFFFFFu;
    // Every target column takes at least one source column in a reduction.
    for (uint32_t s = source_width; s-- > 0;) {
        column_target_[s] = static_cast<uint16_t>(this->column_map[s].first);
        group_start_[this->column_map[s].first] = s;
    }
    // The lanes need every source byte within two target columns.
    if (source_width / target_width < 8) return;
    lane_words_ = (source_width + kLaneBits - 1) / kLaneBits;
    const uint64_t lane_bytes = uint64_t(lane_words_) * 3 * sizeof(LaneWord);
    if (lane_bytes > kRasterMaxBlockBytes ||
        !MemAlloc(lane_block_, uint32_t(lane_bytes), kPoolZero, kAccumulatorTag))
        return;
    lanes_ = reinterpret_cast<LaneWord*>(lane_block_.data());
    next_lanes_ = lanes_ + lane_words_;
    next_masks_ = next_lanes_ + lane_words_;
    // Lane k of a word is its byte k in memory; in it the first pixel is the
    // top bit.
    for (uint32_t s = 0; s < source_width; ++s) {
        const uint32_t byte_start = s & ~7u;
        if (column_target_[s] == column_target_[byte_start]) continue;
        const uint32_t lane = (s % kLaneBits) / 8;
        next_masks_[s / kLaneBits] |= LaneWord(0x80u >> (s & 7)) << (8 * lane);
    }
}

namespace {

// Set bits of every byte of a word, each in its own byte.
inline uintptr_t ByteCounts(uintptr_t word) {
    constexpr uintptr_t kOnes = ~uintptr_t(0) / 255;
    word -= (word >> 1) & (kOnes * 0x55);
    word = (word & (kOnes * 0x33)) + ((word >> 2) & (kOnes * 0x33));
    return (word + (word >> 4)) & (kOnes * 0x0F);
}

// The bits of pixels `from` to `to` - 1 of a packed row's word loaded from
// memory (pixel 0 the top bit of byte 0).
inline uintptr_t PixelRange(uint32_t from, uint32_t to) {
    uintptr_t mask = 0;
    for (uint32_t lane = from / 8; lane * 8 < to; ++lane) {
        const uint32_t lo = from > lane * 8 ? from - lane * 8 : 0;
        const uint32_t hi = to < lane * 8 + 8 ? to - lane * 8 : 8;
        mask |= uintptr_t((0xFFu >> lo) & (0xFFu << (8 - hi)) & 0xFFu) << (8 * lane);
    }
    return mask;
}

}  // namespace

// Rows counted into the lanes: each feeds one target row, and its first
// bit is the first of a source word.
template <class Count>
bool BilevelCountSink<Count>::TakesPackedRowCheaply(uint32_t x, uint32_t y, uint32_t offset) const {
    return lanes_ && y < this->source_height && this->row_map[y].span == 1 && x >= offset &&
           (x - offset) % kLaneBits == 0;
}

template <class Count>
void BilevelCountSink<Count>::AddRowToLanes(const uint8_t* row, uint32_t first_word, uint32_t offset,
                                            uint32_t count, uint32_t target_row) {
    if (target_row != lane_row_ || lane_rows_ == kLaneRows) {
        FoldLanes();
        lane_row_ = target_row;
    }
    ++lane_rows_;
    const uint32_t end = offset + count;
    const uint32_t first = offset / kLaneBits, last = (end - 1) / kLaneBits;
    LaneWord* lanes = lanes_ + first_word;
    LaneWord* next_lanes = next_lanes_ + first_word;
    const LaneWord* next_masks = next_masks_ + first_word;
    auto add = [&](uint32_t i, LaneWord word) {
        lanes[i] += ByteCounts(word);
        next_lanes[i] += ByteCounts(word & next_masks[i]);
    };
    // The first and last words are cut to the pixels given; the last is
    // read only as far as the row's bytes go.
    LaneWord word = 0;
    memcpy(&word, row + first * sizeof(LaneWord),
           first < last ? sizeof(LaneWord) : (end + 7) / 8 - first * sizeof(LaneWord));
    word &= PixelRange(offset - first * kLaneBits, first < last ? kLaneBits : end - first * kLaneBits);
    if (word) add(first, word);
    if (first == last) return;
    // Blank paper costs one test a word.
    for (uint32_t i = first + 1; i < last; ++i) {
        memcpy(&word, row + i * sizeof(LaneWord), sizeof(LaneWord));
        if (word) add(i, word);
    }
    word = 0;
    memcpy(&word, row + last * sizeof(LaneWord), (end + 7) / 8 - last * sizeof(LaneWord));
    word &= PixelRange(0, end - last * kLaneBits);
    if (word) add(last, word);
}

template <class Count>
void BilevelCountSink<Count>::FoldLanes() {
    if (lane_rows_ == 0) return;
    Count* counts = this->TargetRow(lane_row_);
    for (uint32_t i = 0; i < lane_words_; ++i) {
        const LaneWord all = lanes_[i], next = next_lanes_[i];
        if (all == 0) continue;
        for (uint32_t lane = 0; lane < sizeof(LaneWord); ++lane) {
            const uint32_t s = i * kLaneBits + lane * 8;
            if (s >= this->source_width) break;
            const uint32_t set = (all >> (8 * lane)) & 0xFF, beyond = (next >> (8 * lane)) & 0xFF;
            const uint32_t t = column_target_[s];
            counts[t] = static_cast<Count>(counts[t] + (set - beyond));
            if (beyond) counts[t + 1] = static_cast<Count>(counts[t + 1] + beyond);
            set_pixels_ += set;
        }
        lanes_[i] = next_lanes_[i] = 0;
    }
    lane_rows_ = 0;
}

// Adds the set source columns s0 to s1 to one target row: the first target
// column takes the rest of its group, inner ones their whole count, and the
// last one gives back the part of its group beyond s1. With columns enlarged
// the last source column covers several target columns, and all of them
// count.
template <class Count>
inline void BilevelCountSink<Count>::AddRun(Count* counts, uint32_t s0, uint32_t s1) const {
    const SinkMapEntry& first = this->column_map[s0];
    const SinkMapEntry& last = this->column_map[s1];
    const uint32_t t_end = last.first + last.span - 1;
    counts[first.first] = static_cast<Count>(counts[first.first] + first.remaining);
    for (uint32_t t = first.first + 1; t <= t_end; ++t) {
        counts[t] = static_cast<Count>(counts[t] + this->column_counts[t]);
    }
    counts[last.first] = static_cast<Count>(counts[last.first] - (last.remaining - 1));
}

// The same through the compact tables, for set columns s0 to end - 1: most
// runs of a drawing fall inside one target column or cross into the next
// one, and both take the same steps without a branch: the first target
// column takes the run up to the end of its group or the start of the last
// one's (nothing when they are the same) into its head, the last one the
// rest. Whole target columns between them come only with long runs.
template <class Count>
inline void BilevelCountSink<Count>::AddReducedRun(Count* counts, Count* heads, uint32_t s0,
                                                   uint32_t end) const {
    const uint32_t t0 = column_target_[s0];
    const uint32_t t1 = column_target_[end - 1];
    const uint32_t last_start = group_start_[t1];
    const uint32_t split = last_start > s0 ? last_start : s0;
    const uint32_t first_end = group_start_[t0 + 1] < split ? group_start_[t0 + 1] : split;
    for (uint32_t t = t0 + 1; t < t1; ++t) counts[t] = static_cast<Count>(counts[t] + this->column_counts[t]);
    heads[t0] = static_cast<Count>(heads[t0] + (first_end - s0));
    counts[t1] = static_cast<Count>(counts[t1] + (end - split));
}

template <class Count>
void BilevelCountSink<Count>::FlushHeads() {
    if (heads_row_ == 0xFFFFFFFFu) return;
    Count* counts = this->TargetRow(heads_row_);
    for (uint32_t t = 0; t < this->target_width; ++t) {
        counts[t] = static_cast<Count>(counts[t] + heads_[t]);
        heads_[t] = 0;
    }
    heads_row_ = 0xFFFFFFFFu;
}

// The hot path of a reduced bilevel render: one call per decoded line, with
// the target row looked up once for all of the line's runs.
template <class Count>
bool BilevelCountSink<Count>::PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset,
                                      uint32_t count) {
    if (!runs || !this->ClipRow(x, y, &count)) return false;
    const SinkMapEntry& rows = this->row_map[y];
    uint32_t set = 0;
    for (uint32_t r = 0; r < rows.span; ++r) {
        Count* counts = this->TargetRow(rows.first + r);
        if (column_target_) {
            if (heads_row_ != rows.first + r) {
                FlushHeads();
                heads_row_ = rows.first + r;
            }
            Count* heads = heads_;
            ForEachRun(runs, offset, count, [&](uint32_t k0, uint32_t k1) {
                set += k1 - k0;
                AddReducedRun(counts, heads, x + k0, x + k1);
            });
        } else {
            ForEachRun(runs, offset, count, [&](uint32_t k0, uint32_t k1) {
                set += k1 - k0;
                AddRun(counts, x + k0, x + k1 - 1);
            });
        }
    }
    // Each source pixel counts once, however many target rows it feeds.
    if (rows.span) set_pixels_ += set / rows.span;
    return true;
}

template <class Count>
uint32_t BilevelCountSink<Count>::CoverageLevel() const {
    uint64_t set = set_pixels_;
    for (uint32_t i = 0; i < lane_words_ && lanes_; ++i) {
        for (LaneWord all = lanes_[i]; all; all >>= 8) set += all & 0xFF;
    }
    const uint64_t level = set * 255 / this->source_width / this->source_height;
    return level > 255 ? 255 : static_cast<uint32_t>(level);
}

template <class Count>
Ref<RasterImage> BilevelCountSink<Count>::Finish(ProgressSink* progress, RenderToken* token) {
    FlushHeads();
    FoldLanes();
    Ref<RasterImage> image;
    if (!this->BuildThroughTables(1, 255, progress, &image))
        image = this->BuildImage(8, progress, [](const Count* counts, uint64_t divisor, uint8_t* out) {
            // In doubles: an integer division of 64 bits is a library call
            // in the 32-bit build, once for every screen pixel. Both operands
            // are exact and a quotient that is not whole lies at least
            // 1/divisor from the next integer, far more than the rounding
            // error of at most 255 x 2^-53, so truncating gives the floor.
            *out = static_cast<uint8_t>(static_cast<double>(*counts) * 255.0 / static_cast<double>(divisor));
        });
    if (!image) return nullptr;
    uint32_t level;
    if (token && token->valid) {
        level = token->grey_level;
    } else {
        level = CoverageLevel();
        if (token && this->whole_image) {
            token->grey_level = static_cast<uint8_t>(level);
            token->valid = 1;
        }
    }
    // Set bits count towards white, as a 1-bit image without palette shows them.
    const uint32_t c0 = this->palette ? PaletteGetEntry(this->palette, 0) : 0x000000;
    const uint32_t c1 = this->palette ? PaletteGetEntry(this->palette, 1) : 0xFFFFFF;
    Ref<Palette> stretched = MakeRef<Palette>();
    if (!PaletteInit(stretched.get(), 256)) return nullptr;
    SinkStretchedPalette(stretched.get(), c0, c1, level);
    if (this->invert) PaletteInvert(stretched.get());
    image->SetPalette(stretched.get());
    return image;
}

void SinkStretchedPalette(Palette* palette, uint32_t c0, uint32_t c1, uint32_t g) {
    uint32_t lo = 0, hi = 1;
    if (g == 255) {
        lo = 254;
        hi = 255;
    } else if (g > 127) {
        hi = 255;
        lo = g >= 238 ? (g - 238) * 15 : 0;
    } else if (g > 0) {
        hi = g * 15 < 255 ? g * 15 : 255;
    }
    for (uint32_t i = 0; i <= lo; ++i) palette->entries[i] = c0;
    for (uint32_t i = hi; i < 256; ++i) palette->entries[i] = c1;
    double channel[3], step[3];
    for (uint32_t c = 0; c < 3; ++c) {
        const double from = (c0 >> (8 * c)) & 0xFF, to = (c1 >> (8 * c)) & 0xFF;
        channel[c] = from;
        step[c] = (to - from) / static_cast<double>(hi - lo);
    }
    for (uint32_t i = lo + 1; i < hi; ++i) {
        uint32_t entry = 0;
        for (uint32_t c = 0; c < 3; ++c) {
            channel[c] += step[c];
            entry |= static_cast<uint32_t>(floor(channel[c] + 0.5)) << (8 * c);
        }
        palette->entries[i] = entry;
    }
    palette->kind = kPaletteUnknown;
}

template class AccumulatingSink<uint8_t, 1>;
template class AccumulatingSink<uint16_t, 1>;
template class AccumulatingSink<uint32_t, 1>;
template class AccumulatingSink<uint64_t, 1>;
template class AccumulatingSink<uint16_t, 3>;
template class AccumulatingSink<uint32_t, 3>;
template class AccumulatingSink<uint64_t, 3>;
template class ColourReduceSink<uint16_t>;
template class ColourReduceSink<uint32_t>;
template class ColourReduceSink<uint64_t>;
template class GreyReduceSink<uint16_t>;
template class GreyReduceSink<uint32_t>;
template class GreyReduceSink<uint64_t>;
template class BilevelCountSink<uint8_t>;
template class BilevelCountSink<uint16_t>;
template class BilevelCountSink<uint32_t>;
template class BilevelCountSink<uint64_t>;
