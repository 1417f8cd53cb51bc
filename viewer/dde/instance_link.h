// The client side of the viewer's DDE service: how a second start of the
// desktop program and the control hand work to a viewer that runs already.
// A link is made, used and released on one thread.
#pragma once

#include <cstdint>

#include "foundation/dde_client.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class ViewerContext;

class InstanceLink : public RefCounted {
  public:
    Ref<DdeClient> client;  // the conversation on the topic "MDI"
    WString service;
};

// A conversation with the service on the topic "MDI", tried for up to
// 1000 ms; null when none is made or the name is empty.
Ref<InstanceLink> InstanceLinkConnect(const WString& service);
// The same with the service name that the context's settings choose
// (GetAppDisplayName); null when that name is empty.
Ref<InstanceLink> InstanceLinkFromContext(ViewerContext* context);

// One transaction each (10 s time-out). True when the viewer acknowledged
// the command, or answered the item.
bool InstanceLinkExecute(InstanceLink* link, const WString& text);
bool InstanceLinkRequest(InstanceLink* link, const WString& item, WString& answer);
// Executes FileOpen("path) -- the parser takes the unclosed quote to the
// end; false for an empty path.
bool InstanceLinkFileOpen(InstanceLink* link, const WString& path);
bool InstanceLinkAppActivate(InstanceLink* link);
// Requests GetProcessID; true when the answer is a decimal number that fits
// a process id, which is then in `pid`.
bool InstanceLinkGetProcessId(InstanceLink* link, uint32_t& pid);
