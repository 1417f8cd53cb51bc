#include "foundation/paged_buf.h"

#include <windows.h>

#include <cstring>

struct PagedChunk {
    uint32_t capacity;  // allocation size minus this header
    uint32_t used;
    PagedChunk* next;
    uint8_t* data() { return reinterpret_cast<uint8_t*>(this) + sizeof(PagedChunk); }
};
static_assert(sizeof(void*) != 4 || sizeof(PagedChunk) == 12);

namespace {

uint32_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize ? info.dwPageSize : 4096;
}

PagedChunk* PagedBufNewChunk(PagedBuf& buffer, uint32_t rest) {
    const uint64_t chunk = buffer.chunk_size;
    const uint64_t needed = uint64_t(rest) + sizeof(PagedChunk);
    const uint64_t bytes = needed < chunk ? chunk : (needed + chunk - 1) / chunk * chunk;
    if (bytes > 0x7FFFFFFFu) return nullptr;
    auto* fresh = static_cast<PagedChunk*>(VirtualAlloc(nullptr, SIZE_T(bytes), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!fresh) return nullptr;
    fresh->capacity = uint32_t(bytes - sizeof(PagedChunk));
    fresh->used = 0;
    fresh->next = nullptr;
    if (buffer.last) {
        buffer.last->next = fresh;
    } else {
        buffer.first = fresh;
    }
    buffer.last = fresh;
    return fresh;
}

}  // namespace

PagedBuf::~PagedBuf() { PagedBufFree(*this); }

void PagedBufInit(PagedBuf& buffer, uint32_t chunk_size) {
    PagedBufFree(buffer);
    const uint32_t page = PageSize();
    const uint64_t rounded = (uint64_t(chunk_size) + page - 1) / page * page;
    buffer.chunk_size = uint32_t(rounded < page ? page : rounded > 0x40000000u ? 0x40000000u : rounded);
}

bool PagedBufAppend(PagedBuf& buffer, const void* bytes, uint32_t n) {
    if (n == 0) return true;
    if (uint64_t(buffer.total) + n > 0xFFFFFFFFu) return false;
    if (buffer.chunk_size == 0) PagedBufInit(buffer, 0);
    const auto* source = static_cast<const uint8_t*>(bytes);
    uint32_t rest = n;
    if (PagedChunk* last = buffer.last) {
        const uint32_t room = last->capacity - last->used;
        const uint32_t take = room < rest ? room : rest;
        memcpy(last->data() + last->used, source, take);
        last->used += take;
        buffer.total += take;
        source += take;
        rest -= take;
    }
    if (rest == 0) return true;
    PagedChunk* fresh = PagedBufNewChunk(buffer, rest);
    if (!fresh) return false;
    memcpy(fresh->data(), source, rest);
    fresh->used = rest;
    buffer.total += rest;
    return true;
}

uint32_t PagedBufRead(const PagedBuf& buffer, uint32_t offset, void* destination, uint32_t n) {
    if (offset >= buffer.total || n == 0) return 0;
    auto* target = static_cast<uint8_t*>(destination);
    uint32_t copied = 0;
    for (PagedChunk* chunk = buffer.first; chunk && copied < n; chunk = chunk->next) {
        if (offset >= chunk->used) {
            offset -= chunk->used;
            continue;
        }
        uint32_t take = chunk->used - offset;
        if (take > n - copied) take = n - copied;
        memcpy(target + copied, chunk->data() + offset, take);
        copied += take;
        offset = 0;
    }
    return copied;
}

void PagedBufFree(PagedBuf& buffer) {
    for (PagedChunk* chunk = buffer.first; chunk;) {
        PagedChunk* next = chunk->next;
        VirtualFree(chunk, 0, MEM_RELEASE);
        chunk = next;
    }
    buffer.first = buffer.last = nullptr;
    buffer.total = 0;
}
