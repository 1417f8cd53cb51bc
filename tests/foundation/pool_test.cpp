#include "foundation/pool.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <vector>

#include "tests/support/test_support.h"

TEST(TestHarness, RunsHostToolsWithTheirExitCode) {
    EXPECT_EQ(RunHostCommand("true"), 0);
    EXPECT_EQ(RunHostCommand("exit 3"), 3);
}

namespace {

PoolBlockKind KindOfNew(uint32_t size, uint32_t flags) {
    void* block = PoolAlloc(size, flags, 0);
    EXPECT_NE(block, nullptr);
    PoolBlockKind kind = PoolBlockKindOf(block);
    EXPECT_EQ(MemSize(block), size);
    PoolFree(block);
    return kind;
}

}  // namespace

TEST(PoolClasses, SizeAndFlagChooseTheStorage) {
    if (PoolGuardPagesEnabled()) GTEST_SKIP() << "every block is guarded in this build";
    EXPECT_EQ(KindOfNew(1, kPoolSmall), kBlockSlot);
    EXPECT_EQ(KindOfNew(511, kPoolSmall), kBlockSlot);
    EXPECT_EQ(KindOfNew(512, kPoolSmall), kBlockHeap);
    EXPECT_EQ(KindOfNew(4999, kPoolSmall), kBlockHeap);
    EXPECT_EQ(KindOfNew(5000, kPoolSmall), kBlockVirtual);
    EXPECT_EQ(KindOfNew(100, 0), kBlockHeap);
    EXPECT_EQ(KindOfNew(65499, 0), kBlockHeap);
    EXPECT_EQ(KindOfNew(65500, 0), kBlockVirtual);
    EXPECT_EQ(PoolAlloc(0, kPoolSmall, 0), nullptr);
    EXPECT_EQ(MemSize(nullptr), 0u);
}

TEST(PoolClasses, AllSlotsTakenFallsBackToTheHeap) {
    if (PoolGuardPagesEnabled()) GTEST_SKIP();
    std::vector<void*> taken;
    while (PoolFreeSlotCount() > 0) taken.push_back(PoolAlloc(16, kPoolSmall, 0));
    void* extra = PoolAlloc(100, kPoolSmall, 0);
    EXPECT_EQ(PoolBlockKindOf(extra), kBlockHeap);
    PoolFree(extra);
    const uint32_t before = PoolFreeSlotCount();
    PoolFree(taken.back());
    PoolFree(taken.back());  // a second free of a slot does nothing
    EXPECT_EQ(PoolFreeSlotCount(), before + 1);
    taken.pop_back();
    for (void* block : taken) PoolFree(block);
}

// Each kind of block (slot, heap, virtual memory) is first dirtied and freed,
// so that the zero-filled allocation that follows most likely gets the same
// memory back and must clear it.
TEST(PoolClasses, ZeroFlagClearsEveryKind) {
    for (uint32_t size : {100u, 3000u, 70000u}) {
        auto* block = static_cast<uint8_t*>(PoolAlloc(size, kPoolSmall, 0));
        ASSERT_NE(block, nullptr);
        memset(block, 0xAB, size);
        PoolFree(block);
        block = static_cast<uint8_t*>(PoolAlloc(size, kPoolSmall | kPoolZero, 0));
        ASSERT_NE(block, nullptr);
        for (uint32_t i = 0; i < size; ++i) ASSERT_EQ(block[i], 0) << size;
        PoolFree(block);
    }
}

// Freed virtual blocks are kept for the next allocation they fit; what comes
// back must be as zero-filled as fresh system memory, a block freed twice
// must not be handed out twice, and a small request must not take a block
// many times its size.
TEST(PoolSpares, KeptBlocksComeBackClearedAndOnlyOnce) {
    if (PoolGuardPagesEnabled()) GTEST_SKIP();
    PoolReleaseSpareBlocks();
    constexpr uint32_t kSize = 1 << 20;
    auto* block = static_cast<uint8_t*>(PoolAlloc(kSize, 0, 0));
    ASSERT_NE(block, nullptr);
    memset(block, 0xAB, kSize);
    PoolFree(block);
    PoolFree(block);
    EXPECT_EQ(PoolSpareBlockCount(), 1u);
    void* quarter = PoolAlloc(kSize / 4, 0, 0);
    EXPECT_NE(quarter, block);
    auto* again = static_cast<uint8_t*>(PoolAlloc(kSize - 100, 0, 0));
    EXPECT_EQ(again, block);
    EXPECT_EQ(MemSize(again), kSize - 100);
    for (uint32_t i = 0; i < kSize - 100; i += 97) ASSERT_EQ(again[i], 0) << i;
    auto* other = static_cast<uint8_t*>(PoolAlloc(kSize, 0, 0));
    EXPECT_NE(other, again);
    PoolFree(again);
    PoolFree(other);
    PoolFree(quarter);
    PoolReleaseSpareBlocks();
    EXPECT_EQ(PoolSpareBlockCount(), 0u);
}

TEST(PoolRealloc, SlotStaysInPlaceOrMovesWithItsBytes) {
    if (PoolGuardPagesEnabled()) GTEST_SKIP();
    auto* block = static_cast<uint8_t*>(PoolAlloc(100, kPoolSmall, 0));
    for (int i = 0; i < 100; ++i) block[i] = uint8_t(i);
    void* same = PoolRealloc(300, block, kPoolSmall | kPoolZero);
    EXPECT_EQ(same, block);
    EXPECT_EQ(MemSize(same), 300u);
    EXPECT_EQ(block[150], 0);
    auto* moved = static_cast<uint8_t*>(PoolRealloc(600, same, kPoolSmall));
    EXPECT_EQ(PoolBlockKindOf(moved), kBlockHeap);
    for (int i = 0; i < 100; ++i) ASSERT_EQ(moved[i], i);
    PoolFree(moved);
}

TEST(PoolRealloc, SameClassFlagFollowsTheOldBlock) {
    if (PoolGuardPagesEnabled()) GTEST_SKIP();
    void* slot = PoolAlloc(50, kPoolSmall, 0);
    void* grown = PoolRealloc(200, slot, kPoolSameClass);
    EXPECT_EQ(grown, slot);
    PoolFree(grown);
    void* heap = PoolAlloc(50, 0, 0);
    void* heap_grown = PoolRealloc(200, heap, kPoolSmall | kPoolSameClass);
    EXPECT_EQ(PoolBlockKindOf(heap_grown), kBlockHeap);
    PoolFree(heap_grown);
    EXPECT_EQ(PoolRealloc(0, heap_grown, 0), nullptr);
    EXPECT_EQ(PoolRealloc(10, nullptr, 0), nullptr);
}

TEST(PoolLimits, HugeSizesAreRefusedNotWrapped) {
    EXPECT_EQ(PoolAlloc(0xFFFFFFFFu, 0, 0), nullptr);
    EXPECT_EQ(PoolAlloc(0xFFFFFFF9u, kPoolSmall, 0), nullptr);
    void* block = PoolAlloc(10, 0, 0);
    EXPECT_EQ(PoolRealloc(0xFFFFFFFCu, block, 0), nullptr);
    PoolFree(block);  // still valid after the refused realloc
}

// Slots from many threads at once, then kept virtual blocks: no block is
// ever handed to two threads.
TEST(PoolThreads, BlocksAreNeverShared) {
    const uint32_t free_before = PoolFreeSlotCount();
    ASSERT_TRUE(RunConcurrently(8, [](int t) {
        for (int i = 0; i < 20000; ++i) {
            auto* block = static_cast<uint8_t*>(PoolAlloc(64, kPoolSmall, 0));
            ASSERT_NE(block, nullptr);
            memset(block, t, 64);
            for (int k = 0; k < 64; ++k) ASSERT_EQ(block[k], t);
            PoolFree(block);
        }
        for (int i = 0; i < 300; ++i) {
            const uint32_t size = (300 + 40 * ((i + t) % 4)) * 1024;
            auto* block = static_cast<uint8_t*>(PoolAlloc(size, 0, 0));
            ASSERT_NE(block, nullptr);
            memset(block, t + 1, size);
            for (uint32_t k = 0; k < size; k += 4093) ASSERT_EQ(block[k], t + 1);
            PoolFree(block);
        }
    }));
    EXPECT_EQ(PoolFreeSlotCount(), free_before);
}

namespace {

// Records an access violation and opens the faulting page so the write can
// go on: the test then sees that the fault happened at the first byte past
// the block.
volatile uintptr_t g_fault_address = 0;

LONG CALLBACK OpenFaultingPage(EXCEPTION_POINTERS* info) {
    if (info->ExceptionRecord->ExceptionCode != EXCEPTION_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
    g_fault_address = info->ExceptionRecord->ExceptionInformation[1];
    DWORD old_protect;
    VirtualProtect(reinterpret_cast<void*>(g_fault_address), 1, PAGE_READWRITE, &old_protect);
    return EXCEPTION_CONTINUE_EXECUTION;
}

}  // namespace

TEST(PoolGuardPages, WritePastTheEndFaults) {
    if (!PoolGuardPagesEnabled())
        GTEST_SKIP() << "only the guard-page build places blocks against a guard page";
    auto* block = static_cast<volatile uint8_t*>(PoolAlloc(37, 0, 0));
    void* handler = AddVectoredExceptionHandler(1, OpenFaultingPage);
    g_fault_address = 0;
    block[36] = 1;
    EXPECT_EQ(g_fault_address, 0u);
    block[37] = 1;
    EXPECT_EQ(g_fault_address, reinterpret_cast<uintptr_t>(block + 37));
    RemoveVectoredExceptionHandler(handler);
    PoolFree(const_cast<uint8_t*>(block));
}
