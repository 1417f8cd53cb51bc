// Document sources from files (in place, or copied while held) and from the
// download server (what arrives is recognised), and list files: lines,
// fields, comments, relative paths, the size bound, self references and
// chains.
#include "viewer/documents/document_source.h"

#include "imaging/formats/image_format.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/documents/download_server.h"
#include "viewer/documents/list_file.h"

namespace {

Ref<OpenParams> ParamsWithLimit(uint32_t milliseconds) {
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetMaxLoadingTime(params.get(), milliseconds);
    return params;
}

}  // namespace

// A local file opens in place at once unless it is held open without
// sharing: then it is copied, retried within the loading limit, and given up
// when the limit is up or the document is closed.
TEST(DocumentSourceFile, InPlaceOrCopiedWhenHeld) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("source_file");
    MakeTiff(dir + "/two.tif", 2);
    const std::wstring path = WindowsPathOf(dir + "/two.tif"), none = WindowsPathOf(dir + "/none.tif");

    Ref<DocumentSource> source = viewer.Start(path);
    EXPECT_EQ(SourceGetState(source.get()), uint32_t(kSourceLoaded));  // at once, on this thread
    ASSERT_TRUE(viewer.WaitForAnnouncement(source.get()));
    EXPECT_EQ(SourceGetContentKind(source.get()), uint32_t(kContentImage));
    ASSERT_TRUE(SourceGetFormat(source.get()));
    EXPECT_EQ(SourceGetFormat(source.get())->PageCount(), 2u);
    WString local;
    EXPECT_EQ(std::wstring(WStrCStr(SourceGetLocalFileName(source.get(), local))), path);
    EXPECT_EQ(SourceGetSize(source.get()), ReadHostFile(dir + "/two.tif").size());
    // A TIFF signature whose file the reader refuses is still an image,
    // one without a format.
    WriteText(dir + "/broken.tif", std::string("II*\0", 4) + std::string(600, 'x'));
    Ref<DocumentSource> broken = viewer.Start(WindowsPathOf(dir + "/broken.tif"));
    ASSERT_TRUE(viewer.WaitForAnnouncement(broken.get()));
    EXPECT_EQ(SourceGetContentKind(broken.get()), uint32_t(kContentImage));
    EXPECT_FALSE(SourceGetFormat(broken.get()));

    // Held without a limit: fails at once.
    FileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    EXPECT_EQ(SourceGetState(viewer.Start(path).get()), uint32_t(kSourceFailed));

    // With 10 seconds it loads as soon as the hold goes.
    Ref<DocumentSource> patient = viewer.Start(path, ParamsWithLimit(10000).get());
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoading));
    PumpUntil([] { return false; }, 1200);
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoading));
    const DWORD unlocked = GetTickCount();
    lock.Close();
    ASSERT_TRUE(viewer.WaitForAnnouncement(patient.get(), 1, 5000));
    EXPECT_LT(GetTickCount() - unlocked, 2000u);
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoaded));
    EXPECT_EQ(SourceGetContentKind(patient.get()), uint32_t(kContentImage));
    const std::wstring temp = WStrCStr(viewer.root->temp_directory);
    EXPECT_EQ(std::wstring(WStrCStr(SourceGetLocalFileName(patient.get(), local))).substr(0, temp.size() + 2),
              temp + L"PX")
        << "a temporary copy";
    EXPECT_FALSE(SourceGetParams(patient.get()));  // dropped by the worker

    // A hold that outlasts the limit fails when the limit is up.
    lock = FileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD start = GetTickCount();
    Ref<DocumentSource> late = viewer.Start(path, ParamsWithLimit(1500).get());
    ASSERT_TRUE(viewer.WaitForAnnouncement(late.get(), 1, 6000));
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_EQ(SourceGetState(late.get()), uint32_t(kSourceFailed));

    // A file that is not there is no reason to wait.
    const DWORD missing_start = GetTickCount();
    Ref<DocumentSource> absent = viewer.Start(none, ParamsWithLimit(10000).get());
    ASSERT_TRUE(viewer.WaitForAnnouncement(absent.get(), 1, 5000));
    EXPECT_LT(GetTickCount() - missing_start, 1500u);
    EXPECT_EQ(SourceGetState(absent.get()), uint32_t(kSourceFailed));

    // Another name's extension asks for a copy, which retries the hold with
    // no limit: closing returns at once and the worker ends unannounced.
    Ref<OpenParams> renamed = OpenParamsCreate();
    OpenParamsSetName(renamed.get(), L"held.lst");
    Ref<DocumentSource> abandoned = viewer.Start(path, renamed.get());
    PumpUntil([] { return false; }, 700);
    EXPECT_EQ(SourceGetState(abandoned.get()), uint32_t(kSourceLoading));
    UniqueHandle worker(DuplicateWorker(abandoned.get()));
    ASSERT_TRUE(worker);
    const size_t announced = viewer.Count(event::kSourceLoaded);
    const DWORD closed = GetTickCount();
    abandoned.Reset();
    EXPECT_LT(GetTickCount() - closed, 100u);
    EXPECT_EQ(WaitForSingleObject(worker.get(), 2000), WAIT_OBJECT_0);
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kSourceLoaded), announced);

    // A document still open when the application stops lets its worker go
    // too: the worker holds the context, which holds the tree.
    Ref<DocumentSource> kept = viewer.Start(path, renamed.get());
    worker = UniqueHandle(DuplicateWorker(kept.get()));
    ASSERT_TRUE(worker);
    AppStop(viewer.root.get());
    EXPECT_EQ(WaitForSingleObject(worker.get(), 2000), WAIT_OBJECT_0);
    EXPECT_EQ(SourceGetState(kept.get()), uint32_t(kSourceFailed));
}

// The download test server on 127.0.0.1, started for the suite and stopped
// after it.
class DocumentSourceDownload : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        started_ = server_.Start("source");
        if (!started_) return;
        MakeTiff(server_.Document("two.tif"), 2);
        WriteText(server_.Document("paper.bin"), "%PDF-1.2\n1 0 obj\n<<>>\nendobj\n");
        WriteText(server_.Document("page.html"), "<html><body>$PLOVEX-LST</body></html>\n");
        WriteText(server_.Document("list.txt"),
                  "; $PLOVEX-LST\r\n; $NOSAVE\r\ntwo.tif\r\n/file/paper.bin\r\n");
    }
    static void TearDownTestSuite() { server_.Stop(); }
    void SetUp() override { ASSERT_TRUE(started_) << "the download test server did not start"; }
    static std::wstring Url(const std::string& path) { return server_.Url(path); }

    static inline DownloadServer server_;
    static inline bool started_ = false;
};

TEST_F(DocumentSourceDownload, RecognisesWhatArrives) {
    RunningViewer viewer;
    struct Case {
        const char* path;
        uint32_t state, kind;
        const wchar_t* file_name;
    };
    const Case cases[] = {
        {"/file/two.tif", kSourceLoaded, kContentImage, L"two.tif"},
        {"/file/list.txt", kSourceLoaded, kContentList, L"list.txt"},
        {"/file/paper.bin", kSourceLoaded, kContentNotShowable, L"paper.pdf"},
        {"/file/page.html", kSourceLoaded, kContentNotShowable, L"page.html"},
        {"/file/none.tif", kSourceFailed, kContentNotShowable, L"none.tif"},
        {"/tricklecut/two.tif", kSourceFailed, kContentNotShowable, L"two.tif"},
        {"/chunked/two.tif", kSourceLoaded, kContentImage, L"two.tif"},
    };
    std::vector<Ref<DocumentItem>> items;
    for (const Case& c : cases) {
        items.push_back(viewer.Open(Url(c.path), OpenParamsCreate().get()));
        ASSERT_TRUE(items.back()) << c.path;
        DocumentSource* source = items.back()->source.get();
        EXPECT_EQ(SourceGetState(source), c.state) << c.path;
        EXPECT_EQ(SourceGetContentKind(source), c.kind) << c.path;
        WString name;
        EXPECT_STREQ(WStrCStr(SourceGetFileName(source, name)), c.file_name) << c.path;
        EXPECT_FALSE(SourceGetParams(source)) << c.path;
    }
    Ref<DocumentItem> upper = viewer.Open(L"HTTP" + Url("/file/two.tif").substr(4));
    EXPECT_EQ(DocItemGetChildCount(upper.get()), 2u) << "a scheme in capitals";

    // The list's entries resolve against its URL, and its $NOSAVE reaches
    // the list item although the worker dropped the source's parameters.
    DocItem* list = items[1].get();
    EXPECT_EQ(DocItemGetType(list), doc_type::kList);
    EXPECT_FALSE(list->CanSave(viewer.context.get()));
    ASSERT_EQ(DocItemGetChildCount(list), 2u);
    for (uint32_t i = 0; i < 2; ++i) {
        Ref<DocumentSource> source = ChildAt(list, i)->GetSource();
        viewer.Track(source.get());
        WString path;
        EXPECT_EQ(std::wstring(WStrCStr(SourceGetPath(source.get(), path))),
                  Url(i == 0 ? "/file/two.tif" : "/file/paper.bin"));
    }
}

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
