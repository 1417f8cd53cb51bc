#include "imaging/raster/pixel_helpers.h"

#include "foundation/pool.h"

namespace {

constexpr uint32_t kPredictorTag = 0x50726564;  // "Pred"

}  // namespace

void NibblesUnpack(const uint8_t* src, uint8_t* dst, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) dst[i] = (i & 1) ? (src[i >> 1] & 0x0F) : (src[i >> 1] >> 4);
}

void NibblesPack(const uint8_t* src, uint8_t* dst, uint32_t n) {
    for (uint32_t i = 0; i + 1 < n; i += 2)
        dst[i >> 1] = static_cast<uint8_t>(((src[i] & 15) << 4) | (src[i + 1] & 15));
    if (n & 1) dst[n >> 1] = static_cast<uint8_t>((src[n - 1] & 15) << 4);
}

bool HorizontalUndiff(uint32_t count, uint8_t* bytes, uint16_t step) {
    if (step == 0) return false;
    if (count < 2) return true;
    const uint64_t end = static_cast<uint64_t>(count) * step;
    for (uint64_t i = step; i < end; ++i) bytes[i] = static_cast<uint8_t>(bytes[i] + bytes[i - step]);
    return true;
}

bool PredictorDecode(uint8_t* row, uint32_t count, uint16_t samples_per_pixel, uint16_t bits_per_sample) {
    if (samples_per_pixel == 0) return false;
    if (bits_per_sample == 8) return HorizontalUndiff(count, row, samples_per_pixel);
    if (bits_per_sample != 4) return false;
    if (count == 0) return true;
    const uint64_t values = static_cast<uint64_t>(count) * samples_per_pixel;
    if (values > 0x7FFFFFFF) return false;
    auto* unpacked =
        static_cast<uint8_t*>(PoolAlloc(static_cast<uint32_t>(values), kPoolSmall, kPredictorTag));
    if (!unpacked) return false;
    const uint32_t n = static_cast<uint32_t>(values);
    NibblesUnpack(row, unpacked, n);
    HorizontalUndiff(count, unpacked, samples_per_pixel);  // sums modulo 16 once packed
    NibblesPack(unpacked, row, n);
    PoolFree(unpacked);
    return true;
}

void CmykToRgb(uint8_t* pixels, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        const uint8_t* in = pixels + static_cast<size_t>(i) * 4;
        const uint32_t c = in[0], m = in[1], y = in[2], k = in[3];
        uint8_t* out = pixels + static_cast<size_t>(i) * 3;
        out[0] = static_cast<uint8_t>(((255 - k) * (255 - y)) >> 8);
        out[1] = static_cast<uint8_t>(((255 - k) * (255 - m)) >> 8);
        out[2] = static_cast<uint8_t>(((255 - k) * (255 - c)) >> 8);
    }
}

void SwapRedBlue(uint8_t* pixels, uint32_t n) {
    for (uint32_t i = 0; i < n; ++i) {
        uint8_t* p = pixels + static_cast<size_t>(i) * 3;
        const uint8_t blue = p[0];
        p[0] = p[2];
        p[2] = blue;
    }
}
