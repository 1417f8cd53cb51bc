#include "foundation/string_builder.h"

#include <type_traits>

#include "foundation/pool.h"
#include "foundation/string_internals.h"

namespace {

template <class B>
using BuilderChar = std::remove_pointer_t<decltype(B::data)>;

template <class B>
bool InitOf(B& self, uint32_t capacity) {
    using Char = BuilderChar<B>;
    PoolFree(self.data);
    if (capacity < kStrBuilderMinCapacity) capacity = kStrBuilderMinCapacity;
    if (capacity >= kStrBuilderMaxCapacity) capacity = kStrBuilderMaxCapacity;
    self.grow_step = capacity;
    self.length = 0;
    self.data = static_cast<Char*>(PoolAlloc(capacity * uint32_t(sizeof(Char)), kPoolSmall, 0));
    self.capacity = self.data ? capacity : 0;
    if (self.data) self.data[0] = 0;
    return self.data != nullptr;
}

// A builder whose Init failed, or that never had one, has no data block and
// capacity 0, so it never answers true without room to write into.
template <class B>
bool ReserveOf(B& self, uint32_t n) {
    using Char = BuilderChar<B>;
    if (self.data && n < self.capacity) return true;
    if (n > kStrMaxLength) return false;
    const uint32_t step = self.grow_step < kStrBuilderMinCapacity ? kStrBuilderMinCapacity : self.grow_step;
    const uint64_t needed = uint64_t(step) + n;
    if (needed * sizeof(Char) > kPoolMaxBlock) return false;
    // A text appended in many small pieces (an inflated markup page of
    // hundreds of kilobytes) would be copied once per step: take twice what
    // the builder had where that is more, and the need alone where the
    // double cannot be had.
    const uint64_t doubled = uint64_t(self.data ? self.capacity : 0) * 2;
    uint64_t capacity = doubled > needed && doubled * sizeof(Char) <= kPoolMaxBlock ? doubled : needed;
    void* block = nullptr;
    for (;;) {
        const uint32_t bytes = uint32_t(capacity * sizeof(Char));
        block = self.data ? PoolRealloc(bytes, self.data, kPoolSmall) : PoolAlloc(bytes, kPoolSmall, 0);
        if (block || capacity == needed) break;
        capacity = needed;
    }
    if (!block) return false;
    if (!self.data) {
        self.length = 0;
        static_cast<Char*>(block)[0] = 0;
    }
    self.data = static_cast<Char*>(block);
    self.capacity = uint32_t(capacity);
    return true;
}

template <class B>
bool AppendNOf(B& self, const BuilderChar<B>* chars, uint32_t n) {
    using Char = BuilderChar<B>;
    if (!chars || n == 0) return true;
    const uint64_t needed = uint64_t(self.length) + n;
    if (needed > kStrMaxLength) return false;
    // The characters may lie in the builder's own data, which may move.
    const bool inside = self.data && chars >= self.data && chars < self.data + self.capacity;
    const size_t offset = inside ? size_t(chars - self.data) : 0;
    if (!ReserveOf(self, uint32_t(needed))) return false;
    if (inside) chars = self.data + offset;
    memmove(self.data + self.length, chars, n * sizeof(Char));
    self.length = uint32_t(needed);
    self.data[self.length] = 0;
    return true;
}

template <class B>
void ClearOf(B& self) {
    self.length = 0;
    if (self.data) self.data[0] = 0;
}

template <class B>
bool SetOf(B& self, const BuilderChar<B>* chars) {
    const uint32_t n = TextLength(chars);
    const bool inside = self.data && n && chars >= self.data && chars < self.data + self.capacity;
    if (inside) {
        memmove(self.data, chars, n * sizeof(*chars));
        self.length = n;
        self.data[n] = 0;
        return true;
    }
    ClearOf(self);
    return AppendNOf(self, chars, n);
}

template <class B>
bool AppendIntOf(B& self, int32_t value) {
    BuilderChar<B> digits[12];
    return AppendNOf(self, digits, FormatInt32(value, digits));
}

template <class B>
void FreeOf(B& self) {
    PoolFree(self.data);
    self.data = nullptr;
    self.capacity = 0;
    self.length = 0;
    self.grow_step = 0;
}

}  // namespace

WStrBuilder::WStrBuilder(uint32_t initial_capacity) { WStrBuilderInit(*this, initial_capacity); }
WStrBuilder::~WStrBuilder() { StrBuilderFree(*this); }
AStrBuilder::AStrBuilder(uint32_t initial_capacity) { AStrBuilderInit(*this, initial_capacity); }
AStrBuilder::~AStrBuilder() { StrBuilderFree(*this); }

bool WStrBuilderInit(WStrBuilder& self, uint32_t capacity) { return InitOf(self, capacity); }
bool AStrBuilderInit(AStrBuilder& self, uint32_t capacity) { return InitOf(self, capacity); }
bool WStrBuilderReserve(WStrBuilder& self, uint32_t n) { return ReserveOf(self, n); }
bool AStrBuilderReserve(AStrBuilder& self, uint32_t n) { return ReserveOf(self, n); }

bool WStrBuilderAppendN(WStrBuilder& self, const wchar_t* chars, uint32_t n) {
    return AppendNOf(self, chars, n);
}
bool AStrBuilderAppendN(AStrBuilder& self, const char* chars, uint32_t n) {
    return AppendNOf(self, chars, n);
}
bool WStrBuilderAppendUpTo(WStrBuilder& self, const wchar_t* chars, uint32_t n) {
    return AppendNOf(self, chars, TextLengthUpTo(chars, n));
}
bool AStrBuilderAppendUpTo(AStrBuilder& self, const char* chars, uint32_t n) {
    return AppendNOf(self, chars, TextLengthUpTo(chars, n));
}

bool WStrBuilderAppend(WStrBuilder& self, const WString& text) {
    WString hold(text);
    return AppendNOf(self, WStrBuffer(hold), StrBufLength(WStrBuffer(hold)));
}
bool AStrBuilderAppend(AStrBuilder& self, const AString& text) {
    AString hold(text);
    return AppendNOf(self, AStrBuffer(hold), StrBufLength(AStrBuffer(hold)));
}

bool WStrBuilderAppendChars(WStrBuilder& self, const wchar_t* chars) {
    return AppendNOf(self, chars, TextLength(chars));
}
bool AStrBuilderAppendChars(AStrBuilder& self, const char* chars) {
    return AppendNOf(self, chars, TextLength(chars));
}
bool WStrBuilderAppendChar(WStrBuilder& self, wchar_t c) { return AppendNOf(self, &c, c ? 1 : 0); }
bool AStrBuilderAppendChar(AStrBuilder& self, char c) { return AppendNOf(self, &c, c ? 1 : 0); }
bool WStrBuilderAppendInt(WStrBuilder& self, int32_t value) { return AppendIntOf(self, value); }
bool AStrBuilderAppendInt(AStrBuilder& self, int32_t value) { return AppendIntOf(self, value); }

bool WStrBuilderEnsureTrailingChar(WStrBuilder& self, wchar_t c) {
    if (c == 0 || (self.length && self.data[self.length - 1] == c)) return true;
    return AppendNOf(self, &c, 1);
}

bool WStrBuilderAppendPath(WStrBuilder& self, const wchar_t* part) {
    if (!part || !*part) return true;
    if (*part == L'\\' || *part == L'/') ++part;
    if (self.length == 0) return WStrBuilderAppendChars(self, part);
    const bool has_slash = WMemChr(self.data, L'/', self.length) != nullptr;
    return WStrBuilderEnsureTrailingChar(self, has_slash ? L'/' : L'\\') &&
           WStrBuilderAppendChars(self, part);
}

void WStrBuilderClear(WStrBuilder& self) { ClearOf(self); }
void AStrBuilderClear(AStrBuilder& self) { ClearOf(self); }
bool WStrBuilderSet(WStrBuilder& self, const wchar_t* chars) { return SetOf(self, chars); }
bool AStrBuilderSet(AStrBuilder& self, const char* chars) { return SetOf(self, chars); }

bool WStrBuilderAssign(WStrBuilder& self, const WStrBuilder& other) {
    if (&self == &other) return true;
    ClearOf(self);
    return AppendNOf(self, other.data, other.length);
}

WString& WStrBuilderToString(const WStrBuilder& self, WString& out) {
    return SetRange(out, self.data, self.length);
}
AString& AStrBuilderToString(const AStrBuilder& self, AString& out) {
    return SetRange(out, self.data, self.length);
}

wchar_t* StrBuilderData(const WStrBuilder& self) { return self.length ? self.data : nullptr; }
char* StrBuilderData(const AStrBuilder& self) { return self.length ? self.data : nullptr; }
const wchar_t* WStrBuilderCStr(const WStrBuilder& self) { return self.length ? self.data : L""; }
void StrBuilderFree(WStrBuilder& self) { FreeOf(self); }
void StrBuilderFree(AStrBuilder& self) { FreeOf(self); }
