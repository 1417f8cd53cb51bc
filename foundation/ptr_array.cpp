#include "foundation/ptr_array.h"

#include <cstring>

#include "foundation/pool.h"

namespace {

constexpr uint32_t kEntrySize = sizeof(RefCounted*);
// Indices travel as int32 (-1 means none), so the array never grows past it.
constexpr uint64_t kMaxEntries = 0x7FFFFFFF;

// Resizes the storage to `entries` slots; the old block stays on failure.
bool ResizeStorage(PtrArray& array, uint32_t entries) {
    if (entries == 0) {
        if (array.items) PoolFree(array.items);
        array.items = nullptr;
        array.capacity = 0;
        return true;
    }
    uint64_t bytes = uint64_t{entries} * kEntrySize;
    if (bytes > kPoolMaxBlock) return false;
    void* block = array.items ? PoolRealloc(static_cast<uint32_t>(bytes), array.items, 0)
                              : PoolAlloc(static_cast<uint32_t>(bytes), 0, 0);
    if (!block) return false;
    array.items = static_cast<RefCounted**>(block);
    array.capacity = entries;
    return true;
}

void ReleaseUnlinked(RefCounted** items, uint32_t count, bool owns) {
    if (owns) {
        for (uint32_t i = count; i > 0; --i) RefRelease(items[i - 1]);
    }
    if (items) PoolFree(items);
}

}  // namespace

PtrArray::PtrArray(uint32_t grow_step, bool owns) { PtrArrayInit(*this, grow_step, owns); }

PtrArray::~PtrArray() { PtrArrayFree(*this); }

void PtrArrayInit(PtrArray& array, uint32_t grow_step, bool owns) {
    PtrArrayClear(array);
    array.grow_step = grow_step == 0 ? 1 : grow_step;
    array.owns = owns;
}

void PtrArrayFree(PtrArray& array) { PtrArrayClear(array); }

bool PtrArrayCopy(PtrArray& array, const PtrArray& other) {
    if (&array == &other) return true;
    PtrArrayInit(array, other.count, other.owns);
    if (other.count == 0) return true;
    if (!ResizeStorage(array, other.count)) return false;
    memcpy(array.items, other.items, size_t{other.count} * kEntrySize);
    array.count = other.count;
    if (array.owns) {
        for (uint32_t i = 0; i < array.count; ++i) RefAddRef(array.items[i]);
    }
    return true;
}

uint32_t PtrArrayCount(const PtrArray& array) { return array.count; }

bool PtrArrayGrow(PtrArray& array) {
    if (array.count >= kMaxEntries) return false;
    if (array.count >= array.capacity) {
        uint64_t wanted = uint64_t{array.capacity} + array.grow_step;
        if (wanted > kMaxEntries) wanted = kMaxEntries;
        if (!ResizeStorage(array, static_cast<uint32_t>(wanted))) return false;
    }
    ++array.count;
    return true;
}

bool PtrArrayOpenGap(PtrArray& array, uint32_t index) {
    if (index > array.count) return false;
    if (!PtrArrayGrow(array)) return false;
    uint32_t moved = array.count - 1 - index;
    memmove(array.items + index + 1, array.items + index, size_t{moved} * kEntrySize);
    array.items[index] = nullptr;
    return true;
}

void PtrArrayCloseGap(PtrArray& array, uint32_t index) {
    if (index >= array.count) return;
    uint32_t moved = array.count - 1 - index;
    memmove(array.items + index, array.items + index + 1, size_t{moved} * kEntrySize);
    --array.count;
}

int32_t PtrArrayAdd(PtrArray& array, RefCounted* object) {
    if (!object) return -1;
    if (!PtrArrayGrow(array)) return -1;
    if (array.owns) RefAddRef(object);
    array.items[array.count - 1] = object;
    return static_cast<int32_t>(array.count - 1);
}

bool PtrArrayInsert(PtrArray& array, RefCounted* object, uint32_t index) {
    if (!object || index > array.count) return false;
    if (!PtrArrayOpenGap(array, index)) return false;
    if (array.owns) RefAddRef(object);
    array.items[index] = object;
    return true;
}

Ref<RefCounted> PtrArrayGet(const PtrArray& array, uint32_t index) {
    if (index >= array.count) return nullptr;
    RefCounted* object = array.items[index];
    // A non-owning array can still list an object whose count already reached
    // 0 (a window leaves the registry only in its destructor); reviving it
    // would delete it twice.
    if (!RefTryAddRef(object)) return nullptr;
    return AdoptRef(object);
}

void PtrArrayRemoveAt(PtrArray& array, uint32_t index) {
    if (index >= array.count) return;
    RefCounted* object = array.items[index];
    // Unlink first: the element's destructor may come back into this array
    // (a listener that unregisters itself).
    PtrArrayCloseGap(array, index);
    if (array.count == 0) ResizeStorage(array, 0);
    if (array.owns) RefRelease(object);
}

int32_t PtrArrayFind(const PtrArray& array, const RefCounted* object) {
    for (uint32_t i = array.count; i > 0; --i) {
        if (array.items[i - 1] == object) return static_cast<int32_t>(i - 1);
    }
    return -1;
}

void PtrArrayClear(PtrArray& array) {
    // The whole storage is detached before the first release, so a destructor
    // that re-enters sees an empty (and consistent) array.
    RefCounted** items = array.items;
    uint32_t count = array.count;
    array.items = nullptr;
    array.count = 0;
    array.capacity = 0;
    ReleaseUnlinked(items, count, array.owns);
}

void PtrArrayCompact(PtrArray& array) {
    if (array.capacity == array.count) return;
    ResizeStorage(array, array.count);
}
