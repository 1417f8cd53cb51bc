// Dispatch through the library's own type library: IDispatch by
// ITypeInfo::Invoke for a dual interface, IProvideClassInfo2 for a class,
// and ISupportErrorInfo for classes that report no rich errors. Each is a
// mixin listed among a ComClass's interfaces; ComClass supplies IUnknown.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <oaidl.h>
#include <ocidl.h>

#include "foundation/handles.h"

// The type information of an interface or class of the type library that
// the module carries as resource 1 TYPELIB, read from the module whether it
// is registered or not. Sets *out (null on failure).
HRESULT ComLoadTypeInfo(REFGUID guid, ITypeInfo** out);
// The library's type library itself (the registrar registers it).
HRESULT ComLoadTypeLib(ITypeLib** out);

// IDispatch of the dual interface `Dual`: names and calls go through the
// interface's type information onto its own vtable, named arguments and
// conversions included.
template <class Dual, const IID* kDualIid>
class DispatchImpl : public Dual {
  public:
    DispatchImpl() { ComLoadTypeInfo(*kDualIid, type_info_.Put()); }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = type_info_ ? 1 : 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** out) override {
        if (!out) return E_POINTER;
        *out = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        if (!type_info_) return TYPE_E_ELEMENTNOTFOUND;
        type_info_->AddRef();
        *out = type_info_.get();
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!type_info_) return E_UNEXPECTED;
        return DispGetIDsOfNames(type_info_.get(), names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID iid, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* exception, UINT* argument_error) override {
        if (!IsEqualIID(iid, IID_NULL)) return DISP_E_UNKNOWNINTERFACE;
        if (!type_info_) return E_UNEXPECTED;
        return type_info_->Invoke(static_cast<Dual*>(this), id, flags, params, result, exception,
                                  argument_error);
    }

  private:
    ComPtr<ITypeInfo> type_info_;
};

// Answers for GetGUID; kSourceIid null for a class without events.
HRESULT ComDefaultSourceGuid(const IID* source_iid, DWORD kind, GUID* out);

template <const CLSID* kClassId, const IID* kSourceIid>
class ProvideClassInfoImpl : public IProvideClassInfo2 {
  public:
    STDMETHODIMP GetClassInfo(ITypeInfo** out) override {
        if (!out) return E_POINTER;
        return ComLoadTypeInfo(*kClassId, out);
    }
    STDMETHODIMP GetGUID(DWORD kind, GUID* out) override {
        return ComDefaultSourceGuid(kSourceIid, kind, out);
    }
};

class NoErrorInfoImpl : public ISupportErrorInfo {
  public:
    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID) override { return S_FALSE; }
};
