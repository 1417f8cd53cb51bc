// The preview as a window in a host of the test's own: what clicks, drags
// and moves do to the active page's cut-out at the edges of the image, the
// moving restriction, and its per-page image cache. Its picture and frame,
// a plain drag and click, and restriction 256 are checked from outside
// (screenshot_test, frame_panes_test).
#include "viewer/views/preview_window.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>

#include "foundation/hash_table.h"
#include "tests/viewer/views/view_harness.h"

namespace {

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

TEST(PreviewWindow, ADragEndsAtTheImagesEdgeAndEmptiesTheStatusText) {
    PreviewHarness h;
    ASSERT_NE(h.Show(), nullptr);
    h.Print();
    // Beyond the image the band ends on its last pixel, inside the page.
    const PointD c = h.PageAt(PointI{100, 100});
    Ref<ViewMapping> mapping = h.Mapping();
    const PointD corner =
        h.PageAt(PointI{mapping->window_offset.x + int32_t(mapping->placement.pixel_width) - 1,
                        mapping->window_offset.y + int32_t(mapping->placement.pixel_height) - 1});
    h.Drag(PointI{100, 100}, PointI{kSide + 50, kSide + 50});
    ExpectRect(h.CutOutRect(), c.x, c.y, corner.x - c.x, corner.y - c.y, 1e-6);
    const SizeD page = h.PageSize();
    EXPECT_LE(corner.x, page.width);
    EXPECT_LE(corner.y, page.height);
    EXPECT_EQ(h.ViewChanges(event::kViewZoom), 1u);
    EXPECT_NE(GetCapture(), h.window());
    // The size was shown while dragging; the status text is emptied after.
    ASSERT_GE(h.viewer.Count(event::kStatusText), 2u);
    const auto last = std::find_if(h.viewer.listener->events.rbegin(), h.viewer.listener->events.rend(),
                                   [](const ReceivedEvent& e) { return e.code == event::kStatusText; });
    WString text;
    VariantToString(last->argument, text);
    EXPECT_EQ(WStrLength(text), 0u);

    // A press outside the image starts nothing.
    h.Click(PointI{90, 90});
    h.Drag(PointI{100, 5}, PointI{150, 150});
    ExpectRect(h.CutOutRect(), 0, 0, page.width, page.height, 1e-9);
    EXPECT_EQ(h.ViewChanges(event::kViewZoom), 2u);
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

TEST(PreviewWindow, Restriction512RefusesMovingButNotDrawing) {
    PreviewHarness h;
    ASSERT_NE(h.Show(), nullptr);
    const SizeD page = h.PageSize();
    h.SetCutOut(0, 0, page.width / 2, page.height / 2);
    h.Print();
    const RectD before = h.CutOutRect();
    const PointI inside = ViewMapPageToDevice(h.Mapping().get(), PointD{page.width / 4, page.height / 4});
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
