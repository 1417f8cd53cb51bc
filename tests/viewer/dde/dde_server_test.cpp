// The DDE server as other programs see it: a viewer serves on this thread,
// driven by tests/tools/dde_test_client in a second Wine process.
#include "viewer/dde/dde_server.h"

#include <fstream>
#include <regex>

#include "tests/viewer/dde/dde_client_runner.h"
#include "tests/viewer/documents/download_server.h"
#include "tests/viewer/export/export_test_support.h"
#include "viewer/dde/dde_execute.h"
#include "viewer/dde/dde_log.h"
#include "viewer/export/convert_source.h"
#include "viewer/model/cut_out_state.h"

namespace {

using Vars = std::map<char, std::string>;

std::string Step(const std::string& step) { return DdeStep(L"Plovex", step); }

// "$c" in a text stands for vars[c]; $P is this process's id.
std::string Fill(std::string text, Vars vars) {
    vars['P'] = std::to_string(GetCurrentProcessId());
    for (size_t at = text.find('$'); at != std::string::npos && at + 1 < text.size();
         at = text.find('$', at)) {
        const std::string value = vars[text[at + 1]];
        text.replace(at, 2, value);
        at += value.size();
    }
    return text;
}

// Runs a table of "step => outcome[ => more]" entries, separated by "; ", in
// one client run; an outcome after "~" is a regex, and a step without one
// (topic) gives no line. Answers the filled entries.
std::vector<std::string> Expect(const std::string& table, const Vars& vars = {}) {
    std::vector<std::string> entries, steps, expected;
    for (size_t at = 0, end = 0; at < table.size(); at = end + 2) {
        end = std::min(table.find("; ", at), table.size());
        const std::string entry = Fill(table.substr(at, end - at), vars);
        const size_t arrow = entry.find(" => ");
        entries.push_back(entry);
        steps.push_back(entry.substr(0, arrow));
        if (arrow != std::string::npos)
            expected.push_back(entry.substr(arrow + 4, entry.find(" => ", arrow + 4) - arrow - 4));
    }
    const std::vector<std::string> lines = RunDdeClient(L"Plovex", steps);
    EXPECT_EQ(lines.size(), expected.size());
    for (size_t i = 0; i < lines.size() && i < expected.size(); ++i) {
        const std::string got = Outcome(lines[i]), want = expected[i];
        EXPECT_TRUE(want[0] == '~' ? std::regex_match(got, std::regex(want.substr(1))) : got == want)
            << got << " / " << want;
    }
    return entries;
}

std::vector<Ref<DocItem>> Documents(ViewerContext* context) {
    std::vector<Ref<DocItem>> documents;
    Ref<DocItem> root = ViewerGetRootItem(context);
    for (uint32_t i = 0; i < DocItemGetChildCount(root.get()); ++i)
        documents.push_back(ChildAt(root.get(), i));
    return documents;
}

// Waits until documents with these page counts are open, one of them active.
bool WaitForDocuments(ViewerContext* context, std::vector<uint32_t> pages) {
    return PollUntil(
        [&] {
            std::vector<uint32_t> loaded;
            for (const Ref<DocItem>& document : Documents(context))
                loaded.push_back(DocItemGetChildCount(document.get()));
            return loaded == pages && ViewerGetActiveItem(context) != nullptr;
        },
        15000);
}

std::string Id(const Ref<DocItem>& item) { return std::to_string(DocItemGetId(item.get())); }
std::string WindowsPath8(const std::string& unix_path) { return Narrow(WindowsPathOf(unix_path).c_str()); }

// The main view widens a cut-out to its own proportions about the same
// centre: the one shown holds the one asked for, shares its centre and keeps
// one of its sides. Answers the one shown.
std::vector<double> ExpectShown(const std::string& answer, const std::string& page,
                                std::vector<double> asked) {
    int id = 0;
    std::vector<double> r(4);
    EXPECT_EQ(sscanf(answer.c_str(), "\"%d\", %lf, %lf, %lf, %lf, 0, 0", &id, &r[0], &r[1], &r[2], &r[3]), 5);
    EXPECT_EQ(std::to_string(id), page);
    for (int i = 0; i < 2; ++i) {
        EXPECT_LE(r[i], asked[i]) << answer;
        EXPECT_GE(r[i] + r[i + 2], asked[i] + asked[i + 2]) << answer;
        EXPECT_NEAR(r[i] + r[i + 2] / 2, asked[i] + asked[i + 2] / 2, 1.0) << answer;
    }
    EXPECT_TRUE(std::abs(r[2] - asked[2]) <= 1 || std::abs(r[3] - asked[3]) <= 1) << answer;
    return r;
}

}  // namespace

TEST(DdeServer, ServesThreeTopicsOncePerProcessAndAnswersWithoutDocuments) {
    ServedViewer viewer;
    DdeServer* server = viewer.root->dde_server.get();
    ASSERT_NE(server, nullptr);
    EXPECT_EQ(DdeServerGetRunning().get(), server);
    EXPECT_TRUE(DdeServerStart(server, viewer.context.get()));  // bound already
    Ref<DdeServer> second = DdeServerCreate();
    EXPECT_FALSE(DdeServerStart(second.get(), viewer.context.get()));
    // Nothing is open: the items that need a document answer no data, and so
    // do unknown items, unparseable ones and other clipboard formats.
    Expect(
        "r\tGetVersion => ~PLOVEX,5\\.2\\.9,\\d{6},STANDARD; r\tGetCompileDate => ~\\d{6}; "
        "r\tGetCutOutStatus3 => 000000; r\tGetMetricPoint3 => 0, 0, 0, 0; r\tGetProcessID => $P; "
        "r\tgetprocessid => $P; r\tGetPageCount => nodata; r\tGetActPage => nodata; "
        "r\tGetWindowInfo3 => nodata; r\tGetActiveWindow3 => nodata; r\tGetCutOut3(1) => nodata; "
        "r\tGetImageSize3(1) => nodata; r\tGetNothing => nodata; r\tGetCutOut3( => nodata; "
        "rf\t13\tGetVersion => nodata; topic\tAdvanced; "
        "c => connected; topic\tdraganddrop; c => connected; topic\tSystem; c => connect-failed");
    DdeServerStop(server);
    EXPECT_FALSE(DdeServerGetRunning());
    EXPECT_EQ(Step("c"), "connect-failed");
}

TEST(DdeServer, DrivesDocumentsAndRefusesAndLogsBadInput) {
    const std::string dir = MakeScratchDir("dde-documents") + "/with blank";
    ASSERT_EQ(RunHostCommand("mkdir -p '" + dir + "'"), 0);
    MakeTiff(dir + "/plan.tif", 3);
    MakeTiff(dir + "/two.tif", 2);
    ServedViewer viewer(L"-dde_logging");
    ViewerContext* context = viewer.context.get();
    Vars vars = {{'F', WindowsPath8(dir + "/plan.tif")},
                 {'I', "ERROR\tInvalid commmand format"},
                 {'X', "ERROR\tCommand failed"},
                 {'K', "OK\tCommand executed"},
                 {'U', "ERROR\tUnknown command"}};
    EXPECT_EQ(Step(Fill("x\tFileOpen(\"$F\", \"Plan title\")", vars)), "ack");
    ASSERT_TRUE(WaitForDocuments(context, {3}));
    Ref<DocItem> document = Documents(context)[0];
    vars['D'] = Id(document);
    for (uint32_t i = 0; i < 3; ++i) vars['1' + i] = Id(ChildAt(document.get(), i));
    DeleteFileW(kDdeLogPath);

    // Bad input is refused and logged: kind, command, then $I invalid format,
    // $X failed, $U unknown or $K executed (a known item without an answer).
    // What peers send loosely is served: a list without its closing
    // parenthesis, more than ten arguments (the first ten count), a page
    // that is no non-negative int32 (the first page).
    const std::vector<std::string> bad = Expect(
        "x\t => nack => $I; x\t    => nack => $I; x\tNoSuchCommand(1) => nack => $U; "
        "x\tFileClose(999999) => nack => $X; "
        "x\tSetActPage($D, 1 => ack => $K; x\tFileClose(\"$D, 3) => nack => $X; "  // the quote takes the rest
        "x\tSetActPage($D,1,3,4,5,6,7,8,9,10,11) => ack => $K; x\tSetActPage(99999999999, 0) => nack => $X; "
        "x\tSetActPage($D, 99999999999) => ack => $K; x\tSetActPage($D, abc) => ack => $K; "
        "x\tSetActPage(-1, 0) => nack => $X; "
        "x\tSetActPage(abc, 0) => nack => $X; x\t(1, 2) => nack => $I; x\tFileClose(1) more => nack => $X; "
        // Numbers that are no finite decimal number.
        "x\tSetCutOut3($D, 1e5, 1, 1, 1) => nack => $X; x\tSetCutOut3($D, 1, inf, 1, 1) => nack => $X; "
        "x\tSetCutOut3($D, 1, 1, 1.2.3, 1) => nack => $X; "
        "x\tSetCutOut3($D, 1, 1, 1, \"1,5.2\") => nack => $X; xrep\t65536\ta => nack => $I; "
        "xrep\t4000\tFileOpen(\"c:\\aaaaaaaa\\ => nack => $I; "
        "x\tConvert(a, b, TIFF, 0, 0, 0, 0) => nack => $X; r\tGetNothing => nodata => $U; "
        "r\tGetCutOut3( => nodata => $K; r\tGetCutOut3(\"$D => ~\"$1\", .* => $K; "
        "r\tGetPageCount(999999) => nodata => $K; "
        "rf\t13\tGetVersion => nodata => ERROR\tUnsupported clipboard format; "
        // No NUL: read within the data's size; line ends after the list.
        "xraw\tSetActPage($D, 1) => ack => $K; x\tSetActPage($D, 2)`r`n => ack => $K; "
        "r\tGetActPage => 2 => $K",
        vars);
    Expect("topic\tSystem; c => connect-failed");
    std::vector<std::string> expected_log;
    for (const std::string& entry : bad) {
        const std::string step = entry.substr(0, entry.find(" => "));
        // Line ends become blanks; the long ones are left out here.
        std::string command = std::regex_replace(step.substr(step.rfind('\t') + 1), std::regex("`r`n"), "  ");
        if (step.rfind("xrep", 0) == 0) command = "<long>";
        expected_log.push_back("CONNECT\tMDI\tOK\t");
        expected_log.push_back((step[0] == 'x' ? "EXE\t" : "REQ\t") + command + "\t" +
                               entry.substr(entry.rfind(" => ") + 4));
    }
    expected_log.push_back("CONNECT\tSystem\tERROR\t");
    std::ifstream file(kDdeLogPath, std::ios::binary);
    std::vector<std::string> log;
    const std::regex time("\\d{4}\\.\\d\\d\\.\\d\\d \\d\\d:\\d\\d:\\d\\d\\.\\d{3}\\t\\r");
    for (std::string each; std::getline(file, each);) {
        // Not all by regex: the long commands would overflow its stack.
        ASSERT_TRUE(each.size() > 25 && each.back() == '\r' &&
                    std::regex_match(each.substr(0, 24) + "\r", time));
        std::string entry = each.substr(24, each.size() - 25);
        const size_t command = entry.find('\t') + 1, status = entry.find('\t', command);
        if (status - command > 100) entry.replace(command, status - command, "<long>");
        // Wine's DDE library confirms connections although the server asked
        // it not to; the server logs them as unsupported.
        if (entry != "\t\tERROR\tXTYP CONNECT_CONFIRM. not supported") log.push_back(entry);
    }
    EXPECT_EQ(log, expected_log);
    file.close();

    // Pages 1 and 3 are 300 x 200 pixels at 200 dpi (38.1 x 25.4 mm), page 2
    // 310 pixels wide; the cut-out starts whole ($W). Pages go by number of a
    // document (by id or title), or by their own id. The cut-out is set in
    // thousandths of a millimetre; the image size stays the page's.
    vars['W'] = Fill("\"$1\", 0, 0, 38100, 25400, 0, 0", vars);
    Expect(
        "r\tGetPageCount => 3; r\tGetPageCount($D) => 3; r\tGetPageCount($2) => 3; r\tGetActPage($3) => 2; "
        "x\tSetActPage($1, 2) => ack; r\tGetActPage => 0; x\tSetActPage(\"Plan title\", 1) => ack; "
        "r\tGetActPage => 1; x\tSetActPage($D, -4) => ack; r\tGetActPage => 0; x\tSetActPage($D, 3) => nack; "
        "x\tSetActPage($D, \"1,5\") => ack; r\tGetActPage => 0; r\tGetCutOut3($D) => $W; "
        "x\tSetCutOut3($D, 1000, 2000, 10000, 5000, 0, 0, 0) => ack; r\tGetImageSize3($D) => $W; "
        "r\tGetImageSize3($2) => \"$2\", 0, 0, 39370, 25400, 0, 0",
        vars);
    ExpectShown(Step(Fill("r\tGetCutOut3($1)", vars)), vars['1'], {1000, 2000, 10000, 5000});
    // Fractions of the page, with '.' or ','.
    EXPECT_EQ(Step(Fill("x\tSetCutOut3($1, \"0,25\", 0.5, \"0,5\", 0.25, 0, 0, 1)", vars)), "ack");
    vars['S'] = Step(Fill("r\tGetCutOut3($D)", vars));
    const std::vector<double> cut_out = ExpectShown(vars['S'], vars['1'], {9525, 12700, 19050, 6350});
    // Invalid rectangles and arguments change nothing.
    Expect(
        "x\tSetCutOut3($D, 0, 0, 0, 0, 0, 0, 0) => nack; x\tSetCutOut3($D, a, b, c, d, 0, 0, 0) => nack; "
        "x\tSetCutOut3($D, 1000, 2000) => nack; x\tSetCutOut3(999999, 1, 1, 1, 1, 0, 0, 0) => nack; "
        "x\tSetCutOut3($D, 0, 0, 1000, 1000, 0, 0, x) => nack; r\tGetCutOut3($D) => $S",
        vars);
    // The window information has the same cut-out, relative to the page.
    const std::regex window_info(
        Fill("\"$1\", \"plan\\.tif\", \"[^\"]*\", 1, 0, 0, -?\\d+, -?\\d+, \\d+, \\d+, "
             "(\\d\\.\\d{6}), (\\d\\.\\d{6}), (\\d\\.\\d{6}), (\\d\\.\\d{6}), 0, 0",
             vars));
    for (const char* item : {"r\tGetWindowInfo3($D)", "r\tGetActiveWindow3"}) {
        const std::string info = Step(Fill(item, vars));
        std::smatch match;
        ASSERT_TRUE(std::regex_match(info, match, window_info)) << info;
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(std::stod(match[i + 1]), cut_out[i] / (i % 2 ? 25400 : 38100), 3e-5) << info;
    }

    // A page closes its whole document; its ids then name nothing.
    EXPECT_EQ(Step(Fill("x\tFileClose($2)", vars)), "ack");
    ASSERT_TRUE(PollUntil([&] { return Documents(context).empty(); }, 5000));
    // The closing quote is optional; a second start hands over its command line.
    vars['T'] = WindowsPath8(dir + "/two.tif");
    Expect(
        "r\tGetPageCount($D) => nodata; r\tGetCutOut3($D) => nodata; x\tSetActPage($D, 0) => nack; "
        "x\tFileClose($D) => nack; x\tFileClose() => nack; x\tFileOpen() => nack; x\tFileOpen(\"$F) => ack; "
        "x\tFileOpenCmdLine(\"'$T' -r:90\") => ack",
        vars);
    ASSERT_TRUE(WaitForDocuments(context, {3, 2}));
    EXPECT_EQ(CutOutGetRotation(ChildAt(Documents(context)[1].get(), 0)->GetCutOut().get()), 90u);
    EXPECT_EQ(Step("x\tFileCloseAll"), "ack");
    EXPECT_TRUE(Documents(context).empty());
    // Quit closes the frame before it answers.
    const HWND frame = AppGetFrameHwnd(viewer.root.get());
    EXPECT_EQ(Step("x\tQuit"), "ack");
    EXPECT_FALSE(IsWindow(frame));
    DeleteFileW(kDdeLogPath);
}

TEST(DdeServer, ConvertsToTiffAndPdfRefusesBadRequestsAndGivesUpOnSlowSources) {
    const std::string dir = MakeScratchDir("dde-convert");
    MakeTiff(dir + "/source.tif", 2);
    DownloadServer http;
    ASSERT_TRUE(http.Start("dde-slow"));
    // At the trickle's 200 KB a second this takes 15 s to arrive.
    ASSERT_EQ(RunHostCommand("head -c 3000000 /dev/zero >'" + http.Document("big.tif") + "'"), 0);
    ServedViewer viewer;
    // Only the targets out.* are written.
    const Vars vars = {{'S', WindowsPath8(dir + "/source.tif")}, {'D', WindowsPath8(dir)}};
    Expect(
        "x\tConvert(\"$S\", \"$D\\out.tif\", TIFF, 0, 2, 450, 0, \"Plan 7\") => ack; "
        "x\tConvert(\"$S\", \"$D\\out.pdf\", pdf, 1, 0, 0, 0, \"Plan 8\") => ack; "
        "x\tConvert(\"$S\", \"$D\\missing\\x.tif\", TIFF, 0, 0, 0, 0, \"\") => nack; "
        "x\tConvert(\"$S\", \"$D\\seven.tif\", TIFF, 0, 0, 0, 0) => nack; "
        "x\tConvert(\"$S\", \"$D\\flag.tif\", TIFF, 2, 0, 0, 0, \"\") => nack; "
        "x\tConvert(\"$S\", \"$D\\png.tif\", PNG, 0, 0, 0, 0, \"\") => nack; "
        "x\tConvert(\"$S\", \"$D\\turn.tif\", TIFF, 0, 0, 45, 0, \"\") => nack; "
        "x\tConvert(\"$S\", \"$D\\minus.tif\", TIFF, 0, -1, 0, 0, \"\") => nack; "
        "x\tConvert(\"$D\\none.tif\", \"$D\\none-out.tif\", TIFF, 0, 0, 0, 0, \"\") => nack",
        vars);
    // Nothing else is written; the outside tools judge what is.
    const std::string host = MakeScratchDir("dde-host");
    EXPECT_EQ(HostOutput("ls '" + dir + "'", host), "out.pdf\nout.tif\nsource.tif\n");
    const std::string info =
        HostOutput("cd '" + dir + "' && tiffinfo out.tif && qpdf --check out.pdf && pdfinfo out.pdf", host);
    // Two Group 4 pages in strips of 64 rows, described and turned by 90.
    const std::regex directory("TIFF Directory");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(info.begin(), info.end(), directory), std::sregex_iterator()), 2);
    for (const char* wanted : {"ImageDescription: Plan 7", "CCITT Group 4", "Rows/Strip: 64",
                               "Orientation: row 0 lhs, col 0 bottom", "No syntax or stream encoding errors"})
        EXPECT_NE(info.find(wanted), std::string::npos) << wanted << "\n" << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Pages: +2\\b"))) << info;
    EXPECT_TRUE(std::regex_search(info, std::regex("Title: +Plan 8"))) << info;

    // A source still loading is given up before the client's 10 s are over.
    const DWORD start = GetTickCount();
    EXPECT_EQ(Step("x\tConvert(\"" + Narrow(http.Url("/trickle/big.tif").c_str()) + "\", \"" +
                   WindowsPath8(dir + "/slow.tif") + "\", TIFF, 0, 0, 0, 0, \"\")"),
              "nack");
    EXPECT_GE(GetTickCount() - start, kConvertLoadLimitMs);
    EXPECT_LT(GetTickCount() - start, 9000u);
    EXPECT_EQ(Step("r\tGetProcessID"), std::to_string(GetCurrentProcessId()));
    http.Stop();
}
