// Stand-in: markups cannot be written yet; both writers answer that nothing was written.
// Writing a document's markups: into their own file, or into a TIFF copy of
// the document's pages with the markups in the private tag.
#pragma once

#include "foundation/strings.h"

class DocumentSource;
class RedlineDocument;

// True when the file was written.
inline bool RedlineSaveToTiff(DocumentSource* source, RedlineDocument* document, const WString& path) {
    return false;
}
inline bool RedlineSaveFile(RedlineDocument* document, const WString& path) { return false; }
