#include "viewer/app/page_navigation.h"

#include <windows.h>

#include <cstdlib>

#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/go_to_page_dialog.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/doc_tree_walk.h"

namespace {

// Counts page-like items from the walk's start (the start itself not
// counted) and keeps the last one reached, until `wanted` are reached.
class PageCounter : public ItemVisitor {
  public:
    PageCounter(DocItem* start, int64_t wanted) : start_(start), wanted_(wanted) {}

    bool Visit(DocItem* item) override {
        if (item == start_) return true;
        reached = Ref<DocItem>(item);
        return ++count_ < wanted_;
    }

    Ref<DocItem> reached;

  private:
    DocItem* start_;
    int64_t wanted_;
    int64_t count_ = 0;
};

}  // namespace

bool ViewerActivateItem(ViewerContext* context, int32_t id) {
    Ref<DocItem> item = ViewerFindItem(context, id);
    if (!item) return false;
    ViewerSetActiveItem(context, item.get());
    return true;
}

Ref<DocItem> ViewerGetDocumentByIndex(ViewerContext* context, int32_t index, bool& is_active) {
    is_active = false;
    if (!context) return nullptr;
    if (index == -1) {
        Ref<DocItem> active = ViewerGetActiveItem(context);
        is_active = active != nullptr;
        return active;
    }
    Ref<DocItem> item = ViewerFindItem(context, index);
    is_active = item && DocItemGetId(item.get()) == ViewerGetActiveItemId(context);
    return item;
}

bool ViewerPageStep(ViewerContext* context, int32_t n, bool absolute) {
    if (absolute && n < 0) return false;
    if (!absolute && n == 0) return false;
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return false;
    // Without an active item a relative step starts at the root: forwards it
    // finds the first pages, backwards nothing.
    Ref<DocItem> start = absolute ? root : ViewerGetActiveItem(context);
    if (!start) start = root;
    const int64_t wanted = absolute ? int64_t{n} + 1 : std::llabs(n);
    PageCounter counter(start.get(), wanted);
    DocTreeWalk(context, start.get(), kPageLikeTypes, absolute || n > 0, &counter);
    if (!counter.reached) {
        if (DocItemGetChildCount(root.get()) > 0) MessageBeep(MB_ICONEXCLAMATION);
        return false;
    }
    ViewerSetActiveItem(context, counter.reached.get());
    return true;
}

bool ViewerGoToPage(ViewerContext* context, int32_t page) {
    if (!context) return false;
    if (page == -1) {
        GoToPageState state;
        state.context = context;
        Ref<DocItem> active = ViewerGetActiveItem(context);
        ViewerGetItemPosition(context, active.get(), kPageLikeTypes, state.page_count, state.index);
        if (!GoToPageDialog(ViewerGetFrameHwnd(context), state)) return false;
        page = state.index;
    }
    return ViewerPageStep(context, page, true);
}
