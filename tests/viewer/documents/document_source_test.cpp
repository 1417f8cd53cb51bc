#include "viewer/documents/document_source.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "imaging/formats/image_format.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/documents/download_server.h"
#include "viewer/core/open_params.h"

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
        WriteText(server_.Document("list.txt"), "; $PLOVEX-LST\r\n; $NOSAVE\r\ntwo.tif\r\n/file/paper.bin\r\n");
        // Random bytes that take seconds to trickle in; a download holds
        // 100 KB in memory before it moves to a file.
        RunHostCommand("head -c 1500000 /dev/urandom > '" + server_.Document("slow.bin") + "'");
    }
    static void TearDownTestSuite() { server_.Stop(); }
    void SetUp() override {
        if (!started_) GTEST_SKIP() << "the test server did not start";
    }
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

// Documents closed while they download: every close returns at once, every
// worker ends soon after and no temporary file stays.
TEST_F(DocumentSourceDownload, ManyClosesWhileDownloading) {
    RunningViewer viewer;
    // A temporary directory of its own, so that what stays there is ours.
    const std::string temp = MakeScratchDir("source_soak_temp");
    viewer.root->temp_directory = (WindowsPathOf(temp) + L"\\").c_str();
    auto temp_empty = [&] { return RunHostCommand("test -z \"$(ls -A '" + temp + "')\"") == 0; };
    DWORD longest_close = 0;
    auto close = [&](Ref<DocumentSource>& source) {
        const DWORD before = GetTickCount();
        source.Reset();
        longest_close = std::max<DWORD>(longest_close, GetTickCount() - before);
    };

    // One closed after its body moved from memory to a temporary file
    // (tested every 20 ms: PumpUntil tests only when a message arrives).
    Ref<DocumentSource> spilled = viewer.Start(Url("/trickle/slow.bin"));
    for (DWORD start = GetTickCount(); temp_empty() && GetTickCount() - start < 6000;) {
        PumpUntil([] { return false; }, 20);
    }
    EXPECT_FALSE(temp_empty());
    close(spilled);

    // Then as many as fit in two seconds, closed after 0 to 240 ms.
    uint32_t rounds = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 2000) {
        Ref<DocumentSource> source = viewer.Start(Url("/trickle/slow.bin"));
        PumpUntil([] { return false; }, (rounds % 5) * 60);
        close(source);
        ++rounds;
    }
    EXPECT_GT(rounds, 10u);
    EXPECT_LT(longest_close, 200u);
    for (HANDLE worker : viewer.workers) EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kSourceLoaded), 0u);
    EXPECT_TRUE(temp_empty());
}
