// PackBits (TIFF compression 32773) expansion in memory.
#pragma once

#include <cstdint>

class ByteBuf;

// Empties `output` and fills it with the expanded bytes. False for null
// arguments or when the output cannot grow.
bool PackBitsDecode(const uint8_t* input, uint32_t length, ByteBuf* output);

// The size the input expands to (every run counted, nothing written).
uint64_t PackBitsExpandedSize(const uint8_t* input, uint32_t length);
// Expands into `output` until `capacity` bytes are written or the input
// ends; the count written.
uint32_t PackBitsExpand(const uint8_t* input, uint32_t length, uint8_t* output, uint32_t capacity);
