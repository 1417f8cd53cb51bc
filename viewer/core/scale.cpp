#include "viewer/core/scale.h"

#include <cmath>
#include <cstdio>
#include <cwchar>

namespace {

constexpr uint32_t kMaxScaleInteger = 1999999999;
constexpr uint32_t kMaxFormattedLength = 50;

}  // namespace

Ref<Scale> ScaleCreate(uint32_t numerator, uint32_t denominator) {
    Ref<Scale> scale = MakeRef<Scale>();
    scale->numerator = numerator;
    scale->denominator = denominator == 0 ? 1 : denominator;
    return scale;
}

Ref<Scale> ScaleCreateDecimal(double ratio) {
    Ref<Scale> scale = MakeRef<Scale>();
    scale->decimal = true;
    scale->ratio = ratio > 0.0 ? ratio : 1.0;  // NaN fails the test too
    return scale;
}

double ScaleGetRatio(const Scale* scale) {
    if (!scale) return 0.0;
    if (scale->decimal) return scale->ratio;
    return static_cast<double>(scale->numerator) / static_cast<double>(scale->denominator);
}

bool ParseScaleNumber(const WString& text, double& value, bool& is_integer) {
    value = 0.0;
    is_integer = false;
    const uint32_t length = WStrLength(text);
    if (length == 0 || WStrFindAnyOf(text, L"-+:") >= 0) return false;
    const wchar_t* chars = WStrCStr(text);
    if (WStrFindChar(text, L'.') < 0) {
        if (!WStrIsDigits(text)) return false;
        uint64_t number = 0;
        for (uint32_t i = 0; i < length; ++i) {
            number = number * 10 + static_cast<uint32_t>(chars[i] - L'0');
            if (number > kMaxScaleInteger) return false;
        }
        if (number < 1) return false;
        value = static_cast<double>(number);
        is_integer = true;
        return true;
    }
    // The whole text must be the number: "1.5x" or "inf." is no scale.
    wchar_t* end = nullptr;
    const double number = wcstod(chars, &end);
    if (end != chars + length || !std::isfinite(number) || !(number > 0.0)) return false;
    value = number;
    return true;
}

Ref<Scale> ParseScale(const WString& text) {
    WString compact = text;
    WStrRemoveChars(compact, L" \t");
    if (WStrLength(compact) == 0) return nullptr;

    const int32_t colon = WStrFindChar(compact, L':');
    double left = 0.0;
    bool left_integer = false;
    if (colon <= 0) {
        if (!ParseScaleNumber(compact, left, left_integer)) return nullptr;
        if (left_integer) return ScaleCreate(static_cast<uint32_t>(left), 1);
        return ScaleCreateDecimal(left);
    }

    WString left_text, right_text;
    WStrLeft(compact, static_cast<uint32_t>(colon), left_text);
    WStrMid(compact, static_cast<uint32_t>(colon) + 1, -1, right_text);
    double right = 0.0;
    bool right_integer = false;
    if (!ParseScaleNumber(left_text, left, left_integer)) return nullptr;
    if (!ParseScaleNumber(right_text, right, right_integer)) return nullptr;
    if (left_integer && right_integer) {
        return ScaleCreate(static_cast<uint32_t>(left), static_cast<uint32_t>(right));
    }
    const double ratio = left / right;
    // Two extreme decimals can still divide to 0 or infinity.
    if (!std::isfinite(ratio) || !(ratio > 0.0)) return nullptr;
    return ScaleCreateDecimal(ratio);
}

WString& FormatScale(const Scale* scale, WString& out) {
    WStrClear(out);
    if (!scale) return out;
    // "%.1f" of a large ratio has hundreds of digits; the text is cut to 50.
    char text[400];
    int length = 0;
    if (!scale->decimal) {
        length = snprintf(text, sizeof text, "%u : %u", scale->numerator, scale->denominator);
    } else if (scale->ratio >= 1.0) {
        length = snprintf(text, sizeof text, "%.1f : 1", scale->ratio);
    } else {
        length = snprintf(text, sizeof text, "1 : %.1f", 1.0 / scale->ratio);
    }
    if (length <= 0) return out;
    uint32_t n =
        static_cast<uint32_t>(length) < sizeof text ? static_cast<uint32_t>(length) : sizeof text - 1;
    if (n > kMaxFormattedLength) n = kMaxFormattedLength;
    wchar_t wide[kMaxFormattedLength + 1];
    for (uint32_t i = 0; i < n; ++i) wide[i] = static_cast<unsigned char>(text[i]);
    wide[n] = 0;
    return WStrAssignChars(out, wide);
}
