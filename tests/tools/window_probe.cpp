// Reads the windows of another process for the black-box tests of the
// desktop program, sharing no code with it. A message whose answer travels
// through a buffer gets one in the target process (VirtualAllocEx,
// ReadProcessMemory). Every wait and message is bounded.
//
// Usage: window_probe COMMAND ARGS...   (handles are decimal numbers; lines
// go to stdout as UTF-8, fields separated by TAB)
//   windows CLASS [MS [TEXT]]     top-level windows of the class (whose title
//   wait CLASS MS [TEXT]          holds TEXT), polled for up to MS until one
//                                 exists: hwnd pid visible title. wait fails
//                                 (exit 1) when there is none.
//   children HWND                 every descendant: hwnd class id visible
//                                 left top right bottom (screen) text
//   order HWND OTHER              "owner HWND above 1|0": the owner, and
//                                 whether the window lies above OTHER
//   rect HWND                     window rectangle, then client rectangle
//                                 in screen coordinates: left top right bottom
//   tree HWND                     "count N" (TVM_GETCOUNT), then one line per
//                                 item in pre-order: "item depth text"
//   post HWND MSG WPARAM LPARAM   PostMessageW
//   move HWND X Y WIDTH HEIGHT    SetWindowPos (no activation, no z-order change)
//   text HWND TEXT                WM_SETTEXT (the system carries the text over)
//   choose HWND TEXT              selects the first entry of the combo box
//                                 that begins with TEXT (CB_SELECTSTRING) and
//                                 tells its parent as a user's choice does
//                                 (CBN_SELCHANGE); prints the entry's index
//   buttons HWND ID...            per tool-bar command: id index enabled
//                                 pressed (TB_COMMANDTOINDEX, TB_ISBUTTON...)
//   fits HWND                     per visible child with a text: hwnd id
//                                 fits (1 or 0) needed_width needed_height
//                                 width height text, the text measured in
//                                 the control's font (wrapped where a label
//                                 wraps, beside a check mark, inside a frame)
//   process PID                   what the process holds: "handles N gdi N
//                                 user N working_set BYTES private BYTES"
//                                 (a count the system cannot tell is -1)
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstddef>
#include <cwchar>
#include <initializer_list>
#include <string>
#include <vector>

namespace {

constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kTextCapacity = 1024;

// One line of TAB-separated fields, as UTF-8.
void Out(std::initializer_list<std::wstring> fields) {
    std::wstring line;
    for (const std::wstring& field : fields) line += (&field == fields.begin() ? L"" : L"\t") + field;
    line += L"\n";
    std::string utf8(line.size() * 3, '\0');
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, line.c_str(), static_cast<int>(line.size()),
                                          utf8.data(), static_cast<int>(utf8.size()), nullptr, nullptr);
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), bytes > 0 ? bytes : 0, &written, nullptr);
}

std::wstring Number(uintptr_t value) { return std::to_wstring(static_cast<unsigned long long>(value)); }
std::wstring Handle(HWND window) { return Number(reinterpret_cast<uintptr_t>(window)); }
std::wstring Flag(bool value) { return value ? L"1" : L"0"; }

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

// A hung target must not hang the probe.
LRESULT SendBounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    return SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result)
               ? static_cast<LRESULT>(result)
               : 0;
}

std::wstring TitleOf(HWND window) {
    wchar_t text[kTextCapacity] = L"";
    SendBounded(window, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(text));
    text[kTextCapacity - 1] = 0;
    return text;
}

std::wstring Edges(const RECT& r) {
    return std::to_wstring(r.left) + L"\t" + std::to_wstring(r.top) + L"\t" + std::to_wstring(r.right) +
           L"\t" + std::to_wstring(r.bottom);
}

BOOL CALLBACK OutChild(HWND child, LPARAM) {
    RECT r = {};
    GetWindowRect(child, &r);
    Out({Handle(child), ClassOf(child), std::to_wstring(GetDlgCtrlID(child)), Flag(IsWindowVisible(child)),
         Edges(r), TitleOf(child)});
    return TRUE;
}

// Memory in the target process for one message's buffer.
struct RemoteBuffer {
    RemoteBuffer(HWND window, SIZE_T size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process)
            address = VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address) VirtualFreeEx(process, address, 0, MEM_RELEASE);
        if (process) CloseHandle(process);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    HANDLE process = nullptr;
    void* address = nullptr;
};

// A TVITEMW followed by its text, in the target.
struct TreeQuery {
    TVITEMW query;
    wchar_t text[kTextCapacity + 1];
};

std::wstring TreeItemText(HWND tree, const RemoteBuffer& buffer, HTREEITEM item) {
    TreeQuery data = {};
    data.query.mask = TVIF_TEXT | TVIF_HANDLE;
    data.query.hItem = item;
    data.query.pszText = static_cast<TreeQuery*>(buffer.address)->text;
    data.query.cchTextMax = kTextCapacity;
    SIZE_T done = 0;
    if (!WriteProcessMemory(buffer.process, buffer.address, &data, sizeof(data), &done) ||
        !SendBounded(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.address)) ||
        !ReadProcessMemory(buffer.process, buffer.address, &data, sizeof(data), &done)) {
        return L"";
    }
    data.text[kTextCapacity] = 0;
    return data.text;
}

void OutTreeItems(HWND tree, const RemoteBuffer& buffer, HTREEITEM item, int depth) {
    auto next = [&](HTREEITEM from, WPARAM which) {
        return reinterpret_cast<HTREEITEM>(
            SendBounded(tree, TVM_GETNEXTITEM, which, reinterpret_cast<LPARAM>(from)));
    };
    for (; item; item = next(item, TVGN_NEXT)) {
        Out({L"item", std::to_wstring(depth), TreeItemText(tree, buffer, item)});
        OutTreeItems(tree, buffer, next(item, TVGN_CHILD), depth + 1);
    }
}

std::wstring CountOr(bool known, unsigned long long value) { return known ? std::to_wstring(value) : L"-1"; }

// The process's entries in the system's handle table: Wine answers
// GetProcessHandleCount for another process with 0.
bool CountHandlesInSystemTable(DWORD pid, DWORD& count) {
    using QueryFunction = NTSTATUS(NTAPI*)(SYSTEM_INFORMATION_CLASS, PVOID, ULONG, PULONG);
    const auto query = reinterpret_cast<QueryFunction>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (!query) return false;
    constexpr NTSTATUS kLengthMismatch = static_cast<NTSTATUS>(0xC0000004L);
    std::vector<uint8_t> buffer(1 << 16);
    for (int attempt = 0; attempt < 12; ++attempt) {
        ULONG needed = 0;
        const NTSTATUS status = query(static_cast<SYSTEM_INFORMATION_CLASS>(16), buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == kLengthMismatch) {
            buffer.resize(std::max<size_t>(buffer.size() * 2, needed + 4096));
            continue;
        }
        if (status < 0) return false;
        const auto* table = reinterpret_cast<const SYSTEM_HANDLE_INFORMATION*>(buffer.data());
        const size_t room =
            (buffer.size() - offsetof(SYSTEM_HANDLE_INFORMATION, Handle)) / sizeof(SYSTEM_HANDLE_ENTRY);
        count = 0;
        for (ULONG i = 0; i < table->Count && i < room; ++i)
            count += table->Handle[i].OwnerPid == pid ? 1 : 0;
        return true;
    }
    return false;
}

// Handle and GDI/USER object counts and memory of another process, for the
// leak checks of the soak runs.
int OutProcess(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return 1;
    DWORD handles = 0;
    bool handles_known = GetProcessHandleCount(process, &handles);
    if (!handles_known || handles == 0) handles_known = CountHandlesInSystemTable(pid, handles);
    const DWORD gdi = GetGuiResources(process, GR_GDIOBJECTS);
    const DWORD user = GetGuiResources(process, GR_USEROBJECTS);
    PROCESS_MEMORY_COUNTERS memory = {};
    memory.cb = sizeof(memory);
    const bool memory_known = GetProcessMemoryInfo(process, &memory, sizeof(memory));
    CloseHandle(process);
    // A program with windows always holds GDI and USER objects: 0 means the
    // system does not count them for another process (Wine), not none.
    Out({L"handles", CountOr(handles_known, handles), L"gdi", CountOr(gdi != 0, gdi), L"user",
         CountOr(user != 0, user), L"working_set", CountOr(memory_known, memory.WorkingSetSize), L"private",
         CountOr(memory_known, memory.PagefileUsage)});
    return 0;
}

// The font a control draws with: its own when this process can read it
// (GDI handles may be the target's alone), else the dialogs' 8-point
// "MS Shell Dlg" at the screen's resolution.
HFONT ControlFont(HWND control, HDC dc, bool& owned) {
    owned = false;
    const auto font = reinterpret_cast<HFONT>(SendBounded(control, WM_GETFONT, 0, 0));
    LOGFONTW described = {};
    if (font && GetObjectW(font, sizeof(described), &described) == sizeof(described)) return font;
    described = LOGFONTW{};
    described.lfHeight = -MulDiv(8, GetDeviceCaps(dc, LOGPIXELSY), 72);
    described.lfCharSet = DEFAULT_CHARSET;
    wcscpy(described.lfFaceName, L"MS Shell Dlg");
    owned = true;
    return CreateFontIndirectW(&described);
}

BOOL CALLBACK OutFit(HWND child, LPARAM) {
    const std::wstring text = TitleOf(child);
    if (text.empty() || !IsWindowVisible(child)) return TRUE;
    const std::wstring type = ClassOf(child);
    const LONG style = GetWindowLongW(child, GWL_STYLE);
    RECT client = {};
    GetClientRect(child, &client);
    HDC dc = GetDC(nullptr);
    bool owned = false;
    HFONT font = ControlFont(child, dc, owned);
    HGDIOBJ old = SelectObject(dc, font);
    int room = client.right;
    UINT format = DT_CALCRECT | DT_NOPREFIX | DT_SINGLELINE;
    bool check_height = true;
    if (_wcsicmp(type.c_str(), L"Static") == 0) {
        if ((style & SS_TYPEMASK) > SS_RIGHT) room = -1;
        format = DT_CALCRECT | DT_NOPREFIX | DT_WORDBREAK;
    } else if (_wcsicmp(type.c_str(), L"Button") == 0) {
        const LONG kind = style & BS_TYPEMASK;
        const bool mark = kind == BS_CHECKBOX || kind == BS_AUTOCHECKBOX || kind == BS_RADIOBUTTON ||
                          kind == BS_AUTORADIOBUTTON || kind == BS_3STATE || kind == BS_AUTO3STATE;
        room -= mark ? GetSystemMetrics(SM_CXMENUCHECK) + 4 : kind == BS_GROUPBOX ? 16 : 6;
        check_height = kind != BS_GROUPBOX;
        format = DT_CALCRECT | ((style & BS_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE);
    } else {
        room = -1;  // edits, lists and combo boxes scroll their texts
    }
    if (room >= 0) {
        RECT needed = {0, 0, room, 0};
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &needed, format);
        const bool fits = needed.right <= room && (!check_height || needed.bottom <= client.bottom);
        Out({Handle(child), std::to_wstring(GetDlgCtrlID(child)), Flag(fits), std::to_wstring(needed.right),
             std::to_wstring(needed.bottom), std::to_wstring(room), std::to_wstring(client.bottom), text});
    }
    SelectObject(dc, old);
    if (owned) DeleteObject(font);
    ReleaseDC(nullptr, dc);
    return TRUE;
}

int Run(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    if (command == L"process") return OutProcess(wcstoul(argv[2], nullptr, 10));
    if (command == L"windows" || command == L"wait") {
        const DWORD limit = argc >= 4 ? wcstoul(argv[3], nullptr, 10) : 0;
        const std::wstring wanted = argc >= 5 ? argv[4] : L"";
        for (const DWORD start = GetTickCount();; Sleep(20)) {
            bool found = false;
            for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, argv[2], nullptr));) {
                if (TitleOf(window).find(wanted) == std::wstring::npos) continue;
                DWORD pid = 0;
                GetWindowThreadProcessId(window, &pid);
                Out({Handle(window), Number(pid), Flag(IsWindowVisible(window)), TitleOf(window)});
                found = true;
            }
            if (found || GetTickCount() - start >= limit) return found || command == L"windows" ? 0 : 1;
        }
    }
    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(_wcstoui64(argv[2], nullptr, 10)));
    if (!IsWindow(window)) return 1;
    if (command == L"children") {
        EnumChildWindows(window, OutChild, 0);
        return 0;
    }
    if (command == L"fits") {
        EnumChildWindows(window, OutFit, 0);
        return 0;
    }
    if (command == L"order" && argc >= 4) {
        // The window's owner and whether it lies above the other one in the
        // z-order (top-level windows are listed top first).
        const HWND other = reinterpret_cast<HWND>(static_cast<uintptr_t>(_wcstoui64(argv[3], nullptr, 10)));
        bool above = false;
        for (HWND next = GetWindow(window, GW_HWNDNEXT); next && !above; next = GetWindow(next, GW_HWNDNEXT))
            above = next == other;
        Out({L"owner", Handle(GetWindow(window, GW_OWNER)), L"above", Flag(above)});
        return 0;
    }
    if (command == L"rect") {
        RECT outer = {};
        RECT client = {};
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        Out({Edges(outer)});
        Out({Edges(client)});
        return 0;
    }
    if (command == L"tree") {
        Out({L"count", std::to_wstring(SendBounded(window, TVM_GETCOUNT, 0, 0))});
        RemoteBuffer buffer(window, sizeof(TreeQuery));
        if (!buffer.address) return 1;
        OutTreeItems(window, buffer,
                     reinterpret_cast<HTREEITEM>(SendBounded(window, TVM_GETNEXTITEM, TVGN_ROOT, 0)), 0);
        return 0;
    }
    if (command == L"post" && argc >= 6) {
        return !PostMessageW(window, wcstoul(argv[3], nullptr, 10),
                             static_cast<WPARAM>(_wcstoui64(argv[4], nullptr, 10)),
                             static_cast<LPARAM>(_wcstoi64(argv[5], nullptr, 10)));
    }
    if (command == L"text" && argc >= 4) {
        return !SendBounded(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(argv[3]));
    }
    if (command == L"choose" && argc >= 4) {
        const LRESULT index =
            SendBounded(window, CB_SELECTSTRING, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(argv[3]));
        Out({std::to_wstring(static_cast<int>(index))});
        if (index == CB_ERR) return 1;
        SendBounded(GetParent(window), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(window), CBN_SELCHANGE),
                    reinterpret_cast<LPARAM>(window));
        return 0;
    }
    if (command == L"buttons") {
        for (int i = 3; i < argc; ++i) {
            const WPARAM id = wcstoul(argv[i], nullptr, 10);
            Out({argv[i], std::to_wstring(static_cast<int>(SendBounded(window, TB_COMMANDTOINDEX, id, 0))),
                 Flag(SendBounded(window, TB_ISBUTTONENABLED, id, 0) != 0),
                 Flag(SendBounded(window, TB_ISBUTTONPRESSED, id, 0) != 0)});
        }
        return 0;
    }
    if (command == L"move" && argc >= 7) {
        return !SetWindowPos(window, nullptr, _wtoi(argv[3]), _wtoi(argv[4]), _wtoi(argv[5]), _wtoi(argv[6]),
                             SWP_NOZORDER | SWP_NOACTIVATE);
    }
    return 2;
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv) return 2;
    const int result = Run(argc, argv);
    LocalFree(argv);
    return result;
}
