// List-box operations that let a dialog offer the text variables for
// insertion into a text (the user-information page of the settings, the
// text page of the markup properties).
#pragma once

#include <windows.h>

class ViewerContext;

// Empties the list box, then adds one line per variable of the context's
// list (its name) with the variable's position as item data. True when at
// least one line was added.
bool VarListFillListBox(ViewerContext* context, HWND dialog, int list_box_id);
// The selected variable's description (text 2784 when it has none) into the
// text item, and the button enabled exactly while a variable is selected;
// the text is emptied when none is.
void VarListShowDescription(ViewerContext* context, HWND dialog, int list_box_id, int text_id, int button_id);
// Replaces the edit's selection with "<" + name + ">" of the selected
// variable; when the whole text is selected the caret first goes to the end,
// so that inserting never overwrites the text. False when nothing is
// selected or an item is missing.
bool VarListInsertSelected(HWND dialog, int list_box_id, int edit_id);

// The items of a dialog that offers the variables for its text.
struct VarListItems {
    int list_box;
    int description;
    int paste_button;
    int edit;
};
// Fills the list box, selects its first line and shows its description.
void VarListRefillListBox(ViewerContext* context, HWND dialog, int list_box_id, int text_id, int button_id);
// The list's commands: a selection change shows the description, a double
// click or the paste button inserts the selected variable into the edit.
// Without `may_insert` nothing is inserted and the paste button stays grey.
void VarListOnCommand(ViewerContext* context, HWND dialog, int item, int code, const VarListItems& items,
                      bool may_insert);
