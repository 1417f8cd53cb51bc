#include "printing/print_providers.h"

#include "foundation/handles.h"
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
    WString pattern;
    WStrConcatChars(directory, L"plp_*.dll", pattern);
    WIN32_FIND_DATAW found;
    FindHandle search(FindFirstFileW(WStrCStr(pattern), &found));
    if (!search) return;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        WString path;
        WStrConcatChars(directory, found.cFileName, path);
        Ref<PrintPluginBinding> binding = PrintPluginLoad(path);
        if (!binding) continue;
        Ref<PluginPrintProvider> provider = MakeRef<PluginPrintProvider>(binding.get(), path);
        provider->Init();
        PrintProvidersAdd(list, provider.get());
    } while (PrintProvidersCount(list) < kMaxPrintProviders && FindNextFileW(search.get(), &found));
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
