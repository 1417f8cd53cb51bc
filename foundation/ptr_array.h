// A growable array of reference-counted objects. An owning array holds one
// reference on each element; a non-owning one (the window registry) holds
// plain pointers. No lock: the owner serialises access.
#pragma once

#include <cstdint>

#include "foundation/ref_counted.h"

struct PtrArray {
    PtrArray() = default;
    PtrArray(uint32_t grow_step, bool owns);
    ~PtrArray();
    PtrArray(const PtrArray&) = delete;  // use PtrArrayCopy
    PtrArray& operator=(const PtrArray&) = delete;

    // Plain record: the fields may be read directly (items[i] is a borrowed
    // pointer for i below count); change them only through the operations.
    RefCounted** items = nullptr;  // pool block of capacity entries, null when empty
    uint32_t capacity = 0;
    uint32_t count = 0;
    uint32_t grow_step = 1;
    bool owns = false;
};

// Releases what the array held and starts it over empty (0 becomes 1).
void PtrArrayInit(PtrArray& array, uint32_t grow_step, bool owns);
void PtrArrayFree(PtrArray& array);
// Makes `array` a copy of `other` (same elements, same owning mode, grow step
// other's count or 1). False when the storage cannot be allocated: `array` is
// then empty.
bool PtrArrayCopy(PtrArray& array, const PtrArray& other);

uint32_t PtrArrayCount(const PtrArray& array);
// Index of the new last element; -1 for null or when the array cannot grow.
int32_t PtrArrayAdd(PtrArray& array, RefCounted* object);
// False for null, an index past the count, or a failed growth.
bool PtrArrayInsert(PtrArray& array, RefCounted* object, uint32_t index);
// The element with one reference added (the caller always releases, also
// for a non-owning array); null past the end, and null for an element of a
// non-owning array that is already in its destructor.
Ref<RefCounted> PtrArrayGet(const PtrArray& array, uint32_t index);
// Typed form of PtrArrayGet for arrays whose elements are all of type T.
template <class T>
Ref<T> PtrArrayGetAs(const PtrArray& array, uint32_t index) {
    return AdoptRef(static_cast<T*>(PtrArrayGet(array, index).Leak()));
}
void PtrArrayRemoveAt(PtrArray& array, uint32_t index);
// Index by pointer identity, searching from the end; -1 when absent.
int32_t PtrArrayFind(const PtrArray& array, const RefCounted* object);
void PtrArrayClear(PtrArray& array);
void PtrArrayCompact(PtrArray& array);

// Storage steps behind the operations above.
bool PtrArrayGrow(PtrArray& array);
bool PtrArrayOpenGap(PtrArray& array, uint32_t index);
void PtrArrayCloseGap(PtrArray& array, uint32_t index);
