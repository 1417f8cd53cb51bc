// The three classes the library serves: how each is made and how it is
// registered. DllGetClassObject and the registrar both read this table.
#pragma once

#include <span>

#include "control/com/class_factory.h"

struct ControlClass {
    const CLSID* class_id;
    ComCreator create;
    const wchar_t* prog_id;  // version-independent; the versioned one adds kProgIdVersionSuffix
    const wchar_t* description;
    const wchar_t* threading_model;
    bool is_control;  // the OLE control keys and the MIME types for full-page display
};

inline constexpr const wchar_t* kProgIdVersionSuffix = L".5_2_9";

std::span<const ControlClass> ControlClasses();
// Null for a class the library does not serve.
const ControlClass* ControlFindClass(REFCLSID class_id);
