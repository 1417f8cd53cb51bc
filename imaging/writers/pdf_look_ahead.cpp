#include "imaging/writers/pdf_look_ahead.h"

#include <algorithm>
#include <utility>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "imaging/formats/image_format.h"

namespace {

constexpr uint32_t kLookAheadMaxWorkers = 4;
// Pages waiting per worker: one being checked, one ready for the writer.
constexpr uint32_t kLookAheadPagesPerWorker = 2;
// The coded data held ahead; one page more may take it past this.
constexpr uint64_t kLookAheadBytes = 32u << 20;
// A check needs little stack: its lines live in pool blocks.
constexpr SIZE_T kWorkerStack = 256 * 1024;
// How often a writer that waits for a worker asks whether to stop.
constexpr DWORD kCancelPollMs = 10;

enum JobState : uint32_t { kWaiting, kChecking, kDone };

// Tells a worker's check to stop once the look-ahead ends.
class StopSink : public ProgressSink {
  public:
    explicit StopSink(const std::atomic<bool>& stop) : stop_(stop) {}
    bool IsCancelled() override { return stop_.load(std::memory_order_relaxed); }

  private:
    const std::atomic<bool>& stop_;
};

}  // namespace

struct PdfLookAhead::Job {
    uint32_t index = 0;
    Ref<ImagePage> page;
    PdfRenderOptions options;
    uint32_t bytes = 0;
    JobState state = kWaiting;
    bool carried = false;
    PdfCarriedImage image;  // written by its checker alone, read once done
};

uint32_t PdfLookAheadWorkers() {
    SYSTEM_INFO info;
    GetSystemInfo(&info);
    const uint32_t processors = info.dwNumberOfProcessors;
    return processors > 1 ? std::min(processors - 1, kLookAheadMaxWorkers) : 0;
}

PdfLookAhead::PdfLookAhead(DataSource* source, uint32_t mode, uint32_t workers)
    : source_(source), mode_(mode), workers_(source ? workers : 0) {}

PdfLookAhead::~PdfLookAhead() {
    {
        ScopedLock hold(lock_);
        stop_.store(true);
        WakeAllConditionVariable(&work_ready_);
    }
    for (UniqueHandle& thread : threads_) WaitForSingleObject(thread.get(), INFINITE);
}

bool PdfLookAhead::HasRoom(uint32_t next, uint32_t current) {
    const uint32_t window = workers_ * kLookAheadPagesPerWorker;
    if (next > current && next - current >= window) return false;
    ScopedLock hold(lock_);
    return jobs_.size() < window && held_bytes_ < kLookAheadBytes;
}

void PdfLookAhead::Offer(uint32_t index, ImagePage* page, const PdfRenderOptions& options) {
    if (workers_ == 0) return;
    const uint32_t bytes = PdfCarriedBytes(page, source_.get(), mode_, options);
    if (bytes == 0) return;
    auto job = std::make_unique<Job>();
    job->index = index;
    job->page = Ref<ImagePage>(page);
    job->options = options;
    job->bytes = bytes;
    size_t queued = 0;
    {
        ScopedLock hold(lock_);
        jobs_.push_back(std::move(job));
        held_bytes_ += bytes;
        ++waiting_;
        queued = jobs_.size();
        WakeConditionVariable(&work_ready_);
    }
    // A thread per waiting page up to the limit; one that cannot be had
    // leaves its share to the others, or to the writer.
    if (threads_.size() < workers_ && threads_.size() < queued) {
        UniqueHandle thread(CreateThread(nullptr, kWorkerStack, WorkerMain, this,
                                         STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
        if (thread) threads_.push_back(std::move(thread));
    }
}

bool PdfLookAhead::Take(uint32_t index, ProgressSink* progress, PdfCarriedImage& out) {
    Job* job = nullptr;
    bool mine = false;
    {
        ScopedLock hold(lock_);
        while (!jobs_.empty() && jobs_.front()->index < index) {
            // A page that was not written after all: its worker is let finish.
            if (jobs_.front()->state == kChecking) {
                SleepConditionVariableCS(&job_done_, lock_.native(), INFINITE);
                continue;
            }
            DropFront();
        }
        if (jobs_.empty() || jobs_.front()->index != index) return false;
        job = jobs_.front().get();
        if (job->state == kWaiting) {
            job->state = kChecking;
            --waiting_;
            mine = true;
        }
    }
    if (mine) {
        // As the page would have been checked without look-ahead.
        Finish(job,
               PdfReadCarriedImage(job->page.get(), source_.get(), mode_, job->options, nullptr, job->image));
    }
    for (;;) {
        {
            ScopedLock hold(lock_);
            if (job->state != kChecking) break;
            SleepConditionVariableCS(&job_done_, lock_.native(), progress ? kCancelPollMs : INFINITE);
            if (job->state != kChecking) break;
        }
        if (ProgressIsCancelled(progress)) return false;
    }
    ScopedLock hold(lock_);
    const bool carried = job->carried;
    if (carried) out = std::move(job->image);
    DropFront();
    return carried;
}

DWORD WINAPI PdfLookAhead::WorkerMain(void* self) {
    static_cast<PdfLookAhead*>(self)->Work();
    return 0;
}

// What a check shares with the writer's thread: the page and its image
// directory, which it only reads (a render on another thread changes only
// the render state, a single word); the source, through a file reader of
// its own; and the pool, which locks. It reports no progress.
void PdfLookAhead::Work() {
    StopSink cancel(stop_);
    while (Job* job = NextWaiting()) {
        Finish(job,
               PdfReadCarriedImage(job->page.get(), source_.get(), mode_, job->options, &cancel, job->image));
    }
}

PdfLookAhead::Job* PdfLookAhead::NextWaiting() {
    ScopedLock hold(lock_);
    for (;;) {
        if (stop_.load()) return nullptr;
        if (waiting_ > 0) {
            for (const std::unique_ptr<Job>& job : jobs_) {
                if (job->state != kWaiting) continue;
                job->state = kChecking;
                --waiting_;
                return job.get();
            }
        }
        SleepConditionVariableCS(&work_ready_, lock_.native(), INFINITE);
    }
}

void PdfLookAhead::Finish(Job* job, bool carried) {
    ScopedLock hold(lock_);
    job->carried = carried;
    job->state = kDone;
    WakeAllConditionVariable(&job_done_);
}

void PdfLookAhead::DropFront() {
    const std::unique_ptr<Job>& front = jobs_.front();
    held_bytes_ -= front->bytes;
    if (front->state == kWaiting) --waiting_;
    jobs_.pop_front();
}
