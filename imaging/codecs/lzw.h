// LZW expansion in memory, for TIFF strips (codes most significant bit
// first, the width growing one code early) and GIF images (least
// significant bit first).
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/mem_block.h"

struct ByteReader;

// Decodes the stream and writes pixels skip x P to (skip + length) x P - 1
// of the decoded pixel stream (P pixels per byte: 8, 2 or 1 for 1, 4 or 8
// output bits) into `output` from its start; the caller provides `length`
// zero-filled bytes. Pixels before that range are decoded and dropped;
// decoding stops at its end. 1 and 4 bit pixels are ORed in, most
// significant first. False for a null or empty argument, a code size
// outside 2 to 13 or not below the maximum width, an output depth other than
// 1, 4 or 8, or bad data (a first code other than Clear, a code above the
// next free one); the end of the input or of the range ends with success.
bool LzwDecode(const uint8_t* input, uint32_t input_length, uint8_t* output, uint32_t skip, uint32_t length,
               uint8_t msb_first, uint32_t code_size, uint16_t max_width, uint16_t output_bits);

// A stream decoded piece by piece, so that a strip can be expanded a row at
// a time instead of whole.
struct LzwRun;

class LzwStream {
  public:
    LzwStream();
    ~LzwStream();
    LzwStream(const LzwStream&) = delete;
    LzwStream& operator=(const LzwStream&) = delete;

    // Arguments as for LzwDecode; `input` must outlive the stream.
    bool Start(const uint8_t* input, uint32_t input_length, uint8_t msb_first, uint32_t code_size,
               uint16_t max_width, uint16_t output_bits);
    // The same with the input taken from the reader's available bytes a
    // buffer at a time (the reader must outlive the stream and is read by
    // it alone): a strip of megabytes costs no block of its size. A read
    // error ends the input as its end would; the reader keeps the error.
    bool StartReading(ByteReader& reader, uint8_t msb_first, uint32_t code_size, uint16_t max_width,
                      uint16_t output_bits);
    // The next `length` bytes of the decoded stream into `output`, which the
    // caller zero-fills (1 and 4 bit pixels are ORed in). After the end of
    // the data the bytes stay as they are, with success; `filled` (may be
    // null) receives how many bytes the data reached. Bad data fail this
    // read and every later one.
    bool Read(uint8_t* output, uint32_t length, uint32_t* filled = nullptr);
    bool Skip(uint32_t length);

  private:
    bool StartDecoder(const uint8_t* input, uint32_t input_length, ByteReader* reader, uint8_t msb_first,
                      uint32_t code_size, uint16_t max_width, uint16_t output_bits);

    MemBlock store_;  // the decoder's window and table
    std::unique_ptr<LzwRun> run_;
    uint64_t read_ = 0;
    uint32_t pixels_per_byte_ = 1;
};
