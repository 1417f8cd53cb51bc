// Saving what the user sees: a copy of the active document's file under a
// new name (Save As) and the markups of a document, either into their own
// file or into a TIFF copy of the page images.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

class DocItem;
class ViewerContext;

// The longest extension Save As proposes and appends.
inline constexpr uint32_t kSaveAsMaxExtension = 5;
// Characters of the proposed Save As name (the dialog's buffer holds one
// more for the terminator).
inline constexpr uint32_t kSaveAsMaxName = 259;

// What the Save As dialog starts with for a document known under
// `file_name`: the name with '/' turned into '\' and cut to 259 characters,
// its extension (at most 5 characters, empty without one) and the single
// filter pair (empty when its description would be 70 characters or longer).
struct SaveAsProposal {
    WString name;
    WString extension;
    WString filter_description;
    WString filter_pattern;
};
void SaveAsPropose(ViewerContext* context, const WString& file_name, SaveAsProposal& out);
// The chosen name, with "." and the document's extension appended when it
// has none of its own and the document has one.
WString& SaveAsCompleteName(const WString& chosen, const WString& extension, WString& out);
// Asks for a name and copies the active document's data there. Nothing
// happens without an active document, when its open parameters forbid
// saving, or when the user cancels. True only when a copy was written.
bool ViewerSaveAs(ViewerContext* context);

// Where markups go for a chosen name and the filter entry (1 the markup
// file, 2 TIFF): a name without extension gets ".plr" or ".tif"; "tif" and
// "tiff" (any case) are TIFF, anything else a markup file.
enum RedlineTarget : uint32_t {
    kRedlineTargetFile = 0,
    kRedlineTargetTiff = 1,
};
RedlineTarget RedlineTargetForName(const WString& chosen, uint32_t filter_index, WString& out_name);
// The name the markup dialog proposes: the companion file the markups came
// from, else the document's local file; without extension, cut to 261.
WString& RedlineProposedName(const WString& companion, const WString& local_file, WString& out);
// Saves the markups of the item's document (the active item when null).
// True when a name was confirmed and writing did not fail; a TIFF target
// that is open in the viewer is refused with a message (and answers true:
// the user was told, nothing was lost).
bool ViewerSaveRedlining(ViewerContext* context, DocItem* item);
// Before an interactive close (never one asked for over DDE or automation):
// for every document below the item (all documents for null) whose markups
// changed since their load or last save, asks whether to save them. False
// when the user cancelled or a save he asked for did not happen.
bool ViewerConfirmMarkupsClose(ViewerContext* context, DocItem* item);

// Whether a document of the viewer is shown from, or named after, this path:
// such a file must not be written to.
bool ViewerIsPathOpen(ViewerContext* context, const WString& path);
