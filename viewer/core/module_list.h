// The dialog modules of the application root; the first is the open dialog's.
#pragma once

#include <cstdint>

#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "foundation/strings.h"

inline constexpr wchar_t kOpenDialogModuleName[] = L"Oeffnen-Dialog-Modul";

class ViewerContext;

// A dialog that commands 810 and above (and action 26 for the first) run
// with the context; true when the user went through with it.
class DialogModule : public RefCounted {
  public:
    virtual bool Run(ViewerContext* context) { return false; }
    WString name;
};

class ModuleList : public RefCounted {
  public:
    PtrArray modules{2, true};  // DialogModule
};

Ref<DialogModule> DialogModuleCreate(const WString& name);
// The module at the index runs with the context; false when there is none.
bool ModuleListRun(const ModuleList* list, uint32_t index, ViewerContext* context);
Ref<ModuleList> ModuleListCreate();
bool ModuleListAdd(ModuleList* list, DialogModule* module);
uint32_t ModuleListCount(const ModuleList* list);
// The module at the index with a reference added, or null.
Ref<DialogModule> ModuleListGet(const ModuleList* list, uint32_t index);
void ModuleListClear(ModuleList* list);
