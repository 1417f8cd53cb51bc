// The bitmap header block that windows paint and copy an image with.
#pragma once

#include <windows.h>

#include "foundation/handles.h"
#include "imaging/raster/raster_image.h"

// A BITMAPINFOHEADER and its colour table in one block from the process heap,
// which the owner frees; the rows are not part of it: pass the image's
// pixels beside it. Empty on failure.
PackedDib RasterImageToPackedDib(const RasterImage* image);
