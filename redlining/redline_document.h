// The markups of one document: one page per page of the document, each with
// at most one layer of markup objects, and how a page paints.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "redlining/redline_layer.h"

class ImageFormat;
class ViewerContext;
class ViewMapping;

class RedlinePage : public RefCounted {
  public:
    // Makes an empty layer when the page has none; true when it made one.
    bool CreateLayer();
    uint32_t LayerCount();
    // The layer (a reference added) for index 0, else null.
    Ref<RedlineLayer> GetLayer(uint32_t index);
    // Sets the layer when the page has none yet; false otherwise.
    bool SetLayer(RedlineLayer* layer);
    Ref<RedlineObject> TopmostHit(const ViewMapping* mapping, const PointD& point);
    Ref<RedlineObject> TopmostHandleHit(const ViewMapping* mapping, const PointD& point, int32_t& handle,
                                        int32_t& cursor);

    uint32_t page_index = 0;  // 0-based position of the document page

  private:
    CriticalSection lock_;  // guards the layer pointer only
    Ref<RedlineLayer> layer_;
};

class RedlineDocument : public RefCounted {
  public:
    CriticalSection lock;
    PtrArray pages{1, true};  // RedlinePage, by page index
    // Set when the markups were read from a companion file (the save action
    // offers that file as its target); false when made and after a read
    // from the TIFF tags.
    bool from_companion_file = false;
    WString companion_file_name;
    // A companion file that was there but could not be read whole (a page
    // unreadable, markups refused, the archive cut short or holding more
    // pages than the document): the markups are never saved over it, since
    // that would lose what could not be read.
    WString unread_file;
    // Texts of the last successful save in which the ANSI code page lacked a
    // character (it was written as the code page's default character).
    uint32_t replaced_in_last_save = 0;
};

Ref<RedlineDocument> RedlineDocumentCreate();
uint32_t RedlineDocPageCount(RedlineDocument* document);
// The page at the index with a reference added, or null.
Ref<RedlinePage> RedlineDocGetPage(RedlineDocument* document, uint32_t index);
// Appends empty pages (each with an empty layer) until there are n; false
// when there are n or more already.
bool RedlineDocAddPages(RedlineDocument* document, uint32_t n);

// Markups stored in the private tag of the first directory of every page of
// a TIFF read by the TIFF reader. False (nothing loaded) for a document that
// has pages already or when the first page has no markup tag; a page whose
// tag cannot be read gets an empty layer. Clears from_companion_file.
bool RedlineDocLoadTiff(RedlineDocument* document, ImageFormat* format);
// Markups from a companion file: page i from the archive's member at
// position i, an empty layer where a member is missing or unreadable; an
// archive damaged after its first members still gives those. False for an
// empty path, a document with pages or a file of which no member can be
// read. Sets from_companion_file and remembers the path; remembers a file
// that could not be read whole as unread_file.
bool RedlineDocLoadFile(RedlineDocument* document, const WString& path, int32_t page_count);

// True when the page has a layer with at least one object.
bool RedlinePageHasObjects(RedlinePage* page);
// Draws the page's markups (or the single object, when given) at the
// mapping with the draw flags; false without a mapping or a layer.
bool RedlinePaintPage(RedlinePage* page, ViewerContext* context, uint32_t purpose, HDC dc,
                      const ViewMapping* mapping, RedlineObject* single, uint32_t flags);
