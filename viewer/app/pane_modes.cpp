#include "viewer/app/pane_modes.h"

#include "viewer/core/pane_display_modes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/windows/frame_window.h"

namespace {

bool SetPaneMode(ViewerContext* context, SettingsPane pane, int32_t mode, int32_t highest_mode,
                 uint32_t kind) {
    if (mode < kPaneHidden || mode > highest_mode) return false;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings || !SettingsSetViewMode(settings.get(), context, kind, pane, mode)) return false;
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    FrameLayout(frame.get());
    return true;
}

}  // namespace

bool ViewerShowMenuBar(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPaneMenuBar, mode, kPaneDocked, kind);
}

bool ViewerShowToolbar(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPaneToolBar, mode, kPaneDocked, kind);
}

bool ViewerShowNavigation(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPaneNavigation, mode, kPaneFloating, kind);
}

bool ViewerShowStatusBar(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPaneStatusBar, mode, kPaneDocked, kind);
}

bool ViewerShowPreview(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPanePreview, mode, kPaneFloating, kind);
}

bool ViewerShowZoomView(ViewerContext* context, int32_t mode, uint32_t kind) {
    return SetPaneMode(context, kPaneMainView, mode, kPaneFloating, kind);
}

bool ViewerSetPopupsMoveable(ViewerContext* context, bool moveable, uint32_t kind) {
    if (Ref<Settings> settings = ViewerGetSettings(context)) {
        SettingsSetPopupsMoveable(settings.get(), context, kind, moveable);
    }
    // The frame makes a floating pane anew when the option it was made with
    // differs, so laying out again shows the new setting.
    Ref<FrameWindow> frame = ViewerGetFrame(context);
    FrameLayout(frame.get());
    return true;
}

bool ViewerSetPopupsMoveWithMain(ViewerContext* context, bool follow, uint32_t kind) {
    Ref<Settings> settings = ViewerGetSettings(context);
    return settings && SettingsSetPopupsMoveWithMain(settings.get(), context, kind, follow);
}
