// Large sheets go to the printer in horizontal bands: an A0 drawing at the
// printer's 600 dpi is 70 MB at one bit per pixel and 560 MB at eight, more
// than a 32-bit process can hold beside the driver's own copy. Each band is
// a render of its part of the sheet's placement, sent at its own position;
// ordinary sheets keep the one render and the one send.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/formats/page_placement.h"

class DocItem;

// A page image above this many bytes, counted at the depth it is sent
// with, goes out in bands...
inline constexpr uint64_t kBandThresholdBytes = 32ull << 20;
// ...of about this many bytes each.
inline constexpr uint64_t kBandBytes = 16ull << 20;

// What the page's reader tells of it: the depth of the image a render at
// the printer's resolution gives (1 for bilevel pages, 8 for grey and
// palette pages, 24 for colour) and its resolution (0 when unknown).
struct BandSource {
    uint16_t bits_per_pixel = 24;
    double dpi_x = 0;
    double dpi_y = 0;
    // What the send holds per pixel of a band when that is more than the
    // image's depth: the device's own bitmap of the memory path.
    uint16_t send_bits_per_pixel = 0;
};

// The page's reader asked; a page without one (a comparison) may come out
// in colour.
BandSource PrintBandSourceOf(DocItem* item);

// One band: its part of the sheet's request and its first picture row in
// the sheet's image.
struct PrintBand {
    PagePlacement placement;
    uint32_t top = 0;
};

// The sheet's image size at a depth, rows padded to words.
uint64_t PrintImageBytes(const PagePlacement& whole, uint16_t bits_per_pixel);

// The bands of `whole`, top to bottom in the picture; empty when what is
// sent stays under the threshold. Band edges fall on the source's pixel edges
// where its resolution is known, so that no source row is rendered twice;
// the bands' rows meet without gap or overlap whatever the turn and the
// mirroring.
std::vector<PrintBand> PrintBandsSplit(const PagePlacement& whole, const BandSource& source);

// For tests: the threshold and the band size in bytes (0 restores each).
void PrintBandsSetSizesForTests(uint64_t threshold_bytes, uint64_t band_bytes);
