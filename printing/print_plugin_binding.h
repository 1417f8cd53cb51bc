// One loaded print plug-in: its library, the version and print server type
// it reported, the printer it was told to use, and its entry points. Every
// call into the library runs under the binding's lock; a missing entry
// point or a closed library answers false, 0 or an empty string, and no
// entry point is ever called with an empty string.
#pragma once

#include <cstdint>

#include "foundation/dll_handle.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "printing/print_plugin_interface.h"

class PrintPluginBinding : public RefCounted {
  public:
    ~PrintPluginBinding() override;

    bool Close();
    bool ReadPrinters(const WString& path);
    uint32_t GetPrinterCount();
    WString GetPrinter(uint32_t index);
    bool SetPrinterName(const WString& name);
    bool HasSupport(int32_t feature);
    bool CanPrint3(void* job);
    bool Print3(HWND parent, void* job);
    bool Print5(HWND parent, void* job);
    bool HasPrint5();
    bool SupportPaper(int32_t standard_index);
    uint16_t GetPaperCount();
    WString GetPaperName(uint32_t index);
    bool SetStandardPaper(int32_t standard_index);
    bool SetPaper(int32_t index);
    bool SetOrientation(bool landscape);
    // Left, top, right and bottom in mm.
    bool GetPrintableArea(double area[4]);
    uint16_t GetPaperBinCount();
    WString GetPaperBinName(uint32_t index);
    bool SetPaperBin(int32_t index);
    bool SetStdToken(int32_t token, const WString& value);

    WString GetServerType();
    WString GetCurrentPrinter();
    int32_t major_version = 0;
    int32_t minor_version = 0;

  private:
    friend Ref<PrintPluginBinding> PrintPluginLoad(const WString& path);
    WString Text(FARPROC entry, uint32_t index, uint32_t size);
    bool Job(FARPROC entry, HWND parent, void* job, int32_t size, bool with_parent);

    CriticalSection lock_;
    DllHandle library_;
    WString server_type_;
    WString current_printer_;
    struct {
        FARPROC close, read_printers, get_printer_count, get_printer, set_printer_name, has_support,
            can_print3, print3, print5, support_paper, get_paper_count, get_paper_name, set_standard_paper,
            set_paper, set_orientation, get_printable_area, get_paper_bin_count, get_paper_bin_name,
            set_paper_bin, set_std_token;
    } entries_{};
};

// Loads the plug-in at `path` and checks it (type 2, major version 4 or
// more, PL_Init and PL_GetPrintServerType succeed); null, with the library
// freed, when any step fails.
Ref<PrintPluginBinding> PrintPluginLoad(const WString& path);
