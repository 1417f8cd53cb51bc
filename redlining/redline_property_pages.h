// The five pages of the markup Properties sheet (text, font, outline, line
// ends, filling): each shows the first selected object's attribute of its
// kind and, when the sheet is applied, hands a new attribute made from its
// controls to every selected object.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/strings.h"
#include "viewer/dialogs/dialog_kit.h"

class RedlineObjectList;

// A real as an edit showed it ("%.1f"). While the edit still holds that
// text the value is taken back unrounded, so that a page applied for
// another change leaves a width of 0.25 mm as it was.
struct RedlineShownNumber {
    WString text;
    float value = 0.0f;
};

// The one record all pages of a sheet share (each page's lParam).
struct RedlineSheetState : DlgPageState {
    RedlineObjectList* selection = nullptr;  // borrowed for the life of the sheet
    int32_t active_kind = -1;                // the kind of the page made active last
    RedlineShownNumber width, height, angle;
};

struct RedlinePageEntry {
    int32_t kind;  // the attribute kind the page edits
    int template_id;
    uint32_t title;  // text number
    DLGPROC procedure;
};

// In the order the sheet adds them.
inline constexpr uint32_t kRedlinePageCount = 5;
extern const RedlinePageEntry kRedlinePages[kRedlinePageCount];

// Line-end styles as the lists offer them: 0 none, 1 large arrow, 2 small
// arrow, 3 bar. Draws the glyph of `style` for a line ending at `tip`, the
// glyph pointing left (outward -1) or right (+1), in the selected pen;
// `unit` is the size unit in pixels.
void DrawLineEndGlyph(HDC dc, POINT tip, int outward, int32_t style, int unit);
