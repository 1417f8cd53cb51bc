#include "viewer/app/print_dispatch.h"

#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/open_params.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/viewer_message.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

namespace {

constexpr uint32_t kPrintCommandBits = 0x4 | 0x40;

// What the switch "noprint" and the print restriction forbid, whatever road
// the print command came by (the accelerator reaches the viewer even while
// the menu item is disabled).
bool PrintPermitted(ViewerContext* context, DocItem* item) {
    Ref<OpenParams> params = item->GetOpenParams();
    if (params && !OpenParamsGetAllowPrint(params.get())) return false;
    return ViewerIsAllowed(context, 0, restriction::kPrint);
}

}  // namespace

bool ViewerCanPrintItem(DocItem* item) {
    if (!item) return false;
    if (item->GetCommandMask() & kPrintCommandBits) return true;
    if (DocItemGetType(item) != doc_type::kImage) return false;
    Ref<DocumentSource> source = item->GetSource();
    return source && SourceGetContentKind(source.get()) == kContentImage;
}

bool ViewerPrintDocument(ViewerContext* context, int32_t printer_index) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    if (!item) return false;
    if (!ViewerCanPrintItem(item.get()) || !PrintPermitted(context, item.get())) {
        ViewerShowMessage(context, text::kCannotPrint, kMessageError);
        return false;
    }
    Ref<AppRoot> app = ViewerGetApp(context);
    const uint32_t count = app ? PrintProvidersCount(app->print_providers) : 0;
    const uint32_t index = printer_index >= 0 && static_cast<uint32_t>(printer_index) < count
                               ? static_cast<uint32_t>(printer_index)
                               : 0;
    Ref<PrintProvider> provider = app ? PrintProvidersGet(app->print_providers, index) : nullptr;
    const PrintLayer layer = PrintLayerGet();
    if (!provider || !layer.run_print) return false;
    return layer.run_print(context, ViewerGetFrameHwnd(context), provider.get(), item.get());
}

uint32_t ViewerPrintProviderCount(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? PrintProvidersCount(app->print_providers) : 0;
}

void PrintMenuItemSuffix(ViewerContext* context, uint32_t index, uint32_t count, const wchar_t* shortcut,
                         WString& text) {
    if (count == 1) {
        WStrAppendChars(text, L"...\t");
        WStrAppendChars(text, shortcut);
        return;
    }
    Ref<AppRoot> app = ViewerGetApp(context);
    WStrAppendChars(text, L" (");
    if (app) WStrAppend(text, PrintProviderName(PrintProvidersGet(app->print_providers, index).get()));
    WStrAppendChars(text, L")");
}
