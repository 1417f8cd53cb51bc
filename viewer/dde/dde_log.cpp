#include "viewer/dde/dde_log.h"

#include <cstdio>

#include "foundation/file_handle.h"
#include "viewer/app/app_root.h"
#include "viewer/core/command_line.h"
#include "viewer/core/viewer_context.h"

bool DdeLogEnabled(ViewerContext* context) {
    Ref<AppRoot> root = ViewerGetApp(context);
    if (!root) return false;
    Ref<CmdLine> command_line = AppGetCmdLine(root.get());
    return CmdLineGetDdeLogging(command_line.get());
}

bool DdeLogAppend(const wchar_t* path, const SYSTEMTIME& time, const wchar_t* kind, const WString* command,
                  bool ok, const wchar_t* message) {
    char stamp[40];
    snprintf(stamp, sizeof(stamp), "%04hd.%02hd.%02hd %02hd:%02hd:%02hd.%03hd\t", time.wYear, time.wMonth,
             time.wDay, time.wHour, time.wMinute, time.wSecond, time.wMilliseconds);
    WString line;
    WStrFromAnsi(line, stamp);
    if (kind) WStrAppendChars(line, kind);
    WStrAppendChar(line, L'\t');
    if (command) {
        WString text = *command;
        WStrReplaceChar(text, L'\r', L' ');
        WStrReplaceChar(text, L'\n', L' ');
        WStrAppend(line, text);
    }
    WStrAppendChar(line, L'\t');
    WStrAppendChars(line, ok ? L"OK\t" : L"ERROR\t");
    if (message) WStrAppendChars(line, message);
    WStrAppendChars(line, L"\r\n");
    AString bytes;
    AStrFromWide(bytes, line);

    // Opened and closed for every entry, so that another process can read
    // the log while the viewer runs.
    FileHandle file(CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const bool written = WriteAllBytes(file.get(), AStrCStr(bytes), AStrLength(bytes));
    return file.Close() && written;
}

void DdeLog(ViewerContext* context, const wchar_t* kind, const WString* command, bool ok,
            const wchar_t* message) {
    if (!DdeLogEnabled(context)) return;
    SYSTEMTIME now;
    GetLocalTime(&now);
    DdeLogAppend(kDdeLogPath, now, kind, command, ok, message);
}
