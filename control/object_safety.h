// What a page's script may do. Once a container has told a control that its
// callers are untrusted (a web page), conversions that write files are
// refused unless the machine allows them (the value
// "AllowUntrustedConversion" = "1" under the machine's settings key), and
// the control opens only what the web serves: a local path, a UNC path or a
// file: URL only for a page that came from this machine or a share itself,
// or where the machine allows it ("AllowUntrustedLocalFiles" = "1").
#pragma once

#include "foundation/strings.h"

inline constexpr wchar_t kAllowUntrustedConversionValue[] = L"AllowUntrustedConversion";
inline constexpr wchar_t kAllowUntrustedLocalFilesValue[] = L"AllowUntrustedLocalFiles";

// Process-wide: some control of this process serves untrusted callers.
void ObjectSafetyNoteUntrustedCaller();
// True unless untrusted callers were seen and the machine forbids them to
// write files.
bool ObjectSafetyWritingAllowed();
// For tests: forget the untrusted callers.
void ObjectSafetyReset();

// Whether what an untrusted page opens is held to the web's documents (the
// viewer then opens only http, https and ftp URLs for it, the entries of
// its lists included): unless `page_url` (the hosting page's address; null
// when no page is known) is a local or UNC path or a file: URL, or the
// machine allows more.
bool ObjectSafetyUntrustedWebOnly(const WString* page_url);
