// The automation class Document: one item of the viewer's document tree (a
// document or a page) as scripts see it. Created unbound by its class
// factory; the control and other documents bind the ones they hand out.
// Every member of an unbound document answers its failure value (-1, 0,
// false, null).
#pragma once

#include "control/com/com_object.h"
#include "control/com/type_library.h"
#include "foundation/ref_counted.h"
#include "plovex_idl.h"

class DocItem;
class ViewerContext;

// A new document bound by DocumentInit, as the control hands it out (*out
// null on failure).
HRESULT DocumentCreateBound(ViewerContext* context, DocItem* item, IDocument** out);

class Document : public ComClass<Document, DispatchImpl<IDocument, &IID_IDocument>,
                                 ProvideClassInfoImpl<&CLSID_Document, nullptr>, NoErrorInfoImpl> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    static HRESULT Create(REFIID iid, void** out);

    // Binds the document: replaces the context and the item.
    void DocumentInit(ViewerContext* context, DocItem* item);

    STDMETHODIMP get_ID(long* pVal) override;
    STDMETHODIMP get_Name(BSTR* pVal) override;
    STDMETHODIMP get_Type(long* pVal) override;
    STDMETHODIMP get_FileName(BSTR* pVal) override;
    STDMETHODIMP get_PageIndex(long* pVal) override;
    STDMETHODIMP get_WidthMM(double* pVal) override;
    STDMETHODIMP get_HeightMM(double* pVal) override;
    STDMETHODIMP get_IsInverted(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_IsFlippedX(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_IsFlippedY(VARIANT_BOOL* pVal) override;
    STDMETHODIMP get_Rotation(long* pVal) override;
    STDMETHODIMP SetInverted(VARIANT_BOOL bInvert, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetFlipX(VARIANT_BOOL bFlip, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetFlipY(VARIANT_BOOL bFlip, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetRotation(long lRotation, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetZoomRect(double dLeftMM, double dTopMM, double dWidthMM, double dHeightMM,
                             VARIANT_BOOL* pbResult) override;
    STDMETHODIMP Zoom(double dFactor, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP get_SubDocCount(long* pVal) override;
    STDMETHODIMP GetSubDoc(long lIndexBase0, IDocument** ppSubDoc) override;
    STDMETHODIMP Convert(VARIANT_BOOL bPreserveViewSettings, IConverter** pConverter) override;

  private:
    Document();
    ~Document() override;
    int32_t ChangeableId();

    Ref<ViewerContext> context_;
    Ref<DocItem> item_;
};
