// The text variables that placeholders name: ten built-in ones computed
// from the clock, the environment and the document, fixed ones that the
// administrator defines under HKEY_LOCAL_MACHINE, and the user's own under
// HKEY_CURRENT_USER, which the Edit-variables dialog changes.
//
// Registry: under both roots the key kVariablesKeyPath holds one REG_SZ
// value per variable (its name the variable's name, its data the value)
// and one named "~" + name holding the description.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

class ViewerContext;
struct VarContext;

inline constexpr wchar_t kVariablesKeyPath[] = L"Software\\Ostrel\\Plovex5\\Variables";

enum VariableKind : int32_t {
    kVariableBuiltIn = 0,
    kVariableFixed = 1,  // HKEY_LOCAL_MACHINE, read once, never written
    kVariableUser = 2,   // HKEY_CURRENT_USER, written at every change
};

// Names are read into this many characters (terminator included): longer
// ones are skipped when loading and refused when creating.
inline constexpr uint32_t kVariableNameCapacity = 60;
// Values and descriptions are read up to the length of any text the system
// writes (kRegMaxStringLength characters, terminator included); longer data
// are skipped.
inline constexpr uint32_t kVariableDataCapacity = 2048;

class Variable : public RefCounted {
  public:
    Variable(const WString& name, int32_t kind) : name(name), kind(kind) {}

    virtual WString& GetDescription(WString& out, ViewerContext* context) = 0;
    // `var_context` may be null.
    virtual WString& GetValue(WString& out, ViewerContext* context, const VarContext* var_context) = 0;
    // Built-in and fixed variables answer false; a user variable stores the
    // text and writes it to the registry, and answers false (keeping the old
    // text) when it cannot be written.
    virtual bool SetDescription(const WString& text) { return false; }
    virtual bool SetValue(const WString& text) { return false; }

    const WString name;
    const int32_t kind;
};

// The local time by default; tests give a fixed one.
using VarClock = SYSTEMTIME (*)();
SYSTEMTIME VarLocalClock();

class VariableList : public RefCounted {
  public:
    CriticalSection lock;
    PtrArray variables{10, true};  // Variable; a name may repeat, lookups take the first
    VarClock clock = VarLocalClock;
};

// The ten built-ins, then a fixed variable per accepted value of the machine
// key, then a user variable per accepted value of the user key. A key that
// cannot be opened adds nothing. A null clock is the local time.
Ref<VariableList> VariableListConstruct(VarClock clock = nullptr);
// What the viewer context makes: VariableListConstruct with the local time.
Ref<VariableList> VariableListCreate();

// The first variable of that name (case ignored), or null (also for an
// empty name or a null list).
Ref<Variable> VarListFind(VariableList* list, const WString& name);
uint32_t VarListCount(VariableList* list);
// Null past the end.
Ref<Variable> VarListGetAt(VariableList* list, uint32_t position);
// The position of the first user variable of that name, -1 when none.
int32_t VarListFindUser(VariableList* list, const WString& name);

// Whether a user variable of that name could be stored and read back: not
// empty, shorter than kVariableNameCapacity, without blank, TAB, CR, LF,
// '<', '>' and '~'. (Taken names are VarListCreateUser's concern.)
bool VarNameIsValid(const WString& name);
// Appends a user variable after writing its value (also an empty one) and,
// when not empty, its description under HKEY_CURRENT_USER. Null when the
// name is not valid, a variable of that name exists, or the value cannot be
// written (nothing is then appended).
Ref<Variable> VarListCreateUser(VariableList* list, const WString& name, const WString& description,
                                const WString& value);
// Deletes the first user variable of that name (a fixed variable of the
// same name may come before it) from the list and its two registry values.
// False when there is none or the key cannot be opened.
bool VarListDeleteUser(VariableList* list, const WString& name);
