#include "redlining/redline_document.h"

#include "foundation/handles.h"

// ---- RedlinePage

bool RedlinePage::CreateLayer() {
    ScopedLock hold(lock_);
    if (layer_) return false;
    layer_ = MakeRef<RedlineLayer>();
    return true;
}

uint32_t RedlinePage::LayerCount() {
    ScopedLock hold(lock_);
    return layer_ ? 1 : 0;
}

Ref<RedlineLayer> RedlinePage::GetLayer(uint32_t index) {
    ScopedLock hold(lock_);
    return index == 0 ? layer_ : nullptr;
}

bool RedlinePage::SetLayer(RedlineLayer* layer) {
    ScopedLock hold(lock_);
    if (layer_ || !layer) return false;
    layer_ = Ref<RedlineLayer>(layer);
    return true;
}

Ref<RedlineObject> RedlinePage::TopmostHit(const ViewMapping* mapping, const PointD& point) {
    Ref<RedlineLayer> layer = GetLayer(0);
    return layer ? layer->objects.TopmostHit(mapping, point) : nullptr;
}

Ref<RedlineObject> RedlinePage::TopmostHandleHit(const ViewMapping* mapping, const PointD& point,
                                                 int32_t& handle, int32_t& cursor) {
    handle = -1;
    Ref<RedlineLayer> layer = GetLayer(0);
    return layer ? layer->objects.TopmostHandleHit(mapping, point, handle, cursor) : nullptr;
}

bool RedlinePageHasObjects(RedlinePage* page) {
    Ref<RedlineLayer> layer = page ? page->GetLayer(0) : nullptr;
    return layer && layer->objects.Count() > 0;
}

bool RedlinePaintPage(RedlinePage* page, ViewerContext* context, uint32_t purpose, HDC dc,
                      const ViewMapping* mapping, RedlineObject* single, uint32_t flags) {
    if (!page || !mapping || !dc) return false;
    Ref<RedlineLayer> layer = page->GetLayer(0);
    if (!layer) return false;
    RedlineDrawContext draw;
    RedlineDrawContextBuild(draw, context, mapping, flags);
    bool ok;
    {
        ScopedSelect pen(dc, GetStockObject(NULL_PEN));
        ScopedSelect brush(dc, GetStockObject(NULL_BRUSH));
        ScopedSelect font(dc, GetStockObject(SYSTEM_FONT));
        ok = single ? single->Draw(context, purpose, dc, mapping, draw, flags)
                    : layer->Paint(context, purpose, dc, mapping, draw, flags);
    }
    RedlineDrawContextFree(draw);
    return ok;
}

// ---- RedlineDocument

Ref<RedlineDocument> RedlineDocumentCreate() { return MakeRef<RedlineDocument>(); }

uint32_t RedlineDocPageCount(RedlineDocument* document) {
    ScopedLock hold(document->lock);
    return document->pages.count;
}

Ref<RedlinePage> RedlineDocGetPage(RedlineDocument* document, uint32_t index) {
    ScopedLock hold(document->lock);
    return PtrArrayGetAs<RedlinePage>(document->pages, index);
}

bool RedlineDocAddPages(RedlineDocument* document, uint32_t n) {
    ScopedLock hold(document->lock);
    if (document->pages.count >= n) return false;
    while (document->pages.count < n) {
        Ref<RedlinePage> page = MakeRef<RedlinePage>();
        page->page_index = document->pages.count;
        page->CreateLayer();
        if (PtrArrayAdd(document->pages, page.get()) < 0) return false;
    }
    return true;
}
