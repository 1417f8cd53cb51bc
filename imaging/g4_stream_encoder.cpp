#include "imaging/g4_stream_encoder.h"

#include "foundation/pool.h"
#include "imaging/ccitt_tables.h"
#include "imaging/g4_encoder.h"

namespace {

constexpr uint32_t kCodedTag = 0x47345374;  // "G4St"
constexpr uint32_t kCodedChunk = 4096;

}  // namespace

bool G4StreamBegin(G4StreamEncoder& encoder, uint32_t width) {
    encoder.stream.reset();
    PagedBufInit(encoder.coded, kCodedChunk);
    encoder.width = width;
    encoder.rows = 0;
    encoder.failed = true;
    // T.6 codes the first row against an imaginary white row above it.
    if (!ChangeListInit(encoder.lines[0], width) || !ChangeListInit(encoder.lines[1], width)) return false;
    encoder.reference = &encoder.lines[0];
    encoder.coding = &encoder.lines[1];
    encoder.stream = std::make_unique<PagedBufOutStream>(encoder.coded);
    if (!encoder.stream->buffer) return false;
    BitWriterInit(encoder.writer, encoder.stream.get());
    encoder.failed = false;
    return true;
}

bool G4StreamAddRow(G4StreamEncoder& encoder, const uint8_t* row) {
    if (encoder.failed || !row) {
        encoder.failed = true;
        return false;
    }
    // Counted from a start in 1 bits (white), the list bounds the runs of 0
    // bits: the black runs of the code.
    ChangeListFromRowStartingIn(*encoder.coding, row, encoder.width, 1);
    if (!CcittEncode2DLine(*encoder.coding, *encoder.reference, &encoder.writer) || encoder.stream->failed) {
        encoder.failed = true;
        return false;
    }
    ChangeList* done = encoder.coding;
    encoder.coding = encoder.reference;
    encoder.reference = done;
    ++encoder.rows;
    return true;
}

bool G4StreamFinish(G4StreamEncoder& encoder, MemBlock& out) {
    MemFree(out);
    bool complete = !encoder.failed && encoder.rows > 0 && encoder.stream;
    if (complete) {
        BitWriterPutBits(encoder.writer, kCcittEolCode.code, kCcittEolCode.bits);
        BitWriterPutBits(encoder.writer, kCcittEolCode.code, kCcittEolCode.bits);
        BitWriterFlush(encoder.writer);
        complete = !encoder.stream->failed;
    }
    encoder.stream.reset();
    const uint32_t size = encoder.coded.total;
    if (complete && size > 0) {
        complete =
            MemAlloc(out, size, 0, kCodedTag) && PagedBufRead(encoder.coded, 0, out.data(), size) == size;
    }
    PagedBufFree(encoder.coded);
    ChangeListFree(encoder.lines[0]);
    ChangeListFree(encoder.lines[1]);
    encoder.failed = true;
    if (!complete) MemFree(out);
    return complete;
}
