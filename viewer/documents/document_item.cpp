// Documents and their pages: construction, permissions, the box of a file
// the view cannot show, the page render and the markup document.
#include <cmath>

#include "foundation/data_reader.h"
#include "foundation/variant.h"
#include "imaging/formats/image_format.h"
#include "resources/text_ids.h"
#include "viewer/contracts/markups.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/documents/item_drawing.h"
#include "viewer/documents/page_metrics.h"
#include "viewer/documents/tree_item_sink.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/page_boxes.h"

namespace {

// Bits of the settings' RESTRICTIONS word that the permission checks test.

// A render that fails at a size the view really asks for marks the page
// refused; tiny or huge requests prove nothing about the page.
constexpr uint32_t kRefusalMinPixels = 10;
constexpr uint32_t kRefusalMaxPixels = 5000;
constexpr double kRefusalMinWidthMm = 0.01;

constexpr COLORREF kUnshowableText = RGB(150, 150, 150);

// What the reader's status says about the page itself: only a file the
// reader cannot decode fails the same way next time. A short read, a lack
// of memory or a cancelled print may pass.
bool IsLastingFailure(const ImageStatus& status) {
    return status.severity >= kSeverityError &&
           (status.code == kStatusNotRecognised || status.code == kStatusUnsupported ||
            status.code == kStatusBadData);
}

bool IsSensibleRequest(const PagePlacement& placement) {
    auto in_range = [](uint32_t pixels) {
        return pixels >= kRefusalMinPixels && pixels <= kRefusalMaxPixels;
    };
    return in_range(placement.pixel_width) && in_range(placement.pixel_height) &&
           std::fabs(placement.rect.size.width) >= kRefusalMinWidthMm;
}

void WriteText(HDC dc, ViewerContext* context, int x, int y, uint32_t text_id) {
    ItemTextOut(dc, x, y, ViewerGetText(context, text_id));
}

}  // namespace

// ---- DocumentItem

DocumentItem::DocumentItem(ViewerContext* context, uint32_t type, uint32_t open_number,
                           DocumentSource* source, OpenParams* params)
    : DocItem(context, type, open_number), source(source), params(params) {}

DocumentItem::~DocumentItem() = default;

Ref<OpenParams> DocumentItem::GetOpenParams() {
    ScopedLock hold(lock);
    return params;
}

Ref<DocumentSource> DocumentItem::GetSource() { return source; }

bool DocumentItem::Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) {
    if (pass != kMainViewPass || !dc) return false;
    if (SourceGetState(source.get()) != kSourceLoaded ||
        SourceGetContentKind(source.get()) != kContentNotShowable) {
        return false;
    }
    if (!DrawGreyBox(dc, rect)) return false;
    GdiFont font = CreateItemFont(-25, FW_BOLD, FF_SWISS, nullptr);
    if (!font) return false;
    ItemTextScope style(dc, kUnshowableText, font.get());
    for (uint32_t line = 0; line < 3; ++line) {
        WriteText(dc, context, rect.origin.x + 20, rect.origin.y + 20 + 40 * static_cast<int>(line),
                  text::kCannotDisplayFile + line);
    }
    return true;
}

ImageStatus DocumentItem::GetOpenStatus() {
    // Sniffed as an image, but the reader refused it: the view says why
    // rather than showing the empty page.
    if (SourceGetState(source.get()) != kSourceLoaded ||
        SourceGetContentKind(source.get()) != kContentImage || SourceGetFormat(source.get())) {
        return ImageStatus();
    }
    ImageStatus status = SourceGetFormatStatus(source.get());
    if (status.severity < kSeverityError) ImageStatusError(&status, kStatusNotRecognised);
    return status;
}

bool DocumentItem::CanSave(ViewerContext* context) {
    if (!context || !(DocItemGetType(this) & doc_type::kSavable)) return false;
    Ref<OpenParams> own = GetOpenParams();
    if (own && !OpenParamsGetAllowSave(own.get())) return false;
    return ViewerIsAllowed(context, 0, restriction::kSave);
}

bool DocumentItem::CanShowProperties(ViewerContext* context) {
    Ref<OpenParams> own = GetOpenParams();
    if (own && !OpenParamsGetAllowFlag(own.get())) return false;
    return ViewerIsAllowed(context, 0, restriction::kProperties);
}

Ref<PageMetrics> DocumentItem::GetPageMetrics(ViewerContext* context) {
    Ref<ImagePage> page = DocItemGetPage(this);
    if (!page) return nullptr;
    return PageMetricsCreate(SizeD{std::fabs(page->WidthMm()), std::fabs(page->HeightMm())}, page->DpiX(),
                             page->DpiY());
}

Ref<DocumentItem> DocumentItemCreate(ViewerContext* context, DocItem* parent, DocumentSource* source,
                                     OpenParams* params, uint32_t open_number) {
    if (!context || !parent || !source) return nullptr;
    Ref<DocumentItem> item = MakeRef<DocumentItem>(context, doc_type::kLoading, open_number, source, params);
    WString name = OpenParamsGetTitle(params);
    if (WStrLength(name) == 0) SourceGetFileName(source, name);
    if (WStrLength(name) == 0) {
        WString path;
        WStrGetFileName(SourceGetPath(source, path), name);
    }
    item->name = name;
    item->sink = TreeItemSinkCreate(item.get());
    if (!DocItemAddChild(parent, context, item.get())) return nullptr;
    ViewerSendActionArg(context, event::kItemAdded, VariantOfObject(item.get()));
    return item;
}

// ---- PageItem

PageItem::PageItem(ViewerContext* context, uint32_t type, uint32_t open_number, DocumentSource* source,
                   OpenParams* params, uint32_t page_index, CutOutState* cut_out)
    : DocumentItem(context, type, open_number, source, params), cut_out(cut_out), page_index(page_index) {}

PageItem::~PageItem() = default;

Ref<CutOutState> PageItem::GetCutOut() { return cut_out; }

Ref<RasterImage> PageItem::RenderPage(ViewerContext* context, const PagePlacement& placement,
                                      ProgressSink* progress, ImageStatus* status) {
    if (render_state == kPageRefused) {
        ImageStatusError(status, refusal_code);
        return nullptr;
    }
    Ref<DataSource> data = SourceGetData(source.get());
    bool changed = false;
    Ref<DataReader> reader = data ? SourceOpenReader(source.get(), changed) : nullptr;
    reader.Reset();
    Ref<ImageFormat> format = SourceGetFormat(source.get());
    if (!data || !format || changed) {
        ImageStatusError(status, kRenderStatusUnreadable);
        return nullptr;
    }
    Ref<ImagePage> page = format->GetPage(page_index);
    if (!page) {
        ImageStatusError(status, kStatusNothingToRender);
        return nullptr;
    }
    ImageStatus render_status;
    Ref<RasterImage> image = PageRender(page.get(), &render_status, data.get(), &placement, progress);
    if (image) {
        uint32_t never = kPageNeverRendered;
        render_state.compare_exchange_strong(never, kPageRendered);
        return image;
    }
    ImageStatusSet(status, render_status.severity, render_status.code);
    if (IsLastingFailure(render_status) && IsSensibleRequest(placement)) {
        refusal_code = render_status.code;
        uint32_t never = kPageNeverRendered;
        render_state.compare_exchange_strong(never, kPageRefused);
    }
    return nullptr;
}

bool PageItem::Draw(ViewerContext* context, uint32_t pass, HDC dc, const RectI& rect) {
    return pass == kMainViewPass;
}

bool PageItem::CanPrint(ViewerContext* context) {
    Ref<OpenParams> own = GetOpenParams();
    if (own && !OpenParamsGetAllowPrint(own.get())) return false;
    return ViewerIsAllowed(context, 0, restriction::kPrint);
}

Ref<MarkupPage> PageItem::GetRedlinePage(ViewerContext* context, bool only_if_not_empty) {
    Ref<DocItem> document = DocItemGetParent(this, context);
    if (DocItemGetType(document.get()) != doc_type::kImage) return nullptr;
    Ref<MarkupDocument> redlining = DocItemGetRedlining(document.get());
    if (!redlining) return nullptr;
    Ref<MarkupProvider> markups = ViewerGetMarkups(context);
    return markups->GetPage(redlining.get(), page_index, only_if_not_empty);
}

Ref<PageItem> PageItemCreate(ViewerContext* context, DocItem* document, DocumentSource* source,
                             uint32_t page_index, const SizeD& page_size, OpenParams* params) {
    if (!context || !source || DocItemGetType(document) != doc_type::kImage) return nullptr;
    Ref<CutOutState> cut_out = CutOutCreate(page_size);
    if (!cut_out) return nullptr;
    if (params) CutOutApplyOpenParams(cut_out.get(), params);
    Ref<PageItem> page = MakeRef<PageItem>(context, doc_type::kPage, DocItemGetOpenNumber(document), source,
                                           params, page_index, cut_out.get());
    page->name = OpenParamsGetTitle(params);
    if (!DocItemAddChild(document, context, page.get())) return nullptr;
    ViewerSendActionArg(context, event::kItemAdded, VariantOfObject(page.get()));
    return page;
}

uint32_t PageItemGetRenderState(DocItem* item) {
    auto* page = dynamic_cast<PageItem*>(item);
    return page ? page->render_state.load() : kPageNeverRendered;
}

// ---- Pages and markups

Ref<ImagePage> DocItemGetPage(DocItem* item) {
    if (!item) return nullptr;
    const uint32_t index = item->GetPageIndex();
    if (index == kNoPageIndex) return nullptr;
    Ref<DocumentSource> source = item->GetSource();
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    return format ? format->GetPage(index) : nullptr;
}

Ref<MarkupDocument> DocItemGetRedlining(DocItem* item) {
    auto* document = dynamic_cast<DocumentItem*>(item);
    if (!document) return nullptr;
    ScopedLock hold(document->lock);
    return document->redlining;
}

void DocumentLoadRedlining(DocItem* item, ViewerContext* context) {
    auto* document = dynamic_cast<DocumentItem*>(item);
    if (!document || !context || DocItemGetType(item) != doc_type::kImage) return;
    {
        ScopedLock hold(context->lock);
        if (!context->redlining_active) return;
    }
    Ref<MarkupProvider> markups = ViewerGetMarkups(context);
    Ref<MarkupDocument> redlining = markups->CreateDocument();
    if (!redlining) return;
    {
        ScopedLock hold(document->lock);
        if (document->redlining) return;
        document->redlining = redlining;
    }
    DocumentSource* source = document->source.get();
    Ref<ImageFormat> format = SourceGetFormat(source);
    bool loaded =
        format && format->FormatOrdinal() == kOrdinalTiff && markups->LoadTiff(redlining.get(), format.get());
    bool local;
    {
        ScopedLock hold(source->lock);
        local = source->local;
    }
    const uint32_t page_count = format ? format->PageCount() : DocItemGetChildCount(item);
    if (!loaded && local) {
        WString path, companion;
        WStrStripExtension(SourceGetPath(source, path), companion);
        WStrAppendChars(companion, L".PLR");
        loaded = markups->LoadFile(redlining.get(), companion, static_cast<int32_t>(page_count));
    }
    // Markup pages are looked up by the format's page index, so there is
    // one per page of the file, also for pages the tree skipped.
    if (!loaded) markups->AddPages(redlining.get(), page_count);
}
