// The GIF reader (87a and 89a, first image only): the block walk finds the
// first image descriptor and the comments before it; the page decodes the
// LZW data of that image through the GIF band decoder.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "imaging/formats/image_format.h"
#include "imaging/raster/palette.h"

class GifPage : public ImagePage {
  public:
    Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override;
    bool IsBilevel() const override { return false; }
    uint32_t PixelWidth() const override { return width; }
    uint32_t PixelHeight() const override { return height; }
    double DpiX() const override { return x_resolution; }
    double DpiY() const override { return y_resolution; }
    bool GetInfo(PageInfo* out) override;

    uint16_t width = 0;
    uint16_t height = 0;
    uint32_t data_offset = 0;  // the first data sub-block, just after the LZW minimum code size
    uint32_t file_size = 0;
    uint16_t colour_table_bits = 0;  // 1 to 8
    uint16_t palette_depth = 0;      // 1, 4 or 8: the depth of the rows the decoder delivers
    uint16_t code_size = 0;          // LZW minimum code size
    WString description;             // the comments met before the image
    double x_resolution = 25.4;      // one pixel per millimetre
    double y_resolution = 25.4;
    Ref<Palette> palette;  // the local colour table, else the global one, or none
    uint8_t interlaced = 0;
};

class GifFormat : public ImageFormat {
  public:
    uint32_t FormatCode() const override { return kFormatCodeGif; }
    uint32_t PageCount() const override { return 1; }
    Ref<ImagePage> GetPage(uint32_t index) override;
    bool GetInfo(FormatInfo* out) override;
    uint32_t FormatOrdinal() const override { return kOrdinalGif; }

    uint16_t version = 0;  // 87 or 89
    Ref<Palette> global_palette;
    Ref<GifPage> page;
};

// 1 for a 1-bit colour table, 4 for 2 to 4 bits, 8 for 5 to 8 bits.
uint16_t GifPaletteDepth(uint16_t colour_table_bits);

// The page's Render: the common steps with the image's data sub-blocks
// gathered in memory and the GIF band decoder. A request that cannot be
// fitted to the image sets (2, 2000); other failures return null without a
// status.
Ref<RasterImage> GifPageRender(GifPage* page, ImageStatus* status, DataSource* source,
                               const PagePlacement* placement, ProgressSink* progress);
