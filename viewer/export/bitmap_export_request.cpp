#include "viewer/export/bitmap_export_request.h"

#include <algorithm>
#include <cmath>

#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/export/bitmap_export.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"

namespace {
// What the size line adds to the pixels for the file's headers.
constexpr uint64_t kSizeLineHeaderBytes = 44;

uint32_t RoundWidth(double value) {
    if (!(value > 0)) return 0;
    if (value >= 4294967295.0) return 0xFFFFFFFFu;
    return static_cast<uint32_t>(std::floor(value + 0.5));
}

SizeD Exchanged(const SizeD& size) { return SizeD{size.height, size.width}; }

void AppendGrouped(WString& out, uint64_t value) {
    wchar_t digits[24];
    int n = 0;
    do {
        digits[n++] = wchar_t(L'0' + value % 10);
        value /= 10;
    } while (value);
    for (int i = n - 1; i >= 0; --i) {
        WStrAppendChar(out, digits[i]);
        if (i > 0 && i % 3 == 0) WStrAppendChar(out, L'.');
    }
}

}  // namespace

bool BitmapExportRequestInit(BitmapExportRequest& request, ViewerContext* context, DocItem* item,
                             ViewMapping* mapping) {
    request = BitmapExportRequest();
    Ref<CutOutState> state = item ? item->GetCutOut() : nullptr;
    if (!state) return false;
    request.context = Ref<ViewerContext>(context);
    request.item = Ref<DocItem>(item);
    RectD cut_out;
    uint32_t rotation;
    {
        ScopedLock hold(state->lock);
        request.page_size = state->page_size;
        cut_out = state->cut_out;
        rotation = state->rotation % 360;
    }
    request.cut_out_size = cut_out.size;
    const bool quarter = rotation % 180 == 90;

    SizeI page_pixels;
    if (Ref<PageMetrics> metrics = item->GetPageMetrics(context))
        page_pixels = PageMetricsPixelSize(metrics.get());
    request.page_pixel_width = uint32_t(std::max(0, quarter ? page_pixels.height : page_pixels.width));
    if (Ref<ImagePage> page = DocItemGetPage(item)) {
        PageInfo info;
        if (page->GetInfo(&info)) request.page_bits_per_pixel = info.bits_per_pixel;
    }
    if (quarter) {
        request.page_size = Exchanged(request.page_size);
        request.cut_out_size = Exchanged(request.cut_out_size);
    }

    // The mapping's pixel size is already measured as the view shows it.
    if (mapping && mapping->page_id == DocItemGetId(item)) {
        request.mapping = Ref<ViewMapping>(mapping);
        request.view_pixel_width = mapping->placement.pixel_width;
    } else {
        request.view_pixel_width = RoundWidth(request.cut_out_size.width * ViewerGetPixelsPerMmX(context));
    }
    return true;
}

uint32_t BitmapExportHeightFor(const BitmapExportRequest& request, bool entire_page, uint32_t width) {
    const SizeD& size = entire_page ? request.page_size : request.cut_out_size;
    if (!(size.width > 0 && size.height > 0)) return 0;
    return RoundWidth(width * size.height / size.width);
}

uint32_t BitmapExportScreenWidth(const BitmapExportRequest& request, bool entire_page) {
    double width = request.view_pixel_width;
    if (entire_page && request.cut_out_size.width > 0)
        width *= request.page_size.width / request.cut_out_size.width;
    return RoundWidth(width);
}

uint32_t BitmapExportOriginalWidth(const BitmapExportRequest& request, bool entire_page) {
    double width = request.page_pixel_width;
    if (!entire_page && request.page_size.width > 0)
        width *= request.cut_out_size.width / request.page_size.width;
    return RoundWidth(width);
}

uint16_t BitmapExportInitialDepth(const BitmapExportRequest& request) {
    if (request.page_bits_per_pixel == 1 || request.page_bits_per_pixel == 8)
        return request.page_bits_per_pixel;
    return 24;
}

WString& BitmapExportSizeText(ViewerContext* context, uint32_t width, uint32_t height,
                              uint16_t bits_per_pixel, WString& out) {
    WStrAssignChars(out, ViewerGetText(context, text::kScreenCopyImageSize));
    WStrAppendChars(out, L": ");
    if (width == 0 || height == 0) {
        WStrAppendChar(out, L'?');
    } else {
        AppendGrouped(out, (BitmapRowBytes(width, bits_per_pixel) * height + kSizeLineHeaderBytes) / 1024);
    }
    WStrAppendChar(out, L' ');
    return WStrAppendChars(out, ViewerGetText(context, text::kKilobytes));
}
