#include "viewer/core/module_list.h"

Ref<DialogModule> DialogModuleCreate(const WString& name) {
    Ref<DialogModule> module = MakeRef<DialogModule>();
    module->name = name;
    return module;
}

Ref<ModuleList> ModuleListCreate() { return MakeRef<ModuleList>(); }

bool ModuleListAdd(ModuleList* list, DialogModule* module) {
    return list && module && PtrArrayAdd(list->modules, module) >= 0;
}

uint32_t ModuleListCount(const ModuleList* list) { return list ? PtrArrayCount(list->modules) : 0; }

Ref<DialogModule> ModuleListGet(const ModuleList* list, uint32_t index) {
    return list ? PtrArrayGetAs<DialogModule>(list->modules, index) : nullptr;
}

void ModuleListClear(ModuleList* list) {
    if (list) PtrArrayClear(list->modules);
}

bool ModuleListRun(const ModuleList* list, uint32_t index, ViewerContext* context) {
    Ref<DialogModule> module = ModuleListGet(list, index);
    return module && module->Run(context);
}
