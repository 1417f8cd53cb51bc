#include "imaging/formats/page_render_steps.h"

#include <cmath>

#include "foundation/progress.h"
#include "imaging/codecs/band_decoder.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/sinks/raster_sink.h"
#include "imaging/sinks/relay_sink.h"

int32_t MmToPixels(double mm, double dpi) {
    const double pixels = std::trunc(mm * dpi / 25.4 + 0.5);
    if (!(pixels > -2147483648.0)) return INT32_MIN;  // also NaN
    if (pixels > 2147483647.0) return INT32_MAX;
    return int32_t(pixels);
}

bool RenderSourceRect(const PagePlacement& placement, double dpi_x, double dpi_y, uint32_t image_width,
                      uint32_t image_height, RectI* source) {
    if (image_width == 0 || image_height == 0 || image_width > INT32_MAX || image_height > INT32_MAX)
        return false;
    const RectD& rect = placement.rect;
    RectI pixels;
    pixels.origin.x = MmToPixels(rect.origin.x, dpi_x);
    pixels.origin.y = MmToPixels(rect.origin.y, dpi_y);
    pixels.size.width = MmToPixels(rect.size.width, dpi_x);
    pixels.size.height = MmToPixels(rect.size.height, dpi_y);
    // A rectangle thinner than half a pixel still shows one pixel.
    if (pixels.size.width == 0) pixels.size.width = 1;
    if (pixels.size.height == 0) pixels.size.height = 1;
    if (pixels.size.width < 0 || pixels.size.height < 0) return false;
    RectI bounds;
    bounds.size.width = int32_t(image_width);
    bounds.size.height = int32_t(image_height);
    if (!RectIConstrain(pixels, bounds, true, true)) return false;
    if (pixels.size.width <= 0 || pixels.size.height <= 0) return false;
    *source = pixels;
    return true;
}

namespace {

// Lends the page's token to this render, creating it on the first one.
Ref<RenderToken> BorrowToken(const RenderRun& run) {
    if (!run.token || !run.token_lock) return AdoptRef(new RenderToken);
    ScopedLock hold(*run.token_lock);
    if (!*run.token) *run.token = AdoptRef(new RenderToken);
    return *run.token;
}

// A sink that left the token invalid means the grey level does not carry
// over to later renders: the page drops it.
void SettleToken(const RenderRun& run, const Ref<RenderToken>& lent) {
    if (!run.token || !run.token_lock || lent->valid) return;
    ScopedLock hold(*run.token_lock);
    if (*run.token == lent) run.token->Reset();
}

}  // namespace

bool RenderCoversImage(const RenderRun& run) {
    return uint32_t(run.source.size.width) >= run.image_width &&
           uint32_t(run.source.size.height) >= run.image_height;
}

Ref<RasterSink> RenderCreateSink(const RenderRun& run, const PagePlacement& placement) {
    const bool quarter_turn = placement.rotation == 90 || placement.rotation == 270;
    const uint32_t target_width = quarter_turn ? placement.pixel_height : placement.pixel_width;
    const uint32_t target_height = quarter_turn ? placement.pixel_width : placement.pixel_height;
    const uint32_t source_width = uint32_t(run.source.size.width);
    const uint32_t source_height = uint32_t(run.source.size.height);
    Ref<RasterSink> sink = CreateSink(source_width, source_height, target_width, target_height,
                                      run.bits_per_pixel, run.palette, placement.rotation, placement.flip_x,
                                      placement.flip_y, placement.invert, RenderCoversImage(run));
    // Large bilevel pages: the sink works on a second thread beside the
    // decoder. Whole packed rows that the sink counts a word at a time would
    // only pass through the relay on this thread: no thread for them.
    const bool rows_stay = run.decoder && run.decoder->DeliversPackedRows() && RenderCoversImage(run) &&
                           sink && sink->TakesPackedRowCheaply(0, 0, 0);
    if (!rows_stay && RelaySinkWorthwhile(sink.get())) {
        if (Ref<RasterSink> relay = RelaySinkCreate(sink.get())) return relay;
    }
    return sink;
}

Ref<RasterImage> RenderFinish(const RenderRun& run, RasterSink* sink, ProgressSink* progress) {
    if (!sink || ProgressIsCancelled(progress)) return nullptr;
    ProgressStep(progress, 1);
    Ref<RenderToken> lent = BorrowToken(run);
    Ref<RasterImage> image = sink->Finish(progress, lent.get());
    SettleToken(run, lent);
    return image;
}

Ref<RasterImage> RenderDecode(const RenderRun& run, const PagePlacement& placement, ProgressSink* progress) {
    Ref<RasterSink> sink = RenderCreateSink(run, placement);
    if (!sink || !run.decoder || !run.reader) return nullptr;
    const bool pushed = ProgressPush(progress, 2);
    ProgressStep(progress, 0);
    const PointI origin{-run.source.origin.x, -run.source.origin.y};
    Ref<RasterImage> image;
    if (run.decoder->Decode(run.reader, sink.get(), run.image_rows, &run.source, &origin, progress)) {
        image = RenderFinish(run, sink.get(), progress);
    }
    if (pushed) ProgressPop(progress);
    return image;
}
