// The render request of a page and the token that carries a page's grey
// level from a whole-page render into later renders of its parts.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

// Lent by a page to its sink's finishing step; created invalid.
class RenderToken : public RefCounted {
  public:
    uint8_t grey_level = 0;
    uint8_t valid = 0;
};
