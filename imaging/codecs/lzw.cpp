#include "imaging/codecs/lzw.h"

#include <memory>

#include "foundation/mem_block.h"
#include "foundation/pool.h"
#include "imaging/codecs/byte_reader.h"

// One decoding run of a stream, behind LzwStream.
struct LzwRun {
    virtual ~LzwRun() = default;
    // Writes the decoded pixels from `start` up to `end` (positions in the
    // stream, past all earlier reads) into `output`; null drops them.
    virtual bool Read(uint8_t* output, uint64_t start, uint64_t end) = 0;
};

namespace {

constexpr uint16_t kRoot = 0xFFFF;
constexpr uint16_t kMaxTableWidth = 16;

// Eight bytes, so that walking a string costs one scaled load a pixel: the
// walk is the decoder's innermost loop. The caller's output starts at zero,
// so only pixels that are not zero are written, and the walk goes from one
// to the next: the paper of a scanned drawing (long strings of zero bytes)
// costs nothing.
struct LzwEntry {
    uint16_t before;   // the longest proper prefix ending in a pixel that is not zero, or kRoot
    uint16_t length;   // pixels in the string
    uint8_t last;      // last pixel of the string
    uint8_t first;     // first pixel of the string
    uint16_t nonzero;  // the string itself when its last pixel is not zero, else `before`
};
static_assert(sizeof(LzwEntry) == 8);

// Codes of one stream, taken most significant bit first (TIFF) or least
// significant bit first (GIF).
template <bool kMsbFirst>
struct CodeInput {
    const uint8_t* next;
    const uint8_t* end;
    uint32_t buffer = 0;
    uint32_t count = 0;  // bits in buffer
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

    // False at the end of the input (a partial last code counts as none).
    bool Read(uint32_t width, uint32_t* code) {
        if (count < width && end - next >= 2) {
            // Two bytes at once: a code is at most 16 bits wide, so the
            // count stays within the buffer.
            if (kMsbFirst) {
                buffer = (buffer << 16) | uint32_t(next[0]) << 8 | next[1];
            } else {
                buffer |= (uint32_t(next[0]) | uint32_t(next[1]) << 8) << count;
            }
            next += 2;
            count += 16;
        }
        while (count < width) {
            if (next == end && !Refill()) return false;
            if (kMsbFirst) {
                buffer = (buffer << 8) | *next++;
            } else {
                buffer |= uint32_t(*next++) << count;
            }
            count += 8;
        }
        const uint32_t mask = (1u << width) - 1;
        count -= width;
        if (kMsbFirst) {
            *code = (buffer >> count) & mask;
        } else {
            *code = buffer & mask;
            buffer >>= width;
        }
        return true;
    }
};

template <int kBits>
inline void PutPixel(uint8_t* out, uint64_t i, uint8_t value) {
    if constexpr (kBits == 8) {
        out[i] = value;
    } else if constexpr (kBits == 4) {
        out[i >> 1] |= uint8_t((value & 0x0F) << ((i & 1) ? 0 : 4));
    } else {
        out[i >> 3] |= uint8_t((value & 1) << (7 - (i & 7)));
    }
}

// The state of one stream, kept between reads: a string that runs past the
// end of one read is finished by the next.
template <int kBits, bool kMsbFirst>
struct LzwDecoder final : LzwRun {
    uint64_t out_start = 0;  // pixel positions in the decoded stream
    uint64_t out_end = 0;
    uint64_t position = 0;  // pixels of every string decoded so far
    uint8_t* output = nullptr;
    uint32_t code_size = 0;
    uint32_t clear = 0;
    uint32_t next_free = 0;
    uint32_t width = 0;
    uint32_t max_width = 0;
    uint32_t threshold = 0;
    uint32_t table_size = 0;
    LzwEntry* table = nullptr;
    CodeInput<kMsbFirst> input;
    uint32_t previous = kRoot;
    uint32_t pending = kRoot;  // the code whose string the last read cut
    uint64_t pending_begin = 0;
    bool started = false;
    bool finished = false;
    bool failed = false;

    void Reset() {
        next_free = clear + 2;
        width = code_size + 1;
        threshold = kMsbFirst ? 2 * clear - 1 : 2 * clear;
    }

    // Writes the pixels that are not zero of the part of the code's string
    // (which starts at `begin`) that falls into the output range [start, end)
    // of `out`, backwards from its last pixel; true when the string reaches
    // the end of the range.
    static bool Output(const LzwEntry* t, uint32_t code, uint64_t begin, uint64_t start, uint64_t end,
                       uint8_t* out) {
        const uint64_t string_end = begin + t[code].length;
        if (t[code].nonzero == kRoot || string_end <= start) return string_end >= end;
        // Pixel k of the string (0 = first) is written when lowest <= k < highest.
        const uint32_t lowest = begin >= start ? 0 : uint32_t(start - begin);
        const uint32_t highest = string_end <= end ? t[code].length : end > begin ? uint32_t(end - begin) : 0;
        const int64_t base = int64_t(begin - start);
        for (uint32_t c = t[code].nonzero; c != kRoot; c = t[c].before) {
            const uint32_t k = t[c].length - 1u;
            if (k < lowest) break;
            if (k < highest) PutPixel<kBits>(out, uint64_t(base + k), t[c].last);
        }
        return string_end >= end;
    }

    // Decodes codes until the output range is full; a string cut at its end
    // is kept for the next range. The state lives in locals while codes are
    // decoded: the table's byte stores could alias the members, and the
    // compiler would reload them after every one.
    bool Fill() {
        LzwEntry* const t = table;
        const uint64_t start = out_start, end = out_end;
        uint8_t* const out = output;
        if (pending != kRoot) {
            const bool full = Output(t, pending, pending_begin, start, end, out);
            if (pending_begin + t[pending].length <= end) pending = kRoot;
            if (full) return true;
        }
        CodeInput<kMsbFirst> in = input;
        uint32_t free = next_free, w = width, limit = threshold, prev = previous;
        uint64_t pos = position;
        const uint32_t size = table_size, widest = max_width, end_code = clear + 1;
        // Ends the call: the state goes home.
        auto leave = [&](bool result) {
            input = in;
            next_free = free;
            width = w;
            threshold = limit;
            previous = prev;
            position = pos;
            return result;
        };
        // A full table takes no more entries; decoding goes on at the maximum
        // width until the next Clear, since GIF encoders may defer it.
        auto add = [&](uint8_t last) {
            if (free >= size) return;
            const LzwEntry& base = t[prev];
            t[free] = {base.nonzero, uint16_t(base.length + 1), last, base.first,
                       last ? uint16_t(free) : base.nonzero};
            ++free;
            if (free >= limit && w < widest) {
                ++w;
                limit = kMsbFirst ? 2 * limit + 1 : 2 * limit;
            }
        };
        uint32_t code = 0;
        if (!started) {
            started = true;
            if (!in.Read(w, &code) || code != clear) return leave(Finish(false));
        } else if (!in.Read(w, &code)) {
            return leave(Finish(true));
        }
        for (;;) {
            if (code == clear) {
                free = clear + 2;
                w = code_size + 1;
                limit = kMsbFirst ? 2 * clear - 1 : 2 * clear;
                prev = kRoot;
                if (!in.Read(w, &code)) return leave(Finish(true));
                continue;
            }
            if (code == end_code) return leave(Finish(true));
            if (prev == kRoot) {
                if (code > clear) return leave(Finish(false));  // only a single pixel may follow Clear
            } else if (code < free) {
                add(t[code].first);
            } else if (code == free) {
                add(t[prev].first);
                if (code >= free) return leave(Finish(false));  // full table: not a code
            } else {
                return leave(Finish(false));
            }
            const uint64_t begin = pos;
            pos += t[code].length;
            prev = code;
            if (Output(t, code, begin, start, end, out)) {
                if (pos > end) {
                    pending = code;
                    pending_begin = begin;
                }
                return leave(true);
            }
            if (!in.Read(w, &code)) return leave(Finish(true));
        }
    }

    bool Finish(bool ok) {
        finished = true;
        failed = !ok;
        return ok;
    }

    bool Read(uint8_t* out, uint64_t start, uint64_t end) override {
        if (failed) return false;
        out_start = start;
        out_end = end;
        output = out;
        if (finished) return true;  // the rest of the stream stays blank
        return Fill();
    }
};

template <int kBits, bool kMsbFirst>
std::unique_ptr<LzwRun> MakeDecoder(const uint8_t* input, uint32_t input_length, ByteReader* reader,
                                    uint32_t code_size, uint32_t max_width, LzwEntry* table) {
    auto decoder = std::make_unique<LzwDecoder<kBits, kMsbFirst>>();
    decoder->input.reader = reader;
    decoder->code_size = code_size;
    decoder->clear = 1u << code_size;
    decoder->max_width = max_width;
    decoder->table_size = 1u << max_width;
    decoder->table = table;
    decoder->input.next = input;
    decoder->input.end = input + input_length;
    for (uint32_t i = 0; i < decoder->clear; ++i)
        table[i] = {kRoot, 1, uint8_t(i), uint8_t(i), i ? uint16_t(i) : kRoot};
    decoder->Reset();
    return decoder;
}

template <int kBits>
std::unique_ptr<LzwRun> MakeForOrder(bool msb_first, const uint8_t* input, uint32_t input_length,
                                     ByteReader* reader, uint32_t code_size, uint32_t max_width,
                                     LzwEntry* table) {
    if (msb_first) return MakeDecoder<kBits, true>(input, input_length, reader, code_size, max_width, table);
    return MakeDecoder<kBits, false>(input, input_length, reader, code_size, max_width, table);
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
    auto* table = static_cast<LzwEntry*>(MemAlloc(table_, (1u << max_width) * sizeof(LzwEntry), 0, 0));
    if (!table) return false;
    switch (output_bits) {
        case 1:
            run_ = MakeForOrder<1>(msb_first, input, input_length, reader, code_size, max_width, table);
            break;
        case 4:
            run_ = MakeForOrder<4>(msb_first, input, input_length, reader, code_size, max_width, table);
            break;
        default:
            run_ = MakeForOrder<8>(msb_first, input, input_length, reader, code_size, max_width, table);
            break;
    }
    pixels_per_byte_ = 8 / output_bits;
    read_ = 0;
    return true;
}

bool LzwStream::Read(uint8_t* output, uint32_t length) {
    if (!run_) return false;
    const uint64_t start = read_;
    read_ += uint64_t(length) * pixels_per_byte_;
    // Without an output the range is empty: its pixels are decoded, not written.
    return run_->Read(output, output ? start : read_, read_);
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
