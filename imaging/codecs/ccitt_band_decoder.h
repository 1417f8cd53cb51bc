// The band decoder of CCITT data: TIFF Compression 2 (Modified Huffman), 3
// (T.4) and 4 (T.6), and CALS Type 1 (T.6). Each decoded line goes to the
// raster sink as its list of black runs (PutRuns), which the sink receives as
// set pixels; all-white lines are not passed on at all.
#pragma once

#include <cstdint>

#include "imaging/codecs/band_decoder.h"
#include "imaging/codecs/bit_reader.h"
#include "imaging/codecs/change_list.h"

enum CcittMode : uint32_t {
    kCcittModifiedHuffman = 0,
    kCcittT4 = 1,
    kCcittT6 = 2,
};

// T4Options bit 0: two-dimensional coding. No other option bit matters here:
// fill bits are accepted wherever an EOL may stand.
constexpr uint32_t kT4TwoDimensional = 1;

class CcittDecoder : public BandDecoder {
  public:
    CcittDecoder() = default;
    // CcittDecoderInit on a new decoder.
    CcittDecoder(uint32_t width, uint32_t mode, uint32_t options);

    // Decodes every row from the first to the last of the source rectangle
    // (each line depends on the one before) and passes those inside it on.
    // False on damaged data, a rectangle outside the image, an unusable
    // decoder or cancellation.
    bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                const PointI* origin, ProgressSink* progress) override;

    uint32_t width = 0;
    uint32_t mode = 0;
    uint32_t options = 0;
    bool two_dimensional = false;
    ChangeList current;
    ChangeList reference;  // only when two-dimensional
};

// False (and every Decode fails) when the width is 0 or above
// kChangeListMaxWidth or the line lists cannot be had.
bool CcittDecoderInit(CcittDecoder& decoder, uint32_t width, uint32_t mode, uint32_t options);
// Decodes line `row` into the current line list.
bool CcittDecodeLine(CcittDecoder& decoder, BitReader& bits, uint32_t row);
