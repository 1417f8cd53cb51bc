#include "viewer/documents/doc_item.h"

#include <utility>

#include "foundation/variant.h"
#include "imaging/raster/raster_image.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/open_params.h"
#include "viewer/core/path_utils.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/document_source.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/documents/tree_item_sink.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/page_boxes.h"

namespace {

// Items of a context without an application root still need ids that tell
// them apart; they come from a counter of their own, far above a root's.
std::atomic<uint32_t> orphan_ids{0x40000000};

int32_t NextItemId(AppRoot* app) {
    const uint32_t id = app ? AppNextId(app) : orphan_ids.fetch_add(1);
    return static_cast<int32_t>(id & 0x7FFFFFFF);
}

void CollectPreOrder(DocItem* item, PtrArray& out) {
    const uint32_t count = DocItemGetChildCount(item);
    for (uint32_t i = 0; i < count; ++i) {
        Ref<DocItem> child = DocItemGetChild(item, i);
        if (!child) break;
        PtrArrayAdd(out, child.get());
        CollectPreOrder(child.get(), out);
    }
}

}  // namespace

DocItem::DocItem(ViewerContext* context, uint32_t type, uint32_t open_number)
    : type(type),
      id(NextItemId(ViewerGetApp(context).get())),
      app(ViewerGetApp(context)),
      open_number(open_number) {}

DocItem::~DocItem() {
    // Listeners learn of the end even of an item that was removed long ago.
    if (Ref<EventHub> hub = app ? AppGetEventHub(app.get()) : nullptr) {
        EventHubPostArg(hub.get(), nullptr, event::kItemDestroyed, VariantOfInt(id));
    }
    if (sink) TreeItemSinkDetach(sink.get());
}

Ref<OpenParams> DocItem::GetOpenParams() { return nullptr; }

Ref<DocumentSource> DocItem::GetSource() { return nullptr; }

Ref<CutOutState> DocItem::GetCutOut() { return nullptr; }

Ref<RasterImage> DocItem::RenderPage(ViewerContext* context, const PagePlacement& placement,
                                     ProgressSink* progress, ImageStatus* status) {
    return nullptr;
}

Ref<PageMetrics> DocItem::GetPageMetrics(ViewerContext* context) { return nullptr; }

Ref<MarkupPage> DocItem::GetRedlinePage(ViewerContext* context, bool only_if_not_empty) { return nullptr; }

RootItem::RootItem(ViewerContext* context, uint32_t open_number)
    : DocItem(context, doc_type::kRoot, open_number) {}

bool RootItem::Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) {
    if (pass == kMainViewPass) DrawEmptyPage(dc, rect);
    return true;
}

Ref<DocItem> RootItemCreate(ViewerContext* context) {
    if (!context) return nullptr;
    Ref<DocItem> root = MakeRef<RootItem>(context, ViewerNextOpenNumber(context));
    ViewerSendActionArg(context, event::kItemAdded, VariantOfObject(root.get()));
    return root;
}

// ---- Members

uint32_t DocItemGetType(const DocItem* item) { return item ? item->type.load() : 0; }

int32_t DocItemGetId(const DocItem* item) { return item ? item->id : -1; }

int32_t DocItemGetParentId(const DocItem* item) { return item ? item->parent_id.load() : -1; }

uint32_t DocItemGetOpenNumber(const DocItem* item) { return item ? item->open_number : 0; }

WString& DocItemGetName(DocItem* item, WString& out) {
    if (!item) return WStrClear(out);
    ScopedLock hold(item->lock);
    return WStrAssign(out, item->name);
}

void DocItemSetName(DocItem* item, ViewerContext* context, const WString& name) {
    if (!item) return;
    {
        ScopedLock hold(item->lock);
        WStrAssign(item->name, name);
    }
    if (context) ViewerSendActionArg(context, event::kItemNameChanged, VariantOfObject(item));
}

bool DocItemSetKind(DocItem* item, ViewerContext* context, uint32_t type) {
    if (!item) return false;
    uint32_t expected = doc_type::kLoading;
    if (!item->type.compare_exchange_strong(expected, type)) return false;
    ViewerSendActionArg(context, event::kItemKindChanged, VariantOfObject(item));
    return true;
}

WString& DocItemGetDisplayName(DocItem* item, ViewerContext* context, WString& out) {
    DocItemGetName(item, out);
    if (DocItemGetType(item) != doc_type::kPage) return out;
    Ref<DocItem> document = DocItemGetParent(item, context);
    if (!document) return out;
    WString page_name = out;
    DocItemGetName(document.get(), out);
    if (DocItemGetChildCount(document.get()) > 1) {
        WStrAppendChars(out, L" / ");
        WStrAppend(out, page_name);
    }
    return out;
}

// ---- Children

bool DocItemAddChild(DocItem* parent, ViewerContext* context, DocItem* child) {
    if (!parent || !child || child == parent || DocItemGetType(child) == doc_type::kRoot) return false;
    // An item hangs in one place only, and never below itself.
    if (DocItemGetParentId(child) >= 0 || DocItemFindById(child, parent->id)) return false;
    {
        ScopedLock hold(parent->lock);
        if (PtrArrayAdd(parent->children, child) < 0) return false;
    }
    child->parent_id = parent->id;
    parent->ChildrenChanged(context);
    return true;
}

bool DocItemRemoveChildAt(DocItem* parent, ViewerContext* context, uint32_t position) {
    if (!parent) return false;
    Ref<DocItem> child;
    {
        ScopedLock hold(parent->lock);
        child = PtrArrayGetAs<DocItem>(parent->children, position);
        if (!child) return false;
        PtrArrayRemoveAt(parent->children, position);
    }
    child->parent_id = -1;
    DocItemNotifyRemoved(child.get(), context);
    parent->ChildrenChanged(context);
    return true;
}

bool DocItemRemoveChild(DocItem* parent, ViewerContext* context, DocItem* child) {
    if (!parent || !child) return false;
    int32_t position;
    {
        ScopedLock hold(parent->lock);
        position = PtrArrayFind(parent->children, child);
    }
    return position >= 0 && DocItemRemoveChildAt(parent, context, static_cast<uint32_t>(position));
}

void DocItemNotifyRemoved(DocItem* item, ViewerContext* context) {
    if (!item) return;
    PtrArray removed(100, true);
    PtrArrayAdd(removed, item);
    CollectPreOrder(item, removed);
    for (uint32_t i = 0; i < removed.count; ++i) {
        const int32_t id = static_cast<DocItem*>(removed.items[i])->id;
        ViewerSendActionArg(context, event::kItemRemoved, VariantOfInt(id));
    }
}

Ref<DocItem> DocItemGetChild(DocItem* item, uint32_t position) {
    if (!item) return nullptr;
    ScopedLock hold(item->lock);
    return PtrArrayGetAs<DocItem>(item->children, position);
}

uint32_t DocItemGetChildCount(DocItem* item) {
    if (!item) return 0;
    ScopedLock hold(item->lock);
    return item->children.count;
}

Ref<DocItem> DocItemGetParent(DocItem* item, ViewerContext* context) {
    const int32_t parent_id = DocItemGetParentId(item);
    return parent_id < 0 ? nullptr : ViewerFindItem(context, parent_id);
}

uint32_t DocItemCollectDescendants(DocItem* item, PtrArray& out) {
    const uint32_t before = out.count;
    if (item) CollectPreOrder(item, out);
    return out.count - before;
}

// ---- Lookups

Ref<DocItem> DocItemVisit(DocItem* item, bool (*visit)(DocItem*, void*), void* data) {
    if (!item || !visit) return nullptr;
    if (visit(item, data)) return Ref<DocItem>(item);
    const uint32_t count = DocItemGetChildCount(item);
    for (uint32_t i = 0; i < count; ++i) {
        Ref<DocItem> child = DocItemGetChild(item, i);
        if (!child) break;
        if (Ref<DocItem> found = DocItemVisit(child.get(), visit, data)) return found;
    }
    return nullptr;
}

Ref<DocItem> DocItemFindById(DocItem* item, int32_t id) {
    return DocItemVisit(
        item,
        [](DocItem* candidate, void* wanted) { return candidate->id == *static_cast<int32_t*>(wanted); },
        &id);
}

Ref<DocItem> DocItemFindDocument(DocItem* item, ViewerContext* context) {
    Ref<DocItem> current(item);
    // The parent chain is short; the bound only guards a tree gone wrong.
    for (int depth = 0; current && depth < 10000; ++depth) {
        if (DocItemGetType(current.get()) & doc_type::kDocuments) return current;
        current = DocItemGetParent(current.get(), context);
    }
    return nullptr;
}

Ref<DocItem> DocItemFindBySourcePath(DocItem* item, bool recurse, uint32_t type_mask, const WString& path) {
    if (!item) return nullptr;
    if (DocItemGetType(item) & type_mask) {
        if (WStrLength(path) == 0) return Ref<DocItem>(item);
        if (Ref<DocumentSource> source = item->GetSource()) {
            WString source_path;
            if (PathEquals(SourceGetPath(source.get(), source_path), path)) return Ref<DocItem>(item);
        }
    }
    if (!recurse) return nullptr;
    const uint32_t count = DocItemGetChildCount(item);
    for (uint32_t i = 0; i < count; ++i) {
        Ref<DocItem> child = DocItemGetChild(item, i);
        if (!child) break;
        if (Ref<DocItem> found = DocItemFindBySourcePath(child.get(), true, type_mask, path)) return found;
    }
    return nullptr;
}

void PagePlacementSetAutoInvert(DocItem* item, PagePlacement& placement) {
    Ref<OpenParams> params = item ? item->GetOpenParams() : nullptr;
    if (!params) return;
    const uint32_t mode = OpenParamsGetAutoInvert(params.get());
    placement.negative_mode = mode == 1 || mode == 2 ? mode : 0;
}
