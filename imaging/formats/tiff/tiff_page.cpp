#include "imaging/formats/tiff/tiff_page.h"

#include <cmath>

#include "imaging/formats/tiff/tiff_render.h"

namespace {

// Reduced images may differ a little in extent from the full one (rounding
// of their pixel counts); more than 5 % means another drawing.
constexpr double kExtentTolerance = 0.05;
// Images are chosen with half again the pixels the target needs, so that a
// reduction always has enough to average.
constexpr double kResolutionMargin = 1.5;

bool SameExtent(double reference, double other) {
    if (!(other > 0)) return false;
    const double ratio = reference / other;
    return ratio >= 1.0 - kExtentTolerance && ratio <= 1.0 + kExtentTolerance;
}

uint32_t CompressionKind(uint16_t compression) {
    switch (compression) {
        case 1:
            return kCompressionNone;
        case 2:
            return kCompressionModifiedHuffman;
        case 3:
            return kCompressionT4;
        case 4:
            return kCompressionT6;
        case 5:
            return kCompressionLzw;
        case 6:
        case 7:
            return kCompressionJpeg;
        case 32773:
            return kCompressionPackBits;
        default:
            return kCompressionOther;
    }
}

// A measure of the page's image 0 (the full-size one); 0 for a page without.
template <class Value>
Value OfFirstImage(const TiffPage* page, Value (*measure)(const TiffDir*)) {
    const TiffDir* first = TiffPageImage(page, 0);
    return first ? measure(first) : Value(0);
}

}  // namespace

TiffPage::TiffPage() : images(1, true) {}

Ref<RasterImage> TiffPage::Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                  ProgressSink* progress) {
    return TiffPageRender(this, status, source, placement, progress);
}

bool TiffPage::IsBilevel() const {
    const TiffDir* first = TiffPageImage(this, 0);
    return first && first->bits_per_sample == 1 && !first->colour_map_present;
}

uint32_t TiffPage::PixelWidth() const { return OfFirstImage(this, TiffDirPixelWidth); }
uint32_t TiffPage::PixelHeight() const { return OfFirstImage(this, TiffDirPixelHeight); }
double TiffPage::DpiX() const { return OfFirstImage(this, TiffDirDpiX); }
double TiffPage::DpiY() const { return OfFirstImage(this, TiffDirDpiY); }
double TiffPage::WidthMm() const { return OfFirstImage(this, TiffDirWidthMm); }
double TiffPage::HeightMm() const { return OfFirstImage(this, TiffDirHeightMm); }

bool TiffPage::GetInfo(PageInfo* out) { return TiffPageGetInfo(this, out); }

TiffDir* TiffPageImage(const TiffPage* page, uint32_t index) {
    if (!page || index >= page->images.count) return nullptr;
    return static_cast<TiffDir*>(page->images.items[index]);
}

bool TiffPageAttachImage(TiffPage* page, TiffDir* dir) {
    if (!page || !dir) return false;
    const TiffDir* first = TiffPageImage(page, 0);
    if (first && !(SameExtent(TiffDirWidthMm(first), TiffDirWidthMm(dir)) &&
                   SameExtent(TiffDirHeightMm(first), TiffDirHeightMm(dir)))) {
        dir->render_state = kTiffExcluded;
        return PtrArrayAdd(page->images, dir) >= 0;
    }
    // Before the first finer-ordered image of lower resolution, and always
    // before the images of another extent at the end.
    const double dpi = TiffDirDpiX(dir);
    uint32_t at = 0;
    while (at < page->images.count) {
        const TiffDir* image = TiffPageImage(page, at);
        if (image->render_state == kTiffExcluded || TiffDirDpiX(image) < dpi) break;
        ++at;
    }
    return PtrArrayInsert(page->images, dir, at);
}

uint32_t TiffPageChooseImage(const TiffPage* page, const PagePlacement& request) {
    if (request.flags & kPlacementFullSizeImage) return 0;
    const uint32_t target = request.rotation % 180 != 0 ? request.pixel_height : request.pixel_width;
    const double width_mm = request.rect.size.width;
    // A rectangle without width cannot say how fine the image must be.
    if (!(width_mm > 0) || !std::isfinite(width_mm)) return 0;
    const double need = std::trunc(page->WidthMm() * target / width_mm * kResolutionMargin + 0.5);
    uint32_t candidate = 0;
    for (uint32_t i = 1; i < page->images.count; ++i) {
        const TiffDir* image = TiffPageImage(page, i);
        if (double(TiffDirPixelWidth(image)) < need) break;
        if (image->render_state != kTiffExcluded) candidate = i;
    }
    return candidate;
}

Ref<RasterImage> TiffPageRender(TiffPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* request, ProgressSink* progress) {
    if (!page || !source || !request) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    // Each pass either renders or moves one untried image into the excluded
    // state, so the loop ends.
    for (;;) {
        Ref<TiffDir> dir(TiffPageImage(page, TiffPageChooseImage(page, *request)));
        if (!dir) {
            ImageStatusError(status, kStatusNothingToRender);
            return nullptr;
        }
        const uint32_t state = dir->render_state;
        ImageStatus failure;
        Ref<RasterImage> image = TiffDirRender(dir.get(), source, *request, progress, &failure);
        if (image) return image;
        if (state != kTiffUntried || dir->render_state != kTiffExcluded) {
            ImageStatusSet(status, failure.severity, failure.code);
            return nullptr;
        }
    }
}

bool TiffPageGetInfo(const TiffPage* page, PageInfo* out) {
    const TiffDir* first = TiffPageImage(page, 0);
    if (!first || !out) return false;
    out->resolution_given = first->resolution_given;
    out->image_count = page->images.count + page->skipped_count;
    out->flagged_image_count = 0;
    for (uint32_t i = 0; i < page->images.count; ++i) {
        if (TiffPageImage(page, i)->render_state == kTiffExcluded) ++out->flagged_image_count;
    }
    out->bits_per_pixel =
        uint16_t((first->samples_per_pixel - first->extra_samples) * first->bits_per_sample);
    out->colour_palette = first->colour_map_present;
    out->grey = first->samples_per_pixel == 1 && !first->colour_map_present;
    TiffDirTagText(first, kTagImageDescription, &out->description);
    TiffDirTagText(first, kTagSoftware, &out->software);
    out->compression = CompressionKind(first->compression);
    return true;
}
