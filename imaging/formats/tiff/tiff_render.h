// Rendering one TIFF image directory: the decoder its Compression asks for,
// and the loop over the strips or tiles that meet the requested rectangle,
// all feeding one raster sink.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/mem_block.h"
#include "imaging/codecs/band_decoder.h"
#include "imaging/formats/image_status.h"
#include "imaging/formats/page_placement.h"
#include "imaging/formats/tiff/tiff_directory.h"
#include "imaging/raster/palette.h"
#include "imaging/raster/raster_image.h"

class DataSource;
class ProgressSink;

// A new decoder for one strip or tile of the directory, and (when `palette`
// is not null) the colour table its rows need (null for none). Null when the
// directory's variant cannot be decoded: 16-bit samples, separate planes,
// YCbCr outside JPEG, CIELab, an unknown compression.
std::unique_ptr<BandDecoder> TiffDirCreateDecoder(const TiffDir* dir, Ref<Palette>* palette);

// Bits per pixel of the rows the decoder delivers: CMYK comes as RGB.
uint16_t TiffDirRowBits(const TiffDir* dir);

// Renders the request from this image. A render in render state 0 is strict
// (it fails at the first bad strip); a later one is lenient and returns what
// could be decoded. A failed render puts the image in render state 1; a
// request that cannot be fitted, or a cancelled render, leaves the state as
// it was. `failure` (may be null) receives why no image came.
Ref<RasterImage> TiffDirRender(TiffDir* dir, DataSource* source, const PagePlacement& request,
                               ProgressSink* progress, ImageStatus* failure);

// Where the coded data of an image lie that a PDF's CCITT Group 4 image can
// carry over unchanged and still show exactly what a whole render at 1:1
// shows: Group 4 in one strip, one bit per pixel, most significant bit
// first, upright, without uncompressed mode, and coding as white what the
// render shows white (WhiteIsZero, or BlackIsZero shown inverted), inside
// a source of `source_size` bytes. Reads nothing; false for anything else.
bool TiffDirFindCodedGroup4(const TiffDir* dir, uint64_t source_size, bool invert, uint32_t* offset,
                            uint32_t* length);

// Those coded data, read. Data that no whole render has decoded yet are
// decoded once, without building an image, to be sure a render would not
// fail or differ; `cancel` (may be null) is asked between rows, and a
// cancelled check is a false. False, `out` untouched, for anything else.
// Changes nothing in the directory, so threads may call it for the images
// of one file at once (each reads through a reader of its own).
bool TiffDirCodedGroup4(TiffDir* dir, DataSource* source, bool invert, MemBlock& out, uint32_t* length,
                        ProgressSink* cancel);
