#include "foundation/url.h"

#include <cwchar>

namespace {

struct SchemeName {
    const wchar_t* name;
    uint32_t scheme;
    uint16_t port;
};

constexpr SchemeName kSchemes[] = {
    {L"http", kUrlHttp, 80},
    {L"https", kUrlHttps, 443},
    {L"ftp", kUrlFtp, 21},
};

const wchar_t* SchemeText(uint32_t scheme) {
    for (const SchemeName& entry : kSchemes) {
        if (entry.scheme == scheme) return entry.name;
    }
    return L"";
}

bool StartsWith(const WString& text, const wchar_t* prefix) {
    return WStrEqualsN(text, prefix, static_cast<uint32_t>(wcslen(prefix)));
}

// The rest of a "mailto:" or "javascript:" text, trimmed, as the path.
void TakeRest(const WString& text, uint32_t prefix_length, WString& path) {
    WStrMid(text, prefix_length, -1, path);
    WStrTrim(path);
}

uint32_t FindFrom(const wchar_t* text, uint32_t length, uint32_t start, const wchar_t* set) {
    uint32_t i = start;
    while (i < length && !wcschr(set, text[i])) ++i;
    return i;
}

// Scheme, host and port of "scheme://host[:port]"; `position` ends behind
// them. False for an unknown scheme, an empty host or a port above 65535.
bool SplitAuthority(const WString& text, uint32_t separator, uint32_t& scheme, WString& host, uint16_t& port,
                    uint32_t& position) {
    WString name;
    WStrLeft(text, separator, name);
    WStrLower(name);
    scheme = kUrlRelative;
    for (const SchemeName& entry : kSchemes) {
        if (WStrEqualsChars(name, entry.name)) {
            scheme = entry.scheme;
            port = entry.port;
        }
    }
    if (scheme == kUrlRelative) return false;
    const wchar_t* chars = WStrCStr(text);
    const uint32_t length = WStrLength(text);
    const uint32_t host_start = separator + 3;
    position = FindFrom(chars, length, host_start, L":/?#");
    if (position == host_start) return false;
    WStrAssignN(host, chars + host_start, position - host_start);
    WStrLower(host);
    if (position < length && chars[position] == L':') {
        ++position;
        uint32_t value = 0;
        const uint32_t digits_start = position;
        while (position < length && chars[position] >= L'0' && chars[position] <= L'9') {
            value = value * 10 + (chars[position] - L'0');
            if (value > 0xFFFF) return false;
            ++position;
        }
        if (position > digits_start) port = static_cast<uint16_t>(value);
    }
    return true;
}

// Path, query and fragment from the position on. With a host, an empty path
// is the root.
void SplitPath(const WString& text, uint32_t position, bool has_host, WString& path, WString& query,
               WString& fragment) {
    const wchar_t* chars = WStrCStr(text);
    const uint32_t length = WStrLength(text);
    const uint32_t path_end = FindFrom(chars, length, position, L"?#");
    WStrAssignN(path, chars + position, path_end - position);
    if (has_host && WStrLength(path) == 0) WStrAssignChars(path, L"/");
    position = path_end;
    if (position < length && chars[position] == L'?') {
        const uint32_t query_end = FindFrom(chars, length, position + 1, L"#");
        WStrAssignN(query, chars + position + 1, query_end - position - 1);
        position = query_end;
    }
    if (position < length && chars[position] == L'#')
        WStrAssignN(fragment, chars + position + 1, length - position - 1);
}

// Drops one leading "./" or "../" (cutting the directory once more) at a
// time; false when a "../" finds nothing to cut or the path starts with '.'
// in any other way.
bool ResolveDots(WString& directory, WString& path) {
    WString rest;
    for (;;) {
        if (StartsWith(path, L"./")) {
            WStrMid(path, 2, -1, rest);
        } else if (StartsWith(path, L"../")) {
            if (!UrlParentPath(directory)) return false;
            WStrMid(path, 3, -1, rest);
        } else {
            return WStrCharAt(path, 0) != L'.';
        }
        path = rest;
    }
}

bool CombinePath(const WString& base_path, WString& path) {
    if (WStrLength(path) == 0) {
        path = base_path;
        return true;
    }
    if (WStrCharAt(path, 0) == L'/') return true;
    WString directory = base_path;
    if (WStrEqualsChars(directory, L"/") || !UrlParentPath(directory)) WStrClear(directory);
    if (!ResolveDots(directory, path)) return false;
    WString joined = directory;
    WStrAppendChar(joined, L'/');
    WStrAppend(joined, path);
    if (WStrCharAt(joined, 0) != L'/') {
        path = L"/";
        WStrAppend(path, joined);
    } else {
        path = joined;
    }
    return true;
}

}  // namespace

bool UrlSplit(const WString& text, uint32_t& scheme, WString& host, uint16_t& port, WString& path,
              WString& query, WString& fragment) {
    scheme = kUrlRelative;
    port = 0;
    WStrClear(host);
    WStrClear(path);
    WStrClear(query);
    WStrClear(fragment);
    WString clean = text;
    WStrTrim(clean);
    WStrRemoveChars(clean, L"\t\r\n");
    if (WStrLength(clean) == 0) return false;
    if (WStrEqualsChars(clean, L".")) {
        scheme = kUrlDot;
        return true;
    }
    if (StartsWith(clean, L"mailto:")) {
        scheme = kUrlMail;
        TakeRest(clean, 7, path);
        return true;
    }
    if (StartsWith(clean, L"javascript:")) {
        scheme = kUrlScript;
        TakeRest(clean, 11, path);
        return true;
    }
    // Inner spaces belong to the name: dropping them would name another
    // resource.
    WStrReplaceAll(clean, L" ", L"%20", true);
    const int32_t separator = WStrFindStr(clean, L"://", true);
    uint32_t position = 0;
    if (separator >= 0) {
        if (!SplitAuthority(clean, static_cast<uint32_t>(separator), scheme, host, port, position)) {
            scheme = kUrlRelative;
            port = 0;
            WStrClear(host);
            return false;
        }
    }
    SplitPath(clean, position, separator >= 0, path, query, fragment);
    return true;
}

Ref<UrlParts> UrlParse(const WString& text) {
    uint32_t scheme;
    uint16_t port;
    WString host, path, query, fragment;
    if (!UrlSplit(text, scheme, host, port, path, query, fragment)) return nullptr;
    return UrlPartsCreate(scheme, host, port, path, query, fragment, EmptyWString, EmptyWString);
}

Ref<UrlParts> UrlPartsCreate(uint32_t scheme, const WString& host, uint16_t port, const WString& path,
                             const WString& query, const WString& fragment, const WString& extra1,
                             const WString& extra2) {
    Ref<UrlParts> parts = MakeRef<UrlParts>();
    parts->scheme = scheme;
    parts->host = host;
    WStrLower(parts->host);
    parts->port = port;
    parts->path = path;
    WStrReplaceChar(parts->path, L'\\', L'/');
    parts->query = query;
    parts->fragment = fragment;
    parts->extra1 = extra1;
    parts->extra2 = extra2;
    return parts;
}

bool UrlIsAbsolutePath(const UrlParts* parts) {
    if (!parts) return false;
    switch (parts->scheme) {
        case kUrlRelative:
        case kUrlDot:
            return false;
        case kUrlMail:
        case kUrlScript:
            return WStrLength(parts->path) > 0;
        default:
            return WStrLength(parts->host) > 0 && parts->port != 0 && WStrCharAt(parts->path, 0) == L'/';
    }
}

WString& UrlToString(const UrlParts* parts, WString& out) {
    WStrClear(out);
    if (!UrlIsAbsolutePath(parts)) return out;
    if (parts->scheme == kUrlMail || parts->scheme == kUrlScript) {
        WStrAssignChars(out, parts->scheme == kUrlMail ? L"mailto:" : L"javascript:");
        return WStrAppend(out, parts->path);
    }
    WStrAssignChars(out, SchemeText(parts->scheme));
    WStrAppendChars(out, L"://");
    WStrAppend(out, parts->host);
    WStrAppendChar(out, L':');
    WStrAppendInt(out, parts->port);
    WStrAppend(out, parts->path);
    if (WStrLength(parts->query) > 0) {
        WStrAppendChar(out, L'?');
        WStrAppend(out, parts->query);
    }
    return out;
}

bool UrlParentPath(WString& path) {
    const int32_t slash = WStrFindCharReverse(path, L'/');
    if (slash < 0) return false;
    WStrTruncate(path, static_cast<uint32_t>(slash));
    return true;
}

Ref<UrlParts> UrlCombine(UrlParts* base, UrlParts* relative) {
    if (!base || !relative) return nullptr;
    if (relative->scheme == kUrlDot) return Ref<UrlParts>(base);
    if (relative->scheme == kUrlMail || relative->scheme == kUrlScript) return Ref<UrlParts>(relative);
    const uint32_t scheme = relative->scheme == kUrlRelative ? base->scheme : relative->scheme;
    const bool one_ftp = (scheme == kUrlFtp) != (base->scheme == kUrlFtp);
    if (one_ftp || base->scheme == kUrlMail || base->scheme == kUrlScript) return Ref<UrlParts>(relative);
    WString path = relative->path;
    if (!CombinePath(base->path, path)) return nullptr;
    const WString& host = WStrLength(relative->host) > 0 ? relative->host : base->host;
    const uint16_t port = relative->port != 0 ? relative->port : base->port;
    const bool own_extras = WStrLength(relative->extra1) > 0;
    return UrlPartsCreate(scheme, host, port, path, relative->query, relative->fragment,
                          own_extras ? relative->extra1 : base->extra1,
                          own_extras ? relative->extra2 : base->extra2);
}

Ref<UrlParts> UrlResolve(UrlParts* base, UrlParts* relative) {
    if (!base || !relative) return nullptr;
    return UrlCombine(base, relative);
}
