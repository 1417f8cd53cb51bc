// What the document-tree tests share: a running viewer whose hub drains
// into a recording listener, opening a file the way the open road does,
// drawings made by ImageMagick, and a DIB to draw items into.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

#include "foundation/handles.h"
#include "tests/support/test_support.h"
#include "tests/viewer/core/hub_test_support.h"
#include "viewer/core/app_root.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/open_params.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/documents/document_source.h"

// A running root whose hub drains through a window of the test's own (no
// frame, so no view activates or renders pages), a context on it, and a
// listener registered before any item's.
struct TreeViewer {
    TreeViewer() {
        root = AppCreate(GetModuleHandleW(nullptr), nullptr);
        context = ViewerContextConstruct(root.get());
        root->state = kAppRunning;  // what AppCreateWindow does once the frame exists
        drain = MakeRef<HubDrainWindow>(Hub().get());
        listener = MakeRef<RecordingListener>();
        ListenerConstruct(listener.get(), Hub().get());
    }
    ~TreeViewer() {
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

    // A list entry under `parent` (the root when null) for the file, loaded
    // in place; waits, bounded, until its source has reported.
    Ref<DocumentItem> Open(const std::string& unix_path, OpenParams* params = nullptr,
                           DocItem* parent = nullptr) {
        Ref<DocItem> under = parent ? Ref<DocItem>(parent) : RootItem();
        Ref<DocumentSource> source =
            SourceCreate(context.get(), WString(WindowsPathOf(unix_path).c_str()), params);
        if (!source) return nullptr;
        Ref<DocumentItem> item = DocumentItemCreate(context.get(), under.get(), source.get(), params,
                                                    ViewerNextOpenNumber(context.get()));
        if (!item) return nullptr;
        SourceStartLoad(source.get(), context.get());
        PumpUntil([&] { return DocItemGetType(item.get()) != doc_type::kLoading; });
        return item;
    }

    // The codes among `wanted` that reached the listener, in order.
    std::vector<uint32_t> Codes(const std::set<uint32_t>& wanted) const {
        std::vector<uint32_t> codes;
        for (const ReceivedEvent& received : listener->events) {
            if (wanted.count(received.code)) codes.push_back(received.code);
        }
        return codes;
    }

    Ref<AppRoot> root;
    Ref<ViewerContext> context;
    Ref<HubDrainWindow> drain;
    Ref<RecordingListener> listener;
};

inline Ref<DocItem> ChildAt(DocItem* item, uint32_t position) { return DocItemGetChild(item, position); }

inline std::wstring NameOf(DocItem* item) {
    WString name;
    DocItemGetName(item, name);
    return WStrLength(name) ? std::wstring(WStrCStr(name)) : std::wstring();
}

// Runs shell commands in `dir` (made fresh for the test); true on success.
inline bool MakeFilesIn(const std::string& dir, const std::string& commands) {
    return RunHostCommand("cd '" + dir + "' && " + commands) == 0;
}

// A 32-bit top-down DIB section selected into a memory DC.
class DibCanvas {
  public:
    DibCanvas(int width, int height, uint32_t fill) : width_(width), height_(height), dc_(nullptr) {
        BITMAPINFO info = {};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        bitmap_ = GdiBitmap(CreateDIBSection(dc_.get(), &info, DIB_RGB_COLORS, &bits, nullptr, 0));
        pixels_ = static_cast<uint32_t*>(bits);
        if (pixels_) std::fill(pixels_, pixels_ + width * height, fill);
        select_ = SelectObject(dc_.get(), bitmap_.get());
    }
    ~DibCanvas() {
        if (select_) SelectObject(dc_.get(), select_);
    }
    DibCanvas(const DibCanvas&) = delete;
    DibCanvas& operator=(const DibCanvas&) = delete;

    bool ok() const { return dc_ && bitmap_ && pixels_; }
    HDC dc() const { return dc_.get(); }
    // 0xRRGGBB.
    uint32_t Pixel(int x, int y) const {
        GdiFlush();
        return pixels_[y * width_ + x] & 0xFFFFFF;
    }
    int Count(uint32_t colour) const {
        GdiFlush();
        return static_cast<int>(std::count_if(pixels_, pixels_ + width_ * height_,
                                              [&](uint32_t p) { return (p & 0xFFFFFF) == colour; }));
    }

  private:
    int width_, height_;
    MemoryDC dc_;
    GdiBitmap bitmap_;
    uint32_t* pixels_ = nullptr;
    HGDIOBJ select_ = nullptr;
};
