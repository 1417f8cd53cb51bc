#include "imaging/codecs/byte_reader.h"

#include <algorithm>
#include <cstring>

#include "foundation/bit_writer.h"
#include "foundation/pool.h"

namespace {

// Exactly n bytes of the source at the offset, in pieces whose counts fit
// the reader's signed answer.
bool SourceReadExact(DataReader* reader, uint32_t offset, uint32_t n, uint8_t* dst) {
    uint64_t at = offset;
    while (n > 0) {
        const uint32_t piece = std::min(n, 0x40000000u);
        if (DataSourceRead(reader, at, piece, dst) != int32_t(piece)) return false;
        at += piece;
        dst += piece;
        n -= piece;
    }
    return true;
}

bool RoundUpTo4(uint32_t n, uint32_t* rounded) {
    const uint64_t up = (uint64_t(n) + 3) & ~uint64_t(3);
    if (up > kPoolMaxBlock) return false;
    *rounded = uint32_t(up);
    return true;
}

// Clears the bytes from the fill level to the next multiple of 4, so that
// whole words can be read at the end of the data.
void ZeroTail(ByteReader& reader) {
    const uint32_t end = std::min((reader.fill + 3) & ~3u, reader.buffer_size);
    if (end > reader.fill) memset(reader.buffer.data() + reader.fill, 0, end - reader.fill);
}

void TakeIn(ByteReader& reader, uint8_t* bytes, uint32_t n) {
    if (!reader.keep_bit_order) BytesReverseBits(bytes, n);
}

// Reads n bytes of the source at the reader's offset into dst and advances
// the range; a short read sets the error.
bool ReadSource(ByteReader& reader, uint8_t* dst, uint32_t n) {
    if (n == 0) return true;
    if (n > reader.remaining || !SourceReadExact(reader.reader.get(), reader.offset, n, dst)) {
        reader.error = true;
        return false;
    }
    TakeIn(reader, dst, n);
    reader.offset += n;
    reader.remaining -= n;
    return true;
}

uint32_t Buffered(const ByteReader& reader) { return reader.fill - reader.read_pos; }

// Moves the unread bytes to the start of the buffer and fills the rest, so
// that a word that straddles the end of the buffer is read whole.
bool Compact(ByteReader& reader) {
    const uint32_t left = Buffered(reader);
    if (left > 0 && reader.read_pos > 0) {
        memmove(reader.buffer.data(), reader.buffer.data() + reader.read_pos, left);
    }
    reader.read_pos = 0;
    reader.fill = left;
    return ByteReaderFill(reader);
}

}  // namespace

ByteReader::~ByteReader() { ByteReaderFree(*this); }

bool ByteReaderInit(ByteReader& reader, DataSource* source, bool keep_bit_order, uint32_t buffer_size) {
    ByteReaderFree(reader);
    reader.keep_bit_order = keep_bit_order;
    if (buffer_size == 0) buffer_size = kByteReaderDefaultBuffer;
    if (!source || !RoundUpTo4(buffer_size, &reader.buffer_size)) {
        reader.error = true;
        return false;
    }
    reader.source = Ref<DataSource>(source);
    bool changed = false;
    reader.reader = DataSourceOpenReader(source, changed);
    if (!reader.reader || !MemAlloc(reader.buffer, reader.buffer_size, 0, 0)) {
        reader.error = true;
        return false;
    }
    return true;
}

bool ByteReaderInitBytes(ByteReader& reader, const uint8_t* bytes, uint32_t n, bool keep_bit_order) {
    ByteReaderFree(reader);
    reader.keep_bit_order = keep_bit_order;
    if (n == 0) return true;
    uint32_t size = 0;
    if (!bytes || !RoundUpTo4(n, &size) || !MemAlloc(reader.buffer, size, 0, 0)) {
        reader.error = true;
        return false;
    }
    memcpy(reader.buffer.data(), bytes, n);
    TakeIn(reader, reader.buffer.data(), n);
    reader.buffer_size = size;
    reader.fill = n;
    ZeroTail(reader);
    return true;
}

bool ByteReaderInitBlock(ByteReader& reader, MemBlock&& block, uint32_t n) {
    ByteReaderFree(reader);
    uint32_t size = 0;
    if (!RoundUpTo4(n, &size) || block.size() < size) {
        reader.error = true;
        MemFree(block);
        return false;
    }
    reader.buffer = std::move(block);
    reader.buffer_size = size;
    reader.fill = n;
    ZeroTail(reader);
    return true;
}

void ByteReaderFree(ByteReader& reader) {
    reader.reader.Reset();
    reader.source.Reset();
    MemFree(reader.buffer);
    reader.buffer_size = 0;
    reader.remaining = 0;
    reader.offset = 0;
    reader.read_pos = 0;
    reader.fill = 0;
    reader.keep_bit_order = true;
    reader.error = false;
}

bool ByteReaderStart(ByteReader& reader, uint32_t offset, uint32_t length, const uint8_t* initial,
                     uint32_t initial_count) {
    if (!reader.source || reader.error) return false;
    // Positions are 32-bit: a range reaching past 4 GB is cut there.
    reader.offset = offset;
    reader.remaining = std::min(length, 0xFFFFFFFFu - offset);
    reader.read_pos = 0;
    reader.fill = 0;
    if (initial) {
        const uint32_t n = std::min({initial_count, reader.buffer_size, length});
        memcpy(reader.buffer.data(), initial, n);
        TakeIn(reader, reader.buffer.data(), n);
        reader.fill = n;
        reader.offset += n;
        reader.remaining -= n;
    }
    return ByteReaderFill(reader);
}

bool ByteReaderFill(ByteReader& reader) {
    if (reader.error) return false;
    if (reader.read_pos >= reader.fill) {
        reader.read_pos = 0;
        reader.fill = 0;
    }
    if (!reader.source || reader.remaining == 0) {
        ZeroTail(reader);
        return true;
    }
    const uint32_t n = std::min(reader.buffer_size - reader.fill, reader.remaining);
    if (!ReadSource(reader, reader.buffer.data() + reader.fill, n)) return false;
    reader.fill += n;
    ZeroTail(reader);
    return true;
}

bool ByteReaderRead(ByteReader& reader, void* dst, uint32_t n) {
    if (reader.error) return false;
    auto* out = static_cast<uint8_t*>(dst);
    while (n > 0) {
        if (Buffered(reader) == 0) {
            // Large reads bypass the buffer; small ones refill it.
            if (n >= reader.buffer_size) return ReadSource(reader, out, n);
            if (reader.remaining == 0 || !ByteReaderFill(reader)) {
                reader.error = true;
                return false;
            }
        }
        const uint32_t take = std::min(n, Buffered(reader));
        memcpy(out, reader.buffer.data() + reader.read_pos, take);
        reader.read_pos += take;
        out += take;
        n -= take;
    }
    return true;
}

bool ByteReaderSkip(ByteReader& reader, uint32_t n) {
    const uint32_t buffered = std::min(n, Buffered(reader));
    reader.read_pos += buffered;
    const uint32_t rest = std::min(n - buffered, reader.remaining);
    reader.offset += rest;
    reader.remaining -= rest;
    return true;
}

uint32_t ByteReaderAvailable(const ByteReader& reader) {
    const uint64_t total = uint64_t(reader.remaining) + Buffered(reader);
    return uint32_t(std::min<uint64_t>(total, 0xFFFFFFFFu));
}

uint32_t ByteReaderReadAll(ByteReader& reader, MemBlock& dst) {
    MemFree(dst);
    const uint32_t n = ByteReaderAvailable(reader);
    uint32_t size = 0;
    if (n == 0 || reader.error || !RoundUpTo4(n, &size)) return 0;
    if (!MemAlloc(dst, size, 0, 0)) return 0;
    memset(dst.data() + n, 0, size - n);
    if (!ByteReaderRead(reader, dst.data(), n)) {
        MemFree(dst);
        return 0;
    }
    return n;
}

uint32_t BitReaderNextWord(ByteReader& reader, uint32_t* real_bytes) {
    if (Buffered(reader) < 4 && reader.remaining > 0 && !reader.error) Compact(reader);
    const uint32_t n = std::min(Buffered(reader), 4u);
    if (real_bytes) *real_bytes = n;
    if (n == 0) return 0;
    const uint8_t* p = reader.buffer.data() + reader.read_pos;
    uint32_t word = 0;
    if (n == 4) {
        memcpy(&word, p, 4);  // x86 is little-endian
    } else {
        for (uint32_t i = 0; i < n; ++i) word |= uint32_t(p[i]) << (8 * i);
    }
    reader.read_pos += n;
    return word;
}
