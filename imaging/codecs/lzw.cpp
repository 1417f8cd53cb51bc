#include "imaging/codecs/lzw.h"

#include <cstddef>
#include <cstring>
#include <memory>

#include "foundation/mem_block.h"
#include "foundation/pool.h"
#include "imaging/codecs/byte_reader.h"

// One decoding run of a stream, behind LzwStream.
struct LzwRun {
    virtual ~LzwRun() = default;
    // Writes the decoded pixels from `start` up to `end` (positions in the
    // stream, past all earlier reads) into `output`; null drops them. The
    // stream position up to which the data reached goes to *reached.
    virtual bool Read(uint8_t* output, uint64_t start, uint64_t end, uint64_t* reached) = 0;
};

namespace {

constexpr uint32_t kMaxTableWidth = 16;
// Decoded symbols are kept in a window, and a string is copied from the
// place where it was decoded before instead of walked through its prefixes
// a symbol at a time: that walk is a chain of dependent loads, as long as
// the string. The window keeps this much of the decoded history when it
// slides; a string decoded before that (only after long stretches without
// Clear) is walked through its prefixes again.
constexpr uint32_t kWindowBytes = 512 * 1024;
constexpr uint32_t kHistoryKept = 128 * 1024;
// Strings are copied in steps of this many symbols, the first two steps
// always; a copy may write up to two steps past its string's end, where the
// next string goes.
constexpr uint32_t kCopyStep = 16;
// The rows of one symbol repeated lie below the window's start: a
// string of one symbol (a root, or paper) is written from its symbol's row
// and never loaded from the window, where it would often be read right
// behind the stores that wrote it (a load that spans several recent stores
// waits until they are done).
constexpr uint32_t kRowsBytes = 256 * kCopyStep;
// Window offsets are signed: a negative one is a row.
constexpr int32_t kLost = 0x7FFFFFFF;  // the string's earlier copy has left the window

// Two words, so that an entry is made and read whole, without byte stores
// and wider loads of the same place.
struct LzwEntry {
    int32_t at;      // offset of an earlier copy of the string from the window's start, or kLost
    uint32_t shape;  // length (16 bits), first symbol (8), last symbol (8)

    uint32_t Length() const { return shape & 0xFFFF; }
    uint32_t First() const { return (shape >> 16) & 0xFF; }
    uint32_t Last() const { return shape >> 24; }
};
static_assert(sizeof(LzwEntry) == 8);

inline int32_t RowOf(uint32_t symbol) { return int32_t(symbol * kCopyStep) - int32_t(kRowsBytes); }

inline LzwEntry RootEntry(uint32_t symbol) {
    const uint32_t s = uint8_t(symbol);
    return {RowOf(s), 1u | s << 16 | s << 24};
}

// Writes the string of `entry` (not lost) a step at a time, from the window
// or from its symbol's row, where the source does not move. Every step
// loads before it stores, so a source that ends where the copy begins (a
// string repeated right after itself) gives its symbols correctly for the
// part that lies before the copy.
inline void WriteString(uint8_t* to, const uint8_t* window, LzwEntry entry) {
    const uint8_t* from = window + entry.at;
    const uint32_t step = ~uint32_t(entry.at >> 31) & kCopyStep;
    memcpy(to, from, kCopyStep);
    from += step;
    memcpy(to + kCopyStep, from, kCopyStep);
    const uint32_t length = entry.Length();
    for (uint32_t done = 2 * kCopyStep; done < length; done += kCopyStep) {
        from += step;
        memcpy(to + done, from, kCopyStep);
    }
}

// Codes of one stream, taken most significant bit first (TIFF) or least
// significant bit first (GIF), through a bit holder as wide as a register.
template <bool kMsbFirst>
struct CodeInput {
    using Word = uintptr_t;
    static constexpr uint32_t kWordBits = sizeof(Word) * 8;

    const uint8_t* next;
    const uint8_t* end;
    // Most significant bit first: the valid bits at the top; else at the bottom.
    Word bits = 0;
    uint32_t count = 0;  // valid bits
    // Null for input in memory; else the bytes come from its buffer, a
    // buffer's worth at a time, so that a large strip is never held whole.
    ByteReader* reader = nullptr;

    // The reader's next buffered bytes as the input; false at the end of its
    // data or on a read error (which the reader keeps).
    bool Refill() {
        if (!reader) return false;
        if (reader->read_pos >= reader->fill && !ByteReaderFill(*reader)) return false;
        if (reader->read_pos >= reader->fill) return false;
        next = reader->buffer.data() + reader->read_pos;
        end = reader->buffer.data() + reader->fill;
        reader->read_pos = reader->fill;  // the bytes stay in place until the next fill
        return true;
    }

    // Fills the holder to kWordBits - 8 bits or more from a whole word of
    // input: the word is loaded behind the valid bits and only its whole
    // bytes that fit are counted. The bytes loaded but not counted come
    // again with the next load, at the same place.
    void TopUp() {
        Word word;
        memcpy(&word, next, sizeof word);
        if constexpr (kMsbFirst) {
            if constexpr (sizeof(Word) == 8) {
                word = Word(__builtin_bswap64(uint64_t(word)));
            } else {
                word = Word(__builtin_bswap32(uint32_t(word)));
            }
            bits |= word >> count;
        } else {
            bits |= word << count;
        }
        next += (kWordBits - 1 - count) >> 3;
        count |= kWordBits - 8;
    }

    // A byte at a time, near the end of the input's buffer.
    bool TopUpSlowly(uint32_t width) {
        while (count < width) {
            if (next == end && !Refill()) return false;
            if (end - next >= ptrdiff_t(sizeof(Word))) {
                TopUp();
                return true;
            }
            if constexpr (kMsbFirst) {
                bits |= Word(*next++) << (kWordBits - 8 - count);
            } else {
                bits |= Word(*next++) << count;
            }
            count += 8;
        }
        return true;
    }

    // False at the end of the input (a partial last code counts as none).
    [[gnu::always_inline]] bool Read(uint32_t width, uint32_t* code) {
        // A full holder serves several codes: the test follows the widths'
        // pattern, which branch prediction learns.
        if (count < width) {
            if (end - next >= ptrdiff_t(sizeof(Word))) [[likely]] {
                TopUp();
            } else if (!TopUpSlowly(width)) {
                return false;
            }
        }
        count -= width;
        if constexpr (kMsbFirst) {
            *code = uint32_t(bits >> (kWordBits - width));
            bits <<= width;
        } else {
            *code = uint32_t(bits) & ((1u << width) - 1);
            bits >>= width;
        }
        return true;
    }
};

// The state of one stream, kept between reads.
template <bool kMsbFirst>
struct LzwDecoder final : LzwRun {
    CodeInput<kMsbFirst> input;
    LzwEntry* table = nullptr;   // table_size + 1 entries: a full table writes its spare
    uint16_t* prefix = nullptr;  // per entry: the code of the string without its last symbol
    uint8_t* window = nullptr;
    uint32_t code_size = 0;
    uint32_t clear = 0;
    uint32_t max_width = 0;
    uint32_t table_size = 0;
    uint32_t output_bits = 8;
    uint32_t next_free = 0;
    uint32_t width = 0;
    uint32_t threshold = 0;
    uint32_t previous = 0;    // the last code decoded, whose string ends at `position`
    uint32_t position = 0;    // window offset of the next symbol
    uint32_t history = 0;     // where the strings of the table's entries begin (the last Clear)
    uint32_t last_start = 0;  // no string begins beyond this offset: the longest fits the window
    uint64_t base = 0;        // stream position of the window's start
    bool started = false;
    bool finished = false;
    bool failed = false;

    uint64_t Decoded() const { return base + position; }

    void Reset(uint32_t* free, uint32_t* w, uint32_t* limit) const {
        *free = clear + 2;
        *w = code_size + 1;
        *limit = kMsbFirst ? 2 * clear - 1 : 2 * clear;
    }

    // Writes the string of a code whose earlier copy has left the window:
    // the longest prefix that has not is written as any string, the rest
    // backwards through the prefixes.
    void WriteLost(uint32_t code, uint8_t* to) const {
        uint32_t kept = code;
        while (table[kept].at == kLost) kept = prefix[kept];
        WriteString(to, window, table[kept]);
        for (uint32_t c = code; c != kept; c = prefix[c])
            to[table[c].Length() - 1] = uint8_t(table[c].Last());
    }

    // Decodes codes until the window position reaches `stop`, the data end
    // or bad data. The state lives in locals while codes are decoded: the
    // table's stores could alias the members, and the compiler would reload
    // them after every one. Without kWrite (rows skipped) only the string
    // that reaches `stop` is written; the entries made meanwhile have no
    // copy in the window and are walked through their prefixes if asked for
    // before the next Clear.
    template <bool kWrite>
    void Run(uint32_t stop) {
        LzwEntry* const t = table;
        uint16_t* const prefixes = prefix;
        uint8_t* const win = window;
        CodeInput<kMsbFirst> in = input;
        uint32_t free = next_free, w = width, limit = threshold, prev = previous, at = position;
        bool ended = finished, bad = false;
        uint32_t code = 0;
        if (!started) {
            started = true;
            if (!in.Read(w, &code) || code != clear) ended = bad = true;
        }
        while (!ended) {
            if (code == clear) [[unlikely]] {
                // Clear, then a single symbol (or another Clear, or the end).
                while (code == clear) {
                    Reset(&free, &w, &limit);
                    if (!in.Read(w, &code)) code = clear + 1;
                }
                history = at;
                if (code > clear) {
                    bad = code > clear + 1;
                    ended = true;
                    break;
                }
                win[at++] = uint8_t(code);
                prev = code;
                code = 0;
            }
            if (at >= stop) break;
            if (!in.Read(w, &code)) {
                ended = true;
                break;
            }
            if (code - clear < 2) [[unlikely]] {
                ended = code > clear;
                continue;
            }
            if (code > free) [[unlikely]] {
                ended = bad = true;
                break;
            }
            // The new entry is the previous string and the first symbol of
            // this one; the next free code itself is the previous string and
            // its own first symbol.
            const LzwEntry before = t[prev];
            const uint32_t repeats = 0u - uint32_t(code == free);
            uint32_t first = t[code].First();
            first ^= (first ^ before.First()) & repeats;
            // A string of one symbol repeated stays one.
            const int32_t repeated = before.at >> 31 & -int32_t(first == before.First());
            const int32_t before_at = kWrite ? int32_t(at - before.Length()) : kLost;
            t[free] = {(before.at & repeated) | (before_at & ~repeated),
                       ((before.shape & 0x00FFFFFF) + 1) | first << 24};
            prefixes[free] = uint16_t(prev);
            if (++free >= limit) [[unlikely]] {
                if (w < max_width) {
                    ++w;
                    limit = kMsbFirst ? 2 * limit + 1 : 2 * limit;
                } else {
                    // A full table takes no more entries (its spare takes
                    // the stores); decoding goes on at the maximum width
                    // until the next Clear, since GIF encoders may defer it.
                    limit = table_size + 1;
                    if (free > table_size) free = table_size;
                }
            }
            const LzwEntry entry = t[code];
            if (!kWrite && at + entry.Length() < stop) {
                prev = code;
                at += entry.Length();
                continue;
            }
            uint8_t* to = win + at;
            if (entry.at != kLost) [[likely]] {
                WriteString(to, win, entry);
            } else {
                WriteLost(code, to);
            }
            // The previous string repeated right after itself ends in its
            // own first symbol, which was not there to copy (a symbol's row
            // has it everywhere).
            if (repeats & ~uint32_t(entry.at >> 31)) [[unlikely]]
                to[entry.Length() - 1] = uint8_t(entry.Last());
            prev = code;
            at += entry.Length();
        }
        input = in;
        next_free = free;
        width = w;
        threshold = limit;
        previous = prev;
        position = at;
        finished = ended;
        failed = bad;
    }

    // Moves the history kept (and the previous string, which the next entry
    // starts with) to the window's start; entries whose strings fall out
    // are marked lost.
    void Slide() {
        const uint32_t previous_at = position - table[previous].Length();
        uint32_t keep = position - kHistoryKept;
        if (keep < history) keep = history;
        if (keep > previous_at) keep = previous_at;
        if (keep == 0) return;
        memmove(window, window + keep, position - keep);
        for (uint32_t c = clear + 2; c < next_free; ++c) {
            int32_t& at = table[c].at;
            if (at >= 0 && at != kLost) at = uint32_t(at) >= keep ? int32_t(uint32_t(at) - keep) : kLost;
        }
        position -= keep;
        history = history > keep ? history - keep : 0;
        base += keep;
    }

    // Decoded symbols `from` to `to` (stream positions, within the window)
    // into the output whose first pixel is stream position `start`.
    void Deliver(uint8_t* out, uint64_t start, uint64_t from, uint64_t to) const {
        const uint8_t* symbols = window + (from - base);
        const size_t n = size_t(to - from);
        const uint64_t first = from - start;
        if (output_bits == 8) {
            memcpy(out + first, symbols, n);
        } else if (output_bits == 4) {
            for (size_t k = 0; k < n; ++k) {
                const uint64_t i = first + k;
                out[i >> 1] |= uint8_t((symbols[k] & 0x0F) << ((i & 1) ? 0 : 4));
            }
        } else {
            for (size_t k = 0; k < n; ++k) {
                const uint64_t i = first + k;
                out[i >> 3] |= uint8_t((symbols[k] & 1) << (7 - (i & 7)));
            }
        }
    }

    bool Read(uint8_t* out, uint64_t start, uint64_t end, uint64_t* reached) override {
        uint64_t done = start;
        for (;;) {
            if (failed) return false;
            const uint64_t decoded = Decoded();
            *reached = decoded;
            if (out && done < end && done < decoded) {
                const uint64_t to = decoded < end ? decoded : end;
                Deliver(out, start, done, to);
                done = to;
            }
            if (decoded >= end || finished) return true;
            if (position >= last_start) Slide();
            const uint64_t wanted = end - decoded;
            const uint32_t room = last_start - position;
            const uint32_t stop = wanted < room ? position + uint32_t(wanted) : last_start;
            if (out) {
                Run<true>(stop);
            } else {
                Run<false>(stop);
            }
        }
    }
};

// The stream's memory: the symbol rows, the window and the table. The rows
// come first and keep their place, so a block that is used again keeps them.
struct LzwLayout {
    uint32_t window = kRowsBytes;
    uint32_t table = 0;
    uint32_t prefixes = 0;
    uint32_t bytes = 0;

    explicit LzwLayout(uint32_t table_size) {
        // Copies of the longest string may write two steps past the window's end.
        table = window + kWindowBytes + 2 * kCopyStep;
        prefixes = table + (table_size + 1) * sizeof(LzwEntry);
        bytes = prefixes + (table_size + 1) * sizeof(uint16_t);
    }
};

template <bool kMsbFirst>
std::unique_ptr<LzwRun> MakeDecoder(const uint8_t* input, uint32_t input_length, ByteReader* reader,
                                    uint32_t code_size, uint32_t max_width, uint32_t output_bits,
                                    uint8_t* store) {
    const uint32_t size = 1u << max_width;
    const uint32_t clear = 1u << code_size;
    const LzwLayout layout(size);
    auto decoder = std::make_unique<LzwDecoder<kMsbFirst>>();
    decoder->table = reinterpret_cast<LzwEntry*>(store + layout.table);
    decoder->prefix = reinterpret_cast<uint16_t*>(store + layout.prefixes);
    decoder->window = store + layout.window;
    decoder->input.reader = reader;
    decoder->input.next = input;
    decoder->input.end = input + input_length;
    decoder->code_size = code_size;
    decoder->clear = clear;
    decoder->max_width = max_width;
    decoder->table_size = size;
    decoder->output_bits = output_bits;
    for (uint32_t i = 0; i < clear; ++i) decoder->table[i] = RootEntry(i);
    decoder->last_start = kWindowBytes - size;
    decoder->Reset(&decoder->next_free, &decoder->width, &decoder->threshold);
    return decoder;
}

}  // namespace

bool LzwStream::Start(const uint8_t* input, uint32_t input_length, uint8_t msb_first, uint32_t code_size,
                      uint16_t max_width, uint16_t output_bits) {
    run_.reset();
    if (!input || input_length == 0) return false;
    return StartDecoder(input, input_length, nullptr, msb_first, code_size, max_width, output_bits);
}

bool LzwStream::StartReading(ByteReader& reader, uint8_t msb_first, uint32_t code_size, uint16_t max_width,
                             uint16_t output_bits) {
    run_.reset();
    if (reader.error || ByteReaderAvailable(reader) == 0) return false;
    // The input starts empty: the first code takes the reader's first bytes.
    static const uint8_t kNone = 0;
    return StartDecoder(&kNone, 0, &reader, msb_first, code_size, max_width, output_bits);
}

bool LzwStream::StartDecoder(const uint8_t* input, uint32_t input_length, ByteReader* reader,
                             uint8_t msb_first, uint32_t code_size, uint16_t max_width,
                             uint16_t output_bits) {
    if (code_size < 2 || code_size > 13 || code_size >= max_width || max_width > kMaxTableWidth) return false;
    if (output_bits != 1 && output_bits != 4 && output_bits != 8) return false;
    // A stream started again (the next strip of a page) keeps its memory.
    const LzwLayout layout(1u << max_width);
    if (!store_.block || store_.size() < layout.bytes) {
        if (!MemAlloc(store_, layout.bytes, 0, 0)) return false;
        for (uint32_t symbol = 0; symbol < 256; ++symbol)
            memset(store_.data() + symbol * kCopyStep, int(symbol), kCopyStep);
    }
    if (msb_first) {
        run_ =
            MakeDecoder<true>(input, input_length, reader, code_size, max_width, output_bits, store_.data());
    } else {
        run_ =
            MakeDecoder<false>(input, input_length, reader, code_size, max_width, output_bits, store_.data());
    }
    pixels_per_byte_ = 8 / output_bits;
    read_ = 0;
    return true;
}

bool LzwStream::Read(uint8_t* output, uint32_t length, uint32_t* filled) {
    if (filled) *filled = 0;
    if (!run_) return false;
    const uint64_t start = read_;
    read_ += uint64_t(length) * pixels_per_byte_;
    // Without an output the range is empty: its pixels are decoded, not written.
    uint64_t reached = 0;
    if (!run_->Read(output, output ? start : read_, read_, &reached)) return false;
    if (filled && reached > start) {
        const uint64_t pixels = (reached < read_ ? reached : read_) - start;
        *filled = uint32_t((pixels + pixels_per_byte_ - 1) / pixels_per_byte_);
    }
    return true;
}

bool LzwStream::Skip(uint32_t length) { return Read(nullptr, length); }

LzwStream::LzwStream() = default;
LzwStream::~LzwStream() = default;

bool LzwDecode(const uint8_t* input, uint32_t input_length, uint8_t* output, uint32_t skip, uint32_t length,
               uint8_t msb_first, uint32_t code_size, uint16_t max_width, uint16_t output_bits) {
    if (!output || length == 0) return false;
    LzwStream stream;
    if (!stream.Start(input, input_length, msb_first, code_size, max_width, output_bits)) return false;
    return stream.Skip(skip) && stream.Read(output, length);
}
