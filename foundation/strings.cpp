#include "foundation/strings.h"

#include <shlwapi.h>
#include <windows.h>

#include <new>
#include <type_traits>
#include <utility>

#include "foundation/string_builder.h"
#include "foundation/string_internals.h"

// Both locks are built on first use and never destroyed: strings are released
// from destructors of other static objects that run at exit, after any
// ordinary static lock would already be gone.
CriticalSection& WStringLock() {
    alignas(CriticalSection) static char storage[sizeof(CriticalSection)];
    static CriticalSection* lock = new (storage) CriticalSection();
    return *lock;
}

CriticalSection& AStringLock() {
    alignas(CriticalSection) static char storage[sizeof(CriticalSection)];
    static CriticalSection* lock = new (storage) CriticalSection();
    return *lock;
}

constinit const WString EmptyWString;

namespace {

// Reads the pointer and adds a reference in one step under the lock, so a
// concurrent replacement cannot free the buffer in between.
template <class S>
CharOf<S>* TakeCopy(const S& s) {
    ScopedLock hold(StrTraits<S>::Lock());
    CharOf<S>* chars = StringInternals::Slot(s);
    if (chars) InterlockedIncrement(&StrHeaderOf(chars)->count);
    return chars;
}

template <class S>
S& CopyInto(S& self, const S& other) {
    if (&self == &other) return self;
    InstallBuffer(self, TakeCopy(other));
    return self;
}

template <class S>
uint32_t LockedLength(const S& s) {
    ScopedLock hold(StrTraits<S>::Lock());
    return RawLength(s);
}

template <class S>
CharOf<S> LockedCharAt(const S& s, uint32_t index) {
    ScopedLock hold(StrTraits<S>::Lock());
    if (index >= RawLength(s)) return 0;
    return RawOf(s)[index];
}

template <class S>
const CharOf<S>* CStrOf(const S& s) {
    const CharOf<S>* chars = RawOf(s);
    return chars ? chars : StrTraits<S>::kEmpty;
}

// Appends n characters; the old text stays when no buffer can be had.
template <class S>
S& AppendRange(S& self, const CharOf<S>* chars, uint32_t n) {
    if (!chars || n == 0) return self;
    const uint32_t length = RawLength(self);
    if (length == 0) return ReplaceRange(self, chars, n);
    if (auto* buffer = StrBufJoin(RawOf(self), length, chars, n)) InstallBuffer(self, buffer);
    return self;
}

template <class S>
bool EqualsCharsOf(const S& self, const CharOf<S>* chars) {
    const uint32_t n = TextLength(chars);
    if (n == 0) return RawOf(self) == nullptr;
    return RawLength(self) == n && memcmp(RawOf(self), chars, n * sizeof(CharOf<S>)) == 0;
}

template <class S>
bool EqualsNOf(const S& self, const CharOf<S>* chars, uint32_t n) {
    if (n == 0) return true;
    if (!chars || !*chars || !RawOf(self)) return false;
    if constexpr (sizeof(CharOf<S>) == 1) {
        return strncmp(RawOf(self), chars, n) == 0;
    } else {
        return wcsncmp(RawOf(self), chars, n) == 0;
    }
}

template <class S>
S& LeftOf(const S& self, uint32_t n, S& out) {
    if (n == 0) return SetRange(out, RawOf(self), 0);
    if (n >= RawLength(self)) return CopyInto(out, self);
    return SetRange(out, RawOf(self), n);
}

template <class S>
S& MidOf(const S& self, uint32_t start, int32_t count, S& out) {
    const uint32_t length = RawLength(self);
    if (count == 0 || start >= length) return SetRange(out, RawOf(self), 0);
    const uint32_t rest = length - start;
    const uint32_t take = (count < 0 || uint32_t(count) > rest) ? rest : uint32_t(count);
    if (start == 0 && take == length) return CopyInto(out, self);
    return SetRange(out, RawOf(self) + start, take);
}

template <class S>
S& TruncateOf(S& self, uint32_t n) {
    if (RawLength(self) > n) ReplaceRange(self, RawOf(self), n);
    return self;
}

template <class Char>
bool InSet(Char c, const Char* set) {
    if (c == 0) return false;
    for (; *set; ++set) {
        if (*set == c) return true;
    }
    return false;
}

// Copies once into a private buffer, moves kept characters down over dropped
// ones, and installs the copy only when something was dropped.
template <class S>
S& RemoveCharsOf(S& self, const CharOf<S>* set) {
    const uint32_t length = RawLength(self);
    if (!set || !*set || length == 0) return self;
    CharOf<S>* copy = StrBufJoin(RawOf(self), length, RawOf(self), 0);
    if (!copy) return self;
    uint32_t kept = 0;
    for (uint32_t i = 0; i < length; ++i) {
        if (!InSet(copy[i], set)) copy[kept++] = copy[i];
    }
    if (kept == length) {
        StrBufRelease(copy);
        return self;
    }
    copy[kept] = 0;
    StrHeaderOf(copy)->length = kept;
    if (kept == 0) {
        StrBufRelease(copy);
        copy = nullptr;
    }
    InstallBuffer(self, copy);
    return self;
}

template <class Char>
bool IsTrimSpace(Char c) {
    return c == 32 || (c >= 9 && c <= 13);
}

template <class S>
S& TrimLeftOf(S& self) {
    const uint32_t length = RawLength(self);
    uint32_t skip = 0;
    while (skip < length && IsTrimSpace(RawOf(self)[skip])) ++skip;
    if (skip) ReplaceRange(self, RawOf(self) + skip, length - skip);
    return self;
}

template <class S>
S& TrimRightOf(S& self) {
    uint32_t length = RawLength(self);
    const uint32_t old_length = length;
    while (length && IsTrimSpace(RawOf(self)[length - 1])) --length;
    if (length != old_length) ReplaceRange(self, RawOf(self), length);
    return self;
}

template <class Int, class Char>
Int ParseInteger(const Char* text) {
    using Unsigned = std::make_unsigned_t<Int>;
    if (!text) return 0;
    bool negative = false;
    if (*text == '-' || *text == '+') negative = *text++ == '-';
    Unsigned value = 0;
    bool any_digit = false;
    while (*text >= '0' && *text <= '9') {
        value = Unsigned(value * 10u + Unsigned(*text - '0'));
        any_digit = true;
        ++text;
    }
    if (!any_digit) return 0;
    if (*text == '-') negative = true;
    return Int(negative ? Unsigned(0) - value : value);
}

template <class S>
S& FromOtherWidth(S& self, const void* text, uint32_t n);

// The converter is asked for the size first: under a double-byte code page a
// UTF-16 unit may need two bytes.
template <>
WString& FromOtherWidth(WString& self, const void* text, uint32_t n) {
    if (!text || n == 0) return SetRange(self, L"", 0);
    const char* ansi = static_cast<const char*>(text);
    const int needed = MultiByteToWideChar(CP_ACP, 0, ansi, int(n), nullptr, 0);
    wchar_t* buffer = needed > 0 ? StrBufAllocOf<wchar_t>(uint32_t(needed)) : nullptr;
    if (buffer && MultiByteToWideChar(CP_ACP, 0, ansi, int(n), buffer, needed) != needed) {
        StrBufRelease(buffer);
        buffer = nullptr;
    }
    InstallBuffer(self, buffer);
    return self;
}

template <>
AString& FromOtherWidth(AString& self, const void* text, uint32_t n) {
    if (!text || n == 0) return SetRange(self, "", 0);
    const wchar_t* wide = static_cast<const wchar_t*>(text);
    const int needed = WideCharToMultiByte(CP_ACP, 0, wide, int(n), nullptr, 0, nullptr, nullptr);
    char* buffer = needed > 0 ? StrBufAllocOf<char>(uint32_t(needed)) : nullptr;
    if (buffer && WideCharToMultiByte(CP_ACP, 0, wide, int(n), buffer, needed, nullptr, nullptr) != needed) {
        StrBufRelease(buffer);
        buffer = nullptr;
    }
    InstallBuffer(self, buffer);
    return self;
}

}  // namespace

// ---- Classes -------------------------------------------------------------

WString::WString(const wchar_t* chars) { WStrInit(*this, chars); }
WString::WString(const WString& other) : chars_(TakeCopy(other)) {}
WString& WString::operator=(const WString& other) { return WStrAssign(*this, other); }
WString& WString::operator=(WString&& other) noexcept {
    if (this != &other) InstallBuffer(*this, std::exchange(other.chars_, nullptr));
    return *this;
}
WString& WString::operator=(const wchar_t* chars) { return WStrAssignChars(*this, chars); }
WString::~WString() {
    if (chars_) StrRelease(*this);
}

AString::AString(const char* chars) { AStrAssignChars(*this, chars); }
AString::AString(const AString& other) : chars_(TakeCopy(other)) {}
AString& AString::operator=(const AString& other) { return AStrAssign(*this, other); }
AString& AString::operator=(AString&& other) noexcept {
    if (this != &other) InstallBuffer(*this, std::exchange(other.chars_, nullptr));
    return *this;
}
AString& AString::operator=(const char* chars) { return AStrAssignChars(*this, chars); }
AString::~AString() {
    if (chars_) StrRelease(*this);
}

// ---- Buffer management ---------------------------------------------------

wchar_t* WStrBufAlloc(uint32_t n) { return StrBufAllocOf<wchar_t>(n); }
char* AStrBufAlloc(uint32_t n) { return StrBufAllocOf<char>(n); }

wchar_t* WStrBufCreate(const wchar_t* chars, uint32_t n) {
    return (chars && n) ? StrBufJoin(chars, n, chars, 0) : nullptr;
}
char* AStrBufCreate(const char* chars, uint32_t n) {
    return (chars && n) ? StrBufJoin(chars, n, chars, 0) : nullptr;
}

wchar_t* WStrBufClone(const wchar_t* buffer) {
    return buffer ? WStrBufCreate(buffer, StrBufLength(buffer)) : nullptr;
}
char* AStrBufClone(const char* buffer) {
    return buffer ? AStrBufCreate(buffer, StrBufLength(buffer)) : nullptr;
}

void StrBufRelease(const void* buffer) {
    if (!buffer) return;
    StrBufHeader* header = StrHeaderOf(buffer);
    if (InterlockedDecrement(&header->count) == 0) PoolFree(header);
}

uint32_t StrBufRefCount(const void* buffer) { return buffer ? uint32_t(StrHeaderOf(buffer)->count) : 0; }
uint32_t StrBufLength(const void* buffer) { return buffer ? StrHeaderOf(buffer)->length : 0; }

const wchar_t* WStrBuffer(const WString& self) { return RawOf(self); }
const char* AStrBuffer(const AString& self) { return RawOf(self); }

void StrRelease(WString& self) { InstallBuffer(self, nullptr); }
void StrRelease(AString& self) { InstallBuffer(self, nullptr); }

WString& WStrAttach(WString& self, wchar_t* buffer) {
    InstallBuffer(self, buffer);
    return self;
}
AString& AStrAttach(AString& self, char* buffer) {
    InstallBuffer(self, buffer);
    return self;
}

// ---- Construction, assignment, access ------------------------------------

WString& WStrCopy(WString& self, const WString& other) { return CopyInto(self, other); }
AString& AStrCopy(AString& self, const AString& other) { return CopyInto(self, other); }
WString& WStrInit(WString& self, const wchar_t* chars) { return SetRange(self, chars, TextLength(chars)); }
WString& WStrAssignChars(WString& self, const wchar_t* chars) {
    return SetRange(self, chars, TextLength(chars));
}
AString& AStrAssignChars(AString& self, const char* chars) {
    return SetRange(self, chars, TextLength(chars));
}
WString& WStrAssign(WString& self, const WString& other) { return CopyInto(self, other); }
AString& AStrAssign(AString& self, const AString& other) { return CopyInto(self, other); }
WString& WStrAssignN(WString& self, const wchar_t* chars, uint32_t n) {
    return SetRange(self, chars, TextLengthUpTo(chars, n));
}
AString& AStrAssignN(AString& self, const char* chars, uint32_t n) {
    return SetRange(self, chars, TextLengthUpTo(chars, n));
}

WString& WStrFromAnsi(WString& self, const char* text) {
    return FromOtherWidth(self, text, TextLength(text));
}
WString& WStrFromAnsi(WString& self, const AString& text) {
    AString hold(text);
    return FromOtherWidth(self, RawOf(hold), RawLength(hold));
}
AString& AStrFromWide(AString& self, const wchar_t* text) {
    return FromOtherWidth(self, text, TextLength(text));
}
AString& AStrFromWide(AString& self, const WString& text) {
    WString hold(text);
    return FromOtherWidth(self, RawOf(hold), RawLength(hold));
}

WString& WStrClear(WString& self) {
    StrRelease(self);
    return self;
}
AString& AStrClear(AString& self) {
    StrRelease(self);
    return self;
}

uint32_t WStrLength(const WString& self) { return LockedLength(self); }
uint32_t AStrLength(const AString& self) { return LockedLength(self); }
const wchar_t* WStrCStr(const WString& self) { return CStrOf(self); }
const char* AStrCStr(const AString& self) { return CStrOf(self); }
wchar_t WStrCharAt(const WString& self, uint32_t index) { return LockedCharAt(self, index); }
char AStrCharAt(const AString& self, uint32_t index) { return LockedCharAt(self, index); }

// ---- Appending and concatenation -----------------------------------------

WString& WStrAppendBuf(WString& self, const wchar_t* chars, uint32_t n) {
    return AppendRange(self, chars, n);
}
AString& AStrAppendN(AString& self, const char* chars, uint32_t n) { return AppendRange(self, chars, n); }
WString& WStrAppendN(WString& self, const wchar_t* chars, uint32_t n) {
    return AppendRange(self, chars, TextLengthUpTo(chars, n));
}
AString& AStrAppendUpTo(AString& self, const char* chars, uint32_t n) {
    return AppendRange(self, chars, TextLengthUpTo(chars, n));
}

WString& WStrAppend(WString& self, const WString& other) {
    if (RawOf(self) == nullptr) return CopyInto(self, other);
    WString hold(other);  // other may be self
    return AppendRange(self, RawOf(hold), RawLength(hold));
}

WString& WStrAppendChars(WString& self, const wchar_t* chars) {
    return AppendRange(self, chars, TextLength(chars));
}
AString& AStrAppendChars(AString& self, const char* chars) {
    return AppendRange(self, chars, TextLength(chars));
}
WString& WStrAppendChar(WString& self, wchar_t c) { return AppendRange(self, &c, c ? 1 : 0); }

WString& WStrAppendInt(WString& self, int32_t value) {
    wchar_t digits[12];
    return AppendRange(self, digits, FormatInt32(value, digits));
}
AString& AStrAppendInt(AString& self, int32_t value) {
    char digits[12];
    return AppendRange(self, digits, FormatInt32(value, digits));
}

WString& WStrConcat(const WString& self, const WString& other, WString& out) {
    if (RawOf(other) == nullptr) return CopyInto(out, self);
    if (RawOf(self) == nullptr) return CopyInto(out, other);
    InstallBuffer(out, StrBufJoin(RawOf(self), RawLength(self), RawOf(other), RawLength(other)));
    return out;
}

WString& WStrConcatChars(const WString& self, const wchar_t* chars, WString& out) {
    const uint32_t n = TextLength(chars);
    if (n == 0) return CopyInto(out, self);
    InstallBuffer(out, StrBufJoin(RawOf(self), RawLength(self), chars, n));
    return out;
}

WString& WStrEnsureTrailingChar(WString& self, wchar_t c) {
    const uint32_t length = RawLength(self);
    if (c == 0 || (length && RawOf(self)[length - 1] == c)) return self;
    return AppendRange(self, &c, 1);
}

// ---- Comparison -----------------------------------------------------------

bool WStrEqualsChars(const WString& self, const wchar_t* chars) { return EqualsCharsOf(self, chars); }
bool AStrEqualsChars(const AString& self, const char* chars) { return EqualsCharsOf(self, chars); }

bool WStrEquals(const WString& self, const WString& other) {
    if (RawOf(self) == RawOf(other)) return true;
    const uint32_t length = RawLength(self);
    return length == RawLength(other) && memcmp(RawOf(self), RawOf(other), length * sizeof(wchar_t)) == 0;
}

bool WStrEqualsNoCase(const WString& self, const wchar_t* chars) {
    if (!chars || !*chars) return RawOf(self) == nullptr;
    return lstrcmpiW(CStrOf(self), chars) == 0;
}
bool AStrEqualsNoCase(const AString& self, const char* chars) {
    if (!chars || !*chars) return RawOf(self) == nullptr;
    return lstrcmpiA(CStrOf(self), chars) == 0;
}

bool WStrEqualsNoCaseStr(const WString& self, const WString& other) {
    if (RawLength(self) != RawLength(other)) return false;
    return lstrcmpiW(CStrOf(self), CStrOf(other)) == 0;
}

bool WStrEqualsN(const WString& self, const wchar_t* chars, uint32_t n) { return EqualsNOf(self, chars, n); }
bool AStrEqualsN(const AString& self, const char* chars, uint32_t n) { return EqualsNOf(self, chars, n); }

// ---- Substrings -----------------------------------------------------------

WString& WStrLeft(const WString& self, uint32_t n, WString& out) { return LeftOf(self, n, out); }
AString& AStrLeft(const AString& self, uint32_t n, AString& out) { return LeftOf(self, n, out); }
WString& WStrMid(const WString& self, uint32_t start, int32_t count, WString& out) {
    return MidOf(self, start, count, out);
}
AString& AStrMid(const AString& self, uint32_t start, int32_t count, AString& out) {
    return MidOf(self, start, count, out);
}

WString& WStrRight(const WString& self, uint32_t n, WString& out) {
    const uint32_t length = RawLength(self);
    if (n == 0) return SetRange(out, L"", 0);
    if (n < length) return SetRange(out, RawOf(self) + (length - n), n);
    return CopyInto(out, self);
}

WString& WStrTruncate(WString& self, uint32_t n) { return TruncateOf(self, n); }
AString& AStrTruncate(AString& self, uint32_t n) { return TruncateOf(self, n); }

// ---- Search ---------------------------------------------------------------

int32_t WStrFindChar(const WString& self, wchar_t c, uint32_t start) {
    const uint32_t length = RawLength(self);
    if (c == 0) return -1;
    for (uint32_t i = start; i < length; ++i) {
        if (RawOf(self)[i] == c) return int32_t(i);
    }
    return -1;
}

namespace {
// The backwards searches start at the last character when start is negative
// or at least length - 1; -1 for an empty string.
int32_t ReverseStart(uint32_t length, int32_t start) {
    if (length == 0) return -1;
    const int32_t last = int32_t(length - 1);
    return (start < 0 || start >= last) ? last : start;
}
}  // namespace

int32_t WStrFindCharReverse(const WString& self, wchar_t c, int32_t start) {
    if (c == 0) return -1;
    for (int32_t i = ReverseStart(RawLength(self), start); i >= 0; --i) {
        if (RawOf(self)[i] == c) return i;
    }
    return -1;
}

int32_t WStrFindAnyOf(const WString& self, const wchar_t* set, uint32_t start) {
    if (!set || !*set) return -1;
    const uint32_t length = RawLength(self);
    for (uint32_t i = start; i < length; ++i) {
        if (InSet(RawOf(self)[i], set)) return int32_t(i);
    }
    return -1;
}

int32_t WStrFindAnyOfReverse(const WString& self, const wchar_t* set, int32_t start) {
    if (!set || !*set) return -1;
    for (int32_t i = ReverseStart(RawLength(self), start); i >= 0; --i) {
        if (InSet(RawOf(self)[i], set)) return i;
    }
    return -1;
}

int32_t WStrFindStr(const WString& self, const wchar_t* needle, bool case_sensitive, uint32_t start) {
    if (!needle || !*needle || start >= RawLength(self)) return -1;
    const wchar_t* from = RawOf(self) + start;
    const wchar_t* found = case_sensitive ? StrStrW(from, needle) : StrStrIW(from, needle);
    return found ? int32_t(found - RawOf(self)) : -1;
}

int32_t AStrFind(const AString& self, const char* needle, bool case_sensitive, uint32_t start) {
    if (!needle || !*needle || start >= RawLength(self)) return -1;
    const char* from = RawOf(self) + start;
    const char* found = case_sensitive ? StrStrA(from, needle) : StrStrIA(from, needle);
    return found ? int32_t(found - RawOf(self)) : -1;
}

uint32_t WStrCountChar(const WString& self, wchar_t c) {
    if (c == 0) return 0;
    const uint32_t length = RawLength(self);
    uint32_t count = 0;
    for (uint32_t i = 0; i < length; ++i) count += RawOf(self)[i] == c;
    return count;
}

bool WStrIsDigits(const WString& self) {
    const uint32_t length = RawLength(self);
    if (length == 0) return false;
    for (uint32_t i = 0; i < length; ++i) {
        if (RawOf(self)[i] < L'0' || RawOf(self)[i] > L'9') return false;
    }
    return true;
}

// ---- Changing -------------------------------------------------------------

uint32_t WStrReplaceChar(WString& self, wchar_t old_char, wchar_t new_char) {
    if (old_char == 0 || new_char == 0) return 0;
    const uint32_t count = WStrCountChar(self, old_char);
    if (count == 0 || old_char == new_char) return count;
    wchar_t* copy = WStrBufClone(RawOf(self));
    if (!copy) return 0;
    WcsReplaceChar(copy, old_char, new_char);
    InstallBuffer(self, copy);
    return count;
}

uint32_t WStrReplaceAll(WString& self, const wchar_t* old_text, const wchar_t* new_text,
                        bool case_sensitive) {
    const uint32_t old_length = TextLength(old_text);
    const uint32_t length = RawLength(self);
    if (length == 0 || old_length == 0) return 0;
    auto find = [case_sensitive, old_text](const wchar_t* from) {
        return case_sensitive ? StrStrW(from, old_text) : StrStrIW(from, old_text);
    };
    const wchar_t* text = RawOf(self);
    const wchar_t* match = find(text);
    if (!match) return 0;
    WStrBuilder builder;
    if (!WStrBuilderInit(builder, length + 32)) return 0;
    uint32_t count = 0;
    bool ok = true;
    const wchar_t* rest = text;
    while (match && ok) {
        ok = WStrBuilderAppendN(builder, rest, uint32_t(match - rest)) &&
             WStrBuilderAppendChars(builder, new_text);
        rest = match + old_length;
        ++count;
        match = find(rest);
    }
    ok = ok && WStrBuilderAppendN(builder, rest, uint32_t(text + length - rest));
    if (!ok) return 0;
    WStrBuilderToString(builder, self);
    return count;
}

WString& WStrRemoveChars(WString& self, const wchar_t* set) { return RemoveCharsOf(self, set); }
AString& AStrRemoveChars(AString& self, const char* set) { return RemoveCharsOf(self, set); }
WString& WStrRemoveWhitespace(WString& self) { return RemoveCharsOf(self, L" \t\r\n"); }
AString& AStrRemoveWhitespace(AString& self) { return RemoveCharsOf(self, " \t\r\n"); }

WString& WStrTrimLeft(WString& self) { return TrimLeftOf(self); }
WString& WStrTrimRight(WString& self) { return TrimRightOf(self); }
WString& WStrTrim(WString& self) { return TrimRightOf(TrimLeftOf(self)); }
AString& AStrTrimLeft(AString& self) { return TrimLeftOf(self); }
AString& AStrTrimRight(AString& self) { return TrimRightOf(self); }
AString& AStrTrim(AString& self) { return TrimRightOf(TrimLeftOf(self)); }

WString& WStrLower(WString& self) {
    const uint32_t length = RawLength(self);
    if (length == 0) return self;
    wchar_t* copy = WStrBufClone(RawOf(self));
    if (!copy) return self;
    CharLowerBuffW(copy, length);
    InstallBuffer(self, copy);
    return self;
}

AString& AStrUpper(AString& self) {
    const uint32_t length = RawLength(self);
    if (length == 0) return self;
    char* copy = AStrBufClone(RawOf(self));
    if (!copy) return self;
    CharUpperBuffA(copy, length);
    InstallBuffer(self, copy);
    return self;
}

// ---- Numbers --------------------------------------------------------------

int32_t WStrToInt(const WString& self) { return ParseInteger<int32_t>(RawOf(self)); }
int64_t WStrToInt64(const WString& self) { return ParseInteger<int64_t>(RawOf(self)); }
int32_t AStrToInt(const AString& self) { return ParseInteger<int32_t>(RawOf(self)); }

// ---- Plain wide arrays ----------------------------------------------------

wchar_t* WcsTrimLeft(wchar_t* text) {
    if (!text) return text;
    size_t skip = 0;
    while (text[skip] == L' ' || text[skip] == L'\t') ++skip;
    if (skip) memmove(text, text + skip, (wcslen(text + skip) + 1) * sizeof(wchar_t));
    return text;
}

wchar_t* WcsTrimRight(wchar_t* text) {
    if (!text) return text;
    size_t length = wcslen(text);
    while (length && text[length - 1] == L' ') --length;
    text[length] = 0;
    return text;
}

wchar_t* WcsTrim(wchar_t* text) { return WcsTrimRight(WcsTrimLeft(text)); }

wchar_t* WcsReplaceChar(wchar_t* text, wchar_t old_char, wchar_t new_char) {
    if (!text || old_char == 0) return text;
    for (wchar_t* p = text; *p; ++p) {
        if (*p == old_char) *p = new_char;
    }
    return text;
}

const wchar_t* WMemChr(const wchar_t* units, wchar_t c, uint32_t n) {
    if (!units) return nullptr;
    for (uint32_t i = 0; i < n; ++i) {
        if (units[i] == c) return units + i;
    }
    return nullptr;
}
