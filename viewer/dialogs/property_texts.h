// The texts the pages of the Document-properties sheet show, made apart
// from the dialogs.
#pragma once

#include <cstdint>

#include "foundation/dates.h"
#include "foundation/strings.h"

class DocItem;
class ImagePage;
class TiffDirEntry;
class ViewerContext;

// Tab stops of the TIFF Tags list box (dialog units) and its horizontal
// extent (pixels).
inline constexpr int kTiffTagTabStops[] = {0, 30, 134};
inline constexpr int kTiffTagListExtent = 1000;

struct DocumentPropertyTexts {
    WString name;
    WString path;      // the source's path or URL
    WString size;      // "1.234.567 Byte", or "???"
    WString created;   // "dd.mm.yyyy hh:mm"... in date style 1, or "???"
    WString modified;  // last write, same form
};

struct PagePropertyTexts {
    WString pixel_size;  // "2480 x 3508 Pixel"
    WString size;        // physical size in the length unit, or text 2040
    WString scale;       // the document's scale, or text 2069
    WString resolution;  // "300 x 300 DPI", or text 2040
    WString colour_depth;
    WString format;  // the file format's name, or text 2040
    WString layers;
    WString invalid_layers;
    bool show_invalid_layers = false;  // only when some layer is invalid
    WString compression;
    WString description;
    WString software;
};

// "???" when the size is unknown (all ones), else the size with '.' between
// groups of three digits, a blank and text 10106 ("Byte").
WString& FormatFileSizeText(ViewerContext* context, uint64_t size, WString& out);
// "???" for no time, else the date-time text in style 1 without seconds.
WString& FormatFileTimeText(const DateTime& time, WString& out);
// The language text of a page compression code (texts 7141 to 7148), 7140
// for any other code.
uint32_t CompressionTextId(uint32_t compression);

// False without a document.
bool CollectDocumentProperties(ViewerContext* context, DocItem* document, DocumentPropertyTexts& out);
// False without a page or when the page gives no information.
bool CollectPageProperties(ViewerContext* context, DocItem* document, ImagePage* page,
                           PagePropertyTexts& out);

// The value text of a TIFF entry: "%d Values" for a count other than 1
// (except ASCII), the first value of an integer type in decimal (unsigned),
// the text of ASCII, the first value of RATIONAL, SRATIONAL, FLOAT and
// DOUBLE by its magnitude, "???" for any other type.
WString& FormatTiffTagValue(const TiffDirEntry* entry, WString& out);
// The list line: "0x%04X", TAB, the tag's name when it has one, TAB, value.
WString& FormatTiffTagLine(const TiffDirEntry* entry, WString& out);
