// A DDE client for the viewer's DDE server tests, run as a second Wine
// process. It speaks to the DDE management library directly, so the
// server is judged by a client that shares no code with the viewer.
//
// Usage: dde_test_client -out OUT -service NAME -steps STEPS
// STEPS is a UTF-8 file, one step a line, fields separated by one TAB:
//   topic NAME          the topic of the steps that follow ("MDI" at first)
//   timeout MS          transaction time-out of the steps that follow (10000)
//   c                   connect only
//   x TEXT              execute the Unicode text with its NUL
//   xraw TEXT           the same without the NUL
//   xrep COUNT TEXT     execute TEXT repeated COUNT times
//   r ITEM              request the item in CF_TEXT
//   rf FORMAT ITEM      request the item in that clipboard format
// In TEXT and ITEM "`r", "`n", "`t" and "``" stand for CR, LF, TAB and "`".
// Every step runs in a conversation of its own (Wine's DDE library follows
// the data of a request with a stray acknowledgement that the next
// transaction of a conversation would read as its answer). One line per
// step is appended to OUT, as UTF-8:
//   connect-failed                      (no conversation for the step)
//   connected                           (the step c)
//   ack | nack                          (an execute; nack: not processed)
//   data TAB bytes TAB nul TAB text     (a request with an answer: its size,
//                                        1 when its last byte is a NUL, the
//                                        text up to the first NUL)
//   nodata                              (a request without an answer)
//   bad-step TAB line
#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

namespace {

DWORD g_instance = 0;
std::wstring g_out_path;

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

std::string Utf8Of(const std::wstring& text) {
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    if (bytes > 0) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), bytes,
                            nullptr, nullptr);
    }
    return out;
}

std::wstring WideOfUtf8(const std::string& text) {
    int units = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring out(units > 0 ? units : 0, L'\0');
    if (units > 0)
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), units);
    return out;
}

void WriteLine(const std::string& line) {
    HANDLE file = CreateFileW(g_out_path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

std::string ReadFileBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE file =
        CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &n, nullptr) && n > 0) bytes.append(buffer, n);
    CloseHandle(file);
    return bytes;
}

class Conversation {
  public:
    Conversation(const std::wstring& service, const std::wstring& topic) {
        HSZ service_handle = DdeCreateStringHandleW(g_instance, service.c_str(), CP_WINUNICODE);
        HSZ topic_handle = DdeCreateStringHandleW(g_instance, topic.c_str(), CP_WINUNICODE);
        if (service_handle && topic_handle)
            handle_ = DdeConnect(g_instance, service_handle, topic_handle, nullptr);
        if (service_handle) DdeFreeStringHandle(g_instance, service_handle);
        if (topic_handle) DdeFreeStringHandle(g_instance, topic_handle);
    }
    ~Conversation() {
        if (handle_) DdeDisconnect(handle_);
    }
    HCONV get() const { return handle_; }

  private:
    HCONV handle_ = nullptr;
};

void Execute(HCONV conversation, const std::wstring& text, bool with_nul, DWORD timeout_ms) {
    const DWORD bytes = static_cast<DWORD>((text.size() + (with_nul ? 1 : 0)) * sizeof(wchar_t));
    std::wstring buffer = text;
    HDDEDATA result = DdeClientTransaction(reinterpret_cast<BYTE*>(buffer.data()), bytes, conversation,
                                           nullptr, CF_UNICODETEXT, XTYP_EXECUTE, timeout_ms, nullptr);
    WriteLine(result ? "ack" : "nack");
}

void Request(HCONV conversation, const std::wstring& item, UINT format, DWORD timeout_ms) {
    HSZ item_handle = DdeCreateStringHandleW(g_instance, item.c_str(), CP_WINUNICODE);
    HDDEDATA data = DdeClientTransaction(nullptr, 0, conversation, item_handle, format, XTYP_REQUEST,
                                         timeout_ms, nullptr);
    if (item_handle) DdeFreeStringHandle(g_instance, item_handle);
    if (!data) {
        WriteLine("nodata");
        return;
    }
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    std::string text;
    bool terminated = false;
    if (bytes) {
        std::string all(reinterpret_cast<const char*>(bytes), size);
        terminated = size > 0 && bytes[size - 1] == 0;
        text = all.substr(0, all.find('\0'));
        DdeUnaccessData(data);
    }
    DdeFreeDataHandle(data);
    WriteLine("data\t" + std::to_string(size) + "\t" + (terminated ? "1" : "0") + "\t" + text);
}

std::vector<std::wstring> Fields(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    for (;;) {
        const size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab == std::wstring::npos ? std::wstring::npos : tab - start));
        if (tab == std::wstring::npos) return fields;
        start = tab + 1;
    }
}

// The text of a step with its escapes resolved; fields after the one at
// `first` belong to the text (it may hold TABs of its own).
std::wstring StepText(const std::vector<std::wstring>& fields, size_t first) {
    std::wstring joined;
    for (size_t i = first; i < fields.size(); ++i) joined += (i > first ? L"\t" : L"") + fields[i];
    std::wstring text;
    for (size_t i = 0; i < joined.size(); ++i) {
        if (joined[i] != L'`' || i + 1 == joined.size()) {
            text += joined[i];
            continue;
        }
        const wchar_t code = joined[++i];
        text += code == L'r' ? L'\r' : code == L'n' ? L'\n' : code == L't' ? L'\t' : code;
    }
    return text;
}

// The switch values of the program's own command line: "-name value" pairs
// of unquoted words or double-quoted paths.
std::wstring SwitchValue(const std::wstring& command_line, const std::wstring& name) {
    size_t at = command_line.find(L" " + name + L" ");
    if (at == std::wstring::npos) return L"";
    size_t start = at + name.size() + 2;
    while (start < command_line.size() && command_line[start] == L' ') ++start;
    if (start < command_line.size() && command_line[start] == L'"') {
        const size_t end = command_line.find(L'"', start + 1);
        return command_line.substr(start + 1,
                                   end == std::wstring::npos ? std::wstring::npos : end - start - 1);
    }
    const size_t end = command_line.find(L' ', start);
    return command_line.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start);
}

}  // namespace

int main() {
    const std::wstring command_line = GetCommandLineW() + std::wstring(L" ");
    g_out_path = SwitchValue(command_line, L"-out");
    const std::wstring service = SwitchValue(command_line, L"-service");
    const std::wstring steps_path = SwitchValue(command_line, L"-steps");
    if (g_out_path.empty() || service.empty() || steps_path.empty()) return 2;
    if (DdeInitializeW(&g_instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return 3;

    std::wstring topic = L"MDI";
    DWORD timeout_ms = 10000;
    const std::wstring steps = WideOfUtf8(ReadFileBytes(steps_path));
    size_t start = 0;
    while (start < steps.size()) {
        size_t end = steps.find(L'\n', start);
        if (end == std::wstring::npos) end = steps.size();
        const std::wstring line = steps.substr(start, end - start);
        start = end + 1;
        if (line.empty()) continue;
        const std::vector<std::wstring> fields = Fields(line);
        const std::wstring& kind = fields[0];
        if (kind == L"topic" && fields.size() > 1) {
            topic = fields[1];
            continue;
        }
        if (kind == L"timeout" && fields.size() > 1) {
            timeout_ms = static_cast<DWORD>(_wtoi(fields[1].c_str()));
            continue;
        }
        Conversation conversation(service, topic);
        if (!conversation.get()) {
            WriteLine("connect-failed");
        } else if (kind == L"c") {
            WriteLine("connected");
        } else if (kind == L"x" && fields.size() > 1) {
            Execute(conversation.get(), StepText(fields, 1), true, timeout_ms);
        } else if (kind == L"xraw" && fields.size() > 1) {
            Execute(conversation.get(), StepText(fields, 1), false, timeout_ms);
        } else if (kind == L"xrep" && fields.size() > 2) {
            std::wstring text;
            const std::wstring unit = StepText(fields, 2);
            for (int i = _wtoi(fields[1].c_str()); i > 0; --i) text += unit;
            Execute(conversation.get(), text, true, timeout_ms);
        } else if (kind == L"r" && fields.size() > 1) {
            Request(conversation.get(), StepText(fields, 1), CF_TEXT, timeout_ms);
        } else if (kind == L"rf" && fields.size() > 2) {
            Request(conversation.get(), StepText(fields, 2), static_cast<UINT>(_wtoi(fields[1].c_str())),
                    timeout_ms);
        } else {
            WriteLine("bad-step\t" + Utf8Of(line));
        }
    }
    DdeUninitialize(g_instance);
    return 0;
}
