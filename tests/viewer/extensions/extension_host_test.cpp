#include "viewer/extensions/extension_host.h"

#include <sstream>

#include "tests/viewer/documents/document_test_support.h"

// The plug-ins come from tests/tools/pxe_probe_plugin.c; each logs its calls
// beside itself, one line each, and names its own file as information text 1.
namespace {

constexpr uint16_t kLanguage = 3;
const std::string kHandle = std::to_string(0x5000 + kLanguage);  // the plug-ins' handle for the language

// Copies a built plug-in (probe, nolibinfo, rogue) to the Unix path.
void Install(const std::string& variant, const std::string& unix_path) {
    const std::string built = TestEnvDir("TEST_BINARY_DIR") + "/bin/pxe_" + variant + ".dll";
    ASSERT_EQ(RunHostCommand("cp '" + built + "' '" + unix_path + "'"), 0);
}

WString PathOf(const std::string& unix_path) { return WindowsPathOf(unix_path).c_str(); }
bool IsLoaded(const std::string& unix_path) { return GetModuleHandleW(WindowsPathOf(unix_path).c_str()); }

std::vector<std::string> LogOf(const std::string& unix_dll_path) {
    const std::vector<uint8_t> bytes = ReadHostFile(unix_dll_path + ".log");
    std::istringstream text(std::string(bytes.begin(), bytes.end()));
    std::vector<std::string> lines;
    for (std::string line; std::getline(text, line);) lines.push_back(line);
    return lines;
}

}  // namespace

// A well-formed plug-in's information, menu and bitmaps, and its handler
// given the item and its file; a rogue plug-in's unterminated texts end with
// their buffers, of its INT32_MAX entries a bounded number is asked for, and
// the entry that failed to load leaves a gap. Releasing unloads them.
TEST(ExtensionHost, LoadsMenusRunsHandlersAndUnloadsOnRelease) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("extension_host"), probe_dll = dir + "/pxe_probe.dll",
                      rogue_dll = dir + "/pxe_rogue.dll";
    MakeTiff(dir + "/drawing.tif", 2);
    Ref<DocumentItem> document = viewer.Open(dir + "/drawing.tif");
    ASSERT_TRUE(PumpUntil([&] { return DocItemGetChildCount(document.get()) == 2; }, 15000));
    Ref<DocItem> page = DocItemGetChild(document.get(), 1);
    Install("probe", probe_dll);
    Install("rogue", rogue_dll);
    Ref<ExtensionHost> host = ExtensionHostConstruct(kLanguage, PathOf(dir), L"pxe_probe.dll,pxe_rogue.dll");
    ASSERT_EQ(ExtensionHostCount(host.get()), 2u);
    Ref<Extension> probe = ExtensionHostGet(host.get(), 0), rogue = ExtensionHostGet(host.get(), 1);

    EXPECT_EQ(Wide(probe->info[0]), WindowsPathOf(probe_dll));
    EXPECT_EQ(Wide(probe->info[1]), L"Probe extension");
    if (GetACP() == 1252) {
        EXPECT_EQ(Wide(probe->info[2]), L"\u00C4nderungen");
    }
    EXPECT_EQ(probe->numbers[0], 7);
    EXPECT_EQ(probe->numbers[1], -42);
    EXPECT_EQ(Wide(probe->menu_name), L"&Probe");
    ASSERT_EQ(ExtensionEntryCount(probe.get()), 3u);
    std::vector<HBITMAP> bitmaps;
    for (uint32_t i = 0; i < 3; ++i) {
        Ref<ExtMenuEntry> entry = ExtensionGetEntry(probe.get(), i);
        EXPECT_EQ(Wide(entry->text), L"Entry " + std::to_wstring(i));
        EXPECT_EQ(Wide(entry->help), L"Help for entry " + std::to_wstring(i));
        EXPECT_EQ(entry->flags, 1u << i);
        BITMAP info = {};
        ASSERT_EQ(GetObjectW(entry->bitmap.get(), sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmWidth * 100 + info.bmHeight, 1616);
        bitmaps.push_back(entry->bitmap.get());
    }
    EXPECT_EQ(LogOf(probe_dll),
              (std::vector<std::string>{"LibInfo", "Initialize 1 3", "MenuInfo " + kHandle,
                                        "Entry " + kHandle + " 0 16 16", "Entry " + kHandle + " 1 16 16",
                                        "Entry " + kHandle + " 2 16 16"}));

    EXPECT_EQ(Wide(rogue->info[0]), std::wstring(256, L'A'));
    EXPECT_EQ(Wide(rogue->info[2]), std::wstring(256, L'C'));
    EXPECT_EQ(Wide(rogue->menu_name), std::wstring(80, L'M'));
    ASSERT_EQ(ExtensionEntryCount(rogue.get()), 2u);
    EXPECT_EQ(Wide(ExtensionGetEntry(rogue.get(), 0)->text), std::wstring(80, L'T'));
    EXPECT_EQ(Wide(ExtensionGetEntry(rogue.get(), 0)->help), std::wstring(80, L'H'));
    size_t entry_calls = 0;
    for (const std::string& line : LogOf(rogue_dll)) entry_calls += line.rfind("Entry ", 0) == 0;
    EXPECT_EQ(entry_calls, size_t(kMaxExtensionEntries));

    const HWND owner = ViewerGetFrameHwnd(context);
    WString name;
    const std::string tail = " 1 " + std::to_string(uintptr_t(owner)) + "|" +
                             Narrow(DocItemGetName(page.get(), name)) + "|" +
                             Narrow(PathOf(dir + "/drawing.tif"));
    EXPECT_TRUE(ExtensionRunCommand(probe.get(), context, owner, page.get(), 0));
    EXPECT_EQ(LogOf(probe_dll).back(), "Handler " + kHandle + " 0" + tail);
    // The handler's failure is the command's.
    EXPECT_FALSE(ExtensionHostRunCommand(host.get(), context, owner, page.get(), 0, 1));
    EXPECT_EQ(LogOf(probe_dll).back(), "Handler " + kHandle + " 1" + tail);
    // The rogue's second entry is its entry 2.
    EXPECT_TRUE(ExtensionHostRunCommand(host.get(), context, owner, page.get(), 1, 1));
    EXPECT_EQ(LogOf(rogue_dll).back(), "Handler " + kHandle + " 2" + tail);

    probe.Reset(), rogue.Reset(), host.Reset();
    EXPECT_EQ(LogOf(probe_dll).back(), "UnInitialize " + kHandle);
    EXPECT_FALSE(IsLoaded(probe_dll));
    EXPECT_FALSE(IsLoaded(rogue_dll));
    for (HBITMAP bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u);
}

// Of seven extensions five load; a library without PXE_LibInfo is freed
// again before any of its entry points ran; other names are not searched.
TEST(ExtensionHost, SearchLoadsAtMostFiveLibrariesAndSkipsWhatIsNoExtension) {
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
    ASSERT_EQ(ExtensionHostCount(host.get()), 5u);
    for (uint32_t i = 0; i < 5; ++i)
        EXPECT_EQ(candidates.erase(Wide(ExtensionHostGet(host.get(), i)->info[0])), 1u);
    EXPECT_FALSE(ExtensionLoad(0, PathOf(dir + "/pxe_0.dll")));
    EXPECT_FALSE(IsLoaded(dir + "/pxe_0.dll"));
    EXPECT_TRUE(LogOf(dir + "/pxe_0.dll").empty());
    EXPECT_FALSE(IsLoaded(dir + "/other.dll"));
}
