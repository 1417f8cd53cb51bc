#include "foundation/bit_writer.h"

#include <array>

namespace {

constexpr std::array<uint8_t, 256> MakeReversedBits() {
    std::array<uint8_t, 256> table{};
    for (uint32_t byte = 0; byte < 256; ++byte) {
        uint8_t reversed = 0;
        for (int bit = 0; bit < 8; ++bit) {
            if (byte & (1u << bit)) reversed |= uint8_t(0x80u >> bit);
        }
        table[byte] = reversed;
    }
    return table;
}

}  // namespace

constexpr std::array<uint8_t, 256> kReversedBits = MakeReversedBits();

void BitWriterInit(BitWriter& writer, OutStream* stream) {
    writer.stream = stream;
    writer.accumulator = 0;
    writer.pending = 0;
}

void BitWriterPutBits(BitWriter& writer, uint32_t value, uint32_t n) {
    writer.accumulator = (writer.accumulator << n) | value;
    writer.pending += n;
    while (writer.pending >= 8) {
        writer.pending -= 8;
        OutStreamPutByte(*writer.stream, uint8_t(writer.accumulator >> writer.pending));
    }
}

void BitWriterFlush(BitWriter& writer) {
    if (writer.pending) BitWriterPutBits(writer, 0, 8 - writer.pending);
    OutStreamFlush(*writer.stream);
}

void BitWriterFree(BitWriter& writer) { BitWriterFlush(writer); }

void BytesReverseBits(uint8_t* bytes, uint32_t n) {
    if (!bytes) return;
    for (uint32_t i = 0; i < n; ++i) bytes[i] = kReversedBits[bytes[i]];
}
