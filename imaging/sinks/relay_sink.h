// A sink that runs another sink on a second thread: the decoder's thread
// copies each row (a bilevel line's runs, or a packed row) into a ring and
// goes on decoding while the second thread adds the rows into the sink. The
// decoder stays serial; the result is the one the sink alone would build.
#pragma once

#include <cstdint>

#include "imaging/sinks/raster_sink.h"

// Whether a sink gains from a relay: renders of large bilevel pages on a
// machine with more than one processor.
bool RelaySinkWorthwhile(const RasterSink* sink);

// A relay in front of `sink` (it takes a reference), with its thread started; null
// when the sink is null, its rows are too wide for the ring, or the ring or
// the thread cannot be had (the caller then uses the sink itself). Finish
// waits until every row has reached the sink, then finishes it; a relay
// released without Finish (a failed or cancelled decode) stops its thread
// without passing on the rows still queued.
Ref<RasterSink> RelaySinkCreate(RasterSink* sink);
