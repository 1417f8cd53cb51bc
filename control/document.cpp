#include "control/document.h"

#include <cmath>

#include "control/com/bstr.h"
#include "control/converter.h"
#include "viewer/app/document_controller.h"
#include "viewer/core/settings.h"
#include "viewer/core/view_operations.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/export/page_list.h"
#include "viewer/model/cut_out_state.h"

namespace {

// The id and page index an unbound document answers.
constexpr long kNoId = -1;

VARIANT_BOOL Bool(bool value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }

}  // namespace

const ComInterfaceEntry Document::kInterfaces[] = {
    ComEntry<Document, IDocument>(IID_IDocument),
    ComEntry<Document, IDocument>(IID_IDispatch),
    ComEntry<Document, IProvideClassInfo2>(IID_IProvideClassInfo2),
    ComEntry<Document, IProvideClassInfo2>(IID_IProvideClassInfo),
    ComEntry<Document, ISupportErrorInfo>(IID_ISupportErrorInfo),
    {},
};

Document::Document() = default;
Document::~Document() = default;

HRESULT Document::Create(REFIID iid, void** out) { return ComCreate(new Document(), iid, out); }

HRESULT DocumentCreateBound(ViewerContext* context, DocItem* item, IDocument** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<IDocument> document;
    const HRESULT created = Document::Create(IID_IDocument, document.PutVoid());
    if (FAILED(created)) return created;
    static_cast<Document*>(document.get())->DocumentInit(context, item);
    *out = document.Detach();
    return S_OK;
}

void Document::DocumentInit(ViewerContext* context, DocItem* item) {
    context_ = Ref<ViewerContext>(context);
    item_ = Ref<DocItem>(item);
}

STDMETHODIMP Document::get_ID(long* pVal) {
    return ComAnswer(pVal, item_ ? DocItemGetId(item_.get()) : kNoId);
}

STDMETHODIMP Document::get_Name(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    if (!item_) return S_OK;
    WString name;
    *pVal = BstrFromWString(DocItemGetName(item_.get(), name));
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Document::get_Type(long* pVal) {
    return ComAnswer(pVal, item_ ? static_cast<long>(DocItemGetType(item_.get())) : 0L);
}

STDMETHODIMP Document::get_FileName(BSTR* pVal) {
    if (!pVal) return E_POINTER;
    *pVal = nullptr;
    Ref<DocumentSource> source = item_ ? item_->GetSource() : nullptr;
    if (!source) return S_OK;
    WString path;
    *pVal = BstrFromWString(SourceGetPath(source.get(), path));
    return *pVal ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP Document::get_PageIndex(long* pVal) {
    return ComAnswer(pVal, item_ ? static_cast<long>(item_->GetPageIndex()) : kNoId);
}

STDMETHODIMP Document::get_WidthMM(double* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, state ? CutOutGetPageSize(state.get()).width : 0.0);
}

STDMETHODIMP Document::get_HeightMM(double* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, state ? CutOutGetPageSize(state.get()).height : 0.0);
}

STDMETHODIMP Document::get_IsInverted(VARIANT_BOOL* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, Bool(state && CutOutGetInvert(state.get())));
}

STDMETHODIMP Document::get_IsFlippedX(VARIANT_BOOL* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, Bool(state && CutOutGetMirrorHorizontal(state.get())));
}

STDMETHODIMP Document::get_IsFlippedY(VARIANT_BOOL* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, Bool(state && CutOutGetMirrorVertical(state.get())));
}

STDMETHODIMP Document::get_Rotation(long* pVal) {
    Ref<CutOutState> state = item_ ? item_->GetCutOut() : nullptr;
    return ComAnswer(pVal, state ? static_cast<long>(CutOutGetRotation(state.get())) : 0L);
}

// The item's id when the document may be changed: bound to a viewer that
// has a document controller; -1 otherwise.
int32_t Document::ChangeableId() {
    if (!context_ || !item_ || !ViewerGetController(context_.get())) return kNoId;
    return DocItemGetId(item_.get());
}

STDMETHODIMP Document::SetInverted(VARIANT_BOOL bInvert, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    return ComAnswer(pbResult,
                     Bool(id != kNoId && ViewerSetInverted(context_.get(), id, bInvert != 0, true)));
}

STDMETHODIMP Document::SetFlipX(VARIANT_BOOL bFlip, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    return ComAnswer(pbResult,
                     Bool(id != kNoId && ViewerMirrorHorizontal(context_.get(), id, bFlip != 0, true)));
}

STDMETHODIMP Document::SetFlipY(VARIANT_BOOL bFlip, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    return ComAnswer(pbResult,
                     Bool(id != kNoId && ViewerMirrorVertical(context_.get(), id, bFlip != 0, true)));
}

STDMETHODIMP Document::SetRotation(long lRotation, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    return ComAnswer(pbResult, Bool(id != kNoId && ViewerRotatePage(context_.get(), id, lRotation, true)));
}

STDMETHODIMP Document::SetZoomRect(double dLeftMM, double dTopMM, double dWidthMM, double dHeightMM,
                                   VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    // A negative side spans back from the given corner.
    RectD rect;
    rect.size = {std::fabs(dWidthMM), std::fabs(dHeightMM)};
    rect.origin = {dWidthMM < 0 ? dLeftMM + dWidthMM : dLeftMM, dHeightMM < 0 ? dTopMM + dHeightMM : dTopMM};
    return ComAnswer(
        pbResult, Bool(id != kNoId && ViewerSetCutOut(context_.get(), kCallerAutomation, id, rect, false)));
}

STDMETHODIMP Document::Zoom(double dFactor, VARIANT_BOOL* pbResult) {
    if (!pbResult) return E_POINTER;
    const int32_t id = ChangeableId();
    return ComAnswer(pbResult,
                     Bool(id != kNoId && ViewZoomByFactor(context_.get(), kCallerAutomation, id, dFactor)));
}

STDMETHODIMP Document::get_SubDocCount(long* pVal) {
    return ComAnswer(pVal, item_ ? static_cast<long>(DocItemGetChildCount(item_.get())) : 0L);
}

STDMETHODIMP Document::GetSubDoc(long lIndexBase0, IDocument** ppSubDoc) {
    if (!ppSubDoc) return E_POINTER;
    *ppSubDoc = nullptr;
    if (!item_ || lIndexBase0 < 0) return S_OK;
    Ref<DocItem> child = DocItemGetChild(item_.get(), static_cast<uint32_t>(lIndexBase0));
    if (!child) return S_OK;
    return DocumentCreateBound(context_.get(), child.get(), ppSubDoc);
}

STDMETHODIMP Document::Convert(VARIANT_BOOL bPreserveViewSettings, IConverter** pConverter) {
    if (!pConverter) return E_POINTER;
    *pConverter = nullptr;
    Ref<DocumentSource> source = item_ ? item_->GetSource() : nullptr;
    if (!context_ || !source) return S_OK;
    uint32_t page_count = 0;
    PageList pages;
    if (bPreserveViewSettings) pages = BuildPageList(context_.get(), item_.get(), &page_count);
    return ConverterCreateBound(context_.get(), source.get(), std::move(pages), page_count, pConverter);
}
