// A partner program for the shell-open and DDE client tests, run as a second
// Wine process. It logs what it sees, one line each, as UTF-8 to the file
// given with -log:
//   cmdline <TAB> the whole command line
//   pid <TAB> the process id
//   arg <TAB> each argument after the program name
//   cwd <TAB> the current directory
//   windows <TAB> visible=<hwnd> hidden=<hwnd> owned=<hwnd>   (with -windows)
//   ready                                                      (DDE service registered)
//   connect <TAB> topic
//   execute <TAB> topic <TAB> command text
//   request <TAB> topic <TAB> item <TAB> format
// Switches: -log PATH, -service NAME (serve DDE under that name until the
// execute "Quit" arrives), -windows (make the windows above), -lifetime MS
// (ends after that long whatever happens; 20000 by default), -delay MS
// (waits that long before registering the service). The execute
// "Reject" is refused, every other one acknowledged. Other arguments
// are only logged. Request items: "GetProcessID" (the process id),
// "Umlaut" ("Gr\xfc\xdf" in code page 1252), "Unterminated" ("abc" without a NUL),
// anything else gets no data.
#include <windows.h>
// after windows.h, which they need
#include <ddeml.h>
#include <shellapi.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "foundation/file_handle.h"

namespace {

std::wstring g_log_path;
DWORD g_instance = 0;

void LogLine(const std::wstring& line) {
    if (g_log_path.empty()) return;
    const std::wstring text = line + L"\n";
    std::string utf8(text.size() * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, nullptr);
    FileHandle file(CreateFileW(g_log_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid() && bytes > 0) WriteAllBytes(file.get(), utf8.data(), static_cast<uint32_t>(bytes));
}

std::wstring StringOf(HSZ handle) {
    wchar_t text[256] = {};
    DdeQueryStringW(g_instance, handle, text, 256, CP_WINUNICODE);
    return text;
}

std::wstring HexOf(HWND window) {
    wchar_t text[32];
    swprintf(text, 32, L"%lx", static_cast<unsigned long>(reinterpret_cast<ULONG_PTR>(window)));
    return text;
}

std::wstring ExecuteText(HDDEDATA data) {
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    if (!bytes) return L"<no data>";
    std::wstring text(reinterpret_cast<const wchar_t*>(bytes), size / sizeof(wchar_t));
    DdeUnaccessData(data);
    size_t end = text.find(L'\0');
    if (end != std::wstring::npos) text.resize(end);
    return text;
}

HDDEDATA Answer(HSZ item, const std::wstring& name) {
    std::string bytes;
    if (name == L"GetProcessID") {
        bytes = std::to_string(GetCurrentProcessId());
        bytes.push_back('\0');
    } else if (name == L"Umlaut") {
        bytes = "Gr\xfc\xdf";
        bytes.push_back('\0');
    } else if (name == L"Unterminated") {
        bytes = "abc";
    } else {
        return nullptr;
    }
    return DdeCreateDataHandle(g_instance, reinterpret_cast<BYTE*>(bytes.data()),
                               static_cast<DWORD>(bytes.size()), 0, item, CF_TEXT, 0);
}

HDDEDATA CALLBACK ServerCallback(UINT type, UINT format, HCONV, HSZ topic, HSZ item, HDDEDATA data, ULONG_PTR,
                                 ULONG_PTR) {
    switch (type) {
        case XTYP_CONNECT:
            LogLine(L"connect\t" + StringOf(topic));
            return reinterpret_cast<HDDEDATA>(TRUE);
        case XTYP_EXECUTE: {
            std::wstring command = ExecuteText(data);
            LogLine(L"execute\t" + StringOf(topic) + L"\t" + command);
            if (command == L"Quit") PostQuitMessage(0);
            return reinterpret_cast<HDDEDATA>(command == L"Reject" ? DDE_FNOTPROCESSED : DDE_FACK);
        }
        case XTYP_REQUEST: {
            std::wstring name = StringOf(item);
            LogLine(L"request\t" + StringOf(topic) + L"\t" + name + L"\t" + std::to_wstring(format));
            return format == CF_TEXT ? Answer(item, name) : nullptr;
        }
        default:
            return nullptr;
    }
}

bool StartService(const std::wstring& name) {
    if (DdeInitializeW(&g_instance, ServerCallback, APPCLASS_STANDARD | CBF_SKIP_ALLNOTIFICATIONS, 0) !=
        DMLERR_NO_ERROR) {
        return false;
    }
    HSZ service = DdeCreateStringHandleW(g_instance, name.c_str(), CP_WINUNICODE);
    return service && DdeNameService(g_instance, service, nullptr, DNS_REGISTER);
}

// Windows a process search must tell apart: a visible unowned top-level one
// made first, then a hidden one and a visible popup owned by the hidden one,
// both above it in the z-order.
void MakeWindows() {
    WNDCLASSW window_class = {};
    window_class.lpfnWndProc = DefWindowProcW;
    window_class.hInstance = GetModuleHandleW(nullptr);
    window_class.lpszClassName = L"DdeTestServerWindow";
    RegisterClassW(&window_class);
    auto make = [&](const wchar_t* title, DWORD style, HWND owner) {
        return CreateWindowExW(0, window_class.lpszClassName, title, style, 0, 0, 100, 100, owner, nullptr,
                               window_class.hInstance, nullptr);
    };
    HWND visible = make(L"visible", WS_OVERLAPPEDWINDOW | WS_VISIBLE, nullptr);
    HWND hidden = make(L"hidden", WS_OVERLAPPEDWINDOW, nullptr);
    HWND owned = make(L"owned", WS_POPUP | WS_VISIBLE, hidden);
    LogLine(L"windows\tvisible=" + HexOf(visible) + L"\thidden=" + HexOf(hidden) + L"\towned=" + HexOf(owned));
}

}  // namespace

int main() {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return 2;
    std::wstring service;
    bool windows = false;
    DWORD lifetime_ms = 20000;
    DWORD start_delay_ms = 0;
    for (int i = 1; i < count; ++i) {
        const std::wstring arg = args[i];
        const wchar_t* value = i + 1 < count ? args[i + 1] : L"";
        windows |= arg == L"-windows";
        if (arg == L"-log") g_log_path = value;
        if (arg == L"-service") service = value;
        if (arg == L"-lifetime") lifetime_ms = static_cast<DWORD>(_wtoi(value));
        if (arg == L"-delay") start_delay_ms = static_cast<DWORD>(_wtoi(value));
    }
    LogLine(std::wstring(L"cmdline\t") + GetCommandLineW());
    LogLine(L"pid\t" + std::to_wstring(GetCurrentProcessId()));
    for (int i = 1; i < count; ++i) LogLine(std::wstring(L"arg\t") + args[i]);
    wchar_t directory[MAX_PATH] = {};
    GetCurrentDirectoryW(MAX_PATH, directory);
    LogLine(std::wstring(L"cwd\t") + directory);
    if (windows) MakeWindows();
    if (service.empty() && !windows) return 0;
    if (!service.empty()) {
        Sleep(start_delay_ms);
        if (!StartService(service)) return 3;
        LogLine(L"ready");
    }
    SetTimer(nullptr, 0, lifetime_ms, nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (message.message == WM_TIMER) break;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    if (g_instance) DdeUninitialize(g_instance);
    return 0;
}
