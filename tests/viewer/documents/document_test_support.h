// What the document tests share: a running viewer whose hub drains into a
// recording listener, test files made by outside tools, the loopback HTTP
// server of tests/data/download_server.py, and bounded waits for sources.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/test_support.h"
#include "tests/viewer/core/hub_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/document_source.h"

// A running root whose hub drains through a window of the test's own (no
// frame, so no view activates or renders pages), a context on it, and a
// listener that records what arrives.
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
        drain.Reset();
        AppStop(root.get());
        context.Reset();
        root.Reset();
    }
    // How many notifications 8 arrived with this source as argument.
    size_t Announcements(const DocumentSource* source) const {
        size_t count = 0;
        for (const ReceivedEvent& received : listener->events) {
            if (received.code == event::kSourceLoaded && received.argument.tag == kVariantObject &&
                received.argument.payload.object == source) {
                ++count;
            }
        }
        return count;
    }
    // Remembers the source's worker, if one runs, so that the viewer ends
    // only after it.
    void Track(DocumentSource* source);
    size_t Count(uint32_t code) const {
        size_t count = 0;
        for (const ReceivedEvent& received : listener->events) count += received.code == code;
        return count;
    }
    // Lets queued events go and forgets those recorded, with the references
    // their arguments hold.
    void Forget() {
        PumpPending();
        listener->events.clear();
    }
    // Pumps until the source has been announced `count` times.
    bool WaitForAnnouncement(const DocumentSource* source, size_t count = 1, DWORD timeout_ms = 15000) {
        return PumpUntil([&] { return Announcements(source) >= count; }, timeout_ms);
    }

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<HubDrainWindow> drain;
    Ref<RecordingListener> listener;
    std::vector<HANDLE> workers;
};

// Pumps messages and tests `done` every 20 ms until it holds or the time
// is up (PumpUntil tests only when a message arrives).
inline bool PollUntil(const std::function<bool()>& done, DWORD timeout_ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start >= timeout_ms) return false;
        PumpUntil([] { return false; }, 20);
    }
    return true;
}

inline std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

inline std::string Narrow(const WString& text) {
    std::string out;
    for (const wchar_t* c = WStrCStr(text); *c; ++c) out += static_cast<char>(*c);
    return out;
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

inline void RunningViewer::Track(DocumentSource* source) {
    if (HANDLE worker = DuplicateWorker(source)) workers.push_back(worker);
}

// The download test server, started in the background for a suite and
// stopped after it.
class DownloadServer {
  public:
    bool Start(const std::string& name) {
        dir_ = MakeScratchDir("documents_" + name);
        docs_ = dir_ + "/docs";
        state_ = dir_ + "/state";
        const std::string script = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/download_server.py";
        if (RunHostCommand("mkdir -p '" + docs_ + "' '" + state_ + "'") != 0) return false;
        if (RunHostCommand("setsid /usr/bin/python3 '" + script + "' http '" + docs_ + "' '" + state_ +
                           "' </dev/null >'" + state_ + "/server.out' 2>&1 &") != 0) {
            return false;
        }
        for (int waited_ms = 0; waited_ms < 15000; waited_ms += 20) {
            std::vector<uint8_t> port = ReadHostFile(state_ + "/port");
            if (!port.empty()) {
                port_ = std::string(port.begin(), port.end());
                return true;
            }
            Sleep(20);
        }
        return false;
    }
    void Stop() {
        if (!port_.empty()) RunHostCommand("kill $(cat '" + state_ + "/pid') 2>/dev/null");
        port_.clear();
    }
    std::string Document(const std::string& name) const { return docs_ + "/" + name; }
    std::wstring Url(const std::string& path) const { return Widen("http://127.0.0.1:" + port_ + path); }
    const std::string& port() const { return port_; }

  private:
    std::string dir_, docs_, state_, port_;
};
