// Bits handed out least significant first from the 32-bit words of a byte
// reader. With a byte reader that reverses every byte, data stored most
// significant bit first come out in their stored order.
#pragma once

#include <cstdint>

#include "imaging/byte_reader.h"

struct BitReader {
    uint32_t current = 0;          // the next bits, in its low end; bits above the valid ones are 0
    uint32_t next = 0;             // the bits after them
    int32_t current_bits = 0;      // bits valid in current
    int32_t next_bits = 0;         // bits valid in next
    ByteReader* reader = nullptr;  // borrowed
    int64_t data_bits = 0;         // bits of real data in the two words not yet consumed
};

void BitReaderInit(BitReader& bits, ByteReader* reader);
// Moves bits of the next word into the current one until it holds 32.
void BitReaderRefill(BitReader& bits);

// Consumes n bits (n <= bits valid). Afterwards the current word always holds
// at least 25 valid bits, so any code of up to 25 bits can be peeked from its
// low end; past the end of the data the missing bits read as 0.
inline void BitReaderSkip(BitReader& bits, uint32_t n) {
    bits.current = n < 32 ? bits.current >> n : 0;
    bits.current_bits -= int32_t(n);
    if (bits.current_bits < 0) bits.current_bits = 0;
    bits.data_bits -= n;
    if (bits.current_bits <= 24) BitReaderRefill(bits);
}

// Consumes the bits up to the next byte boundary.
void BitReaderAlignByte(BitReader& bits);

// Bits of real data left; 0 once only padding remains. Loops that consume
// zero bits (fill before an EOL) must stop when this reaches 0.
inline int64_t BitReaderDataLeft(const BitReader& bits) {
    const int64_t in_words = bits.data_bits > 0 ? bits.data_bits : 0;
    return in_words + 8 * int64_t(ByteReaderAvailable(*bits.reader));
}
