// What a page's script may do. Once a container has told a control that its
// callers are untrusted (a web page), conversions that write files are
// refused unless the machine allows them: the value "AllowUntrustedConversion"
// = "1" under the machine's settings key.
#pragma once

inline constexpr wchar_t kAllowUntrustedConversionValue[] = L"AllowUntrustedConversion";

// Process-wide: some control of this process serves untrusted callers.
void ObjectSafetyNoteUntrustedCaller();
// True unless untrusted callers were seen and the machine forbids them to
// write files.
bool ObjectSafetyWritingAllowed();
// For tests: forget the untrusted callers.
void ObjectSafetyReset();
