// The plain pictures the viewer shows where no page image is: a grey box, the
// empty page with the product name, and the error box. Each draws into the
// integer rectangle (inclusive far edges) and restores every object and mode
// of the device context it changes; false when a GDI object could not be made.
#pragma once

#include <windows.h>

#include "foundation/geometry.h"
#include "foundation/strings.h"

// The one grey of the viewer's boxes, drawn without outline.
inline constexpr COLORREF kBoxGrey = RGB(230, 230, 230);

bool DrawGreyBox(HDC dc, const RectI& rect);
// The grey box with the product name and version, embossed.
bool DrawEmptyPage(HDC dc, const RectI& rect);
// The grey box with the text's lines in red, or a red cross when the text is
// empty.
bool DrawErrorBox(HDC dc, const RectI& rect, const WString& text);
