// Opening a file or URL in the program registered for its type, and the
// small process and file-type questions around it.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

// How long a started program is given to reach its message loop.
constexpr uint32_t kShellOpenIdleWaitMs = 1000;

// Opens the file (or URL) with the verb "open" or "edit" through the command
// line registered for its extension under HKEY_CLASSES_ROOT (the given
// extension, else the file's own). The file replaces "%1" or, without one,
// "%L"; the placeholders %2 to %9 and %* that stay unfilled are dropped. A
// command line that takes no file gets an http, https or ftp URL of an
// .htm/.html type appended, or else the file through the DDE execute
// registered under "ddeexec". The out window (when asked for) is the
// program's top-level window as far as known, else 0. False for another verb,
// a type without a command line, or when the program cannot be started;
// a failed DDE execute is false too.
bool ShellOpenDocument(const WString& verb, const WString& file, const WString& extension,
                       const WString& directory, HWND* out_window);

// True for the extensions of files that run code when opened (programs,
// scripts, installers, shortcuts, registry imports), compared without case.
bool IsExecutableFile(const WString& path);

// The first visible, unowned top-level window of the process, or 0.
HWND FindProcessWindow(DWORD process_id);
BOOL CALLBACK FindProcessWindowProc(HWND window, LPARAM search);
