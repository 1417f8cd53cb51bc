// What the action and command tests share: a running viewer with documents
// opened through the open road.
#pragma once

#include "tests/viewer/documents/document_test_support.h"
#include "viewer/app/action_listener.h"
#include "viewer/app/document_controller.h"
#include "viewer/app/page_navigation.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/commands.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/open_request.h"
#include "viewer/core/settings.h"
#include "viewer/model/cut_out_state.h"

inline std::wstring NameOf(DocItem* item) {
    WString name;
    DocItemGetName(item, name);
    return WStrLength(name) ? std::wstring(WStrCStr(name)) : std::wstring();
}

// A viewer whose documents are opened through ViewerOpenDocument.
struct ActionViewer : RunningViewer {
    // Cut-outs shown as set, not widened to the window.
    ActionViewer() { GetSettings()->zoom_exact = true; }
    // Nothing the tests changed is saved.
    ~ActionViewer() {
        Ref<Settings> settings = GetSettings();
        ScopedLock hold(settings->lock);
        settings->changed = 0;
    }
    // Opens the files as one request and waits, bounded, until all are loaded.
    int32_t Open(const std::vector<std::string>& unix_paths, uint32_t mode = kOpenCommandLine,
                 const OpenParams* params = nullptr) {
        const int32_t started = ViewerOpenDocument(context.get(), JoinedPaths(unix_paths), params, mode);
        PollUntil([&] { return AllLoaded(); }, 15000);
        return started;
    }
    bool AllLoaded() const {
        for (uint32_t i = 0; i < DocItemGetChildCount(RootItem().get()); ++i) {
            Ref<DocItem> child = Document(i);
            const uint32_t type = DocItemGetType(child.get());
            if (type == doc_type::kLoading) return false;
            if (type == doc_type::kImage && DocItemGetChildCount(child.get()) == 0) return false;
        }
        return true;
    }
    Ref<DocItem> Document(uint32_t at) const { return DocItemGetChild(RootItem().get(), at); }
    Ref<DocItem> Page(uint32_t doc, uint32_t at) const { return DocItemGetChild(Document(doc).get(), at); }
    int32_t ActiveId() const { return ViewerGetActiveItemId(context.get()); }
    Ref<CutOutState> ActiveCutOut() const {
        Ref<DocItem> active = ViewerGetActiveItem(context.get());
        return active ? active->GetCutOut() : nullptr;
    }
    Ref<Settings> GetSettings() const { return ViewerGetSettings(context.get()); }
    bool Command(uint32_t id) { return ViewerOnCommand(context.get(), id, 0); }
    // The masks of the view notifications since the last Forget.
    std::vector<int32_t> ViewMasks() {
        PumpPending();
        std::vector<int32_t> masks;
        for (const ReceivedEvent& received : listener->events) {
            if (received.code == event::kViewChanged) masks.push_back(VariantToInt(received.argument));
        }
        return masks;
    }
    // The frame with its panes, which show pages of their own accord.
    bool OpenFrame() {
        return AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false);
    }
    // Only the recording listener, first, sees the actions.
    void MuteActions() {
        Ref<DocumentController> controller = AppGetController(root.get());
        ASSERT_TRUE(controller && controller->listener);
        ListenerDetach(controller->listener);
        ASSERT_TRUE(PutFirst(Hub().get(), listener.get()));
    }
};

inline void MakeTiffFiles(const std::string& dir, const std::vector<std::pair<std::string, int>>& files) {
    for (const auto& [name, pages] : files) MakeTiff(dir + "/" + name, pages);
}
