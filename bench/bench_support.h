// What both benchmarks measure with: the clock and the peak working set.
#pragma once

#include <windows.h>

#include <algorithm>
#include <string>

// Under Wine the process is a Linux process: writing 5 to its clear_refs
// resets the peak resident size that GetProcessMemoryInfo reports, so the
// peak seen afterwards belongs to what ran since. Wine's server opens the
// files a process names, so Z:\proc\self is the server's own directory: the
// process's is the one whose name is this module's (the kernel keeps 15
// characters of it) and whose environment names this Wine prefix, and a
// benchmark runs one process at a time per prefix. On Windows the folder
// does not exist and the peak covers the whole run; false when the reset
// could not be made.
inline std::string ReadWholeFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return std::string();
    std::string text;
    char chunk[4096];
    DWORD read = 0;
    while (text.size() < (1u << 20) && ReadFile(file, chunk, sizeof chunk, &read, nullptr) && read > 0)
        text.append(chunk, read);
    CloseHandle(file);
    return text;
}

inline std::wstring OwnProcDirectory() {
    static const std::wstring found = [] {
        wchar_t module[MAX_PATH];
        const DWORD length = GetModuleFileNameW(nullptr, module, MAX_PATH);
        char prefix[MAX_PATH];
        const DWORD prefix_length = GetEnvironmentVariableA("WINEPREFIX", prefix, MAX_PATH);
        if (length == 0 || length >= MAX_PATH || prefix_length == 0 || prefix_length >= MAX_PATH)
            return std::wstring();
        std::wstring base(module, length);
        base = base.substr(base.find_last_of(L"\\/") + 1);
        const std::string name_line =
            "Name:\t" + std::string(base.begin(), base.begin() + std::min<size_t>(base.size(), 15)) + "\n";
        const std::string environment_entry = std::string("WINEPREFIX=") + prefix + '\0';
        std::wstring match;
        int matches = 0;
        WIN32_FIND_DATAW entry;
        HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &entry);
        if (search == INVALID_HANDLE_VALUE) return std::wstring();
        do {
            const std::wstring pid = entry.cFileName;
            if (pid.empty() || pid.find_first_not_of(L"0123456789") != std::wstring::npos) continue;
            const std::wstring directory = L"Z:\\proc\\" + pid;
            if (ReadWholeFile(directory + L"\\status").rfind(name_line, 0) != 0) continue;
            if (ReadWholeFile(directory + L"\\environ").find(environment_entry) == std::string::npos)
                continue;
            match = directory;
            ++matches;
        } while (FindNextFileW(search, &entry));
        FindClose(search);
        return matches == 1 ? match : std::wstring();
    }();
    return found;
}

inline bool ResetPeakWorkingSet() {
    const std::wstring directory = OwnProcDirectory();
    if (directory.empty()) return false;
    HANDLE file = CreateFileW((directory + L"\\clear_refs").c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    const bool ok = WriteFile(file, "5", 1, &written, nullptr) && written == 1;
    CloseHandle(file);
    return ok;
}

// Milliseconds of the performance counter.
inline double NowMs() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return double(now.QuadPart) * 1000.0 / double(frequency.QuadPart);
}
