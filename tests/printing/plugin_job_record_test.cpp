// The pieces of a plug-in's job record that need no plug-in: range texts
// and the file name the record can carry.
#include "printing/plugin_job_record.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <set>
#include <string>

#include "tests/support/test_support.h"

namespace {

std::vector<std::string> Texts(const std::vector<AString>& pieces) {
    std::vector<std::string> texts;
    for (const AString& piece : pieces) texts.emplace_back(AStrLength(piece) ? AStrCStr(piece) : "");
    return texts;
}

// The 1-based pages a range text names, read the way a plug-in would; an
// entry that is not "n" or "n-m" fails the test.
std::vector<uint32_t> PagesOf(const std::string& text) {
    std::vector<uint32_t> pages;
    size_t at = 0;
    while (at <= text.size()) {
        const size_t comma = std::min(text.find(',', at), text.size());
        const std::string entry = text.substr(at, comma - at);
        const size_t dash = entry.find('-');
        EXPECT_FALSE(entry.empty()) << text;
        EXPECT_EQ(entry.find_first_not_of("0123456789-"), std::string::npos) << text;
        const uint32_t first = std::stoul(entry.substr(0, dash));
        const uint32_t last = dash == std::string::npos ? first : std::stoul(entry.substr(dash + 1));
        for (uint32_t page = first; page <= last; ++page) pages.push_back(page);
        at = comma + 1;
    }
    return pages;
}

}  // namespace

TEST(PluginRangeTexts, RunsOfConsecutivePagesInTheirOrder) {
    struct Case {
        std::vector<uint32_t> indices;
        std::string text;
    };
    // "1-3,5" and "1-2" are the plug-in provider's records.
    const Case cases[] = {
        {{0, 1, 2, 4, 6, 7}, "1-3,5,7-8"},
        {{9}, "10"},
        {{3, 2, 1}, "4,3,2"},  // the page list's order, not sorted
        {{0, 0xFFFFFFFFu}, "1,4294967296"},
    };
    for (const Case& c : cases) EXPECT_EQ(Texts(PluginRangeTexts(c.indices, 127)), std::vector{c.text});
    EXPECT_TRUE(PluginRangeTexts({}, 127).empty());
}

// A text that does not fit its field is cut only between entries: every
// piece reads as a range of its own and together they ask exactly for the
// given pages, where cutting at the field's size would print page 12 for 123.
TEST(PluginRangeTexts, LongTextsSplitBetweenEntriesIntoCompleteRanges) {
    std::vector<uint32_t> indices;
    std::vector<uint32_t> expected;
    for (uint32_t page = 0; page < 400; page += 2) {
        indices.push_back(page);
        expected.push_back(page + 1);
    }
    indices.insert(indices.end(), {999, 1000, 1001});
    expected.insert(expected.end(), {1000, 1001, 1002});
    for (uint32_t limit : {39u, 127u}) {
        const std::vector<std::string> pieces = Texts(PluginRangeTexts(indices, limit));
        ASSERT_GT(pieces.size(), 1u) << limit;
        std::vector<uint32_t> printed;
        for (const std::string& piece : pieces) {
            EXPECT_LE(piece.size(), limit) << piece;
            // Full: the next entry would not have fitted.
            if (&piece != &pieces.back()) EXPECT_GT(piece.size() + 4, limit) << piece;
            for (uint32_t page : PagesOf(piece)) printed.push_back(page);
        }
        EXPECT_EQ(printed, expected) << limit;
        EXPECT_EQ(pieces.back(), pieces.back().substr(0, pieces.back().rfind(',') + 1) + "1000-1002");
    }
}

// Names that the ANSI code page cannot spell, or that are longer than the
// field, go out as the short name when the file has one; never with '?' in
// place of a character, never cut.
TEST(PluginRecordFileName, LongOrForeignPathsUseTheShortNameOrFail) {
    const std::string dir = MakeScratchDir("plugin_record_names");
    const std::wstring base = WindowsPathOf(dir);
    AString out;
    const std::wstring plain = base + L"\\plain.tif";
    ASSERT_TRUE(WriteHostFile(dir + "/plain.tif", {1, 2, 3}));
    ASSERT_TRUE(PluginRecordFileName(WString(plain.c_str()), out));
    EXPECT_EQ(std::string(AStrCStr(out)), std::string(plain.begin(), plain.end()));

    const std::wstring foreign = base + L"\\\u6f22\u5b57 plan.tif";
    HANDLE file = CreateFileW(foreign.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    ASSERT_TRUE(PluginRecordFileName(WString(foreign.c_str()), out));
    const std::string shown = AStrCStr(out);
    EXPECT_EQ(shown.find('?'), std::string::npos) << shown;
    EXPECT_EQ(GetFileAttributesA(shown.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u) << shown;

    std::wstring deep = base;
    for (int i = 0; i < 6; ++i) {
        deep += L"\\folder_with_a_rather_long_name_" + std::to_wstring(i);
        ASSERT_TRUE(CreateDirectoryW(deep.c_str(), nullptr));
    }
    deep += L"\\drawing.tif";
    ASSERT_GT(deep.size(), 255u);
    file = CreateFileW(deep.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    CloseHandle(file);
    ASSERT_TRUE(PluginRecordFileName(WString(deep.c_str()), out));
    EXPECT_LT(AStrLength(out), kPluginFileNameBytes);
    EXPECT_NE(GetFileAttributesA(AStrCStr(out)), INVALID_FILE_ATTRIBUTES) << AStrCStr(out);

    // No file, so no short name: the job cannot go out.
    EXPECT_FALSE(PluginRecordFileName(WString((base + L"\\\u6f22\u5b57 missing.tif").c_str()), out));
    EXPECT_EQ(AStrLength(out), 0u);
    EXPECT_FALSE(PluginRecordFileName(WString(), out));
}
