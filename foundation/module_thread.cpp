#include "foundation/module_thread.h"

namespace {

struct ModuleThreadStart {
    LPTHREAD_START_ROUTINE procedure;
    void* parameter;
    HMODULE module;
};

DWORD WINAPI ModuleThreadEntry(void* parameter) {
    const ModuleThreadStart start = *static_cast<ModuleThreadStart*>(parameter);
    delete static_cast<ModuleThreadStart*>(parameter);
    const DWORD code = start.procedure(start.parameter);
    // Never returns into this module, which may go with the reference.
    FreeLibraryAndExitThread(start.module, code);
}

}  // namespace

HANDLE CreateModuleThread(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags, DWORD* thread_id) {
    HMODULE own = nullptr;
    // Without GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT: the reference
    // the thread gives back.
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&ModuleThreadEntry), &own)) {
        return nullptr;
    }
    auto* start = new ModuleThreadStart{procedure, parameter, own};
    HANDLE thread = CreateThread(nullptr, 0, ModuleThreadEntry, start, flags, thread_id);
    if (!thread) {
        delete start;
        FreeLibrary(own);
    }
    return thread;
}
