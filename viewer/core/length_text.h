// Lengths and numbers as the measuring box, the status bar and the document
// properties show them.
#pragma once

#include <cstdint>

#include "foundation/string_builder.h"
#include "foundation/strings.h"

class ViewerContext;

// Values of the setting LENGTH_UNIT.
enum LengthUnit : int32_t {
    kLengthMetricTechnical = 1,  // nm, micrometres, mm, m, km
    kLengthInch = 2,
    kLengthMetric = 3,  // as 1 with cm between mm and m
    kLengthMillimetres = 4,
};

// "%.0f" from 1000 on, "%.1f" from 100, "%.2f" from 10, "%1.3f" from 1,
// else "%1.4f". False when the builder cannot grow.
bool FormatNumberByMagnitude(double value, WStrBuilder& builder);
// The length in the unit's best step (the largest step not above the
// value, the first when it is below all, the unit's default for 0), a blank
// and the step's name; a unit outside 1 to 4 gives the bare number.
bool FormatLengthInUnit(ViewerContext* context, double millimetres, int32_t unit, WStrBuilder& builder);
// With `in_units` the value (millimetres) in the setting LENGTH_UNIT (3
// without settings); without, the bare number, a blank and "Pixel".
bool FormatLength(ViewerContext* context, double value, bool in_units, WStrBuilder& builder);
// The decimal digits with '.' between groups of three: 1234567 "1.234.567".
WString& FormatThousands(int64_t value, WString& out);
