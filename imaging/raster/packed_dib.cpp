#include "imaging/raster/packed_dib.h"

#include "imaging/raster/raster_image_depths.h"

PackedDib RasterImageToPackedDib(const RasterImage* image) {
    if (!image || !image->pixels) return PackedDib();
    const uint32_t colours = PaletteSizeForBits(image->bits_per_pixel);
    const size_t bytes = sizeof(BITMAPINFOHEADER) + colours * sizeof(RGBQUAD);
    HANDLE heap = GetProcessHeap();
    if (!heap) return PackedDib();
    PackedDib block(static_cast<BITMAPINFO*>(HeapAlloc(heap, HEAP_ZERO_MEMORY, bytes)));
    if (!block) return block;
    BITMAPINFO* info = block.get();
    BITMAPINFOHEADER& header = info->bmiHeader;
    header.biSize = sizeof(BITMAPINFOHEADER);
    header.biWidth = static_cast<LONG>(image->width);
    header.biHeight = static_cast<LONG>(image->height);  // positive: bottom line first
    header.biPlanes = 1;
    header.biBitCount = image->bits_per_pixel;
    header.biCompression = BI_RGB;
    header.biSizeImage = image->stride * image->height;
    header.biXPelsPerMeter = 10000;
    header.biYPelsPerMeter = 10000;
    // GDI reads 2^bits entries when the colours-used field is 0, so the
    // table always holds that many; entries a short palette lacks are black.
    auto* table = reinterpret_cast<uint32_t*>(info->bmiColors);
    for (uint32_t i = 0; i < colours; ++i) table[i] = RasterValueColour(image, i) & 0xFFFFFF;
    return block;
}
