// The hub listener that carries out the viewer's actions 2 to 69 against
// the context that sent them. The document controller makes it; it lets go
// of the controller when the application ends (notification 1).
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "viewer/core/event_hub.h"

class DocumentController;
class EventHub;
class HubEvent;

class ActionListener : public HubListener {
  public:
    HubAnswer Notify(RefCounted* sender, HubEvent* event) override;

    CriticalSection lock;  // guards the controller
    Ref<DocumentController> controller;
};

// A listener for the controller, registered on the hub.
Ref<ActionListener> ActionListenerCreate(DocumentController* controller, EventHub* hub);
// Notification 1 detaches (handled). Without a sender context or a
// controller the answer is continue, as for codes outside 2 to 69 and codes
// of the range that are not the listener's. Actions 2, 3, 15, 63, 64 and 69
// answer handled so that later listeners see them too; every other action
// handled answers stop.
HubAnswer ExecuteAction(ActionListener* listener, RefCounted* sender, HubEvent* event);
