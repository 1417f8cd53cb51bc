// The provider list with the tests' fake print plug-in (tests/tools/
// plp_probe_plugin.c), copied under the file names that choose what it
// reports, and the binding's calls as the plug-in logged them.
#include "printing/print_providers.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "printing/plugin_print_provider.h"
#include "printing/printing_layer.h"
#include "printing/win_print_provider.h"
#include "tests/printing/print_test_support.h"
#include "tests/viewer/core/settings_test_support.h"
#include "viewer/app/app_root.h"
#include "viewer/core/viewer_context.h"

namespace {

std::wstring NameOf(PrintProvider* provider) {
    const WString name = PrintProviderName(provider);
    return WStrCStr(name) ? WStrCStr(name) : L"";
}

}  // namespace

TEST(PrintProviders, TheSpoolerComesFirstAndTheListStopsAtTen) {
    std::vector<std::string> names;
    for (char c = 'a'; c < 'a' + 12; ++c) names.push_back(std::string("plp_") + c + ".dll");
    const std::string folder = PluginFolder("providers_twelve", "probe", names);
    PrintProviders list;
    PrintProvidersAddWindows(list, L"Windows printing");
    PrintProvidersAddWindows(list, L"again");  // only into an empty list
    PrintProvidersLoadPluginsFrom(list, PluginFolderArgument(folder));
    ASSERT_EQ(PrintProvidersCount(list), kMaxPrintProviders);
    EXPECT_NE(dynamic_cast<WinPrintProvider*>(PrintProvidersGet(list, 0).get()), nullptr);
    EXPECT_EQ(NameOf(PrintProvidersGet(list, 0).get()), L"Windows printing");
    for (uint32_t i = 1; i < kMaxPrintProviders; ++i)
        EXPECT_NE(dynamic_cast<PluginPrintProvider*>(PrintProvidersGet(list, i).get()), nullptr) << i;
    EXPECT_FALSE(PrintProvidersAdd(list, PrintProvidersGet(list, 1).get()));

    // Each loaded plug-in was initialised once and read its printer list
    // from the file beside it; releasing closes it.
    uint32_t loaded = 0;
    for (const std::string& name : names) {
        const std::string log = PluginLog(folder, name);
        if (log.empty()) continue;
        ++loaded;
        EXPECT_NE(log.find("Init\n"), std::string::npos) << name;
        EXPECT_NE(log.find(name.substr(0, name.size() - 4) + ".sts"), std::string::npos) << log;
    }
    EXPECT_EQ(loaded, kMaxPrintProviders - 1);
    PrintProvidersRelease(list);
    EXPECT_EQ(PrintProvidersCount(list), 0u);
    for (const std::string& name : names) {
        const std::string log = PluginLog(folder, name);
        if (!log.empty()) EXPECT_NE(log.find("Close\n"), std::string::npos) << name;
    }
}

TEST(PrintProviders, TypeAndVersionDecideWhichPluginsLoad) {
    const std::string folder = PluginFolder("providers_versions", "probe",
                                            {"plp_type1.dll", "plp_v39.dll", "plp_v47.dll", "plp_plain.dll"});
    // Not a plug-in by its name: never looked at.
    WriteHostFile(folder + "/other.dll", ReadHostFile(PluginBuild("probe")));
    PrintProviders list;
    PrintProvidersLoadPluginsFrom(list, PluginFolderArgument(folder));
    ASSERT_EQ(PrintProvidersCount(list), 2u);
    std::vector<std::wstring> loaded = {NameOf(PrintProvidersGet(list, 0).get()),
                                        NameOf(PrintProvidersGet(list, 1).get())};
    std::sort(loaded.begin(), loaded.end());
    EXPECT_EQ(loaded, (std::vector<std::wstring>{L"plp_plain.dll", L"plp_v47.dll"}));
    auto* plugin = static_cast<PluginPrintProvider*>(PrintProvidersGet(list, 0).get());
    EXPECT_GE(plugin->binding()->major_version, 4);
    // The refused ones were asked and left before PL_Init.
    EXPECT_EQ(PluginLog(folder, "plp_type1.dll").find("Init"), std::string::npos);
    EXPECT_EQ(PluginLog(folder, "plp_v39.dll").find("Init"), std::string::npos);
    EXPECT_NE(PluginLog(folder, "plp_v39.dll").find("Version"), std::string::npos);
    EXPECT_TRUE(PluginLog(folder, "other.dll").empty());
    PrintProvidersRelease(list);
}

TEST(PluginPrintProvider, FeaturesFollowTheEntryPoints) {
    const std::string probe = PluginFolder("providers_print5", "probe", {"plp_full.dll"});
    const std::string bare = PluginFolder("providers_noprint5", "noprint5", {"plp_bare.dll"});
    PrintProviders list;
    PrintProvidersLoadPluginsFrom(list, PluginFolderArgument(probe));
    PrintProvidersLoadPluginsFrom(list, PluginFolderArgument(bare));
    ASSERT_EQ(PrintProvidersCount(list), 2u);
    Ref<PrintProvider> full = PrintProvidersGet(list, 0), without = PrintProvidersGet(list, 1);
    EXPECT_TRUE(full->HasFeature(print_feature::kCollation));
    EXPECT_FALSE(without->HasFeature(print_feature::kCollation));
    // The plug-in supports every code, so the inverted ones answer false.
    for (uint32_t code : {print_feature::kOrientation, print_feature::kBins, print_feature::kColour,
                          print_feature::kFold, print_feature::kCover})
        EXPECT_TRUE(without->HasFeature(code)) << code;
    for (uint32_t code : {print_feature::kCutOutOnly, print_feature::kCopies, print_feature::kMargins,
                          print_feature::kPropertiesDialog, 17u})
        EXPECT_FALSE(without->HasFeature(code)) << code;
    // Counts use the low 16 bits only.
    EXPECT_EQ(full->GetBinCount(), 2u);
    PrintProvidersRelease(list);
}

TEST(PluginPrintProvider, NamesAreCutToTheirBuffersAndNoCallGetsAnEmptyString) {
    SettingsKeyRedirect redirect("PrintProvidersLongNames");  // the chosen printer is saved at release
    const std::string folder = PluginFolder("providers_long", "probe", {"plp_long.dll"});
    PrintProviders list;
    PrintProvidersLoadPluginsFrom(list, PluginFolderArgument(folder));
    ASSERT_EQ(PrintProvidersCount(list), 1u);
    Ref<PrintProvider> provider = PrintProvidersGet(list, 0);
    EXPECT_EQ(NameOf(provider.get()), std::wstring(99, L'L'));
    Ref<PrinterEntry> printer = provider->GetPrinterAt(0);
    ASSERT_TRUE(printer);
    EXPECT_EQ(WStrLength(printer->name), 127u);
    EXPECT_FALSE(provider->GetPrinterAt(5));  // the plug-in fails: no entry
    Ref<PaperBinEntry> bin = provider->GetBinAt(1);
    ASSERT_TRUE(bin);
    EXPECT_EQ(WStrLength(bin->name), 63u);

    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    EXPECT_FALSE(provider->SelectPrinter(context.get(), WString()));
    static char buffer[752];
    auto* binding = static_cast<PluginPrintProvider*>(provider.get())->binding();
    EXPECT_FALSE(binding->Print5(nullptr, buffer));  // no printer chosen yet
    EXPECT_FALSE(binding->ReadPrinters(WString()));
    EXPECT_FALSE(provider->SelectPrinter(nullptr, printer->name));  // no context
    EXPECT_TRUE(provider->SelectPrinter(context.get(), printer->name));
    EXPECT_TRUE(binding->Print5(nullptr, buffer));
    EXPECT_FALSE(binding->Print5(nullptr, nullptr));
    EXPECT_TRUE(provider->SetOrientation(context.get(), 5));
    EXPECT_FALSE(provider->SetOrientation(context.get(), 5));  // unchanged: not asked again
    EXPECT_EQ(provider->GetOrientation(), 5u);
    // After closing nothing reaches the library.
    EXPECT_TRUE(binding->Close());
    EXPECT_FALSE(binding->SetPaperBin(0));
    EXPECT_FALSE(binding->Close());
    PrintProvidersRelease(list);

    const std::string log = PluginLog(folder, "plp_long.dll");
    EXPECT_EQ(log.find("EMPTY"), std::string::npos) << log;
    EXPECT_NE(log.find("GetPrintServerType 100 first=0"), std::string::npos) << log;
    EXPECT_NE(log.find("GetPrinter 0 128 first=0"), std::string::npos) << log;
    EXPECT_NE(log.find("Print5 " + std::string(127, 'L') + " 840"), std::string::npos);
    EXPECT_NE(log.find("SetOrientation 1\nClose\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("SetPaperBin"), std::string::npos) << log;
}

// WORKAROUND 8 keeps the plug-ins beside the program unloaded; without it
// the root lists them after the spooler.
TEST(PrintProviders, WorkaroundEightLeavesOnlyTheSpooler) {
    wchar_t module[MAX_PATH] = L"";
    GetModuleFileNameW(nullptr, module, MAX_PATH);
    std::wstring beside(module);
    beside = beside.substr(0, beside.rfind(L'\\') + 1) + L"plp_zz_workaround_probe.dll";
    const std::wstring source = WindowsPathOf(PluginBuild("probe"));
    ASSERT_TRUE(CopyFileW(source.c_str(), beside.c_str(), FALSE));
    PrintingLayerInstall();
    {
        SettingsKeyRedirect redirect("PrintProvidersWorkaround");
        ASSERT_TRUE(redirect.ok());
        Ref<AppRoot> root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        EXPECT_EQ(PrintProvidersCount(root->print_providers), 2u);
        AppShutdown(root.get());
        SeedRegistry(redirect.MachineSettingsKey(), {{"WORKAROUND", "8"}});
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        ASSERT_EQ(PrintProvidersCount(root->print_providers), 1u);
        EXPECT_NE(dynamic_cast<WinPrintProvider*>(PrintProvidersGet(root->print_providers, 0).get()),
                  nullptr);
        AppShutdown(root.get());
    }
    PrintLayerInstall(PrintLayer{});
    DeleteFileW(beside.c_str());
    DeleteFileW((beside + L".log").c_str());
}
