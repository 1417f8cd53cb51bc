#include "foundation/dll_handle.h"

DllHandle::~DllHandle() { DllFree(*this); }

bool DllLoad(DllHandle& handle, const WString& path) {
    DllFree(handle);
    if (WStrLength(path) == 0) return false;
    handle.module = LoadLibraryW(WStrCStr(path));
    return handle.module != nullptr;
}

void DllFree(DllHandle& handle) {
    if (!handle.module) return;
    FreeLibrary(handle.module);
    handle.module = nullptr;
}

FARPROC DllGetProc(const DllHandle& handle, const WString& name) {
    if (!handle.module || WStrLength(name) == 0) return nullptr;
    AString ansi;
    AStrFromWide(ansi, name);
    if (AStrLength(ansi) == 0) return nullptr;
    return GetProcAddress(handle.module, AStrCStr(ansi));
}
