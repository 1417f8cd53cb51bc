// What the tree items share for drawing their boxes and markers: a font
// made from its height, weight and family, and transparent text of one
// colour and font for a scope.
#pragma once

#include <windows.h>

#include <cwchar>

#include "foundation/handles.h"

// Null when the font cannot be made; `face` may be null.
inline GdiFont CreateItemFont(int height, int weight, BYTE pitch_and_family, const wchar_t* face) {
    LOGFONTW font = {};
    font.lfHeight = height;
    font.lfWeight = weight;
    font.lfPitchAndFamily = pitch_and_family;
    if (face) wcsncpy(font.lfFaceName, face, LF_FACESIZE - 1);
    return GdiFont(CreateFontIndirectW(&font));
}

class ItemTextScope {
  public:
    ItemTextScope(HDC dc, COLORREF colour, HFONT font) : font_(dc, font), text_(dc, colour) {}
    ItemTextScope(const ItemTextScope&) = delete;
    ItemTextScope& operator=(const ItemTextScope&) = delete;

  private:
    ScopedSelect font_;
    ScopedTextState text_;
};

inline void ItemTextOut(HDC dc, int x, int y, const wchar_t* text) {
    if (text) TextOutW(dc, x, y, text, static_cast<int>(wcslen(text)));
}
