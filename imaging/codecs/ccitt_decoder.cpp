#include "imaging/codecs/ccitt_decoder.h"

#include "imaging/codecs/ccitt_tables.h"

namespace {

enum class RunResult { kOk, kBad, kEol };

const CcittRunTable* const kRunTables[2] = {&kCcittWhiteRuns, &kCcittBlackRuns};

// The line decoders read through one of two bit readers. BitReader keeps
// two 32-bit words, which suits the 32-bit build (a 64-bit shift costs it a
// spill). Where 64-bit registers exist, LineBits holds the same bits in one
// register: a code is consumed with one shift and a test instead of two
// shifts, an or and the test, on the decoder's longest chain (look-up, skip,
// next look-up). Both hand out the same bits, and the padding past the data
// is counted by the same word loads.
inline uint32_t Peek(const BitReader& bits) { return bits.current; }
inline void Skip(BitReader& bits, uint32_t n) { BitReaderSkip(bits, n); }

#if defined(__x86_64__)
struct LineBits {
    // The valid bits from bit 0, 33 to 64 of them; the bits above are 0.
    uint64_t buffer;
    uint32_t valid;
    BitReader* home;  // word loads and the padding count go through it

    explicit LineBits(BitReader& bits)
        : buffer(bits.current | (uint64_t(bits.next) << 32)), valid(32 + uint32_t(bits.next_bits)), home(&bits) {}
    // Back into the BitReader, whose current word stays full.
    void Store() const {
        home->current = uint32_t(buffer);
        home->next = uint32_t(buffer >> 32);
        home->current_bits = 32;
        home->next_bits = int32_t(valid) - 32;
    }
};

inline uint32_t Peek(const LineBits& bits) { return uint32_t(bits.buffer); }

// As BitReaderSkip: a new word is taken in once 32 bits or fewer are left.
inline void Skip(LineBits& bits, uint32_t n) {
    bits.buffer >>= n;
    bits.valid -= n;
    if (bits.valid <= 32) {
        bits.buffer |= uint64_t(BitReaderLoadWord(*bits.home)) << bits.valid;
        bits.valid += 32;
    }
}
#endif

// One run: make-up codes, then the terminating code. The bit reader always
// holds 32 valid bits, more than the longest code (13 bits) needs.
template <class Bits>
__attribute__((always_inline)) inline RunResult DecodeRun(Bits& bits, const CcittRunTable& table, uint32_t width,
                                                          uint32_t& run) {
    uint32_t total = 0;
    for (;;) {
        const uint32_t word = Peek(bits);
        CcittRunEntry entry = table.first[word & 0xFF];
        if (entry.kind == kRunLonger) {
            entry = table.second[entry.value * kCcittSecondSize + ((word >> 8) & (kCcittSecondSize - 1))];
        }
        if (entry.kind == kRunInvalid) return (word & 0xFF) == 0 ? RunResult::kEol : RunResult::kBad;
        Skip(bits, entry.bits);
        total += entry.value;
        if (entry.kind == kRunTerminating) {
            run = total;
            return RunResult::kOk;
        }
        // Make-up codes adding up past any line: damaged data.
        if (total > width) return RunResult::kBad;
    }
}

// Alternating white and black runs from position 0 until the width. A run
// that passes the width is cut at it. At most width + 1 elements are stored,
// so zero-length runs in damaged data cannot overrun the list.
template <class Bits>
__attribute__((always_inline)) inline RunResult DecodeRuns(ChangeList& line, Bits& bits) {
    uint32_t* elements = line.elements;
    const uint32_t width = line.width;
    const uint32_t capacity = ChangeListCapacity(line);
    uint32_t count = 0;
    uint32_t position = 0;
    while (position < width) {
        uint32_t run = 0;
        const RunResult result = DecodeRun(bits, *kRunTables[count & 1], width, run);
        if (result != RunResult::kOk) {
            line.count = count;
            return result;
        }
        if (count == capacity) return RunResult::kBad;
        position = run < width - position ? position + run : width;
        elements[count++] = position;
    }
    line.count = count;
    return RunResult::kOk;
}

// The line decoders work on a copy of the bit reader's state that nothing
// else can see, so the compiler keeps it in registers instead of storing it
// back after every code; the copy goes home once per line.
RunResult DecodeOneDimensional(ChangeList& line, BitReader& bits) {
#if defined(__x86_64__)
    LineBits local(bits);
    const RunResult result = DecodeRuns(line, local);
    local.Store();
#else
    BitReader local = bits;
    const RunResult result = DecodeRuns(line, local);
    bits = local;
#endif
    return result;
}

bool Fail(ChangeList& line) {
    ChangeListSetEmpty(line);
    return false;
}

// After an EOL that ended a line early: the line is completed in white.
bool EndAtEol(ChangeList& line, BitReader& bits, uint32_t count) {
    if (!CcittSkipEol(bits)) return Fail(line);
    line.count = count;
    ChangeListTerminate(line);
    return true;
}

}  // namespace

bool CcittSkipEol(BitReader& bits) {
    if ((bits.current & 0x7FF) != 0) return false;
    BitReaderSkip(bits, 11);
    // Fill: any number of further zeros up to the EOL's closing 1. Bits past
    // the end of the data read as 0, so the search stops there.
    while (bits.current == 0) {
        if (BitReaderDataLeft(bits) == 0) return false;
        BitReaderSkip(bits, 24);
    }
    // Up to 31 zeros, then the 1 (skips stay below 32 bits).
    BitReaderSkip(bits, uint32_t(__builtin_ctz(bits.current)));
    BitReaderSkip(bits, 1);
    return true;
}

bool CcittDecodeMhLine(ChangeList& line, BitReader& bits) {
    const RunResult result = DecodeOneDimensional(line, bits);
    BitReaderAlignByte(bits);
    if (result != RunResult::kOk) return Fail(line);
    ChangeListMarkEnd(line);
    return true;
}

bool CcittDecodeT4Line(ChangeList& line, BitReader& bits) {
    const RunResult result = DecodeOneDimensional(line, bits);
    if (result == RunResult::kEol) return EndAtEol(line, bits, line.count);
    if (result != RunResult::kOk) return Fail(line);
    ChangeListMarkEnd(line);
    return true;
}

namespace {

// The modes of one two-dimensional line, up to its end (kOk), an EOL
// (kEol) or a bad code (kBad); `count` receives the elements stored.
template <class Bits>
__attribute__((always_inline)) inline RunResult Decode2DModes(ChangeList& line, const ChangeList& reference,
                                                              Bits& bits, uint32_t& count_out) {
    const uint32_t* ref = reference.elements;
    uint32_t* elements = line.elements;
    const int32_t width = int32_t(line.width);
    const uint32_t capacity = ChangeListCapacity(line);
    uint32_t count = 0;
    uint32_t first_right = 0;  // the first reference element right of a0
    int32_t a0 = -1;           // starts before the line
    RunResult result = RunResult::kOk;
    while (a0 < width) {
        // The reference ends in copies of the width, which is right of a0.
        while (int32_t(ref[first_right]) <= a0) ++first_right;
        // b1 is the next reference change to the colour opposite a0's. Even
        // elements change white to black, and a0 is white after an even
        // count of this line's elements: b1's index has the count's parity.
        const uint32_t b1_index = first_right + ((first_right ^ count) & 1);
        const int32_t b1 = int32_t(ref[b1_index]);
        const CcittModeEntry& mode = kCcittModes[Peek(bits) & ((1u << kCcittModeBits) - 1)];
        if (mode.kind == kModeVertical) {
            Skip(bits, mode.bits);
            int32_t a1 = b1 + mode.offset;
            // A change left of a0 (or of the line) would make the list
            // run backwards.
            if (a1 < a0 || a1 < 0 || count == capacity) {
                result = RunResult::kBad;
                break;
            }
            if (a1 > width) a1 = width;
            elements[count++] = uint32_t(a1);
            a0 = a1;
        } else if (mode.kind == kModePass) {
            Skip(bits, mode.bits);
            a0 = int32_t(ref[b1_index + 1]);
        } else if (mode.kind == kModeHorizontal) {
            Skip(bits, mode.bits);
            uint32_t run1 = 0, run2 = 0;
            result = DecodeRun(bits, *kRunTables[count & 1], line.width, run1);
            if (result == RunResult::kOk) result = DecodeRun(bits, *kRunTables[~count & 1], line.width, run2);
            if (result != RunResult::kOk) break;
            if ((run1 == 0 && count > 0) || count + 2 > capacity) {
                result = RunResult::kBad;
                break;
            }
            const uint32_t start = a0 < 0 ? 0 : uint32_t(a0);
            const uint32_t a1 = run1 < line.width - start ? start + run1 : line.width;
            const uint32_t a2 = run2 < line.width - a1 ? a1 + run2 : line.width;
            elements[count++] = a1;
            elements[count++] = a2;
            a0 = int32_t(a2);
        } else {
            result = mode.kind == kModeZeros ? RunResult::kEol : RunResult::kBad;
            break;
        }
    }
    count_out = count;
    return result;
}

}  // namespace

bool CcittDecode2DLine(ChangeList& line, const ChangeList& reference, BitReader& bits) {
    if (reference.width != line.width || !reference.elements || !line.elements) return Fail(line);
    uint32_t count = 0;
#if defined(__x86_64__)
    LineBits local(bits);
    const RunResult result = Decode2DModes(line, reference, local, count);
    local.Store();
#else
    BitReader local = bits;
    const RunResult result = Decode2DModes(line, reference, local, count);
    bits = local;
#endif
    if (result == RunResult::kEol) return EndAtEol(line, bits, count);
    if (result != RunResult::kOk) return Fail(line);
    line.count = count;
    ChangeListTerminate(line);
    return true;
}
