#include "control/com/class_factory.h"

const ComInterfaceEntry ClassFactory::kInterfaces[] = {
    ComEntry<ClassFactory, IClassFactory>(IID_IClassFactory),
    {},
};

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    return creator_(iid, out);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock) {
    ComModuleLock(lock != FALSE);
    return S_OK;
}

HRESULT ClassFactoryCreate(ComCreator creator, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    return ComCreate(new ClassFactory(creator), iid, out);
}
