// The control class PlovexCtrl as its class factory makes it: in state "not
// started", with no viewer. Every method answers the failure value of a
// viewer that does not run. The OLE control interfaces (site, in-place
// activation, window, property bag) join the interface table when the
// control learns to be hosted.
#pragma once

#include <cstdint>

#include "control/com/com_object.h"
#include "control/com/type_library.h"
#include "plovex_idl.h"

// States of the control.
enum ControlState : int32_t {
    kControlRunning = 0,
    kControlNotStarted = 1,
    kControlFailed = 2,
    kControlDesignMode = 4,
};

class PlovexCtrl : public ComClass<PlovexCtrl, DispatchImpl<IPlovexCtrl, &IID_IPlovexCtrl>,
                                   ProvideClassInfoImpl<&CLSID_PlovexCtrl, &DIID__IPlovexCtrlEvents>> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    static HRESULT Create(REFIID iid, void** out);

    ControlState state() const { return state_; }

    STDMETHODIMP GetInfo(BSTR pszName, VARIANT vValue, VARIANT* pvResult) override;
    STDMETHODIMP FileOpen(BSTR pszFilename, BSTR pszAnzeigename, BSTR pszOptionen,
                          long* plDocumentID) override;
    STDMETHODIMP FileCloseAll() override;
    STDMETHODIMP FileClose(long lDocumentID, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetPage(long lDocumentID, int iPageIndexBase0, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetRestrictions(long lNewRestrictions, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetViewMode(long lView, long lMode, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP GetViewMode(long lViewID, long* plMode) override;
    STDMETHODIMP SetViewRect(long lViewID, long lLeft, long lTop, long lWidth, long lHeight,
                             VARIANT_BOOL* pbResult) override;
    STDMETHODIMP GetViewPosX(long lViewID, long* plPos) override;
    STDMETHODIMP GetViewPosY(long lViewID, long* plPos) override;
    STDMETHODIMP GetViewWidth(long lViewID, long* plWidth) override;
    STDMETHODIMP GetViewHeight(long lViewID, long* plHeight) override;
    STDMETHODIMP SetPopupsAreMoveable(VARIANT_BOOL vbMoveable, VARIANT_BOOL* pbResult) override;
    STDMETHODIMP SetMovePopupsWithMainWindow(VARIANT_BOOL vbMoveWithMainWindow,
                                             VARIANT_BOOL* pbResult) override;
    STDMETHODIMP GetCurrentDocumentID(long* plDokID) override;
    STDMETHODIMP GetDocument(long lDocumentID, IDocument** ppDocument) override;
    STDMETHODIMP SetPreferPlovexShortcuts(VARIANT_BOOL bPreferPlovex) override;
    STDMETHODIMP Shutdown() override;
    STDMETHODIMP StartUp() override;
    STDMETHODIMP ConvertDoc(BSTR pszFilename, IConverter** pConverter) override;

  private:
    PlovexCtrl();
    ~PlovexCtrl() override;

    ControlState state_ = kControlNotStarted;
    bool prefer_own_shortcuts_ = false;
};
