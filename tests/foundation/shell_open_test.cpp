#include "foundation/shell_open.h"

#include <gtest/gtest.h>
#include <windows.h>

#include "foundation/dde_client.h"
#include "foundation/registry.h"
#include "tests/foundation/dde_test_partner.h"

namespace {

// Sets the default value of a key under HKEY_CLASSES_ROOT (created when
// missing); an empty value removes the key's default.
void SetClassValue(const std::wstring& path, const std::wstring& value) {
    RegKey key = RegOpen(HKEY_CLASSES_ROOT, path.c_str(), false);
    ASSERT_TRUE(key) << Utf8Of(path);
    if (value.empty()) {
        RegDeleteValue(key.get(), nullptr);
    } else {
        EXPECT_TRUE(RegSetString(key.get(), nullptr, value.c_str()));
    }
}

// Registers the extension for a class whose open command is `command`.
void RegisterType(const std::wstring& extension, const std::wstring& class_name,
                  const std::wstring& command) {
    RegDeleteTreeW(HKEY_CLASSES_ROOT, class_name.c_str());
    SetClassValue(extension, class_name);
    SetClassValue(class_name + L"\\shell\\open\\command", command);
}

std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The arguments the partner saw, once it has logged them all.
std::vector<std::string> ArgsOf(const std::string& log) {
    std::vector<std::string> args;
    for (DWORD waited = 0; waited < kPartnerWaitMs && LogValue(log, "cwd\t").empty(); waited += 20) Sleep(20);
    for (const std::string& line : LogLines(log)) {
        if (line.compare(0, 4, "arg\t") == 0) args.push_back(line.substr(4));
    }
    return args;
}

}  // namespace

TEST(ShellOpen, RefusesOtherVerbsAndUnregisteredTypes) {
    RegisterType(L".plxshellnone", L"PlxShellTest.NoCommand", L"");
    HWND window = reinterpret_cast<HWND>(1);
    EXPECT_FALSE(ShellOpenDocument(L"print", L"c:\\a.plxshellnone", L"", L"", &window));
    EXPECT_EQ(window, nullptr);
    EXPECT_FALSE(ShellOpenDocument(L"open", L"c:\\a.plxshellnone", L"", L"", &window));
    EXPECT_FALSE(ShellOpenDocument(L"open", L"c:\\a.plxshellunknown", L"", L"", &window));
    EXPECT_FALSE(ShellOpenDocument(L"open", L"c:\\no-extension", L"", L"", nullptr));
}

TEST(ShellOpen, CommandLineTakesTheFile) {
    const std::string dir = MakeScratchDir("shell open");
    const std::wstring file = WindowsPathOf(dir) + L"\\a b%2 \u00e9.plxshell";
    SetEnvironmentVariableW(L"PLX_PARTNER_EXE", PartnerExe().c_str());
    struct Case {
        const wchar_t* name;
        std::wstring tail;  // after the program and its log switch
        const wchar_t* verb;
        const wchar_t* extension;
    };
    const Case cases[] = {
        {L"quoted %1, unfilled placeholders", L" " + Quoted(L"%1") + L" %2 %9 %*", L"open", L""},
        {L"%L without %1", L" " + Quoted(L"%L"), L"edit", L".plxshell"},
        {L"extension without its dot", L" " + Quoted(L"%1"), L"Open", L"plxshell"},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(Utf8Of(c.name));
        const std::string log = dir + "/log" + std::to_string(index++) + ".txt";
        const std::wstring command =
            Quoted(L"%PLX_PARTNER_EXE%") + L" -log " + Quoted(WindowsPathOf(log)) + c.tail;
        RegisterType(L".plxshell", L"PlxShellTest.Document", L"");
        SetClassValue(std::wstring(L"PlxShellTest.Document\\shell\\") + c.verb + L"\\command", command);
        ASSERT_TRUE(
            ShellOpenDocument(c.verb, file.c_str(), c.extension, WindowsPathOf(dir).c_str(), nullptr));
        const std::vector<std::string> expected = {"-log", Utf8Of(WindowsPathOf(log)), Utf8Of(file)};
        EXPECT_EQ(ArgsOf(log), expected);
        EXPECT_EQ(LogValue(log, "cwd\t"), Utf8Of(WindowsPathOf(dir)));
    }
}

TEST(ShellOpen, DeliversThroughTheRegisteredDdeExecute) {
    const std::string dir = MakeScratchDir("shell-dde");
    const std::wstring service = L"PlxShellDde" + std::to_wstring(GetCurrentProcessId());
    const std::wstring file = WindowsPathOf(dir) + L"\\a b.plxshelldde";
    for (const wchar_t* topic : {L"", L"MDI"}) {
        const std::string log = dir + (*topic ? "/log-mdi.txt" : "/log-system.txt");
        const std::wstring command =
            Quoted(PartnerExe()) + L" -log " + Quoted(WindowsPathOf(log)) + L" -service " + service;
        RegisterType(L".plxshelldde", L"PlxShellTest.Dde", command);
        SetClassValue(L"PlxShellTest.Dde\\shell\\open\\ddeexec", L"[open(\"%1\")]");
        SetClassValue(L"PlxShellTest.Dde\\shell\\open\\ddeexec\\Application", service);
        if (*topic) SetClassValue(L"PlxShellTest.Dde\\shell\\open\\ddeexec\\Topic", topic);
        const std::string expected_topic = *topic ? "MDI" : "System";

        HWND window = nullptr;
        ASSERT_TRUE(ShellOpenDocument(L"open", file.c_str(), L"", L"", &window));
        EXPECT_TRUE(WaitForLogLine(log, "execute\t" + expected_topic + "\t[open(\"" + Utf8Of(file) + "\")]"));
        EXPECT_EQ(LogValue(log, "connect\t"), expected_topic);
        EXPECT_EQ(ArgsOf(log).size(), 4u);  // the file did not go on the command line
        ASSERT_TRUE(window);
        DWORD partner_id = 0;
        GetWindowThreadProcessId(window, &partner_id);
        EXPECT_EQ(std::to_string(partner_id), LogValue(log, "pid\t"));

        Ref<DdeClient> client = DdeClientConnect(service.c_str(), L"System", kDdeConnectTimeoutMs);
        ASSERT_TRUE(client);
        DdeClientExecute(client.get(), L"Quit");
        client.Reset();
        EXPECT_TRUE(WaitForProcessEnd(partner_id));
    }
}

// A URL for a web page type whose command takes no file gets the URL
// appended; the '%' escapes inside it stay as they are.
TEST(ShellOpen, WebAddressesAreAppended) {
    const std::string dir = MakeScratchDir("shell-url");
    WString saved_class;
    RegGetClassDefault(L".html", saved_class);
    int index = 0;
    for (const wchar_t* url :
         {L"https://example.com/a%20b.html?x=%2", L"http://example.com/", L"ftp://host/a"}) {
        SCOPED_TRACE(Utf8Of(url));
        const std::string log = dir + "/log" + std::to_string(index++) + ".txt";
        RegisterType(L".html", L"PlxShellTest.Web",
                     Quoted(PartnerExe()) + L" -log " + Quoted(WindowsPathOf(log)));
        EXPECT_TRUE(ShellOpenDocument(L"open", url, L".html", L"", nullptr));
        const std::vector<std::string> expected = {"-log", Utf8Of(WindowsPathOf(log)), Utf8Of(url)};
        EXPECT_EQ(ArgsOf(log), expected);
    }
    SetClassValue(L".html", WStrCStr(saved_class));
}

TEST(ShellOpen, ExecutableTypes) {
    for (const wchar_t* path : {L"setup.EXE", L"c:\\x\\run.bat", L"a.Com", L"b.cmd", L"c.vbs", L"d.wsh",
                                L"e.scr", L"f.pif", L"g.msi", L"h.hta", L"i.js", L"j.jse", L"k.vbe", L"l.wsf",
                                L"m.lnk", L"n.cpl", L"o.reg", L"p.PS1"}) {
        EXPECT_TRUE(IsExecutableFile(path)) << Utf8Of(path);
    }
    for (const wchar_t* path :
         {L"notes.txt", L"no-extension", L"dir.exe\\file", L".exe", L"a.exe.tif", L"a.json"}) {
        EXPECT_FALSE(IsExecutableFile(path)) << Utf8Of(path);
    }
}
