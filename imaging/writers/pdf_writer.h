// A small PDF 1.2 writer: pages that show raster images, CCITT Group 4 for
// bilevel pages and uncompressed grey, palette or RGB data for the others.
// The document is a list of numbered objects whose bodies are text and
// bytes, written with a classic cross-reference table.
//
// Two ways out: PdfDocumentWrite puts the whole document into a stream in
// one pass; a document that streams (PdfDocumentBeginStream,
// PdfDocumentStreamToFile) writes every image object as soon as it is added
// and keeps none of its pixels, so a document of large uncompressed pages
// never holds more than the rows its caller hands over.
#pragma once

#include <cstdint>
#include <memory>

#include "foundation/file_handle.h"
#include "foundation/geometry.h"
#include "foundation/mem_block.h"
#include "foundation/out_stream.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/string_builder.h"
#include "foundation/strings.h"

class PdfObject : public RefCounted {
  public:
    uint32_t number = 0;  // from 1
    MemBlock body;        // grows as text and bytes are appended
    uint32_t length = 0;  // bytes of the body in use
    uint64_t offset = 0;  // from the start of the file, recorded when written
    bool written = false;
};

struct PdfObjectList {
    PtrArray objects{16, true};
};

// The object numbered count + 1, appended (borrowed: the list owns it);
// null when it cannot be made.
PdfObject* PdfNewObject(PdfObjectList& list);
bool PdfObjectAppend(PdfObject* object, const void* bytes, uint32_t n);
bool PdfObjectAppendText(PdfObject* object, const char* text);
// printf-style text of up to 500 characters.
bool PdfObjectPrint(PdfObject* object, const char* format, ...) __attribute__((format(printf, 2, 3)));

// The one font every page names: /F1, Helvetica.
struct PdfFont {
    PdfObjectList* objects = nullptr;  // the document's, shared
    PdfObject* object = nullptr;
    const char* name = "/F1";
};

bool PdfFontInit(PdfFont& font, PdfObjectList& objects);

class PdfDocument;

class PdfPage : public RefCounted {
  public:
    uint32_t page_number = 0;         // 1-based
    PdfDocument* document = nullptr;  // the owner, borrowed; null once it is gone
    PdfObject* page_object = nullptr;
    PdfObject* contents_object = nullptr;
    AStrBuilder content{2000};
    AStrBuilder resources{100};
    AStrBuilder xobjects{100};  // one line per image
    uint32_t rotation = 0;      // 0, 90, 180 or 270
    SizeD size;                 // millimetres
};

// The image being filled row by row (PdfBeginImage to PdfEndImage).
struct PdfImageFill {
    PdfPage* page = nullptr;  // null while no image is open
    PdfObject* object = nullptr;
    RectD place;
    uint16_t name = 0;
    uint16_t bits_per_pixel = 0;
    uint32_t width = 0;
    uint32_t row_bytes = 0;
    uint32_t rows = 0;
    uint32_t rows_done = 0;
    MemBlock scratch;  // one row, for swapping while streaming
};

class PdfDocument : public RefCounted {
  public:
    ~PdfDocument() override;

    PdfObjectList objects;
    PdfFont font;
    PtrArray pages{4, true};
    PdfObject* pages_object = nullptr;
    PdfObject* catalog = nullptr;
    PdfObject* info = nullptr;
    uint16_t image_counter = 0;  // names the images /Bild0, /Bild1, ...
    AString title;
    AString author;
    AString subject;
    AString creator;
    uint32_t option = 0;  // kept, never written

    // Streaming: the target, borrowed or owned (a file of our own).
    OutStream* stream = nullptr;
    uint64_t stream_start = 0;
    bool failed = false;    // a part was lost: the document can no longer be written
    bool finished = false;  // a streaming document was written to its end
    PdfImageFill fill;
    FileHandle file;
    std::unique_ptr<FileOutStream> file_stream;
    WString file_path;  // the file of our own, deleted unless saved whole
};

// Millimetres to PDF points (72 per inch), rounded.
int32_t MmToPdfPoints(double mm);

// The texts are converted to the ANSI code page; empty ones are left out of
// the Info object. Objects 1 to 4: Info, Catalog, Pages, font.
Ref<PdfDocument> PdfDocumentNew(uint32_t option, const WString& title, const WString& subject,
                                const WString& author, const WString& creator);
// A new page (appended) with its page and contents objects; null when a
// side is not above 0.1 mm.
Ref<PdfPage> PdfAddPage(PdfDocument* doc, const SizeD& size_mm);
// Clockwise degrees as shown; PDF turns the other way. Values that are not
// multiples of 90 leave the rotation as it was.
void PdfPageSetRotation(PdfPage* page, uint16_t degrees);

// A 1-bit image coded with CCITT Group 4 (T.6), 1 bits coded as white.
bool PdfAddFaxImagePage(PdfPage* page, const RectD& place_mm, const uint8_t* bytes, uint32_t length,
                        uint32_t width, uint32_t height);
// An uncompressed image of 1, 4, 8 or 24 bits per pixel: height rows from
// the top down, each of exactly ceil(width x bits / 8) bytes. The palette
// (2^bits entries of red, green, blue bytes, for fewer than 24 bits) may be
// null. With 24 bits and swap set, blue-green-red pixels become red-green-blue.
bool PdfAddImagePage(PdfPage* page, const RectD& place_mm, const uint8_t* bytes, uint32_t length,
                     uint32_t width, uint32_t height, uint16_t bits_per_pixel, const uint8_t* palette,
                     bool swap);
// The same image handed over in bands: Begin, then rows in order (rows
// `stride` bytes apart, each cut to ceil(width x bits / 8) bytes), then End,
// which fails unless all rows arrived. One image at a time per document;
// a failure after Begin spoils the document.
bool PdfBeginImage(PdfPage* page, const RectD& place_mm, uint32_t width, uint32_t height,
                   uint16_t bits_per_pixel, const uint8_t* palette);
bool PdfAddImageRows(PdfPage* page, const uint8_t* first_row, uint32_t stride, uint32_t rows, bool swap);
bool PdfEndImage(PdfPage* page);

// Completes the page's object bodies.
bool PdfPageWrite(PdfPage* page);

// Writes the header now; image objects added from here on go straight into
// the stream, which must then be the one given to PdfDocumentWrite.
bool PdfDocumentBeginStream(PdfDocument* doc, OutStream* stream);
// False for a document without pages, a spoiled one, an image left open, or
// the first failed write; a successful write has been flushed.
bool PdfDocumentWrite(PdfDocument* doc, OutStream* stream);

// Creates the file now (write, no sharing, replacing) and streams into it;
// PdfDocumentSave with the same name completes it. A document released
// before then deletes the file.
bool PdfDocumentStreamToFile(PdfDocument* doc, const WString& path);
// Writes the document to the file (or completes the one it streams into);
// a failed write deletes the file again.
bool PdfDocumentSave(PdfDocument* doc, const WString& path);

// The text for a PDF literal string: CR, LF, TAB, backspace and form feed
// as escapes, backslashes before "(", ")" and "\".
AString& PdfEscapeString(const AString& text, AString& out);
