// The print provider of the Windows spooler: lists the local and connected
// printers, knows the default printer and keeps one PrinterDevice with the
// chosen printer's settings, papers and bins.
#pragma once

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "printing/printer_device.h"
#include "viewer/contracts/print_provider.h"

class WinPrintProvider : public PrintProvider {
  public:
    // `name`: what the menus show for the spooler (text 2930).
    explicit WinPrintProvider(const WString& name) : name_(name) {}
    WString& GetName(WString& out) override;
    bool Init() override;
    bool LoadSettings(ViewerContext* context) override;
    bool SaveSettings() override { return true; }
    uint32_t GetPrinterCount() override;
    Ref<PrinterEntry> GetPrinterAt(uint32_t index) override;
    bool SelectPrinter(ViewerContext* context, const WString& name) override;
    WString& GetCurrentPrinter(WString& out) override;
    bool Print(ViewerContext* context, HWND parent, const PtrArray& pages, PrintOptions* options) override;
    bool ShowProperties(ViewerContext* context, HWND parent) override;
    bool HasFeature(uint32_t code) override;
    bool CanPrintItem(DocItem* item) override;
    uint32_t GetPaperCount() override;
    Ref<PaperEntry> GetPaperAt(uint32_t index) override;
    int32_t GetCurrentPaper() override;
    bool SelectPaper(ViewerContext* context, uint32_t index) override;
    uint32_t GetOrientation() override;
    bool SetOrientation(ViewerContext* context, uint32_t value) override;
    Ref<PrintableArea> GetPrintableArea() override;
    uint32_t GetBinCount() override;
    Ref<PaperBinEntry> GetBinAt(uint32_t index) override;
    bool SelectBin(ViewerContext* context, uint32_t index) override;
    int32_t GetCurrentBin() override;
    WString& GetStatusText(WString& out, ViewerContext* context) override;
    uint32_t GetCopies() override;
    bool SetCopies(ViewerContext* context, uint32_t number) override;
    bool GetCollate() override;
    bool SetCollate(ViewerContext* context, bool on) override;

    // The device (null before Init), for the print job and the tests.
    Ref<PrinterDevice> GetDevice();
    WString DefaultPrinterName();

  private:
    void ReadPrinters();
    void ReadBins();
    void ReadPapers();

    CriticalSection lock_;  // the three lists and the names
    PtrArray printers_{16, true};
    PtrArray bins_{4, true};
    PtrArray papers_{32, true};
    Ref<PrinterDevice> device_;
    WString default_printer_;
    const WString name_;
};

// The spooler's default printer through its query exported by ordinal 203
// (GetDefaultPrinterW); empty when there is none.
WString SpoolerDefaultPrinter();
