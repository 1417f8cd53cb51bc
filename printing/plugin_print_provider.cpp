#include "printing/plugin_print_provider.h"

#include <algorithm>

#include "foundation/registry.h"
#include "imaging/formats/image_format.h"
#include "printing/print_options.h"
#include "resources/text_ids.h"
#include "viewer/core/settings.h"
#include "viewer/core/variable_list.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/model/cut_out_state.h"

namespace {

// PL_HasSupport codes of the plug-in interface.
namespace support {
inline constexpr int32_t kOrientation = 0;
inline constexpr int32_t kBins = 2;
inline constexpr int32_t kPapers = 3;
inline constexpr int32_t kFitToPage = 5;
inline constexpr int32_t kRatio = 6;
inline constexpr int32_t kUserInformation = 8;
inline constexpr int32_t kFold = 12;
inline constexpr int32_t kCover = 13;
inline constexpr int32_t kNoCopies = 14;
inline constexpr int32_t kCollation = 15;
inline constexpr int32_t kColour = 16;
inline constexpr int32_t kPrintableArea = 17;
inline constexpr int32_t kNoCutOutOnly = 18;
}  // namespace support

struct StandardPaper {
    const wchar_t* name;
    double width_mm;
    double height_mm;
};
constexpr StandardPaper kStandardPapers[kPluginStandardPaperCount] = {
    {L"A4", 210, 297}, {L"A3", 297, 420}, {L"A2", 420, 594}, {L"A1", 594, 841}, {L"A0", 841, 1189},
};
// The printable area without the plug-in's answer or a sized paper: A0.
constexpr double kLargestPaperWidth = 841;
constexpr double kLargestPaperHeight = 1189;
constexpr double kPluginPixelsPerMm = 10;
// More printers than any print server holds is a plug-in answering garbage
// (a count of 2^31 would keep the print dialog listing for hours); the
// list stops there.
constexpr uint32_t kMaxPluginPrinters = 1024;
// Likewise for papers and bins: 65535 of them (the most a 16-bit count
// gives) would keep the dialog filling its lists far longer than a user waits.
constexpr uint16_t kMaxPluginPapers = 256;
constexpr uint16_t kMaxPluginBins = 256;

// The tokens a plug-in may print on its pages, with the variables they come from.
struct StandardToken {
    const wchar_t* variable;
    int32_t number;
};
constexpr StandardToken kStandardTokens[] = {
    {L"COMPANY", 0}, {L"COSTCENTER", 1}, {L"DIVISION", 3}, {L"PHONE", 7},
    {L"DATE", 2},    {L"TIME", 8},       {L"USERNAME", 9},
};

void ShowJobFailure(ViewerContext* context, HWND parent, const WString& path) {
    WString message = ViewerGetText(context, text::kCannotPrint);
    WStrAppendChars(message, L"\n\n");
    WStrAppend(message, path);
    MessageBoxW(parent, WStrCStr(message), ViewerGetText(context, text::kError), MB_ICONERROR);
}

// The value names under the user's key, after the plug-in's server type.
WString ValueName(const WString& server_type, const wchar_t* suffix) {
    WString name = L"PRTDLL_";
    WStrAppend(name, server_type);
    return WStrAppendChars(name, suffix);
}
constexpr wchar_t kPrinterSuffix[] = L"_CURPRINTER";
constexpr wchar_t kPaperSuffix[] = L"_PAPERINDEX";
constexpr wchar_t kBinSuffix[] = L"_PAPERBININDEX";

// Without options a job prints as the print dialog's defaults would.
PluginJobOptions JobOptionsOf(const PrintOptions* options) {
    PluginJobOptions job;
    if (options) {
        job.fit = options->fit != 0;
        job.cut_out_only = options->cut_out_only != 0;
        job.ratio_numerator = options->ratio_numerator;
        job.ratio_denominator = options->ratio_denominator;
        job.collate = options->collate != 0;
        job.fold = options->fold != 0;
        job.cover = options->cover != 0;
    }
    return job;
}

}  // namespace

PluginPrintProvider::PluginPrintProvider(PrintPluginBinding* binding, const WString& path)
    : binding_(binding), path_(path), failure_report_(ShowJobFailure) {}

WString& PluginPrintProvider::GetName(WString& out) { return WStrAssign(out, binding_->GetServerType()); }

bool PluginPrintProvider::Init() {
    // The plug-in keeps its printer list in a file beside it.
    WString list;
    WStrStripExtension(path_, list);
    WStrAppendChars(list, L".sts");
    return binding_->ReadPrinters(list);
}

uint32_t PluginPrintProvider::GetPrinterCount() {
    return std::min(binding_->GetPrinterCount(), kMaxPluginPrinters);
}

Ref<PrinterEntry> PluginPrintProvider::GetPrinterAt(uint32_t index) {
    WString name = binding_->GetPrinter(index);
    if (!WStrLength(name)) return nullptr;
    Ref<PrinterEntry> entry = MakeRef<PrinterEntry>();
    entry->name = name;
    return entry;
}

bool PluginPrintProvider::LoadSettings(ViewerContext* context) {
    if (!context || !binding_ || WStrLength(binding_->GetCurrentPrinter())) return false;
    const WString type = binding_->GetServerType();
    WString printer;
    int32_t paper = 0, bin = 0;
    if (RegKey key = RegOpen(HKEY_CURRENT_USER, kSettingsKeyPath, true)) {
        RegGetString(key.get(), WStrCStr(ValueName(type, kPrinterSuffix)), printer);
        if (!RegGetInt(key.get(), WStrCStr(ValueName(type, kPaperSuffix)), paper)) paper = 0;
        if (!RegGetInt(key.get(), WStrCStr(ValueName(type, kBinSuffix)), bin)) bin = 0;
    }
    if (WStrLength(printer) && SelectPrinter(context, printer)) {
        SelectPaper(context, static_cast<uint32_t>(paper));
        SelectBin(context, static_cast<uint32_t>(bin));
        return true;
    }
    return PrintProviderSelectPrinterAt(this, context, 0);
}

bool PluginPrintProvider::SaveSettings() {
    const WString printer = binding_ ? binding_->GetCurrentPrinter() : WString();
    if (!WStrLength(printer)) return false;
    RegKey key = RegOpen(HKEY_CURRENT_USER, kSettingsKeyPath, false);
    if (!key) return false;
    const WString type = binding_->GetServerType();
    // Indices are kept as the signed numbers the registry's text holds.
    const bool saved = RegSetString(key.get(), WStrCStr(ValueName(type, kPrinterSuffix)), printer);
    const bool paper =
        RegSetInt(key.get(), WStrCStr(ValueName(type, kPaperSuffix)), static_cast<int32_t>(paper_));
    const bool bin = RegSetInt(key.get(), WStrCStr(ValueName(type, kBinSuffix)), static_cast<int32_t>(bin_));
    return saved && paper && bin;
}

bool PluginPrintProvider::SelectPrinter(ViewerContext* context, const WString& name) {
    if (!context || !binding_) return false;
    const bool ok = binding_->SetPrinterName(name);
    if (ok) current_printer_ = name;
    // Whatever the plug-in answered, its papers may have changed.
    RebuildPapers();
    paper_ = 0;
    bin_ = 0;
    return ok;
}

void PluginPrintProvider::RebuildPapers() {
    PtrArrayClear(papers_);
    for (uint32_t i = 0; i < kPluginStandardPaperCount; ++i) {
        if (!binding_->SupportPaper(static_cast<int32_t>(i))) continue;
        Ref<PaperEntry> entry = MakeRef<PaperEntry>();
        entry->name = kStandardPapers[i].name;
        entry->width_mm = kStandardPapers[i].width_mm;
        entry->height_mm = kStandardPapers[i].height_mm;
        entry->standard = 1;
        entry->index = i;
        PtrArrayAdd(papers_, entry.get());
    }
    const uint16_t own = std::min(binding_->GetPaperCount(), kMaxPluginPapers);
    for (uint32_t i = 0; i < own; ++i) {
        WString name = binding_->GetPaperName(i);
        if (!WStrLength(name)) continue;
        Ref<PaperEntry> entry = MakeRef<PaperEntry>();
        entry->name = name;
        entry->index = i;
        PtrArrayAdd(papers_, entry.get());
    }
}

Ref<PaperEntry> PluginPrintProvider::GetPaperAt(uint32_t index) {
    return PtrArrayGetAs<PaperEntry>(papers_, index);
}

bool PluginPrintProvider::SelectPaper(ViewerContext* context, uint32_t index) {
    Ref<PaperEntry> entry = GetPaperAt(index);
    if (!context || !entry) return false;
    const bool ok = entry->standard ? binding_->SetStandardPaper(static_cast<int32_t>(entry->index))
                                    : binding_->SetPaper(static_cast<int32_t>(entry->index & 0xFFFF));
    if (ok) paper_ = index;
    return ok;
}

int32_t PluginPrintProvider::CurrentStandardPaper() {
    Ref<PaperEntry> entry = GetPaperAt(paper_);
    return entry && entry->standard ? static_cast<int32_t>(entry->index) : kPluginNoStandardPaper;
}

Ref<PrintableArea> PluginPrintProvider::GetPrintableArea() {
    if (binding_->HasSupport(support::kPrintableArea)) {
        double edges[4];
        if (binding_->GetPrintableArea(edges)) {
            const RectD printable{{edges[2] - edges[0], edges[3] - edges[1]}, {edges[0], edges[1]}};
            return PrintableAreaFromMm({edges[2], edges[3]}, printable, kPluginPixelsPerMm,
                                       kPluginPixelsPerMm);
        }
    }
    double width = kLargestPaperWidth, height = kLargestPaperHeight;
    if (Ref<PaperEntry> paper = GetPaperAt(paper_)) {
        if (paper->width_mm > 0) {
            width = paper->width_mm;
            height = paper->height_mm > 0 ? paper->height_mm : paper->width_mm;
        } else if (paper->height_mm > 0) {
            width = height = paper->height_mm;
        }
    }
    const SizeD corner = landscape_ ? SizeD{height, width} : SizeD{width, height};
    return PrintableAreaFromMm(corner, RectD{corner, {0, 0}}, kPluginPixelsPerMm, kPluginPixelsPerMm);
}

bool PluginPrintProvider::CanPrintItem(DocItem* item) {
    if (!binding_ || !item) return false;
    if (!(DocItemGetType(item) & (doc_type::kPage | doc_type::kComparison | doc_type::kComparisonPage)))
        return false;
    Ref<DocumentSource> source = item->GetSource();
    Ref<ImageFormat> format = source ? SourceGetFormat(source.get()) : nullptr;
    if (format) {
        // The plug-in is asked, but every item of a printable type may print.
        PluginJob3 record{};
        record.document_kind = PluginDocumentKind(format->FormatOrdinal());
        binding_->CanPrint3(&record);
    }
    return true;
}

bool PluginPrintProvider::Print(ViewerContext* context, HWND parent, const PtrArray& pages,
                                PrintOptions* options) {
    return PrintJobs(context, parent, pages, JobOptionsOf(options));
}

bool PluginPrintProvider::PrintJobs(ViewerContext* context, HWND parent, const PtrArray& pages,
                                    const PluginJobOptions& options) {
    if (!context || !binding_) return false;
    bool result = true;
    if (Ref<VariableList> variables = ViewerGetVariableList(context)) {
        for (const StandardToken& token : kStandardTokens) {
            Ref<Variable> variable = VarListFind(variables.get(), token.variable);
            WString value;
            if (variable && WStrLength(variable->GetValue(value, context, nullptr)))
                binding_->SetStdToken(token.number, value);
        }
    }
    // Consecutive pages of one document make one job.
    Ref<DocItem> first;
    Ref<DocumentSource> document;
    std::vector<uint32_t> indices;
    for (uint32_t i = 0; i < pages.count; ++i) {
        Ref<DocItem> item = PtrArrayGetAs<DocItem>(pages, i);
        Ref<DocumentSource> source = item ? item->GetSource() : nullptr;
        if (!source || item->GetPageIndex() == kNoPageIndex) continue;
        if (source != document) {
            if (first && !SendJob(context, parent, first.get(), indices, options)) result = false;
            first = item;
            document = source;
            indices.clear();
        }
        indices.push_back(item->GetPageIndex());
    }
    if (first && !SendJob(context, parent, first.get(), indices, options)) result = false;
    return result;
}

bool PluginPrintProvider::SendJob(ViewerContext* context, HWND parent, DocItem* first_page,
                                  const std::vector<uint32_t>& pages, const PluginJobOptions& options) {
    Ref<DocumentSource> source = first_page->GetSource();
    // The plug-in reads the file itself, so it gets the local file that holds
    // the data: for a downloaded document the viewer's temporary copy, made
    // now when the download was kept in memory.
    WString local;
    if (!WStrLength(SourceGetLocalFileName(source.get(), local)) &&
        SourceSaveDataToTemp(source.get(), context))
        SourceGetLocalFileName(source.get(), local);
    auto report_failure = [&] {
        WString shown;
        if (failure_report_)
            failure_report_(context, parent, WStrLength(local) ? local : SourceGetPath(source.get(), shown));
        return false;
    };
    PluginJobContent content;
    if (!PluginRecordFileName(local, content.file_name)) return report_failure();
    Ref<ImageFormat> format = SourceGetFormat(source.get());
    content.document_kind = format ? PluginDocumentKind(format->FormatOrdinal()) : 0;
    content.page_count = format ? format->PageCount() : 0;
    content.copies = copies_;
    content.options = options;
    content.standard_paper = CurrentStandardPaper();
    if (Ref<CutOutState> cut_out = first_page->GetCutOut()) {
        content.page_size = CutOutGetPageSize(cut_out.get());
        CutOutGetRect(cut_out.get(), content.cut_out);
    }
    const bool large = binding_->HasPrint5();
    bool sent = true;
    // A range text too long for its field goes out as several jobs.
    for (const AString& ranges :
         PluginRangeTexts(pages, (large ? kPluginRanges5Bytes : kPluginRanges3Bytes) - 1)) {
        content.ranges = ranges;
        if (large) {
            PluginJob5 record;
            PluginJobFill5(content, record);
            if (!binding_->Print5(parent, &record)) sent = false;
        } else {
            PluginJob3 record;
            PluginJobFill3(content, record);
            if (!binding_->Print3(parent, &record)) sent = false;
        }
    }
    // A job the plug-in refused printed nothing: the user hears of it, as
    // of a file the plug-in cannot be given.
    return sent || report_failure();
}

WString& PluginPrintProvider::GetCurrentPrinter(WString& out) {
    return WStrAssign(out, binding_->GetCurrentPrinter());
}

bool PluginPrintProvider::HasFeature(uint32_t code) {
    namespace f = print_feature;
    switch (code) {
        case f::kOrientation:
            return binding_->HasSupport(support::kOrientation);
        case f::kBins:
            return binding_->HasSupport(support::kBins);
        case f::kPapers:
            return binding_->HasSupport(support::kPapers);
        case f::kCutOutOnly:
            return !binding_->HasSupport(support::kNoCutOutOnly);
        case f::kFitToPage:
            return binding_->HasSupport(support::kFitToPage);
        case f::kRatio:
            return binding_->HasSupport(support::kRatio);
        case f::kUserInformation:
            return binding_->HasSupport(support::kUserInformation);
        case f::kCopies:
            return !binding_->HasSupport(support::kNoCopies);
        // Collation travels only in the larger job record of PL_Print5.
        case f::kCollation:
            return binding_->HasPrint5() && binding_->HasSupport(support::kCollation);
        case f::kColour:
            return binding_->HasSupport(support::kColour);
        case f::kFold:
            return binding_->HasSupport(support::kFold);
        case f::kCover:
            return binding_->HasSupport(support::kCover);
        default:
            return false;
    }
}

bool PluginPrintProvider::SetOrientation(ViewerContext* context, uint32_t value) {
    if (!context || !binding_ || value == landscape_) return false;
    if (!binding_->SetOrientation(value != 0)) return false;
    landscape_ = value;
    return true;
}

uint32_t PluginPrintProvider::GetBinCount() { return std::min(binding_->GetPaperBinCount(), kMaxPluginBins); }

Ref<PaperBinEntry> PluginPrintProvider::GetBinAt(uint32_t index) {
    WString name = binding_->GetPaperBinName(index);
    if (!WStrLength(name)) return nullptr;
    Ref<PaperBinEntry> entry = MakeRef<PaperBinEntry>();
    entry->name = name;
    return entry;
}

bool PluginPrintProvider::SelectBin(ViewerContext* context, uint32_t index) {
    if (!context || !binding_->SetPaperBin(static_cast<int32_t>(index))) return false;
    bin_ = index;
    return true;
}

bool PluginPrintProvider::SetCopies(ViewerContext* context, uint32_t number) {
    copies_ = number;
    return true;
}
