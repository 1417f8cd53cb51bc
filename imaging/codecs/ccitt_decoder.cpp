#include "imaging/codecs/ccitt_decoder.h"

#include <cstring>

#include "imaging/codecs/ccitt_tables.h"

namespace {

enum class RunResult { kOk, kBad, kEol };

const CcittRunTable* const kRunTables[2] = {&kCcittWhiteRuns, &kCcittBlackRuns};

// The line decoders read through one of two bit readers. BitReader keeps
// two 32-bit words, which suits the 32-bit build (a 64-bit shift costs it a
// spill). Where 64-bit registers exist, LineBits holds the same bits in one
// register: a code is consumed with one shift instead of two shifts and an
// or, on the decoder's longest chain (look-up, skip, next look-up). Both
// hand out the same bits, and the padding past the data is counted by the
// same word loads.
inline uint32_t Peek(const BitReader& bits) { return bits.current; }
inline void Skip(BitReader& bits, uint32_t n) { BitReaderSkip(bits, n); }

#if defined(__x86_64__)
struct LineBits {
    // The valid bits from bit 0, 33 to 64 of them. The bits above them are
    // 0 or the data that follow (a load takes in whole bytes it does not yet
    // count), so that taking those bytes in again changes nothing.
    uint64_t buffer;
    uint32_t valid;
    // The next coded bits, at least 20 of them (the longest code has 13):
    // the buffer before its latest load, so that the look-up of the next
    // code need not wait for that load.
    uint64_t window;
    // The byte reader's buffer from its read position, in registers: the
    // loads of the line need no trip through the reader's fields.
    const uint8_t* cursor;
    const uint8_t* data_end;  // the end of the data in the reader's buffer
    BitReader* home;          // the buffer's end and the padding count go through it

    explicit LineBits(BitReader& bits)
        : buffer(bits.current | (uint64_t(bits.next) << 32)),
          valid(32 + uint32_t(bits.next_bits)),
          window(buffer),
          home(&bits) {
        TakeCursor();
    }
    void TakeCursor() {
        const ByteReader& reader = *home->reader;
        cursor = reader.buffer.data() + reader.read_pos;
        data_end = reader.buffer.data() + reader.fill;
    }
    // Back into the BitReader, whose current word stays full and whose next
    // word holds nothing above its valid bits.
    void Store() const {
        home->current = uint32_t(buffer);
        home->next = uint32_t(buffer >> 32) & (0xFFFFFFFFu >> (64 - valid));
        home->current_bits = 32;
        home->next_bits = int32_t(valid) - 32;
        home->reader->read_pos = uint32_t(cursor - home->reader->buffer.data());
    }
};

inline uint32_t Peek(const LineBits& bits) { return uint32_t(bits.window); }

// At the end of the byte reader's buffer: the reader refills it (or pads
// the end of the data) through the bit reader's own word load.
__attribute__((noinline)) uint32_t LoadWordFromReader(BitReader& home, const uint8_t* cursor) {
    home.reader->read_pos = uint32_t(cursor - home.reader->buffer.data());
    return BitReaderLoadWord(home);
}

// Consumes n bits (n <= 13) and tops the buffer up to 56 bits or more
// without a branch: eight bytes are loaded behind the valid bits and as many
// whole bytes counted as fit (a test whether bits are needed would go wrong
// once every 32 bits, without a pattern). Near the end of the reader's
// buffer it falls back to word loads through the reader, as BitReaderSkip
// does, once 32 bits or fewer are left.
inline void Skip(LineBits& bits, uint32_t n) {
    const uint64_t shifted = bits.buffer >> n;
    bits.valid -= n;
    bits.window = shifted;
    if (__builtin_expect(bits.data_end - bits.cursor >= 8, 1)) {
        uint64_t bytes;
        memcpy(&bytes, bits.cursor, 8);  // x86 is little-endian
        bits.buffer = shifted | (bytes << bits.valid);
        bits.cursor += (63 - bits.valid) >> 3;
        bits.valid |= 56;
    } else if (bits.valid <= 32) {
        const uint32_t word = LoadWordFromReader(*bits.home, bits.cursor);
        bits.TakeCursor();
        bits.buffer = shifted | (uint64_t(word) << bits.valid);
        bits.window = bits.buffer;
        bits.valid += 32;
    } else {
        bits.buffer = shifted;
    }
}
#endif

// One run: make-up codes, then the terminating code. Both bit readers always
// hand out 20 valid bits or more, more than the longest code (13 bits) needs.
template <class Bits>
__attribute__((always_inline)) inline RunResult DecodeRun(Bits& bits, const CcittRunTable& table,
                                                          uint32_t width, uint32_t& run) {
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
    const CcittModeEntry* modes = kCcittModes.data();
    uint32_t* const elements = line.elements;
    const int32_t width = int32_t(line.width);
    // The next element goes to `out`; a list that is full has `out` at the
    // end. (A pointer in place of a count and a capacity keeps the loop's
    // state in registers.)
    uint32_t* out = elements;
    uint32_t* const end = elements + ChangeListCapacity(line);
    // b1's index: the first reference element right of a0 among those of
    // the parity of this line's count. Even elements change white to black,
    // and a0 is white after an even count, so that parity gives the colour
    // opposite a0's. The reference ends in copies of the width, right of a0.
    uint32_t b1_index = 0;
    int32_t a0 = -1;  // starts before the line
    RunResult result = RunResult::kOk;
    while (a0 < width) {
        // Each mode leaves b1_index at most one step of two short of the
        // next b1, so this loop mostly runs not at all.
        while (int32_t(ref[b1_index]) <= a0) b1_index += 2;
        const CcittModeEntry& mode = modes[Peek(bits) & ((1u << kCcittModeBits) - 1)];
        if (mode.kind == kModeVertical || mode.kind == kModePass) {
            // Both modes put a0 on a reference element plus an offset: b1
            // plus -3 to 3 (vertical), or b2 (pass, offset 0). Taken without
            // a branch between them, as the two are mixed without a pattern.
            Skip(bits, mode.bits);
            const uint32_t pass = mode.kind == kModePass;
            const uint32_t stored = pass ^ 1;
            int32_t a1 = int32_t(ref[b1_index + pass]) + mode.offset;
            // A change left of a0 (or of the line) would make the list run
            // backwards. (b2 is never left of a0.)
            if (a1 < a0 || a1 < 0 || out + stored > end) {
                result = RunResult::kBad;
                break;
            }
            if (__builtin_expect(a1 > width, 0)) a1 = width;
            // The slot at `out` is always inside the block (capacity + 1
            // elements and the end marks): written even where a pass stores
            // nothing.
            *out = uint32_t(a1);
            out += stored;
            a0 = a1;
            // The next b1: after a pass two elements on (the colour stays);
            // after a vertical mode (the colour changes) the element before
            // b1 in the rare case that it lies right of a1 (a VL2 or VL3),
            // else the one after b1. An element before b1 is never right of
            // b2, so the pass needs no test of its own; the first element has
            // none before it, and its stand-in 1 is the one after it anyway.
            // A branch rather than a select: it keeps the look-up of the next
            // b1 off the chain of a0's.
            const uint32_t before = b1_index != 0 ? b1_index - 1 : 1;
            if (__builtin_expect(int32_t(ref[before]) > a1, 0)) {
                b1_index = before;
            } else {
                b1_index += 1 + pass;
            }
        } else if (mode.kind == kModeHorizontal) {
            Skip(bits, mode.bits);
            uint32_t run1 = 0, run2 = 0;
            const uint32_t black_first = uint32_t(out - elements) & 1;
            result = DecodeRun(bits, *kRunTables[black_first], line.width, run1);
            if (result == RunResult::kOk)
                result = DecodeRun(bits, *kRunTables[black_first ^ 1], line.width, run2);
            if (result != RunResult::kOk) break;
            if ((run1 == 0 && out != elements) || end - out < 2) {
                result = RunResult::kBad;
                break;
            }
            const uint32_t start = a0 < 0 ? 0 : uint32_t(a0);
            const uint32_t a1 = run1 < line.width - start ? start + run1 : line.width;
            const uint32_t a2 = run2 < line.width - a1 ? a1 + run2 : line.width;
            out[0] = a1;
            out[1] = a2;
            out += 2;
            a0 = int32_t(a2);  // the colour stays: b1_index keeps its parity
        } else {
            result = mode.kind == kModeZeros ? RunResult::kEol : RunResult::kBad;
            break;
        }
    }
    count_out = uint32_t(out - elements);
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
