#include "viewer/app/document_controller.h"

#include "viewer/app/action_listener.h"

DocumentController::~DocumentController() = default;

Ref<DocumentController> DocumentControllerCreate(EventHub* hub) {
    if (!hub) return nullptr;
    Ref<DocumentController> controller = MakeRef<DocumentController>();
    Ref<ActionListener> listener = ActionListenerCreate(controller.get(), hub);
    controller->listener = listener.get();
    return controller;
}

int32_t DocumentControllerGetLastPrinter(DocumentController* controller) {
    return controller ? controller->last_printer.load() : 0;
}

void DocumentControllerSetLastPrinter(DocumentController* controller, int32_t index) {
    if (controller) controller->last_printer = index;
}
