#include "foundation/error_info.h"

bool ErrorInfo::ErrorInfoSet(uint16_t new_code, uint16_t new_severity, const wchar_t* new_text) {
    ScopedLock hold(lock);
    if (new_severity <= severity) return false;
    code = new_code;
    severity = new_severity;
    WStrAssignChars(text, new_text);
    return true;
}

uint32_t ErrorInfo::ErrorInfoReserved(uint32_t first, uint32_t second) { return 0; }

void ErrorInfoInit(ErrorInfo& info) {
    ScopedLock hold(info.lock);
    info.code = 0;
    info.severity = 0;
    WStrClear(info.text);
}

void ErrorInfoFree(ErrorInfo& info) {
    ScopedLock hold(info.lock);
    WStrClear(info.text);
}

bool ErrorInfoSet(ErrorInfo& info, uint16_t code, uint16_t severity, const wchar_t* text) {
    return info.ErrorInfoSet(code, severity, text);
}

void ErrorInfoRead(ErrorInfo& info, uint16_t& code, uint16_t& severity, WString& text) {
    ScopedLock hold(info.lock);
    code = info.code;
    severity = info.severity;
    WStrAssign(text, info.text);
}
