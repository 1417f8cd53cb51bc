// The settings property sheet over the frame window: the pages Common,
// Default representation, Network settings, User information and
// Redlining. Each page shows the stored values, greys what the group's
// permission word does not let the user change, and applies its values
// through the settings setters when the sheet is applied.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

class ViewerContext;

// Runs the sheet modally; true when it was shown.
bool ShowSettings(ViewerContext* context);

// A margin edit's text as millimetres: the decimal number the text starts
// with (',' taken as '.'), in inches when `inch` is set; any result that
// is not above 0 and below 200 millimetres becomes 0.
double SettingsMarginFromText(const WString& text, bool inch);
// A margin as the edit shows it: "%.1f" millimetres, or "%.2f" inches.
WString SettingsMarginText(double millimetres, bool inch);
// The page symbol between the four margin edits (their rectangles in the
// page's client coordinates): 8 pixels inside the left edit's right edge,
// the top edit's bottom edge, the right edit's left edge and the bottom
// edit's top edge.
RECT SettingsPageSymbolRect(const RECT& left_edit, const RECT& top_edit, const RECT& right_edit,
                            const RECT& bottom_edit);
