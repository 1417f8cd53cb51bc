// Stand-in: the print providers are not built yet; the list stays empty (no spooler provider, no plug-ins).
// The list of print providers that the application root owns: the Windows
// spooler first, then at most nine print plug-ins. It lives here until the
// printing subsystem supplies the providers themselves.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ptr_array.h"

struct PrintProviders {
    PtrArray providers{2, true};
};

// Adds the spooler's provider when the list is empty.
inline void PrintProvidersAddWindows(PrintProviders& list) {}
// Adds the print plug-ins found beside the module; always true.
inline bool PrintProvidersLoadPlugins(PrintProviders& list, HMODULE module) { return true; }
// Lets every provider store its choices, then empties the list.
inline void PrintProvidersRelease(PrintProviders& list) { PtrArrayClear(list.providers); }
inline uint32_t PrintProvidersCount(const PrintProviders& list) { return PtrArrayCount(list.providers); }
