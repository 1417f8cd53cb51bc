// The sinks behind CreateSink. Only the sink code sees these classes.
#pragma once

#include "imaging/raster_sink.h"

// No reduction on either axis (or a huge target): writes straight into the
// target image and replicates the written pixels over their blocks in Finish.
class DirectSink final : public RasterSink {
  public:
    DirectSink(uint32_t source_width, uint32_t source_height, uint32_t target_width, uint32_t target_height,
               uint16_t bits_per_pixel, Palette* palette, uint16_t rotation, bool flip_x, bool flip_y,
               bool invert, bool whole_image);
    bool IsFailed() const override { return !image_ || !map_block; }
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

    Ref<RasterImage> image_;
};
