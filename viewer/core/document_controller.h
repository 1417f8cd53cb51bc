// Stand-in: the document controller carries out no actions yet; closing all documents removes the documents from the tree.
// The document controller: owner of the listener that carries out the
// actions, made by the application root and released at its shutdown.
#pragma once

#include "foundation/ref_counted.h"

class EventHub;
class ViewerContext;

class DocumentController : public RefCounted {};

inline Ref<DocumentController> DocumentControllerCreate(EventHub* hub) {
    return hub ? MakeRef<DocumentController>() : nullptr;
}

// Closes every document of the context (the root calls it at shutdown):
// the root item's children are removed and nothing stays active.
void ViewerCloseAll(ViewerContext* context);
