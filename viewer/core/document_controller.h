// The document controller: owner of the listener that carries out the
// actions, made by the application root and released at its shutdown.
#pragma once

#include <atomic>
#include <cstdint>

#include "foundation/ref_counted.h"
// The root closes every document at shutdown through the controller's road.
#include "viewer/core/document_open_close.h"

class ActionListener;
class EventHub;

class DocumentController : public RefCounted {
  public:
    ~DocumentController() override;

    Ref<ActionListener> listener;  // registered on the hub until notification 1
    // The printer chosen last through the print submenu; the print command
    // uses it.
    std::atomic<int32_t> last_printer{0};
};

// A controller with its action listener on the hub; null without a hub.
Ref<DocumentController> DocumentControllerCreate(EventHub* hub);
int32_t DocumentControllerGetLastPrinter(DocumentController* controller);
void DocumentControllerSetLastPrinter(DocumentController* controller, int32_t index);
