// The Windows bitmap reader: 1, 4, 8 and 24 bits per pixel, uncompressed or
// run-length coded (RLE4, RLE8), with any header from BITMAPINFOHEADER on
// (V4 and V5 included). Rows are stored bottom line first unless the height
// is negative.
#pragma once

#include <cstdint>

#include "imaging/formats/image_format.h"
#include "imaging/raster/palette.h"

class BmpPage : public ImagePage {
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
    uint32_t height = 0;      // the magnitude of biHeight
    uint32_t row_stride = 0;  // bytes per stored row, padded to 4
    uint32_t data_size = 0;   // of the pixel data from data_offset
    uint32_t data_offset = 0;
    uint16_t bit_count = 0;
    uint8_t descending_grey = 0;  // the dropped palette ran from white to black
    uint8_t run_length_coded = 0;
    uint8_t resolution_given = 0;
    double x_resolution = 25.4;  // dots per inch
    double y_resolution = 25.4;
    Ref<Palette> palette;  // none for 24 bits and for plain grey ramps
    uint8_t top_down = 0;  // negative biHeight: the first stored row is the top line
};

class BmpFormat : public ImageFormat {
  public:
    uint32_t FormatCode() const override { return kFormatCodeBmp; }
    uint32_t PageCount() const override { return 1; }
    Ref<ImagePage> GetPage(uint32_t index) override;
    bool GetInfo(FormatInfo* out) override;
    uint32_t FormatOrdinal() const override { return kOrdinalBmp; }

    Ref<BmpPage> page;
};

// The page's Render: the common steps with the request mapped onto the
// file's row order, and the run-length or the strip decoder over the pixel
// data; any failure sets (2, 2005).
Ref<RasterImage> BmpPageRender(BmpPage* page, ImageStatus* status, DataSource* source,
                               const PagePlacement* placement, ProgressSink* progress);
