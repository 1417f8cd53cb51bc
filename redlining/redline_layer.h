// The locked, ordered list of markup objects, and the layer: a list that
// keeps the object numbers of its members 1..n. Drawing order is ascending
// (z, id); hits are tried in the reverse order.
#pragma once

#include <windows.h>

#include <cstdint>

#include "foundation/locks.h"
#include "foundation/ptr_array.h"
#include "foundation/ref_counted.h"
#include "redlining/redline_objects.h"

class ViewerContext;
class ViewMapping;

// z-order changes.
namespace redline_z {
constexpr uint32_t kToFront = 0;
constexpr uint32_t kForward = 1;
constexpr uint32_t kBackward = 2;
constexpr uint32_t kToBack = 3;
}  // namespace redline_z

// Embedded in a layer or an editor, not counted. Every operation holds the
// list's lock for its whole duration.
class RedlineObjectList {
  public:
    RedlineObjectList() = default;
    virtual ~RedlineObjectList() = default;
    RedlineObjectList(const RedlineObjectList&) = delete;
    RedlineObjectList& operator=(const RedlineObjectList&) = delete;

    // Appends unless null or present already; true when appended.
    virtual bool Add(RedlineObject* object);
    // True when the object was present (its reference is released).
    virtual bool Remove(RedlineObject* object);
    // Appends as Add with a z above every object already listed, so that a
    // new object is drawn last and hit first.
    bool AddOnTop(RedlineObject* object);

    Ref<RedlineObject> GetAt(uint32_t index);
    bool Contains(RedlineObject* object);
    void Clear();
    uint32_t Count();
    // Clears, then adds every object of the other list in its order.
    void CopyFrom(RedlineObjectList& other);
    // Orders by (z, id); skipped when already sorted in that direction.
    void Sort(bool ascending);
    // The union of every object's bounds; empty at (0, 0) for an empty list.
    RectD& GetBoundingBox(RectD& out);
    // Sorts ascending and gives the objects z = 0, 10, 20, ...
    void NormaliseZ();
    // z = 0, 10, 20, ... in the order the objects stand now: the markup
    // format stores no z, only the drawing order of the objects it lists.
    void AssignZInListOrder();
    // Moves the object to the front or back, or one step; see redline_z.
    bool ChangeZ(RedlineObject* object, uint32_t direction);
    // The object drawn last among those hit, a reference added; or null.
    Ref<RedlineObject> TopmostHit(const ViewMapping* mapping, const PointD& point);
    Ref<RedlineObject> TopmostHandleHit(const ViewMapping* mapping, const PointD& point, int32_t& handle,
                                        int32_t& cursor);
    // The objects in ascending drawing order, as an owning array, for
    // drawing outside the list's lock.
    bool SnapshotInDrawingOrder(PtrArray& out);

  protected:
    void SortLocked(bool ascending);
    void NormaliseZLocked();

    bool sorted_ = false;
    bool ascending_ = true;
    CriticalSection lock_;
    PtrArray objects_{16, true};  // RedlineObject
};

class RedlineLayer : public RefCounted {
  public:
    RedlineLayer() = default;

    // Add sets dirty; Remove sets dirty and renumbers the others 1..n in
    // their former id order.
    class Objects : public RedlineObjectList {
      public:
        explicit Objects(RedlineLayer* layer) : layer_(layer) {}
        bool Add(RedlineObject* object) override;
        bool Remove(RedlineObject* object) override;
        // Ids 1, 2, 3, ... in ascending id order.
        void Renumber();

      private:
        RedlineLayer* layer_;
    };

    // Draws, in drawing order, every object whose bounds meet the mapping's
    // page rectangle; false when any draw failed.
    bool Paint(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
               const RedlineDrawContext& draw, uint32_t flags);
    void SetId(int32_t id);
    int32_t GetId();
    bool IsDirty();
    void SetDirty(bool dirty);

    Objects objects{this};

  private:
    CriticalSection lock_;  // guards id and dirty
    int32_t id_ = 1;
    bool dirty_ = true;
};
