#include "control/com/connection_point.h"

#include <olectl.h>

STDMETHODIMP ConnectionPoint::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IConnectionPoint)) {
        *out = static_cast<IConnectionPoint*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP ConnectionPoint::GetConnectionInterface(IID* out) {
    if (!out) return E_POINTER;
    *out = iid_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::GetConnectionPointContainer(IConnectionPointContainer** out) {
    if (!out) return E_POINTER;
    owner_->AddRef();
    *out = owner_;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Advise(IUnknown* sink, DWORD* cookie) {
    if (!cookie) return E_POINTER;
    *cookie = 0;
    if (!sink) return E_POINTER;
    // The sink must speak the point's interface (or IDispatch for an
    // event dispinterface).
    ComPtr<IUnknown> checked;
    if (FAILED(sink->QueryInterface(iid_, checked.PutVoid())) &&
        FAILED(sink->QueryInterface(IID_IDispatch, checked.PutVoid()))) {
        return CONNECT_E_CANNOTCONNECT;
    }
    sinks_.push_back({next_cookie_, checked});
    *cookie = next_cookie_++;
    return S_OK;
}

STDMETHODIMP ConnectionPoint::Unadvise(DWORD cookie) {
    for (auto it = sinks_.begin(); it != sinks_.end(); ++it) {
        if (it->cookie == cookie) {
            // Released after the list changed: the sink's release may call back.
            ComPtr<IUnknown> sink = std::move(it->sink);
            sinks_.erase(it);
            return S_OK;
        }
    }
    return CONNECT_E_NOCONNECTION;
}

STDMETHODIMP ConnectionPoint::EnumConnections(IEnumConnections** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return E_NOTIMPL;
}

size_t ConnectionPoint::SinkCount() const { return sinks_.size(); }
