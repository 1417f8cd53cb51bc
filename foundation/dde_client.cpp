#include "foundation/dde_client.h"

namespace {

constexpr DWORD kClientFlags =
    APPCMD_CLIENTONLY | APPCMD_FILTERINITS | CBF_FAIL_ALLSVRXACTIONS | CBF_SKIP_ALLNOTIFICATIONS;
constexpr uint32_t kRetryPauseMs = 100;
// Window chains are short; the bound only guards against a broken one.
constexpr uint32_t kMaxParentSteps = 64;

HCONV ConnectWithRetries(DWORD instance, const WString& service, const WString& topic, uint32_t timeout_ms) {
    DdeStringHandle service_handle(instance, WStrCStr(service));
    DdeStringHandle topic_handle(instance, WStrCStr(topic));
    if (!service_handle.get() || !topic_handle.get()) return nullptr;
    for (uint32_t waited = 0; waited < timeout_ms; waited += kRetryPauseMs) {
        if (HCONV conversation = DdeConnect(instance, service_handle.get(), topic_handle.get(), nullptr)) {
            return conversation;
        }
        Sleep(kRetryPauseMs);
    }
    return nullptr;
}

bool Connected(const DdeClient* client) { return client && client->instance.get() && client->conversation; }

}  // namespace

HDDEDATA CALLBACK DdeClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) {
    return nullptr;
}

DdeClient::~DdeClient() { DdeClientFree(this); }

void DdeClientFree(DdeClient* client) {
    if (!client) return;
    if (client->conversation) DdeDisconnect(client->conversation);
    client->conversation = nullptr;
    client->instance.Reset();
}

Ref<DdeClient> DdeClientConnect(const WString& service, const WString& topic, uint32_t timeout_ms) {
    // The client owns the instance from the start, so every way out frees it.
    Ref<DdeClient> client = MakeRef<DdeClient>();
    DWORD instance = 0;
    if (DdeInitializeW(&instance, DdeClientCallback, kClientFlags, 0) != DMLERR_NO_ERROR) return nullptr;
    client->instance.Reset(instance);
    client->conversation = ConnectWithRetries(instance, service, topic, timeout_ms);
    if (!client->conversation) return nullptr;
    return client;
}

bool DdeClientExecute(DdeClient* client, const WString& command) {
    if (!Connected(client) || WStrLength(command) == 0) return false;
    const DWORD bytes = (WStrLength(command) + 1) * sizeof(wchar_t);
    BYTE* data = reinterpret_cast<BYTE*>(const_cast<wchar_t*>(WStrCStr(command)));
    // A synchronous execute answers a non-zero flag, not a data handle, when
    // the server took the command, and 0 otherwise. That answer alone
    // decides: DdeGetLastError keeps an error from earlier calls on the
    // instance (the connect attempts, say), which would call a delivered
    // command failed and have the caller send it a second time.
    HDDEDATA result = DdeClientTransaction(data, bytes, client->conversation, nullptr, CF_UNICODETEXT,
                                           XTYP_EXECUTE, kDdeTransactionTimeoutMs, nullptr);
    return result != nullptr;
}

bool DdeClientRequest(DdeClient* client, const WString& item, WString& answer) {
    WStrClear(answer);
    if (!Connected(client) || WStrLength(item) == 0) return false;
    DdeStringHandle item_handle(client->instance.get(), WStrCStr(item));
    if (!item_handle.get()) return false;
    HDDEDATA data = DdeClientTransaction(nullptr, 0, client->conversation, item_handle.get(), CF_TEXT,
                                         XTYP_REQUEST, kDdeTransactionTimeoutMs, nullptr);
    if (!data) return false;
    DWORD size = 0;
    const BYTE* bytes = DdeAccessData(data, &size);
    if (bytes) {
        AString text;
        AStrAssignN(text, reinterpret_cast<const char*>(bytes), size);
        WStrFromAnsi(answer, text);
        DdeUnaccessData(data);
    }
    DdeFreeDataHandle(data);
    return bytes != nullptr;
}

HWND DdeClientGetServerWindow(DdeClient* client) {
    if (!Connected(client)) return nullptr;
    CONVINFO info = {};
    info.cb = sizeof(info);
    if (!DdeQueryConvInfo(client->conversation, QID_SYNC, &info)) return nullptr;
    HWND window = info.hwndPartner;
    for (uint32_t step = 0; window && step < kMaxParentSteps; ++step) {
        HWND parent = GetParent(window);
        if (!parent) break;
        window = parent;
    }
    return window;
}
