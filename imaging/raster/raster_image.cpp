#include "imaging/raster/raster_image.h"

#include <cstring>
#include <utility>

#include "foundation/pool.h"
#include "imaging/raster/raster_image_depths.h"
#include "imaging/raster/raster_pixels.h"

namespace {

constexpr uint32_t kImageTag = 0x52617374;  // "Rast"

bool ValidDepth(uint32_t bits) { return bits == 1 || bits == 4 || bits == 8 || bits == 24; }

RasterImage* NewMember(uint16_t bits) {
    switch (bits) {
        case 1:
            return new RasterImage1;
        case 4:
            return new RasterImage4;
        case 8:
            return new RasterImage8;
        default:
            return new RasterImage24;
    }
}

// Mask (as stored in memory) that keeps the first `keep` bits (1 to 31) of a
// 32-bit word in the row's bit order, most significant bit of byte 0 first.
uint32_t PaddingMask(uint32_t keep) {
    uint8_t bytes[4];
    for (uint32_t j = 0; j < 4; ++j) {
        uint32_t first = j * 8;
        if (keep >= first + 8) {
            bytes[j] = 0xFF;
        } else if (keep <= first) {
            bytes[j] = 0;
        } else {
            bytes[j] = static_cast<uint8_t>(0xFF << (8 - (keep - first)));
        }
    }
    uint32_t mask;
    memcpy(&mask, bytes, 4);
    return mask;
}

template <uint32_t Bits>
void MirrorRow(uint8_t* row, uint32_t width) {
    for (uint32_t i = 0, j = width - 1; i < j; ++i, --j) {
        uint32_t a = PixelGet(row, i, Bits), b = PixelGet(row, j, Bits);
        if (a == b) continue;
        PixelPut(row, i, Bits, b);
        PixelPut(row, j, Bits, a);
    }
}

template <uint32_t Bits>
void MirrorAllRows(RasterImage* image) {
    for (uint32_t y = 0; y < image->height; ++y)
        MirrorRow<Bits>(RasterImageRowAddress(image, y), image->width);
}

// Maps every source pixel (memory column x, memory row y) to its place in
// the turned target; a is 90, 180 or 270.
template <uint32_t Bits>
void RotatePixels(const RasterImage* source, RasterImage* target, uint32_t a) {
    const uint32_t w = source->width, h = source->height;
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t* row = RasterImageRowAddress(source, y);
        if (a == 180) {
            uint8_t* out = RasterImageRowAddress(target, h - 1 - y);
            for (uint32_t x = 0; x < w; ++x) PixelPut(out, w - 1 - x, Bits, PixelGet(row, x, Bits));
            continue;
        }
        for (uint32_t x = 0; x < w; ++x) {
            uint32_t value = PixelGet(row, x, Bits);
            if (a == 90) {
                PixelPut(RasterImageRowAddress(target, w - 1 - x), y, Bits, value);
            } else {
                PixelPut(RasterImageRowAddress(target, x), h - 1 - y, Bits, value);
            }
        }
    }
}

void RotateInto(const RasterImage* source, RasterImage* target, uint32_t a) {
    switch (source->bits_per_pixel) {
        case 1:
            RotatePixels<1>(source, target, a);
            break;
        case 4:
            RotatePixels<4>(source, target, a);
            break;
        case 8:
            RotatePixels<8>(source, target, a);
            break;
        default:
            RotatePixels<24>(source, target, a);
            break;
    }
}

bool InsideImage(const RasterImage* image, uint32_t x, uint32_t y) {
    return x < image->width && y < image->height;
}

}  // namespace

uint32_t RasterStrideFor(uint32_t width, uint32_t bits_per_pixel) {
    uint64_t stride = (static_cast<uint64_t>(bits_per_pixel) * width + 31) / 32 * 4;
    return stride > 0xFFFFFFFFu ? 0 : static_cast<uint32_t>(stride);
}

Ref<RasterImage> RasterImageCreate(uint32_t width, uint32_t height, uint16_t bits_per_pixel,
                                   bool no_palette) {
    if (width == 0 || height == 0 || width > kRasterMaxSide || height > kRasterMaxSide) return nullptr;
    if (!ValidDepth(bits_per_pixel)) return nullptr;
    const uint32_t stride = RasterStrideFor(width, bits_per_pixel);
    // stride x height + 8 overflows 32 bits for legal sides: size it in 64.
    const uint64_t bytes = static_cast<uint64_t>(stride) * height + 8;
    if (bytes > kRasterMaxBlockBytes) return nullptr;
    Ref<RasterImage> image = AdoptRef(NewMember(bits_per_pixel));
    image->width = width;
    image->height = height;
    image->stride = stride;
    image->bits_per_pixel = bits_per_pixel;
    image->bits_per_row = bits_per_pixel * width;
    if (!MemAlloc(image->block, static_cast<uint32_t>(bytes), kPoolZero, kImageTag)) return nullptr;
    uintptr_t start = reinterpret_cast<uintptr_t>(image->block.data());
    image->pixels = reinterpret_cast<uint8_t*>((start + 7) & ~static_cast<uintptr_t>(7));
    if (bits_per_pixel < 24 && !no_palette) {
        Ref<Palette> palette = MakeRef<Palette>();
        if (!PaletteInit(palette.get(), PaletteSizeForBits(bits_per_pixel))) return nullptr;
        image->palette = palette.Leak();
    }
    return image;
}

RasterImage::~RasterImage() {
    if (palette) RefRelease(palette);
}

Ref<RasterImage> RasterImage::Clone() const {
    Ref<RasterImage> copy = RasterImageCreate(width, height, bits_per_pixel, true);
    if (!copy) return nullptr;
    if (palette) {
        Ref<Palette> entries = MakeRef<Palette>();
        if (!PaletteAssign(entries.get(), palette)) return nullptr;
        copy->palette = entries.Leak();
    }
    memcpy(copy->pixels, pixels, static_cast<size_t>(stride) * height);
    return copy;
}

bool RasterImage::IsGrey() const { return !palette || PaletteIsGrey(palette); }

Ref<Palette> RasterImage::GetPalette() const { return Ref<Palette>(palette); }

bool RasterImage::SetPalette(Palette* new_palette) {
    if (new_palette && new_palette->count != PaletteSizeForBits(bits_per_pixel)) return false;
    if (new_palette) RefAddRef(new_palette);
    if (palette) RefRelease(palette);
    palette = new_palette;
    return true;
}

bool RasterImage::SetPixelRgb(uint32_t, uint32_t, uint32_t) { return false; }

bool RasterImage::Invert() {
    if (palette) {
        PaletteInvert(palette);
    } else {
        RasterImageInvertBits(this);
    }
    return true;
}

bool RasterImage::CombineColour(const uint32_t* colour, uint32_t mode) {
    if (!palette) {
        Ref<Palette> ramp = MakeRef<Palette>();
        if (!PaletteInit(ramp.get(), PaletteSizeForBits(bits_per_pixel))) return false;
        PaletteMakeGreyRamp(ramp.get());
        palette = ramp.Leak();
    }
    PaletteMerge(palette, *colour, mode);
    return true;
}

Ref<RasterImage> RasterImage::Rotate(int16_t angle) const {
    if (angle % 90 != 0) return nullptr;
    // A negative multiple of 90 leaves a negative remainder: bring it to 0..359.
    const uint32_t a = static_cast<uint32_t>((angle % 360 + 360) % 360);
    if (a == 0) return Clone();
    const bool quarter = a != 180;
    // Keep the palette whenever the source has one: a grey palette may be an
    // inverted ramp, and dropping it would turn the picture into a negative.
    Ref<RasterImage> target =
        RasterImageCreate(quarter ? height : width, quarter ? width : height, bits_per_pixel, !palette);
    if (!target) return nullptr;
    if (palette && target->palette && !PaletteAssign(target->palette, palette)) return nullptr;
    RotateInto(this, target.get(), a);
    return target;
}

uint8_t* RasterImageGetRow(const RasterImage* image, uint32_t y) {
    return y < image->height ? RasterImageRowAddress(image, y) : nullptr;
}

bool RasterImageFlipVertical(RasterImage* image) {
    uint8_t* temp = static_cast<uint8_t*>(PoolAlloc(image->stride, kPoolSmall, kImageTag));
    if (!temp) return false;
    for (uint32_t y = 0; y < image->height / 2; ++y) {
        uint8_t* a = RasterImageRowAddress(image, y);
        uint8_t* b = RasterImageRowAddress(image, image->height - 1 - y);
        memcpy(temp, a, image->stride);
        memcpy(a, b, image->stride);
        memcpy(b, temp, image->stride);
    }
    PoolFree(temp);
    return true;
}

void RasterImageClearPadding(RasterImage* image) {
    const uint32_t keep = image->bits_per_row % 32;
    if (keep == 0) return;
    const uint32_t mask = PaddingMask(keep);
    const uint32_t last_word = image->bits_per_row / 32 * 4;
    for (uint32_t y = 0; y < image->height; ++y) {
        uint8_t* word = RasterImageRowAddress(image, y) + last_word;
        uint32_t value;
        memcpy(&value, word, 4);
        value &= mask;
        memcpy(word, &value, 4);
    }
}

void RasterImageInvertBits(RasterImage* image) {
    uint32_t* word = reinterpret_cast<uint32_t*>(image->pixels);
    const size_t count = static_cast<size_t>(image->stride / 4) * image->height;
    for (size_t i = 0; i < count; ++i) word[i] = ~word[i];
    RasterImageClearPadding(image);
}

Ref<Palette> RasterImageGetPalette(const RasterImage* image) { return image->GetPalette(); }

Ref<RasterImage> RasterImageConvert(const RasterImage* image, uint16_t bits_per_pixel) {
    Ref<RasterImage> converted = RasterImageCreate(image->width, image->height, bits_per_pixel, true);
    if (!converted) return nullptr;
    converted->CopyFrom(image);
    return converted;
}

uint32_t RasterValueColour(const RasterImage* image, uint32_t value) {
    if (image->palette) return PaletteGetEntry(image->palette, value);
    switch (image->bits_per_pixel) {
        case 1:
            return value ? 0xFFFFFF : 0;
        case 4:
            return GreyColour((value & 15) * 17);
        case 8:
            return GreyColour(value & 0xFF);
        default:
            return value & 0xFFFFFF;
    }
}

// --- per-depth pixel access -------------------------------------------------

bool RasterImage1::GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const {
    if (!InsideImage(this, x, y)) return false;
    *colour = RasterValueColour(this, BitGet(RasterImageRowAddress(this, y), x));
    return true;
}
bool RasterImage4::GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const {
    if (!InsideImage(this, x, y)) return false;
    *colour = RasterValueColour(this, NibbleGet(RasterImageRowAddress(this, y), x));
    return true;
}
bool RasterImage8::GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const {
    if (!InsideImage(this, x, y)) return false;
    *colour = RasterValueColour(this, RasterImageRowAddress(this, y)[x]);
    return true;
}
bool RasterImage24::GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const {
    if (!InsideImage(this, x, y)) return false;
    *colour = PixelGet(RasterImageRowAddress(this, y), x, 24);
    return true;
}

bool RasterImage1::GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const {
    if (!InsideImage(this, x, y)) return false;
    *value = static_cast<uint8_t>(BitGet(RasterImageRowAddress(this, y), x));
    return true;
}
bool RasterImage4::GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const {
    if (!InsideImage(this, x, y)) return false;
    *value = static_cast<uint8_t>(NibbleGet(RasterImageRowAddress(this, y), x));
    return true;
}
bool RasterImage8::GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const {
    if (!InsideImage(this, x, y)) return false;
    *value = RasterImageRowAddress(this, y)[x];
    return true;
}
bool RasterImage24::GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const {
    if (!InsideImage(this, x, y)) return false;
    *value = RasterImageRowAddress(this, y)[x * 3];  // the blue byte
    return true;
}

bool RasterImage1::SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) {
    if (!InsideImage(this, x, y)) return false;
    uint8_t* row = RasterImageRowAddress(this, y);
    const uint32_t bit = value & 1;
    if (mode == kRasterAnd) {
        if (!bit) BitClear(row, x);
    } else if (mode == kRasterOr) {
        if (bit) BitSet(row, x);
    } else {
        BitPut(row, x, bit);
    }
    return true;
}
bool RasterImage4::SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) {
    if (!InsideImage(this, x, y)) return false;
    uint8_t& b = RasterImageRowAddress(this, y)[x >> 1];
    const uint8_t shifted = static_cast<uint8_t>((x & 1) ? (value & 0x0F) : ((value & 0x0F) << 4));
    const uint8_t other = (x & 1) ? 0xF0 : 0x0F;
    if (mode == kRasterAnd) {
        b &= static_cast<uint8_t>(shifted | other);
    } else if (mode == kRasterOr) {
        b |= shifted;
    } else {
        b = static_cast<uint8_t>((b & other) | shifted);
    }
    return true;
}
bool RasterImage8::SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) {
    if (!InsideImage(this, x, y)) return false;
    uint8_t& b = RasterImageRowAddress(this, y)[x];
    if (mode == kRasterAnd) {
        b &= value;
    } else if (mode == kRasterOr) {
        b |= value;
    } else {
        b = value;
    }
    return true;
}
bool RasterImage24::SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) {
    if (!InsideImage(this, x, y)) return false;
    uint8_t* p = RasterImageRowAddress(this, y) + x * 3;
    for (int c = 0; c < 3; ++c) {
        if (mode == kRasterAnd) {
            p[c] &= value;
        } else if (mode == kRasterOr) {
            p[c] |= value;
        } else {
            p[c] = value;
        }
    }
    return true;
}

bool RasterImage24::CombineColour(const uint32_t* colour, uint32_t mode) {
    const uint8_t channel[3] = {static_cast<uint8_t>(*colour), static_cast<uint8_t>(*colour >> 8),
                                static_cast<uint8_t>(*colour >> 16)};
    for (uint32_t y = 0; y < height; ++y) {
        uint8_t* p = RasterImageRowAddress(this, y);
        for (uint32_t x = 0; x < width; ++x, p += 3) {
            for (int c = 0; c < 3; ++c) {
                if (mode == kRasterAnd) {
                    p[c] &= channel[c];
                } else if (mode == kRasterOr) {
                    p[c] |= channel[c];
                } else {
                    p[c] = channel[c];
                }
            }
        }
    }
    return true;
}

bool RasterImage1::MirrorHorizontal() {
    MirrorAllRows<1>(this);
    return true;
}
bool RasterImage4::MirrorHorizontal() {
    MirrorAllRows<4>(this);
    return true;
}
bool RasterImage8::MirrorHorizontal() {
    MirrorAllRows<8>(this);
    return true;
}
bool RasterImage24::MirrorHorizontal() {
    MirrorAllRows<24>(this);
    return true;
}

bool RasterImage1::Fill(uint8_t value) {
    if (!pixels) return false;
    memset(pixels, (value & 1) ? 0xFF : 0x00, static_cast<size_t>(stride) * height);
    RasterImageClearPadding(this);
    return true;
}
bool RasterImage4::Fill(uint8_t value) {
    if (!pixels) return false;
    memset(pixels, value, static_cast<size_t>(stride) * height);
    RasterImageClearPadding(this);
    return true;
}
bool RasterImage8::Fill(uint8_t value) {
    if (!pixels) return false;
    memset(pixels, value, static_cast<size_t>(stride) * height);
    RasterImageClearPadding(this);
    return true;
}
