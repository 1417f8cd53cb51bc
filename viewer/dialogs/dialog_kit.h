// The small kit of operations every dialog and property page of the viewer
// (and of redlining and printing) uses: page records and page state, the
// window user data, language texts on items, combo boxes with item data,
// numeric and multi-line edits.
#pragma once

#include <windows.h>
// after windows.h, which they need
#include <commctrl.h>
#include <prsht.h>

#include <cstdint>
#include <span>

#include "foundation/strings.h"

class ViewerContext;

// What a property page's lParam points to. Pages that need more state
// derive from it and store the base pointer (static_cast, not
// reinterpret_cast) in the page record's lParam.
struct DlgPageState {
    ViewerContext* context = nullptr;  // borrowed for the life of the sheet
    bool inch = false;                 // LENGTH_UNIT was Inch when the sheet opened
};

// Fills one page record: its own size (sizeof(PROPSHEETPAGEW), so that an
// array of records is walked with the stride it has), PSP_USETITLE, no
// icon, the template and the title (kept by pointer: it must outlive the
// sheet); lParam and callback 0, for the caller to set.
void DlgInitPropPage(PROPSHEETPAGEW& page, HINSTANCE instance, int template_id, const wchar_t* title,
                     DLGPROC procedure);

// A window's GWLP_USERDATA as a pointer.
void DlgSetUserData(HWND window, void* pointer);
void* DlgGetUserData(HWND window);

// For a page's WM_INITDIALOG, whose lParam is the page record: keeps the
// record's lParam (the page state) in the page's user data and returns it.
DlgPageState* DlgAttachPageParam(HWND page, LPARAM init_param);
// The page state a page keeps (null before DlgAttachPageParam), and its
// viewer context.
DlgPageState* DlgGetPageParam(HWND page);
ViewerContext* DlgGetPageViewer(HWND page);

// The item's text becomes the language text of that number (nothing when
// the item or the text is missing).
void DlgSetItemText(ViewerContext* context, HWND dialog, int item_id, uint32_t text_id);
// A table of language texts for a dialog's items.
struct DlgItemText {
    int item;
    uint32_t text;
};
void DlgSetItemTexts(ViewerContext* context, HWND dialog, std::span<const DlgItemText> texts);
// The item's whole text; empty when the item is missing.
WString DlgGetItemString(HWND dialog, int item_id);

// Combo boxes with item data. The adders answer the new item's index, or
// -1 when the item is missing or the text cannot be added.
int ComboAddTextId(ViewerContext* context, HWND dialog, int item_id, uint32_t text_id, INT_PTR data);
int ComboAddText(HWND dialog, int item_id, const wchar_t* text, INT_PTR data);
// Selects the first item whose data equals `data`; its index, or -1 (and
// no selection) when none has it.
int ComboSelectByData(HWND combo, INT_PTR data);
// The selected index (-1 when none) and its item data (0 when none).
int ComboGetSelData(HWND combo, INT_PTR& data);

// An edit for decimal numbers: at most 5 characters; typed characters other
// than digits, '.', ',', CR, LF, TAB, backspace and ESC beep and are
// dropped; ',' becomes '.'; a second '.' beeps and is dropped. False when
// the item is missing.
bool DlgMakeNumericEdit(HWND dialog, int item_id);
// A multi-line edit in which a typed CR makes a line break (it is passed on
// as LF, which the edit takes also without ES_WANTRETURN). False when the
// item is missing.
bool DlgMakeEnterEdit(HWND dialog, int item_id);
