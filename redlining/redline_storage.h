// Writing a document's markups: into their own companion file (a tar
// archive with one member per page, named 0, 1, ...), or into a TIFF copy of
// the document's pages with each page's markups in the private tag of its
// first directory. Reading them back is RedlineDocLoadFile and
// RedlineDocLoadTiff (redline_document.h).
#pragma once

#include <cstdint>

#include "foundation/byte_buf.h"
#include "foundation/strings.h"

class DataSource;
class DocumentSource;
class ImageFormat;
class RedlineDocument;
class RedlinePage;

// The page's payload (header and deflated text); null for a page whose text
// is empty or cannot be compressed. `replaced` (may be null) counts texts
// where the code page lacked a character.
Ref<ByteBuf> RedlineMakePagePayload(RedlinePage* page, uint32_t* replaced);

// Both write the whole file beside the target and put it in the target's
// place only when it is complete, so a failed save leaves the old file as it
// was. True when the file was written; the markups are then clean.
bool RedlineSaveToTiff(DocumentSource* source, RedlineDocument* document, const WString& path);
bool RedlineSaveFile(RedlineDocument* document, const WString& path);
// RedlineSaveToTiff's work on the source's parsed TIFF and its bytes.
bool RedlineSaveFormatToTiff(ImageFormat* format, DataSource* data, RedlineDocument* document,
                             const WString& path);

// True when any page's layer or object changed since the last load or save.
bool RedlineDocIsModified(RedlineDocument* document);
void RedlineDocSetClean(RedlineDocument* document);
