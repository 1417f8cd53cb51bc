#include <cstring>

#include "imaging/formats/image_format.h"

namespace {

bool StartsWithNoCase(const uint8_t* bytes, const char* text) {
    for (size_t i = 0; text[i]; ++i) {
        uint8_t c = bytes[i];
        if (c >= 'A' && c <= 'Z') c = uint8_t(c - 'A' + 'a');
        if (c != uint8_t(text[i])) return false;
    }
    return true;
}

}  // namespace

int32_t ImageSniffFormat(const uint8_t* bytes, uint32_t length) {
    if (!bytes || length < 6) return -1;
    if (bytes[0] == 0xFF && bytes[1] == 0xD8) return kFormatCodeJpeg;
    if ((bytes[0] == 'I' && bytes[1] == 'I' && bytes[2] == 0x2A && bytes[3] == 0) ||
        (bytes[0] == 'M' && bytes[1] == 'M' && bytes[2] == 0 && bytes[3] == 0x2A)) {
        return kFormatCodeTiff;
    }
    if (memcmp(bytes, "GIF8", 4) == 0 && (bytes[4] == '7' || bytes[4] == '9') && bytes[5] == 'a') {
        return kFormatCodeGif;
    }
    if (bytes[0] == 'B' && bytes[1] == 'M') return kFormatCodeBmp;
    if (length < kSniffBytes) return -1;
    if (StartsWithNoCase(bytes, "srcdocid:") && StartsWithNoCase(bytes + 128, "dstdocid:")) return kFormatCodeCals;
    if (StartsWithNoCase(bytes, "specversion:") && StartsWithNoCase(bytes + 128, "srcdocid:")) {
        return kFormatCodeCals;
    }
    return -1;
}
