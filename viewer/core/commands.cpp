#include "viewer/core/commands.h"

#include "foundation/variant.h"
#include "viewer/app/app_root.h"
#include "viewer/app/document_controller.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/module_list.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

// A command that only sends or posts an action, with an integer argument
// when `has_argument` is set.
struct CommandAction {
    uint32_t id;
    uint32_t action;
    bool has_argument;
    int32_t argument;
    bool post;
};

constexpr CommandAction kCommandActions[] = {
    {command::kOpen, event::kOpenDialog, false, 0, false},
    {command::kSaveAs, event::kSaveAs, false, 0, false},
    {command::kConvert, event::kConvertDialog, false, 0, false},
    {command::kStandardView, event::kStandardView, false, 0, false},
    {command::kClose, event::kCloseDocument, true, -1, false},
    {command::kCloseAll, event::kCloseAll, false, 0, false},
    {command::kProperties, event::kDocumentProperties, false, 0, false},
    {command::kZoomIn, event::kZoomIn, false, 0, false},
    {command::kZoomOut, event::kZoomOut, false, 0, false},
    {command::kZoomAll, event::kZoomAll, false, 0, false},
    {command::kZoomFactor, event::kZoomFactor, false, 0, false},
    {command::kMirrorVertical, event::kMirrorVertical, false, 0, false},
    {command::kMirrorHorizontal, event::kMirrorHorizontal, false, 0, false},
    {command::kRotateLeft, event::kRotateLeft, false, 0, false},
    {command::kRotateRight, event::kRotateRight, false, 0, false},
    {command::kInvert, event::kToggleInversion, false, 0, false},
    {command::kFirstPage, event::kGoToPage, true, 0, false},
    {command::kPreviousPage, event::kPageStep, true, -1, false},
    {command::kNextPage, event::kPageStep, true, 1, false},
    {command::kLastPage, event::kGoToPage, true, kLastPageIndex, false},
    {command::kGoToPage, event::kGoToPage, true, -1, false},
    {command::kScrollLeft, event::kScrollHorizontal, true, -1, false},
    {command::kScrollRight, event::kScrollHorizontal, true, 1, false},
    {command::kScrollUp, event::kScrollVertical, true, -1, false},
    {command::kScrollDown, event::kScrollVertical, true, 1, false},
    {command::kSettings, event::kSettingsSheet, false, 0, false},
    {command::kVariables, event::kVariablesDialog, false, 0, false},
    {command::kBitmapExport, event::kBitmapExportDialog, false, 0, false},
    {command::kMeasuringPoint, event::kMeasuringPoint, false, 0, false},
    {command::kVersionComparison, event::kVersionComparison, false, 0, true},
    {command::kComparisonMarker1, event::kComparisonMarker, true, 1, true},
    {command::kComparisonMarker2, event::kComparisonMarker, true, 2, true},
    {command::kToolBarOn, event::kShowToolBar, true, 1, false},
    {command::kToolBarOff, event::kShowToolBar, true, 0, false},
    {command::kMenuBarOn, event::kShowMenuBar, true, 1, false},
    {command::kMenuBarOff, event::kShowMenuBar, true, 0, false},
    {command::kStatusBarOn, event::kShowStatusBar, true, 1, false},
    {command::kStatusBarOff, event::kShowStatusBar, true, 0, false},
    {command::kNavigationDocked, event::kShowNavigation, true, 1, false},
    {command::kNavigationFloating, event::kShowNavigation, true, 2, false},
    {command::kNavigationHidden, event::kShowNavigation, true, 0, false},
    {command::kPreviewDocked, event::kShowPreview, true, 1, false},
    {command::kPreviewFloating, event::kShowPreview, true, 2, false},
    {command::kPreviewHidden, event::kShowPreview, true, 0, false},
    {command::kZoomViewDocked, event::kShowZoomView, true, 1, false},
    {command::kZoomViewFloating, event::kShowZoomView, true, 2, false},
    {command::kZoomViewHidden, event::kShowZoomView, true, 0, false},
    {command::kAbout, event::kAboutDialog, false, 0, false},
    {command::kWebSite, event::kOpenWebSite, false, 0, false},
    {command::kRedlineSave, event::kSaveRedlining, false, 0, false},
    {command::kSelectAllMarkups, event::kSelectAllMarkups, false, 0, true},
    {command::kDeleteMarkups, event::kDeleteMarkups, false, 0, true},
    {command::kMarkupToFront, event::kMarkupOrder, true, 0, true},
    {command::kMarkupToBack, event::kMarkupOrder, true, 3, true},
    {command::kMarkupProperties, event::kMarkupProperties, false, 0, false},
};

// The drawing tools of commands 564 to 570, in command order.
constexpr uint32_t kRedlineTools[] = {2, 3, 4, 6, 5, 1, 7};

void Dispatch(ViewerContext* context, uint32_t action, const Variant* argument, bool post) {
    if (post) {
        argument ? ViewerPostActionArg(context, action, *argument) : ViewerPostAction(context, action);
    } else {
        argument ? ViewerSendActionArg(context, action, *argument) : ViewerSendAction(context, action);
    }
}

void DispatchInt(ViewerContext* context, uint32_t action, int32_t value, bool post) {
    Variant argument;
    VariantInitInt(argument, value);
    Dispatch(context, action, &argument, post);
}

bool RunTableCommand(ViewerContext* context, uint32_t id) {
    for (const CommandAction& entry : kCommandActions) {
        if (entry.id != id) continue;
        if (entry.has_argument) {
            DispatchInt(context, entry.action, entry.argument, entry.post);
        } else {
            Dispatch(context, entry.action, nullptr, entry.post);
        }
        return true;
    }
    return false;
}

void RedlineEditToggle(ViewerContext* context) {
    switch (ViewerGetRedliningMode(context)) {
        case kRedliningModeView:
            RedlineSetSelectMode(context);
            break;
        case kRedliningModeSelect:
        case kRedliningModeDraw:
            RedlineSetViewMode(context);
            break;
        default:
            break;  // redlining off stays off
    }
}

void PrintOn(ViewerContext* context, uint32_t index) {
    Ref<AppRoot> app = ViewerGetApp(context);
    if (!app || index >= PrintProvidersCount(app->print_providers)) return;
    DocumentControllerSetLastPrinter(ViewerGetController(context).get(), static_cast<int32_t>(index));
    DispatchInt(context, event::kPrint, static_cast<int32_t>(index), false);
}

}  // namespace

bool ViewerRunDialogModule(ViewerContext* context, uint32_t position) {
    Ref<AppRoot> app = ViewerGetApp(context);
    Ref<ModuleList> modules = app ? AppGetModules(app.get()) : nullptr;
    Ref<DialogModule> module = ModuleListGet(modules.get(), position);
    if (!module) return false;
    module->Run(context);
    return true;
}

bool SplitMenuCommand(uint32_t id, uint32_t& group, uint32_t& item) {
    group = 0;
    item = 0;
    if (id < command::kFirstExtension || id > command::kLastExtension) return false;
    group = (id - command::kFirstExtension) / 10;
    item = (id - command::kFirstExtension) % 10;
    return true;
}

bool ViewerOnCommand(ViewerContext* context, WPARAM wparam, LPARAM lparam) {
    if (!context) return false;
    const uint32_t id = LOWORD(wparam);
    if (RunTableCommand(context, id)) return true;

    if (id == command::kPrint) {
        DispatchInt(context, event::kPrint,
                    DocumentControllerGetLastPrinter(ViewerGetController(context).get()), false);
        return true;
    }
    if (id == command::kInformation) {
        Ref<Settings> settings = ViewerGetSettings(context);
        const bool custom = settings && WStrLength(SettingsGetCustomAppInfoTitle(settings.get())) > 0;
        Dispatch(context, custom ? event::kInfoBox : event::kAboutDialog, nullptr, false);
        return true;
    }
    if (id == command::kRedlineEdit) {
        RedlineEditToggle(context);
        return true;
    }
    if (id == command::kRedlineSelect) {
        RedlineSetSelectMode(context);
        return true;
    }
    if (id >= command::kRedlineFirstTool && id <= command::kRedlineLastTool) {
        RedlineSetDrawMode(context, kRedlineTools[id - command::kRedlineFirstTool]);
        return true;
    }
    if (id >= command::kFirstRecentFile && id <= command::kLastRecentFile) {
        DispatchInt(context, event::kOpenRecentFile, static_cast<int32_t>(id - command::kFirstRecentFile),
                    true);
        return true;
    }
    if (id >= command::kFirstExtension && id <= command::kLastExtension) {
        DispatchInt(context, event::kExtensionCommand, static_cast<int32_t>(id), true);
        return true;
    }
    if (id >= command::kFirstPrinter && id <= command::kLastPrinter) {
        PrintOn(context, id - command::kFirstPrinter);
        return true;
    }
    if (id >= command::kFirstDialogModule) {
        return ViewerRunDialogModule(context, id - command::kFirstDialogModule);
    }
    if constexpr (kViewerProgramBuild) {
        if (id == command::kExit) {
            // Closed as by its caption: changed markups are asked about first,
            // and the frame's end ends the program's message loop.
            if (const HWND frame = ViewerGetFrameHwnd(context)) SendMessageW(frame, WM_CLOSE, 0, 0);
            return true;
        }
        if (id == command::kReopenSession) {
            Dispatch(context, event::kReopenSessionList, nullptr, false);
            return true;
        }
    }
    return false;
}
