#include "foundation/string_split.h"

#include "foundation/pool.h"
#include "foundation/string_internals.h"

namespace {

constexpr uint32_t kSplitGrowSmall = 100;
constexpr uint32_t kSplitGrowLarge = 2000;
constexpr uint32_t kSplitLargeFrom = 200;

template <class Split>
struct SplitTraits;
template <>
struct SplitTraits<WStrSplit> {
    using String = WString;
};
template <>
struct SplitTraits<AStrSplit> {
    using String = AString;
};

template <class Split>
using SplitChar = CharOf<typename SplitTraits<Split>::String>;

// Adds the token unless it is empty and empties are dropped.
bool AddUnlessDropped(StrSplit& split, uint32_t start, uint32_t end, bool drop_empty) {
    if (drop_empty && end == start) return true;
    return StrSplitAddToken(split, start, end - start);
}

// A split whose token could not be stored is given up as a whole rather
// than handed back short of tokens.
template <class Split>
Split* Finish(Split* split, bool ok) {
    if (ok) return split;
    delete split;
    return nullptr;
}

template <class Split>
Split* SplitCharOf(const typename SplitTraits<Split>::String& self, SplitChar<Split> separator,
                   bool drop_empty) {
    auto* split = new Split;
    split->source = self;
    const auto* text = RawOf(split->source);
    const uint32_t length = RawLength(split->source);
    bool ok = true;
    uint32_t start = 0;
    for (uint32_t i = 0; i < length && ok; ++i) {
        if (text[i] != separator) continue;
        ok = AddUnlessDropped(*split, start, i, drop_empty);
        start = i + 1;
    }
    ok = ok && AddUnlessDropped(*split, start, length, drop_empty);
    return Finish(split, ok);
}

template <class Char>
bool IsLineEnd(Char c) {
    return c == '\r' || c == '\n';
}

template <class Split>
Split* SplitLinesOf(const typename SplitTraits<Split>::String& self, bool drop_empty) {
    auto* split = new Split;
    split->source = self;
    const auto* text = RawOf(split->source);
    const uint32_t length = RawLength(split->source);
    bool ok = true;
    uint32_t start = 0;
    for (uint32_t i = 0; i < length && ok; ++i) {
        if (!IsLineEnd(text[i])) continue;
        ok = AddUnlessDropped(*split, start, i, drop_empty);
        // CR LF and LF CR are one line end; CR CR and LF LF are two.
        if (i + 1 < length && IsLineEnd(text[i + 1]) && text[i + 1] != text[i]) ++i;
        start = i + 1;
    }
    ok = ok && AddUnlessDropped(*split, start, length, drop_empty);
    return Finish(split, ok);
}

template <class Split, class String>
String& SplitGetOf(const Split& split, uint32_t i, String& out) {
    if (i >= split.count || split.tokens()[i].length == 0) {
        InstallBuffer(out, nullptr);
        return out;
    }
    const StrSplitToken token = split.tokens()[i];
    return SetRange(out, RawOf(split.source) + token.offset, token.length);
}

}  // namespace

WStrSplit* WStrSplitChar(const WString& self, wchar_t separator, bool drop_empty) {
    return SplitCharOf<WStrSplit>(self, separator, drop_empty);
}
AStrSplit* AStrSplitChar(const AString& self, char separator, bool drop_empty) {
    return SplitCharOf<AStrSplit>(self, separator, drop_empty);
}
WStrSplit* WStrSplitLines(const WString& self, bool drop_empty) {
    return SplitLinesOf<WStrSplit>(self, drop_empty);
}
AStrSplit* AStrSplitLines(const AString& self, bool drop_empty) {
    return SplitLinesOf<AStrSplit>(self, drop_empty);
}

WString& WStrSplitGet(const WStrSplit& split, uint32_t i, WString& out) { return SplitGetOf(split, i, out); }
AString& AStrSplitGet(const AStrSplit& split, uint32_t i, AString& out) { return SplitGetOf(split, i, out); }

bool StrSplitAddToken(StrSplit& split, uint32_t offset, uint32_t length) {
    if (split.count == split.capacity) {
        const uint32_t step = split.count >= kSplitLargeFrom ? kSplitGrowLarge : kSplitGrowSmall;
        const uint64_t capacity = uint64_t(split.capacity) + step;
        const uint64_t bytes = capacity * sizeof(StrSplitToken);
        if (bytes > kPoolMaxBlock || !MemResize(split.pairs, uint32_t(bytes), kPoolSmall)) return false;
        split.capacity = uint32_t(capacity);
    }
    auto* tokens = reinterpret_cast<StrSplitToken*>(split.pairs.data());
    tokens[split.count++] = StrSplitToken{offset, length};
    return true;
}

void StrSplitFree(WStrSplit* split) { delete split; }
void StrSplitFree(AStrSplit* split) { delete split; }
