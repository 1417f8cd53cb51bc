// The desktop program's own command line. Windows keeps it as one wide
// text with the program's name in front; the ANSI copy that WinMain is
// given cannot hold names outside the ANSI code page, so the program reads
// the wide one.
#pragma once

#include "foundation/strings.h"

// The arguments of a process command line: the program's name (up to the
// closing double quote when it starts with one, else up to the first blank
// or TAB) and the blanks and TABs after it are dropped; the rest is kept
// exactly as given. Null gives the empty text.
WString& ProgramArguments(const wchar_t* command_line, WString& out);

// The arguments of this process's command line (GetCommandLineW).
WString ProcessArguments();
