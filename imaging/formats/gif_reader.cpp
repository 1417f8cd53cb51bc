#include "imaging/formats/gif_reader.h"

#include <cstring>

#include "foundation/byte_buf.h"
#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/formats/format_readers.h"
#include "imaging/codecs/gif_decoder.h"
#include "imaging/formats/page_render_steps.h"

namespace {

constexpr uint32_t kParseBuffer = 1024;
constexpr uint32_t kRenderBuffer = 16384;
constexpr uint32_t kStagingBytes = 65536;
// Signature (6), logical screen descriptor (7), image descriptor (1 + 9),
// code size (1): nothing shorter holds an image.
constexpr uint64_t kMinimumFileSize = 17;

constexpr uint8_t kExtensionIntroducer = 0x21;
constexpr uint8_t kImageSeparator = 0x2C;
constexpr uint8_t kCommentLabel = 0xFE;
constexpr uint8_t kColourTableFlag = 0x80;
constexpr uint8_t kInterlaceFlag = 0x40;

uint16_t ReadU16(const uint8_t* bytes) { return uint16_t(bytes[0] | (bytes[1] << 8)); }

// The source position of the reader's next byte.
uint32_t ReaderPosition(const ByteReader& reader) { return reader.offset - (reader.fill - reader.read_pos); }

bool ReadByte(ByteReader& reader, uint8_t* byte) { return ByteReaderRead(reader, byte, 1); }

// ByteReaderSkip stops quietly at the end of the range; a skip that cannot
// be made whole fails here.
bool SkipExactly(ByteReader& reader, uint32_t n) {
    if (ByteReaderAvailable(reader) < n) return false;
    return ByteReaderSkip(reader, n);
}

// A colour table of 2^bits red, green, blue triples in a palette of the
// decoder's depth; entries the table does not fill stay black.
Ref<Palette> ReadColourTable(ByteReader& reader, uint16_t bits) {
    const uint32_t colours = 1u << bits;
    Ref<Palette> palette = AdoptRef(new Palette);
    if (!PaletteInit(palette.get(), 1u << GifPaletteDepth(bits))) return nullptr;
    memset(palette->entries, 0, palette->count * 4);
    uint8_t rgb[3 * 256];
    if (!ByteReaderRead(reader, rgb, 3 * colours)) return nullptr;
    for (uint32_t i = 0; i < colours; ++i) {
        palette->entries[i] = (uint32_t(rgb[3 * i]) << 16) | (uint32_t(rgb[3 * i + 1]) << 8) | rgb[3 * i + 2];
    }
    return palette;
}

// Data sub-blocks: a length byte, then that many bytes; a length of 0 or
// the end of the data ends them.
bool SkipSubBlocks(ByteReader& reader) {
    for (;;) {
        uint8_t length = 0;
        if (ByteReaderAvailable(reader) == 0) return true;
        if (!ReadByte(reader, &length)) return false;
        if (length == 0) return true;
        if (!SkipExactly(reader, length)) return false;
    }
}

// Each sub-block is ANSI text up to any NUL, appended to the description.
bool ReadComment(ByteReader& reader, WString& description) {
    for (;;) {
        uint8_t length = 0;
        char text[256];
        if (ByteReaderAvailable(reader) == 0) return true;
        if (!ReadByte(reader, &length)) return false;
        if (length == 0) return true;
        if (!ByteReaderRead(reader, text, length)) return false;
        text[length] = 0;
        WString piece;
        WStrAppend(description, WStrFromAnsi(piece, text));
    }
}

// Every extension is a label and data sub-blocks (the graphic control,
// plain text and application extensions carry their fixed fields in the
// first sub-block), so labels other than the comment's are skipped whole,
// unknown ones too.
bool ReadExtension(ByteReader& reader, WString& description) {
    uint8_t label = 0;
    if (!ReadByte(reader, &label)) return false;
    if (label == kCommentLabel) return ReadComment(reader, description);
    return SkipSubBlocks(reader);
}

struct ScreenInfo {
    uint16_t bits = 0;
    uint8_t aspect = 0;
};

bool ReadImage(ByteReader& reader, const ScreenInfo& screen, GifFormat& format, GifPage& page) {
    uint8_t descriptor[9];
    uint8_t code_size = 0;
    if (!ByteReaderRead(reader, descriptor, sizeof(descriptor))) return false;
    const uint8_t flags = descriptor[8];
    page.width = ReadU16(descriptor + 4);
    page.height = ReadU16(descriptor + 6);
    page.interlaced = (flags & kInterlaceFlag) ? 1 : 0;
    if (screen.aspect != 0) page.y_resolution = 25.4 * (screen.aspect + 15) / 64;
    if (flags & kColourTableFlag) {
        page.colour_table_bits = uint16_t((flags & 7) + 1);
        page.palette = ReadColourTable(reader, page.colour_table_bits);
        if (!page.palette) return false;
    } else {
        page.colour_table_bits = screen.bits;
        page.palette = format.global_palette;
    }
    page.palette_depth = GifPaletteDepth(page.colour_table_bits);
    if (!ReadByte(reader, &code_size)) return false;
    page.code_size = code_size;
    page.data_offset = ReaderPosition(reader);
    return true;
}

// The logical screen descriptor, the global colour table and the blocks up
// to the first image descriptor.
bool ReadFile(ByteReader& reader, GifFormat& format, GifPage& page) {
    uint8_t screen_descriptor[7];
    if (!ByteReaderRead(reader, screen_descriptor, sizeof(screen_descriptor))) return false;
    ScreenInfo screen;
    screen.bits = uint16_t((screen_descriptor[4] & 7) + 1);
    screen.aspect = screen_descriptor[6];
    if (screen_descriptor[4] & kColourTableFlag) {
        format.global_palette = ReadColourTable(reader, screen.bits);
        if (!format.global_palette) return false;
    }
    for (;;) {
        uint8_t block = 0;
        if (!ReadByte(reader, &block)) return false;
        if (block == kImageSeparator) return ReadImage(reader, screen, format, page);
        // The trailer, or anything else, before an image: no picture.
        if (block != kExtensionIntroducer || !ReadExtension(reader, page.description)) return false;
    }
}

// The image's data sub-blocks joined in memory, in a reader for the decoder.
// The end of the file before the terminating empty sub-block fails.
bool CollectImageData(DataSource* source, const GifPage& page, ByteReader& collected) {
    ByteReader reader;
    if (!source || page.data_offset >= page.file_size ||
        !ByteReaderInit(reader, source, true, kRenderBuffer) ||
        !ByteReaderStart(reader, page.data_offset, page.file_size - page.data_offset, nullptr, 0)) {
        return false;
    }
    Ref<ByteBuf> data = ByteBufCreate(0, 0, 0);
    BufWriter writer;
    if (!data || !BufWriterInit(writer, kStagingBytes, data.get())) return false;
    uint8_t block[255];
    for (;;) {
        uint8_t length = 0;
        if (!ReadByte(reader, &length)) return false;
        if (length == 0) break;
        if (!ByteReaderRead(reader, block, length) || !BufWriterAppend(writer, block, length)) return false;
    }
    if (!BufWriterFlush(writer) || ByteBufSize(data.get()) == 0) return false;
    return ByteReaderInitBytes(collected, ByteBufData(data.get()), ByteBufSize(data.get()), true);
}

}  // namespace

uint16_t GifPaletteDepth(uint16_t colour_table_bits) {
    if (colour_table_bits <= 1) return 1;
    return colour_table_bits <= 4 ? 4 : 8;
}

Ref<ImageFormat> GifParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                          uint32_t /*options*/) {
    if (!source) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    if (source->size < kMinimumFileSize || source->size > UINT32_MAX) {
        ImageStatusError(status, kStatusBadData);
        return nullptr;
    }
    ByteReader reader;
    uint8_t signature[6];
    if (!ByteReaderInit(reader, source, true, kParseBuffer) ||
        !ByteReaderStart(reader, 0, uint32_t(source->size), head, head ? head_count : 0) ||
        !ByteReaderRead(reader, signature, sizeof(signature))) {
        ImageStatusError(status, kStatusBadData);
        return nullptr;
    }
    if (memcmp(signature, "GIF8", 4) != 0 || (signature[4] != '7' && signature[4] != '9') ||
        signature[5] != 'a') {
        return nullptr;
    }
    Ref<GifFormat> format = AdoptRef(new GifFormat);
    Ref<GifPage> page = AdoptRef(new GifPage);
    format->version = signature[4] == '7' ? 87 : 89;
    page->file_size = uint32_t(source->size);
    if (!ReadFile(reader, *format, *page)) {
        ImageStatusError(status, kStatusBadData);
        return nullptr;
    }
    format->page = page;
    return format;
}

Ref<ImagePage> GifFormat::GetPage(uint32_t index) {
    if (index != 0) return nullptr;
    return Ref<ImagePage>(page.get());
}

bool GifFormat::GetInfo(FormatInfo* out) {
    if (!out) return false;
    out->format_name = WString(version == 87 ? L"Graphics Interchange Format (GIF87a)"
                                             : L"Graphics Interchange Format (GIF89a)");
    return true;
}

bool GifPage::GetInfo(PageInfo* out) {
    if (!out) return false;
    out->resolution_given = 0;
    out->image_count = 1;
    out->flagged_image_count = 0;
    out->bits_per_pixel = colour_table_bits;
    out->colour_palette = 1;
    out->grey = 0;
    out->description = description;
    out->software = WString();
    out->compression = kCompressionLzw;
    return true;
}

Ref<RasterImage> GifPage::Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                 ProgressSink* progress) {
    return GifPageRender(this, status, source, placement, progress);
}

Ref<RasterImage> GifPageRender(GifPage* page, ImageStatus* status, DataSource* source,
                               const PagePlacement* placement, ProgressSink* progress) {
    RenderRun run;
    if (!page || !placement ||
        !RenderSourceRect(*placement, page->x_resolution, page->y_resolution, page->width, page->height,
                          &run.source)) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    ByteReader collected;
    if (!CollectImageData(source, *page, collected)) return nullptr;
    GifDecoder decoder(page->width, page->colour_table_bits, page->interlaced != 0, page->code_size);
    run.image_width = page->width;
    run.image_height = page->height;
    run.image_rows = page->height;
    run.bits_per_pixel = page->palette_depth;
    run.palette = page->palette.get();
    run.decoder = &decoder;
    run.reader = &collected;
    run.token_lock = &page->token_lock;
    run.token = &page->token;
    return RenderDecode(run, *placement, progress);
}
