// The picker of the user-information block's position: a 3 by 3 grid of
// text symbols drawn in the rectangle of a dialog item, which holds the
// chosen cell (0 to 8, row by row) in its user data. The dialog paints it
// and hands it its left clicks; the item itself stays invisible.
#pragma once

#include <windows.h>

inline constexpr int kPositionCells = 9;

// Draws the picker into `rect` of the DC: a white field with a black frame
// and per cell three short lines, black for the chosen cell and light grey
// for the others.
void PositionPickerPaint(HDC dc, const RECT& rect, int chosen);
// The cell whose symbol's hit box holds the point, or -1.
int PositionPickerHitTest(const RECT& rect, POINT point);

// The dialog side: the item's chosen cell (a value outside 0 to 8 is kept
// as 0), its rectangle in the dialog's client coordinates, painting it into
// the dialog's DC, and a click at a client point of the dialog, which
// chooses the cell under it and repaints; the click answers whether it
// chose a cell (never for a disabled item).
void PositionPickerSet(HWND dialog, int item_id, int position);
int PositionPickerGet(HWND dialog, int item_id);
bool PositionPickerRect(HWND dialog, int item_id, RECT& rect);
void PositionPickerPaintItem(HWND dialog, int item_id, HDC dc);
bool PositionPickerClick(HWND dialog, int item_id, POINT client_point);
