#include "control/com/type_library.h"

#include "control/com/com_module.h"
#include "foundation/dll_handle.h"
#include "foundation/strings.h"

HRESULT ComLoadTypeLib(ITypeLib** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    WString path;
    if (!ModuleFileName(ComModuleInstance(), path)) return E_FAIL;
    // REGKIND_NONE: reading the library must not register it as a side
    // effect (an unregistered library stays unregistered).
    return LoadTypeLibEx(WStrCStr(path), REGKIND_NONE, out);
}

HRESULT ComLoadTypeInfo(REFGUID guid, ITypeInfo** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    ComPtr<ITypeLib> library;
    HRESULT result = ComLoadTypeLib(library.Put());
    if (FAILED(result)) return result;
    return library->GetTypeInfoOfGuid(guid, out);
}

HRESULT ComDefaultSourceGuid(const IID* source_iid, DWORD kind, GUID* out) {
    if (!out) return E_POINTER;
    *out = GUID_NULL;
    if (kind != GUIDKIND_DEFAULT_SOURCE_DISP_IID || !source_iid) return E_INVALIDARG;
    *out = *source_iid;
    return S_OK;
}
