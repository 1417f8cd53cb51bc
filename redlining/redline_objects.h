// Markup objects: the seven drawn items over a document page (text, line,
// rectangle, ellipse, polygon, multi-line, note) in four classes. Geometry
// is in page millimetres, x to the right and y downwards. Every operation
// holds the object's own lock while it reads or changes fields; attributes
// are immutable and may be used outside it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

#include "foundation/geometry.h"
#include "foundation/locks.h"
#include "foundation/ref_counted.h"
#include "foundation/string_builder.h"
#include "redlining/redline_attributes.h"
#include "redlining/redline_draw_context.h"

class ViewerContext;
class ViewMapping;
struct PtrArray;

namespace redline_type {
constexpr int32_t kText = 1;
constexpr int32_t kLine = 2;
constexpr int32_t kRectangle = 3;
constexpr int32_t kEllipse = 4;
constexpr int32_t kPolygon = 5;
constexpr int32_t kMultiLine = 6;
constexpr int32_t kNote = 7;
}  // namespace redline_type

// Cursor kinds of a handle hit (the mouse tool turns them into cursors).
namespace redline_cursor {
constexpr int32_t kMove = 1;
constexpr int32_t kSizeNeSw = 4;
constexpr int32_t kSizeNwSe = 5;
}  // namespace redline_cursor

class RedlineObject : public RefCounted {
  public:
    virtual int32_t GetType() = 0;
    virtual RectD& GetBounds(RectD& out) = 0;
    // First point, box origin or text origin.
    virtual PointD& GetPosition(PointD& out) = 0;
    // Shifts the whole object so that its position lands on the point.
    virtual bool MoveTo(const PointD& point) = 0;
    // True when the point lies in one of the handle squares; handle -1 otherwise.
    virtual bool HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                           int32_t& cursor) = 0;
    virtual bool HitTest(const PointD& point, const ViewMapping* mapping) = 0;
    virtual uint32_t GetPointCount() = 0;
    // The mouse tool's step while it creates the object.
    virtual bool SetCreationPoint(uint32_t index, const PointD& point) = 0;
    virtual bool CanAddPoint() = 0;
    // False when the object is not worth keeping.
    virtual bool FinishCreation() = 0;
    // Forgets the creation points from `index` on, where the object keeps
    // a chain of them; other objects keep their shape.
    virtual void DropCreationPointsFrom(uint32_t index) {}
    // Answers as CanAddPoint for line objects, false otherwise.
    virtual bool AcceptsMorePoints() = 0;
    // Bit 8 + k for each attribute kind k held; bit 0 always; bit 1 open the
    // Properties sheet after creation; bits 4..7 the last-used attributes taken.
    virtual uint32_t GetAttributeMask() = 0;
    virtual bool SetPoint(uint32_t index, const PointD& point) = 0;
    // The attribute of that kind (a reference added), null when not held.
    Ref<RedlineAttribute> GetAttribute(int32_t kind);
    // Replaces the attribute of its own kind when the object holds that kind.
    virtual void SetAttribute(RedlineAttribute* attribute);
    virtual bool Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
                      const RedlineDrawContext& draw, uint32_t flags) = 0;
    // Appends the geometry text; false when the geometry cannot be written.
    virtual bool GetGeometryText(WStrBuilder& out) = 0;

    int32_t GetZ();
    void SetZ(int32_t z);
    int32_t GetId();
    void SetId(int32_t id);
    bool IsDirty();
    void SetDirty(bool dirty);

    // Parses the geometry text of the markup format; false when malformed.
    virtual bool SetGeometryText(const WString& text) = 0;

  protected:
    // Bit k set for each kind k the object holds.
    explicit RedlineObject(uint32_t held_kinds);
    template <class T>
    Ref<T> Attribute(int32_t kind) {
        return AdoptRef(static_cast<T*>(GetAttribute(kind).Leak()));
    }
    bool Holds(int32_t kind) const;
    // Every held kind still missing gets its default.
    void FillDefaultAttributes();

    CriticalSection lock_;
    int32_t z_ = 0;
    int32_t id_ = 0;
    bool dirty_ = true;

  private:
    const uint32_t held_kinds_;
    Ref<RedlineAttribute> attributes_[redline_attribute::kKindCount];
};

// Line (2), polygon (5) and multi-line (6): a chain of points.
class RedlineLineObject final : public RedlineObject {
  public:
    explicit RedlineLineObject(int32_t type);
    int32_t GetType() override { return type_; }
    RectD& GetBounds(RectD& out) override;
    PointD& GetPosition(PointD& out) override;
    bool MoveTo(const PointD& point) override;
    bool HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                   int32_t& cursor) override;
    bool HitTest(const PointD& point, const ViewMapping* mapping) override;
    uint32_t GetPointCount() override;
    bool SetCreationPoint(uint32_t index, const PointD& point) override { return SetPoint(index, point); }
    bool CanAddPoint() override;
    bool FinishCreation() override;
    void DropCreationPointsFrom(uint32_t index) override;
    bool AcceptsMorePoints() override { return CanAddPoint(); }
    uint32_t GetAttributeMask() override;
    bool SetPoint(uint32_t index, const PointD& point) override;
    bool Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
              const RedlineDrawContext& draw, uint32_t flags) override;
    bool GetGeometryText(WStrBuilder& out) override;
    bool SetGeometryText(const WString& text) override;

  private:
    bool CanAddPointLocked() const;

    const int32_t type_;
    std::vector<PointD> points_;
};

// What rectangle, ellipse and note share: a box made from two creation
// points and resized by its corner handles.
class RedlineBoxedObject : public RedlineObject {
  public:
    RectD& GetBounds(RectD& out) override;
    PointD& GetPosition(PointD& out) override;
    bool MoveTo(const PointD& point) override;
    bool HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                   int32_t& cursor) override;
    uint32_t GetPointCount() override { return 2; }
    // Only while creating: index 0 sets both creation points, 1 the second.
    bool SetCreationPoint(uint32_t index, const PointD& point) override;
    bool CanAddPoint() override { return false; }
    bool AcceptsMorePoints() override { return false; }
    // Corners 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, the
    // opposite one fixed.
    bool SetPoint(uint32_t index, const PointD& point) override;
    bool GetGeometryText(WStrBuilder& out) override;
    bool SetGeometryText(const WString& text) override;
    void SetCreating(bool creating);

  protected:
    using RedlineObject::RedlineObject;

    RectD box_;
    bool creating_ = false;
    PointD creation_points_[2];
};

// Rectangle (3) and ellipse (4).
class RedlineBoxObject final : public RedlineBoxedObject {
  public:
    explicit RedlineBoxObject(int32_t type);
    int32_t GetType() override { return type_; }
    bool HitTest(const PointD& point, const ViewMapping* mapping) override;
    bool FinishCreation() override;
    uint32_t GetAttributeMask() override;
    bool Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
              const RedlineDrawContext& draw, uint32_t flags) override;

  private:
    const int32_t type_;
};

// Note (7): a yellow box with a text that is shown in the Properties sheet.
class RedlineNoteObject final : public RedlineBoxedObject {
  public:
    RedlineNoteObject();
    int32_t GetType() override { return redline_type::kNote; }
    bool HitTest(const PointD& point, const ViewMapping* mapping) override;
    bool FinishCreation() override;
    uint32_t GetAttributeMask() override;
    bool Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
              const RedlineDrawContext& draw, uint32_t flags) override;
};

// Text (1): lines of text from an origin, rotated by the font's angle.
class RedlineTextObject final : public RedlineObject {
  public:
    RedlineTextObject();
    int32_t GetType() override { return redline_type::kText; }
    RectD& GetBounds(RectD& out) override;
    PointD& GetPosition(PointD& out) override;
    bool MoveTo(const PointD& point) override;
    bool HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                   int32_t& cursor) override;
    bool HitTest(const PointD& point, const ViewMapping* mapping) override;
    uint32_t GetPointCount() override { return 1; }
    bool SetCreationPoint(uint32_t index, const PointD& point) override;
    bool CanAddPoint() override { return false; }
    bool FinishCreation() override { return true; }
    bool AcceptsMorePoints() override { return false; }
    uint32_t GetAttributeMask() override;
    bool SetPoint(uint32_t index, const PointD& point) override { return SetCreationPoint(index, point); }
    void SetAttribute(RedlineAttribute* attribute) override;
    bool Draw(ViewerContext* context, uint32_t purpose, HDC dc, const ViewMapping* mapping,
              const RedlineDrawContext& draw, uint32_t flags) override;
    bool GetGeometryText(WStrBuilder& out) override;
    bool SetGeometryText(const WString& text) override;
    // The four corners of the rotated text box as last laid out; false while not laid out.
    bool GetCorners(PointD* corners);
    // Version 1 files kept the box of the rotated text and larger font heights.
    void ConvertFromVersion1(const RectD& stored_box);
    bool IsLaidOut();

  private:
    PointD origin_;
    PointD corners_[4];
    bool laid_out_ = false;
};

// A new object of type 1 to 7 with default attributes; boxes and notes
// start in the creating state. Null for any other type.
Ref<RedlineObject> CreateRedlineObject(int32_t id, int32_t type);
// An object as the markup format stores it: geometry text, then the
// attributes (RedlineAttribute elements, borrowed) and defaults for missing
// kinds; not dirty. Null for an unknown type or a malformed geometry text.
Ref<RedlineObject> CreateRedlineObjectFromData(int32_t version, int32_t id, int32_t type, int32_t z,
                                               const PtrArray& attributes, const WString& geometry);

// The two squares hit tests use, in page units: the handle square's half
// sides, and the hit square's side for an outline of the width in mm.
PointD RedlineHandleHalfSize(const ViewMapping* mapping);
double RedlineHitSide(const ViewMapping* mapping, const LineAttr* outline);
// Whether the segment from a to b meets the axis-aligned square of side t centred on p.
bool RedlineSegmentMeetsSquare(const PointD& a, const PointD& b, const PointD& p, double t);
// The crossing-number rule; fewer than 3 points are never inside.
bool RedlinePointInPolygon(const PointD* points, uint32_t n, const PointD& p);
