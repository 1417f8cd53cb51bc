#include "control/class_objects.h"

#include "control/converter.h"
#include "control/document.h"
#include "control/plovex_ctrl.h"

namespace {

const ControlClass kClasses[] = {
    {&CLSID_Document, &Document::Create, L"PlovexActiveXCtrl.Document", L"Document-Klasse", L"both", false},
    {&CLSID_Converter, &Converter::Create, L"PlovexActiveXCtrl.Converter", L"Converter Class", L"Apartment",
     false},
    {&CLSID_PlovexCtrl, &PlovexCtrl::Create, L"PlovexActiveXCtrl.PlovexCtrl", L"PlovexCtrl Class",
     L"Apartment", true},
};

}  // namespace

std::span<const ControlClass> ControlClasses() { return kClasses; }

const ControlClass* ControlFindClass(REFCLSID class_id) {
    for (const ControlClass& entry : kClasses) {
        if (IsEqualCLSID(class_id, *entry.class_id)) return &entry;
    }
    return nullptr;
}
