#include "foundation/pool.h"

#include <windows.h>

#include <cstring>
#include <new>

#include "foundation/locks.h"

namespace {

constexpr uint32_t kHeaderSize = 8;
constexpr uint32_t kSlotStride = kPoolSlotUsable + kHeaderSize;

struct BlockHeader {
    uint32_t size;
    uint8_t kind;
    uint8_t reserved[3];
};
static_assert(sizeof(BlockHeader) == kHeaderSize);

BlockHeader* HeaderOf(const void* block) {
    return reinterpret_cast<BlockHeader*>(const_cast<char*>(static_cast<const char*>(block)) - kHeaderSize);
}

void* Publish(void* raw, uint32_t size, PoolBlockKind kind) {
    auto* header = static_cast<BlockHeader*>(raw);
    header->size = size;
    header->kind = kind;
    return static_cast<char*>(raw) + kHeaderSize;
}

class MemPool {
public:
    MemPool() {
        heap_ = GetProcessHeap();
        region_ = static_cast<char*>(VirtualAlloc(nullptr, kSlotStride * kPoolSlotCount,
                                                  MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
        if (!region_) return;
        for (uint32_t i = 0; i < kPoolSlotCount; ++i) free_stack_[i] = i;
        free_count_ = kPoolSlotCount;
    }

    void* TakeSlot(uint32_t size, bool zero) {
        uint32_t index;
        {
            ScopedLock hold(lock_);
            if (free_count_ == 0) return nullptr;
            index = free_stack_[--free_count_];
        }
        char* raw = region_ + index * kSlotStride;
        if (zero) memset(raw + kHeaderSize, 0, size);
        return Publish(raw, size, kBlockSlot);
    }

    void ReturnSlot(BlockHeader* header) {
        if (!region_) return;
        uint32_t index = static_cast<uint32_t>(reinterpret_cast<char*>(header) - region_) / kSlotStride;
        if (index >= kPoolSlotCount) return;
        ScopedLock hold(lock_);
        if (header->size == 0) return;  // freed twice: the second time does nothing
        header->size = 0;
        free_stack_[free_count_++] = index;
    }

    uint32_t FreeCount() {
        ScopedLock hold(lock_);
        return free_count_;
    }

    HANDLE heap() const { return heap_; }

private:
    CriticalSection lock_;
    HANDLE heap_ = nullptr;
    char* region_ = nullptr;
    uint32_t free_stack_[kPoolSlotCount] = {};
    uint32_t free_count_ = 0;
};

// The pool must outlive every other static object (strings and images are
// released from destructors that run at exit), so it is built on first use
// and never destroyed: its region goes back to the system with the process.
MemPool& Pool() {
    alignas(MemPool) static char storage[sizeof(MemPool)];
    static MemPool* pool = new (storage) MemPool();
    return *pool;
}

#ifdef POOL_GUARD_PAGES
uint32_t PageSize() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwPageSize;
}

// The block ends exactly where an inaccessible page begins, so a read or
// write one byte past it faults at once. The allocation base sits just in
// front of the header.
void* GuardedAlloc(uint32_t size, bool zero) {
    const uint64_t page = PageSize();
    const uint64_t needed = uint64_t(size) + kHeaderSize + sizeof(void*);
    const uint64_t data_bytes = (needed + page - 1) / page * page;
    if (data_bytes + page > 0x7FFFFFFFu) return nullptr;
    char* base = static_cast<char*>(
        VirtualAlloc(nullptr, SIZE_T(data_bytes + page), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    if (!base) return nullptr;
    DWORD old_protect;
    VirtualProtect(base + data_bytes, SIZE_T(page), PAGE_NOACCESS, &old_protect);
    char* header = base + data_bytes - size - kHeaderSize;
    memcpy(header - sizeof(void*), &base, sizeof(void*));
    if (zero) memset(header + kHeaderSize, 0, size);
    return Publish(header, size, kBlockGuarded);
}

void GuardedFree(BlockHeader* header) {
    char* base;
    memcpy(&base, reinterpret_cast<char*>(header) - sizeof(void*), sizeof(void*));
    VirtualFree(base, 0, MEM_RELEASE);
}
#endif

void* SystemAlloc(uint32_t size, uint32_t flags) {
    const bool small_class = flags & kPoolSmall;
    const uint32_t virtual_from = small_class ? kPoolSmallVirtualFrom : kPoolVirtualFrom;
    if (size >= virtual_from) {
        void* raw = VirtualAlloc(nullptr, SIZE_T(size) + kHeaderSize, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        return raw ? Publish(raw, size, kBlockVirtual) : nullptr;
    }
    void* raw = HeapAlloc(Pool().heap(), (flags & kPoolZero) ? HEAP_ZERO_MEMORY : 0, SIZE_T(size) + kHeaderSize);
    return raw ? Publish(raw, size, kBlockHeap) : nullptr;
}

}  // namespace

void* PoolAlloc(uint32_t size, uint32_t flags, uint32_t /*tag*/) {
    if (size == 0 || size > kPoolMaxBlock) return nullptr;
#ifdef POOL_GUARD_PAGES
    return GuardedAlloc(size, flags & kPoolZero);
#else
    if ((flags & kPoolSmall) && size < kPoolSlotUsable) {
        if (void* block = Pool().TakeSlot(size, flags & kPoolZero)) return block;
    }
    return SystemAlloc(size, flags);
#endif
}

void PoolFree(void* block) {
    if (!block) return;
    BlockHeader* header = HeaderOf(block);
    switch (header->kind) {
        case kBlockHeap:
            HeapFree(Pool().heap(), 0, header);
            break;
        case kBlockVirtual:
            VirtualFree(header, 0, MEM_RELEASE);
            break;
        case kBlockSlot:
            Pool().ReturnSlot(header);
            break;
#ifdef POOL_GUARD_PAGES
        case kBlockGuarded:
            GuardedFree(header);
            break;
#endif
        default:
            break;
    }
}

uint32_t MemSize(const void* block) { return block ? HeaderOf(block)->size : 0; }

PoolBlockKind PoolBlockKindOf(const void* block) { return PoolBlockKind(HeaderOf(block)->kind); }

uint32_t PoolFreeSlotCount() { return Pool().FreeCount(); }

bool PoolGuardPagesEnabled() {
#ifdef POOL_GUARD_PAGES
    return true;
#else
    return false;
#endif
}

void* PoolRealloc(uint32_t new_size, void* block, uint32_t flags) {
    if (new_size == 0 || !block || new_size > kPoolMaxBlock) return nullptr;
    BlockHeader* header = HeaderOf(block);
    const uint32_t old_size = header->size;
    if (flags & kPoolSameClass) {
        flags &= ~uint32_t(kPoolSmall | 2);
        if (header->kind == kBlockSlot) flags |= kPoolSmall;
    }
    if (header->kind == kBlockSlot && new_size < kPoolSlotUsable && (flags & kPoolSmall)) {
        if ((flags & kPoolZero) && new_size > old_size) {
            memset(static_cast<char*>(block) + old_size, 0, new_size - old_size);
        }
        header->size = new_size;
        return block;
    }
    void* moved = PoolAlloc(new_size, flags, 0);
    if (!moved) return nullptr;
    if (!(flags & kPoolNoCopy)) memcpy(moved, block, old_size < new_size ? old_size : new_size);
    PoolFree(block);
    return moved;
}
