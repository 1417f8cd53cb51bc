#include "imaging/bit_reader.h"

#include <algorithm>

namespace {

void LoadNext(BitReader& bits) {
    uint32_t real_bytes = 0;
    bits.next = BitReaderNextWord(*bits.reader, &real_bytes);
    bits.next_bits = 32;
    bits.data_bits += 8 * real_bytes;
}

}  // namespace

void BitReaderInit(BitReader& bits, ByteReader* reader) {
    bits.reader = reader;
    bits.data_bits = 0;
    uint32_t real_bytes = 0;
    bits.current = BitReaderNextWord(*reader, &real_bytes);
    bits.current_bits = 32;
    bits.data_bits += 8 * real_bytes;
    LoadNext(bits);
}

void BitReaderRefill(BitReader& bits) {
    while (bits.current_bits < 32) {
        if (bits.next_bits <= 0) LoadNext(bits);
        const int32_t take = std::min(32 - bits.current_bits, bits.next_bits);
        bits.current |= bits.next << bits.current_bits;
        bits.next = take < 32 ? bits.next >> take : 0;
        bits.next_bits -= take;
        bits.current_bits += take;
    }
}

void BitReaderAlignByte(BitReader& bits) {
    const uint32_t odd = uint32_t(bits.current_bits + bits.next_bits) % 8;
    if (odd) BitReaderSkip(bits, odd);
}
