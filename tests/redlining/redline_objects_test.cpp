// Markup objects: creation, points, bounds, hit tests and geometry texts.
#include "redlining/redline_objects.h"

#include <gtest/gtest.h>

#include <string>

#include "foundation/ptr_array.h"
#include "tests/redlining/redline_test_mapping.h"

namespace {

// 4 pixels per millimetre over a 100 mm square page, upright.
Ref<ViewMapping> Mapping() { return TestMapping(); }

Ref<RedlineObject> FromGeometry(int32_t type, const wchar_t* geometry, int32_t version = 2,
                                RedlineAttribute* attribute = nullptr) {
    PtrArray attributes(4, true);
    if (attribute) PtrArrayAdd(attributes, attribute);
    return CreateRedlineObjectFromData(version, 1, type, 0, attributes, WString(geometry));
}

std::wstring Geometry(RedlineObject* object) {
    WStrBuilder builder(64);
    if (!object->GetGeometryText(builder)) return L"-";
    return WStrBuilderCStr(builder);
}

Ref<RedlineAttribute> Filled() { return MakeRef<FillAttr>(false, 0x0000FF, 0); }

struct HitCase {
    int32_t type;
    const wchar_t* geometry;
    bool filled;
    PointD point;
    bool hit;
};

}  // namespace

TEST(RedlineObjectHits, HitTestsByType) {
    Ref<ViewMapping> mapping = Mapping();
    // Outline 1 mm: the hit square is 1 mm (above 3 pixels = 0.75 mm).
    const HitCase cases[] = {
        // Line (0,0)-(10,10).
        {2, L"0:0:10:10", false, {5, 5}, true},
        {2, L"0:0:10:10", false, {5, 5.6}, true},
        {2, L"0:0:10:10", false, {5, 6.2}, false},
        {2, L"0:0:10:10", false, {10.4, 10.4}, true},
        {2, L"0:0:10:10", false, {11, 11}, false},
        // Polygon: the closing edge counts; the inside only when filled.
        {5, L"3:0:0:10:0:0:10", false, {2, 2}, false},
        {5, L"3:0:0:10:0:0:10", false, {5, 0.3}, true},
        {5, L"3:0:0:10:0:0:10", false, {0.3, 5}, true},
        {5, L"3:0:0:10:0:0:10", true, {2, 2}, true},
        {5, L"3:0:0:10:0:0:10", true, {8, 8}, false},
        // Multi-line: open, no closing edge.
        {6, L"3:0:0:10:0:0:10", false, {0.3, 5}, false},
        {6, L"3:0:0:10:0:0:10", false, {5, 5}, true},
        // Rectangle (10,10)-(30,20): its sides, or its area when filled.
        {3, L"10:10:30:20", false, {20, 15}, false},
        {3, L"10:10:30:20", false, {20, 10.2}, true},
        {3, L"10:10:30:20", false, {30.4, 15}, true},
        {3, L"10:10:30:20", false, {31, 15}, false},
        {3, L"10:10:30:20", true, {20, 15}, true},
        {3, L"10:10:30:20", true, {30.4, 15}, true},
        {3, L"10:10:30:20", true, {31, 15}, false},
        // Ellipse in that box: only the ring of the outline unless filled.
        {4, L"10:10:30:20", false, {20, 15}, false},
        {4, L"10:10:30:20", false, {30, 15}, true},
        {4, L"10:10:30:20", false, {29, 15}, false},
        {4, L"10:10:30:20", false, {30.6, 15}, false},
        {4, L"10:10:30:20", true, {20, 15}, true},
        {4, L"10:10:30:20", true, {29, 15}, true},
        // Note: anywhere inside, edges included.
        {7, L"10:10:30:20", false, {10, 10}, true},
        {7, L"10:10:30:20", false, {30, 20}, true},
        {7, L"10:10:30:20", false, {30.01, 20}, false},
        // Text before its first layout: 15 pixels square at the origin.
        {1, L"50:50:60:60", false, {52, 52}, true},
        {1, L"50:50:60:60", false, {54, 50}, false},
        {1, L"50:50:60:60", false, {49.9, 50}, false},
    };
    for (const HitCase& c : cases) {
        Ref<RedlineObject> object = FromGeometry(c.type, c.geometry);
        ASSERT_TRUE(object) << c.geometry;
        if (c.filled) object->SetAttribute(Filled().get());
        EXPECT_EQ(object->HitTest(c.point, mapping.get()), c.hit)
            << "type " << c.type << " " << testing::PrintToString(std::wstring(c.geometry)) << " filled "
            << c.filled << " at (" << c.point.x << ", " << c.point.y << ")";
    }
}

TEST(RedlineObjectHits, HandlesByType) {
    Ref<ViewMapping> mapping = Mapping();  // handle squares 0.625 mm wide
    const struct {
        int32_t type;
        const wchar_t* geometry;
        PointD point;
        int32_t handle;
        int32_t cursor;
    } cases[] = {
        {2, L"0:0:10:10", {10.3, 10.3}, 1, redline_cursor::kMove},
        {2, L"0:0:10:10", {10.4, 10}, -1, 0},
        {6, L"2:0:0:0:0.2", {0, 0.1}, 0, redline_cursor::kMove},  // the first point in order
        {3, L"10:10:30:20", {10, 10}, 0, redline_cursor::kSizeNwSe},
        {3, L"10:10:30:20", {30.2, 9.8}, 1, redline_cursor::kSizeNeSw},
        {4, L"10:10:30:20", {30, 20}, 2, redline_cursor::kSizeNwSe},
        {7, L"10:10:30:20", {10, 20}, 3, redline_cursor::kSizeNeSw},
        {7, L"10:10:30:20", {20, 15}, -1, 0},
        {1, L"50:50:60:60", {50.3, 49.7}, 0, redline_cursor::kMove},
        {1, L"50:50:60:60", {51, 51}, -1, 0},
    };
    for (const auto& c : cases) {
        Ref<RedlineObject> object = FromGeometry(c.type, c.geometry);
        ASSERT_TRUE(object);
        int32_t handle = 99, cursor = 0;
        EXPECT_EQ(object->HitHandle(c.point, mapping.get(), handle, cursor), c.handle >= 0) << c.geometry;
        EXPECT_EQ(handle, c.handle) << "type " << c.type << " at (" << c.point.x << ", " << c.point.y << ")";
        if (c.handle >= 0) EXPECT_EQ(cursor, c.cursor);
    }
}

TEST(RedlineObjectGeometry, TextsReadAndWrittenByType) {
    const struct {
        int32_t type;
        const wchar_t* text;
        const wchar_t* written;  // "-" when refused
    } cases[] = {
        {2, L"1:2:3:4", L"1.000000:2.000000:3.000000:4.000000"},
        {2, L" 1 :2:3:4:5:6", L"1.000000:2.000000:3.000000:4.000000"},
        {2, L"1:2:3", L"-"},
        {2, L"1:2:x:4", L"-"},
        {2, L"1:2:inf:4", L"-"},
        {5, L"2:1:2:3:4", L"2:1.000000:2.000000:3.000000:4.000000"},
        {5, L"2:1:2:3:4:9", L"2:1.000000:2.000000:3.000000:4.000000"},
        {5, L"2:1:2", L"-"},  // two points announced, one given
        {5, L"0", L"-"},
        {5, L"0:", L"-"},
        {5, L":1:2", L"-"},
        {5, L"-1:1:2", L"-"},
        {5, L"2147483647:1:2", L"-"},  // 2n wraps in 32 bits
        {5, L"1073741824:1:2", L"-"},
        {6, L"1:5:6", L"1:5.000000:6.000000"},
        // 1e300 as Python's "%f" writes it.
        {6, L"3:0:0:1:1e300:2:0",
         L"3:0.000000:0.000000:1.000000:"
         L"100000000000000005250476025520442024870446858110815915491585411551180245798890819578637137"
         L"508044786404370444383288387817694252323536043057564479218478670698284838720092657580373783"
         L"023379478809005936895323497079994508111903896764088007465274278014249457925878882005684283"
         L"8115669472196386865459400540160.000000"
         L":2.000000:0.000000"},
        {3, L"30:20:10:10", L"10.000000:10.000000:30.000000:20.000000"},
        {3, L"1:2:3", L"-"},
        {4, L"1:2:3:4:5", L"-"},
        {4, L"-5:-5:5:5", L"-5.000000:-5.000000:5.000000:5.000000"},
        {7, L"0.5:0.25:0.125:4", L"0.125000:0.250000:0.500000:4.000000"},
        {7, L"1:2:3:nan", L"-"},
        // A text before its layout spans the 50 mm square at its origin.
        {1, L"10:20:110:120", L"10.000000:20.000000:60.000000:70.000000"},
        {1, L"10:20:110", L"-"},
        {8, L"1:2:3:4", L"-"},
    };
    for (const auto& c : cases) {
        Ref<RedlineObject> object = FromGeometry(c.type, c.text);
        const std::wstring written = object ? Geometry(object.get()) : L"-";
        EXPECT_EQ(written, c.written)
            << "type " << c.type << " " << testing::PrintToString(std::wstring(c.text));
    }
    // A Line that lost its second point cannot be written.
    Ref<RedlineObject> line = CreateRedlineObject(1, redline_type::kLine);
    line->SetPoint(0, PointD{1, 1});
    EXPECT_EQ(Geometry(line.get()), L"-");
}

TEST(RedlineObjectGeometry, Version1TextsMoveTheirOriginAndShrinkTheirFont) {
    const struct {
        float angle;
        float height;
        int32_t version;
        PointD origin;
        float converted_height;
    } cases[] = {
        {0, 12.27f, 1, {10, 20}, 10},    {90, 12.27f, 1, {10, 120}, 10},    {180, 12.27f, 1, {110, 120}, 10},
        {270, 12.27f, 1, {110, 20}, 10}, {89.6f, 1, 1, {10, 120}, 1},       {-90, 1, 1, {10, 20}, 1},
        {450, 0.5f, 1, {10, 20}, 0.5f},  {90, 12.27f, 2, {10, 20}, 12.27f},
    };
    for (const auto& c : cases) {
        Ref<FontAttr> font =
            MakeRef<FontAttr>(c.height, true, false, false, false, 255, c.angle, 3, WString(L"Serif"));
        Ref<RedlineObject> object =
            FromGeometry(redline_type::kText, L"10:20:110:120", c.version, font.get());
        ASSERT_TRUE(object);
        PointD origin;
        object->GetPosition(origin);
        EXPECT_EQ(origin, c.origin) << "angle " << c.angle << " version " << c.version;
        Ref<RedlineAttribute> now = object->GetAttribute(redline_attribute::kFont);
        const auto* converted = static_cast<FontAttr*>(now.get());
        EXPECT_FLOAT_EQ(converted->height, c.converted_height) << "height " << c.height;
        // Everything else is kept.
        EXPECT_EQ(converted->angle, c.angle);
        EXPECT_TRUE(converted->italic);
        EXPECT_EQ(converted->colour, 255u);
        EXPECT_EQ(converted->reserved, 3);
        EXPECT_STREQ(WStrCStr(converted->face), L"Serif");
        EXPECT_FALSE(object->IsDirty()) << "read from file";
    }
}

TEST(RedlineObjectEditing, CreationPointsAndAttributes) {
    // A Line takes two points; a Polygon any number; a repeated last point is
    // taken as done, not added.
    Ref<RedlineObject> line = CreateRedlineObject(3, redline_type::kLine);
    ASSERT_TRUE(line);
    EXPECT_EQ(line->GetId(), 3);
    EXPECT_TRUE(line->IsDirty());
    EXPECT_FALSE(line->FinishCreation());
    EXPECT_TRUE(line->SetCreationPoint(0, PointD{5, 5}));
    EXPECT_TRUE(line->SetCreationPoint(1, PointD{5, 5}));
    EXPECT_EQ(line->GetPointCount(), 1u);
    EXPECT_TRUE(line->SetCreationPoint(1, PointD{5, 10}));
    EXPECT_FALSE(line->CanAddPoint());
    EXPECT_FALSE(line->SetPoint(2, PointD{7, 7}));
    EXPECT_TRUE(line->FinishCreation());
    RectD bounds;
    line->GetBounds(bounds);  // a vertical line reaches one more millimetre
    EXPECT_EQ(bounds, (RectD{{1, 5}, {5, 5}}));
    Ref<RedlineObject> polygon = CreateRedlineObject(1, redline_type::kPolygon);
    for (uint32_t i = 0; i < 5; ++i) EXPECT_TRUE(polygon->SetPoint(i, PointD{double(i), double(i * i)}));
    EXPECT_TRUE(polygon->CanAddPoint());
    EXPECT_FALSE(polygon->SetPoint(7, PointD{1, 1}));
    EXPECT_EQ(polygon->GetPointCount(), 5u);
    EXPECT_TRUE(polygon->MoveTo(PointD{10, 10}));
    PointD first;
    EXPECT_EQ(polygon->GetPosition(first), (PointD{10, 10}));
    polygon->GetBounds(bounds);
    EXPECT_EQ(bounds, (RectD{{4, 16}, {10, 10}}));
    EXPECT_FALSE(CreateRedlineObject(1, redline_type::kMultiLine)->MoveTo(PointD{1, 1}));

    // A click without movement makes no rectangle; corners move with the
    // opposite one fixed.
    Ref<RedlineObject> click = CreateRedlineObject(1, redline_type::kRectangle);
    EXPECT_TRUE(click->SetCreationPoint(0, PointD{4, 4}));
    EXPECT_FALSE(click->FinishCreation());
    EXPECT_FALSE(click->SetCreationPoint(1, PointD{8, 8})) << "creation has ended";
    Ref<RedlineObject> box = CreateRedlineObject(1, redline_type::kEllipse);
    EXPECT_TRUE(box->SetCreationPoint(0, PointD{30, 20}));
    EXPECT_TRUE(box->SetCreationPoint(1, PointD{10, 10}));
    EXPECT_FALSE(box->SetCreationPoint(2, PointD{0, 0}));
    EXPECT_TRUE(box->FinishCreation());
    EXPECT_EQ(box->GetBounds(bounds), (RectD{{20, 10}, {10, 10}}));
    EXPECT_TRUE(box->SetPoint(0, PointD{40, 25}));
    EXPECT_EQ(box->GetBounds(bounds), (RectD{{10, 5}, {30, 20}}));
    EXPECT_FALSE(box->SetPoint(4, PointD{0, 0}));
    Ref<RedlineObject> note = CreateRedlineObject(1, redline_type::kNote);
    EXPECT_TRUE(note->SetCreationPoint(0, PointD{1, 1}));
    EXPECT_TRUE(note->FinishCreation()) << "a note is kept even as a click";
    EXPECT_FALSE(CreateRedlineObject(1, 0));
    EXPECT_FALSE(CreateRedlineObject(1, 8));

    // Attribute masks and the kinds each type holds, defaults included.
    const struct {
        int32_t type;
        uint32_t mask;
    } masks[] = {{1, 0x1A13}, {2, 0x4161}, {3, 0x3A1}, {4, 0x3A1}, {5, 0x3A1}, {6, 0x4161}, {7, 0x1003}};
    for (const auto& m : masks) {
        Ref<RedlineObject> object = CreateRedlineObject(1, m.type);
        EXPECT_EQ(object->GetAttributeMask(), m.mask) << "type " << m.type;
        for (int32_t kind = 0; kind < redline_attribute::kKindCount; ++kind) {
            const bool held = (m.mask >> (8 + kind)) & 1;
            EXPECT_EQ(bool(object->GetAttribute(kind)), held) << "type " << m.type << " kind " << kind;
        }
    }
    // An attribute of a kind the object does not hold is ignored.
    Ref<RedlineObject> rectangle = FromGeometry(redline_type::kRectangle, L"0:0:1:1");
    EXPECT_FALSE(rectangle->IsDirty());
    rectangle->SetAttribute(MakeRef<FontAttr>().get());
    EXPECT_FALSE(rectangle->IsDirty());
    Ref<RedlineAttribute> red = Filled();
    rectangle->SetAttribute(red.get());
    EXPECT_TRUE(rectangle->IsDirty());
    EXPECT_EQ(rectangle->GetAttribute(redline_attribute::kFill), red);
    // Setting z or id to the same value leaves dirty alone.
    rectangle->SetDirty(false);
    rectangle->SetZ(0);
    rectangle->SetId(1);
    EXPECT_FALSE(rectangle->IsDirty());
    rectangle->SetZ(5);
    EXPECT_TRUE(rectangle->IsDirty());
}
