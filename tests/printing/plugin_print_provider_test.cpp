// The plug-in provider against the tests' fake print plug-in (tests/tools/
// plp_probe_plugin.c), which logs every call and dumps every job record it
// receives as hex: the records are read back through the record structs,
// for documents opened through the viewer.
#include "printing/plugin_print_provider.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <optional>
#include <sstream>

#include "printing/plugin_job_record.h"
#include "printing/print_providers.h"
#include "tests/printing/print_test_support.h"
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

// A dumped record as the struct of its size; a dump of another size fails.
template <typename Record>
Record As(const Call& call) {
    Record record{};
    EXPECT_EQ(call.record.size(), sizeof(Record)) << call.line;
    std::memcpy(&record, call.record.data(), std::min(call.record.size(), sizeof(Record)));
    return record;
}

std::string Ansi(const std::wstring& text) { return std::string(text.begin(), text.end()); }

template <typename Record>
std::vector<uint8_t> BytesOf(const Record& record) {
    const auto* first = reinterpret_cast<const uint8_t*>(&record);
    return std::vector<uint8_t>(first, first + sizeof(Record));
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
        folder_ = PluginFolder(test, variant, {name});
        name_ = name;
        PrintProvidersLoadPluginsFrom(list_, PluginFolderArgument(folder_));
        ASSERT_EQ(PrintProvidersCount(list_), 1u);
        provider_ = static_cast<PluginPrintProvider*>(PrintProvidersGet(list_, 0).get());
        provider_->set_failure_report(&PluginProvider::RecordFailure);
        failures().clear();
    }
    void TearDown() override {
        document_.Reset();
        viewer_.reset();
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

    std::string Log() const { return PluginLog(folder_, name_); }
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
    void SelectFirstPrinter(ViewerContext* context) {
        ASSERT_TRUE(PrintProviderSelectPrinterAt(provider_, context, 0));
    }
    // A viewer showing a TIFF of `pages` pages from a scratch folder, and the
    // fake plug-in built as `variant` loaded as plp_<name>.dll with its
    // first printer chosen.
    void Start(const std::string& name, int pages, const std::string& variant = "probe") {
        viewer_.emplace();
        dir_ = MakeScratchDir("plugin_" + name + "_docs");
        MakeTiff(dir_ + "/x.tif", pages);
        document_ = viewer_->Open(dir_ + "/x.tif");
        ASSERT_TRUE(document_);
        ASSERT_EQ(DocItemGetChildCount(document_.get()), uint32_t(pages));
        ASSERT_NO_FATAL_FAILURE(Load("plugin_" + name, variant, "plp_" + name + ".dll"));
        ASSERT_NO_FATAL_FAILURE(SelectFirstPrinter(context()));
    }
    ViewerContext* context() const { return viewer_->context.get(); }
    std::string FileOf(const std::string& name) const { return Ansi(WindowsPathOf(dir_ + "/" + name)); }

    SettingsKeyRedirect redirect_;
    std::string folder_;
    std::string name_;
    PrintProviders list_;
    PluginPrintProvider* provider_ = nullptr;  // borrowed from the list
    std::optional<RunningViewer> viewer_;
    std::string dir_;
    Ref<DocumentItem> document_;
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

}  // namespace

// Pages 1-3 and 5 of X, then 1-2 of Y: two jobs, each record as its offsets
// say, with the document's own file, page count and whole page.
TEST_F(PluginProvider, ConsecutivePagesOfADocumentMakeOneJobRecord) {
    ASSERT_NO_FATAL_FAILURE(Start("jobs", 5));
    MakeTiff(dir_ + "/y.tif", 2);
    Ref<DocumentItem> y = viewer_->Open(dir_ + "/y.tif");
    ASSERT_TRUE(y);
    PageList list;
    list.Add(document_.get(), {0, 1, 2, 4});
    list.Add(y.get(), {0, 1});
    ASSERT_TRUE(provider_->Print(context(), nullptr, list.pages, nullptr));

    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();
    const struct {
        std::string file;
        uint16_t pages;
        std::string ranges;
    } expected[] = {{FileOf("x.tif"), 5, "1-3,5"}, {FileOf("y.tif"), 2, "1-2"}};
    for (size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(jobs[i].line, "Print5 Probe printer A 840");
        const PluginJob5 got = As<PluginJob5>(jobs[i]);
        // Every byte the record does not name stays zero.
        PluginJob5 want{};
        want.document_kind = 1;  // TIFF
        want.page_count = expected[i].pages;
        want.copies = want.collate = want.fit = 1;
        want.ratio_numerator = want.ratio_denominator = 1;  // 1:1 when fitting
        std::memcpy(want.ranges, expected[i].ranges.data(), expected[i].ranges.size());
        std::memcpy(want.file_name, expected[i].file.data(), expected[i].file.size());
        // The whole 300 x 200 pixel page at 200 dpi is the cut-out, within rounding.
        EXPECT_NEAR(got.cut_out[2], 300 * 25.4 / 200, 1e-9);
        EXPECT_NEAR(got.cut_out[3], 25.4, 1e-9);
        want.cut_out[2] = got.cut_out[2];
        want.cut_out[3] = got.cut_out[3];
        want.marker = 422;
        want.standard_paper = 0;  // fitted on A4, the first paper
        EXPECT_EQ(jobs[i].record, BytesOf(want)) << i;
    }
}

// Fit puts the standard index of the current paper at 828: -1 for one of
// the plug-in's own papers; without fit the field is 0 and the ratio is the
// options' own. The plug-in supports A4 and A3 and names two papers.
TEST_F(PluginProvider, PapersAndTheStandardPaperField) {
    ASSERT_NO_FATAL_FAILURE(Start("papers", 1));
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
    list.Add(document_.get(), {0});
    PluginJobOptions fit;
    PluginJobOptions scaled;
    scaled.fit = false;
    scaled.ratio_numerator = 2;
    scaled.ratio_denominator = 3;
    ASSERT_TRUE(provider_->SelectPaper(context(), 3));  // "Roll 610": PL_SetPaper 1
    ASSERT_TRUE(provider_->PrintJobs(context(), nullptr, list.pages, fit));
    ASSERT_TRUE(provider_->PrintJobs(context(), nullptr, list.pages, scaled));
    ASSERT_TRUE(provider_->SelectPaper(context(), 1));  // A3
    ASSERT_TRUE(provider_->PrintJobs(context(), nullptr, list.pages, fit));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 3u);
    EXPECT_EQ(As<PluginJob5>(jobs[0]).standard_paper, -1);
    const PluginJob5 unfitted = As<PluginJob5>(jobs[1]);
    EXPECT_EQ(unfitted.standard_paper, 0);
    EXPECT_EQ(unfitted.fit, 0);
    EXPECT_EQ(unfitted.ratio_numerator, 2);
    EXPECT_EQ(unfitted.ratio_denominator, 3);
    EXPECT_EQ(As<PluginJob5>(jobs[2]).standard_paper, 1);
    EXPECT_NE(Log().find("SetPaper 1\n"), std::string::npos);
    EXPECT_NE(Log().find("SetStandardPaper 1\n"), std::string::npos);

    // A printer change starts again from the first paper and bin.
    ASSERT_TRUE(provider_->SelectBin(context(), 1));
    ASSERT_TRUE(PrintProviderSelectPrinterAt(provider_, context(), 1));
    EXPECT_EQ(provider_->GetCurrentPaper(), 0);
    EXPECT_EQ(provider_->GetCurrentBin(), 0);
    EXPECT_FALSE(provider_->SelectPaper(nullptr, 1));
}

// The 752-byte record of a plug-in without PL_Print5 carries the cut-out as
// fractions of the page, and a range longer than its 39 characters goes out
// as several jobs that together ask for exactly the chosen pages.
TEST_F(PluginProvider, SmallRecordsCarryFractionsAndSplitLongRanges) {
    ASSERT_NO_FATAL_FAILURE(Start("small", 40, "noprint5"));
    Ref<DocItem> first = DocItemGetChild(document_.get(), 0);
    Ref<CutOutState> cut_out = first->GetCutOut();
    const SizeD page = CutOutGetPageSize(cut_out.get());
    // Half the width and a quarter of the height, from a quarter across and half down.
    ASSERT_TRUE(CutOutSetRect(cut_out.get(),
                              RectD{{page.width / 2, page.height / 4}, {page.width / 4, page.height / 2}}));
    PageList list;
    std::vector<uint32_t> asked;
    for (uint32_t position = 0; position < 40; position += 2) {
        list.Add(document_.get(), {position});
        asked.push_back(position + 1);
    }
    ASSERT_TRUE(provider_->Print(context(), nullptr, list.pages, nullptr));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();  // "1,3,...,39" is 69 characters
    std::vector<uint32_t> printed;
    for (const Call& job : jobs) {
        EXPECT_EQ(job.line, "Print3 Probe printer A 752");
        const PluginJob3 record = As<PluginJob3>(job);
        const std::string ranges(record.ranges, strnlen(record.ranges, sizeof record.ranges));
        EXPECT_LE(ranges.size(), 39u);
        std::istringstream entries(ranges);
        for (std::string entry; std::getline(entries, entry, ',');) printed.push_back(std::stoul(entry));
        EXPECT_EQ(record.fit, 1);
        const double fractions[] = {0.25, 0.5, 0.75, 0.75};
        for (int i = 0; i < 4; ++i) EXPECT_NEAR(record.cut_out[i], fractions[i], 1e-12) << i;
        EXPECT_EQ(record.marker, 422);
        EXPECT_EQ(std::string(record.file_name), FileOf("x.tif"));
    }
    EXPECT_EQ(printed, asked);

    // Without cut-out only the whole page goes out: 0, 0, 1, 1.
    PluginJobOptions whole;
    whole.cut_out_only = false;
    PageList one;
    one.Add(document_.get(), {0});
    ASSERT_TRUE(provider_->PrintJobs(context(), nullptr, one.pages, whole));
    const std::vector<Call> after = Jobs();
    ASSERT_EQ(after.size(), 3u);
    const PluginJob3 whole_page = As<PluginJob3>(after[2]);
    EXPECT_EQ(std::vector<double>(whole_page.cut_out, whole_page.cut_out + 4),
              (std::vector<double>{0, 0, 1, 1}));

    // The plug-in is asked about an item with only its document kind.
    EXPECT_TRUE(provider_->CanPrintItem(first.get()));
    EXPECT_FALSE(provider_->CanPrintItem(document_.get()));  // the document, no page
    const std::vector<Call> asked_jobs = Jobs("CanPrint3");
    ASSERT_EQ(asked_jobs.size(), 1u);
    PluginJob3 only_kind{};
    only_kind.document_kind = 1;
    EXPECT_EQ(asked_jobs[0].record, BytesOf(only_kind));
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
    ASSERT_NO_FATAL_FAILURE(Start("tokens", 1));
    PageList list;
    list.Add(document_.get(), {0});
    ASSERT_TRUE(provider_->Print(context(), nullptr, list.pages, nullptr));
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
    ASSERT_NO_FATAL_FAILURE(Start("fail", 1));
    const std::wstring foreign = WindowsPathOf(dir_) + L"\\\u6f22\u5b57.tif";
    ASSERT_TRUE(CopyFileW(WindowsPathOf(dir_ + "/x.tif").c_str(), foreign.c_str(), FALSE));
    Ref<DocumentItem> remote = viewer_->Open(server.Url("/file/remote.tif"));
    Ref<DocumentItem> y = viewer_->Open(foreign);
    ASSERT_TRUE(remote && y);
    ASSERT_TRUE(PumpUntil([&] { return DocItemGetChildCount(remote.get()) == 2; }, 15000));
    PageList list;
    list.Add(remote.get(), {1});
    list.Add(y.get(), {0});
    EXPECT_FALSE(provider_->Print(context(), nullptr, list.pages, nullptr));
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 2u) << Log();
    const std::string copy = As<PluginJob5>(jobs[0]).file_name;
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
    EXPECT_EQ(std::string(As<PluginJob5>(jobs[0]).ranges), "2");
    // The short name's own forms are the record name's tests; here only that it is used.
    const std::string short_name = As<PluginJob5>(jobs[1]).file_name;
    EXPECT_EQ(short_name.find('?'), std::string::npos) << short_name;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    ASSERT_TRUE(GetFileAttributesExA(short_name.c_str(), GetFileExInfoStandard, &data)) << short_name;
    EXPECT_EQ(data.nFileSizeLow, ReadHostFile(dir_ + "/x.tif").size());
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
    ASSERT_NO_FATAL_FAILURE(Start("unnamed", 1));
    const std::wstring foreign = WindowsPathOf(dir_) + L"\\\u6f22\u5b57.tif";
    ASSERT_TRUE(CopyFileW(WindowsPathOf(dir_ + "/x.tif").c_str(), foreign.c_str(), FALSE));
    Ref<DocumentItem> gone = viewer_->Open(foreign);
    ASSERT_TRUE(gone);
    ASSERT_EQ(DocItemGetChildCount(gone.get()), 1u);
    // Gone from the disk, so it has no short name any more.
    ASSERT_TRUE(DeleteFileW(foreign.c_str()) || MoveFileExW(foreign.c_str(), nullptr, 0));
    PageList list;
    list.Add(gone.get(), {0});
    list.Add(document_.get(), {0});
    EXPECT_FALSE(provider_->Print(context(), nullptr, list.pages, nullptr));
    EXPECT_EQ(failures(), std::vector<std::wstring>{foreign});
    const std::vector<Call> jobs = Jobs();
    ASSERT_EQ(jobs.size(), 1u);
    EXPECT_EQ(std::string(As<PluginJob5>(jobs[0]).file_name), FileOf("x.tif"));
}
