// Opening a document that the viewer cannot show in the program that is
// registered for its type.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

class ViewerContext;

// The item's document must have loaded as a file the viewer cannot show.
// An executable is opened only after the user agreed. When the shell fails,
// the frame hears of it (kFrameShellErrorMessage) and the user is told that
// no program is registered. True when the program was started.
bool ViewerOpenWithRegisteredProgram(ViewerContext* context, int32_t id);
