// The band decoder of GIF image data: LZW with the file's code size, rows
// stored one after another or interlaced in four passes.
#pragma once

#include <cstdint>

#include "imaging/codecs/band_decoder.h"

class GifDecoder : public BandDecoder {
  public:
    // `bits` is the depth of the colour table (1 to 8); rows come at 1 bit
    // for 1, 4 bits for 2 to 4 and 8 bits for 5 to 8.
    GifDecoder(uint32_t width, uint16_t bits, bool interlaced, uint32_t code_size);

    bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                const PointI* origin, ProgressSink* progress) override;

    bool IsFailed() const { return failed_; }
    uint16_t OutputBits() const { return output_bits_; }

  private:
    uint32_t width_;
    uint16_t output_bits_ = 0;
    uint32_t pixels_per_byte_ = 1;
    bool interlaced_;
    uint32_t code_size_;
    bool failed_ = true;
};

// The position in the stored stream of image row y of an interlaced image
// of `rows` rows (passes: every 8th row from 0, every 8th from 4, every 4th
// from 2, every 2nd from 1).
uint32_t GifInterlacedStreamRow(uint32_t y, uint32_t rows);
