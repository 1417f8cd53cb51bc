#include "viewer/core/path_utils.h"

#include <windows.h>

#include <cwchar>

bool IsAbsolutePath(const wchar_t* text) {
    if (!text) return false;
    if (wcschr(text, L':')) return true;
    return (text[0] == L'/' || text[0] == L'\\') && text[1] == text[0];
}

WString& JoinMultiSelect(const wchar_t* buffer, WString& out) {
    WStrClear(out);
    if (!buffer || !*buffer) return out;
    const wchar_t* directory = buffer;
    const wchar_t* name = directory + wcslen(directory) + 1;
    if (!*name) return WStrAssignChars(out, directory);
    const size_t directory_length = wcslen(directory);
    const bool has_separator =
        directory[directory_length - 1] == L'\\' || directory[directory_length - 1] == L'/';
    for (bool first = true; *name; name += wcslen(name) + 1, first = false) {
        if (!first) WStrAppendChar(out, L'\t');
        WStrAppendChars(out, directory);
        // A drive's root ("C:\") already ends with the separator.
        if (!has_separator) WStrAppendChar(out, L'\\');
        WStrAppendChars(out, name);
    }
    return out;
}

namespace {

wchar_t Fold(wchar_t c) {
    if (c == L'/') return L'\\';
    return static_cast<wchar_t>(
        reinterpret_cast<uintptr_t>(CharUpperW(reinterpret_cast<wchar_t*>(uintptr_t{c}))));
}

bool AtItemSuffix(const wchar_t* text) { return text[0] == L':' && text[1] == L':'; }

}  // namespace

bool PathEquals(const wchar_t* a, const wchar_t* b) {
    if (!a || !b) return !a && !b;
    for (;; ++a, ++b) {
        if (AtItemSuffix(a) && AtItemSuffix(b)) return true;
        if (!*a) return !*b || AtItemSuffix(b);
        if (!*b) return AtItemSuffix(a);
        if (Fold(*a) != Fold(*b)) return false;
    }
}

bool PathEquals(const WString& a, const WString& b) { return PathEquals(WStrBuffer(a), WStrBuffer(b)); }

WString& UrlGetQueryParam(const WString& url, const wchar_t* name, WString& out) {
    WStrClear(out);
    if (!name || !*name) return out;
    WString key = L"?";
    WStrAppendChars(key, name);
    WStrAppendChar(key, L'=');
    int32_t at = WStrFindStr(url, WStrCStr(key), true);
    if (at < 0) {
        key = L"&";
        WStrAppendChars(key, name);
        WStrAppendChar(key, L'=');
        at = WStrFindStr(url, WStrCStr(key), true);
    }
    if (at < 0) return out;
    const uint32_t start = static_cast<uint32_t>(at) + WStrLength(key);
    const int32_t end = WStrFindChar(url, L'&', start);
    WString value;
    WStrMid(url, start, end < 0 ? -1 : end - static_cast<int32_t>(start), value);
    return WStrUrlDecode(value, out);
}
