#include "viewer/documents/tree_item_sink.h"

#include "foundation/variant.h"
#include "viewer/app/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/comparison_item.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

uint32_t KindToType(uint32_t state, uint32_t content_kind) {
    if (state == kSourceFailed) return doc_type::kFailed;
    if (state != kSourceLoaded) return 0;
    switch (content_kind) {
        case kContentNotShowable:
            return doc_type::kUnshowable;
        case kContentImage:
            return doc_type::kImage;
        case kContentList:
            return doc_type::kList;
        default:
            return 0;
    }
}

}  // namespace

Ref<DocItem> TreeItemSink::Item() {
    ScopedLock hold(lock_);
    // The item may be in its destructor on another thread: never revive it.
    if (!item_ || !RefTryAddRef(item_)) return nullptr;
    return AdoptRef(item_);
}

void TreeItemSink::ForgetItem() {
    ScopedLock hold(lock_);
    item_ = nullptr;
}

HubAnswer TreeItemSink::Notify(RefCounted* sender, HubEvent* event) {
    if (!event) return HubAnswer::kContinue;
    Ref<DocItem> item = Item();
    if (!item) return HubAnswer::kContinue;
    if (event->code == event::kItemContentChanged) {
        auto* comparison = dynamic_cast<ComparisonItem*>(item.get());
        if (!comparison) return HubAnswer::kContinue;
        ComparisonCompose(comparison, dynamic_cast<ViewerContext*>(sender));
        return HubAnswer::kHandled;
    }
    if (event->code != event::kSourceLoaded || !sender) return HubAnswer::kContinue;
    auto* context = dynamic_cast<ViewerContext*>(sender);
    if (!context) return HubAnswer::kContinue;
    Ref<RefCounted> announced = VariantGetObject(event->argument);
    TreeItemSourceLoaded(item.get(), context, announced.get());
    return HubAnswer::kHandled;
}

Ref<TreeItemSink> TreeItemSinkCreate(DocItem* item) {
    if (!item || !item->app) return nullptr;
    Ref<EventHub> hub = AppGetEventHub(item->app.get());
    if (!hub) return nullptr;
    Ref<TreeItemSink> sink = MakeRef<TreeItemSink>(item);
    ListenerConstruct(sink.get(), hub.get());
    return sink;
}

void TreeItemSinkDetach(TreeItemSink* sink) {
    if (!sink) return;
    sink->ForgetItem();
    ListenerDetach(sink);
}

bool TreeItemSourceLoaded(DocItem* item, ViewerContext* context, RefCounted* announced_source) {
    if (!item || DocItemGetType(item) != doc_type::kLoading) return false;
    auto* announced = dynamic_cast<DocumentSource*>(announced_source);
    Ref<DocumentSource> own = item->GetSource();
    if (!announced || !own || SourceGetId(announced) != SourceGetId(own.get())) return false;
    const uint32_t type = KindToType(SourceGetState(own.get()), SourceGetContentKind(own.get()));
    // A source announced again (a second start of its load) finds the item
    // changed already and builds nothing twice.
    if (type == 0 || !DocItemSetKind(item, context, type)) return true;
    // The item can never react to a source again: its listener would only
    // cost every later event a call.
    TreeItemSinkDetach(item->sink.get());
    DocumentApplySource(own.get(), context, item);
    if (DocItemGetType(item) == doc_type::kImage) DocumentLoadRedlining(item, context);
    return true;
}
