// The preview as a window in a host of the test's own: what it paints (read
// through WM_PRINTCLIENT), what clicks and drags do to the active page's
// cut-out, which restrictions refuse them, and its per-page image cache.
#include "viewer/views/preview_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <memory>
#include <string>

#include "foundation/hash_table.h"
#include "tests/viewer/views/view_harness.h"

namespace {

constexpr uint32_t kWhite = 0xFFFFFF, kLightGrey = 0xC0C0C0, kBlue = 0x0000FF;
constexpr int kSide = 200;

struct PreviewHarness : HostHarness {
    PreviewHarness() {
        preview = PreviewCreate(context(), host, GetModuleHandleW(nullptr), viewer.Hub().get());
        if (preview) {
            PreviewShow(preview.get(), 1, host, RectI{SizeI{kSide, kSide}, {}});
            target = preview->window();
        }
    }
    ~PreviewHarness() { preview.Reset(); }
    HWND window() const { return preview->window(); }

    // A white 240 x 160 page at 96 dpi with a black square in its top-left
    // corner, made the active item.
    Ref<DocItem> Show() {
        const std::string dir = MakeScratchDir("preview_window");
        EXPECT_TRUE(MakeFilesIn(dir,
                                "convert -size 240x160 xc:white -fill black -draw 'rectangle 0,0 59,59'"
                                " -density 96 -units PixelsPerInch -compress Group4 page.tif"));
        return HostHarness::Show(dir + "/page.tif");
    }
    SizeD PageSize() const { return CutOutGetPageSize(CutOut().get()); }
    void SetCutOut(double x, double y, double width, double height) {
        RectD rect;
        CutOutSetRect(CutOut().get(), RectDSet(rect, x, y, width, height));
        Changed(event::kViewZoom);
    }
    Ref<ViewMapping> Mapping() const { return PreviewGetMapping(preview.get()); }
    PointD PageAt(const PointI& point) const { return ViewMapDeviceToPage(Mapping().get(), point); }
    // Left button down with the right one held: the cut-out follows.
    void Move(const PointI& from, const PointI& to) const {
        Mouse({{WM_MOUSEMOVE, MK_RBUTTON, from},
               {WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, from},
               {WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, to},
               {WM_LBUTTONUP, MK_RBUTTON, to},
               {WM_RBUTTONUP, 0, to}});
    }
    // Notifications 9 with this mask.
    size_t ViewChanges(int32_t mask) const {
        size_t count = 0;
        for (const ReceivedEvent& e : viewer.listener->events)
            count += e.code == event::kViewChanged && VariantToInt(e.argument) == mask;
        return count;
    }

    Ref<PreviewWindow> preview;
};

void ExpectRect(const RectD& actual, double x, double y, double width, double height, double tolerance) {
    EXPECT_NEAR(actual.origin.x, x, tolerance);
    EXPECT_NEAR(actual.origin.y, y, tolerance);
    EXPECT_NEAR(actual.size.width, width, tolerance);
    EXPECT_NEAR(actual.size.height, height, tolerance);
}

TEST(PreviewWindow, PaintsTheWholePageWithTheCutOutFrame) {
    PreviewHarness h;
    ASSERT_NE(h.preview, nullptr);
    // No page: the empty background, no frame.
    EXPECT_EQ(h.Print()->Count(kBlue), 0);
    ASSERT_NE(h.Show(), nullptr);
    Ref<ViewMapping> mapping = h.Mapping();
    ASSERT_NE(mapping, nullptr);
    // 240 x 160 fitted into 200 x 200: the full width, centred vertically.
    EXPECT_EQ(mapping->placement.pixel_width, 200u);
    EXPECT_EQ(mapping->placement.pixel_height, 133u);
    const PointI at = mapping->window_offset;
    EXPECT_EQ(at.x, 0);
    EXPECT_NEAR(at.y, 33, 1);

    std::unique_ptr<DibCanvas> canvas = h.Print();
    EXPECT_EQ(canvas->Pixel(100, 5), kLightGrey);
    EXPECT_EQ(canvas->Pixel(100, kSide - 5), kLightGrey);
    EXPECT_EQ(canvas->Pixel(100, at.y + 66), kWhite);
    EXPECT_EQ(canvas->Pixel(20, at.y + 20), 0x000000u);  // the square, scaled by 5/6
    // The whole page is the cut-out: the frame runs along the image's edges.
    EXPECT_EQ(canvas->Pixel(100, at.y), kBlue);
    EXPECT_EQ(canvas->Pixel(0, at.y + 66), kBlue);
    EXPECT_EQ(canvas->Pixel(100, at.y + 2), kWhite);

    // A cut-out of the right half: the frame moves there.
    const SizeD page = h.PageSize();
    h.SetCutOut(page.width / 2, 0, page.width / 2, page.height);
    canvas = h.Print();
    EXPECT_EQ(canvas->Pixel(100, at.y + 66), kBlue);
    EXPECT_EQ(canvas->Pixel(1, at.y + 66), kWhite);
}

TEST(PreviewWindow, DragSetsTheCutOutAndAClickResetsIt) {
    PreviewHarness h;
    ASSERT_NE(h.Show(), nullptr);
    h.Print();
    const PointI from{40, 60}, to{150, 140};
    const PointD a = h.PageAt(from), b = h.PageAt(to);
    h.Drag(from, to);
    ExpectRect(h.CutOutRect(), a.x, a.y, b.x - a.x, b.y - a.y, 1e-6);
    EXPECT_EQ(h.ViewChanges(event::kViewZoom), 1u);
    // The size was shown while dragging; the status text is emptied after.
    ASSERT_GE(h.viewer.Count(event::kStatusText), 2u);
    const ReceivedEvent& last = [&]() -> const ReceivedEvent& {
        for (auto e = h.viewer.listener->events.rbegin(); e != h.viewer.listener->events.rend(); ++e)
            if (e->code == event::kStatusText) return *e;
        return h.viewer.listener->events.back();
    }();
    WString text;
    VariantToString(last.argument, text);
    EXPECT_EQ(WStrLength(text), 0u);
    EXPECT_NE(GetCapture(), h.window());

    // A drag beyond the image ends at its edge, inside the page.
    h.Drag(PointI{100, 100}, PointI{kSide + 50, kSide + 50});
    const SizeD page = h.PageSize();
    const PointD c = h.PageAt(PointI{100, 100});
    // The last pixel of the image.
    Ref<ViewMapping> mapping = h.Mapping();
    const PointD corner =
        h.PageAt(PointI{mapping->window_offset.x + int32_t(mapping->placement.pixel_width) - 1,
                        mapping->window_offset.y + int32_t(mapping->placement.pixel_height) - 1});
    ExpectRect(h.CutOutRect(), c.x, c.y, corner.x - c.x, corner.y - c.y, 1e-6);
    EXPECT_LE(corner.x, page.width);
    EXPECT_LE(corner.y, page.height);

    // A click without movement: the whole page again.
    h.Click(PointI{90, 90});
    ExpectRect(h.CutOutRect(), 0, 0, page.width, page.height, 1e-9);
    EXPECT_EQ(h.ViewChanges(event::kViewZoom), 3u);

    // A press outside the image starts nothing.
    h.Drag(PointI{100, 5}, PointI{150, 150});
    ExpectRect(h.CutOutRect(), 0, 0, page.width, page.height, 1e-9);
    EXPECT_EQ(h.ViewChanges(event::kViewZoom), 3u);
}

TEST(PreviewWindow, MovingKeepsTheCutOutSizeInsideThePage) {
    PreviewHarness h;
    ASSERT_NE(h.Show(), nullptr);
    const SizeD page = h.PageSize();
    h.SetCutOut(0, 0, page.width / 4, page.height / 4);
    h.Print();  // the frame is where the mouse finds the cut-out
    const PointI inside = ViewMapPageToDevice(h.Mapping().get(), PointD{page.width / 8, page.height / 8});
    const PointI to{inside.x + 50, inside.y + 20};
    const PointD a = h.PageAt(inside), b = h.PageAt(to);
    h.Move(inside, to);
    ExpectRect(h.CutOutRect(), b.x - a.x, b.y - a.y, page.width / 4, page.height / 4, 1e-6);
    EXPECT_GE(h.ViewChanges(event::kViewPosition), 1u);
    EXPECT_NE(GetCapture(), h.window());

    // Far beyond the page's corner: stopped at the edges, the size kept.
    h.Print();
    const PointI now = ViewMapPageToDevice(h.Mapping().get(),
                                           PointD{h.CutOutRect().origin.x + 1, h.CutOutRect().origin.y + 1});
    h.Move(now, PointI{now.x + 500, now.y + 500});
    ExpectRect(h.CutOutRect(), page.width * 3 / 4, page.height * 3 / 4, page.width / 4, page.height / 4,
               1e-6);
}

TEST(PreviewWindow, RestrictionsRefuseDrawingAndMoving) {
    PreviewHarness h;
    ASSERT_NE(h.Show(), nullptr);
    const SizeD page = h.PageSize();
    h.SetCutOut(0, 0, page.width / 2, page.height / 2);
    h.Print();
    const RectD before = h.CutOutRect();
    const PointI inside = ViewMapPageToDevice(h.Mapping().get(), PointD{page.width / 4, page.height / 4});

    // 256: no new frame, no click reset, and no capture taken.
    h.SetRestrictions(restriction::kPreviewDrag);
    h.Mouse({{WM_LBUTTONDOWN, MK_LBUTTON, PointI{150, 120}}});
    EXPECT_NE(GetCapture(), h.window());
    EXPECT_EQ(h.preview->mouse_mode, kPreviewIdle);
    h.Mouse({{WM_MOUSEMOVE, MK_LBUTTON, PointI{190, 150}}, {WM_LBUTTONUP, 0, PointI{190, 150}}});
    h.Mouse({{WM_LBUTTONDOWN, MK_LBUTTON, PointI{150, 120}}, {WM_LBUTTONUP, 0, PointI{150, 120}}});
    ExpectRect(h.CutOutRect(), before.origin.x, before.origin.y, before.size.width, before.size.height, 0);
    // Moving is still allowed.
    h.Move(inside, PointI{inside.x + 10, inside.y});
    EXPECT_GT(h.CutOutRect().origin.x, before.origin.x);

    // 512: moving refused, drawing allowed again.
    h.SetCutOut(0, 0, page.width / 2, page.height / 2);
    h.Print();
    h.SetRestrictions(restriction::kPreviewDragFrame);
    h.Mouse({{WM_LBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, inside}});
    EXPECT_EQ(h.preview->mouse_mode, kPreviewIdle);
    EXPECT_NE(GetCapture(), h.window());
    h.Mouse({{WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, PointI{inside.x + 30, inside.y + 30}},
             {WM_LBUTTONUP, MK_RBUTTON, PointI{inside.x + 30, inside.y + 30}},
             {WM_RBUTTONUP, 0, PointI{inside.x + 30, inside.y + 30}}});
    ExpectRect(h.CutOutRect(), before.origin.x, before.origin.y, before.size.width, before.size.height, 0);
    h.Drag(PointI{20, 50}, PointI{60, 90});
    EXPECT_LT(h.CutOutRect().size.width, before.size.width);
}

TEST(PreviewWindow, KeepsOneImagePerPageUntilThePageGoes) {
    PreviewHarness h;
    Ref<DocItem> page = h.Show();
    ASSERT_NE(page, nullptr);
    h.Print();
    const auto key = static_cast<uint32_t>(page->id);
    Ref<RefCounted> cached = IntHashFind(h.preview->cache.get(), key);
    ASSERT_NE(cached, nullptr);
    // Painted again: the same entry serves.
    h.Print();
    EXPECT_EQ(IntHashFind(h.preview->cache.get(), key), cached);
    // A changed window size renders anew under the same id.
    PreviewShow(h.preview.get(), 1, h.host, RectI{SizeI{kSide, kSide / 2}, {}});
    PumpPending();
    h.Print();
    Ref<RefCounted> resized = IntHashFind(h.preview->cache.get(), key);
    EXPECT_NE(resized, nullptr);
    EXPECT_NE(resized, cached);
    // Notification 13: the page's image is dropped.
    Variant id;
    VariantInitInt(id, page->id);
    ViewerSendActionArg(h.context(), event::kItemRemoved, id);
    EXPECT_EQ(IntHashFind(h.preview->cache.get(), key), nullptr);
}

}  // namespace
