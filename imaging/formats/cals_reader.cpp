#include "imaging/formats/cals_reader.h"

#include <cstring>

#include "foundation/data_reader.h"
#include "foundation/data_source.h"
#include "imaging/codecs/byte_reader.h"
#include "imaging/codecs/ccitt_band_decoder.h"
#include "imaging/formats/format_readers.h"
#include "imaging/formats/page_render_steps.h"
#include "imaging/raster/raster_image.h"

namespace {

constexpr uint32_t kMaxKeyLength = 49;
constexpr uint32_t kRenderBuffer = 16384;

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

bool IsSpace(char c) { return c == ' ' || (c >= 9 && c <= 13); }

bool RecordHasKey(const char* record, const char* key, uint32_t key_length) {
    for (uint32_t i = 0; i < key_length; ++i) {
        if (LowerAscii(record[i]) != LowerAscii(key[i])) return false;
    }
    return record[key_length] == ':' && IsBlank(record[key_length + 1]);
}

// Decimal digits only, surrounded by white space at most; leading zeros do
// not make the number octal. False for anything else or above `limit`.
bool ParseDecimal(const char* text, uint32_t n, uint32_t limit, uint32_t* value) {
    while (n > 0 && IsSpace(text[n - 1])) --n;
    while (n > 0 && IsSpace(*text)) ++text, --n;
    if (n == 0) return false;
    uint64_t number = 0;
    for (uint32_t i = 0; i < n; ++i) {
        if (text[i] < '0' || text[i] > '9') return false;
        number = number * 10 + uint32_t(text[i] - '0');
        if (number > limit) return false;
    }
    *value = uint32_t(number);
    return true;
}

// "rpelcnt": pixels per line, then lines, separated by a comma.
bool ParsePixelCount(const AString& value, uint32_t* width, uint32_t* height) {
    const char* text = AStrCStr(value);
    const char* comma = strchr(text, ',');
    if (!comma) return false;
    const uint32_t first = uint32_t(comma - text);
    return ParseDecimal(text, first, kRasterMaxSide, width) &&
           ParseDecimal(comma + 1, AStrLength(value) - first - 1, kRasterMaxSide, height) && *width >= 1 &&
           *height >= 1;
}

// The record is "rdensty" in the CALS standard and in what other tools
// write; "rdensity" is taken too.
uint32_t ReadDensity(const uint8_t* header) {
    AString value;
    uint32_t density = 0;
    if (!CalsGetField(header, "rdensty", value)) CalsGetField(header, "rdensity", value);
    if (!ParseDecimal(AStrCStr(value), AStrLength(value), UINT32_MAX, &density) || density < 1) {
        return kCalsDefaultDensity;
    }
    return density;
}

// "rtype" and "dtype", where given, must name raster type 1.
bool IsTypeOne(const uint8_t* header) {
    AString value;
    for (const char* key : {"rtype", "dtype"}) {
        if (CalsGetField(header, key, value) && !AStrEqualsChars(value, "1")) return false;
    }
    return true;
}

Ref<ImageFormat> Fail(ImageStatus* status, int32_t code) {
    ImageStatusError(status, code);
    return nullptr;
}

}  // namespace

bool CalsGetField(const uint8_t* header, const char* key, AString& value) {
    AStrClear(value);
    const uint32_t key_length = key ? uint32_t(strnlen(key, kMaxKeyLength + 1)) : 0;
    if (!header || key_length < 1 || key_length > kMaxKeyLength) return false;
    for (uint32_t i = 0; i < kCalsHeaderRecords; ++i) {
        const char* record = reinterpret_cast<const char*>(header + i * kCalsRecordBytes);
        if (!RecordHasKey(record, key, key_length)) continue;
        const char* text = record + key_length + 2;
        const uint32_t limit = kCalsRecordBytes - 2 - key_length;
        AStrAssignN(value, text, uint32_t(strnlen(text, limit)));
        AStrTrim(value);
        if (AStrEqualsNoCase(value, "NONE")) AStrClear(value);
        return AStrLength(value) > 0;
    }
    return false;
}

Ref<ImageFormat> CalsParse(ImageStatus* status, DataSource* source, const uint8_t* head, uint32_t head_count,
                           uint32_t /*options*/) {
    if (!source) return Fail(status, kStatusNothingToRender);
    uint8_t header[kCalsHeaderBytes];
    if (head && head_count >= kCalsHeaderBytes) {
        memcpy(header, head, kCalsHeaderBytes);
    } else {
        bool changed = false;
        Ref<DataReader> reader = DataSourceOpenReader(source, changed);
        if (!reader ||
            DataSourceRead(reader.get(), 0, kCalsHeaderBytes, header) != int32_t(kCalsHeaderBytes)) {
            return Fail(status, kStatusShortRead);
        }
    }
    if (!IsTypeOne(header)) return Fail(status, kStatusBadData);
    Ref<CalsPage> page = AdoptRef(new CalsPage);
    AString value;
    if (!CalsGetField(header, "rpelcnt", value) || !ParsePixelCount(value, &page->width, &page->height) ||
        source->size > UINT32_MAX) {
        return Fail(status, kStatusUnsupported);
    }
    if (CalsGetField(header, "notes", value)) WStrFromAnsi(page->notes, value);
    page->density = ReadDensity(header);
    page->file_size = uint32_t(source->size);
    Ref<CalsFormat> format = AdoptRef(new CalsFormat);
    format->page = page;
    return format;
}

Ref<ImagePage> CalsFormat::GetPage(uint32_t index) {
    if (index != 0) return nullptr;
    return Ref<ImagePage>(page.get());
}

bool CalsFormat::GetInfo(FormatInfo* out) {
    if (!out) return false;
    out->format_name = WString(L"CALS Type 1");
    return true;
}

bool CalsPage::GetInfo(PageInfo* out) {
    if (!out) return false;
    out->resolution_given = 1;
    out->image_count = 1;
    out->flagged_image_count = 0;
    out->bits_per_pixel = 1;
    out->colour_palette = 0;
    out->grey = 1;
    out->description = notes;
    out->software = WString();
    out->compression = kCompressionT6;
    return true;
}

Ref<RasterImage> CalsPage::Render(ImageStatus* status, DataSource* source, const PagePlacement* placement,
                                  ProgressSink* progress) {
    return CalsPageRender(this, status, source, placement, progress);
}

namespace {

Ref<RasterImage> DecodeCals(CalsPage& page, DataSource* source, const PagePlacement& placement,
                            RenderRun& run, ProgressSink* progress) {
    // Group 4 codes are read most significant bit first; the bit reader
    // takes them from the low end.
    ByteReader reader;
    if (!ByteReaderInit(reader, source, false, kRenderBuffer) ||
        !ByteReaderStart(reader, kCalsDataOffset, page.file_size - kCalsDataOffset, nullptr, 0)) {
        return nullptr;
    }
    CcittDecoder decoder(page.width, kCcittT6, 0);
    // The decoder sets the black runs, which a 1-bit image without palette
    // shows white: like a TIFF of PhotometricInterpretation 0, the page
    // turns the request's invert around so that drawings show black on
    // white, as other viewers show them.
    PagePlacement request = placement;
    request.invert = placement.invert ? 0 : 1;
    run.image_width = page.width;
    run.image_height = page.height;
    run.image_rows = page.height;
    run.bits_per_pixel = 1;
    run.decoder = &decoder;
    run.reader = &reader;
    run.token_lock = &page.token_lock;
    run.token = &page.token;
    return RenderDecode(run, request, progress);
}

}  // namespace

Ref<RasterImage> CalsPageRender(CalsPage* page, ImageStatus* status, DataSource* source,
                                const PagePlacement* placement, ProgressSink* progress) {
    Ref<RasterImage> image;
    RenderRun run;
    if (page && placement && source && page->file_size > kCalsDataOffset &&
        RenderSourceRect(*placement, page->density, page->density, page->width, page->height, &run.source)) {
        image = DecodeCals(*page, source, *placement, run, progress);
    }
    if (!image) ImageStatusError(status, kStatusBadData);
    return image;
}
