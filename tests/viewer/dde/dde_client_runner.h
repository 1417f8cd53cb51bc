// What the DDE server tests share: a viewer with its DDE server running on
// this thread, and the DDE client of tests/tools/dde_test_client.cpp run as
// a second Wine process (one conversation per step) while this thread
// dispatches the server's messages. Every wait is bounded.
#pragma once

#include <sstream>

#include "foundation/handles.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/command_line.h"
#include "viewer/core/settings.h"

// A viewer started as the shells start one, with the DDE server asked for;
// `open_mode` >= 0 sets ACTIVEX_FILEOPENMODE before the windows open.
struct ServedViewer {
    explicit ServedViewer(const wchar_t* command_line = L"", int32_t open_mode = -1) {
        root = AppCreate(GetModuleHandleW(nullptr), CmdLineCreate(command_line).get());
        context = ViewerContextConstruct(root.get());
        if (open_mode >= 0)
            SettingsSetFileOpenMode(AppGetSettings(root.get()).get(), nullptr, kCallerInternal, open_mode);
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, true);
    }
    ~ServedViewer() {
        AppStop(root.get());
        AppCloseAll(root.get(), context.get());
        AppBroadcast(root.get(), event::kAppEnding);
    }
    Ref<AppRoot> root;
    Ref<ViewerContext> context;
};

// Serves this thread's messages until the thread or process ends; when it
// does not in time, ends it.
inline void ServeUntilEnded(HANDLE handle, DWORD timeout_ms) {
    if (PollUntil([&] { return WaitForSingleObject(handle, 0) == WAIT_OBJECT_0; }, timeout_ms)) return;
    ADD_FAILURE() << "a client did not end";
    TerminateThread(handle, 1) || TerminateProcess(handle, 1);
}

// The client's output lines, one per step (steps as the client reads them).
inline std::vector<std::string> RunDdeClient(const std::wstring& service,
                                             const std::vector<std::string>& steps) {
    static int run = 0;
    const std::string dir =
        MakeScratchDir("dde-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++run));
    std::string text;
    for (const std::string& step : steps) text += step + "\n";
    WriteText(dir + "/steps.txt", text);
    std::wstring line = L"\"" + WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/bin/dde_test_client.exe") +
                        L"\" -out \"" + WindowsPathOf(dir + "/out.txt") + L"\" -service " + service +
                        L" -steps \"" + WindowsPathOf(dir + "/steps.txt") + L"\"";
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    EXPECT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                               &process));
    UniqueHandle process_handle(process.hProcess), thread_handle(process.hThread);
    if (process_handle) ServeUntilEnded(process.hProcess, 60000);
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream out(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string each; std::getline(out, each);) lines.push_back(each);
    return lines;
}

// A step's outcome: the client's line, or for a request with data the
// answer, which must come as 8-bit text with its NUL and nothing after.
inline std::string Outcome(const std::string& line) {
    if (line.rfind("data\t", 0) != 0) return line;
    const size_t nul_end = line.find('\t', line.find('\t', 5) + 1);
    const std::string text = line.substr(nul_end + 1);
    return line.substr(5, nul_end - 5) == std::to_string(text.size() + 1) + "\t1" ? text : "<" + line + ">";
}

// One step's outcome, or the count of lines when there was not one.
inline std::string DdeStep(const std::wstring& service, const std::string& step) {
    std::vector<std::string> lines = RunDdeClient(service, {step});
    return lines.size() == 1 ? Outcome(lines[0]) : "<" + std::to_string(lines.size()) + " lines>";
}
