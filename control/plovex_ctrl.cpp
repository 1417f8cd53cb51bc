#include "control/plovex_ctrl.h"

#include <oleauto.h>

#include "viewer/app/app_root.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr long kNoDocument = -1;
constexpr long kNoViewMode = -1;

}  // namespace

const ComInterfaceEntry PlovexCtrl::kInterfaces[] = {
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IPlovexCtrl),
    ComEntry<PlovexCtrl, IPlovexCtrl>(IID_IDispatch),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo2),
    ComEntry<PlovexCtrl, IProvideClassInfo2>(IID_IProvideClassInfo),
    ComEntry<PlovexCtrl, IOleObject>(IID_IOleObject),
    ComEntry<PlovexCtrl, IOleInPlaceObject>(IID_IOleInPlaceObject),
    ComEntry<PlovexCtrl, IOleInPlaceObject>(IID_IOleWindow),
    ComEntry<PlovexCtrl, IOleInPlaceActiveObject>(IID_IOleInPlaceActiveObject),
    ComEntry<PlovexCtrl, IViewObject2>(IID_IViewObject2),
    ComEntry<PlovexCtrl, IViewObject2>(IID_IViewObject),
    ComEntry<PlovexCtrl, IOleControl>(IID_IOleControl),
    ComEntry<PlovexCtrl, IPersistStreamInit>(IID_IPersistStreamInit),
    ComEntry<PlovexCtrl, IPersistPropertyBag>(IID_IPersistPropertyBag),
    ComEntry<PlovexCtrl, IConnectionPointContainer>(IID_IConnectionPointContainer),
    ComEntry<PlovexCtrl, IObjectSafety>(IID_IObjectSafety),
    ComEntry<PlovexCtrl, IDropTarget>(IID_IDropTarget),
    {},
};

PlovexCtrl::PlovexCtrl()
    : events_point_(this, DIID__IPlovexCtrlEvents), property_point_(this, IID_IPropertyNotifySink) {}

PlovexCtrl::~PlovexCtrl() {
    // A container that released the control without closing it.
    if (window_) {
        SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
        ControlShutdown();
        DestroyWindow(window_);
    } else {
        ControlShutdown();
    }
    events_point_.Clear();
    property_point_.Clear();
}

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
    ControlShutdown();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::StartUp() {
    ControlStart();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::ConvertDoc(BSTR pszFilename, IConverter** pConverter) {
    if (!pConverter) return E_POINTER;
    *pConverter = nullptr;
    return SysStringLen(pszFilename) == 0 ? E_INVALIDARG : S_OK;
}
