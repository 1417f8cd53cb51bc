// A running viewer (without a frame) with a view in a host window of the
// test's own, and the view's pixels read through WM_PRINTCLIENT.
#pragma once

#include <initializer_list>
#include <memory>
#include <tuple>

#include "tests/viewer/documents/document_test_support.h"
#include "tests/viewer/views/dib_canvas.h"
#include "viewer/core/settings.h"
#include "viewer/model/cut_out_state.h"
#include "viewer/model/view_mapping.h"
#include "viewer/views/main_view.h"

// A running viewer, a host window of the test's own, the options the tests
// rely on as shipped, and mouse messages posted to `target`.
struct HostHarness {
    HostHarness() {
        WNDCLASSW host_class = {};
        host_class.lpfnWndProc = DefWindowProcW;
        host_class.hInstance = GetModuleHandleW(nullptr);
        host_class.lpszClassName = L"MainViewTestHost";
        RegisterClassW(&host_class);  // fails harmlessly when a harness ran before
        host = CreateWindowExW(0, host_class.lpszClassName, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                               800, 600, nullptr, nullptr, host_class.hInstance, nullptr);
        // The registry may hold anything from other runs.
        Ref<Settings> s = settings();
        ScopedLock hold(s->lock);
        s->zoom_factor = 0.0;
        s->zoom_exact = false;
        s->show_hair_cross = true;
        s->use_preview_info = true;
        s->restrictions = 0;
        s->redlining_display = true;
    }
    ~HostHarness() {
        if (host) DestroyWindow(host);
        PumpPending();
    }
    ViewerContext* context() const { return viewer.context.get(); }
    Ref<Settings> settings() const { return ViewerGetSettings(viewer.context.get()); }

    // The file's first page, made the active item.
    Ref<DocItem> Show(const std::string& path) {
        Ref<DocumentItem> document = viewer.Open(path);
        Ref<DocItem> page = document ? ChildAt(document.get(), 0) : nullptr;
        if (page) ViewerSetActiveItem(context(), page.get());
        PumpPending();
        return page;
    }
    Ref<CutOutState> CutOut() const {
        Ref<DocItem> item = ViewerGetActiveItem(context());
        return item ? item->GetCutOut() : nullptr;
    }
    RectD CutOutRect() const {
        RectD rect;
        return CutOutGetRect(CutOut().get(), rect);
    }
    // Tells the views what changed, as the view actions do.
    void Changed(int32_t mask) {
        Variant argument;
        VariantInitInt(argument, mask);
        ViewerSendActionArg(context(), event::kViewChanged, argument);
        PumpPending();
    }
    std::unique_ptr<DibCanvas> Print() const {
        RECT client;
        GetClientRect(target, &client);
        auto canvas = std::make_unique<DibCanvas>(client.right, client.bottom, 0x123456);
        SendMessageW(target, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc()), PRF_CLIENT);
        return canvas;
    }
    void Post(UINT message, WPARAM keys, const PointI& at) const {
        PostMessageW(target, message, keys, MAKELPARAM(at.x, at.y));
    }
    // Mouse messages at points; `keys` before each of them.
    void Mouse(std::initializer_list<std::tuple<UINT, WPARAM, PointI>> messages) const {
        for (const auto& [message, keys, at] : messages) Post(message, keys, at);
        PumpPending();
    }
    void Drag(const PointI& from, const PointI& to) const {
        Mouse({{WM_MOUSEMOVE, 0, from},
               {WM_LBUTTONDOWN, MK_LBUTTON, from},
               {WM_MOUSEMOVE, MK_LBUTTON, PointI{(from.x + to.x) / 2, (from.y + to.y) / 2}},
               {WM_MOUSEMOVE, MK_LBUTTON, to},
               {WM_LBUTTONUP, 0, to}});
    }
    void Click(const PointI& at) const {
        Mouse({{WM_MOUSEMOVE, 0, at}, {WM_LBUTTONDOWN, MK_LBUTTON, at}, {WM_LBUTTONUP, 0, at}});
    }
    size_t Count(uint32_t code) const { return viewer.Count(code); }
    void SetRestrictions(uint32_t word) const {
        Ref<Settings> s = settings();
        ScopedLock hold(s->lock);
        s->restrictions = word;
    }

    RunningViewer viewer;
    HWND host = nullptr;
    HWND target = nullptr;
};

// A docked main view in the host.
struct ViewHarness : HostHarness {
    ViewHarness(int width, int height) {
        view = MainViewCreate(context(), host, kPaneDocked, false);
        if (view) {
            MainViewSetDisplayMode(view.get(), kPaneDocked, host, RectI{SizeI{width, height}, {}});
            target = view->window();
        }
        if (Ref<EventHub> hub = viewer.Hub()) PutFirst(hub.get(), viewer.listener.get());
    }
    ~ViewHarness() { view.Reset(); }
    Ref<ViewMapping> Mapping() const { return MainViewGetMapping(view.get()); }
    // Both buttons held, the picture follows the mouse.
    void Pan(const PointI& from, const PointI& to) const {
        Mouse({{WM_MOUSEMOVE, 0, from},
               {WM_LBUTTONDOWN, MK_LBUTTON, from},
               {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, from},
               {WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, to},
               {WM_LBUTTONUP, MK_RBUTTON, to},
               {WM_RBUTTONUP, 0, to}});
    }
    void Wheel(int delta, WPARAM keys = 0) {
        Variant argument;
        VariantInitInt(argument, static_cast<int32_t>(MAKEWPARAM(keys, delta)));
        ViewerSendActionArg(context(), event::kMouseWheel, argument);
        PumpPending();
    }

    Ref<MainViewWindow> view;
};
