#include <gtest/gtest.h>

#include <cstring>
#include <numeric>
#include <vector>

#include "foundation/bit_writer.h"
#include "foundation/byte_buf.h"
#include "foundation/mem_block.h"
#include "foundation/out_stream.h"
#include "foundation/paged_buf.h"
#include "foundation/pool.h"

namespace {

std::vector<uint8_t> Bytes(const MemBlock& block) { return {block.data(), block.data() + block.size()}; }

std::vector<uint8_t> Sequence(uint32_t n, uint8_t start = 0) {
    std::vector<uint8_t> bytes(n);
    std::iota(bytes.begin(), bytes.end(), start);
    return bytes;
}

// Collects what reaches Write, and can be told to refuse.
class RecordingStream : public OutStream {
public:
    explicit RecordingStream(uint32_t capacity) : OutStream(capacity) {}
    bool Write(const void* block, uint32_t length) override {
        calls.push_back(length);
        if (refuse) return false;
        const auto* bytes = static_cast<const uint8_t*>(block);
        out.insert(out.end(), bytes, bytes + length);
        return true;
    }
    std::vector<uint8_t> out;
    std::vector<uint32_t> calls;
    bool refuse = false;
};

}  // namespace

TEST(MemBlockOps, SetResizeAndCopy) {
    MemBlock block;
    auto data = Sequence(10);
    ASSERT_TRUE(MemSet(block, data.data(), 10, 0));
    EXPECT_EQ(Bytes(block), data);
    ASSERT_TRUE(MemResize(block, 4, 0));
    EXPECT_EQ(Bytes(block), Sequence(4));
    MemBlock other;
    ASSERT_TRUE(MemCopy(other, block));
    EXPECT_EQ(Bytes(other), Sequence(4));
    EXPECT_NE(other.block, block.block);
    ASSERT_TRUE(MemSet(block, nullptr, 5, 0));
    EXPECT_EQ(block.block, nullptr);
    ASSERT_TRUE(MemResize(block, 0, 0));
    EXPECT_EQ(MemAlloc(block, 0, 0, 0), nullptr);
}

TEST(MemBlockOps, SelfAssignmentKeepsTheBytes) {
    MemBlock block;
    auto data = Sequence(300, 7);
    ASSERT_TRUE(MemSet(block, data.data(), 300, kPoolSmall));
    ASSERT_TRUE(MemSet(block, block.data(), 300, 0));
    EXPECT_EQ(Bytes(block), data);
    ASSERT_TRUE(MemCopy(block, block));
    EXPECT_EQ(Bytes(block), data);
    // Appending the buffer's own bytes to itself must survive the move.
    ASSERT_TRUE(MemWrite(block, 300, block.data(), 300, true));
    std::vector<uint8_t> twice = data;
    twice.insert(twice.end(), data.begin(), data.end());
    EXPECT_EQ(Bytes(block), twice);
}

TEST(MemBlockOps, WriteWithAndWithoutGrowing) {
    MemBlock block;
    auto data = Sequence(8);
    ASSERT_TRUE(MemSet(block, data.data(), 8, 0));
    const uint8_t patch[4] = {0xA, 0xB, 0xC, 0xD};
    EXPECT_FALSE(MemWrite(block, 8, patch, 4, false));  // starts past the end
    EXPECT_TRUE(MemWrite(block, 6, patch, 4, false));   // copies what fits
    EXPECT_EQ(Bytes(block), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 0xA, 0xB}));
    EXPECT_TRUE(MemWrite(block, 6, patch, 4, true));
    EXPECT_EQ(Bytes(block), (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 0xA, 0xB, 0xC, 0xD}));
    EXPECT_TRUE(MemWrite(block, 2, nullptr, 4, false));
    EXPECT_FALSE(MemWrite(block, 0xFFFFFFF0u, patch, 4, true));  // offset + n would wrap
    EXPECT_EQ(block.size(), 10u);
}

TEST(ByteBufOps, AppendAssignAndBytesPastTheEnd) {
    Ref<ByteBuf> buffer = ByteBufCreate(0, 0, 0);
    ASSERT_TRUE(buffer);
    EXPECT_EQ(ByteBufSize(buffer.get()), 0u);
    ASSERT_TRUE(ByteBufAppend(buffer.get(), "abc", 3));
    ASSERT_TRUE(ByteBufAppend(buffer.get(), "de", 2));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ByteBufData(buffer.get())), 5), "abcde");
    EXPECT_EQ(ByteBufGetByte(buffer.get(), 4), 'e');
    EXPECT_EQ(ByteBufGetByte(buffer.get(), 5), 0);
    ASSERT_TRUE(ByteBufAssign(buffer.get(), ByteBufData(buffer.get()) + 1, 3));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(ByteBufData(buffer.get())), 3), "bcd");
    ByteBufClear(buffer.get());
    EXPECT_EQ(ByteBufSize(buffer.get()), 0u);
    EXPECT_FALSE(ByteBufCreate(0xFFFFFFFFu, 0, 0));
}

TEST(BufWriterOps, StagesSmallPiecesAndPassesLargeOnes) {
    Ref<ByteBuf> target = ByteBufCreate(0, 0, 0);
    BufWriter writer;
    ASSERT_TRUE(BufWriterInit(writer, 16, target.get()));
    std::vector<uint8_t> expected;
    for (uint32_t n : {5u, 5u, 5u, 5u, 40u, 3u, 16u, 1u}) {
        auto piece = Sequence(n, uint8_t(expected.size()));
        ASSERT_TRUE(BufWriterAppend(writer, piece.data(), n));
        expected.insert(expected.end(), piece.begin(), piece.end());
    }
    ASSERT_TRUE(BufWriterFlush(writer));
    BufWriterFree(writer);
    EXPECT_EQ(Bytes(target->bytes), expected);
    EXPECT_EQ(target->RefCountForTests(), 1u);
}

TEST(BufWriterOps, WithoutStagingBlockAppendsFail) {
    BufWriter writer;
    EXPECT_FALSE(BufWriterAppend(writer, "x", 1));
    EXPECT_TRUE(writer.failed);
}

TEST(PagedBufOps, ReadsBackAcrossChunkBorders) {
    PagedBuf paged;
    PagedBufInit(paged, 1);  // one page per chunk
    const uint32_t chunk = paged.chunk_size;
    ASSERT_GE(chunk, 4096u);
    std::vector<uint8_t> all;
    for (uint32_t n : {chunk - 100, 50u, 3 * chunk, 7u}) {
        auto piece = Sequence(n, uint8_t(all.size() * 7));
        ASSERT_TRUE(PagedBufAppend(paged, piece.data(), n));
        all.insert(all.end(), piece.begin(), piece.end());
    }
    ASSERT_EQ(paged.total, all.size());
    std::vector<uint8_t> back(all.size());
    EXPECT_EQ(PagedBufRead(paged, 0, back.data(), uint32_t(back.size())), all.size());
    EXPECT_EQ(back, all);
    std::vector<uint8_t> tail(200);
    EXPECT_EQ(PagedBufRead(paged, chunk - 150, tail.data(), 200), 200u);
    EXPECT_TRUE(std::equal(tail.begin(), tail.end(), all.begin() + (chunk - 150)));
    EXPECT_EQ(PagedBufRead(paged, paged.total, tail.data(), 10), 0u);
}

TEST(OutStreamOps, BuffersBelowCapacityAndPassesTheRestWhole) {
    RecordingStream stream(8);
    auto first = Sequence(5);
    OutStreamWrite(stream, first.data(), 5);
    EXPECT_TRUE(stream.calls.empty());
    auto exact = Sequence(3, 5);  // exactly the remaining room
    OutStreamWrite(stream, exact.data(), 3);
    EXPECT_EQ(stream.calls, (std::vector<uint32_t>{5, 3}));
    EXPECT_EQ(OutStreamPosition(stream), 8u);
    EXPECT_FALSE(OutStreamFlush(stream));  // nothing buffered
    EXPECT_EQ(stream.out, Sequence(8));
    EXPECT_FALSE(stream.failed);
}

TEST(OutStreamOps, PutByteFlushesAtCapacityAndFailureSticks) {
    RecordingStream stream(4);
    for (uint8_t b = 0; b < 9; ++b) OutStreamPutByte(stream, b);
    EXPECT_EQ(stream.calls, (std::vector<uint32_t>{4, 4}));
    EXPECT_EQ(OutStreamPosition(stream), 9u);
    stream.refuse = true;
    EXPECT_FALSE(OutStreamFlush(stream));
    EXPECT_TRUE(stream.failed);
    EXPECT_EQ(OutStreamPosition(stream), 8u);
}

TEST(BitWriterOps, BitsLeaveMostSignificantFirst) {
    PagedBuf paged;
    PagedBufInit(paged, 4096);
    {
        PagedBufOutStream stream(paged);
        BitWriter writer;
        BitWriterInit(writer, &stream);
        BitWriterPutBits(writer, 5, 3);
        BitWriterFlush(writer);
        BitWriterPutBits(writer, 0x1, 1);
        BitWriterPutBits(writer, 0xABCDE, 20);
        BitWriterPutBits(writer, 0x3, 2);
        BitWriterFree(writer);
    }
    std::vector<uint8_t> out(paged.total);
    PagedBufRead(paged, 0, out.data(), paged.total);
    // 101 + pad gives A0; then the 23 bits 1 ABCDE 11 and one pad bit
    EXPECT_EQ(out, (std::vector<uint8_t>{0xA0, 0xD5, 0xE6, 0xF6}));
}

TEST(BitReversal, ReversesEveryByte) {
    uint8_t bytes[] = {0x01, 0x80, 0xF0, 0x12, 0x00, 0xFF};
    BytesReverseBits(bytes, sizeof(bytes));
    EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + 6), (std::vector<uint8_t>{0x80, 0x01, 0x0F, 0x48, 0x00, 0xFF}));
    BytesReverseBits(nullptr, 4);
    for (int b = 0; b < 256; ++b) EXPECT_EQ(kReversedBits[kReversedBits[b]], b);
}
