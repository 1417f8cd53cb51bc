// The main view and the preview as windows. The main view: what it paints
// for a page at zoom 1 (read back through WM_PRINTCLIENT and judged by
// ImageMagick's decode of the file) and what the mouse and the wheel do to
// the page's cut-out, restrictions included. The preview: what clicks, drags
// and moves do to the cut-out at the edges of the image, and the moving
// restriction. The cache's adaptations are judged in bitmap_cache_test, the
// fitted view's pixels, the preview's picture and frame, a plain drag and
// click and restriction 256 from outside (screenshot_test,
// frame_panes_test); images of closed pages kept would show in the soak of
// robustness_test.
#include "viewer/views/main_view.h"

#include "resources/text_ids.h"
#include "tests/viewer/views/view_harness.h"
#include "viewer/contracts/markups.h"
#include "viewer/model/page_boxes.h"
#include "viewer/views/preview_window.h"

namespace {

constexpr uint32_t kLightGrey = 0xC0C0C0;

// ImageMagick's decode of the file after `operations`, one grey byte a pixel.
struct Reference {
    int width = 0, height = 0;
    std::vector<uint8_t> grey;
    uint32_t Pixel(int x, int y) const { return grey[size_t(y) * width + x] * 0x010101u; }
};

Reference Decode(const std::string& path, const std::string& operations, int width, int height) {
    Reference reference{width, height, {}};
    EXPECT_EQ(RunHostCommand("convert '" + path + "' " + operations + " -depth 8 gray:'" + path + ".gray'"),
              0);
    reference.grey = ReadHostFile(path + ".gray");
    EXPECT_EQ(reference.grey.size(), size_t(width) * height) << operations;
    return reference;
}

// Empty when the view shows the reference over the whole image its mapping
// places, else the first difference.
std::string Compare(const ViewHarness& h, const Reference& reference) {
    std::unique_ptr<DibCanvas> canvas = h.Print();
    Ref<ViewMapping> mapping = h.Mapping();
    if (!mapping || reference.grey.size() != size_t(reference.width) * reference.height) return "nothing";
    const PointI at = mapping->window_offset;
    for (int y = 0; y < int(mapping->placement.pixel_height); ++y) {
        for (int x = 0; x < int(mapping->placement.pixel_width); ++x) {
            if (canvas->Pixel(at.x + x, at.y + y) != reference.Pixel(x, y))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    }
    return "";
}

// A 96 dpi drawing without any symmetry, as Group 4 and as 8-bit grey.
std::string MakeDrawings(const std::string& name) {
    const std::string dir = MakeScratchDir(name),
                      shapes =
                          "-fill black -draw 'rectangle 10,12 70,40' -draw 'circle 160,90 190,104'"
                          " -draw 'line 0,159 239,3' -draw 'polygon 200,10 235,20 210,60' -density 96"
                          " -units PixelsPerInch";
    EXPECT_TRUE(
        MakeFilesIn(dir, "convert -size 240x160 xc:white " + shapes +
                             " -compress Group4 bilevel.tif && convert -size 160x240 gradient:white-black"
                             " -rotate 90 " +
                             shapes + " -depth 8 -type Grayscale -compress LZW grey.tif"));
    return dir;
}

}  // namespace

TEST(MainViewPaint, ZoomOneShowsEveryImagePixelAsImageMagickDecodesIt) {
    const std::string dir = MakeDrawings("main_view_zoom_one");
    // The view turns the picture counter-clockwise ("rotate left" adds 90),
    // after the mirrors, which act along the page's axes (every turn and
    // mirror of a colour page: document_export_test).
    const struct Case {
        uint32_t rotation;
        bool mirror_h, mirror_v, invert;
        const char* operations;
    } cases[] = {
        {0, false, false, false, ""},
        {90, false, false, false, "-rotate -90"},
        {0, false, false, true, "-negate"},
        {270, false, true, false, "-flip -rotate -270"},
        {90, true, true, true, "-flop -flip -rotate -90 -negate"},
    };
    for (const char* file : {"bilevel.tif", "grey.tif"}) {
        const std::string path = dir + "/" + file;
        ViewHarness h(420, 330);
        ASSERT_TRUE(h.view && h.Show(path)) << file;
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string(file) + " " + c.operations);
            Ref<CutOutState> state = h.CutOut();
            CutOutClear(state.get());
            CutOutSetZoom(state.get(), 1.0);
            CutOutSetRotation(state.get(), c.rotation);
            CutOutSetMirrorHorizontal(state.get(), c.mirror_h);
            CutOutSetMirrorVertical(state.get(), c.mirror_v);
            CutOutSetInvert(state.get(), c.invert);
            h.Changed(event::kViewEverything);
            const bool turned = c.rotation % 180;
            const int width = turned ? 160 : 240, height = turned ? 240 : 160;
            // One screen pixel per image pixel, centred in light grey.
            EXPECT_EQ(Compare(h, Decode(path, c.operations, width, height)), "");
            Ref<ViewMapping> mapping = h.Mapping();
            ASSERT_TRUE(mapping);
            EXPECT_EQ(mapping->placement.pixel_width, uint32_t(width));
            EXPECT_EQ(mapping->placement.pixel_height, uint32_t(height));
            const PointI o = mapping->window_offset;
            std::unique_ptr<DibCanvas> canvas = h.Print();
            EXPECT_GT(o.x, 0);
            EXPECT_EQ(canvas->Pixel(o.x - 1, o.y + 5), kLightGrey);
            EXPECT_EQ(canvas->Pixel(o.x + 5, o.y + height), kLightGrey);
            // Storing the shown part back keeps the page's own zoom, or the
            // small page would be blown up to fit the view the next time.
            EXPECT_EQ(CutOutGetZoom(state.get()), 1.0);
        }
    }
}

TEST(MainViewMouse, ABandDragBecomesTheCutOutItsCornersPredict) {
    const std::string dir = MakeDrawings("main_view_band");
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    for (const bool exact : {true, false}) {
        SCOPED_TRACE(exact ? "exact zoom" : "fitted");
        SettingsSetZoomExact(h.settings().get(), nullptr, kCallerInternal, exact);
        CutOutReset(h.CutOut().get());
        h.Changed(event::kViewEverything);
        Ref<ViewMapping> before = h.Mapping();
        ASSERT_TRUE(before);
        const PointI o = before->window_offset;
        const PointI from = exact ? PointI{o.x + 130, o.y + 95} : PointI{o.x + 40, o.y + 40},
                     to = exact ? PointI{o.x + 30, o.y + 20} : PointI{o.x + 60, o.y + 140};
        RectD predicted;
        RectDFromPoints(predicted, ViewMapDeviceToPage(before.get(), from),
                        ViewMapDeviceToPage(before.get(), to));
        h.Drag(from, to);
        h.Print();  // computes the mapping, which stores the shown part back
        const RectD band = h.CutOutRect();
        if (exact) {  // the band as it is
            ExpectRect(band, predicted.origin.x, predicted.origin.y, predicted.size.width,
                       predicted.size.height);
            // A band under 3 pixels in one direction is ignored.
            const PointI z = h.Mapping()->window_offset;
            h.Drag(PointI{z.x + 20, z.y + 20}, PointI{z.x + 120, z.y + 22});
            EXPECT_EQ(h.CutOutRect(), band);
        } else {  // widened to the view's shape around its centre
            EXPECT_LE(band.origin.x, predicted.origin.x + 1e-9);
            EXPECT_GE(band.origin.x + band.size.width, predicted.origin.x + predicted.size.width - 1e-9);
            EXPECT_NEAR(band.size.height, predicted.size.height, 1e-6);
            const RectI target = MainViewGetTargetRect(h.view.get());
            EXPECT_NEAR(band.size.width / band.size.height, double(target.size.width) / target.size.height,
                        0.01);
        }
    }
}

TEST(MainViewMouse, RestrictionsAndAFittedPageBlockZoomAndScrollFromTheMouseToo) {
    const std::string dir = MakeDrawings("main_view_restrictions");
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    // The wheel over a fitted page does nothing (the bars are disabled).
    ASSERT_TRUE(h.Print() && h.Mapping());
    const RectD fitted = h.CutOutRect();
    EXPECT_FALSE(IsWindowEnabled(h.view->vertical_bar));
    h.Wheel(-240);
    h.Wheel(120, MK_CONTROL);
    EXPECT_FALSE(MainViewScrollBy(h.view.get(), 0, false, 3));
    EXPECT_EQ(h.CutOutRect(), fitted) << "fitted";

    RectD part;  // zoomed in, so that there is something to scroll
    CutOutSetRect(h.CutOut().get(), RectDSet(part, 10, 10, 20, 15));
    h.Changed(event::kViewZoom);
    ASSERT_TRUE(h.Print() && h.Mapping());
    const RectD start = h.CutOutRect();
    const PointI o = h.Mapping()->window_offset;
    const PointI a{o.x + 50, o.y + 40}, b{o.x + 150, o.y + 140};

    h.SetRestrictions(restriction::kZoom);
    h.Drag(a, b);
    h.Click(a);
    EXPECT_EQ(h.CutOutRect(), start) << "band under the zoom restriction";
    EXPECT_EQ(h.Count(event::kZoomAll), 0u) << "a click zooms all only when zooming is allowed";
    h.SetRestrictions(restriction::kScroll);
    EXPECT_FALSE(MainViewScrollBy(h.view.get(), 0, false, 1));
    h.Wheel(-120);
    SendMessageW(h.view->window(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(h.view->vertical_bar));
    h.Pan(b, a);
    EXPECT_EQ(h.CutOutRect(), start) << "scrolling under the scroll restriction";
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 1, false, 1)) << "a caller that waives the restriction";
    PumpPending();

    // Allowed again, each of them works.
    h.SetRestrictions(0);
    RectD before = h.CutOutRect();
    h.Wheel(-120);
    EXPECT_GT(h.CutOutRect().origin.y, before.origin.y) << "wheel";
    before = h.CutOutRect();
    h.Pan(b, a);
    EXPECT_GT(h.CutOutRect().origin.x, before.origin.x) << "panning";
    EXPECT_EQ(h.Count(event::kContextMenu), 0u) << "panning opens no menu";
    h.Click(a);
    EXPECT_EQ(h.Count(event::kZoomAll), 1u) << "click";
}

namespace {

// The bar's picture as WM_PRINTCLIENT draws it.
std::unique_ptr<DibCanvas> PrintBar(HWND bar) {
    RECT client;
    GetClientRect(bar, &client);
    auto canvas = std::make_unique<DibCanvas>(client.right, client.bottom, 0x123456);
    SendMessageW(bar, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc()), PRF_CLIENT);
    return canvas;
}

// Empty when both show the same, else the first difference.
std::string CompareCanvases(const DibCanvas& a, const DibCanvas& b, int width, int height) {
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            if (a.Pixel(x, y) != b.Pixel(x, y))
                return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ")";
        }
    }
    return "";
}

}  // namespace

// The bars are set with their redrawing off during the view's paint and
// paint themselves afterwards: once they have, each shows what a bar given
// the same state with redrawing on shows, and the view's target still
// leaves them out.
TEST(MainViewScrollBars, BarsSetQuietlyShowTheirStateOnceTheyHavePainted) {
    const std::string dir = MakeDrawings("main_view_bars");
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    const RectI fitted_target = MainViewGetTargetRect(h.view.get());
    RectD part;
    for (const bool zoomed : {true, false, true}) {
        SCOPED_TRACE(zoomed ? "zoomed in" : "fitted");
        if (zoomed) {
            CutOutSetRect(h.CutOut().get(), RectDSet(part, 10, 10, 20, 15));
        } else {
            CutOutReset(h.CutOut().get());
        }
        ViewerSendActionArg(h.context(), event::kViewChanged, VariantOfInt(event::kViewZoom));
        // The view's own paint, which sets the bars (UpdateWindow would
        // paint the bars too).
        RedrawWindow(h.view->window(), nullptr, nullptr, RDW_UPDATENOW | RDW_NOCHILDREN);
        for (HWND bar : {h.view->horizontal_bar, h.view->vertical_bar})
            EXPECT_TRUE(GetUpdateRect(bar, nullptr, FALSE)) << "the changed bar waits for its own paint";
        PumpPending();
        for (HWND bar : {h.view->horizontal_bar, h.view->vertical_bar}) {
            EXPECT_FALSE(GetUpdateRect(bar, nullptr, FALSE));
            ASSERT_TRUE(IsWindowVisible(bar));
            EXPECT_EQ(IsWindowEnabled(bar) != FALSE, zoomed);
            SCROLLINFO info = {sizeof(info), SIF_RANGE | SIF_POS};
            ASSERT_TRUE(GetScrollInfo(bar, SB_CTL, &info));
            EXPECT_EQ(info.nMax > 0, zoomed);
            RECT rect;
            GetClientRect(bar, &rect);
            const DWORD style = GetWindowLongW(bar, GWL_STYLE) & (SBS_VERT | SBS_HORZ);
            HWND reference = CreateWindowExW(0, L"SCROLLBAR", L"", WS_CHILD | WS_VISIBLE | style, 0, 0,
                                             rect.right, rect.bottom, h.host, nullptr, nullptr, nullptr);
            ASSERT_TRUE(reference);
            EnableWindow(reference, IsWindowEnabled(bar));
            SetScrollInfo(reference, SB_CTL, &info, TRUE);
            std::unique_ptr<DibCanvas> shown = PrintBar(bar), expected = PrintBar(reference);
            EXPECT_EQ(CompareCanvases(*shown, *expected, rect.right, rect.bottom), "");
            DestroyWindow(reference);
        }
        EXPECT_EQ(MainViewGetTargetRect(h.view.get()), fitted_target);
    }
}

// The window's own paints compose in a buffer kept from one paint to the
// next: what they leave on the screen is what a copy of the view shows,
// after the view shrinks, grows and inverts.
TEST(MainViewPaint, TheWindowsOwnPaintShowsWhatACopyShows) {
    const std::string dir = MakeDrawings("main_view_kept_buffer");
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/grey.tif"));
    const struct Step {
        SizeI size;
        bool invert;
    } steps[] = {{{420, 330}, false}, {{300, 200}, false}, {{520, 410}, false}, {{520, 410}, true}};
    for (const Step& step : steps) {
        SCOPED_TRACE(std::to_string(step.size.width) + "x" + std::to_string(step.size.height));
        MainViewResize(h.view.get(), step.size);
        CutOutSetInvert(h.CutOut().get(), step.invert);
        h.Changed(event::kViewEverything);
        RedrawWindow(h.target, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        RECT client;
        GetClientRect(h.target, &client);
        ASSERT_EQ(client.right, step.size.width);
        DibCanvas screen(client.right, client.bottom, 0x123456);
        {
            WindowDC window(h.target);
            ASSERT_TRUE(window);
            BitBlt(screen.dc(), 0, 0, client.right, client.bottom, window.get(), 0, 0, SRCCOPY);
        }
        std::unique_ptr<DibCanvas> copy = h.Print();
        int differing = 0;
        const RectI target = MainViewGetTargetRect(h.view.get());
        for (int y = 0; y < target.size.height; ++y)
            for (int x = 0; x < target.size.width; ++x) differing += screen.Pixel(x, y) != copy->Pixel(x, y);
        EXPECT_EQ(differing, 0);
        EXPECT_GT(copy->Count(step.invert ? 0xFFFFFF : 0x000000) + copy->Count(kLightGrey), 0);
    }
}

// The context's progress forwarder speaks for the context: a render inside
// the paint reports its way through as notification 23 (what the status
// bar's progress part shows) and clears it at the end.
TEST(MainViewPaint, ARenderReportsItsProgressAndClearsItAtTheEnd) {
    const std::string dir = MakeScratchDir("main_view_progress");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 1600x2400 xc:white -fill black -draw 'rectangle 100,100 1500,2300'"
                            " -compress Group4 -define tiff:rows-per-strip=64 large.tif"));
    ViewHarness h(400, 300);
    ASSERT_TRUE(h.Show(dir + "/large.tif"));
    // A new zoom leaves the cached picture behind.
    h.viewer.listener->events.clear();
    ASSERT_TRUE(CutOutSetZoom(h.CutOut().get(), 0.5));
    h.Changed(event::kViewZoom);
    h.Print();
    std::vector<double> reported;
    for (const ReceivedEvent& e : h.viewer.listener->events) {
        if (e.code == event::kProgress) reported.push_back(VariantToDouble(e.argument));
    }
    ASSERT_GE(reported.size(), 3u);
    EXPECT_EQ(reported.back(), -1.0);
    EXPECT_TRUE(std::any_of(reported.begin(), reported.end(), [](double v) { return v > 0 && v < 1; }));
}

TEST(MainViewPaint, WithoutAPageTheViewShowsTheEmptyPageAndTheMappingSettles) {
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view);
    ViewerSetActiveItem(h.context(), ViewerGetRootItem(h.context()).get());
    PumpPending();
    std::unique_ptr<DibCanvas> canvas = h.Print();
    EXPECT_GT(canvas->Count(kBoxGrey), 1000);
    EXPECT_GT(canvas->Count(0xBEBEBE), 0) << "the product name";
    EXPECT_FALSE(h.Mapping());
    EXPECT_EQ(MainViewGetScale(h.view.get()), -1.0);

    // A page: every computation posts 10 and 16, which must not make the
    // view compute again and again.
    ASSERT_TRUE(h.Show(MakeDrawings("main_view_settles") + "/grey.tif"));
    UpdateWindow(h.view->window());
    PumpUntil([] { return false; }, 300);
    const size_t computed = h.Count(event::kMainViewRecomputed);
    EXPECT_GE(computed, 1u);
    InvalidateRect(h.view->window(), nullptr, FALSE);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(h.Count(event::kMainViewRecomputed), computed) << "a repaint alone computes nothing";
    EXPECT_GT(MainViewGetScale(h.view.get()), 0.0);
}

namespace {

// Markups as a layer above would make them: what the viewer asked for is
// recorded, and the view paints a blue square where the mapping puts the
// page's origin.
struct MarkupRecord {
    uint32_t pages_added = 0;
    uint32_t pages_asked = 0;
    std::vector<uint32_t> purposes;
    int tool_moves = 0;
};

class RecordingTool : public MouseHandler {
  public:
    explicit RecordingTool(MarkupRecord* record) : record_(record) {}
    bool Move(const PointI* point, uint32_t key_state, bool* keep_capture, bool* repaint) override {
        ++record_->tool_moves;
        return false;
    }

  private:
    MarkupRecord* record_;
};

class RecordingMarkupView : public MarkupView {
  public:
    explicit RecordingMarkupView(MarkupRecord* record)
        : record_(record), tool_(MakeRef<RecordingTool>(record)) {}
    void SetPage(MarkupPage* page, ViewMapping* page_view) override {
        page_ = page && page_view ? Ref<MarkupPage>(page) : nullptr;
        mapping_ = page && page_view ? Ref<ViewMapping>(page_view) : nullptr;
    }
    bool HasPage() override { return page_ != nullptr; }
    bool Paint(ViewerContext* context, HDC dc, uint32_t purpose, bool no_overlay, bool grey) override {
        record_->purposes.push_back(purpose);
        if (!mapping_) return false;
        const PointI corner = ViewMapPageToDevice(mapping_.get(), PointD{0, 0});
        const RECT square = {corner.x, corner.y, corner.x + 8, corner.y + 8};
        const HBRUSH blue = CreateSolidBrush(RGB(0, 0, 255));
        FillRect(dc, &square, blue);
        DeleteObject(blue);
        return true;
    }
    Ref<MouseHandler> GetMouseTool() override { return tool_; }

  private:
    MarkupRecord* record_;
    Ref<MouseHandler> tool_;
    Ref<MarkupPage> page_;
    Ref<ViewMapping> mapping_;
};

class RecordingMarkups : public MarkupProvider {
  public:
    explicit RecordingMarkups(MarkupRecord* record) : record_(record) {}
    Ref<MarkupView> CreateView(ViewerContext* owner) override {
        return MakeRef<RecordingMarkupView>(record_);
    }
    bool AddPages(MarkupDocument* document, uint32_t count) override {
        record_->pages_added = count;
        return true;
    }
    Ref<MarkupPage> GetPage(MarkupDocument* document, uint32_t index, bool only_if_not_empty) override {
        ++record_->pages_asked;
        return MakeRef<MarkupPage>();
    }

  private:
    MarkupRecord* record_;
};

}  // namespace

// The main view paints the markups of the installed layer over the page, for
// the main view's purpose, and puts that layer's mouse tool first.
TEST(MainViewMarkups, TheInstalledLayerPaintsOverThePageAndGetsTheMouseFirst) {
    const std::string path = MakeDrawings("main_view_markups") + "/grey.tif";
    MarkupRecord record;
    HostHarness h;
    AppSetMarkups(h.viewer.root.get(), MakeRef<RecordingMarkups>(&record).get());
    Ref<MainViewWindow> view = MainViewCreate(h.context(), h.host, kPaneDocked, false);
    ASSERT_TRUE(view);
    MainViewSetDisplayMode(view.get(), kPaneDocked, h.host, RectI{SizeI{300, 200}, {}});
    h.target = view->window();
    ASSERT_TRUE(h.Show(path));
    EXPECT_EQ(record.pages_added, 1u) << "one markup page per page of the file";

    std::unique_ptr<DibCanvas> canvas = h.Print();
    ASSERT_FALSE(record.purposes.empty());
    EXPECT_EQ(record.purposes.back(), markup_purpose::kMainView);
    EXPECT_GE(record.pages_asked, 1u);
    Ref<ViewMapping> mapping = MainViewGetMapping(view.get());
    ASSERT_TRUE(mapping);
    const PointI corner = ViewMapPageToDevice(mapping.get(), PointD{0, 0});
    ASSERT_TRUE(corner.x >= 0 && corner.x + 8 <= 300 && corner.y >= 0 && corner.y + 8 <= 200);
    EXPECT_EQ(canvas->Pixel(corner.x + 4, corner.y + 4), 0x0000FFu) << "the markups lie over the page";

    h.Mouse({{WM_MOUSEMOVE, 0, PointI{150, 100}}});
    EXPECT_GE(record.tool_moves, 1);
    view.Reset();
    // Putting back the base provider leaves a view without markups.
    AppSetMarkups(h.viewer.root.get(), nullptr);
    EXPECT_FALSE(AppGetMarkups(h.viewer.root.get())->CreateView(h.context())->HasPage());
}

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

}  // namespace

TEST(MainViewPaint, AFileTheReadersRefuseShowsWhyInTheViewAndTheStatusBar) {
    const std::string dir = MakeScratchDir("main_view_refused");
    // A 32-bit BMP is refused when the file is read (unsupported), a CMYK
    // JPEG when its page is decoded (bad data).
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 60x40 xc:red -alpha set -channel A -evaluate set 50% "
                            "-define bmp:format=bmp4 alpha.bmp && "
                            "convert -size 60x40 xc:red -colorspace CMYK cmyk.jpg"));
    const struct Case {
        const char* file;
        bool whole_document;  // no page item: the document is what is shown
        uint32_t text;
    } cases[] = {{"alpha.bmp", true, text::kUnsupportedFormat}, {"cmyk.jpg", false, text::kFileHasErrors}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        ViewHarness h(400, 300);
        ASSERT_TRUE(h.view);
        // A page shown before: its zoom must not stay in the status bar.
        Ref<DocItem> before = h.Show(MakeDrawings("main_view_refused_before") + "/bilevel.tif");
        ASSERT_TRUE(before);
        h.Print();
        ASSERT_GT(MainViewGetScale(h.view.get()), 0.0);
        Ref<DocumentItem> document = h.viewer.Open(dir + "/" + c.file);
        ASSERT_TRUE(document);
        Ref<DocItem> shown = c.whole_document ? Ref<DocItem>(document) : ChildAt(document.get(), 0);
        ASSERT_TRUE(shown);
        EXPECT_EQ(DocItemGetChildCount(document.get()), c.whole_document ? 0u : 1u);
        h.viewer.Forget();
        ViewerSetActiveItem(h.context(), shown.get());
        if (c.whole_document) EXPECT_LT(MainViewGetScale(h.view.get()), 0.0) << "the former page's zoom";
        PumpPending();

        std::unique_ptr<DibCanvas> canvas = h.Print();
        const WString expected(ViewerGetText(h.context(), c.text));
        RECT client;
        GetClientRect(h.target, &client);
        ASSERT_GT(WStrLength(expected), 0u);
        const RectI target = MainViewGetTargetRect(h.view.get());
        DibCanvas wanted(client.right, client.bottom, 0x123456);
        SetViewportOrgEx(wanted.dc(), 0, 0, nullptr);
        ASSERT_TRUE(DrawErrorBox(wanted.dc(), target, expected));
        int differing = 0;
        for (int y = target.origin.y; y < target.origin.y + target.size.height; ++y)
            for (int x = target.origin.x; x < target.origin.x + target.size.width; ++x)
                differing += canvas->Pixel(x, y) != wanted.Pixel(x, y);
        EXPECT_EQ(differing, 0) << "the error box with the reason's text";

        PumpPending();
        auto status_texts = [&] {
            std::vector<std::wstring> texts;
            for (const ReceivedEvent& e : h.viewer.listener->events) {
                if (e.code != event::kStatusText) continue;
                WString text;
                VariantToString(e.argument, text);
                texts.push_back(WStrBuffer(text) ? WStrBuffer(text) : L"");
            }
            return texts;
        };
        EXPECT_EQ(status_texts(), std::vector<std::wstring>{WStrCStr(expected)});
        h.Print();
        PumpPending();
        EXPECT_EQ(status_texts().size(), 1u) << "once, however often the view paints";
        // A page shown again clears the reason from the status bar.
        ViewerSetActiveItem(h.context(), before.get());
        PumpPending();
        h.Print();
        PumpPending();
        EXPECT_EQ(status_texts(), (std::vector<std::wstring>{WStrCStr(expected), L""}));
    }
}

TEST(MainViewMeasure, TheLineIsHighlightedInABandThatGoesWithTheMeasurement) {
    const std::string dir = MakeScratchDir("main_view_measure_band");
    // Black above, white below the row 150 of a page shown at its own size.
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -size 400x300 xc:white -fill black -draw 'rectangle 0,0 399,149' "
                            "-density 96 -units PixelsPerInch -compress Group4 half.tif"));
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/half.tif"));
    CutOutSetZoom(h.CutOut().get(), 1.0);
    h.Changed(event::kViewEverything);
    Ref<ViewMapping> mapping = h.Mapping();
    ASSERT_TRUE(mapping);
    const PointI o = mapping->window_offset;
    // A diagonal from the black half into the white one, away from the box
    // beside the mouse.
    const PointI from{o.x + 60, o.y + 60}, to{o.x + 200, o.y + 200};
    h.Mouse({{WM_MOUSEMOVE, 0, from}});
    ViewerSendAction(h.context(), event::kMeasuringPoint);
    h.Mouse({{WM_MOUSEMOVE, 0, to}});
    // Points beside the line's middle, across it (at 45 degrees).
    const PointI middle{o.x + 100, o.y + 100};
    auto beside = [&](int distance) { return PointI{middle.x + distance, middle.y - distance}; };
    std::unique_ptr<DibCanvas> canvas = h.Print();
    // Within the band's 20 pixels the black turns grey (merged with it),
    // beyond it the black stays; the white below stays white.
    EXPECT_EQ(canvas->Pixel(beside(7).x, beside(7).y), 0xA0A0A0u);
    EXPECT_EQ(canvas->Pixel(beside(-7).x, beside(-7).y), 0xA0A0A0u);
    EXPECT_EQ(canvas->Pixel(beside(20).x, beside(20).y), 0x000000u);
    EXPECT_EQ(canvas->Pixel(o.x + 180, o.y + 190), 0xFFFFFFu);
    EXPECT_EQ(canvas->Pixel(middle.x, middle.y), 0xFF0000u) << "the red line";
    // Ended, the page shows as it is again.
    ViewerSendAction(h.context(), event::kMeasuringPoint);
    PumpPending();
    canvas = h.Print();
    EXPECT_EQ(canvas->Pixel(beside(7).x, beside(7).y), 0x000000u);
    EXPECT_EQ(canvas->Pixel(middle.x, middle.y), 0x000000u);
}
