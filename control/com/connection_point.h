// One outgoing interface of a control: the sinks that containers connect
// with Advise. The point lives inside its control and shares its reference
// count, so a container holding the point keeps the control alive.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <ocidl.h>

#include <vector>

#include "control/com/com_object.h"
#include "foundation/handles.h"

class ConnectionPoint : public IConnectionPoint {
  public:
    ConnectionPoint(IConnectionPointContainer* owner, const IID& iid) : owner_(owner), iid_(iid) {}
    ConnectionPoint(const ConnectionPoint&) = delete;
    ConnectionPoint& operator=(const ConnectionPoint&) = delete;

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override;
    STDMETHODIMP_(ULONG) AddRef() override { return owner_->AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return owner_->Release(); }

    STDMETHODIMP GetConnectionInterface(IID* out) override;
    STDMETHODIMP GetConnectionPointContainer(IConnectionPointContainer** out) override;
    STDMETHODIMP Advise(IUnknown* sink, DWORD* cookie) override;
    STDMETHODIMP Unadvise(DWORD cookie) override;
    STDMETHODIMP EnumConnections(IEnumConnections** out) override;

    const IID& iid() const { return iid_; }
    // Drops every sink (the control's destruction).
    void Clear() { sinks_.clear(); }
    size_t SinkCount() const;

  private:
    struct Sink {
        DWORD cookie = 0;
        ComPtr<IUnknown> sink;
    };
    IConnectionPointContainer* owner_;
    const IID& iid_;
    std::vector<Sink> sinks_;
    DWORD next_cookie_ = 1;
};

// The points of a container, one after the other, for
// IConnectionPointContainer::EnumConnectionPoints. Holds a reference to
// each (and so to their control) while it lives.
class ConnectionPointEnum : public ComClass<ConnectionPointEnum, IEnumConnectionPoints> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    // Sets *out to a new enumerator over `points` (E_POINTER for a null out).
    static HRESULT Create(std::vector<ComPtr<IConnectionPoint>> points, IEnumConnectionPoints** out);

    STDMETHODIMP Next(ULONG count, IConnectionPoint** out, ULONG* fetched) override;
    STDMETHODIMP Skip(ULONG count) override;
    STDMETHODIMP Reset() override;
    STDMETHODIMP Clone(IEnumConnectionPoints** out) override;

  private:
    explicit ConnectionPointEnum(std::vector<ComPtr<IConnectionPoint>> points) : points_(std::move(points)) {}

    std::vector<ComPtr<IConnectionPoint>> points_;
    size_t next_ = 0;
};
