// One client conversation of the DDE management library: hands a command
// line to a running viewer, queries it, and delivers a document to a program
// registered with a DDE execute command. Each conversation has its own DDE
// instance, so a client never shares one with the process's DDE server.
// Conversations are made and used on one thread.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <ddeml.h>

#include "foundation/dde_handles.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

// Time-out of execute and request transactions.
constexpr uint32_t kDdeTransactionTimeoutMs = 10000;
// The time-out the system passes to DdeClientConnect.
constexpr uint32_t kDdeConnectTimeoutMs = 1000;

class DdeClient : public RefCounted {
  public:
    ~DdeClient() override;  // DdeClientFree

    DdeInstance instance;
    HCONV conversation = nullptr;
};

// Connects to the service and topic, trying every 100 ms while the time
// waited is below the time-out. Null when no conversation is made (no DDE
// instance is left behind then).
Ref<DdeClient> DdeClientConnect(const WString& service, const WString& topic, uint32_t timeout_ms);
// Sends the command as Unicode text. True when the server acknowledged it.
bool DdeClientExecute(DdeClient* client, const WString& command);
// Asks for the item in CF_TEXT; the answer (ANSI text up to its first NUL or
// its end) lands in `answer`. False when no data came back.
bool DdeClientRequest(DdeClient* client, const WString& item, WString& answer);
// The top-level window of the server's side of the conversation; 0 without
// one.
HWND DdeClientGetServerWindow(DdeClient* client);
// The instance's callback: the client serves nothing and answers 0.
HDDEDATA CALLBACK DdeClientCallback(UINT type, UINT format, HCONV conversation, HSZ topic, HSZ item,
                                    HDDEDATA data, ULONG_PTR data1, ULONG_PTR data2);
void DdeClientFree(DdeClient* client);
