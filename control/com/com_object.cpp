#include "control/com/com_object.h"

HRESULT ComObject::QueryTable(const ComInterfaceEntry* table, REFIID iid, void** out) {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (!table || !table[0].iid) return E_NOINTERFACE;
    void* found = nullptr;
    if (IsEqualIID(iid, IID_IUnknown)) {
        found = table[0].cast(this);
    } else {
        for (const ComInterfaceEntry* entry = table; entry->iid; ++entry) {
            if (IsEqualIID(iid, *entry->iid)) {
                found = entry->cast(this);
                break;
            }
        }
    }
    if (!found) return E_NOINTERFACE;
    AddRefObject();
    *out = found;
    return S_OK;
}
