// The Group 4 (ITU-T T.6) encoder of 1-bit images, for the TIFF writer and
// the PDF export. 1 bits are coded as white runs and 0 bits as black runs,
// the meaning of a 1-bit image without palette; the palette is not looked at.
#pragma once

#include <cstdint>

#include "foundation/bit_writer.h"
#include "imaging/codecs/change_list.h"

class OutStream;
class ProgressSink;
class RasterImage;

// The object through which the writers reach G4Encode. It keeps nothing
// between calls: each call makes its own line lists.
struct G4Encoder {
    bool ready = false;
};

void G4EncoderInit(G4Encoder& encoder);

// Writes the whole image, memory row 0 first, as T.6 data ended by the
// end-of-facsimile-block and padded to a byte. The two reserved arguments
// are 0. Result 0 when every row and the end were written and the stream
// reports no error; 1 otherwise (no image, not 1 bit per pixel, no line
// lists, a row that cannot be coded, a stream error). After a failed row no
// end-of-block is written.
uint32_t G4Encode(G4Encoder& encoder, const RasterImage* image, OutStream* stream, uint32_t reserved_first,
                  uint32_t reserved_second, ProgressSink* progress);

// Rows coded one after another, each against the row above (the first
// against an imaginary white row), into an output stream: the one coding
// loop behind G4Encode and the stream encoder of band renders.
struct G4RowCoder {
    ChangeList lines[2];
    ChangeList* reference = nullptr;
    ChangeList* coding = nullptr;
    BitWriter writer;
    OutStream* stream = nullptr;
};

// Starts a picture of `width` pixels; false when the line lists cannot be had.
bool G4RowCoderBegin(G4RowCoder& coder, uint32_t width, OutStream* stream);
// One packed 1-bit row (most significant bit first) of at least the width in
// bits; false when it cannot be coded or the stream failed.
bool G4RowCoderAdd(G4RowCoder& coder, const uint8_t* row);
// The end-of-facsimile-block, padded to a byte and flushed; false when the
// stream failed.
bool G4RowCoderEnd(G4RowCoder& coder);

// The codes of one run: make-up codes (2560 as often as needed, then the
// largest multiple of 64 that fits) and a terminating code. A negative
// length writes nothing.
void CcittPutRun(int32_t length, bool white, BitWriter* writer);

// One row in T.6 two-dimensional coding against the row above. Both lists
// end at the width with their end marks. False when the widths differ or are 0.
bool CcittEncode2DLine(const ChangeList& coding, const ChangeList& reference, BitWriter* writer);
