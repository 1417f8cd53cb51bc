// The display modes of the frame's panes (0 hidden, 1 docked, 2 floating;
// the bars 0 or 1 only) and the two options of floating panes. Each stores
// the setting with the caller's kind (0 the viewer's own windows, 2 DDE and
// automation) and lets the frame lay itself out again.
#pragma once

#include <cstdint>

class ViewerContext;

// False for a mode the pane does not take, without settings, or when the
// caller may not change the window settings.
bool ViewerShowMenuBar(ViewerContext* context, int32_t mode, uint32_t kind);
bool ViewerShowToolbar(ViewerContext* context, int32_t mode, uint32_t kind);
bool ViewerShowNavigation(ViewerContext* context, int32_t mode, uint32_t kind);
bool ViewerShowStatusBar(ViewerContext* context, int32_t mode, uint32_t kind);
bool ViewerShowPreview(ViewerContext* context, int32_t mode, uint32_t kind);
bool ViewerShowZoomView(ViewerContext* context, int32_t mode, uint32_t kind);

// Stores POPUPS_MOVEABLE; floating panes are made again so that it takes
// effect. Always true.
bool ViewerSetPopupsMoveable(ViewerContext* context, bool moveable, uint32_t kind);
// Stores POPUPS_MOVE_WITH_MAINWINDOW; false without settings.
bool ViewerSetPopupsMoveWithMain(ViewerContext* context, bool follow, uint32_t kind);
