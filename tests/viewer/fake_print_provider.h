// A print provider that prints nothing and answers every question with
// "none": for the viewer's tests of the print commands and menus, which
// need providers but no printing layer.
#pragma once

#include "viewer/contracts/print_provider.h"

class FakePrintProvider : public PrintProvider {
  public:
    explicit FakePrintProvider(const wchar_t* name = L"Fake") : name_(name) {}
    WString& GetName(WString& out) override { return WStrAssign(out, name_); }
    bool Init() override { return true; }
    bool LoadSettings(ViewerContext*) override { return false; }
    bool SaveSettings() override { return true; }
    uint32_t GetPrinterCount() override { return 0; }
    Ref<PrinterEntry> GetPrinterAt(uint32_t) override { return nullptr; }
    bool SelectPrinter(ViewerContext*, const WString&) override { return false; }
    WString& GetCurrentPrinter(WString& out) override { return WStrClear(out); }
    bool Print(ViewerContext*, HWND, const PtrArray&, PrintOptions*) override { return false; }
    bool ShowProperties(ViewerContext*, HWND) override { return false; }
    bool HasFeature(uint32_t) override { return false; }
    bool CanPrintItem(DocItem*) override { return false; }
    uint32_t GetPaperCount() override { return 0; }
    Ref<PaperEntry> GetPaperAt(uint32_t) override { return nullptr; }
    int32_t GetCurrentPaper() override { return -1; }
    bool SelectPaper(ViewerContext*, uint32_t) override { return false; }
    uint32_t GetOrientation() override { return 0; }
    bool SetOrientation(ViewerContext*, uint32_t) override { return false; }
    Ref<PrintableArea> GetPrintableArea() override { return nullptr; }
    uint32_t GetBinCount() override { return 0; }
    Ref<PaperBinEntry> GetBinAt(uint32_t) override { return nullptr; }
    bool SelectBin(ViewerContext*, uint32_t) override { return false; }
    int32_t GetCurrentBin() override { return -1; }
    WString& GetStatusText(WString& out, ViewerContext*) override { return WStrClear(out); }
    uint32_t GetCopies() override { return 1; }
    bool SetCopies(ViewerContext*, uint32_t) override { return false; }
    bool GetCollate() override { return false; }
    bool SetCollate(ViewerContext*, bool) override { return false; }

  private:
    WString name_;
};
