// What the action and command tests share: a running viewer with documents
// opened through the open road from TIFFs made by ImageMagick, the view
// notifications it posted, and a driver that answers the modal dialogs and
// message boxes an action shows while it runs.
#pragma once

#include <gtest/gtest.h>
#include <windows.h>
// after windows.h, which it needs
#include <dlgs.h>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "redlining/redline_document.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/action_listener.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/commands.h"
#include "viewer/core/document_controller.h"
#include "viewer/core/document_open_close.h"
#include "viewer/core/open_request.h"
#include "viewer/core/page_navigation.h"
#include "viewer/core/settings.h"
#include "viewer/documents/doc_item.h"
#include "viewer/views/cut_out_state.h"

inline std::wstring NameOf(DocItem* item) {
    WString name;
    DocItemGetName(item, name);
    return WStrLength(name) ? std::wstring(WStrCStr(name)) : std::wstring();
}

// A viewer whose documents are opened through ViewerOpenDocument.
struct ActionViewer : RunningViewer {
    // The main view shows a cut-out as it is instead of widening it to the
    // window, so that the actions' cut-outs can be checked as they set them.
    ActionViewer() { GetSettings()->zoom_exact = true; }
    // What the tests changed is not saved: the next viewer starts from the defaults.
    ~ActionViewer() {
        Ref<Settings> settings = GetSettings();
        ScopedLock hold(settings->lock);
        settings->changed = 0;
    }
    // Opens the files as one request of the mode and waits, bounded, until
    // each has become a document and an image document has its pages.
    int32_t Open(const std::vector<std::string>& unix_paths, uint32_t mode = kOpenCommandLine,
                 const OpenParams* params = nullptr) {
        std::wstring joined;
        for (const std::string& path : unix_paths) {
            if (!joined.empty()) joined += L'\t';
            joined += WindowsPathOf(path);
        }
        const int32_t started = ViewerOpenDocument(context.get(), WString(joined.c_str()), params, mode);
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
    // The masks of the view notifications that arrived since the last Forget.
    std::vector<int32_t> ViewMasks() {
        PumpPending();
        std::vector<int32_t> masks;
        for (const ReceivedEvent& received : listener->events) {
            if (received.code == event::kViewChanged) masks.push_back(VariantToInt(received.argument));
        }
        return masks;
    }
    // Opens the frame with its panes; without it no window shows pages on its own.
    bool OpenFrame() {
        return AppCreateWindow(root.get(), context.get(), GetModuleHandleW(nullptr), nullptr, false);
    }
    // English texts, so that messages can be recognised.
    void UseEnglish() {
        root->texts = AppTextTableCreate(GetModuleHandleW(nullptr), 1);
        ScopedLock hold(context->lock);
        context->language = 1;
    }
    // Takes the action listener off the hub and puts the recording listener
    // first, so that it sees every action before a window's listener can take it.
    void MuteActions() {
        Ref<DocumentController> controller = AppGetController(root.get());
        ASSERT_TRUE(controller && controller->listener);
        ListenerDetach(controller->listener);
        Ref<EventHub> hub = AppGetEventHub(root.get());
        ScopedLock hold(hub->lock);
        const int32_t at = PtrArrayFind(hub->listeners, listener.get());
        ASSERT_GE(at, 0);
        PtrArrayRemoveAt(hub->listeners, static_cast<uint32_t>(at));
        ASSERT_TRUE(PtrArrayInsert(hub->listeners, listener.get(), 0));
    }
};

inline void MakeTiffFiles(const std::string& dir, const std::vector<std::pair<std::string, int>>& files) {
    for (const auto& [name, pages] : files) MakeTiff(dir + "/" + name, pages);
}

// Answers the dialogs and message boxes that appear on this thread while it
// lives: every 50 ms each visible dialog window not answered yet is handed
// to `answer`, which answers it (by posting a command) and returns true.
// The texts of the message boxes seen are kept. A window still there 5 s
// after its answer is cancelled and closed, so that no test waits without
// bound on a dialog that ignored it (`gave_up` tells).
class DialogDriver {
  public:
    using Answer = std::function<bool(DialogDriver&, HWND)>;
    explicit DialogDriver(Answer answer) : answer_(std::move(answer)) {
        current_ = this;
        timer_ = SetTimer(nullptr, 0, 50, Tick);
    }
    ~DialogDriver() {
        KillTimer(nullptr, timer_);
        current_ = nullptr;
        if (gave_up) ADD_FAILURE() << "a dialog stayed open after it was answered";
    }
    DialogDriver(const DialogDriver&) = delete;
    DialogDriver& operator=(const DialogDriver&) = delete;

    // The texts of a window's static children, joined by '|'.
    static std::wstring StaticTexts(HWND window) {
        std::wstring texts;
        EnumChildWindows(window, CollectStatic, reinterpret_cast<LPARAM>(&texts));
        return texts;
    }
    // Types the name into a file dialog of either style and confirms.
    static void ChooseFileName(HWND dialog, const std::wstring& name) {
        SetDlgItemTextW(dialog, cmb13, name.c_str());
        SetDlgItemTextW(dialog, edt1, name.c_str());
        PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    }
    static bool IsFileDialog(HWND dialog) { return GetDlgItem(dialog, cmb13) || GetDlgItem(dialog, edt1); }

    std::vector<std::wstring> boxes;  // texts of the message boxes answered
    int dialogs = 0;                  // windows answered
    bool gave_up = false;             // a window outlived its answer

  private:
    static BOOL CALLBACK CollectStatic(HWND child, LPARAM data) {
        wchar_t name[16] = {}, text[512] = {};
        GetClassNameW(child, name, 16);
        if (lstrcmpiW(name, L"Static") == 0 && GetWindowTextW(child, text, 512) > 0) {
            auto* out = reinterpret_cast<std::wstring*>(data);
            if (!out->empty()) *out += L'|';
            *out += text;
        }
        return TRUE;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD) {
        if (current_) EnumThreadWindows(GetCurrentThreadId(), Visit, 0);
    }
    static BOOL CALLBACK Visit(HWND window, LPARAM) {
        wchar_t name[16] = {};
        GetClassNameW(window, name, 16);
        DialogDriver* driver = current_;
        if (!driver || std::wstring(name) != L"#32770" || !IsWindowVisible(window)) return TRUE;
        if (auto answered = driver->answered_.find(window); answered != driver->answered_.end()) {
            if (GetTickCount() - answered->second > kGiveUpMs) {
                driver->gave_up = true;
                PostMessageW(window, WM_COMMAND, IDCANCEL, 0);
                PostMessageW(window, WM_CLOSE, 0, 0);
            }
            return TRUE;
        }
        const std::wstring texts = IsFileDialog(window) ? std::wstring() : StaticTexts(window);
        if (driver->answer_(*driver, window)) {
            driver->answered_[window] = GetTickCount();
            ++driver->dialogs;
            if (!IsFileDialog(window)) driver->boxes.push_back(texts);
        }
        return TRUE;
    }

    static constexpr DWORD kGiveUpMs = 5000;
    Answer answer_;
    UINT_PTR timer_ = 0;
    std::map<HWND, DWORD> answered_;  // when each was answered
    static inline DialogDriver* current_ = nullptr;
};
