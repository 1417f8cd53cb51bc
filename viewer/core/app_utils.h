// Small shared services of the viewer: the DDE service name, the build date,
// opening addresses, bringing windows forward, confirming a save target and
// the open parameters of a request.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class OpenParams;
class Settings;
class ViewerContext;

// The name and version this program writes into the files it makes.
inline constexpr wchar_t kSoftwareName[] = L"Plovex 5.2.9";

// By ACTIVEX_FILEOPENMODE (1 without settings): 1 "PLX-VAX" and the
// process id in decimal, 2 "PLX-VAX", 3 "Plovex", else empty (no service).
WString& GetAppDisplayName(Settings* settings, WString& out);
// A compiler date text ("Mmm dd yyyy") as six digits yymmdd; false and an
// empty text when it cannot be read.
bool BuildDateDigits(const char* date_text, WString& out);
// This build's date as yymmdd.
bool GetBuildDate(WString& out);
// Opens the address in the program registered for "html"; on failure posts
// kFrameShellErrorMessage to the frame with the error code. False on failure.
bool OpenUrlInBrowser(ViewerContext* context, const WString& url);
// Restores a minimised window and brings it to the foreground; false when
// the handle is no window or the system refused.
bool BringWindowToFront(HWND window);
// The text with its %FILENAME% placeholders replaced by the path.
WString TextWithFileName(ViewerContext* context, uint32_t number, const WString& path);
// True when nothing exists at the path. When a file exists: refuses (and
// says so) when a document of that name is open in the viewer, else asks
// whether to replace it and answers true only for Yes.
bool CheckSaveTargetNotOpen(ViewerContext* context, HWND owner, const WString& path);
// A clone of the given parameters completed from the settings' defaults, or
// a clone of the defaults when none are given. Null only when nothing can
// be made.
Ref<OpenParams> OpenParamsForOpen(ViewerContext* context, const OpenParams* given);
