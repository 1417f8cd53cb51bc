#include "viewer/dde/instance_link.h"

#include "viewer/core/app_utils.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"

namespace {

constexpr const wchar_t* kLinkTopic = L"MDI";

}  // namespace

Ref<InstanceLink> InstanceLinkConnect(const WString& service) {
    if (WStrLength(service) == 0) return nullptr;
    Ref<DdeClient> client = DdeClientConnect(service, kLinkTopic, kDdeConnectTimeoutMs);
    if (!client) return nullptr;
    Ref<InstanceLink> link = MakeRef<InstanceLink>();
    link->client = std::move(client);
    link->service = service;
    return link;
}

Ref<InstanceLink> InstanceLinkFromContext(ViewerContext* context) {
    WString service;
    GetAppDisplayName(ViewerGetSettings(context).get(), service);
    return InstanceLinkConnect(service);
}

bool InstanceLinkExecute(InstanceLink* link, const WString& text) {
    return link && DdeClientExecute(link->client.get(), text);
}

bool InstanceLinkRequest(InstanceLink* link, const WString& item, WString& answer) {
    WStrClear(answer);
    if (!link) return false;
    // A request travels in a conversation of its own: Wine's DDE library
    // follows the data of a request with a stray acknowledgement, which a
    // later execute on the same conversation would take for its answer.
    Ref<DdeClient> client = DdeClientConnect(link->service, kLinkTopic, kDdeConnectTimeoutMs);
    return client && DdeClientRequest(client.get(), item, answer);
}

bool InstanceLinkFileOpen(InstanceLink* link, const WString& path) {
    if (!link || WStrLength(path) == 0) return false;
    WString command = L"FileOpen(\"";
    WStrAppend(command, path);
    WStrAppendChar(command, L')');
    return InstanceLinkExecute(link, command);
}

bool InstanceLinkAppActivate(InstanceLink* link) { return InstanceLinkExecute(link, L"AppActivate"); }

bool InstanceLinkGetProcessId(InstanceLink* link, uint32_t& pid) {
    WString answer;
    if (!InstanceLinkRequest(link, L"GetProcessID", answer)) return false;
    const uint32_t length = WStrLength(answer);
    if (length == 0 || length > 10 || !WStrIsDigits(answer)) return false;
    uint64_t value = 0;
    for (uint32_t i = 0; i < length; ++i)
        value = value * 10 + static_cast<uint32_t>(WStrCharAt(answer, i) - L'0');
    if (value > UINT32_MAX) return false;
    pid = static_cast<uint32_t>(value);
    return true;
}
