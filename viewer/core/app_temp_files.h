// The session's temporary files and the thread that removes the temporary
// files that earlier sessions left behind.
//
// A name is temporary directory + "PX" + six letters + '.' + extension: the
// session letter (the second at which the root was made, modulo 37), then
// hour, minute, second and millisecond of the local time and a counter. The
// cleanup deletes such files older than 48 hours whose session letter is
// not this session's.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class AppRoot;

inline constexpr uint32_t kTempLetterCount = 37;
inline constexpr uint32_t kTempNameTries = 20;
inline constexpr uint64_t kTempCleanupAge100ns = 172800ull * 10000000ull;  // 48 hours

// The character of n modulo 37: 'a' to 'z', '0' to '9', '_'.
wchar_t AppTempLetter(uint32_t n);
// The name (without directory) for the time, the letters and the extension
// (".tmp" for an empty one; a '.' is put in front unless it has one).
WString& AppTempFileName(uint32_t session_letter, const SYSTEMTIME& time, uint32_t counter,
                         const WString& extension, WString& out);
// Creates a new empty file under a fresh name and gives its path; false and
// an empty path after 20 failed tries, or without a temporary directory.
// Safe on any thread.
bool AppMakeTempFile(AppRoot* root, const WString& extension, WString& out);
// Whether the cleanup may delete this directory entry of another session.
bool AppTempFileIsStale(const WIN32_FIND_DATAW& entry, uint32_t session_letter, const FILETIME& threshold);
// Starts the cleanup thread below normal priority, unless one runs, the
// root is not starting or running, or there is no temporary directory.
// GUI thread.
void StartTempCleanup(AppRoot* root);
