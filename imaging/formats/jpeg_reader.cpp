#include "imaging/formats/jpeg_reader.h"

#include <algorithm>

#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/jpeg_band_decoder.h"
#include "imaging/codecs/jpeg_glue.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/page_render_steps.h"

namespace {

constexpr uint32_t kJpegReadBuffer = 16384;

// A reader over the first `size` bytes of the source, bit order kept.
bool OpenWholeFile(ByteReader& reader, DataSource* source, uint32_t size) {
    return ByteReaderInit(reader, source, true, kJpegReadBuffer) &&
           ByteReaderStart(reader, 0, size, nullptr, 0);
}

Ref<ImageFormat> BuildFormat(const JpegInfo& info, uint32_t file_size) {
    Ref<JpegPage> page = AdoptRef(new JpegPage);
    page->width = info.width;
    page->height = info.height;
    page->x_resolution = info.x_density;
    page->y_resolution = info.y_density;
    page->resolution_given = uint8_t(info.resolution_given);
    page->bits_per_pixel = uint16_t(8 * info.components);
    page->file_size = file_size;
    Ref<JpegFormat> format = AdoptRef(new JpegFormat);
    format->page = page;
    return format;
}

// A reduced render need not decode every pixel at full size: the largest
// reduction inside libjpeg's inverse DCT that keeps the target's pixels.
uint32_t ChooseJpegScale(const JpegPage& page, const PagePlacement& placement, RectI* source) {
    const bool quarter_turn = placement.rotation == 90 || placement.rotation == 270;
    return JpegChooseScale(page.width, page.height, page.width, page.height,
                           quarter_turn ? placement.pixel_height : placement.pixel_width,
                           quarter_turn ? placement.pixel_width : placement.pixel_height, source);
}

}  // namespace

Ref<ImageFormat> JpegParse(ImageStatus* status, DataSource* source, const uint8_t* /*head*/,
                           uint32_t /*head_count*/, uint32_t /*options*/) {
    if (!source) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    // Positions are 32-bit; a file beyond 4 GB is no JPEG this reader takes.
    const uint64_t size = source->size;
    ByteReader reader;
    JpegStream stream;
    stream.reader = &reader;
    JpegInfo info;
    if (size == 0 || size > UINT32_MAX || !OpenWholeFile(reader, source, uint32_t(size)) ||
        JpegReadInfo(&stream, JpegBandRead, &info) != kJpegOk) {
        ImageStatusError(status, kStatusBadData);
        return nullptr;
    }
    return BuildFormat(info, uint32_t(size));
}

Ref<ImagePage> JpegFormat::GetPage(uint32_t index) {
    if (index != 0) return nullptr;
    return Ref<ImagePage>(page.get());
}

bool JpegFormat::GetInfo(FormatInfo* out) {
    if (!out) return false;
    out->format_name = WString(L"JPEG File Interchange Format (JFIF)");
    return true;
}

bool JpegPage::GetInfo(PageInfo* out) {
    if (!out) return false;
    out->resolution_given = resolution_given;
    out->image_count = 1;
    out->flagged_image_count = 0;
    out->bits_per_pixel = bits_per_pixel;
    out->colour_palette = 0;
    out->grey = bits_per_pixel == 8 ? 1 : 0;
    out->description = WString();
    out->software = WString();
    out->compression = kCompressionJpeg;
    return true;
}

Ref<RasterImage> JpegPage::Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                  ProgressSink* progress) {
    return JpegPageRender(this, status, source, placement, progress);
}

Ref<RasterImage> JpegPageRender(JpegPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* placement, ProgressSink* progress) {
    RenderRun run;
    ByteReader reader;
    Ref<RasterImage> image;
    if (page && placement && page->file_size != 0 &&
        RenderSourceRect(*placement, page->x_resolution, page->y_resolution, page->width, page->height,
                         &run.source) &&
        OpenWholeFile(reader, source, page->file_size)) {
        // A reduced render need not decode every pixel at full size.
        const uint32_t scale = ChooseJpegScale(*page, *placement, &run.source);
        const uint32_t width = (page->width + scale - 1) / scale, height = (page->height + scale - 1) / scale;
        JpegBandDecoder decoder(width, MemBlock(), 0);
        decoder.scale_denominator = scale;
        run.image_width = width;
        run.image_height = height;
        run.image_rows = height;
        run.bits_per_pixel = page->bits_per_pixel;
        run.decoder = &decoder;
        run.reader = &reader;
        run.token_lock = &page->token_lock;
        run.token = &page->token;
        image = RenderDecode(run, *placement, progress);
    }
    if (!image) ImageStatusError(status, kStatusBadData);
    return image;
}
