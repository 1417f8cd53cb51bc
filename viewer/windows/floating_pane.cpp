#include "viewer/windows/floating_pane.h"

#include "viewer/core/pane_display_modes.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr DWORD kDockedStyle = WS_CHILD | WS_VISIBLE;
constexpr DWORD kFixedStyle = WS_POPUP | WS_VISIBLE | WS_BORDER | WS_SYSMENU;
constexpr DWORD kMoveableStyle = WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME;

void TrimSystemMenu(HWND pane_window, bool moveable) {
    HMENU menu = GetSystemMenu(pane_window, FALSE);
    if (!menu) return;
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    if (!moveable) DeleteMenu(menu, SC_MOVE, MF_BYCOMMAND);
}

PointI WindowOrigin(HWND window) {
    RECT rect = {};
    if (!window || !GetWindowRect(window, &rect)) return PointI{};
    return PointI{rect.left, rect.top};
}

}  // namespace

RectI FloatingPaneScreenRect(HWND frame_window, const RectI& stored_rect) {
    const PointI frame_origin = WindowOrigin(frame_window);
    RectI rect;
    RectISet(rect, frame_origin.x + stored_rect.origin.x, frame_origin.y + stored_rect.origin.y,
             kFloatingPaneDefaultWidth, kFloatingPaneDefaultHeight);
    if (stored_rect.size.width >= kFloatingPaneMinSide && stored_rect.size.height >= kFloatingPaneMinSide) {
        rect.size = stored_rect.size;
    }
    return rect;
}

HWND PaneWindowCreate(WindowObject* pane, const wchar_t* class_name, const wchar_t* title, int32_t mode,
                      bool moveable, HWND frame_window, const RectI& docked_rect, const RectI& stored_rect) {
    if (mode == kPaneDocked) {
        return WindowCreate(pane, 0, class_name, L"", kDockedStyle, docked_rect, frame_window, nullptr);
    }
    if (mode != kPaneFloating) return nullptr;
    // Made at its place at once: the moves of a window still being placed
    // would store a rectangle the user never chose.
    const RectI rect = FloatingPaneScreenRect(frame_window, stored_rect);
    HWND window = WindowCreate(pane, WS_EX_TOOLWINDOW, class_name, title,
                               moveable ? kMoveableStyle : kFixedStyle, rect, frame_window, nullptr);
    if (window) TrimSystemMenu(window, moveable);
    return window;
}

RectI FloatingPaneRelativeRect(HWND pane_window, HWND frame_window) {
    RECT window_rect = {};
    RectI rect;
    if (!pane_window || !GetWindowRect(pane_window, &window_rect)) return rect;
    const PointI frame_origin = WindowOrigin(frame_window);
    RectISet(rect, window_rect.left - frame_origin.x, window_rect.top - frame_origin.y,
             window_rect.right - window_rect.left, window_rect.bottom - window_rect.top);
    return rect;
}

void FloatingPaneStoreRect(HWND pane_window, HWND frame_window, ViewerContext* context, SettingsPane pane) {
    if (!pane_window || !frame_window) return;
    const RectI rect = FloatingPaneRelativeRect(pane_window, frame_window);
    if (rect.size.width == 0) return;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (settings) SettingsSetPaneRect(settings.get(), context, kCallerViewer, pane, rect);
}

void FloatingPaneMoveTo(HWND pane_window, const PointI& screen_origin) {
    if (!pane_window) return;
    SetWindowPos(pane_window, nullptr, screen_origin.x, screen_origin.y, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}
