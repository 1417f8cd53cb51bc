#include "control/object_safety.h"

#include <atomic>

#include "foundation/registry.h"
#include "viewer/core/settings.h"

namespace {

std::atomic<bool> g_untrusted_callers{false};

}  // namespace

void ObjectSafetyNoteUntrustedCaller() { g_untrusted_callers = true; }

bool ObjectSafetyWritingAllowed() {
    if (!g_untrusted_callers) return true;
    RegKey key = RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, true);
    bool allowed = false;
    return key && RegGetBool(key.get(), kAllowUntrustedConversionValue, allowed) && allowed;
}

void ObjectSafetyReset() { g_untrusted_callers = false; }
