#include "viewer/core/viewer_context.h"

#include <utility>

#include "viewer/app/app_root.h"
#include "viewer/app/document_controller.h"
#include "viewer/core/app_texts.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/path_utils.h"
#include "viewer/core/progress_forwarder.h"
#include "viewer/core/settings.h"
#include "viewer/core/variable_list.h"
#include "viewer/documents/doc_item.h"

namespace {

// Fetches the hub under the context lock and uses it after leaving the
// lock: the context lock is never held while the hub's lock is taken.
Ref<EventHub> HubOf(ViewerContext* context) {
    if (!context) return nullptr;
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetEventHub(app.get()) : nullptr;
}

template <class T>
Ref<T> ReadMember(ViewerContext* context, Ref<T> ViewerContext::*member) {
    if (!context) return nullptr;
    ScopedLock hold(context->lock);
    return context->*member;
}

}  // namespace

ViewerContext::~ViewerContext() { ViewerReleaseMembers(this); }

bool ViewerContext::ReportError(uint32_t number, uint32_t severity, const wchar_t* detail) { return true; }

const wchar_t* ViewerContext::GetText(uint32_t id, uint32_t reserved) {
    return ViewerGetText(this, id, reserved);
}

Ref<ViewerContext> ViewerContextConstruct(AppRoot* app) {
    Ref<ViewerContext> context = MakeRef<ViewerContext>();
    context->app = Ref<AppRoot>(app);
    if (Ref<Settings> settings = app ? AppGetSettings(app) : nullptr) {
        context->language = SettingsGetLanguage(settings.get());
        context->redlining_active = SettingsGetRedliningActive(settings.get());
    }
    context->redlining_mode = context->redlining_active ? kRedliningModeView : kRedliningModeOff;
    // The forwarder holds the context plainly; ViewerReleaseMembers detaches it
    // before the context goes.
    context->progress_forwarder = ProgressForwarderCreate(context.get());
    context->variables = VariableListCreate();
    Ref<DocItem> root = RootItemCreate(context.get());
    ScopedLock hold(context->lock);
    context->root_item = std::move(root);
    return context;
}

void ViewerReleaseMembers(ViewerContext* context) {
    if (!context) return;
    Ref<AppRoot> app;
    Ref<DocItem> root_item;
    Ref<DocItem> active_item;
    Ref<ProgressForwarder> progress;
    Ref<VariableList> variables;
    {
        ScopedLock hold(context->lock);
        app = std::move(context->app);
        root_item = std::move(context->root_item);
        active_item = std::move(context->active_item);
        progress = std::move(context->progress_forwarder);
        variables = std::move(context->variables);
    }
    // A render still reporting must not reach a context that is going.
    ProgressForwarderDetach(progress.get());
    // The rest is released outside the lock: an item's destructor asks the
    // context for its root.
}

Ref<AppRoot> ViewerGetApp(ViewerContext* context) { return ReadMember(context, &ViewerContext::app); }

Ref<Settings> ViewerGetSettings(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetSettings(app.get()) : nullptr;
}

Ref<DocumentController> ViewerGetController(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetController(app.get()) : nullptr;
}

HWND ViewerGetFrameHwnd(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetFrameHwnd(app.get()) : nullptr;
}

HINSTANCE ViewerGetInstance(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetInstance(app.get()) : nullptr;
}

uint32_t ViewerGetAppState(ViewerContext* context) {
    Ref<AppRoot> app = ViewerGetApp(context);
    return app ? AppGetState(app.get()) : kAppStopped;
}

uint16_t ViewerGetLanguage(ViewerContext* context) {
    if (!context) return 0;
    ScopedLock hold(context->lock);
    return context->language;
}

Ref<DocItem> ViewerGetRootItem(ViewerContext* context) {
    return ReadMember(context, &ViewerContext::root_item);
}

Ref<DocItem> ViewerGetActiveItem(ViewerContext* context) {
    return ReadMember(context, &ViewerContext::active_item);
}

int32_t ViewerGetActiveItemId(ViewerContext* context) {
    if (!context) return -1;
    ScopedLock hold(context->lock);
    return context->active_item ? context->active_item->id : -1;
}

Ref<VariableList> ViewerGetVariableList(ViewerContext* context) {
    return ReadMember(context, &ViewerContext::variables);
}

Ref<ProgressForwarder> ViewerGetProgressForwarder(ViewerContext* context) {
    return ReadMember(context, &ViewerContext::progress_forwarder);
}

uint32_t ViewerGetRedliningMode(ViewerContext* context) {
    if (!context) return kRedliningModeOff;
    ScopedLock hold(context->lock);
    return context->redlining_mode;
}

Ref<DocItem> ViewerFindItem(ViewerContext* context, int32_t id) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    return root ? DocItemFindById(root.get(), id) : nullptr;
}

Ref<DocItem> ViewerFindItemByName(ViewerContext* context, const WString& name) {
    Ref<DocItem> root = ViewerGetRootItem(context);
    if (!root) return nullptr;
    WString wanted = name;
    return DocItemVisit(
        root.get(),
        [](DocItem* item, void* data) { return PathEquals(item->name, *static_cast<const WString*>(data)); },
        &wanted);
}

void ViewerSetActiveItem(ViewerContext* context, DocItem* item) {
    if (!context) return;
    Ref<DocItem> previous;  // released after the lock
    {
        ScopedLock hold(context->lock);
        const int32_t current_id = context->active_item ? context->active_item->id : -1;
        const int32_t new_id = item ? item->id : -1;
        if (current_id == new_id) return;
        previous = std::exchange(context->active_item, Ref<DocItem>(item));
    }
    ViewerPostAction(context, event::kActiveItemChanged);
}

uint32_t ViewerNextOpenNumber(ViewerContext* context) {
    if (!context) return 0;
    ScopedLock hold(context->lock);
    return context->open_counter++;
}

uint32_t ViewerNextComparisonNumber(ViewerContext* context) {
    if (!context) return 0;
    ScopedLock hold(context->lock);
    return context->comparison_counter++;
}

bool ViewerRaiseActivatedNumber(ViewerContext* context, uint32_t n) {
    if (!context) return false;
    ScopedLock hold(context->lock);
    if (n <= context->last_activated_number) return false;
    context->last_activated_number = n;
    return true;
}

void ViewerSendAction(ViewerContext* context, uint32_t code) {
    if (Ref<EventHub> hub = HubOf(context)) EventHubSend(hub.get(), context, code);
}

void ViewerSendActionArg(ViewerContext* context, uint32_t code, const Variant& argument) {
    if (Ref<EventHub> hub = HubOf(context)) EventHubSendArg(hub.get(), context, code, argument);
}

void ViewerPostAction(ViewerContext* context, uint32_t code) {
    if (Ref<EventHub> hub = HubOf(context)) EventHubPost(hub.get(), context, code);
}

void ViewerPostActionArg(ViewerContext* context, uint32_t code, const Variant& argument) {
    if (Ref<EventHub> hub = HubOf(context)) EventHubPostArg(hub.get(), context, code, argument);
}

bool ViewerIsAllowed(ViewerContext* context, uint32_t waive, uint32_t mask) {
    if (waive) return true;
    Ref<Settings> settings = ViewerGetSettings(context);
    if (!settings) return true;
    return (SettingsGetRestrictions(settings.get()) & mask) == 0;
}

const wchar_t* ViewerGetText(ViewerContext* context, uint32_t id, uint32_t reserved) {
    Ref<AppRoot> app = ViewerGetApp(context);
    if (!app) return nullptr;
    Ref<AppTextTable> texts = AppGetTextTable(app.get());
    return AppTextTableGet(texts.get(), ViewerGetLanguage(context), id);
}

const wchar_t* ViewerTextOrEmpty(ViewerContext* context, uint32_t id) {
    const wchar_t* text = ViewerGetText(context, id);
    return text ? text : L"";
}
