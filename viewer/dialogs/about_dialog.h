// The About box: a picture with the maker's name, address and numbers read
// from the module's version block, and the version in its title.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

class ViewerContext;

// The six texts of the version block's German string table; missing or
// empty values stay empty.
struct AboutTexts {
    WString company;
    WString address1;
    WString address2;
    WString phone;
    WString fax;
    WString email;
};

// Reads the texts from the version block of the file; false (all texts
// empty) when the file has none.
bool AboutReadVersionTexts(const wchar_t* module_path, AboutTexts& out);
// "Version 5.2.9.1024 Win32 (yymmdd)".
WString& AboutTitle(WString& out);
// Paints the box's client area of that size: the picture, then the texts.
void AboutPaint(HDC dc, const RECT& client, const AboutTexts& texts, ViewerContext* context);

// Runs the box modally over the owner, its texts read from the module that
// holds the viewer; false when it could not be shown.
bool AboutShow(ViewerContext* context, HWND owner);
