// The CALS Type 1 raster reader: a text header of 128-byte records
// ("key: value") followed, from offset 2048, by CCITT Group 4 data of one
// bilevel image.
#pragma once

#include <cstdint>

#include "foundation/strings.h"
#include "imaging/formats/image_format.h"

// The header records the reader looks through, and where the image data
// start whatever the header's length.
constexpr uint32_t kCalsRecordBytes = 128;
constexpr uint32_t kCalsHeaderRecords = 11;
constexpr uint32_t kCalsHeaderBytes = kCalsRecordBytes * kCalsHeaderRecords;
constexpr uint32_t kCalsDataOffset = 2048;
constexpr uint32_t kCalsDefaultDensity = 300;

class CalsPage : public ImagePage {
  public:
    Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override;
    // Never bilevel to the negative detection: drawings are shown as stored.
    bool IsBilevel() const override { return false; }
    uint32_t PixelWidth() const override { return width; }
    uint32_t PixelHeight() const override { return height; }
    double DpiX() const override { return density; }
    double DpiY() const override { return density; }
    bool GetInfo(PageInfo* out) override;

    uint32_t width = 0;
    uint32_t height = 0;
    uint32_t density = kCalsDefaultDensity;  // dots per inch on both axes
    uint32_t file_size = 0;
    WString notes;
};

class CalsFormat : public ImageFormat {
  public:
    uint32_t FormatCode() const override { return kFormatCodeCals; }
    uint32_t PageCount() const override { return 1; }
    Ref<ImagePage> GetPage(uint32_t index) override;
    bool GetInfo(FormatInfo* out) override;
    uint32_t FormatOrdinal() const override { return kOrdinalCals; }

    Ref<CalsPage> page;
};

// The value of the first of the header's records (kCalsHeaderBytes bytes)
// that starts with `key` (1 to 49 characters, ASCII case ignored), ":" and a
// blank: the rest of the record up to a NUL, trimmed; "NONE" counts as
// empty. False (and `value` empty) when no record has the key or its value
// is empty.
bool CalsGetField(const uint8_t* header, const char* key, AString& value);

// The page's Render: Group 4 data from offset 2048 through the CCITT
// decoder into a 1-bit sink; any failure sets (2, 2005).
Ref<RasterImage> CalsPageRender(CalsPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* placement, ProgressSink* progress);
