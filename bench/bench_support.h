// What both benchmarks measure with: the clock and the peak working set.
#pragma once

#include <windows.h>

// Under Wine the process is a Linux process: writing 5 to its clear_refs
// resets the peak resident size that GetProcessMemoryInfo reports, so the
// peak seen afterwards belongs to what ran since. On Windows the file does
// not exist and the peak covers the whole run.
inline bool ResetPeakWorkingSet() {
    HANDLE file =
        CreateFileW(L"Z:\\proc\\self\\clear_refs", GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
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
