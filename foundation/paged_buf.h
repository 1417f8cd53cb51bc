// A byte store that grows by whole committed chunks and never copies what it
// already holds: the target of the paged output stream.
#pragma once

#include <cstdint>

struct PagedChunk;

struct PagedBuf {
    PagedBuf() = default;
    ~PagedBuf();
    PagedBuf(const PagedBuf&) = delete;
    PagedBuf& operator=(const PagedBuf&) = delete;

    PagedChunk* first = nullptr;
    PagedChunk* last = nullptr;
    uint32_t total = 0;
    uint32_t chunk_size = 0;
};

// Rounds the chunk size up to whole pages (at least one).
void PagedBufInit(PagedBuf& buffer, uint32_t chunk_size);
bool PagedBufAppend(PagedBuf& buffer, const void* bytes, uint32_t n);
uint32_t PagedBufRead(const PagedBuf& buffer, uint32_t offset, void* destination, uint32_t n);
void PagedBufFree(PagedBuf& buffer);
