// A drawing scale as the user types it ("1:50", "0.5"): either two whole
// numbers or one decimal ratio, parsed from text and formatted back.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class Scale : public RefCounted {
  public:
    // Whole-number form (decimal false): numerator : denominator, the
    // denominator never 0. Decimal form: ratio, always above 0.
    uint32_t numerator = 1;
    uint32_t denominator = 1;
    double ratio = 1.0;
    bool decimal = false;
};

// A denominator of 0 becomes 1.
Ref<Scale> ScaleCreate(uint32_t numerator, uint32_t denominator);
// A ratio of 0 or less (or NaN) becomes 1.0.
Ref<Scale> ScaleCreateDecimal(double ratio);
// numerator / denominator, or the decimal ratio.
double ScaleGetRatio(const Scale* scale);

// "1:50" (blanks anywhere) gives 1 : 50; "0.5" the ratio 0.5; "2.5:1" the
// ratio 2.5. Null when the text is not a scale (empty, a sign, a zero, a part
// that is not a number).
Ref<Scale> ParseScale(const WString& text);
// One number of a scale: refused (false) when empty or holding '-', '+' or
// ':'; without '.' a whole number 1 to 1999999999 (is_integer true), with
// '.' a decimal number above 0.
bool ParseScaleNumber(const WString& text, double& value, bool& is_integer);
// "1 : 50", "2.5 : 1" or "1 : 2.0"; null formats as the empty text.
WString& FormatScale(const Scale* scale, WString& out);
