// Passes the progress of renders and loads on to the hub as notification 23,
// so that the status bar can show it. One per viewer context; it reports on
// whichever thread renders.
#pragma once

#include "foundation/locks.h"
#include "foundation/progress.h"
#include "foundation/ref_counted.h"

class ViewerContext;

// The smallest rise of the fraction that is passed on; smaller steps would
// only flood the hub.
inline constexpr double kProgressForwardStep = 0.05;

// Never cancels.
class ProgressForwarder : public RefCounted, public ProgressSink {
  public:
    void Report(float overall) override;

    CriticalSection lock;  // guards the two members below
    // The context the notifications are sent for; plain, since the context
    // owns the forwarder. Cleared by ProgressForwarderDetach before the
    // context goes.
    ViewerContext* context = nullptr;
    double last_reported = -1.0;
};

// `context` may be null: the forwarder then reports to nobody.
Ref<ProgressForwarder> ProgressForwarderCreate(ViewerContext* context = nullptr);
// A fraction below the last one passed on, one at least kProgressForwardStep
// above it, or exactly 1 is passed on (and becomes the last one); any other
// value is dropped without being kept.
void ProgressForwarderReport(ProgressForwarder* forwarder, float fraction);
// Reports -1, which goes out unless -1 was the last fraction passed on.
void ProgressForwarderReset(ProgressForwarder* forwarder);
void ProgressForwarderDetach(ProgressForwarder* forwarder);
