// Numbers as the viewer shows them.
#pragma once

#include <cstdint>

#include "foundation/string_builder.h"

// Appends the value with as many decimals as its size deserves: none from
// 10 on, 1 from 1, 2 from 0.1, 3 from 0.01, else 5. False when the builder
// cannot grow.
bool FormatDecimalAuto(double value, WStrBuilder& builder);
