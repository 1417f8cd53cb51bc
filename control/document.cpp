#include "control/document.h"

#include "control/com/bstr.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/views/cut_out_state.h"

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

void Document::Bind(ViewerContext* context, DocItem* item) {
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

// The change methods, GetSubDoc and Convert act through the viewer's
// actions on the control's document tree; the control that hands out bound
// documents brings them. Until then they answer their failure values.
STDMETHODIMP Document::SetInverted(VARIANT_BOOL, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP Document::SetFlipX(VARIANT_BOOL, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP Document::SetFlipY(VARIANT_BOOL, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP Document::SetRotation(long, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP Document::SetZoomRect(double, double, double, double, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP Document::Zoom(double, VARIANT_BOOL* pbResult) { return ComAnswer(pbResult, VARIANT_FALSE); }

STDMETHODIMP Document::get_SubDocCount(long* pVal) {
    return ComAnswer(pVal, item_ ? static_cast<long>(DocItemGetChildCount(item_.get())) : 0L);
}

STDMETHODIMP Document::GetSubDoc(long, IDocument** ppSubDoc) { return ComAnswer(ppSubDoc, nullptr); }

STDMETHODIMP Document::Convert(VARIANT_BOOL, IConverter** pConverter) {
    return ComAnswer(pConverter, nullptr);
}
