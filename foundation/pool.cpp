#include "foundation/pool.h"

#include <windows.h>

#include <atomic>
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

// Freed blocks of virtual memory kept a few seconds for the next allocation
// they fit. Renders free and allocate the same large sizes over and over (a
// page image, a reduction's sums and maps), and touching fresh pages for the
// first time costs several times more than clearing pages already mapped.
// A kept block is cleared before it is handed out again, so callers still
// get zero-filled memory, as from the system.
class SpareBlocks {
public:
    // A kept block of at least `bytes` and at most twice that, cleared over
    // `bytes`; null when none fits.
    void* Take(SIZE_T bytes) {
        void* raw = nullptr;
        {
            ScopedLock hold(lock_);
            uint32_t best = count_;
            for (uint32_t i = 0; i < count_; ++i) {
                const SIZE_T capacity = spares_[i].capacity;
                if (capacity >= bytes && capacity / 2 <= bytes &&
                    (best == count_ || capacity < spares_[best].capacity))
                    best = i;
            }
            if (best == count_) return nullptr;
            raw = spares_[best].raw;
            RemoveAt(best);
        }
        memset(raw, 0, bytes);
        return raw;
    }

    // Keeps a freed block; false when the caller must release it.
    bool Keep(void* raw) {
        MEMORY_BASIC_INFORMATION region;
        if (VirtualQuery(raw, &region, sizeof region) != sizeof region || region.AllocationBase != raw) return false;
        const SIZE_T capacity = region.RegionSize;
        if (capacity < kSpareMinBytes || capacity > kSpareMaxBytes) return false;
        void* evicted[kSpareCount];
        uint32_t evicted_count = 0;
        {
            ScopedLock hold(lock_);
            // A block freed twice is kept once (it would be handed out twice).
            for (uint32_t i = 0; i < count_; ++i)
                if (spares_[i].raw == raw) return true;
            // The oldest go first to make room.
            while (count_ > 0 && (count_ == kSpareCount || total_ + capacity > kSpareMaxBytes)) {
                evicted[evicted_count++] = spares_[0].raw;
                RemoveAt(0);
            }
            spares_[count_++] = {raw, capacity, GetTickCount()};
            total_ += capacity;
            Published();
        }
        for (uint32_t i = 0; i < evicted_count; ++i) VirtualFree(evicted[i], 0, MEM_RELEASE);
        return true;
    }

    // Releases the blocks kept longer than their lifetime (every block with
    // `all`). Costs one load when nothing is kept.
    void Release(bool all) {
        if (count_hint_.load(std::memory_order_relaxed) == 0) return;
        if (!all && GetTickCount() - oldest_hint_.load(std::memory_order_relaxed) < kSpareLifetimeMs) return;
        void* released[kSpareCount];
        uint32_t released_count = 0;
        {
            ScopedLock hold(lock_);
            const DWORD now = GetTickCount();
            while (count_ > 0 && (all || now - spares_[0].freed_at >= kSpareLifetimeMs)) {
                released[released_count++] = spares_[0].raw;
                RemoveAt(0);
            }
        }
        for (uint32_t i = 0; i < released_count; ++i) VirtualFree(released[i], 0, MEM_RELEASE);
    }

    uint32_t Count() {
        ScopedLock hold(lock_);
        return count_;
    }

private:
    static constexpr uint32_t kSpareCount = 8;
    static constexpr SIZE_T kSpareMinBytes = 256 * 1024;
    // Room for a photograph's page at 1:1 and the blocks of a reduction
    // beside it; less in the 32-bit build, whose address space is tighter.
    static constexpr SIZE_T kSpareMaxBytes = sizeof(void*) == 8 ? SIZE_T(256) << 20 : SIZE_T(128) << 20;
    static constexpr DWORD kSpareLifetimeMs = 5000;

    struct Spare {
        void* raw;
        SIZE_T capacity;
        DWORD freed_at;
    };

    // Keeps the list in the order the blocks were freed, oldest first.
    void RemoveAt(uint32_t index) {
        total_ -= spares_[index].capacity;
        for (uint32_t i = index + 1; i < count_; ++i) spares_[i - 1] = spares_[i];
        --count_;
        Published();
    }

    // What Release reads without the lock.
    void Published() {
        oldest_hint_.store(count_ ? spares_[0].freed_at : 0, std::memory_order_relaxed);
        count_hint_.store(count_, std::memory_order_relaxed);
    }

    CriticalSection lock_;
    Spare spares_[kSpareCount] = {};
    uint32_t count_ = 0;
    SIZE_T total_ = 0;
    std::atomic<uint32_t> count_hint_{0};
    std::atomic<DWORD> oldest_hint_{0};
};

// Built on first use and never destroyed, as the pool.
SpareBlocks& Spares() {
    alignas(SpareBlocks) static char storage[sizeof(SpareBlocks)];
    static SpareBlocks* spares = new (storage) SpareBlocks();
    return *spares;
}

void* VirtualBlock(uint32_t size) {
    const SIZE_T bytes = SIZE_T(size) + kHeaderSize;
    void* raw = Spares().Take(bytes);
    if (!raw) raw = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    if (!raw) {
        // Kept blocks may be what the address space lacks.
        Spares().Release(true);
        raw = VirtualAlloc(nullptr, bytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    return raw ? Publish(raw, size, kBlockVirtual) : nullptr;
}

void* SystemAlloc(uint32_t size, uint32_t flags) {
    const bool small_class = flags & kPoolSmall;
    const uint32_t virtual_from = small_class ? kPoolSmallVirtualFrom : kPoolVirtualFrom;
    if (size >= virtual_from) return VirtualBlock(size);
    void* raw = HeapAlloc(Pool().heap(), (flags & kPoolZero) ? HEAP_ZERO_MEMORY : 0, SIZE_T(size) + kHeaderSize);
    return raw ? Publish(raw, size, kBlockHeap) : nullptr;
}

}  // namespace

void* PoolAlloc(uint32_t size, uint32_t flags, uint32_t /*tag*/) {
    if (size == 0 || size > kPoolMaxBlock) return nullptr;
#ifdef POOL_GUARD_PAGES
    return GuardedAlloc(size, flags & kPoolZero);
#else
    Spares().Release(false);
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
            if (!Spares().Keep(header)) VirtualFree(header, 0, MEM_RELEASE);
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

uint32_t PoolSpareBlockCount() { return Spares().Count(); }

void PoolReleaseSpareBlocks() { Spares().Release(true); }

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
