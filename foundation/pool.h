// The process-wide block allocator behind strings, builders, memory blocks,
// hash tables, palettes and image buffers. Every block carries an 8-byte
// header (requested size, kind) in front of the pointer handed out.
#pragma once

#include <cstdint>

enum PoolFlags : uint32_t {
    kPoolSmall = 1,      // may use the 16 small slots; virtual memory from 5000 bytes
    kPoolZero = 4,       // zero-filled
    kPoolNoCopy = 8,     // realloc: the old contents are not copied
    kPoolSameClass = 16, // realloc: keep the block in the class of the old one
};

enum PoolBlockKind : uint8_t {
    kBlockHeap = 0,
    kBlockVirtual = 1,
    kBlockSlot = 2,
    kBlockGuarded = 3,  // only in the guard-page build
};

constexpr uint32_t kPoolSlotCount = 16;
constexpr uint32_t kPoolSlotUsable = 512;
constexpr uint32_t kPoolSmallVirtualFrom = 5000;
constexpr uint32_t kPoolVirtualFrom = 65500;
// Nothing larger is ever handed out: the header would not fit a 32-bit size.
constexpr uint32_t kPoolMaxBlock = 0xFFFFFFFFu - 4096;

void* PoolAlloc(uint32_t size, uint32_t flags, uint32_t tag);
void PoolFree(void* block);
uint32_t MemSize(const void* block);
void* PoolRealloc(uint32_t new_size, void* block, uint32_t flags);

// Which kind of storage a block came from (for tests and diagnostics).
PoolBlockKind PoolBlockKindOf(const void* block);
// Number of small slots free right now.
uint32_t PoolFreeSlotCount();
// Freed blocks of virtual memory kept for reuse, and their release (they
// also go back to the system a few seconds after they were freed).
uint32_t PoolSpareBlockCount();
void PoolReleaseSpareBlocks();
// True in the build where every block ends against an inaccessible page.
bool PoolGuardPagesEnabled();
