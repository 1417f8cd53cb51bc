#include "foundation/data_reader.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "foundation/pool.h"

namespace {

constexpr uint32_t kMaxReadCount = 0x7FFFFFFF;  // the count must fit the i32 result

int32_t ReadFromFile(HANDLE file, uint64_t offset, uint32_t n, void* buffer) {
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(offset);
    if (!SetFilePointerEx(file, position, nullptr, FILE_BEGIN)) return -1;
    DWORD got = 0;
    if (!ReadFile(file, buffer, n, &got, nullptr) || got == 0) return -1;
    return static_cast<int32_t>(got);
}

// Reads of up to a quarter of the window go through it. The window stays
// below the pool's threshold for virtual memory, so it comes from the heap:
// every reader makes one, most for a few small reads, and a window of
// virtual memory cost up to 2 ms under Wine to give back (and its pages a
// first touch each time).
constexpr uint32_t kReadAheadWindow = 60 * 1024;
static_assert(kReadAheadWindow < kPoolVirtualFrom);
constexpr uint32_t kReadAheadLargest = kReadAheadWindow / 4;

// n bytes at the offset (n already cut to the recorded size) through the
// reader's window; a miss fills the window from the offset on. The answer is
// the count read, as from the file.
int32_t ReadThroughWindow(DataReader* reader, uint64_t size, uint64_t offset, uint32_t n, void* buffer) {
    const uint64_t window_end = reader->read_ahead_offset + reader->read_ahead_count;
    if (offset < reader->read_ahead_offset || offset + n > window_end) {
        reader->read_ahead_count = 0;
        if (!reader->read_ahead.data() && !MemAlloc(reader->read_ahead, kReadAheadWindow, 0, 0))
            return ReadFromFile(reader->file.get(), offset, n, buffer);
        const uint32_t want = static_cast<uint32_t>(std::min<uint64_t>(kReadAheadWindow, size - offset));
        const int32_t got = ReadFromFile(reader->file.get(), offset, want, reader->read_ahead.data());
        if (got < 0) return -1;
        reader->read_ahead_offset = offset;
        reader->read_ahead_count = static_cast<uint32_t>(got);
    }
    // A file that shrank may leave fewer bytes in the window than asked for.
    const uint64_t held = reader->read_ahead_offset + reader->read_ahead_count - offset;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(n, held));
    memcpy(buffer, reader->read_ahead.data() + (offset - reader->read_ahead_offset), count);
    return static_cast<int32_t>(count);
}

int32_t ReadFromMemory(DataSource* source, uint64_t offset, uint32_t n, void* buffer) {
    ScopedLock hold(source->lock);
    const uint32_t held = source->memory.size();
    if (offset >= held) return 0;
    const uint32_t count = static_cast<uint32_t>(std::min<uint64_t>(n, held - offset));
    memcpy(buffer, source->memory.data() + offset, count);
    return static_cast<int32_t>(count);
}

}  // namespace

DataReader::DataReader(DataSource* source_in, FileHandle file_in)
    : source(source_in), file(std::move(file_in)) {
    ScopedLock hold(source->lock);
    ++source->reader_count;
}

DataReader::~DataReader() {
    file.Close();
    DataSourceReaderClosed(source.get());
}

int32_t DataSourceRead(DataReader* reader, uint64_t offset, uint32_t n, void* buffer) {
    if (!reader || !buffer) return -1;
    DataSource* source = reader->source.get();
    uint64_t size;
    {
        ScopedLock hold(source->lock);
        size = source->size;
    }
    if (n == 0 || offset >= size) return 0;
    n = static_cast<uint32_t>(std::min<uint64_t>({n, size - offset, kMaxReadCount}));
    // A file that shrank since the source was made yields fewer bytes than
    // the recorded size promises; the answer is the count actually read.
    if (reader->file.valid()) {
        if (n <= kReadAheadLargest) return ReadThroughWindow(reader, size, offset, n, buffer);
        return ReadFromFile(reader->file.get(), offset, n, buffer);
    }
    return ReadFromMemory(source, offset, n, buffer);
}

bool DataSourceSaveAs(DataReader* reader, const WString& path) {
    if (!reader || WStrLength(path) == 0) return false;
    DataSource* source = reader->source.get();
    if (reader->file.valid()) {
        WString name;
        {
            ScopedLock hold(source->lock);
            name = source->name;
        }
        return CopyFileW(WStrCStr(name), WStrCStr(path), FALSE) != FALSE;
    }
    // The bytes stay put while this reader is open: memory is only freed
    // with the last reader.
    const uint8_t* bytes;
    uint32_t n;
    {
        ScopedLock hold(source->lock);
        bytes = source->memory.data();
        n = source->memory.size();
    }
    return WriteNewFile(WStrCStr(path), bytes, n, FILE_ATTRIBUTE_NORMAL);
}

bool ByteBufLoad(ByteBuf* buffer, DataReader* reader, uint32_t offset, uint32_t n) {
    if (!buffer) return false;
    if (n == 0) return true;
    if (!reader || !MemResize(buffer->bytes, n, 0)) {
        MemFree(buffer->bytes);
        return false;
    }
    const int32_t got = DataSourceRead(reader, offset, n, buffer->bytes.data());
    if (got < 1) {
        MemFree(buffer->bytes);
        return false;
    }
    return MemResize(buffer->bytes, static_cast<uint32_t>(got), 0);
}
