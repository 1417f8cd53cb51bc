// The {severity, code} pair through which readers, pages and loaders report.
// A report replaces the held one only when it is strictly more severe, so the
// first error survives later warnings and errors.
#pragma once

#include <cstdint>

struct ImageStatus {
    int32_t severity = 0;  // 0 none, 1 warning, 2 error
    int32_t code = 0;
};

constexpr int32_t kSeverityWarning = 1;
constexpr int32_t kSeverityError = 2;

constexpr int32_t kStatusDamagedButUsable = 1000;
constexpr int32_t kStatusNothingToRender = 2000;
constexpr int32_t kStatusAllocation = 2001;
constexpr int32_t kStatusShortRead = 2002;
constexpr int32_t kStatusNotRecognised = 2003;
constexpr int32_t kStatusUnsupported = 2004;
constexpr int32_t kStatusBadData = 2005;

// Null status pointers are allowed everywhere: the caller did not ask.
inline void ImageStatusSet(ImageStatus* status, int32_t severity, int32_t code) {
    if (status && severity > status->severity) {
        status->severity = severity;
        status->code = code;
    }
}

inline void ImageStatusError(ImageStatus* status, int32_t code) { ImageStatusSet(status, kSeverityError, code); }
