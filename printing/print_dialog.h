// The print dialog: the providers' printers, paper, bin and orientation, the
// place of the page on the paper, the pages and the options, with a preview
// of the result. On OK the chosen pages and options go to the provider's
// Print. The options outlive the dialog in the root, so the next dialog of
// the program run starts from the user's last choice.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "imaging/formats/page_placement.h"
#include "printing/print_options.h"

class DocItem;
class PrintProvider;
class RasterImage;
class ViewerContext;

struct PrintPageEntry {
    Ref<DocItem> page;
    bool selected = false;
    uint32_t depth = 0;
};

// One line of the printer list: a printer of one provider.
struct PrintPrinterLine {
    uint32_t provider = 0;
    uint32_t printer = 0;
};

class PrintDialog : public RefCounted {
  public:
    ~PrintDialog() override;  // the options go back to the root

    Ref<ViewerContext> context;
    Ref<DocItem> item;
    Ref<PrintOptions> options;
    uint32_t provider_index = 0;  // the current provider among the root's
    std::vector<PrintPageEntry> entries;
    int32_t shown = -1;  // entry shown in the preview
    RectI preview_box;   // dialog client coordinates
    std::vector<PrintPrinterLine> printer_lines;
    HWND window = nullptr;
    bool opened = false;  // edits store their value only once the dialog is open
    // The last preview image and what produced it.
    Ref<RasterImage> cached_image;
    int32_t cached_page = -1;
    PagePlacement cached_request{};
};

Ref<PrintDialog> PrintDialogCreate(ViewerContext* context, DocItem* item);
// Runs dialog 175 modally; 1 for OK (the pages were handed to the provider),
// 2 for Close, -1 when it could not be shown.
INT_PTR PrintDialogRun(PrintDialog* dialog, HWND parent);
// What the print command runs: the dialog for `item`, `provider` current.
bool PrintDialogRunFor(ViewerContext* context, HWND owner, PrintProvider* provider, DocItem* item);

Ref<PrintProvider> PrintDialogProvider(PrintDialog* dialog);
// The printable pages of the document item, depth first.
void PrintDialogBuildEntries(PrintDialog* dialog);
// Applies the options' range to the entries' flags and the shown page.
void PrintDialogApplyRange(PrintDialog* dialog);
// The selected pages, in entry order (borrowed DocItems in an owning array).
uint32_t PrintDialogSelectedCount(const PrintDialog* dialog);

// Margins as the edits show and read them; inches when `inches`.
WString PrintMarginFormat(double mm, bool inches);
// Up to 25 characters, ',' as '.', kept only when above 0 and under 200 mm.
double PrintMarginParse(const wchar_t* text, bool inches);

// Whether each feature-dependent control is enabled.
struct PrintControlEnabling {
    int control;
    bool enabled;
};
std::vector<PrintControlEnabling> PrintDialogEnabling(PrintProvider* provider, const PrintOptions& options,
                                                      bool user_info_changeable);

// Paints the preview into `dc` (the dialog's client coordinates).
void PrintPreviewPaint(PrintDialog* dialog, HDC dc);
