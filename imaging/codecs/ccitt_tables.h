// The code words of ITU-T T.4 and T.6: terminating and make-up codes of white
// and black runs, the extended make-up codes 1792 to 2560 that both colours
// share, the two-dimensional mode codes and EOL; and the look-up tables that
// decode them from a bit reader that hands out the first coded bit in bit 0.
#pragma once

#include <array>
#include <cstdint>

// One code word as it is written: `code` holds `bits` bits, the first one
// transmitted in the most significant of them.
struct CcittCode {
    uint16_t code;
    uint8_t bits;
};

// Encoding: terminating codes for runs 0 to 63, make-up codes for 64 x (i + 1)
// (i = 0 .. 26: 64 to 1728), extended make-up codes for 1792 + 64 x i
// (i = 0 .. 12: 1792 to 2560).
extern const CcittCode kCcittWhiteTerminating[64];
extern const CcittCode kCcittBlackTerminating[64];
extern const CcittCode kCcittWhiteMakeup[27];
extern const CcittCode kCcittBlackMakeup[27];
extern const CcittCode kCcittExtendedMakeup[13];

constexpr CcittCode kCcittPassCode = {0x1, 4};        // 0001
constexpr CcittCode kCcittHorizontalCode = {0x1, 3};  // 001
constexpr CcittCode kCcittEolCode = {0x1, 12};        // 000000000001
// Vertical modes, indexed by a1 - b1 + 3 (VL3 .. V0 .. VR3).
extern const CcittCode kCcittVerticalCodes[7];

// Decoding. Tables are indexed by the next coded bits taken least significant
// first: the first coded bit is bit 0 of the index.
enum CcittRunKind : uint8_t {
    kRunInvalid = 0,      // no code starts with these bits
    kRunTerminating = 1,  // a run of 0 to 63 ends the run
    kRunMakeup = 2,       // 64 or more; a terminating code follows
    kRunLonger = 3,       // longer than 8 bits: `value` names the second table
};

struct CcittRunEntry {
    uint16_t value;  // run length, or the second table's number
    uint8_t bits;    // length of the whole code
    uint8_t kind;    // CcittRunKind
};

// Codes of up to 8 bits are found in `first` by the next 8 bits; longer ones
// (up to 13 bits) in a 32-entry second table chosen by the first look-up and
// indexed by the 5 bits after those 8.
constexpr uint32_t kCcittSecondBits = 5;
constexpr uint32_t kCcittSecondSize = 1u << kCcittSecondBits;

struct CcittRunTable {
    const CcittRunEntry* first;   // 256 entries
    const CcittRunEntry* second;  // kCcittSecondSize entries per second table
};

extern const CcittRunTable kCcittWhiteRuns;
extern const CcittRunTable kCcittBlackRuns;

enum CcittModeKind : uint8_t {
    kModeInvalid = 0,  // not a mode this decoder knows (the uncompressed-mode extension among them)
    kModePass = 1,
    kModeHorizontal = 2,
    kModeVertical = 3,  // `offset` is a1 - b1
    kModeZeros = 4,     // seven zero bits: an EOL, or nothing valid
};

// Four bytes, so that a look-up is one scaled load on the decoder's
// longest chain (bits, entry, bits consumed).
struct alignas(4) CcittModeEntry {
    uint8_t kind;  // CcittModeKind
    uint8_t bits;
    int8_t offset;
};

// Indexed by the next 7 coded bits.
constexpr uint32_t kCcittModeBits = 7;
extern const std::array<CcittModeEntry, 1u << kCcittModeBits> kCcittModes;
