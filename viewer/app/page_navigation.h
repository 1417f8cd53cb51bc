// Which item the viewer shows: activation by id, paging through the
// page-like items of the tree (pages, comparisons and their pages), and the
// look-up of a document by the index that DDE and automation callers use.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

class DocItem;
class ViewerContext;

// Item types that paging stops at: pages, comparisons and comparison pages.
inline constexpr uint32_t kPageLikeTypes = 16 | 128 | 256;

// Makes the item with this id the active one; false when there is none.
bool ViewerActivateItem(ViewerContext* context, int32_t id);
// Index -1 gives the active item; any other index is an item id. `is_active`
// tells whether the item found is the active one. Null when there is none.
Ref<DocItem> ViewerGetDocumentByIndex(ViewerContext* context, int32_t index, bool& is_active);
// Absolute: the (n + 1)-th page-like item of the tree (n < 0 refused).
// Relative: |n| page-like items after (n > 0) or before (n < 0) the active
// item. When fewer exist, the last one reached is taken; when none is
// reached although the tree has items, the viewer beeps. True when an item
// was activated.
bool ViewerPageStep(ViewerContext* context, int32_t n, bool absolute);
// Page -1 first asks for the page in the go-to-page dialog (cancel ends);
// then the page, counted from 0, is stepped to absolutely.
bool ViewerGoToPage(ViewerContext* context, int32_t page);
