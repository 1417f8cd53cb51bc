// The OLE control side of PlovexCtrl: embedding (IOleObject), in-place
// activation, drawing while no viewer runs, persistence of SRC, connection
// points and the safety answers.
#include <windows.h>
// after windows.h, which they need
#include <olectl.h>

#include "control/com/bstr.h"
#include "control/host_support.h"
#include "control/object_safety.h"
#include "control/plovex_ctrl.h"
#include "viewer/core/open_request.h"

namespace {

// Set-client-site-first, inside-out, activate-when-visible,
// cannot-link-inside and recompose-on-resize: what the registration says.
constexpr DWORD kMiscStatus = OLEMISC_SETCLIENTSITEFIRST | OLEMISC_INSIDEOUT | OLEMISC_ACTIVATEWHENVISIBLE |
                              OLEMISC_CANTLINKINSIDE | OLEMISC_RECOMPOSEONRESIZE;
static_assert(kMiscStatus == 131473);

constexpr DWORD kSafetySupported = INTERFACESAFE_FOR_UNTRUSTED_CALLER | INTERFACESAFE_FOR_UNTRUSTED_DATA;

}  // namespace

// ---- IOleObject -------------------------------------------------------------

STDMETHODIMP PlovexCtrl::SetClientSite(IOleClientSite* site) {
    site_ = ComPtr<IOleClientSite>(site);
    if (site) ReadAmbientUserMode();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetClientSite(IOleClientSite** out) {
    if (!out) return E_POINTER;
    *out = site_.get();
    if (*out) (*out)->AddRef();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Close(DWORD) {
    InPlaceDeactivate();
    if (advise_holder_) advise_holder_->SendOnClose();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetMoniker(DWORD, DWORD, IMoniker** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PlovexCtrl::GetClipboardData(DWORD, IDataObject** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOTIMPL;
}

STDMETHODIMP PlovexCtrl::DoVerb(LONG verb, LPMSG, IOleClientSite* site, LONG, HWND parent, LPCRECT rect) {
    switch (verb) {
        case OLEIVERB_PRIMARY:
        case OLEIVERB_SHOW:
        case OLEIVERB_UIACTIVATE:
            return ActivateInPlace(site, true, parent, rect);
        case OLEIVERB_INPLACEACTIVATE:
            return ActivateInPlace(site, false, parent, rect);
        case OLEIVERB_HIDE:
            if (window_) ShowWindow(window_, SW_HIDE);
            return S_OK;
        default:
            return OLEOBJ_S_INVALIDVERB;
    }
}

STDMETHODIMP PlovexCtrl::EnumVerbs(IEnumOLEVERB** out) {
    if (!out) return E_POINTER;
    return OleRegEnumVerbs(CLSID_PlovexCtrl, out);
}

STDMETHODIMP PlovexCtrl::GetUserClassID(CLSID* out) {
    if (!out) return E_POINTER;
    *out = CLSID_PlovexCtrl;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetUserType(DWORD form, LPOLESTR* out) {
    return OleRegGetUserType(CLSID_PlovexCtrl, form, out);
}

STDMETHODIMP PlovexCtrl::SetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    extent_ = *size;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetExtent(DWORD aspect, SIZEL* size) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!size) return E_POINTER;
    *size = extent_;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Advise(IAdviseSink* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!advise_holder_ && FAILED(CreateOleAdviseHolder(advise_holder_.Put()))) return E_OUTOFMEMORY;
    return advise_holder_->Advise(sink, cookie);
}

STDMETHODIMP PlovexCtrl::Unadvise(DWORD cookie) {
    return advise_holder_ ? advise_holder_->Unadvise(cookie) : OLE_E_NOCONNECTION;
}

STDMETHODIMP PlovexCtrl::EnumAdvise(IEnumSTATDATA** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return advise_holder_ ? advise_holder_->EnumAdvise(out) : E_FAIL;
}

STDMETHODIMP PlovexCtrl::GetMiscStatus(DWORD, DWORD* status) { return ComAnswer(status, kMiscStatus); }

// ---- In-place activation ----------------------------------------------------

HRESULT PlovexCtrl::ActivateInPlace(IOleClientSite* site, bool ui_activate, HWND parent, LPCRECT rect) {
    if (!site_ && site) SetClientSite(site);
    if (!site_) return E_UNEXPECTED;
    if (!in_place_active_) {
        if (FAILED(site_->QueryInterface(IID_IOleInPlaceSite, in_place_site_.PutVoid())))
            return E_NOINTERFACE;
        if (in_place_site_->CanInPlaceActivate() != S_OK) {
            in_place_site_.Reset();
            return E_FAIL;
        }
        in_place_site_->OnInPlaceActivate();
        in_place_active_ = true;
        HWND site_window = parent;
        if (FAILED(in_place_site_->GetWindow(&site_window)) || !site_window) site_window = parent;
        ComPtr<IOleInPlaceFrame> frame;
        ComPtr<IOleInPlaceUIWindow> document;
        RECT position = rect ? *rect : RECT{};
        RECT clip = position;
        OLEINPLACEFRAMEINFO info{};
        info.cb = sizeof(info);
        if (SUCCEEDED(in_place_site_->GetWindowContext(frame.Put(), document.Put(), &position, &clip, &info)))
            in_place_frame_ = frame;
        if (!site_window || !CreateControlWindow(site_window, position)) {
            InPlaceDeactivate();
            return E_FAIL;
        }
    }
    if (ui_activate && !ui_active_) {
        ui_active_ = true;
        in_place_site_->OnUIActivate();
        if (in_place_frame_)
            in_place_frame_->SetActiveObject(static_cast<IOleInPlaceActiveObject*>(this), nullptr);
        // A click in the viewer leaves the focus where it went.
        const HWND focus = GetFocus();
        if (window_ && focus != window_ && !IsChild(window_, focus)) SetFocus(window_);
    }
    return S_OK;
}

void PlovexCtrl::ActivateUserInterface() {
    if (!in_place_active_ || ui_active_ || !user_mode_) return;
    ActivateInPlace(site_.get(), true, nullptr, nullptr);
}

void PlovexCtrl::NotifySiteFocus(bool focused) {
    ComPtr<IOleControlSite> site;
    if (site_ && SUCCEEDED(site_->QueryInterface(IID_IOleControlSite, site.PutVoid())))
        site->OnFocus(focused ? TRUE : FALSE);
}

STDMETHODIMP PlovexCtrl::GetWindow(HWND* out) {
    if (!out) return E_POINTER;
    *out = window_;
    return window_ ? S_OK : E_FAIL;
}

STDMETHODIMP PlovexCtrl::InPlaceDeactivate() {
    if (!in_place_active_) return S_OK;
    UIDeactivate();
    in_place_active_ = false;
    // The window's end stops the viewer.
    if (window_) DestroyWindow(window_);
    in_place_frame_.Reset();
    if (ComPtr<IOleInPlaceSite> site = std::move(in_place_site_)) site->OnInPlaceDeactivate();
    return S_OK;
}

STDMETHODIMP PlovexCtrl::UIDeactivate() {
    if (!ui_active_) return S_OK;
    ui_active_ = false;
    if (in_place_frame_) in_place_frame_->SetActiveObject(nullptr, nullptr);
    if (in_place_site_) in_place_site_->OnUIDeactivate(FALSE);
    return S_OK;
}

STDMETHODIMP PlovexCtrl::SetObjectRects(LPCRECT position, LPCRECT) {
    if (!position) return E_POINTER;
    if (window_) {
        MoveWindow(window_, position->left, position->top, position->right - position->left,
                   position->bottom - position->top, TRUE);
    }
    return S_OK;
}

// ---- IViewObject2 -----------------------------------------------------------

STDMETHODIMP PlovexCtrl::Draw(DWORD aspect, LONG, void*, DVTARGETDEVICE*, HDC, HDC dc, LPCRECTL bounds,
                              LPCRECTL, BOOL(STDMETHODCALLTYPE*)(ULONG_PTR), ULONG_PTR) {
    if (aspect != DVASPECT_CONTENT) return DV_E_DVASPECT;
    if (!dc || !bounds) return E_INVALIDARG;
    const RECT rect = {bounds->left, bounds->top, bounds->right, bounds->bottom};
    Paint(dc, rect);
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetColorSet(DWORD, LONG, void*, DVTARGETDEVICE*, HDC, LOGPALETTE** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return S_FALSE;
}

STDMETHODIMP PlovexCtrl::SetAdvise(DWORD aspects, DWORD flags, IAdviseSink* sink) {
    view_sink_ = ComPtr<IAdviseSink>(sink);
    view_sink_aspects_ = aspects;
    view_sink_flags_ = flags;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetAdvise(DWORD* aspects, DWORD* flags, IAdviseSink** sink) {
    if (aspects) *aspects = view_sink_aspects_;
    if (flags) *flags = view_sink_flags_;
    if (sink) {
        *sink = view_sink_.get();
        if (*sink) (*sink)->AddRef();
    }
    return S_OK;
}

STDMETHODIMP PlovexCtrl::GetExtent(DWORD aspect, LONG, DVTARGETDEVICE*, LPSIZEL size) {
    return GetExtent(aspect, size);
}

// ---- IOleControl ------------------------------------------------------------

STDMETHODIMP PlovexCtrl::GetControlInfo(CONTROLINFO* info) {
    if (!info) return E_POINTER;
    info->hAccel = nullptr;
    info->cAccel = 0;
    info->dwFlags = 0;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::OnAmbientPropertyChange(DISPID id) {
    if (id == DISPID_AMBIENT_USERMODE || id == DISPID_UNKNOWN) ReadAmbientUserMode();
    return S_OK;
}

void PlovexCtrl::ReadAmbientUserMode() {
    ComPtr<IDispatch> ambient;
    if (!site_ || FAILED(site_->QueryInterface(IID_IDispatch, ambient.PutVoid()))) return;
    DISPPARAMS none{};
    VARIANT value;
    VariantInit(&value);
    if (SUCCEEDED(ambient->Invoke(DISPID_AMBIENT_USERMODE, IID_NULL, LOCALE_USER_DEFAULT,
                                  DISPATCH_PROPERTYGET, &none, &value, nullptr, nullptr)) &&
        SUCCEEDED(VariantChangeType(&value, &value, 0, VT_BOOL))) {
        user_mode_ = value.boolVal != VARIANT_FALSE;
    }
    VariantClear(&value);
}

// ---- Persistence ------------------------------------------------------------

// The class is not told to property-bag containers: what the control keeps
// is SRC alone, read but never written.
STDMETHODIMP PlovexCtrl::GetClassID(CLSID*) { return E_FAIL; }

STDMETHODIMP PlovexCtrl::Load(IStream*) { return S_OK; }

STDMETHODIMP PlovexCtrl::Save(IStream*, BOOL) { return S_OK; }

STDMETHODIMP PlovexCtrl::GetSizeMax(ULARGE_INTEGER* size) {
    if (!size) return E_POINTER;
    size->QuadPart = 0;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::Load(IPropertyBag* bag, IErrorLog*) {
    properties_loaded_ = true;
    if (!bag) return S_OK;
    VARIANT value;
    VariantInit(&value);
    if (FAILED(bag->Read(L"SRC", &value, nullptr)) || value.vt != VT_BSTR ||
        SysStringLen(value.bstrVal) == 0) {
        VariantClear(&value);
        return S_OK;
    }
    const WString src = WStringFromBstr(value.bstrVal);
    VariantClear(&value);
    WString page_url;
    const bool have_page_url = PageUrl(page_url);
    WString text;
    if (!SrcValueToOpenText(src, have_page_url ? &page_url : nullptr, text)) return S_OK;
    if (context_) {
        OpenDocumentText(text, kOpenRemote);
    } else {
        pending_src_ = text;
    }
    return S_OK;
}

// ---- Connection points ------------------------------------------------------

STDMETHODIMP PlovexCtrl::EnumConnectionPoints(IEnumConnectionPoints** out) {
    return ConnectionPointEnum::Create(
        {ComPtr<IConnectionPoint>(&events_point_), ComPtr<IConnectionPoint>(&property_point_)}, out);
}

STDMETHODIMP PlovexCtrl::FindConnectionPoint(REFIID iid, IConnectionPoint** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ConnectionPoint* point = nullptr;
    if (IsEqualIID(iid, events_point_.iid())) point = &events_point_;
    if (IsEqualIID(iid, property_point_.iid())) point = &property_point_;
    if (!point) return CONNECT_E_NOCONNECTION;
    point->AddRef();
    *out = point;
    return S_OK;
}

// ---- IObjectSafety ----------------------------------------------------------

STDMETHODIMP PlovexCtrl::GetInterfaceSafetyOptions(REFIID, DWORD* supported, DWORD* enabled) {
    if (!supported || !enabled) return E_POINTER;
    *supported = kSafetySupported;
    *enabled = kSafetySupported;
    return S_OK;
}

STDMETHODIMP PlovexCtrl::SetInterfaceSafetyOptions(REFIID, DWORD mask, DWORD options) {
    // A page's script is an untrusted caller: from then on the conversions
    // that write files need the machine's consent.
    if (mask & options & INTERFACESAFE_FOR_UNTRUSTED_CALLER) ObjectSafetyNoteUntrustedCaller();
    // What it opens is chosen by the page too: through its script or
    // through SRC, the data a browser marks untrusted.
    if (mask & options & kSafetySupported) untrusted_page_ = true;
    return S_OK;
}
