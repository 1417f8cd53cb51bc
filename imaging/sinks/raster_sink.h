// Raster sinks: they take the rows a band decoder delivers (in the file's
// resolution and orientation, top row first) and build the image a render
// asked for, scaled, turned by 0, 90, 180 or 270 degrees, mirrored and
// optionally inverted, in one pass. Reductions average the source pixels of
// each target pixel; bilevel reductions become grey images.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"
#include "imaging/raster/palette.h"
#include "imaging/raster/raster_image.h"

class ProgressSink;
class RenderToken;

// Which target indices one source index (column or row) feeds.
struct SinkMapEntry {
    uint32_t first;      // first target index fed
    uint32_t group;      // reduction: source indices sharing that target; else 1
    uint32_t remaining;  // reduction: indices from this one to the group's end; else 1
    uint32_t span;       // enlargement: target indices covered; else 1
};

// Targets of this many pixels or more never get an accumulator.
constexpr uint64_t kSinkHugeTarget = 20000000;

class RasterSink : public RefCounted {
  public:
    ~RasterSink() override;

    virtual bool IsFailed() const = 0;
    // Builds the output image (one reference for the caller), or null.
    virtual Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) = 0;
    // A bilevel row as a changing-element list: pairs (start, end) of set
    // pixels, ended by a position at or beyond the line's end. Positions
    // offset to offset + count - 1 feed source columns x onwards.
    virtual bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count);
    // Row y of the source rectangle: pixels for source columns x to
    // x + count - 1, the first at pixel index offset of the row buffer.
    virtual bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                        uint32_t count) = 0;
    // Bilevel sinks: the share of set pixels, 0 to 255; others 0.
    virtual uint32_t CoverageLevel() const;
    // Whether a packed 1-bit row for these arguments of PutRow costs the
    // sink little next to decoding it, so that handing it to another thread
    // would cost more than it saves.
    virtual bool TakesPackedRowCheaply(uint32_t x, uint32_t y, uint32_t offset) const;

    uint32_t source_width = 0;
    uint32_t source_height = 0;
    uint32_t target_width = 0;  // before rotation
    uint32_t target_height = 0;
    uint16_t rotation = 0;
    uint8_t flip_x = 0;
    uint8_t flip_y = 0;
    uint8_t invert = 0;
    uint16_t bits_per_pixel = 0;
    uint32_t* column_counts = nullptr;   // per target column: source columns in it
    uint32_t* row_counts = nullptr;      // per target row
    SinkMapEntry* column_map = nullptr;  // per source column
    SinkMapEntry* row_map = nullptr;     // per source row
    Palette* palette = nullptr;          // the source's colour table, one reference held
    MemBlock map_block;                  // holds the four arrays
    uint8_t whole_image = 0;

  protected:
    // For a sink that stands in front of another and builds no maps of its own.
    RasterSink() = default;
    RasterSink(uint32_t source_width, uint32_t source_height, uint32_t target_width, uint32_t target_height,
               uint16_t bits_per_pixel, Palette* palette, uint16_t rotation, bool flip_x, bool flip_y,
               bool invert, bool whole_image);
    // Clips a row request to the source rectangle; false when nothing is left.
    bool ClipRow(uint32_t x, uint32_t y, uint32_t* count) const;
};

// Null when a size is 0, the depth is not 1, 4, 8 or 24, the rotation is not
// a multiple of 90, or memory runs out.
Ref<RasterSink> CreateSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                           uint32_t target_height, uint16_t bits_per_pixel, Palette* palette,
                           uint16_t rotation, bool flip_x, bool flip_y, bool invert, bool whole_image);

// Fills the map of one axis and the per-target counts (exposed for tests).
void SinkBuildAxisMap(uint32_t source, uint32_t target, SinkMapEntry* map, uint32_t* counts);
