// Building the document: objects, pages and their images.
#include "imaging/writers/pdf_writer.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "foundation/pool.h"

namespace {

constexpr double kPointsPerMm = 2.834645669;
constexpr double kMinPageSideMm = 0.1;
constexpr uint32_t kMinBodyCapacity = 256;
// Image data stay below what the /Length field and a pool block can carry.
constexpr uint64_t kMaxImageBytes = 0xF0000000u;
constexpr char kFontBody[] =
    "<< /Type /Font\r\n/Subtype /Type1\r\n/Name /F1\r\n/BaseFont /Helvetica\r\n/Encoding "
    "/WinAnsiEncoding\r\n>>\r\n";
constexpr char kResourcesStart[] = "/Resources << /ProcSet [/PDF /Text /ImageB /ImageC]\r\n";
constexpr char kStreamEnd[] = "\r\nendstream\r\n";
constexpr char kObjectEnd[] = "endobj\r\n";

bool Reserve(PdfObject* object, uint64_t more) {
    const uint64_t need = uint64_t(object->length) + more;
    if (need > kPoolMaxBlock) return false;
    const uint32_t size = object->body.size();
    if (need <= size) return true;
    uint64_t grown = uint64_t(size) * 2;
    if (grown < need) grown = need;
    if (grown < kMinBodyCapacity) grown = kMinBodyCapacity;
    if (grown > kPoolMaxBlock) grown = kPoolMaxBlock;
    return MemResize(object->body, uint32_t(grown), 0);
}

bool Usable(const PdfPage* page) {
    return page && page->document && !page->document->failed && !page->document->finished;
}

uint32_t RowBytes(uint32_t width, uint32_t bits) { return uint32_t((uint64_t(width) * bits + 7) / 8); }

// Writes "N 0 obj" and the body so far, recording the offset.
bool WriteObjectHead(OutStream* stream, uint64_t start, PdfObject* object) {
    object->offset = OutStreamPosition(*stream) - start;
    char line[32];
    const int n = snprintf(line, sizeof line, "%u 0 obj\r\n", object->number);
    OutStreamWrite(*stream, line, uint32_t(n));
    OutStreamWrite(*stream, object->body.data(), object->length);
    return !stream->failed;
}

// In a streaming document the object's head goes out now and later bytes
// of it follow straight into the stream.
bool StartObject(PdfDocument* doc, PdfObject* object) {
    if (!doc->stream) return true;
    if (!WriteObjectHead(doc->stream, doc->stream_start, object)) return false;
    MemFree(object->body);
    object->length = 0;
    object->written = true;
    return true;
}

bool ObjectBytes(PdfDocument* doc, PdfObject* object, const void* bytes, uint32_t n) {
    if (!object->written) return PdfObjectAppend(object, bytes, n);
    OutStreamWrite(*doc->stream, bytes, n);
    return !doc->stream->failed;
}

bool EndObject(PdfDocument* doc, PdfObject* object) {
    if (!object->written) return true;
    return ObjectBytes(doc, object, kObjectEnd, sizeof kObjectEnd - 1);
}

void CloseFill(PdfImageFill& fill) {
    fill.page = nullptr;
    fill.object = nullptr;
    MemFree(fill.scratch);
}

bool Spoil(PdfDocument* doc) {
    doc->failed = true;
    CloseFill(doc->fill);
    return false;
}

// The image's placement in the content text and its name in the page's
// XObject list.
bool PlaceImage(PdfPage* page, const RectD& place, uint16_t name, const PdfObject* object) {
    char text[200];
    const int32_t y = MmToPdfPoints(page->size.height - (place.origin.y + place.size.height));
    int n = snprintf(text, sizeof text, "q\r\n%d 0 0 %d %d %d cm\r\n/Bild%u Do\r\nQ\r\n",
                     MmToPdfPoints(place.size.width), MmToPdfPoints(place.size.height),
                     MmToPdfPoints(place.origin.x), y, unsigned(name));
    if (!AStrBuilderAppendN(page->content, text, uint32_t(n))) return false;
    n = snprintf(text, sizeof text, "/Bild%u %u 0 R\r\n", unsigned(name), object->number);
    return AStrBuilderAppendN(page->xobjects, text, uint32_t(n));
}

PdfObject* NewIndexedColourSpace(PdfDocument* doc, uint16_t bits, const uint8_t* palette) {
    PdfObject* object = PdfNewObject(doc->objects);
    if (!object) return nullptr;
    const uint32_t entries = 1u << bits;
    bool ok =
        PdfObjectPrint(object, "[/Indexed /DeviceRGB %u <", entries - 1) && Reserve(object, entries * 7 + 8);
    for (uint32_t i = 0; ok && i < entries; ++i) {
        const uint8_t* rgb = palette + i * 3;
        ok = PdfObjectPrint(object, "%02x%02x%02x ", rgb[0], rgb[1], rgb[2]);
    }
    ok = ok && PdfObjectAppendText(object, ">\r\n]\r\n");
    ok = ok && StartObject(doc, object) && EndObject(doc, object);
    return ok ? object : nullptr;
}

bool ImageHeader(PdfObject* object, uint16_t name, uint32_t width, uint32_t height, uint32_t bits,
                 uint32_t length) {
    return PdfObjectPrint(object,
                          "<<\r\n/Type /XObject\r\n/Subtype /Image\r\n/Name /Bild%u\r\n/Width %u\r\n/Height "
                          "%u\r\n/BitsPerComponent %u\r\n/Length %u\r\n",
                          unsigned(name), width, height, bits, length);
}

bool ColourSpaceLine(PdfObject* object, uint16_t bits, const PdfObject* indexed) {
    if (indexed) return PdfObjectPrint(object, "/ColorSpace %u 0 R\r\n", indexed->number);
    return PdfObjectAppendText(object,
                               bits == 24 ? "/ColorSpace /DeviceRGB\r\n" : "/ColorSpace /DeviceGray\r\n");
}

void SwapRedBlue(uint8_t* row, uint32_t width) {
    for (uint32_t x = 0; x < width; ++x, row += 3) {
        const uint8_t blue = row[0];
        row[0] = row[2];
        row[2] = blue;
    }
}

bool AddRow(PdfDocument* doc, const uint8_t* row, bool swap) {
    PdfImageFill& fill = doc->fill;
    const uint32_t width = fill.width;
    PdfObject* object = fill.object;
    if (!swap) return ObjectBytes(doc, object, row, fill.row_bytes);
    if (object->written) {
        memcpy(fill.scratch.data(), row, fill.row_bytes);
        SwapRedBlue(fill.scratch.data(), width);
        return ObjectBytes(doc, object, fill.scratch.data(), fill.row_bytes);
    }
    const uint32_t at = object->length;
    if (!PdfObjectAppend(object, row, fill.row_bytes)) return false;
    SwapRedBlue(object->body.data() + at, width);
    return true;
}

}  // namespace

int32_t MmToPdfPoints(double mm) {
    // Truncated toward zero; beyond the 32-bit range the cast would be undefined.
    const double points = mm * kPointsPerMm + 0.5;
    if (std::isnan(points)) return 0;
    if (points >= 2147483647.0) return INT32_MAX;
    if (points <= -2147483648.0) return INT32_MIN;
    return int32_t(points);
}

PdfObject* PdfNewObject(PdfObjectList& list) {
    Ref<PdfObject> object = AdoptRef(new PdfObject);
    object->number = list.objects.count + 1;
    if (PtrArrayAdd(list.objects, object.get()) < 0) return nullptr;
    return object.get();
}

bool PdfObjectAppend(PdfObject* object, const void* bytes, uint32_t n) {
    if (n == 0) return true;
    if (!bytes || !Reserve(object, n)) return false;
    memcpy(object->body.data() + object->length, bytes, n);
    object->length += n;
    return true;
}

bool PdfObjectAppendText(PdfObject* object, const char* text) {
    return PdfObjectAppend(object, text, uint32_t(strlen(text)));
}

bool PdfObjectPrint(PdfObject* object, const char* format, ...) {
    char text[512];
    va_list arguments;
    va_start(arguments, format);
    const int n = vsnprintf(text, sizeof text, format, arguments);
    va_end(arguments);
    if (n < 0 || n >= int(sizeof text)) return false;
    return PdfObjectAppend(object, text, uint32_t(n));
}

bool PdfFontInit(PdfFont& font, PdfObjectList& objects) {
    font.objects = &objects;
    font.object = PdfNewObject(objects);
    return font.object && PdfObjectAppendText(font.object, kFontBody);
}

PdfDocument::~PdfDocument() {
    for (uint32_t i = 0; i < pages.count; ++i) static_cast<PdfPage*>(pages.items[i])->document = nullptr;
    if (WStrLength(file_path) == 0) return;
    // A file that never got its end is no PDF: it goes.
    file_stream.reset();
    file.Close();
    DeleteFileW(WStrCStr(file_path));
}

Ref<PdfDocument> PdfDocumentNew(uint32_t option, const WString& title, const WString& subject,
                                const WString& author, const WString& creator) {
    Ref<PdfDocument> doc = AdoptRef(new PdfDocument);
    doc->option = option;
    AStrFromWide(doc->title, title);
    AStrFromWide(doc->subject, subject);
    AStrFromWide(doc->author, author);
    AStrFromWide(doc->creator, creator);
    doc->info = PdfNewObject(doc->objects);
    doc->catalog = PdfNewObject(doc->objects);
    doc->pages_object = PdfNewObject(doc->objects);
    if (!doc->info || !doc->catalog || !doc->pages_object || !PdfFontInit(doc->font, doc->objects))
        return nullptr;
    return doc;
}

Ref<PdfPage> PdfAddPage(PdfDocument* doc, const SizeD& size_mm) {
    if (!doc || doc->failed || doc->finished) return nullptr;
    if (!(size_mm.width > kMinPageSideMm && size_mm.height > kMinPageSideMm)) return nullptr;
    Ref<PdfPage> page = AdoptRef(new PdfPage);
    page->size = size_mm;
    if (!AStrBuilderAppendChars(page->resources, kResourcesStart)) return nullptr;
    page->page_object = PdfNewObject(doc->objects);
    if (!page->page_object) return nullptr;
    // From here on a lost page would leave numbered objects without bodies.
    page->contents_object = PdfNewObject(doc->objects);
    if (!page->contents_object || PtrArrayAdd(doc->pages, page.get()) < 0) {
        Spoil(doc);
        return nullptr;
    }
    page->page_number = doc->pages.count;
    page->document = doc;
    return page;
}

void PdfPageSetRotation(PdfPage* page, uint16_t degrees) {
    if (!page || degrees % 90 != 0) return;
    page->rotation = (360 - degrees % 360) % 360;
}

bool PdfAddFaxImagePage(PdfPage* page, const RectD& place_mm, const uint8_t* bytes, uint32_t length,
                        uint32_t width, uint32_t height) {
    if (!Usable(page) || page->document->fill.page) return false;
    if (width == 0 || height == 0 || length == 0 || !bytes) return false;
    PdfDocument* doc = page->document;
    const uint16_t name = doc->image_counter;
    PdfObject* object = PdfNewObject(doc->objects);
    if (!object) return Spoil(doc);
    bool ok = ImageHeader(object, name, width, height, 1, length) &&
              PdfObjectPrint(object,
                             "/ColorSpace /DeviceGray\r\n/Filter /CCITTFaxDecode\r\n/DecodeParms <<\r\n/K %d "
                             "/Rows %u /Columns %u>>\r\n>>\r\nstream\r\n",
                             -1, height, width);
    ok = ok && (doc->stream || Reserve(object, uint64_t(length) + sizeof kStreamEnd));
    ok = ok && StartObject(doc, object) && ObjectBytes(doc, object, bytes, length);
    ok = ok && ObjectBytes(doc, object, kStreamEnd, sizeof kStreamEnd - 1) && EndObject(doc, object);
    ok = ok && PlaceImage(page, place_mm, name, object);
    if (!ok) return Spoil(doc);
    ++doc->image_counter;
    return true;
}

bool PdfBeginImage(PdfPage* page, const RectD& place_mm, uint32_t width, uint32_t height,
                   uint16_t bits_per_pixel, const uint8_t* palette) {
    if (!Usable(page) || page->document->fill.page) return false;
    if (bits_per_pixel != 1 && bits_per_pixel != 4 && bits_per_pixel != 8 && bits_per_pixel != 24)
        return false;
    if (width == 0 || height == 0) return false;
    const uint32_t row_bytes = RowBytes(width, bits_per_pixel);
    const uint64_t length = uint64_t(row_bytes) * height;
    if (uint64_t(width) * bits_per_pixel > 0xFFFFFFF0u || length > kMaxImageBytes) return false;
    PdfDocument* doc = page->document;
    PdfObject* indexed = nullptr;
    if (palette && bits_per_pixel < 24) {
        indexed = NewIndexedColourSpace(doc, bits_per_pixel, palette);
        if (!indexed) return Spoil(doc);
    }
    PdfImageFill& fill = doc->fill;
    fill.name = doc->image_counter;
    fill.object = PdfNewObject(doc->objects);
    if (!fill.object) return Spoil(doc);
    bool ok = ImageHeader(fill.object, fill.name, width, height, bits_per_pixel < 8 ? bits_per_pixel : 8,
                          uint32_t(length)) &&
              ColourSpaceLine(fill.object, bits_per_pixel, indexed) &&
              PdfObjectAppendText(fill.object, ">>\r\nstream\r\n");
    ok = ok && StartObject(doc, fill.object);
    ok = ok && (fill.object->written || Reserve(fill.object, length + sizeof kStreamEnd));
    ok = ok && (!fill.object->written || bits_per_pixel != 24 || MemAlloc(fill.scratch, row_bytes, 0, 0));
    if (!ok) return Spoil(doc);
    fill.page = page;
    fill.place = place_mm;
    fill.bits_per_pixel = bits_per_pixel;
    fill.width = width;
    fill.row_bytes = row_bytes;
    fill.rows = height;
    fill.rows_done = 0;
    return true;
}

bool PdfAddImageRows(PdfPage* page, const uint8_t* first_row, uint32_t stride, uint32_t rows, bool swap) {
    if (!Usable(page) || page->document->fill.page != page) return false;
    PdfDocument* doc = page->document;
    PdfImageFill& fill = doc->fill;
    if (!first_row || rows > fill.rows - fill.rows_done) return Spoil(doc);
    const bool swapping = swap && fill.bits_per_pixel == 24;
    for (uint32_t y = 0; y < rows; ++y) {
        const uint8_t* row = first_row + size_t(stride) * y;
        if (!AddRow(doc, row, swapping)) return Spoil(doc);
    }
    fill.rows_done += rows;
    return true;
}

bool PdfEndImage(PdfPage* page) {
    if (!Usable(page) || page->document->fill.page != page) return false;
    PdfDocument* doc = page->document;
    PdfImageFill& fill = doc->fill;
    PdfObject* object = fill.object;
    if (fill.rows_done != fill.rows) return Spoil(doc);
    bool ok = ObjectBytes(doc, object, kStreamEnd, sizeof kStreamEnd - 1) && EndObject(doc, object);
    ok = ok && PlaceImage(page, fill.place, fill.name, object);
    if (!ok) return Spoil(doc);
    ++doc->image_counter;
    CloseFill(fill);
    return true;
}

bool PdfAddImagePage(PdfPage* page, const RectD& place_mm, const uint8_t* bytes, uint32_t length,
                     uint32_t width, uint32_t height, uint16_t bits_per_pixel, const uint8_t* palette,
                     bool swap) {
    if (!bytes || width == 0 || height == 0) return false;
    const uint32_t row_bytes = RowBytes(width, bits_per_pixel);
    if (uint64_t(row_bytes) * height > length) return false;
    if (!PdfBeginImage(page, place_mm, width, height, bits_per_pixel, palette)) return false;
    return PdfAddImageRows(page, bytes, row_bytes, height, swap) && PdfEndImage(page);
}
