#include "viewer/dde/dde_server.h"

#include <iterator>

#include "viewer/app/app_root.h"
#include "viewer/core/app_utils.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/event_hub.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dde/dde_command_parser.h"
#include "viewer/dde/dde_execute.h"
#include "viewer/dde/dde_log.h"
#include "viewer/dde/dde_request.h"

namespace {

// APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS | CBF_FAIL_ADVISES |
// CBF_SKIP_CONNECT_CONFIRMS | CBF_SKIP_REGISTRATIONS |
// CBF_SKIP_UNREGISTRATIONS | CBF_SKIP_DISCONNECTS.
constexpr DWORD kServerFlags = 0x3C5020;
static_assert(kServerFlags ==
              (APPCMD_FILTERINITS | CBF_FAIL_SELFCONNECTIONS | CBF_FAIL_ADVISES | CBF_SKIP_CONNECT_CONFIRMS |
               CBF_SKIP_REGISTRATIONS | CBF_SKIP_UNREGISTRATIONS | CBF_SKIP_DISCONNECTS));
constexpr const wchar_t* kTopicNames[] = {L"MDI", L"Advanced", L"DragAndDrop"};
// The unregistration is given a moment to reach the clients before the
// instance goes.
constexpr DWORD kUnregisterPauseMs = 50;
// An item name is an atom: at most 255 characters.
constexpr DWORD kMaxItemChars = 256;

// Borrowed: the running server is owned by the application root, and the
// pointer is cleared before that reference goes. Used on the GUI thread.
DdeServer* g_running_server = nullptr;

bool IsServedTopic(const DdeServer* server, HSZ topic) {
    for (const DdeStringHandle& served : server->topics) {
        if (served.Matches(topic)) return true;
    }
    return false;
}

WString QueryString(DWORD instance, HSZ handle) {
    wchar_t text[kMaxItemChars] = {};
    if (!handle || DdeQueryStringW(instance, handle, text, kMaxItemChars, CP_WINUNICODE) == 0)
        return WString();
    return WString(text);
}

// The execute data as Unicode text: read within the handle's size (a client
// may leave out the terminator) and only as far as a parser could use it.
WString ReadExecuteText(HDDEDATA data) {
    WString text;
    DWORD size = 0;
    const BYTE* bytes = data ? DdeAccessData(data, &size) : nullptr;
    if (!bytes) return text;
    uint32_t units = size / sizeof(wchar_t);
    if (units > kDdeMaxCommandLength + 1) units = kDdeMaxCommandLength + 1;
    WStrAssignN(text, reinterpret_cast<const wchar_t*>(bytes), units);
    DdeUnaccessData(data);
    return text;
}

class EndingListener : public HubListener {
  public:
    explicit EndingListener(DdeServer* server) : server_(server) {}
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override {
        if (event && event->code == event::kAppEnding && server_) DdeServerStop(server_);
        return HubAnswer::kContinue;
    }
    void Forget() { server_ = nullptr; }

  private:
    DdeServer* server_;  // borrowed: the server detaches this listener when it stops
};

void ListenForTheEnd(DdeServer* server, ViewerContext* context) {
    Ref<AppRoot> root = ViewerGetApp(context);
    Ref<EventHub> hub = AppGetEventHub(root.get());
    if (!hub) return;
    Ref<EndingListener> listener = MakeRef<EndingListener>(server);
    ListenerConstruct(listener.get(), hub.get());
    server->ending_listener = std::move(listener);
}

void StopListening(DdeServer* server) {
    Ref<HubListener> listener = std::move(server->ending_listener);
    if (!listener) return;
    static_cast<EndingListener*>(listener.get())->Forget();
    ListenerDetach(listener.get());
}

HDDEDATA Flag(bool value) { return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(value ? TRUE : FALSE)); }

void LogOutcome(ViewerContext* context, const wchar_t* kind, const WString& text, DdeOutcome outcome) {
    switch (outcome) {
        case DdeOutcome::kDone:
            return DdeLog(context, kind, &text, true, kDdeLogExecuted);
        case DdeOutcome::kFailed:
            return DdeLog(context, kind, &text, false, kDdeLogFailed);
        case DdeOutcome::kUnknown:
            return DdeLog(context, kind, &text, false, kDdeLogUnknown);
        case DdeOutcome::kInvalid:
            return DdeLog(context, kind, &text, false, kDdeLogInvalid);
    }
}

}  // namespace

DdeServer::~DdeServer() { DdeServerStop(this); }

Ref<DdeServer> DdeServerCreate() { return MakeRef<DdeServer>(); }

Ref<DdeServer> DdeServerGetRunning() { return Ref<DdeServer>(g_running_server); }

WString& DdeServiceName(Settings* settings, WString& out) {
    // A second start of the desktop program hands its command line to
    // "Plovex" whatever the settings say.
    if constexpr (kViewerProgramBuild) {
        out = L"Plovex";
        return out;
    }
    return GetAppDisplayName(settings, out);
}

bool DdeServerStart(DdeServer* server, ViewerContext* context) {
    if (!server) return false;
    if (server->instance) return true;
    if (g_running_server || !context) return false;

    WString name;
    DdeServiceName(ViewerGetSettings(context).get(), name);
    if (WStrLength(name) == 0) return false;

    server->context = Ref<ViewerContext>(context);
    DWORD instance = 0;
    if (DdeInitializeW(&instance, DdeServerCallback, kServerFlags, 0) != DMLERR_NO_ERROR) {
        server->context.Reset();
        return false;
    }
    server->instance.Reset(instance);
    server->service = DdeStringHandle(instance, WStrCStr(name));
    bool ready = server->service && DdeNameService(instance, server->service.get(), nullptr,
                                                   DNS_REGISTER | DNS_FILTERON) != nullptr;
    for (size_t i = 0; ready && i < std::size(kTopicNames); ++i) {
        server->topics[i] = DdeStringHandle(instance, kTopicNames[i]);
        ready = static_cast<bool>(server->topics[i]);
    }
    if (!ready) {
        for (DdeStringHandle& topic : server->topics) topic.Reset();
        server->service.Reset();
        server->instance.Reset();
        server->context.Reset();
        return false;
    }
    g_running_server = server;
    ListenForTheEnd(server, context);
    return true;
}

void DdeServerStop(DdeServer* server) {
    if (!server) return;
    StopListening(server);
    if (server->instance) {
        for (DdeStringHandle& topic : server->topics) topic.Reset();
        DdeNameService(server->instance.get(), nullptr, nullptr, DNS_UNREGISTER);
        server->service.Reset();
        Sleep(kUnregisterPauseMs);
        server->instance.Reset();
    }
    if (g_running_server == server) g_running_server = nullptr;
    // The context holds the root, which holds this server.
    server->context.Reset();
}

bool DdeDispatchExecute(DdeServer* server, const WString& text) {
    if (!server || !server->context) return false;
    ViewerContext* context = server->context.get();
    const DdeOutcome outcome = DdeRunExecute(context, text);
    LogOutcome(context, kDdeLogExecute, text, outcome);
    return outcome == DdeOutcome::kDone;
}

HDDEDATA DdeDispatchRequest(DdeServer* server, const WString& text, HSZ item) {
    if (!server || !server->context || !server->instance) return nullptr;
    ViewerContext* context = server->context.get();
    AString answer;
    DdeOutcome outcome = DdeAnswerRequest(context, text, answer);
    // A known item logs as executed whether or not it had an answer; the
    // client sees the missing data.
    LogOutcome(context, kDdeLogRequest, text, outcome == DdeOutcome::kFailed ? DdeOutcome::kDone : outcome);
    if (outcome != DdeOutcome::kDone) return nullptr;
    // The terminating NUL travels with the text.
    return DdeCreateDataHandle(server->instance.get(),
                               reinterpret_cast<BYTE*>(const_cast<char*>(AStrCStr(answer))),
                               AStrLength(answer) + 1, 0, item, CF_TEXT, 0);
}

HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2) {
    // The server stays alive through the transaction even when a command
    // ends the viewer.
    Ref<DdeServer> server = DdeServerGetRunning();
    if (!server || !server->instance) return nullptr;
    ViewerContext* context = server->context.get();
    switch (type) {
        case XTYP_CONNECT: {
            const bool served = IsServedTopic(server.get(), topic);
            const WString topic_name = QueryString(server->instance.get(), topic);
            DdeLog(context, L"CONNECT", &topic_name, served, nullptr);
            return Flag(served);
        }
        case XTYP_EXECUTE:
            return reinterpret_cast<HDDEDATA>(static_cast<ULONG_PTR>(
                DdeDispatchExecute(server.get(), ReadExecuteText(data)) ? DDE_FACK : DDE_FNOTPROCESSED));
        case XTYP_REQUEST:
            // Answers are 8-bit text; a client asking for another format
            // would misread them.
            if (format != CF_TEXT) {
                const WString item_name = QueryString(server->instance.get(), item);
                DdeLog(context, kDdeLogRequest, &item_name, false, kDdeLogWrongFormat);
                return nullptr;
            }
            return DdeDispatchRequest(server.get(), QueryString(server->instance.get(), item), item);
        case XTYP_WILDCONNECT:
            DdeLog(context, nullptr, nullptr, false, L"XTYP WILDCONNECT. not supported");
            return nullptr;
        case XTYP_CONNECT_CONFIRM:
            DdeLog(context, nullptr, nullptr, false, L"XTYP CONNECT_CONFIRM. not supported");
            return nullptr;
        case XTYP_DISCONNECT:
            DdeLog(context, L"DISCONNECT", nullptr, true, nullptr);
            return nullptr;
        default:
            return nullptr;
    }
}
