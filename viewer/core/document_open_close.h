// The roads that open documents into the tree and take them out again: the
// open dialog, drops, recent files, command lines, DDE and automation all
// end here, and so do the close commands and the application's shutdown.
#pragma once

#include <cstdint>

#include "foundation/strings.h"

class OpenParams;
class ViewerContext;

// Opens every path of the TAB-joined list (empty parts dropped), each as a
// list entry under the root that starts loading at once; only the first
// path of a request may become active once it has loaded. `params` (may be
// null) are completed from the settings' defaults; `mode` is an OpenMode.
// Answers the number of documents started (a path without a source or an
// entry is skipped), or -1 when the request is refused (an interactive open
// under the restriction that forbids it) or there is no root item or no
// open parameters can be made.
int32_t ViewerOpenDocument(ViewerContext* context, const WString& paths, const OpenParams* params,
                           uint32_t mode);
// The same for one path; the new list entry's id, or -1.
int32_t ViewerOpenDocumentEx(ViewerContext* context, const WString& path, const OpenParams* params,
                             uint32_t mode);

// Closes the item with this id (-1: the active one). A page of an image
// document stands for its document; documents, failed entries, comparisons
// and their pages are removed from their parents. Then the first page of
// what remains becomes active. True when an item was removed.
bool ViewerCloseDocument(ViewerContext* context, int32_t id);
// Removes every document, clears the active item and ends a redlining edit.
void ViewerCloseAll(ViewerContext* context);
