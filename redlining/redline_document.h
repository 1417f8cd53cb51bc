// Stand-in: markups hold empty pages only; nothing is read from TIFF tags or companion files.
// The markups of one document: one page per page of the document, each with
// its layer of markup objects.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class ImageFormat;

class RedlinePage : public RefCounted {
  public:
    uint32_t page_index = 0;
};

class RedlineDocument : public RefCounted {
  public:
    CriticalSection lock;
    PtrArray pages{4, true};  // RedlinePage, by page index
};

inline Ref<RedlineDocument> RedlineDocumentCreate() { return MakeRef<RedlineDocument>(); }

inline uint32_t RedlineDocPageCount(RedlineDocument* document) {
    ScopedLock hold(document->lock);
    return document->pages.count;
}

// The page at the index with a reference added, or null.
inline Ref<RedlinePage> RedlineDocGetPage(RedlineDocument* document, uint32_t index) {
    ScopedLock hold(document->lock);
    return PtrArrayGetAs<RedlinePage>(document->pages, index);
}

// Appends empty pages until there are n; false when there are n or more.
inline bool RedlineDocAddPages(RedlineDocument* document, uint32_t n) {
    ScopedLock hold(document->lock);
    if (document->pages.count >= n) return false;
    while (document->pages.count < n) {
        Ref<RedlinePage> page = MakeRef<RedlinePage>();
        page->page_index = document->pages.count;
        if (PtrArrayAdd(document->pages, page.get()) < 0) return false;
    }
    return true;
}

// Markups stored in the pages' private TIFF tag; none can be read yet.
inline bool RedlineDocLoadTiff(RedlineDocument* document, ImageFormat* format) { return false; }
// Markups from a companion file; none can be read yet.
inline bool RedlineDocLoadFile(RedlineDocument* document, const WString& path, int32_t page_count) {
    return false;
}

inline bool RedlinePageHasObjects(RedlinePage* page) { return false; }
