#include "redlining/redline_layer.h"

#include <algorithm>
#include <vector>

#include "viewer/model/view_mapping.h"

namespace {

constexpr int64_t kZToEnd = 999999999;
constexpr int64_t kZStep = 15;
constexpr int32_t kZSpacing = 10;

RedlineObject* At(const PtrArray& array, uint32_t i) { return static_cast<RedlineObject*>(array.items[i]); }

// Edges inclusive, so boxes of zero width still meet what they touch.
bool Overlaps(const RectD& a, const RectD& b) {
    return a.origin.x <= b.origin.x + b.size.width && b.origin.x <= a.origin.x + a.size.width &&
           a.origin.y <= b.origin.y + b.size.height && b.origin.y <= a.origin.y + a.size.height;
}

struct SortEntry {
    int32_t z;
    int32_t id;
    RefCounted* object;
};

// Orders the array by the key (z then id, or id alone), stably.
void SortArray(PtrArray& array, bool ascending, bool by_id_only) {
    std::vector<SortEntry> entries(array.count);
    for (uint32_t i = 0; i < array.count; ++i)
        entries[i] = SortEntry{by_id_only ? 0 : At(array, i)->GetZ(), At(array, i)->GetId(), array.items[i]};
    std::stable_sort(entries.begin(), entries.end(), [ascending](const SortEntry& a, const SortEntry& b) {
        if (a.z != b.z) return ascending ? a.z < b.z : a.z > b.z;
        return ascending ? a.id < b.id : a.id > b.id;
    });
    for (uint32_t i = 0; i < array.count; ++i) array.items[i] = entries[i].object;
}

}  // namespace

// ---- RedlineObjectList

bool RedlineObjectList::Add(RedlineObject* object) {
    if (!object) return false;
    ScopedLock hold(lock_);
    if (PtrArrayFind(objects_, object) >= 0) return false;
    if (PtrArrayAdd(objects_, object) < 0) return false;
    sorted_ = false;
    return true;
}

bool RedlineObjectList::Remove(RedlineObject* object) {
    if (!object) return false;
    ScopedLock hold(lock_);
    const int32_t index = PtrArrayFind(objects_, object);
    if (index < 0) return false;
    PtrArrayRemoveAt(objects_, static_cast<uint32_t>(index));
    return true;
}

bool RedlineObjectList::AddOnTop(RedlineObject* object) {
    if (!object) return false;
    ScopedLock hold(lock_);
    if (PtrArrayFind(objects_, object) >= 0) return false;
    if (objects_.count > 0) {
        int64_t top = INT32_MIN;
        for (uint32_t i = 0; i < objects_.count; ++i) top = std::max<int64_t>(top, At(objects_, i)->GetZ());
        object->SetZ(static_cast<int32_t>(std::min<int64_t>(top + kZSpacing, INT32_MAX)));
    }
    return Add(object);
}

Ref<RedlineObject> RedlineObjectList::GetAt(uint32_t index) {
    ScopedLock hold(lock_);
    return PtrArrayGetAs<RedlineObject>(objects_, index);
}

bool RedlineObjectList::Contains(RedlineObject* object) {
    ScopedLock hold(lock_);
    return object && PtrArrayFind(objects_, object) >= 0;
}

void RedlineObjectList::Clear() {
    ScopedLock hold(lock_);
    PtrArrayClear(objects_);
    sorted_ = false;
}

uint32_t RedlineObjectList::Count() {
    ScopedLock hold(lock_);
    return objects_.count;
}

void RedlineObjectList::CopyFrom(RedlineObjectList& other) {
    if (&other == this) return;
    PtrArray copy(16, true);
    {
        ScopedLock hold(other.lock_);
        for (uint32_t i = 0; i < other.objects_.count; ++i) PtrArrayAdd(copy, other.objects_.items[i]);
    }
    Clear();
    for (uint32_t i = 0; i < copy.count; ++i) Add(At(copy, i));
}

void RedlineObjectList::SortLocked(bool ascending) {
    if (sorted_ && ascending_ == ascending) return;
    SortArray(objects_, ascending, false);
    sorted_ = true;
    ascending_ = ascending;
}

void RedlineObjectList::Sort(bool ascending) {
    ScopedLock hold(lock_);
    SortLocked(ascending);
}

RectD& RedlineObjectList::GetBoundingBox(RectD& out) {
    ScopedLock hold(lock_);
    RectDInitEmpty(out);
    for (uint32_t i = 0; i < objects_.count; ++i) {
        RectD bounds;
        At(objects_, i)->GetBounds(bounds);
        if (i == 0) {
            out = bounds;
        } else {
            RectDUnion(out, bounds);
        }
    }
    return out;
}

void RedlineObjectList::NormaliseZLocked() {
    SortLocked(true);
    for (uint32_t i = 0; i < objects_.count; ++i) At(objects_, i)->SetZ(static_cast<int32_t>(i) * kZSpacing);
}

void RedlineObjectList::NormaliseZ() {
    ScopedLock hold(lock_);
    NormaliseZLocked();
}

void RedlineObjectList::AssignZInListOrder() {
    ScopedLock hold(lock_);
    for (uint32_t i = 0; i < objects_.count; ++i) At(objects_, i)->SetZ(static_cast<int32_t>(i) * kZSpacing);
    sorted_ = true;
    ascending_ = true;
}

bool RedlineObjectList::ChangeZ(RedlineObject* object, uint32_t direction) {
    static constexpr int64_t kSteps[4] = {kZToEnd, kZStep, -kZStep, -kZToEnd};
    if (!object || direction > redline_z::kToBack) return false;
    ScopedLock hold(lock_);
    if (PtrArrayFind(objects_, object) < 0) return false;
    const int64_t z = std::clamp<int64_t>(int64_t(object->GetZ()) + kSteps[direction], INT32_MIN, INT32_MAX);
    object->SetZ(static_cast<int32_t>(z));
    sorted_ = false;
    NormaliseZLocked();
    return true;
}

Ref<RedlineObject> RedlineObjectList::TopmostHit(const ViewMapping* mapping, const PointD& point) {
    ScopedLock hold(lock_);
    SortLocked(true);
    for (uint32_t i = objects_.count; i-- > 0;)
        if (At(objects_, i)->HitTest(point, mapping)) return Ref<RedlineObject>(At(objects_, i));
    return nullptr;
}

Ref<RedlineObject> RedlineObjectList::TopmostHandleHit(const ViewMapping* mapping, const PointD& point,
                                                       int32_t& handle, int32_t& cursor) {
    ScopedLock hold(lock_);
    SortLocked(true);
    handle = -1;
    for (uint32_t i = objects_.count; i-- > 0;)
        if (At(objects_, i)->HitHandle(point, mapping, handle, cursor))
            return Ref<RedlineObject>(At(objects_, i));
    return nullptr;
}

bool RedlineObjectList::SnapshotInDrawingOrder(PtrArray& out) {
    PtrArrayInit(out, 16, true);
    ScopedLock hold(lock_);
    SortLocked(true);
    for (uint32_t i = 0; i < objects_.count; ++i)
        if (PtrArrayAdd(out, objects_.items[i]) < 0) return false;
    return true;
}

// ---- RedlineLayer

bool RedlineLayer::Objects::Add(RedlineObject* object) {
    if (!RedlineObjectList::Add(object)) return false;
    layer_->SetDirty(true);
    return true;
}

bool RedlineLayer::Objects::Remove(RedlineObject* object) {
    if (!RedlineObjectList::Remove(object)) return false;
    layer_->SetDirty(true);
    Renumber();
    return true;
}

void RedlineLayer::Objects::Renumber() {
    ScopedLock hold(lock_);
    SortArray(objects_, true, true);
    // Ordered by id alone now, which is not the drawing order.
    sorted_ = false;
    for (uint32_t i = 0; i < objects_.count; ++i) At(objects_, i)->SetId(static_cast<int32_t>(i) + 1);
}

bool RedlineLayer::Paint(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                         const RedlineDrawContext& draw, uint32_t flags) {
    // Objects draw outside the list's lock: a text object calls into the
    // viewer context, and the print thread paints while the GUI edits.
    PtrArray snapshot;
    objects.SnapshotInDrawingOrder(snapshot);
    bool ok = true;
    for (uint32_t i = 0; i < snapshot.count; ++i) {
        RedlineObject* object = At(snapshot, i);
        RectD bounds;
        object->GetBounds(bounds);
        if (!Overlaps(bounds, mapping->placement.rect)) continue;
        if (!object->Draw(context, purpose, dc, mapping, draw, flags)) ok = false;
    }
    return ok;
}

void RedlineLayer::SetId(int32_t id) {
    ScopedLock hold(lock_);
    if (id_ != id) dirty_ = true;
    id_ = id;
}

int32_t RedlineLayer::GetId() {
    ScopedLock hold(lock_);
    return id_;
}

bool RedlineLayer::IsDirty() {
    ScopedLock hold(lock_);
    return dirty_;
}

void RedlineLayer::SetDirty(bool dirty) {
    ScopedLock hold(lock_);
    dirty_ = dirty;
}
