#include "control/com/com_module.h"

namespace {

HINSTANCE module_instance = nullptr;
volatile LONG live_objects = 0;
volatile LONG server_locks = 0;

}  // namespace

void ComModuleSetInstance(HINSTANCE instance) { module_instance = instance; }

HINSTANCE ComModuleInstance() { return module_instance ? module_instance : GetModuleHandleW(nullptr); }

void ComModuleObjectCreated() { InterlockedIncrement(&live_objects); }

void ComModuleObjectDestroyed() { InterlockedDecrement(&live_objects); }

void ComModuleLock(bool lock) {
    if (lock) {
        InterlockedIncrement(&server_locks);
    } else if (InterlockedDecrement(&server_locks) < 0) {
        // An unbalanced unlock from a client must not hide a later lock.
        InterlockedIncrement(&server_locks);
    }
}

bool ComModuleCanUnload() {
    return InterlockedCompareExchange(&live_objects, 0, 0) == 0 &&
           InterlockedCompareExchange(&server_locks, 0, 0) == 0;
}
