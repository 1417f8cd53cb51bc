// Growable, shared byte arrays and the staging writer that fills them in
// large steps.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"

class ByteBuf : public RefCounted {
public:
    MemBlock bytes;
};

// A new buffer of `size` bytes, or null when a non-zero size cannot be had.
Ref<ByteBuf> ByteBufCreate(uint32_t size, uint32_t flags, uint32_t tag);
void ByteBufClear(ByteBuf* buffer);
bool ByteBufAssign(ByteBuf* buffer, const void* bytes, uint32_t n);
bool ByteBufAppend(ByteBuf* buffer, const void* bytes, uint32_t n);
uint8_t ByteBufGetByte(const ByteBuf* buffer, uint32_t index);
inline uint32_t ByteBufSize(const ByteBuf* buffer) { return buffer->bytes.size(); }
inline uint8_t* ByteBufData(const ByteBuf* buffer) { return buffer->bytes.data(); }

// Collects small appends in a staging block and passes them to the target in
// large pieces. `failed` turns true once the target could not take bytes;
// everything after that is dropped, so callers check it before trusting the
// result.
struct BufWriter {
    BufWriter() = default;
    ~BufWriter();
    BufWriter(const BufWriter&) = delete;
    BufWriter& operator=(const BufWriter&) = delete;

    Ref<ByteBuf> target;
    MemBlock staging;
    uint8_t* write = nullptr;
    uint8_t* end = nullptr;
    bool failed = false;
};

bool BufWriterInit(BufWriter& writer, uint32_t capacity, ByteBuf* target);
bool BufWriterAppend(BufWriter& writer, const void* bytes, uint32_t n);
bool BufWriterFlush(BufWriter& writer);
// Releases the target and the staging block without flushing.
void BufWriterFree(BufWriter& writer);
