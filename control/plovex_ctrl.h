// The control class PlovexCtrl: an OLE control that a browser page or any
// OLE container embeds. It asks for a window of its own, starts one viewer
// (AppRoot and ViewerContext) in it with the frame as the window's child,
// opens its SRC document, and stops the viewer again when the window goes.
// Its automation methods drive that viewer through the viewer's own
// operations and answer their failure values while no viewer runs.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <objsafe.h>
#include <ocidl.h>
#include <oleidl.h>

#include <cstdint>

#include "control/com/com_object.h"
#include "control/com/connection_point.h"
#include "control/com/type_library.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "plovex_idl.h"

class AppRoot;
class OpenParams;
class ViewerContext;

// States of the control.
enum ControlState : int32_t {
    kControlRunning = 0,
    kControlNotStarted = 1,
    kControlFailed = 2,
    kControlDesignMode = 4,
};

// The initial extent, in 0.01 mm.
inline constexpr SIZEL kControlInitialExtent = {18000, 14000};

class PlovexCtrl : public ComClass<PlovexCtrl, DispatchImpl<IPlovexCtrl, &IID_IPlovexCtrl>,
                                   ProvideClassInfoImpl<&CLSID_PlovexCtrl, &DIID__IPlovexCtrlEvents>,
                                   IOleObject, IOleInPlaceObject, IOleInPlaceActiveObject, IViewObject2,
                                   IOleControl, IPersistStreamInit, IPersistPropertyBag,
                                   IConnectionPointContainer, IObjectSafety, IDropTarget> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    static HRESULT Create(REFIID iid, void** out);

    ControlState state() const { return state_; }

    // IOleObject
    STDMETHODIMP SetClientSite(IOleClientSite* site) override;
    STDMETHODIMP GetClientSite(IOleClientSite** out) override;
    STDMETHODIMP SetHostNames(LPCOLESTR, LPCOLESTR) override { return S_OK; }
    STDMETHODIMP Close(DWORD save_option) override;
    STDMETHODIMP SetMoniker(DWORD, IMoniker*) override { return E_NOTIMPL; }
    STDMETHODIMP GetMoniker(DWORD, DWORD, IMoniker** out) override;
    STDMETHODIMP InitFromData(IDataObject*, BOOL, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP GetClipboardData(DWORD, IDataObject** out) override;
    STDMETHODIMP DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) override;
    STDMETHODIMP EnumVerbs(IEnumOLEVERB** out) override;
    STDMETHODIMP Update() override { return S_OK; }
    STDMETHODIMP IsUpToDate() override { return S_OK; }
    STDMETHODIMP GetUserClassID(CLSID* out) override;
    STDMETHODIMP GetUserType(DWORD form, LPOLESTR* out) override;
    STDMETHODIMP SetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP GetExtent(DWORD aspect, SIZEL* size) override;
    STDMETHODIMP Advise(IAdviseSink* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumAdvise(IEnumSTATDATA** out) override;
    STDMETHODIMP GetMiscStatus(DWORD aspect, DWORD* status) override;
    STDMETHODIMP SetColorScheme(LOGPALETTE*) override { return E_NOTIMPL; }

    // IOleWindow, IOleInPlaceObject, IOleInPlaceActiveObject
    STDMETHODIMP GetWindow(HWND* out) override;
    STDMETHODIMP ContextSensitiveHelp(BOOL) override { return E_NOTIMPL; }
    STDMETHODIMP InPlaceDeactivate() override;
    STDMETHODIMP UIDeactivate() override;
    STDMETHODIMP SetObjectRects(LPCRECT position, LPCRECT clip) override;
    STDMETHODIMP ReactivateAndUndo() override { return E_NOTIMPL; }
    STDMETHODIMP TranslateAccelerator(LPMSG message) override;
    STDMETHODIMP OnFrameWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP OnDocWindowActivate(BOOL) override { return S_OK; }
    STDMETHODIMP ResizeBorder(LPCRECT, IOleInPlaceUIWindow*, BOOL) override { return S_OK; }
    STDMETHODIMP EnableModeless(BOOL) override { return S_OK; }

    // IViewObject2
    STDMETHODIMP Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds, LPCRECTL,
                      BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) override;
    STDMETHODIMP GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) override;
    STDMETHODIMP Freeze(DWORD, LONG, void*, DWORD*) override { return E_NOTIMPL; }
    STDMETHODIMP Unfreeze(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) override;
    STDMETHODIMP GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) override;
    STDMETHODIMP GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) override;

    // IOleControl
    STDMETHODIMP GetControlInfo(CONTROLINFO* info) override;
    STDMETHODIMP OnMnemonic(MSG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnAmbientPropertyChange(DISPID id) override;
    STDMETHODIMP FreezeEvents(BOOL) override { return S_OK; }

    // IPersist, IPersistStreamInit, IPersistPropertyBag
    STDMETHODIMP GetClassID(CLSID* out) override;
    STDMETHODIMP IsDirty() override { return S_FALSE; }
    STDMETHODIMP Load(IStream* stream) override;
    STDMETHODIMP Save(IStream* stream, BOOL clear_dirty) override;
    STDMETHODIMP GetSizeMax(ULARGE_INTEGER* size) override;
    STDMETHODIMP InitNew() override { return S_OK; }
    STDMETHODIMP Load(IPropertyBag* bag, IErrorLog* log) override;
    STDMETHODIMP Save(IPropertyBag*, BOOL, BOOL) override { return S_OK; }

    // IConnectionPointContainer
    STDMETHODIMP EnumConnectionPoints(IEnumConnectionPoints** out) override;
    STDMETHODIMP FindConnectionPoint(REFIID iid, IConnectionPoint** out) override;

    // IObjectSafety
    STDMETHODIMP GetInterfaceSafetyOptions(REFIID iid, DWORD* supported, DWORD* enabled) override;
    STDMETHODIMP SetInterfaceSafetyOptions(REFIID iid, DWORD mask, DWORD options) override;

    // IDropTarget
    STDMETHODIMP DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) override;
    STDMETHODIMP DragOver(DWORD, POINTL, DWORD* effect) override;
    STDMETHODIMP DragLeave() override { return S_OK; }
    STDMETHODIMP Drop(IDataObject* data, DWORD, POINTL, DWORD* effect) override;

    // The control's window procedure (public for the window class).
    LRESULT OnMessage(HWND window, UINT message, WPARAM wparam, LPARAM lparam);

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

    // Start: true when it created the viewer. Acts only in state "not
    // started" and only once the control has its window.
    bool ControlStart();
    // Stops and releases the viewer; ends in state "not started". Holds a
    // reference to the control for its span.
    bool ControlShutdown();

  private:
    PlovexCtrl();
    ~PlovexCtrl() override;

    // In-place activation for the verbs that show the control.
    HRESULT ActivateInPlace(IOleClientSite* site, bool ui_activate, HWND parent, LPCRECT rect);
    bool CreateControlWindow(HWND parent, const RECT& position);
    // The shutdown itself; the destructor calls it without the reference.
    void StopViewer();
    void ReadAmbientUserMode();
    // The hosting page's document when the site offers one.
    HRESULT PageDocument(IDispatch** out);
    bool PageIsHtml();
    bool PageUrl(WString& url);
    bool HandOver();
    void OpenDocumentText(const WString& text, uint32_t mode);
    void Paint(HDC dc, const RECT& bounds);
    // The viewer's context while the viewer runs (root and context made);
    // null otherwise. Borrowed.
    ViewerContext* RunningContext() const;
    // Opens one file as the remote open does (mode 2) with CallerParams;
    // the new document's id, or -1 (also for what an untrusted page may not
    // open).
    long OpenFile(const WString& path, Ref<OpenParams> params);
    // Whether what the control opens for its caller is held to the web's
    // documents: never, unless the container marked the caller untrusted
    // (see ObjectSafetyUntrustedWebOnly).
    bool WebOnly();
    // The parameters (may be null) of an open for the caller, marked as
    // held to the web when WebOnly: the viewer then refuses anything else,
    // in the lists that the document turns out to be too.
    Ref<OpenParams> CallerParams(Ref<OpenParams> params);
    // UI activation asked for by the control itself (a click or the focus
    // inside its window), as the container's verb would do it.
    void ActivateUserInterface();
    void NotifySiteFocus(bool focused);

    ControlState state_ = kControlNotStarted;
    Ref<AppRoot> root_;
    Ref<ViewerContext> context_;
    bool properties_loaded_ = false;
    WString pending_src_;
    bool user_mode_ = true;
    bool prefer_own_shortcuts_ = false;
    bool drop_target_registered_ = false;
    bool in_place_active_ = false;
    bool ui_active_ = false;
    // The container said the control's callers or its data are untrusted
    // (a browser's page).
    bool untrusted_page_ = false;

    ComPtr<IOleClientSite> site_;
    ComPtr<IOleInPlaceSite> in_place_site_;
    ComPtr<IOleInPlaceFrame> in_place_frame_;
    ComPtr<IOleAdviseHolder> advise_holder_;
    ComPtr<IAdviseSink> view_sink_;
    DWORD view_sink_aspects_ = 0;
    DWORD view_sink_flags_ = 0;
    HWND window_ = nullptr;
    SIZEL extent_ = kControlInitialExtent;
    ConnectionPoint events_point_;
    ConnectionPoint property_point_;
};

// The name of the control window's class (registered for the module).
inline constexpr wchar_t kControlWindowClass[] = L"PlovexActiveXCtrlWindow";
