#include "imaging/codecs/g4_stream_encoder.h"

#include "foundation/pool.h"
#include "imaging/codecs/g4_encoder.h"

namespace {

constexpr uint32_t kCodedTag = 0x47345374;  // "G4St"
constexpr uint32_t kCodedChunk = 4096;

}  // namespace

bool G4StreamBegin(G4StreamEncoder& encoder, uint32_t width) {
    encoder.stream.reset();
    PagedBufInit(encoder.coded, kCodedChunk);
    encoder.rows = 0;
    encoder.failed = true;
    encoder.stream = std::make_unique<PagedBufOutStream>(encoder.coded);
    if (!encoder.stream->buffer || !G4RowCoderBegin(encoder.coder, width, encoder.stream.get())) return false;
    encoder.failed = false;
    return true;
}

bool G4StreamAddRow(G4StreamEncoder& encoder, const uint8_t* row) {
    if (encoder.failed || !row || !G4RowCoderAdd(encoder.coder, row)) {
        encoder.failed = true;
        return false;
    }
    ++encoder.rows;
    return true;
}

bool G4StreamFinish(G4StreamEncoder& encoder, MemBlock& out) {
    MemFree(out);
    bool complete = !encoder.failed && encoder.rows > 0 && encoder.stream && G4RowCoderEnd(encoder.coder);
    encoder.stream.reset();
    const uint32_t size = encoder.coded.total;
    if (complete && size > 0) {
        complete =
            MemAlloc(out, size, 0, kCodedTag) && PagedBufRead(encoder.coded, 0, out.data(), size) == size;
    }
    PagedBufFree(encoder.coded);
    ChangeListFree(encoder.coder.lines[0]);
    ChangeListFree(encoder.coder.lines[1]);
    encoder.failed = true;
    if (!complete) MemFree(out);
    return complete;
}
