#include "viewer/core/document_controller.h"

#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"

void ViewerCloseAll(ViewerContext* context) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return;
    ViewerSetActiveItem(context, nullptr);
    while (DocItemGetChildCount(root.get()) > 0) {
        if (!DocItemRemoveChildAt(root.get(), context, DocItemGetChildCount(root.get()) - 1)) break;
    }
}
