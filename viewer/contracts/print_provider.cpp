#include "viewer/contracts/print_provider.h"

#include "foundation/locks.h"

namespace {

// Written by the shell before the first root exists, read at start-up and
// by the print command: a lock keeps a control loaded into a second thread's
// container from reading half a copy.
CriticalSection& LayerLock() {
    static CriticalSection lock;
    return lock;
}
PrintLayer& InstalledLayer() {
    static PrintLayer layer;
    return layer;
}

}  // namespace

uint32_t PrintProvidersCount(const PrintProviders& list) { return PtrArrayCount(list.providers); }

Ref<PrintProvider> PrintProvidersGet(const PrintProviders& list, uint32_t index) {
    return PtrArrayGetAs<PrintProvider>(list.providers, index);
}

bool PrintProvidersAdd(PrintProviders& list, PrintProvider* provider) {
    if (!provider || PrintProvidersCount(list) >= kMaxPrintProviders) return false;
    return PtrArrayAdd(list.providers, provider) >= 0;
}

void PrintProvidersRelease(PrintProviders& list) {
    for (uint32_t i = 0; i < PrintProvidersCount(list); ++i) {
        if (Ref<PrintProvider> provider = PrintProvidersGet(list, i)) provider->SaveSettings();
    }
    PtrArrayClear(list.providers);
}

bool PrintProviderSelectPrinterAt(PrintProvider* provider, ViewerContext* context, uint32_t index) {
    if (!provider) return false;
    Ref<PrinterEntry> entry = provider->GetPrinterAt(index);
    return entry && provider->SelectPrinter(context, entry->name);
}

WString PrintProviderName(PrintProvider* provider) {
    WString name;
    if (provider) provider->GetName(name);
    return name;
}

void PrintLayerInstall(const PrintLayer& layer) {
    ScopedLock hold(LayerLock());
    InstalledLayer() = layer;
}

PrintLayer PrintLayerGet() {
    ScopedLock hold(LayerLock());
    return InstalledLayer();
}

void PrintProvidersFill(AppRoot* root, HMODULE module, bool load_plugins) {
    const PrintLayer layer = PrintLayerGet();
    if (!root) return;
    if (layer.add_windows) layer.add_windows(root);
    if (load_plugins && layer.load_plugins) layer.load_plugins(root, module);
}
