#include "control/object_safety.h"

#include <atomic>
#include <cwctype>

#include "foundation/registry.h"
#include "viewer/core/settings.h"

namespace {

std::atomic<bool> g_untrusted_callers{false};

bool MachineAllows(const wchar_t* value) {
    RegKey key = RegOpen(HKEY_LOCAL_MACHINE, kSettingsKeyPath, true);
    bool allowed = false;
    return key && RegGetBool(key.get(), value, allowed) && allowed;
}

// A page loaded from this machine or a share: its address is a drive path,
// a UNC path or a file: URL.
bool IsLocalPage(const WString& url) {
    const wchar_t* text = WStrCStr(url);
    const uint32_t length = WStrLength(url);
    if (length >= 5 && _wcsnicmp(text, L"file:", 5) == 0) return true;
    if (length >= 2 && text[0] == L'\\' && text[1] == L'\\') return true;
    return length >= 2 && iswalpha(text[0]) && text[1] == L':';
}

}  // namespace

void ObjectSafetyNoteUntrustedCaller() { g_untrusted_callers = true; }

bool ObjectSafetyWritingAllowed() {
    return !g_untrusted_callers || MachineAllows(kAllowUntrustedConversionValue);
}

void ObjectSafetyReset() { g_untrusted_callers = false; }

bool ObjectSafetyUntrustedWebOnly(const WString* page_url) {
    if (page_url && IsLocalPage(*page_url)) return false;
    return !MachineAllows(kAllowUntrustedLocalFilesValue);
}
