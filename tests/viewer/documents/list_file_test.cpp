#include "viewer/documents/list_file.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/open_params.h"
#include "viewer/documents/doc_item.h"

namespace {

struct ExpectedEntry {
    const wchar_t* path;
    const wchar_t* title = L"";
    uint32_t rotation = 0;
    bool allow_print = true;
};

struct ParseCase {
    const char* what;
    std::string text;
    const wchar_t* base;
    std::vector<ExpectedEntry> entries;
    const wchar_t* title = L"";
    bool no_save = false;
};

std::string Lines(const std::string& end) {
    return "; $PLOVEX-LST" + end + ";$TITLE=Drawings" + end + "a.tif" + end + "sub\\b.tif\tPlan B\t-r:90" +
           end;
}
const std::vector<ExpectedEntry> kExampleEntries = {{L"C:\\lists\\a.tif"},
                                                    {L"C:\\lists\\sub\\b.tif", L"Plan B", 90}};

// Whether an item below `item` (or itself) still loads.
bool Loading(DocItem* item) {
    bool loading = DocItemGetType(item) == doc_type::kLoading;
    for (uint32_t i = 0; i < DocItemGetChildCount(item); ++i) loading |= Loading(ChildAt(item, i).get());
    return loading;
}

}  // namespace

TEST(ListFile, ParsesLinesFieldsCommentsAndRelativePaths) {
    // clang-format off
    const ParseCase cases[] = {
        {"CR LF", Lines("\r\n"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings"},
        {"LF", Lines("\n"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings"},
        {"CR", Lines("\r"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings"},
        {"LF CR", Lines("\n\r"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings"},
        {"later title wins, nosave in any case", "; $title=First\n;$TITLE=  Second\n; x $nosave\nb.tif",
         L"C:\\x.lst", {{L"C:\\b.tif"}}, L"  Second", true},
        {"blank, space-only, TAB-only and path-less lines", "\n   \n\t\n\t\t\n\tOnly a title\n  a.tif  \n",
         L"C:\\x.lst", {{L"C:\\a.tif"}}},
        {"empty middle field", "a.tif\t\t-noprint\n", L"C:\\x.lst", {{L"C:\\a.tif", L"", 0, false}}},
        {"absolute paths stay", "D:\\x.tif\n\\\\srv\\s\\y.tif\nhttp://h/z.tif\n", L"C:\\l\\x.lst",
         {{L"D:\\x.tif"}, {L"\\\\srv\\s\\y.tif"}, {L"http://h/z.tif"}}},
        {"the text ends at a NUL", std::string("a.tif\r\n\0b.tif\r\n", 14), L"C:\\x.lst", {{L"C:\\a.tif"}}},
        {"ANSI text (code page 1252)", "\xe4nderung.tif\n", L"C:\\x.lst", {{L"C:\\\u00e4nderung.tif"}}},
        {"UNC base", "\\c.tif\nd\\c.tif\n", L"\\\\srv\\share\\lists\\x.lst",
         {{L"\\\\srv\\share\\c.tif"}, {L"\\\\srv\\share\\lists\\d\\c.tif"}}},
        {"drive base with slashes", "\\c.tif\nsub/c.tif\n", L"C:/lists/x.lst",
         {{L"C:\\c.tif"}, {L"C:\\lists\\sub\\c.tif"}}},
        {"bare base", "c.tif\n", L"x.lst", {{L"c.tif"}}},
        {"URL base with port and a query", "/c.tif\nc.tif\n", L"http://h:81/dir/x.lst?a=1/2",
         {{L"http://h:81/c.tif"}, {L"http://h:81/dir/c.tif"}}},
        {"URL base in capitals", "sub\\c.tif\n", L"HTTP://h/dir/x.lst", {{L"HTTP://h/dir/sub/c.tif"}}},
        {"rooted against a mixed-case URL", "\\c.tif\n", L"Https://h/x.lst", {{L"Https://h/c.tif"}}},
        {"URL base without a path", "c.tif\n", L"https://h", {{L"https://h/c.tif"}}},
        {"FTP base", "/c.tif\n", L"ftp://h/a/x.lst", {{L"ftp://h/c.tif"}}},
    };
    // clang-format on
    for (const ParseCase& c : cases) {
        PtrArray entries(4, true);
        ListFileInfo info;
        ASSERT_TRUE(ListFileParseText(nullptr, reinterpret_cast<const uint8_t*>(c.text.data()),
                                      uint32_t(c.text.size()), c.base, entries, info))
            << c.what;
        EXPECT_STREQ(WStrCStr(info.title), c.title) << c.what;
        EXPECT_EQ(info.no_save, c.no_save) << c.what;
        ASSERT_EQ(entries.count, c.entries.size()) << c.what;
        for (uint32_t i = 0; i < entries.count; ++i) {
            auto* entry = static_cast<ListEntry*>(entries.items[i]);
            const ExpectedEntry& expected = c.entries[i];
            EXPECT_STREQ(WStrCStr(entry->path), expected.path) << c.what;
            ASSERT_TRUE(entry->params) << c.what;
            EXPECT_STREQ(WStrCStr(OpenParamsGetTitle(entry->params.get())), expected.title) << c.what;
            EXPECT_EQ(OpenParamsGetRotation(entry->params.get()), expected.rotation) << c.what;
            EXPECT_EQ(OpenParamsGetAllowPrint(entry->params.get()), expected.allow_print) << c.what;
        }
    }
}

// The sniffer and the parser share one bound: a list just below it is
// recognised and parsed, one at it neither.
TEST(ListFile, OneSizeBoundForSnifferAndParser) {
    for (const uint64_t size : {kListFileMaxBytes - 1, kListFileMaxBytes}) {
        std::string text = "; $PLOVEX-LST\na.tif\n";
        text.resize(size, ' ');
        const auto* bytes = reinterpret_cast<const uint8_t*>(text.data());
        const bool below = size < kListFileMaxBytes;
        EXPECT_EQ(SniffContentKind(bytes, 128, size, L"", L"x.txt"),
                  below ? kContentList : kContentNotShowable);
        PtrArray entries(4, true);
        ListFileInfo info;
        EXPECT_EQ(ListFileParseText(nullptr, bytes, uint32_t(size), L"C:\\x.lst", entries, info), below);
        EXPECT_EQ(entries.count, below ? 1u : 0u);
    }
}

// Lists that name themselves or each other skip the entry; a chain of ever
// new lists ends at the nesting cap.
TEST(ListFileTree, SelfReferencesAreSkippedAndChainsEndAtTheCap) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("list_cycle");
    MakeTiff(dir + "/a.tif", 1);
    WriteText(dir + "/x.lst", "; $PLOVEX-LST\r\n;$TITLE=Drawings\r\nx.lst\r\ny.lst\r\na.tif\r\n");
    // y names x by a file URL, which its source turns into x's path.
    WriteText(dir + "/y.lst", "; $PLOVEX-LST\r\nfile:///Z:" + dir + "/x.lst\r\na.tif\r\n");
    const uint32_t length = kMaxListNesting + 4;
    for (uint32_t i = 0; i < length; ++i) {
        WriteText(dir + "/l" + std::to_string(i) + ".lst",
                  "; $PLOVEX-LST\nl" + std::to_string(i + 1) + ".lst\n");
    }
    Ref<DocumentItem> cycle = viewer.Open(dir + "/x.lst");
    Ref<DocumentItem> chain = viewer.Open(dir + "/l0.lst");
    ASSERT_TRUE(cycle && chain);
    EXPECT_TRUE(PumpUntil([&] { return !Loading(viewer.RootItem().get()); }, 15000));
    PumpPending();

    // x holds y and a.tif; y holds only a.tif.
    WString name;
    EXPECT_STREQ(WStrCStr(DocItemGetName(cycle.get(), name)), L"Drawings");
    ASSERT_EQ(DocItemGetChildCount(cycle.get()), 2u);
    Ref<DocItem> y = ChildAt(cycle.get(), 0);
    EXPECT_EQ(DocItemGetType(y.get()), doc_type::kList);
    EXPECT_EQ(DocItemGetType(ChildAt(cycle.get(), 1).get()), doc_type::kImage);
    ASSERT_EQ(DocItemGetChildCount(y.get()), 1u);
    EXPECT_EQ(DocItemGetType(ChildAt(y.get(), 0).get()), doc_type::kImage);
    uint32_t depth = 0;
    for (Ref<DocItem> item = chain; item && DocItemGetType(item.get()) == doc_type::kList;
         item = ChildAt(item.get(), 0)) {
        ++depth;
    }
    EXPECT_EQ(depth, kMaxListNesting + 1);
}
