#include "redlining/redline_property_pages.h"

#include <commdlg.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cwchar>
#include <span>

#include "foundation/handles.h"
#include "redlining/redline_attributes.h"
#include "redlining/redline_layer.h"
#include "resources/resource_ids.h"
#include "resources/text_ids.h"
#include "viewer/core/restrictions.h"
#include "viewer/core/settings.h"
#include "viewer/core/viewer_context.h"
#include "viewer/dialogs/variable_list_box.h"
#include "viewer/dialogs/variables_dialog.h"

namespace {

constexpr uint32_t kMaxTextLength = 4000;
constexpr uint32_t kMaxFaceLength = 200;
constexpr uint32_t kColourReadLength = 20;
// Colour references above plain RGB select palette entries, which the
// markups never mean.
constexpr unsigned long long kMaxColour = 0xFFFFFF;
constexpr float kDefaultWidth = 1.0f;
constexpr float kDefaultHeight = 10.0f;
// The preview's size unit and pen; the lists draw their entries smaller.
constexpr int kPreviewUnit = 3;
constexpr int kPreviewPenWidth = 3;
constexpr int kListUnit = 2;
constexpr int kListItemHeight = 18;
constexpr int32_t kLineEndStyleCount = 4;
constexpr const wchar_t* kLineEndNames[kLineEndStyleCount] = {L"KE", L"PG", L"PK", L"90"};
// The custom colours ChooseColorW offers.
constexpr COLORREF kCustomColours[16] = {0xFFFFFF, 0xC8C8C8, 0x808080, 0x000000, 0x0000FF, 0x0000B4,
                                         0x00FF00, 0x00B400, 0xFF0000, 0xB40000, 0x00FFFF, 0x00B4B4,
                                         0xFFFF00, 0xB4B400, 0xFF00FF, 0xB400B4};

// A hidden edit holding a colour reference in decimal, painted as a swatch,
// and the button beside it that picks the colour.
struct ColourField {
    int field;
    int button;
};

// What distinguishes the pages; PageProc does the rest.
struct PageKind {
    int32_t kind;
    std::span<const DlgItemText> texts;
    std::span<const ColourField> colours;
    void (*init)(HWND page, RedlineSheetState& sheet);
    // The new attribute from the page's controls.
    Ref<RedlineAttribute> (*build)(HWND page, RedlineSheetState& sheet);
    void (*paint)(HWND page, HDC dc);  // beyond the swatches; may be null
};

RedlineSheetState* SheetOf(HWND page) { return static_cast<RedlineSheetState*>(DlgGetPageParam(page)); }

// The first selected object's attribute of the kind, or null.
template <class T>
Ref<T> FirstAttribute(RedlineSheetState& sheet, int32_t kind) {
    Ref<RedlineObject> first = sheet.selection->GetAt(0);
    Ref<RedlineAttribute> attribute = first ? first->GetAttribute(kind) : nullptr;
    // An object keeps each attribute in the slot of its own kind.
    return attribute ? Ref<T>(static_cast<T*>(attribute.get())) : nullptr;
}

void CheckItem(HWND page, int item, bool checked) {
    CheckDlgButton(page, item, checked ? BST_CHECKED : BST_UNCHECKED);
}

bool IsChecked(HWND page, int item) { return IsDlgButtonChecked(page, item) == BST_CHECKED; }

RECT ItemRect(HWND page, int item) {
    RECT rect = {};
    if (HWND window = GetDlgItem(page, item); window && GetWindowRect(window, &rect)) {
        MapWindowPoints(nullptr, page, reinterpret_cast<POINT*>(&rect), 2);
    }
    return rect;
}

// ---- Numbers and colours ---------------------------------------------------

void ShowNumber(HWND page, int item, float value, RedlineShownNumber& shown) {
    wchar_t text[40] = {};
    swprintf(text, 40, L"%.1f", static_cast<double>(value));
    shown.text = WString(text);
    shown.value = value;
    SetDlgItemTextW(page, item, text);
}

// The edit's real: the value shown while its text is unchanged, else the
// text read; false when it is empty or no finite number.
bool ReadNumber(HWND page, int item, const RedlineShownNumber& shown, double& value) {
    const WString text = DlgGetItemString(page, item);
    if (WStrEquals(text, shown.text) && WStrLength(text) > 0) {
        value = shown.value;
        return true;
    }
    if (WStrLength(text) == 0) return false;
    value = std::wcstod(WStrCStr(text), nullptr);
    return std::isfinite(value);
}

void ShowColour(HWND page, int field, uint32_t colour) {
    wchar_t text[24] = {};
    swprintf(text, 24, L"%ld", static_cast<long>(colour));
    SetDlgItemTextW(page, field, text);
}

// Empty reads as 0; what is no colour reference is taken as white at most.
COLORREF ReadColour(HWND page, int field) {
    WString text = DlgGetItemString(page, field);
    WStrTruncate(text, kColourReadLength);
    const unsigned long long value = std::wcstoull(WStrCStr(text), nullptr, 10);
    return static_cast<COLORREF>(value > kMaxColour ? kMaxColour : value);
}

void PaintSwatch(HWND page, HDC dc, int field) {
    if (WStrLength(DlgGetItemString(page, field)) == 0) return;
    const RECT rect = ItemRect(page, field);
    GdiBrush brush(CreateSolidBrush(ReadColour(page, field)));
    ScopedSelect pen(dc, GetStockObject(BLACK_PEN));
    ScopedSelect fill(dc, brush.get());
    Rectangle(dc, rect.left, rect.top, rect.right, rect.bottom);
}

// The button goes to the field's right edge, with the field's top and height.
void PlaceColourButton(HWND page, const ColourField& colour) {
    HWND button = GetDlgItem(page, colour.button);
    const RECT field = ItemRect(page, colour.field);
    const RECT own = ItemRect(page, colour.button);
    if (!button) return;
    SetWindowPos(button, nullptr, field.right, field.top, own.right - own.left, field.bottom - field.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ChooseFieldColour(HWND page, int field) {
    COLORREF custom[16];
    std::copy(std::begin(kCustomColours), std::end(kCustomColours), custom);
    CHOOSECOLORW choose = {};
    choose.lStructSize = sizeof(choose);
    choose.hwndOwner = page;
    choose.rgbResult = ReadColour(page, field);
    choose.lpCustColors = custom;
    choose.Flags = CC_FULLOPEN | CC_ANYCOLOR | CC_RGBINIT;
    if (!ChooseColorW(&choose)) return;
    ShowColour(page, field, choose.rgbResult);
    InvalidateRect(page, nullptr, TRUE);
}

// ---- Filling -----------------------------------------------------------------

constexpr DlgItemText kFillingTexts[] = {
    {IDC_FILLING_COLOUR_LABEL, text::kMarkupColour},
    {IDC_FILLING_TRANSPARENT, text::kMarkupTransparent},
};
constexpr ColourField kFillingColours[] = {{IDC_FILLING_COLOUR, IDC_FILLING_COLOUR_BUTTON}};

void InitFillingPage(HWND page, RedlineSheetState& sheet) {
    Ref<FillAttr> filling = FirstAttribute<FillAttr>(sheet, redline_attribute::kFill);
    if (!filling) return;
    ShowColour(page, IDC_FILLING_COLOUR, filling->colour);
    CheckItem(page, IDC_FILLING_TRANSPARENT, filling->transparent);
}

Ref<RedlineAttribute> BuildFilling(HWND page, RedlineSheetState&) {
    return MakeRef<FillAttr>(IsChecked(page, IDC_FILLING_TRANSPARENT), ReadColour(page, IDC_FILLING_COLOUR),
                             0);
}

// ---- Line ----------------------------------------------------------------------

constexpr DlgItemText kLineTexts[] = {
    {IDC_LINE_WIDTH_LABEL, text::kMarkupWidth},
    {IDC_LINE_WIDTH_UNIT, text::kUnitMillimetre},
    {IDC_LINE_COLOUR_LABEL, text::kMarkupColour},
    {IDC_LINE_TRANSPARENT, text::kMarkupTransparent},
};
constexpr ColourField kLineColours[] = {{IDC_LINE_COLOUR, IDC_LINE_COLOUR_BUTTON}};

void InitLinePage(HWND page, RedlineSheetState& sheet) {
    DlgMakeNumericEdit(page, IDC_LINE_WIDTH);
    Ref<LineAttr> outline = FirstAttribute<LineAttr>(sheet, redline_attribute::kLine);
    if (!outline) return;
    ShowNumber(page, IDC_LINE_WIDTH, outline->width > 0.0f ? outline->width : kDefaultWidth, sheet.width);
    ShowColour(page, IDC_LINE_COLOUR, outline->colour);
    CheckItem(page, IDC_LINE_TRANSPARENT, outline->transparent);
}

Ref<RedlineAttribute> BuildLine(HWND page, RedlineSheetState& sheet) {
    double width = 0.0;
    if (!ReadNumber(page, IDC_LINE_WIDTH, sheet.width, width) || width <= 0.0) width = kDefaultWidth;
    return MakeRef<LineAttr>(IsChecked(page, IDC_LINE_TRANSPARENT), ReadColour(page, IDC_LINE_COLOUR), 0,
                             static_cast<float>(width));
}

// ---- Line endings ----------------------------------------------------------------

constexpr int kLineEndLists[] = {IDC_LINE_ENDS_START, IDC_LINE_ENDS_END};

int32_t SelectedStyle(HWND page, int list) {
    INT_PTR style = 0;
    ComboGetSelData(GetDlgItem(page, list), style);
    return style >= 0 && style < kLineEndStyleCount ? static_cast<int32_t>(style) : 0;
}

void InitLineEndsPage(HWND page, RedlineSheetState& sheet) {
    for (int list : kLineEndLists) {
        for (int32_t style = 0; style < kLineEndStyleCount; ++style) {
            ComboAddText(page, list, kLineEndNames[style], style);
        }
    }
    Ref<LineEndsAttr> ends = FirstAttribute<LineEndsAttr>(sheet, redline_attribute::kLineEnds);
    if (!ends) return;
    ComboSelectByData(GetDlgItem(page, IDC_LINE_ENDS_START), ends->start_style);
    ComboSelectByData(GetDlgItem(page, IDC_LINE_ENDS_END), ends->end_style);
}

Ref<RedlineAttribute> BuildLineEnds(HWND page, RedlineSheetState&) {
    return MakeRef<LineEndsAttr>(SelectedStyle(page, IDC_LINE_ENDS_START),
                                 SelectedStyle(page, IDC_LINE_ENDS_END));
}

// A line across the rectangle at half its height with the start glyph at
// its left end and the end glyph at its right end.
void DrawLineWithEnds(HDC dc, const RECT& rect, int32_t start, int32_t end, int unit) {
    const int y = (rect.top + rect.bottom) / 2;
    const POINT left = {rect.left + 3 * unit, y};
    const POINT right = {rect.right - 1 - 3 * unit, y};
    MoveToEx(dc, left.x, left.y, nullptr);
    LineTo(dc, right.x, right.y);
    DrawLineEndGlyph(dc, left, -1, start, unit);
    DrawLineEndGlyph(dc, right, 1, end, unit);
}

void PaintLineEndsPreview(HWND page, HDC dc) {
    const RECT box = ItemRect(page, IDC_LINE_ENDS_PREVIEW);
    if (box.right <= box.left || box.bottom <= box.top) return;
    FillRect(dc, &box, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    GdiPen pen(CreatePen(PS_SOLID, kPreviewPenWidth, RGB(0, 0, 0)));
    ScopedSelect use(dc, pen.get());
    DrawLineWithEnds(dc, box, SelectedStyle(page, IDC_LINE_ENDS_START),
                     SelectedStyle(page, IDC_LINE_ENDS_END), kPreviewUnit);
}

// An entry of a list: a line with the entry's glyph at the end the list is for.
void DrawLineEndEntry(const DRAWITEMSTRUCT& item) {
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID == static_cast<UINT>(-1)) return;
    const auto style = static_cast<int32_t>(item.itemData);
    GdiPen pen(CreatePen(PS_SOLID, 1, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT)));
    ScopedSelect use(item.hDC, pen.get());
    const bool start = item.CtlID == IDC_LINE_ENDS_START;
    DrawLineWithEnds(item.hDC, item.rcItem, start ? style : 0, start ? 0 : style, kListUnit);
}

// ---- Font ------------------------------------------------------------------------

constexpr DlgItemText kFontTexts[] = {
    {IDC_FONT_FACE_LABEL, text::kMarkupFontFace},
    {IDC_FONT_HEIGHT_LABEL, text::kMarkupFontHeight},
    {IDC_FONT_HEIGHT_UNIT, text::kUnitMillimetre},
    {IDC_FONT_COLOUR_LABEL, text::kMarkupColour},
    {IDC_FONT_BOLD, text::kMarkupBold},
    {IDC_FONT_ITALIC, text::kMarkupItalic},
    {IDC_FONT_UNDERLINE, text::kMarkupUnderlined},
    {IDC_FONT_STRIKE_OUT, text::kMarkupStrikeOut},
    {IDC_FONT_ANGLE_LABEL, text::kMarkupAngle},
    {IDC_FONT_ANGLE_UNIT, text::kMarkupDegrees},
};
constexpr ColourField kFontColours[] = {{IDC_FONT_COLOUR, IDC_FONT_COLOUR_BUTTON}};

int CALLBACK AddTrueTypeFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD type, LPARAM combo_param) {
    if (!(type & TRUETYPE_FONTTYPE)) return 1;
    HWND combo = reinterpret_cast<HWND>(combo_param);
    const wchar_t* name = reinterpret_cast<const ENUMLOGFONTEXW*>(font)->elfFullName;
    if (name[0] && SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                reinterpret_cast<LPARAM>(name)) == CB_ERR) {
        SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name));
    }
    return 1;
}

void FillFaces(HWND page) {
    HWND combo = GetDlgItem(page, IDC_FONT_FACE);
    WindowDC dc(page);
    if (!combo || !dc) return;
    LOGFONTW wanted = {};
    wanted.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExW(dc.get(), &wanted, AddTrueTypeFace, reinterpret_cast<LPARAM>(combo), 0);
}

void InitFontPage(HWND page, RedlineSheetState& sheet) {
    FillFaces(page);
    SendDlgItemMessageW(page, IDC_FONT_FACE, CB_LIMITTEXT, kMaxFaceLength, 0);
    DlgMakeNumericEdit(page, IDC_FONT_HEIGHT);
    DlgMakeNumericEdit(page, IDC_FONT_ANGLE);
    Ref<FontAttr> font = FirstAttribute<FontAttr>(sheet, redline_attribute::kFont);
    if (!font) return;
    // A face the machine lacks (Arial often, under Wine) stays shown as it
    // is rather than the list's first entry, so that applying the page for
    // another change does not change the face.
    HWND combo = GetDlgItem(page, IDC_FONT_FACE);
    const LRESULT index = SendMessageW(combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                       reinterpret_cast<LPARAM>(WStrCStr(font->face)));
    if (index != CB_ERR) {
        SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0);
    } else {
        SetWindowTextW(combo, WStrCStr(font->face));
    }
    ShowNumber(page, IDC_FONT_HEIGHT, font->height, sheet.height);
    ShowColour(page, IDC_FONT_COLOUR, font->colour);
    CheckItem(page, IDC_FONT_BOLD, font->bold);
    CheckItem(page, IDC_FONT_ITALIC, font->italic);
    CheckItem(page, IDC_FONT_UNDERLINE, font->underline);
    CheckItem(page, IDC_FONT_STRIKE_OUT, font->strike_out);
    ShowNumber(page, IDC_FONT_ANGLE, font->angle, sheet.angle);
}

Ref<RedlineAttribute> BuildFont(HWND page, RedlineSheetState& sheet) {
    WString face = DlgGetItemString(page, IDC_FONT_FACE);
    WStrTruncate(face, kMaxFaceLength);
    // A font without a face cannot be read back: the reader would drop the
    // whole page's markups. An emptied field keeps the face shown.
    if (WStrLength(face) == 0) {
        Ref<FontAttr> shown = FirstAttribute<FontAttr>(sheet, redline_attribute::kFont);
        face = shown ? shown->face : WString(L"Arial");
    }
    double height = 0.0;
    if (!ReadNumber(page, IDC_FONT_HEIGHT, sheet.height, height) || height <= 0.0) height = kDefaultHeight;
    double angle = 0.0;
    if (ReadNumber(page, IDC_FONT_ANGLE, sheet.angle, angle)) {
        angle = std::fmod(angle, 360.0);
    } else {
        angle = 0.0;
    }
    return MakeRef<FontAttr>(static_cast<float>(height), IsChecked(page, IDC_FONT_ITALIC),
                             IsChecked(page, IDC_FONT_BOLD), IsChecked(page, IDC_FONT_UNDERLINE),
                             IsChecked(page, IDC_FONT_STRIKE_OUT), ReadColour(page, IDC_FONT_COLOUR),
                             static_cast<float>(angle), 0, face);
}

// ---- Text ------------------------------------------------------------------------

constexpr DlgItemText kTextTexts[] = {
    {IDC_MARKUP_TEXT_LABEL, text::kMarkupTextLabel},
    {IDC_MARKUP_VARIABLES_LABEL, text::kMarkupVariables},
    {IDC_MARKUP_PASTE, text::kMarkupPasteVariable},
    {IDC_MARKUP_EDIT_VARIABLES, text::kMarkupEditVariables},
};

void InitTextPage(HWND page, RedlineSheetState& sheet) {
    SendDlgItemMessageW(page, IDC_MARKUP_TEXT, EM_LIMITTEXT, kMaxTextLength, 0);
    DlgMakeEnterEdit(page, IDC_MARKUP_TEXT);
    if (Ref<TextAttr> text = FirstAttribute<TextAttr>(sheet, redline_attribute::kText)) {
        SetDlgItemTextW(page, IDC_MARKUP_TEXT, WStrCStr(text->text().text));
    }
    VarListRefillListBox(sheet.context, page, IDC_MARKUP_VARIABLES, IDC_MARKUP_DESCRIPTION, IDC_MARKUP_PASTE);
    Ref<Settings> settings = ViewerGetSettings(sheet.context);
    const bool may_edit =
        settings && !(SettingsGetRestrictions(settings.get()) & restriction::kEditVariables);
    EnableWindow(GetDlgItem(page, IDC_MARKUP_EDIT_VARIABLES), may_edit);
}

Ref<RedlineAttribute> BuildText(HWND page, RedlineSheetState&) {
    return MakeRef<TextAttr>(DlgGetItemString(page, IDC_MARKUP_TEXT));
}

void OnTextCommand(HWND page, int item, int code) {
    RedlineSheetState* sheet = SheetOf(page);
    if (!sheet) return;
    if (item == IDC_MARKUP_EDIT_VARIABLES && code == BN_CLICKED) {
        if (ShowVariablesDialog(GetParent(page), sheet->context)) {
            VarListRefillListBox(sheet->context, page, IDC_MARKUP_VARIABLES, IDC_MARKUP_DESCRIPTION,
                                 IDC_MARKUP_PASTE);
        }
        return;
    }
    VarListOnCommand(sheet->context, page, item, code,
                     {IDC_MARKUP_VARIABLES, IDC_MARKUP_DESCRIPTION, IDC_MARKUP_PASTE, IDC_MARKUP_TEXT}, true);
}

// ---- Page procedures -----------------------------------------------------------------

constexpr PageKind kTextPage = {redline_attribute::kText, kTextTexts, {}, InitTextPage, BuildText, nullptr};
constexpr PageKind kFontPage = {
    redline_attribute::kFont, kFontTexts, kFontColours, InitFontPage, BuildFont, nullptr};
constexpr PageKind kLinePage = {
    redline_attribute::kLine, kLineTexts, kLineColours, InitLinePage, BuildLine, nullptr};
constexpr PageKind kLineEndsPage = {redline_attribute::kLineEnds, {}, {}, InitLineEndsPage, BuildLineEnds,
                                    PaintLineEndsPreview};
constexpr PageKind kFillingPage = {redline_attribute::kFill, kFillingTexts, kFillingColours,
                                   InitFillingPage,          BuildFilling,  nullptr};

void PaintPage(const PageKind& kind, HWND page, HDC dc) {
    if (!dc) return;
    for (const ColourField& colour : kind.colours) PaintSwatch(page, dc, colour.field);
    if (kind.paint) kind.paint(page, dc);
}

void OnColourCommand(const PageKind& kind, HWND page, int item, int code) {
    for (const ColourField& colour : kind.colours) {
        if (item == colour.button && code == BN_CLICKED) ChooseFieldColour(page, colour.field);
        if (item == colour.field && code == EN_CHANGE) {
            const RECT swatch = ItemRect(page, colour.field);
            InvalidateRect(page, &swatch, TRUE);
        }
    }
}

// Every selected object takes the page's new attribute; the object keeps its
// own reference, this one goes with the scope.
void ApplyPage(const PageKind& kind, HWND page) {
    RedlineSheetState* sheet = SheetOf(page);
    if (!sheet || !sheet->selection) return;
    Ref<RedlineAttribute> attribute = kind.build(page, *sheet);
    if (!attribute) return;
    for (uint32_t i = 0; i < sheet->selection->Count(); ++i) {
        if (Ref<RedlineObject> object = sheet->selection->GetAt(i)) object->SetAttribute(attribute.get());
    }
}

INT_PTR NotifyResult(HWND page, LONG_PTR result) {
    SetWindowLongPtrW(page, DWLP_MSGRESULT, result);
    return TRUE;
}

INT_PTR PageProc(const PageKind& kind, HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_INITDIALOG: {
            auto* sheet = static_cast<RedlineSheetState*>(DlgAttachPageParam(page, lparam));
            if (!sheet || !sheet->selection) return TRUE;
            DlgSetItemTexts(sheet->context, page, kind.texts);
            for (const ColourField& colour : kind.colours) PlaceColourButton(page, colour);
            kind.init(page, *sheet);
            return TRUE;
        }
        case WM_PAINT: {
            PaintDC dc(page);
            PaintPage(kind, page, dc.get());
            return TRUE;
        }
        case WM_PRINTCLIENT:
            PaintPage(kind, page, reinterpret_cast<HDC>(wparam));
            return TRUE;
        case WM_COMMAND:
            OnColourCommand(kind, page, LOWORD(wparam), HIWORD(wparam));
            return FALSE;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lparam);
            if (header->code == PSN_SETACTIVE) {
                if (RedlineSheetState* sheet = SheetOf(page)) sheet->active_kind = kind.kind;
                return NotifyResult(page, 0);
            }
            if (header->code == PSN_KILLACTIVE) return NotifyResult(page, FALSE);
            if (header->code == PSN_APPLY) {
                ApplyPage(kind, page);
                return NotifyResult(page, PSNRET_NOERROR);
            }
            return FALSE;
        }
        default:
            return FALSE;
    }
}

INT_PTR CALLBACK TextPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    if (message == WM_CLOSE) {
        // ESC in the multi-line text closes the page: cancel the sheet.
        PropSheet_PressButton(GetParent(page), PSBTN_CANCEL);
        return TRUE;
    }
    if (message == WM_COMMAND) OnTextCommand(page, LOWORD(wparam), HIWORD(wparam));
    return PageProc(kTextPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK FontPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kFontPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK LinePageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kLinePage, page, message, wparam, lparam);
}

INT_PTR CALLBACK LineEndsPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    switch (message) {
        case WM_MEASUREITEM: {
            // Arrives before WM_INITDIALOG, for each owner-drawn list.
            auto* measure = reinterpret_cast<MEASUREITEMSTRUCT*>(lparam);
            if (measure->CtlType != ODT_COMBOBOX) return FALSE;
            measure->itemHeight = kListItemHeight;
            return TRUE;
        }
        case WM_DRAWITEM: {
            const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lparam);
            if (item->CtlType != ODT_COMBOBOX) return FALSE;
            DrawLineEndEntry(*item);
            return TRUE;
        }
        case WM_COMMAND:
            if (HIWORD(wparam) == CBN_SELCHANGE) {
                const RECT preview = ItemRect(page, IDC_LINE_ENDS_PREVIEW);
                InvalidateRect(page, &preview, TRUE);
            }
            break;
        default:
            break;
    }
    return PageProc(kLineEndsPage, page, message, wparam, lparam);
}

INT_PTR CALLBACK FillingPageProc(HWND page, UINT message, WPARAM wparam, LPARAM lparam) {
    return PageProc(kFillingPage, page, message, wparam, lparam);
}

}  // namespace

const RedlinePageEntry kRedlinePages[kRedlinePageCount] = {
    {redline_attribute::kText, IDD_MARKUP_TEXT, text::kMarkupTextPage, TextPageProc},
    {redline_attribute::kFont, IDD_MARKUP_FONT, text::kMarkupFont, FontPageProc},
    {redline_attribute::kLine, IDD_MARKUP_LINE, text::kMarkupLine, LinePageProc},
    {redline_attribute::kLineEnds, IDD_MARKUP_LINE_ENDS, text::kMarkupLineEnds, LineEndsPageProc},
    {redline_attribute::kFill, IDD_MARKUP_FILLING, text::kMarkupFilling, FillingPageProc},
};

void DrawLineEndGlyph(HDC dc, POINT tip, int outward, int32_t style, int unit) {
    // Arms of an arrow: so many units back along the line and across it.
    int along = 0, across = 0;
    switch (style) {
        case 1:
            along = 6 * unit, across = 3 * unit;
            break;
        case 2:
            along = 4 * unit, across = 2 * unit;
            break;
        case 3: {
            const POINT bar[2] = {{tip.x, tip.y - 2 * unit}, {tip.x, tip.y + 2 * unit}};
            Polyline(dc, bar, 2);
            return;
        }
        default:
            return;
    }
    const POINT arrow[3] = {
        {tip.x - outward * along, tip.y - across}, tip, {tip.x - outward * along, tip.y + across}};
    Polyline(dc, arrow, 3);
}
