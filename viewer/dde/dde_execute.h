// The DDE execute commands: FileOpen, FileOpenCmdLine, FileClose,
// FileCloseAll, SetActPage, AppActivate, SetCutOut3, Convert and Quit, run
// against the viewer context through the same roads as the viewer's own
// commands.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "viewer/dde/dde_targets.h"

class ViewerContext;

// A document that Convert loads must have loaded within this time. The
// GUI thread is blocked while it waits, and the clients give up after 10 s.
inline constexpr uint32_t kDdeConvertLoadLimitMs = 5000;

// Parses and runs one execute string (names compared without case). Every
// failure (missing or malformed arguments, unknown documents, refused
// operations) is kFailed; nothing is changed then.
DdeOutcome DdeRunExecute(ViewerContext* context, const WString& text);
