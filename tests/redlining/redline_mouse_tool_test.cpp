// Mouse messages posted to a real main view with the redlining installed:
// objects created, selected, moved, resized and deleted, read back from the
// page's layer; and the context menu's items.
#include "redlining/redline_mouse_tool.h"

#include <gtest/gtest.h>

#include <cmath>

#include "redlining/redline_markups.h"
#include "redlining/redline_view.h"
#include "resources/text_ids.h"
#include "tests/redlining/redline_sheet_test_support.h"
#include "tests/viewer/views/view_harness.h"
#include "viewer/core/commands.h"
#include "viewer/core/redlining_modes.h"

namespace {

// A main view with this layer's markups over a white 96 dpi page.
struct MarkupHarness : HostHarness {
    MarkupHarness() {
        AppSetMarkups(viewer.root.get(), RedlineMarkupsCreate().get());
        view = MainViewCreate(context(), host, kPaneDocked, false);
        if (!view) return;
        MainViewSetDisplayMode(view.get(), kPaneDocked, host, RectI{SizeI{420, 330}, {}});
        target = view->window();
        const std::string dir = MakeScratchDir("redline_mouse_tool");
        EXPECT_TRUE(MakeFilesIn(dir,
                                "convert -size 400x300 xc:white -density 96 -units PixelsPerInch"
                                " -compress Group4 page.tif"));
        page_item = Show(dir + "/page.tif");
    }
    ~MarkupHarness() {
        view.Reset();
        PumpPending();
    }
    // Enters the mode and paints once, which binds the page to the view.
    void Command(uint32_t id) {
        ViewerOnCommand(context(), id, 0);
        PumpPending();
        Print();
    }
    RedlineView* Markups() const { return RedlineMarkupsViewOf(view->markups.get()); }
    Ref<RedlineLayer> Layer() const {
        RedlineView* own = Markups();
        ScopedLock hold(own->lock);
        return own->page ? own->page->GetLayer(0) : nullptr;
    }
    uint32_t Count() const {
        Ref<RedlineLayer> layer = Layer();
        return layer ? layer->objects.Count() : 0;
    }
    Ref<RedlineObject> At(uint32_t index) const { return Layer()->objects.GetAt(index); }
    // The device point of a page point in millimetres.
    PointI At(double x, double y) const {
        Ref<ViewMapping> mapping = MainViewGetMapping(view.get());
        return ViewMapPageToDevice(mapping.get(), PointD{x, y});
    }
    // Page millimetres per device pixel: the tolerance of a point that went through the mouse.
    double Pixel() const { return 1.5 / ViewMappingScaleX(MainViewGetMapping(view.get()).get()); }

    Ref<MainViewWindow> view;
    Ref<DocItem> page_item;
};

RectD Bounds(RedlineObject* object) {
    RectD bounds;
    return object->GetBounds(bounds);
}

std::wstring Geometry(RedlineObject* object) {
    WStrBuilder text;
    EXPECT_TRUE(object->GetGeometryText(text));
    WString out;
    return WStrCStr(WStrBuilderToString(text, out));
}

void ExpectBox(RedlineObject* object, double x0, double y0, double x1, double y1, double tolerance) {
    const RectD box = Bounds(object);
    EXPECT_NEAR(box.origin.x, x0, tolerance);
    EXPECT_NEAR(box.origin.y, y0, tolerance);
    EXPECT_NEAR(box.origin.x + box.size.width, x1, tolerance);
    EXPECT_NEAR(box.origin.y + box.size.height, y1, tolerance);
}

}  // namespace

TEST(RedlineMouseTool, ShapesAreDrawnByDragsAndAClickSizedBoxIsRemoved) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool + 1);  // rectangle
    ASSERT_EQ(ViewerGetRedliningMode(h.context()), kRedliningModeDraw);
    ASSERT_TRUE(h.Layer()) << "painting bound the page";
    h.Drag(h.At(10, 10), h.At(40, 30));
    ASSERT_EQ(h.Count(), 1u);
    EXPECT_EQ(h.At(0)->GetType(), redline_type::kRectangle);
    ExpectBox(h.At(0).get(), 10, 10, 40, 30, h.Pixel());
    EXPECT_EQ(h.At(0)->GetId(), 1);

    h.Click(h.At(60, 60));
    EXPECT_EQ(h.Count(), 1u) << "a click-sized rectangle is not kept";

    // A second button while placing the corner abandons the box.
    h.Mouse({{WM_LBUTTONDOWN, MK_LBUTTON, h.At(60, 20)},
             {WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, h.At(60, 20)},
             {WM_RBUTTONUP, MK_LBUTTON, h.At(60, 20)},
             {WM_LBUTTONUP, 0, h.At(60, 20)}});
    EXPECT_EQ(h.Count(), 1u) << "no stub left behind";

    // The next object takes the next number. (Every shape's drag and clicks
    // are the program's redlining screenshot check.)
    h.Command(command::kRedlineFirstTool);  // line
    h.Drag(h.At(50, 50), h.At(80, 70));
    ASSERT_EQ(h.Count(), 2u);
    EXPECT_EQ(h.At(1)->GetId(), 2);
}

TEST(RedlineMouseTool, APolygonPlacedByPlainClicksIsCompleteAndARightClickEndsIt) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool + 4);  // polygon
    ASSERT_EQ(ViewerGetRedliningTool(h.context()), static_cast<uint32_t>(redline_type::kPolygon));
    const PointD points[] = {{20, 20}, {60, 25}, {40, 60}, {15, 50}};
    for (const PointD& p : points) h.Click(h.At(p.x, p.y));
    h.Mouse({{WM_RBUTTONDOWN, MK_RBUTTON, h.At(15, 50)}, {WM_RBUTTONUP, 0, h.At(15, 50)}});
    ASSERT_EQ(h.Count(), 1u);
    Ref<RedlineObject> polygon = h.At(0);
    EXPECT_EQ(polygon->GetType(), redline_type::kPolygon);
    // No point of the right click: where the points land is the screenshot check's.
    ASSERT_EQ(polygon->GetPointCount(), 4u) << testing::PrintToString(Geometry(polygon.get()));
    EXPECT_FALSE(RedlineViewGetToolObject(h.Markups())) << "finished";

    // One point and then a right click: a polygon of one point is removed.
    h.Click(h.At(70, 10));
    h.Mouse({{WM_RBUTTONDOWN, MK_RBUTTON, h.At(70, 10)}, {WM_RBUTTONUP, 0, h.At(70, 10)}});
    EXPECT_EQ(h.Count(), 1u);
}

TEST(RedlineMouseTool, LeavingDrawModeMidwayRemovesTheStubAndResetsTheTool) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool);  // line
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(30, 30)}, {WM_LBUTTONDOWN, MK_LBUTTON, h.At(30, 30)}});
    EXPECT_EQ(h.Count(), 1u) << "the line exists while its second point is placed";
    h.Command(command::kRedlineSelect);
    EXPECT_EQ(h.Count(), 0u) << "a one-point line is not kept";
    h.Mouse({{WM_LBUTTONUP, 0, h.At(30, 30)}});
    // The tool starts afresh: the next drawing works.
    h.Command(command::kRedlineFirstTool + 2);  // ellipse
    h.Drag(h.At(20, 20), h.At(50, 40));
    ASSERT_EQ(h.Count(), 1u);
    EXPECT_EQ(h.At(0)->GetType(), redline_type::kEllipse);
    EXPECT_EQ(h.At(0)->GetId(), 1);
}

TEST(RedlineMouseTool, SelectMoveResizeAndDeleteInSelectMode) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool + 1);
    h.Drag(h.At(10, 10), h.At(30, 30));
    h.Drag(h.At(50, 40), h.At(70, 60));
    ASSERT_EQ(h.Count(), 2u);
    Ref<RedlineObject> first = h.At(0);
    Ref<RedlineObject> second = h.At(1);
    h.Command(command::kRedlineSelect);
    RedlineView* markups = h.Markups();

    // An unfilled rectangle is hit on its outline.
    h.Click(h.At(10, 20));
    EXPECT_TRUE(markups->selection.Contains(first.get()));
    EXPECT_EQ(markups->selection.Count(), 1u);
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(50, 50)},
             {WM_LBUTTONDOWN, MK_LBUTTON | MK_SHIFT, h.At(50, 50)},
             {WM_LBUTTONUP, MK_SHIFT, h.At(50, 50)}});
    EXPECT_EQ(markups->selection.Count(), 2u) << "Shift adds to the selection";

    // Dragging one of them moves every selected object.
    h.Drag(h.At(10, 20), h.At(15, 28));
    ExpectBox(first.get(), 15, 18, 35, 38, 2 * h.Pixel());
    ExpectBox(second.get(), 55, 48, 75, 68, 2 * h.Pixel());

    // A plain click selects only that object; its far corner handle resizes it.
    h.Click(h.At(15, 28));
    EXPECT_EQ(markups->selection.Count(), 1u);
    EXPECT_TRUE(markups->selection.Contains(first.get()));
    const RectD before = Bounds(first.get());
    const double right = before.origin.x + before.size.width;
    const double bottom = before.origin.y + before.size.height;
    h.Drag(h.At(right, bottom), h.At(right + 10, bottom + 5));
    ExpectBox(first.get(), before.origin.x, before.origin.y, right + 10, bottom + 5, 2 * h.Pixel());

    // A click on the empty page clears the selection.
    h.Click(h.At(90, 70));
    EXPECT_EQ(markups->selection.Count(), 0u);

    h.Click(h.At(55, 58));
    ASSERT_TRUE(markups->selection.Contains(second.get()));
    ViewerOnCommand(h.context(), command::kDeleteMarkups, 0);
    PumpPending();
    ASSERT_EQ(h.Count(), 1u);
    EXPECT_EQ(h.At(0).get(), first.get());
}

TEST(RedlineMouseTool, ATextIsMadeByOnePressAndAsksForItsProperties) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool + 5);  // text
    const size_t asked = h.viewer.Count(event::kMarkupProperties);
    // The sheet opens on the new text alone; what is typed there is its text.
    std::vector<std::wstring> tabs;
    ModalScript driver([&](HWND sheet) {
        tabs = Tabs(sheet);
        SetDlgItemTextW(ShowPage(sheet, 0), IDC_MARKUP_TEXT, L"typed");
        PostMessageW(sheet, PSM_PRESSBUTTON, PSBTN_OK, 0);
        return true;
    });
    h.Click(h.At(30, 30));
    ASSERT_EQ(h.Count(), 1u);
    EXPECT_EQ(h.At(0)->GetType(), redline_type::kText);
    EXPECT_EQ(h.viewer.Count(event::kMarkupProperties), asked + 1);
    EXPECT_TRUE(h.Markups()->selection.Contains(h.At(0).get()));
    std::vector<std::wstring> titles;
    for (uint32_t title : {text::kMarkupTextPage, text::kMarkupFont, text::kMarkupFilling})
        titles.push_back(ViewerTextOrEmpty(h.context(), title));
    EXPECT_EQ(tabs, titles);
    Ref<RedlineAttribute> text = h.At(0)->GetAttribute(redline_attribute::kText);
    EXPECT_EQ(std::wstring(WStrCStr(static_cast<TextAttr*>(text.get())->text().text)), L"typed");
}

TEST(RedlineContextMenu, HoldsTheSelectionCommandsWithBringToAsAsked) {
    RunningViewer viewer;
    const struct {
        UINT id;
        uint32_t text;
    } expected[] = {{command::kSelectAllMarkups, text::kRedlineSelectAll},
                    {command::kDeleteMarkups, text::kRedlineDelete},
                    {0, 0},
                    {command::kMarkupToFront, text::kRedlineToFront},
                    {command::kMarkupToBack, text::kRedlineToBackground},
                    {0, 0},
                    {command::kMarkupProperties, text::kRedlineProperties}};
    for (bool bring_to : {true, false}) {
        MenuHandle menu(BuildRedlineContextMenu(viewer.context.get(), bring_to));
        ASSERT_TRUE(menu);
        ASSERT_EQ(GetMenuItemCount(menu.get()), static_cast<int>(std::size(expected)));
        for (int i = 0; i < GetMenuItemCount(menu.get()); ++i) {
            SCOPED_TRACE(i);
            wchar_t label[100] = {};
            MENUITEMINFOW info = {sizeof(info)};
            info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE | MIIM_STRING;
            info.dwTypeData = label;
            info.cch = 100;
            ASSERT_TRUE(GetMenuItemInfoW(menu.get(), i, TRUE, &info));
            if (!expected[i].id) {
                EXPECT_TRUE(info.fType & MFT_SEPARATOR);
                continue;
            }
            EXPECT_EQ(info.wID, expected[i].id);
            EXPECT_STREQ(label, ViewerGetText(viewer.context.get(), expected[i].text));
            EXPECT_GT(wcslen(label), 0u);
            const bool is_bring_to =
                info.wID == command::kMarkupToFront || info.wID == command::kMarkupToBack;
            EXPECT_EQ((info.fState & MFS_GRAYED) == 0, !is_bring_to || bring_to);
        }
    }
}

TEST(RedlineMouseTool, ANewObjectGoesOverObjectsWithTheReadersZ) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    // The id of the object drawn last and of the one hit first where all overlap.
    auto top = [&h] {
        PtrArray order;
        EXPECT_TRUE(h.Layer()->objects.SnapshotInDrawingOrder(order));
        Ref<ViewMapping> mapping = MainViewGetMapping(h.view.get());
        Ref<RedlineObject> hit = h.Layer()->objects.TopmostHit(mapping.get(), PointD{20, 25});
        const int32_t last =
            order.count ? static_cast<RedlineObject*>(order.items[order.count - 1])->GetId() : 0;
        return std::pair(last, hit ? hit->GetId() : 0);
    };
    h.Command(command::kRedlineFirstTool + 1);  // rectangle
    h.Drag(h.At(20, 15), h.At(50, 35));
    h.Drag(h.At(20, 15), h.At(50, 35));
    ASSERT_EQ(h.Count(), 2u);
    // A loaded page: z = 0, 10, ... in file order.
    h.Layer()->objects.AssignZInListOrder();
    h.Drag(h.At(20, 15), h.At(50, 35));
    ASSERT_EQ(h.Count(), 3u);
    EXPECT_EQ(top(), std::pair(3, 3)) << "the new one is drawn last and hit first";
    // Sent to the back and another drawn: the new one is on top again.
    h.Command(command::kRedlineSelect);
    Ref<RedlineObject> third =
        h.Layer()->objects.TopmostHit(MainViewGetMapping(h.view.get()).get(), {20, 25});
    h.Markups()->selection.Add(third.get());
    RedlineChangeZOrder(h.Markups(), redline_z::kToBack);
    EXPECT_EQ(top(), std::pair(2, 2));
    h.Command(command::kRedlineFirstTool + 1);
    h.Drag(h.At(20, 15), h.At(50, 35));
    ASSERT_EQ(h.Count(), 4u);
    EXPECT_EQ(top(), std::pair(4, 4));
}

TEST(RedlineMouseTool, APressBesideTheHandleJustHoveredMovesTheRectangle) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    h.Command(command::kRedlineFirstTool + 1);
    h.Drag(h.At(10, 10), h.At(40, 30));
    ASSERT_EQ(h.Count(), 1u);
    h.Command(command::kRedlineSelect);
    h.Click(h.At(25, 10));
    ASSERT_TRUE(h.Markups()->selection.Contains(h.At(0).get()));
    // Over the far corner's handle, then along the outline and a drag.
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(40, 30)},
             {WM_MOUSEMOVE, 0, h.At(32, 30)},
             {WM_LBUTTONDOWN, MK_LBUTTON, h.At(32, 30)},
             {WM_MOUSEMOVE, MK_LBUTTON, h.At(35, 35)},
             {WM_MOUSEMOVE, MK_LBUTTON, h.At(37, 40)},
             {WM_LBUTTONUP, 0, h.At(37, 40)}});
    ExpectBox(h.At(0).get(), 15, 20, 45, 40, 2 * h.Pixel());
}

TEST(RedlineMouseTool, APolylineSurvivesAWheelScrollAndEscKeepsOnlyPlacedPoints) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    for (int i = 0; i < 3; ++i) h.Command(command::kZoomIn);
    h.Command(command::kRedlineFirstTool + 3);  // multi-line
    h.Click(h.At(20, 20));
    h.Click(h.At(40, 25));
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(45, 40)}});
    h.Markups()->selection.Add(h.At(0).get());
    const PointI before = h.At(20, 20);
    ViewerSendActionArg(h.context(), event::kMouseWheel, VariantOfInt(MAKELONG(0, -3 * WHEEL_DELTA)));
    PumpPending();
    h.Print();
    ASSERT_NE(h.At(20, 20).y, before.y) << "the wheel scrolled";
    EXPECT_EQ(h.Markups()->selection.Count(), 1u) << "the selection stays";
    h.Click(h.At(50, 60));
    h.Mouse({{WM_RBUTTONDOWN, MK_RBUTTON, h.At(50, 60)}, {WM_RBUTTONUP, 0, h.At(50, 60)}});
    ASSERT_EQ(h.Count(), 1u);
    ASSERT_EQ(h.At(0)->GetPointCount(), 3u) << testing::PrintToString(Geometry(h.At(0).get()));
    ExpectBox(h.At(0).get(), 20, 20, 50, 60, h.Pixel());

    // Esc ends a polygon without a corner where the pointer is; with one
    // point placed there is nothing to keep.
    h.Command(command::kRedlineFirstTool + 4);
    for (const PointD& p : {PointD{60, 20}, PointD{80, 25}, PointD{70, 40}}) h.Click(h.At(p.x, p.y));
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(90, 60)}});
    EXPECT_TRUE(h.view->markups->EndCreation());
    ASSERT_EQ(h.Count(), 2u);
    EXPECT_EQ(h.At(1)->GetPointCount(), 3u) << testing::PrintToString(Geometry(h.At(1).get()));
    h.Click(h.At(60, 60));
    h.Mouse({{WM_MOUSEMOVE, 0, h.At(90, 60)}});
    EXPECT_TRUE(h.view->markups->EndCreation());
    EXPECT_EQ(h.Count(), 2u);
    EXPECT_FALSE(h.view->markups->EndCreation()) << "nothing being drawn";
}

TEST(RedlineMouseTool, HandlesAndNumbersKeepTheirScreenSizeAtTwoZooms) {
    MarkupHarness h;
    ASSERT_TRUE(h.view && h.page_item);
    WindowDC screen(nullptr);
    const double per_mm = GetDeviceCaps(screen.get(), LOGPIXELSY) / 25.4;
    h.Command(command::kRedlineFirstTool);  // line
    h.Drag(h.At(48, 38), h.At(58, 38));
    h.Command(command::kRedlineSelect);
    RECT client;
    GetClientRect(h.view->window(), &client);
    for (int zoom = 0; zoom < 2; ++zoom) {
        SCOPED_TRACE(zoom);
        // About true size first, then zoomed out twice (64 %).
        if (zoom) {
            h.Command(command::kZoomOut);
            h.Command(command::kZoomOut);
        }
        h.Click(h.At(53, 38));
        ASSERT_EQ(h.Markups()->selection.Count(), 1u);
        std::unique_ptr<DibCanvas> canvas = h.Print();
        ASSERT_TRUE(canvas && canvas->ok());
        // The number's red label, and the handle square round the line's end
        // (its top and bottom sides cross the column just past the end).
        int label_top = client.bottom, label_bottom = -1;
        for (int y = 0; y < client.bottom; ++y)
            for (int x = 0; x < client.right; ++x)
                if (canvas->Pixel(x, y) == 0xFF0000) {
                    label_top = std::min(label_top, y);
                    label_bottom = std::max(label_bottom, y);
                }
        const PointI end = h.At(58, 38);
        int top = end.y + 100, bottom = end.y - 100;
        for (int y = std::max(0, end.y - 30); y < std::min<int>(client.bottom, end.y + 30); ++y)
            if (canvas->Pixel(end.x + 3, y) == 0) {
                top = std::min(top, y);
                bottom = std::max(bottom, y);
            }
        EXPECT_NEAR(label_bottom - label_top + 1, 4 * per_mm * 1.15, 4 * per_mm * 0.3) << "a 4 mm number";
        EXPECT_NEAR(bottom - top + 1, 2.5 * per_mm, 1.5) << "a 2.5 mm handle";
    }
}
