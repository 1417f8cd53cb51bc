#include "viewer/windows/status_bar.h"

#include <commctrl.h>

Ref<StatusBarWindow> StatusBarCreate(ViewerContext* /*context*/, HWND frame_window, HINSTANCE instance,
                                     EventHub* /*hub*/) {
    if (!frame_window) return nullptr;
    Ref<StatusBarWindow> bar = MakeRef<StatusBarWindow>();
    HWND control = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_window,
                                   nullptr, instance, nullptr);
    if (!bar->control.Attach(control)) return nullptr;
    bar->shown = true;
    return bar;
}

void StatusBarShow(StatusBarWindow* bar, int32_t mode, HWND /*frame_window*/, const RectI& area) {
    if (!bar || !bar->control || mode == 2) return;
    HWND control = bar->control.get();
    if (mode == 0) {
        bar->shown = false;
        ShowWindow(control, SW_HIDE);
        return;
    }
    RECT own = {};
    GetWindowRect(control, &own);
    const int32_t height = own.bottom - own.top;
    SetWindowPos(control, nullptr, area.origin.x, area.origin.y + area.size.height - height, area.size.width,
                 height, SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(control, SW_SHOW);
    bar->shown = true;
}

int32_t StatusBarGetClientHeight(StatusBarWindow* bar) {
    RECT rect;
    if (!bar || !bar->shown || !bar->control || !GetClientRect(bar->control.get(), &rect)) return 0;
    return rect.bottom - rect.top;
}

HWND StatusBarGetWindow(StatusBarWindow* bar) { return bar ? bar->control.get() : nullptr; }
