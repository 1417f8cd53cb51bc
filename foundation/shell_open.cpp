#include "foundation/shell_open.h"

#include <cwchar>
#include <vector>

#include "foundation/dde_client.h"
#include "foundation/handles.h"
#include "foundation/registry.h"
#include "foundation/string_builder.h"

namespace {

constexpr const wchar_t* kExecutableExtensions[] = {
    L"exe", L"bat", L"com", L"cmd", L"vbs", L"wsh", L"scr", L"pif", L"msi",
    L"hta", L"js",  L"jse", L"vbe", L"wsf", L"lnk", L"cpl", L"reg", L"ps1",
};
constexpr const wchar_t* kUrlSchemes[] = {L"http:", L"https:", L"ftp:"};
constexpr const wchar_t kDefaultDdeTopic[] = L"System";

struct ProcessWindowSearch {
    DWORD process_id;
    HWND found;
};

// The registered command with the file put in: every "%1", or every "%L"
// when there is no "%1". The other placeholders the shell would fill (%2 to
// %9, %*) have nothing to stand for here and are dropped, so the program
// never sees them literally. The template is scanned once, so a '%' inside
// the file name (an encoded URL) stays as it is. True when the file was put
// in.
bool FillCommandLine(const WString& command, const WString& file, WString& out) {
    const wchar_t* p = WStrCStr(command);
    const bool has_one = wcsstr(p, L"%1") != nullptr;
    WStrBuilder line(WStrLength(command) + WStrLength(file) + 32);
    bool taken = false;
    while (*p) {
        if (p[0] == L'%' && p[1]) {
            const wchar_t c = p[1];
            if (has_one ? c == L'1' : (c == L'L' || c == L'l')) {
                WStrBuilderAppend(line, file);
                taken = true;
                p += 2;
                continue;
            }
            if ((c >= L'2' && c <= L'9') || c == L'*') {
                p += 2;
                continue;
            }
        }
        WStrBuilderAppendChar(line, *p++);
    }
    WStrBuilderToString(line, out);
    return taken;
}

WString& ExpandEnvironment(const WString& text, WString& out) {
    const DWORD needed = ExpandEnvironmentStringsW(WStrCStr(text), nullptr, 0);
    std::vector<wchar_t> expanded(needed ? needed : 1);
    const DWORD got =
        ExpandEnvironmentStringsW(WStrCStr(text), expanded.data(), static_cast<DWORD>(expanded.size()));
    if (got == 0 || got > expanded.size()) return out = text;
    return WStrAssignChars(out, expanded.data());
}

bool IsUrl(const WString& file) {
    for (const wchar_t* scheme : kUrlSchemes) {
        if (_wcsnicmp(WStrCStr(file), scheme, wcslen(scheme)) == 0) return true;
    }
    return false;
}

bool IsHtmlExtension(const WString& dot_extension) {
    return WStrEqualsNoCase(dot_extension, L".html") || WStrEqualsNoCase(dot_extension, L".htm");
}

// The registered default value of `key` + `sub_key` under HKEY_CLASSES_ROOT.
bool ClassValue(const WString& key, const wchar_t* sub_key, WString& value) {
    WString path;
    WStrConcatChars(key, sub_key, path);
    return RegGetClassDefault(WStrCStr(path), value) && WStrLength(value) > 0;
}

// The DDE half of a registration whose command line does not take the file.
// Without a registration or a server the program was still started, which
// counts as success.
bool DeliverByDde(const WString& verb_key, const WString& file, HWND* out_window) {
    WString ddeexec, execute, service, topic;
    WStrConcatChars(verb_key, L"\\ddeexec", ddeexec);
    if (!ClassValue(ddeexec, L"", execute) || !ClassValue(ddeexec, L"\\Application", service)) return true;
    if (!ClassValue(ddeexec, L"\\Topic", topic)) topic = kDefaultDdeTopic;
    Ref<DdeClient> client = DdeClientConnect(service, topic, kDdeConnectTimeoutMs);
    if (!client) return true;
    WStrReplaceAll(execute, L"%1", WStrCStr(file), false);
    const bool delivered = DdeClientExecute(client.get(), execute);
    if (out_window) *out_window = DdeClientGetServerWindow(client.get());
    return delivered;
}

bool StartProgram(const WString& command_line, const WString& directory, PROCESS_INFORMATION& process) {
    std::vector<wchar_t> line(WStrCStr(command_line), WStrCStr(command_line) + WStrLength(command_line) + 1);
    STARTUPINFOW startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOW;
    const wchar_t* folder = WStrLength(directory) ? WStrCStr(directory) : nullptr;
    process = {};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, folder, &startup,
                        &process)) {
        return false;
    }
    WaitForInputIdle(process.hProcess, kShellOpenIdleWaitMs);
    return true;
}

}  // namespace

bool ShellOpenDocument(const WString& verb, const WString& file, const WString& extension,
                       const WString& directory, HWND* out_window) {
    if (out_window) *out_window = nullptr;
    if (!WStrEqualsNoCase(verb, L"open") && !WStrEqualsNoCase(verb, L"edit")) return false;
    WString dot_extension = extension;
    if (WStrLength(dot_extension) == 0) WStrGetExtension(file, dot_extension);
    if (WStrLength(dot_extension) == 0) return false;
    if (WStrCharAt(dot_extension, 0) != L'.') WStrConcat(WString(L"."), dot_extension, dot_extension);

    WString class_name, verb_key, command, command_line;
    if (!ClassValue(dot_extension, L"", class_name)) return false;
    WStrConcatChars(class_name, L"\\shell\\", verb_key);
    WStrAppend(verb_key, verb);
    if (!ClassValue(verb_key, L"\\command", command)) return false;
    ExpandEnvironment(command, command);
    bool taken = FillCommandLine(command, file, command_line);
    if (WStrLength(command_line) == 0) return false;
    if (!taken && IsHtmlExtension(dot_extension) && IsUrl(file)) {
        WStrAppendChars(command_line, L" \"");
        WStrAppend(command_line, file);
        WStrAppendChar(command_line, L'"');
        taken = true;
    }

    PROCESS_INFORMATION process;
    if (!StartProgram(command_line, directory, process)) return false;
    const UniqueHandle process_handle(process.hProcess), thread_handle(process.hThread);
    const bool result = taken || DeliverByDde(verb_key, file, out_window);
    if (out_window && !*out_window) *out_window = FindProcessWindow(process.dwProcessId);
    return result;
}

bool IsExecutableFile(const WString& path) {
    WString extension;
    WStrGetExtension(path, extension);
    if (WStrLength(extension) == 0) return false;
    for (const wchar_t* executable : kExecutableExtensions) {
        if (WStrEqualsNoCase(extension, executable)) return true;
    }
    return false;
}

// Only a window the user can see and that stands on its own is the
// program's main window: DDE windows are hidden, dialogs and tool windows
// are owned.
BOOL CALLBACK FindProcessWindowProc(HWND window, LPARAM search) {
    auto* wanted = reinterpret_cast<ProcessWindowSearch*>(search);
    DWORD process_id = 0;
    GetWindowThreadProcessId(window, &process_id);
    if (process_id != wanted->process_id || !IsWindowVisible(window) || GetWindow(window, GW_OWNER))
        return TRUE;
    wanted->found = window;
    return FALSE;
}

HWND FindProcessWindow(DWORD process_id) {
    ProcessWindowSearch search = {process_id, nullptr};
    EnumWindows(FindProcessWindowProc, reinterpret_cast<LPARAM>(&search));
    return search.found;
}
