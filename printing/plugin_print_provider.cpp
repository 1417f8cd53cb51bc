#include "printing/plugin_print_provider.h"

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
inline constexpr int32_t kNoCutOutOnly = 18;
}  // namespace support

}  // namespace

PluginPrintProvider::PluginPrintProvider(PrintPluginBinding* binding, const WString& path)
    : binding_(binding), path_(path) {}

WString& PluginPrintProvider::GetName(WString& out) { return WStrAssign(out, binding_->GetServerType()); }

bool PluginPrintProvider::Init() {
    // The plug-in keeps its printer list in a file beside it.
    WString list;
    WStrStripExtension(path_, list);
    WStrAppendChars(list, L".sts");
    return binding_->ReadPrinters(list);
}

uint32_t PluginPrintProvider::GetPrinterCount() { return binding_->GetPrinterCount(); }

Ref<PrinterEntry> PluginPrintProvider::GetPrinterAt(uint32_t index) {
    WString name = binding_->GetPrinter(index);
    if (!WStrLength(name)) return nullptr;
    Ref<PrinterEntry> entry = MakeRef<PrinterEntry>();
    entry->name = name;
    return entry;
}

bool PluginPrintProvider::SelectPrinter(ViewerContext* context, const WString& name) {
    const bool ok = binding_->SetPrinterName(name);
    if (ok) current_printer_ = name;
    paper_ = 0;
    bin_ = 0;
    return ok;
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
    if (value == landscape_) return true;
    if (!binding_->SetOrientation(value != 0)) return false;
    landscape_ = value;
    return true;
}

uint32_t PluginPrintProvider::GetBinCount() { return binding_->GetPaperBinCount(); }

Ref<PaperBinEntry> PluginPrintProvider::GetBinAt(uint32_t index) {
    WString name = binding_->GetPaperBinName(index);
    if (!WStrLength(name)) return nullptr;
    Ref<PaperBinEntry> entry = MakeRef<PaperBinEntry>();
    entry->name = name;
    return entry;
}

bool PluginPrintProvider::SelectBin(ViewerContext* context, uint32_t index) {
    if (!binding_->SetPaperBin(static_cast<int32_t>(index))) return false;
    bin_ = index;
    return true;
}

bool PluginPrintProvider::SetCopies(ViewerContext* context, uint32_t number) {
    copies_ = number;
    return true;
}
