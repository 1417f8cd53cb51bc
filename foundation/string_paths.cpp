// Path parts of WString texts. Separators are '/', '\\' and ':'.
#include "foundation/string_internals.h"
#include "foundation/strings.h"

namespace {
constexpr const wchar_t* kSeparators = L"/\\:";

// Index of the extension's '.', or -1: the last '.', when it follows the last
// separator and is not the first character.
int32_t ExtensionDot(const WString& self) {
    const int32_t dot = WStrFindCharReverse(self, L'.');
    const int32_t separator = WStrFindAnyOfReverse(self, kSeparators);
    return (dot > 0 && dot > separator) ? dot : -1;
}
}  // namespace

WString& WStrAppendPath(WString& self, const wchar_t* part) {
    if (!part || !*part) return self;
    if (*part == L'\\' || *part == L'/') ++part;
    const uint32_t length = RawLength(self);
    if (length == 0) return WStrAssignChars(self, part);
    const wchar_t separator = WStrFindChar(self, L'/') >= 0 ? L'/' : L'\\';
    const uint32_t separator_length = RawOf(self)[length - 1] == separator ? 0 : 1;
    const uint32_t part_length = TextLength(part);
    if (uint64_t(length) + separator_length + part_length > kStrMaxLength) return self;
    wchar_t* buffer = StrBufAllocOf<wchar_t>(length + separator_length + part_length);
    if (!buffer) return self;
    memcpy(buffer, RawOf(self), length * sizeof(wchar_t));
    if (separator_length) buffer[length] = separator;
    memcpy(buffer + length + separator_length, part, part_length * sizeof(wchar_t));
    InstallBuffer(self, buffer);
    return self;
}

WString& WStrGetFileName(const WString& self, WString& out) {
    const int32_t separator = WStrFindAnyOfReverse(self, kSeparators);
    if (separator < 0) return WStrCopy(out, self);
    return WStrMid(self, uint32_t(separator) + 1, -1, out);
}

WString& WStrGetDirectory(const WString& self, WString& out) {
    const int32_t query = WStrFindChar(self, L'?');
    int32_t separator = -1;
    if (query != 0) separator = WStrFindAnyOfReverse(self, kSeparators, query < 0 ? -1 : query - 1);
    if (separator < 0) return WStrClear(out);
    return WStrLeft(self, uint32_t(separator) + 1, out);
}

WString& WStrGetExtension(const WString& self, WString& out) {
    const int32_t dot = ExtensionDot(self);
    if (dot < 0) return WStrClear(out);
    return WStrMid(self, uint32_t(dot) + 1, -1, out);
}

WString& WStrStripExtension(const WString& self, WString& out) {
    const int32_t dot = ExtensionDot(self);
    if (dot < 0) return WStrCopy(out, self);
    return WStrLeft(self, uint32_t(dot), out);
}
