#include "viewer/windows/command_bars.h"

#include <commctrl.h>

namespace {

constexpr UINT kRebarId = 100;
constexpr UINT_PTR kBackgroundSubclass = 1;

// A rebar without bands leaves its background unpainted (black under
// some systems): it gets the face colour of the bars it stands for.
LRESULT CALLBACK PaintBackground(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR /*id*/,
                                 DWORD_PTR /*data*/) {
    if (message == WM_ERASEBKGND) {
        RECT rect;
        GetClientRect(window, &rect);
        FillRect(reinterpret_cast<HDC>(wparam), &rect, GetSysColorBrush(COLOR_BTNFACE));
        return 1;
    }
    if (message == WM_NCDESTROY) RemoveWindowSubclass(window, &PaintBackground, kBackgroundSubclass);
    return DefSubclassProc(window, message, wparam, lparam);
}

}  // namespace

Ref<CommandBars> CommandBarsCreate(ViewerContext* /*context*/, HWND frame_window, HINSTANCE instance,
                                   EventHub* /*hub*/) {
    if (!frame_window || !instance) return nullptr;
    Ref<CommandBars> bars = MakeRef<CommandBars>();
    // Without bands a rebar would shrink itself to nothing: it keeps the
    // size it is given.
    HWND rebar =
        CreateWindowExW(0, REBARCLASSNAMEW, L"",
                        WS_CHILD | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | CCS_NODIVIDER |
                            CCS_NOPARENTALIGN | CCS_NORESIZE | CCS_TOP,
                        0, 0, 800, 50, frame_window, reinterpret_cast<HMENU>(kRebarId), instance, nullptr);
    if (!bars->rebar.Attach(rebar)) return nullptr;
    SetWindowSubclass(rebar, &PaintBackground, kBackgroundSubclass, 0);
    return bars;
}

void CommandBarsLayout(CommandBars* bars, int32_t menu_mode, int32_t toolbar_mode, HWND /*frame_window*/,
                       const RectI& client) {
    if (!bars || !bars->rebar) return;
    const int32_t bands = (menu_mode != 0 ? 1 : 0) + (toolbar_mode != 0 ? 1 : 0);
    bars->shown = bands > 0;
    if (!bars->shown) {
        ShowWindow(bars->rebar.get(), SW_HIDE);
        return;
    }
    SetWindowPos(bars->rebar.get(), nullptr, client.origin.x, client.origin.y, client.size.width,
                 bands * kCommandBandHeight + 2 * GetSystemMetrics(SM_CYBORDER),
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(bars->rebar.get(), SW_SHOW);
}

int32_t CommandBarsGetHeight(CommandBars* bars) {
    RECT rect;
    if (!bars || !bars->shown || !bars->rebar || !GetWindowRect(bars->rebar.get(), &rect)) return 0;
    return rect.bottom - rect.top;
}

HWND CommandBarsGetWindow(CommandBars* bars) { return bars ? bars->rebar.get() : nullptr; }
