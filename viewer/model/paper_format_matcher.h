// Names a page size in millimetres after a standard paper format: ISO A to
// E, ANSI, Legal and JIS B, tried in a fixed order so that where two formats
// lie within the tolerance of each other the earlier one wins.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/strings.h"

inline constexpr int32_t kPaperFormatCount = 71;

class PaperFormatMatcher {
  public:
    explicit PaperFormatMatcher(double tolerance)
        : upper_factor(1 + tolerance), lower_factor(1 - tolerance) {}

    // Guards the cache: the status bar and the print thread both ask.
    CriticalSection lock;
    int32_t cached_row = -1;  // the last match, -1 before the first
    SizeD cached_size;
    const double upper_factor;
    const double lower_factor;
};

// The row of the table that the size (either orientation) matches, or -1;
// a size equal to the last matched one is answered from the cache. A size
// that is not finite and positive matches nothing.
int32_t PaperFormatFind(PaperFormatMatcher* matcher, const SizeD& size_mm);
// The row's name ("ISO A4"), or null outside the table.
const wchar_t* PaperFormatRowName(int32_t row);
// The name of the matching format; false, with `out` untouched, when none
// matches.
bool PaperFormatName(PaperFormatMatcher* matcher, const SizeD& size_mm, WString& out);
