// The band decoder of uncompressed TIFF and BMP rows, LZW strips with or
// without the horizontal predictor, and PackBits strips.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "imaging/codecs/band_decoder.h"
#include "imaging/codecs/lzw.h"

enum StripMode : uint32_t {
    kStripUncompressed = 0,
    kStripUncompressedPadded = 1,  // rows padded to 4 bytes (BMP)
    kStripLzw = 2,
    kStripLzwPredictor = 3,  // LZW with the horizontal predictor (TIFF Predictor 2)
    kStripPackBits = 4,
};

enum StripColourModel : uint32_t {
    kStripColourNone = 0,
    kStripColourRgb = 1,   // samples in red, green, blue order: swapped to blue, green, red
    kStripColourCmyk = 2,  // converted to blue, green, red
};

class StripDecoder : public BandDecoder {
  public:
    StripDecoder(uint32_t width, uint16_t bits_per_sample, uint16_t samples_per_pixel, uint16_t extra_samples,
                 uint32_t colour_model, uint32_t mode);

    bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                const PointI* origin, ProgressSink* progress) override;
    bool DeliversPackedRows() const override { return true; }

    // A decoder built with parameters it cannot handle answers every Decode
    // with false.
    bool IsFailed() const { return failed_; }
    uint32_t RowBytes() const { return row_bytes_; }
    // Bits per pixel of the rows it delivers (CMYK comes as 24-bit colour).
    uint16_t OutputBits() const { return output_bits_; }

  private:
    struct Window;
    bool MakeWindow(const RectI& rect, uint32_t image_rows, Window* window) const;
    bool Expand(ByteReader& reader, const RectI& rect, ByteReader& expanded) const;
    bool DecodeLzw(ByteReader& reader, RasterSink* sink, const RectI& rect, const PointI& origin,
                   const Window& window, ProgressSink* progress);
    bool DeliverRow(RasterSink* sink, const RectI& rect, const PointI& origin, const Window& window,
                    uint32_t row, ProgressSink* progress);
    bool ConvertRow(uint32_t pixels);

    uint32_t width_;
    uint16_t bits_per_sample_;
    uint16_t samples_;
    uint16_t extra_samples_;
    uint32_t colour_model_;
    uint32_t mode_;
    uint32_t row_bytes_ = 0;
    uint16_t output_bits_ = 0;
    bool failed_ = true;
    MemBlock row_;
    LzwStream lzw_;  // started again for every strip, so its memory is had once a page
};
