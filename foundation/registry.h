// Registry access for settings, recent files, variables and print choices.
// Every value the system writes is text (REG_SZ): numbers in decimal, f64
// with "%f", booleans as "1" or "0", rectangles as "x;y;width;height".
// Every operation takes an open key; a null key gives false or nothing.
#pragma once

#include <windows.h>

#include "foundation/geometry.h"
#include "foundation/handles.h"
#include "foundation/strings.h"

// winreg.h maps this name to RegDeleteValueW; the project's own operation
// takes it over (call RegDeleteValueW for the system's).
#undef RegDeleteValue

// Strings of this many characters or more are never written.
constexpr uint32_t kRegMaxStringLength = 2048;
// Values of this many bytes or more are never read.
constexpr uint32_t kRegMaxValueBytes = 1000000;

// With open_only the key is opened for queries only; without it, it is
// opened or created (non-volatile) for queries, values and sub-keys. Empty
// when that fails. The operations below borrow the key (key.get()).
RegKey RegOpen(HKEY root, const wchar_t* sub_key, bool open_only);
// Closes the key before its owner goes (nothing for an empty one).
void RegClose(RegKey& key);

// A null or empty name is the key's default value.
bool RegSetString(HKEY key, const wchar_t* name, const WString& value);
// Text of a REG_SZ or REG_EXPAND_SZ value (not expanded), up to its first
// NUL; the out string is emptied first.
bool RegGetString(HKEY key, const wchar_t* name, WString& value);
bool RegSetInt(HKEY key, const wchar_t* name, int32_t value);
// False also for an empty text.
bool RegGetInt(HKEY key, const wchar_t* name, int32_t& value);
bool RegSetBool(HKEY key, const wchar_t* name, bool value);
bool RegGetBool(HKEY key, const wchar_t* name, bool& value);
bool RegSetDouble(HKEY key, const wchar_t* name, double value);
bool RegGetDouble(HKEY key, const wchar_t* name, double& value);
bool RegSetRect(HKEY key, const wchar_t* name, const RectI& rect);
// False unless the text has exactly four non-empty parts; width and height
// come back non-negative.
bool RegGetRect(HKEY key, const wchar_t* name, RectI& rect);
bool RegDeleteValue(HKEY key, const wchar_t* name);

// The default value of a key under HKEY_CLASSES_ROOT (an extension's class,
// a class's command line).
bool RegGetClassDefault(const wchar_t* sub_key, WString& value);
