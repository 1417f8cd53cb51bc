// Writes a TiffDoc (tiff_writer_document.h) as one little-endian TIFF file in one
// pass: header, every directory with its values, then every strip or tile.
#pragma once

#include "foundation/strings.h"
#include "imaging/writers/tiff_writer_document.h"

// False for an empty name, an empty document, a document that does not fit
// a TIFF's 32-bit offsets, a source that changed or cannot be read, or any
// failed write; a partly written file is deleted again.
bool TiffDocSave(TiffDoc* doc, const WString& file_name);
// Puts the page's directories in the order they are written, widest first
// (stable among equals), so ifds[0] is the page's first directory in the
// file; saving orders them the same way.
void TiffWriterPageOrderByWidth(TiffWriterPage* page);
