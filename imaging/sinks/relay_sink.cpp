#include "imaging/sinks/relay_sink.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/mem_block.h"
#include "foundation/pool.h"

namespace {

constexpr uint32_t kRelayTag = 0x79616C52;  // "Rlay"
// Below this many source pixels the thread's start costs more than it saves.
constexpr uint64_t kRelayMinimumPixels = 4000000;
// Wider rows than this are not relayed: the ring holds four of the longest.
constexpr uint32_t kRelayMaximumWidth = 65536;
constexpr uint32_t kRelayMinimumRingWords = 1u << 16;
// Polls of an empty (or full) ring before the thread sleeps: a decoder
// delivers a batch of lines in tens of microseconds, less than a sleep and a
// wake cost. The first polls only pause the processor, the later ones give
// the processor to other threads (a busy machine needs it for the other side).
constexpr uint32_t kRelaySpins = 320;
constexpr uint32_t kRelayBusySpins = 256;

void Pause(uint32_t spin) {
    if (spin < kRelayBusySpins) {
        YieldProcessor();
    } else {
        SwitchToThread();
    }
}

enum RecordKind : uint32_t {
    kRecordWrap = 0,  // the rest of the ring is unused: the next record starts at its beginning
    kRecordRuns = 1,
    kRecordRow = 2,
};

// A record: kind, its length in words, x, y, offset, count, bits, then the
// runs (elements) or the row's bytes.
constexpr uint32_t kHeaderWords = 7;

uint32_t ProcessorCount() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    return info.dwNumberOfProcessors;
}

uint32_t RingWordsFor(uint32_t source_width) {
    // The longest record: a line's runs (at most one element per pixel and
    // two more), or a packed row of 24-bit pixels shifted by up to 7 pixels.
    const uint64_t longest = kHeaderWords + std::max<uint64_t>(uint64_t(source_width) + 3,
                                                               (uint64_t(source_width) + 7) * 3 / 4 + 2);
    uint32_t words = kRelayMinimumRingWords;
    while (words < 4 * longest) words *= 2;
    return words;
}

class RelaySink final : public RasterSink {
  public:
    explicit RelaySink(Ref<RasterSink> sink);
    ~RelaySink() override;

    bool Start(uint32_t ring_words);
    bool IsFailed() const override { return sink_->IsFailed(); }
    Ref<RasterImage> Finish(ProgressSink* progress, RenderToken* token) override;
    bool PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) override;
    bool PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                uint32_t count) override;
    uint32_t CoverageLevel() const override { return stopped_ ? sink_->CoverageLevel() : 0; }

  private:
    static DWORD WINAPI ThreadMain(void* self);
    void Consume();
    void Pass(const uint32_t* record);
    bool Clip(uint32_t x, uint32_t y, uint32_t* count) const;
    // Room for a record of `words` words at the write position: its start,
    // or null when the ring can never hold it.
    uint32_t* Reserve(uint32_t words);
    // Records are made visible to the second thread in batches: a position
    // that both threads touch for every line would bounce between their
    // caches.
    void Publish(uint32_t words);
    void Flush();
    // Waits until the second thread is past every published record.
    void Drain();
    void Stop(bool abandon);
    void WakeConsumer();
    void WakeProducer();

    Ref<RasterSink> sink_;
    MemBlock ring_block_;
    uint32_t* ring_ = nullptr;
    uint32_t mask_ = 0;
    uint32_t size_ = 0;
    uint32_t written_ = 0;    // the producer's write position, ahead of write_ by the unflushed batch
    uint32_t read_seen_ = 0;  // the producer's last look at read_
    std::atomic<uint32_t> write_{0};
    std::atomic<uint32_t> read_{0};
    std::atomic<uint32_t> consumer_waiting_{0};
    std::atomic<uint32_t> producer_waiting_{0};
    std::atomic<uint32_t> closed_{0};   // no more records: drain, then end
    std::atomic<uint32_t> abandon_{0};  // end at once
    CriticalSection lock_;
    CONDITION_VARIABLE data_ready_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE space_ready_ = CONDITION_VARIABLE_INIT;
    UniqueHandle thread_;
    bool stopped_ = false;
};

RelaySink::RelaySink(Ref<RasterSink> sink) : sink_(std::move(sink)) {
    source_width = sink_->source_width;
    source_height = sink_->source_height;
    target_width = sink_->target_width;
    target_height = sink_->target_height;
    rotation = sink_->rotation;
    flip_x = sink_->flip_x;
    flip_y = sink_->flip_y;
    invert = sink_->invert;
    bits_per_pixel = sink_->bits_per_pixel;
    whole_image = sink_->whole_image;
}

RelaySink::~RelaySink() { Stop(true); }

bool RelaySink::Start(uint32_t ring_words) {
    ring_ = static_cast<uint32_t*>(MemAlloc(ring_block_, ring_words * 4, 0, kRelayTag));
    if (!ring_) return false;
    size_ = ring_words;
    mask_ = ring_words - 1;
    thread_.Reset(
        CreateThread(nullptr, 64 * 1024, ThreadMain, this, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
    stopped_ = !thread_;
    return thread_.valid();
}

DWORD WINAPI RelaySink::ThreadMain(void* self) {
    static_cast<RelaySink*>(self)->Consume();
    return 0;
}

void RelaySink::WakeConsumer() {
    // Taking the lock orders the wake after a consumer's test of the ring
    // and before its sleep, so the wake cannot fall between them.
    ScopedLock hold(lock_);
    WakeConditionVariable(&data_ready_);
}

void RelaySink::WakeProducer() {
    ScopedLock hold(lock_);
    WakeConditionVariable(&space_ready_);
}

void RelaySink::Consume() {
    uint32_t read = read_.load(std::memory_order_relaxed);
    for (;;) {
        if (abandon_.load(std::memory_order_acquire)) return;
        // Closing comes after the last record: once it is seen, the write
        // position is final.
        if (closed_.load() && write_.load() == read) return;
        uint32_t write = write_.load(std::memory_order_acquire);
        for (uint32_t spin = 0; write == read && spin < kRelaySpins; ++spin) {
            Pause(spin);
            write = write_.load(std::memory_order_acquire);
        }
        if (write == read) {
            // Empty: sleep until the producer has queued a batch or closes.
            ScopedLock hold(lock_);
            consumer_waiting_.store(1);
            while (write_.load() == read && !closed_.load() && !abandon_.load())
                SleepConditionVariableCS(&data_ready_, lock_.native(), INFINITE);
            consumer_waiting_.store(0);
            write = write_.load(std::memory_order_acquire);
            if (write == read && (closed_.load() || abandon_.load())) return;
            continue;
        }
        while (read != write && !abandon_.load(std::memory_order_relaxed)) {
            const uint32_t* record = ring_ + (read & mask_);
            if (record[0] == kRecordWrap) {
                read += size_ - (read & mask_);
            } else {
                Pass(record);
                read += record[1];
            }
        }
        // Sequentially consistent, as the producer's flag it is tested
        // against: neither side may miss the other's store and sleep.
        read_.store(read);
        if (producer_waiting_.load()) WakeProducer();
    }
}

void RelaySink::Pass(const uint32_t* record) {
    const uint32_t x = record[2], y = record[3], offset = record[4], count = record[5];
    if (record[0] == kRecordRuns) {
        sink_->PutRuns(record + kHeaderWords, x, y, offset, count);
    } else {
        sink_->PutRow(uint16_t(record[6]), reinterpret_cast<const uint8_t*>(record + kHeaderWords), x, y,
                      offset, count);
    }
}

bool RelaySink::Clip(uint32_t x, uint32_t y, uint32_t* count) const {
    if (y >= source_height || x >= source_width || *count == 0) return false;
    if (*count > source_width - x) *count = source_width - x;
    return true;
}

uint32_t* RelaySink::Reserve(uint32_t words) {
    if (words > size_ / 4) return nullptr;
    const uint32_t at = written_ & mask_;
    const uint32_t tail = size_ - at;
    const uint32_t need = tail < words ? tail + words : words;
    auto room = [&] {
        if (size_ - (written_ - read_seen_) >= need) return true;
        read_seen_ = read_.load();
        return size_ - (written_ - read_seen_) >= need;
    };
    if (!room()) Flush();
    for (uint32_t spin = 0; !room() && spin < kRelaySpins; ++spin) Pause(spin);
    if (!room()) {
        ScopedLock hold(lock_);
        producer_waiting_.store(1);
        while (!room() && !abandon_.load()) SleepConditionVariableCS(&space_ready_, lock_.native(), INFINITE);
        producer_waiting_.store(0);
        if (abandon_.load()) return nullptr;
    }
    if (tail < words) {
        ring_[at] = kRecordWrap;
        written_ += tail;
    }
    return ring_ + (written_ & mask_);
}

void RelaySink::Publish(uint32_t words) {
    written_ += words;
    if (written_ - write_.load(std::memory_order_relaxed) >= size_ / 16) Flush();
}

void RelaySink::Flush() {
    write_.store(written_);
    if (consumer_waiting_.load()) WakeConsumer();
}

void RelaySink::Drain() {
    Flush();
    for (uint32_t spin = 0; read_.load(std::memory_order_acquire) != written_ && spin < kRelaySpins; ++spin)
        Pause(spin);
    if (read_.load() == written_) return;
    // A consumer asleep on a batch not yet full must take what is queued.
    if (consumer_waiting_.load()) WakeConsumer();
    ScopedLock hold(lock_);
    producer_waiting_.store(1);
    // The consumer wakes a waiting producer whenever half the ring is free,
    // so also when it is empty.
    while (read_.load() != written_) SleepConditionVariableCS(&space_ready_, lock_.native(), INFINITE);
    producer_waiting_.store(0);
}

namespace {

// The pairs from `first` into `out`, touching and overlapping ones joined
// and empty ones left out; at most count + 1 elements. The count of
// elements written.
uint32_t JoinRuns(const uint32_t* runs, uint32_t first, uint32_t end, uint32_t count, uint32_t* out) {
    uint32_t n = 0;
    for (uint32_t i = first; runs[i] < end; i += 2) {
        const uint32_t a = runs[i], b = runs[i + 1];
        if (a < b) {
            if (n > 0 && out[n - 1] >= a) {
                out[n - 1] = std::max(out[n - 1], b);
            } else {
                out[n++] = a;
                out[n++] = b;
            }
        }
        // Out of order (damaged lists do not reach the sinks, but the copy
        // must never outgrow its record) or the window's end reached.
        if (b >= end || n > count) break;
    }
    return n;
}

}  // namespace

bool RelaySink::PutRuns(const uint32_t* runs, uint32_t x, uint32_t y, uint32_t offset, uint32_t count) {
    if (!runs || stopped_ || !Clip(x, y, &count)) return false;
    const uint32_t end = offset + count;
    // Pairs left of the window and empty pairs add nothing; touching pairs
    // are joined, so the copy holds at most count + 1 elements in all.
    uint32_t first = 0;
    while (runs[first] < end && runs[first + 1] <= offset) first += 2;
    uint32_t* record = Reserve(kHeaderWords + count + 3);
    if (!record) {
        // Oversized or abandoned: the sink takes the line on this thread
        // once the second one is idle.
        Drain();
        return sink_->PutRuns(runs, x, y, offset, count);
    }
    uint32_t* out = record + kHeaderWords;
    // The pairs as they are: the sink visits them exactly as it would the
    // decoder's own list (touching pairs add up to their union, empty ones
    // add nothing). This is the decoder thread's share of every line, so it
    // is a bare copy; only a list with more pairs than the window has pixels
    // (repeated positions in damaged data) takes the joining copy.
    uint32_t n = 0;
    for (uint32_t i = first;; i += 2) {
        const uint32_t a = runs[i];
        if (a >= end) break;
        if (n + 2 > count + 1) {
            n = 0xFFFFFFFFu;
            break;
        }
        const uint32_t b = runs[i + 1];
        out[n] = a;
        out[n + 1] = b;
        n += 2;
        if (b >= end) break;
    }
    if (n == 0xFFFFFFFFu) n = JoinRuns(runs, first, end, count, out);
    out[n++] = end;
    record[0] = kRecordRuns;
    record[1] = kHeaderWords + n;
    record[2] = x;
    record[3] = y;
    record[4] = offset;
    record[5] = count;
    record[6] = 1;
    Publish(record[1]);
    return true;
}

bool RelaySink::PutRow(uint16_t bits, const uint8_t* row, uint32_t x, uint32_t y, uint32_t offset,
                       uint32_t count) {
    if (!row || stopped_ || !Clip(x, y, &count)) return false;
    // Rows the sink counts in a few steps a word stay on this thread: their
    // copy and the other thread's reading cost more than the count.
    if (bits == 1 && sink_->TakesPackedRowCheaply(x, y, offset)) {
        if (written_ != 0) Drain();
        return sink_->PutRow(bits, row, x, y, offset, count);
    }
    const uint64_t bytes = (uint64_t(offset) + count) * bits / 8 + 1;
    // Four spare bytes: sinks may read a row's last byte as part of a word.
    const uint64_t words = kHeaderWords + (bytes + 4 + 3) / 4;
    uint32_t* record = words <= size_ ? Reserve(uint32_t(words)) : nullptr;
    if (!record) {
        Drain();
        return sink_->PutRow(bits, row, x, y, offset, count);
    }
    // The last byte may hold fewer pixels than it has bits: only the bytes
    // the row must have are copied, the rest is 0 as in a decoder's buffer.
    uint8_t* payload = reinterpret_cast<uint8_t*>(record + kHeaderWords);
    const size_t copied = size_t((uint64_t(offset) + count) * bits + 7) / 8;
    memcpy(payload, row, copied);
    memset(payload + copied, 0, size_t(words - kHeaderWords) * 4 - copied);
    record[0] = kRecordRow;
    record[1] = uint32_t(words);
    record[2] = x;
    record[3] = y;
    record[4] = offset;
    record[5] = count;
    record[6] = bits;
    Publish(record[1]);
    return true;
}

void RelaySink::Stop(bool abandon) {
    if (stopped_) return;
    stopped_ = true;
    if (!abandon) Flush();
    {
        ScopedLock hold(lock_);
        if (abandon) abandon_.store(1);
        closed_.store(1);
        WakeConditionVariable(&data_ready_);
        WakeConditionVariable(&space_ready_);
    }
    WaitForSingleObject(thread_.get(), INFINITE);
}

Ref<RasterImage> RelaySink::Finish(ProgressSink* progress, RenderToken* token) {
    Stop(false);
    return sink_->Finish(progress, token);
}

}  // namespace

bool RelaySinkWorthwhile(const RasterSink* sink) {
    static const uint32_t processors = ProcessorCount();
    return sink && sink->bits_per_pixel == 1 && processors > 1 && sink->source_width <= kRelayMaximumWidth &&
           uint64_t(sink->source_width) * sink->source_height >= kRelayMinimumPixels;
}

Ref<RasterSink> RelaySinkCreate(RasterSink* sink) {
    if (!sink || sink->source_width > kRelayMaximumWidth) return nullptr;
    const uint32_t ring_words = RingWordsFor(sink->source_width);
    Ref<RelaySink> relay = AdoptRef(new RelaySink(Ref<RasterSink>(sink)));
    if (!relay->Start(ring_words)) return nullptr;
    return relay;
}
