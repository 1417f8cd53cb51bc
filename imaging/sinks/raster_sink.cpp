#include "imaging/sinks/raster_sink.h"

#include "foundation/pool.h"
#include "imaging/sinks/sink_kinds.h"

namespace {

constexpr uint32_t kSinkTag = 0x536E6B4D;  // "SnkM"

bool ValidSinkDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

uint32_t CeilDiv(uint32_t a, uint32_t b) {
    return static_cast<uint32_t>((static_cast<uint64_t>(a) + b - 1) / b);
}

void BuildEnlargement(uint32_t source, uint32_t target, SinkMapEntry* map, uint32_t* counts) {
    for (uint32_t i = 0; i < source; ++i) {
        map[i].first = static_cast<uint32_t>(static_cast<uint64_t>(i) * target / source);
        map[i].group = 1;
        map[i].remaining = 1;
    }
    for (uint32_t i = 0; i < source; ++i) {
        uint32_t next = i + 1 < source ? map[i + 1].first : target;
        map[i].span = next - map[i].first;
    }
    for (uint32_t t = 0; t < target; ++t) counts[t] = 1;
}

// Spreads the remainder of source / target evenly over the targets, so each
// target takes q or q + 1 consecutive source indices.
void BuildReduction(uint32_t source, uint32_t target, SinkMapEntry* map, uint32_t* counts) {
    const uint32_t q = source / target, r = source % target;
    int64_t e = static_cast<int64_t>(target) - r;
    uint32_t c = q, t = 0;
    for (uint32_t s = 0; s < source; ++s) {
        map[s].first = t < target ? t : target - 1;
        map[s].span = 1;
        ++counts[map[s].first];
        if (--c == 0) {
            e -= r;
            ++t;
            c = q;
            if (e < 1) {
                c = q + 1;
                e += target;
            }
        }
    }
    for (uint32_t s = 0; s < source;) {
        const uint32_t group = counts[map[s].first];
        for (uint32_t k = 0; k < group && s < source; ++k, ++s) {
            map[s].group = group;
            map[s].remaining = group - k;
        }
    }
}

// Source pixels that may fall into one target pixel.
uint64_t PixelsPerTarget(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                         uint32_t target_height) {
    return static_cast<uint64_t>(CeilDiv(source_width, target_width)) * CeilDiv(source_height, target_height);
}

// The narrowest sums that hold `largest`: 16 bits for most screen renders of
// photographs (half the accumulator's memory, which is fresh memory taken in
// on every render), 64 only where 32 could overflow.
template <template <class> class Sink, class... Args>
Ref<RasterSink> NewWithSum(uint64_t largest, Args... args) {
    if (largest <= 0xFFFFu) return AdoptRef<RasterSink>(new Sink<uint16_t>(args...));
    if (largest > 0xFFFFFFFFu) return AdoptRef<RasterSink>(new Sink<uint64_t>(args...));
    return AdoptRef<RasterSink>(new Sink<uint32_t>(args...));
}

Ref<RasterSink> NewReducingSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                                uint32_t target_height, uint16_t bits, Palette* palette, uint16_t rotation,
                                bool flip_x, bool flip_y, bool invert, bool whole_image) {
    const uint64_t ratio = PixelsPerTarget(source_width, source_height, target_width, target_height);
    if (bits == 1) {
        // 64-bit counters only where even 32 bits could overflow.
        if (ratio < 256)
            return AdoptRef<RasterSink>(new BilevelReduceSink(source_width, source_height, target_width,
                                                              target_height, bits, palette, rotation, flip_x,
                                                              flip_y, invert, whole_image));
        if (ratio < 65536)
            return AdoptRef<RasterSink>(new BilevelReduceMidSink(source_width, source_height, target_width,
                                                                 target_height, bits, palette, rotation,
                                                                 flip_x, flip_y, invert, whole_image));
        return NewWithSum<BilevelWideCounts>(ratio, source_width, source_height, target_width,
                                             target_height, bits, palette, rotation, flip_x, flip_y, invert,
                                             whole_image);
    }
    // A sum of ratio values of up to 255 must fit its counter.
    if ((bits == 4 || bits == 8) && !palette)
        return NewWithSum<GreyReduceSink>(ratio * 255, source_width, source_height, target_width, target_height,
                                          bits, palette, rotation, flip_x, flip_y, invert, whole_image);
    return NewWithSum<ColourReduceSink>(ratio * 255, source_width, source_height, target_width, target_height, bits,
                                        palette, rotation, flip_x, flip_y, invert, whole_image);
}

}  // namespace

void SinkBuildAxisMap(uint32_t source, uint32_t target, SinkMapEntry* map, uint32_t* counts) {
    if (source < target) {
        BuildEnlargement(source, target, map, counts);
    } else {
        BuildReduction(source, target, map, counts);
    }
}

RasterSink::RasterSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                       uint32_t target_height, uint16_t bits_per_pixel, Palette* palette, uint16_t rotation,
                       bool flip_x, bool flip_y, bool invert, bool whole_image)
    : source_width(source_width),
      source_height(source_height),
      target_width(target_width),
      target_height(target_height),
      rotation(rotation),
      flip_x(flip_x),
      flip_y(flip_y),
      invert(invert),
      bits_per_pixel(bits_per_pixel),
      palette(palette),
      whole_image(whole_image) {
    if (palette) RefAddRef(palette);
    const uint64_t bytes = (static_cast<uint64_t>(target_width) + target_height) * 4 +
                           (static_cast<uint64_t>(source_width) + source_height) * sizeof(SinkMapEntry);
    if (bytes > kRasterMaxBlockBytes) return;
    if (!MemAlloc(map_block, static_cast<uint32_t>(bytes), kPoolZero, kSinkTag)) return;
    column_counts = reinterpret_cast<uint32_t*>(map_block.data());
    row_counts = column_counts + target_width;
    column_map = reinterpret_cast<SinkMapEntry*>(row_counts + target_height);
    row_map = column_map + source_width;
    SinkBuildAxisMap(source_width, target_width, column_map, column_counts);
    SinkBuildAxisMap(source_height, target_height, row_map, row_counts);
}

RasterSink::~RasterSink() {
    if (palette) RefRelease(palette);
}

bool RasterSink::PutRuns(const uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t) { return false; }

uint32_t RasterSink::CoverageLevel() const { return 0; }

bool RasterSink::TakesPackedRowCheaply(uint32_t, uint32_t, uint32_t) const { return false; }

bool RasterSink::ClipRow(uint32_t x, uint32_t y, uint32_t* count) const {
    if (!map_block.block || y >= source_height || x >= source_width || *count == 0) return false;
    if (*count > source_width - x) *count = source_width - x;
    return true;
}

Ref<RasterSink> CreateSink(uint32_t source_width, uint32_t source_height, uint32_t target_width,
                           uint32_t target_height, uint16_t bits_per_pixel, Palette* palette,
                           uint16_t rotation, bool flip_x, bool flip_y, bool invert, bool whole_image) {
    if (!source_width || !source_height || !target_width || !target_height) return nullptr;
    if (!ValidSinkDepth(bits_per_pixel) || rotation % 90 != 0) return nullptr;
    // No output image can have a larger side.
    if (target_width > kRasterMaxSide || target_height > kRasterMaxSide) return nullptr;
    rotation %= 360;
    const uint64_t target_pixels = static_cast<uint64_t>(target_width) * target_height;
    const bool no_reduction = source_width <= target_width && source_height <= target_height;
    Ref<RasterSink> sink;
    if (target_pixels >= kSinkHugeTarget || no_reduction) {
        sink = AdoptRef<RasterSink>(new DirectSink(source_width, source_height, target_width, target_height,
                                                   bits_per_pixel, palette, rotation, flip_x, flip_y, invert,
                                                   whole_image));
    } else {
        sink = NewReducingSink(source_width, source_height, target_width, target_height, bits_per_pixel,
                               palette, rotation, flip_x, flip_y, invert, whole_image);
    }
    if (sink->IsFailed()) return nullptr;
    return sink;
}
