// The plug-in provider against the tests' fake print plug-in (tests/tools/
// plp_probe_plugin.c), which logs every call and dumps every job record it
// receives as hex: the records are compared byte for byte with records laid
// out here from their offsets, for documents opened through the viewer.
#include "printing/plugin_print_provider.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <fstream>
#include <sstream>

#include "printing/print_providers.h"
#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/documents/download_server.h"
#include "viewer/core/variable_list.h"
#include "viewer/model/cut_out_state.h"

namespace {

struct Call {
    std::string line;             // "Print5 <printer> 840"
    std::vector<uint8_t> record;  // the bytes it was given
};

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(uint8_t(std::stoul(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Lays a record out from its offsets, independently of the provider's structs.
struct Bytes {
    explicit Bytes(size_t size) : data(size, 0) {}
    void U16(size_t at, uint16_t v) { std::memcpy(&data[at], &v, 2); }
    void U32(size_t at, uint32_t v) { std::memcpy(&data[at], &v, 4); }
    void F64(size_t at, double v) { std::memcpy(&data[at], &v, 8); }
    void Text(size_t at, const std::string& text) { std::memcpy(&data[at], text.data(), text.size()); }
    std::vector<uint8_t> data;
};

double F64At(const std::vector<uint8_t>& record, size_t at) {
    double v;
    std::memcpy(&v, &record[at], 8);
    return v;
}
int32_t I32At(const std::vector<uint8_t>& record, size_t at) {
    int32_t v;
    std::memcpy(&v, &record[at], 4);
    return v;
}
std::string TextAt(const std::vector<uint8_t>& record, size_t at) {
    return std::string(reinterpret_cast<const char*>(&record[at]));
}

// Every test runs with registry keys of its own: the provider writes its
// choices when its list is released.
class PluginProvider : public ::testing::Test {
  protected:
    PluginProvider()
        : redirect_(std::string("PluginProvider_") +
                    ::testing::UnitTest::GetInstance()->current_test_info()->name()) {}

    // Copies the fake plug-in build `variant` under `name` and loads it.
    void Load(const std::string& test, const std::string& variant, const std::string& name) {
        folder_ = MakeScratchDir(test);
        name_ = name;
        const std::vector<uint8_t> bytes =
            ReadHostFile(TestEnvDir("TEST_BINARY_DIR") + "/plugins/plp_" + variant + ".dll");
        ASSERT_FALSE(bytes.empty()) << "the fake plug-in was not built";
        ASSERT_TRUE(WriteHostFile(folder_ + "/" + name, bytes));
        PrintProvidersLoadPluginsFrom(list_, WString((WindowsPathOf(folder_) + L"\\").c_str()));
        ASSERT_EQ(PrintProvidersCount(list_), 1u);
        provider_ = static_cast<PluginPrintProvider*>(PrintProvidersGet(list_, 0).get());
        provider_->set_failure_report(&PluginProvider::RecordFailure);
        failures().clear();
    }
    void TearDown() override {
        provider_ = nullptr;
        PrintProvidersRelease(list_);
    }
    static std::vector<std::wstring>& failures() {
        static std::vector<std::wstring> reported;
        return reported;
    }
    static void RecordFailure(ViewerContext*, HWND, const WString& path) {
        failures().push_back(WStrCStr(path));
    }

    std::string Log() const {
        std::ifstream file(folder_ + "/" + name_ + ".log", std::ios::binary);
        std::stringstream text;
        text << file.rdbuf();
        return text.str();
    }
    // The calls that carried a record, with it, in their order.
    std::vector<Call> Jobs(const std::string& prefix = "Print") const {
        std::istringstream lines(Log());
        std::vector<Call> calls;
        std::string previous;
        for (std::string line; std::getline(lines, line); previous = line) {
            if (line.rfind("Record ", 0) == 0 && previous.rfind(prefix, 0) == 0)
                calls.push_back({previous, FromHex(line.substr(7))});
        }
        return calls;
    }
    std::vector<std::string> RangesOf(const std::vector<Call>& jobs, size_t at) const {
        std::vector<std::string> ranges;
        for (const Call& call : jobs) ranges.push_back(TextAt(call.record, at));
        return ranges;
    }
    void SelectFirstPrinter(ViewerContext* context) {
        ASSERT_TRUE(PrintProviderSelectPrinterAt(provider_, context, 0));
    }

    SettingsKeyRedirect redirect_;
    std::string folder_;
    std::string name_;
    PrintProviders list_;
    PluginPrintProvider* provider_ = nullptr;  // borrowed from the list
};

// The pages of the documents, in this order, as the print dialog hands them.
struct PageList {
    void Add(DocItem* document, std::initializer_list<uint32_t> positions) {
        for (uint32_t position : positions) {
            Ref<DocItem> page = DocItemGetChild(document, position);
            ASSERT_TRUE(page) << position;
            PtrArrayAdd(pages, page.get());
        }
    }
    PtrArray pages{20, true};
};

// A TIFF of `pages` pages made in a scratch folder and opened in the viewer.
Ref<DocumentItem> OpenTiff(RunningViewer& viewer, const std::string& dir, int pages) {
    MakeTiff(dir + "/x.tif", pages);
    return viewer.Open(dir + "/x.tif");
}

std::string Ansi(const std::wstring& text) { return std::string(text.begin(), text.end()); }

}  // namespace

// Pages 1-3 and 5 of X, then 1-2 of Y: two jobs, each record as its offsets
// say, with the document's own file, page count and whole page.
TEST_F(PluginProvider, ConsecutivePagesOfADocumentMakeOneJobRecord) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_jobs_docs");
    MakeTiff(dir + "/x.tif", 5);
    MakeTiff(dir + "/y.tif", 2);
    Ref<DocumentItem> x = viewer.Open(dir + "/x.tif"), y = viewer.Open(dir + "/y.tif");
    ASSERT_TRUE(x && y);
    ASSERT_EQ(DocItemGetChildCount(x.get()), 5u);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_jobs", "probe", "plp_jobs.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));
    PageList list;
    list.Add(x.get(), {0, 1, 2, 4});
    list.Add(y.get(), {0, 1});
    ASSERT_TRUE(provider_->Print(viewer.context.get(), nullptr, list.pages, nullptr));

    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();
    struct Expected {
        std::string file;
        uint16_t pages;
        std::string ranges;
        double width_mm;  // of the first page of the job
    };
    const Expected expected[] = {{Ansi(WindowsPathOf(dir + "/x.tif")), 5, "1-3,5", 300 * 25.4 / 200},
                                 {Ansi(WindowsPathOf(dir + "/y.tif")), 2, "1-2", 300 * 25.4 / 200}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(jobs[i].line, "Print5 Probe printer A 840");
        Bytes record(840);
        record.U32(0, 1);  // TIFF
        record.U16(4, expected[i].pages);
        record.U16(6, 1);    // copies
        record.data[8] = 1;  // collate
        record.data[9] = 1;  // fit
        record.U16(10, 1);   // ratio 1:1 when fitting
        record.U16(12, 1);
        record.Text(24, expected[i].ranges);
        record.Text(152, expected[i].file);
        record.F64(792, 0);  // the whole page is the cut-out
        record.F64(800, 0);
        record.F64(808, expected[i].width_mm);
        record.F64(816, 200 * 25.4 / 200);
        record.U16(824, 422);
        record.U32(828, 0);  // fitted on A4, the first paper
        ASSERT_EQ(jobs[i].record.size(), 840u);
        // The cut-out's millimetres are compared within rounding, the rest exactly.
        EXPECT_NEAR(F64At(jobs[i].record, 808), expected[i].width_mm, 1e-9);
        EXPECT_NEAR(F64At(jobs[i].record, 816), 25.4, 1e-9);
        std::memcpy(&record.data[808], &jobs[i].record[808], 16);
        EXPECT_EQ(jobs[i].record, record.data) << i;
    }
}

// Fit puts the standard index of the current paper at 828: -1 for one of
// the plug-in's own papers; without fit the field is 0 and the ratio is the
// options' own. The plug-in supports A4 and A3 and names two papers.
TEST_F(PluginProvider, PapersAndTheStandardPaperField) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_papers_docs");
    Ref<DocumentItem> x = OpenTiff(viewer, dir, 1);
    ASSERT_TRUE(x);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_papers", "probe", "plp_papers.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));
    ASSERT_EQ(provider_->GetPaperCount(), 4u);
    struct Paper {
        std::wstring name;
        uint8_t standard;
        uint32_t index;
        double width;
    };
    const Paper papers[] = {
        {L"A4", 1, 0, 210}, {L"A3", 1, 1, 297}, {L"Roll 914", 0, 0, -1}, {L"Roll 610", 0, 1, -1}};
    for (uint32_t i = 0; i < 4; ++i) {
        Ref<PaperEntry> entry = provider_->GetPaperAt(i);
        ASSERT_TRUE(entry);
        EXPECT_EQ(std::wstring(WStrCStr(entry->name)), papers[i].name);
        EXPECT_EQ(entry->standard, papers[i].standard);
        EXPECT_EQ(entry->index, papers[i].index);
        EXPECT_EQ(entry->width_mm, papers[i].width);
    }
    EXPECT_FALSE(provider_->GetPaperAt(4));

    PageList list;
    list.Add(x.get(), {0});
    PluginJobOptions fit;
    PluginJobOptions scaled;
    scaled.fit = false;
    scaled.ratio_numerator = 2;
    scaled.ratio_denominator = 3;
    ASSERT_TRUE(provider_->SelectPaper(viewer.context.get(), 3));  // "Roll 610": PL_SetPaper 1
    ASSERT_TRUE(provider_->PrintJobs(viewer.context.get(), nullptr, list.pages, fit));
    ASSERT_TRUE(provider_->PrintJobs(viewer.context.get(), nullptr, list.pages, scaled));
    ASSERT_TRUE(provider_->SelectPaper(viewer.context.get(), 1));  // A3
    ASSERT_TRUE(provider_->PrintJobs(viewer.context.get(), nullptr, list.pages, fit));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(I32At(jobs[0].record, 828), -1);
    EXPECT_EQ(I32At(jobs[1].record, 828), 0);
    EXPECT_EQ(jobs[1].record[9], 0);
    EXPECT_EQ(jobs[1].record[10] | jobs[1].record[11] << 8, 2);
    EXPECT_EQ(jobs[1].record[12] | jobs[1].record[13] << 8, 3);
    EXPECT_EQ(I32At(jobs[2].record, 828), 1);
    EXPECT_NE(Log().find("SetPaper 1\n"), std::string::npos);
    EXPECT_NE(Log().find("SetStandardPaper 1\n"), std::string::npos);

    // A printer change starts again from the first paper and bin.
    ASSERT_TRUE(provider_->SelectBin(viewer.context.get(), 1));
    ASSERT_TRUE(PrintProviderSelectPrinterAt(provider_, viewer.context.get(), 1));
    EXPECT_EQ(provider_->GetCurrentPaper(), 0);
    EXPECT_EQ(provider_->GetCurrentBin(), 0);
    EXPECT_FALSE(provider_->SelectPaper(nullptr, 1));
}

// The 752-byte record of a plug-in without PL_Print5 carries the cut-out as
// fractions of the page, and a range longer than its 39 characters goes out
// as several jobs that together ask for exactly the chosen pages.
TEST_F(PluginProvider, SmallRecordsCarryFractionsAndSplitLongRanges) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_small_docs");
    Ref<DocumentItem> x = OpenTiff(viewer, dir, 40);
    ASSERT_TRUE(x);
    ASSERT_EQ(DocItemGetChildCount(x.get()), 40u);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_small", "noprint5", "plp_small.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));

    Ref<DocItem> first = DocItemGetChild(x.get(), 0);
    Ref<CutOutState> cut_out = first->GetCutOut();
    const SizeD page = CutOutGetPageSize(cut_out.get());
    // Half the width and a quarter of the height, from a quarter across and half down.
    ASSERT_TRUE(CutOutSetRect(cut_out.get(),
                              RectD{{page.width / 2, page.height / 4}, {page.width / 4, page.height / 2}}));
    PageList list;
    std::vector<uint32_t> asked;
    for (uint32_t position = 0; position < 40; position += 2) {
        list.Add(x.get(), {position});
        asked.push_back(position + 1);
    }
    ASSERT_TRUE(provider_->Print(viewer.context.get(), nullptr, list.pages, nullptr));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();  // "1,3,...,39" is 69 characters
    std::vector<uint32_t> printed;
    for (const Call& job : jobs) {
        EXPECT_EQ(job.line, "Print3 Probe printer A 752");
        ASSERT_EQ(job.record.size(), 752u);
        const std::string ranges = TextAt(job.record, 24);
        EXPECT_LE(ranges.size(), 39u);
        std::istringstream entries(ranges);
        for (std::string entry; std::getline(entries, entry, ',');) printed.push_back(std::stoul(entry));
        EXPECT_EQ(job.record[8], 1);  // fit
        EXPECT_NEAR(F64At(job.record, 704), 0.25, 1e-12);
        EXPECT_NEAR(F64At(job.record, 712), 0.5, 1e-12);
        EXPECT_NEAR(F64At(job.record, 720), 0.75, 1e-12);
        EXPECT_NEAR(F64At(job.record, 728), 0.75, 1e-12);
        EXPECT_EQ(job.record[736] | job.record[737] << 8, 422);
        EXPECT_EQ(TextAt(job.record, 64), Ansi(WindowsPathOf(dir + "/x.tif")));
    }
    EXPECT_EQ(printed, asked);

    // Without cut-out only the whole page goes out: 0, 0, 1, 1.
    PluginJobOptions whole;
    whole.cut_out_only = false;
    PageList one;
    one.Add(x.get(), {0});
    ASSERT_TRUE(provider_->PrintJobs(viewer.context.get(), nullptr, one.pages, whole));
    const std::vector<Call> after = Jobs();
    ASSERT_EQ(after.size(), 3u);
    for (size_t at : {704u, 712u}) EXPECT_EQ(F64At(after[2].record, at), 0.0);
    for (size_t at : {720u, 728u}) EXPECT_EQ(F64At(after[2].record, at), 1.0);

    // The plug-in is asked about an item with only its document kind.
    EXPECT_TRUE(provider_->CanPrintItem(first.get()));
    EXPECT_FALSE(provider_->CanPrintItem(x.get()));  // the document, no page
    const std::vector<Call> asked_jobs = Jobs("CanPrint3");
    ASSERT_EQ(asked_jobs.size(), 1u);
    Bytes only_kind(752);
    only_kind.U32(0, 1);
    EXPECT_EQ(asked_jobs[0].record, only_kind.data);
}

// The chosen printer, paper and bin go to the user's key under the plug-in's
// server type, and a new provider takes them back.
TEST_F(PluginProvider, ChoicesAreRememberedUnderTheServerType) {
    ASSERT_TRUE(redirect_.ok());
    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_choices", "probe", "plp_reg.dll"));
    ASSERT_TRUE(provider_->LoadSettings(context.get()));  // nothing stored: the first printer
    WString printer;
    EXPECT_EQ(std::wstring(WStrCStr(provider_->GetCurrentPrinter(printer))), L"Probe printer A");
    ASSERT_TRUE(PrintProviderSelectPrinterAt(provider_, context.get(), 1));
    ASSERT_TRUE(provider_->SelectPaper(context.get(), 3));
    ASSERT_TRUE(provider_->SelectBin(context.get(), 1));
    ASSERT_TRUE(provider_->SaveSettings());
    const RegListing stored = QueryRegistry(redirect_.UserSettingsKey(), "plugin_choices_reg");
    EXPECT_EQ(stored.at("PRTDLL_plp_reg.dll_CURPRINTER"), Sz("Probe printer B"));
    EXPECT_EQ(stored.at("PRTDLL_plp_reg.dll_PAPERINDEX"), Sz("3"));
    EXPECT_EQ(stored.at("PRTDLL_plp_reg.dll_PAPERBININDEX"), Sz("1"));

    PrintProvidersRelease(list_);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_choices_again", "probe", "plp_reg.dll"));
    ASSERT_TRUE(provider_->LoadSettings(context.get()));
    EXPECT_EQ(std::wstring(WStrCStr(provider_->GetCurrentPrinter(printer))), L"Probe printer B");
    EXPECT_EQ(provider_->GetCurrentPaper(), 3);
    EXPECT_EQ(provider_->GetCurrentBin(), 1);
    EXPECT_NE(Log().find("SetPrinterName Probe printer B\n"), std::string::npos) << Log();
    EXPECT_NE(Log().find("SetPaper 1\nSetPaperBin 1\n"), std::string::npos) << Log();
    EXPECT_FALSE(provider_->LoadSettings(context.get()));  // a printer is current: left alone
}

// The variables behind the standard tokens go to the plug-in as text, in
// their order, the empty ones left out.
TEST_F(PluginProvider, StandardTokensCarryTheVariablesText) {
    ASSERT_TRUE(redirect_.ok());
    SeedRegistry(redirect_.UserSettingsKey() + "\\Variables",
                 {{"COMPANY", "Ostrel Werke"}, {"PHONE", "0815"}});
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_tokens_docs");
    Ref<DocumentItem> x = OpenTiff(viewer, dir, 1);
    ASSERT_TRUE(x);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_tokens", "probe", "plp_tokens.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));
    PageList list;
    list.Add(x.get(), {0});
    ASSERT_TRUE(provider_->Print(viewer.context.get(), nullptr, list.pages, nullptr));
    const std::string log = Log();
    const size_t company = log.find("SetStdToken 0 Ostrel Werke\n");
    const size_t phone = log.find("SetStdToken 7 0815\n");
    const size_t date = log.find("SetStdToken 2 ");
    ASSERT_NE(company, std::string::npos) << log;
    ASSERT_NE(phone, std::string::npos) << log;
    ASSERT_NE(date, std::string::npos) << log;
    EXPECT_LT(company, phone);
    EXPECT_LT(phone, date);
    EXPECT_LT(date, log.find("Print5"));
    EXPECT_EQ(log.find("SetStdToken 1 "), std::string::npos) << log;  // no cost centre
    EXPECT_EQ(log.find("EMPTY"), std::string::npos) << log;
}

// The record names the local file that holds the data: for a document
// loaded from a URL the viewer's temporary copy, for a file whose name the
// ANSI code page cannot spell its short name. A job the plug-in refuses does
// not keep the next document from going out.
TEST_F(PluginProvider, DownloadsPrintFromTheLocalCopyAndFailuresGoOn) {
    DownloadServer server;
    ASSERT_TRUE(server.Start("plugin_print"));
    MakeTiff(server.Document("remote.tif"), 2);
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_fail_docs");
    MakeTiff(dir + "/y.tif", 1);
    const std::wstring foreign = WindowsPathOf(dir) + L"\\\u6f22\u5b57.tif";
    ASSERT_TRUE(CopyFileW(WindowsPathOf(dir + "/y.tif").c_str(), foreign.c_str(), FALSE));
    Ref<DocumentItem> remote = viewer.Open(server.Url("/file/remote.tif"));
    Ref<DocumentItem> y = viewer.Open(foreign);
    ASSERT_TRUE(remote && y);
    ASSERT_TRUE(PumpUntil([&] { return DocItemGetChildCount(remote.get()) == 2; }, 15000));
    ASSERT_NO_FATAL_FAILURE(Load("plugin_fail", "probe", "plp_fail.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));
    PageList list;
    list.Add(remote.get(), {1});
    list.Add(y.get(), {0});
    EXPECT_FALSE(provider_->Print(viewer.context.get(), nullptr, list.pages, nullptr));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();
    const std::string copy = TextAt(jobs[0].record, 152);
    EXPECT_EQ(copy.find("http"), std::string::npos) << copy;
    const std::vector<uint8_t> local = ReadHostFile(server.Document("remote.tif"));
    HANDLE file =
        CreateFileA(copy.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << copy;
    std::vector<uint8_t> bytes(local.size() + 1);
    DWORD read = 0;
    ReadFile(file, bytes.data(), DWORD(bytes.size()), &read, nullptr);
    CloseHandle(file);
    bytes.resize(read);
    EXPECT_EQ(bytes, local);
    EXPECT_EQ(TextAt(jobs[0].record, 24), "2");
    const std::string short_name = TextAt(jobs[1].record, 152);
    EXPECT_EQ(short_name.find('?'), std::string::npos) << short_name;
    EXPECT_EQ(
        ReadHostFile(dir + "/y.tif").size(), 0u +
                                                 [&] {
                                                     WIN32_FILE_ATTRIBUTE_DATA data{};
                                                     return GetFileAttributesExA(short_name.c_str(),
                                                                                 GetFileExInfoStandard, &data)
                                                                ? data.nFileSizeLow
                                                                : 0u;
                                                 }())
        << short_name;
    // Each refused job is reported, the others still sent.
    EXPECT_EQ(failures().size(), 2u);
    server.Stop();
}

// The printable area: the plug-in's own rectangle when it reports one, else
// the current paper's size, turned for landscape.
TEST_F(PluginProvider, PrintableAreaFromThePluginOrFromThePaper) {
    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    ASSERT_NO_FATAL_FAILURE(Load("plugin_area", "probe", "plp_area.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(context.get()));
    Ref<PrintableArea> area = provider_->GetPrintableArea();
    ASSERT_TRUE(area);
    ExpectRect(area->printable, 5, 6, 200, 284);
    EXPECT_EQ(area->paper, (SizeD{205, 290}));
    EXPECT_EQ(area->pixels_per_mm_x, 10);
    EXPECT_EQ(area->pixels_per_mm_y, 10);
    PrintProvidersRelease(list_);

    ASSERT_NO_FATAL_FAILURE(Load("plugin_area_paper", "probe", "plp_noarea.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(context.get()));
    ASSERT_TRUE(provider_->SelectPaper(context.get(), 1));  // A3
    ExpectRect(provider_->GetPrintableArea()->printable, 0, 0, 297, 420);
    ASSERT_TRUE(provider_->SetOrientation(context.get(), 1));
    ExpectRect(provider_->GetPrintableArea()->printable, 0, 0, 420, 297);
    EXPECT_EQ(provider_->GetPrintableArea()->paper, (SizeD{420, 297}));
    ASSERT_TRUE(provider_->SelectPaper(context.get(), 2));  // a plug-in paper has no size: A0
    ExpectRect(provider_->GetPrintableArea()->printable, 0, 0, 1189, 841);
}

// A file that neither its ANSI name nor a short name can reach fails its own
// job with a message; the other documents still print.
TEST_F(PluginProvider, AJobWithoutAReadableFileNameFailsAlone) {
    RunningViewer viewer;
    const std::string dir = MakeScratchDir("plugin_unnamed_docs");
    Ref<DocumentItem> x = OpenTiff(viewer, dir, 1);
    const std::wstring foreign = WindowsPathOf(dir) + L"\\\u6f22\u5b57.tif";
    ASSERT_TRUE(CopyFileW(WindowsPathOf(dir + "/x.tif").c_str(), foreign.c_str(), FALSE));
    Ref<DocumentItem> gone = viewer.Open(foreign);
    ASSERT_TRUE(x && gone);
    ASSERT_EQ(DocItemGetChildCount(gone.get()), 1u);
    // Gone from the disk, so it has no short name any more.
    ASSERT_TRUE(DeleteFileW(foreign.c_str()) || MoveFileExW(foreign.c_str(), nullptr, 0));
    ASSERT_NO_FATAL_FAILURE(Load("plugin_unnamed", "probe", "plp_unnamed.dll"));
    ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(viewer.context.get()));
    PageList list;
    list.Add(gone.get(), {0});
    list.Add(x.get(), {0});
    EXPECT_FALSE(provider_->Print(viewer.context.get(), nullptr, list.pages, nullptr));
    EXPECT_EQ(failures(), std::vector<std::wstring>{foreign});
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(TextAt(jobs[0].record, 152), Ansi(WindowsPathOf(dir + "/x.tif")));
}
