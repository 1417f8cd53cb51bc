#include "viewer/core/document_open_close.h"

#include "foundation/string_split.h"
#include "foundation/variant.h"
#include "viewer/app/page_navigation.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

// Item types the close command removes: documents of every outcome, list
// entries still loading (their sources cancel their workers), comparisons
// and comparison pages.
constexpr uint32_t kClosableTypes = doc_type::kUnshowable | doc_type::kImage | doc_type::kList |
                                    doc_type::kLoading | doc_type::kFailed | doc_type::kComparison |
                                    doc_type::kComparisonPage | doc_type::kPage;

// Starts one path as a list entry under the root; its id, or -1.
int32_t OpenOnePath(ViewerContext* context, DocItem* root, const WString& path,
                    const OpenParams* request_params, bool first, uint32_t mode) {
    Ref<OpenParams> params = OpenParamsClone(request_params);
    if (!params) return -1;
    if (!first) OpenParamsSetActivateWhenLoaded(params.get(), false);
    Ref<DocumentSource> source = SourceCreate(context, path, params.get());
    if (!source) return -1;
    const uint32_t number = ViewerNextOpenNumber(context);
    Ref<DocumentItem> entry = DocumentItemCreate(context, root, source.get(), params.get(), number);
    if (!entry) return -1;
    Variant argument;
    VariantInitObject(argument, OpenRequestCreate(path, mode).get());
    ViewerPostActionArg(context, event::kDocumentOpened, argument);
    SourceStartLoad(source.get(), context);
    return DocItemGetId(entry.get());
}

struct OpenStart {
    Ref<DocItem> root;
    Ref<OpenParams> params;
};

// The root and the request's parameters, or false when the request is
// refused or cannot be served.
bool PrepareOpen(ViewerContext* context, const OpenParams* params, uint32_t mode, OpenStart& out) {
    if (!context) return false;
    if (mode == kOpenInteractive && !ViewerIsAllowed(context, 0, restriction::kOpenInteractively)) {
        return false;
    }
    out.root = ViewerGetRootItem(context);
    if (!out.root) return false;
    out.params = OpenParamsForOpen(context, params);
    return out.params != nullptr;
}

bool IsInside(ViewerContext* context, DocItem* item, DocItem* ancestor) {
    Ref<DocItem> current(item);
    while (current) {
        if (current.get() == ancestor) return true;
        current = DocItemGetParent(current.get(), context);
    }
    return false;
}

// A page of an image document stands for the document; any other page, and
// every other item, for itself.
Ref<DocItem> ItemToClose(ViewerContext* context, Ref<DocItem> item) {
    if (DocItemGetType(item.get()) != doc_type::kPage) return item;
    Ref<DocItem> parent = DocItemGetParent(item.get(), context);
    return DocItemGetType(parent.get()) == doc_type::kImage ? parent : item;
}

}  // namespace

int32_t ViewerOpenDocument(ViewerContext* context, const WString& paths, const OpenParams* params,
                           uint32_t mode) {
    OpenStart start;
    if (!PrepareOpen(context, params, mode, start)) return -1;
    WStrSplit* parts = WStrSplitChar(paths, L'\t', true);
    if (!parts) return 0;
    int32_t started = 0;
    for (uint32_t i = 0; i < parts->count; ++i) {
        WString path;
        WStrSplitGet(*parts, i, path);
        if (OpenOnePath(context, start.root.get(), path, start.params.get(), i == 0, mode) >= 0) ++started;
    }
    StrSplitFree(parts);
    return started;
}

int32_t ViewerOpenDocumentEx(ViewerContext* context, const WString& path, const OpenParams* params,
                             uint32_t mode) {
    OpenStart start;
    if (!PrepareOpen(context, params, mode, start)) return -1;
    return OpenOnePath(context, start.root.get(), path, start.params.get(), true, mode);
}

bool ViewerCloseDocument(ViewerContext* context, int32_t id) {
    if (!context) return false;
    bool is_active = false;
    Ref<DocItem> item = ViewerGetDocumentByIndex(context, id, is_active);
    bool removed = false;
    if (item) item = ItemToClose(context, std::move(item));
    if (item && (DocItemGetType(item.get()) & kClosableTypes)) {
        Ref<DocItem> active = ViewerGetActiveItem(context);
        const bool active_inside = active && IsInside(context, active.get(), item.get());
        Ref<DocItem> parent = DocItemGetParent(item.get(), context);
        removed = parent && DocItemRemoveChild(parent.get(), context, item.get());
        if (removed && active_inside) ViewerSetActiveItem(context, nullptr);
    }
    ViewerPageStep(context, 0, true);
    return removed;
}

void ViewerCloseAll(ViewerContext* context) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return;
    while (DocItemGetChildCount(root.get()) > 0) {
        if (!DocItemRemoveChildAt(root.get(), context, 0)) break;
    }
    ViewerSetActiveItem(context, nullptr);
    // An edit ends with its documents; redlining that is off stays off.
    if (ViewerGetRedliningMode(context) != kRedliningModeOff) RedlineSetViewMode(context);
}
