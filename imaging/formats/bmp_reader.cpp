#include "imaging/formats/bmp_reader.h"

#include <algorithm>
#include <cstring>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/codecs/rle_decoder.h"
#include "imaging/codecs/strip_decoder.h"

namespace {

constexpr uint32_t kFileHeaderBytes = 14;
constexpr uint32_t kHeaderBytes = 54;  // file header and BITMAPINFOHEADER
constexpr uint32_t kInfoHeaderBytes = 40;
constexpr uint32_t kRenderBuffer = 16384;
constexpr int64_t kMaxSide = 1000000;

constexpr uint32_t kBiRgb = 0;
constexpr uint32_t kBiRle8 = 1;
constexpr uint32_t kBiRle4 = 2;

uint32_t ReadU32(const uint8_t* bytes) {
    return uint32_t(bytes[0]) | (uint32_t(bytes[1]) << 8) | (uint32_t(bytes[2]) << 16) |
           (uint32_t(bytes[3]) << 24);
}

uint16_t ReadU16(const uint8_t* bytes) { return uint16_t(bytes[0] | (bytes[1] << 8)); }

// The header fields the reader looks at.
struct BmpHeader {
    uint32_t data_offset = 0;  // bfOffBits
    uint32_t header_size = 0;  // biSize
    int64_t width = 0;
    int64_t height = 0;  // negative: rows stored top line first
    uint16_t planes = 0;
    uint16_t bit_count = 0;
    uint32_t compression = 0;
    uint32_t image_size = 0;
    int32_t x_pels_per_metre = 0;
    int32_t y_pels_per_metre = 0;
    uint32_t colours_used = 0;
};

BmpHeader DecodeHeader(const uint8_t* bytes) {
    BmpHeader header;
    header.data_offset = ReadU32(bytes + 10);
    header.header_size = ReadU32(bytes + 14);
    header.width = int32_t(ReadU32(bytes + 18));
    header.height = int32_t(ReadU32(bytes + 22));
    header.planes = ReadU16(bytes + 26);
    header.bit_count = ReadU16(bytes + 28);
    header.compression = ReadU32(bytes + 30);
    header.image_size = ReadU32(bytes + 34);
    header.x_pels_per_metre = int32_t(ReadU32(bytes + 38));
    header.y_pels_per_metre = int32_t(ReadU32(bytes + 42));
    header.colours_used = ReadU32(bytes + 46);
    return header;
}

bool IsSupported(const BmpHeader& header) {
    if (header.header_size < kInfoHeaderBytes || header.planes != 1) return false;
    if (header.width <= 0 || header.width > kMaxSide) return false;
    if (header.height == 0 || header.height > kMaxSide || header.height < -kMaxSide) return false;
    const uint16_t bits = header.bit_count;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24) return false;
    if (header.compression == kBiRgb) return true;
    // Run-length data are defined for bottom-up files only.
    const bool coded =
        (header.compression == kBiRle4 && bits == 4) || (header.compression == kBiRle8 && bits == 8);
    return coded && header.image_size != 0 && header.height > 0;
}

uint64_t RowStride(uint64_t width, uint16_t bits) { return ((width * bits + 31) >> 5) * 4; }

// Pixels per metre to dots per inch; 0 (or a negative value) states nothing.
double Resolution(int32_t pels_per_metre, uint8_t* given) {
    if (pels_per_metre <= 0) return 25.4;
    *given = 1;
    return pels_per_metre * 0.0254;
}

// Entries the colour table holds: biClrUsed, 0 meaning (and more than
// that cut to) 2^bits; none for 24 bits.
uint32_t TableEntries(const BmpHeader& header) {
    const uint32_t size = PaletteSizeForBits(header.bit_count);
    return header.colours_used == 0 || header.colours_used > size ? size : header.colours_used;
}

// n bytes at `offset`: from the file's first bytes when they hold them (head
// may be null), else read from the source.
bool ReadFileBytes(DataSource* source, const uint8_t* head, uint32_t head_count, uint64_t offset, uint32_t n,
                   uint8_t* out) {
    if (head && offset + n <= head_count) {
        memcpy(out, head + offset, n);
        return true;
    }
    bool changed = false;
    Ref<DataReader> reader = DataSourceOpenReader(source, changed);
    return reader && DataSourceRead(reader.get(), offset, n, out) == int32_t(n);
}

// The colour table: biClrUsed entries of blue, green, red, reserved right
// after the info header (0 meaning all 2^bits), in a palette of 2^bits
// entries whose unused tail stays black.
Ref<Palette> ReadPalette(DataSource* source, const uint8_t* head, uint32_t head_count,
                         const BmpHeader& header) {
    const uint32_t size = PaletteSizeForBits(header.bit_count);
    const uint32_t used = TableEntries(header);
    const uint64_t offset = uint64_t(kFileHeaderBytes) + header.header_size;
    uint8_t table[256 * 4];
    if (!ReadFileBytes(source, head, head_count, offset, used * 4, table)) return nullptr;
    Ref<Palette> palette = AdoptRef(new Palette);
    if (!PaletteInit(palette.get(), size)) return nullptr;
    memset(palette->entries, 0, size * 4);
    for (uint32_t i = 0; i < used; ++i) palette->entries[i] = ReadU32(table + 4 * i) & 0xFFFFFF;
    return palette;
}

// Where the pixels lie: from bfOffBits (right after the colour table when
// the field is 0), checked against the header and the file.
bool PlaceData(const BmpHeader& header, uint64_t file_size, BmpPage& page) {
    const uint64_t header_end = uint64_t(kFileHeaderBytes) + header.header_size;
    const uint64_t offset =
        header.data_offset != 0 ? header.data_offset : header_end + 4ull * TableEntries(header);
    if (offset < header_end || offset >= file_size) return false;
    page.data_offset = uint32_t(offset);
    if (page.run_length_coded) {
        // An overstated size would make the reader fail on the file's end.
        page.data_size = uint32_t(std::min<uint64_t>(header.image_size, file_size - offset));
        return true;
    }
    const uint64_t data_size = uint64_t(page.row_stride) * page.height;
    if (data_size > UINT32_MAX) return false;
    page.data_size = uint32_t(data_size);
    return true;
}

Ref<ImageFormat> Fail(ImageStatus* status, int32_t code) {
    ImageStatusError(status, code);
    return nullptr;
}

}  // namespace

Ref<ImageFormat> BmpParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                          uint32_t /*options*/) {
    if (!source) return Fail(status, kStatusNothingToRender);
    uint8_t bytes[kHeaderBytes];
    if (!ReadFileBytes(source, head, head_count, 0, kHeaderBytes, bytes)) {
        return Fail(status, kStatusShortRead);
    }
    if (bytes[0] != 'B' || bytes[1] != 'M') return Fail(status, kStatusBadData);
    const BmpHeader header = DecodeHeader(bytes);
    if (!IsSupported(header)) return Fail(status, kStatusUnsupported);

    Ref<BmpPage> page = AdoptRef(new BmpPage);
    page->width = uint32_t(header.width);
    page->height = uint32_t(header.height < 0 ? -header.height : header.height);
    page->top_down = header.height < 0 ? 1 : 0;
    page->bit_count = header.bit_count;
    page->row_stride = uint32_t(RowStride(page->width, page->bit_count));
    page->run_length_coded = header.compression != kBiRgb ? 1 : 0;
    page->x_resolution = Resolution(header.x_pels_per_metre, &page->resolution_given);
    page->y_resolution = Resolution(header.y_pels_per_metre, &page->resolution_given);
    if (!PlaceData(header, source->size, *page)) return Fail(status, kStatusBadData);
    if (page->bit_count < 24) {
        page->palette = ReadPalette(source, head, head_count, header);
        if (!page->palette) return Fail(status, kStatusBadData);
        // A plain grey ramp is no colour table: the page renders grey, with
        // the invert sense reversed for a ramp from white to black.
        uint8_t descending = 0;
        if (PaletteIsGreyRamp(page->palette.get(), &descending)) {
            page->palette.Reset();
            page->descending_grey = descending;
        }
    }
    Ref<BmpFormat> format = AdoptRef(new BmpFormat);
    format->page = page;
    return format;
}

Ref<ImagePage> BmpFormat::GetPage(uint32_t index) {
    if (index != 0) return nullptr;
    return Ref<ImagePage>(page.get());
}

bool BmpFormat::GetInfo(FormatInfo* out) {
    if (!out) return false;
    out->format_name = WString(L"Windows Bitmap (BMP)");
    return true;
}

bool BmpPage::GetInfo(PageInfo* out) {
    if (!out) return false;
    out->resolution_given = resolution_given;
    out->image_count = 1;
    out->flagged_image_count = 0;
    out->bits_per_pixel = bit_count;
    out->colour_palette = palette ? 1 : 0;
    out->grey = !palette && bit_count != 24 ? 1 : 0;
    out->description = WString();
    out->software = WString();
    out->compression = run_length_coded ? kCompressionRunLength : kCompressionNone;
    return true;
}

Ref<RasterImage> BmpPage::Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                 ProgressSink* progress) {
    return BmpPageRender(this, status, source, placement, progress);
}

namespace {

// The request in the file's row order: a bottom-up file's first stored row
// is the picture's bottom line, so the rectangle is mirrored top to bottom
// and the sink's flip y reversed.
PagePlacement FileOrderRequest(const BmpPage& page, const PagePlacement& placement) {
    PagePlacement request = placement;
    if (!page.top_down) {
        request.rect.origin.y = page.HeightMm() - placement.rect.origin.y - placement.rect.size.height;
        request.flip_y = placement.flip_y ? 0 : 1;
    }
    request.invert = uint8_t((placement.invert ? 1 : 0) ^ page.descending_grey);
    return request;
}

Ref<RasterImage> DecodeBmp(BmpPage& page, DataSource* source, const PagePlacement& request, RenderRun& run,
                           ProgressSink* progress) {
    ByteReader reader;
    if (!ByteReaderInit(reader, source, true, kRenderBuffer) ||
        !ByteReaderStart(reader, page.data_offset, page.data_size, nullptr, 0)) {
        return nullptr;
    }
    run.image_width = page.width;
    run.image_height = page.height;
    run.image_rows = page.height;
    run.bits_per_pixel = page.bit_count;
    run.palette = page.palette.get();
    run.reader = &reader;
    run.token_lock = &page.token_lock;
    run.token = &page.token;
    if (page.run_length_coded) {
        RleDecoder decoder(page.width, page.bit_count);
        run.decoder = &decoder;
        return RenderDecode(run, request, progress);
    }
    const bool colour = page.bit_count == 24;
    StripDecoder decoder(page.width, colour ? 8 : page.bit_count, colour ? 3 : 1, 0, kStripColourNone,
                         kStripUncompressedPadded);
    run.decoder = &decoder;
    return RenderDecode(run, request, progress);
}

}  // namespace

Ref<RasterImage> BmpPageRender(BmpPage* page, ImageStatus* status, DataSource* source,
                               const PagePlacement* placement, ProgressSink* progress) {
    Ref<RasterImage> image;
    if (page && placement && source) {
        const PagePlacement request = FileOrderRequest(*page, *placement);
        RenderRun run;
        if (RenderSourceRect(request, page->x_resolution, page->y_resolution, page->width, page->height,
                             &run.source)) {
            image = DecodeBmp(*page, source, request, run, progress);
        }
    }
    if (!image) ImageStatusError(status, kStatusBadData);
    return image;
}
