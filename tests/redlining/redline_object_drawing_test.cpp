// How markup objects draw: pixels of RedlinePaintPage in a DIB section,
// against an independent rasteriser and against the bounds objects report.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <sstream>
#include <string>
#include <vector>

#include "foundation/ptr_array.h"
#include "redlining/redline_document.h"
#include "tests/redlining/redline_test_mapping.h"
#include "tests/support/test_support.h"
#include "tests/viewer/views/dib_canvas.h"
#include "viewer/core/viewer_context.h"
#include "viewer/documents/doc_item.h"
#include "viewer/model/cut_out_state.h"

namespace {

constexpr int kSide = 200;  // pixels
constexpr double kPageMm = kSide / kTestPixelsPerMm;

constexpr uint32_t kWhite = 0xFFFFFF;

// The canvas's 0xRRGGBB of a colour.
constexpr uint32_t Rgb(uint8_t red, uint8_t green, uint8_t blue) { return red << 16 | green << 8 | blue; }

bool Drawn(const DibCanvas& canvas, int x, int y) { return canvas.Pixel(x, y) != kWhite; }

Ref<ViewMapping> Mapping(int32_t page_id = 1, uint32_t rotation = 0, bool mirror_h = false,
                         bool mirror_v = false) {
    return TestMapping(kPageMm, page_id, rotation, mirror_h, mirror_v);
}

Ref<RedlineObject> Object(int32_t type, const wchar_t* geometry,
                          std::vector<Ref<RedlineAttribute>> attributes) {
    PtrArray list(4, true);
    for (auto& attribute : attributes) PtrArrayAdd(list, attribute.get());
    return CreateRedlineObjectFromData(2, 1, type, 0, list, WString(geometry));
}

Ref<RedlinePage> PageWith(const std::vector<Ref<RedlineObject>>& objects) {
    Ref<RedlinePage> page = MakeRef<RedlinePage>();
    page->CreateLayer();
    for (auto& object : objects) page->GetLayer(0)->objects.Add(object.get());
    return page;
}

// The page item a text object looks up: its variables and mirrors.
class PageStub : public DocItem {
  public:
    PageStub(ViewerContext* context, CutOutState* cut_out) : DocItem(context, 0, 0), cut_out(cut_out) {}
    Ref<CutOutState> GetCutOut() override { return cut_out; }
    Ref<CutOutState> cut_out;
};

// Drawn pixels without an ideal pixel within one pixel, and ideal pixels
// without a drawn one.
int Mismatches(const DibCanvas& canvas, const std::string& mask) {
    auto ideal = [&](int x, int y) { return mask[size_t(y) * kSide + x] == '1'; };
    auto within_one = [](int x, int y, auto test) {
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) {
                const int nx = x + dx, ny = y + dy;
                if (nx >= 0 && ny >= 0 && nx < kSide && ny < kSide && test(nx, ny)) return true;
            }
        return false;
    };
    int mismatches = 0;
    for (int y = 0; y < kSide; ++y)
        for (int x = 0; x < kSide; ++x) {
            if (Drawn(canvas, x, y) && !within_one(x, y, ideal)) ++mismatches;
            if (ideal(x, y) && !within_one(x, y, [&](int a, int b) { return Drawn(canvas, a, b); }))
                ++mismatches;
        }
    return mismatches;
}

}  // namespace

TEST(RedlineObjectDrawing, ShapesMatchAnIndependentRasteriser) {
    const struct {
        int32_t type;
        const wchar_t* geometry;
        float width;
        const char* oracle;  // the shape in the rasteriser's words
    } shapes[] = {
        {redline_type::kRectangle, L"5:5:20:15", 0.5f, "rect 5 5 20 15 0.5"},
        {redline_type::kEllipse, L"25:5:45:20", 0.25f, "ellipse 25 5 45 20 0.25"},
        {redline_type::kEllipse, L"5:20:20:45", 1.0f, "ellipse 5 20 20 45 1.0"},
        {redline_type::kMultiLine, L"3:5:25:20:40:30:28", 0.25f, "polyline 0.25 5 25 20 40 30 28"},
        {redline_type::kPolygon, L"3:30:25:45:25:40:30", 0.75f, "polyline 0.75 30 25 45 25 40 30 30 25"},
        {redline_type::kNote, L"32:32:45:45", 0, "fill 32 32 45 45"},
    };
    const std::string dir = MakeScratchDir("redline_shapes");
    std::string input = "size " + std::to_string(kSide) + " " + std::to_string(kSide) + " scale 4\n";
    for (const auto& shape : shapes) input += std::string(shape.oracle) + "\n";
    ASSERT_TRUE(WriteHostFile(dir + "/in.txt", std::vector<uint8_t>(input.begin(), input.end())));
    const std::string script = TestEnvDir("TEST_SOURCE_DIR") + "/tests/data/redline_shapes.py";
    ASSERT_EQ(RunHostCommand("python3 '" + script + "' '" + dir + "/in.txt' '" + dir + "/out.txt'"), 0);
    const std::vector<uint8_t> bytes = ReadHostFile(dir + "/out.txt");
    std::istringstream masks(std::string(bytes.begin(), bytes.end()));

    Ref<ViewMapping> mapping = Mapping();
    for (const auto& shape : shapes) {
        std::string mask;
        ASSERT_TRUE(std::getline(masks, mask)) << shape.oracle;
        ASSERT_EQ(mask.size(), size_t(kSide) * kSide);
        Ref<RedlineObject> object =
            Object(shape.type, shape.geometry, {MakeRef<LineAttr>(false, RGB(0, 0, 255), 0, shape.width)});
        ASSERT_TRUE(object) << shape.oracle;
        Ref<RedlinePage> page = PageWith({object});
        DibCanvas canvas(kSide, kSide, kWhite);
        ASSERT_TRUE(canvas.ok());
        EXPECT_TRUE(RedlinePaintPage(page.get(), nullptr, 1, canvas.dc(), mapping.get(), nullptr,
                                     redline_draw::kContent));
        int drawn = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) drawn += Drawn(canvas, x, y);
        EXPECT_GT(drawn, 20) << shape.oracle;
        EXPECT_EQ(Mismatches(canvas, mask), 0) << shape.oracle << " (" << drawn << " pixels drawn)";
    }
}

TEST(RedlineObjectDrawing, GreyModeAndColours) {
    Ref<ViewMapping> mapping = Mapping();
    Ref<RedlineObject> box = Object(
        redline_type::kRectangle, L"5:5:20:20",
        {MakeRef<LineAttr>(false, RGB(10, 20, 30), 0, 1.0f), MakeRef<FillAttr>(false, RGB(200, 100, 30), 0)});
    Ref<RedlineObject> note = Object(redline_type::kNote, L"30:30:45:45", {});
    Ref<RedlinePage> page = PageWith({box, note});
    const struct {
        uint32_t flags;
        uint32_t fill, outline, note;
    } cases[] = {
        {redline_draw::kContent, Rgb(200, 100, 30), Rgb(10, 20, 30), Rgb(255, 255, 0)},
        {redline_draw::kContent | redline_draw::kGrey, Rgb(110, 110, 110), Rgb(20, 20, 20),
         Rgb(170, 170, 170)},
    };
    for (const auto& c : cases) {
        DibCanvas canvas(kSide, kSide, kWhite);
        ASSERT_TRUE(canvas.ok());
        EXPECT_TRUE(RedlinePaintPage(page.get(), nullptr, 1, canvas.dc(), mapping.get(), nullptr, c.flags));
        EXPECT_EQ(canvas.Pixel(50, 50), c.fill) << "flags " << c.flags;
        EXPECT_EQ(canvas.Pixel(50, 20), c.outline) << "flags " << c.flags;
        EXPECT_EQ(canvas.Pixel(150, 150), c.note) << "flags " << c.flags;
        // The pens and brushes of the paint are gone again: the DC holds its stock objects.
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_PEN), GetStockObject(BLACK_PEN));
        EXPECT_EQ(GetCurrentObject(canvas.dc(), OBJ_BRUSH), GetStockObject(WHITE_BRUSH));
    }
    // Objects outside the page rectangle are not drawn.
    Ref<RedlineObject> away = Object(redline_type::kNote, L"60:60:70:70", {});
    DibCanvas canvas(kSide, kSide, kWhite);
    EXPECT_TRUE(RedlinePaintPage(PageWith({away}).get(), nullptr, 1, canvas.dc(), mapping.get(), nullptr,
                                 redline_draw::kContent));
    EXPECT_FALSE(Drawn(canvas, kSide - 1, kSide - 1));
}

TEST(RedlineObjectDrawing, TextStaysInsideItsReportedBounds) {
    Ref<ViewerContext> context = ViewerContextConstruct(nullptr);
    ASSERT_TRUE(context);
    const struct {
        float angle;
        uint32_t rotation;
        bool mirror_h, mirror_v;
    } cases[] = {
        {0, 0, false, false}, {30, 0, false, false}, {0, 90, false, false}, {-45, 270, false, false},
        {0, 0, true, false},  {0, 0, false, true},   {20, 180, true, true},
    };
    for (const auto& c : cases) {
        Ref<CutOutState> cut_out = CutOutCreate(SizeD{kPageMm, kPageMm});
        CutOutSetMirrorHorizontal(cut_out.get(), c.mirror_h);
        CutOutSetMirrorVertical(cut_out.get(), c.mirror_v);
        Ref<DocItem> item = MakeRef<PageStub>(context.get(), cut_out.get());
        context->root_item = item;
        Ref<ViewMapping> mapping = Mapping(item->id, c.rotation, c.mirror_h, c.mirror_v);
        Ref<RedlineObject> object =
            Object(redline_type::kText, L"20:20:30:30",
                   {MakeRef<FontAttr>(4.0f, false, true, false, false, 0, c.angle, 0, WString(L"Arial")),
                    MakeRef<TextAttr>(WString(L"Hello\nWorld"))});
        ASSERT_TRUE(object);
        DibCanvas canvas(kSide, kSide, kWhite);
        ASSERT_TRUE(canvas.ok());
        EXPECT_TRUE(RedlinePaintPage(PageWith({object}).get(), context.get(), 1, canvas.dc(), mapping.get(),
                                     nullptr, redline_draw::kContent));
        EXPECT_TRUE(static_cast<RedlineTextObject*>(object.get())->IsLaidOut());
        RectD bounds;
        object->GetBounds(bounds);
        PointD corners[4];
        int left = kSide, top = kSide, right = -1, bottom = -1;
        for (uint32_t i = 0; i < 4; ++i) {
            const PointI p = ViewMapPageToDevice(mapping.get(), RectDGetCorner(bounds, i, corners[i]));
            left = std::min(left, p.x), right = std::max(right, p.x);
            top = std::min(top, p.y), bottom = std::max(bottom, p.y);
        }
        int drawn = 0, outside = 0;
        for (int y = 0; y < kSide; ++y)
            for (int x = 0; x < kSide; ++x) {
                if (!Drawn(canvas, x, y)) continue;
                ++drawn;
                if (x < left - 1 || x > right + 1 || y < top - 1 || y > bottom + 1) ++outside;
            }
        EXPECT_GT(drawn, 100) << "angle " << c.angle << " rotation " << c.rotation;
        EXPECT_EQ(outside, 0) << "angle " << c.angle << " rotation " << c.rotation << " mirrors "
                              << c.mirror_h << c.mirror_v << " bounds " << left << "," << top << " - "
                              << right << "," << bottom;
        // The box is as wide as the longer line and 1.25 line heights a line.
        const double width = std::hypot(corners[1].x - corners[0].x, corners[1].y - corners[0].y);
        if (c.angle == 0) EXPECT_NEAR(bounds.size.height, 2 * 1.25 * 4.0, 1e-9);
        EXPECT_GT(width, 0);
    }
    context->root_item = nullptr;
    // Without the page item there is no text to draw and no layout.
    Ref<RedlineObject> lone = Object(redline_type::kText, L"20:20:30:30", {});
    DibCanvas canvas(kSide, kSide, kWhite);
    EXPECT_TRUE(RedlinePaintPage(PageWith({lone}).get(), context.get(), 1, canvas.dc(), Mapping().get(),
                                 nullptr, redline_draw::kContent));
    EXPECT_FALSE(static_cast<RedlineTextObject*>(lone.get())->IsLaidOut());
    EXPECT_FALSE(Drawn(canvas, 85, 85));
}

TEST(RedlineObjectDrawing, SelectionHandlesAndNumbers) {
    Ref<ViewMapping> mapping = TestMapping(kPageMm, 1, 0, false, false, kTestPixelsPerMm);
    Ref<RedlineObject> box = Object(redline_type::kRectangle, L"10:10:30:30", {});
    box->SetId(7);
    Ref<RedlinePage> page = PageWith({box});
    // Handles: a square of 2.5 mm (10 pixels) round each corner.
    DibCanvas handles(kSide, kSide, kWhite);
    EXPECT_TRUE(RedlinePaintPage(page.get(), nullptr, 1, handles.dc(), mapping.get(), box.get(),
                                 redline_draw::kHandles));
    EXPECT_EQ(handles.Pixel(35, 35), Rgb(0, 0, 0));
    EXPECT_EQ(handles.Pixel(124, 44), Rgb(0, 0, 0));
    EXPECT_FALSE(Drawn(handles, 120, 40)) << "the caller's null brush leaves the square open";
    EXPECT_FALSE(Drawn(handles, 80, 40)) << "no outline without content or selection";
    // The number label: white on red within_one the far corner plus 2 mm.
    DibCanvas numbers(kSide, kSide, kWhite);
    EXPECT_TRUE(RedlinePaintPage(page.get(), nullptr, 1, numbers.dc(), mapping.get(), nullptr,
                                 redline_draw::kContent | redline_draw::kNumbers));
    int red = 0;
    for (int y = 110; y < 140; ++y)
        for (int x = 110; x < 150; ++x) red += numbers.Pixel(x, y) == Rgb(255, 0, 0);
    EXPECT_GT(red, 20);
    // Selection outline: dotted, along the sides.
    DibCanvas selection(kSide, kSide, kWhite);
    EXPECT_TRUE(RedlinePaintPage(page.get(), nullptr, 1, selection.dc(), mapping.get(), nullptr,
                                 redline_draw::kSelection));
    int dots = 0;
    for (int x = 40; x <= 120; ++x) dots += Drawn(selection, x, 40);
    EXPECT_GT(dots, 20);
    EXPECT_LT(dots, 81) << "dotted, not solid";
}
