// Buffered reading of one byte range of a data source (or of bytes already in
// memory), optionally reversing the bit order of every byte, and the 32-bit
// words the bit reader takes from it.
#pragma once

#include <cstdint>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"

// A plain record: the destructor does what ByteReaderFree does.
struct ByteReader {
    ByteReader() = default;
    ~ByteReader();
    ByteReader(const ByteReader&) = delete;
    ByteReader& operator=(const ByteReader&) = delete;

    Ref<DataSource> source;    // null over memory
    Ref<DataReader> reader;    // opened on the source
    uint32_t buffer_size = 0;  // a multiple of 4
    uint32_t remaining = 0;    // bytes of the range not yet taken from the source
    uint32_t offset = 0;       // source position of the next byte to take from it
    MemBlock buffer;
    uint32_t read_pos = 0;
    uint32_t fill = 0;
    bool keep_bit_order = true;  // false: every byte taken in is bit-reversed
    bool error = false;          // short read or failed allocation; then every read fails
};

constexpr uint32_t kByteReaderDefaultBuffer = 16384;

// Takes a reference to the source, opens a reader on it and allocates the
// buffer (size 0 asks for the default); false with the error set when that
// fails.
bool ByteReaderInit(ByteReader& reader, DataSource* source, bool keep_bit_order, uint32_t buffer_size);
// A reader without source over a copy of n bytes.
bool ByteReaderInitBytes(ByteReader& reader, const uint8_t* bytes, uint32_t n, bool keep_bit_order);
// A reader without source over the first n bytes of a block it takes over;
// the block must hold at least n rounded up to 4 bytes. The bit order is kept.
bool ByteReaderInitBlock(ByteReader& reader, MemBlock&& block, uint32_t n);
void ByteReaderFree(ByteReader& reader);

// Sets the range to read; `initial` (may be null) are the range's first bytes
// when the caller already holds them. False without source or on error.
bool ByteReaderStart(ByteReader& reader, uint32_t offset, uint32_t length, const uint8_t* initial,
                     uint32_t initial_count);
bool ByteReaderFill(ByteReader& reader);
bool ByteReaderRead(ByteReader& reader, void* dst, uint32_t n);
bool ByteReaderSkip(ByteReader& reader, uint32_t n);
uint32_t ByteReaderAvailable(const ByteReader& reader);
// Reads every available byte into `dst` (zero padded to a multiple of 4);
// the count, or 0 on failure or when none is left.
uint32_t ByteReaderReadAll(ByteReader& reader, MemBlock& dst);

// The next 32-bit little-endian word, missing bytes at the end of the data
// reading 0. `real_bytes` (may be null) receives how many of its bytes were
// data (0 once nothing more can be had).
uint32_t BitReaderNextWord(ByteReader& reader, uint32_t* real_bytes = nullptr);
