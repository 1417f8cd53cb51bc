// Inline access to packed pixels inside one row, shared by the image
// operations and the sinks. Indices are pixel indices within the row.
#pragma once

#include <cstdint>

inline uint32_t BitGet(const uint8_t* row, uint32_t i) { return (row[i >> 3] >> (7 - (i & 7))) & 1u; }
inline void BitSet(uint8_t* row, uint32_t i) { row[i >> 3] |= static_cast<uint8_t>(0x80u >> (i & 7)); }
inline void BitClear(uint8_t* row, uint32_t i) { row[i >> 3] &= static_cast<uint8_t>(~(0x80u >> (i & 7))); }
inline void BitPut(uint8_t* row, uint32_t i, uint32_t value) {
    if (value & 1) {
        BitSet(row, i);
    } else {
        BitClear(row, i);
    }
}

inline uint32_t NibbleGet(const uint8_t* row, uint32_t i) {
    uint8_t b = row[i >> 1];
    return (i & 1) ? (b & 0x0Fu) : (b >> 4);
}
inline void NibblePut(uint8_t* row, uint32_t i, uint32_t value) {
    uint8_t& b = row[i >> 1];
    if (i & 1) {
        b = static_cast<uint8_t>((b & 0xF0) | (value & 0x0F));
    } else {
        b = static_cast<uint8_t>((b & 0x0F) | ((value & 0x0F) << 4));
    }
}
inline void NibbleOr(uint8_t* row, uint32_t i, uint32_t value) {
    row[i >> 1] |= static_cast<uint8_t>((i & 1) ? (value & 0x0F) : ((value & 0x0F) << 4));
}

// A pixel as one number: 1 and 4 bits the value, 8 bits the byte, 24 bits
// 0x00RRGGBB.
inline uint32_t PixelGet(const uint8_t* row, uint32_t i, uint32_t bits) {
    switch (bits) {
        case 1:
            return BitGet(row, i);
        case 4:
            return NibbleGet(row, i);
        case 8:
            return row[i];
        default: {
            const uint8_t* p = row + i * 3;
            return p[0] | (p[1] << 8) | (static_cast<uint32_t>(p[2]) << 16);
        }
    }
}
inline void PixelPut(uint8_t* row, uint32_t i, uint32_t bits, uint32_t value) {
    switch (bits) {
        case 1:
            BitPut(row, i, value);
            return;
        case 4:
            NibblePut(row, i, value);
            return;
        case 8:
            row[i] = static_cast<uint8_t>(value);
            return;
        default: {
            uint8_t* p = row + i * 3;
            p[0] = static_cast<uint8_t>(value);
            p[1] = static_cast<uint8_t>(value >> 8);
            p[2] = static_cast<uint8_t>(value >> 16);
            return;
        }
    }
}

// Channel sum (red + green + blue, 0 to 765) of a colour 0x00RRGGBB.
inline uint32_t ColourSum(uint32_t colour) {
    return (colour & 0xFF) + ((colour >> 8) & 0xFF) + ((colour >> 16) & 0xFF);
}
inline uint32_t GreyColour(uint32_t level) { return level * 0x010101u; }

// Calls visit(k) for every set pixel k (0 to count - 1) of the bilevel pixels
// that start at bit index `offset` of a row; empty bytes cost one test.
template <class Visit>
inline void ForEachSetBit(const uint8_t* row, uint32_t offset, uint32_t count, Visit visit) {
    const uint32_t end = offset + count;
    uint32_t i = offset;
    while (i < end) {
        const uint32_t byte_start = i & ~7u;
        uint32_t bits = row[i >> 3] & (0xFFu >> (i & 7));                     // drop pixels before i
        if (end - byte_start < 8) bits &= 0xFFu << (8 - (end - byte_start));  // and after the end
        while (bits) {
            const uint32_t lead = static_cast<uint32_t>(__builtin_clz(bits)) - 24;  // 0 = most significant
            visit(byte_start + lead - offset);
            bits &= ~(0x80u >> lead);
        }
        i = byte_start + 8;
    }
}

// Calls visit(k0, k1) for every run of set pixels of a changing-element list
// (pairs (start, end), ended by a position at or beyond the line's end) that
// meets the window offset to offset + count - 1; k0 and k1 (exclusive) count
// from the window's start. A list ending in a set run has no element after
// that run's end, so a pair reaching the window's end is the last one read.
template <class Visit>
inline void ForEachRun(const uint32_t* runs, uint32_t offset, uint32_t count, Visit visit) {
    const uint32_t end = offset + count;
    for (uint32_t i = 0; runs[i] < end; i += 2) {
        const uint32_t start = runs[i] > offset ? runs[i] : offset;
        const uint32_t stop = runs[i + 1] < end ? runs[i + 1] : end;
        if (start < stop) visit(start - offset, stop - offset);
        if (runs[i + 1] >= end) return;
    }
}
