// What keeps the control library loaded: its live COM objects (class
// factories included) and the server locks of IClassFactory::LockServer.
// DllCanUnloadNow answers from these counts.
#pragma once

#include <windows.h>

void ComModuleSetInstance(HINSTANCE instance);
// The library's own module handle (the process's main module until
// DllMain has run, as in the tests that link the classes directly).
HINSTANCE ComModuleInstance();

void ComModuleObjectCreated();
void ComModuleObjectDestroyed();
void ComModuleLock(bool lock);
// True while no object and no lock holds the module.
bool ComModuleCanUnload();
