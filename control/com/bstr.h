// BSTR values handed across the automation interfaces.
#pragma once

#include <windows.h>
// after windows.h, which it needs
#include <oleauto.h>

#include "foundation/strings.h"

// A new BSTR with the text (the caller frees it; null only without memory).
BSTR BstrFromWString(const WString& text);
// The BSTR's text up to its length (a null BSTR is the empty string).
WString WStringFromBstr(BSTR text);
