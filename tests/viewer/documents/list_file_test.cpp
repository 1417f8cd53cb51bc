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
    const wchar_t* title;  // null: none
    uint32_t rotation;
    bool allow_print;
};

struct ParseCase {
    const char* what;
    std::string text;
    const wchar_t* base;
    std::vector<ExpectedEntry> entries;
    const wchar_t* title;
    bool no_save;
};

std::string Lines(const std::vector<std::string>& lines, const std::string& end) {
    std::string text;
    for (const std::string& line : lines) text += line + end;
    return text;
}

const std::vector<std::string> kExampleLines = {"; $PLOVEX-LST", ";$TITLE=Drawings", "a.tif",
                                                "sub\\b.tif\tPlan B\t-r:90"};
const std::vector<ExpectedEntry> kExampleEntries = {{L"C:\\lists\\a.tif", nullptr, 0, true},
                                                    {L"C:\\lists\\sub\\b.tif", L"Plan B", 90, true}};

// A tree of the lists in `dir` opened from `first`: how many items of each
// type it grows once every source has reported.
struct TreeCount {
    uint32_t lists = 0;
    uint32_t images = 0;
    uint32_t loading = 0;
    uint32_t deepest_list = 0;
};

void CountTree(DocItem* item, uint32_t list_depth, TreeCount& count) {
    const uint32_t type = DocItemGetType(item);
    if (type == doc_type::kList) {
        ++count.lists;
        ++list_depth;
        if (list_depth > count.deepest_list) count.deepest_list = list_depth;
    }
    if (type == doc_type::kImage) ++count.images;
    if (type == doc_type::kLoading) ++count.loading;
    for (uint32_t i = 0; i < DocItemGetChildCount(item); ++i) {
        CountTree(DocItemGetChild(item, i).get(), list_depth, count);
    }
}

Ref<DocumentItem> OpenIntoTree(RunningViewer& viewer, const std::wstring& path) {
    ViewerContext* context = viewer.context.get();
    Ref<OpenParams> params = OpenParamsCreate();
    Ref<DocumentSource> source = SourceCreate(context, path.c_str(), params.get());
    Ref<DocumentItem> item = DocumentItemCreate(context, ViewerGetRootItem(context).get(), source.get(),
                                                params.get(), ViewerNextOpenNumber(context));
    SourceStartLoad(source.get(), context);
    viewer.Track(source.get());
    return item;
}

// Pumps until no item of the tree is still loading.
TreeCount SettleTree(RunningViewer& viewer) {
    TreeCount count;
    PumpUntil(
        [&] {
            count = TreeCount();
            CountTree(ViewerGetRootItem(viewer.context.get()).get(), 0, count);
            return count.loading == 0;
        },
        15000);
    PumpPending();
    count = TreeCount();
    CountTree(ViewerGetRootItem(viewer.context.get()).get(), 0, count);
    return count;
}

}  // namespace

TEST(ListFile, ParsesLinesFieldsAndComments) {
    const std::string ansi_name = "\xe4nderung.tif";  // a-umlaut in code page 1252
    // clang-format off
    const ParseCase cases[] = {
        {"CR LF", Lines(kExampleLines, "\r\n"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings", false},
        {"LF", Lines(kExampleLines, "\n"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings", false},
        {"CR", Lines(kExampleLines, "\r"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings", false},
        {"LF CR", Lines(kExampleLines, "\n\r"), L"C:\\lists\\x.lst", kExampleEntries, L"Drawings", false},
        {"later title wins, nosave in any case", "; $title=First\n;$TITLE=  Second\n; x $nosave\nb.tif",
         L"C:\\x.lst", {{L"C:\\b.tif", nullptr, 0, true}}, L"  Second", true},
        {"blank, space-only, TAB-only and path-less lines", "\n   \n\t\n\t\t\n\tOnly a title\n  a.tif  \n",
         L"C:\\x.lst", {{L"C:\\a.tif", nullptr, 0, true}}, L"", false},
        {"empty middle field", "a.tif\t\t-noprint\n", L"C:\\x.lst", {{L"C:\\a.tif", nullptr, 0, false}}, L"", false},
        {"absolute paths stay", "D:\\x.tif\n\\\\srv\\s\\y.tif\nhttp://h/z.tif\n", L"C:\\l\\x.lst",
         {{L"D:\\x.tif", nullptr, 0, true}, {L"\\\\srv\\s\\y.tif", nullptr, 0, true},
          {L"http://h/z.tif", nullptr, 0, true}}, L"", false},
        {"the text ends at a NUL", std::string("a.tif\r\n\0b.tif\r\n", 14), L"C:\\x.lst",
         {{L"C:\\a.tif", nullptr, 0, true}}, L"", false},
        {"ANSI text", ansi_name + "\n", L"C:\\x.lst", {{L"C:\\\u00e4nderung.tif", nullptr, 0, true}}, L"", false},
        {"URL base", "; $PLOVEX-LST\n/c.tif\nc.tif\n", L"http://h/dir/x.lst?q=1",
         {{L"http://h/c.tif", nullptr, 0, true}, {L"http://h/dir/c.tif", nullptr, 0, true}}, L"", false},
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
            EXPECT_STREQ(WStrCStr(OpenParamsGetTitle(entry->params.get())),
                         expected.title ? expected.title : L"")
                << c.what;
            EXPECT_EQ(OpenParamsGetRotation(entry->params.get()), expected.rotation) << c.what;
            EXPECT_EQ(OpenParamsGetAllowPrint(entry->params.get()), expected.allow_print) << c.what;
        }
    }
}

TEST(ListFile, OneSizeBoundForSnifferAndParser) {
    std::string text = "; $PLOVEX-LST\na.tif\n";
    text.resize(kListFileMaxBytes - 1, ' ');
    PtrArray entries(4, true);
    ListFileInfo info;
    EXPECT_TRUE(ListFileParseText(nullptr, reinterpret_cast<const uint8_t*>(text.data()),
                                  uint32_t(text.size()), L"C:\\x.lst", entries, info));
    EXPECT_EQ(entries.count, 1u);
    text += ' ';
    EXPECT_FALSE(ListFileParseText(nullptr, reinterpret_cast<const uint8_t*>(text.data()),
                                   uint32_t(text.size()), L"C:\\x.lst", entries, info));
}

TEST(ListFile, ResolvesRelativePaths) {
    struct Case {
        const wchar_t* base;
        const wchar_t* relative;
        const wchar_t* expected;
    };
    const Case cases[] = {
        {L"\\\\srv\\share\\lists\\x.lst", L"\\c.tif", L"\\\\srv\\share\\c.tif"},
        {L"\\\\srv\\share\\lists\\x.lst", L"d\\c.tif", L"\\\\srv\\share\\lists\\d\\c.tif"},
        {L"C:\\lists\\x.lst", L"\\c.tif", L"C:\\c.tif"},
        {L"C:/lists/x.lst", L"sub/c.tif", L"C:\\lists\\sub\\c.tif"},
        {L"x.lst", L"c.tif", L"c.tif"},
        {L"http://h:81/dir/x.lst?a=1/2", L"/c.tif", L"http://h:81/c.tif"},
        {L"http://h/dir/x.lst?q=a/b", L"c.tif", L"http://h/dir/c.tif"},
        {L"HTTP://h/dir/x.lst", L"sub\\c.tif", L"HTTP://h/dir/sub/c.tif"},
        {L"Https://h/x.lst", L"\\c.tif", L"Https://h/c.tif"},
        {L"https://h", L"c.tif", L"https://h/c.tif"},
        {L"ftp://h/a/x.lst", L"/c.tif", L"ftp://h/c.tif"},
    };
    for (const Case& c : cases) {
        WString out;
        EXPECT_STREQ(WStrCStr(ResolveRelativePath(c.base, c.relative, out)), c.expected)
            << Narrow(c.base) << " + " << Narrow(c.relative);
    }
}

TEST(ListFileTree, ListsNamingThemselvesOrEachOtherStayFinite) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("list_cycle");
    MakeTiff(dir + "/a.tif", 1);
    WriteText(dir + "/x.lst", "; $PLOVEX-LST\r\n;$TITLE=Drawings\r\nx.lst\r\ny.lst\r\na.tif\r\n");
    // y names x by a file URL, which its source turns into x's path.
    WriteText(dir + "/y.lst", "; $PLOVEX-LST\r\nfile:///Z:" + dir + "/x.lst\r\na.tif\r\n");
    Ref<DocumentItem> list = OpenIntoTree(viewer, WindowsPathOf(dir + "/x.lst"));
    const TreeCount count = SettleTree(viewer);
    EXPECT_EQ(count.lists, 2u);   // x and y below it; neither names x again
    EXPECT_EQ(count.images, 2u);  // a.tif under x and under y
    EXPECT_EQ(count.loading, 0u);
    WString name;
    EXPECT_STREQ(WStrCStr(DocItemGetName(list.get(), name)), L"Drawings");
    EXPECT_EQ(DocItemGetChildCount(list.get()), 2u);
}

TEST(ListFileTree, ChainsOfListsEndAtTheNestingCap) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("list_chain");
    const uint32_t length = kMaxListNesting + 4;
    for (uint32_t i = 0; i < length; ++i) {
        WriteText(dir + "/l" + std::to_string(i) + ".lst",
                  "; $PLOVEX-LST\nl" + std::to_string(i + 1) + ".lst\n");
    }
    OpenIntoTree(viewer, WindowsPathOf(dir + "/l0.lst"));
    const TreeCount count = SettleTree(viewer);
    EXPECT_EQ(count.deepest_list, kMaxListNesting + 1);
    EXPECT_EQ(count.loading, 0u);
}

TEST(ListFileTree, NoSaveReachesTheListItemOfAWebList) {
    DownloadServer server;
    if (!server.Start("list_nosave")) GTEST_SKIP() << "the test server did not start";
    MakeTiff(server.Document("a.tif"), 1);
    WriteText(server.Document("x.txt"), "; $PLOVEX-LST\r\n; $NoSave\r\n;$TITLE=Web\r\n/file/a.tif\r\n");
    {
        RunningViewer viewer;
        Ref<DocumentItem> list = OpenIntoTree(viewer, server.Url("/file/x.txt"));
        const TreeCount count = SettleTree(viewer);
        EXPECT_EQ(DocItemGetType(list.get()), doc_type::kList);
        EXPECT_EQ(count.images, 1u);
        EXPECT_FALSE(OpenParamsGetAllowSave(list->GetOpenParams().get()));
        EXPECT_FALSE(list->CanSave(viewer.context.get()));
        Ref<DocItem> entry = DocItemGetChild(list.get(), 0);
        ASSERT_TRUE(entry);
        WString path;
        EXPECT_EQ(std::wstring(WStrCStr(SourceGetPath(entry->GetSource().get(), path))),
                  server.Url("/file/a.tif"));
    }
    server.Stop();
}
