// What the viewer knows of printing: the abstract print provider (the
// Windows spooler, a print plug-in), the entries it lists, the root's list
// of providers, and the printing layer that the shell installs to fill that
// list and to run a print. Without an installed layer the list stays empty
// and the viewer has no printer.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/contracts/printable_area.h"

class AppRoot;
class DocItem;
class ViewerContext;
struct PrintOptions;

class PrinterEntry : public RefCounted {
  public:
    WString name;
    WString location;
    WString comment;
};

class PaperBinEntry : public RefCounted {
  public:
    WString name;
    uint16_t code = 0;  // the driver's paper source number (spooler)
};

class PaperEntry : public RefCounted {
  public:
    WString name;
    double width_mm = -1;  // -1: unspecified
    double height_mm = -1;
    uint16_t code = 0;     // the driver's paper size number (spooler)
    uint8_t standard = 0;  // 1 for the plug-ins' five standard papers
    uint32_t index = 0;    // standard paper index, or the plug-in's own
};

// The features that the print dialog enables its controls by.
namespace print_feature {
inline constexpr uint32_t kOrientation = 0;
inline constexpr uint32_t kBins = 1;
inline constexpr uint32_t kPapers = 2;
inline constexpr uint32_t kCutOutOnly = 3;
inline constexpr uint32_t kFitToPage = 4;
inline constexpr uint32_t kRatio = 5;
inline constexpr uint32_t kMargins = 6;
inline constexpr uint32_t kCentring = 7;
inline constexpr uint32_t kRedlining = 8;
inline constexpr uint32_t kUserInformation = 9;
inline constexpr uint32_t kPropertiesDialog = 10;
inline constexpr uint32_t kUnnamed = 11;
inline constexpr uint32_t kCopies = 12;
inline constexpr uint32_t kCollation = 13;
inline constexpr uint32_t kColour = 14;
inline constexpr uint32_t kFold = 15;
inline constexpr uint32_t kCover = 16;
}  // namespace print_feature

// One way of printing. Operations that take a context do nothing and answer
// false or null when it is null. Getters of entries add a reference.
class PrintProvider : public RefCounted {
  public:
    virtual WString& GetName(WString& out) = 0;
    virtual bool Init() = 0;
    virtual bool LoadSettings(ViewerContext* context) = 0;
    virtual bool SaveSettings() = 0;
    virtual uint32_t GetPrinterCount() = 0;
    virtual Ref<PrinterEntry> GetPrinterAt(uint32_t index) = 0;
    virtual bool SelectPrinter(ViewerContext* context, const WString& name) = 0;
    virtual WString& GetCurrentPrinter(WString& out) = 0;
    // `pages` holds DocItems (borrowed by the call).
    virtual bool Print(ViewerContext* context, HWND parent, const PtrArray& pages, PrintOptions* options) = 0;
    virtual bool ShowProperties(ViewerContext* context, HWND parent) = 0;
    virtual bool HasFeature(uint32_t code) = 0;
    virtual bool CanPrintItem(DocItem* item) = 0;
    virtual uint32_t GetPaperCount() = 0;
    virtual Ref<PaperEntry> GetPaperAt(uint32_t index) = 0;
    virtual int32_t GetCurrentPaper() = 0;
    virtual bool SelectPaper(ViewerContext* context, uint32_t index) = 0;
    virtual uint32_t GetOrientation() = 0;
    virtual bool SetOrientation(ViewerContext* context, uint32_t value) = 0;
    virtual Ref<PrintableArea> GetPrintableArea() = 0;
    virtual uint32_t GetBinCount() = 0;
    virtual Ref<PaperBinEntry> GetBinAt(uint32_t index) = 0;
    virtual bool SelectBin(ViewerContext* context, uint32_t index) = 0;
    virtual int32_t GetCurrentBin() = 0;
    virtual WString& GetStatusText(WString& out, ViewerContext* context) = 0;
    virtual uint32_t GetCopies() = 0;
    virtual bool SetCopies(ViewerContext* context, uint32_t number) = 0;
    virtual bool GetCollate() = 0;
    virtual bool SetCollate(ViewerContext* context, bool on) = 0;

  protected:
    WString current_printer_;
};

// The root's providers: the spooler first when present, at most
// kMaxPrintProviders in all.
inline constexpr uint32_t kMaxPrintProviders = 10;
struct PrintProviders {
    PtrArray providers{2, true};
};

uint32_t PrintProvidersCount(const PrintProviders& list);
Ref<PrintProvider> PrintProvidersGet(const PrintProviders& list, uint32_t index);
// Appends while fewer than kMaxPrintProviders are held; false otherwise.
bool PrintProvidersAdd(PrintProviders& list, PrintProvider* provider);
// Lets every provider store its choices, in order, then empties the list.
void PrintProvidersRelease(PrintProviders& list);
// Selects the printer of that index: false when there is no such entry.
bool PrintProviderSelectPrinterAt(PrintProvider* provider, ViewerContext* context, uint32_t index);
// The name the File menu tells several providers apart by.
WString PrintProviderName(PrintProvider* provider);

// What the printing layer supplies; installed once per process by the shell
// before it makes its root. Null members leave that step out.
struct PrintLayer {
    // Adds the spooler's provider to the root's list when it is empty.
    void (*add_windows)(AppRoot* root) = nullptr;
    // Adds the print plug-ins found beside `module`.
    void (*load_plugins)(AppRoot* root, HMODULE module) = nullptr;
    // Prints `item` with `provider` over `owner`; true when a print ran.
    bool (*run_print)(ViewerContext* context, HWND owner, PrintProvider* provider, DocItem* item) = nullptr;
};
void PrintLayerInstall(const PrintLayer& layer);
PrintLayer PrintLayerGet();
// The root's start-up step: the spooler, then the plug-ins unless
// `load_plugins` is false.
void PrintProvidersFill(AppRoot* root, HMODULE module, bool load_plugins);

