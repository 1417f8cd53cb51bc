// Bits handed out least significant first from the 32-bit words of a byte
// reader. With a byte reader that reverses every byte, data stored most
// significant bit first come out in their stored order.
#pragma once

#include <cstdint>
#include <cstring>

#include "imaging/codecs/byte_reader.h"

struct BitReader {
    uint32_t current = 0;          // the next 32 bits, in its low end; past the end of the data they read 0
    uint32_t next = 0;             // the bits after them; bits above the valid ones are 0
    int32_t current_bits = 0;      // bits valid in current: 32 once initialised
    int32_t next_bits = 0;         // bits valid in next, 1 to 32
    ByteReader* reader = nullptr;  // borrowed
    int64_t padding_bits = 0;      // zero bits taken in past the end of the data
};

void BitReaderInit(BitReader& bits, ByteReader* reader);

// The next word of the byte reader. Only the buffer's end and the data's end
// go through a call, which never sees the bit reader itself: decoders keep
// it in a local copy that the compiler can hold in registers.
inline uint32_t BitReaderLoadWord(BitReader& bits) {
    ByteReader& reader = *bits.reader;
    if (reader.fill - reader.read_pos < 4) {
        uint32_t real_bytes = 0;
        const uint32_t word = BitReaderNextWord(reader, &real_bytes);
        bits.padding_bits += 32 - 8 * int64_t(real_bytes);
        return word;
    }
    uint32_t word;
    memcpy(&word, reader.buffer.data() + reader.read_pos, 4);  // x86 is little-endian
    reader.read_pos += 4;
    return word;
}

// Consumes n bits (n < 32). The current word always stays full, so any code
// of up to 32 bits can be peeked from its low end; past the end of the data
// the missing bits read as 0. This is the innermost step of the CCITT
// decoder: 32-bit shifts only (a 64-bit shift costs a spill on x86), and a
// new word is taken in once per 32 bits rather than on every code. The
// shifts by 31 - n after one by 1 stay defined where n is 0.
inline void BitReaderSkip(BitReader& bits, uint32_t n) {
    bits.current = (bits.current >> n) | ((bits.next << 1) << (31 - n));
    bits.next >>= n;
    bits.next_bits -= int32_t(n);
    if (bits.next_bits <= 0) {
        // current holds 32 + next_bits valid bits: the word goes behind them.
        const uint32_t word = BitReaderLoadWord(bits);
        bits.current |= (word << 1) << (31 + bits.next_bits);
        bits.next = word >> -bits.next_bits;
        bits.next_bits += 32;
    }
}

// Consumes the bits up to the next byte boundary.
void BitReaderAlignByte(BitReader& bits);

// Bits of real data left; 0 once only padding remains. Loops that consume
// zero bits (fill before an EOL) must stop when this reaches 0. The padding
// always follows the data, so the bits held less the padding taken in are
// the data still held (or nothing, once padding has been consumed).
inline int64_t BitReaderDataLeft(const BitReader& bits) {
    const int64_t in_words = int64_t(bits.current_bits) + bits.next_bits - bits.padding_bits;
    return (in_words > 0 ? in_words : 0) + 8 * int64_t(ByteReaderAvailable(*bits.reader));
}
