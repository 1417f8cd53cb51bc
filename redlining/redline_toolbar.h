// Stand-in: an empty floating tool window of the tool bar's class; no buttons, no observer, no refresh.
// The redlining tool bar: a small floating tool window with the save, select
// and drawing-tool buttons, shown while the editing mode is select or draw.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/geometry.h"
#include "foundation/ref_counted.h"
#include "foundation/window_object.h"
#include "redlining/redline_modes.h"
#include "viewer/core/viewer_context.h"

class EventHub;

inline constexpr wchar_t kRedlineToolbarClassName[] = L"PLOVEX_RLTOOLBAR";

class RedlineToolbar : public WindowObject {
  public:
    ~RedlineToolbar() override { WindowDestroy(this); }
    Ref<ViewerContext> context;
};

// A hidden tool window owned by `parent`; null when it cannot be made.
inline Ref<RedlineToolbar> RedlineToolbarConstruct(ViewerContext* context, HWND parent, HINSTANCE instance,
                                                   EventHub* hub) {
    if (!WindowRegisterClass(kRedlineToolbarClassName, CS_HREDRAW | CS_VREDRAW,
                             LoadCursorW(nullptr, IDC_ARROW),
                             reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1)))) {
        return nullptr;
    }
    Ref<RedlineToolbar> toolbar = MakeRef<RedlineToolbar>();
    toolbar->context = Ref<ViewerContext>(context);
    RECT parent_rect = {};
    if (parent) GetWindowRect(parent, &parent_rect);
    RectI rect;
    RectISet(rect, parent_rect.left + 10, parent_rect.top + 50, 500, 400);
    if (!WindowCreate(toolbar.get(), WS_EX_TOOLWINDOW, kRedlineToolbarClassName, L"Redlining",
                      WS_POPUP | WS_CAPTION | WS_SYSMENU, rect, parent, nullptr)) {
        return nullptr;
    }
    return toolbar;
}
inline void RedlineToolbarDetach(RedlineToolbar* toolbar) {}
// Shown in select and draw mode, hidden otherwise; answers whether shown.
inline bool RedlineToolbarShowByMode(RedlineToolbar* toolbar, uint32_t mode) {
    const bool show = RedliningModeEdits(mode);
    WindowShow(toolbar, show);
    return show;
}
