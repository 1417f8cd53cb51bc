// Threads that keep their own code loaded. A thread started here holds a
// reference to the module that contains this code (the program, or the
// control library when it is built into a DLL) from before it starts until
// its very last instruction: a container that unloads the control library
// while a download still runs cannot pull the code from under it.
#pragma once

#include <windows.h>

// CreateThread with the same arguments; the thread gives the module
// reference back as it exits (FreeLibraryAndExitThread). Null, with
// nothing held, when the thread cannot be made.
HANDLE CreateModuleThread(LPTHREAD_START_ROUTINE procedure, void* parameter, DWORD flags, DWORD* thread_id);
