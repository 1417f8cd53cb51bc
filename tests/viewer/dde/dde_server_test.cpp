// The DDE server as other programs see it: every test starts a viewer with
// its server on this thread and drives it from tests/tools/dde_test_client
// in a second Wine process (one conversation per step), or from the
// viewer's own instance link on a second thread.
#include "viewer/dde/dde_server.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <iterator>
#include <regex>
#include <string>
#include <vector>

#include "tests/viewer/dde/dde_client_runner.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/documents/download_server.h"
#include "viewer/dde/dde_execute.h"
#include "viewer/dde/dde_log.h"
#include "viewer/dde/instance_link.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/views/cut_out_state.h"

namespace {

const std::wstring kService = L"Plovex";

std::string Step(const std::string& step) { return DdeStep(kService, step); }

std::string Request(const std::string& item) { return Answer(Step("r\t" + item)); }

std::string Execute(const std::string& command) { return Step("x\t" + command); }

// The cut-out of a GetCutOut3 answer for the page. The main view shows a
// cut-out widened to its own proportions about the same centre and keeps
// that: the answer holds the rectangle asked for and shares its centre.
std::vector<double> ExpectShown(const std::string& answer, const std::string& page,
                                std::vector<double> asked) {
    int id = 0;
    double x = 0, y = 0, w = 0, h = 0;
    EXPECT_EQ(sscanf(answer.c_str(), "\"%d\", %lf, %lf, %lf, %lf, 0, 0", &id, &x, &y, &w, &h), 5) << answer;
    EXPECT_EQ(std::to_string(id), page);
    EXPECT_LE(x, asked[0]) << answer;
    EXPECT_LE(y, asked[1]) << answer;
    EXPECT_GE(x + w, asked[0] + asked[2]) << answer;
    EXPECT_GE(y + h, asked[1] + asked[3]) << answer;
    EXPECT_NEAR(x + w / 2, asked[0] + asked[2] / 2, 1.0) << answer;
    EXPECT_NEAR(y + h / 2, asked[1] + asked[3] / 2, 1.0) << answer;
    // One side is taken as asked.
    EXPECT_TRUE(std::abs(w - asked[2]) <= 1 || std::abs(h - asked[3]) <= 1) << answer;
    return {x, y, w, h};
}

struct Exchange {
    std::string step;
    std::string expected;  // "ack", "nack", "nodata" or the answer's text
};

// Runs the steps in one client and compares what each gave.
void ExpectExchanges(const std::vector<Exchange>& exchanges) {
    std::vector<std::string> steps;
    for (const Exchange& exchange : exchanges) steps.push_back(exchange.step);
    const std::vector<std::string> lines = RunDdeClient(kService, steps);
    ASSERT_EQ(lines.size(), exchanges.size());
    for (size_t i = 0; i < lines.size(); ++i) {
        const std::string got = lines[i].rfind("data\t", 0) == 0 ? Answer(lines[i]) : lines[i];
        EXPECT_EQ(got, exchanges[i].expected) << exchanges[i].step;
    }
}

std::string Str(int32_t value) { return std::to_string(value); }

// The documents under the root, in order.
std::vector<Ref<DocItem>> Documents(ViewerContext* context) {
    std::vector<Ref<DocItem>> documents;
    Ref<DocItem> root = ViewerGetRootItem(context);
    for (uint32_t i = 0; i < DocItemGetChildCount(root.get()); ++i)
        documents.push_back(DocItemGetChild(root.get(), i));
    return documents;
}

int32_t ChildId(DocItem* item, uint32_t position) {
    return DocItemGetId(DocItemGetChild(item, position).get());
}

// Waits until `count` documents are open and each has loaded its pages.
bool WaitForDocuments(ViewerContext* context, size_t count, uint32_t pages) {
    return PollUntil(
        [&] {
            std::vector<Ref<DocItem>> documents = Documents(context);
            if (documents.size() != count) return false;
            for (const Ref<DocItem>& document : documents) {
                if (DocItemGetChildCount(document.get()) != pages) return false;
            }
            return ViewerGetActiveItem(context) != nullptr;
        },
        15000);
}

std::string WindowsPath8(const std::string& unix_path) { return Narrow(WindowsPathOf(unix_path).c_str()); }

std::string HostOutput(const std::string& command, const std::string& output_path) {
    if (RunHostCommand(command + " >'" + output_path + "' 2>&1") != 0) return "<failed>";
    std::vector<uint8_t> bytes = ReadHostFile(output_path);
    return std::string(bytes.begin(), bytes.end());
}

// What the instance-link thread did.
struct LinkRun {
    std::wstring one;
    std::wstring two;
    bool connected = false;
    bool pid_known = false;
    uint32_t pid = 0;
    bool empty_refused = false;
    bool opened = false;
    bool command_line_sent = false;
};

DWORD WINAPI UseLink(void* parameter) {
    LinkRun& run = *static_cast<LinkRun*>(parameter);
    Ref<InstanceLink> link = InstanceLinkConnect(L"Plovex");
    run.connected = link != nullptr;
    if (!link) return 0;
    run.pid_known = InstanceLinkGetProcessId(link.get(), run.pid);
    run.empty_refused = !InstanceLinkFileOpen(link.get(), WString());
    run.opened = InstanceLinkFileOpen(link.get(), run.one.c_str());
    InstanceLinkAppActivate(link.get());
    // As a second start of the program hands over its command line.
    const std::wstring command = L"FileOpenCmdLine(\"'" + run.two + L"' -r:90\")";
    run.command_line_sent = InstanceLinkExecute(link.get(), command.c_str());
    return 0;
}

}  // namespace

TEST(DdeServerService, ServesThreeTopicsOncePerProcess) {
    ServedViewer viewer;
    DdeServer* server = viewer.server();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(DdeServerGetRunning().get(), server);
    EXPECT_TRUE(DdeServerStart(server, viewer.context.get()));  // bound already

    Ref<DdeServer> second = DdeServerCreate();
    EXPECT_FALSE(DdeServerStart(second.get(), viewer.context.get()));
    EXPECT_FALSE(second->context);
    EXPECT_EQ(second->instance, 0u);

    const std::vector<std::string> connects =
        RunDdeClient(kService, {"c", "topic\tAdvanced", "c", "topic\tDragAndDrop", "c", "topic\tdraganddrop",
                                "c", "topic\tSystem", "c", "topic\tMDI", "x\tNoSuchCommand"});
    EXPECT_EQ(connects, (std::vector<std::string>{"connected", "connected", "connected", "connected",
                                                  "connect-failed", "nack"}));

    DdeServerStop(server);
    EXPECT_FALSE(DdeServerGetRunning());
    EXPECT_FALSE(server->context);
    EXPECT_EQ(Step("c"), "connect-failed");
    // Another server may start once this one is gone.
    EXPECT_TRUE(DdeServerStart(second.get(), viewer.context.get()));
    EXPECT_EQ(Step("c"), "connected");
    DdeServerStop(second.get());
}

TEST(DdeServerRequests, AnswerInTheirFormatsWithoutDocuments) {
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    const std::vector<std::string> lines = RunDdeClient(
        kService,
        {"r\tGetVersion", "r\tGetCompileDate", "r\tGetCutOutStatus3", "r\tGetMetricPoint3", "r\tGetProcessID",
         "r\tgetprocessid", "r\tGetPageCount", "r\tGetActPage", "r\tGetWindowInfo3", "r\tGetActiveWindow3",
         "r\tGetCutOut3(1)", "r\tGetImageSize3(1)", "r\tGetNothing", "r\tGetCutOut3(", "rf\t13\tGetVersion"});
    ASSERT_EQ(lines.size(), 15u);
    // Answers are 8-bit text that ends in a NUL, sent with it.
    std::smatch version;
    const std::string version_text = Answer(lines[0]);
    ASSERT_TRUE(std::regex_match(version_text, version, std::regex("PLOVEX,5\\.2\\.9,(\\d{6}),STANDARD")))
        << version_text;
    EXPECT_EQ(lines[0], "data\t" + std::to_string(version_text.size() + 1) + "\t1\t" + version_text);
    EXPECT_EQ(Answer(lines[1]), version[1].str());
    EXPECT_EQ(lines[2], "data\t7\t1\t000000");
    EXPECT_EQ(Answer(lines[3]), "0, 0, 0, 0");
    EXPECT_EQ(Answer(lines[4]), std::to_string(GetCurrentProcessId()));
    EXPECT_EQ(Answer(lines[5]), std::to_string(GetCurrentProcessId()));
    // Nothing is open: the items that need a document answer no data, and so
    // do unknown items, unparseable ones and other clipboard formats.
    for (size_t i = 6; i < lines.size(); ++i) EXPECT_EQ(lines[i], "nodata") << i;
}

TEST(DdeServerDocuments, OpenPageThroughSetCutOutsAndClose) {
    const std::string dir = MakeScratchDir("dde-documents") + "/with blank";
    ASSERT_EQ(RunHostCommand("mkdir -p '" + dir + "'"), 0);
    MakeTiff(dir + "/plan.tif", 3);
    const std::string path = WindowsPath8(dir + "/plan.tif");
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    ViewerContext* context = viewer.context.get();

    EXPECT_EQ(Execute("FileOpen(\"" + path + "\", \"Plan title\")"), "ack");
    ASSERT_TRUE(WaitForDocuments(context, 1, 3));
    Ref<DocItem> document = Documents(context)[0];
    const std::string doc = Str(DocItemGetId(document.get()));
    const std::string p1 = Str(ChildId(document.get(), 0));
    const std::string p2 = Str(ChildId(document.get(), 1));
    const std::string p3 = Str(ChildId(document.get(), 2));
    // Pages 1 and 3 are 300 x 200 pixels at 200 dpi (38.1 x 25.4 mm), page 2
    // 310 pixels wide; the cut-out starts whole.
    const std::string whole = "\"" + p1 + "\", 0, 0, 38100, 25400, 0, 0";
    ExpectExchanges({
        {"r\tGetPageCount", "3"},
        {"r\tGetPageCount(" + doc + ")", "3"},
        {"r\tGetPageCount(" + p2 + ")", "3"},
        {"r\tGetActPage", "0"},
        {"r\tGetActPage(" + p3 + ")", "2"},
        // Pages by number of a document (by id or name), or by their own id.
        {"x\tSetActPage(" + doc + ", 2)", "ack"},
        {"r\tGetActPage", "2"},
        {"x\tSetActPage(" + p1 + ", 2)", "ack"},
        {"r\tGetActPage", "0"},
        {"x\tSetActPage(\"Plan title\", 1)", "ack"},
        {"r\tGetActPage", "1"},
        {"x\tSetActPage(" + doc + ", -4)", "ack"},
        {"r\tGetActPage", "0"},
        {"x\tSetActPage(" + doc + ", 3)", "nack"},
        {"x\tSetActPage(" + doc + ", \"1,5\")", "nack"},
        {"r\tGetActPage", "0"},
        {"r\tGetImageSize3(" + doc + ")", whole},
        {"r\tGetImageSize3(" + p2 + ")", "\"" + p2 + "\", 0, 0, 39370, 25400, 0, 0"},
        {"r\tGetCutOut3(" + doc + ")", whole},
    });
    // Thousandths of a millimetre, or fractions of the page ('.' or ',').
    EXPECT_EQ(Execute("SetCutOut3(" + doc + ", 1000, 2000, 10000, 5000, 0, 0, 0)"), "ack");
    ExpectShown(Request("GetCutOut3(" + p1 + ")"), p1, {1000, 2000, 10000, 5000});
    EXPECT_EQ(Execute("SetCutOut3(" + p1 + ", \"0,25\", 0.5, \"0,5\", 0.25, 0, 0, 1)"), "ack");
    const std::string shown = Request("GetCutOut3(" + doc + ")");
    const std::vector<double> cut_out = ExpectShown(shown, p1, {9525, 12700, 19050, 6350});
    // Invalid rectangles and arguments change nothing.
    ExpectExchanges({
        {"x\tSetCutOut3(" + doc + ", 0, 0, 0, 0, 0, 0, 0)", "nack"},
        {"x\tSetCutOut3(" + doc + ", a, b, c, d, 0, 0, 0)", "nack"},
        {"x\tSetCutOut3(" + doc + ", 1000, 2000)", "nack"},
        {"x\tSetCutOut3(999999, 1, 1, 1, 1, 0, 0, 0)", "nack"},
        {"x\tSetCutOut3(" + doc + ", 0, 0, 1000, 1000, 0, 0, x)", "nack"},
        {"r\tGetCutOut3(" + doc + ")", shown},
    });
    // The window information has the same cut-out, relative to the page.
    const std::regex window_info("\"" + p1 +
                                 "\", \"plan\\.tif\", \"[^\"]*\", 1, 0, 0, -?\\d+, -?\\d+, \\d+, \\d+, "
                                 "(\\d\\.\\d{6}), (\\d\\.\\d{6}), (\\d\\.\\d{6}), (\\d\\.\\d{6}), 0, 0");
    for (const std::string& item : {"GetWindowInfo3(" + doc + ")", std::string("GetActiveWindow3")}) {
        const std::string info = Request(item);
        std::smatch match;
        ASSERT_TRUE(std::regex_match(info, match, window_info)) << info;
        const double page[4] = {38100, 25400, 38100, 25400};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(std::stod(match[i + 1]), cut_out[i] / page[i], 3e-5) << info;
    }

    // A page closes its whole document; its ids then name nothing.
    EXPECT_EQ(Execute("FileClose(" + p2 + ")"), "ack");
    ASSERT_TRUE(PollUntil([&] { return Documents(context).empty(); }, 5000));
    // The closing quote is optional: both open the same file.
    ExpectExchanges({
        {"r\tGetPageCount(" + doc + ")", "nodata"},
        {"r\tGetCutOut3(" + doc + ")", "nodata"},
        {"x\tSetActPage(" + doc + ", 0)", "nack"},
        {"x\tFileClose(" + doc + ")", "nack"},
        {"x\tFileClose()", "nack"},
        {"x\tFileOpen(\"" + path + ")", "ack"},
        {"x\tFileOpen(\"" + path + "\")", "ack"},
        {"x\tFileOpen()", "nack"},
    });
    ASSERT_TRUE(WaitForDocuments(context, 2, 3));
    WString first_path;
    WString second_path;
    SourceGetPath(Documents(context)[0]->GetSource().get(), first_path);
    SourceGetPath(Documents(context)[1]->GetSource().get(), second_path);
    EXPECT_STREQ(WStrCStr(first_path), WindowsPathOf(dir + "/plan.tif").c_str());
    EXPECT_STREQ(WStrCStr(second_path), WStrCStr(first_path));
    EXPECT_EQ(Execute("FileCloseAll"), "ack");
    EXPECT_TRUE(Documents(context).empty());
}

TEST(DdeServerExecute, MalformedCommandsFailAndTheServerGoesOn) {
    const std::string dir = MakeScratchDir("dde-malformed");
    MakeTiff(dir + "/a.tif", 3);
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    ViewerContext* context = viewer.context.get();
    EXPECT_EQ(Execute("FileOpen(\"" + WindowsPath8(dir + "/a.tif") + "\")"), "ack");
    ASSERT_TRUE(WaitForDocuments(context, 1, 3));
    const std::string doc = Str(DocItemGetId(Documents(context)[0].get()));

    ExpectExchanges({
        {"x\t", "nack"},
        {"x\t   ", "nack"},
        {"x\tNoSuchCommand(1)", "nack"},
        {"x\tFileClose(" + doc, "nack"},                     // the list never closes
        {"x\tFileClose(\"" + doc + ", 3)", "nack"},          // the quote takes the rest: no such name
        {"x\tSetActPage(1,2,3,4,5,6,7,8,9,10,11)", "nack"},  // more than ten arguments
        {"x\tSetActPage(99999999999, 0)", "nack"},           // no int32
        {"x\tSetActPage(" + doc + ", 99999999999)", "nack"},
        {"x\tSetActPage(-1, 0)", "nack"},  // ids are positive
        {"x\tSetActPage(abc, 0)", "nack"},
        {"xrep\t65536\ta", "nack"},                         // 64 KB of name
        {"xrep\t4000\tFileOpen(\"c:\\aaaaaaaa\\", "nack"},  // 84000 characters of path
        {"x\tConvert(a, b, TIFF, 0, 0, 0, 0)", "nack"},     // seven arguments
        {"xraw\tSetActPage(" + doc + ", 1)", "ack"},        // no NUL: read within the data's size
        {"x\tSetActPage(" + doc + ", 2)`r`n", "ack"},       // line ends after the list
        {"r\tGetActPage", "2"},
        {"r\tGetPageCount(" + doc + ")", "3"},
        {"r\tGetProcessID", std::to_string(GetCurrentProcessId())},
    });
}

TEST(DdeServerConvert, WritesTiffAndPdfAndRefusesBadRequests) {
    const std::string dir = MakeScratchDir("dde-convert");
    MakeTiff(dir + "/source.tif", 2);
    const std::string source = WindowsPath8(dir + "/source.tif");
    const std::string tiff = WindowsPath8(dir + "/out.tif");
    const std::string pdf = WindowsPath8(dir + "/out.pdf");
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);

    const std::string head = "x\tConvert(\"" + source + "\", ";
    const std::vector<std::string> lines = RunDdeClient(
        kService, {head + "\"" + tiff + "\", TIFF, 0, 2, 450, 0, \"Plan 7\")",
                   head + "\"" + pdf + "\", pdf, 1, 0, 0, 0, \"Plan 8\")",
                   head + "\"" + WindowsPath8(dir + "/missing/dir/x.tif") + "\", TIFF, 0, 0, 0, 0, \"\")",
                   head + "\"" + WindowsPath8(dir + "/seven.tif") + "\", TIFF, 0, 0, 0, 0)",
                   head + "\"" + WindowsPath8(dir + "/flag.tif") + "\", TIFF, 2, 0, 0, 0, \"\")",
                   head + "\"" + WindowsPath8(dir + "/png.tif") + "\", PNG, 0, 0, 0, 0, \"\")",
                   head + "\"" + WindowsPath8(dir + "/turn.tif") + "\", TIFF, 0, 0, 45, 0, \"\")",
                   head + "\"" + WindowsPath8(dir + "/minus.tif") + "\", TIFF, 0, -1, 0, 0, \"\")",
                   "x\tConvert(\"" + WindowsPath8(dir + "/none.tif") + "\", \"" +
                       WindowsPath8(dir + "/none-out.tif") + "\", TIFF, 0, 0, 0, 0, \"\")"});
    ASSERT_EQ(lines.size(), 9u);
    EXPECT_EQ(lines[0], "ack");
    EXPECT_EQ(lines[1], "ack");
    for (size_t i = 2; i < lines.size(); ++i) EXPECT_EQ(lines[i], "nack") << i;

    // Two Group 4 pages in strips of 64 rows, described and turned by 90.
    const std::string info = HostOutput("tiffinfo '" + dir + "/out.tif'", dir + "/tiffinfo.txt");
    size_t directories = 0;
    for (size_t at = info.find("TIFF Directory"); at != std::string::npos;
         at = info.find("TIFF Directory", at + 1)) {
        ++directories;
    }
    EXPECT_EQ(directories, 2u) << info;
    EXPECT_NE(info.find("ImageDescription: Plan 7"), std::string::npos) << info;
    EXPECT_NE(info.find("CCITT Group 4"), std::string::npos) << info;
    EXPECT_NE(info.find("Rows/Strip: 64"), std::string::npos) << info;
    EXPECT_NE(info.find("Orientation: row 0 lhs, col 0 bottom"), std::string::npos) << info;

    const std::string check = HostOutput("qpdf --check '" + dir + "/out.pdf'", dir + "/qpdf.txt");
    EXPECT_NE(check.find("No syntax or stream encoding errors"), std::string::npos) << check;
    const std::string pdf_info = HostOutput("pdfinfo '" + dir + "/out.pdf'", dir + "/pdfinfo.txt");
    EXPECT_TRUE(std::regex_search(pdf_info, std::regex("Pages: +2"))) << pdf_info;
    EXPECT_TRUE(std::regex_search(pdf_info, std::regex("Title: +Plan 8"))) << pdf_info;

    for (const char* name :
         {"/missing", "/seven.tif", "/flag.tif", "/png.tif", "/turn.tif", "/minus.tif", "/none-out.tif"}) {
        EXPECT_TRUE(ReadHostFile(dir + name).empty()) << name;
    }
}

TEST(DdeServerConvert, GivesUpOnASlowSourceBeforeTheClientDoes) {
    DownloadServer http;
    ASSERT_TRUE(http.Start("dde-slow"));
    // At the trickle's 200 KB a second this takes 15 s to arrive.
    ASSERT_EQ(RunHostCommand("head -c 3000000 /dev/zero >'" + http.Document("big.tif") + "'"), 0);
    const std::string target = WindowsPath8(MakeScratchDir("dde-slow") + "/out.tif");
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    const DWORD start = GetTickCount();
    EXPECT_EQ(Execute("Convert(\"" + Narrow(http.Url("/trickle/big.tif").c_str()) + "\", \"" + target +
                      "\", TIFF, 0, 0, 0, 0, \"\")"),
              "nack");
    const DWORD elapsed = GetTickCount() - start;
    EXPECT_GE(elapsed, kDdeConvertLoadLimitMs);
    EXPECT_LT(elapsed, 9000u);  // the clients wait 10 s
    EXPECT_EQ(Request("GetProcessID"), std::to_string(GetCurrentProcessId()));
    http.Stop();
}

TEST(DdeServerLog, OneLinePerTransactionOnlyWithTheSwitch) {
    DeleteFileW(kDdeLogPath);
    {
        ServedViewer quiet;
        ASSERT_NE(quiet.server(), nullptr);
        EXPECT_EQ(Execute("FileCloseAll"), "ack");
    }
    EXPECT_EQ(GetFileAttributesW(kDdeLogPath), INVALID_FILE_ATTRIBUTES);

    ServedViewer viewer(L"-dde_logging");
    ASSERT_NE(viewer.server(), nullptr);
    RunDdeClient(kService, {"x\tFileCloseAll", "r\tGetProcessID", "x\tNoSuchCommand(1)", "x\tFileClose(1",
                            "x\tFileClose(999)", "r\tGetNothing", "r\tGetPageCount", "r\tGetCutOut3(",
                            "topic\tSystem", "c"});
    std::ifstream file(kDdeLogPath, std::ios::binary);
    const std::string log((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    file.close();
    std::vector<std::string> entries;
    const std::regex line("\\d{4}\\.\\d{2}\\.\\d{2} \\d{2}:\\d{2}:\\d{2}\\.\\d{3}\\t([^\\r\\n]*)\\r");
    for (const std::string& text : SplitLines(std::vector<uint8_t>(log.begin(), log.end()))) {
        std::smatch match;
        ASSERT_TRUE(std::regex_match(text, match, line)) << text;
        // Wine's DDE library confirms connections although the server asked
        // it not to; the server logs them as unsupported.
        if (match[1] != "\t\tERROR\tXTYP CONNECT_CONFIRM. not supported") entries.push_back(match[1]);
    }
    // Each step connects first; the topic "System" is refused.
    const std::vector<std::string> expected = {
        "CONNECT\tMDI\tOK\t",       "EXE\tFileCloseAll\tOK\tCommand executed",
        "CONNECT\tMDI\tOK\t",       "REQ\tGetProcessID\tOK\tCommand executed",
        "CONNECT\tMDI\tOK\t",       "EXE\tNoSuchCommand(1)\tERROR\tUnknown command",
        "CONNECT\tMDI\tOK\t",       "EXE\tFileClose(1\tERROR\tInvalid commmand format",
        "CONNECT\tMDI\tOK\t",       "EXE\tFileClose(999)\tERROR\tCommand failed",
        "CONNECT\tMDI\tOK\t",       "REQ\tGetNothing\tERROR\tUnknown command",
        "CONNECT\tMDI\tOK\t",       "REQ\tGetPageCount\tOK\tCommand executed",
        "CONNECT\tMDI\tOK\t",       "REQ\tGetCutOut3(\tERROR\tInvalid commmand format",
        "CONNECT\tSystem\tERROR\t",
    };
    EXPECT_EQ(entries, expected);
    DeleteFileW(kDdeLogPath);
}

TEST(DdeServerLink, InstanceLinkHandsWorkToTheRunningViewer) {
    const std::string dir = MakeScratchDir("dde-link") + "/a b";
    ASSERT_EQ(RunHostCommand("mkdir -p '" + dir + "'"), 0);
    MakeTiff(dir + "/one.tif", 1);
    MakeTiff(dir + "/two.tif", 2);
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    EXPECT_FALSE(InstanceLinkConnect(WString()));
    uint32_t no_pid = 7;
    EXPECT_FALSE(InstanceLinkGetProcessId(nullptr, no_pid));
    EXPECT_EQ(no_pid, 7u);

    // The link runs on a thread of its own while this one serves.
    LinkRun run;
    run.one = WindowsPathOf(dir + "/one.tif");
    run.two = WindowsPathOf(dir + "/two.tif");
    HANDLE thread = CreateThread(nullptr, 0, UseLink, &run, 0, nullptr);
    ASSERT_NE(thread, nullptr);
    EXPECT_TRUE(PumpUntilProcessEnds(thread, 30000));
    CloseHandle(thread);

    EXPECT_TRUE(run.connected);
    EXPECT_TRUE(run.pid_known);
    EXPECT_EQ(run.pid, GetCurrentProcessId());
    EXPECT_TRUE(run.empty_refused);
    EXPECT_TRUE(run.opened);
    EXPECT_TRUE(run.command_line_sent);
    ViewerContext* context = viewer.context.get();
    ASSERT_TRUE(PollUntil(
        [&] {
            std::vector<Ref<DocItem>> documents = Documents(context);
            return documents.size() == 2 && DocItemGetChildCount(documents[0].get()) == 1 &&
                   DocItemGetChildCount(documents[1].get()) == 2;
        },
        15000));
    Ref<DocItem> second_page = DocItemGetChild(Documents(context)[1].get(), 0);
    EXPECT_EQ(CutOutGetRotation(second_page->GetCutOut().get()), 90u);

    // Nobody serves this name; the link gives up after its second.
    EXPECT_FALSE(InstanceLinkConnect(L"PlovexNobody"));
}

TEST(DdeServerQuit, ProgramQuitClosesTheFrameAfterAnswering) {
    ServedViewer viewer;
    ASSERT_NE(viewer.server(), nullptr);
    const HWND frame = AppGetFrameHwnd(viewer.root.get());
    ASSERT_TRUE(IsWindow(frame));
    EXPECT_EQ(Execute("Quit"), "ack");
    EXPECT_TRUE(PollUntil([&] { return !IsWindow(frame); }, 5000));
}
