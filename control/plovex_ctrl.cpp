#include "control/plovex_ctrl.h"

#include <oleauto.h>

namespace {

constexpr long kNoDocument = -1;
constexpr long kNoViewMode = -1;

}  // namespace

const ComInterfaceEntry PlovexCtrl::kInterfaces[] = {
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IPlovexCtrl),
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IDispatch),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo2),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo),
    {},
};

PlovexCtrl::PlovexCtrl() = default;
PlovexCtrl::~PlovexCtrl() = default;

HRESULT PlovexCtrl::Create(REFIID iid, void** out) { return ComCreate(new PlovexCtrl(), iid, out); }

STDMETHODIMP PlovexCtrl::GetInfo(BSTR, VARIANT, VARIANT* pvResult) {
    if (!pvResult) return E_POINTER;
    VariantInit(pvResult);
    return S_OK;
}

STDMETHODIMP PlovexCtrl::FileOpen(BSTR, BSTR, BSTR, long* plDocumentID) {
    return ComAnswer(plDocumentID, kNoDocument);
}

STDMETHODIMP PlovexCtrl::FileCloseAll() { return S_OK; }

STDMETHODIMP PlovexCtrl::FileClose(long, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::SetPage(long, int, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::SetRestrictions(long, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::SetViewMode(long, long, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::GetViewMode(long, long* plMode) { return ComAnswer(plMode, kNoViewMode); }

STDMETHODIMP PlovexCtrl::SetViewRect(long, long, long, long, long, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::GetViewPosX(long, long* plPos) { return ComAnswer(plPos, 0L); }

STDMETHODIMP PlovexCtrl::GetViewPosY(long, long* plPos) { return ComAnswer(plPos, 0L); }

STDMETHODIMP PlovexCtrl::GetViewWidth(long, long* plWidth) { return ComAnswer(plWidth, 0L); }

STDMETHODIMP PlovexCtrl::GetViewHeight(long, long* plHeight) { return ComAnswer(plHeight, 0L); }

STDMETHODIMP PlovexCtrl::SetPopupsAreMoveable(VARIANT_BOOL, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::SetMovePopupsWithMainWindow(VARIANT_BOOL, VARIANT_BOOL* pbResult) {
    return ComAnswer(pbResult, VARIANT_FALSE);
}

STDMETHODIMP PlovexCtrl::GetCurrentDocumentID(long* plDokID) { return ComAnswer(plDokID, kNoDocument); }

STDMETHODIMP PlovexCtrl::GetDocument(long, IDocument** ppDocument) { return ComAnswer(ppDocument, nullptr); }

STDMETHODIMP PlovexCtrl::SetPreferPlovexShortcuts(VARIANT_BOOL bPreferPlovex) {
    prefer_own_shortcuts_ = bPreferPlovex != VARIANT_FALSE;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Shutdown() {
    state_ = kControlNotStarted;
    return S_OK;
}

// Starting needs the control's window, which only a container gives it.
STDMETHODIMP PlovexCtrl::StartUp() { return S_OK; }

STDMETHODIMP PlovexCtrl::ConvertDoc(BSTR pszFilename, IConverter** pConverter) {
    if (!pConverter) return E_POINTER;
    *pConverter = nullptr;
    return SysStringLen(pszFilename) == 0 ? E_INVALIDARG : S_OK;
}
