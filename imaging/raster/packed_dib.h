// The bitmap header block that windows paint and copy an image with.
#pragma once

#include <windows.h>

#include "imaging/raster/raster_image.h"

// A BITMAPINFOHEADER and its colour table in one block from the process heap
// (the caller frees it with HeapFree); the rows are not part of it: pass
// the image's pixels beside it. Null on failure.
BITMAPINFO* RasterImageToPackedDib(const RasterImage* image);
