// What the DDE server tests share: a viewer with its DDE server running on
// this thread, and the DDE client of tests/tools/dde_test_client.cpp run as
// a second Wine process while this thread dispatches the server's
// messages. Every wait is bounded.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/command_line.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_server.h"

// The client's whole run, its steps included.
constexpr DWORD kClientRunLimitMs = 60000;

// A viewer started as the shells start one, with the DDE server asked for.
struct ServedViewer {
    explicit ServedViewer(const wchar_t* command_line = L"") {
        Ref<CmdLine> parsed = CmdLineCreate(command_line);
        root = AppCreate(GetModuleHandleW(nullptr), parsed.get());
        context = ViewerContextConstruct(root.get());
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true);
    }
    ~ServedViewer() {
        AppStop(root.get());
        AppCloseAll(root.get(), context.get());
        AppBroadcast(root.get(), 1);
        context.Reset();
        root.Reset();
    }
    DdeServer* server() const { return root ? root->dde_server.get() : nullptr; }

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
};

inline std::vector<std::string> SplitLines(const std::vector<uint8_t>& bytes) {
    std::vector<std::string> lines;
    std::string line;
    for (uint8_t c : bytes) {
        if (c == '\n') {
            lines.push_back(line);
            line.clear();
        } else {
            line += static_cast<char>(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

// Dispatches this thread's messages until the process ends or the time is
// up; true when it ended.
inline bool PumpUntilProcessEnds(HANDLE process, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    for (;;) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (WaitForSingleObject(process, 0) == WAIT_OBJECT_0) return true;
        const DWORD elapsed = GetTickCount() - start;
        if (elapsed >= timeout_ms) return false;
        MsgWaitForMultipleObjects(1, &process, FALSE, timeout_ms - elapsed, QS_ALLINPUT);
    }
}

// Runs the client's steps (lines as tests/tools/dde_test_client.cpp reads
// them) against the service and answers its output lines, one per step.
inline std::vector<std::string> RunDdeClient(const std::wstring& service,
                                             const std::vector<std::string>& steps) {
    static int run = 0;
    const std::string dir =
        MakeScratchDir("dde-client-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++run));
    std::string step_text;
    for (const std::string& step : steps) step_text += step + "\n";
    EXPECT_TRUE(WriteHostFile(dir + "/steps.txt", std::vector<uint8_t>(step_text.begin(), step_text.end())));
    const std::wstring exe = WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/bin/dde_test_client.exe");
    std::wstring line = L"\"" + exe + L"\" -out \"" + WindowsPathOf(dir + "/out.txt") + L"\" -service " +
                        service + L" -steps \"" + WindowsPathOf(dir + "/steps.txt") + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process)) {
        ADD_FAILURE() << "the DDE test client did not start";
        return {};
    }
    if (!PumpUntilProcessEnds(process.hProcess, kClientRunLimitMs)) {
        ADD_FAILURE() << "the DDE test client did not end";
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return SplitLines(ReadHostFile(dir + "/out.txt"));
}

// One step's output line.
inline std::string DdeStep(const std::wstring& service, const std::string& step) {
    std::vector<std::string> lines = RunDdeClient(service, {step});
    return lines.size() == 1 ? lines[0] : "<" + std::to_string(lines.size()) + " lines>";
}

// The text of a request's answer, or "<no data>" (or the client's line).
inline std::string Answer(const std::string& line) {
    if (line.rfind("data\t", 0) != 0) return "<" + line + ">";
    const size_t third_tab = line.find('\t', line.find('\t', 5) + 1);
    return line.substr(third_tab + 1);
}
