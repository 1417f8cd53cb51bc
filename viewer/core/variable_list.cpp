#include "viewer/core/variable_list.h"

#include <utility>

#include "foundation/handles.h"
#include "foundation/registry.h"
#include "viewer/core/builtin_variables.h"

namespace {

constexpr wchar_t kNameRefused[] = L" \t\r\n<>~";

// "~" + name: the value that holds a variable's description.
WString DescriptionValueName(const WString& name) {
    WString out(L"~");
    return WStrAppend(out, name);
}

class FixedVariable : public Variable {
  public:
    FixedVariable(const WString& name, const WString& description, const WString& value)
        : Variable(name, kVariableFixed), description_(description), value_(value) {}

    WString& GetDescription(WString& out, ViewerContext* context) override { return out = description_; }
    WString& GetValue(WString& out, ViewerContext* context, const VarContext* var_context) override {
        return out = value_;
    }

  private:
    const WString description_;
    const WString value_;
};

class UserVariable : public Variable {
  public:
    UserVariable(const WString& name, const WString& description, const WString& value)
        : Variable(name, kVariableUser), description_(description), value_(value) {}

    WString& GetDescription(WString& out, ViewerContext* context) override {
        ScopedLock hold(lock_);
        return out = description_;
    }
    WString& GetValue(WString& out, ViewerContext* context, const VarContext* var_context) override {
        ScopedLock hold(lock_);
        return out = value_;
    }
    bool SetDescription(const WString& text) override {
        return Store(DescriptionValueName(name), text, description_);
    }
    bool SetValue(const WString& text) override { return Store(name, text, value_); }

  private:
    // Writes first: a text that did not reach the registry would be gone at
    // the next start, so the variable keeps its old one and says so.
    bool Store(const WString& value_name, const WString& text, WString& member) {
        RegKey key = RegOpen(HKEY_CURRENT_USER, kVariablesKeyPath, false);
        if (!RegSetString(key.get(), WStrCStr(value_name), text)) return false;
        ScopedLock hold(lock_);
        member = text;
        return true;
    }

    CriticalSection lock_;
    WString description_;
    WString value_;
};

// Appends a variable per accepted value of the key. Names longer than the
// name buffer, data longer than the data buffer, other types than REG_SZ,
// empty names and description values ("~" + name) are skipped.
void LoadVariables(VariableList* list, HKEY root, int32_t kind) {
    RegKey key = RegOpen(root, kVariablesKeyPath, true);
    if (!key) return;
    wchar_t name[kVariableNameCapacity];
    // One spare character terminates data stored without their NUL.
    wchar_t data[kVariableDataCapacity + 1];
    for (DWORD index = 0;; ++index) {
        DWORD name_length = kVariableNameCapacity;
        DWORD type = 0;
        DWORD bytes = kVariableDataCapacity * sizeof(wchar_t);
        const LONG result = RegEnumValueW(key.get(), index, name, &name_length, nullptr, &type,
                                          reinterpret_cast<BYTE*>(data), &bytes);
        if (result == ERROR_MORE_DATA) continue;
        if (result != ERROR_SUCCESS) break;
        if (type != REG_SZ || name_length == 0 || name[0] == L'~') continue;
        data[bytes / sizeof(wchar_t)] = 0;
        WString variable_name, value, description;
        WStrAssignN(variable_name, name, name_length);
        WStrAssignN(value, data, bytes / sizeof(wchar_t));
        RegGetString(key.get(), WStrCStr(DescriptionValueName(variable_name)), description);
        Ref<Variable> variable;
        if (kind == kVariableFixed) {
            variable = MakeRef<FixedVariable>(variable_name, description, value);
        } else {
            variable = MakeRef<UserVariable>(variable_name, description, value);
        }
        if (PtrArrayAdd(list->variables, variable.get()) < 0) return;
    }
}

Variable* VariableAt(VariableList* list, uint32_t position) {
    return static_cast<Variable*>(list->variables.items[position]);
}

// Under the list's lock.
int32_t FindLocked(VariableList* list, const WString& name, bool users_only) {
    for (uint32_t i = 0; i < list->variables.count; ++i) {
        Variable* variable = VariableAt(list, i);
        if (users_only && variable->kind != kVariableUser) continue;
        if (WStrEqualsNoCaseStr(variable->name, name)) return int32_t(i);
    }
    return -1;
}

}  // namespace

SYSTEMTIME VarLocalClock() {
    SYSTEMTIME time = {};
    GetLocalTime(&time);
    return time;
}

Ref<VariableList> VariableListConstruct(VarClock clock) {
    Ref<VariableList> list = MakeRef<VariableList>();
    list->clock = clock ? clock : VarLocalClock;
    ScopedLock hold(list->lock);
    if (!AddBuiltInVariables(list.get())) return list;
    LoadVariables(list.get(), HKEY_LOCAL_MACHINE, kVariableFixed);
    LoadVariables(list.get(), HKEY_CURRENT_USER, kVariableUser);
    return list;
}

Ref<VariableList> VariableListCreate() { return VariableListConstruct(nullptr); }

Ref<Variable> VarListFind(VariableList* list, const WString& name) {
    if (!list || WStrLength(name) == 0) return nullptr;
    ScopedLock hold(list->lock);
    const int32_t position = FindLocked(list, name, false);
    return position < 0 ? nullptr : Ref<Variable>(VariableAt(list, uint32_t(position)));
}

uint32_t VarListCount(VariableList* list) {
    if (!list) return 0;
    ScopedLock hold(list->lock);
    return list->variables.count;
}

Ref<Variable> VarListGetAt(VariableList* list, uint32_t position) {
    if (!list) return nullptr;
    ScopedLock hold(list->lock);
    if (position >= list->variables.count) return nullptr;
    return Ref<Variable>(VariableAt(list, position));
}

int32_t VarListFindUser(VariableList* list, const WString& name) {
    if (!list || WStrLength(name) == 0) return -1;
    ScopedLock hold(list->lock);
    return FindLocked(list, name, true);
}

bool VarNameIsValid(const WString& name) {
    const uint32_t length = WStrLength(name);
    return length > 0 && length < kVariableNameCapacity && WStrFindAnyOf(name, kNameRefused) < 0;
}

Ref<Variable> VarListCreateUser(VariableList* list, const WString& name, const WString& description,
                                const WString& value) {
    if (!list || !VarNameIsValid(name)) return nullptr;
    ScopedLock hold(list->lock);
    if (FindLocked(list, name, false) >= 0) return nullptr;
    RegKey key = RegOpen(HKEY_CURRENT_USER, kVariablesKeyPath, false);
    if (!RegSetString(key.get(), WStrCStr(name), value)) return nullptr;
    const WString description_name = DescriptionValueName(name);
    const bool described =
        WStrLength(description) == 0 || RegSetString(key.get(), WStrCStr(description_name), description);
    Ref<Variable> variable = MakeRef<UserVariable>(name, description, value);
    if (!described || PtrArrayAdd(list->variables, variable.get()) < 0) {
        // Half a variable in the registry would come back at the next start.
        RegDeleteValueW(key.get(), WStrCStr(name));
        RegDeleteValueW(key.get(), WStrCStr(description_name));
        return nullptr;
    }
    return variable;
}

bool VarListDeleteUser(VariableList* list, const WString& name) {
    if (!list || WStrLength(name) == 0) return false;
    ScopedLock hold(list->lock);
    const int32_t position = FindLocked(list, name, true);
    if (position < 0) return false;
    RegKey key;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kVariablesKeyPath, 0, KEY_SET_VALUE, key.Put()) != ERROR_SUCCESS) {
        return false;
    }
    // The stored spelling: the name asked for may differ in case.
    const WString stored = VariableAt(list, uint32_t(position))->name;
    const LONG result = RegDeleteValueW(key.get(), WStrCStr(stored));
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) return false;
    RegDeleteValueW(key.get(), WStrCStr(DescriptionValueName(stored)));
    PtrArrayRemoveAt(list->variables, uint32_t(position));
    return true;
}
