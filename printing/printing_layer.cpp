#include "printing/printing_layer.h"

#include "printing/print_dialog.h"
#include "printing/print_providers.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/settings.h"

namespace {

void AddWindows(AppRoot* root) {
    Ref<AppTextTable> texts = AppGetTextTable(root);
    Ref<Settings> settings = AppGetSettings(root);
    const wchar_t* name =
        texts ? AppTextTableGet(texts.get(), settings ? SettingsGetLanguage(settings.get()) : 0,
                                text::kSpoolerProviderName)
              : nullptr;
    PrintProvidersAddWindows(root->print_providers, name ? WString(name) : WString());
}

void LoadPlugins(AppRoot* root, HMODULE module) { PrintProvidersLoadPlugins(root->print_providers, module); }

}  // namespace

void PrintingLayerInstall() {
    PrintLayer layer;
    layer.add_windows = AddWindows;
    layer.load_plugins = LoadPlugins;
    layer.run_print = PrintDialogRunFor;
    PrintLayerInstall(layer);
}
