#include "foundation/mem_block.h"

#include <cstring>

#include "foundation/pool.h"

MemBlock::~MemBlock() { MemFree(*this); }

MemBlock& MemBlock::operator=(MemBlock&& other) noexcept {
    if (this != &other) {
        MemFree(*this);
        block = std::exchange(other.block, nullptr);
    }
    return *this;
}

uint32_t MemBlock::size() const { return MemSize(block); }

void* MemAlloc(MemBlock& owner, uint32_t size, uint32_t flags, uint32_t tag) {
    MemFree(owner);
    if (size == 0) return nullptr;
    owner.block = PoolAlloc(size, flags, tag);
    return owner.block;
}

void MemFree(MemBlock& owner) {
    if (owner.block) PoolFree(std::exchange(owner.block, nullptr));
}

bool MemSet(MemBlock& owner, const void* bytes, uint32_t n, uint32_t flags) {
    if (!bytes || n == 0) {
        MemFree(owner);
        return true;
    }
    // Copy before freeing: the source may be the owner's own block.
    void* fresh = PoolAlloc(n, flags, 0);
    if (fresh) memcpy(fresh, bytes, n);
    MemFree(owner);
    owner.block = fresh;
    return fresh != nullptr;
}

bool MemResize(MemBlock& owner, uint32_t n, uint32_t flags) {
    if (!owner.block) {
        if (n == 0) return true;
        owner.block = PoolAlloc(n, flags, 0);
        return owner.block != nullptr;
    }
    if (n == 0) {
        MemFree(owner);
        return true;
    }
    void* moved = PoolRealloc(n, owner.block, flags);
    if (!moved) return false;
    owner.block = moved;
    return true;
}

bool MemWrite(MemBlock& owner, uint32_t offset, const void* bytes, uint32_t n, bool grow) {
    if (!bytes || n == 0) return true;
    const uint64_t end = uint64_t(offset) + n;
    const uint32_t size = owner.size();
    if (end <= size) {
        memmove(owner.data() + offset, bytes, n);
        return true;
    }
    if (grow) {
        if (end > kPoolMaxBlock) return false;
        // Resizing may move the block, so a source inside it is copied aside.
        const uint8_t* own = owner.data();
        const auto* source = static_cast<const uint8_t*>(bytes);
        if (own && source >= own && source < own + size) {
            MemBlock copy;
            if (!MemSet(copy, bytes, n, 0)) return false;
            return MemWrite(owner, offset, copy.data(), n, true);
        }
        if (!MemResize(owner, uint32_t(end), 0)) return false;
        memcpy(owner.data() + offset, bytes, n);
        return true;
    }
    if (offset >= size) return false;
    memmove(owner.data() + offset, bytes, size - offset);
    return true;
}

bool MemCopy(MemBlock& owner, const MemBlock& other) {
    if (&owner == &other) return true;
    return MemSet(owner, other.block, other.size(), 0);
}
