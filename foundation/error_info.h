// The thread-safe holder of the most severe error reported during an
// operation. Embedded in its owner; not reference-counted.
#pragma once

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/strings.h"

class ErrorInfo {
  public:
    ErrorInfo() = default;
    virtual ~ErrorInfo() = default;
    ErrorInfo(const ErrorInfo&) = delete;
    ErrorInfo& operator=(const ErrorInfo&) = delete;

    // Under the lock: replaces code, severity and text when the severity is
    // strictly higher than the stored one, and says whether it did.
    virtual bool ErrorInfoSet(uint16_t code, uint16_t severity, const wchar_t* text);
    // Kept for the interface's shape: does nothing and answers 0.
    virtual uint32_t ErrorInfoReserved(uint32_t first, uint32_t second);

    CriticalSection lock;
    WString text;
    uint16_t code = 0;
    uint16_t severity = 0;  // 0: nothing recorded
};

// Forgets what was recorded.
void ErrorInfoInit(ErrorInfo& info);
void ErrorInfoFree(ErrorInfo& info);
bool ErrorInfoSet(ErrorInfo& info, uint16_t code, uint16_t severity, const wchar_t* text);
// Reads code, severity and text together, under the lock.
void ErrorInfoRead(ErrorInfo& info, uint16_t& code, uint16_t& severity, WString& text);
