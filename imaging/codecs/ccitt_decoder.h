// The line decoders of CCITT T.4 and T.6 data: each decodes one coded line
// from a bit reader into a change list. The band decoder (ccitt_band_decoder)
// drives them row by row.
#pragma once

#include "imaging/codecs/bit_reader.h"
#include "imaging/codecs/change_list.h"

// Modified Huffman (TIFF Compression 2): one-dimensional runs, every line
// starting on a byte. False on an invalid code; the line is then all white.
bool CcittDecodeMhLine(ChangeList& line, BitReader& bits);

// T.4 one-dimensional: as Modified Huffman without byte alignment. An EOL met
// where a code should be (a short line) ends the line: the EOL and its fill
// are consumed and the line is completed in white. False on an invalid code
// or a bad EOL; the line is then all white.
bool CcittDecodeT4Line(ChangeList& line, BitReader& bits);

// T.4 and T.6 two-dimensional coding against the line above (`reference`, of
// the same width, ending at the width with its end marks). An EOL ends the
// line early. False on an invalid or inconsistent code; the line is then all
// white.
bool CcittDecode2DLine(ChangeList& line, const ChangeList& reference, BitReader& bits);

// Consumes an EOL whose first 8 zero bits are next: 3 more zeros, any number
// of fill zeros, then the 1. False (nothing sensible consumed) when fewer
// than 11 zeros come first or the data end before the 1.
bool CcittSkipEol(BitReader& bits);

// True when the next 8 bits are 0, which no code word of a run or mode
// starts with: an EOL, or fill in front of one.
inline bool CcittAtEol(const BitReader& bits) { return (bits.current & 0xFF) == 0; }
