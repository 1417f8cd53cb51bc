// The DDE server's transaction log: one line per transaction, appended to
// a fixed file, written only when the viewer was started with the switch
// "dde_logging".
#pragma once

#include <windows.h>

#include "foundation/strings.h"

class ViewerContext;

// Where the log goes.
inline constexpr const wchar_t* kDdeLogPath = L"c:\\plovexdde.log";

// Log kinds and messages.
inline constexpr const wchar_t* kDdeLogExecute = L"EXE";
inline constexpr const wchar_t* kDdeLogRequest = L"REQ";
inline constexpr const wchar_t* kDdeLogExecuted = L"Command executed";
inline constexpr const wchar_t* kDdeLogUnknown = L"Unknown command";
inline constexpr const wchar_t* kDdeLogInvalid = L"Invalid commmand format";
inline constexpr const wchar_t* kDdeLogFailed = L"Command failed";
inline constexpr const wchar_t* kDdeLogWrongFormat = L"Unsupported clipboard format";

// True when the context's application root has a command line with the
// switch "dde_logging".
bool DdeLogEnabled(ViewerContext* context);

// One entry: "yyyy.mm.dd hh:mm:ss.mmm" TAB kind TAB command TAB "OK" or
// "ERROR" TAB message, ended as a text-mode file ends lines (CR LF). Kind
// and command may be null. Line ends inside the command become blanks, so
// that every entry stays one line. False when the file cannot be written.
bool DdeLogAppend(const wchar_t* path, const SYSTEMTIME& time, const wchar_t* kind, const WString* command,
                  bool ok, const wchar_t* message);

// Appends an entry with the local time to kDdeLogPath when the log is
// enabled for the context.
void DdeLog(ViewerContext* context, const wchar_t* kind, const WString* command, bool ok,
            const wchar_t* message);
