#include "viewer/extensions/extension_host.h"

#include <gtest/gtest.h>

#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/documents/doc_item.h"

// The plug-ins come from tests/tools/pxe_probe_plugin.c; each logs its calls
// beside itself, one line each, and names its own file as information text 1.
namespace {

constexpr uint16_t kLanguage = 3;
const std::string kHandle = std::to_string(0x5000 + kLanguage);  // the probe's handle for the language

// Copies a built plug-in (probe, nolibinfo, rogue) to the Unix path.
void Install(const std::string& variant, const std::string& unix_path) {
    const std::string built = TestEnvDir("TEST_BINARY_DIR") + "/bin/pxe_" + variant + ".dll";
    ASSERT_EQ(RunHostCommand("mkdir -p \"$(dirname '" + unix_path + "')\" && cp '" + built + "' '" +
                             unix_path + "'"),
              0);
}

WString PathOf(const std::string& unix_path) { return WindowsPathOf(unix_path).c_str(); }
std::wstring Text(const WString& text) { return WStrCStr(text); }

std::vector<std::string> LogOf(const std::string& unix_dll_path) {
    const std::vector<uint8_t> bytes = ReadHostFile(unix_dll_path + ".log");
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

bool IsLoaded(const std::string& unix_dll_path) {
    return GetModuleHandleW(WindowsPathOf(unix_dll_path).c_str()) != nullptr;
}

std::vector<std::wstring> LoadedPaths(const ExtensionHost* host) {
    std::vector<std::wstring> paths;
    for (uint32_t i = 0; i < ExtensionHostCount(host); ++i) {
        paths.push_back(Text(ExtensionHostGet(host, i)->info[0]));
    }
    return paths;
}

}  // namespace

TEST(ExtensionLoad, KeepsInformationMenuAndBitmapsUntilReleased) {
    const std::string dll = MakeScratchDir("extension_load") + "/pxe_probe.dll";
    Install("probe", dll);
    Ref<Extension> extension = ExtensionLoad(kLanguage, PathOf(dll));
    ASSERT_TRUE(extension);
    EXPECT_EQ(Text(extension->info[0]), WindowsPathOf(dll));
    EXPECT_EQ(Text(extension->info[1]), L"Probe extension");
    if (GetACP() == 1252) {
        EXPECT_EQ(Text(extension->info[2]), L"\u00C4nderungen");
    }
    EXPECT_EQ(extension->numbers[0], 7);
    EXPECT_EQ(extension->numbers[1], -42);
    EXPECT_EQ(Text(extension->menu_name), L"&Probe");

    ASSERT_EQ(ExtensionEntryCount(extension.get()), 3u);
    std::vector<HBITMAP> bitmaps;
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<ExtMenuEntry> entry = ExtensionGetEntry(extension.get(), i);
        EXPECT_EQ(Text(entry->text), L"Entry " + std::to_wstring(i));
        EXPECT_EQ(Text(entry->help), L"Help for entry " + std::to_wstring(i));
        EXPECT_EQ(entry->flags, 1u << i);
        BITMAP info = {};
        ASSERT_EQ(GetObjectW(entry->bitmap.get(), sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmWidth * 100 + info.bmHeight, 1616);
        bitmaps.push_back(entry->bitmap.get());
    }
    EXPECT_EQ(LogOf(dll),
              (std::vector<std::string>{"LibInfo", "Initialize 1 3", "MenuInfo " + kHandle,
                                        "Entry " + kHandle + " 0 16 16", "Entry " + kHandle + " 1 16 16",
                                        "Entry " + kHandle + " 2 16 16"}));

    extension.Reset();
    EXPECT_EQ(LogOf(dll).back(), "UnInitialize " + kHandle);
    EXPECT_FALSE(IsLoaded(dll));
    for (HBITMAP bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u);
}

TEST(ExtensionLoad, SkipsWhatIsNoExtension) {
    const std::string dir = MakeScratchDir("extension_skip");
    Install("nolibinfo", dir + "/pxe_nolibinfo.dll");
    WriteText(dir + "/pxe_text.dll", "not a library\r\n");
    EXPECT_FALSE(ExtensionLoad(0, PathOf(dir + "/pxe_nolibinfo.dll")));
    // Freed again, and not one of its entry points ran.
    EXPECT_FALSE(IsLoaded(dir + "/pxe_nolibinfo.dll"));
    EXPECT_TRUE(LogOf(dir + "/pxe_nolibinfo.dll").empty());
    EXPECT_FALSE(ExtensionLoad(0, PathOf(dir + "/pxe_text.dll")));
    EXPECT_FALSE(ExtensionLoad(0, PathOf(dir + "/pxe_missing.dll")));
}

// Unterminated texts end with their buffers; of a count of INT32_MAX only
// a bounded number of entries is asked for; failed entries leave gaps.
TEST(ExtensionLoad, BoundsWhatARoguePluginWrites) {
    const std::string dll = MakeScratchDir("extension_rogue") + "/pxe_rogue.dll";
    Install("rogue", dll);
    Ref<Extension> extension = ExtensionLoad(0, PathOf(dll));
    ASSERT_TRUE(extension);
    EXPECT_EQ(Text(extension->info[0]), std::wstring(256, L'A'));
    EXPECT_EQ(Text(extension->info[2]), std::wstring(256, L'C'));
    EXPECT_EQ(Text(extension->menu_name), std::wstring(80, L'M'));
    ASSERT_EQ(ExtensionEntryCount(extension.get()), 2u);
    EXPECT_EQ(Text(ExtensionGetEntry(extension.get(), 0)->text), std::wstring(80, L'T'));
    EXPECT_EQ(Text(ExtensionGetEntry(extension.get(), 0)->help), std::wstring(80, L'H'));
    size_t entry_calls = 0;
    for (const std::string& line : LogOf(dll)) entry_calls += line.rfind("Entry ", 0) == 0;
    EXPECT_EQ(entry_calls, size_t(kMaxExtensionEntries));
}

TEST(ExtensionHost, SearchLoadsAtMostFiveLibrariesAndReleaseUnloadsThem) {
    const std::string dir = MakeScratchDir("extension_search");
    std::set<std::wstring> candidates;
    for (int i = 1; i <= 7; ++i) {
        Install("probe", dir + "/pxe_" + std::to_string(i) + ".dll");
        candidates.insert(WindowsPathOf(dir + "/pxe_" + std::to_string(i) + ".dll"));
    }
    Install("probe", dir + "/other.dll");
    Install("nolibinfo", dir + "/pxe_0.dll");

    // The directory without its trailing separator, as a caller may give it.
    Ref<ExtensionHost> host = ExtensionHostConstruct(kLanguage, PathOf(dir), L"*");
    const std::vector<std::wstring> loaded = LoadedPaths(host.get());
    EXPECT_EQ(loaded.size(), 5u);
    EXPECT_EQ(std::set<std::wstring>(loaded.begin(), loaded.end()).size(), 5u);
    for (const std::wstring& path : loaded) EXPECT_EQ(candidates.count(path), 1u);
    EXPECT_FALSE(IsLoaded(dir + "/other.dll"));

    host.Reset();
    for (int i = 1; i <= 7; ++i) EXPECT_FALSE(IsLoaded(dir + "/pxe_" + std::to_string(i) + ".dll"));
}

TEST(ExtensionHost, ListNamesLoadBesideTheModuleOrAsPathsOfTheirOwn) {
    const std::string module_dir = MakeScratchDir("extension_list_module");
    const std::string other_dir = MakeScratchDir("extension_list_other");
    const std::string current_dir = MakeScratchDir("extension_list_current");
    Install("probe", module_dir + "/first.dll");
    Install("probe", module_dir + "/pxe_unlisted.dll");
    Install("probe", other_dir + "/second.dll");
    Install("probe", current_dir + "/sub/third.dll");
    std::wstring second = WindowsPathOf(other_dir + "/second.dll");
    for (wchar_t& c : second) c = c == L'\\' ? L'/' : c;

    // "sub/third.dll" is taken from the current directory, not the module's.
    wchar_t saved[MAX_PATH];
    ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, saved), 0u);
    ASSERT_TRUE(SetCurrentDirectoryW(WindowsPathOf(current_dir).c_str()));
    const std::wstring list = L"first.dll,,sub/third.dll," + second + L",";
    Ref<ExtensionHost> host =
        ExtensionHostConstruct(0, (WindowsPathOf(module_dir) + L"\\").c_str(), list.c_str());
    SetCurrentDirectoryW(saved);

    EXPECT_EQ(LoadedPaths(host.get()),
              (std::vector<std::wstring>{WindowsPathOf(module_dir + "/first.dll"),
                                         WindowsPathOf(current_dir + "/sub/third.dll"),
                                         WindowsPathOf(other_dir + "/second.dll")}));
    EXPECT_FALSE(IsLoaded(module_dir + "/pxe_unlisted.dll"));
    EXPECT_EQ(ExtensionHostCount(ExtensionHostConstruct(0, WString(), L"*").get()), 0u);
}

TEST(ExtensionRunCommand, HandsTheItemAndItsFileToTheHandler) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("extension_run");
    MakeTiff(dir + "/drawing.tif", 2);
    const std::string path = Narrow(PathOf(dir + "/drawing.tif"));
    Ref<DocumentSource> source = SourceCreate(context, PathOf(dir + "/drawing.tif"), nullptr);
    Ref<DocumentItem> document = DocumentItemCreate(context, ViewerGetRootItem(context).get(), source.get(),
                                                    nullptr, ViewerNextOpenNumber(context));
    SourceStartLoad(source.get(), context);
    ASSERT_TRUE(PumpUntil([&] { return DocItemGetChildCount(document.get()) == 2; }, 15000));
    Ref<DocItem> page = DocItemGetChild(document.get(), 1);

    Install("probe", dir + "/pxe_probe.dll");
    Install("rogue", dir + "/pxe_rogue.dll");
    Ref<ExtensionHost> host = ExtensionHostConstruct(kLanguage, PathOf(dir), L"pxe_probe.dll,pxe_rogue.dll");
    Ref<Extension> probe = ExtensionHostGet(host.get(), 0);
    ASSERT_TRUE(probe);
    const HWND owner = ViewerGetFrameHwnd(context);
    // The handler logs the size of the file it was given.
    auto handled = [&](int index, int page_index, DocItem* item) {
        WString name;
        return "Handler " + kHandle + " " + std::to_string(index) + " " + std::to_string(page_index) + " " +
               std::to_string(uintptr_t(owner)) + " " +
               std::to_string(ReadHostFile(dir + "/drawing.tif").size()) + "|" +
               Narrow(DocItemGetName(item, name)) + "|" + path;
    };

    EXPECT_TRUE(ExtensionRunCommand(probe.get(), context, owner, page.get(), 0));
    EXPECT_EQ(LogOf(dir + "/pxe_probe.dll").back(), handled(0, 1, page.get()));
    EXPECT_TRUE(ExtensionHostRunCommand(host.get(), context, owner, document.get(), 0, 2));
    EXPECT_EQ(LogOf(dir + "/pxe_probe.dll").back(), handled(2, 0, document.get()));
    // The handler's failure is the command's.
    EXPECT_FALSE(ExtensionRunCommand(probe.get(), context, owner, page.get(), 1));
    EXPECT_EQ(LogOf(dir + "/pxe_probe.dll").back(), handled(1, 1, page.get()));

    // Without an entry, an item or an extension the handler is not called.
    const size_t lines = LogOf(dir + "/pxe_probe.dll").size();
    EXPECT_FALSE(ExtensionRunCommand(probe.get(), context, owner, page.get(), 3));
    EXPECT_FALSE(ExtensionRunCommand(probe.get(), context, owner, nullptr, 0));
    EXPECT_FALSE(ExtensionHostRunCommand(host.get(), context, owner, page.get(), 2, 0));
    EXPECT_EQ(LogOf(dir + "/pxe_probe.dll").size(), lines);

    // The rogue's second entry is its entry 2 (entry 1 failed to load).
    EXPECT_TRUE(ExtensionHostRunCommand(host.get(), context, owner, page.get(), 1, 1));
    EXPECT_EQ(LogOf(dir + "/pxe_rogue.dll").back().rfind("Handler " + kHandle + " 2 1 ", 0), 0u);
}
