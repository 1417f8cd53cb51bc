// Names of the TIFF tags that the TIFF Tags page knows, including the
// viewer's own markup tag.
#pragma once

#include <cstdint>

inline constexpr uint32_t kTiffTagNameCount = 76;

// The tag's name, or null when the table has none. The table is searched
// from its last row, so a repeated number would find the later name.
const wchar_t* TiffTagName(uint16_t tag);
