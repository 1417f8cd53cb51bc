#include "viewer/app/action_listener.h"

#include "foundation/variant.h"
#include "viewer/app/app_root.h"
#include "viewer/app/document_controller.h"
#include "viewer/app/page_navigation.h"
#include "viewer/app/pane_modes.h"
#include "viewer/app/print_dispatch.h"
#include "viewer/app/registered_program.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/command_line.h"
#include "viewer/core/commands.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/document_saving.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/open_request.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/scale.h"
#include "viewer/core/view_operations.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/about_dialog.h"
#include "viewer/dialogs/bitmap_export_dialog.h"
#include "viewer/dialogs/convert_dialog.h"
#include "viewer/dialogs/document_properties.h"
#include "viewer/dialogs/info_box.h"
#include "viewer/dialogs/scale_dialog.h"
#include "viewer/dialogs/settings_sheet.h"
#include "viewer/dialogs/variables_dialog.h"
#include "viewer/dialogs/zoom_dialog.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"
#include "viewer/extensions/extension_host.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/context_menu.h"
#include "viewer/windows/frame_window.h"
#include "viewer/windows/recent_files.h"

namespace {

constexpr wchar_t kWebSiteUrl[] = L"https://www.ostrel.de/plovex/";
constexpr uint32_t kViewerCaller = 0;
constexpr int32_t kStepForward = 90;

int32_t IntArgument(HubEvent* event, int32_t fallback) {
    Variant argument;
    HubEventGetArg(event, argument);
    return argument.tag == kVariantEmpty ? fallback : VariantToInt(argument);
}

// The event's object when it is of the type the action expects.
template <class T>
Ref<T> ObjectArgument(HubEvent* event) {
    Variant argument;
    HubEventGetArg(event, argument);
    Ref<RefCounted> object = VariantGetObject(argument);
    return Ref<T>(dynamic_cast<T*>(object.get()));
}

void OpenRequested(ViewerContext* context, HubEvent* event) {
    if (Ref<OpenRequest> request = ObjectArgument<OpenRequest>(event)) {
        ViewerOpenDocument(context, request->paths, nullptr, request->mode);
    }
}

void OpenCommandLine(ViewerContext* context, HubEvent* event) {
    Ref<CmdLine> command_line = ObjectArgument<CmdLine>(event);
    const uint32_t count = CmdLineGetFileCount(command_line.get());
    if (count == 0) return;
    WString paths;
    for (uint32_t i = 0; i < count; ++i) {
        if (i > 0) WStrAppendChar(paths, L'\t');
        WStrAppend(paths, CmdLineGetFileName(command_line.get(), i));
    }
    Ref<OpenParams> params = CmdLineGetOpenParams(command_line.get());
    ViewerOpenDocument(context, paths, params.get(), kOpenCommandLine);
}

void ShowConvertDialog(ViewerContext* context) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    if (!item) return;
    Ref<OpenParams> params = item->GetOpenParams();
    if (params && !OpenParamsGetAllowSave(params.get())) return;
    Ref<DocumentSource> source = item->GetSource();
    if (source) ConvertDialogShow(context, source.get(), ViewerGetFrameHwnd(context));
}

void ShowProperties(ViewerContext* context) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    // Checked here too: the command may come by a road whose menu item was
    // not disabled.
    if (!item || !item->CanShowProperties(context)) return;
    Ref<DocItem> document = DocItemFindDocument(item.get(), context);
    DocItem* page = item->GetPageIndex() != kNoPageIndex ? item.get() : nullptr;
    ShowDocumentProperties(context, document ? document.get() : item.get(), page);
}

void OpenRecentFile(ViewerContext* context, int32_t index) {
    Ref<AppRoot> app = ViewerGetApp(context);
    if (!app || index < 0) return;
    Ref<RecentFiles> recent;
    {
        ScopedLock hold(app->lock);
        recent = app->recent_files;
    }
    const WString path = RecentFilesGet(recent.get(), static_cast<uint32_t>(index));
    if (WStrLength(path) == 0) return;
    Variant argument;
    VariantInitObject(argument, OpenRequestCreate(path, kOpenInteractive).get());
    ViewerSendActionArg(context, event::kOpenRequest, argument);
}

void ZoomFactor(ViewerContext* context, HubEvent* event) {
    if (Ref<ZoomValue> value = ObjectArgument<ZoomValue>(event)) {
        ViewerSetZoomFactor(context, -1, kViewerCaller, value->zoom_factor, value->fixed);
    } else {
        ViewerShowZoomDialog(context, kViewerCaller);
    }
}

void RunExtensionCommand(ViewerContext* context, int32_t id) {
    uint32_t group = 0, item = 0;
    if (id < 0 || !SplitMenuCommand(static_cast<uint32_t>(id), group, item)) return;
    Ref<AppRoot> app = ViewerGetApp(context);
    Ref<ExtensionHost> host = app ? AppGetExtensionHost(app.get()) : nullptr;
    if (!host) return;
    Ref<DocItem> active = ViewerGetActiveItem(context);
    ExtensionHostRunCommand(host.get(), context, ViewerGetFrameHwnd(context), active.get(), group, item);
}

void ShowContextMenu(ViewerContext* context, HubEvent* event) {
    Ref<ContextMenuRequest> request = ObjectArgument<ContextMenuRequest>(event);
    if (!request) return;
    bool is_active = false;
    Ref<DocItem> item = ViewerGetDocumentByIndex(context, request->item_id, is_active);
    if (!item) return;
    ViewContextMenu menu;
    ViewContextMenuConstruct(menu, ViewerGetFrameHwnd(context));
    ViewContextMenuShow(menu, context, item.get(), POINT{request->screen_x, request->screen_y});
}

// Adds the active page to the last version comparison of the tree, made
// when there is none yet.
void AddToComparison(ViewerContext* context) {
    Ref<DocItem> page = ViewerGetActiveItem(context);
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root || DocItemGetType(page.get()) != doc_type::kPage) return;
    Ref<DocItem> container;
    for (uint32_t i = DocItemGetChildCount(root.get()); i > 0 && !container; --i) {
        Ref<DocItem> child = DocItemGetChild(root.get(), i - 1);
        if (DocItemGetType(child.get()) == doc_type::kComparison) container = child;
    }
    if (!container) container = ComparisonCreate(context, root.get());
    if (container) ComparisonPageCreate(context, container.get(), page.get());
}

// The restriction that disables the bitmap export command; the accelerator
// reaches the viewer whatever the menu shows, so the action checks it too.
void ShowBitmapExportDialog(ViewerContext* context) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    if (!item || !ViewerIsAllowed(context, 0, restriction::kCopyView)) return;
    ShowBitmapExport(ViewerGetFrameHwnd(context), context, item.get());
}

void ScrollMainView(ViewerContext* context, bool horizontal, int32_t steps) {
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    if (view) MainViewScrollBy(view.get(), 0, horizontal, steps);
}

void SetScale(DocItem* item, Scale* scale) {
    Ref<OpenParams> params = item ? item->GetOpenParams() : nullptr;
    if (params) OpenParamsSetScale(params.get(), scale);
}

// The drawing scale of the active document. Its pages measure with their
// own copies of the document's open parameters, so the new scale goes to
// the document and to every page of it.
void ShowScaleDialogFor(ViewerContext* context) {
    Ref<DocItem> active = ViewerGetActiveItem(context);
    if (!active) return;
    Ref<DocItem> document = DocItemFindDocument(active.get(), context);
    Ref<OpenParams> shown = active->GetOpenParams();
    if (!shown && document) shown = document->GetOpenParams();
    Ref<Scale> current = shown ? OpenParamsGetScale(shown.get()) : nullptr;
    Ref<Scale> chosen;
    if (ShowScaleDialog(context, ViewerGetFrameHwnd(context), current.get(), chosen) != 1) return;
    if (document) {
        SetScale(document.get(), chosen.get());
        for (uint32_t i = 0; i < DocItemGetChildCount(document.get()); ++i) {
            SetScale(DocItemGetChild(document.get(), i).get(), chosen.get());
        }
    }
    SetScale(active.get(), chosen.get());
    Variant argument;
    VariantInitObject(argument, active.get());
    ViewerPostActionArg(context, event::kDrawingScaleChanged, argument);
}

// The actions that answer handled, so that later listeners see them too.
bool SharedWithLaterListeners(uint32_t code) {
    return code == event::kOpenRequest || code == event::kOpenCommandLine || code == event::kActivateItem ||
           code == event::kExtensionCommand || code == event::kContextMenu || code == event::kSaveRedlining;
}

// Carries out the action; false when the code is none of the listener's.
bool RunAction(ViewerContext* context, HubEvent* event) {
    const HWND frame = ViewerGetFrameHwnd(context);
    const uint32_t code = event->code;
    switch (code) {
        case event::kOpenRequest:
            OpenRequested(context, event);
            return true;
        case event::kOpenCommandLine:
            OpenCommandLine(context, event);
            return true;
        case event::kActivateItem:
            ViewerActivateItem(context, IntArgument(event, -1));
            return true;
        case event::kOpenWithRegisteredProgram:
            ViewerOpenWithRegisteredProgram(context, IntArgument(event, -1));
            return true;
        case event::kOpenDialog:
            ViewerRunDialogModule(context, 0);
            return true;
        case event::kSaveAs:
            ViewerSaveAs(context);
            return true;
        case event::kConvertDialog:
            ShowConvertDialog(context);
            return true;
        case event::kCloseDocument: {
            // The menu's close asks about changed markups; DDE and automation
            // close documents directly and never ask.
            const int32_t id = IntArgument(event, -1);
            bool is_active = false;
            Ref<DocItem> item = ViewerGetDocumentByIndex(context, id, is_active);
            Ref<DocItem> document = item ? DocItemFindDocument(item.get(), context) : nullptr;
            DocItem* asked = document ? document.get() : item.get();
            if (asked && !ViewerConfirmMarkupsClose(context, asked)) return true;
            ViewerCloseDocument(context, id);
            return true;
        }
        case event::kCloseAll:
            if (!ViewerConfirmMarkupsClose(context, nullptr)) return true;
            ViewerCloseAll(context);
            return true;
        case event::kZoomIn:
            ViewZoomByFactor(context, kViewerCaller, -1, 1.2);
            return true;
        case event::kZoomOut:
            ViewZoomByFactor(context, kViewerCaller, -1, 0.8);
            return true;
        case event::kZoomAll:
            ViewerZoomAll(context, kViewerCaller, -1);
            return true;
        case event::kStandardView:
            ViewerStandardView(context, -1);
            return true;
        case event::kToggleInversion:
            ViewerSetInverted(context, -1, false, false);
            return true;
        case event::kPageStep:
            ViewerPageStep(context, IntArgument(event, 0), false);
            return true;
        case event::kGoToPage:
            ViewerGoToPage(context, IntArgument(event, -1));
            return true;
        case event::kPrint:
            ViewerPrintDocument(context, IntArgument(event, 0));
            return true;
        case event::kMirrorVertical:
            ViewerMirrorVertical(context, -1, false, false);
            return true;
        case event::kMirrorHorizontal:
            ViewerMirrorHorizontal(context, -1, false, false);
            return true;
        case event::kRotateLeft:
            ViewerRotatePage(context, -1, kStepForward, false);
            return true;
        case event::kRotateRight:
            ViewerRotatePage(context, -1, -kStepForward, false);
            return true;
        case event::kScrollHorizontal:
            ScrollMainView(context, true, IntArgument(event, 0));
            return true;
        case event::kScrollVertical:
            ScrollMainView(context, false, IntArgument(event, 0));
            return true;
        case event::kSettingsSheet:
            ShowSettings(context);
            return true;
        case event::kVariablesDialog:
            ShowVariablesDialog(frame, context);
            return true;
        case event::kBitmapExportDialog:
            ShowBitmapExportDialog(context);
            return true;
        case event::kAboutDialog:
            AboutShow(context, frame);
            return true;
        case event::kInfoBox:
            ShowInfoBox(context, frame);
            return true;
        case event::kOpenWebSite:
            OpenUrlInBrowser(context, WString(kWebSiteUrl));
            return true;
        case event::kDocumentProperties:
            ShowProperties(context);
            return true;
        case event::kShowMenuBar:
            ViewerShowMenuBar(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kShowToolBar:
            ViewerShowToolbar(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kShowNavigation:
            ViewerShowNavigation(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kShowStatusBar:
            ViewerShowStatusBar(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kShowPreview:
            ViewerShowPreview(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kShowZoomView:
            ViewerShowZoomView(context, IntArgument(event, 1), kViewerCaller);
            return true;
        case event::kSetPopupsMoveable:
            ViewerSetPopupsMoveable(context, IntArgument(event, 1) != 0, kViewerCaller);
            return true;
        case event::kOpenRecentFile:
            OpenRecentFile(context, IntArgument(event, -1));
            return true;
        case event::kZoomFactor:
            ZoomFactor(context, event);
            return true;
        case event::kScaleDialog:
            ShowScaleDialogFor(context);
            return true;
        case event::kExtensionCommand:
            RunExtensionCommand(context, IntArgument(event, -1));
            return true;
        case event::kContextMenu:
            ShowContextMenu(context, event);
            return true;
        case event::kVersionComparison:
            AddToComparison(context);
            return true;
        case event::kSaveRedlining:
            ViewerSaveRedlining(context, nullptr);
            return true;
        default:
            return false;
    }
}

}  // namespace

HubAnswer ActionListener::Notify(RefCounted* sender, HubEvent* event) {
    return ExecuteAction(this, sender, event);
}

Ref<ActionListener> ActionListenerCreate(DocumentController* controller, EventHub* hub) {
    Ref<ActionListener> listener = MakeRef<ActionListener>();
    listener->controller = Ref<DocumentController>(controller);
    ListenerConstruct(listener.get(), hub);
    return listener;
}

HubAnswer ExecuteAction(ActionListener* listener, RefCounted* sender, HubEvent* event) {
    if (!listener || !event) return HubAnswer::kContinue;
    if (event->code == event::kAppEnding) {
        Ref<DocumentController> released;  // let go of outside the lock
        {
            ScopedLock hold(listener->lock);
            released = std::move(listener->controller);
        }
        ListenerDetach(listener);
        return HubAnswer::kHandled;
    }
    auto* context = dynamic_cast<ViewerContext*>(sender);
    if (!context) return HubAnswer::kContinue;
    Ref<DocumentController> controller;
    {
        ScopedLock hold(listener->lock);
        controller = listener->controller;
    }
    if (!controller) return HubAnswer::kContinue;
    // The sender may let go of its context while an action runs (a dialog's
    // message loop can close the viewer); hold it for the action.
    Ref<ViewerContext> held(context);
    if (!RunAction(context, event)) return HubAnswer::kContinue;
    return SharedWithLaterListeners(event->code) ? HubAnswer::kHandled : HubAnswer::kStop;
}
