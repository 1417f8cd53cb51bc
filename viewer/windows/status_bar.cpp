#include "viewer/windows/status_bar.h"

#include <commctrl.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <utility>

#include "foundation/handles.h"
#include "foundation/string_builder.h"
#include "foundation/variant.h"
#include "foundation/window_subclass.h"
#include "resources/text_ids.h"
#include "viewer/app/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/number_format.h"
#include "viewer/core/open_params.h"
#include "viewer/core/pane_display_modes.h"
#include "viewer/core/scale.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/paper_format_matcher.h"
#include "viewer/views/main_view.h"
#include "viewer/views/measuring.h"
#include "viewer/windows/frame_window.h"

namespace {

// Right edges of the parts, from the parent's client width less the
// scroll bar's less this.
constexpr int32_t kPartsWidth = 620;
constexpr int32_t kPartEdges[kStatusPartCount] = {0, 60, 150, 240, 400, 520, 620};
constexpr size_t kPageTextSize = 100;

constexpr COLORREF kProgressColour = RGB(0, 0, 255);
constexpr UINT_PTR kSubclassId = 0x5354;  // beside the control handle's own

std::wstring Text(ViewerContext* context, uint32_t id) { return ViewerTextOrEmpty(context, id); }

bool Shows(const StatusBarWindow* bar, int32_t part, const std::wstring& text) {
    return bar->texts_known[part] && wcscmp(WStrCStr(bar->texts[part]), text.c_str()) == 0;
}

// Only a changed text is given: each message to a control costs a tenth of
// a millisecond under Wine, and the hub's notifications after an open or a
// page change give most parts the same text again and again.
void SetPart(StatusBarWindow* bar, int32_t part, const std::wstring& text) {
    if (!bar->control || part < 0 || part >= kStatusPartCount || Shows(bar, part, text)) return;
    SendMessageW(bar->control.get(), SB_SETTEXTW, part, reinterpret_cast<LPARAM>(text.c_str()));
    bar->texts[part] = text.c_str();
    bar->texts_known[part] = true;
}

void SetParts(StatusBarWindow* bar) {
    RECT client = {};
    if (!bar->control || !bar->parent || !GetClientRect(bar->parent, &client)) return;
    const int32_t start = client.right - GetSystemMetrics(SM_CXVSCROLL) - kPartsWidth;
    int edges[kStatusPartCount];
    for (int32_t i = 0; i < kStatusPartCount; ++i) edges[i] = start + kPartEdges[i];
    SendMessageW(bar->control.get(), SB_SETPARTS, kStatusPartCount, reinterpret_cast<LPARAM>(edges));
}

// The progress part less 2 pixels left and right and 4 above and below,
// filled from the left.
void DrawProgress(HDC dc, const RECT& part, int32_t percent) {
    RECT bar = {part.left + 2, part.top + 4, part.right - 2, part.bottom - 4};
    if (percent <= 0 || bar.right <= bar.left || bar.bottom <= bar.top) return;
    bar.right = bar.left + (bar.right - bar.left) * percent / 100;
    GdiBrush brush(CreateSolidBrush(kProgressColour));
    if (!brush) return;
    ScopedSelect pen(dc, GetStockObject(NULL_PEN));
    ScopedSelect fill(dc, brush.get());
    // The null pen leaves out the right and bottom edge.
    Rectangle(dc, bar.left, bar.top, bar.right + 1, bar.bottom + 1);
}

LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam, UINT_PTR id,
                             DWORD_PTR data) {
    auto* bar = reinterpret_cast<StatusBarWindow*>(data);
    switch (message) {
        case WM_SIZE: {
            const LRESULT result = WindowSubclassNext(control, message, wparam, lparam);
            SetParts(bar);
            return result;
        }
        case WM_NCDESTROY:
            WindowSubclassRemove(control, &ControlProc, id);
            break;
    }
    return WindowSubclassNext(control, message, wparam, lparam);
}

// ---- Texts of the parts

std::wstring PaperText(StatusBarWindow* bar, DocItem* item) {
    Ref<CutOutState> cut_out = item ? item->GetCutOut() : nullptr;
    Ref<AppRoot> app = ViewerGetApp(bar->context.get());
    WString name;
    if (!cut_out || !app || !PaperFormatName(&app->paper_formats, CutOutGetPageSize(cut_out.get()), name))
        return L"\t";
    return L"\t" + std::wstring(WStrBuffer(name));
}

std::wstring ScaleText(StatusBarWindow* bar, DocItem* item) {
    ViewerContext* context = bar->context.get();
    Ref<DocItem> document = item ? DocItemFindDocument(item, context) : nullptr;
    if (!document) return L"";
    // The pages carry their own copies of the document's parameters; the
    // scale dialog gives the new scale to both.
    Ref<OpenParams> params = item->GetOpenParams();
    if (!params) params = document->GetOpenParams();
    Ref<Scale> scale = params ? OpenParamsGetScale(params.get()) : nullptr;
    std::wstring text = L"\t" + Text(context, text::kStatusScale) + L" ";
    if (!scale) return text + Text(context, text::kStatusNoScale);
    WString formatted;
    FormatScale(scale.get(), formatted);
    return text + WStrBuffer(formatted);
}

std::wstring CutOutText(StatusBarWindow* bar, DocItem* item) {
    Ref<CutOutState> cut_out = item ? item->GetCutOut() : nullptr;
    if (!cut_out) return L"\t";
    RectD rect;
    CutOutGetRect(cut_out.get(), rect);
    WString text;
    MeasurePositionText(text, bar->context.get(), item, rect, true);
    return L"\t" + std::wstring(WStrBuffer(text));
}

std::wstring PageText(StatusBarWindow* bar, DocItem* item) {
    ViewerContext* context = bar->context.get();
    Ref<DocItem> document = item ? DocItemFindDocument(item, context) : nullptr;
    const uint32_t count = document ? DocItemGetChildCount(document.get()) : 0;
    if (count == 0) return L"\t";
    wchar_t buffer[kPageTextSize] = {};
    const bool page = (DocItemGetType(item) & doc_type::kPages) != 0;
    // The language texts hold printf forms of their own: the count is
    // checked by the text's number, not trusted from the text.
    const std::wstring form = Text(context, page ? text::kStatusPageOf : text::kStatusPages);
    if (page) {
        swprintf(buffer, kPageTextSize, form.c_str(), static_cast<int>(item->GetPageIndex() + 1),
                 static_cast<int>(count));
    } else {
        swprintf(buffer, kPageTextSize, form.c_str(), static_cast<int>(count));
    }
    return L"\t" + std::wstring(buffer);
}

std::wstring ZoomText(StatusBarWindow* bar) {
    ViewerContext* context = bar->context.get();
    Ref<Settings> settings = ViewerGetSettings(context);
    const double fixed = settings ? SettingsGetZoomFactor(settings.get()) : 0.0;
    double zoom = fixed;
    if (!(fixed > 0)) {
        Ref<FrameWindow> frame = ViewerGetFrame(context);
        Ref<MainViewWindow> view = FrameGetMainView(frame.get());
        zoom = view ? MainViewGetScale(view.get()) : -1.0;
    }
    if (!(zoom > 0) || !std::isfinite(zoom)) return L"\t";
    WStrBuilder builder;
    WString number;
    if (!FormatDecimalAuto(zoom * 100, builder)) return L"\t";
    WStrBuilderToString(builder, number);
    std::wstring text = L"\t" + std::wstring(WStrBuffer(number)) + L" %";
    if (fixed > 0) text += L" " + Text(context, text::kStatusFixed);
    return text;
}

constexpr uint32_t Bit(int32_t part) { return 1u << part; }

// The parts that notification `code` changes, a bit per part.
uint32_t PartsRefreshedBy(uint32_t code) {
    switch (code) {
        case event::kActiveItemChanged:
            return Bit(kStatusPartPaper) | Bit(kStatusPartScale) | Bit(kStatusPartCutOut) | Bit(kStatusPartPage) |
                   Bit(kStatusPartZoom);
        case event::kDrawingScaleChanged:
            return Bit(kStatusPartScale);
        case event::kItemAdded:
        case event::kItemKindChanged:
        case event::kItemRemoved:
        case event::kActivateItem:
            return Bit(kStatusPartCutOut) | Bit(kStatusPartPage);
        case event::kViewChanged:
        case event::kMainViewScaleChanged:
        case event::kSettingChanged:
            return Bit(kStatusPartCutOut);
        case event::kMainViewRecomputed:
            return Bit(kStatusPartZoom);
        default:
            return 0;
    }
}

// Fills the parts of the mask (a bit per part) from the active item.
void RefreshParts(StatusBarWindow* bar, uint32_t parts) {
    if (!bar || !bar->control || !parts) return;
    Ref<DocItem> item = ViewerGetActiveItem(bar->context.get());
    struct Change {
        int32_t part;
        std::wstring text;
    };
    Change changes[kStatusPartCount];
    int32_t count = 0;
    auto refresh = [&](int32_t part, auto text_of) {
        if (!(parts & (1u << part))) return;
        std::wstring text = text_of();
        if (!Shows(bar, part, text)) changes[count++] = Change{part, std::move(text)};
    };
    refresh(kStatusPartPaper, [&] { return PaperText(bar, item.get()); });
    refresh(kStatusPartScale, [&] { return ScaleText(bar, item.get()); });
    refresh(kStatusPartCutOut, [&] { return CutOutText(bar, item.get()); });
    refresh(kStatusPartPage, [&] { return PageText(bar, item.get()); });
    refresh(kStatusPartZoom, [&] { return ZoomText(bar); });
    if (count == 0) return;
    // The control repaints itself at once for every text it is given. A
    // refresh's new texts are painted with the next paint instead, once for
    // all of them and for the refreshes before it (as Wine turns redrawing
    // on again, it drops what was waiting to be painted, so the whole bar is
    // painted again).
    ScopedRedrawOff batch(bar->control.get());
    for (int32_t i = 0; i < count; ++i) SetPart(bar, changes[i].part, changes[i].text);
}

}  // namespace

// ---- Listener

Ref<StatusBarWindow> StatusBarListener::Bar() {
    ScopedLock hold(lock_);
    return Ref<StatusBarWindow>(bar_);
}

void StatusBarListener::SetBar(StatusBarWindow* bar) {
    ScopedLock hold(lock_);
    bar_ = bar;
    waiting_parts_ = 0;
}

uint32_t StatusBarListener::TakeWaitingParts() {
    ScopedLock hold(lock_);
    return std::exchange(waiting_parts_, 0u);
}

void StatusBarListener::DrainEnded() {
    const uint32_t parts = TakeWaitingParts();
    if (Ref<StatusBarWindow> bar = parts ? Bar() : nullptr) RefreshParts(bar.get(), parts);
}

HubAnswer StatusBarListener::Notify(RefCounted* sender, HubEvent* event) {
    if (event->code == event::kAppEnding) {
        SetBar(nullptr);
        return HubAnswer::kHandled;
    }
    Ref<StatusBarWindow> bar = Bar();
    if (!bar) return HubAnswer::kContinue;
    Variant argument;
    HubEventGetArg(event, argument);
    switch (event->code) {
        case event::kProgress:
            StatusBarSetProgress(bar.get(), StatusBarProgressPercent(VariantToDouble(argument)));
            return HubAnswer::kStop;
        case event::kSettingChanged:
            if (!(static_cast<uint64_t>(VariantToInt64(argument)) & setting::kLengthUnit))
                return HubAnswer::kContinue;
            break;
        case event::kStatusText: {
            if (!sender) return HubAnswer::kContinue;
            WString text;
            VariantToString(argument, text);
            SetPart(bar.get(), kStatusPartText, WStrBuffer(text) ? WStrBuffer(text) : L"");
            return HubAnswer::kHandled;
        }
        case event::kItemAdded:
        case event::kItemKindChanged:
        case event::kViewChanged:
        case event::kMainViewScaleChanged:
        case event::kItemRemoved:
        case event::kActiveItemChanged:
        case event::kActivateItem:
        case event::kMainViewRecomputed:
        case event::kDrawingScaleChanged:
            if (!sender) return HubAnswer::kContinue;
            break;
        default:
            return HubAnswer::kContinue;
    }
    const uint32_t parts = PartsRefreshedBy(event->code);
    // More of the drain's notifications follow: the parts are filled once,
    // when it ends or with the last of them.
    if (EventHubDrainContinues(hub.get())) {
        ScopedLock hold(lock_);
        waiting_parts_ |= parts;
        return HubAnswer::kHandled;
    }
    RefreshParts(bar.get(), parts | TakeWaitingParts());
    return HubAnswer::kHandled;
}

// ---- Status bar

StatusBarWindow::~StatusBarWindow() {
    // The control outlives this body by a moment; its procedure must not
    // reach the members already gone.
    if (control) WindowSubclassRemove(control.get(), &ControlProc, kSubclassId);
    if (listener) {
        listener->SetBar(nullptr);
        ListenerDetach(listener.get());
    }
}

Ref<StatusBarWindow> StatusBarCreate(ViewerContext* context, HWND frame_window, HINSTANCE instance,
                                     EventHub* hub) {
    if (!context || !frame_window) return nullptr;
    Ref<StatusBarWindow> bar = MakeRef<StatusBarWindow>();
    bar->context = Ref<ViewerContext>(context);
    bar->parent = frame_window;
    HWND control = CreateWindowExW(0, STATUSCLASSNAMEW, L"", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, frame_window,
                                   nullptr, instance, nullptr);
    if (!bar->control.Attach(control)) return nullptr;
    SetParts(bar.get());
    bar->listener = MakeRef<StatusBarListener>();
    bar->listener->SetBar(bar.get());
    if (hub) ListenerConstruct(bar->listener.get(), hub);
    WindowSubclassAdd(control, &ControlProc, kSubclassId, reinterpret_cast<DWORD_PTR>(bar.get()));
    SendMessageW(control, SB_SETTEXTW, kStatusPartProgress | SBT_OWNERDRAW, 0);
    bar->shown = true;
    return bar;
}

void StatusBarShow(StatusBarWindow* bar, int32_t mode, HWND /*frame_window*/, const RectI& area) {
    if (!bar || !bar->control || mode == kPaneFloating) return;
    HWND control = bar->control.get();
    if (mode == kPaneHidden) {
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

LRESULT StatusBarOwnerDraw(StatusBarWindow* bar, const DRAWITEMSTRUCT* item) {
    if (!bar || !item || !bar->control || item->hwndItem != bar->control.get() ||
        item->itemID != kStatusPartProgress) {
        return 1;
    }
    DrawProgress(item->hDC, item->rcItem, bar->progress);
    bar->progress_drawn = bar->progress;
    return 0;
}

LRESULT StatusBarOnNotify(StatusBarWindow* bar, const NMHDR* header) {
    if (!bar || !header || header->code != NM_CLICK) return 0;
    const auto* mouse = reinterpret_cast<const NMMOUSE*>(header);
    ViewerContext* context = bar->context.get();
    switch (static_cast<int32_t>(mouse->dwItemSpec)) {
        case kStatusPartScale:
            ViewerPostAction(context, event::kScaleDialog);
            return 1;
        case kStatusPartPage:
            ViewerPostActionArg(context, event::kGoToPage, VariantOfInt(-1));
            return 1;
        case kStatusPartZoom:
            ViewerPostAction(context, event::kZoomFactor);
            return 1;
        default:
            return 0;
    }
}

int16_t StatusBarProgressPercent(double fraction) {
    // NaN fails both comparisons.
    if (!(fraction >= 0.0 && fraction <= 1.0)) return -1;
    return static_cast<int16_t>(fraction * 100 + 0.5);
}

void StatusBarSetProgress(StatusBarWindow* bar, int32_t percent) {
    if (!bar) return;
    const auto wanted = static_cast<int16_t>(percent < 0 ? -1 : percent > 100 ? 100 : percent);
    bar->progress = wanted;
    if (wanted == bar->progress_drawn || !bar->control) return;
    HWND control = bar->control.get();
    RECT part = {};
    SendMessageW(control, SB_GETRECT, kStatusPartProgress, reinterpret_cast<LPARAM>(&part));
    if (wanted < 0) {
        // Repainted empty through the owner draw.
        InvalidateRect(control, &part, TRUE);
        return;
    }
    WindowDC dc(control);
    if (!dc) return;
    DrawProgress(dc.get(), part, wanted);
    bar->progress_drawn = wanted;
}

void StatusBarRefresh(StatusBarWindow* bar, uint32_t code) { RefreshParts(bar, PartsRefreshedBy(code)); }

void PostRectStatusText(ViewerContext* context, const RectD& rect_mm, bool size_only) {
    Ref<DocItem> item = ViewerGetActiveItem(context);
    WString text;
    MeasurePositionText(text, context, item.get(), rect_mm, size_only);
    Variant argument;
    VariantInitString(argument, text);
    ViewerPostActionArg(context, event::kStatusText, argument);
}
