// The owner of one pool block. The size lives in the block's own header, so
// the owner is a single pointer, embedded by value in other objects.
#pragma once

#include <cstdint>
#include <utility>

class MemBlock {
public:
    MemBlock() = default;
    ~MemBlock();
    MemBlock(const MemBlock&) = delete;
    MemBlock& operator=(const MemBlock&) = delete;
    MemBlock(MemBlock&& other) noexcept : block(std::exchange(other.block, nullptr)) {}
    MemBlock& operator=(MemBlock&& other) noexcept;

    uint8_t* data() const { return static_cast<uint8_t*>(block); }
    uint32_t size() const;

    void* block = nullptr;
};

// A block of `size` bytes from the pool; null for size 0. Any block held
// before is freed first.
void* MemAlloc(MemBlock& owner, uint32_t size, uint32_t flags, uint32_t tag);
void MemFree(MemBlock& owner);
// Replaces the contents with a copy of `bytes`; null bytes or n = 0 empties.
// Safe when `bytes` lies inside the owner's own block.
bool MemSet(MemBlock& owner, const void* bytes, uint32_t n, uint32_t flags);
bool MemResize(MemBlock& owner, uint32_t n, uint32_t flags);
bool MemWrite(MemBlock& owner, uint32_t offset, const void* bytes, uint32_t n, bool grow);
bool MemCopy(MemBlock& owner, const MemBlock& other);
