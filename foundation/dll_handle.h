// The owner of one loaded plug-in module.
#pragma once

#include <windows.h>

#include "foundation/handles.h"
#include "foundation/strings.h"

// Plain record, embedded by its owner; the module is freed with it.
struct DllHandle {
    ModuleHandle module;  // empty when nothing is loaded
};

// LoadLibraryW of the path; a module loaded before is freed first. An empty path
// loads nothing. True when a module is loaded afterwards.
bool DllLoad(DllHandle& handle, const WString& path);
void DllFree(DllHandle& handle);
// The entry point of that name (converted to ANSI for GetProcAddress); null
// without a module or for an empty name.
FARPROC DllGetProc(const DllHandle& handle, const WString& name);

// The full path of a loaded module (GetModuleFileNameW); false, with the
// path empty, when the call fails or the path does not fit.
bool ModuleFileName(HMODULE module, WString& path);
