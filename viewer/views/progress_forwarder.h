// Stand-in: the progress forwarder reports nothing yet (it will send the progress notification).
// Passes the progress of long operations on to the hub.
#pragma once

#include "foundation/progress.h"
#include "foundation/ref_counted.h"

class ProgressForwarder : public RefCounted, public ProgressSink {};

inline Ref<ProgressForwarder> ProgressForwarderCreate() { return MakeRef<ProgressForwarder>(); }
