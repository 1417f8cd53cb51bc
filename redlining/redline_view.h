// Stand-in: binds a page and its mapping but paints nothing, has no mouse tool and edits nothing.
// What every window or job that shows a page's markups owns: the markup page
// bound to the view mapping it is shown with, painted over the page image.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/mouse_chain.h"
#include "foundation/ref_counted.h"
#include "redlining/redline_document.h"
#include "viewer/core/viewer_context.h"
#include "viewer/model/view_mapping.h"

// Embedded in its owner, not counted.
class RedlineView {
  public:
    RedlineView() = default;
    ~RedlineView() { Reset(); }
    RedlineView(const RedlineView&) = delete;
    RedlineView& operator=(const RedlineView&) = delete;

    void Reset() {
        ScopedLock hold(lock);
        page = nullptr;
        page_view = nullptr;
        owner = nullptr;
    }

    CriticalSection lock;  // guards the members below
    Ref<ViewerContext> owner;
    Ref<RedlinePage> page;  // set together with page_view, or neither
    Ref<ViewMapping> page_view;
};

inline void RedlineViewConstruct(RedlineView* view, ViewerContext* owner) {
    ScopedLock hold(view->lock);
    view->owner = Ref<ViewerContext>(owner);
}

// Releases the page, its mapping and the owner; the view can be built again.
inline void RedlineViewDestruct(RedlineView* view) { view->Reset(); }

// Binds the page to the mapping it is shown with; both or neither are kept.
inline void RedlineViewSetPage(RedlineView* view, RedlinePage* page, ViewMapping* page_view) {
    ScopedLock hold(view->lock);
    const bool both = page && page_view;
    view->page = both ? Ref<RedlinePage>(page) : nullptr;
    view->page_view = both ? Ref<ViewMapping>(page_view) : nullptr;
}

inline bool RedlineViewHasPage(RedlineView* view) {
    ScopedLock hold(view->lock);
    return view->page != nullptr;
}

// Forgets the painted picture of the markups so the next paint draws them anew.
inline void RedlineViewDropCache(RedlineView* view) {}

// The handler the owner puts first in its mouse chain; none yet.
inline Ref<MouseHandler> RedlineViewGetMouseTool(RedlineView* view) { return nullptr; }

// Paints the bound page's markups into `dc` for a markup_purpose; false
// without a page. Nothing is drawn yet.
inline bool RedlinePaint(RedlineView* view, ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay,
                         bool grey) {
    return false;
}

// The editing commands on the selection; nothing to select yet.
inline void RedlineSelectAll(RedlineView* view) {}
inline void RedlineDeleteSelection(RedlineView* view) {}
inline void RedlineChangeZOrder(RedlineView* view, uint32_t direction) {}
inline void RedlineShowProperties(RedlineView* view) {}
