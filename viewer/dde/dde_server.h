// The viewer's DDE service: other programs, a second start of the desktop
// program and the control in a browser frame send it execute strings
// ("FileOpen(...)") and request items ("GetPageCount") on the topics "MDI",
// "Advanced" and "DragAndDrop". One server runs per process; the DDE
// library calls it on the GUI thread inside message dispatch.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include "foundation/dde_handles.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class HubListener;
class Settings;
class ViewerContext;

class DdeServer : public RefCounted {
  public:
    ~DdeServer() override;  // DdeServerStop

    Ref<ViewerContext> context;  // null before the start and after the stop
    DdeInstance instance;        // empty while no DDE instance exists
    DdeStringHandle service;
    DdeStringHandle topics[3];  // "MDI", "Advanced", "DragAndDrop"
    // Stops the server when the application ends (notification 1): the
    // context holds the application root, which holds this server, so
    // without it the root would never be released.
    Ref<HubListener> ending_listener;
};

Ref<DdeServer> DdeServerCreate();
// Registers the service named by DdeServiceName for the context. True when
// it was registered, and for a server that runs already; false (and the
// context dropped again) when the name is empty, another server of the
// process runs, or the DDE library refuses.
bool DdeServerStart(DdeServer* server, ViewerContext* context);
// Frees the topics, unregisters the service and ends the DDE instance.
void DdeServerStop(DdeServer* server);
// The process's running server, or null.
Ref<DdeServer> DdeServerGetRunning();

// The service name: "Plovex" in the desktop program; in the control the
// name the setting ACTIVEX_FILEOPENMODE chooses (GetAppDisplayName), empty
// for no service.
WString& DdeServiceName(Settings* settings, WString& out);

// Runs an execute string and logs it; true when the command succeeded.
bool DdeDispatchExecute(DdeServer* server, const WString& text);
// Answers a request item (a name with optional arguments) and logs it: a
// CF_TEXT data handle of the server's instance for `item`, or null.
HDDEDATA DdeDispatchRequest(DdeServer* server, const WString& text, HSZ item);

// The DDE library's callback of the server's instance.
HDDEDATA CALLBACK DdeServerCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
