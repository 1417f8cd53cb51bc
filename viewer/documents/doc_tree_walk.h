// Walks over the document tree in pre-order (parent before children,
// children in their order), forward and backward, and an item's position
// among the items of a type mask.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class DocItem;
class ViewerContext;

// Called by a walk for each item of its mask; answer false to stop.
class ItemVisitor {
  public:
    virtual ~ItemVisitor() = default;
    virtual bool Visit(DocItem* item) = 0;
};

// Visits the start item and the items after (forward) or before it whose
// type is in the mask, until the visitor answers false or the tree ends.
// False only when the context, the start item or the visitor is missing.
bool DocTreeWalk(ViewerContext* context, DocItem* start, uint32_t type_mask, bool forward,
                 ItemVisitor* visitor);
// The next item in pre-order, or null after the last one.
Ref<DocItem> DocItemNext(DocItem* item, ViewerContext* context);
// The previous item in pre-order (a previous sibling's last descendant, or
// the parent), or null at the root.
Ref<DocItem> DocItemPrev(DocItem* item, ViewerContext* context);
// The child that follows `child` in `parent`, or null when it is the last.
Ref<DocItem> DocItemNextSiblingAfter(DocItem* parent, DocItem* child);

// Counts the items of the mask in the whole tree and finds the item's
// 0-based position among them (-1 when it is not one of them). Count 0 and
// position -1 without a context.
void ViewerGetItemPosition(ViewerContext* context, DocItem* item, uint32_t type_mask, int32_t& count,
                           int32_t& position);
