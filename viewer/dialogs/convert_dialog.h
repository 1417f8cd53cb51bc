// The convert dialog: the user picks the target file, TIFF or PDF, the
// compression, the TIFF layout, the rotation (or the pages as displayed)
// and an image description; the conversion itself is ExportTiff or
// ExportPdf (viewer/export/document_export.h).
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class DocumentSource;
class ViewerContext;

// Values of the file-format list.
enum ConvertFileFormat : uint32_t {
    kConvertTiff = 0,
    kConvertPdf = 1,
};

// The dialog's choices, as its lists hold them.
struct ConvertChoices {
    WString target;
    uint32_t file_format = kConvertPdf;
    uint32_t compression = 0;  // PDF mode; TIFF accepts and ignores it
    uint32_t layout = 1;       // 0 single strip, 1 striped, 2 tiled, 3 tiled with reduced copies
    uint16_t rotation = 0;
    bool as_displayed = false;  // each page mirrored, inverted and turned as the view shows it
    WString description;
};

enum ConvertOutcome : uint32_t {
    kConvertWritten = 0,
    kConvertNotStarted = 1,  // the user kept the existing file
    kConvertFailed = 2,      // no target, or the conversion failed
};

// Runs the dialog modally over `owner`; true when it ended with a written
// file. False at once without a context or a loaded source.
bool ConvertDialogShow(ViewerContext* context, DocumentSource* source, HWND owner);

// What the dialog's OK does: trims the target and description, lets the
// user refuse to replace an existing file, and converts the source's pages
// (with `as_displayed`, as the document's page items show them).
ConvertOutcome ConvertRun(ViewerContext* context, DocumentSource* source, HWND owner,
                          const ConvertChoices& choices);

// The target proposed for a source: its path (for a document not opened
// from a local file, the current folder and its file name) without its
// extension, plus ".pdf" or ".tif".
WString& ConvertDefaultTarget(DocumentSource* source, uint32_t file_format, WString& out);
// The target with its extension replaced by the format's; an empty target
// stays empty.
WString& ConvertReplaceExtension(const WString& target, uint32_t file_format, WString& out);
// A name chosen in the save dialog: without extension it gets the chosen
// filter's; ".pdf" or ".tif" (any case) decide the file format.
WString& ConvertCompleteChosenName(const WString& chosen, uint32_t filter_format, WString& out,
                                   uint32_t& file_format);
