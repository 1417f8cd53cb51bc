// One print of a list of pages on a Windows printer: a thread of its own,
// below normal priority, renders every page at the printer's resolution,
// sends it as a device-independent bitmap, draws the page's markups and the
// user-information block over it, and repeats pages or the whole list when
// the driver cannot make the copies. The GUI thread meanwhile shows a modal
// status dialog with a progress bar and a cancel button.
#pragma once

#include <windows.h>

#include <atomic>
#include <cstdint>

#include "foundation/handles.h"
#include "foundation/progress.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "printing/print_options.h"
#include "printing/printer_device.h"

class DocItem;
class PrintProvider;
class RasterImage;
class ViewerContext;

// What the thread and the status dialog share.
class PrintProgress : public RefCounted, public ProgressSink {
  public:
    // Sends the percentage to the dialog (synchronously) when it changed.
    void Report(float overall) override;
    bool IsCancelled() override { return cancelled.load() != 0; }

    std::atomic<int32_t> last_percent{-1};
    std::atomic<LONG> cancelled{0};
    std::atomic<HWND> window{nullptr};  // the status dialog, set before the thread runs
};

// How far a job's spooler document came.
enum class PrintOutcome : uint32_t {
    kNotRun = 0,
    kNoDevice,  // the printer could not be opened (gone since the dialog)
    kRefused,   // the spooler refused the document
    kPrinted,
    kCancelled,       // the document was aborted
    kNothingPrinted,  // not a sheet went out: the document is empty
    kPartlyPrinted,   // some sheets went out, others were missed
};

class PrintJob : public RefCounted {
  public:
    PtrArray pages{20, true};  // DocItems, in print order
    Ref<PrintOptions> options;
    Ref<PrinterDevice> device;  // the job's own copy
    Ref<PrintProvider> provider;
    Ref<ViewerContext> context;
    Ref<PrintProgress> progress;
    WString document_name;
    uint32_t repeat_count = 1;  // passes (or repetitions of a single page) the job makes itself
    UniqueHandle thread;
    std::atomic<bool> finished{false};   // the thread's last touch of the job
    std::atomic<bool> abandoned{false};  // set before resuming a thread that must not print
    std::atomic<PrintOutcome> outcome{PrintOutcome::kNotRun};
    // Written by the thread only, read once it has finished.
    uint32_t pages_sent = 0;    // sheets whose whole image the driver took
    uint32_t pages_missed = 0;  // sheets that could not be laid out, rendered, started or sent
};

// Takes a reference to the provider and to every page, copies options and
// device, settles who makes the copies and names the spooler document.
Ref<PrintJob> PrintJobCreate(ViewerContext* context, PrintProvider* provider, const PtrArray& pages,
                             const PrintOptions& options, const PrinterDevice& device);
// Runs the thread under the status dialog; true when the dialog was shown.
bool PrintJobStart(PrintJob* job);
// The thread's work, for tests that print without the dialog.
void PrintJobRun(PrintJob* job);

// Dialog 336, modal over the context's frame window. False without parent,
// context or thread; else true once the dialog has ended. The dialog stores
// its window in `progress` and resumes `thread` once it has.
bool PrintStatusDialogShow(HWND parent, ViewerContext* context, uint32_t page_total, HANDLE thread,
                           PrintProgress* progress);

// The ways a page image goes to the printer (the workaround bits choose):
// through a memory bitmap of the device's own format, or straight.
bool PrintSendsThroughMemory(uint32_t flags, bool device_takes_dibs);
bool PrintSendImage(HDC dc, uint32_t flags, bool device_takes_dibs, const PointI& target,
                    const RasterImage& image, BITMAPINFO* header, ProgressSink* progress);
// Columns per strip so that no call carries more than kStripBits bits; each
// strip starts on a whole byte.
inline constexpr uint32_t kStripBits = 5120000;
uint32_t PrintStripWidth(const RasterImage& image);

// The user-information block for the page at `page_index` of `page_count`.
bool PrintUserInformation(HDC dc, ViewerContext* context, DocItem* item, const PrintableArea& area,
                          int32_t page_index, int32_t page_count);
