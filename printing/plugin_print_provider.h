// Stand-in: no paper list, no remembered choices, no job records; a plug-in provider lists printers and bins,
// answers features and prints nothing. The print provider of one print plug-in: the provider's operations
// become calls of the plug-in's entry points through its binding.
#pragma once

#include "printing/print_plugin_binding.h"
#include "viewer/contracts/print_provider.h"

class PluginPrintProvider : public PrintProvider {
  public:
    PluginPrintProvider(PrintPluginBinding* binding, const WString& path);

    WString& GetName(WString& out) override;
    bool Init() override;
    bool LoadSettings(ViewerContext* context) override { return false; }
    bool SaveSettings() override { return true; }
    uint32_t GetPrinterCount() override;
    Ref<PrinterEntry> GetPrinterAt(uint32_t index) override;
    bool SelectPrinter(ViewerContext* context, const WString& name) override;
    WString& GetCurrentPrinter(WString& out) override;
    bool Print(ViewerContext* context, HWND parent, const PtrArray& pages, PrintOptions* options) override {
        return false;
    }
    bool ShowProperties(ViewerContext* context, HWND parent) override { return false; }
    bool HasFeature(uint32_t code) override;
    bool CanPrintItem(DocItem* item) override { return false; }
    uint32_t GetPaperCount() override { return 0; }
    Ref<PaperEntry> GetPaperAt(uint32_t index) override { return nullptr; }
    int32_t GetCurrentPaper() override { return static_cast<int32_t>(paper_); }
    bool SelectPaper(ViewerContext* context, uint32_t index) override { return false; }
    uint32_t GetOrientation() override { return landscape_; }
    bool SetOrientation(ViewerContext* context, uint32_t value) override;
    Ref<PrintableArea> GetPrintableArea() override { return nullptr; }
    uint32_t GetBinCount() override;
    Ref<PaperBinEntry> GetBinAt(uint32_t index) override;
    bool SelectBin(ViewerContext* context, uint32_t index) override;
    int32_t GetCurrentBin() override { return static_cast<int32_t>(bin_); }
    WString& GetStatusText(WString& out, ViewerContext* context) override { return WStrClear(out); }
    uint32_t GetCopies() override { return copies_; }
    bool SetCopies(ViewerContext* context, uint32_t number) override;
    bool GetCollate() override { return false; }
    bool SetCollate(ViewerContext* context, bool on) override { return false; }

    PrintPluginBinding* binding() const { return binding_.get(); }

  private:
    Ref<PrintPluginBinding> binding_;
    WString path_;
    uint32_t paper_ = 0;
    uint32_t bin_ = 0;
    uint32_t copies_ = 1;
    uint32_t landscape_ = 0;
};
