// The four entry points of the in-process server PLXAC529 (named in
// PLXAC529.def, undecorated).
#include <windows.h>
// after windows.h, which it needs
#include <objbase.h>

#include "control/class_objects.h"
#include "control/com/com_module.h"
#include "control/registrar.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) {
        ComModuleSetInstance(instance);
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID class_id, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    const ControlClass* entry = ControlFindClass(class_id);
    if (!entry) return CLASS_E_CLASSNOTAVAILABLE;
    return ClassFactoryCreate(entry->create, iid, out);
}

extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow() { return ComModuleCanUnload() ? S_OK : S_FALSE; }

extern "C" HRESULT STDAPICALLTYPE DllRegisterServer() { return RegistrarRegister(); }

extern "C" HRESULT STDAPICALLTYPE DllUnregisterServer() { return RegistrarUnregister(); }
