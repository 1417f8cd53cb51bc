// What the frame and tree tests share: a viewer made the way the shells make
// it, on settings keys of the test's own, every pane docked and the splitters
// at known places, with a recorder that sees every hub event first.
#pragma once

#include <algorithm>

#include "tests/viewer/core/settings_test_support.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/open_request.h"
#include "viewer/core/settings.h"
#include "viewer/windows/doc_tree_window.h"
#include "viewer/windows/frame_window.h"

inline constexpr int32_t kTestNavigationWidth = 200;
inline constexpr int32_t kTestPreviewHeight = 150;

struct FrameViewer {
    explicit FrameViewer(const char* registry_root, const std::wstring& temp_directory = std::wstring())
        : redirect(registry_root) {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        if (!temp_directory.empty()) root->temp_directory = temp_directory.c_str();
        settings = AppGetSettings(root.get());
        for (SettingsPane pane :
             {kPanePreview, kPaneMainView, kPaneNavigation, kPaneStatusBar, kPaneToolBar, kPaneMenuBar}) {
            SettingsSetViewMode(settings.get(), nullptr, kCallerInternal, pane, 1);
        }
        SettingsSetNavigationWidth(settings.get(), nullptr, kCallerInternal, kTestNavigationWidth);
        SettingsSetPreviewHeight(settings.get(), nullptr, kCallerInternal, kTestPreviewHeight);
        context = ViewerContextConstruct(root.get());
        AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false);
        frame = AppGetFrame(root.get());
        recorder = MakeRef<RecordingListener>();
        Ref<EventHub> hub = AppGetEventHub(root.get());
        ListenerConstruct(recorder.get(), hub.get());
        PutFirst(hub.get(), recorder.get());
    }
    ~FrameViewer() {
        ListenerDetach(recorder.get());
        recorder->events.clear();
        frame.Reset();
        AppStop(root.get());
        AppCloseAll(root.get(), context.get());
        AppBroadcast(root.get(), event::kAppEnding);
        AppShutdown(root.get());
        PumpPending();
        context.Reset();
        root.Reset();
    }

    HWND Frame() const { return FrameGetHwnd(frame.get()); }
    HWND Tree() const { return frame && frame->tree ? frame->tree->window() : nullptr; }
    HWND TreeControl() const { return DocTreeGetControl(frame ? frame->tree.get() : nullptr); }

    void SetMode(SettingsPane pane, int32_t mode) {
        SettingsSetViewMode(settings.get(), nullptr, kCallerInternal, pane, mode);
        FrameLayout(frame.get());
    }
    // Gives the frame this client size (it lays itself out on WM_SIZE).
    void SetClientSize(int32_t width, int32_t height) {
        RECT window_rect = {};
        RECT client = {};
        GetWindowRect(Frame(), &window_rect);
        GetClientRect(Frame(), &client);
        SetWindowPos(Frame(), nullptr, 0, 0, width + (window_rect.right - window_rect.left) - client.right,
                     height + (window_rect.bottom - window_rect.top) - client.bottom,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    size_t Count(uint32_t code) const {
        return std::count_if(recorder->events.begin(), recorder->events.end(),
                             [&](const ReceivedEvent& received) { return received.code == code; });
    }
    // Opens the files as one interactive request and waits, bounded, until
    // each is a document with its pages and the first page is active.
    bool Open(const std::vector<std::string>& unix_paths, const OpenParams* params = nullptr) {
        if (ViewerOpenDocument(context.get(), JoinedPaths(unix_paths), params, kOpenInteractive) <= 0) return false;
        return PollUntil(
            [&] { return Loaded(unix_paths.size()) && ViewerGetActiveItemId(context.get()) >= 0; }, 15000);
    }
    bool Loaded(size_t documents) const {
        bool loaded = DocItemGetChildCount(ViewerGetRootItem(context.get()).get()) == documents;
        for (uint32_t i = 0; loaded && i < documents; ++i) {
            loaded = DocItemGetType(Document(i).get()) == doc_type::kImage &&
                     DocItemGetChildCount(Document(i).get());
        }
        return loaded;
    }
    Ref<DocItem> Document(uint32_t at) const {
        return DocItemGetChild(ViewerGetRootItem(context.get()).get(), at);
    }

    SettingsKeyRedirect redirect;
    Ref<AppRoot> root;
    Ref<Settings> settings;
    Ref<ViewerContext> context;
    Ref<FrameWindow> frame;
    Ref<RecordingListener> recorder;
};

// The window's rectangle in the frame's client coordinates (empty for null).
inline RectI RectInFrame(HWND window, HWND frame) {
    RECT rect = {};
    RectI out;
    if (!window || !GetWindowRect(window, &rect)) return out;
    MapWindowPoints(HWND_DESKTOP, frame, reinterpret_cast<POINT*>(&rect), 2);
    return RectISet(out, rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
}

inline RectI MakeRect(int32_t x, int32_t y, int32_t width, int32_t height) {
    RectI rect;
    return RectISet(rect, x, y, width, height);
}
