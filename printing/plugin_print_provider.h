// The print provider of one print plug-in: the provider's operations become
// calls of the plug-in's entry points through its binding. It keeps the
// plug-in's paper list, remembers the chosen printer, paper and bin under the
// user's key, and prints by sending the plug-in one job record per document
// (the plug-in renders by itself; it gets no image data).
#pragma once

#include <vector>

#include "printing/plugin_job_record.h"
#include "printing/print_plugin_binding.h"
#include "viewer/contracts/print_provider.h"

// The five standard papers every plug-in is asked about, by standard index.
inline constexpr uint32_t kPluginStandardPaperCount = 5;

// Told about a job that could not be sent because its file has no name the
// plug-in can read; the provider's default shows an error box over `parent`.
using PluginJobFailureReport = void (*)(ViewerContext* context, HWND parent, const WString& path);

class PluginPrintProvider : public PrintProvider {
  public:
    PluginPrintProvider(PrintPluginBinding* binding, const WString& path);

    WString& GetName(WString& out) override;
    bool Init() override;
    bool LoadSettings(ViewerContext* context) override;
    bool SaveSettings() override;
    uint32_t GetPrinterCount() override;
    Ref<PrinterEntry> GetPrinterAt(uint32_t index) override;
    bool SelectPrinter(ViewerContext* context, const WString& name) override;
    WString& GetCurrentPrinter(WString& out) override;
    bool Print(ViewerContext* context, HWND parent, const PtrArray& pages, PrintOptions* options) override;
    bool ShowProperties(ViewerContext* context, HWND parent) override { return false; }
    bool HasFeature(uint32_t code) override;
    bool CanPrintItem(DocItem* item) override;
    uint32_t GetPaperCount() override { return papers_.count; }
    Ref<PaperEntry> GetPaperAt(uint32_t index) override;
    int32_t GetCurrentPaper() override { return static_cast<int32_t>(paper_); }
    bool SelectPaper(ViewerContext* context, uint32_t index) override;
    uint32_t GetOrientation() override { return landscape_; }
    bool SetOrientation(ViewerContext* context, uint32_t value) override;
    Ref<PrintableArea> GetPrintableArea() override;
    uint32_t GetBinCount() override;
    Ref<PaperBinEntry> GetBinAt(uint32_t index) override;
    bool SelectBin(ViewerContext* context, uint32_t index) override;
    int32_t GetCurrentBin() override { return static_cast<int32_t>(bin_); }
    WString& GetStatusText(WString& out, ViewerContext* context) override { return WStrClear(out); }
    uint32_t GetCopies() override { return copies_; }
    bool SetCopies(ViewerContext* context, uint32_t number) override;
    bool GetCollate() override { return false; }
    bool SetCollate(ViewerContext* context, bool on) override { return false; }

    // Print with the options already reduced to what a job record carries.
    bool PrintJobs(ViewerContext* context, HWND parent, const PtrArray& pages,
                   const PluginJobOptions& options);

    PrintPluginBinding* binding() const { return binding_.get(); }
    void set_failure_report(PluginJobFailureReport report) { failure_report_ = report; }

  private:
    void RebuildPapers();
    // The standard index of the current paper, or kPluginNoStandardPaper.
    int32_t CurrentStandardPaper();
    bool SendJob(ViewerContext* context, HWND parent, DocItem* first_page, const std::vector<uint32_t>& pages,
                 const PluginJobOptions& options);

    Ref<PrintPluginBinding> binding_;
    WString path_;
    PtrArray papers_{8, true};  // PaperEntry
    PluginJobFailureReport failure_report_;
    uint32_t paper_ = 0;
    uint32_t bin_ = 0;
    uint32_t copies_ = 1;
    uint32_t landscape_ = 0;
};
