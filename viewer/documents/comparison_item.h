// The version comparison: pages of several documents lined up by two
// markers each and rendered on top of each other, lines of the reference
// page alone in red, lines of the other pages alone in blue, shared lines
// in black.
#pragma once

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/transform.h"

class ComparisonItem;
class ComparisonPageItem;
class Palette;
class ViewerContext;

// A comparison renders its other pages at most this many times the pixels
// of the target's longer side per side, whatever their scale against the
// reference.
inline constexpr uint32_t kComparisonMaxSideFactor = 2;

// Lines up every further comparison page with the first (the reference)
// and makes the composed cut-out for the area they cover; without a
// reference, or when markers do not line up, no composition stands.
void ComparisonCompose(ComparisonItem* item, ViewerContext* context);
// The similarity that maps the page's markers onto the reference's
// markers r1, r2; false for a marker segment of length 0 or a scale too
// small or too large to show.
bool ComparisonPageTransform(ComparisonPageItem* page, const PointD& r1, const PointD& r2, TransformD& out);

// The 256-entry lookups applied to a page's 8-bit grey render: the
// reference's level goes to the low four bits, another page's to the high
// four, the other half white; ANDing both leaves (other << 4) | reference.
const uint8_t* ComparisonChannelTable(bool reference);
// Entry 16 a + b (a the other pages' level, b the reference's): red 17 a,
// green min(17 a, 17 b), blue 17 b.
Ref<Palette> ComparisonPalette();

// Markers k = 0 and 1 (the view's '1' and '2'); false for other k.
bool ComparisonPageGetMarker(ComparisonPageItem* page, uint32_t k, PointD& out);
bool ComparisonPageSetMarker(ComparisonPageItem* page, uint32_t k, const PointD& point);
