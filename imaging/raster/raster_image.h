// The one in-memory picture: 1, 4, 8 or 24 bits per pixel, rows padded to
// 32-bit words and stored bottom line first (as a bottom-up DIB), 24-bit
// pixels as blue, green, red. Without a palette 1 bit shows 0 black and 1
// white, 4 bits grey value x 17, 8 bits the grey value itself.
#pragma once

#include <cstdint>

#include "foundation/mem_block.h"
#include "foundation/ref_counted.h"
#include "imaging/raster/palette.h"

struct PointI;
struct RectI;
struct TransformD;
class ProgressSink;

constexpr uint32_t kRasterMaxSide = 1000000;
// Larger pixel blocks are refused: a 32-bit process cannot map them anyway,
// and callers handle a failed creation.
constexpr uint64_t kRasterMaxBlockBytes = 0x40000000;

// Raster operation modes of SetPixel, CopyRect and DrawTransformed.
enum RasterMode : uint32_t {
    kRasterCopy = 0,
    kRasterAnd = 1,
    kRasterOr = 2,
};

class RasterImage : public RefCounted {
  public:
    ~RasterImage() override;

    // Converts a source of the same width and height into this image.
    virtual void CopyFrom(const RasterImage* source) = 0;
    virtual Ref<RasterImage> Clone() const;
    virtual bool IsGrey() const;
    virtual Ref<Palette> GetPalette() const;
    virtual bool SetPalette(Palette* palette);
    virtual bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const = 0;
    virtual bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const = 0;
    virtual bool SetPixelRgb(uint32_t x, uint32_t y, uint32_t colour);
    virtual bool SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) = 0;
    virtual bool Invert();
    virtual bool CombineColour(const uint32_t* colour, uint32_t mode);
    // Clockwise, in multiples of 90 degrees (negative ones too).
    virtual Ref<RasterImage> Rotate(int16_t angle) const;
    virtual bool MirrorHorizontal() = 0;
    virtual bool Fill(uint8_t value) = 0;
    virtual bool CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                          uint32_t mode) = 0;
    virtual bool DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                                 ProgressSink* progress) = 0;
    virtual bool ApplyLut(const uint8_t* table) = 0;
    virtual double MeanBrightness() const = 0;

    // Fixed at creation; read freely, never changed.
    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t stride = 0;
    uint16_t bits_per_pixel = 0;
    uint32_t bits_per_row = 0;
    MemBlock block;              // the pool block behind the rows
    uint8_t* pixels = nullptr;   // first row: the block's start rounded up to 8
    Palette* palette = nullptr;  // one reference held, or null

  protected:
    RasterImage() = default;
};

// Null when a side is 0 or above 1,000,000, the depth is not 1, 4, 8 or 24,
// the block would be unreasonably large, or memory runs out. The rows start
// zeroed; a default palette (unless no_palette) has uninitialised entries.
Ref<RasterImage> RasterImageCreate(uint32_t width, uint32_t height, uint16_t bits_per_pixel, bool no_palette);
// Same size at another depth, without palette, filled by CopyFrom.
Ref<RasterImage> RasterImageConvert(const RasterImage* image, uint16_t bits_per_pixel);
inline uint8_t* RasterImageRowAddress(const RasterImage* image, uint32_t y) {
    return image->pixels + static_cast<size_t>(image->stride) * y;
}
uint8_t* RasterImageGetRow(const RasterImage* image, uint32_t y);
bool RasterImageFlipVertical(RasterImage* image);
void RasterImageClearPadding(RasterImage* image);
void RasterImageInvertBits(RasterImage* image);
Ref<Palette> RasterImageGetPalette(const RasterImage* image);
// stride for a width and depth, or 0 when it does not fit 32 bits.
uint32_t RasterStrideFor(uint32_t width, uint32_t bits_per_pixel);
