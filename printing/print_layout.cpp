#include "printing/print_layout.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "printing/print_options.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/area_placement.h"
#include "viewer/model/cut_out_state.h"

namespace {

constexpr uint32_t kPrintBits = item_command::kPrint | item_command::kPrintablePage;

int32_t RoundNearest(double value) { return static_cast<int32_t>(std::floor(value + 0.5)); }

SizeI PaperPixels(const PrintableArea& area) {
    return SizeI{RoundNearest(area.paper.width * area.pixels_per_mm_x),
                 RoundNearest(area.paper.height * area.pixels_per_mm_y)};
}

bool UseFullSizeImage(ViewerContext* context) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings && !SettingsGetUsePreviewInfo(settings.get());
}

// Mm of paper per mm of page, or 0 to fit.
double LayoutRatio(PrintProvider* provider, const PrintOptions& options) {
    namespace f = print_feature;
    const bool fits = options.fit && provider->HasFeature(f::kFitToPage);
    if (fits || !provider->HasFeature(f::kRatio)) return 0.0;
    if (options.ratio_denominator == 0) return 1.0;
    return static_cast<double>(options.ratio_numerator) / options.ratio_denominator;
}

}  // namespace

Ref<PrintLayout> PrintLayoutCompute(ViewerContext* context, PrintProvider* provider, DocItem* item,
                                    const PrintOptions& options, const PrintableArea* area,
                                    bool auto_orientation) {
    namespace f = print_feature;
    if (!provider || !area || !item || (item->GetCommandMask() & kPrintBits) != kPrintBits) return nullptr;
    Ref<Settings> settings = ViewerGetSettings(context);
    const bool cut_out_feature = provider->HasFeature(f::kCutOutOnly);
    const bool exact = cut_out_feature && settings && SettingsGetZoomExact(settings.get());
    const bool centred = provider->HasFeature(f::kCentring) && options.centred;
    Ref<CutOutState> state = item->GetCutOut();
    if (!state) return nullptr;

    PageAreaRequest request;
    request.page_size = CutOutGetPageSize(state.get());
    if (options.cut_out_only && cut_out_feature) {
        CutOutGetRect(state.get(), request.cut_out);
    } else {
        RectDSet(request.cut_out, 0.0, 0.0, request.page_size.width, request.page_size.height);
    }
    request.rotation = CutOutGetRotation(state.get());
    request.area_size = area->paper;
    request.printable = area->printable;
    request.auto_turn = auto_orientation;
    request.zoom = LayoutRatio(provider, options);
    request.fill = !exact;
    request.centre_x = request.centre_y = request.keep_centre = centred;
    if (!centred && provider->HasFeature(f::kMargins)) {
        request.margin_left = options.margin_left;
        request.margin_top = options.margin_top;
        request.margin_right = options.margin_right;
        request.margin_bottom = options.margin_bottom;
    }
    PageAreaPlacement placed;
    if (!PlacePageInArea(request, placed)) return nullptr;

    PagePlacement placement;
    PagePlacementInit(placement);
    PointI offset;
    if (!PagePlacementCompute(placed.page_rect, area->paper, placed.area_rect, PaperPixels(*area),
                              placed.rotation, CutOutGetMirrorHorizontal(state.get()),
                              CutOutGetMirrorVertical(state.get()), CutOutGetInvert(state.get()), placement,
                              offset)) {
        return nullptr;
    }
    PagePlacementSetAutoInvert(item, placement);
    if (UseFullSizeImage(context)) placement.flags |= kPlacementFullSizeImage;
    return ViewMappingConstruct(item->id, offset, placement, area->pixels_per_mm_x, area->pixels_per_mm_y);
}

Ref<ViewMapping> PrintPreviewMapping(ViewerContext* context, const PrintableArea& area,
                                     const PrintLayout& layout, CutOutState* state, const SizeI& box_size,
                                     RectI& paper) {
    if (!state || box_size.width <= 0 || box_size.height <= 0) return nullptr;
    PagePlacement request = layout.placement;
    const uint32_t rotation = CutOutGetRotation(state);
    request.rotation = static_cast<uint16_t>(rotation);
    ComputePlacementFlips(rotation, CutOutGetMirrorHorizontal(state), CutOutGetMirrorVertical(state),
                          request.flip_x, request.flip_y);
    SizeI paper_pixels = PaperPixels(area);
    PointI position = layout.window_offset;
    if (rotation != layout.placement.rotation) {
        // The layout turned the page to suit the paper: show the page as the
        // viewer does, on paper turned the other way.
        std::swap(request.pixel_width, request.pixel_height);
        position = PointI{paper_pixels.height - layout.window_offset.y -
                              static_cast<int32_t>(layout.placement.pixel_height),
                          layout.window_offset.x};
        std::swap(paper_pixels.width, paper_pixels.height);
    }
    if (paper_pixels.width <= 0 || paper_pixels.height <= 0) return nullptr;
    const double scale = std::min(static_cast<double>(box_size.width) / paper_pixels.width,
                                  static_cast<double>(box_size.height) / paper_pixels.height);
    const int32_t paper_width = static_cast<int32_t>(paper_pixels.width * scale + 0.5);
    const int32_t paper_height = static_cast<int32_t>(paper_pixels.height * scale + 0.5);
    paper.size = SizeI{paper_width, paper_height};
    paper.origin = PointI{(box_size.width - paper_width) / 2, (box_size.height - paper_height) / 2};
    const PointI image{paper.origin.x + static_cast<int32_t>(position.x * scale + 0.5),
                       paper.origin.y + static_cast<int32_t>(position.y * scale + 0.5)};
    request.pixel_width = static_cast<uint32_t>(request.pixel_width * scale + 0.5);
    request.pixel_height = static_cast<uint32_t>(request.pixel_height * scale + 0.5);
    if (UseFullSizeImage(context)) request.flags |= kPlacementFullSizeImage;
    return ViewMappingConstruct(layout.page_id, image, request, ViewerGetPixelsPerMmX(context),
                                ViewerGetPixelsPerMmY(context));
}
