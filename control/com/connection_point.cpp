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

const ComInterfaceEntry ConnectionPointEnum::kInterfaces[] = {
    ComEntry<ConnectionPointEnum, IEnumConnectionPoints>(IID_IUnknown),
    ComEntry<ConnectionPointEnum, IEnumConnectionPoints>(IID_IEnumConnectionPoints),
    {},
};

HRESULT ConnectionPointEnum::Create(std::vector<ComPtr<IConnectionPoint>> points,
                                    IEnumConnectionPoints** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ComCreate(new ConnectionPointEnum(std::move(points)), IID_IEnumConnectionPoints,
                     reinterpret_cast<void**>(out));
}

STDMETHODIMP ConnectionPointEnum::Next(ULONG count, IConnectionPoint** out, ULONG* fetched) {
    if (fetched) *fetched = 0;
    if (!out || (count > 1 && !fetched)) return E_POINTER;
    ULONG given = 0;
    for (; given < count && next_ < points_.size(); ++given, ++next_) {
        out[given] = points_[next_].get();
        out[given]->AddRef();
    }
    if (fetched) *fetched = given;
    return given == count ? S_OK : S_FALSE;
}

STDMETHODIMP ConnectionPointEnum::Skip(ULONG count) {
    const size_t left = points_.size() - next_;
    next_ += count < left ? count : left;
    return count <= left ? S_OK : S_FALSE;
}

STDMETHODIMP ConnectionPointEnum::Reset() {
    next_ = 0;
    return S_OK;
}

STDMETHODIMP ConnectionPointEnum::Clone(IEnumConnectionPoints** out) {
    HRESULT result = Create(points_, out);
    if (SUCCEEDED(result)) static_cast<ConnectionPointEnum*>(*out)->next_ = next_;
    return result;
}
