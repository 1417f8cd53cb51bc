// What every window or job that shows a page's markups owns: the markup page
// bound to the view mapping it is shown with, painted over the page image
// through a cached enhanced metafile, with the selection and the object
// being edited (the main view's only) and the editing commands on them.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/handles.h"
#include "foundation/locks.h"
#include "foundation/mouse_chain.h"
#include "foundation/ref_counted.h"
#include "redlining/redline_document.h"
#include "redlining/redline_mouse_tool.h"
#include "viewer/core/viewer_context.h"
#include "viewer/model/view_mapping.h"

// The attributes the Properties sheet applied last; new objects take them.
struct RedlineLastAttributes {
    Ref<LineAttr> outline;
    Ref<LineEndsAttr> line_ends;
    Ref<FillAttr> filling;
    Ref<FontAttr> font;
};

// Embedded in its owner, not counted.
class RedlineView {
  public:
    RedlineView() = default;
    ~RedlineView();
    RedlineView(const RedlineView&) = delete;
    RedlineView& operator=(const RedlineView&) = delete;

    CriticalSection lock;  // guards the members below
    Ref<ViewerContext> owner;
    Ref<RedlinePage> page;  // set together with page_view, or neither
    Ref<ViewMapping> page_view;
    Ref<RedlineObject> tool_object;  // under the mouse or being edited
    int32_t handle_index = -1;       // the tool object's handle or point dragged; -1 none
    EnhMetafile metafile;            // the page's markup as last drawn
    Ref<RedlineMouseTool> mouse_tool;
    RedlineObjectList selection;
    RedlineLastAttributes last_attributes;
};

void RedlineViewConstruct(RedlineView* view, ViewerContext* owner);
// Detaches the mouse tool and releases everything; the view can be built again.
void RedlineViewDestruct(RedlineView* view);
// Binds the page to the mapping it is shown with (both or neither); clears
// the tool object and the selection, ends a creation in progress and drops
// the cache.
void RedlineViewSetPage(RedlineView* view, RedlinePage* page, ViewMapping* page_view);
// Binds the page already bound to a new mapping of it (scrolled, zoomed,
// resized): the selection and a creation in progress stay, the cache is
// dropped. False without a page.
bool RedlineViewSetPageView(RedlineView* view, ViewMapping* page_view);
// Ends a creation in progress with the points placed so far; false when
// nothing was being created.
bool RedlineViewEndCreation(RedlineView* view);
bool RedlineViewHasPage(RedlineView* view);
// The bound page and its mapping (references added), or null.
Ref<RedlinePage> RedlineViewGetPage(RedlineView* view);
Ref<ViewMapping> RedlineViewGetPageView(RedlineView* view);
// Forgets the painted picture of the markups so the next paint draws them anew.
void RedlineViewDropCache(RedlineView* view);
// The handler the owner puts first in its mouse chain.
Ref<MouseHandler> RedlineViewGetMouseTool(RedlineView* view);
Ref<RedlineObject> RedlineViewGetToolObject(RedlineView* view);
void RedlineViewSetToolObject(RedlineView* view, RedlineObject* object, int32_t handle_index);
int32_t RedlineViewGetHandleIndex(RedlineView* view);
void RedlineViewSetHandleIndex(RedlineView* view, int32_t handle_index);
// The page's layer (a reference added), or null.
Ref<RedlineLayer> RedlineViewGetLayer(RedlineView* view);
// Hands the last-used attributes the object takes (its mask bits 4 to 7) to it.
void RedlineApplyLastAttributes(RedlineView* view, RedlineObject* object);

// Paints the bound page's markups into `dc` for a markup_purpose: the
// cached picture, then (main view, select and draw mode) the tool object and
// the selection with outlines and handles. False without a page.
bool RedlinePaint(RedlineView* view, ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay,
                  bool grey);
// Whether REDLINING_OBJECTNUMBERS asks for numbers when painting for `purpose`.
bool RedlineNumbersShown(int32_t setting, uint32_t purpose, bool overlay);

// The editing commands on the selection.
// Selects every object of the layer, when at least one is selected already.
void RedlineSelectAll(RedlineView* view);
void RedlineDeleteSelection(RedlineView* view);
// A redline_z direction for the first selected object.
void RedlineChangeZOrder(RedlineView* view, uint32_t direction);
void RedlineShowProperties(RedlineView* view);
