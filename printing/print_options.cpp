#include "printing/print_options.h"

#include "viewer/app/app_root.h"
#include "viewer/core/shared_slot.h"

Ref<PrintOptions> PrintOptionsCreate() { return MakeRef<PrintOptions>(); }

Ref<PrintOptions> PrintOptionsCopy(const PrintOptions& options) {
    Ref<PrintOptions> copy = PrintOptionsCreate();
    static_cast<PrintOptionValues&>(*copy) = options;
    return copy;
}

Ref<PrintOptions> PrintOptionsTake(AppRoot* root) {
    Ref<SharedSlot> slot = root ? AppGetSharedSlot(root) : nullptr;
    Ref<RefCounted> held = slot ? SharedSlotGet(slot.get()) : nullptr;
    if (auto* options = dynamic_cast<PrintOptions*>(held.get())) return Ref<PrintOptions>(options);
    return PrintOptionsCreate();
}

void PrintOptionsKeep(AppRoot* root, PrintOptions* options) {
    Ref<SharedSlot> slot = root ? AppGetSharedSlot(root) : nullptr;
    if (slot && options) SharedSlotSet(slot.get(), options);
}
