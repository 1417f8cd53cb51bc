// The one base of the control library's COM objects: an atomic reference
// count, the module's object count, and QueryInterface from a table of the
// interfaces a class offers. A class derives from ComClass with the
// interfaces it implements and lists them in its table:
//
//   class Converter : public ComClass<Converter, IConverter, ISupportErrorInfo> {
//     public:
//       static const ComInterfaceEntry kInterfaces[];
//   };
//   const ComInterfaceEntry Converter::kInterfaces[] = {
//       ComEntry<Converter, IConverter>(IID_IConverter),
//       ComEntry<Converter, IConverter>(IID_IDispatch), ..., {}};
//
// The table's first entry also answers IUnknown (the object's identity).
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <unknwn.h>

#include "control/com/com_module.h"

class ComObject;

struct ComInterfaceEntry {
    const IID* iid = nullptr;  // null ends the table
    void* (*cast)(ComObject* object) = nullptr;
};

// Created with a count of 1 that belongs to the creator (the class factory
// hands it on through QueryInterface and then releases its own).
class ComObject {
  public:
    ComObject(const ComObject&) = delete;
    ComObject& operator=(const ComObject&) = delete;

  protected:
    ComObject() { ComModuleObjectCreated(); }
    virtual ~ComObject() { ComModuleObjectDestroyed(); }

    ULONG AddRefObject() { return static_cast<ULONG>(InterlockedIncrement(&count_)); }
    ULONG ReleaseObject() {
        LONG left = InterlockedDecrement(&count_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    // Sets *out (null when the interface is not offered) and adds a
    // reference to what it hands out.
    HRESULT QueryTable(const ComInterfaceEntry* table, REFIID iid, void** out);

  private:
    volatile LONG count_ = 1;
};

template <class Class, class Interface>
constexpr ComInterfaceEntry ComEntry(const IID& iid) {
    return {&iid,
            [](ComObject* object) -> void* { return static_cast<Interface*>(static_cast<Class*>(object)); }};
}

// IUnknown for every interface of the class at once: one function in the
// derived class overrides the same-named virtual of every base.
template <class Class, class... Interfaces>
class ComClass : public ComObject, public Interfaces... {
  public:
    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        return QueryTable(Class::kInterfaces, iid, out);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefObject(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseObject(); }
};

// The pattern of every creator: a new object, asked for the caller's
// interface, its creation reference dropped (so a refused interface frees
// it again).
template <class Class>
HRESULT ComCreate(Class* object, REFIID iid, void** out) {
    HRESULT result = object->QueryInterface(iid, out);
    object->Release();
    return result;
}

// Sets an out-parameter and answers S_OK (E_POINTER for a null one): the
// shape of every automation getter.
template <class T, class V>
HRESULT ComAnswer(T* out, V value) {
    if (!out) return E_POINTER;
    *out = value;
    return S_OK;
}
