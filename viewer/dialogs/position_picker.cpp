#include "viewer/dialogs/position_picker.h"

#include <cstdlib>

#include "foundation/handles.h"

namespace {

constexpr COLORREF kChosenColour = RGB(0, 0, 0);
constexpr COLORREF kOtherColour = 0xDCDCDC;

POINT CellCentre(const RECT& rect, int cell) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    const int column = cell % 3;
    const int row = cell / 3;
    return {rect.left + (2 * column + 1) * width / 6, rect.top + (2 * row + 1) * height / 6};
}

void DrawLine(HDC dc, int x, int y, int length) {
    MoveToEx(dc, x, y, nullptr);
    LineTo(dc, x + length, y);
}

int Clamped(int position) { return position >= 0 && position < kPositionCells ? position : 0; }

}  // namespace

void PositionPickerPaint(HDC dc, const RECT& rect, int chosen) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return;
    {
        ScopedSelect pen(dc, GetStockObject(BLACK_PEN));
        ScopedSelect brush(dc, GetStockObject(WHITE_BRUSH));
        Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
    }
    GdiPen chosen_pen(CreatePen(PS_SOLID, 2, kChosenColour));
    GdiPen other_pen(CreatePen(PS_SOLID, 2, kOtherColour));
    const int gap = height / 30;
    const int outer = width / 8;
    const int middle = width / 6;
    for (int cell = 0; cell < kPositionCells; ++cell) {
        ScopedSelect pen(dc, cell == chosen ? chosen_pen.get() : other_pen.get());
        const POINT centre = CellCentre(rect, cell);
        DrawLine(dc, centre.x - outer / 2, centre.y - gap, outer);
        DrawLine(dc, centre.x - middle / 2, centre.y, middle);
        DrawLine(dc, centre.x - outer / 2, centre.y + gap, outer);
    }
}

int PositionPickerHitTest(const RECT& rect, POINT point) {
    const int width = rect.right - rect.left;
    const int height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0) return -1;
    if (point.x < rect.left || point.x >= rect.right || point.y < rect.top || point.y >= rect.bottom)
        return -1;
    const int column = (point.x - rect.left) * 3 / width;
    const int row = (point.y - rect.top) * 3 / height;
    const int cell = row * 3 + column;
    // The symbol's hit box: the middle line's length and the three lines'
    // height, with some room around them.
    const POINT centre = CellCentre(rect, cell);
    if (std::abs(point.x - centre.x) > width / 12 + 4) return -1;
    if (std::abs(point.y - centre.y) > height / 30 + 6) return -1;
    return cell;
}

void PositionPickerSet(HWND dialog, int item_id, int position) {
    HWND item = GetDlgItem(dialog, item_id);
    if (item) SetWindowLongPtrW(item, GWLP_USERDATA, Clamped(position));
}

int PositionPickerGet(HWND dialog, int item_id) {
    HWND item = GetDlgItem(dialog, item_id);
    return item ? Clamped(static_cast<int>(GetWindowLongPtrW(item, GWLP_USERDATA))) : 0;
}

bool PositionPickerRect(HWND dialog, int item_id, RECT& rect) {
    rect = RECT{};
    HWND item = GetDlgItem(dialog, item_id);
    if (!item || !GetWindowRect(item, &rect)) return false;
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return true;
}

void PositionPickerPaintItem(HWND dialog, int item_id, HDC dc) {
    RECT rect;
    if (PositionPickerRect(dialog, item_id, rect))
        PositionPickerPaint(dc, rect, PositionPickerGet(dialog, item_id));
}

bool PositionPickerClick(HWND dialog, int item_id, POINT client_point) {
    RECT rect;
    if (!PositionPickerRect(dialog, item_id, rect) || !IsWindowEnabled(GetDlgItem(dialog, item_id)))
        return false;
    const int cell = PositionPickerHitTest(rect, client_point);
    if (cell < 0) return false;
    PositionPickerSet(dialog, item_id, cell);
    InvalidateRect(dialog, &rect, FALSE);
    return true;
}
