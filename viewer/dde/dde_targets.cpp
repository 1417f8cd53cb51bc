#include "viewer/dde/dde_targets.h"

#include "viewer/app/page_navigation.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_command_parser.h"
#include "viewer/documents/doc_item.h"

Ref<DocItem> DdeFindItem(ViewerContext* context, const Variant& arg, const WString& text,
                         bool active_when_empty) {
    if (!context) return nullptr;
    if (DdeArgIsEmpty(arg)) return active_when_empty ? ViewerGetActiveItem(context) : nullptr;
    int32_t id = 0;
    if (DdeArgInt(arg, id)) {
        // -1 would name the active item to the look-up; DDE names it by
        // leaving the argument out.
        if (id <= 0) return nullptr;
        bool is_active = false;
        return ViewerGetDocumentByIndex(context, id, is_active);
    }
    if (arg.tag != kVariantText) return nullptr;
    return ViewerFindItemByName(context, text);
}

bool DdeIsPage(DocItem* item) {
    const uint32_t type = DocItemGetType(item);
    return type == doc_type::kPage || type == doc_type::kComparisonPage;
}

Ref<DocItem> DdePageOf(DocItem* item) {
    if (!item) return nullptr;
    if (DdeIsPage(item)) return Ref<DocItem>(item);
    const uint32_t type = DocItemGetType(item);
    if (type != doc_type::kImage && type != doc_type::kComparison) return nullptr;
    Ref<DocItem> first = DocItemGetChild(item, 0);
    return DdeIsPage(first.get()) ? first : nullptr;
}
