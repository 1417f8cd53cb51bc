#include "imaging/formats/tiff/tiff_render.h"

#include <algorithm>
#include <utility>

#include "foundation/data_source.h"
#include "foundation/progress.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/codecs/jpeg_band_decoder.h"
#include "imaging/codecs/strip_decoder.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/sinks/raster_sink.h"

namespace {

constexpr uint32_t kStripReadBuffer = 16384;

enum TiffCompression : uint16_t {
    kTiffNone = 1,
    kTiffModifiedHuffman = 2,
    kTiffT4 = 3,
    kTiffT6 = 4,
    kTiffLzw = 5,
    kTiffOldJpeg = 6,
    kTiffJpeg = 7,
    kTiffPackBits = 32773,
};

enum TiffPhotometric : uint16_t {
    kWhiteIsZero = 0,
    kBlackIsZero = 1,
    kRgb = 2,
    kSeparated = 5,
    kYCbCr = 6,
    kCieLab = 8,
    kIccLab = 9,
    kItuLab = 10,
};

uint32_t UIntTag(const TiffDir* dir, uint16_t tag, uint32_t fallback) {
    uint32_t value = fallback;
    Ref<TiffDirEntry> entry = TiffDirFindEntry(dir, tag);
    if (!entry || !TiffDirEntryGetUInt(entry.get(), 0, &value)) return fallback;
    return value;
}

bool IsCcitt(uint16_t compression) { return compression >= kTiffModifiedHuffman && compression <= kTiffT6; }
bool IsJpeg(uint16_t compression) { return compression == kTiffOldJpeg || compression == kTiffJpeg; }

uint32_t ColourSamples(const TiffDir* dir) {
    return dir->samples_per_pixel > dir->extra_samples ? dir->samples_per_pixel - dir->extra_samples : 0;
}

// Variants whose samples the decoders would turn into garbage.
bool VariantDecodable(const TiffDir* dir) {
    if (dir->planar_configuration == 2 && dir->samples_per_pixel > 1) return false;
    if (dir->photometric == kYCbCr && !IsJpeg(dir->compression)) return false;
    return dir->photometric != kCieLab && dir->photometric != kIccLab && dir->photometric != kItuLab;
}

// ColorMap: three tables of 2^bits SHORT values (red, green, blue), of which
// the high bytes make the palette.
Ref<Palette> MakeColourMap(const TiffDir* dir) {
    const uint32_t entries = PaletteSizeForBits(dir->bits_per_sample);
    Ref<TiffDirEntry> map = TiffDirFindEntry(dir, kTagColorMap);
    if (!map || map->field_type != kTiffShort || entries == 0 || uint64_t(map->count) < 3ull * entries) {
        return nullptr;
    }
    Ref<Palette> palette = AdoptRef(new Palette);
    if (!PaletteInit(palette.get(), entries)) return nullptr;
    for (uint32_t i = 0; i < entries; ++i) {
        uint32_t red = 0, green = 0, blue = 0;
        TiffDirEntryGetUInt(map.get(), i, &red);
        TiffDirEntryGetUInt(map.get(), entries + i, &green);
        TiffDirEntryGetUInt(map.get(), 2 * entries + i, &blue);
        PaletteSetEntry(palette.get(), i, (red >> 8) << 16 | (green >> 8) << 8 | blue >> 8);
    }
    return palette;
}

std::unique_ptr<BandDecoder> MakeJpegDecoder(const TiffDir* dir) {
    MemBlock tables;
    uint32_t skip = 0;
    const uint8_t* bytes = nullptr;
    uint32_t length = 0;
    Ref<TiffDirEntry> entry = TiffDirFindEntry(dir, kTagJpegTables);
    // The tables stream ends in an end-of-image marker, which must not end the
    // stream that the strip's own data continue.
    if (entry && TiffDirEntryGetData(entry.get(), &bytes, &length) && length >= 3) {
        if (!MemSet(tables, bytes, length - 2, 0)) return nullptr;
        skip = 2;
    }
    auto decoder = std::make_unique<JpegBandDecoder>(dir->tile_width, tables, skip);
    if (decoder->failed) return nullptr;
    // The directory, not the stream's markers, says what the samples are.
    if (dir->photometric == kRgb) decoder->stored_colour = kJpegColourRgb;
    if (dir->photometric == kYCbCr) decoder->stored_colour = kJpegColourYCbCr;
    return decoder;
}

std::unique_ptr<BandDecoder> MakeStripDecoder(const TiffDir* dir) {
    const uint32_t colour = ColourSamples(dir);
    const uint16_t bits = dir->bits_per_sample;
    const bool single = colour == 1 && (bits == 1 || bits == 4 || bits == 8);
    if (!single && !(colour >= 3 && bits == 8)) return nullptr;
    uint32_t mode = kStripUncompressed;
    if (dir->compression == kTiffLzw)
        mode = UIntTag(dir, kTagPredictor, 1) == 2 ? kStripLzwPredictor : kStripLzw;
    if (dir->compression == kTiffPackBits) mode = kStripPackBits;
    const uint32_t model = dir->photometric == kSeparated ? kStripColourCmyk : kStripColourRgb;
    auto decoder = std::make_unique<StripDecoder>(dir->tile_width, bits, dir->samples_per_pixel,
                                                  dir->extra_samples, model, mode);
    if (decoder->IsFailed()) return nullptr;
    return decoder;
}

// Where the strips or tiles lie and which of them meet the fitted rectangle.
struct TileGrid {
    uint32_t tile_width = 0;
    uint32_t tile_length = 0;
    uint32_t across = 0;
    uint32_t down = 0;
    uint32_t first_column = 0, last_column = 0;
    uint32_t first_row = 0, last_row = 0;
    RectI fitted;
};

// `scale` > 1: the strips or tiles come reduced by that factor from the
// JPEG decoder, and `fitted` counts reduced pixels; the strips' numbering
// stays the stored one.
TileGrid MakeGrid(const TiffDir* dir, const RectI& fitted, uint32_t scale) {
    TileGrid grid;
    grid.tile_width = uint32_t((uint64_t(dir->tile_width) + scale - 1) / scale);
    grid.tile_length = uint32_t((uint64_t(dir->tile_length) + scale - 1) / scale);
    grid.across = uint32_t((uint64_t(dir->image_width) + dir->tile_width - 1) / dir->tile_width);
    grid.down = uint32_t((uint64_t(dir->image_length) + dir->tile_length - 1) / dir->tile_length);
    const uint32_t x = uint32_t(fitted.origin.x), y = uint32_t(fitted.origin.y);
    const uint32_t right = x + uint32_t(fitted.size.width) - 1, bottom = y + uint32_t(fitted.size.height) - 1;
    grid.first_column = x / grid.tile_width;
    grid.last_column = right / grid.tile_width;
    grid.first_row = y / grid.tile_length;
    grid.last_row = bottom / grid.tile_length;
    grid.fitted = fitted;
    return grid;
}

// The part of tile (row, column) inside the fitted rectangle, in the tile's
// own coordinates, and the tile's origin relative to the fitted rectangle.
void TilePart(const TileGrid& grid, uint32_t row, uint32_t column, RectI* part, PointI* origin) {
    const uint32_t x = uint32_t(grid.fitted.origin.x), y = uint32_t(grid.fitted.origin.y);
    const uint32_t right = x + uint32_t(grid.fitted.size.width) - 1;
    const uint32_t bottom = y + uint32_t(grid.fitted.size.height) - 1;
    const uint32_t left = column == grid.first_column ? x % grid.tile_width : 0;
    const uint32_t top = row == grid.first_row ? y % grid.tile_length : 0;
    const uint32_t end_x = column == grid.last_column ? right % grid.tile_width + 1 : grid.tile_width;
    const uint32_t end_y = row == grid.last_row ? bottom % grid.tile_length + 1 : grid.tile_length;
    RectISet(*part, int32_t(left), int32_t(top), int32_t(end_x - left), int32_t(end_y - top));
    origin->x = int32_t(int64_t(column) * grid.tile_width - x);
    origin->y = int32_t(int64_t(row) * grid.tile_length - y);
}

// Everything the strip loop works with.
struct StripRun {
    const TiffDir* dir = nullptr;
    RasterSink* sink = nullptr;
    ByteReader reader;
    Ref<TiffDirEntry> offsets;
    Ref<TiffDirEntry> byte_counts;  // may be null with a single strip
    uint32_t strip_count = 0;
    uint32_t file_size = 0;
    bool strict = true;
    ProgressSink* progress = nullptr;
    // Made before the sink, to learn whether any can be, and used for every
    // strip: each Decode starts afresh, and a page of a few rows per strip
    // would otherwise make thousands of decoders.
    std::unique_ptr<BandDecoder> decoder;
    bool decoded = false;
    bool failed = false;
};

enum class StripOutcome { kSkipped, kDecoded, kFailed };

// Decodes one strip or tile.
StripOutcome DecodeStrip(StripRun& run, const TileGrid& grid, uint32_t index, uint32_t row, uint32_t column) {
    uint32_t offset = 0, length = 0;
    TiffDirEntryGetUInt(run.offsets.get(), index, &offset);
    if (run.byte_counts) {
        TiffDirEntryGetUInt(run.byte_counts.get(), index, &length);
    } else {
        length = offset < run.file_size ? run.file_size - offset : 0;
    }
    if (int32_t(offset) < 8 || int32_t(length) < 1) {
        return offset == 0 && length == 0 ? StripOutcome::kSkipped : StripOutcome::kFailed;
    }
    // A byte count that runs past the end of a cut file: decode what is there.
    if (offset >= run.file_size) return StripOutcome::kFailed;
    length = std::min(length, run.file_size - offset);
    run.reader.error = false;  // a lenient render goes on after a short strip
    if (!ByteReaderStart(run.reader, offset, length, nullptr, 0)) return StripOutcome::kFailed;
    RectI part;
    PointI origin;
    TilePart(grid, row, column, &part, &origin);
    const bool ok =
        run.decoder->Decode(&run.reader, run.sink, grid.tile_length, &part, &origin, run.progress);
    return ok ? StripOutcome::kDecoded : StripOutcome::kFailed;
}

void DecodeStrips(StripRun& run, const TileGrid& grid) {
    const uint64_t steps = uint64_t(grid.across) * grid.down;
    const bool pushed = ProgressPush(run.progress, uint32_t(std::min<uint64_t>(steps, UINT32_MAX)));
    bool stop = false;
    for (uint32_t row = grid.first_row; row <= grid.last_row && !stop; ++row) {
        for (uint32_t column = grid.first_column; column <= grid.last_column && !stop; ++column) {
            stop = (run.failed && run.strict) || ProgressIsCancelled(run.progress);
            if (stop) break;
            const uint64_t index = uint64_t(row) * grid.across + column;
            const uint64_t step = uint64_t(row - grid.first_row) * grid.across + (column - grid.first_column);
            ProgressStep(run.progress, uint32_t(std::min<uint64_t>(step, UINT32_MAX)));
            if (index >= run.strip_count) continue;
            const StripOutcome outcome = DecodeStrip(run, grid, uint32_t(index), row, column);
            if (outcome == StripOutcome::kDecoded) run.decoded = true;
            if (outcome == StripOutcome::kFailed) run.failed = true;
        }
    }
    if (pushed) ProgressPop(run.progress);
}

// The request's mirroring and turn combined with the image's orientation.
PagePlacement OrientedPlacement(const TiffDir* dir, const PagePlacement& request,
                                const TiffOrientationMap& map) {
    PagePlacement placement = request;
    bool flip_x = request.flip_x != 0, flip_y = request.flip_y != 0;
    // A quarter turn of the stored rows makes the request's horizontal
    // mirror a vertical one of the stored image, and the other way round.
    if (map.rotation % 180 != 0) std::swap(flip_x, flip_y);
    placement.flip_x = uint8_t(flip_x != map.mirror_x);
    placement.flip_y = uint8_t(flip_y != map.mirror_y);
    placement.rotation = uint16_t((request.rotation % 360 + map.rotation) % 360);
    placement.invert = uint8_t((request.invert != 0) != (dir->photometric == kWhiteIsZero));
    return placement;
}

// The strip positions, checked; false when they are unusable.
bool FindStrips(const TiffDir* dir, StripRun& run) {
    run.offsets = TiffDirStripOffsets(dir);
    run.byte_counts = TiffDirStripByteCounts(dir);
    if (!run.offsets) return false;
    if (!run.byte_counts && run.offsets->count != 1) return false;
    run.strip_count = run.offsets->count;
    if (run.byte_counts) run.strip_count = std::min(run.strip_count, run.byte_counts->count);
    return true;
}

// The stored bit order of CCITT data is least significant bit first
// (FillOrder 2); every other compression reads most significant first.
bool KeepBitOrder(const TiffDir* dir) {
    const bool lsb_first = UIntTag(dir, kTagFillOrder, 1) != 1;
    return IsCcitt(dir->compression) ? lsb_first : !lsb_first;
}

// A reduced render of JPEG strips or tiles has libjpeg reduce each of them
// inside its inverse DCT, as a JPEG file's render does: the scale, with the
// run's source rectangle and image size turned into reduced pixels and the
// decoder set to deliver them. 1 (nothing changed) for other data or where
// no reduction keeps the target's pixels.
uint32_t ReduceJpegRun(const TiffDir* dir, const PagePlacement& placement, BandDecoder* decoder,
                       RenderRun& steps) {
    if (!IsJpeg(dir->compression)) return 1;
    const bool quarter_turn = placement.rotation == 90 || placement.rotation == 270;
    const uint32_t scale =
        JpegChooseScale(dir->image_width, dir->image_length, dir->tile_width, dir->tile_length,
                        quarter_turn ? placement.pixel_height : placement.pixel_width,
                        quarter_turn ? placement.pixel_width : placement.pixel_height, &steps.source);
    if (scale == 1) return 1;
    auto* jpeg = static_cast<JpegBandDecoder*>(decoder);
    jpeg->scale_denominator = scale;
    jpeg->row_width = uint32_t((uint64_t(dir->tile_width) + scale - 1) / scale);
    steps.image_width = uint32_t((uint64_t(dir->image_width) + scale - 1) / scale);
    steps.image_height = uint32_t((uint64_t(dir->image_length) + scale - 1) / scale);
    steps.image_rows = uint32_t((uint64_t(dir->tile_length) + scale - 1) / scale);
    return scale;
}

// Takes the runs a decoder delivers and keeps nothing: decoding into it
// only tells whether the data are sound.
class DiscardingSink : public RasterSink {
  public:
    bool IsFailed() const override { return false; }
    Ref<RasterImage> Finish(ProgressSink*, RenderToken*) override { return nullptr; }
    bool PutRuns(const uint32_t*, uint32_t, uint32_t, uint32_t, uint32_t) override { return true; }
    bool PutRow(uint16_t, const uint8_t*, uint32_t, uint32_t, uint32_t, uint32_t) override { return true; }
};

// Whether the single strip carries the image the way a PDF's CCITT filter
// reads it with its defaults (see TiffDirFindCodedGroup4).
bool CarriesAsPdfGroup4(const TiffDir* dir, bool invert) {
    if (dir->compression != kTiffT6 || dir->bits_per_sample != 1 || dir->samples_per_pixel != 1) return false;
    if (dir->tiled || dir->orientation != 1 || dir->colour_map_present) return false;
    if (dir->render_state == kTiffExcluded || dir->image_width == 0 || dir->image_length == 0) return false;
    if (dir->tile_length < dir->image_length) return false;
    if (UIntTag(dir, kTagFillOrder, 1) != 1 || UIntTag(dir, kTagT6Options, 0) != 0) return false;
    // The render shows white runs white when it ends up inverting.
    if (dir->photometric != kWhiteIsZero && dir->photometric != kBlackIsZero) return false;
    return invert != (dir->photometric == kWhiteIsZero);
}

// `cancel` (may be null) is polled for every row.
bool DecodesWhole(const TiffDir* dir, const uint8_t* bytes, uint32_t n, ProgressSink* cancel) {
    ByteReader reader;
    if (!ByteReaderInitBytes(reader, bytes, n, false)) return false;
    CcittDecoder decoder(dir->image_width, kCcittT6, 0);
    Ref<DiscardingSink> sink = MakeRef<DiscardingSink>();
    RectI whole;
    RectISet(whole, 0, 0, int32_t(dir->image_width), int32_t(dir->image_length));
    const PointI origin{0, 0};
    return decoder.Decode(&reader, sink.get(), dir->image_length, &whole, &origin, cancel) && !reader.error;
}

}  // namespace

bool TiffDirFindCodedGroup4(const TiffDir* dir, uint64_t source_size, bool invert, uint32_t* offset,
                            uint32_t* length) {
    if (!dir || !offset || !length || !CarriesAsPdfGroup4(dir, invert)) return false;
    StripRun run;
    if (!FindStrips(dir, run) || run.strip_count != 1) return false;
    uint32_t start = 0, size = 0;
    if (!TiffDirEntryGetUInt(run.offsets.get(), 0, &start)) return false;
    if (run.byte_counts ? !TiffDirEntryGetUInt(run.byte_counts.get(), 0, &size) : start >= source_size) {
        return false;
    }
    if (!run.byte_counts) size = uint32_t(std::min<uint64_t>(source_size - start, UINT32_MAX));
    // A strip cut short by the end of the file renders only in part.
    if (start < 8 || size == 0 || uint64_t(start) + size > source_size) return false;
    *offset = start;
    *length = size;
    return true;
}

bool TiffDirCodedGroup4(TiffDir* dir, DataSource* source, bool invert, MemBlock& out, uint32_t* length,
                        ProgressSink* cancel) {
    uint32_t offset = 0, size = 0;
    if (!source || !length || !TiffDirFindCodedGroup4(dir, source->size, invert, &offset, &size))
        return false;
    ByteReader reader;
    MemBlock bytes;
    if (!ByteReaderInit(reader, source, true, kStripReadBuffer) ||
        !ByteReaderStart(reader, offset, size, nullptr, 0) || ByteReaderReadAll(reader, bytes) != size) {
        return false;
    }
    if (dir->render_state != kTiffRenderedWhole && !DecodesWhole(dir, bytes.data(), size, cancel))
        return false;
    out = std::move(bytes);
    *length = size;
    return true;
}

std::unique_ptr<BandDecoder> TiffDirCreateDecoder(const TiffDir* dir, Ref<Palette>* palette) {
    if (palette) palette->Reset();
    if (!dir || !VariantDecodable(dir)) return nullptr;
    switch (dir->compression) {
        case kTiffModifiedHuffman:
            return std::make_unique<CcittDecoder>(dir->tile_width, kCcittModifiedHuffman, 0);
        case kTiffT4:
            return std::make_unique<CcittDecoder>(dir->tile_width, kCcittT4, UIntTag(dir, kTagT4Options, 0));
        case kTiffT6:
            return std::make_unique<CcittDecoder>(dir->tile_width, kCcittT6, UIntTag(dir, kTagT6Options, 0));
        case kTiffOldJpeg:
        case kTiffJpeg:
            return MakeJpegDecoder(dir);
        case kTiffNone:
        case kTiffLzw:
        case kTiffPackBits: {
            std::unique_ptr<BandDecoder> decoder = MakeStripDecoder(dir);
            if (decoder && palette && ColourSamples(dir) == 1) *palette = MakeColourMap(dir);
            return decoder;
        }
        default:
            return nullptr;
    }
}

uint16_t TiffDirRowBits(const TiffDir* dir) {
    const uint16_t bits = uint16_t(ColourSamples(dir) * dir->bits_per_sample);
    return bits == 32 ? 24 : bits;
}

Ref<RasterImage> TiffDirRender(TiffDir* dir, DataSource* source, const PagePlacement& request,
                               ProgressSink* progress, ImageStatus* failure) {
    RectI displayed;
    if (!dir || !source ||
        !RenderSourceRect(request, TiffDirDpiX(dir), TiffDirDpiY(dir), TiffDirPixelWidth(dir),
                          TiffDirPixelHeight(dir), &displayed)) {
        ImageStatusError(failure, kStatusNothingToRender);
        return nullptr;
    }
    TiffOrientationMap map;
    TiffDirMapRect(dir, displayed, map);
    const PagePlacement placement = OrientedPlacement(dir, request, map);

    StripRun run;
    run.dir = dir;
    run.strict = dir->render_state == kTiffUntried;
    run.progress = progress;
    run.file_size = uint32_t(std::min<uint64_t>(source->size, UINT32_MAX));
    Ref<Palette> palette;
    run.decoder = TiffDirCreateDecoder(dir, &palette);
    if (!run.decoder) {
        dir->render_state = kTiffExcluded;
        ImageStatusError(failure, kStatusUnsupported);
        return nullptr;
    }
    RenderRun steps;
    steps.source = map.stored;
    steps.image_width = dir->image_width;
    steps.image_height = dir->image_length;
    steps.image_rows = dir->tile_length;
    steps.bits_per_pixel = TiffDirRowBits(dir);
    steps.palette = palette.get();
    steps.decoder = run.decoder.get();
    steps.token_lock = &dir->lock;
    steps.token = &dir->token;
    // Whether the render covers the image, asked before any reduction
    // rounds the source rectangle outwards.
    const bool covers_image = RenderCoversImage(steps);
    const uint32_t scale = ReduceJpegRun(dir, placement, run.decoder.get(), steps);
    Ref<RasterSink> sink = RenderCreateSink(steps, placement);
    if (!sink || !FindStrips(dir, run) ||
        !ByteReaderInit(run.reader, source, KeepBitOrder(dir), kStripReadBuffer)) {
        dir->render_state = kTiffExcluded;
        ImageStatusError(failure, kStatusBadData);
        return nullptr;
    }
    run.sink = sink.get();

    const bool pushed = ProgressPush(progress, 2);
    ProgressStep(progress, 0);
    DecodeStrips(run, MakeGrid(dir, steps.source, scale));
    Ref<RasterImage> image;
    const bool cancelled = ProgressIsCancelled(progress);
    if (!cancelled && (!run.failed || (!run.strict && run.decoded)))
        image = RenderFinish(steps, sink.get(), progress);
    if (pushed) ProgressPop(progress);
    // A cancelled render says nothing about the image: its state stays.
    if (cancelled) return nullptr;
    if (!image) run.failed = true;
    if (run.failed) {
        dir->render_state = kTiffExcluded;
        ImageStatusError(failure, kStatusBadData);
        if (run.strict) return nullptr;
        return image;
    }
    if (covers_image) dir->render_state = kTiffRenderedWhole;
    return image;
}
