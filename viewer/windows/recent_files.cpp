#include "viewer/windows/recent_files.h"

#include <windows.h>

#include <algorithm>

#include "foundation/registry.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/open_request.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/windows/command_bars.h"
#include "viewer/windows/frame_window.h"

namespace {

// The list is the desktop program's. The control shows it in its File menu
// but adds nothing, so it never has anything to write: what a page opens (its
// URL, query and token included) must not turn up in the program's menu.
constexpr bool kListKept = kViewerProgramBuild;

WString ValueName(int32_t position) {
    WString name(L"FILE_");
    WStrAppendInt(name, position);
    return name;
}

int32_t ListLength(Settings* settings) {
    return std::clamp<int32_t>(SettingsGetRecentFilesLength(settings), 0, kRecentFilesSlots);
}

// The end of the head that a shortened name keeps: after the scheme's
// "://", after a drive's ":\", or the "\\" of a UNC path; 0 for none.
uint32_t HeadLength(const WString& path) {
    int32_t at = WStrFindStr(path, L"://", true);
    if (at > 0) return static_cast<uint32_t>(at) + 3;
    const bool unc = WStrLength(path) >= 2 && WStrCharAt(path, 0) == L'\\' && WStrCharAt(path, 1) == L'\\';
    if (unc) return 2;
    at = WStrFindStr(path, L":\\", true);
    if (at > 0) return static_cast<uint32_t>(at) + 2;
    return 0;
}

}  // namespace

RecentFiles::~RecentFiles() {
    if (listener) {
        listener->ForgetList();
        ListenerDetach(listener.get());
    }
}

void RecentFilesListener::ForgetList() {
    ScopedLock hold(lock_);
    list_ = nullptr;
}

HubAnswer RecentFilesListener::Notify(RefCounted* sender, HubEvent* event) {
    Ref<RecentFiles> list;
    {
        ScopedLock hold(lock_);
        list = Ref<RecentFiles>(list_);
    }
    if (!list) return HubAnswer::kContinue;
    if (event->code == event::kAppEnding) {
        ForgetList();
        return HubAnswer::kHandled;
    }
    if (event->code != event::kDocumentOpened) return HubAnswer::kContinue;
    Ref<RefCounted> object = VariantGetObject(event->argument);
    auto* request = dynamic_cast<OpenRequest*>(object.get());
    // What the user opened, also from the command line (a double click in the
    // shell); what other programs open over DDE or automation is theirs.
    if (!kListKept || !request || (request->mode != kOpenInteractive && request->mode != kOpenCommandLine))
        return HubAnswer::kHandled;
    const int32_t tab = WStrFindChar(request->paths, L'\t');
    WString path;
    if (tab >= 0)
        WStrLeft(request->paths, static_cast<uint32_t>(tab), path);
    else
        path = request->paths;
    if (!RecentFilesAdd(list.get(), path)) return HubAnswer::kHandled;
    auto* context = dynamic_cast<ViewerContext*>(sender);
    if (!context) return HubAnswer::kHandled;
    if (Ref<FrameWindow> frame = ViewerGetFrame(context))
        CommandBarsRebuildRecentFiles(frame->command_bars.get(), list.get());
    return HubAnswer::kHandled;
}

Ref<RecentFiles> RecentFilesCreate(EventHub* hub, Settings* settings) {
    Ref<RecentFiles> list = MakeRef<RecentFiles>();
    list->settings = Ref<Settings>(settings);
    const int32_t length = settings ? ListLength(settings) : kRecentFilesSlots;
    // Read only: the key is made by the first save that has something to write.
    RegKey key = RegOpen(HKEY_CURRENT_USER, kRecentFilesKeyPath, true);
    for (int32_t position = 0; key && position < length; ++position) {
        WString path;
        if (RegGetString(key.get(), WStrCStr(ValueName(position)), path) && WStrLength(path) > 0)
            list->slots[list->count++] = path;
    }
    list->found_at_load = list->count;
    list->listener = MakeRef<RecentFilesListener>();
    list->listener->list_ = list.get();
    if (hub) ListenerConstruct(list->listener.get(), hub);
    return list;
}

bool RecentFilesAdd(RecentFiles* list, const WString& path) {
    if (!list || WStrLength(path) == 0 || !list->settings) return false;
    const int32_t length = ListLength(list->settings.get());
    if (length == 0) return false;
    ScopedLock hold(list->lock);
    int32_t found = -1;
    for (int32_t i = list->count - 1; i >= 0; --i) {
        if (WStrEqualsNoCaseStr(list->slots[i], path)) {
            found = i;
            break;
        }
    }
    if (found == 0) return false;
    if (found < 0) {
        if (list->count >= length) list->count = length - 1;
        found = list->count++;
    }
    for (int32_t i = found; i > 0; --i) list->slots[i] = list->slots[i - 1];
    list->slots[0] = path;
    list->changed = true;
    return true;
}

WString RecentFilesGet(RecentFiles* list, uint32_t index) {
    if (!list) return WString();
    ScopedLock hold(list->lock);
    if (index >= static_cast<uint32_t>(list->count)) return WString();
    return list->slots[index];
}

uint32_t RecentFilesCount(RecentFiles* list) {
    if (!list) return 0;
    ScopedLock hold(list->lock);
    return static_cast<uint32_t>(list->count);
}

bool RecentFilesSave(RecentFiles* list) {
    if (!list) return false;
    ScopedLock hold(list->lock);
    if (!list->settings || !list->changed) return true;
    RegKey key = RegOpen(HKEY_CURRENT_USER, kRecentFilesKeyPath, false);
    if (!key) return false;
    const int32_t written = std::min(list->count, ListLength(list->settings.get()));
    bool ok = true;
    for (int32_t position = 0; position < written; ++position)
        ok &= RegSetString(key.get(), WStrCStr(ValueName(position)), list->slots[position]);
    for (int32_t position = written; position < list->found_at_load; ++position)
        RegDeleteValue(key.get(), WStrCStr(ValueName(position)));
    RegClose(key);
    if (ok) list->changed = false;
    return ok;
}

WString RecentFilesShortenName(const WString& path, uint32_t length) {
    const uint32_t total = WStrLength(path);
    if (total <= length) return path;
    const uint32_t tail = length > 3 ? length - 3 : 0;
    const uint32_t head = HeadLength(path);
    WString out;
    WString part;
    // A head that ends late leaves a rest shorter than the tail: taking the
    // tail from the rest would reach into the head.
    if (total - head >= tail) WStrLeft(path, head, out);
    WStrAppendChars(out, L"...");
    WStrAppend(out, WStrRight(path, tail, part));
    return out;
}
