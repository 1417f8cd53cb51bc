#include "control/host_support.h"

#include <shlobj.h>

#include "foundation/handles.h"
#include "foundation/url.h"

namespace {

constexpr wchar_t kBrowserFrameClass[] = L"IEFrame";
constexpr int kClassNameLimit = 200;

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

// %XX escapes only; "%00" stays, so the path carries no embedded NUL.
WString PercentDecode(const WString& text) {
    const wchar_t* chars = WStrCStr(text);
    const uint32_t length = WStrLength(text);
    WString out;
    for (uint32_t i = 0; i < length; ++i) {
        if (chars[i] == L'%' && i + 2 < length) {
            const int high = HexValue(chars[i + 1]);
            const int low = high < 0 ? -1 : HexValue(chars[i + 2]);
            const int value = high * 16 + low;
            if (low >= 0 && value != 0) {
                WStrAppendChar(out, static_cast<wchar_t>(value));
                i += 2;
                continue;
            }
        }
        WStrAppendChar(out, chars[i]);
    }
    return out;
}

bool IsBrowserFrameClass(HWND window) {
    wchar_t name[kClassNameLimit + 1] = {};
    if (GetClassNameW(window, name, kClassNameLimit + 1) <= 0) return false;
    return lstrcmpiW(name, kBrowserFrameClass) == 0;
}

struct FrameCount {
    DWORD process = 0;
    int32_t count = 0;
    int32_t limit = 0;
};

BOOL CALLBACK CountFrame(HWND window, LPARAM data) {
    auto* count = reinterpret_cast<FrameCount*>(data);
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == count->process && IsBrowserFrameClass(window)) ++count->count;
    return count->count < count->limit;
}

}  // namespace

WString& DropFilesRead(const void* block, size_t size, WString& out) {
    out = WString();
    if (!block || size < sizeof(DROPFILES)) return out;
    const auto* header = static_cast<const DROPFILES*>(block);
    if (header->pFiles < sizeof(DROPFILES) || header->pFiles >= size) return out;
    const auto* bytes = static_cast<const uint8_t*>(block);
    WString list;
    size_t offset = header->pFiles;
    const size_t unit = header->fWide ? sizeof(wchar_t) : 1;
    while (offset + unit <= size) {
        // One name: up to its NUL, which must lie inside the block.
        size_t end = offset;
        bool terminated = false;
        for (; end + unit <= size; end += unit) {
            const bool nul =
                header->fWide ? *reinterpret_cast<const wchar_t*>(bytes + end) == 0 : bytes[end] == 0;
            if (nul) {
                terminated = true;
                break;
            }
        }
        if (!terminated || end == offset) break;
        WString name;
        if (header->fWide) {
            WStrAppendBuf(name, reinterpret_cast<const wchar_t*>(bytes + offset),
                          static_cast<uint32_t>((end - offset) / unit));
        } else {
            // The NUL lies inside the block (checked above).
            WStrFromAnsi(name, reinterpret_cast<const char*>(bytes + offset));
        }
        if (WStrLength(list) > 0) WStrAppendChar(list, L'\t');
        WStrAppend(list, name);
        offset = end + unit;
    }
    return out = list;
}

WString& DropFilesReadGlobal(HGLOBAL memory, WString& out) {
    out = WString();
    if (!memory) return out;
    const size_t size = GlobalSize(memory);
    GlobalLockScope locked(memory);
    return DropFilesRead(locked.data(), size, out);
}

bool SrcValueToOpenText(const WString& value, const WString* page_url, WString& out) {
    out = WString();
    if (WStrLength(value) == 0) return false;
    if (WStrEqualsN(value, L"file:", 5)) {
        WString path = value;
        if (WStrEqualsN(value, L"file:///", 8)) WStrMid(value, 8, -1, path);
        out = PercentDecode(path);
        return WStrLength(out) > 0;
    }
    Ref<UrlParts> url = UrlParse(value);
    if (!url) return false;
    if (!UrlIsAbsolutePath(url.get()) && page_url) {
        Ref<UrlParts> base = UrlParse(*page_url);
        Ref<UrlParts> resolved = base ? UrlResolve(base.get(), url.get()) : Ref<UrlParts>();
        if (resolved) url = resolved;
    }
    UrlToString(url.get(), out);
    return WStrLength(out) > 0;
}

int32_t CountOwnBrowserFrames(int32_t limit) {
    FrameCount count;
    count.process = GetCurrentProcessId();
    count.limit = limit;
    if (limit > 0) EnumWindows(CountFrame, reinterpret_cast<LPARAM>(&count));
    return count.count;
}

HWND FindBrowserFrame(HWND window) {
    for (HWND at = window; at; at = GetParent(at)) {
        if (IsBrowserFrameClass(at)) return at;
    }
    return nullptr;
}
