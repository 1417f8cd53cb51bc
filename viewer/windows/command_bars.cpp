#include "viewer/windows/command_bars.h"

#include <windowsx.h>

#include <iterator>

#include "foundation/strings.h"
#include "foundation/window_subclass.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/app/print_dispatch.h"
#include "viewer/contracts/print_provider.h"
#include "viewer/core/commands.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/image_store.h"
#include "viewer/core/open_params.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/core/redlining_modes.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/doc_tree_walk.h"
#include "viewer/documents/document_source.h"
#include "viewer/extensions/extension_host.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/views/main_view.h"
#include "viewer/windows/frame_window.h"
#include "viewer/windows/menu_items.h"
#include "viewer/windows/recent_files.h"

namespace {

using namespace command;

constexpr UINT_PTR kRebarSubclass = 0x504C5842;
constexpr int32_t kNoBitmap = -1;

// Restriction bits.

struct MenuItem {
    uint32_t id;  // 0 a separator
    uint32_t text;
    int32_t bitmap;
};

constexpr MenuItem kZoomItems[] = {{kZoomOut, text::kMenuZoomOut, 309},
                                   {kZoomIn, text::kMenuZoomIn, 307},
                                   {kZoomAll, text::kMenuZoomAll, 328},
                                   {kZoomFactor, text::kMenuZoomFactor, kNoBitmap}};
constexpr MenuItem kViewItems[] = {{kMirrorHorizontal, text::kMenuMirrorHorizontal, 315},
                                   {kMirrorVertical, text::kMenuMirrorVertical, 313},
                                   {0, 0, 0},
                                   {kRotateLeft, text::kMenuRotateLeft, 319},
                                   {kRotateRight, text::kMenuRotateRight, 317},
                                   {0, 0, 0},
                                   {kInvert, text::kMenuInvert, 311},
                                   {0, 0, 0},
                                   {kStandardView, text::kMenuStandardView, kNoBitmap},
                                   {0, 0, 0},
                                   {kFirstPage, text::kMenuFirstPage, 344},
                                   {kPreviousPage, text::kMenuPreviousPage, 342},
                                   {kNextPage, text::kMenuNextPage, 340},
                                   {kLastPage, text::kMenuLastPage, 346},
                                   {kGoToPage, text::kMenuGoToPage, kNoBitmap},
                                   {0, 0, 0},
                                   {kProperties, text::kMenuProperties, kNoBitmap}};
constexpr MenuItem kWindowItems[] = {{kToolBarOn, text::kMenuToolBarVisible, kNoBitmap},
                                     {kToolBarOff, text::kMenuToolBarHidden, kNoBitmap},
                                     {0, 0, 0},
                                     {kStatusBarOn, text::kMenuStatusBarVisible, kNoBitmap},
                                     {kStatusBarOff, text::kMenuStatusBarHidden, kNoBitmap},
                                     {0, 0, 0},
                                     {kNavigationDocked, text::kMenuNavigationVisible, kNoBitmap},
                                     {kNavigationHidden, text::kMenuNavigationHidden, kNoBitmap},
                                     {0, 0, 0},
                                     {kPreviewDocked, text::kMenuPreviewVisible, kNoBitmap},
                                     {kPreviewFloating, text::kMenuPreviewFloating, kNoBitmap},
                                     {kPreviewHidden, text::kMenuPreviewHidden, kNoBitmap},
                                     {0, 0, 0},
                                     {kZoomViewDocked, text::kMenuZoomViewVisible, kNoBitmap},
                                     {kZoomViewFloating, text::kMenuZoomViewFloating, kNoBitmap},
                                     {kZoomViewHidden, text::kMenuZoomViewHidden, kNoBitmap}};

// The tool bar's image lists: normal and hot bitmap of each index.
constexpr uint32_t kToolBitmaps[][2] = {{301, 302}, {303, 304}, {305, 306}, {309, 310}, {307, 308},
                                        {328, 329}, {313, 314}, {315, 316}, {319, 320}, {317, 318},
                                        {311, 312}, {348, 349}, {344, 345}, {342, 343}, {340, 341},
                                        {346, 347}, {360, 361}};
constexpr int32_t kRedlineImage = 16;

struct ToolButton {
    uint32_t id;  // 0 a separator
    int32_t image;
};
constexpr ToolButton kToolButtons[] = {{kOpen, 0},
                                       {kSaveAs, 1},
                                       {0, 0},
                                       {kPrint, 2},
                                       {0, 0},
                                       {kZoomOut, 3},
                                       {kZoomIn, 4},
                                       {kZoomAll, 5},
                                       {0, 0},
                                       {kMirrorVertical, 6},
                                       {kMirrorHorizontal, 7},
                                       {kRotateLeft, 8},
                                       {kRotateRight, 9},
                                       {0, 0},
                                       {kInvert, 10},
                                       {kStandardView, 11},
                                       {0, 0},
                                       {kFirstPage, 12},
                                       {kPreviousPage, 13},
                                       {kNextPage, 14},
                                       {kLastPage, 15}};

struct ToolTip {
    uint32_t id;
    uint32_t text;
};
constexpr ToolTip kToolTips[] = {{kOpen, text::kTipOpen},
                                 {kSaveAs, text::kTipSaveAs},
                                 {kPrint, text::kTipPrint},
                                 {kStandardView, text::kTipStandardView},
                                 {kClose, text::kTipClose},
                                 {kCloseAll, text::kTipCloseAll},
                                 {kZoomIn, text::kTipZoomIn},
                                 {kZoomOut, text::kTipZoomOut},
                                 {kZoomAll, text::kTipZoomAll},
                                 {kMirrorVertical, text::kTipMirrorVertical},
                                 {kMirrorHorizontal, text::kTipMirrorHorizontal},
                                 {kRotateLeft, text::kTipRotateLeft},
                                 {kRotateRight, text::kTipRotateRight},
                                 {kInvert, text::kTipInvert},
                                 {kFirstPage, text::kTipFirstPage},
                                 {kPreviousPage, text::kTipPreviousPage},
                                 {kNextPage, text::kTipNextPage},
                                 {kLastPage, text::kTipLastPage},
                                 {kRedlineEdit, text::kTipEditRedlining}};

// The commands of the tool bar (the rest are menu items only).
bool OnToolBar(uint32_t id) {
    if (id == kRedlineEdit) return true;
    for (const ToolButton& button : kToolButtons)
        if (button.id == id) return true;
    return false;
}

const ImageStore* Images(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    // The root keeps its store for as long as the context lives.
    return app ? app->images.get() : nullptr;
}

void AddItems(ViewerContext* context, HMENU menu, const MenuItem* items, size_t count) {
    const ImageStore* images = Images(context);
    if (!images) return;  // no store: no items
    for (size_t i = 0; i < count; ++i) {
        if (items[i].id == 0)
            MenuAddSeparator(menu);
        else
            MenuAddItem(context, images, menu, items[i].id, items[i].text, items[i].bitmap, true);
    }
}

HMENU BuildFile(ViewerContext* context) {
    HMENU menu = CreatePopupMenu();
    const ImageStore* images = Images(context);
    if (!menu || !images) return menu;
    MenuAddItem(context, images, menu, kOpen, text::kMenuOpen, 301, true);
    MenuAddItem(context, images, menu, kClose, text::kMenuClose, kNoBitmap, true);
    MenuAddItem(context, images, menu, kCloseAll, text::kMenuCloseAll, kNoBitmap, true);
    MenuAddSeparator(menu);
    MenuAddItem(context, images, menu, kSaveAs, text::kMenuSaveAs, 303, true);
    MenuAddItem(context, images, menu, kConvert, text::kMenuConvert, kNoBitmap, true);
    MenuAddSeparator(menu);
    const uint32_t providers = ViewerPrintProviderCount(context);
    for (uint32_t i = 0; i < providers && kFirstPrinter + i <= kLastPrinter; ++i) {
        WString text(ViewerTextOrEmpty(context, text::kMenuPrint));
        PrintMenuItemSuffix(context, i, providers, ViewerTextOrEmpty(context, text::kMenuPrintKey), text);
        MenuAddTextItem(menu, kFirstPrinter + i, text, true);
    }
    return menu;
}

HMENU BuildTools(ViewerContext* context, bool redlining) {
    HMENU menu = CreatePopupMenu();
    if (!menu || !Images(context)) return menu;
    const MenuItem head[] = {{kBitmapExport, text::kMenuScreenCopy, kNoBitmap},
                             {0, 0, 0},
                             {kMeasuringPoint, text::kMenuMeasurePoint, kNoBitmap},
                             {0, 0, 0},
                             {kVersionComparison, text::kMenuAddToComparison, kNoBitmap}};
    AddItems(context, menu, head, std::size(head));
    if (redlining) {
        const MenuItem edit[] = {{0, 0, 0}, {kRedlineEdit, text::kMenuEditRedlining, kNoBitmap}};
        AddItems(context, menu, edit, std::size(edit));
    }
    const MenuItem tail[] = {{0, 0, 0},
                             {kSettings, text::kMenuSettings, kNoBitmap},
                             {kVariables, text::kMenuUserVariables, kNoBitmap}};
    AddItems(context, menu, tail, std::size(tail));
    return menu;
}

HMENU BuildHelp(ViewerContext* context) {
    HMENU menu = CreatePopupMenu();
    if (!menu || !Images(context)) return menu;
    const MenuItem items[] = {{kWebSite, text::kMenuWebSite, kNoBitmap},
                              {kAbout, text::kMenuAbout, kNoBitmap}};
    AddItems(context, menu, items, std::size(items));
    Ref<Settings> settings = ViewerGetSettings(context);
    const WString title = settings ? SettingsGetCustomAppInfoTitle(settings.get()) : WString();
    if (WStrLength(title) > 0) {
        MenuAddSeparator(menu);
        MenuAddTextItem(menu, kInformation, title, true);
    }
    return menu;
}

HMENU BuildList(ViewerContext* context, const MenuItem* items, size_t count) {
    HMENU menu = CreatePopupMenu();
    if (menu) AddItems(context, menu, items, count);
    return menu;
}

struct PopupEntry {
    HMENU popup;
    uint32_t id;
    WString text;
};

Ref<ExtensionHost> Extensions(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetExtensionHost(app.get()) : nullptr;
}

// The main menu's popups in their order, with the menu-bar button texts.
std::vector<PopupEntry> BuildPopups(ViewerContext* context, bool redlining) {
    Ref<AppRoot> app = ViewerGetApp(context);
    const ProgramHooks hooks = app ? AppGetProgramHooks(app.get()) : ProgramHooks();
    std::vector<PopupEntry> popups;
    HMENU file = hooks.build_file_menu ? hooks.build_file_menu(context) : nullptr;
    popups.push_back({file ? file : BuildFile(context), kFirstPopup,
                      WString(ViewerTextOrEmpty(context, text::kMenuFile))});
    popups.push_back({BuildList(context, kZoomItems, std::size(kZoomItems)), kFirstPopup + 1,
                      WString(ViewerTextOrEmpty(context, text::kMenuZoom))});
    popups.push_back({BuildList(context, kViewItems, std::size(kViewItems)), kFirstPopup + 2,
                      WString(ViewerTextOrEmpty(context, text::kMenuView))});
    popups.push_back({BuildTools(context, redlining), kFirstPopup + 3,
                      WString(ViewerTextOrEmpty(context, text::kMenuTools))});
    popups.push_back({BuildList(context, kWindowItems, std::size(kWindowItems)), kFirstPopup + 4,
                      WString(ViewerTextOrEmpty(context, text::kMenuWindow))});
    Ref<ExtensionHost> host = Extensions(context);
    const uint32_t extensions = host ? ExtensionHostCount(host.get()) : 0;
    for (uint32_t i = 0; i < extensions && i < kMaxExtensionPopups; ++i) {
        Ref<Extension> extension = ExtensionHostGet(host.get(), i);
        if (!extension || !extension->has_menu) continue;
        HMENU popup = CreatePopupMenu();
        if (!popup) continue;
        const uint32_t entries = ExtensionEntryCount(extension.get());
        for (uint32_t j = 0; j < entries && j < 10; ++j) {
            if (Ref<ExtMenuEntry> entry = ExtensionGetEntry(extension.get(), j))
                MenuAddTextItem(popup, kFirstExtension + 10 * i + j, entry->text, true);
        }
        popups.push_back({popup, kFirstExtensionPopup + i, extension->menu_name});
    }
    HMENU help = hooks.build_help_menu ? hooks.build_help_menu(context) : nullptr;
    popups.push_back(
        {help ? help : BuildHelp(context), kLastPopup, WString(ViewerTextOrEmpty(context, text::kMenuHelp))});
    return popups;
}

Ref<Settings> SettingsOf(CommandBars* bars) { return ViewerGetSettings(bars->context.get()); }

// The File popup: the first of the main menu.
HMENU FilePopup(CommandBars* bars) { return GetSubMenu(bars->main_menu.get(), 0); }

// --- Menu-bar tracking -------------------------------------------------

// The bars whose popup is being tracked, and the message-filter hook that
// watches it; a popup's loop runs on the GUI thread only, one at a time.
CommandBars* g_tracked_bars = nullptr;
HHOOK g_filter_hook = nullptr;

LRESULT CALLBACK MenuFilterHook(int code, WPARAM wparam, LPARAM lparam) {
    CommandBars* bars = g_tracked_bars;
    const auto* message = reinterpret_cast<const MSG*>(lparam);
    if (code == MSGF_MENU && bars && message) {
        HWND menu_bar = bars->menu_bar.get();
        switch (message->message) {
            case WM_MOUSEMOVE:
            case WM_LBUTTONDBLCLK: {
                POINT point = message->pt;
                if (menu_bar && ScreenToClient(menu_bar, &point))
                    SendMessageW(menu_bar, message->message, message->wParam, MAKELPARAM(point.x, point.y));
                break;
            }
            case WM_KEYDOWN:
                // Only the keys that move between popups: some tool bars
                // also step their hot item on the arrow down, which belongs
                // to the open popup (and selects its first item).
                if ((message->wParam == VK_LEFT || message->wParam == VK_RIGHT) && bars->rebar)
                    SendMessageW(bars->rebar.get(), WM_KEYDOWN, message->wParam, message->lParam);
                break;
        }
    }
    return CallNextHookEx(g_filter_hook, code, wparam, lparam);
}

void EnterKeyboardMode(CommandBars* bars, int32_t button_id) {
    if (bars->keyboard_mode) return;
    HWND menu_bar = bars->menu_bar.get();
    HWND focus = GetFocus();
    if (focus != menu_bar) bars->focus_before = focus;
    SetFocus(bars->rebar.get());
    SetCapture(menu_bar);
    SendMessageW(menu_bar, WM_SETCURSOR, reinterpret_cast<WPARAM>(menu_bar),
                 MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
    PostMessageW(menu_bar, TB_SETHOTITEM, static_cast<WPARAM>(button_id), 0);
    bars->keyboard_mode = true;
}

void LeaveKeyboardMode(CommandBars* bars) {
    if (!bars->keyboard_mode) return;
    bars->keyboard_mode = false;
    HWND menu_bar = bars->menu_bar.get();
    PostMessageW(menu_bar, TB_SETHOTITEM, static_cast<WPARAM>(-1), 0);
    HWND focus = GetFocus();
    if ((focus == menu_bar || focus == bars->rebar.get()) && bars->focus_before &&
        IsWindow(bars->focus_before))
        SetFocus(bars->focus_before);
    bars->focus_before = nullptr;
    if (GetCapture() == menu_bar) ReleaseCapture();
}

LRESULT OnHotItemChange(CommandBars* bars, const NMTBHOTITEM* change) {
    if (!bars->keyboard_mode) return 0;
    constexpr DWORD kUserMoves = HICF_MOUSE | HICF_ARROWKEYS | HICF_ACCELERATOR;
    if ((change->dwFlags & HICF_LEAVING) && (change->dwFlags & kUserMoves)) return 1;
    if (bars->tracking && change->idNew != bars->current_button && !(change->dwFlags & HICF_LEAVING)) {
        PostMessageW(bars->menu_bar.get(), WM_CANCELMODE, 0, 0);
        bars->track_again = true;
        bars->select_first = !(change->dwFlags & HICF_MOUSE);
    }
    if (!(change->dwFlags & HICF_LEAVING)) bars->current_button = change->idNew;
    return 0;
}

void CopyToolTip(CommandBars* bars, NMTTDISPINFOW* info) {
    for (const ToolTip& tip : kToolTips) {
        if (tip.id != info->hdr.idFrom) continue;
        const wchar_t* text = ViewerTextOrEmpty(bars->context.get(), tip.text);
        lstrcpynW(info->szText, text, static_cast<int>(std::size(info->szText)));
        info->lpszText = info->szText;
        return;
    }
}

LRESULT CALLBACK RebarProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                           DWORD_PTR data) {
    // Borrowed: the bars remove this subclass before they go.
    auto* bars = reinterpret_cast<CommandBars*>(data);
    switch (message) {
        case WM_NCDESTROY:
            WindowSubclassRemove(window, &RebarProc, id);
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (!header) break;
            if (header->code == TBN_HOTITEMCHANGE && header->hwndFrom == bars->menu_bar.get())
                return OnHotItemChange(bars, reinterpret_cast<const NMTBHOTITEM*>(lparam));
            if (header->code == TBN_DROPDOWN && header->hwndFrom == bars->menu_bar.get()) {
                if (!bars->tracking) {
                    const auto* drop = reinterpret_cast<const NMTOOLBARW*>(lparam);
                    Ref<CommandBars> hold(bars);
                    CommandBarsTrackPopup(bars, drop->iItem, (GetKeyState(VK_LBUTTON) & 0x8000) != 0);
                }
                return 0;
            }
            if (header->code == TTN_GETDISPINFOW) {
                CopyToolTip(bars, reinterpret_cast<NMTTDISPINFOW*>(lparam));
                return 0;
            }
            break;
        }
        case WM_KEYDOWN:
            if (bars->keyboard_mode && (wparam == VK_ESCAPE || wparam == VK_SPACE)) {
                LeaveKeyboardMode(bars);
                return 0;
            }
            if (bars->menu_bar) return SendMessageW(bars->menu_bar.get(), message, wparam, lparam);
            break;
        case WM_COMMAND:
            ViewerOnCommand(bars->context.get(), wparam, lparam);
            return 0;
        case WM_MENUCHAR: {
            UINT button = 0;
            if (bars->menu_bar && SendMessageW(bars->menu_bar.get(), TB_MAPACCELERATORW, LOWORD(wparam),
                                               reinterpret_cast<LPARAM>(&button))) {
                Ref<CommandBars> hold(bars);
                CommandBarsTrackPopup(bars, static_cast<int32_t>(button), true);
                return 0;
            }
            break;
        }
        case WM_MOUSEMOVE:
            if (bars->frame_window) return SendMessageW(bars->frame_window, message, wparam, lparam);
            break;
    }
    return WindowSubclassNext(window, message, wparam, lparam);
}

// --- Making the bars ---------------------------------------------------

HWND MakeToolBar(CommandBars* bars, DWORD style) {
    HWND tool_bar = CreateWindowExW(0, TOOLBARCLASSNAMEW, L"", style, 0, 0, 0, 0, bars->rebar.get(), nullptr,
                                    bars->instance, nullptr);
    if (tool_bar) SendMessageW(tool_bar, TB_BUTTONSTRUCTSIZE, sizeof(TBBUTTON), 0);
    return tool_bar;
}

bool AddBand(CommandBars* bars, HWND child, UINT mask, UINT style, UINT min_height, UINT width) {
    REBARBANDINFOW band = {};
    band.cbSize = sizeof(band);
    band.fMask = mask;
    band.fStyle = style;
    band.clrFore = GetSysColor(COLOR_BTNTEXT);
    band.clrBack = GetSysColor(COLOR_BTNFACE);
    band.iImage = -1;
    band.hwndChild = child;
    band.cxMinChild = 0;
    band.cyMinChild = min_height;
    band.cyChild = min_height;
    band.cyMaxChild = min_height;
    band.cx = width;
    band.cxIdeal = width;
    band.wID = kCommandBandId;
    return SendMessageW(bars->rebar.get(), RB_INSERTBANDW, static_cast<WPARAM>(-1),
                        reinterpret_cast<LPARAM>(&band)) != 0;
}

bool MakeMenuBar(CommandBars* bars, const std::vector<PopupEntry>& popups) {
    constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_LIST |
                             TBSTYLE_FLAT | CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
    if (!bars->menu_bar.Attach(MakeToolBar(bars, kStyle))) return false;
    HWND menu_bar = bars->menu_bar.get();
    SendMessageW(menu_bar, TB_SETIMAGELIST, 0, 0);
    for (const PopupEntry& entry : popups) {
        TBBUTTON button = {};
        button.iBitmap = I_IMAGENONE;
        button.idCommand = static_cast<int>(entry.id);
        button.fsState = TBSTATE_ENABLED;
        button.fsStyle = BTNS_SHOWTEXT | BTNS_AUTOSIZE | BTNS_DROPDOWN;
        button.iString = reinterpret_cast<INT_PTR>(WStrCStr(entry.text));
        SendMessageW(menu_bar, TB_ADDBUTTONSW, 1, reinterpret_cast<LPARAM>(&button));
    }
    SendMessageW(menu_bar, TB_AUTOSIZE, 0, 0);
    const UINT height = HIWORD(SendMessageW(menu_bar, TB_GETBUTTONSIZE, 0, 0));
    SIZE ideal = {};
    SendMessageW(menu_bar, TB_GETMAXSIZE, 0, reinterpret_cast<LPARAM>(&ideal));
    return AddBand(bars, menu_bar,
                   RBBIM_STYLE | RBBIM_COLORS | RBBIM_IMAGE | RBBIM_CHILD | RBBIM_CHILDSIZE |
                       RBBIM_BACKGROUND | RBBIM_ID,
                   RBBS_NOGRIPPER | RBBS_CHILDEDGE, height, static_cast<UINT>(ideal.cx));
}

void MakeImageLists(CommandBars* bars) {
    const ImageStore* images = Images(bars->context.get());
    const size_t count = bars->redlining ? std::size(kToolBitmaps) : std::size(kToolBitmaps) - 1;
    // Masked, so that the tool bar draws a disabled button greyed in the
    // picture's shape rather than as a grey square.
    constexpr UINT kFlags = ILC_COLOR24 | ILC_MASK;
    bars->normal_images.Reset(ImageList_Create(16, 16, kFlags, static_cast<int>(count), 1));
    bars->hot_images.Reset(ImageList_Create(16, 16, kFlags, static_cast<int>(count), 1));
    if (!images) return;
    for (size_t i = 0; i < count; ++i) {
        ImageListAddBitmap(images, bars->normal_images.get(), kToolBitmaps[i][0]);
        ImageListAddBitmap(images, bars->hot_images.get(), kToolBitmaps[i][1]);
    }
}

bool MakeToolBarBand(CommandBars* bars) {
    constexpr DWORD kStyle = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | TBSTYLE_TRANSPARENT |
                             TBSTYLE_LIST | TBSTYLE_FLAT | TBSTYLE_WRAPABLE | TBSTYLE_TOOLTIPS |
                             CCS_NODIVIDER | CCS_NOPARENTALIGN | CCS_NORESIZE;
    if (!bars->tool_bar.Attach(MakeToolBar(bars, kStyle))) return false;
    HWND tool_bar = bars->tool_bar.get();
    SendMessageW(tool_bar, TB_SETEXTENDEDSTYLE, 0, TBSTYLE_EX_DRAWDDARROWS);
    SendMessageW(tool_bar, TB_SETBITMAPSIZE, 0, MAKELPARAM(16, 16));
    SendMessageW(tool_bar, TB_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(bars->normal_images.get()));
    SendMessageW(tool_bar, TB_SETHOTIMAGELIST, 0, reinterpret_cast<LPARAM>(bars->hot_images.get()));
    std::vector<TBBUTTON> buttons;
    auto add = [&](uint32_t id, int32_t image) {
        TBBUTTON button = {};
        button.iBitmap = id ? image : 0;
        button.idCommand = static_cast<int>(id);
        button.fsState = id ? TBSTATE_ENABLED : 0;
        button.fsStyle = id ? BTNS_BUTTON : BTNS_SEP;
        buttons.push_back(button);
    };
    for (const ToolButton& button : kToolButtons) add(button.id, button.image);
    if (bars->redlining) {
        add(0, 0);
        add(kRedlineEdit, kRedlineImage);
    }
    SendMessageW(tool_bar, TB_ADDBUTTONSW, buttons.size(), reinterpret_cast<LPARAM>(buttons.data()));
    return AddBand(
        bars, tool_bar,
        RBBIM_STYLE | RBBIM_COLORS | RBBIM_CHILD | RBBIM_CHILDSIZE | RBBIM_SIZE | RBBIM_ID | RBBIM_IDEALSIZE,
        RBBS_BREAK | RBBS_CHILDEDGE | RBBS_VARIABLEHEIGHT | RBBS_NOGRIPPER | RBBS_USECHEVRON, 23, 150);
}

// --- States ------------------------------------------------------------

bool AllowedBy(const Ref<OpenParams>& params, bool (*get)(const OpenParams*)) {
    return !params || get(params.get());
}

}  // namespace

// --- Listener ----------------------------------------------------------

Ref<CommandBars> CommandBarsListener::Bars() {
    ScopedLock hold(lock_);
    return Ref<CommandBars>(bars_);
}

void CommandBarsListener::ForgetBars() {
    ScopedLock hold(lock_);
    bars_ = nullptr;
}

HubAnswer CommandBarsListener::Notify(RefCounted* /*sender*/, HubEvent* event) {
    Ref<CommandBars> bars = Bars();
    if (!bars) return HubAnswer::kContinue;
    switch (event->code) {
        case event::kAppEnding:
            ForgetBars();
            return HubAnswer::kHandled;
        case event::kViewChanged:
            if (!(VariantToInt(event->argument) &
                  (event::kViewRotation | event::kViewMirroring | event::kViewInversion)))
                return HubAnswer::kContinue;
            CommandBarsUpdatePressedStates(bars.get());
            return HubAnswer::kHandled;
        case event::kRestrictionsChanged: {
            // Forbidding interactive opening takes the recent files away.
            Ref<AppRoot> app = ViewerGetApp(bars->context.get());
            CommandBarsRebuildRecentFiles(bars.get(), app ? app->recent_files.get() : nullptr);
            [[fallthrough]];
        }
        case event::kActiveItemChanged:
            CommandBarsUpdateCommandStates(bars.get());
            CommandBarsUpdatePressedStates(bars.get());
            return HubAnswer::kHandled;
        case event::kSettingChanged:
            if (!(static_cast<uint64_t>(VariantToInt64(event->argument)) & setting::kZoomFactor))
                return HubAnswer::kContinue;
            CommandBarsUpdateCommandStates(bars.get());
            return HubAnswer::kHandled;
        case event::kRedlineModeChanged:
            CommandBarsUpdatePressedStates(bars.get());
            return HubAnswer::kHandled;
    }
    return HubAnswer::kContinue;
}

// --- Bars --------------------------------------------------------------

CommandBars::~CommandBars() {
    if (g_tracked_bars == this) g_tracked_bars = nullptr;
    if (listener) {
        listener->ForgetBars();
        ListenerDetach(listener.get());
    }
    if (rebar) WindowSubclassRemove(rebar.get(), &RebarProc, kRebarSubclass);
    tool_bar.Reset();
    menu_bar.Reset();
    rebar.Reset();
    // The image lists go with the members, after the tool bar that used them.
}

Ref<CommandBars> CommandBarsCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                   EventHub* hub) {
    if (!frame_window || !instance) return nullptr;
    Ref<CommandBars> bars = MakeRef<CommandBars>();
    bars->frame_window = frame_window;
    bars->instance = instance;
    bars->context = Ref<ViewerContext>(context);
    Ref<Settings> settings = ViewerGetSettings(context);
    bars->redlining = settings && SettingsGetRedliningActive(settings.get());

    bars->main_menu.Reset(CreateMenu());
    if (!bars->main_menu) return nullptr;
    const std::vector<PopupEntry> popups = BuildPopups(context, bars->redlining);
    for (const PopupEntry& entry : popups) {
        if (!entry.popup) continue;
        MenuApplyStyle(entry.popup);
        if (!MenuAddPopup(bars->main_menu.get(), entry.popup, entry.id)) DestroyMenu(entry.popup);
    }

    HWND rebar = CreateWindowExW(
        0, REBARCLASSNAMEW, L"",
        WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_BORDER | RBS_BANDBORDERS |
            RBS_VARHEIGHT | CCS_NODIVIDER | CCS_ADJUSTABLE | CCS_NOPARENTALIGN | CCS_TOP,
        0, 0, 800, 50, frame_window, reinterpret_cast<HMENU>(kCommandBarsRebarId), instance, nullptr);
    if (!bars->rebar.Attach(rebar)) return nullptr;
    MakeImageLists(bars.get());
    if (!MakeMenuBar(bars.get(), popups) || !MakeToolBarBand(bars.get())) return nullptr;
    if (!WindowSubclassAdd(rebar, &RebarProc, kRebarSubclass, reinterpret_cast<DWORD_PTR>(bars.get())))
        return nullptr;
    bars->listener = MakeRef<CommandBarsListener>();
    bars->listener->bars_ = bars.get();
    if (hub) ListenerConstruct(bars->listener.get(), hub);
    Ref<AppRoot> app = ViewerGetApp(context);
    CommandBarsRebuildRecentFiles(bars.get(), app ? app->recent_files.get() : nullptr);
    CommandBarsUpdateCommandStates(bars.get());
    CommandBarsUpdatePressedStates(bars.get());
    return bars;
}

void CommandBarsLayout(CommandBars* bars, int32_t menu_mode, int32_t toolbar_mode, HWND /*frame_window*/,
                       const RectI& client) {
    if (!bars || !bars->rebar) return;
    HWND rebar = bars->rebar.get();
    bars->shown = menu_mode != kPaneHidden || toolbar_mode != kPaneHidden;
    if (!bars->shown) {
        ShowWindow(rebar, SW_HIDE);
        return;
    }
    // Both bands carry the same id: they are addressed by index.
    SendMessageW(rebar, RB_SHOWBAND, 0, menu_mode != kPaneHidden);
    SendMessageW(rebar, RB_SHOWBAND, 1, toolbar_mode != kPaneHidden);
    RECT rect = {};
    GetWindowRect(rebar, &rect);
    // The rebar sets its own height from its bands.
    SetWindowPos(rebar, nullptr, client.origin.x, client.origin.y, client.size.width, rect.bottom - rect.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(rebar, SW_SHOW);
}

int32_t CommandBarsGetHeight(CommandBars* bars) {
    RECT rect;
    if (!bars || !bars->shown || !bars->rebar || !GetWindowRect(bars->rebar.get(), &rect)) return 0;
    return rect.bottom - rect.top;
}

HWND CommandBarsGetWindow(CommandBars* bars) { return bars ? bars->rebar.get() : nullptr; }
HWND CommandBarsGetToolBar(CommandBars* bars) { return bars ? bars->tool_bar.get() : nullptr; }
HWND CommandBarsGetMenuBar(CommandBars* bars) { return bars ? bars->menu_bar.get() : nullptr; }

HMENU CommandBarsGetPopup(CommandBars* bars, uint32_t popup_id) {
    if (!bars || !bars->menu_bar || !bars->main_menu) return nullptr;
    const LRESULT index = SendMessageW(bars->menu_bar.get(), TB_COMMANDTOINDEX, popup_id, 0);
    return index < 0 ? nullptr : GetSubMenu(bars->main_menu.get(), static_cast<int>(index));
}

std::vector<CommandState> CommandBarsEnabledStates(ViewerContext* context, bool redlining) {
    Ref<Settings> settings = ViewerGetSettings(context);
    const uint32_t r = settings ? SettingsGetRestrictions(settings.get()) : 0;
    const bool fixed_zoom = settings && SettingsGetZoomFactor(settings.get()) > 0;
    const bool window_group =
        settings && SettingsCallerMayChange(settings.get(), kGroupWindow, kCallerViewer);
    Ref<DocItem> item = ViewerGetActiveItem(context);
    const bool active = item != nullptr;
    const uint32_t type = active ? DocItemGetType(item.get()) : 0;
    const uint32_t m = active ? item->GetCommandMask() : 0;
    Ref<DocumentSource> source = active ? item->GetSource() : nullptr;
    const bool loaded = source && SourceGetState(source.get()) == kSourceLoaded;
    Ref<OpenParams> params = active ? item->GetOpenParams() : nullptr;
    const bool save_allowed = AllowedBy(params, OpenParamsGetAllowSave);
    const bool print_allowed = AllowedBy(params, OpenParamsGetAllowPrint);
    const bool documents = active || DocItemGetChildCount(ViewerGetRootItem(context).get()) > 0;
    int32_t count = 0, position = -1;
    if (active) ViewerGetItemPosition(context, item.get(), doc_type::kPage, count, position);
    const bool off_pages = active && type != doc_type::kPage && count > 0;
    const bool previous = position > 0 || off_pages;
    const bool next = (position >= 0 && position + 1 < count) || off_pages;
    const uint32_t editor = ViewerGetRedliningMode(context);
    const bool zoom = (m & item_command::kZoom) && !(r & restriction::kZoom);

    std::vector<CommandState> states = {
        {kOpen, !(r & restriction::kOpenInteractively)},
        {kCloseAll, documents && !(r & restriction::kOpenInteractively)},
        {kPrint, print_allowed && documents && !(r & restriction::kPrint)},
        {kClose, active && !(r & restriction::kOpenInteractively)},
        {kSaveAs, active && save_allowed && loaded && !(r & restriction::kSave)},
        {kConvert, save_allowed && (type & (doc_type::kImage | doc_type::kPage)) && loaded &&
                       !(r & restriction::kSave)},
        {kFirstPage, previous},
        {kPreviousPage, previous},
        {kNextPage, next},
        {kLastPage, next},
        {kGoToPage, documents},
        {kProperties, active},
        {kZoomIn, zoom && !fixed_zoom},
        {kZoomOut, zoom && !fixed_zoom},
        {kZoomAll, zoom},
        {kZoomFactor, zoom},
        {kMirrorVertical, (m & item_command::kMirroring) != 0},
        {kMirrorHorizontal, (m & item_command::kMirroring) != 0},
        {kRotateLeft, (m & item_command::kRotation) != 0},
        {kRotateRight, (m & item_command::kRotation) != 0},
        {kStandardView, (m & item_command::kStandardView) != 0},
        {kInvert, (m & item_command::kInversion) != 0},
        {kBitmapExport, (m & item_command::kCopyView) && !(r & restriction::kCopyView)},
        {kMeasuringPoint, (m & item_command::kMeasuring) != 0},
        {kVersionComparison, type == doc_type::kPage},
        {kSettings, !(r & restriction::kSettings)},
        {kVariables, !(r & restriction::kEditVariables)},
    };
    if (redlining)
        states.push_back(
            {kRedlineEdit, RedliningModeEdits(editor) || (editor != kRedliningModeOff && active)});
    for (uint32_t id = kToolBarOn; id <= kZoomViewHidden; ++id)
        if (id != kNavigationFloating) states.push_back({id, window_group});
    const uint32_t providers = ViewerPrintProviderCount(context);
    for (uint32_t i = 0; i < providers && kFirstPrinter + i <= kLastPrinter; ++i)
        states.push_back({kFirstPrinter + i, print_allowed && documents && !(r & restriction::kPrint)});
    return states;
}

std::vector<CommandState> CommandBarsPressedStates(ViewerContext* context, bool redlining) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    Ref<CutOutState> cut_out = item ? item->GetCutOut() : nullptr;
    bool vertical = false, horizontal = false, inverted = false;
    if (cut_out) {
        const bool turned = CutOutGetRotation(cut_out.get()) % 180 != 0;
        const bool mirror_vertical = CutOutGetMirrorVertical(cut_out.get());
        const bool mirror_horizontal = CutOutGetMirrorHorizontal(cut_out.get());
        // Turned a quarter, a vertical mirror looks horizontal and back.
        vertical = turned ? mirror_horizontal : mirror_vertical;
        horizontal = turned ? mirror_vertical : mirror_horizontal;
        inverted = CutOutGetInvert(cut_out.get());
    }
    std::vector<CommandState> states = {
        {kMirrorVertical, vertical}, {kMirrorHorizontal, horizontal}, {kInvert, inverted}};
    if (redlining) {
        const uint32_t editor = ViewerGetRedliningMode(context);
        states.push_back({kRedlineEdit, item && RedliningModeEdits(editor)});
    }
    return states;
}

void CommandBarsUpdateCommandStates(CommandBars* bars) {
    if (!bars || !bars->tool_bar) return;
    for (const CommandState& state : CommandBarsEnabledStates(bars->context.get(), bars->redlining)) {
        if (OnToolBar(state.id)) {
            const auto given = bars->enabled_given.find(state.id);
            if (given == bars->enabled_given.end() || given->second != state.on) {
                SendMessageW(bars->tool_bar.get(), TB_ENABLEBUTTON, state.id,
                             MAKELPARAM(state.on ? TRUE : FALSE, 0));
                bars->enabled_given[state.id] = state.on;
            }
        }
        EnableMenuItem(bars->main_menu.get(), state.id, MF_BYCOMMAND | (state.on ? MF_ENABLED : MF_GRAYED));
    }
    Ref<ExtensionHost> host = Extensions(bars->context.get());
    if (!host) return;
    Ref<DocItem> item = ViewerGetActiveItem(bars->context.get());
    const uint32_t type = item ? DocItemGetType(item.get()) : 0;
    uint32_t allowed = 1;
    if (type == doc_type::kPage) allowed |= 2;
    if (type == doc_type::kImage) allowed |= 4;
    if (type == doc_type::kUnshowable) allowed |= 8;
    if (type == doc_type::kList) allowed |= 16;
    const uint32_t extensions = ExtensionHostCount(host.get());
    for (uint32_t i = 0; i < extensions && i < kMaxExtensionPopups; ++i) {
        Ref<Extension> extension = ExtensionHostGet(host.get(), i);
        const uint32_t entries = extension ? ExtensionEntryCount(extension.get()) : 0;
        for (uint32_t j = 0; j < entries && j < 10; ++j) {
            Ref<ExtMenuEntry> entry = ExtensionGetEntry(extension.get(), j);
            const bool on = entry && (entry->flags & allowed);
            EnableMenuItem(bars->main_menu.get(), kFirstExtension + 10 * i + j,
                           MF_BYCOMMAND | (on ? MF_ENABLED : MF_GRAYED));
        }
    }
}

void CommandBarsUpdatePressedStates(CommandBars* bars) {
    if (!bars || !bars->tool_bar) return;
    for (const CommandState& state : CommandBarsPressedStates(bars->context.get(), bars->redlining))
        SendMessageW(bars->tool_bar.get(), TB_PRESSBUTTON, state.id, MAKELPARAM(state.on ? TRUE : FALSE, 0));
}

void CommandBarsUpdateCheckMarks(CommandBars* bars) {
    if (!bars || !bars->main_menu) return;
    Ref<Settings> settings = SettingsOf(bars);
    if (!settings) return;
    HMENU menu = bars->main_menu.get();
    auto check = [&](uint32_t id, bool on) {
        CheckMenuItem(menu, id, MF_BYCOMMAND | (on ? MF_CHECKED : MF_UNCHECKED));
    };
    const int32_t toolbar = SettingsGetViewMode(settings.get(), kPaneToolBar);
    const int32_t menubar = SettingsGetViewMode(settings.get(), kPaneMenuBar);
    const int32_t status = SettingsGetViewMode(settings.get(), kPaneStatusBar);
    check(kToolBarOn, toolbar == 1);
    check(kToolBarOff, toolbar == 0);
    check(kMenuBarOn, menubar == 1);
    check(kMenuBarOff, menubar == 0);
    check(kStatusBarOn, status == 1);
    check(kStatusBarOff, status == 0);
    const struct {
        SettingsPane pane;
        uint32_t docked, floating, hidden;
    } panes[] = {{kPaneNavigation, kNavigationDocked, kNavigationFloating, kNavigationHidden},
                 {kPanePreview, kPreviewDocked, kPreviewFloating, kPreviewHidden},
                 {kPaneMainView, kZoomViewDocked, kZoomViewFloating, kZoomViewHidden}};
    for (const auto& pane : panes) {
        const int32_t mode = SettingsGetViewMode(settings.get(), pane.pane);
        check(pane.docked, mode == kPaneDocked);
        check(pane.floating, mode == kPaneFloating);
        check(pane.hidden, mode == kPaneHidden);
    }
    Ref<FrameWindow> frame = ViewerGetFrame(bars->context.get());
    Ref<MainViewWindow> view = FrameGetMainView(frame.get());
    check(kMeasuringPoint, view && view->anchor);
    if (bars->redlining) {
        const uint32_t editor = ViewerGetRedliningMode(bars->context.get());
        check(kRedlineEdit, RedliningModeEdits(editor));
    }
}

void CommandBarsRebuildRecentFiles(CommandBars* bars, RecentFiles* list) {
    if (!bars || !bars->main_menu) return;
    HMENU file = FilePopup(bars);
    if (!file) return;
    const int32_t items = GetMenuItemCount(file);
    int32_t first = -1;
    for (int32_t i = 0; i < items && first < 0; ++i)
        if (GetMenuItemID(file, i) == kFirstRecentFile) first = i;
    if (first >= 0) {
        const int32_t from = first > 0 ? first - 1 : first;  // with the separator before it
        for (int32_t i = items - 1; i >= from; --i) DeleteMenu(file, static_cast<UINT>(i), MF_BYPOSITION);
    }
    Ref<Settings> settings = SettingsOf(bars);
    if (settings && (SettingsGetRestrictions(settings.get()) & restriction::kOpenInteractively)) return;
    const uint32_t count = RecentFilesCount(list);
    if (count == 0) return;
    MenuAddSeparator(file);
    for (uint32_t i = 0; i < count && kFirstRecentFile + i <= kLastRecentFile; ++i) {
        MenuAddTextItem(file, kFirstRecentFile + i,
                        RecentFilesShortenName(RecentFilesGet(list, i), kRecentFilesMenuLength), true);
    }
}

void CommandBarsTrackPopup(CommandBars* bars, int32_t button_id, bool select_first) {
    if (!bars || !bars->menu_bar || !bars->rebar || bars->tracking) return;
    HWND menu_bar = bars->menu_bar.get();
    EnterKeyboardMode(bars, button_id);
    bars->current_button = button_id;
    bars->select_first = select_first;
    bars->track_again = true;
    while (bars->track_again) {
        bars->track_again = false;
        HMENU popup = CommandBarsGetPopup(bars, static_cast<uint32_t>(bars->current_button));
        if (!popup) break;
        CommandBarsUpdateCheckMarks(bars);
        const WPARAM button = static_cast<WPARAM>(bars->current_button);
        SendMessageW(menu_bar, TB_PRESSBUTTON, button, MAKELPARAM(TRUE, 0));
        if (bars->select_first) {
            keybd_event(VK_DOWN, 0, 0, 0);
            keybd_event(VK_DOWN, 0, KEYEVENTF_KEYUP, 0);
        }
        RECT rect = {};
        SendMessageW(menu_bar, TB_GETRECT, button, reinterpret_cast<LPARAM>(&rect));
        MapWindowPoints(menu_bar, HWND_DESKTOP, reinterpret_cast<POINT*>(&rect), 2);
        TPMPARAMS exclude = {sizeof(exclude), rect};
        bars->tracked_popup = popup;
        bars->tracking = true;
        g_tracked_bars = bars;
        WindowsHook filter_hook(
            SetWindowsHookExW(WH_MSGFILTER, &MenuFilterHook, nullptr, GetCurrentThreadId()));
        g_filter_hook = filter_hook.get();
        // The chosen command comes back here and is posted, so that it runs
        // once the menu bar has left its loop.
        const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(popup, TPM_VERTICAL | TPM_RETURNCMD, rect.left,
                                                               rect.bottom, menu_bar, &exclude));
        filter_hook.Reset();
        g_filter_hook = nullptr;
        g_tracked_bars = nullptr;
        bars->tracking = false;
        bars->tracked_popup = nullptr;
        SendMessageW(menu_bar, TB_PRESSBUTTON, button, MAKELPARAM(FALSE, 0));
        if (chosen) PostMessageW(bars->rebar.get(), WM_COMMAND, MAKEWPARAM(chosen, 0), 0);
    }
    if (bars->return_to_keyboard_mode)
        SetCapture(menu_bar);
    else
        LeaveKeyboardMode(bars);
}
