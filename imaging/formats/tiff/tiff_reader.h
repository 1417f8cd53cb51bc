// The TIFF reader: baseline TIFF 6.0 with strips or tiles, either byte
// order, several pages. Opening walks the chain of image directories and
// keeps every entry; strips and tiles are decoded only when a page renders.
#pragma once

#include <cstdint>

#include "foundation/ptr_array.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_page.h"

// TiffParse option bit 0: count reduced-resolution directories, but do not
// attach them to their pages.
constexpr uint32_t kTiffSkipReducedImages = 1;

class TiffFormat : public ImageFormat {
  public:
    TiffFormat();

    uint32_t FormatCode() const override { return kFormatCodeTiff; }
    uint32_t PageCount() const override { return pages.count; }
    Ref<ImagePage> GetPage(uint32_t index) override;
    bool GetInfo(FormatInfo* out) override;
    uint32_t FormatOrdinal() const override { return kOrdinalTiff; }

    PtrArray pages;  // TiffPage
};

// Page i, borrowed; null past the end.
TiffPage* TiffFormatPage(const TiffFormat* format, uint32_t index);
bool TiffFormatGetInfo(const TiffFormat* format, FormatInfo* out);
