#include "program/file_type_association.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/registry.h"
#include "viewer/core/settings.h"

namespace {

std::vector<std::wstring> Parsed(const wchar_t* list) {
    std::vector<std::wstring> out;
    for (const WString& extension : FileTypesParseList(list)) out.push_back(WStrCStr(extension));
    return out;
}

TEST(FileTypesParseList, EachExtensionOnceWithOneLeadingDot) {
    EXPECT_EQ(Parsed(L"tif,tiff,lst"), (std::vector<std::wstring>{L".tif", L".tiff", L".lst"}));
    EXPECT_EQ(Parsed(L"  tif , .TIFF,,\t,lst ,TIF, .lst"),
              (std::vector<std::wstring>{L".tif", L".TIFF", L".lst"}));
    EXPECT_EQ(Parsed(L""), std::vector<std::wstring>{});
}

// A part is a key name under HKEY_CLASSES_ROOT: separators would reach into
// other keys, wildcards and blanks name no extension.
TEST(FileTypesParseList, PartsThatNameOtherKeysAreLeftOut) {
    EXPECT_EQ(Parsed(L".txt\\shell\\open\\command,tif,../x,a/b,*.jpg,j?g,t f,.,..,x\x01y,gif"),
              (std::vector<std::wstring>{L".tif", L".gif"}));
}

// Scratch extensions, so that nothing the other tests rely on is touched.
struct ScratchTypes : testing::Test {
    void TearDown() override {
        for (const wchar_t* key : {L".plxut-a", L".plxut-b", L"Plovex.Document"}) {
            RegDeleteTreeW(HKEY_CLASSES_ROOT, key);
        }
        RegDeleteTreeW(HKEY_CURRENT_USER, kUserChoice);
    }
    static bool ClassDefault(const wchar_t* key, WString& value) { return RegGetClassDefault(key, value); }
    static constexpr const wchar_t* kUserChoice =
        L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts\\.plxut-a";
};

TEST_F(ScratchTypes, WritesTheClassItsIconAndTheHandOverCommand) {
    Ref<Settings> settings = SettingsCreate();
    SettingsSetExtensionList(settings.get(), nullptr, kCallerInternal, L"plxut-a, .plxut-b");
    ASSERT_TRUE(FileTypesRegister(settings.get()));

    WString value;
    ASSERT_TRUE(ClassDefault(L".plxut-a", value));
    EXPECT_STREQ(WStrCStr(value), L"Plovex.Document");
    ASSERT_TRUE(ClassDefault(L".plxut-b", value));
    EXPECT_STREQ(WStrCStr(value), L"Plovex.Document");
    ASSERT_TRUE(ClassDefault(L"Plovex.Document", value));
    EXPECT_STREQ(WStrCStr(value), L"Plovex Document");

    wchar_t module[MAX_PATH] = L"";
    ASSERT_GT(GetModuleFileNameW(nullptr, module, MAX_PATH), 0u);
    const std::wstring quoted = L"\"" + std::wstring(module) + L"\"";
    ASSERT_TRUE(ClassDefault(L"Plovex.Document\\DefaultIcon", value));
    EXPECT_EQ(std::wstring(WStrCStr(value)), quoted + L", -100");
    ASSERT_TRUE(ClassDefault(L"Plovex.Document\\shell\\open\\command", value));
    EXPECT_EQ(std::wstring(WStrCStr(value)), quoted + L" -s \"%1\"");
}

TEST_F(ScratchTypes, WorkaroundBitsSkipEverythingOrResetTheUsersChoice) {
    Ref<Settings> settings = SettingsCreate();
    SettingsSetExtensionList(settings.get(), nullptr, kCallerInternal, L"plxut-a");
    settings->workaround = kWorkaroundNoFileTypes;
    EXPECT_TRUE(FileTypesRegister(settings.get()));
    WString value;
    EXPECT_FALSE(ClassDefault(L".plxut-a", value));

    {
        RegKey choice = RegOpen(HKEY_CURRENT_USER, kUserChoice, false);
        ASSERT_TRUE(choice);
        ASSERT_TRUE(RegSetString(choice.get(), L"Progid", L"Other.Viewer"));
        ASSERT_TRUE(RegSetString(choice.get(), L"Application", L"other.exe"));
        ASSERT_TRUE(RegSetString(choice.get(), L"Kept", L"1"));
    }
    settings->workaround = kWorkaroundResetUserChoice;
    ASSERT_TRUE(FileTypesRegister(settings.get()));
    EXPECT_TRUE(ClassDefault(L".plxut-a", value));
    RegKey choice = RegOpen(HKEY_CURRENT_USER, kUserChoice, true);
    ASSERT_TRUE(choice);
    EXPECT_FALSE(RegGetString(choice.get(), L"Progid", value));
    EXPECT_FALSE(RegGetString(choice.get(), L"Application", value));
    EXPECT_TRUE(RegGetString(choice.get(), L"Kept", value));
}

}  // namespace
