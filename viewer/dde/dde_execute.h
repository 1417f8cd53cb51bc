// The DDE execute commands: FileOpen, FileOpenCmdLine, FileClose,
// FileCloseAll, SetActPage, AppActivate, SetCutOut3, Convert and Quit, run
// against the viewer context through the same roads as the viewer's own
// commands.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "viewer/dde/dde_targets.h"

class ViewerContext;

// Parses and runs one execute string (names compared without case). Every
// failure (missing or malformed arguments, unknown documents, refused
// operations) is kFailed; nothing is changed then.
DdeOutcome DdeRunExecute(ViewerContext* context, const WString& text);
