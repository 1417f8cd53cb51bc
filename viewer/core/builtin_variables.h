// The ten built-in text variables and the value texts they produce.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/ref_counted.h"
#include "foundation/strings.h"
#include "viewer/core/variable_list.h"

class DocItem;

// Appends the built-ins, in their fixed order, to the list's array (the
// caller holds the list's lock or owns the list alone). False when the array
// cannot grow.
bool AddBuiltInVariables(VariableList* list);

// Language 0 (German) "d.m.yyyy", any other "yyyy-mm-dd".
WString& FormatVariableDate(const SYSTEMTIME& time, uint16_t language, WString& out);
// "h:mm".
WString& FormatVariableTime(const SYSTEMTIME& time, WString& out);
// The source path's last part (after the last '/', '\' or ':') and the rest
// up to and including that separator.
WString& VariableFileName(const WString& path, WString& out);
WString& VariableDirectory(const WString& path, WString& out);
