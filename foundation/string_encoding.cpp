// URL decoding and Base64 of WString texts.
#include "foundation/string_internals.h"
#include "foundation/strings.h"

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

constexpr char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr uint32_t kBase64GroupsPerLine = 19;

uint64_t Base64Length(uint32_t byte_count, Base64Breaks breaks) {
    const uint64_t full_groups = byte_count / 3;
    const uint64_t groups = (uint64_t(byte_count) + 2) / 3;
    const uint64_t line_ends = breaks == kBase64LineBreaks ? full_groups / kBase64GroupsPerLine : 0;
    return groups * 4 + line_ends * 2;
}

}  // namespace

WString& WStrUrlDecode(const WString& text, WString& out) {
    WString source(text);  // out may be text
    const uint32_t length = RawLength(source);
    const wchar_t* in = RawOf(source);
    if (length == 0) return WStrClear(out);
    wchar_t* buffer = StrBufAllocOf<wchar_t>(length);
    if (!buffer) return WStrClear(out);
    uint32_t written = 0;
    for (uint32_t i = 0; i < length; ++i) {
        const wchar_t c = in[i];
        const int high = (c == L'%' && i + 2 < length) ? HexValue(in[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(in[i + 2]) : -1;
        // "%00" stays as it stands: an embedded NUL would make the text that
        // is used differ from the text that was checked.
        if (low >= 0 && (high | low) != 0) {
            buffer[written++] = wchar_t(high * 16 + low);
            i += 2;
        } else {
            buffer[written++] = c == L'+' ? L' ' : c;
        }
    }
    buffer[written] = 0;
    StrHeaderOf(buffer)->length = written;
    return WStrAttach(out, buffer);
}

WString& WStrBase64Encode(const WString& self, WString& out, Base64Breaks breaks) {
    AString ansi;
    AStrFromWide(ansi, self);
    const auto* bytes = reinterpret_cast<const uint8_t*>(RawOf(ansi));
    const uint32_t n = RawLength(ansi);
    const uint64_t out_length = Base64Length(n, breaks);
    if (n == 0 || out_length > kStrMaxLength) return WStrClear(out);
    wchar_t* buffer = StrBufAllocOf<wchar_t>(uint32_t(out_length));
    if (!buffer) return WStrClear(out);
    wchar_t* p = buffer;
    uint32_t i = 0, groups = 0;
    for (; i + 3 <= n; i += 3) {
        const uint32_t triple = uint32_t(bytes[i]) << 16 | uint32_t(bytes[i + 1]) << 8 | bytes[i + 2];
        for (int shift = 18; shift >= 0; shift -= 6) *p++ = wchar_t(kBase64Alphabet[(triple >> shift) & 63]);
        if (breaks == kBase64LineBreaks && ++groups % kBase64GroupsPerLine == 0) {
            *p++ = L'\r';
            *p++ = L'\n';
        }
    }
    if (i < n) {
        const uint32_t rest = n - i;
        const uint32_t triple = uint32_t(bytes[i]) << 16 | (rest == 2 ? uint32_t(bytes[i + 1]) << 8 : 0);
        *p++ = wchar_t(kBase64Alphabet[(triple >> 18) & 63]);
        *p++ = wchar_t(kBase64Alphabet[(triple >> 12) & 63]);
        *p++ = rest == 2 ? wchar_t(kBase64Alphabet[(triple >> 6) & 63]) : L'=';
        *p++ = L'=';
    }
    return WStrAttach(out, buffer);
}
