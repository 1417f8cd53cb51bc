#include "viewer/core/number_format.h"

#include <cmath>
#include <cstdio>

bool FormatDecimalAuto(double value, WStrBuilder& builder) {
    const wchar_t* format = L"%1.5f";
    if (value >= 10) {
        format = L"%1.0f";
    } else if (value >= 1) {
        format = L"%1.1f";
    } else if (value >= 0.1) {
        format = L"%1.2f";
    } else if (value >= 0.01) {
        format = L"%1.3f";
    }
    // Room for any double in "%f"; the text keeps at most 30 characters.
    wchar_t text[400];
    const int length = swprintf(text, 400, format, value);
    if (length < 0) return false;
    return WStrBuilderAppendUpTo(builder, text, 30);
}
