// Reading and checking the coded Group 4 data of the pages a PDF carries
// over unchanged, on worker threads, while the caller's thread writes the
// pages before them. The check decode of such a page costs many times what
// the rest of its export does, so a document of carried pages is written
// about as fast as the workers check. The look-ahead is bounded in pages and
// bytes: a long document needs no more memory than a short one.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>
#include <deque>
#include <memory>
#include <vector>

#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "imaging/writers/pdf_page_render.h"

class DataSource;
class ImagePage;

// The workers an export uses on this machine: one processor stays with the
// writer, and a few workers already check faster than it writes.
uint32_t PdfLookAheadWorkers();

class PdfLookAhead {
  public:
    // Pages of `source` written in `mode`, checked by `workers` threads at
    // the most (0: nothing is looked at ahead). No thread starts before the
    // first page is offered.
    PdfLookAhead(DataSource* source, uint32_t mode, uint32_t workers);
    // Stops the workers (a check under way ends at its next row) and waits
    // for them.
    ~PdfLookAhead();
    PdfLookAhead(const PdfLookAhead&) = delete;
    PdfLookAhead& operator=(const PdfLookAhead&) = delete;

    // Whether page `next` may be offered while page `current` is written:
    // it is not too far ahead, and the pages waiting leave room.
    bool HasRoom(uint32_t next, uint32_t current);
    // Page `index` will be written with `options`, after the pages offered
    // before it. When its own Group 4 data would go into the PDF, the next
    // free worker reads and checks them; other pages are passed over.
    void Offer(uint32_t index, ImagePage* page, const PdfRenderOptions& options);
    // Page `index`'s carried data, once checked: waits for the worker that
    // checks them, or checks them here when no worker has begun. False for a
    // page to add with PdfAddRenderedImage: not offered, not carried,
    // damaged, or `progress` (may be null) cancelled while this waited.
    // Pages offered before it are dropped.
    bool Take(uint32_t index, ProgressSink* progress, PdfCarriedImage& out);

  private:
    struct Job;

    static DWORD WINAPI WorkerMain(void* self);
    void Work();
    // The first page no one checks yet, now marked as checked; null once the
    // look-ahead stops.
    Job* NextWaiting();
    void Finish(Job* job, bool carried);
    void DropFront();

    Ref<DataSource> source_;
    uint32_t mode_ = 0;
    uint32_t workers_ = 0;
    CriticalSection lock_;  // guards every member below but stop_ and threads_
    CONDITION_VARIABLE work_ready_ = CONDITION_VARIABLE_INIT;
    CONDITION_VARIABLE job_done_ = CONDITION_VARIABLE_INIT;
    std::deque<std::unique_ptr<Job>> jobs_;  // in writing order
    uint64_t held_bytes_ = 0;                // of the pages in jobs_
    uint32_t waiting_ = 0;                   // jobs no one checks yet
    std::atomic<bool> stop_{false};
    std::vector<UniqueHandle> threads_;  // the caller's thread only
};
