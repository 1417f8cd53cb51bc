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

// The coded data of an image that a PDF's CCITT Group 4 image can carry over
// unchanged and still show exactly what a whole render at 1:1 shows: Group 4
// in one strip, one bit per pixel, most significant bit first, upright,
// without uncompressed mode, and coding as white what the render shows white
// (WhiteIsZero, or BlackIsZero shown inverted). Data that no whole render
// has decoded yet are decoded once, without building an image, to be sure a
// render would not fail or differ. False, `out` untouched, for anything else.
bool TiffDirCodedGroup4(TiffDir* dir, DataSource* source, bool invert, MemBlock& out, uint32_t* length);
