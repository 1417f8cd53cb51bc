// The dialog in which the user states a document's drawing scale ("1 : 50")
// or that it is unknown.
#pragma once

#include <windows.h>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class Scale;
class ViewerContext;

// Typed ratios must lie strictly between these.
inline constexpr double kScaleDialogMinRatio = 0.0000001;
inline constexpr double kScaleDialogMaxRatio = 10000000.0;
// Characters each of the two fields takes.
inline constexpr int kScaleDialogFieldLength = 7;

// What the dialog starts with: the two sides of a scale whose ratio is above
// 0 (a decimal ratio r as "r" : "1" from 1 up, else "1" : "1/r", with one
// decimal), or "1" : "1" with "unknown" checked.
struct ScaleFields {
    WString first;
    WString second;
    bool unknown = true;
};
void ScaleDialogInitialFields(const Scale* scale, ScaleFields& out);

// The scale the input stands for: true with null for "unknown"; true with
// the scale when both sides, trimmed and with ',' read as '.', are numbers
// without sign or colon whose ratio lies strictly between the bounds above;
// false (invalid) otherwise.
bool ScaleDialogReadInput(const ScaleFields& input, Ref<Scale>& out);

// Runs the dialog modally over `owner`: 1 with the chosen scale (null for
// "unknown") or 0 when cancelled; -1 when it cannot be shown.
INT_PTR ShowScaleDialog(ViewerContext* context, HWND owner, const Scale* current, Ref<Scale>& chosen);
