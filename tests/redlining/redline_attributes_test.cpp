// Markup attributes: their text forms, read and written.
#include "redlining/redline_attributes.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

std::wstring Written(const RedlineAttribute& attribute) {
    WStrBuilder builder(64);
    EXPECT_TRUE(attribute.Serialize(builder));
    return WStrBuilderCStr(builder);
}

std::string Hex(const std::wstring& text) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (wchar_t c : text) {  // the table is ASCII only
        hex += digits[(c >> 4) & 15];
        hex += digits[c & 15];
    }
    return hex;
}

std::wstring FromHex(const std::string& hex) {
    std::wstring text;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        text += static_cast<wchar_t>(std::stoi(hex.substr(i, 2), nullptr, 16));
    return text;
}

struct TextCase {
    int32_t kind;
    const wchar_t* text;
};

// Edge strings of every kind; what each reads as (and writes back) comes
// from an independent reader and writer in Python.
const TextCase kCases[] = {
    {0, L"0:0:0:1.000000"},
    {0, L"0:255:0:-1.000000"},  // negative width
    {0, L" 1 : 16711680 : 0 : 2.5 "},
    {0, L"0:255:0:1e308"},  // beyond a float: the largest float
    {0, L"0:255:0:inf"},
    {0, L"0:255:0:nan"},
    {0, L"0:255:0:1e999"},
    {0, L"0:255:0:-0"},
    {0, L"0:1:2"},
    {0, L"0:1:2:3:4"},
    {0, L"00:5:0:1"},
    {0, L"x:5:0:1"},
    {0, L"-0:5:0:1"},
    {0, L"   :5:0:1"},
    {0, L"0:-1:0:0.5"},
    {0, L"0:12abc:0:3.25xyz"},
    {0, L"0:0:0:0x10"},
    {0, L"0:0:0:abc"},
    {0, L"0:4294967296:-7:.5"},
    {1, L"1:16777215:0"},
    {1, L"0:255"},
    {1, L"0:255:0:0"},
    {1, L"1:  :0"},
    {1, L"+1:+3:-3"},
    {2, L" 42 "},
    {2, L""},
    {2, L"   "},
    {2, L"-7"},
    {3, L"10.000000:0:0:0:0:0:0.000000:0:Arial"},
    {3, L"10.000000:0:1:0:0:255:0.000000:0:"},  // empty face
    {3, L"10:0:1:0:0:255:0:0"},                 // eight fields
    {3, L"10:0:1:0:0:255:45:0:Times New Roman:extra:more"},
    {3, L"0:0:0:0:0:0:0:0:Arial"},
    {3, L"12.5:1:1:1:1:0:-30:7: Arial "},
    {3, L"nan:0:0:0:0:0:0:0:Arial"},
    {3, L"10:0:0:0:0:0:1e39:0:Arial"},
    {3, L"10:0:0:0:0:0: :0:Arial"},
    {4, L"2:1:a1:b"},
    {4, L"2:1:a"},  // fewer lines than counted
    {4, L"0:"},
    {4, L"1:123456:x"},  // a six-digit length
    {4, L"1:5:a:b:c"},
    {4, L"1:10:abc"},
    {4, L"1:3:abcdef"},
    {4, L"3:0:0:0:"},
    {4, L":1:a"},
    {4, L"-1:"},
    {4, L"1:0:"},
    {4, L""},
    {4, L"1:00004:Text"},
    {5, L"1:4:Text"},
    {6, L"0:0"},
    {6, L"1:3"},
    {6, L"1"},
    {6, L"1:2:3"},
    {6, L" 2 : 1 "},
    {7, L"0:0"},
    {-1, L"0:0"},
};

}  // namespace

TEST(RedlineAttributeText, EdgeStringsMatchAnIndependentReaderAndWriter) {
    const std::string dir = MakeScratchDir("redline_attribute_texts");
    std::string input;
    for (const TextCase& c : kCases) input += std::to_string(c.kind) + "\t" + Hex(c.text) + "\n";
    ASSERT_TRUE(WriteHostFile(dir + "/in.txt", std::vector<uint8_t>(input.begin(), input.end())));
    const std::string script = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/redline_attribute_texts.py";
    ASSERT_EQ(RunHostCommand("python3 '" + script + "' '" + dir + "/in.txt' '" + dir + "/out.txt'"), 0);
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream expected(std::string(bytes.begin(), bytes.end()));
    std::string line;
    size_t checked = 0;
    while (std::getline(expected, line)) {
        ASSERT_LT(checked, std::size(kCases));
        const TextCase& c = kCases[checked++];
        Ref<RedlineAttribute> attribute = ParseRedlineAttribute(c.kind, WString(c.text));
        if (line == "-") {
            EXPECT_FALSE(attribute) << "kind " << c.kind << " text \""
                                    << testing::PrintToString(std::wstring(c.text)) << "\" should be refused";
            continue;
        }
        ASSERT_TRUE(attribute) << "kind " << c.kind << " text "
                               << testing::PrintToString(std::wstring(c.text));
        EXPECT_EQ(Written(*attribute), FromHex(line))
            << "kind " << c.kind << " text " << testing::PrintToString(std::wstring(c.text));
    }
    EXPECT_EQ(checked, std::size(kCases));
}

TEST(RedlineAttributeText, ConstructorsDefaultsAndKinds) {
    // Defaults and their text forms.
    EXPECT_EQ(Written(LineAttr()), L"0:0:0:1.000000");
    EXPECT_EQ(Written(FillAttr()), L"1:16777215:0");
    EXPECT_EQ(Written(FontAttr()), L"10.000000:0:0:0:0:0:0.000000:0:Arial");
    EXPECT_EQ(Written(TextAttr()), L"1:4:Text");
    EXPECT_EQ(Written(LineEndsAttr()), L"0:0");
    EXPECT_EQ(Written(IntAttr(-12)), L"-12");
    // What the constructors mend.
    EXPECT_EQ(LineAttr(false, 0, 0, -1.0f).width, 0.0f);
    EXPECT_EQ(FontAttr(0.0f).height, 0.001f);
    const FontAttr colon(10.0f, false, false, false, false, 0, 0.0f, 0, WString(L"A:B"));
    EXPECT_STREQ(WStrCStr(colon.face), L"A B");
    EXPECT_EQ(Written(colon), L"10.000000:0:0:0:0:0:0.000000:0:A B");
    // A lone LF is a line end; lines come back joined by CR LF.
    const TextAttr lines(WString(L"a\nb"));
    EXPECT_EQ(Written(lines), L"2:1:a1:b");
    Ref<RedlineAttribute> read = ParseRedlineAttribute(redline_attribute::kText, WString(L"2:1:a1:b"));
    ASSERT_TRUE(read);
    EXPECT_STREQ(WStrCStr(static_cast<TextAttr*>(read.get())->text().text), L"a\r\nb");
    EXPECT_EQ(Written(TextAttr(WString(L""))), L"0:");
    // Kind 5 reads as a text, which reports kind 4.
    Ref<RedlineAttribute> alias = ParseRedlineAttribute(redline_attribute::kTextAlias, WString(L"1:4:Text"));
    ASSERT_TRUE(alias);
    EXPECT_EQ(alias->GetType(), redline_attribute::kText);
    // Placeholders are recorded as the text is stored; there is nothing to
    // expand without a viewer context.
    const TextAttr placeholder(WString(L"Printed <DATE>"));
    EXPECT_TRUE(placeholder.text().has_placeholders);
    EXPECT_FALSE(TextAttr(WString(L"a < b")).text().has_placeholders);
    WString expanded(L"stale");
    EXPECT_EQ(WStrLength(placeholder.Expand(nullptr, nullptr, expanded)), 0u);
}
