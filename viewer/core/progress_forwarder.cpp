#include "viewer/core/progress_forwarder.h"

#include "foundation/variant.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"

void ProgressForwarder::Report(float overall) {
    const double fraction = overall;
    Ref<ViewerContext> context;
    {
        ScopedLock hold(lock);
        const bool passes =
            fraction < last_reported || fraction >= last_reported + kProgressForwardStep || fraction == 1.0;
        if (!passes) return;
        last_reported = fraction;
        context = Ref<ViewerContext>(this->context);
    }
    // Sent outside the lock: a listener may report or reset in turn.
    if (context) {
        Variant argument;
        VariantInitDouble(argument, fraction);
        ViewerSendActionArg(context.get(), event::kProgress, argument);
    }
}

Ref<ProgressForwarder> ProgressForwarderCreate(ViewerContext* context) {
    Ref<ProgressForwarder> forwarder = MakeRef<ProgressForwarder>();
    forwarder->context = context;
    return forwarder;
}

void ProgressForwarderReport(ProgressForwarder* forwarder, float fraction) {
    if (forwarder) forwarder->Report(fraction);
}

void ProgressForwarderReset(ProgressForwarder* forwarder) { ProgressForwarderReport(forwarder, -1.0f); }

void ProgressForwarderDetach(ProgressForwarder* forwarder) {
    if (!forwarder) return;
    ScopedLock hold(forwarder->lock);
    forwarder->context = nullptr;
}
