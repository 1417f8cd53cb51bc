#include "foundation/download.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "foundation/data_reader.h"
#include "tests/support/test_support.h"

namespace {

constexpr uint32_t kViewerMemoryLimit = 100000;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// One of the test servers of tests/data/download_server.py, started in the
// background for a suite and stopped after it.
class TestServer {
  public:
    // Serves the documents "doc<N>" of N random bytes for each size given.
    bool Start(const std::string& mode, std::initializer_list<uint32_t> sizes) {
        dir_ = MakeScratchDir("download_" + mode);
        docs_ = dir_ + "/docs";
        state_ = dir_ + "/state";
        std::string command = "mkdir -p '" + docs_ + "' '" + state_ + "'";
        for (uint32_t n : sizes) {
            command += " && head -c " + std::to_string(n) + " /dev/urandom > '" + Document("doc") +
                       std::to_string(n) + "'";
        }
        std::string arguments;
        if (mode == "https") {
            command += " && openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj /CN=localhost -keyout '" +
                       dir_ + "/key.pem' -out '" + dir_ + "/cert.pem' >/dev/null 2>&1";
            arguments = " '" + dir_ + "/cert.pem' '" + dir_ + "/key.pem'";
        }
        if (RunHostCommand(command) != 0) return false;
        if (RunHostCommand("setsid /usr/bin/python3 '" + Script() + "' " + mode + " '" + docs_ + "' '" +
                           state_ + "'" + arguments + " </dev/null >'" + state_ + "/server.out' 2>&1 &") !=
            0) {
            return false;
        }
        for (int waited_ms = 0; waited_ms < 15000; waited_ms += 20) {
            std::vector<uint8_t> port = ReadHostFile(state_ + "/port");
            if (!port.empty()) {
                port_ = std::string(port.begin(), port.end());
                return true;
            }
            Sleep(20);
        }
        return false;
    }
    void Stop() {
        if (!port_.empty()) RunHostCommand("kill $(cat '" + state_ + "/pid') 2>/dev/null");
        port_.clear();
    }
    std::wstring Url(const std::string& scheme, const std::string& path) const {
        return Widen(scheme + "://127.0.0.1:" + port_ + path);
    }
    // A field the server logged for the last request of the path.
    std::string Query(const std::string& path, const std::string& field) const {
        const std::string out = state_ + "/query.out";
        if (RunHostCommand("/usr/bin/python3 '" + Script() + "' query '" + state_ + "' '" + path + "' '" +
                           field + "' '" + out + "'") != 0) {
            return "<query failed>";
        }
        std::vector<uint8_t> value = ReadHostFile(out);
        return std::string(value.begin(), value.end());
    }
    const std::string& dir() const { return dir_; }
    std::string Document(const std::string& name) const { return docs_ + "/" + name; }

  private:
    static std::string Script() { return TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/download_server.py"; }
    std::string dir_, docs_, state_, port_;
};

// Hands out temporary files and remembers them, so a test sees whether a
// failed download left one behind.
class RecordingNamer : public TempFileNamer {
  public:
    bool CreateTempFile(const WString& extension, WString& path) override {
        if (!MakeTempFile(WStrCStr(extension), path)) return false;
        made.push_back(WStrCStr(path));
        return true;
    }
    bool AllGone() const {
        for (const auto& path : made) {
            if (GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES) return false;
        }
        return true;
    }
    std::vector<std::wstring> made;
};

class RecordingSink : public ProgressSink {
  public:
    RecordingSink() { ProgressPush(this, 1); }
    void Report(float overall) override {
        reports.push_back(overall);
        if (cancel_after_reports > 0 && reports.size() >= size_t(cancel_after_reports)) cancelled = true;
    }
    bool IsCancelled() override { return cancelled; }
    std::vector<float> reports;
    int cancel_after_reports = 0;
    bool cancelled = false;
};

struct Request {
    std::wstring url;
    const wchar_t* user = L"";
    const wchar_t* password = L"";
    const wchar_t* cookie = L"";
};

Ref<DataSource> Download(const Request& request, RecordingNamer* namer = nullptr,
                         ProgressSink* sink = nullptr) {
    return DataSourceDownload(request.url.c_str(), namer, L"tif", kViewerMemoryLimit, sink, request.user,
                              request.password, request.cookie, true, true);
}

// The downloaded bytes, copied out with DataSourceSaveAs, are the document's.
bool SameAsDocument(DataSource* source, const TestServer& server, const std::string& name) {
    bool changed;
    Ref<DataReader> reader = DataSourceOpenReader(source, changed);
    if (!reader) return false;
    const std::string copy = server.dir() + "/copy-" + name;
    return DataSourceSaveAs(reader.get(), WindowsPathOf(copy).c_str()) &&
           SameHostFiles(copy, server.Document(name));
}

std::wstring NameOf(DataSource* source) {
    WString name;
    return WStrCStr(DataSourceGetName(source, name));
}

}  // namespace

TEST(HttpHeaders, CrackKeepsLongParts) {
    const std::wstring path = L"/" + std::wstring(300, L'd') + L"/doc.tif";
    const std::wstring query = L"?" + std::wstring(200, L'q');
    const std::wstring url = L"https://" + std::wstring(150, L'u') + L":pw@" + std::wstring(120, L'h') +
                             L".example:8443" + path + query;
    uint32_t scheme;
    uint16_t port;
    WString host, got_path, extra, user, password;
    ASSERT_TRUE(UrlCrack(url.c_str(), scheme, host, got_path, extra, user, password, port));
    EXPECT_EQ(scheme, uint32_t(INTERNET_SCHEME_HTTPS));
    EXPECT_EQ(port, 8443);
    EXPECT_EQ(std::wstring(WStrCStr(host)), std::wstring(120, L'h') + L".example");
    EXPECT_EQ(std::wstring(WStrCStr(got_path)), path);
    EXPECT_EQ(std::wstring(WStrCStr(extra)), query);
    EXPECT_EQ(std::wstring(WStrCStr(user)), std::wstring(150, L'u'));
    EXPECT_EQ(std::wstring(WStrCStr(password)), L"pw");
    EXPECT_FALSE(UrlCrack(L"", scheme, host, got_path, extra, user, password, port));
}

// One server of a mode for a whole suite, started before its first test.
template <const char* kMode>
class Served : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server = new TestServer;
        ASSERT_TRUE(server->Start(kMode, {5000, 99999, 100000, 100001, 300000, 1500000}));
    }
    static void TearDownTestSuite() {
        server->Stop();
        delete server;
        server = nullptr;
    }
    static std::wstring Url(const std::string& path) { return server->Url(kMode, path); }
    static inline TestServer* server = nullptr;
};
constexpr char kHttp[] = "http", kHttps[] = "https", kFtp[] = "ftp";
using DownloadHttp = Served<kHttp>;
using DownloadHttps = Served<kHttps>;
using DownloadFtp = Served<kFtp>;

TEST_F(DownloadHttp, SmallStaysInMemoryLargeGoesToTemporaryFile) {
    struct Case {
        uint32_t size;
        uint32_t kind;
    };
    for (Case c :
         {Case{5000, kDataSourceMemory}, Case{99999, kDataSourceMemory}, Case{100000, kDataSourceTempFile},
          Case{100001, kDataSourceTempFile}, Case{1500000, kDataSourceTempFile}}) {
        const std::string name = "doc" + std::to_string(c.size);
        RecordingNamer namer;
        Ref<DataSource> source = Download({Url("/file/" + name)}, &namer);
        ASSERT_TRUE(source) << c.size;
        EXPECT_EQ(source->kind, c.kind) << c.size;
        EXPECT_EQ(source->size, c.size);
        EXPECT_TRUE(WStrEqualsChars(source->content_type, L"image/tiff"));
        EXPECT_TRUE(SameAsDocument(source.get(), *server, name)) << c.size;
        if (c.kind == kDataSourceMemory) {
            EXPECT_TRUE(namer.made.empty());
            EXPECT_EQ(NameOf(source.get()), L"");
            EXPECT_TRUE(WStrEqualsChars(source->name, L"tif"));
            continue;
        }
        ASSERT_EQ(namer.made.size(), 1u);
        EXPECT_EQ(NameOf(source.get()), namer.made[0]);
        EXPECT_EQ(namer.made[0].substr(namer.made[0].size() - 4), L".tif");
        source.Reset();
        EXPECT_TRUE(namer.AllGone()) << c.size;  // deleted with the source
    }
}

TEST_F(DownloadHttp, DefaultNamerAndProgress) {
    RecordingSink sink;
    Ref<DataSource> source = Download({Url("/file/doc1500000")}, nullptr, &sink);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, uint32_t(kDataSourceTempFile));
    const std::wstring path = NameOf(source.get());
    EXPECT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
    ASSERT_GT(sink.reports.size(), 10u);
    for (size_t i = 1; i < sink.reports.size(); ++i) EXPECT_LE(sink.reports[i - 1], sink.reports[i]);
    EXPECT_GT(sink.reports.front(), 0.0f);
    EXPECT_EQ(sink.reports.back(), 1.0f);
    source.Reset();
    EXPECT_EQ(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST_F(DownloadHttp, BodyWithoutLength) {
    for (const char* mode : {"chunked", "nolength"}) {
        for (uint32_t n : {5000u, 1500000u}) {
            const std::string name = "doc" + std::to_string(n);
            RecordingNamer namer;
            Ref<DataSource> source = Download({Url(std::string("/") + mode + "/" + name)}, &namer);
            ASSERT_TRUE(source) << mode << n;
            EXPECT_EQ(source->size, n);
            EXPECT_TRUE(SameAsDocument(source.get(), *server, name)) << mode << n;
        }
    }
}

TEST_F(DownloadHttp, FailuresLeaveNothingBehind) {
    for (const char* path :
         {"/missing/doc5000", "/nosuch", "/drop/doc1500000", "/drop/doc5000", "/auth/doc5000"}) {
        RecordingNamer namer;
        EXPECT_FALSE(Download({Url(path)}, &namer)) << path;
        EXPECT_TRUE(namer.AllGone()) << path;
    }
}

TEST_F(DownloadHttp, CancelFromTheSink) {
    RecordingNamer namer;
    RecordingSink sink;
    sink.cancel_after_reports = 40;  // past the first hand-on to the temporary file
    EXPECT_FALSE(Download({Url("/file/doc1500000")}, &namer, &sink));
    EXPECT_EQ(sink.reports.size(), 40u);
    EXPECT_EQ(namer.made.size(), 1u);
    EXPECT_TRUE(namer.AllGone());

    RecordingSink cancelled;
    cancelled.cancelled = true;
    EXPECT_FALSE(Download({Url("/file/doc5000")}, nullptr, &cancelled));
    EXPECT_NE(server->Query("/file/doc5000", "count"), "0");
}

TEST_F(DownloadHttp, SendsAgentCredentialsAndCookie) {
    const std::wstring long_password = L"s3cret:" + std::wstring(90, L'x');
    Request request{Url("/auth/doc5000?who=alice"), L"alice", long_password.c_str(),
                    L"session=abc; theme=dark"};
    ASSERT_TRUE(Download(request));
    EXPECT_EQ(server->Query("/auth/doc5000?who=alice", "user-agent"), "Plovex HTTP Client");
    EXPECT_EQ(server->Query("/auth/doc5000?who=alice", "auth"), "alice:s3cret:" + std::string(90, 'x'));
    EXPECT_EQ(server->Query("/auth/doc5000?who=alice", "cookie"), "session=abc; theme=dark");

    // Credentials in the URL serve when no user is given; a given user
    // replaces them.
    std::wstring with_user =
        L"http://bob:pw@127.0.0.1:" + Url("").substr(std::wstring(L"http://127.0.0.1:").size());
    ASSERT_TRUE(Download({with_user + L"/auth/doc5000?b"}));
    EXPECT_EQ(server->Query("/auth/doc5000?b", "auth"), "bob:pw");
    EXPECT_EQ(server->Query("/auth/doc5000?b", "cookie"), "<absent>");
    ASSERT_TRUE(Download({with_user + L"/auth/doc5000?c", L"carol", L"pc"}));
    EXPECT_EQ(server->Query("/auth/doc5000?c", "auth"), "carol:pc");

    ASSERT_TRUE(Download({Url("/file/doc5000?plain")}));
    EXPECT_EQ(server->Query("/file/doc5000?plain", "authorization"), "<absent>");
}

TEST_F(DownloadHttp, CookieWithLineBreakIsRefused) {
    for (const wchar_t* cookie : {L"a=b\r\nX-Injected: 1", L"a=b\nX-Injected: 1", L"a=b\r"}) {
        EXPECT_FALSE(Download({Url("/file/doc5000?cookie"), L"", L"", cookie}));
    }
    EXPECT_EQ(server->Query("/file/doc5000?cookie", "count"), "0");
}

TEST_F(DownloadHttp, RefusesWhatIsNoDownload) {
    EXPECT_FALSE(Download({L""}));
    EXPECT_FALSE(Download({L"C:\\docs\\a.tif"}));
    EXPECT_FALSE(Download({L"file:///C:/docs/a.tif"}));
    EXPECT_FALSE(Download({L"http://127.0.0.1:1/closed.tif"}));
}

// The certificate is self-signed and names another host: certificate
// checks stay off for intranet servers.
TEST_F(DownloadHttps, SelfSignedCertificate) {
    for (const char* name : {"doc5000", "doc300000"}) {
        RecordingNamer namer;
        Ref<DataSource> source = Download({Url(std::string("/file/") + name)}, &namer);
        ASSERT_TRUE(source) << name;
        EXPECT_TRUE(SameAsDocument(source.get(), *server, name)) << name;
    }
    ASSERT_TRUE(Download({Url("/auth/doc5000"), L"dave", L"pd"}));
    EXPECT_EQ(server->Query("/auth/doc5000", "auth"), "dave:pd");
    EXPECT_EQ(server->Query("/auth/doc5000", "user-agent"), "Plovex HTTP Client");
    RecordingNamer namer;
    EXPECT_FALSE(Download({Url("/drop/doc300000")}, &namer));
    EXPECT_TRUE(namer.AllGone());
}

TEST_F(DownloadFtp, AnonymousAndWithUser) {
    RecordingNamer namer;
    Ref<DataSource> source = Download({Url("/doc1500000")}, &namer);
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, uint32_t(kDataSourceTempFile));
    EXPECT_TRUE(SameAsDocument(source.get(), *server, "doc1500000"));
    EXPECT_EQ(server->Query("login", "user"), "anonymous");

    source = Download({Url("/doc5000"), L"ftpuser", L"ftp pass"});
    ASSERT_TRUE(source);
    EXPECT_EQ(source->kind, uint32_t(kDataSourceMemory));
    EXPECT_TRUE(SameAsDocument(source.get(), *server, "doc5000"));
    EXPECT_EQ(server->Query("login", "user"), "ftpuser");

    EXPECT_FALSE(Download({Url("/doc5000"), L"ftpuser", L"wrong"}));
    EXPECT_FALSE(Download({Url("/missing.tif")}, &namer));
    RecordingSink cancelled;
    cancelled.cancelled = true;
    EXPECT_FALSE(Download({Url("/doc5000")}, nullptr, &cancelled));
    source.Reset();
    EXPECT_TRUE(namer.AllGone());
}
