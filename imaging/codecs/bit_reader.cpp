#include "imaging/codecs/bit_reader.h"

void BitReaderInit(BitReader& bits, ByteReader* reader) {
    bits.reader = reader;
    bits.padding_bits = 0;
    bits.current = BitReaderLoadWord(bits);
    bits.current_bits = 32;
    bits.next = BitReaderLoadWord(bits);
    bits.next_bits = 32;
}

void BitReaderAlignByte(BitReader& bits) {
    const uint32_t odd = uint32_t(bits.current_bits + bits.next_bits) % 8;
    if (odd) BitReaderSkip(bits, odd);
}
