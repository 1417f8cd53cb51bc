#include "foundation/dll_handle.h"

#include <vector>

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

bool ModuleFileName(HMODULE module, WString& path) {
    // The longest path the system can give (beyond MAX_PATH with the
    // long-path prefix).
    constexpr DWORD kCapacity = 32768;
    std::vector<wchar_t> buffer(kCapacity, L'\0');
    WStrClear(path);
    const DWORD length = GetModuleFileNameW(module, buffer.data(), kCapacity);
    if (length == 0 || length >= kCapacity) return false;
    WStrAssignN(path, buffer.data(), length);
    return true;
}
