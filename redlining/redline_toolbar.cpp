#include "redlining/redline_toolbar.h"

#include "foundation/geometry.h"
#include "foundation/window_object.h"
#include "viewer/core/viewer_context.h"

RedlineToolbar::~RedlineToolbar() { WindowDestroy(this); }

void RedlineToolbar::Detach() { RedlineToolbarDetach(this); }

Ref<RedlineToolbar> RedlineToolbarConstruct(ViewerContext* context, HWND parent, HINSTANCE instance,
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

void RedlineToolbarDetach(RedlineToolbar* toolbar) {}

bool RedlineToolbarShowByMode(RedlineToolbar* toolbar, uint32_t mode) {
    const bool show = RedliningModeEdits(mode);
    WindowShow(toolbar, show);
    return show;
}
