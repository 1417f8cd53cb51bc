#include "viewer/documents/document_handler.h"

#include <cmath>

#include "foundation/data_reader.h"
#include "foundation/geometry.h"
#include "foundation/variant.h"
#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/documents/list_file.h"

namespace {

// "Page 3": the page's own parameters carry it as their title.
WString PageTitle(ViewerContext* context, uint32_t index) {
    WString title = ViewerGetText(context, text::kTreePage);
    WStrAppendChar(title, L' ');
    WStrAppendInt(title, int32_t(index + 1));
    return title;
}

}  // namespace

bool DocumentHandler::LoadAndApply(ViewerContext* context, DocItem* item) {
    EnsureLoaded(context);
    if (!loaded) return false;
    return Apply(context, item);
}

void DocumentHandler::EnsureLoaded(ViewerContext* context) {
    if (loaded) return;
    load_result = Load(context);
    if (load_result) loaded = true;
}

uint32_t ImageFileHandler::ItemCount() {
    Ref<ImageFormat> format = SourceGetFormat(source);
    return format ? format->PageCount() : 0;
}

bool ImageFileHandler::Apply(ViewerContext* context, DocItem* item) {
    if (!context || !item) return false;
    bool last_made = true;
    Ref<ImageFormat> format = SourceGetFormat(source);
    const uint32_t count = format ? format->PageCount() : 0;
    Ref<OpenParams> item_params = item->GetOpenParams();
    Ref<DocumentSource> item_source = item->GetSource();
    for (uint32_t i = 0; i < count; ++i) {
        Ref<ImagePage> page = format->GetPage(i);
        if (!page) {
            last_made = false;
            continue;
        }
        const SizeD size{std::fabs(page->WidthMm()), std::fabs(page->HeightMm())};
        Ref<OpenParams> params = item_params ? OpenParamsClone(item_params.get()) : nullptr;
        if (!params) params = OpenParamsCreate();
        if (!params) {
            last_made = false;
            continue;
        }
        OpenParamsSetTitle(params.get(), PageTitle(context, i));
        last_made = PageItemCreate(context, item, item_source.get(), i, size, params.get()) != nullptr;
    }
    ViewerSendActionArg(context, event::kPagesBuilt, VariantOfObject(item));
    return last_made;
}

uint32_t ListFileHandler::ItemCount() {
    ScopedLock guard(lock);
    return entries.count;
}

bool ListFileHandler::Load(ViewerContext* context) {
    ScopedLock guard(lock);
    bool changed = false;
    Ref<DataReader> reader = SourceOpenReader(source, changed);
    if (!reader) return false;
    PtrArrayClear(entries);
    ListFileInfo info;
    const bool parsed = ListFileParse(context, reader.get(), source, entries, info);
    title = info.title;
    no_save = info.no_save;
    return parsed && entries.count > 0;
}

bool ListFileHandler::Apply(ViewerContext* context, DocItem* item) {
    if (!item) return false;
    WString list_title;
    bool forbid_save;
    PtrArray made_from;
    {
        ScopedLock guard(lock);
        list_title = title;
        forbid_save = no_save;
        if (!PtrArrayCopy(made_from, entries)) return false;
    }
    if (WStrLength(list_title) > 0) DocItemSetName(item, context, list_title);
    // The item's own parameters: the source's are gone once a worker loaded
    // it, so a list served from the web would lose the mark there.
    if (forbid_save) {
        if (Ref<OpenParams> params = item->GetOpenParams()) OpenParamsSetAllowSave(params.get(), false);
    }
    ListFileApplyEntries(context, item, made_from);
    return true;
}

Ref<DocumentHandler> ImageFileHandlerConstruct(ViewerContext* context, DocumentSource* source) {
    return MakeRef<ImageFileHandler>(source);
}

Ref<DocumentHandler> ListFileHandlerConstruct(ViewerContext* context, DocumentSource* source) {
    return MakeRef<ListFileHandler>(source);
}

Ref<DocumentHandler> GenericHandlerConstruct(ViewerContext* context, DocumentSource* source, uint32_t kind) {
    return MakeRef<GenericDocumentHandler>(source, kind);
}
