// One page of a TIFF file: its full-size image and any reduced-resolution
// copies of the same drawing. A render picks the smallest image that is
// still fine enough for the requested pixel size and falls back to finer
// ones when a render fails.
#pragma once

#include <cstdint>

#include "foundation/ptr_array.h"
#include "imaging/formats/image_format.h"
#include "imaging/formats/tiff/tiff_directory.h"

class TiffPage : public ImagePage {
  public:
    TiffPage();

    Ref<RasterImage> Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                            ProgressSink* progress) override;
    bool IsBilevel() const override;
    uint32_t PixelWidth() const override;
    uint32_t PixelHeight() const override;
    double DpiX() const override;
    double DpiY() const override;
    double WidthMm() const override;
    double HeightMm() const override;
    bool GetInfo(PageInfo* out) override;

    // TiffDir. Image 0 is the reference image; images of the same extent
    // follow in descending horizontal resolution; images of another extent
    // stand at the end.
    PtrArray images;
    // Reduced-resolution directories counted but not attached.
    uint32_t skipped_count = 0;
};

// Image i of the page, borrowed; null past the end.
TiffDir* TiffPageImage(const TiffPage* page, uint32_t index);
// Adds an image to the page in resolution order; one of another extent than
// image 0 goes to the end, excluded from rendering. False when the list
// cannot grow.
bool TiffPageAttachImage(TiffPage* page, TiffDir* dir);
// The index of the image to render for the request.
uint32_t TiffPageChooseImage(const TiffPage* page, const PagePlacement& request);
Ref<RasterImage> TiffPageRender(TiffPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* request, ProgressSink* progress);
bool TiffPageGetInfo(const TiffPage* page, PageInfo* out);
