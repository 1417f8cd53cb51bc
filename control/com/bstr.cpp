#include "control/com/bstr.h"

BSTR BstrFromWString(const WString& text) { return SysAllocStringLen(WStrCStr(text), WStrLength(text)); }

WString WStringFromBstr(BSTR text) {
    WString result;
    if (text) WStrAssignN(result, text, SysStringLen(text));
    return result;
}
