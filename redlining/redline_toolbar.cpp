#include "redlining/redline_toolbar.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>

#include "foundation/geometry.h"
#include "foundation/window_object.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/image_store.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/viewer_context.h"

namespace {

struct ToolButton {
    uint32_t command;  // 0 for a separator
    uint32_t normal_bitmap;
    uint32_t hot_bitmap;
    uint32_t tip;
    uint32_t tool;  // the drawing tool it chooses, 0 for none
};

constexpr ToolButton kButtons[] = {
    {command::kRedlineSave, 374, 375, text::kRedlineSaveData, 0},
    {0, 0, 0, 0, 0},
    {command::kRedlineSelect, 376, 377, text::kRedlineSelectObjects, 0},
    {564, 362, 363, text::kRedlineLine, 2},
    {565, 364, 365, text::kRedlineRectangle, 3},
    {566, 366, 367, text::kRedlineEllipse, 4},
    {567, 368, 369, text::kRedlineMultiLine, 6},
    {568, 370, 371, text::kRedlinePolygon, 5},
    {569, 372, 373, text::kRedlineText, 1},
    {570, 378, 379, text::kRedlineNoteTool, 7},
};
static_assert(command::kRedlineFirstTool == 564 && command::kRedlineLastTool == 570);

// What a tooltip buffer of TOOLTIPTEXTW holds, the terminator included.
constexpr size_t kTipLength = 79;

const ToolButton* ButtonOf(uint32_t command) {
    for (const ToolButton& button : kButtons) {
        if (button.command && button.command == command) return &button;
    }
    return nullptr;
}

void RemoveSystemMenuItems(ViewerContext* context, HWND window) {
    HMENU menu = GetSystemMenu(window, FALSE);
    if (!menu) return;
    DeleteMenu(menu, SC_MAXIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    DeleteMenu(menu, SC_RESTORE, MF_BYCOMMAND);
    ModifyMenuW(menu, SC_CLOSE, MF_BYCOMMAND | MF_STRING, SC_CLOSE, ViewerTextOrEmpty(context, text::kClose));
}

bool MakeButtons(RedlineToolbar* toolbar) {
    constexpr UINT kFlags = ILC_COLOR24 | ILC_MASK;
    const int count = static_cast<int>(std::size(kButtons));
    toolbar->normal_images.Reset(ImageList_Create(16, 16, kFlags, count, 1));
    toolbar->hot_images.Reset(ImageList_Create(16, 16, kFlags, count, 1));
    Ref<AppRoot> app = ViewerGetApp(toolbar->context.get());
    const ImageStore* images = app ? app->images.get() : nullptr;
    TBBUTTON buttons[std::size(kButtons)] = {};
    int image = 0;
    for (size_t i = 0; i < std::size(kButtons); ++i) {
        const ToolButton& entry = kButtons[i];
        TBBUTTON& button = buttons[i];
        button.idCommand = static_cast<int>(entry.command);
        if (!entry.command) {
            button.fsStyle = BTNS_SEP;
            continue;
        }
        if (images) {
            ImageListAddBitmap(images, toolbar->normal_images.get(), entry.normal_bitmap);
            ImageListAddBitmap(images, toolbar->hot_images.get(), entry.hot_bitmap);
        }
        button.iBitmap = image++;
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_BUTTON;
    }
    HWND bar = toolbar->tool_bar;
    if (!SendMessageW(bar, TB_ADDBUTTONSW, std::size(buttons), reinterpret_cast<LPARAM>(buttons)))
        return false;
    SendMessageW(bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbar->normal_images.get()));
    SendMessageW(bar, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(toolbar->hot_images.get()));
    SendMessageW(bar, TB_SETINSERTMARKCOLOR, 0, 0x0000FF);
    return true;
}

// The window's frame around the control's full size, at the same place.
void FitToControl(RedlineToolbar* toolbar) {
    HWND window = toolbar->window();
    RECT outer = {};
    RECT client = {};
    SIZE needed = {};
    GetWindowRect(window, &outer);
    GetClientRect(window, &client);
    SendMessageW(toolbar->tool_bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&needed));
    const int width = (outer.right - outer.left) - (client.right - client.left) + needed.cx;
    const int height = (outer.bottom - outer.top) - (client.bottom - client.top) + needed.cy;
    SetWindowPos(window, nullptr, 0, 0, width, height,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
    SetWindowPos(toolbar->tool_bar, nullptr, 0, 0, needed.cx, needed.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

uint32_t ModeOf(RedlineToolbar* toolbar) { return ViewerGetRedliningMode(toolbar->context.get()); }

}  // namespace

// ---- Observer

HubAnswer RedlineToolbarObserver::Notify(RefCounted* sender, HubEvent* event) {
    Ref<RedlineToolbar> own;
    {
        ScopedLock hold(lock);
        own = toolbar;
    }
    if (!own || !event) return HubAnswer::kContinue;
    if (event->code == event::kAppEnding) {
        RedlineToolbarDetach(own.get());
        return HubAnswer::kHandled;
    }
    if (event->code == event::kRedlineModeChanged) {
        if (RedlineToolbarShowByMode(own.get(), ModeOf(own.get()))) RedlineToolbarRefresh(own.get());
    }
    return HubAnswer::kContinue;
}

// ---- Tool bar

RedlineToolbar::~RedlineToolbar() {
    RedlineToolbarDetach(this);
    WindowDestroy(this);
}

void RedlineToolbar::Detach() { RedlineToolbarDetach(this); }

LRESULT RedlineToolbar::WindowProc(UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_CLOSE:
            // Closing the window leaves editing; the mode change hides it.
            RedlineSetViewMode(context.get());
            return 0;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lparam);
            if (!header) break;
            if (header->code == TBN_HOTITEMCHANGE) return 0;
            if (header->code == TTN_GETDISPINFOW) {
                auto* info = reinterpret_cast<NMTTDISPINFOW*>(lparam);
                if (const ToolButton* button = ButtonOf(static_cast<uint32_t>(header->idFrom))) {
                    const wchar_t* tip = ViewerTextOrEmpty(context.get(), button->tip);
                    const size_t length = std::min(wcslen(tip), kTipLength - 1);
                    std::copy(tip, tip + length, info->szText);
                    info->szText[length] = 0;
                    info->lpszText = info->szText;
                }
            }
            break;
        }
        case WM_COMMAND:
            ViewerOnCommand(context.get(), wparam, lparam);
            break;
        default:
            break;
    }
    return WindowObject::WindowProc(message, wparam, lparam);
}

uint32_t RedlineToolbarActiveCommand(uint32_t mode, uint32_t tool) {
    if (mode == kRedliningModeSelect) return command::kRedlineSelect;
    if (mode != kRedliningModeDraw) return 0;
    for (const ToolButton& button : kButtons) {
        if (button.tool && button.tool == tool) return button.command;
    }
    return 0;
}

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
    if (!WindowCreate(toolbar.get(), WS_EX_TOOLWINDOW, kRedlineToolbarClassName,
                      ViewerTextOrEmpty(context, text::kRedlineToolbarTitle),
                      WS_POPUP | WS_CAPTION | WS_SYSMENU, rect, parent, nullptr)) {
        return nullptr;
    }
    RemoveSystemMenuItems(context, toolbar->window());
    RECT client = {};
    GetClientRect(toolbar->window(), &client);
    toolbar->tool_bar =
        CreateWindowExW(WS_EX_TOOLWINDOW, TOOLBARCLASSNAMEW, nullptr,
                        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_FLAT |
                            TBSTYLE_TOOLTIPS | CCS_NODIVIDER,
                        0, 0, client.right, client.bottom, toolbar->window(), nullptr, instance, nullptr);
    if (!toolbar->tool_bar) return nullptr;
    SendMessageW(toolbar->tool_bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    SendMessageW(toolbar->tool_bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    if (!MakeButtons(toolbar.get())) return nullptr;
    FitToControl(toolbar.get());
    if (hub) {
        toolbar->observer = MakeRef<RedlineToolbarObserver>();
        toolbar->observer->toolbar = toolbar;
        ListenerConstruct(toolbar->observer.get(), hub);
    }
    if (RedlineToolbarShowByMode(toolbar.get(), ModeOf(toolbar.get()))) RedlineToolbarRefresh(toolbar.get());
    return toolbar;
}

void RedlineToolbarDetach(RedlineToolbar* toolbar) {
    Ref<RedlineToolbarObserver> observer = std::move(toolbar->observer);
    if (!observer) return;
    {
        ScopedLock hold(observer->lock);
        observer->toolbar = nullptr;
    }
    ListenerDetach(observer.get());
}

void RedlineToolbarRefresh(RedlineToolbar* toolbar) {
    if (!toolbar->tool_bar) return;
    const uint32_t active =
        RedlineToolbarActiveCommand(ModeOf(toolbar), ViewerGetRedliningTool(toolbar->context.get()));
    for (const ToolButton& button : kButtons) {
        if (!button.command) continue;
        SendMessageW(toolbar->tool_bar, TB_PRESSBUTTON, button.command,
                     MAKELPARAM(button.command == active, 0));
    }
}

bool RedlineToolbarShowByMode(RedlineToolbar* toolbar, uint32_t mode) {
    const bool show = RedliningModeEdits(mode);
    WindowShow(toolbar, show);
    if (!show) RedlineToolbarRefresh(toolbar);
    return show;
}
