#include "foundation/progress.h"

void ProgressSinkInit(ProgressSink* sink) { ProgressClear(sink); }

void ProgressSinkFree(ProgressSink* sink) { ProgressClear(sink); }

void ProgressClear(ProgressSink* sink) {
    if (sink) sink->level_count = 0;
}

bool ProgressPush(ProgressSink* sink, uint32_t n) {
    if (!sink || n == 0 || sink->level_count >= kProgressMaxLevels) return false;
    const double parent = sink->level_count == 0 ? 1.0 : sink->levels[sink->level_count - 1].scale;
    ProgressSink::Level& level = sink->levels[sink->level_count++];
    level.scale = parent / n;
    level.position = 0;
    return true;
}

void ProgressPop(ProgressSink* sink) {
    if (sink && sink->level_count > 0) --sink->level_count;
}

void ProgressNotify(ProgressSink* sink, double fraction) {
    if (!sink) return;
    double overall = 0;
    if (sink->level_count > 0) {
        for (uint16_t i = 0; i < sink->level_count; ++i) {
            overall += sink->levels[i].position * sink->levels[i].scale;
        }
        overall += fraction * sink->levels[sink->level_count - 1].scale;
    }
    sink->Report(static_cast<float>(overall));
}

void ProgressStep(ProgressSink* sink, uint32_t position) {
    if (!sink || sink->level_count == 0) return;
    sink->levels[sink->level_count - 1].position = position;
    ProgressNotify(sink, 0.0);
}

void ProgressStepEnd(ProgressSink* sink, uint32_t position) {
    if (!sink || sink->level_count == 0) return;
    sink->levels[sink->level_count - 1].position = position;
    ProgressNotify(sink, 1.0);
}

void ProgressReport(ProgressSink* sink, float fraction) { ProgressNotify(sink, fraction); }

bool ProgressIsCancelled(ProgressSink* sink) { return sink != nullptr && sink->IsCancelled(); }
