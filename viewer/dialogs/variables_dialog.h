// The Edit-variables dialog: lists the user's own text variables and
// creates, updates and deletes them; every change is in the registry at
// once.
#pragma once

#include <windows.h>

#include "foundation/strings.h"

class VariableList;
class Variable;
class ViewerContext;

// Runs the dialog modally over the owner; true when a variable changed.
bool ShowVariablesDialog(HWND owner, ViewerContext* context);

// Pieces the dialog is made of.
// The list line of a user variable: name, TAB, value, TAB, description.
WString& VariableListLine(Variable* variable, WString& out);
// Whether "Create variable" may be pressed for the typed name: the trimmed
// name is a valid variable name (VarNameIsValid) that no variable has.
bool VariableNameCanBeCreated(VariableList* list, const WString& typed);
