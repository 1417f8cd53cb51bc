// The sinks behind CreateSink. Only the sink code sees these classes.
#pragma once

#include "imaging/codecs/change_list.h"
#include "imaging/sinks/raster_sink.h"

// No reduction on either axis (or a huge target): writes straight into the
// target image and replicates the written pixels over their blocks in Finish.
class DirectSink final : public RasterSink {
  public:
    DirectSink(uint32_t source_width, uint32_t source_height, uint32_t target_width, uint32_t target_height,
               uint16_t bits_per_pixel, Palette* palette, uint16_t rotation, bool flip_x, bool flip_y,
               bool invert, bool whole_image);
    bool IsFailed() const override { return !image_ || !map_block.block; }
    Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) override;
    bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) override;
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override;

  private:
    template <uint32_t Bits>
    void WriteRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset, uint32_t count);
    // Memory row (0 and 180 degrees) or memory column (90 and 270) that
    // source row y lands in.
    uint32_t FixedIndex(uint32_t y) const;
    // Memory column (0, 180) or memory row (90, 270) of source column sx.
    uint32_t MovingIndex(uint32_t sx) const;
    const SinkMapEntry* HorizontalMap() const;
    const SinkMapEntry* VerticalMap() const;
    uint32_t HorizontalCount() const;
    uint32_t VerticalCount() const;
    bool ReplicateColumns(ProgressSink* progress);
    bool ReplicateRows(ProgressSink* progress);
    // The image row of memory row `index` as the sink counts them, the
    // final vertical flip applied.
    uint8_t* MemoryRow(uint32_t index) const;

    Ref<RasterImage> image_;
    bool flip_rows_ = false;
    uint32_t background_ = 0;  // 1: a bilevel image inverted as it is written
    // Bilevel, upright and 1:1 across: source column sx is target column sx.
    bool same_columns_ = false;
};

// Common part of the reducing sinks: the accumulator of Channels sums per
// target pixel and the placement of target pixels in the output image.
template <class Sum, uint32_t Channels>
class AccumulatingSink : public RasterSink {
  public:
    AccumulatingSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                     uint32_t target_height, uint16_t bits_per_pixel, Palette* palette, uint16_t rotation,
                     bool flip_x, bool flip_y, bool invert, bool whole_image);
    bool IsFailed() const override { return !sums_ || !this->map_block.block; }

  protected:
    Sum* TargetRow(uint32_t t) const { return sums_ + static_cast<size_t>(t) * target_width * Channels; }
    // Adds the value (one per channel) of source column sx to every target
    // pixel it feeds in one target row.
    void AddToColumns(Sum* target_row, uint32_t sx, const uint32_t* value) const;
    // Creates the output image and fills it: value_of(sums, column count x
    // row count, out bytes) gives the Channels bytes of one target pixel.
    template <class ValueOf>
    Ref<RasterImage> BuildImage(uint16_t bits, ProgressSink* progress, ValueOf value_of) const;
    // The same for value_of = sum x multiplier / pixels (rounded down), the
    // quotients taken from a small table per (column count, row count) pair
    // instead of a division per byte; every source pixel adds at most `top`
    // to its sums. False when the pairs are too many or their tables too
    // large; *image stays null when cancelled.
    bool BuildThroughTables(uint32_t top, uint32_t multiplier, ProgressSink* progress,
                            Ref<RasterImage>* image) const;
    // The empty output image, turned as the rotation asks, and whether target
    // columns and rows land mirrored in it.
    Ref<RasterImage> CreateOutput(uint16_t bits, bool* flip_columns, bool* flip_rows) const;
    MemBlock store_;
    Sum* sums_ = nullptr;  // Channels sums per target pixel, in store_
};

// Reductions of 24-bit rows, or of 4 or 8 bits with a palette: 24-bit output.
template <class Sum>
class ColourReduceSink final : public AccumulatingSink<Sum, 3> {
  public:
    using AccumulatingSink<Sum, 3>::AccumulatingSink;
    Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) override;
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override;

  private:
    template <uint32_t Bits>
    void AddRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset, uint32_t count);
};

// Reductions of 4 or 8 bits without a palette: 8-bit grey output.
template <class Sum>
class GreyReduceSink final : public AccumulatingSink<Sum, 1> {
  public:
    using AccumulatingSink<Sum, 1>::AccumulatingSink;
    Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) override;
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override;

  private:
    template <uint32_t Bits>
    void AddRow(const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset, uint32_t count);
};

// Reductions of bilevel rows: counts of set pixels per target pixel, shown
// as grey through a palette stretched towards the rarer colour.
template <class Count>
class BilevelCountSink final : public AccumulatingSink<Count, 1> {
  public:
    BilevelCountSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                     uint32_t target_height, uint16_t bits_per_pixel, Palette* palette, uint16_t rotation,
                     bool flip_x, bool flip_y, bool invert, bool whole_image);
    Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) override;
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override;
    bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) override;
    uint32_t CoverageLevel() const override;
    bool TakesPackedRowCheaply(uint32_t x, uint32_t y, uint32_t offset) const override;

  private:
    // Packed rows are counted a word at a time into one counter byte per
    // source byte (for a few rows at once, then added into the target row),
    // where every source byte feeds at most two target columns.
    using LaneWord = uintptr_t;
    static constexpr uint32_t kLaneBits = sizeof(LaneWord) * 8;
    // Rows gathered before the lanes are added in: a lane counts at most 8
    // set pixels a row and holds 255.
    static constexpr uint32_t kLaneRows = 31;
    void AddRun(Count* counts, uint32_t s0, uint32_t s1) const;
    void AddReducedRun(Count* counts, Count* heads, uint32_t s0, uint32_t end) const;
    // Adds the heads gathered for target row scratch_row_ into it.
    void FlushHeads();
    // Counts the row's pixels offset to offset + count - 1 (buffer word 0 is
    // source word `first_word`) into the lanes of target row `target_row`.
    void AddRowToLanes(const uint8_t* row, uint32_t first_word, uint32_t offset, uint32_t count,
                       uint32_t target_row);
    // Adds the lanes into their target row and clears them.
    void FoldLanes();
    uint64_t set_pixels_ = 0;  // in all rows received, counted in 64 bits
    // Columns reduced into fewer than 65536 target columns (every screen
    // render): the target column of each source column in 16 bits and the
    // first source column of each target column, small enough to stay in
    // the first-level cache while a page's runs pour in. Null otherwise.
    MemBlock run_map_block_;
    uint16_t* column_target_ = nullptr;
    uint32_t* group_start_ = nullptr;  // target_width + 2 entries: the source width, then a stop
    // The part of each run that falls into its first target column, kept
    // apart from the rest until the target row is done: a run inside one
    // column would otherwise change its count twice, and the next run there
    // would wait for both changes (target_width entries, in run_map_block_).
    Count* heads_ = nullptr;
    uint32_t heads_row_ = 0xFFFFFFFFu;  // the target row the heads belong to; none yet
    ChangeList row_runs_;               // a packed row's runs (PutRow); no block when none could be had
    // Lanes, one byte per source byte: set pixels of the rows gathered, and
    // of those the pixels that belong to the next target column (a byte
    // across two columns); the bits of each source word that do. Null where
    // a target column can take fewer than 8 source columns.
    MemBlock lane_block_;
    LaneWord* lanes_ = nullptr;
    LaneWord* next_lanes_ = nullptr;
    LaneWord* next_masks_ = nullptr;
    uint32_t lane_words_ = 0;
    uint32_t lane_row_ = 0xFFFFFFFFu;  // the target row the lanes belong to; none yet
    uint32_t lane_rows_ = 0;           // rows gathered in them
};

// Fewer than 256 source pixels per target pixel: 8-bit counters suffice.
using BilevelReduceSink = BilevelCountSink<uint8_t>;
// Fewer than 65536 (a screen render of a large sheet): 16-bit counters, half
// the memory of 32 bits.
using BilevelReduceMidSink = BilevelCountSink<uint16_t>;
using BilevelReduceWideSink = BilevelCountSink<uint32_t>;
// 65536 or more source pixels per target pixel: 32-bit counters, or 64-bit
// ones where a target pixel could gather more than 2^32 source pixels.
template <class Count>
using BilevelWideCounts = BilevelCountSink<Count>;

// The 256 grey entries of a bilevel reduction for coverage level g between
// colours c0 (no set pixel) and c1 (all set).
void SinkStretchedPalette(Palette* palette, uint32_t c0, uint32_t c1, uint32_t g);
