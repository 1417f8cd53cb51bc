#include "foundation/out_stream.h"

#include <cstring>

namespace {
constexpr uint32_t kFileStreamCapacity = 8192;
constexpr uint32_t kPagedStreamCapacity = 1024;
}  // namespace

OutStream::OutStream(uint32_t capacity) { OutStreamInit(*this, capacity); }

OutStream::~OutStream() { OutStreamFree(*this); }

void OutStreamInit(OutStream& stream, uint32_t capacity) {
    OutStreamFree(stream);
    stream.buffer = new uint8_t[capacity ? capacity : 1];
    stream.capacity = capacity ? capacity : 1;
    stream.fill = 0;
    stream.failed = false;
    stream.written = 0;
}

void OutStreamFree(OutStream& stream) {
    delete[] stream.buffer;
    stream.buffer = nullptr;
    stream.fill = 0;
}

bool OutStreamFlush(OutStream& stream) {
    if (stream.fill == 0) return false;
    const uint32_t pending = stream.fill;
    stream.fill = 0;
    const bool ok = stream.Write(stream.buffer, pending);
    if (ok) {
        stream.written += pending;
    } else {
        stream.failed = true;
    }
    return ok;
}

void OutStreamWrite(OutStream& stream, const void* block, uint32_t n) {
    if (uint64_t(stream.fill) + n < stream.capacity) {
        memcpy(stream.buffer + stream.fill, block, n);
        stream.fill += n;
        return;
    }
    if (stream.fill) OutStreamFlush(stream);
    if (stream.Write(block, n)) {
        stream.written += n;
    } else {
        stream.failed = true;
    }
}

void OutStreamPutByte(OutStream& stream, uint8_t byte) {
    stream.buffer[stream.fill++] = byte;
    if (stream.fill >= stream.capacity) OutStreamFlush(stream);
}

uint64_t OutStreamPosition(const OutStream& stream) { return stream.written + stream.fill; }

FileOutStream::FileOutStream(HANDLE file) : OutStream(kFileStreamCapacity), file(file) {}

FileOutStream::~FileOutStream() { FileOutStreamFree(*this); }

bool FileOutStream::Write(const void* block, uint32_t length) { return FileOutStreamWrite(*this, block, length); }

void FileOutStreamInit(FileOutStream& stream, HANDLE file) {
    OutStreamInit(stream, kFileStreamCapacity);
    stream.file = file;
}

bool FileOutStreamWrite(FileOutStream& stream, const void* block, uint32_t n) {
    if (n == 0) return true;
    DWORD done = 0;
    return WriteFile(stream.file, block, n, &done, nullptr) && done == n;
}

void FileOutStreamFree(FileOutStream& stream) {
    if (stream.buffer) OutStreamFlush(stream);
    OutStreamFree(stream);
}

PagedBufOutStream::PagedBufOutStream(PagedBuf& target) : OutStream(kPagedStreamCapacity), target(&target) {}

PagedBufOutStream::~PagedBufOutStream() {
    if (buffer) OutStreamFlush(*this);
    OutStreamFree(*this);
}

bool PagedBufOutStream::Write(const void* block, uint32_t length) {
    return PagedBufOutStreamWrite(*this, block, length);
}

void PagedBufOutStreamInit(PagedBufOutStream& stream, PagedBuf& target) {
    OutStreamInit(stream, kPagedStreamCapacity);
    stream.target = &target;
}

bool PagedBufOutStreamWrite(PagedBufOutStream& stream, const void* block, uint32_t n) {
    return PagedBufAppend(*stream.target, block, n);
}
