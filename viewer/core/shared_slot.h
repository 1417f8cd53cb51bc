// A locked holder of one current object, which the application root keeps
// for the printing subsystem.
#pragma once

#include "foundation/locks.h"
#include "foundation/ref_counted.h"

class SharedSlot : public RefCounted {
  public:
    CriticalSection lock;
    Ref<RefCounted> held;  // change only through SharedSlotSet
};

Ref<SharedSlot> SharedSlotCreate();
// Holds `object` (counted; null empties the slot) and releases what was held.
void SharedSlotSet(SharedSlot* slot, RefCounted* object);
Ref<RefCounted> SharedSlotGet(SharedSlot* slot);
