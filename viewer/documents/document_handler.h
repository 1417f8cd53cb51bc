// Document handlers turn a loaded source's bytes into tree items: the image
// handler makes one page item per page of the parsed file, the list handler
// one list-entry item (with a source of its own) per entry of a list file,
// and the generic handler of a document the viewer cannot show makes nothing.
// A handler is built once, on the thread that announces its source, and
// applied on the GUI thread when notification 8 reaches the list entry.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class DocItem;
class DocumentSource;
class ViewerContext;

class DocumentHandler : public RefCounted {
  public:
    explicit DocumentHandler(DocumentSource* owner) : source(owner) {}

    virtual uint32_t ItemCount() { return 0; }
    // EnsureLoaded, then Apply when loaded; false when not loaded.
    virtual bool LoadAndApply(ViewerContext* context, DocItem* item);
    virtual bool Load(ViewerContext* context) { return true; }
    virtual bool Apply(ViewerContext* context, DocItem* item) { return true; }
    // Loads unless loaded; a failed load is tried again on the next call.
    virtual void EnsureLoaded(ViewerContext* context);

    // Borrowed: the source owns the handler, not the reverse.
    DocumentSource* source = nullptr;
    bool loaded = false;
    bool load_result = false;
};

// A document the viewer cannot show (content kind 0).
class GenericDocumentHandler : public DocumentHandler {
  public:
    GenericDocumentHandler(DocumentSource* owner, uint32_t kind)
        : DocumentHandler(owner), content_kind(kind) {}
    uint32_t content_kind = 0;
};

class ImageFileHandler : public DocumentHandler {
  public:
    using DocumentHandler::DocumentHandler;
    // PageCount of the source's format, 0 without one.
    uint32_t ItemCount() override;
    // One page item per page of the format (notification 4 each), then
    // notification 5 with the document item.
    bool Apply(ViewerContext* context, DocItem* item) override;
};

class ListFileHandler : public DocumentHandler {
  public:
    using DocumentHandler::DocumentHandler;
    uint32_t ItemCount() override;
    // Parses the list file; true when it parsed and has entries.
    bool Load(ViewerContext* context) override;
    // Names the item after the list's title, forbids saving it for a
    // "$NOSAVE" list and makes the entry items.
    bool Apply(ViewerContext* context, DocItem* item) override;

    CriticalSection lock;       // held while the file is parsed
    PtrArray entries{4, true};  // ListEntry, in file order
    WString title;              // from "$TITLE=", empty when none
    bool no_save = false;       // the list carried "$NOSAVE"
};

// Made by SourceBuildHandler under the source's lock.
Ref<DocumentHandler> ImageFileHandlerConstruct(ViewerContext* context, DocumentSource* source);
Ref<DocumentHandler> ListFileHandlerConstruct(ViewerContext* context, DocumentSource* source);
Ref<DocumentHandler> GenericHandlerConstruct(ViewerContext* context, DocumentSource* source, uint32_t kind);
