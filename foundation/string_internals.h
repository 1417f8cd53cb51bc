// Buffer plumbing shared by the string, path and encoding sources (not for
// use outside the string implementation).
#pragma once

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <cwchar>

#include "foundation/locks.h"
#include "foundation/pool.h"
#include "foundation/strings.h"

struct StrBufHeader {
    volatile LONG count;
    uint32_t length;
};
static_assert(sizeof(StrBufHeader) == 8);

CriticalSection& WStringLock();
CriticalSection& AStringLock();

struct StringInternals {
    static wchar_t*& Slot(WString& s) { return s.chars_; }
    static wchar_t* const& Slot(const WString& s) { return s.chars_; }
    static char*& Slot(AString& s) { return s.chars_; }
    static char* const& Slot(const AString& s) { return s.chars_; }
};

template <class S>
struct StrTraits;
template <>
struct StrTraits<WString> {
    using Char = wchar_t;
    static CriticalSection& Lock() { return WStringLock(); }
    static constexpr const wchar_t* kEmpty = L"";
};
template <>
struct StrTraits<AString> {
    using Char = char;
    static CriticalSection& Lock() { return AStringLock(); }
    static constexpr const char* kEmpty = "";
};

template <class S>
using CharOf = typename StrTraits<S>::Char;

inline StrBufHeader* StrHeaderOf(const void* chars) {
    return reinterpret_cast<StrBufHeader*>(const_cast<char*>(static_cast<const char*>(chars)) - 8);
}

template <class Char>
uint32_t TextLength(const Char* text) {
    if (!text) return 0;
    size_t n;
    if constexpr (sizeof(Char) == 1) {
        n = strlen(text);
    } else {
        n = wcslen(text);
    }
    return n > kStrMaxLength ? kStrMaxLength : uint32_t(n);
}

// Length of at most n characters, stopping at a NUL.
template <class Char>
uint32_t TextLengthUpTo(const Char* text, uint32_t n) {
    if (!text) return 0;
    uint32_t i = 0;
    while (i < n && text[i] != 0) ++i;
    return i;
}

template <class Char>
Char* StrBufAllocOf(uint32_t n) {
    if (n > kStrMaxLength) return nullptr;
    const uint64_t bytes = sizeof(StrBufHeader) + (uint64_t(n) + 1) * sizeof(Char);
    if (bytes > kPoolMaxBlock) return nullptr;
    auto* header = static_cast<StrBufHeader*>(PoolAlloc(uint32_t(bytes), 0, 0));
    if (!header) return nullptr;
    header->count = 1;
    header->length = n;
    Char* chars = reinterpret_cast<Char*>(header + 1);
    chars[n] = 0;
    return chars;
}

// A new buffer of a + b characters holding both ranges.
template <class Char>
Char* StrBufJoin(const Char* a, uint32_t a_length, const Char* b, uint32_t b_length) {
    if (uint64_t(a_length) + b_length > kStrMaxLength) return nullptr;
    Char* chars = StrBufAllocOf<Char>(a_length + b_length);
    if (!chars) return nullptr;
    if (a_length) memcpy(chars, a, a_length * sizeof(Char));
    if (b_length) memcpy(chars + a_length, b, b_length * sizeof(Char));
    return chars;
}

template <class S>
typename StrTraits<S>::Char* RawOf(const S& s) {
    return StringInternals::Slot(s);
}

template <class S>
uint32_t RawLength(const S& s) {
    auto* chars = StringInternals::Slot(s);
    return chars ? StrHeaderOf(chars)->length : 0;
}

// Installs a buffer (its reference moves into the string) and releases the
// old one outside the lock.
template <class S>
void InstallBuffer(S& s, typename StrTraits<S>::Char* buffer) {
    typename StrTraits<S>::Char* old;
    {
        ScopedLock hold(StrTraits<S>::Lock());
        old = StringInternals::Slot(s);
        StringInternals::Slot(s) = buffer;
    }
    StrBufRelease(old);
}

// Sets a string to a copy of n characters: empty for n = 0 and when the
// buffer cannot be allocated.
template <class S>
S& SetRange(S& s, const typename StrTraits<S>::Char* chars, uint32_t n) {
    InstallBuffer(s, (chars && n) ? StrBufJoin(chars, n, chars, 0) : nullptr);
    return s;
}

// Replaces a string by n characters, keeping the old text when the buffer
// cannot be allocated.
template <class S>
S& ReplaceRange(S& s, const typename StrTraits<S>::Char* chars, uint32_t n) {
    if (!chars || n == 0) {
        InstallBuffer(s, nullptr);
        return s;
    }
    if (auto* buffer = StrBufJoin(chars, n, chars, 0)) InstallBuffer(s, buffer);
    return s;
}

// Signed decimal into out (room for 12 characters); returns the length.
template <class Char>
uint32_t FormatInt32(int32_t value, Char* out) {
    Char digits[12];
    uint32_t magnitude = value < 0 ? 0u - uint32_t(value) : uint32_t(value);
    uint32_t count = 0;
    do {
        digits[count++] = Char('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    uint32_t length = 0;
    if (value < 0) out[length++] = Char('-');
    while (count) out[length++] = digits[--count];
    out[length] = 0;
    return length;
}
