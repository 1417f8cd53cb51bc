#include "tests/support/test_support.h"

#include <windows.h>
// after windows.h, which it needs
#include <tlhelp32.h>

#include <cstdio>
#include <cstdlib>
#include <sstream>

#include "foundation/handles.h"

std::string TestEnvDir(const char* variable) {
    const char* value = getenv(variable);
    return value ? value : "";
}

std::wstring WindowsPathOf(const std::string& unix_path) {
    std::wstring result = L"Z:";
    for (char c : unix_path) result += c == '/' ? L'\\' : wchar_t(static_cast<unsigned char>(c));
    return result;
}

int RunHostCommand(const std::string& command) {
    // Wine starts a Unix executable named by its Unix path but hands back no
    // process handle to wait on, so the command runs from a script that
    // leaves its exit code in a file, and the caller polls for that file.
    static LONG counter = 0;
    const std::string stem = TestEnvDir("TEST_BINARY_DIR") + "/scratch/host-" +
                             std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(InterlockedIncrement(&counter));
    // The command runs in a shell of its own, so that one the shell cannot
    // parse (an empty one too) still ends with an exit code.
    const std::string script = stem + ".sh", body = stem + ".cmd", rc = stem + ".rc";
    const std::string text = "/bin/sh '" + body + "'\necho $? > '" + rc + ".tmp' && mv '" + rc + ".tmp' '" + rc +
                             "'\n";
    CreateDirectoryW(WindowsPathOf(TestEnvDir("TEST_BINARY_DIR") + "/scratch").c_str(), nullptr);
    if (!WriteHostFile(body, std::vector<uint8_t>(command.begin(), command.end())) ||
        !WriteHostFile(script, std::vector<uint8_t>(text.begin(), text.end()))) {
        return -1;
    }
    std::wstring line = L"/bin/sh " + WindowsPathOf(script).substr(2);
    for (auto& c : line) if (c == L'\\') c = L'/';
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        return -1;
    }
    if (process.hThread) CloseHandle(process.hThread);
    if (process.hProcess) CloseHandle(process.hProcess);
    for (int waited_ms = 0; waited_ms < 600000; waited_ms += 5) {
        std::vector<uint8_t> code = ReadHostFile(rc);
        if (!code.empty()) {
            DeleteFileW(WindowsPathOf(rc).c_str());
            DeleteFileW(WindowsPathOf(script).c_str());
            DeleteFileW(WindowsPathOf(body).c_str());
            return atoi(std::string(code.begin(), code.end()).c_str());
        }
        Sleep(5);
    }
    return -1;
}

std::vector<uint8_t> ReadHostFile(const std::string& unix_path) {
    std::vector<uint8_t> bytes;
    FILE* file = _wfopen(WindowsPathOf(unix_path).c_str(), L"rb");
    if (!file) return bytes;
    uint8_t chunk[65536];
    size_t got;
    while ((got = fread(chunk, 1, sizeof(chunk), file)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    fclose(file);
    return bytes;
}

bool WriteHostFile(const std::string& unix_path, const std::vector<uint8_t>& bytes) {
    FILE* file = _wfopen(WindowsPathOf(unix_path).c_str(), L"wb");
    if (!file) return false;
    bool ok = fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return fclose(file) == 0 && ok;
}

std::string MakeScratchDir(const std::string& name) {
    std::string dir = TestEnvDir("TEST_BINARY_DIR") + "/scratch/" + name;
    RunHostCommand("rm -rf '" + dir + "' && mkdir -p '" + dir + "'");
    return dir;
}

bool SameHostFiles(const std::string& unix_path, const std::string& other_unix_path) {
    return RunHostCommand("test \"$(sha256sum < '" + unix_path + "')\" = \"$(sha256sum < '" +
                          other_unix_path + "')\"") == 0;
}

std::string Utf8Of(const std::wstring& text) {
    std::string out(text.size() * 3 + 1, '\0');
    int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(),
                                static_cast<int>(out.size()), nullptr, nullptr);
    out.resize(n > 0 ? n : 0);
    return out;
}

namespace {

struct ThreadTask {
    std::function<void(int)> body;  // a copy: an overstaying thread outlives the caller's
    int index;
};

DWORD WINAPI RunThreadTask(void* parameter) {
    auto* task = static_cast<ThreadTask*>(parameter);
    task->body(task->index);
    return 0;
}

}  // namespace

bool RunConcurrently(int threads, const std::function<void(int)>& body) {
    // A thread that overstays keeps its task: the tasks are freed only when
    // every thread has ended.
    auto* tasks = new std::vector<ThreadTask>(threads);
    std::vector<HANDLE> handles;
    for (int i = 0; i < threads; ++i) {
        (*tasks)[i] = ThreadTask{body, i};
        HANDLE thread = CreateThread(nullptr, 0, RunThreadTask, &(*tasks)[i], 0, nullptr);
        if (thread) handles.push_back(thread);
    }
    bool ended = true;
    const ULONGLONG deadline = GetTickCount64() + 60000;
    for (HANDLE thread : handles) {
        const ULONGLONG now = GetTickCount64();
        ended = WaitForSingleObject(thread, now < deadline ? static_cast<DWORD>(deadline - now) : 0) ==
                    WAIT_OBJECT_0 &&
                ended;
        CloseHandle(thread);
    }
    if (!ended) return false;
    delete tasks;
    return static_cast<int>(handles.size()) == threads;
}

uint32_t ProcessThreadCount() {
    UniqueHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot) return 0;
    uint32_t count = 0;
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = Thread32First(snapshot.get(), &entry); more;
         more = Thread32Next(snapshot.get(), &entry)) {
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++count;
    }
    return count;
}

bool RunDataScript(const std::string& script, const std::string& arguments,
                   const std::vector<std::string>& input_lines, std::vector<std::string>* output_lines) {
    const std::string dir = MakeScratchDir("script-" + script);
    std::string input;
    for (const std::string& line : input_lines) input += line + "\n";
    if (!WriteHostFile(dir + "/in.txt", std::vector<uint8_t>(input.begin(), input.end())) ||
        RunHostCommand("cd '" + dir + "' && python3 '" + TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/" + script +
                       "' " + arguments) != 0) {
        return false;
    }
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream output(std::string(bytes.begin(), bytes.end()));
    output_lines->clear();
    for (std::string line; std::getline(output, line);) output_lines->push_back(line);
    return true;
}
