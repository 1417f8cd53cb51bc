#include "imaging/codecs/ccitt_tables.h"

#include <array>
#include <cstddef>

// The code words as ITU-T T.4 publishes them (tables 2 and 3, and the
// extended make-up codes); the code value is the bit string read as binary.
const CcittCode kCcittWhiteTerminating[64] = {
    {0x35, 8}, {0x07, 6}, {0x07, 4}, {0x08, 4}, {0x0B, 4}, {0x0C, 4}, {0x0E, 4}, {0x0F, 4},
    {0x13, 5}, {0x14, 5}, {0x07, 5}, {0x08, 5}, {0x08, 6}, {0x03, 6}, {0x34, 6}, {0x35, 6},
    {0x2A, 6}, {0x2B, 6}, {0x27, 7}, {0x0C, 7}, {0x08, 7}, {0x17, 7}, {0x03, 7}, {0x04, 7},
    {0x28, 7}, {0x2B, 7}, {0x13, 7}, {0x24, 7}, {0x18, 7}, {0x02, 8}, {0x03, 8}, {0x1A, 8},
    {0x1B, 8}, {0x12, 8}, {0x13, 8}, {0x14, 8}, {0x15, 8}, {0x16, 8}, {0x17, 8}, {0x28, 8},
    {0x29, 8}, {0x2A, 8}, {0x2B, 8}, {0x2C, 8}, {0x2D, 8}, {0x04, 8}, {0x05, 8}, {0x0A, 8},
    {0x0B, 8}, {0x52, 8}, {0x53, 8}, {0x54, 8}, {0x55, 8}, {0x24, 8}, {0x25, 8}, {0x58, 8},
    {0x59, 8}, {0x5A, 8}, {0x5B, 8}, {0x4A, 8}, {0x4B, 8}, {0x32, 8}, {0x33, 8}, {0x34, 8},
};

const CcittCode kCcittBlackTerminating[64] = {
    {0x37, 10}, {0x02, 3},  {0x03, 2},  {0x02, 2},  {0x03, 3},  {0x03, 4},  {0x02, 4},  {0x03, 5},
    {0x05, 6},  {0x04, 6},  {0x04, 7},  {0x05, 7},  {0x07, 7},  {0x04, 8},  {0x07, 8},  {0x18, 9},
    {0x17, 10}, {0x18, 10}, {0x08, 10}, {0x67, 11}, {0x68, 11}, {0x6C, 11}, {0x37, 11}, {0x28, 11},
    {0x17, 11}, {0x18, 11}, {0xCA, 12}, {0xCB, 12}, {0xCC, 12}, {0xCD, 12}, {0x68, 12}, {0x69, 12},
    {0x6A, 12}, {0x6B, 12}, {0xD2, 12}, {0xD3, 12}, {0xD4, 12}, {0xD5, 12}, {0xD6, 12}, {0xD7, 12},
    {0x6C, 12}, {0x6D, 12}, {0xDA, 12}, {0xDB, 12}, {0x54, 12}, {0x55, 12}, {0x56, 12}, {0x57, 12},
    {0x64, 12}, {0x65, 12}, {0x52, 12}, {0x53, 12}, {0x24, 12}, {0x37, 12}, {0x38, 12}, {0x27, 12},
    {0x28, 12}, {0x58, 12}, {0x59, 12}, {0x2B, 12}, {0x2C, 12}, {0x5A, 12}, {0x66, 12}, {0x67, 12},
};

const CcittCode kCcittWhiteMakeup[27] = {
    {0x1B, 5}, {0x12, 5}, {0x17, 6}, {0x37, 7}, {0x36, 8}, {0x37, 8}, {0x64, 8}, {0x65, 8}, {0x68, 8},
    {0x67, 8}, {0xCC, 9}, {0xCD, 9}, {0xD2, 9}, {0xD3, 9}, {0xD4, 9}, {0xD5, 9}, {0xD6, 9}, {0xD7, 9},
    {0xD8, 9}, {0xD9, 9}, {0xDA, 9}, {0xDB, 9}, {0x98, 9}, {0x99, 9}, {0x9A, 9}, {0x18, 6}, {0x9B, 9},
};

const CcittCode kCcittBlackMakeup[27] = {
    {0x0F, 10}, {0xC8, 12}, {0xC9, 12}, {0x5B, 12}, {0x33, 12}, {0x34, 12}, {0x35, 12},
    {0x6C, 13}, {0x6D, 13}, {0x4A, 13}, {0x4B, 13}, {0x4C, 13}, {0x4D, 13}, {0x72, 13},
    {0x73, 13}, {0x74, 13}, {0x75, 13}, {0x76, 13}, {0x77, 13}, {0x52, 13}, {0x53, 13},
    {0x54, 13}, {0x55, 13}, {0x5A, 13}, {0x5B, 13}, {0x64, 13}, {0x65, 13},
};

const CcittCode kCcittExtendedMakeup[13] = {
    {0x08, 11}, {0x0C, 11}, {0x0D, 11}, {0x12, 12}, {0x13, 12}, {0x14, 12}, {0x15, 12},
    {0x16, 12}, {0x17, 12}, {0x1C, 12}, {0x1D, 12}, {0x1E, 12}, {0x1F, 12},
};

const CcittCode kCcittVerticalCodes[7] = {
    {0x02, 7},  // VL3 0000010
    {0x02, 6},  // VL2 000010
    {0x02, 3},  // VL1 010
    {0x01, 1},  // V0  1
    {0x03, 3},  // VR1 011
    {0x03, 6},  // VR2 000011
    {0x03, 7},  // VR3 0000011
};

namespace {

// Code words are written first bit first, the readers hand out the first bit
// in bit 0: look-ups use the code with its bits reversed.
constexpr uint32_t Reversed(uint32_t code, uint32_t bits) {
    uint32_t result = 0;
    for (uint32_t i = 0; i < bits; ++i) result |= ((code >> i) & 1u) << (bits - 1 - i);
    return result;
}

struct RunCode {
    CcittCode code;
    uint16_t run;
    uint8_t kind;
};

constexpr size_t kRunCodeCount = 64 + 27 + 13;

constexpr std::array<RunCode, kRunCodeCount> RunCodes(const CcittCode* terminating, const CcittCode* makeup) {
    std::array<RunCode, kRunCodeCount> codes{};
    size_t n = 0;
    for (uint16_t run = 0; run < 64; ++run) codes[n++] = {terminating[run], run, kRunTerminating};
    for (uint16_t i = 0; i < 27; ++i) codes[n++] = {makeup[i], uint16_t(64 * (i + 1)), kRunMakeup};
    for (uint16_t i = 0; i < 13; ++i)
        codes[n++] = {kCcittExtendedMakeup[i], uint16_t(1792 + 64 * i), kRunMakeup};
    return codes;
}

// The table of one colour. `ok` turns false when two codes claim the same
// look-up entry (a typing error in the code lists above), which the
// static_asserts below refuse.
template <size_t kSeconds>
struct RunTableBuild {
    std::array<CcittRunEntry, 256> first{};
    std::array<CcittRunEntry, kSeconds * kCcittSecondSize> second{};
    bool ok = true;
};

// How many different 8-bit prefixes the codes longer than 8 bits have.
constexpr size_t CountSeconds(const std::array<RunCode, kRunCodeCount>& codes) {
    std::array<bool, 256> seen{};
    size_t n = 0;
    for (const RunCode& c : codes) {
        if (c.code.bits <= 8) continue;
        uint32_t prefix = Reversed(c.code.code, c.code.bits) & 0xFF;
        if (!seen[prefix]) ++n;
        seen[prefix] = true;
    }
    return n;
}

constexpr void Place(CcittRunEntry* table, uint32_t size, uint32_t pattern, uint32_t pattern_bits,
                     CcittRunEntry entry, bool& ok) {
    for (uint32_t index = 0; index < size; ++index) {
        if ((index & ((1u << pattern_bits) - 1)) != pattern) continue;
        if (table[index].kind != kRunInvalid) ok = false;
        table[index] = entry;
    }
}

template <size_t kSeconds>
constexpr RunTableBuild<kSeconds> BuildRunTable(const std::array<RunCode, kRunCodeCount>& codes) {
    RunTableBuild<kSeconds> table;
    uint16_t seconds_used = 0;
    for (const RunCode& c : codes) {
        const uint32_t bits = c.code.bits;
        const uint32_t reversed = Reversed(c.code.code, bits);
        const CcittRunEntry entry = {c.run, uint8_t(bits), c.kind};
        if (bits <= 8) {
            Place(table.first.data(), 256, reversed, bits, entry, table.ok);
            continue;
        }
        CcittRunEntry& head = table.first[reversed & 0xFF];
        if (head.kind == kRunInvalid) head = {seconds_used++, 8, kRunLonger};
        if (head.kind != kRunLonger || bits - 8 > kCcittSecondBits) {
            table.ok = false;
            continue;
        }
        Place(table.second.data() + head.value * kCcittSecondSize, kCcittSecondSize, reversed >> 8, bits - 8,
              entry, table.ok);
    }
    if (seconds_used != kSeconds) table.ok = false;
    return table;
}

constexpr auto kWhiteCodes = RunCodes(kCcittWhiteTerminating, kCcittWhiteMakeup);
constexpr auto kBlackCodes = RunCodes(kCcittBlackTerminating, kCcittBlackMakeup);
constexpr auto kWhiteBuild = BuildRunTable<CountSeconds(kWhiteCodes)>(kWhiteCodes);
constexpr auto kBlackBuild = BuildRunTable<CountSeconds(kBlackCodes)>(kBlackCodes);
static_assert(kWhiteBuild.ok, "two white run codes overlap");
static_assert(kBlackBuild.ok, "two black run codes overlap");

// A complete prefix code fills every look-up entry except those of the
// prefixes no code word has (eight zeros, the start of an EOL).
constexpr bool OnlyEolPrefixInvalid(const std::array<CcittRunEntry, 256>& first) {
    for (uint32_t i = 1; i < 256; ++i) {
        if (first[i].kind == kRunInvalid) return false;
    }
    return first[0].kind == kRunInvalid;
}
static_assert(OnlyEolPrefixInvalid(kWhiteBuild.first), "white run codes incomplete");
static_assert(OnlyEolPrefixInvalid(kBlackBuild.first), "black run codes incomplete");

struct ModeCode {
    CcittCode code;
    uint8_t kind;
    int8_t offset;
};

struct ModeTableBuild {
    std::array<CcittModeEntry, 1u << kCcittModeBits> entries{};
    bool ok = true;
};

constexpr ModeTableBuild BuildModeTable() {
    ModeTableBuild table;
    ModeCode codes[10] = {
        {kCcittPassCode, kModePass, 0},
        {kCcittHorizontalCode, kModeHorizontal, 0},
        {{0x0, 7}, kModeZeros, 0},
    };
    int n = 3;
    for (int8_t offset = -3; offset <= 3; ++offset) {
        codes[n++] = {kCcittVerticalCodes[offset + 3], kModeVertical, offset};
    }
    for (const ModeCode& c : codes) {
        const uint32_t reversed = Reversed(c.code.code, c.code.bits);
        for (uint32_t index = 0; index < table.entries.size(); ++index) {
            if ((index & ((1u << c.code.bits) - 1)) != reversed) continue;
            if (table.entries[index].kind != kModeInvalid) table.ok = false;
            table.entries[index] = {c.kind, c.code.bits, c.offset};
        }
    }
    return table;
}

constexpr ModeTableBuild kModeBuild = BuildModeTable();
static_assert(kModeBuild.ok, "two mode codes overlap");

}  // namespace

const CcittRunTable kCcittWhiteRuns = {kWhiteBuild.first.data(), kWhiteBuild.second.data()};
const CcittRunTable kCcittBlackRuns = {kBlackBuild.first.data(), kBlackBuild.second.data()};

const std::array<CcittModeEntry, 1u << kCcittModeBits> kCcittModes = kModeBuild.entries;
