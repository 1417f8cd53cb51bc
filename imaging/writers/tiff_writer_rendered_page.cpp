// Rendered pages: any page of any format, rendered band by band at the
// requested size, made bilevel and coded with Group 4 into strips or tiles,
// optionally followed by reduced-resolution copies.
#include <cmath>
#include <cstring>
#include <memory>

#include "foundation/geometry.h"
#include "foundation/pool.h"
#include "foundation/progress.h"
#include "imaging/codecs/g4_stream_encoder.h"
#include "imaging/formats/image_format.h"
#include "imaging/raster/raster_image.h"
#include "imaging/writers/tiff_writer_document.h"

namespace {

// A band image larger than this is rendered in several parts, so that a
// strip of the whole height of a colour page is never one image.
constexpr uint64_t kBandBudgetBytes = 16u << 20;
// Reduced copies stop once both sides are down to this.
constexpr uint32_t kPyramidMinSide = 1000;
constexpr uint32_t kMaxTiles = 0x3FFFFFFFu;

// TIFF 6.0 wants tile sides in multiples of 16.
uint32_t RoundUpTo16(uint32_t side) { return side > kRasterMaxSide ? 0 : (side + 15) & ~15u; }

bool AddLongEntry(TiffIfd* ifd, uint16_t tag, uint32_t count, uint32_t value) {
    Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffLong, count);
    return entry && TiffEntrySetUInt(entry.get(), 0, value) && TiffIfdSetEntry(ifd, entry.get());
}

bool AddShortEntry(TiffIfd* ifd, uint16_t tag, uint32_t value) {
    Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffShort, 1);
    return entry && TiffEntrySetUInt(entry.get(), 0, value) && TiffIfdSetEntry(ifd, entry.get());
}

// Resolution of a level: its pixels over the page's, times the page's dpi.
bool AddResolution(TiffIfd* ifd, uint16_t tag, uint32_t level_pixels, double dpi, uint32_t page_pixels) {
    double numerator = std::floor(level_pixels * dpi + 0.5);
    double denominator = page_pixels;
    if (numerator > 2147483647.0) {
        // Too fine for the exact ratio: dpi to a thousandth.
        numerator = std::floor(level_pixels * dpi / page_pixels * 1000 + 0.5);
        denominator = 1000;
        if (numerator > 2147483647.0) return false;
    }
    const Fraction reduced = FractionReduce(int32_t(numerator), int32_t(denominator));
    Ref<TiffEntry> entry = TiffEntryCreate(tag, kTiffRational, 1);
    return entry && TiffEntrySetFraction(entry.get(), 0, reduced.numerator, reduced.denominator) &&
           TiffIfdSetEntry(ifd, entry.get());
}

// How the output rows of one directory map onto the page.
struct BandPlan {
    ImagePage* page;
    DataSource* source;
    TiffRenderOptions options;
    uint32_t width;
    uint32_t height;
    double rows_per_row;  // source rows per output row
    double mm_per_row;    // millimetres per source row
};

// Output rows [r0, r1) as a 1-bit image of the directory's width.
Ref<RasterImage> RenderRows(const BandPlan& plan, uint32_t r0, uint32_t r1) {
    const uint32_t page_height = plan.page->PixelHeight();
    const uint32_t a0 = uint32_t(std::floor(r0 * plan.rows_per_row + 0.5));
    uint32_t a1 = uint32_t(std::floor(r1 * plan.rows_per_row + 0.5));
    if (a1 > page_height) a1 = page_height;
    if (a1 <= a0) a1 = a0 + 1;
    PagePlacement placement;
    PagePlacementInit(placement);
    const double height = (a1 - a0) * plan.mm_per_row;
    double y = a0 * plan.mm_per_row;
    if (plan.options.flip_y) y = plan.page->HeightMm() - (y + height);
    RectDSet(placement.rect, 0, y, plan.page->WidthMm(), height);
    placement.pixel_width = plan.width;
    placement.pixel_height = r1 - r0;
    placement.flip_x = plan.options.flip_x;
    placement.flip_y = plan.options.flip_y;
    placement.invert = plan.options.invert;
    Ref<RasterImage> image = PageRender(plan.page, nullptr, plan.source, &placement, nullptr);
    if (!image) return nullptr;
    // A 1-bit image with a palette may mean 1 as black: convert it too.
    if (image->bits_per_pixel != 1 || image->palette) image = RasterImageConvert(image.get(), 1);
    if (!image || image->width != plan.width || image->height != r1 - r0) return nullptr;
    return image;
}

// One tile's part of a band row, padded with white to the tile width (a
// multiple of 16, so every column starts on a byte).
void TileRow(const uint8_t* band_row, uint32_t column_x, uint32_t column_width, uint32_t tile_width,
             uint8_t* out) {
    const uint32_t bytes = (column_width + 7) / 8;
    memcpy(out, band_row + column_x / 8, bytes);
    if (column_width % 8) out[column_width / 8] |= uint8_t(0xFF >> (column_width % 8));
    memset(out + bytes, 0xFF, tile_width / 8 - bytes);
}

// The coders of one band: one strip, or one tile per column.
struct BandCoders {
    std::unique_ptr<G4StreamEncoder[]> coders;
    uint32_t count = 0;
    uint32_t tile_width = 0;  // 0 for strips
    MemBlock row;             // one tile row
};

bool BeginBand(BandCoders& band, uint32_t width, uint32_t tile_width) {
    band.tile_width = tile_width;
    band.count = tile_width ? (width + tile_width - 1) / tile_width : 1;
    band.coders.reset(new G4StreamEncoder[band.count]);
    if (tile_width && !MemAlloc(band.row, tile_width / 8, kPoolSmall, 0)) return false;
    for (uint32_t c = 0; c < band.count; ++c) {
        if (!G4StreamBegin(band.coders[c], tile_width ? tile_width : width)) return false;
    }
    return true;
}

bool CodeRows(BandCoders& band, const RasterImage* image) {
    for (uint32_t y = 0; y < image->height; ++y) {
        const uint8_t* row = RasterImageGetRow(image, y);
        if (!band.tile_width) {
            if (!G4StreamAddRow(band.coders[0], row)) return false;
            continue;
        }
        for (uint32_t c = 0; c < band.count; ++c) {
            const uint32_t x = c * band.tile_width;
            const uint32_t rest = image->width - x;
            TileRow(row, x, rest < band.tile_width ? rest : band.tile_width, band.tile_width,
                    band.row.data());
            if (!G4StreamAddRow(band.coders[c], band.row.data())) return false;
        }
    }
    return true;
}

// Tiles of the last band row are still whole tiles: white below the image.
bool PadTiles(BandCoders& band, uint32_t rows) {
    if (!band.tile_width || rows == 0) return true;
    memset(band.row.data(), 0xFF, band.tile_width / 8);
    for (uint32_t c = 0; c < band.count; ++c) {
        for (uint32_t y = 0; y < rows; ++y) {
            if (!G4StreamAddRow(band.coders[c], band.row.data())) return false;
        }
    }
    return true;
}

// Ends the coding of one strip or tile and stores it at its index.
bool TiffIfdAddG4Strip(TiffIfd* ifd, uint32_t index, G4StreamEncoder& coder, uint32_t compression) {
    if (compression != kTiffWriteGroup4) return false;
    Ref<TiffStrip> strip = MakeRef<TiffStrip>();
    if (!G4StreamFinish(coder, strip->bytes)) return false;
    strip->size = strip->bytes.size();
    return TiffStripListSet(ifd->strips.get(), index, strip.get());
}

// Rows rendered at once: the band, or a part of it within the budget.
uint32_t RowsPerRender(const BandPlan& plan, uint32_t band_rows) {
    const bool bilevel = plan.page->IsBilevel() && plan.width >= plan.page->PixelWidth();
    const uint64_t row_bytes = (uint64_t(plan.width) * (bilevel ? 1 : 24) + 31) / 32 * 4;
    const uint64_t fit = kBandBudgetBytes / row_bytes;
    if (fit == 0) return 1;
    return fit < band_rows ? uint32_t(fit) : band_rows;
}

bool CodeBand(TiffIfd* ifd, const BandPlan& plan, uint32_t band, uint32_t rows, uint32_t tile_width,
              uint32_t compression, ProgressSink* progress) {
    const uint32_t r0 = band * rows;
    const uint32_t r1 = r0 + rows < plan.height ? r0 + rows : plan.height;
    const uint32_t step = RowsPerRender(plan, r1 - r0);
    const uint32_t parts = (r1 - r0 + step - 1) / step;
    BandCoders coders;
    if (!BeginBand(coders, plan.width, tile_width)) return false;
    const bool pushed = ProgressPush(progress, 2 * parts);
    bool ok = true;
    for (uint32_t part = 0; part < parts && ok; ++part) {
        const uint32_t q0 = r0 + part * step;
        const uint32_t q1 = q0 + step < r1 ? q0 + step : r1;
        ProgressStep(progress, 2 * part);
        Ref<RasterImage> image = RenderRows(plan, q0, q1);
        ProgressStep(progress, 2 * part + 1);
        ok = image && CodeRows(coders, image.get());
    }
    if (pushed) ProgressPop(progress);
    ok = ok && PadTiles(coders, rows - (r1 - r0));
    const uint32_t first = band * coders.count;
    for (uint32_t c = 0; c < coders.count && ok; ++c) {
        ok = TiffIfdAddG4Strip(ifd, first + c, coders.coders[c], compression);
    }
    return ok;
}

// The size of the next reduced copy; false when there is none: no
// reduction, both sides down to the minimum, or a side that would reach 0.
bool NextLevel(uint32_t& w, uint32_t& h, uint32_t percent) {
    if (percent == 0) return false;
    const uint32_t next_w = uint32_t(uint64_t(w) * percent / 100);
    const uint32_t next_h = uint32_t(uint64_t(h) * percent / 100);
    if (next_w == 0 || next_h == 0 || (next_w <= kPyramidMinSide && next_h <= kPyramidMinSide)) return false;
    w = next_w;
    h = next_h;
    return true;
}

uint32_t PyramidLevels(uint32_t w, uint32_t h, uint32_t percent) {
    uint32_t levels = 1;
    while (NextLevel(w, h, percent)) ++levels;
    return levels;
}

}  // namespace

bool TiffIfdSetLayout(TiffIfd* ifd, uint32_t width, uint32_t height, uint32_t tile_width, uint32_t rows) {
    if (!ifd || width == 0 || height == 0 || rows == 0) return false;
    static constexpr uint16_t kLayoutTags[] = {256, 257, 273, 278, 279, 322, 323, 324, 325};
    for (uint16_t tag : kLayoutTags) TiffIfdRemoveEntry(ifd, tag);
    const bool tiled = tile_width != 0;
    const uint64_t across = tiled ? (uint64_t(width) + tile_width - 1) / tile_width : 1;
    const uint64_t n = across * ((uint64_t(height) + rows - 1) / rows);
    if (n > kMaxTiles) return false;
    ifd->width = width;
    ifd->height = height;
    ifd->tiled = tiled;
    bool ok = AddLongEntry(ifd, kTagImageWidth, 1, width) && AddLongEntry(ifd, kTagImageLength, 1, height);
    if (tiled) {
        ok = ok && AddLongEntry(ifd, kTagTileWidth, 1, tile_width) &&
             AddLongEntry(ifd, kTagTileLength, 1, rows) &&
             AddLongEntry(ifd, kTagTileOffsets, uint32_t(n), 0) &&
             AddLongEntry(ifd, kTagTileByteCounts, uint32_t(n), 0);
    } else {
        ok = ok && AddLongEntry(ifd, kTagRowsPerStrip, 1, rows) &&
             AddLongEntry(ifd, kTagStripOffsets, uint32_t(n), 0) &&
             AddLongEntry(ifd, kTagStripByteCounts, uint32_t(n), 0);
    }
    ifd->strips = ok ? TiffStripListCreate(uint32_t(n)) : nullptr;
    return ifd->strips != nullptr;
}

bool TiffIfdSetImage(TiffIfd* ifd, uint32_t width, uint32_t height, ImagePage* page, DataSource* source,
                     uint32_t compression, const TiffRenderOptions& options, uint32_t tile_width,
                     uint32_t rows, ProgressSink* progress) {
    if (!ifd || !page || compression != kTiffWriteGroup4 || width == 0 || height == 0) return false;
    if (page->PixelHeight() == 0 || !(page->DpiY() > 0)) return false;
    if (tile_width == 0 && (rows == 0 || rows > height)) rows = height;
    if (tile_width != 0 && rows == 0) rows = tile_width;
    if (!TiffIfdSetLayout(ifd, width, height, tile_width, rows)) return false;
    const BandPlan plan = {
        page, source, options, width, height, double(page->PixelHeight()) / height, 25.4 / page->DpiY()};
    const uint32_t bands = (height + rows - 1) / rows;
    const bool pushed = ProgressPush(progress, bands);
    bool ok = true;
    for (uint32_t band = 0; band < bands && ok; ++band) {
        ProgressStep(progress, band);
        ok = !ProgressIsCancelled(progress) &&
             CodeBand(ifd, plan, band, rows, tile_width, compression, progress);
    }
    if (pushed) ProgressPop(progress);
    ok = ok && AddLongEntry(ifd, kTagT6Options, 1, 0) && AddShortEntry(ifd, kTagCompression, 4) &&
         AddShortEntry(ifd, kTagPhotometric, 0);
    if (!ok) ifd->strips = nullptr;
    return ok;
}

Ref<TiffWriterPage> TiffDocAddPage(TiffDoc* doc, ImagePage* page, DataSource* source, uint32_t index,
                                   uint32_t tile_width, uint32_t rows, uint32_t reduction_percent,
                                   uint32_t compression, const TiffRenderOptions& options,
                                   ProgressSink* progress) {
    if (!doc || !page || compression != kTiffWriteGroup4) return nullptr;
    const uint32_t page_width = page->PixelWidth();
    const uint32_t page_height = page->PixelHeight();
    if (page_width == 0 || page_height == 0 || !(page->DpiX() > 0) || !(page->DpiY() > 0)) return nullptr;
    const uint32_t percent = reduction_percent > 99 ? 0 : reduction_percent;
    if (tile_width != 0) {
        tile_width = RoundUpTo16(tile_width);
        rows = RoundUpTo16(rows == 0 ? tile_width : rows);
        if (tile_width == 0 || rows == 0) return nullptr;
    }
    Ref<TiffWriterPage> result = MakeRef<TiffWriterPage>();
    uint32_t w = page_width;
    uint32_t h = page_height;
    const bool pushed = ProgressPush(progress, PyramidLevels(w, h, percent));
    for (uint32_t level = 0;; ++level) {
        ProgressStep(progress, level);
        Ref<TiffIfd> ifd = MakeRef<TiffIfd>();
        if (!TiffIfdSetImage(ifd.get(), w, h, page, source, compression, options, tile_width, rows,
                             progress) ||
            !AddResolution(ifd.get(), kTagXResolution, w, page->DpiX(), page_width) ||
            !AddResolution(ifd.get(), kTagYResolution, h, page->DpiY(), page_height) ||
            !AddShortEntry(ifd.get(), kTagResolutionUnit, 2) || PtrArrayAdd(result->ifds, ifd.get()) < 0) {
            if (pushed) ProgressPop(progress);
            return nullptr;
        }
        if (!NextLevel(w, h, percent)) break;
    }
    if (pushed) ProgressPop(progress);
    const uint32_t at = index < doc->pages.count ? index : doc->pages.count;
    if (!PtrArrayInsert(doc->pages, result.get(), at)) return nullptr;
    return result;
}
