#include "imaging/codecs/ccitt_band_decoder.h"

#include <utility>

#include "foundation/geometry.h"
#include "foundation/progress.h"
#include "imaging/codecs/ccitt_decoder.h"
#include "imaging/sinks/raster_sink.h"

namespace {

void SwapLines(ChangeList& a, ChangeList& b) {
    std::swap(a.block.block, b.block.block);
    std::swap(a.elements, b.elements);
    std::swap(a.width, b.width);
    std::swap(a.count, b.count);
}

bool RectInside(const RectI& rect, uint32_t width, uint32_t rows) {
    if (rect.origin.x < 0 || rect.origin.y < 0 || rect.size.width <= 0 || rect.size.height <= 0) return false;
    return uint64_t(rect.origin.x) + uint64_t(rect.size.width) <= width &&
           uint64_t(rect.origin.y) + uint64_t(rect.size.height) <= rows;
}

// T.4 with two-dimensional coding: an optional EOL, then the tag bit that
// says how the line is coded (1 one-dimensional, 0 two-dimensional). The tag
// is taken with the EOL on every row, the first one's too, which is always
// one-dimensional.
bool DecodeT4TwoDimensionalLine(CcittDecoder& decoder, BitReader& bits, uint32_t row, bool after_eol) {
    if (row == 0) {
        if (after_eol) BitReaderSkip(bits, 1);
        return CcittDecodeT4Line(decoder.current, bits);
    }
    const bool one_dimensional = (bits.current & 1) != 0;
    BitReaderSkip(bits, 1);
    if (one_dimensional) return CcittDecodeT4Line(decoder.current, bits);
    return CcittDecode2DLine(decoder.current, decoder.reference, bits);
}

}  // namespace

CcittDecoder::CcittDecoder(uint32_t width, uint32_t mode, uint32_t options) {
    CcittDecoderInit(*this, width, mode, options);
}

bool CcittDecoderInit(CcittDecoder& decoder, uint32_t width, uint32_t mode, uint32_t options) {
    decoder.width = width;
    decoder.mode = mode;
    decoder.options = options;
    decoder.two_dimensional = mode == kCcittT6 || (mode == kCcittT4 && (options & kT4TwoDimensional));
    ChangeListFree(decoder.reference);
    if (!ChangeListInit(decoder.current, width)) return false;
    if (decoder.two_dimensional && !ChangeListInit(decoder.reference, width)) {
        ChangeListFree(decoder.current);
        return false;
    }
    return true;
}

bool CcittDecodeLine(CcittDecoder& decoder, BitReader& bits, uint32_t row) {
    switch (decoder.mode) {
        case kCcittModifiedHuffman:
            return CcittDecodeMhLine(decoder.current, bits);
        case kCcittT4: {
            const bool at_eol = CcittAtEol(bits);
            if (at_eol && !CcittSkipEol(bits)) {
                ChangeListSetEmpty(decoder.current);
                return false;
            }
            if (decoder.two_dimensional) return DecodeT4TwoDimensionalLine(decoder, bits, row, at_eol);
            return CcittDecodeT4Line(decoder.current, bits);
        }
        case kCcittT6:
            return CcittDecode2DLine(decoder.current, decoder.reference, bits);
        default:
            return false;
    }
}

bool CcittDecoder::Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                          const PointI* origin, ProgressSink* progress) {
    if (!reader || !sink || !source_rect || !origin || !current.elements) return false;
    if (two_dimensional && !reference.elements) return false;
    if (!RectInside(*source_rect, width, image_rows)) return false;
    BitReader bits;
    BitReaderInit(bits, reader);
    if (two_dimensional) ChangeListSetEmpty(reference);
    // A leading EOL of one-dimensional data. Two-dimensional T.4 leaves it
    // to the first row, which must take the tag bit behind it as well.
    if (!two_dimensional && mode <= kCcittT4 && CcittAtEol(bits) && !CcittSkipEol(bits)) return false;

    const uint32_t first = uint32_t(source_rect->origin.y);
    const uint32_t end = first + uint32_t(source_rect->size.height);
    const uint32_t x = uint32_t(origin->x + source_rect->origin.x);
    const uint32_t offset = uint32_t(source_rect->origin.x);
    const uint32_t count = uint32_t(source_rect->size.width);
    for (uint32_t row = 0; row < end; ++row) {
        if (ProgressIsCancelled(progress)) return false;
        if (row % 16 == 0) ProgressReport(progress, float(row) / float(end));
        if (!CcittDecodeLine(*this, bits, row)) return false;
        if (row >= first && !ChangeListIsEmpty(current)) {
            sink->PutRuns(current.elements, x, uint32_t(origin->y + int32_t(row)), offset, count);
        }
        if (two_dimensional) SwapLines(current, reference);
    }
    return true;
}
