// Reads the windows of another process, as the black-box tests of the
// desktop program need: it finds windows by class, reads titles, window
// rectangles, tree-view items and tool-bar button states, and posts
// messages. Messages whose answer travels through a buffer get one in the
// target process (VirtualAllocEx, ReadProcessMemory). It shares no code with
// the program it reads.
//
// Usage: window_probe COMMAND ARGS...   (one command per run; handles are
// decimal numbers; lines go to stdout as UTF-8, fields separated by TAB)
//   windows CLASS                 every top-level window of the class:
//                                 hwnd pid visible title
//   wait CLASS MS [TEXT]          polls every 20 ms until a top-level window
//                                 of the class (whose title contains TEXT)
//                                 exists; prints its line, exit 1 at the end
//                                 of the time
//   gone HWND MS                  polls until the window is gone (exit 1 if not)
//   children HWND                 every descendant: hwnd class id visible
//                                 left top right bottom (screen) text
//   text HWND                     the title
//   rect HWND                     window rectangle, then client rectangle
//                                 in screen coordinates: left top right bottom
//   tree HWND                     "count N" (TVM_GETCOUNT), then one line per
//                                 item in pre-order: "item depth text"
//   tbenabled HWND ID             1 or 0 (TB_ISBUTTONENABLED)
//   post HWND MSG WPARAM LPARAM   PostMessageW
//   move HWND X Y WIDTH HEIGHT    SetWindowPos (no activation, no z-order change)
#include <windows.h>
// after windows.h, which it needs
#include <commctrl.h>
#include <shellapi.h>

#include <cwchar>
#include <string>
#include <vector>

namespace {

constexpr DWORD kPollMs = 20;
constexpr DWORD kSendTimeoutMs = 5000;
constexpr int kTextCapacity = 1024;

void Out(const std::wstring& line) {
    const std::wstring text = line + L"\n";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                          nullptr, nullptr);
    std::string utf8(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), utf8.data(), bytes,
                            nullptr, nullptr);
    }
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), utf8.data(), static_cast<DWORD>(utf8.size()), &written,
              nullptr);
}

std::wstring Number(uintptr_t value) { return std::to_wstring(static_cast<unsigned long long>(value)); }

HWND ParseWindow(const wchar_t* text) {
    return reinterpret_cast<HWND>(static_cast<uintptr_t>(_wcstoui64(text, nullptr, 10)));
}

std::wstring ClassOf(HWND window) {
    wchar_t name[256] = L"";
    GetClassNameW(window, name, 256);
    return name;
}

std::wstring TitleOf(HWND window) {
    wchar_t text[kTextCapacity] = L"";
    // Bounded: a hung target must not hang the probe.
    DWORD_PTR result = 0;
    SendMessageTimeoutW(window, WM_GETTEXT, kTextCapacity, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG,
                        kSendTimeoutMs, &result);
    text[kTextCapacity - 1] = 0;
    return text;
}

std::wstring TopLevelLine(HWND window) {
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    return Number(reinterpret_cast<uintptr_t>(window)) + L"\t" + Number(pid) + L"\t" +
           (IsWindowVisible(window) ? L"1" : L"0") + L"\t" + TitleOf(window);
}

struct TopLevelSearch {
    std::wstring class_name;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectTopLevel(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<TopLevelSearch*>(data);
    if (ClassOf(window) == search->class_name) search->found.push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindows(const std::wstring& class_name) {
    TopLevelSearch search{class_name, {}};
    EnumWindows(CollectTopLevel, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

BOOL CALLBACK PrintChild(HWND window, LPARAM) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    Out(Number(reinterpret_cast<uintptr_t>(window)) + L"\t" + ClassOf(window) + L"\t" +
        std::to_wstring(GetDlgCtrlID(window)) + L"\t" + (IsWindowVisible(window) ? L"1" : L"0") + L"\t" +
        std::to_wstring(rect.left) + L"\t" + std::to_wstring(rect.top) + L"\t" + std::to_wstring(rect.right) +
        L"\t" + std::to_wstring(rect.bottom) + L"\t" + TitleOf(window));
    return TRUE;
}

// Memory in the target process for one message's buffer.
class RemoteBuffer {
  public:
    RemoteBuffer(HWND window, SIZE_T size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
    ~RemoteBuffer() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    bool valid() const { return address_ != nullptr; }
    char* address() const { return static_cast<char*>(address_); }
    bool Write(SIZE_T offset, const void* bytes, SIZE_T size) const {
        SIZE_T done = 0;
        return WriteProcessMemory(process_, address() + offset, bytes, size, &done) && done == size;
    }
    bool Read(SIZE_T offset, void* bytes, SIZE_T size) const {
        SIZE_T done = 0;
        return ReadProcessMemory(process_, address() + offset, bytes, size, &done) && done == size;
    }

  private:
    HANDLE process_ = nullptr;
    void* address_ = nullptr;
};

LRESULT SendBounded(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wparam, lparam, SMTO_ABORTIFHUNG, kSendTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

// The item's text, read through a TVITEMW and a text buffer in the target.
std::wstring TreeItemText(HWND tree, const RemoteBuffer& buffer, HTREEITEM item) {
    TVITEMW query = {};
    query.mask = TVIF_TEXT | TVIF_HANDLE;
    query.hItem = item;
    query.pszText = reinterpret_cast<wchar_t*>(buffer.address() + sizeof(TVITEMW));
    query.cchTextMax = kTextCapacity;
    const wchar_t empty = 0;
    if (!buffer.Write(0, &query, sizeof(query)) || !buffer.Write(sizeof(TVITEMW), &empty, sizeof(empty)))
        return L"";
    if (!SendBounded(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(buffer.address()))) return L"";
    std::vector<wchar_t> text(kTextCapacity + 1, 0);
    if (!buffer.Read(sizeof(TVITEMW), text.data(), kTextCapacity * sizeof(wchar_t))) return L"";
    return text.data();
}

void PrintTreeItems(HWND tree, const RemoteBuffer& buffer, HTREEITEM item, int depth) {
    for (; item; item = reinterpret_cast<HTREEITEM>(
                     SendBounded(tree, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(item)))) {
        Out(L"item\t" + std::to_wstring(depth) + L"\t" + TreeItemText(tree, buffer, item));
        auto child = reinterpret_cast<HTREEITEM>(
            SendBounded(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)));
        PrintTreeItems(tree, buffer, child, depth + 1);
    }
}

int Run(int argc, wchar_t** argv) {
    if (argc < 3) return 2;
    const std::wstring command = argv[1];
    if (command == L"windows") {
        for (HWND window : TopLevelWindows(argv[2])) Out(TopLevelLine(window));
        return 0;
    }
    if (command == L"wait" && argc >= 4) {
        const DWORD limit = wcstoul(argv[3], nullptr, 10);
        const std::wstring wanted = argc >= 5 ? argv[4] : L"";
        const DWORD start = GetTickCount();
        for (;;) {
            for (HWND window : TopLevelWindows(argv[2])) {
                if (!wanted.empty() && TitleOf(window).find(wanted) == std::wstring::npos) continue;
                Out(TopLevelLine(window));
                return 0;
            }
            if (GetTickCount() - start >= limit) return 1;
            Sleep(kPollMs);
        }
    }
    if (command == L"gone" && argc >= 4) {
        const HWND window = ParseWindow(argv[2]);
        const DWORD limit = wcstoul(argv[3], nullptr, 10);
        const DWORD start = GetTickCount();
        while (IsWindow(window)) {
            if (GetTickCount() - start >= limit) return 1;
            Sleep(kPollMs);
        }
        return 0;
    }
    const HWND window = ParseWindow(argv[2]);
    if (!IsWindow(window)) return 1;
    if (command == L"children") {
        EnumChildWindows(window, PrintChild, 0);
        return 0;
    }
    if (command == L"text") {
        Out(TitleOf(window));
        return 0;
    }
    if (command == L"rect") {
        RECT outer = {};
        RECT client = {};
        GetWindowRect(window, &outer);
        GetClientRect(window, &client);
        MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
        for (const RECT& r : {outer, client}) {
            Out(std::to_wstring(r.left) + L"\t" + std::to_wstring(r.top) + L"\t" + std::to_wstring(r.right) +
                L"\t" + std::to_wstring(r.bottom));
        }
        return 0;
    }
    if (command == L"tree") {
        Out(L"count\t" + std::to_wstring(SendBounded(window, TVM_GETCOUNT, 0, 0)));
        RemoteBuffer buffer(window, sizeof(TVITEMW) + (kTextCapacity + 1) * sizeof(wchar_t));
        if (!buffer.valid()) return 1;
        auto first = reinterpret_cast<HTREEITEM>(SendBounded(window, TVM_GETNEXTITEM, TVGN_ROOT, 0));
        PrintTreeItems(window, buffer, first, 0);
        return 0;
    }
    if (command == L"tbenabled" && argc >= 4) {
        Out(SendBounded(window, TB_ISBUTTONENABLED, wcstoul(argv[3], nullptr, 10), 0) ? L"1" : L"0");
        return 0;
    }
    if (command == L"post" && argc >= 6) {
        const UINT message = wcstoul(argv[3], nullptr, 10);
        const auto wparam = static_cast<WPARAM>(_wcstoui64(argv[4], nullptr, 10));
        const auto lparam = static_cast<LPARAM>(_wcstoi64(argv[5], nullptr, 10));
        return PostMessageW(window, message, wparam, lparam) ? 0 : 1;
    }
    if (command == L"move" && argc >= 7) {
        const int x = _wtoi(argv[3]);
        const int y = _wtoi(argv[4]);
        const int width = _wtoi(argv[5]);
        const int height = _wtoi(argv[6]);
        return SetWindowPos(window, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE) ? 0 : 1;
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
