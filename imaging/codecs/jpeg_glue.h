// The glue around libjpeg (IJG interface, version 62): bytes come in through
// a read callback, decoded scanlines go out through a row callback, and every
// libjpeg error comes back as a result code instead of ending the process.
// This header keeps libjpeg's own headers (and their `boolean`) to the glue.
#pragma once

#include <cstdint>

struct JpegInfo {
    uint32_t width = 0;
    uint32_t height = 0;
    uint16_t components = 0;
    uint16_t bits_per_sample = 0;  // always 8
    double x_density = 0;          // dots per inch
    double y_density = 0;
    uint16_t resolution_given = 0;  // 1 when the file states an absolute density unit
};

enum JpegResult : int32_t {
    kJpegOk = 0,
    kJpegNoImage = 1,  // the data hold no image header (a tables-only stream)
    kJpegError = 2,    // libjpeg failed, or the caller's arguments are unusable
};

// The colour space the samples of a 3-component stream were stored in, when
// the container knows it better than the stream's own markers do (a TIFF's
// PhotometricInterpretation). Streams of another component count keep what
// libjpeg makes of their markers.
enum JpegStoredColour : uint32_t {
    kJpegColourAsMarked = 0,  // JFIF, Adobe marker or component ids decide
    kJpegColourRgb = 1,
    kJpegColourYCbCr = 2,
};

// Delivers up to `count` bytes into `buffer`; 0 at the end of the data.
using JpegReadCallback = uint32_t (*)(void* context, uint8_t* buffer, uint32_t count);
// One decoded scanline (0-based `line`) of `width` pixels of `components`
// samples each; the callback may change the bytes. False stops decoding,
// which then ends with kJpegError.
using JpegRowCallback = bool (*)(void* context, uint32_t line, uint8_t* row, uint32_t width,
                                 uint32_t components);

// Reads the image header: size, components and the JFIF density.
int32_t JpegReadInfo(void* context, JpegReadCallback read, JpegInfo* out);
// Decodes every scanline, or only the first `line_limit` of them (0: all).
// Colour comes out as red, green, blue whichever colour space it was stored in.
// A `scale_denominator` of 2, 4 or 8 has libjpeg reduce the image by that
// factor inside its inverse DCT (ceil(width / d) x ceil(height / d) pixels,
// the line limit counting reduced lines); any other value decodes at full size.
// With `blue_first` colour comes as blue, green, red (as Windows bitmaps
// hold it) straight from libjpeg's colour conversion.
int32_t JpegDecode(void* context, uint32_t line_limit, JpegReadCallback read, JpegRowCallback row,
                   JpegStoredColour stored = kJpegColourAsMarked, uint32_t scale_denominator = 1,
                   bool blue_first = false);
