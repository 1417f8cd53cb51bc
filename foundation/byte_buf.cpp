#include "foundation/byte_buf.h"

#include <cstring>

#include "foundation/pool.h"

Ref<ByteBuf> ByteBufCreate(uint32_t size, uint32_t flags, uint32_t tag) {
    Ref<ByteBuf> buffer = AdoptRef(new ByteBuf);
    if (size != 0 && !MemAlloc(buffer->bytes, size, flags, tag)) return nullptr;
    return buffer;
}

void ByteBufClear(ByteBuf* buffer) { MemFree(buffer->bytes); }

bool ByteBufAssign(ByteBuf* buffer, const void* bytes, uint32_t n) { return MemSet(buffer->bytes, bytes, n, 0); }

bool ByteBufAppend(ByteBuf* buffer, const void* bytes, uint32_t n) {
    return MemWrite(buffer->bytes, buffer->bytes.size(), bytes, n, true);
}

uint8_t ByteBufGetByte(const ByteBuf* buffer, uint32_t index) {
    return index < buffer->bytes.size() ? buffer->bytes.data()[index] : 0;
}

BufWriter::~BufWriter() { BufWriterFree(*this); }

bool BufWriterInit(BufWriter& writer, uint32_t capacity, ByteBuf* target) {
    BufWriterFree(writer);
    writer.target = Ref<ByteBuf>(target);
    writer.failed = false;
    if (!MemAlloc(writer.staging, capacity, 0, 0)) {
        writer.failed = true;
        return false;
    }
    writer.write = writer.staging.data();
    writer.end = writer.write + capacity;
    return true;
}

namespace {

bool PassStaged(BufWriter& writer) {
    const uint32_t staged = uint32_t(writer.write - writer.staging.data());
    writer.write = writer.staging.data();
    if (staged == 0) return true;
    if (!writer.target || !ByteBufAppend(writer.target.get(), writer.staging.data(), staged)) {
        writer.failed = true;
    }
    return !writer.failed;
}

}  // namespace

bool BufWriterAppend(BufWriter& writer, const void* bytes, uint32_t n) {
    if (writer.failed || !writer.staging.data() || !writer.target) {
        writer.failed = true;
        return false;
    }
    if (n == 0) return true;
    const uint32_t capacity = uint32_t(writer.end - writer.staging.data());
    if (uint64_t(writer.write - writer.staging.data()) + n > capacity && !PassStaged(writer)) return false;
    if (n <= capacity) {
        memcpy(writer.write, bytes, n);
        writer.write += n;
        return true;
    }
    if (!ByteBufAppend(writer.target.get(), bytes, n)) writer.failed = true;
    return !writer.failed;
}

bool BufWriterFlush(BufWriter& writer) {
    if (writer.failed) return false;
    return PassStaged(writer);
}

void BufWriterFree(BufWriter& writer) {
    writer.target.Reset();
    MemFree(writer.staging);
    writer.write = writer.end = nullptr;
}
