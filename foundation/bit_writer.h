// Most-significant-bit-first output of codes onto a byte stream, for the fax
// encoders.
#pragma once

#include <array>
#include <cstdint>

#include "foundation/out_stream.h"

struct BitWriter {
    OutStream* stream = nullptr;  // borrowed
    uint32_t accumulator = 0;
    uint32_t pending = 0;  // 0..7 between calls
};

void BitWriterInit(BitWriter& writer, OutStream* stream);
// `value` must fit in `n` bits; n is at most 24.
void BitWriterPutBits(BitWriter& writer, uint32_t value, uint32_t n);
// Pads the last byte with zero bits and flushes the stream.
void BitWriterFlush(BitWriter& writer);
void BitWriterFree(BitWriter& writer);

// Replaces every byte by its bit-reversed value (TIFF fill order 2).
void BytesReverseBits(uint8_t* bytes, uint32_t n);
extern const std::array<uint8_t, 256> kReversedBits;
