#include "imaging/codecs/g4_encoder.h"

#include <utility>

#include "foundation/out_stream.h"
#include "foundation/progress.h"
#include "imaging/codecs/ccitt_tables.h"
#include "imaging/raster/raster_image.h"

namespace {

inline void Put(BitWriter* writer, const CcittCode& code) { BitWriterPutBits(*writer, code.code, code.bits); }

}  // namespace

void G4EncoderInit(G4Encoder& encoder) { encoder.ready = true; }

void CcittPutRun(int32_t length, bool white, BitWriter* writer) {
    if (length < 0) return;
    const CcittCode* terminating = white ? kCcittWhiteTerminating : kCcittBlackTerminating;
    const CcittCode* makeup = white ? kCcittWhiteMakeup : kCcittBlackMakeup;
    while (length >= 64) {
        const int32_t sixty_fours = length >= 2560 ? 40 : length / 64;
        // 1 to 27 times 64 have a code of their colour, 28 to 40 the shared
        // extended codes.
        Put(writer, sixty_fours <= 27 ? makeup[sixty_fours - 1] : kCcittExtendedMakeup[sixty_fours - 28]);
        length -= sixty_fours * 64;
    }
    Put(writer, terminating[length]);
}

bool CcittEncode2DLine(const ChangeList& coding, const ChangeList& reference, BitWriter* writer) {
    if (coding.width == 0 || coding.width != reference.width || !coding.elements || !reference.elements) {
        return false;
    }
    const uint32_t* line = coding.elements;
    const uint32_t* ref = reference.elements;
    const int32_t width = int32_t(coding.width);
    uint32_t next_change = 0;  // the first element of the coding line right of a0
    uint32_t first_right = 0;  // the same on the reference line
    int32_t a0 = -1;           // starts before the line, white
    while (a0 < width) {
        // Both lists end in copies of the width, which is right of a0.
        while (int32_t(line[next_change]) <= a0) ++next_change;
        while (int32_t(ref[first_right]) <= a0) ++first_right;
        const int32_t a1 = int32_t(line[next_change]);
        // Past an even number of changes a0 is white; b1 is the next change
        // of the reference to the other colour, which an index of the same
        // parity marks.
        const uint32_t b1_index = first_right + ((first_right ^ next_change) & 1);
        const int32_t b1 = int32_t(ref[b1_index]);
        const int32_t b2 = int32_t(ref[b1_index + 1]);
        if (b2 < a1) {
            Put(writer, kCcittPassCode);
            a0 = b2;
        } else if (a1 - b1 >= -3 && a1 - b1 <= 3) {
            Put(writer, kCcittVerticalCodes[a1 - b1 + 3]);
            a0 = a1;
        } else {
            const int32_t a2 = int32_t(line[next_change + 1]);
            const bool white = (next_change & 1) == 0;
            Put(writer, kCcittHorizontalCode);
            CcittPutRun(a1 - (a0 < 0 ? 0 : a0), white, writer);
            CcittPutRun(a2 - a1, !white, writer);
            a0 = a2;
        }
    }
    return true;
}

bool G4RowCoderBegin(G4RowCoder& coder, uint32_t width, OutStream* stream) {
    if (!stream || !ChangeListInit(coder.lines[0], width) || !ChangeListInit(coder.lines[1], width))
        return false;
    coder.reference = &coder.lines[0];
    coder.coding = &coder.lines[1];
    coder.stream = stream;
    BitWriterInit(coder.writer, stream);
    return true;
}

bool G4RowCoderAdd(G4RowCoder& coder, const uint8_t* row) {
    // Counted from a start in 1 bits (white), the list bounds the runs of 0
    // bits: the black runs of the code.
    ChangeListFromRowStartingIn(*coder.coding, row, coder.coding->width, 1);
    if (!CcittEncode2DLine(*coder.coding, *coder.reference, &coder.writer) || coder.stream->failed)
        return false;
    std::swap(coder.coding, coder.reference);
    return true;
}

bool G4RowCoderEnd(G4RowCoder& coder) {
    BitWriterPutBits(coder.writer, kCcittEolCode.code, kCcittEolCode.bits);
    BitWriterPutBits(coder.writer, kCcittEolCode.code, kCcittEolCode.bits);
    BitWriterFlush(coder.writer);
    return !coder.stream->failed;
}

uint32_t G4Encode(G4Encoder& encoder, const RasterImage* image, OutStream* stream, uint32_t reserved_first,
                  uint32_t reserved_second, ProgressSink* progress) {
    if (!image || !stream || image->bits_per_pixel != 1 || image->width == 0 || image->height == 0) return 1;
    G4RowCoder coder;
    if (!G4RowCoderBegin(coder, image->width, stream)) return 1;
    const bool pushed = ProgressPush(progress, image->height);
    bool all_rows = true;
    for (uint32_t row = 0; row < image->height && all_rows; ++row) {
        ProgressStep(progress, row);
        all_rows = G4RowCoderAdd(coder, RasterImageGetRow(image, row));
    }
    if (pushed) ProgressPop(progress);
    return all_rows && G4RowCoderEnd(coder) ? 0 : 1;
}
