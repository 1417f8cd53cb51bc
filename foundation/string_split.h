// Split results: (offset, length) pairs in characters over a counted copy of
// the split string. Created by the split operations with the ordinary
// allocator, owned by the caller and destroyed with StrSplitFree; used by one
// thread.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/strings.h"

struct StrSplitToken {
    uint32_t offset;
    uint32_t length;
};

// What both kinds share: the pair array and its fill.
struct StrSplit {
    MemBlock pairs;  // capacity tokens
    uint32_t count = 0;
    uint32_t capacity = 0;

    const StrSplitToken* tokens() const { return reinterpret_cast<const StrSplitToken*>(pairs.data()); }
};

struct WStrSplit : StrSplit {
    WString source;
};

struct AStrSplit : StrSplit {
    AString source;
};

// Tokens between separators. Empty tokens (between two separators, or after
// a final separator) are kept unless drop_empty; an empty string gives one
// empty token, or none with drop_empty. Null only when memory runs out.
WStrSplit* WStrSplitChar(const WString& self, wchar_t separator, bool drop_empty);
AStrSplit* AStrSplitChar(const AString& self, char separator, bool drop_empty);
// Tokens between line ends: CR, LF, CR LF or LF CR (two different end
// characters in a row are one line end, two equal ones are two).
WStrSplit* WStrSplitLines(const WString& self, bool drop_empty);
AStrSplit* AStrSplitLines(const AString& self, bool drop_empty);

// Token i as a string: empty for i out of range or an empty token.
WString& WStrSplitGet(const WStrSplit& split, uint32_t i, WString& out);
AString& AStrSplitGet(const AStrSplit& split, uint32_t i, AString& out);

// Appends a pair, growing by 100 pairs, or by 2000 once 200 are held; false
// (nothing added) when the array cannot grow.
bool StrSplitAddToken(StrSplit& split, uint32_t offset, uint32_t length);
void StrSplitFree(WStrSplit* split);
void StrSplitFree(AStrSplit* split);
