// URL decoding, Base64 and ANSI conversions, checked against Python's
// standard library (tests/data/string_oracle.py).
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "foundation/strings.h"
#include "tests/support/test_support.h"

namespace {

std::string HexOfUnits(const std::wstring& text) {
    std::string hex;
    char pair[8];
    for (wchar_t unit : text) {
        snprintf(pair, sizeof(pair), "%02x%02x", unsigned(unit & 0xFF), unsigned(unit >> 8));
        hex += pair;
    }
    return hex;
}

std::string HexOfBytes(const std::string& bytes) {
    std::string hex;
    char pair[4];
    for (unsigned char b : bytes) {
        snprintf(pair, sizeof(pair), "%02x", unsigned(b));
        hex += pair;
    }
    return hex;
}

std::wstring UnitsOfHex(const std::string& hex) {
    std::wstring text;
    for (size_t i = 0; i + 4 <= hex.size(); i += 4) {
        unsigned unit = std::stoul(hex.substr(i + 2, 2) + hex.substr(i, 2), nullptr, 16);
        text += wchar_t(unit);
    }
    return text;
}

// Runs the oracle over one line per input and returns one text per line.
std::vector<std::wstring> RunOracle(const std::string& mode, const std::vector<std::string>& hex_lines) {
    std::vector<std::string> lines;
    EXPECT_TRUE(RunDataScript("string_oracle.py", mode + " in.txt out.txt", hex_lines, &lines));
    std::vector<std::wstring> texts;
    for (const std::string& line : lines) texts.push_back(UnitsOfHex(line));
    return texts;
}

std::wstring RandomText(std::mt19937& random, const std::wstring& alphabet, size_t max_length) {
    std::wstring text(random() % (max_length + 1), L' ');
    for (auto& c : text) c = alphabet[random() % alphabet.size()];
    return text;
}

// Every byte that code page 1252 defines (five values are holes in it).
std::string DefinedCp1252Bytes() {
    std::string bytes;
    for (int b = 1; b < 256; ++b) {
        if (b != 0x81 && b != 0x8D && b != 0x8F && b != 0x90 && b != 0x9D) bytes += char(b);
    }
    return bytes;
}

}  // namespace

// The cases Python cannot judge: nothing in, and the out-string being the source.
TEST(UrlDecode, EmptyAndInPlace) {
    WString out;
    EXPECT_EQ(WStrBuffer(WStrUrlDecode(EmptyWString, out)), nullptr);
    WString same(L"x%20y");
    WStrUrlDecode(same, same);
    EXPECT_STREQ(WStrCStr(same), L"x y");
}

// An escaped NUL would cut the decoded path short of what was checked.
TEST(UrlDecode, EscapedNulStaysEncoded) {
    WString out;
    WStrUrlDecode(WString(L"a%00b.tif"), out);
    EXPECT_EQ(WStrLength(out), 9u);
    EXPECT_STREQ(WStrCStr(out), L"a%00b.tif");
}

TEST(UrlDecode, MatchesPythonUnquotePlus) {
    std::mt19937 random(1234);
    const std::wstring alphabet = L"%%%%+09afAFgG/?&= x\u00e9\u4e2d";
    std::vector<std::wstring> inputs = {L"a+b%41%4g", L"%e9%E9%2B%", L"%4",     L"%",
                                        L"%%41",      L"%2500",      L"%0a%0D", L"%ff%FF%fF"};
    for (int i = 0; i < 400; ++i) inputs.push_back(RandomText(random, alphabet, 24));
    std::vector<std::string> lines;
    for (const auto& text : inputs) lines.push_back(HexOfUnits(text));
    std::vector<std::wstring> expected = RunOracle("urldecode", lines);
    ASSERT_EQ(expected.size(), inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        // Python decodes "%00" to NUL; this decoder keeps it as it stands.
        std::wstring want;
        for (wchar_t c : expected[i]) want += c ? std::wstring(1, c) : std::wstring(L"%00");
        WString out;
        WStrUrlDecode(WString(inputs[i].c_str()), out);
        EXPECT_EQ(std::wstring(WStrCStr(out)), want) << "input " << HexOfUnits(inputs[i]);
    }
}

TEST(Base64, EmptyTextGivesEmptyString) {
    WString out(L"stale");
    EXPECT_EQ(WStrBuffer(WStrBase64Encode(EmptyWString, out)), nullptr);
}

// Byte strings of lengths around the 57-byte line, encoded both ways. With
// breaks, CR LF follows every 19th full group, also the last one; without,
// the text is exactly Python's b64encode (what an Authorization header needs).
TEST(Base64, MatchesPythonB64encode) {
    std::mt19937 random(99);
    const std::string defined = DefinedCp1252Bytes();
    std::vector<std::string> inputs;
    for (size_t length : {1, 2, 3, 55, 56, 57, 58, 59, 113, 114, 115, 171, 172, 300}) {
        std::string bytes(length, ' ');
        for (auto& b : bytes) b = defined[random() % defined.size()];
        inputs.push_back(bytes);
    }
    std::vector<std::string> lines;
    for (const auto& bytes : inputs) lines.push_back(HexOfBytes(bytes));
    std::vector<std::wstring> expected = RunOracle("base64", lines);
    ASSERT_EQ(expected.size(), inputs.size());
    for (size_t i = 0; i < inputs.size(); ++i) {
        WString text, plain, broken;
        WStrFromAnsi(text, inputs[i].c_str());
        ASSERT_EQ(WStrLength(text), inputs[i].size());
        WStrBase64Encode(text, plain, kBase64NoBreaks);
        EXPECT_EQ(std::wstring(WStrCStr(plain)), expected[i]) << "length " << inputs[i].size();
        std::wstring want;
        const size_t full = inputs[i].size() / 3 * 4;
        for (size_t at = 0; at < full; at += 76) {
            want += expected[i].substr(at, std::min<size_t>(76, full - at));
            if (full - at >= 76) want += L"\r\n";
        }
        want += expected[i].substr(full);
        WStrBase64Encode(text, broken);
        EXPECT_EQ(std::wstring(WStrCStr(broken)), want) << "length " << inputs[i].size();
    }
}

TEST(AnsiConversion, Cp1252MatchesPython) {
    ASSERT_EQ(GetACP(), 1252u);
    const std::string bytes = DefinedCp1252Bytes();
    std::vector<std::wstring> expected = RunOracle("cp1252", {HexOfBytes(bytes)});
    ASSERT_EQ(expected.size(), 1u);
    WString wide;
    WStrFromAnsi(wide, bytes.c_str());
    EXPECT_EQ(std::wstring(WStrCStr(wide)), expected[0]);
    AString back;
    AStrFromWide(back, wide);
    EXPECT_EQ(std::string(AStrCStr(back)), bytes);
}

// Characters outside the code page become '?' one for one, as Python's
// "replace" handler does; nothing after them is lost.
TEST(AnsiConversion, UnmappableCharactersBecomeQuestionMarks) {
    const std::wstring text = L"a\u4e2d\u6587b\u20ac\u0416c";
    std::vector<std::wstring> expected = RunOracle("encode1252", {HexOfUnits(text)});
    ASSERT_EQ(expected.size(), 1u);
    AString ansi;
    AStrFromWide(ansi, text.c_str());
    std::wstring got;
    for (const char* p = AStrCStr(ansi); *p; ++p) got += wchar_t(static_cast<unsigned char>(*p));
    EXPECT_EQ(got, expected[0]);
}

TEST(AnsiConversion, EmptyAndNull) {
    WString wide(L"x");
    WStrFromAnsi(wide, static_cast<const char*>(nullptr));
    EXPECT_EQ(WStrBuffer(wide), nullptr);
    AString ansi("x");
    AStrFromWide(ansi, WString());
    EXPECT_EQ(AStrBuffer(ansi), nullptr);
}
