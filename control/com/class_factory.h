// The class factory of one class: one new object per CreateInstance, no
// aggregation; LockServer holds the module.
#pragma once

#include "control/com/com_object.h"

// Creates a new object and asks it for `iid` (sets *out, null on failure).
using ComCreator = HRESULT (*)(REFIID iid, void** out);

class ClassFactory : public ComClass<ClassFactory, IClassFactory> {
  public:
    static const ComInterfaceEntry kInterfaces[];
    explicit ClassFactory(ComCreator creator) : creator_(creator) {}

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override;
    STDMETHODIMP LockServer(BOOL lock) override;

  private:
    ComCreator creator_;
};

// A new factory for the creator, asked for `iid`.
HRESULT ClassFactoryCreate(ComCreator creator, REFIID iid, void** out);
