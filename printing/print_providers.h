// Filling the root's provider list: the spooler's provider first, then one
// provider per print plug-in ("plp_*.dll") beside the module.
#pragma once

#include <windows.h>

#include "foundation/strings.h"
#include "viewer/contracts/print_provider.h"

// Only when the list is empty; `name` is what the menus call the spooler.
void PrintProvidersAddWindows(PrintProviders& list, const WString& name);
// The plug-ins beside the module; always true.
bool PrintProvidersLoadPlugins(PrintProviders& list, HMODULE module);
// The plug-ins in `directory` (ending with '\'), up to the list's limit.
void PrintProvidersLoadPluginsFrom(PrintProviders& list, const WString& directory);
