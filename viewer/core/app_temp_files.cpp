#include "viewer/core/app_temp_files.h"

#include <cwchar>

#include "foundation/file_handle.h"
#include "foundation/handles.h"
#include "foundation/module_thread.h"
#include "viewer/app/app_root.h"

namespace {

// A file extension comes from a file name or an address: anything that
// would leave the temporary directory or make the name invalid becomes '_'.
WString& SafeExtension(const WString& extension, WString& out) {
    out = extension;
    const uint32_t length = WStrLength(out);
    for (uint32_t i = 0; i < length; ++i) {
        const wchar_t c = WStrCharAt(out, i);
        if (c < 32 || wcschr(L"\\/:*?\"<>|", c)) WStrReplaceChar(out, c, L'_');
    }
    return out;
}

bool CleanupShouldStop(const AppRoot* root) { return root->cleanup_stop || root->state == kAppStopping; }

void DeleteStaleFiles(AppRoot* root) {
    if (CleanupShouldStop(root)) return;
    const WString directory = root->temp_directory;
    const uint32_t session_letter = root->session_letter;
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER limit;
    limit.LowPart = now.dwLowDateTime;
    limit.HighPart = now.dwHighDateTime;
    limit.QuadPart -= kTempCleanupAge100ns;
    const FILETIME threshold = {limit.LowPart, limit.HighPart};

    WString pattern;
    WStrConcatChars(directory, L"PX*", pattern);
    WIN32_FIND_DATAW entry;
    FindHandle find(FindFirstFileW(WStrCStr(pattern), &entry));
    if (!find) return;
    // Each candidate is deleted only after the next entry has been read, so
    // the enumeration never stands on a removed entry.
    WString pending;
    for (;;) {
        WString candidate;
        if (AppTempFileIsStale(entry, session_letter, threshold)) {
            WStrConcatChars(directory, entry.cFileName, candidate);
        }
        const bool more = FindNextFileW(find.get(), &entry) != FALSE;
        // A file still open without delete sharing (a live copy) stays.
        if (WStrLength(pending)) DeleteFileW(WStrCStr(pending));
        pending = candidate;
        if (!more || CleanupShouldStop(root)) break;
    }
    if (WStrLength(pending) && !CleanupShouldStop(root)) DeleteFileW(WStrCStr(pending));
}

DWORD WINAPI TempCleanupThread(void* parameter) {
    auto* root = static_cast<AppRoot*>(parameter);
    DeleteStaleFiles(root);
    // Clearing the handle releases AppShutdown, which may then free the
    // root: nothing of it is touched afterwards.
    HANDLE own = root->cleanup_thread.exchange(nullptr);
    if (own) CloseHandle(own);
    return 0;
}

}  // namespace

wchar_t AppTempLetter(uint32_t n) {
    n %= kTempLetterCount;
    if (n < 26) return static_cast<wchar_t>(L'a' + n);
    if (n < 36) return static_cast<wchar_t>(L'0' + (n - 26));
    return L'_';
}

WString& AppTempFileName(uint32_t session_letter, const SYSTEMTIME& time, uint32_t counter,
                         const WString& extension, WString& out) {
    const wchar_t letters[] = {L'P',
                               L'X',
                               AppTempLetter(session_letter),
                               AppTempLetter(time.wHour),
                               AppTempLetter(time.wMinute),
                               AppTempLetter(time.wSecond),
                               AppTempLetter(time.wMilliseconds),
                               AppTempLetter(counter),
                               0};
    out = letters;
    if (WStrLength(extension) == 0) return WStrAppendChars(out, L".tmp");
    if (WStrCharAt(extension, 0) != L'.') WStrAppendChar(out, L'.');
    WString safe;
    return WStrAppend(out, SafeExtension(extension, safe));
}

bool AppMakeTempFile(AppRoot* root, const WString& extension, WString& out) {
    WStrClear(out);
    // Without a directory the name would land in the current directory,
    // where the cleanup would then go looking too.
    if (!root || WStrLength(root->temp_directory) == 0) return false;
    for (uint32_t attempt = 0; attempt < kTempNameTries; ++attempt) {
        SYSTEMTIME now;
        GetLocalTime(&now);
        uint32_t counter;
        {
            // Load workers make temporary files too.
            ScopedLock hold(root->lock);
            counter = root->temp_counter;
            root->temp_counter = static_cast<uint16_t>((counter + 1) % kTempLetterCount);
        }
        WString name;
        WString path;
        AppTempFileName(root->session_letter, now, counter, extension, name);
        WStrConcat(root->temp_directory, name, path);
        FileHandle file(CreateFileW(WStrCStr(path), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_TEMPORARY, nullptr));
        if (file.valid()) {
            out = path;
            return true;
        }
    }
    return false;
}

bool AppTempFileIsStale(const WIN32_FIND_DATAW& entry, uint32_t session_letter, const FILETIME& threshold) {
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
    const wchar_t* name = entry.cFileName;
    // The pattern "PX*" also matches by the short 8.3 name: a file whose
    // long name is not one of ours must never qualify.
    if (wcslen(name) <= 9 || name[8] != L'.' || name[0] != L'P' || name[1] != L'X') return false;
    if (name[2] == AppTempLetter(session_letter)) return false;
    return CompareFileTime(&entry.ftCreationTime, &threshold) < 0;
}

void StartTempCleanup(AppRoot* root) {
    if (!root || root->cleanup_thread.load()) return;
    const uint32_t state = root->state;
    if (state != kAppRunning && state != kAppStarting) return;
    if (WStrLength(root->temp_directory) == 0) return;
    root->cleanup_stop = false;
    HANDLE thread = CreateModuleThread(TempCleanupThread, root, CREATE_SUSPENDED, nullptr);
    if (!thread) return;
    SetThreadPriority(thread, THREAD_PRIORITY_BELOW_NORMAL);
    root->cleanup_thread = thread;
    ResumeThread(thread);
}
