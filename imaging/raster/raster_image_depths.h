// The four depth members of RasterImage. Only the image code itself sees
// them; everyone else works through RasterImage.
#pragma once

#include "imaging/raster/raster_image.h"

class RasterImage1 final : public RasterImage {
  public:
    void CopyFrom(const RasterImage* source) override;
    bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const override;
    bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const override;
    bool SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) override;
    bool MirrorHorizontal() override;
    bool Fill(uint8_t value) override;
    bool CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                  uint32_t mode) override;
    bool DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                         ProgressSink* progress) override;
    bool ApplyLut(const uint8_t* table) override;
    double MeanBrightness() const override;
};

class RasterImage4 final : public RasterImage {
  public:
    void CopyFrom(const RasterImage* source) override;
    bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const override;
    bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const override;
    bool SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) override;
    bool MirrorHorizontal() override;
    bool Fill(uint8_t value) override;
    bool CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                  uint32_t mode) override;
    bool DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                         ProgressSink* progress) override;
    bool ApplyLut(const uint8_t* table) override;
    double MeanBrightness() const override;
};

class RasterImage8 final : public RasterImage {
  public:
    void CopyFrom(const RasterImage* source) override;
    bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const override;
    bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const override;
    bool SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) override;
    bool MirrorHorizontal() override;
    bool Fill(uint8_t value) override;
    bool CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                  uint32_t mode) override;
    bool DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                         ProgressSink* progress) override;
    bool ApplyLut(const uint8_t* table) override;
    double MeanBrightness() const override;
};

class RasterImage24 final : public RasterImage {
  public:
    void CopyFrom(const RasterImage* source) override;
    bool IsGrey() const override { return false; }
    Ref<Palette> GetPalette() const override { return nullptr; }
    bool SetPalette(Palette*) override { return false; }
    bool GetPixelRgb(uint32_t x, uint32_t y, uint32_t* colour) const override;
    bool GetPixelValue(uint32_t x, uint32_t y, uint8_t* value) const override;
    bool SetPixel(uint32_t x, uint32_t y, uint8_t value, uint32_t mode) override;
    bool CombineColour(const uint32_t* colour, uint32_t mode) override;
    bool MirrorHorizontal() override;
    bool Fill(uint8_t) override { return false; }
    bool CopyRect(const RasterImage* source, const PointI* destination, const RectI* source_rect,
                  uint32_t mode) override;
    bool DrawTransformed(const RasterImage* source, const TransformD* transform, uint32_t mode,
                         ProgressSink* progress) override;
    bool ApplyLut(const uint8_t* table) override;
    double MeanBrightness() const override;
};

// The colour a value of an image stands for, with or without its palette
// (the implicit meaning of a value without one).
uint32_t RasterValueColour(const RasterImage* image, uint32_t value);
