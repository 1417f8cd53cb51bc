// The progress-and-cancel interface through which long operations (loading,
// rendering, conversion, printing) report. An operation opens nested ranges:
// each level splits its parent's share into n equal steps, so a routine that
// knows nothing of its caller still reports a correct overall fraction.
#pragma once

#include <cstdint>

constexpr uint16_t kProgressMaxLevels = 10;

class ProgressSink {
  public:
    struct Level {
        double scale = 0;       // share of the whole that one step of this level stands for
        uint32_t position = 0;  // steps of this level already done
    };

    ProgressSink() = default;
    ProgressSink(const ProgressSink&) = delete;
    ProgressSink& operator=(const ProgressSink&) = delete;
    virtual ~ProgressSink() = default;

    // The overall fraction 0..1; the base does nothing with it.
    virtual void Report(float overall) {}
    // Polled by the operation between steps; the base never cancels.
    virtual bool IsCancelled() { return false; }

    Level levels[kProgressMaxLevels];
    uint16_t level_count = 0;
};

// Every operation accepts a null sink and then does nothing.
void ProgressSinkInit(ProgressSink* sink);
void ProgressSinkFree(ProgressSink* sink);
void ProgressClear(ProgressSink* sink);

// Opens a level of n steps inside the current step; false (levels unchanged)
// for n = 0 or when all levels are open.
bool ProgressPush(ProgressSink* sink, uint32_t n);
void ProgressPop(ProgressSink* sink);
// Sets the innermost position and reports the start (Step) or end (StepEnd)
// of that step; nothing when no level is open.
void ProgressStep(ProgressSink* sink, uint32_t position);
void ProgressStepEnd(ProgressSink* sink, uint32_t position);
// Reports a fraction of the current innermost step.
void ProgressReport(ProgressSink* sink, float fraction);
void ProgressNotify(ProgressSink* sink, double fraction);
bool ProgressIsCancelled(ProgressSink* sink);
