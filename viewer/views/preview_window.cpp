#include "viewer/views/preview_window.h"

#include "foundation/handles.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/windows/floating_pane.h"

namespace {

constexpr uint32_t kPreviewTitleText = 1841;  // "Plovex Preview"

}  // namespace

PreviewWindow::~PreviewWindow() { WindowDestroy(this); }

LRESULT PreviewWindow::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_MOVE:
        case WM_SIZE:
            if (display_mode == 2) FloatingPaneStoreRect(window(), frame_window, context.get(), kPanePreview);
            if (message == WM_SIZE) InvalidateRect(window(), nullptr, FALSE);
            break;
        case WM_PAINT: {
            PaintDC paint(window());
            if (paint) PreviewPaint(this, paint.get());
            return 0;
        }
        case WM_PRINTCLIENT:
            PreviewPaint(this, reinterpret_cast<HDC>(wparam));
            return 0;
        case WM_CLOSE: {
            // Closing the floating preview docks it again.
            Variant docked;
            VariantInitInt(docked, 1);
            ViewerSendActionArg(context.get(), event::kShowPreview, docked);
            return 0;
        }
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

void PreviewPaint(PreviewWindow* preview, HDC dc) {
    RECT client;
    if (!preview || !dc || !GetClientRect(preview->window(), &client)) return;
    FillRect(dc, &client, GetSysColorBrush(COLOR_WINDOW));
}

Ref<PreviewWindow> PreviewCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                 EventHub* hub) {
    if (!context) return nullptr;
    if (!WindowRegisterClass(kPreviewClassName, CS_HREDRAW | CS_VREDRAW, LoadCursorW(nullptr, IDC_ARROW),
                             static_cast<HBRUSH>(GetStockObject(NULL_BRUSH)))) {
        return nullptr;
    }
    Ref<PreviewWindow> preview = MakeRef<PreviewWindow>();
    preview->instance = instance;
    preview->context = Ref<ViewerContext>(context);
    preview->frame_window = frame_window;
    return preview;
}

void PreviewShow(PreviewWindow* preview, int32_t mode, HWND frame_window, const RectI& rect) {
    if (!preview) return;
    Ref<Settings> settings = ViewerGetSettings(preview->context.get());
    const bool moveable = settings ? SettingsGetPopupsMoveable(settings.get()) : true;
    preview->frame_window = frame_window;
    if (mode != preview->display_mode || moveable != preview->made_moveable || !preview->window()) {
        WindowDestroy(preview);
        preview->display_mode = mode;
        preview->made_moveable = moveable;
        const RectI stored = settings ? SettingsGetPaneRect(settings.get(), kPanePreview) : RectI();
        const wchar_t* title = ViewerGetText(preview->context.get(), kPreviewTitleText);
        PaneWindowCreate(preview, kPreviewClassName, title ? title : L"", mode, moveable, frame_window, rect,
                         stored);
    }
    if (mode == 1) WindowMove(preview, rect);
}
