// The band decoder of BMP run-length data (RLE8 and RLE4), with end-of-line,
// end-of-bitmap, delta and absolute runs.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "imaging/codecs/band_decoder.h"

class RleDecoder : public BandDecoder {
  public:
    RleDecoder(uint32_t width, uint16_t bits);

    // Delivers the rows in file order (a bottom-up file's bottom row first).
    bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                const PointI* origin, ProgressSink* progress) override;

    bool IsFailed() const { return failed_; }

  private:
    enum class RowEnd { kComplete, kFailed };
    RowEnd DecodeRow(ByteReader& reader);
    void PutRun(uint32_t count, uint8_t value);
    bool PutAbsolute(ByteReader& reader, uint32_t count);

    uint32_t width_;
    uint16_t bits_;
    bool failed_ = true;
    MemBlock row_;
    uint32_t row_bytes_ = 0;
    uint32_t x_ = 0;
    // A delta that moves down leaves blank rows and a start column for the
    // row it lands on; an end-of-bitmap leaves every later row blank.
    uint32_t blank_rows_ = 0;
    uint32_t start_x_ = 0;
    bool bitmap_ended_ = false;
};
