#include "printing/print_providers.h"

#include "foundation/file_search.h"
#include "printing/plugin_print_provider.h"
#include "printing/win_print_provider.h"

void PrintProvidersAddWindows(PrintProviders& list, const WString& name) {
    if (PrintProvidersCount(list) != 0) return;
    Ref<WinPrintProvider> provider = MakeRef<WinPrintProvider>(name);
    provider->Init();
    PrintProvidersAdd(list, provider.get());
}

void PrintProvidersLoadPluginsFrom(PrintProviders& list, const WString& directory) {
    if (!WStrLength(directory)) return;
    ForEachMatchingFile(
        directory, L"plp_*.dll",
        [&](const WString& path) {
            Ref<PrintPluginBinding> binding = PrintPluginLoad(path);
            if (!binding) return;
            Ref<PluginPrintProvider> provider = MakeRef<PluginPrintProvider>(binding.get(), path);
            provider->Init();
            PrintProvidersAdd(list, provider.get());
        },
        [&] { return PrintProvidersCount(list) < kMaxPrintProviders; });
}

bool PrintProvidersLoadPlugins(PrintProviders& list, HMODULE module) {
    wchar_t file[MAX_PATH] = L"";
    const DWORD length = GetModuleFileNameW(module, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return true;
    WString path(file);
    WStrReplaceChar(path, L'/', L'\\');
    const int32_t separator = WStrFindCharReverse(path, L'\\');
    if (separator < 0) return true;
    WString directory;
    WStrLeft(path, static_cast<uint32_t>(separator) + 1, directory);
    PrintProvidersLoadPluginsFrom(list, directory);
    return true;
}
