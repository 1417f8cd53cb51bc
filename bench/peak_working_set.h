// The benchmarks' measure of a step's memory: the peak working set after a reset.
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
