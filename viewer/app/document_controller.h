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

    // Borrowed: the hub owns the listener, and the listener holds the
    // controller until notification 1, so the two never keep each other
    // alive once the hub has closed. Not to be used after notification 1.
    ActionListener* listener = nullptr;
    // The printer chosen last through the print submenu; the print command
    // uses it.
    std::atomic<int32_t> last_printer{0};
};

// A controller with its action listener on the hub; null without a hub.
Ref<DocumentController> DocumentControllerCreate(EventHub* hub);
int32_t DocumentControllerGetLastPrinter(DocumentController* controller);
void DocumentControllerSetLastPrinter(DocumentController* controller, int32_t index);
