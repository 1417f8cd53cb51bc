// The control's dealings with its host that need no control object: the
// files of a drop, the SRC value turned into what the viewer opens, and the
// browser windows that decide a hand-over.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"

class UrlParts;

// The names of a DROPFILES block (wide or ANSI), joined with a TAB. Reads
// nothing past `size` bytes: a name without its NUL ends the list there.
WString& DropFilesRead(const void* block, size_t size, WString& out);
// The same from a CF_HDROP global handle, bounded by its GlobalSize.
WString& DropFilesReadGlobal(HGLOBAL memory, WString& out);

// The path or URL that a SRC value names; `page_url` (may be null) is the
// hosting page's address, against which a relative value is resolved.
// "file:" values lose a leading "file:///" and have their %XX escapes
// decoded ('+' stays: it is a valid character of a file name). False when
// the value gives nothing to open.
bool SrcValueToOpenText(const WString& value, const WString* page_url, WString& out);

// This process's top-level windows of the class "IEFrame", counted up to
// `limit`.
int32_t CountOwnBrowserFrames(int32_t limit);
// The nearest ancestor of class "IEFrame" of `window`; null when it has
// none.
HWND FindBrowserFrame(HWND window);
