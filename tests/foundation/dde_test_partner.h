// The DDE test server (tests/tools/dde_test_server.cpp) as a second Wine
// process: starting it, reading its log, ending it. Every wait is bounded.
#pragma once

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

constexpr DWORD kPartnerWaitMs = 15000;

inline std::wstring PartnerExe() {
    return WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/bin/dde_test_server.exe");
}

inline std::vector<std::string> LogLines(const std::string& log_path) {
    const std::vector<uint8_t> bytes = ReadHostFile(log_path);
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    // A line still being written (no line end yet) is not read.
    for (std::string line; std::getline(text, line) && !text.eof();) lines.push_back(line);
    return lines;
}

inline bool LogHas(const std::string& log_path, const std::string& wanted) {
    for (const std::string& line : LogLines(log_path)) {
        if (line == wanted) return true;
    }
    return false;
}

// Polls the log until the line appears or the bounded wait is over.
inline bool WaitForLogLine(const std::string& log_path, const std::string& wanted) {
    for (DWORD waited = 0; waited < kPartnerWaitMs; waited += 20) {
        if (LogHas(log_path, wanted)) return true;
        Sleep(20);
    }
    return false;
}

// The first line that starts with the prefix, without the prefix.
inline std::string LogValue(const std::string& log_path, const std::string& prefix) {
    for (const std::string& line : LogLines(log_path)) {
        if (line.compare(0, prefix.size(), prefix) == 0) return line.substr(prefix.size());
    }
    return "";
}

// A running partner; the destructor waits for its end (bounded) and
// terminates it only when it overstays.
class Partner {
  public:
    Partner(const std::string& log_path, const std::wstring& switches) {
        std::wstring line =
            L"\"" + PartnerExe() + L"\" -log \"" + WindowsPathOf(log_path) + L"\" " + switches;
        STARTUPINFOW startup = {};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                  &startup, &process_) != 0;
    }
    ~Partner() {
        if (!started_) return;
        if (WaitForSingleObject(process_.hProcess, kPartnerWaitMs) != WAIT_OBJECT_0) {
            TerminateProcess(process_.hProcess, 1);
        }
        CloseHandle(process_.hThread);
        CloseHandle(process_.hProcess);
    }
    Partner(const Partner&) = delete;
    Partner& operator=(const Partner&) = delete;

    bool started() const { return started_; }
    DWORD id() const { return process_.dwProcessId; }

  private:
    bool started_ = false;
    PROCESS_INFORMATION process_ = {};
};

// Waits (bounded) for a process known only by its id to end.
inline bool WaitForProcessEnd(DWORD process_id) {
    HANDLE process = OpenProcess(SYNCHRONIZE, FALSE, process_id);
    if (!process) return true;  // already gone
    const bool ended = WaitForSingleObject(process, kPartnerWaitMs) == WAIT_OBJECT_0;
    CloseHandle(process);
    return ended;
}
