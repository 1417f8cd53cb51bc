// A second start with the switch "s" gives its command line to the viewer
// that runs already, as the DDE execute FileOpenCmdLine("...") followed by
// AppActivate, and ends.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

inline constexpr uint32_t kHandOverAttempts = 3;
inline constexpr uint32_t kHandOverPauseMs = 10;

// The execute string that carries `text` (a whole command line) to the
// running viewer, whose DDE parser takes the quoted argument apart and whose
// command-line parser then reads it. A text without an apostrophe travels
// in the documented form: inside double quotes, with its own double quotes
// turned into single ones. That form would cut a name with an apostrophe
// ("O'Neil plan.tif") in two, so such a text keeps its double quotes and is
// wrapped in whichever quote lets the receiving parsers read back exactly
// the tokens that this process reads; the check runs the receiver's own
// parsers here. False (and `out` empty) when no form carries the text
// intact: the caller then opens the files itself.
bool HandOverBuildCommand(const WString& text, WString& out);

// Up to kHandOverAttempts attempts, kHandOverPauseMs apart: connect to the
// service (each connect tries for up to a second), execute the command and,
// when it was taken, AppActivate (whose answer does not matter). True after
// the first attempt that delivered the command.
bool HandOverSend(const WString& service, const WString& command);
