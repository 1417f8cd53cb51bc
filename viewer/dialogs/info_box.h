// The box that shows the custom application information of the settings
// (CUSTOMAPPINFOTITLE as its title, CUSTOMAPPINFO as its text).
#pragma once

#include <windows.h>

class ViewerContext;

// Runs the box modally over `owner`; the dialog's result (IDOK or IDCANCEL),
// or -1 when it cannot be shown.
INT_PTR ShowInfoBox(ViewerContext* context, HWND owner);
// The height of the box's bold font for a text field of this height.
int InfoBoxFontHeight(int field_height);
