#include "viewer/core/shared_slot.h"

#include <utility>

Ref<SharedSlot> SharedSlotCreate() { return MakeRef<SharedSlot>(); }

void SharedSlotSet(SharedSlot* slot, RefCounted* object) {
    if (!slot) return;
    Ref<RefCounted> previous;  // released after the lock
    ScopedLock hold(slot->lock);
    previous = std::exchange(slot->held, Ref<RefCounted>(object));
}

Ref<RefCounted> SharedSlotGet(SharedSlot* slot) {
    if (!slot) return nullptr;
    ScopedLock hold(slot->lock);
    return slot->held;
}
