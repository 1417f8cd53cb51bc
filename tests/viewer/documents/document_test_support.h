// What the document tests share: a running viewer whose hub drains into a
// recording listener, and files made by outside tools.
#pragma once

#include <gtest/gtest.h>

#include <set>

#include "tests/support/test_support.h"
#include "tests/viewer/core/hub_test_support.h"
#include "viewer/app/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_params.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

// A copy of the worker's thread handle, so a test can wait for the worker
// to end after the source is gone; null when no worker runs.
inline HANDLE DuplicateWorker(DocumentSource* source) {
    ScopedLock guard(source->lock);
    HANDLE copy = nullptr;
    if (source->worker_thread) {
        DuplicateHandle(GetCurrentProcess(), source->worker_thread.get(), GetCurrentProcess(), &copy,
                        SYNCHRONIZE, FALSE, 0);
    }
    return copy;
}

// A running root whose hub drains through a window of the test's own (no
// frame, so no view activates or renders pages), a context on it, and a
// listener registered before any item's.
struct RunningViewer {
    RunningViewer() {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        root->state = kAppRunning;  // what AppCreateWindow does once the frame exists
        drain = MakeRef<HubDrainWindow>(AppGetEventHub(root.get()).get());
        listener = MakeRef<RecordingListener>();
        ListenerConstruct(listener.get(), AppGetEventHub(root.get()).get());
    }
    ~RunningViewer() {
        // A worker that announced still lets go of its context afterwards;
        // the root must not end on its thread.
        for (HANDLE worker : workers) {
            WaitForSingleObject(worker, 15000);
            CloseHandle(worker);
        }
        PumpPending();
        ListenerDetach(listener.get());
        listener->events.clear();
        drain.Reset();
        AppStop(root.get());
        context.Reset();
        root.Reset();
    }

    Ref<EventHub> Hub() const { return AppGetEventHub(root.get()); }
    Ref<DocItem> RootItem() const { return ViewerGetRootItem(context.get()); }
    uint32_t ListenerCount() const {
        Ref<EventHub> hub = Hub();
        ScopedLock hold(hub->lock);
        return hub->listeners.count;
    }
    // The viewer ends only after the source's worker, if one runs.
    void Track(DocumentSource* source) {
        if (HANDLE worker = DuplicateWorker(source)) workers.push_back(worker);
    }
    // Starts loading the path or URL.
    Ref<DocumentSource> Start(const std::wstring& path, OpenParams* params = nullptr) {
        Ref<DocumentSource> source = SourceCreate(context.get(), path.c_str(), params);
        if (source) SourceStartLoad(source.get(), context.get());
        if (source) Track(source.get());
        return source;
    }
    // A list entry under the root for the path or URL, loaded as the open
    // road does; waits, bounded, until it knows its kind.
    Ref<DocumentItem> Open(const std::wstring& path, OpenParams* params = nullptr) {
        Ref<DocumentSource> source = SourceCreate(context.get(), path.c_str(), params);
        Ref<DocumentItem> item = source ? DocumentItemCreate(context.get(), RootItem().get(), source.get(),
                                                             params, ViewerNextOpenNumber(context.get()))
                                        : nullptr;
        if (!item) return nullptr;
        SourceStartLoad(source.get(), context.get());
        Track(source.get());
        PumpUntil([&] { return DocItemGetType(item.get()) != doc_type::kLoading; }, 15000);
        return item;
    }
    Ref<DocumentItem> Open(const std::string& unix_path, OpenParams* params = nullptr) {
        return Open(WindowsPathOf(unix_path), params);
    }
    // Lets queued events go and forgets those recorded, with the references
    // their arguments hold.
    void Forget() {
        PumpPending();
        listener->events.clear();
    }
    // Pumps until notification 8 arrived `count` times with this source.
    bool WaitForAnnouncement(const DocumentSource* source, size_t count = 1, DWORD timeout_ms = 15000) {
        return PumpUntil([&] { return Count(event::kSourceLoaded, source) >= count; }, timeout_ms);
    }
    // The codes among `wanted` that reached the listener, in order.
    std::vector<uint32_t> Codes(const std::set<uint32_t>& wanted) const {
        std::vector<uint32_t> codes;
        for (const ReceivedEvent& received : listener->events) {
            if (wanted.count(received.code)) codes.push_back(received.code);
        }
        return codes;
    }
    // How many notifications `code` arrived (with `object` as argument).
    size_t Count(uint32_t code, const RefCounted* object = nullptr) const {
        size_t count = 0;
        for (const ReceivedEvent& e : listener->events) {
            count += e.code == code &&
                     (!object || (e.argument.tag == kVariantObject && e.argument.payload.object == object));
        }
        return count;
    }

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<HubDrainWindow> drain;
    Ref<RecordingListener> listener;
    std::vector<HANDLE> workers;
};

// The Windows paths of the files, TAB-separated as one open request takes them.
inline WString JoinedPaths(const std::vector<std::string>& unix_paths) {
    std::wstring joined;
    for (const std::string& path : unix_paths) joined += (joined.empty() ? L"" : L"\t") + WindowsPathOf(path);
    return WString(joined.c_str());
}

inline void ExpectRect(const RectD& rect, double x, double y, double width, double height,
                       double tolerance = 1e-9) {
    EXPECT_NEAR(rect.origin.x, x, tolerance);
    EXPECT_NEAR(rect.origin.y, y, tolerance);
    EXPECT_NEAR(rect.size.width, width, tolerance);
    EXPECT_NEAR(rect.size.height, height, tolerance);
}

inline Ref<DocItem> ChildAt(DocItem* item, uint32_t position) { return DocItemGetChild(item, position); }

inline std::wstring Wide(const WString& text) { return WStrCStr(text); }
inline std::string Narrow(const WString& text) {
    const std::wstring wide = WStrCStr(text);
    return std::string(wide.begin(), wide.end());
}

// Runs shell commands in `dir`; true on success.
inline bool MakeFilesIn(const std::string& dir, const std::string& commands) {
    return RunHostCommand("cd '" + dir + "' && " + commands) == 0;
}

// A TIFF of `pages` Group 4 pages made by ImageMagick, 200 dpi.
inline void MakeTiff(const std::string& path, int pages) {
    std::string command = "convert -density 200 -units PixelsPerInch";
    for (int i = 0; i < pages; ++i) command += " -size " + std::to_string(300 + 10 * i) + "x200 xc:white";
    command += " -compress group4 '" + path + "'";
    ASSERT_EQ(RunHostCommand(command), 0) << command;
}

inline void WriteText(const std::string& path, const std::string& text) {
    ASSERT_TRUE(WriteHostFile(path, std::vector<uint8_t>(text.begin(), text.end()))) << path;
}
