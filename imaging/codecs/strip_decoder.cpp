#include "imaging/codecs/strip_decoder.h"

#include <algorithm>
#include <cstring>

#include "foundation/geometry.h"
#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/packbits.h"
#include "imaging/raster/pixel_helpers.h"
#include "imaging/sinks/raster_sink.h"

// Bytes of each row that reach the sink.
struct StripDecoder::Window {
    uint32_t first_byte = 0;  // of the row
    uint32_t bytes = 0;
    uint32_t pixels = 0;  // pixels in those bytes that the conversions treat
    uint32_t offset = 0;  // of pixel rect x within the window
};

namespace {

// Skips a 64-bit count of bytes.
bool SkipBytes(ByteReader& reader, uint64_t n) {
    while (n > 0) {
        const uint32_t step = uint32_t(std::min<uint64_t>(n, 0x40000000));
        ByteReaderSkip(reader, step);
        n -= step;
    }
    return true;
}

// Keeps the first `keep` of every `samples` bytes, in place.
void KeepSamples(uint8_t* row, uint32_t pixels, uint32_t samples, uint32_t keep) {
    const uint8_t* from = row;
    uint8_t* to = row;
    for (uint32_t i = 0; i < pixels; ++i, from += samples, to += keep) {
        for (uint32_t k = 0; k < keep; ++k) to[k] = from[k];
    }
}

}  // namespace

StripDecoder::StripDecoder(uint32_t width, uint16_t bits_per_sample, uint16_t samples_per_pixel,
                           uint16_t extra_samples, uint32_t colour_model, uint32_t mode)
    : width_(width),
      bits_per_sample_(bits_per_sample),
      samples_(samples_per_pixel),
      extra_samples_(extra_samples),
      colour_model_(colour_model),
      mode_(mode) {
    const uint32_t bits = bits_per_sample;
    if (width == 0 || (bits != 1 && bits != 4 && bits != 8) || mode > kStripPackBits) return;
    if (samples_per_pixel == 0 || samples_per_pixel >= 10 || extra_samples >= samples_per_pixel) return;
    const uint32_t colour = samples_per_pixel - extra_samples;
    if (colour == 2) return;
    if ((colour >= 3 || extra_samples > 0) && bits != 8) return;
    uint64_t row_bytes = 0;
    if (bits == 1) {
        row_bytes = (uint64_t(width) + 7) / 8;
    } else if (bits == 4) {
        row_bytes = (uint64_t(width) + 1) / 2;
    } else {
        row_bytes = uint64_t(samples_per_pixel) * width;
    }
    if (mode == kStripUncompressedPadded) row_bytes = (row_bytes + 3) & ~uint64_t(3);
    if (row_bytes > kPoolMaxBlock - 8) return;
    row_bytes_ = uint32_t(row_bytes);
    output_bits_ = uint16_t(colour >= 3 ? 24 : colour * bits);
    // Four spare bytes: the sinks may read the last byte of a row as part
    // of a word.
    if (!MemAlloc(row_, row_bytes_ + 4, kPoolZero, 0)) return;
    failed_ = false;
}

bool StripDecoder::MakeWindow(const RectI& rect, uint32_t image_rows, Window* window) const {
    const int64_t x = rect.origin.x, y = rect.origin.y, w = rect.size.width, h = rect.size.height;
    if (x < 0 || y < 0 || w <= 0 || h <= 0 || x + w > width_ || y + h > image_rows) return false;
    const bool whole_prefix = mode_ == kStripLzwPredictor;  // the predictor needs the pixels to the left
    const uint32_t last = uint32_t(x + w - 1);
    switch (bits_per_sample_) {
        case 1:
            window->first_byte = whole_prefix ? 0 : uint32_t(x) / 8;
            window->bytes = last / 8 - window->first_byte + 1;
            window->offset = whole_prefix ? uint32_t(x) : uint32_t(x) % 8;
            break;
        case 4:
            window->first_byte = whole_prefix ? 0 : uint32_t(x) / 2;
            window->bytes = last / 2 - window->first_byte + 1;
            window->offset = whole_prefix ? uint32_t(x) : uint32_t(x) % 2;
            break;
        default:
            window->first_byte = whole_prefix ? 0 : samples_ * uint32_t(x);
            window->bytes = samples_ * (last + 1) - window->first_byte;
            window->offset = whole_prefix ? uint32_t(x) : 0;
            break;
    }
    window->pixels = whole_prefix ? last + 1 : uint32_t(w);
    return true;
}

// Expands a PackBits strip in memory, from the first row to the last row of
// the rectangle, into a reader over the expanded rows.
bool StripDecoder::Expand(ByteReader& reader, const RectI& rect, ByteReader& expanded) const {
    MemBlock input;
    const uint32_t input_length = ByteReaderReadAll(reader, input);
    if (input_length == 0) return false;
    const uint64_t size = uint64_t(row_bytes_) * (uint64_t(rect.origin.y) + rect.size.height);
    if (size > kPoolMaxBlock - 8) return false;
    MemBlock output;
    if (!MemAlloc(output, (uint32_t(size) + 3) & ~3u, kPoolZero, 0)) return false;
    const uint32_t produced = PackBitsExpand(input.data(), input_length, output.data(), uint32_t(size));
    return ByteReaderInitBlock(expanded, std::move(output), produced);
}

// Predictor, colour conversion and sample selection on the window in the
// row buffer; false when the predictor does not apply to the data.
bool StripDecoder::ConvertRow(uint32_t pixels) {
    uint8_t* row = row_.data();
    if (mode_ == kStripLzwPredictor && !PredictorDecode(row, pixels, samples_, bits_per_sample_))
        return false;
    if (bits_per_sample_ != 8) return true;
    const uint32_t colour = samples_ - extra_samples_;
    if (colour_model_ == kStripColourCmyk && colour == 4) {
        if (samples_ != 4) KeepSamples(row, pixels, samples_, 4);
        CmykToRgb(row, pixels);
        return true;
    }
    // More than three colour samples that are not CMYK: the first three are
    // shown, so the rows keep the 24-bit layout the sink expects.
    const uint32_t keep = std::min(colour, 3u);
    if (keep != samples_) KeepSamples(row, pixels, samples_, keep);
    if (output_bits_ == 24 && colour_model_ == kStripColourRgb) SwapRedBlue(row, pixels);
    return true;
}

bool StripDecoder::Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                          const PointI* origin, ProgressSink* progress) {
    Window window;
    if (failed_ || !reader || !sink || !source_rect || !origin) return false;
    if (!MakeWindow(*source_rect, image_rows, &window)) return false;
    if (mode_ == kStripLzw || mode_ == kStripLzwPredictor) {
        return DecodeLzw(*reader, sink, *source_rect, *origin, window, progress);
    }
    ByteReader expanded;
    ByteReader* in = reader;
    if (mode_ == kStripPackBits) {
        if (!Expand(*reader, *source_rect, expanded)) return false;
        in = &expanded;
    }
    SkipBytes(*in, uint64_t(row_bytes_) * uint32_t(source_rect->origin.y));
    ByteReaderSkip(*in, window.first_byte);
    const uint32_t rows = uint32_t(source_rect->size.height);
    for (uint32_t row = 0; row < rows; ++row) {
        if (!ByteReaderRead(*in, row_.data(), window.bytes)) return false;
        if (!DeliverRow(sink, *source_rect, *origin, window, row, progress)) return false;
        if (row + 1 < rows) ByteReaderSkip(*in, row_bytes_ - window.bytes);
    }
    return true;
}

// LZW strips are expanded a row at a time from the reader's buffer, so that
// only a buffer of the compressed strip and one row are held, however large
// the strip (a scanned sheet's strip of megabytes would otherwise be fresh
// memory on every render); rows above the rectangle are decoded and dropped.
// A short read fails the strip.
bool StripDecoder::DecodeLzw(ByteReader& reader, RasterSink* sink, const RectI& rect, const PointI& origin,
                             const Window& window, ProgressSink* progress) {
    LzwStream& stream = lzw_;
    if (!stream.StartReading(reader, 1, 8, 12, 8)) return false;
    for (uint32_t row = 0; row < uint32_t(rect.origin.y); ++row) {
        if (!stream.Skip(row_bytes_) || reader.error) return false;
    }
    uint8_t* bytes = row_.data();
    for (uint32_t row = 0; row < uint32_t(rect.size.height); ++row) {
        // 8-bit symbols are written whole: only what the data did not reach
        // is cleared.
        uint32_t filled = 0;
        if (!stream.Read(bytes, row_bytes_, &filled) || reader.error) return false;
        if (filled < row_bytes_) memset(bytes + filled, 0, row_bytes_ - filled);
        if (window.first_byte != 0) memmove(bytes, bytes + window.first_byte, window.bytes);
        if (!DeliverRow(sink, rect, origin, window, row, progress)) return false;
    }
    return true;
}

// The row of the rectangle in the row buffer goes through the conversions
// to the sink; false when cancelled or the row's data do not convert.
bool StripDecoder::DeliverRow(RasterSink* sink, const RectI& rect, const PointI& origin, const Window& window,
                              uint32_t row, ProgressSink* progress) {
    const uint32_t rows = uint32_t(rect.size.height);
    if (ProgressIsCancelled(progress)) return false;
    if (row % 16 == 0) ProgressReport(progress, float(row) / float(rows));
    if (!ConvertRow(window.pixels)) return false;
    sink->PutRow(output_bits_, row_.data(), uint32_t(rect.origin.x + origin.x),
                 uint32_t(rect.origin.y + origin.y) + row, window.offset, uint32_t(rect.size.width));
    return true;
}
