// Conversion between depths, rectangle copies, transformed drawing, lookup
// tables and mean brightness of the four image members.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/progress.h"
#include "foundation/transform.h"
#include "imaging/raster/raster_image_depths.h"
#include "imaging/raster/raster_pixels.h"

namespace {

constexpr uint32_t kSumCount = 766;  // channel sums 0 to 765

// What a channel sum becomes at each destination depth: a bit set for a
// light colour, sum / 48 as a nibble, the grey sum / 3 as a byte.
uint8_t ValueForSum(uint32_t sum, uint32_t bits) {
    switch (bits) {
        case 1:
            return sum >= 384 ? 1 : 0;
        case 4:
            return static_cast<uint8_t>(sum / 48);
        default:
            return static_cast<uint8_t>(sum / 3);
    }
}

// Destination value per source key: the value itself for sources of up to
// 8 bits, the channel sum for 24-bit sources.
void BuildConversionTable(const RasterImage* source, uint32_t destination_bits, uint8_t* table) {
    if (source->bits_per_pixel == 24) {
        for (uint32_t sum = 0; sum < kSumCount; ++sum) table[sum] = ValueForSum(sum, destination_bits);
        return;
    }
    const uint32_t values = 1u << source->bits_per_pixel;
    for (uint32_t v = 0; v < values; ++v) {
        table[v] = ValueForSum(ColourSum(RasterValueColour(source, v)), destination_bits);
    }
}

template <uint32_t SourceBits, uint32_t DestinationBits>
void MapPixels(const RasterImage* source, RasterImage* destination, const uint8_t* table) {
    for (uint32_t y = 0; y < destination->height; ++y) {
        const uint8_t* in = RasterImageRowAddress(source, y);
        uint8_t* out = RasterImageRowAddress(destination, y);
        for (uint32_t x = 0; x < destination->width; ++x) {
            uint32_t key = PixelGet(in, x, SourceBits);
            if constexpr (SourceBits == 24) key = ColourSum(key);
            const uint32_t value = table[key];
            if constexpr (DestinationBits == 24) {
                PixelPut(out, x, 24, GreyColour(value));
            } else {
                PixelPut(out, x, DestinationBits, value);
            }
        }
    }
}

template <uint32_t DestinationBits>
void MapFromSource(const RasterImage* source, RasterImage* destination, const uint8_t* table) {
    switch (source->bits_per_pixel) {
        case 1:
            MapPixels<1, DestinationBits>(source, destination, table);
            break;
        case 4:
            MapPixels<4, DestinationBits>(source, destination, table);
            break;
        case 8:
            MapPixels<8, DestinationBits>(source, destination, table);
            break;
        default:
            MapPixels<24, DestinationBits>(source, destination, table);
            break;
    }
}

bool SameSize(const RasterImage* a, const RasterImage* b) {
    return a->width == b->width && a->height == b->height;
}

bool ValidDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

size_t ImageBytes(const RasterImage* image) { return static_cast<size_t>(image->stride) * image->height; }

template <uint32_t DestinationBits>
void ConvertInto(RasterImage* destination, const RasterImage* source) {
    if (!SameSize(destination, source) || !ValidDepth(source->bits_per_pixel)) return;
    const uint32_t bits = source->bits_per_pixel;
    // Same depth without a palette: the values already mean what they should.
    if (bits == DestinationBits && !source->palette && (bits == 4 || bits == 8)) {
        memcpy(destination->pixels, source->pixels, ImageBytes(source));
        return;
    }
    uint8_t table[kSumCount];
    BuildConversionTable(source, DestinationBits, table);
    MapFromSource<DestinationBits>(source, destination, table);
}

bool Lighter(uint32_t colour) { return ColourSum(colour) >= 384; }

uint8_t Combine(uint8_t target, uint8_t value, uint32_t mode) {
    if (mode == kRasterCopy) return value;
    if (mode == kRasterAnd) return target & value;
    return target | value;
}

// Cuts the copy to both images; false when nothing is left.
bool ClipCopy(const RasterImage* destination, const RasterImage* source, const PointI* at, const RectI* rect,
              SizeI& extent, PointI& from, PointI& to) {
    extent = rect->size;
    PointI positions[2] = {rect->origin, *at};
    const RectI bounds[2] = {
        RectI{SizeI{static_cast<int32_t>(source->width), static_cast<int32_t>(source->height)}, PointI{}},
        RectI{SizeI{static_cast<int32_t>(destination->width), static_cast<int32_t>(destination->height)},
              PointI{}}};
    if (extent.width <= 0 || extent.height <= 0) return false;
    if (!RectIClipRects(extent, 2, bounds, positions)) return false;
    from = positions[0];
    to = positions[1];
    return true;
}

// Polarity of a bilevel image: true when value 1 is at least as light as 0.
bool OnesAreLight(const RasterImage* image) {
    if (!image->palette) return true;
    return ColourSum(PaletteGetEntry(image->palette, 1)) >= ColourSum(PaletteGetEntry(image->palette, 0));
}

void CopyBitRowsAsBytes(RasterImage* destination, const RasterImage* source, const SizeI& extent,
                        const PointI& from, const PointI& to, uint32_t mode, uint8_t flip) {
    const uint32_t bytes = (static_cast<uint32_t>(extent.width) + 7) / 8;
    for (int32_t j = 0; j < extent.height; ++j) {
        const uint8_t* in = RasterImageRowAddress(source, from.y + j) + from.x / 8;
        uint8_t* out = RasterImageRowAddress(destination, to.y + j) + to.x / 8;
        for (uint32_t k = 0; k < bytes; ++k) out[k] = Combine(out[k], in[k] ^ flip, mode);
    }
}

void CopyBitRowsByPixel(RasterImage* destination, const RasterImage* source, const SizeI& extent,
                        const PointI& from, const PointI& to, uint32_t mode, uint32_t flip) {
    for (int32_t j = 0; j < extent.height; ++j) {
        const uint8_t* in = RasterImageRowAddress(source, from.y + j);
        uint8_t* out = RasterImageRowAddress(destination, to.y + j);
        for (int32_t i = 0; i < extent.width; ++i) {
            const uint32_t bit = BitGet(in, from.x + i) ^ flip;
            const uint32_t at = to.x + i;
            if (mode == kRasterCopy) {
                BitPut(out, at, bit);
            } else if (mode == kRasterAnd) {
                if (!bit) BitClear(out, at);
            } else if (bit) {
                BitSet(out, at);
            }
        }
    }
}

template <uint32_t Bits>
void CopyValues(RasterImage* destination, const RasterImage* source, const SizeI& extent, const PointI& from,
                const PointI& to, uint32_t mode) {
    for (int32_t j = 0; j < extent.height; ++j) {
        const uint8_t* in = RasterImageRowAddress(source, from.y + j);
        uint8_t* out = RasterImageRowAddress(destination, to.y + j);
        for (int32_t i = 0; i < extent.width; ++i) {
            const uint32_t value = PixelGet(in, from.x + i, Bits);
            const uint32_t old = PixelGet(out, to.x + i, Bits);
            PixelPut(out, to.x + i, Bits,
                     Combine(static_cast<uint8_t>(old), static_cast<uint8_t>(value), mode));
        }
    }
}

template <uint32_t SourceBits>
void CopyColours(RasterImage* destination, const RasterImage* source, const SizeI& extent, const PointI& from,
                 const PointI& to, uint32_t mode) {
    for (int32_t j = 0; j < extent.height; ++j) {
        const uint8_t* in = RasterImageRowAddress(source, from.y + j);
        uint8_t* out = RasterImageRowAddress(destination, to.y + j) + static_cast<size_t>(to.x) * 3;
        for (int32_t i = 0; i < extent.width; ++i, out += 3) {
            uint32_t colour = PixelGet(in, from.x + i, SourceBits);
            if constexpr (SourceBits != 24) colour = RasterValueColour(source, colour);
            for (uint32_t c = 0; c < 3; ++c)
                out[c] = Combine(out[c], static_cast<uint8_t>(colour >> (8 * c)), mode);
        }
    }
}

// Grey levels 0 to 255 of the values of an image of up to 8 bits.
void GreyLevels(const RasterImage* image, uint32_t* levels) {
    const uint32_t values = 1u << image->bits_per_pixel;
    for (uint32_t v = 0; v < values; ++v) levels[v] = ColourSum(RasterValueColour(image, v)) / 3;
}

void ApplyByteTable(RasterImage* image, const uint8_t* table) {
    uint8_t* p = image->pixels;
    const size_t n = ImageBytes(image);
    for (size_t i = 0; i < n; ++i) p[i] = table[p[i]];
    RasterImageClearPadding(image);
}

double MeanOfLevels(const RasterImage* image) {
    uint32_t levels[256];
    GreyLevels(image, levels);
    uint64_t sum = 0;
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = RasterImageRowAddress(image, y);
        for (uint32_t x = 0; x < image->width; ++x) sum += levels[PixelGet(row, x, image->bits_per_pixel)];
    }
    return static_cast<double>(sum) / (static_cast<double>(image->width) * image->height * 255.0);
}

}  // namespace

// ---- CopyFrom

void RasterImage1::CopyFrom(const RasterImage* source) {
    if (!SameSize(this, source) || source->bits_per_pixel != 1) {
        ConvertInto<1>(this, source);
        return;
    }
    const bool light0 = Lighter(RasterValueColour(source, 0)), light1 = Lighter(RasterValueColour(source, 1));
    if (!light0 && !light1) return;  // all black: the rows keep their content
    const size_t n = ImageBytes(this);
    if (light0 && light1) {
        memset(pixels, 0xFF, n);
    } else if (light1) {
        memcpy(pixels, source->pixels, n);
    } else {
        for (size_t i = 0; i < n; ++i) pixels[i] = static_cast<uint8_t>(~source->pixels[i]);
    }
    RasterImageClearPadding(this);
}
void RasterImage4::CopyFrom(const RasterImage* source) { ConvertInto<4>(this, source); }
void RasterImage8::CopyFrom(const RasterImage* source) { ConvertInto<8>(this, source); }
void RasterImage24::CopyFrom(const RasterImage* source) { ConvertInto<24>(this, source); }

// ---- CopyRect

bool RasterImage1::CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                            uint32_t mode) {
    if (!source || !destination || !source_rect || source->bits_per_pixel != 1) return false;
    SizeI extent;
    PointI from, to;
    if (!ClipCopy(this, source, destination, source_rect, extent, from, to)) return true;
    const bool flip = OnesAreLight(source) != OnesAreLight(this);
    const bool reaches_edge = static_cast<uint32_t>(to.x + extent.width) == width;
    if (from.x % 8 == 0 && to.x % 8 == 0 && (extent.width % 8 == 0 || reaches_edge)) {
        CopyBitRowsAsBytes(this, source, extent, from, to, mode, flip ? 0xFF : 0x00);
        if (mode != kRasterAnd && extent.width % 8 != 0) RasterImageClearPadding(this);
    } else {
        CopyBitRowsByPixel(this, source, extent, from, to, mode, flip ? 1 : 0);
    }
    return true;
}

bool RasterImage4::CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                            uint32_t mode) {
    if (!source || !destination || !source_rect || source->bits_per_pixel != 4) return false;
    SizeI extent;
    PointI from, to;
    if (ClipCopy(this, source, destination, source_rect, extent, from, to)) {
        CopyValues<4>(this, source, extent, from, to, mode);
    }
    return true;
}

bool RasterImage8::CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                            uint32_t mode) {
    if (!source || !destination || !source_rect || source->bits_per_pixel != 8) return false;
    SizeI extent;
    PointI from, to;
    if (ClipCopy(this, source, destination, source_rect, extent, from, to)) {
        CopyValues<8>(this, source, extent, from, to, mode);
    }
    return true;
}

bool RasterImage24::CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                             uint32_t mode) {
    if (!source || !destination || !source_rect || !ValidDepth(source->bits_per_pixel)) return false;
    SizeI extent;
    PointI from, to;
    if (!ClipCopy(this, source, destination, source_rect, extent, from, to)) return true;
    switch (source->bits_per_pixel) {
        case 1:
            CopyColours<1>(this, source, extent, from, to, mode);
            break;
        case 4:
            CopyColours<4>(this, source, extent, from, to, mode);
            break;
        case 8:
            CopyColours<8>(this, source, extent, from, to, mode);
            break;
        default:
            CopyColours<24>(this, source, extent, from, to, mode);
            break;
    }
    return true;
}

// ---- ApplyLut

bool RasterImage1::ApplyLut(const uint8_t* table) {
    if (!table) return false;
    uint8_t bytes[256];
    for (uint32_t b = 0; b < 256; ++b) {
        uint32_t out = 0;
        for (uint32_t k = 0; k < 8; ++k) out |= (table[(b >> k) & 1] & 1u) << k;
        bytes[b] = static_cast<uint8_t>(out);
    }
    ApplyByteTable(this, bytes);
    return true;
}

bool RasterImage4::ApplyLut(const uint8_t* table) {
    if (!table) return false;
    uint8_t bytes[256];
    for (uint32_t b = 0; b < 256; ++b)
        bytes[b] = static_cast<uint8_t>(((table[b >> 4] & 15) << 4) | (table[b & 15] & 15));
    ApplyByteTable(this, bytes);
    return true;
}

bool RasterImage8::ApplyLut(const uint8_t* table) {
    if (!table) return false;
    ApplyByteTable(this, table);
    return true;
}

bool RasterImage24::ApplyLut(const uint8_t* table) {
    if (!table) return false;
    ApplyByteTable(this, table);
    return true;
}

// ---- MeanBrightness: the visible pixels only (row padding would darken
// narrow images), summed in 64 bits and divided in f64.

double RasterImage1::MeanBrightness() const {
    if (width == 0 || height == 0) return 0.0;
    const uint32_t full_bytes = width / 8, tail = width % 8;
    const uint8_t tail_mask = static_cast<uint8_t>(0xFF00u >> tail);
    uint64_t ones = 0;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = RasterImageRowAddress(this, y);
        for (uint32_t i = 0; i < full_bytes; ++i) ones += std::popcount(row[i]);
        if (tail) ones += std::popcount(static_cast<uint8_t>(row[full_bytes] & tail_mask));
    }
    uint32_t levels[2];
    GreyLevels(this, levels);
    const double pixels_total = static_cast<double>(width) * height;
    const double sum =
        static_cast<double>(ones) * levels[1] + (pixels_total - static_cast<double>(ones)) * levels[0];
    return sum / (pixels_total * 255.0);
}

double RasterImage4::MeanBrightness() const {
    if (width == 0 || height == 0) return 0.0;
    return MeanOfLevels(this);
}

double RasterImage8::MeanBrightness() const {
    if (width == 0 || height == 0) return 0.0;
    return MeanOfLevels(this);
}

double RasterImage24::MeanBrightness() const {
    if (width == 0 || height == 0) return 0.0;
    uint64_t sum = 0;
    const uint32_t row_bytes = width * 3;
    for (uint32_t y = 0; y < height; ++y) {
        const uint8_t* row = RasterImageRowAddress(this, y);
        for (uint32_t i = 0; i < row_bytes; ++i) sum += row[i];
    }
    return static_cast<double>(sum) / (static_cast<double>(width) * height * 765.0);
}

// ---- DrawTransformed

namespace {

// The target rows that the source's quadrilateral covers, and the columns it
// covers on one of them.
struct Quad {
    PointI corner[4];
};

Quad MapCorners(const RasterImage* source, const TransformD& transform) {
    const double right = source->width - 0.51, bottom = source->height - 0.51;
    const PointD corners[4] = {{0.49, 0.49}, {right, 0.49}, {right, bottom}, {0.49, bottom}};
    Quad quad;
    for (int i = 0; i < 4; ++i) {
        PointD mapped;
        TransformApply(transform, corners[i], mapped);
        PointDRound(mapped, quad.corner[i]);
    }
    return quad;
}

// Smallest and largest x where the quadrilateral's edges meet row y; false
// when none does.
bool SpanOnRow(const Quad& quad, int32_t y, int32_t& x0, int32_t& x1) {
    bool any = false;
    auto include = [&](int32_t x) {
        x0 = any ? std::min(x0, x) : x;
        x1 = any ? std::max(x1, x) : x;
        any = true;
    };
    for (int i = 0; i < 4; ++i) {
        const PointI& a = quad.corner[i];
        const PointI& b = quad.corner[(i + 1) % 4];
        if (a.y == b.y) {
            if (y == a.y) {
                include(a.x);
                include(b.x);
            }
            continue;
        }
        if (y < std::min(a.y, b.y) || y > std::max(a.y, b.y)) continue;
        const double t = static_cast<double>(y - a.y) * (b.x - a.x) / (b.y - a.y) + 0.5;
        include(a.x + static_cast<int32_t>(std::trunc(t)));
    }
    return any;
}

uint32_t SourceValue(const RasterImage* source, uint32_t x, uint32_t y, uint32_t destination_bits) {
    if (destination_bits == 24) {
        uint32_t colour = 0;
        source->GetPixelRgb(x, y, &colour);
        return colour;
    }
    return PixelGet(RasterImageRowAddress(source, y), x, destination_bits);
}

void CombinePixel(uint8_t* row, uint32_t x, uint32_t bits, uint32_t value, uint32_t mode) {
    if (bits == 24) {
        uint8_t* p = row + static_cast<size_t>(x) * 3;
        for (uint32_t c = 0; c < 3; ++c) p[c] = Combine(p[c], static_cast<uint8_t>(value >> (8 * c)), mode);
        return;
    }
    PixelPut(row, x, bits,
             Combine(static_cast<uint8_t>(PixelGet(row, x, bits)), static_cast<uint8_t>(value), mode));
}

bool DrawInto(RasterImage* destination, const RasterImage* source, const TransformD* transform, uint32_t mode,
              ProgressSink* progress) {
    TransformD inverse;
    if (!TransformInvert(*transform, inverse)) return false;
    const Quad quad = MapCorners(source, *transform);
    RectI box;
    RectIBoundPoints(box, quad.corner, 4);
    // The box's last row is its origin + height - 1: it belongs to the range
    // (leaving it out dropped the source's last row).
    const int64_t first_row = std::max<int64_t>(0, box.origin.y);
    const int64_t end_row = std::min<int64_t>(destination->height, int64_t{box.origin.y} + box.size.height);
    if (first_row >= end_row) return true;
    const int32_t last_column = static_cast<int32_t>(destination->width) - 1;
    const uint32_t bits = destination->bits_per_pixel;
    for (int64_t y = first_row; y < end_row; ++y) {
        if (progress)
            ProgressReport(progress,
                           static_cast<float>(y - first_row) / static_cast<float>(end_row - first_row));
        int32_t x0 = 0, x1 = 0;
        if (!SpanOnRow(quad, static_cast<int32_t>(y), x0, x1)) continue;
        x0 = std::max(x0, 0);
        x1 = std::min(x1, last_column);
        if (x0 > x1) continue;
        PointD start, end;
        TransformApply(inverse, PointD{double(x0), double(y)}, start);
        TransformApply(inverse, PointD{double(x1), double(y)}, end);
        const double step_u = x1 > x0 ? (end.x - start.x) / (x1 - x0) : 0.0;
        const double step_v = x1 > x0 ? (end.y - start.y) / (x1 - x0) : 0.0;
        double u = start.x + 0.5, v = start.y + 0.5;
        uint8_t* row = RasterImageRowAddress(destination, static_cast<uint32_t>(y));
        for (int32_t x = x0; x <= x1; ++x, u += step_u, v += step_v) {
            const double su = std::floor(u), sv = std::floor(v);
            if (su < 0 || sv < 0 || su >= source->width || sv >= source->height) continue;
            const uint32_t value =
                SourceValue(source, static_cast<uint32_t>(su), static_cast<uint32_t>(sv), bits);
            CombinePixel(row, static_cast<uint32_t>(x), bits, value, mode);
        }
    }
    return true;
}

}  // namespace

bool RasterImage1::DrawTransformed(const RasterImage*, const TransformD*, uint32_t, ProgressSink*) {
    return false;
}

bool RasterImage4::DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                                   ProgressSink* progress) {
    if (!source || !transform || source->bits_per_pixel != 4) return false;
    return DrawInto(this, source, transform, mode, progress);
}

bool RasterImage8::DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                                   ProgressSink* progress) {
    if (!source || !transform || source->bits_per_pixel != 8) return false;
    return DrawInto(this, source, transform, mode, progress);
}

bool RasterImage24::DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                                    ProgressSink* progress) {
    if (!source || !transform || source->bits_per_pixel != 8) return false;
    return DrawInto(this, source, transform, mode, progress);
}
