#include "foundation/download.h"

#include <cstring>
#include <utility>

#include "foundation/file_handle.h"
#include "foundation/mem_block.h"
#include "foundation/pool.h"

namespace {

constexpr DWORD kHttpRequestFlags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                                    INTERNET_FLAG_IGNORE_CERT_DATE_INVALID |
                                    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS |
                                    INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP | INTERNET_FLAG_NO_UI;
static_assert(kHttpRequestFlags == 0x400F200);
constexpr DWORD kIgnoreCertificateAuthority =
    SECURITY_FLAG_IGNORE_UNKNOWN_CA | SECURITY_FLAG_IGNORE_REVOCATION;
constexpr DWORD kQueryBufferSize = 1280;

class InternetHandle {
  public:
    explicit InternetHandle(HINTERNET handle) : handle_(handle) {}
    ~InternetHandle() {
        if (handle_) InternetCloseHandle(handle_);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
    HINTERNET get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }

  private:
    HINTERNET handle_;
};

// Where the bytes of one transfer go: memory up to the limit, then a
// temporary file (SpillWrite).
struct Transfer {
    bool Write(const void* bytes, uint32_t n) {
        return SpillWrite(bytes, n, namer, extension, limit, path, file, memory, total);
    }

    TempFileNamer* namer = nullptr;
    WString extension;
    uint64_t limit = 0;
    WString path;
    FileHandle file;
    MemBlock memory;
    uint64_t total = 0;
};

struct Target {
    uint32_t scheme = 0;
    WString host, path, extra, user, password;
    uint16_t port = 0;
};

// A part buffer as long as the whole URL, so no part is ever cut.
struct CrackBuffer {
    explicit CrackBuffer(uint32_t capacity)
        : chars(static_cast<wchar_t*>(PoolAlloc(capacity * 2, kPoolZero, 0))) {}
    ~CrackBuffer() { PoolFree(chars); }
    CrackBuffer(const CrackBuffer&) = delete;
    CrackBuffer& operator=(const CrackBuffer&) = delete;
    wchar_t* chars;
};

bool HasLineBreak(const WString& text) { return WStrFindAnyOf(text, L"\r\n") >= 0; }

// The decimal value of a header; 0 when absent or not a plain number.
uint64_t QueryNumber(HINTERNET request, DWORD query) {
    char buffer[kQueryBufferSize] = {};
    DWORD length = sizeof(buffer) - 1;
    if (!HttpQueryInfoA(request, query, buffer, &length, nullptr)) return 0;
    uint64_t value = 0;
    for (DWORD i = 0; i < length && buffer[i]; ++i) {
        if (buffer[i] < '0' || buffer[i] > '9' || value > (UINT64_MAX - 9) / 10) return 0;
        value = value * 10 + uint64_t(buffer[i] - '0');
    }
    return value;
}

bool QueryText(HINTERNET request, DWORD query, char (&buffer)[kQueryBufferSize]) {
    memset(buffer, 0, sizeof(buffer));
    DWORD length = sizeof(buffer) - 1;
    return HttpQueryInfoA(request, query, buffer, &length, nullptr) != FALSE;
}

// Reads the body to its end. False on a failed read, a cancel, a failed
// write, or fewer bytes than a known length announced: a truncated document
// must never count as loaded.
bool ReadBody(HINTERNET stream, Transfer& transfer, ProgressSink* sink, uint64_t expected) {
    MemBlock block;
    if (!MemAlloc(block, kDownloadBlockSize, 0, 0)) return false;
    uint8_t* bytes = block.data();
    uint32_t fill = 0;
    uint64_t received = 0;
    for (;;) {
        if (ProgressIsCancelled(sink)) return false;
        DWORD got = 0;
        if (!InternetReadFile(stream, bytes + fill, kDownloadReadSize, &got)) return false;
        if (got == 0) break;
        fill += got;
        received += got;
        if (fill > kDownloadHandOnFill) {
            if (!transfer.Write(bytes, fill)) return false;
            fill = 0;
        }
        if (expected > 0) ProgressReport(sink, static_cast<float>(double(received) / double(expected)));
    }
    if (!transfer.Write(bytes, fill)) return false;
    return expected == 0 || received >= expected;
}

bool SendRequest(HINTERNET request, const WString& user, const WString& password, const WString& cookie) {
    WString headers;
    if (WStrLength(user) > 0) headers = HttpBasicAuthHeader(user, password);
    if (WStrLength(cookie) > 0) {
        WStrAppendChars(headers, L"Cookie: ");
        WStrAppend(headers, cookie);
        WStrAppendChars(headers, L"\r\n");
    }
    const uint32_t length = WStrLength(headers);
    return HttpSendWithRetry(request, length ? WStrCStr(headers) : nullptr, length, nullptr, 0);
}

bool DownloadFtp(const Target& target, Transfer& transfer, ProgressSink* sink) {
    InternetHandle session(
        InternetOpenW(L"Plovex FTP Client", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    const uint16_t port = target.port ? target.port : INTERNET_DEFAULT_FTP_PORT;
    const wchar_t* user = WStrLength(target.user) ? WStrCStr(target.user) : nullptr;
    const wchar_t* password = WStrLength(target.password) ? WStrCStr(target.password) : nullptr;
    InternetHandle connection(InternetConnectW(session.get(), WStrCStr(target.host), port, user, password,
                                               INTERNET_SERVICE_FTP, 0, 0));
    if (!connection) return false;
    InternetHandle file(FtpOpenFileW(connection.get(), WStrCStr(target.path), GENERIC_READ,
                                     FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0));
    if (!file) return false;
    // The length of an FTP file is not asked for: no progress, only cancel.
    return ReadBody(file.get(), transfer, sink, 0);
}

bool DownloadHttp(const Target& target, Transfer& transfer, ProgressSink* sink, const WString& cookie,
                  bool allow_system_cookies, bool allow_system_auth, WString& content_type) {
    InternetHandle session(
        InternetOpenW(L"Plovex HTTP Client", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) return false;
    const bool secure = target.scheme == INTERNET_SCHEME_HTTPS;
    const uint16_t port =
        target.port ? target.port : (secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT);
    InternetHandle connection(InternetConnectW(session.get(), WStrCStr(target.host), port, nullptr, nullptr,
                                               INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return false;
    DWORD flags = kHttpRequestFlags;
    const bool has_user = WStrLength(target.user) > 0, has_cookie = WStrLength(cookie) > 0;
    if (!allow_system_auth || has_user) flags |= INTERNET_FLAG_NO_AUTH;
    if (!allow_system_cookies || has_cookie) flags |= INTERNET_FLAG_NO_COOKIES;
    if (secure) flags |= INTERNET_FLAG_SECURE;
    WString object = target.path;
    WStrAppend(object, target.extra);
    InternetHandle request(
        HttpOpenRequestW(connection.get(), L"GET", WStrCStr(object), nullptr, nullptr, nullptr, flags, 0));
    if (!request) return false;
    if (!SendRequest(request.get(), target.user, target.password, cookie)) return false;
    char text[kQueryBufferSize];
    if (!QueryText(request.get(), HTTP_QUERY_STATUS_CODE, text) || strcmp(text, "200") != 0) return false;
    const uint64_t expected = QueryNumber(request.get(), HTTP_QUERY_CONTENT_LENGTH);
    if (QueryText(request.get(), HTTP_QUERY_CONTENT_TYPE, text)) WStrFromAnsi(content_type, text);
    return ReadBody(request.get(), transfer, sink, expected);
}

bool CrackTarget(const WString& url, const WString& user, const WString& password, Target& target) {
    if (!UrlCrack(url, target.scheme, target.host, target.path, target.extra, target.user, target.password,
                  target.port)) {
        return false;
    }
    if (WStrLength(target.host) == 0 || WStrLength(target.path) == 0) return false;
    if (WStrLength(user) > 0) {
        target.user = user;
        target.password = password;
    }
    return true;
}

}  // namespace

bool UrlCrack(const WString& url, uint32_t& scheme, WString& host, WString& path, WString& extra,
              WString& user, WString& password, uint16_t& port) {
    const uint32_t capacity = WStrLength(url) + 1;
    if (capacity == 1 || capacity > 0x7FFFFFFF / 2) return false;
    CrackBuffer host_chars(capacity), user_chars(capacity), password_chars(capacity), path_chars(capacity),
        extra_chars(capacity);
    if (!host_chars.chars || !user_chars.chars || !password_chars.chars || !path_chars.chars ||
        !extra_chars.chars) {
        return false;
    }
    URL_COMPONENTSW parts = {};
    parts.dwStructSize = sizeof(parts);
    parts.lpszHostName = host_chars.chars;
    parts.dwHostNameLength = capacity;
    parts.lpszUserName = user_chars.chars;
    parts.dwUserNameLength = capacity;
    parts.lpszPassword = password_chars.chars;
    parts.dwPasswordLength = capacity;
    parts.lpszUrlPath = path_chars.chars;
    parts.dwUrlPathLength = capacity;
    parts.lpszExtraInfo = extra_chars.chars;
    parts.dwExtraInfoLength = capacity;
    if (!InternetCrackUrlW(WStrCStr(url), 0, 0, &parts)) return false;
    scheme = static_cast<uint32_t>(parts.nScheme);
    port = parts.nPort;
    WStrAssignN(host, host_chars.chars, parts.dwHostNameLength);
    WStrAssignN(user, user_chars.chars, parts.dwUserNameLength);
    WStrAssignN(password, password_chars.chars, parts.dwPasswordLength);
    WStrAssignN(path, path_chars.chars, parts.dwUrlPathLength);
    WStrAssignN(extra, extra_chars.chars, parts.dwExtraInfoLength);
    return true;
}

WString HttpBasicAuthHeader(const WString& user, const WString& password) {
    WString credentials = user, encoded;
    WStrAppendChar(credentials, L':');
    WStrAppend(credentials, password);
    // One line: a line break inside the value would end the header.
    WStrBase64Encode(credentials, encoded, kBase64NoBreaks);
    WString header = L"Authorization: Basic ";
    WStrAppend(header, encoded);
    WStrAppendChars(header, L"\r\n");
    return header;
}

bool HttpSendWithRetry(HINTERNET request, const wchar_t* headers, uint32_t header_length, void* data,
                       uint32_t data_length) {
    if (HttpSendRequestW(request, headers, header_length, data, data_length)) return true;
    const DWORD error = GetLastError();
    if (error == ERROR_INTERNET_INVALID_CA || error == ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED) {
        DWORD security = 0, size = sizeof(security);
        if (InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, &size)) {
            security |= kIgnoreCertificateAuthority;
            InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &security, sizeof(security));
        }
    }
    return HttpSendRequestW(request, headers, header_length, data, data_length) != FALSE;
}

Ref<DataSource> DataSourceDownload(const WString& url, TempFileNamer* namer, const WString& extension,
                                   uint32_t memory_limit, ProgressSink* sink, const WString& user,
                                   const WString& password, const WString& cookie, bool allow_system_cookies,
                                   bool allow_system_auth) {
    Target target;
    if (WStrLength(url) == 0 || !CrackTarget(url, user, password, target)) return nullptr;
    // A line break would start a header of the caller's choosing.
    if (HasLineBreak(cookie)) return nullptr;
    Ref<DataSource> source = MakeRef<DataSource>();
    Transfer transfer;
    transfer.namer = namer;
    transfer.extension = extension;
    transfer.limit = memory_limit;
    WString content_type;
    bool ok = false;
    if (target.scheme == INTERNET_SCHEME_FTP) {
        ok = DownloadFtp(target, transfer, sink);
    } else if (target.scheme == INTERNET_SCHEME_HTTP || target.scheme == INTERNET_SCHEME_HTTPS) {
        ok = DownloadHttp(target, transfer, sink, cookie, allow_system_cookies, allow_system_auth,
                          content_type);
    }
    ok = transfer.file.Close() && ok && !ProgressIsCancelled(sink);
    if (!ok) {
        if (WStrLength(transfer.path) > 0) DeleteFileW(WStrCStr(transfer.path));
        return nullptr;
    }
    {
        ScopedLock hold(source->lock);
        if (WStrLength(transfer.path) > 0) {
            source->name = transfer.path;
            source->kind = kDataSourceTempFile;
        } else {
            source->memory = std::move(transfer.memory);
            source->name = extension;
            source->kind = kDataSourceMemory;
        }
        source->size = transfer.total;
        source->content_type = content_type;
    }
    ProgressReport(sink, 1.0f);
    return source;
}
