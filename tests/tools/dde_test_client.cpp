// A DDE client for the viewer's DDE server tests, run as a second Wine
// process. It speaks to the DDE management library directly, so the
// server is judged by a client that shares no code with the viewer.
//
// Usage: dde_test_client -out OUT -service NAME -steps STEPS
// STEPS is a UTF-8 file, one step a line, fields separated by one TAB:
//   topic NAME          the topic of the steps that follow ("MDI" at first)
//   c                   connect only
//   x TEXT              execute the Unicode text with its NUL
//   xraw TEXT           the same without the NUL
//   xrep COUNT TEXT     execute TEXT repeated COUNT times
//   r ITEM              request the item in CF_TEXT
//   rf FORMAT ITEM      request the item in that clipboard format
//   post CLASS MSG WPARAM LPARAM
//                       post the message to every top-level window of the
//                       class, without a conversation (a menu command's
//                       WM_COMMAND between transactions; the server's thread
//                       handles it before the transactions that follow)
// In TEXT and ITEM "`r", "`n", "`t" and "``" stand for CR, LF, TAB and "`".
// Every step runs in a conversation of its own (Wine's DDE library follows
// the data of a request with a stray acknowledgement that the next
// transaction of a conversation would read as its answer), with a 10 s
// time-out. One line per step is appended to OUT, as UTF-8:
//   connect-failed                      (no conversation for the step)
//   connected                           (the step c)
//   ack | nack                          (an execute; nack: not processed)
//   data TAB bytes TAB nul TAB text     (a request with an answer: its size,
//                                        1 when its last byte is a NUL, the
//                                        text up to the first NUL)
//   nodata                              (a request without an answer)
//   posted TAB N                        (the windows the message went to)
//   bad-step TAB line
#include <windows.h>
// after windows.h, which they need
#include <ddeml.h>
#include <shellapi.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "foundation/file_handle.h"

namespace {

constexpr DWORD kTimeoutMs = 10000;
DWORD g_instance = 0;
FileHandle g_out;

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

std::wstring Wide(const std::string& utf8) {
    std::wstring out(utf8.size(), L'\0');
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(),
                                          static_cast<int>(out.size()));
    out.resize(units > 0 ? units : 0);
    return out;
}

void WriteLine(const std::string& line) {
    const std::string text = line + "\n";
    WriteAllBytes(g_out.get(), text.data(), static_cast<uint32_t>(text.size()));
}

// An owned string handle of the instance.
struct Hsz {
    explicit Hsz(const std::wstring& text)
        : handle(DdeCreateStringHandleW(g_instance, text.c_str(), CP_WINUNICODE)) {}
    ~Hsz() {
        if (handle) DdeFreeStringHandle(g_instance, handle);
    }
    HSZ handle;
};

struct Conversation {
    Conversation(const std::wstring& service, const std::wstring& topic) {
        Hsz service_handle(service), topic_handle(topic);
        if (service_handle.handle && topic_handle.handle)
            handle = DdeConnect(g_instance, service_handle.handle, topic_handle.handle, nullptr);
    }
    ~Conversation() {
        if (handle) DdeDisconnect(handle);
    }
    HCONV handle = nullptr;
};

void Execute(HCONV conversation, std::wstring text, bool with_nul) {
    const DWORD bytes = static_cast<DWORD>((text.size() + (with_nul ? 1 : 0)) * sizeof(wchar_t));
    HDDEDATA result = DdeClientTransaction(reinterpret_cast<BYTE*>(text.data()), bytes, conversation, nullptr,
                                           CF_UNICODETEXT, XTYP_EXECUTE, kTimeoutMs, nullptr);
    WriteLine(result ? "ack" : "nack");
}

void Request(HCONV conversation, const std::wstring& item, UINT format) {
    Hsz item_handle(item);
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item_handle.handle, format, XTYP_REQUEST,
                                         kTimeoutMs, nullptr);
    if (!data) return WriteLine("nodata");
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    std::string all = bytes ? std::string(reinterpret_cast<const char*>(bytes), size) : std::string();
    if (bytes) DdeUnaccessData(data);
    DdeFreeDataHandle(data);
    const bool terminated = size > 0 && all.back() == '\0';
    WriteLine("data\t" + std::to_string(size) + "\t" + (terminated ? "1" : "0") + "\t" +
              all.substr(0, all.find('\0')));
}

void PostToClass(const std::wstring& window_class, UINT message, WPARAM wparam, LPARAM lparam) {
    int posted = 0;
    for (HWND window = nullptr; (window = FindWindowExW(nullptr, window, window_class.c_str(), nullptr));) {
        posted += PostMessageW(window, message, wparam, lparam) ? 1 : 0;
    }
    WriteLine("posted\t" + std::to_string(posted));
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    for (size_t start = 0;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

// The text of a step with its escapes resolved; fields after the one at
// `first` belong to the text (it may hold TABs of its own).
std::wstring StepText(const std::vector<std::string>& fields, size_t first) {
    std::string joined;
    for (size_t i = first; i < fields.size(); ++i) joined += (i > first ? "\t" : "") + fields[i];
    std::string text;
    for (size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] != '`' || i + 1 == joined.size()) {
            text += joined[i];
            continue;
        }
        const char code = joined[++i];
        text += code == 'r' ? '\r' : code == 'n' ? '\n' : code == 't' ? '\t' : code;
    }
    return Wide(text);
}

}  // namespace

int main() {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    std::wstring out_path, service, steps_path;
    for (int i = 1; argv && i + 1 < argc; ++i) {
        const std::wstring name = argv[i];
        if (name == L"-out") out_path = argv[i + 1];
        if (name == L"-service") service = argv[i + 1];
        if (name == L"-steps") steps_path = argv[i + 1];
    }
    if (out_path.empty() || service.empty() || steps_path.empty()) return 2;
    g_out = FileHandle(CreateFileW(out_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                   nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    FileHandle steps_file(
        CreateFileW(steps_path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
    if (!g_out.valid() || !steps_file.valid()) return 2;
    std::string steps;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(steps_file.get(), buffer, sizeof(buffer), &n, nullptr) && n > 0) steps.append(buffer, n);
    if (DdeInitializeW(&g_instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 3;

    std::wstring topic = L"MDI";
    for (const std::string& line : Split(steps, '\n')) {
        if (line.empty()) continue;
        const std::vector<std::string> fields = Split(line, '\t');
        const std::string& kind = fields[0];
        if (kind == "topic" && fields.size() > 1) {
            topic = Wide(fields[1]);
            continue;
        }
        if (kind == "post" && fields.size() > 4) {
            PostToClass(Wide(fields[1]), static_cast<UINT>(strtoul(fields[2].c_str(), nullptr, 10)),
                        static_cast<WPARAM>(strtoull(fields[3].c_str(), nullptr, 10)),
                        static_cast<LPARAM>(strtoll(fields[4].c_str(), nullptr, 10)));
            continue;
        }
        Conversation conversation(service, topic);
        if (!conversation.handle) {
            WriteLine("connect-failed");
        } else if (kind == "c") {
            WriteLine("connected");
        } else if ((kind == "x" || kind == "xraw") && fields.size() > 1) {
            Execute(conversation.handle, StepText(fields, 1), kind == "x");
        } else if (kind == "xrep" && fields.size() > 2) {
            std::wstring text;
            const std::wstring unit = StepText(fields, 2);
            for (int i = atoi(fields[1].c_str()); i > 0; --i) text += unit;
            Execute(conversation.handle, text, true);
        } else if (kind == "r" && fields.size() > 1) {
            Request(conversation.handle, StepText(fields, 1), CF_TEXT);
        } else if (kind == "rf" && fields.size() > 2) {
            Request(conversation.handle, StepText(fields, 2), static_cast<UINT>(atoi(fields[1].c_str())));
        } else {
            WriteLine("bad-step\t" + line);
        }
    }
    DdeUninitialize(g_instance);
    return 0;
}
