#include "foundation/registry.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

constexpr wchar_t kTestRoot[] = L"Software\\PlovexRegistryTest";

std::wstring KeyPath(const wchar_t* name) { return std::wstring(kTestRoot) + L"\\" + name; }

// A fresh, empty key under HKEY_CURRENT_USER for one test.
RegKey FreshKey(const wchar_t* name) {
    RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath(name).c_str());
    return RegOpen(HKEY_CURRENT_USER, KeyPath(name).c_str(), false);
}

std::wstring FromUtf16File(const std::vector<uint8_t>& bytes) {
    std::wstring text;
    for (size_t i = 2; i + 1 < bytes.size(); i += 2) text += wchar_t(bytes[i] | (bytes[i + 1] << 8));
    return text;
}

// The key as `wine reg export` writes it (a UTF-16 .reg file), one value a
// line.
std::wstring ExportedByWine(const wchar_t* name) {
    const std::string dir = MakeScratchDir("registry-export");
    const std::string command =
        "wine reg export 'HKCU\\" + Utf8Of(KeyPath(name)) + "' '" + dir + "/out.reg' /y >/dev/null 2>&1";
    if (RunHostCommand(command) != 0) return L"<export failed>";
    return FromUtf16File(ReadHostFile(dir + "/out.reg"));
}

// Values made by `wine reg import` from a UTF-16 .reg file holding `lines`.
bool ImportedByWine(const wchar_t* name, const std::wstring& lines) {
    const std::wstring text = L"\xfeffWindows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\" +
                              KeyPath(name) + L"]\r\n" + lines;
    std::vector<uint8_t> bytes;
    for (wchar_t c : text) bytes.insert(bytes.end(), {uint8_t(c & 0xFF), uint8_t(c >> 8)});
    RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath(name).c_str());
    const std::string dir = MakeScratchDir("registry-import");
    WriteHostFile(dir + "/in.reg", bytes);
    return RunHostCommand("wine reg import '" + dir + "/in.reg' >/dev/null 2>&1") == 0;
}

bool Contains(const std::wstring& text, const std::wstring& part) {
    return text.find(part) != std::wstring::npos;
}

}  // namespace

TEST(RegistryWrite, EveryValueIsTextAsWineSeesIt) {
    RegKey key = FreshKey(L"Written");
    ASSERT_TRUE(key);
    RectI rect;
    RectISet(rect, 10, -20, 30, 40);
    EXPECT_TRUE(RegSetString(key.get(), L"Text", L"Gr\u00fc\u00dfe \u0394"));
    EXPECT_TRUE(RegSetString(key.get(), L"Empty", WString()));
    EXPECT_TRUE(RegSetInt(key.get(), L"Int", -42));
    EXPECT_TRUE(RegSetBool(key.get(), L"On", true));
    EXPECT_TRUE(RegSetBool(key.get(), L"Off", false));
    EXPECT_TRUE(RegSetDouble(key.get(), L"Scale", 3.25));
    EXPECT_TRUE(RegSetRect(key.get(), L"Frame", rect));
    EXPECT_TRUE(RegSetString(key.get(), L"Long", std::wstring(2047, L'x').c_str()));
    EXPECT_FALSE(RegSetString(key.get(), L"TooLong", std::wstring(2048, L'y').c_str()));
    EXPECT_TRUE(RegSetString(key.get(), L"Gone", L"soon"));
    EXPECT_TRUE(RegDeleteValue(key.get(), L"Gone"));
    EXPECT_FALSE(RegDeleteValue(key.get(), L"Gone"));
    EXPECT_TRUE(RegSetString(key.get(), nullptr, L"default"));
    RegClose(key);

    const std::wstring exported = ExportedByWine(L"Written");
    for (const wchar_t* line :
         {L"\"Text\"=\"Gr\u00fc\u00dfe \u0394\"", L"\"Empty\"=\"\"", L"\"Int\"=\"-42\"", L"\"On\"=\"1\"",
          L"\"Off\"=\"0\"", L"\"Scale\"=\"3.250000\"", L"\"Frame\"=\"10;-20;30;40\"", L"@=\"default\""}) {
        EXPECT_TRUE(Contains(exported, line)) << Utf8Of(line) << "\n" << Utf8Of(exported);
    }
    EXPECT_TRUE(Contains(exported, L"\"Long\"=\"" + std::wstring(2047, L'x') + L"\""));
    EXPECT_FALSE(Contains(exported, L"TooLong"));
    EXPECT_FALSE(Contains(exported, L"Gone"));
}

TEST(RegistryRead, ValuesMadeByWine) {
    const std::wstring lines[] = {
        L"\"Dword\"=dword:00000005",
        L"\"Expand\"=hex(2):25,00,50,00,41,00,54,00,48,00,25,00,00,00",
        L"\"Binary\"=hex:41,00",
        L"\"Multi\"=hex(7):61,00,00,00,00,00",
        L"\"Empty\"=\"\"",
        L"\"S2047\"=\"" + std::wstring(2047, L'a') + L"\"",
        L"\"S2048\"=\"" + std::wstring(2048, L'b') + L"\"",
        L"\"Umlaut\"=\"\u00e4\u0394\"",
        L"\"Trailing\"=\"12-\"",
        L"\"Word\"=\"abc\"",
        L"\"Seven\"=\"7\"",
        L"\"Zero\"=\"0\"",
        L"\"Half\"=\"2.5\"",
        L"\"Rect\"=\"10;20;-30;40\"",
        L"\"Three\"=\"10;20;30\"",
        L"\"Hole\"=\"10;;30;40\"",
        L"\"Five\"=\"1;2;3;4;\"",
    };
    std::wstring text_of_lines;
    for (const std::wstring& line : lines) text_of_lines += line + L"\r\n";
    ASSERT_TRUE(ImportedByWine(L"Made", text_of_lines));
    RegKey key = RegOpen(HKEY_CURRENT_USER, KeyPath(L"Made").c_str(), true);
    ASSERT_TRUE(key);
    WString text;
    int32_t number = 99;
    EXPECT_FALSE(RegGetInt(key.get(), L"Dword", number));
    for (const wchar_t* not_text : {L"Dword", L"Binary", L"Multi", L"Missing"}) {
        EXPECT_FALSE(RegGetString(key.get(), not_text, text)) << Utf8Of(not_text);
    }
    const std::pair<const wchar_t*, std::wstring> texts[] = {
        {L"Expand", L"%PATH%"},  // not expanded
        {L"Empty", L""},         // 2 bytes of data
        {L"S2047", std::wstring(2047, L'a')},
        {L"S2048", std::wstring(2048, L'b')},
        {L"Umlaut", L"\u00e4\u0394"},
    };
    for (const auto& [name, expected] : texts) {
        text = L"old";
        EXPECT_TRUE(RegGetString(key.get(), name, text)) << Utf8Of(name);
        EXPECT_EQ(std::wstring(WStrCStr(text)), expected) << Utf8Of(name);
    }

    EXPECT_FALSE(RegGetInt(key.get(), L"Empty", number));
    EXPECT_TRUE(RegGetInt(key.get(), L"Trailing", number));
    EXPECT_EQ(number, -12);
    EXPECT_TRUE(RegGetInt(key.get(), L"Word", number));
    EXPECT_EQ(number, 0);
    bool flag = false;
    EXPECT_TRUE(RegGetBool(key.get(), L"Seven", flag));
    EXPECT_TRUE(flag);
    EXPECT_TRUE(RegGetBool(key.get(), L"Zero", flag));
    EXPECT_FALSE(flag);
    double value = 0;
    EXPECT_TRUE(RegGetDouble(key.get(), L"Half", value));
    EXPECT_EQ(value, 2.5);
    EXPECT_FALSE(RegGetDouble(key.get(), L"Empty", value));

    RectI rect;
    ASSERT_TRUE(RegGetRect(key.get(), L"Rect", rect));
    EXPECT_EQ(rect, (RectI{SizeI{30, 40}, PointI{10, 20}}));
    for (const wchar_t* malformed : {L"Three", L"Hole", L"Five", L"Empty", L"Missing"}) {
        EXPECT_FALSE(RegGetRect(key.get(), malformed, rect)) << Utf8Of(malformed);
    }
    RegClose(key);
}

// Data that no well-behaved writer makes, set straight through the system.
TEST(RegistryRead, OddStringData) {
    RegKey key = FreshKey(L"Odd");
    ASSERT_TRUE(key);
    const wchar_t unterminated[] = {L'a', L'b', L'c'};
    ASSERT_EQ(
        RegSetValueExW(key.get(), L"Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE*>(unterminated), 6),
        0);
    ASSERT_EQ(RegSetValueExW(key.get(), L"OddSize", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"xyz"), 5), 0);
    ASSERT_EQ(RegSetValueExW(key.get(), L"InnerNul", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"ab\0cd"), 12),
              0);
    std::wstring big(500000, L'z');  // 1,000,002 bytes with the terminator
    ASSERT_EQ(RegSetValueExW(key.get(), L"Big", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                             static_cast<DWORD>((big.size() + 1) * 2)),
              0);
    big.resize(499998);  // 999,998 bytes
    ASSERT_EQ(RegSetValueExW(key.get(), L"AlmostBig", 0, REG_SZ, reinterpret_cast<const BYTE*>(big.c_str()),
                             static_cast<DWORD>((big.size() + 1) * 2)),
              0);
    WString text;
    EXPECT_TRUE(RegGetString(key.get(), L"Unterminated", text));
    EXPECT_STREQ(WStrCStr(text), L"abc");
    EXPECT_TRUE(RegGetString(key.get(), L"OddSize", text));
    EXPECT_STREQ(WStrCStr(text), L"xy");
    EXPECT_TRUE(RegGetString(key.get(), L"InnerNul", text));
    EXPECT_STREQ(WStrCStr(text), L"ab");
    EXPECT_FALSE(RegGetString(key.get(), L"Big", text));
    EXPECT_TRUE(RegGetString(key.get(), L"AlmostBig", text));
    EXPECT_EQ(WStrLength(text), 499998u);
    RegClose(key);
}

TEST(RegistryKeys, OpenCreateAndClassDefaults) {
    RegDeleteTreeW(HKEY_CURRENT_USER, KeyPath(L"Created").c_str());
    EXPECT_FALSE(RegOpen(HKEY_CURRENT_USER, KeyPath(L"Created").c_str(), true));
    RegKey created = RegOpen(HKEY_CURRENT_USER, KeyPath(L"Created\\Sub").c_str(), false);
    ASSERT_TRUE(created);
    RegClose(created);
    RegKey read_only = RegOpen(HKEY_CURRENT_USER, KeyPath(L"Created\\Sub").c_str(), true);
    ASSERT_TRUE(read_only);
    EXPECT_FALSE(RegSetInt(read_only.get(), L"x", 1));  // opened for queries only
    RegClose(read_only);

    WString text;
    int32_t number;
    EXPECT_FALSE(RegSetString(nullptr, L"x", L"y"));
    EXPECT_FALSE(RegGetString(nullptr, L"x", text));
    EXPECT_FALSE(RegGetInt(nullptr, L"x", number));
    RegKey none;
    RegClose(none);

    ASSERT_EQ(
        RunHostCommand("wine reg add 'HKCR\\.plxregtest' /ve /d PlxRegTest.Document /f >/dev/null 2>&1"), 0);
    EXPECT_TRUE(RegGetClassDefault(L".plxregtest", text));
    EXPECT_STREQ(WStrCStr(text), L"PlxRegTest.Document");
    EXPECT_FALSE(RegGetClassDefault(L".plxregtest-missing", text));
    EXPECT_EQ(WStrLength(text), 0u);
}
