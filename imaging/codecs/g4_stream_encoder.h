// Group 4 coding of a picture that arrives a few rows at a time: the rows of
// one strip or tile may come from several band renders, so no whole page has
// to be held as an image. The output is the same as G4Encode's for the same
// rows (1 bits white, 0 bits black).
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/mem_block.h"
#include "foundation/out_stream.h"
#include "foundation/paged_buf.h"
#include "imaging/codecs/g4_encoder.h"

class G4StreamEncoder {
  public:
    G4StreamEncoder() = default;
    G4StreamEncoder(const G4StreamEncoder&) = delete;
    G4StreamEncoder& operator=(const G4StreamEncoder&) = delete;

    PagedBuf coded;                             // 4096-byte chunks
    std::unique_ptr<PagedBufOutStream> stream;  // into `coded`; declared after it, so released first
    G4RowCoder coder;                           // into `stream`
    uint32_t rows = 0;
    bool failed = false;
};

// Starts a picture of `width` pixels; false when the line lists or the
// stream cannot be had.
bool G4StreamBegin(G4StreamEncoder& encoder, uint32_t width);
// One packed 1-bit row (most significant bit first) of at least `width` bits.
bool G4StreamAddRow(G4StreamEncoder& encoder, const uint8_t* row);
// Ends the picture with the end-of-facsimile-block and moves the coded bytes
// into `out` (exactly their size). False when any row failed, no row came, or
// memory ran out; the encoder is empty afterwards either way.
bool G4StreamFinish(G4StreamEncoder& encoder, MemBlock& out);
