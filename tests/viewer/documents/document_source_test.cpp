#include "viewer/documents/document_source.h"

#include <gtest/gtest.h>
#include <winioctl.h>

#include <cstring>
#include <string>
#include <vector>

#include "foundation/data_source.h"
#include "imaging/formats/image_format.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/open_params.h"
#include "viewer/core/settings.h"
#include "viewer/documents/document_handler.h"

namespace {

struct NameCase {
    const wchar_t* given;
    const wchar_t* expected;
};

Ref<OpenParams> ParamsWithLimit(uint32_t milliseconds) {
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetMaxLoadingTime(params.get(), milliseconds);
    return params;
}

std::vector<uint8_t> Bytes(const std::string& text, size_t size = 0) {
    std::vector<uint8_t> bytes(text.begin(), text.end());
    if (size > bytes.size()) bytes.resize(size, ' ');
    return bytes;
}

bool IsTempCopy(DocumentSource* source, AppRoot* root) {
    WString name;
    SourceGetLocalFileName(source, name);
    const std::wstring path = WStrCStr(name);
    const std::wstring directory = WStrCStr(root->temp_directory);
    return path.size() > directory.size() + 2 && path.compare(0, directory.size(), directory) == 0 &&
           path.compare(directory.size(), 2, L"PX") == 0;
}

bool FileIsThere(const WString& path) {
    return GetFileAttributesW(WStrCStr(path)) != INVALID_FILE_ATTRIBUTES;
}

// Wine's mount manager defines drives of any type at run time, as its
// configuration tool does: here a CD-ROM drive over a scratch directory.
constexpr ULONG kMountManagerType = 'm';
constexpr DWORD kDefineUnixDrive =
    CTL_CODE(kMountManagerType, 32, METHOD_BUFFERED, FILE_READ_ACCESS | FILE_WRITE_ACCESS);
struct UnixDriveRequest {
    ULONG size;
    ULONG type;
    ULONG fs_type;
    DWORD serial;
    ULONGLONG unix_dev;
    WCHAR letter;
    USHORT mount_point;
    USHORT device;
    USHORT label;
};

bool DefineWineDrive(wchar_t letter, UINT type, const std::string& unix_directory) {
    std::vector<char> request(sizeof(UnixDriveRequest) + unix_directory.size() + 1, 0);
    auto* drive = reinterpret_cast<UnixDriveRequest*>(request.data());
    drive->size = ULONG(type == DRIVE_NO_ROOT_DIR ? sizeof(UnixDriveRequest) : request.size());
    drive->type = type;
    drive->letter = letter;
    if (type != DRIVE_NO_ROOT_DIR) {
        drive->mount_point = sizeof(UnixDriveRequest);
        memcpy(request.data() + sizeof(UnixDriveRequest), unix_directory.c_str(), unix_directory.size());
    }
    FileHandle manager(CreateFileW(L"\\\\.\\MountPointManager", GENERIC_READ | GENERIC_WRITE,
                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr));
    DWORD returned = 0;
    return manager.valid() && DeviceIoControl(manager.get(), kDefineUnixDrive, request.data(), drive->size,
                                              nullptr, 0, &returned, nullptr);
}

wchar_t FreeDriveLetter() {
    for (wchar_t letter = L'm'; letter <= L'y'; ++letter) {
        const wchar_t root[] = {letter, L':', L'\\', 0};
        if (GetDriveTypeW(root) == DRIVE_NO_ROOT_DIR) return letter;
    }
    return 0;
}

}  // namespace

TEST(DocumentSourceName, FileUrlsBecomePaths) {
    const NameCase cases[] = {
        {L"file:///c:/dir/a.tif", L"c:\\dir\\a.tif"},
        {L"FILE:///C:/x.tif", L"C:\\x.tif"},
        {L"file://server/share/a.tif", L"\\\\server\\share\\a.tif"},
        {L"file:////server/share/a.tif", L"\\\\server\\share\\a.tif"},
        {L"file://c:/a.tif", L"c:\\a.tif"},
        {L"C:\\plain.tif", L"C:\\plain.tif"},
        {L"http://host/a.tif", L"http://host/a.tif"},
    };
    for (const NameCase& c : cases) {
        WString out;
        EXPECT_STREQ(WStrCStr(SourceNormalizeName(c.given, out)), c.expected) << c.given;
    }
}

TEST(DocumentSourceName, CreationNamesTheSource) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    EXPECT_FALSE(SourceCreate(nullptr, L"C:\\a.tif", nullptr));
    EXPECT_FALSE(SourceCreate(context, L"", nullptr));

    // A bare name is the full path in the current directory.
    wchar_t directory[MAX_PATH];
    GetCurrentDirectoryW(MAX_PATH, directory);
    std::wstring expected = directory;
    if (expected.back() != L'\\') expected += L'\\';
    Ref<DocumentSource> bare = SourceCreate(context, L"plan.tif", nullptr);
    WString text;
    EXPECT_EQ(std::wstring(WStrCStr(SourceGetPath(bare.get(), text))), expected + L"plan.tif");
    EXPECT_STREQ(WStrCStr(SourceGetFileName(bare.get(), text)), L"plan.tif");
    EXPECT_TRUE(bare->local);
    EXPECT_EQ(SourceGetState(bare.get()), uint32_t(kSourceNew));

    // A URL names the document by "plxfn" or by its decoded last part; any
    // case of the scheme is a URL, and "plxdn" titles parameters without one.
    Ref<OpenParams> params = OpenParamsCreate();
    Ref<DocumentSource> url =
        SourceCreate(context, L"HTTP://127.0.0.1/dir/a.bin?plxfn=plan.tif&plxdn=Drawing%201", params.get());
    EXPECT_STREQ(WStrCStr(SourceGetFileName(url.get(), text)), L"plan.tif");
    EXPECT_FALSE(url->local);
    EXPECT_TRUE(url->needs_worker);
    EXPECT_STREQ(WStrCStr(OpenParamsGetTitle(params.get())), L"Drawing 1");
    OpenParamsSetTitle(params.get(), L"Given");
    Ref<DocumentSource> titled =
        SourceCreate(context, L"http://127.0.0.1/My%20Plan.tif?plxdn=Other", params.get());
    EXPECT_STREQ(WStrCStr(SourceGetFileName(titled.get(), text)), L"My Plan.tif");
    EXPECT_STREQ(WStrCStr(OpenParamsGetTitle(params.get())), L"Given");

    // "fn:" renames a local file; another extension asks for a copy.
    Ref<OpenParams> renamed = OpenParamsCreate();
    OpenParamsSetName(renamed.get(), L"b.TIF");
    Ref<DocumentSource> same = SourceCreate(context, L"c:\\data\\a.tif", renamed.get());
    EXPECT_STREQ(WStrCStr(SourceGetFileName(same.get(), text)), L"b.TIF");
    EXPECT_FALSE(same->needs_worker);
    OpenParamsSetName(renamed.get(), L"b.lst");
    Ref<DocumentSource> differs = SourceCreate(context, L"c:\\data\\a.tif", renamed.get());
    EXPECT_TRUE(differs->needs_worker);
}

TEST(DocumentSourceSniff, ContentKindOfTheFirstBytes) {
    std::vector<uint8_t> tiff = {'I', 'I', 0x2A, 0, 8, 0, 0, 0};
    std::vector<uint8_t> gif = Bytes("GIF89a");
    gif.resize(35, 0);  // a whole one-pixel GIF is about this long
    std::vector<uint8_t> bmp = Bytes("BM");
    bmp.resize(58, 0);
    std::vector<uint8_t> cals = Bytes("srcdocid: none", 128);
    const std::vector<uint8_t> cals_tail = Bytes("dstdocid: none", 128);
    cals.insert(cals.end(), cals_tail.begin(), cals_tail.end());
    const std::vector<uint8_t> list = Bytes("; $PLOVEX-LST\r\na.tif\r\n");
    const std::vector<uint8_t> late_magic = Bytes(std::string(130, ' ') + "$PLOVEX-LST");
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        uint64_t size;
        const wchar_t* content_type;
        const wchar_t* file_name;
        uint32_t kind;
    };
    const Case cases[] = {
        {"TIFF", tiff, 8, L"", L"x.bin", kContentImage},
        {"short GIF", gif, 35, L"", L"x", kContentImage},
        {"short BMP", bmp, 58, L"", L"x", kContentImage},
        {"CALS", cals, 256, L"", L"x", kContentImage},
        {"list below the bound", list, kListFileMaxBytes - 1, L"", L"x.txt", kContentList},
        {"list at the bound", list, kListFileMaxBytes, L"", L"x.txt", kContentNotShowable},
        {"list above the bound", list, kListFileMaxBytes + 1, L"", L"x.lst", kContentNotShowable},
        {"list by MIME type", Bytes("a.tif"), 5, L"Application/Plovex-List", L"x", kContentList},
        {"list by extension", Bytes("a.tif"), 5, L"", L"x.LST", kContentList},
        {"HTML with the magic", Bytes("<HTML><body>$PLOVEX-LST</body>"), 30, L"", L"x.lst",
         kContentNotShowable},
        {"magic past the first 128 bytes", late_magic, 141, L"", L"x.txt", kContentNotShowable},
        {"magic in another case", Bytes("$plovex-lst"), 11, L"", L"x.txt", kContentNotShowable},
        {"PDF", Bytes("%PDF-1.2\n"), 9, L"", L"x.pdf", kContentNotShowable},
        {"nothing", Bytes("x"), 0, L"", L"x.lst", kContentNotShowable},
    };
    for (const Case& c : cases) {
        const uint32_t n = c.size == 0 ? 0 : uint32_t(c.bytes.size());
        EXPECT_EQ(SniffContentKind(c.bytes.data(), n, c.size, c.content_type, c.file_name), c.kind) << c.what;
    }
}

TEST(DocumentSourceLocal, OpensInPlaceAndAnnouncesEachStart) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("source_local");
    MakeTiff(dir + "/two.tif", 2);
    const std::wstring path = WindowsPathOf(dir + "/two.tif");

    Ref<DocumentSource> source = SourceCreate(context, path.c_str(), nullptr);
    SourceStartLoad(source.get(), context);
    EXPECT_EQ(SourceGetState(source.get()), uint32_t(kSourceLoaded));  // at once, on this thread
    ASSERT_TRUE(viewer.WaitForAnnouncement(source.get()));
    EXPECT_EQ(SourceGetContentKind(source.get()), uint32_t(kContentImage));
    Ref<ImageFormat> format = SourceGetFormat(source.get());
    ASSERT_TRUE(format);
    EXPECT_EQ(format->PageCount(), 2u);
    WString local;
    EXPECT_EQ(std::wstring(WStrCStr(SourceGetLocalFileName(source.get(), local))), path);
    EXPECT_EQ(SourceGetSize(source.get()), ReadHostFile(dir + "/two.tif").size());
    DateTime creation, write;
    EXPECT_TRUE(SourceGetFileTimes(source.get(), creation, write));

    // A second start announces again and keeps the handler it built.
    Ref<DocumentHandler> handler = SourceGetHandler(source.get());
    SourceStartLoad(source.get(), context);
    ASSERT_TRUE(viewer.WaitForAnnouncement(source.get(), 2));
    EXPECT_EQ(SourceGetHandler(source.get()).get(), handler.get());

    // A missing file fails at once and is announced without a handler.
    Ref<DocumentSource> missing = SourceCreate(context, WindowsPathOf(dir + "/none.tif").c_str(), nullptr);
    SourceStartLoad(missing.get(), context);
    EXPECT_EQ(SourceGetState(missing.get()), uint32_t(kSourceFailed));
    ASSERT_TRUE(viewer.WaitForAnnouncement(missing.get()));
    EXPECT_FALSE(SourceGetHandler(missing.get()));
    EXPECT_EQ(SourceGetSize(missing.get()), ~uint64_t(0));
}

TEST(DocumentSourceLocal, RecognisesShortImagesAndRenamesPdf) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("source_kinds");
    ASSERT_EQ(RunHostCommand("convert -size 1x1 xc:white '" + dir +
                             "/dot.gif' && convert -size 1x1 xc:black '" + dir + "/dot.bmp'"),
              0);
    ASSERT_LT(ReadHostFile(dir + "/dot.gif").size(), 128u);
    WriteText(dir + "/paper.bin", "%PDF-1.2\n%\xe2\xe3\xcf\xd3\n1 0 obj\n<<>>\nendobj\n");

    struct Case {
        const char* name;
        uint32_t kind;
        const wchar_t* file_name;
    };
    const Case cases[] = {{"dot.gif", kContentImage, L"dot.gif"},
                          {"dot.bmp", kContentImage, L"dot.bmp"},
                          {"paper.bin", kContentNotShowable, L"paper.pdf"}};
    for (const Case& c : cases) {
        Ref<DocumentSource> source =
            SourceCreate(context, WindowsPathOf(dir + "/" + c.name).c_str(), nullptr);
        SourceStartLoad(source.get(), context);
        ASSERT_TRUE(viewer.WaitForAnnouncement(source.get())) << c.name;
        EXPECT_EQ(SourceGetContentKind(source.get()), c.kind) << c.name;
        WString name;
        EXPECT_STREQ(WStrCStr(SourceGetFileName(source.get(), name)), c.file_name) << c.name;
        if (c.kind == kContentImage) EXPECT_TRUE(SourceGetFormat(source.get())) << c.name;
    }
    Ref<DocumentSource> pdf = SourceCreate(context, WindowsPathOf(dir + "/paper.bin").c_str(), nullptr);
    SourceStartLoad(pdf.get(), context);
    ASSERT_TRUE(viewer.WaitForAnnouncement(pdf.get()));
    EXPECT_TRUE(WStrEqualsChars(SourceGetData(pdf.get())->content_type, L"application/pdf"));

    // The workaround's bit 0 keeps the name of a PDF.
    Ref<Settings> settings = ViewerGetSettings(context);
    {
        ScopedLock guard(settings->lock);
        settings->workaround = 1;
    }
    Ref<DocumentSource> kept = SourceCreate(context, WindowsPathOf(dir + "/paper.bin").c_str(), nullptr);
    SourceStartLoad(kept.get(), context);
    ASSERT_TRUE(viewer.WaitForAnnouncement(kept.get()));
    WString name;
    EXPECT_STREQ(WStrCStr(SourceGetFileName(kept.get(), name)), L"paper.bin");
    EXPECT_EQ(SourceGetContentKind(kept.get()), uint32_t(kContentNotShowable));
}

TEST(DocumentSourceCopy, DriveTypesDecideTheCopy) {
    struct Case {
        const wchar_t* path;
        uint32_t caching;
        bool copy;
    };
    const Case cases[] = {
        {L"\\\\srv\\share\\a.tif", 12, false}, {L"\\\\srv\\share\\a.tif", 1, true},
        {L"Z:\\tmp\\a.tif", 12, false},        {L"Z:\\tmp\\a.tif", 2, true},
        {L"Z:/tmp/a.tif", 2, false},           {L"relative.tif", 15, true},
        {L"Z:\\tmp\\a.tif", 0, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(SourceDriveNeedsCopy(c.path, c.caching), c.copy) << c.path << " " << c.caching;
    }
}

TEST(DocumentSourceCopy, CdRomFilesAreCopiedAndTheCopyHeld) {
    const wchar_t letter = FreeDriveLetter();
    const std::string dir = MakeScratchDir("source_cdrom");
    MakeTiff(dir + "/disc.tif", 1);
    if (!letter || !DefineWineDrive(letter, DRIVE_CDROM, dir))
        GTEST_SKIP() << "Wine defines no CD-ROM drive here";
    const wchar_t drive_root[] = {letter, L':', L'\\', 0};
    ASSERT_EQ(GetDriveTypeW(drive_root), UINT(DRIVE_CDROM));
    {
        RunningViewer viewer;
        ViewerContext* context = viewer.context.get();
        ASSERT_EQ(SettingsGetDriveTypesCaching(ViewerGetSettings(context).get()), 12u);
        const std::wstring path = std::wstring(drive_root) + L"disc.tif";
        Ref<DocumentSource> source = SourceCreate(context, path.c_str(), nullptr);
        EXPECT_TRUE(source->needs_worker);
        SourceStartLoad(source.get(), context);
        viewer.Track(source.get());
        ASSERT_TRUE(viewer.WaitForAnnouncement(source.get()));
        EXPECT_EQ(SourceGetState(source.get()), uint32_t(kSourceLoaded));
        EXPECT_EQ(SourceGetContentKind(source.get()), uint32_t(kContentImage));
        EXPECT_TRUE(IsTempCopy(source.get(), viewer.root.get()));
        WString copy;
        SourceGetLocalFileName(source.get(), copy);
        EXPECT_EQ(std::wstring(WStrCStr(copy)).substr(WStrLength(copy) - 4), L".tif");

        // The cleanup of another session cannot delete the live copy.
        EXPECT_FALSE(DeleteFileW(WStrCStr(copy)));
        EXPECT_TRUE(FileIsThere(copy));
        source.Reset();
        viewer.Forget();  // the notification held the last reference
        EXPECT_FALSE(FileIsThere(copy));

        // The same drive with its bit clear opens in place.
        SettingsSetDriveTypesCaching(ViewerGetSettings(context).get(), nullptr, kCallerInternal, 4);
        Ref<DocumentSource> in_place = SourceCreate(context, path.c_str(), nullptr);
        SourceStartLoad(in_place.get(), context);
        EXPECT_EQ(SourceGetState(in_place.get()), uint32_t(kSourceLoaded));
        EXPECT_FALSE(IsTempCopy(in_place.get(), viewer.root.get()));
    }
    EXPECT_TRUE(DefineWineDrive(letter, DRIVE_NO_ROOT_DIR, ""));
}

TEST(DocumentSourceCopy, LockedFileIsRetriedWithinTheLoadingLimit) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("source_locked");
    MakeTiff(dir + "/locked.tif", 1);
    const std::wstring path = WindowsPathOf(dir + "/locked.tif");
    FileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());

    // Without a limit a locked file fails at once.
    Ref<DocumentSource> plain = SourceCreate(context, path.c_str(), nullptr);
    SourceStartLoad(plain.get(), context);
    EXPECT_EQ(SourceGetState(plain.get()), uint32_t(kSourceFailed));

    // With 10 seconds it loads as soon as the lock goes.
    Ref<DocumentSource> patient = SourceCreate(context, path.c_str(), ParamsWithLimit(10000).get());
    SourceStartLoad(patient.get(), context);
    viewer.Track(patient.get());
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoading));
    PumpUntil([] { return false; }, 1200);
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoading));
    const DWORD unlocked = GetTickCount();
    lock.Close();
    ASSERT_TRUE(viewer.WaitForAnnouncement(patient.get(), 1, 5000));
    EXPECT_LT(GetTickCount() - unlocked, 2000u);
    EXPECT_EQ(SourceGetState(patient.get()), uint32_t(kSourceLoaded));
    EXPECT_EQ(SourceGetContentKind(patient.get()), uint32_t(kContentImage));
    EXPECT_TRUE(IsTempCopy(patient.get(), viewer.root.get()));
    EXPECT_FALSE(SourceGetParams(patient.get()));  // dropped by the worker

    // A lock that outlasts the limit fails when the limit is up.
    lock = FileHandle(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    const DWORD start = GetTickCount();
    Ref<DocumentSource> late = SourceCreate(context, path.c_str(), ParamsWithLimit(1500).get());
    SourceStartLoad(late.get(), context);
    viewer.Track(late.get());
    ASSERT_TRUE(viewer.WaitForAnnouncement(late.get(), 1, 6000));
    EXPECT_GE(GetTickCount() - start, 1400u);
    EXPECT_EQ(SourceGetState(late.get()), uint32_t(kSourceFailed));

    // A file that is not there is no reason to wait.
    const DWORD missing_start = GetTickCount();
    Ref<DocumentSource> missing =
        SourceCreate(context, WindowsPathOf(dir + "/none.tif").c_str(), ParamsWithLimit(10000).get());
    SourceStartLoad(missing.get(), context);
    viewer.Track(missing.get());
    ASSERT_TRUE(viewer.WaitForAnnouncement(missing.get(), 1, 5000));
    EXPECT_LT(GetTickCount() - missing_start, 1500u);
    EXPECT_EQ(SourceGetState(missing.get()), uint32_t(kSourceFailed));
}

TEST(DocumentSourceCopy, ClosingEndsACopyThatWaitsWithoutLimit) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    const std::string dir = MakeScratchDir("source_abandoned");
    MakeTiff(dir + "/held.tif", 1);
    const std::wstring path = WindowsPathOf(dir + "/held.tif");
    FileHandle lock(CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(lock.valid());
    // Another name's extension asks for a copy, which retries the lock with
    // no limit until the document is closed.
    Ref<OpenParams> params = OpenParamsCreate();
    OpenParamsSetName(params.get(), L"held.lst");
    Ref<DocumentSource> source = SourceCreate(context, path.c_str(), params.get());
    SourceStartLoad(source.get(), context);
    PumpUntil([] { return false; }, 700);
    EXPECT_EQ(SourceGetState(source.get()), uint32_t(kSourceLoading));
    UniqueHandle worker(DuplicateWorker(source.get()));
    ASSERT_TRUE(worker);
    const DWORD start = GetTickCount();
    source.Reset();
    EXPECT_LT(GetTickCount() - start, 100u);
    EXPECT_EQ(WaitForSingleObject(worker.get(), 2000), WAIT_OBJECT_0);
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kSourceLoaded), 0u);

    // A document still open when the application stops lets its worker go
    // too: the worker holds the context, which holds the tree.
    Ref<DocumentSource> kept = SourceCreate(context, path.c_str(), params.get());
    SourceStartLoad(kept.get(), context);
    UniqueHandle kept_worker(DuplicateWorker(kept.get()));
    ASSERT_TRUE(kept_worker);
    AppStop(viewer.root.get());
    EXPECT_EQ(WaitForSingleObject(kept_worker.get(), 2000), WAIT_OBJECT_0);
    EXPECT_EQ(SourceGetState(kept.get()), uint32_t(kSourceFailed));
}

class DocumentSourceDownload : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new DownloadServer;
        if (!server_->Start("source_download")) return;
        MakeTiff(server_->Document("two.tif"), 2);
        WriteText(server_->Document("paper.bin"), "%PDF-1.2\n1 0 obj\n<<>>\nendobj\n");
        WriteText(server_->Document("page.html"), "<html><body>$PLOVEX-LST</body></html>\n");
        WriteText(server_->Document("list.txt"),
                  "; $PLOVEX-LST\r\n; $NOSAVE\r\ntwo.tif\r\n/file/paper.bin\r\n");
        // Random bytes that take seconds to trickle in; a download holds
        // 512 KB in memory before it moves to a file.
        RunHostCommand("head -c 1500000 /dev/urandom > '" + server_->Document("slow.bin") + "'");
    }
    static void TearDownTestSuite() {
        server_->Stop();
        delete server_;
    }
    void SetUp() override {
        if (server_->port().empty()) GTEST_SKIP() << "the test server did not start";
    }

    // Loads the URL to its end and answers the source.
    Ref<DocumentSource> Load(RunningViewer& viewer, const std::wstring& url) {
        Ref<DocumentSource> source =
            SourceCreate(viewer.context.get(), url.c_str(), OpenParamsCreate().get());
        SourceStartLoad(source.get(), viewer.context.get());
        viewer.Track(source.get());
        EXPECT_TRUE(viewer.WaitForAnnouncement(source.get())) << Narrow(url.c_str());
        return source;
    }

    static DownloadServer* server_;
};
DownloadServer* DocumentSourceDownload::server_ = nullptr;

TEST_F(DocumentSourceDownload, RecognisesWhatArrives) {
    RunningViewer viewer;
    struct Case {
        const char* path;
        uint32_t state;
        uint32_t kind;
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
    for (const Case& c : cases) {
        Ref<DocumentSource> source = Load(viewer, server_->Url(c.path));
        EXPECT_EQ(SourceGetState(source.get()), c.state) << c.path;
        EXPECT_EQ(SourceGetContentKind(source.get()), c.kind) << c.path;
        WString name;
        EXPECT_STREQ(WStrCStr(SourceGetFileName(source.get(), name)), c.file_name) << c.path;
        EXPECT_FALSE(SourceGetParams(source.get())) << c.path;
    }
    Ref<DocumentSource> upper = Load(viewer, Widen("HTTP://127.0.0.1:" + server_->port() + "/file/two.tif"));
    EXPECT_EQ(SourceGetState(upper.get()), uint32_t(kSourceLoaded));
    ASSERT_TRUE(SourceGetFormat(upper.get()));
    EXPECT_EQ(SourceGetFormat(upper.get())->PageCount(), 2u);
}

TEST_F(DocumentSourceDownload, SavedDownloadIsATemporaryFileUnderItsName) {
    RunningViewer viewer;
    Ref<DocumentSource> source = Load(viewer, server_->Url("/file/two.tif?plxfn=plan.tif"));
    WString name;
    EXPECT_EQ(WStrLength(SourceGetLocalFileName(source.get(), name)), 0u);  // small: held in memory
    ASSERT_TRUE(SourceSaveDataToTemp(source.get(), viewer.context.get()));
    SourceGetLocalFileName(source.get(), name);
    EXPECT_TRUE(IsTempCopy(source.get(), viewer.root.get()));
    EXPECT_EQ(std::wstring(WStrCStr(name)).substr(WStrLength(name) - 4), L".tif");
    EXPECT_FALSE(DeleteFileW(WStrCStr(name)));  // held while the source lives
    source.Reset();
    viewer.Forget();
    EXPECT_FALSE(FileIsThere(name));
}

// Documents closed while they download: every close returns at once, every
// worker ends soon after and no temporary file stays.
TEST_F(DocumentSourceDownload, ManyClosesWhileDownloading) {
    RunningViewer viewer;
    ViewerContext* context = viewer.context.get();
    // A temporary directory of its own, so that what stays there is ours.
    const std::string temp = MakeScratchDir("source_soak_temp");
    viewer.root->temp_directory = (WindowsPathOf(temp) + L"\\").c_str();
    auto temp_files = [&] {
        WString pattern = viewer.root->temp_directory;
        WStrAppendChars(pattern, L"*.*");
        WIN32_FIND_DATAW found;
        FindHandle search(FindFirstFileW(WStrCStr(pattern), &found));
        uint32_t count = 0;
        for (bool more = search.valid(); more; more = FindNextFileW(search.get(), &found)) {
            count += !(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
        }
        return count;
    };
    std::vector<HANDLE> workers;
    DWORD longest_close = 0;
    auto close = [&](Ref<DocumentSource>& source) {
        if (HANDLE worker = DuplicateWorker(source.get())) workers.push_back(worker);
        const DWORD before = GetTickCount();
        source.Reset();
        const DWORD took = GetTickCount() - before;
        if (took > longest_close) longest_close = took;
    };

    // One closed after its body moved from memory to a temporary file.
    Ref<DocumentSource> spilled = SourceCreate(context, server_->Url("/trickle/slow.bin").c_str(), nullptr);
    SourceStartLoad(spilled.get(), context);
    EXPECT_TRUE(PollUntil([&] { return temp_files() > 0; }, 6000));
    close(spilled);

    // Then as many as fit in three seconds, closed after 0 to 240 ms.
    uint32_t rounds = 0;
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 3000) {
        Ref<DocumentSource> source =
            SourceCreate(context, server_->Url("/trickle/slow.bin").c_str(), nullptr);
        SourceStartLoad(source.get(), context);
        PumpUntil([] { return false; }, (rounds % 5) * 60);
        close(source);
        ++rounds;
    }
    EXPECT_GT(rounds, 10u);
    EXPECT_LT(longest_close, 200u);
    for (HANDLE worker : workers) {
        EXPECT_EQ(WaitForSingleObject(worker, 10000), WAIT_OBJECT_0);
        CloseHandle(worker);
    }
    PumpPending();
    EXPECT_EQ(viewer.Count(event::kSourceLoaded), 0u);
    EXPECT_EQ(temp_files(), 0u);
}
