// The interface every band decoder (uncompressed and LZW strips, PackBits,
// GIF, BMP runs, CCITT, JPEG) offers to the page that renders.
#pragma once

#include <cstdint>

struct ByteReader;
class RasterSink;
struct RectI;
struct PointI;
class ProgressSink;

class BandDecoder {
  public:
    BandDecoder() = default;
    BandDecoder(const BandDecoder&) = delete;
    BandDecoder& operator=(const BandDecoder&) = delete;
    virtual ~BandDecoder() = default;

    // Called once per render, with the reader positioned on the image data.
    // `source_rect` is the part of the image the render wants; `origin` is its
    // negated top-left corner, so image row y reaches the sink as row
    // y + origin->y and column x as x + origin->x. False on a read failure,
    // bad data or cancellation.
    virtual bool Decode(ByteReader* reader, RasterSink* sink, uint32_t image_rows, const RectI* source_rect,
                        const PointI* origin, ProgressSink* progress) = 0;
    // Whether the rows reach the sink packed (PutRow), not as runs.
    virtual bool DeliversPackedRows() const { return false; }
};
