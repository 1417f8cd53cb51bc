// The JPEG/JFIF reader: a single-page format whose page decodes through the
// JPEG band decoder, 8 bits per pixel for grey and 24 for colour.
#pragma once

#include <cstdint>

#include "imaging/formats/image_format.h"

class JpegPage : public ImagePage {
  public:
    Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override;
    bool IsBilevel() const override { return false; }
    uint32_t PixelWidth() const override { return width; }
    uint32_t PixelHeight() const override { return height; }
    double DpiX() const override { return x_resolution; }
    double DpiY() const override { return y_resolution; }
    bool GetInfo(PageInfo* out) override;

    uint32_t width = 0;
    uint32_t height = 0;
    double x_resolution = 0;
    double y_resolution = 0;
    uint8_t resolution_given = 0;
    uint32_t file_size = 0;
    uint16_t bits_per_pixel = 0;  // 8 x components
};

class JpegFormat : public ImageFormat {
  public:
    uint32_t FormatCode() const override { return kFormatCodeJpeg; }
    uint32_t PageCount() const override { return 1; }
    Ref<ImagePage> GetPage(uint32_t index) override;
    bool GetInfo(FormatInfo* out) override;
    uint32_t FormatOrdinal() const override { return kOrdinalJpeg; }

    Ref<JpegPage> page;
};

// The page's Render: the common steps with a JPEG band decoder over the
// whole file; any failure sets (2, 2005).
Ref<RasterImage> JpegPageRender(JpegPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* placement, ProgressSink* progress);
