#include "foundation/text_table.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "tests/support/test_support.h"

namespace {

// The texts as the resource holds them: code page 1252 bytes, mixed line
// ends, blank lines, padded fields, and lines the parser must skip.
std::string ResourceText() {
    std::string text;
    text +=
        "0\t100\tDatei \xf6"
        "ffnen\r\n";  // o-umlaut
    text += "1\t100\tOpen file\n";
    text += "\r\n\n\r";  // blank lines of every kind
    text += " 1 \t 101 \tPadded fields, text kept as is  \n\r";
    text += "1\t102\tEuro \x80 and A\\nB\\rC\\tD\\00916\\%\r";
    text += "1\t103\tfirst\tignored after a third TAB\n";
    text += "1\t103\tsecond\n";  // the first text of an id stays
    text += "1\t65536\tid too large\n";
    text += "1\t-5\tnegative id\n";
    text += "11\t104\tlanguage too large\n";
    text += "x1\t105\tlanguage not a number\n";
    text += "1\t106 no second tab\n";
    text += "1\t107\t\n";  // empty text
    text += "1\t110\t" + std::string(1500, 'L') + "\n";
    text += "1\t1010\tHello\n";
    text += "0\t65535\tlast possible id";  // no line end at all
    return text;
}

// A resource-only DLL made by the cross toolchain's windres and ld, loaded
// as data (it has no code to run).
class CompiledTexts : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        const std::string dir = MakeScratchDir("text-table");
        const std::string text = ResourceText();
        WriteHostFile(dir + "/texts.txt", std::vector<uint8_t>(text.begin(), text.end()));
        WriteHostFile(dir + "/empty.txt", {});
        const std::string rc = "339 SPRACHTEXTE \"texts.txt\"\n340 SPRACHTEXTE \"empty.txt\"\n";
        WriteHostFile(dir + "/texts.rc", std::vector<uint8_t>(rc.begin(), rc.end()));
        build_result_ = RunHostCommand("cd '" + dir +
                                       "' && i686-w64-mingw32-windres texts.rc -O coff -o texts.o && "
                                       "i686-w64-mingw32-ld --dll -e 0 -o texts.dll texts.o");
        module_ =
            LoadLibraryExW(WindowsPathOf(dir + "/texts.dll").c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    }
    static void TearDownTestSuite() {
        if (module_) FreeLibrary(module_);
    }
    void SetUp() override {
        ASSERT_EQ(build_result_, 0);
        ASSERT_TRUE(module_);
    }

    static int build_result_;
    static HMODULE module_;
};

int CompiledTexts::build_result_ = -1;
HMODULE CompiledTexts::module_ = nullptr;

std::wstring TextOf(const TextTable* table, uint32_t language, uint32_t id) {
    const wchar_t* text = TextTableGet(table, language, id);
    return text ? text : L"<none>";
}

}  // namespace

TEST_F(CompiledTexts, AllLanguages) {
    Ref<TextTable> table = TextTableLoad(module_, kTextResourceId, kTextResourceType, false, -1);
    ASSERT_TRUE(table);
    EXPECT_EQ(TextOf(table.get(), 0, 100), L"Datei \u00f6ffnen");
    EXPECT_EQ(TextOf(table.get(), 1, 100), L"Open file");
    EXPECT_EQ(TextOf(table.get(), 1, 101), L"Padded fields, text kept as is  ");
    EXPECT_EQ(TextOf(table.get(), 1, 102), L"Euro \u20ac and A\nB\tC\tD\u0394\\%");
    EXPECT_EQ(TextOf(table.get(), 1, 103), L"first");
    EXPECT_EQ(TextOf(table.get(), 1, 110), std::wstring(kTextMaxLength, L'L'));
    EXPECT_EQ(TextOf(table.get(), 1, 1010), L"Hello");
    EXPECT_EQ(TextOf(table.get(), 0, 65535), L"last possible id");
    for (uint32_t skipped : {0u, 104u, 105u, 106u, 107u, 65535u, 65536u}) {
        EXPECT_EQ(TextTableGet(table.get(), 1, skipped), nullptr) << skipped;
    }
    EXPECT_EQ(TextTableGet(table.get(), 0, 101), nullptr);
    for (uint32_t language = 2; language <= kTextLanguages; ++language) {
        EXPECT_EQ(TextTableGet(table.get(), language, 100), nullptr);
    }
}

TEST_F(CompiledTexts, OneLanguageParseOnlyAndMissingResources) {
    Ref<TextTable> german = TextTableLoad(module_, kTextResourceId, kTextResourceType, false, 0);
    ASSERT_TRUE(german);
    EXPECT_EQ(TextOf(german.get(), 0, 100), L"Datei \u00f6ffnen");
    EXPECT_EQ(TextTableGet(german.get(), 1, 1010), nullptr);
    EXPECT_EQ(german->languages[1], nullptr);

    Ref<TextTable> checked = TextTableLoad(module_, kTextResourceId, kTextResourceType, true, -1);
    ASSERT_TRUE(checked);
    for (const auto& texts : checked->languages) EXPECT_EQ(texts, nullptr);

    EXPECT_FALSE(TextTableLoad(module_, 340, kTextResourceType, false, -1));  // empty
    EXPECT_FALSE(TextTableLoad(module_, 341, kTextResourceType, false, -1));
    EXPECT_FALSE(TextTableLoad(module_, kTextResourceId, L"OTHERTYPE", false, -1));
}

TEST(TextEscapes, ResolvedInPlace) {
    const std::pair<const wchar_t*, const wchar_t*> cases[] = {
        {L"A\\nB", L"A\nB"},      {L"\\r\\t", L"\t\t"},     {L"x\\00916y", L"x\u0394y"},
        {L"\\%s", L"\\%s"},       {L"\\0091x", L"\\0091x"}, {L"\\65535", L"\uffff"},
        {L"\\70000", L"\\70000"}, {L"\\00000", L"\\00000"}, {L"end\\", L"end\\"},
        {L"\\\\n", L"\\\n"},
    };
    for (const auto& [escaped, expected] : cases) {
        std::wstring text = escaped;
        TextUnescape(text.data());
        EXPECT_STREQ(text.c_str(), expected);
    }
}

TEST(LangTextsStore, AddCompactAndLookUp) {
    LangTexts texts;
    ASSERT_TRUE(LangTextsInit(texts, 4, 4, 8, 8));
    EXPECT_TRUE(LangTextsAdd(texts, 50, L"fifty"));
    EXPECT_TRUE(LangTextsAdd(texts, 20, L"twenty"));
    EXPECT_TRUE(LangTextsAdd(texts, 99999, L"last"));
    EXPECT_FALSE(LangTextsAdd(texts, 100000, L"too large"));
    EXPECT_FALSE(LangTextsAdd(texts, 50, L"again"));
    EXPECT_TRUE(LangTextsAdd(texts, 30, L""));
    LangTextsCompact(texts);
    EXPECT_EQ(texts.base, 20u);
    EXPECT_STREQ(LangTextsGet(texts, 50), L"fifty");
    EXPECT_STREQ(LangTextsGet(texts, 20), L"twenty");
    EXPECT_STREQ(LangTextsGet(texts, 99999), L"last");
    EXPECT_EQ(LangTextsGet(texts, 30), nullptr);  // empty text
    EXPECT_EQ(LangTextsGet(texts, 40), nullptr);  // between two ids
    EXPECT_EQ(LangTextsGet(texts, 19), nullptr);
    EXPECT_EQ(LangTextsGet(texts, 100000), nullptr);
    EXPECT_FALSE(LangTextsAdd(texts, 60, L"after compaction"));

    LangTexts from_zero;
    ASSERT_TRUE(LangTextsInit(from_zero, 1, 1, 1, 1));
    EXPECT_TRUE(LangTextsAdd(from_zero, 0, L"zero"));
    LangTextsCompact(from_zero);
    EXPECT_TRUE(LangTextsAdd(from_zero, 7, L"seven"));  // base 0: still open
    EXPECT_STREQ(LangTextsGet(from_zero, 0), L"zero");
    EXPECT_STREQ(LangTextsGet(from_zero, 7), L"seven");

    LangTexts nothing;  // compacted without a text: nothing to look up, and no crash
    ASSERT_TRUE(LangTextsInit(nothing, 4, 4, 8, 8));
    LangTextsCompact(nothing);
    EXPECT_EQ(LangTextsGet(nothing, 0), nullptr);
}
