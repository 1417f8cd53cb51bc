// The program's own URL handling: splitting a text into scheme, host, port,
// path, query and fragment, printing it back, and resolving a relative
// reference against a base (UrlParts).
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

enum UrlScheme : uint32_t {
    kUrlRelative = 0,
    kUrlHttp = 1,    // default port 80
    kUrlHttps = 2,   // 443
    kUrlFtp = 3,     // 21
    kUrlMail = 4,    // "mailto:"
    kUrlScript = 5,  // "javascript:"
    kUrlDot = 6,     // the text "."
};

class UrlParts : public RefCounted {
  public:
    uint32_t scheme = kUrlRelative;
    WString host;  // lower case
    uint16_t port = 0;
    WString path;  // '/' separators
    WString query;
    WString fragment;
    // Two texts that parsing leaves empty and combining carries over from the
    // relative reference (or from the base when the relative has none).
    WString extra1;
    WString extra2;
};

// Splits a URL or relative reference. The ends are trimmed, tabs and line
// ends dropped and inner spaces percent-encoded; false for an empty text, an
// unknown scheme, an empty host or a port above 65535.
bool UrlSplit(const WString& text, uint32_t& scheme, WString& host, uint16_t& port, WString& path,
              WString& query, WString& fragment);
Ref<UrlParts> UrlParse(const WString& text);
// The host is stored in lower case and every '\\' of the path becomes '/'.
Ref<UrlParts> UrlPartsCreate(uint32_t scheme, const WString& host, uint16_t port, const WString& path,
                             const WString& query, const WString& fragment, const WString& extra1,
                             const WString& extra2);
// scheme://host:port/path?query (the port always written, no fragment);
// "mailto:" or "javascript:" + path; empty when the parts are not absolute.
WString& UrlToString(const UrlParts* parts, WString& out);
bool UrlIsAbsolutePath(const UrlParts* parts);
Ref<UrlParts> UrlCombine(UrlParts* base, UrlParts* relative);
Ref<UrlParts> UrlResolve(UrlParts* base, UrlParts* relative);
// Cuts the path at its last '/' (dropping it and what follows); false when
// the path holds no '/'.
bool UrlParentPath(WString& path);
