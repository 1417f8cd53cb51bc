// The file-open dialog of the open-dialog module: several files may be
// chosen at once; they are opened through action 2 as one request.
#pragma once

#include "foundation/strings.h"
#include "viewer/core/module_list.h"

class ViewerContext;

// The filter pairs (description, pattern), each followed by a TAB, as the
// dialog's filter is built before every TAB becomes a NUL. A description
// whose text is missing is left empty.
WString& OpenDialogFilterText(ViewerContext* context, WString& out);
// Runs the dialog over the frame window; when the user confirms, sends
// action 2 with an interactive request for the chosen paths (TAB-joined).
// True when the user chose files.
bool RunOpenDialog(ViewerContext* context);

// The root's first dialog module ("Oeffnen-Dialog-Modul"), which runs
// RunOpenDialog.
Ref<DialogModule> OpenDialogModuleCreate();
