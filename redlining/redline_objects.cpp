#include "redlining/redline_objects.h"

#include <algorithm>
#include <cmath>

#include "foundation/ptr_array.h"
#include "redlining/redline_fields.h"
#include "viewer/model/view_mapping.h"

namespace {

using namespace redline_attribute;

constexpr uint32_t Kinds(std::initializer_list<int32_t> kinds) {
    uint32_t mask = 0;
    for (int32_t kind : kinds) mask |= 1u << kind;
    return mask;
}

// Attribute masks (bits 8 + kind held, bit 0 always, bit 1 open the sheet,
// bits 4..7 the last-used font, outline, line ends and filling).
constexpr uint32_t kChainMask = 0x4161;
constexpr uint32_t kAreaMask = 0x3A1;
constexpr uint32_t kNoteMask = 0x1003;
constexpr uint32_t kTextMask = 0x1A13;

constexpr double kHitSidePixels = 3.0;    // the least hit square, in device pixels
constexpr double kTextHitSide = 15.0;     // an unlaid text's hit square, over the scales
constexpr double kUnlaidTextSide = 50.0;  // an unlaid text's bounds
constexpr double kTextGeometrySide = 100.0;
// Version 1 font heights were this much larger.
constexpr double kVersion1HeightFactor = 1.227;

PointD Offset(const PointD& point, double dx, double dy) { return PointD{point.x + dx, point.y + dy}; }

bool InHandleSquare(const PointD& centre, const PointD& half, const PointD& point) {
    return std::fabs(point.x - centre.x) <= half.x && std::fabs(point.y - centre.y) <= half.y;
}

bool AppendPoint(WStrBuilder& out, const PointD& point) {
    return RedlineAppendFixed(out, point.x) && WStrBuilderAppendChar(out, L':') &&
           RedlineAppendFixed(out, point.y);
}

bool AppendBox(WStrBuilder& out, const RectD& box) {
    PointD far_corner;
    RectDFarCorner(box, far_corner);
    return AppendPoint(out, box.origin) && WStrBuilderAppendChar(out, L':') && AppendPoint(out, far_corner);
}

// Exactly four fields: two corners, normalised.
bool ParseBox(const WString& text, RectD& box) {
    RedlineFields fields(text);
    double v[4];
    if (fields.count() != 4) return false;
    for (uint32_t i = 0; i < 4; ++i)
        if (!fields.Real(i, v[i])) return false;
    RectDSetCorners(box, v[0], v[1], v[2], v[3]);
    return true;
}

// Corner handles: top-left, top-right, bottom-right, bottom-left.
bool HitBoxHandle(const RectD& box, const PointD& point, const ViewMapping* mapping, int32_t& handle,
                  int32_t& cursor) {
    static constexpr int32_t kCursors[4] = {redline_cursor::kSizeNwSe, redline_cursor::kSizeNeSw,
                                            redline_cursor::kSizeNwSe, redline_cursor::kSizeNeSw};
    const PointD half = RedlineHandleHalfSize(mapping);
    for (uint32_t i = 0; i < 4; ++i) {
        PointD corner;
        if (InHandleSquare(RectDGetCorner(box, i, corner), half, point)) {
            handle = static_cast<int32_t>(i);
            cursor = kCursors[i];
            return true;
        }
    }
    handle = -1;
    return false;
}

bool MoveBoxCorner(RectD& box, uint32_t index, const PointD& point) {
    if (index > 3) return false;
    PointD opposite;
    RectDGetCorner(box, index + 2, opposite);
    RectDFromPoints(box, point, opposite);
    return true;
}

bool Filled(const FillAttr* fill) { return fill && !fill->transparent; }

}  // namespace

// ---- Shared helpers

PointD RedlineHandleHalfSize(const ViewMapping* mapping) {
    // The mapping's scales are magnifications: these are device millimetres, as drawn.
    return PointD{kRedlineHandleSideMm / ViewMappingScaleX(mapping) / 2,
                  kRedlineHandleSideMm / ViewMappingScaleY(mapping) / 2};
}

double RedlineHitSide(const ViewMapping* mapping, const LineAttr* outline) {
    const double least = kHitSidePixels / PagePlacementScale(mapping->placement);
    if (!outline) return least;
    return std::max<double>(outline->width, least);
}

bool RedlineSegmentMeetsSquare(const PointD& a, const PointD& b, const PointD& p, double t) {
    // Clips the segment against the square's slabs (Liang-Barsky).
    const double half = t / 2;
    double low = 0, high = 1;
    const double d[2] = {b.x - a.x, b.y - a.y};
    const double start[2] = {a.x, a.y};
    const double centre[2] = {p.x, p.y};
    for (int axis = 0; axis < 2; ++axis) {
        const double min = centre[axis] - half, max = centre[axis] + half;
        if (d[axis] == 0) {
            if (start[axis] < min || start[axis] > max) return false;
            continue;
        }
        double t1 = (min - start[axis]) / d[axis], t2 = (max - start[axis]) / d[axis];
        if (t1 > t2) std::swap(t1, t2);
        low = std::max(low, t1);
        high = std::min(high, t2);
        if (low > high) return false;
    }
    return true;
}

bool RedlinePointInPolygon(const PointD* points, uint32_t n, const PointD& p) {
    if (n < 3) return false;
    bool inside = false;
    for (uint32_t i = 0; i < n; ++i) {
        PointD a = points[i], b = points[(i + 1) % n];
        if (a.y > b.y) std::swap(a, b);
        if (!(a.y < p.y && p.y <= b.y)) continue;
        const double x = a.x + (p.y - a.y) * (b.x - a.x) / (b.y - a.y);
        if (x <= p.x) inside = !inside;
    }
    return inside;
}

// ---- RedlineObject

RedlineObject::RedlineObject(uint32_t held_kinds) : held_kinds_(held_kinds) { FillDefaultAttributes(); }

bool RedlineObject::Holds(int32_t kind) const {
    return kind >= 0 && kind < kKindCount && (held_kinds_ & (1u << kind));
}

void RedlineObject::FillDefaultAttributes() {
    ScopedLock hold(lock_);
    for (int32_t kind = 0; kind < kKindCount; ++kind)
        if (Holds(kind) && !attributes_[kind]) attributes_[kind] = RedlineDefaultAttribute(kind);
}

Ref<RedlineAttribute> RedlineObject::GetAttribute(int32_t kind) {
    ScopedLock hold(lock_);
    return Holds(kind) ? attributes_[kind] : nullptr;
}

void RedlineObject::SetAttribute(RedlineAttribute* attribute) {
    if (!attribute) return;
    const int32_t kind = attribute->GetType();
    ScopedLock hold(lock_);
    if (!Holds(kind)) return;
    attributes_[kind] = Ref<RedlineAttribute>(attribute);
    dirty_ = true;
}

int32_t RedlineObject::GetZ() {
    ScopedLock hold(lock_);
    return z_;
}

void RedlineObject::SetZ(int32_t z) {
    ScopedLock hold(lock_);
    if (z_ != z) dirty_ = true;
    z_ = z;
}

int32_t RedlineObject::GetId() {
    ScopedLock hold(lock_);
    return id_;
}

void RedlineObject::SetId(int32_t id) {
    ScopedLock hold(lock_);
    if (id_ != id) dirty_ = true;
    id_ = id;
}

bool RedlineObject::IsDirty() {
    ScopedLock hold(lock_);
    return dirty_;
}

void RedlineObject::SetDirty(bool dirty) {
    ScopedLock hold(lock_);
    dirty_ = dirty;
}

// ---- RedlineLineObject

RedlineLineObject::RedlineLineObject(int32_t type)
    : RedlineObject(type == redline_type::kPolygon ? Kinds({kLine, kFill}) : Kinds({kLine, kLineEnds})),
      type_(type) {}

RectD& RedlineLineObject::GetBounds(RectD& out) {
    ScopedLock hold(lock_);
    PointDBounds(points_.data(), static_cast<uint32_t>(points_.size()), out);
    if (!points_.empty() && (out.size.width == 0 || out.size.height == 0))
        RectDIncludePoint(out, Offset(points_[0], 1, 1));
    return out;
}

PointD& RedlineLineObject::GetPosition(PointD& out) {
    ScopedLock hold(lock_);
    out = points_.empty() ? PointD{} : points_[0];
    return out;
}

bool RedlineLineObject::MoveTo(const PointD& point) {
    ScopedLock hold(lock_);
    dirty_ = true;
    if (points_.empty()) return false;
    const PointD delta{point.x - points_[0].x, point.y - points_[0].y};
    for (PointD& p : points_) PointDAdd(p, delta);
    return true;
}

bool RedlineLineObject::HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                                  int32_t& cursor) {
    ScopedLock hold(lock_);
    const PointD half = RedlineHandleHalfSize(mapping);
    for (size_t i = 0; i < points_.size(); ++i) {
        if (InHandleSquare(points_[i], half, point)) {
            handle = static_cast<int32_t>(i);
            cursor = redline_cursor::kMove;
            return true;
        }
    }
    handle = -1;
    return false;
}

bool RedlineLineObject::HitTest(const PointD& point, const ViewMapping* mapping) {
    Ref<LineAttr> outline = Attribute<LineAttr>(kLine);
    Ref<FillAttr> fill = Attribute<FillAttr>(kFill);
    const double t = RedlineHitSide(mapping, outline.get());
    ScopedLock hold(lock_);
    const size_t n = points_.size();
    if (n == 1) return RedlineSegmentMeetsSquare(points_[0], points_[0], point, t);
    for (size_t i = 0; i + 1 < n; ++i)
        if (RedlineSegmentMeetsSquare(points_[i], points_[i + 1], point, t)) return true;
    if (type_ != redline_type::kPolygon || n < 2) return false;
    if (RedlineSegmentMeetsSquare(points_[n - 1], points_[0], point, t)) return true;
    return Filled(fill.get()) && RedlinePointInPolygon(points_.data(), static_cast<uint32_t>(n), point);
}

uint32_t RedlineLineObject::GetPointCount() {
    ScopedLock hold(lock_);
    return static_cast<uint32_t>(points_.size());
}

bool RedlineLineObject::CanAddPointLocked() const {
    return !(type_ == redline_type::kLine && points_.size() >= 2);
}

bool RedlineLineObject::CanAddPoint() {
    ScopedLock hold(lock_);
    return CanAddPointLocked();
}

bool RedlineLineObject::FinishCreation() {
    ScopedLock hold(lock_);
    return points_.size() >= 2;
}

void RedlineLineObject::DropCreationPointsFrom(uint32_t index) {
    ScopedLock hold(lock_);
    if (index >= points_.size()) return;
    points_.resize(index);
    dirty_ = true;
}

uint32_t RedlineLineObject::GetAttributeMask() {
    return type_ == redline_type::kPolygon ? kAreaMask : kChainMask;
}

bool RedlineLineObject::SetPoint(uint32_t index, const PointD& point) {
    ScopedLock hold(lock_);
    if (index < points_.size()) {
        points_[index] = point;
    } else if (index == points_.size() && CanAddPointLocked()) {
        // A double click repeats the last point: it is taken as done, not added.
        if (points_.empty() || !(points_.back() == point)) points_.push_back(point);
    } else {
        return false;
    }
    dirty_ = true;
    return true;
}

bool RedlineLineObject::GetGeometryText(WStrBuilder& out) {
    ScopedLock hold(lock_);
    if (type_ == redline_type::kLine) {
        if (points_.size() != 2) return false;
        return AppendPoint(out, points_[0]) && WStrBuilderAppendChar(out, L':') &&
               AppendPoint(out, points_[1]);
    }
    bool ok = WStrBuilderAppendInt(out, static_cast<int32_t>(points_.size()));
    for (size_t i = 0; ok && i < points_.size(); ++i)
        ok = WStrBuilderAppendChar(out, L':') && AppendPoint(out, points_[i]);
    return ok;
}

bool RedlineLineObject::SetGeometryText(const WString& text) {
    RedlineFields fields(text);
    if (!fields.ok()) return false;
    std::vector<PointD> points;
    if (type_ == redline_type::kLine) {
        if (fields.count() < 4) return false;
        points.resize(2);
    } else {
        int32_t n = 0;
        if (!fields.Int(0, n) || n < 1) return false;
        // 2n in 64 bits: a crafted count must not wrap past the fields there are.
        if (2 * static_cast<uint64_t>(n) > fields.count() - 1u) return false;
        points.resize(static_cast<size_t>(n));
    }
    const uint32_t first = type_ == redline_type::kLine ? 0 : 1;
    for (size_t i = 0; i < points.size(); ++i) {
        const uint32_t field = first + 2 * static_cast<uint32_t>(i);
        if (!fields.Real(field, points[i].x) || !fields.Real(field + 1, points[i].y)) return false;
    }
    ScopedLock hold(lock_);
    points_ = std::move(points);
    dirty_ = true;
    return true;
}

// ---- RedlineBoxedObject

RectD& RedlineBoxedObject::GetBounds(RectD& out) {
    ScopedLock hold(lock_);
    return RectDAssign(out, box_);
}

PointD& RedlineBoxedObject::GetPosition(PointD& out) {
    ScopedLock hold(lock_);
    out = box_.origin;
    return out;
}

bool RedlineBoxedObject::MoveTo(const PointD& point) {
    ScopedLock hold(lock_);
    RectDSetOrigin(box_, point);
    dirty_ = true;
    return true;
}

bool RedlineBoxedObject::HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                                   int32_t& cursor) {
    ScopedLock hold(lock_);
    return HitBoxHandle(box_, point, mapping, handle, cursor);
}

bool RedlineBoxedObject::SetCreationPoint(uint32_t index, const PointD& point) {
    ScopedLock hold(lock_);
    if (!creating_ || index > 1) return false;
    if (index == 0) creation_points_[0] = point;
    creation_points_[1] = point;
    RectDFromPoints(box_, creation_points_[0], creation_points_[1]);
    dirty_ = true;
    return true;
}

void RedlineBoxedObject::SetCreating(bool creating) {
    ScopedLock hold(lock_);
    creating_ = creating;
}

bool RedlineBoxedObject::SetPoint(uint32_t index, const PointD& point) {
    ScopedLock hold(lock_);
    if (!MoveBoxCorner(box_, index, point)) return false;
    dirty_ = true;
    return true;
}

bool RedlineBoxedObject::GetGeometryText(WStrBuilder& out) {
    ScopedLock hold(lock_);
    return AppendBox(out, box_);
}

bool RedlineBoxedObject::SetGeometryText(const WString& text) {
    RectD box;
    if (!ParseBox(text, box)) return false;
    ScopedLock hold(lock_);
    box_ = box;
    dirty_ = true;
    return true;
}

// ---- RedlineBoxObject

RedlineBoxObject::RedlineBoxObject(int32_t type) : RedlineBoxedObject(Kinds({kLine, kFill})), type_(type) {}

bool RedlineBoxObject::HitTest(const PointD& point, const ViewMapping* mapping) {
    Ref<LineAttr> outline = Attribute<LineAttr>(kLine);
    Ref<FillAttr> fill = Attribute<FillAttr>(kFill);
    const double t = RedlineHitSide(mapping, outline.get());
    RectD box;
    GetBounds(box);
    if (type_ == redline_type::kRectangle) {
        if (Filled(fill.get())) {
            const double half = t / 2;
            return point.x + half >= box.origin.x && point.x - half <= box.origin.x + box.size.width &&
                   point.y + half >= box.origin.y && point.y - half <= box.origin.y + box.size.height;
        }
        for (uint32_t side = 0; side < 4; ++side) {
            PointD start, direction;
            RectDGetSide(box, side, start, direction);
            PointD end;
            PointDSum(start, direction, end);
            if (RedlineSegmentMeetsSquare(start, end, point, t)) return true;
        }
        return false;
    }
    const double a = box.size.width / 2, b = box.size.height / 2;
    PointD centre;
    RectDCentre(box, centre);
    const double dx = point.x - centre.x, dy = point.y - centre.y;
    const double outer = std::pow(dx / (a + t / 2), 2) + std::pow(dy / (b + t / 2), 2);
    if (!(outer <= 1)) return false;
    if (Filled(fill.get()) || !(a - t / 2 > 0 && b - t / 2 > 0)) return true;
    const double inner = std::pow(dx / (a - t / 2), 2) + std::pow(dy / (b - t / 2), 2);
    return !(inner < 1);
}

bool RedlineBoxObject::FinishCreation() {
    ScopedLock hold(lock_);
    creating_ = false;
    return box_.size.width > 0 || box_.size.height > 0;
}

uint32_t RedlineBoxObject::GetAttributeMask() { return kAreaMask; }

// ---- RedlineNoteObject

RedlineNoteObject::RedlineNoteObject() : RedlineBoxedObject(Kinds({kText})) {}

bool RedlineNoteObject::HitTest(const PointD& point, const ViewMapping* mapping) {
    ScopedLock hold(lock_);
    return RectDContains(box_, point);
}

bool RedlineNoteObject::FinishCreation() {
    ScopedLock hold(lock_);
    creating_ = false;
    return true;
}

uint32_t RedlineNoteObject::GetAttributeMask() { return kNoteMask; }

// ---- RedlineTextObject (layout and drawing in redline_object_drawing.cpp)

RedlineTextObject::RedlineTextObject() : RedlineObject(Kinds({kFill, kFont, kText})) {}

RectD& RedlineTextObject::GetBounds(RectD& out) {
    ScopedLock hold(lock_);
    if (!laid_out_) return RectDSet(out, origin_.x, origin_.y, kUnlaidTextSide, kUnlaidTextSide);
    PointDBounds(corners_, 4, out);
    return out;
}

PointD& RedlineTextObject::GetPosition(PointD& out) {
    ScopedLock hold(lock_);
    out = origin_;
    return out;
}

bool RedlineTextObject::MoveTo(const PointD& point) {
    ScopedLock hold(lock_);
    const PointD delta{point.x - origin_.x, point.y - origin_.y};
    PointDAdd(origin_, delta);
    for (PointD& corner : corners_) PointDAdd(corner, delta);
    dirty_ = true;
    return true;
}

bool RedlineTextObject::HitHandle(const PointD& point, const ViewMapping* mapping, int32_t& handle,
                                  int32_t& cursor) {
    ScopedLock hold(lock_);
    if (InHandleSquare(origin_, RedlineHandleHalfSize(mapping), point)) {
        handle = 0;
        cursor = redline_cursor::kMove;
        return true;
    }
    handle = -1;
    return false;
}

bool RedlineTextObject::HitTest(const PointD& point, const ViewMapping* mapping) {
    ScopedLock hold(lock_);
    if (laid_out_) return RedlinePointInPolygon(corners_, 4, point);
    RectD square;
    RectDSet(square, origin_.x, origin_.y, kTextHitSide / ViewMappingScaleX(mapping),
             kTextHitSide / ViewMappingScaleY(mapping));
    return RectDContains(square, point);
}

bool RedlineTextObject::SetCreationPoint(uint32_t index, const PointD& point) {
    if (index != 0) return false;
    ScopedLock hold(lock_);
    origin_ = point;
    laid_out_ = false;
    dirty_ = true;
    return true;
}

uint32_t RedlineTextObject::GetAttributeMask() { return kTextMask; }

void RedlineTextObject::SetAttribute(RedlineAttribute* attribute) {
    RedlineObject::SetAttribute(attribute);
    if (!attribute) return;
    const int32_t kind = attribute->GetType();
    if (kind == kFont || kind == kText) {
        ScopedLock hold(lock_);
        laid_out_ = false;
    }
}

bool RedlineTextObject::IsLaidOut() {
    ScopedLock hold(lock_);
    return laid_out_;
}

bool RedlineTextObject::GetCorners(PointD* corners) {
    ScopedLock hold(lock_);
    for (int i = 0; i < 4; ++i) corners[i] = corners_[i];
    return laid_out_;
}

bool RedlineTextObject::GetGeometryText(WStrBuilder& out) {
    RectD bounds;
    GetBounds(bounds);
    ScopedLock hold(lock_);
    double width = bounds.size.width, height = bounds.size.height;
    if (!(width > 0) || !(height > 0)) width = height = kTextGeometrySide;
    RectD box;
    RectDSet(box, origin_.x, origin_.y, width, height);
    return AppendBox(out, box);
}

bool RedlineTextObject::SetGeometryText(const WString& text) {
    RectD box;
    if (!ParseBox(text, box)) return false;
    ScopedLock hold(lock_);
    origin_ = box.origin;
    laid_out_ = false;
    dirty_ = true;
    return true;
}

void RedlineTextObject::ConvertFromVersion1(const RectD& stored_box) {
    Ref<FontAttr> font = Attribute<FontAttr>(kFont);
    if (!font) return;
    // The angle as a whole number of degrees, wrapped as a 16-bit value.
    double degrees = std::fmod(std::trunc(static_cast<double>(font->angle) + 0.5), 65536.0);
    if (degrees < 0) degrees += 65536.0;
    PointD origin = stored_box.origin;
    if (degrees == 90) {
        origin.y += stored_box.size.height;
    } else if (degrees == 180) {
        origin = Offset(origin, stored_box.size.width, stored_box.size.height);
    } else if (degrees == 270) {
        origin.x += stored_box.size.width;
    }
    SetCreationPoint(0, origin);
    const double height = std::floor(font->height / kVersion1HeightFactor + 0.5);
    if (height >= 1) {
        SetAttribute(MakeRef<FontAttr>(static_cast<float>(height), font->italic, font->bold, font->underline,
                                       font->strike_out, font->colour, font->angle, font->reserved,
                                       font->face)
                         .get());
    }
}

// ---- Creation

Ref<RedlineObject> CreateRedlineObject(int32_t id, int32_t type) {
    Ref<RedlineObject> object;
    switch (type) {
        case redline_type::kText:
            object = MakeRef<RedlineTextObject>();
            break;
        case redline_type::kLine:
        case redline_type::kPolygon:
        case redline_type::kMultiLine:
            object = MakeRef<RedlineLineObject>(type);
            break;
        case redline_type::kRectangle:
        case redline_type::kEllipse: {
            Ref<RedlineBoxObject> box = MakeRef<RedlineBoxObject>(type);
            box->SetCreating(true);
            object = box;
            break;
        }
        case redline_type::kNote: {
            Ref<RedlineNoteObject> note = MakeRef<RedlineNoteObject>();
            note->SetCreating(true);
            object = note;
            break;
        }
        default:
            return nullptr;
    }
    object->SetId(id);
    object->SetDirty(true);
    return object;
}

Ref<RedlineObject> CreateRedlineObjectFromData(int32_t version, int32_t id, int32_t type, int32_t z,
                                               const PtrArray& attributes, const WString& geometry) {
    Ref<RedlineObject> object = CreateRedlineObject(id, type);
    if (!object) return nullptr;
    if (auto* boxed = dynamic_cast<RedlineBoxedObject*>(object.get())) boxed->SetCreating(false);
    object->SetZ(z);
    if (!object->SetGeometryText(geometry)) return nullptr;
    for (uint32_t i = 0; i < attributes.count; ++i)
        object->SetAttribute(static_cast<RedlineAttribute*>(attributes.items[i]));
    if (version == 1 && type == redline_type::kText) {
        auto* text = static_cast<RedlineTextObject*>(object.get());
        RectD stored;
        RedlineFields fields(geometry);
        double v[4] = {};
        for (uint32_t i = 0; i < 4; ++i) fields.Real(i, v[i]);
        RectDSetCorners(stored, v[0], v[1], v[2], v[3]);
        text->ConvertFromVersion1(stored);
    }
    object->SetDirty(false);
    return object;
}
