// Buffered byte output: the base that buffers, a file variant and a paged
// memory variant. A Write that fails sets `failed`; the stream then keeps
// accepting (and dropping) bytes, and the writers built on it check the flag.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/paged_buf.h"

class OutStream {
public:
    explicit OutStream(uint32_t capacity);
    virtual ~OutStream();
    OutStream(const OutStream&) = delete;
    OutStream& operator=(const OutStream&) = delete;

    // Takes a whole block; true only when all of it was taken.
    virtual bool Write(const void* block, uint32_t length) = 0;

    uint8_t* buffer = nullptr;
    uint32_t fill = 0;
    uint32_t capacity = 0;
    bool failed = false;
    uint64_t written = 0;
};

void OutStreamInit(OutStream& stream, uint32_t capacity);
void OutStreamFree(OutStream& stream);
void OutStreamWrite(OutStream& stream, const void* block, uint32_t n);
void OutStreamPutByte(OutStream& stream, uint8_t byte);
bool OutStreamFlush(OutStream& stream);
uint64_t OutStreamPosition(const OutStream& stream);

// Writes to a file handle that its creator opened and closes after the
// stream is gone.
class FileOutStream : public OutStream {
public:
    explicit FileOutStream(HANDLE file);
    ~FileOutStream() override;
    bool Write(const void* block, uint32_t length) override;

    HANDLE file;
};

void FileOutStreamInit(FileOutStream& stream, HANDLE file);
bool FileOutStreamWrite(FileOutStream& stream, const void* block, uint32_t n);
void FileOutStreamFree(FileOutStream& stream);

// Writes into a paged buffer that its creator frees after the stream.
class PagedBufOutStream : public OutStream {
public:
    explicit PagedBufOutStream(PagedBuf& target);
    ~PagedBufOutStream() override;
    bool Write(const void* block, uint32_t length) override;

    PagedBuf* target;
};

void PagedBufOutStreamInit(PagedBufOutStream& stream, PagedBuf& target);
bool PagedBufOutStreamWrite(PagedBufOutStream& stream, const void* block, uint32_t n);
