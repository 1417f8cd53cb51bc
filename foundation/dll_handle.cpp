#include "foundation/dll_handle.h"

bool DllLoad(DllHandle& handle, const WString& path) {
    DllFree(handle);
    if (WStrLength(path) == 0) return false;
    handle.module.Reset(LoadLibraryW(WStrCStr(path)));
    return handle.module.valid();
}

void DllFree(DllHandle& handle) { handle.module.Reset(); }

FARPROC DllGetProc(const DllHandle& handle, const WString& name) {
    if (!handle.module || WStrLength(name) == 0) return nullptr;
    AString ansi;
    AStrFromWide(ansi, name);
    if (AStrLength(ansi) == 0) return nullptr;
    return GetProcAddress(handle.module.get(), AStrCStr(ansi));
}
