#include "imaging/formats/image_format.h"

namespace {

bool IsPositive(bool light, bool rendered_inverted) { return rendered_inverted ? !light : light; }

// The invert byte that shows the page as the negative mode asks.
bool WantedInvert(bool positive, uint32_t mode, bool requested_invert) {
    const bool keep = positive ? mode == 1 : mode == 2;
    return keep ? requested_invert : !requested_invert;
}

double PlacementAreaMm2(const PagePlacement& placement) {
    return placement.rect.size.width * placement.rect.size.height;
}

}  // namespace

Ref<RasterImage> PageRender(ImagePage* page, ImageStatus* status, DataSource* source,
                            const PagePlacement* placement, ProgressSink* progress) {
    if (!page || !placement) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    uint32_t decision = page->negative_decision;
    if (decision == kNegativeUndecided && !page->IsBilevel()) {
        decision = kNegativeNeverDetect;
        page->negative_decision = decision;
    }
    const uint32_t mode = placement->negative_mode;
    PagePlacement request = *placement;
    if (mode != 0 && ((decision == kNegativePositive && mode == 2) || (decision == kNegativeNegative && mode == 1))) {
        request.invert = !request.invert;
    }
    const bool used_invert = request.invert != 0;
    Ref<RasterImage> image = page->Render(status, source, &request, progress);
    if (!image || decision != kNegativeUndecided) return image;
    if (mode == 0 || !image->IsGrey()) {
        page->negative_decision = kNegativeNeverDetect;
        return image;
    }
    const bool light = image->MeanBrightness() > 0.5;
    const bool positive = IsPositive(light, used_invert);
    if (WantedInvert(positive, mode, placement->invert != 0) != used_invert) image->Invert();
    // A render of a small part of the page says too little about the whole.
    if (PlacementAreaMm2(*placement) >= 0.7 * page->WidthMm() * page->HeightMm()) {
        page->negative_decision = positive ? kNegativePositive : kNegativeNegative;
    }
    return image;
}

void Zero5Ints(FormatInfo& info) { info = FormatInfo(); }

bool PointIEquals(const PointI& a, const PointI& b) { return a.x == b.x && a.y == b.y; }
