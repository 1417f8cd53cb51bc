// The main view as a window: what it paints for a page at zoom 1 (read back
// through WM_PRINTCLIENT and judged by ImageMagick's decode of the file), what
// the cache spares the decoder, and what the mouse, the wheel and the scroll
// bars do to the page's cut-out, restrictions included.
#include "viewer/views/main_view.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cwchar>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "tests/viewer/views/dib_canvas.h"
#include "tests/viewer/documents/document_test_support.h"
#include "viewer/core/settings.h"
#include "viewer/views/cut_out_state.h"
#include "viewer/views/measuring.h"
#include "viewer/views/view_mapping.h"
#include "viewer/windows/context_menu.h"

namespace {

constexpr uint32_t kLightGrey = 0xC0C0C0;
constexpr uint32_t kBoxGrey = 0xE6E6E6;
constexpr uint32_t kRed = 0xFF0000;

const wchar_t kHostClass[] = L"MainViewTestHost";

HWND MakeHost() {
    WNDCLASSW host = {};
    host.lpfnWndProc = DefWindowProcW;
    host.hInstance = GetModuleHandleW(nullptr);
    host.lpszClassName = kHostClass;
    RegisterClassW(&host);
    return CreateWindowExW(0, kHostClass, L"host", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 800, 600, nullptr,
                           nullptr, GetModuleHandleW(nullptr), nullptr);
}

LPARAM At(const PointI& point) { return MAKELPARAM(point.x, point.y); }

// The frame may have made a main view of its own; the tests drive theirs
// alone, so the other one lets go of the hub and of its window.
BOOL CALLBACK SilenceView(HWND window, LPARAM keep) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (wcscmp(name, kMainViewClassName) == 0 && window != reinterpret_cast<HWND>(keep)) {
        Ref<WindowObject> object = WindowFromHandle(window);
        if (auto* other = dynamic_cast<MainViewWindow*>(object.get())) {
            if (other->listener) ListenerDetach(other->listener.get());
            MainViewSetDisplayMode(other, kMainViewHidden, nullptr, RectI{});
        }
    }
    return TRUE;
}

BOOL CALLBACK SilenceViewsUnder(HWND top, LPARAM keep) {
    SilenceView(top, keep);
    EnumChildWindows(top, SilenceView, keep);
    return TRUE;
}

// Registers the listener ahead of every other one, so that it sees what a
// listener before it would stop.
void ListenFirst(EventHub* hub, HubListener* listener) {
    ListenerConstruct(listener, hub);
    ScopedLock hold(hub->lock);
    const int32_t at = PtrArrayFind(hub->listeners, listener);
    if (at <= 0) return;
    PtrArrayInsert(hub->listeners, listener, 0);
    PtrArrayRemoveAt(hub->listeners, static_cast<uint32_t>(at) + 1);
}

// A running viewer with a docked main view of the given size in a host window.
struct ViewHarness {
    ViewHarness(int width, int height) {
        host = MakeHost();
        view = MainViewCreate(viewer.context.get(), host, kMainViewDocked, false);
        RectI rect;
        RectISet(rect, 0, 0, width, height);
        if (view) MainViewSetDisplayMode(view.get(), kMainViewDocked, host, rect);
        EnumThreadWindows(GetCurrentThreadId(), SilenceViewsUnder,
                          reinterpret_cast<LPARAM>(view ? view->window() : nullptr));
        recorder = MakeRef<RecordingListener>();
        ListenFirst(viewer.Hub().get(), recorder.get());
        // The settings come from the registry, where other runs may have
        // left anything: the view options the tests rely on, as shipped.
        if (Ref<Settings> s = settings()) {
            ScopedLock hold(s->lock);
            s->zoom_factor = 0.0;
            s->zoom_exact = false;
            s->show_hair_cross = true;
            s->use_preview_info = true;
            s->restrictions = 0;
            s->redlining_display = true;
        }
    }
    ~ViewHarness() {
        ListenerDetach(recorder.get());
        view.Reset();
        if (host) DestroyWindow(host);
        PumpPending();
    }
    ViewerContext* context() const { return viewer.context.get(); }
    Ref<Settings> settings() const { return ViewerGetSettings(viewer.context.get()); }

    // The file's first page, made the active item.
    Ref<DocItem> Show(const std::string& path, OpenParams* params = nullptr) {
        Ref<DocumentItem> document = viewer.Open(path, params);
        Ref<DocItem> page = document ? ChildAt(document.get(), 0) : nullptr;
        if (page) ViewerSetActiveItem(context(), page.get());
        PumpPending();
        return page;
    }
    Ref<CutOutState> CutOut() const {
        Ref<DocItem> item = ViewerGetActiveItem(context());
        return item ? item->GetCutOut() : nullptr;
    }
    RectD CutOutRect() const {
        RectD rect;
        return CutOutGetRect(CutOut().get(), rect);
    }
    // Tells the view what changed, as the view actions do.
    void Changed(int32_t mask) {
        Variant argument;
        VariantInitInt(argument, mask);
        ViewerSendActionArg(context(), event::kViewChanged, argument);
        PumpPending();
    }
    Ref<ViewMapping> Mapping() const { return MainViewGetMapping(view.get()); }
    // The window's picture, painted by the view into a DIB.
    std::unique_ptr<DibCanvas> Print() const {
        RECT client;
        GetClientRect(view->window(), &client);
        auto canvas = std::make_unique<DibCanvas>(client.right, client.bottom, 0x123456);
        SendMessageW(view->window(), WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas->dc()), PRF_CLIENT);
        return canvas;
    }
    void Post(UINT message, WPARAM keys, const PointI& point) const {
        PostMessageW(view->window(), message, keys, At(point));
    }
    void Drag(const PointI& from, const PointI& to) const {
        Post(WM_MOUSEMOVE, 0, from);
        Post(WM_LBUTTONDOWN, MK_LBUTTON, from);
        Post(WM_MOUSEMOVE, MK_LBUTTON, PointI{(from.x + to.x) / 2, (from.y + to.y) / 2});
        Post(WM_MOUSEMOVE, MK_LBUTTON, to);
        Post(WM_LBUTTONUP, 0, to);
        PumpPending();
    }
    void Wheel(int delta, WPARAM keys = 0) {
        Variant argument;
        VariantInitInt(argument, static_cast<int32_t>(MAKEWPARAM(keys, delta)));
        ViewerSendActionArg(context(), event::kMouseWheel, argument);
        PumpPending();
    }
    size_t Count(uint32_t code) const {
        size_t n = 0;
        for (const ReceivedEvent& received : recorder->events) n += received.code == code;
        return n;
    }
    void SetRestrictions(uint32_t word) const {
        Ref<Settings> s = settings();
        ScopedLock hold(s->lock);
        s->restrictions = word;
    }

    RunningViewer viewer;
    HWND host = nullptr;
    Ref<MainViewWindow> view;
    Ref<RecordingListener> recorder;
};

// ImageMagick's decode of the file after `operations`, one grey byte a pixel.
struct Reference {
    int width = 0, height = 0;
    std::vector<uint8_t> grey;
    uint32_t Pixel(int x, int y) const {
        const uint32_t g = grey[size_t(y) * width + x];
        return g << 16 | g << 8 | g;
    }
};

Reference Decode(const std::string& path, const std::string& operations, int width, int height) {
    Reference reference{width, height, {}};
    const std::string out = path + ".ref.gray";
    EXPECT_EQ(RunHostCommand("convert '" + path + "' " + operations + " -depth 8 gray:'" + out + "'"), 0);
    reference.grey = ReadHostFile(out);
    EXPECT_EQ(reference.grey.size(), size_t(width) * height) << operations;
    return reference;
}

// Empty when the canvas shows the reference's window at `origin` from the
// view's pixel `at`, else the first difference.
std::string CompareWindow(const DibCanvas& canvas, const PointI& at, int width, int height,
                          const Reference& reference, const PointI& origin) {
    if (reference.grey.size() != size_t(reference.width) * reference.height) return "no reference";
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint32_t shown = canvas.Pixel(at.x + x, at.y + y);
            const uint32_t wanted = reference.Pixel(origin.x + x, origin.y + y);
            if (shown != wanted) {
                char text[120];
                snprintf(text, sizeof text, "pixel (%d, %d): shown %06X, expected %06X", origin.x + x,
                         origin.y + y, shown, wanted);
                return text;
            }
        }
    }
    return "";
}

// A 96 dpi drawing without any symmetry, as Group 4 and as 8-bit grey.
void MakeDrawings(const std::string& dir) {
    const std::string shapes =
        "-fill black -draw 'rectangle 10,12 70,40' -draw 'circle 160,90 190,104' "
        "-draw 'line 0,159 239,3' -draw 'polygon 200,10 235,20 210,60'";
    ASSERT_TRUE(MakeFilesIn(dir, "convert -size 240x160 xc:white " + shapes +
                                     " -density 96 -units PixelsPerInch -compress Group4 bilevel.tif && "
                                     "convert -size 160x240 gradient:white-black -rotate 90 " +
                                     shapes +
                                     " -density 96 -units PixelsPerInch -depth 8 -type Grayscale "
                                     "-compress LZW grey.tif"));
}

// Sets the page's own zoom as the zoom-factor action does.
void ZoomOne(ViewHarness& h) {
    CutOutSetZoom(h.CutOut().get(), 1.0);
    h.Changed(event::kViewFixedZoom);
}

void AppendTo(const std::string& path) {
    std::ofstream grow(path, std::ios::binary | std::ios::app);
    grow << "the file changed";
}

}  // namespace

TEST(MainViewPaint, ZoomOneShowsEveryImagePixelAsImageMagickDecodesIt) {
    const std::string dir = MakeScratchDir("main_view_zoom_one");
    MakeDrawings(dir);
    struct Case {
        const char* name;
        std::function<void(CutOutState*)> change;
        const char* operations;
        bool turned;
    };
    const Case cases[] = {
        {"as stored", [](CutOutState*) {}, "", false},
        // The view turns the picture counter-clockwise ("rotate left" adds 90).
        {"rotated", [](CutOutState* s) { CutOutSetRotation(s, 90); }, "-rotate -90", true},
        {"mirrored", [](CutOutState* s) { CutOutSetMirrorHorizontal(s, true); }, "-flop", false},
        {"upside down", [](CutOutState* s) { CutOutSetMirrorVertical(s, true); }, "-flip", false},
        {"inverted", [](CutOutState* s) { CutOutSetInvert(s, true); }, "-negate", false},
        // The mirrors act along the page's axes, before the turn.
        {"rotated and mirrored",
         [](CutOutState* s) {
             CutOutSetRotation(s, 90);
             CutOutSetMirrorHorizontal(s, true);
         },
         "-flop -rotate -90", true},
        {"everything",
         [](CutOutState* s) {
             CutOutSetRotation(s, 90);
             CutOutSetMirrorHorizontal(s, true);
             CutOutSetMirrorVertical(s, true);
             CutOutSetInvert(s, true);
         },
         "-flop -flip -rotate -90 -negate", true},
    };
    for (const char* file : {"bilevel.tif", "grey.tif"}) {
        const std::string path = dir + "/" + file;
        ViewHarness h(420, 330);
        ASSERT_TRUE(h.view && h.Show(path)) << file;
        ZoomOne(h);
        for (const Case& c : cases) {
            Ref<CutOutState> state = h.CutOut();
            CutOutClear(state.get());
            CutOutSetZoom(state.get(), 1.0);
            c.change(state.get());
            h.Changed(event::kViewEverything);
            const int width = c.turned ? 160 : 240, height = c.turned ? 240 : 160;
            const Reference reference = Decode(path, c.operations, width, height);
            std::unique_ptr<DibCanvas> canvas = h.Print();
            Ref<ViewMapping> mapping = h.Mapping();
            ASSERT_TRUE(mapping) << file << ", " << c.name;
            // One screen pixel per image pixel.
            EXPECT_EQ(mapping->placement.pixel_width, uint32_t(width)) << file << ", " << c.name;
            EXPECT_EQ(mapping->placement.pixel_height, uint32_t(height)) << file << ", " << c.name;
            EXPECT_EQ(CompareWindow(*canvas, mapping->window_offset, width, height, reference, PointI{}), "")
                << file << ", " << c.name;
            // The page is centred in light grey.
            EXPECT_GT(mapping->window_offset.x, 0);
            EXPECT_EQ(canvas->Pixel(mapping->window_offset.x - 1, mapping->window_offset.y + 5), kLightGrey);
            EXPECT_EQ(canvas->Pixel(mapping->window_offset.x + 5, mapping->window_offset.y + height),
                      kLightGrey);
            // Computing the mapping stored the shown rectangle back; the
            // page's own zoom survives it, or the small page would be blown
            // up to fit the view the next time.
            EXPECT_EQ(CutOutGetZoom(state.get()), 1.0) << file << ", " << c.name;
        }
    }
}

TEST(MainViewPaint, InversionAndMirroringAreServedWithoutTheDecoder) {
    const std::string dir = MakeScratchDir("main_view_cached");
    MakeDrawings(dir);
    const std::string path = dir + "/bilevel.tif";
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(path));
    ZoomOne(h);
    ASSERT_TRUE(h.Print() && h.Mapping());
    // From now on every render fails: the file is no longer what was opened.
    AppendTo(path);

    CutOutSetInvert(h.CutOut().get(), true);
    h.Changed(event::kViewInversion);
    std::unique_ptr<DibCanvas> canvas = h.Print();
    Ref<ViewMapping> mapping = h.Mapping();
    EXPECT_EQ(
        CompareWindow(*canvas, mapping->window_offset, 240, 160, Decode(path, "-negate", 240, 160), PointI{}),
        "");
    CutOutSetMirrorHorizontal(h.CutOut().get(), true);
    h.Changed(event::kViewMirroring);
    canvas = h.Print();
    EXPECT_EQ(CompareWindow(*canvas, h.Mapping()->window_offset, 240, 160,
                            Decode(path, "-negate -flop", 240, 160), PointI{}),
              "");

    // A quarter turn of a page that is not square needs a render, which
    // fails now: the error box says why.
    CutOutSetRotation(h.CutOut().get(), 90);
    h.Changed(event::kViewRotation);
    canvas = h.Print();
    EXPECT_GT(canvas->Count(kBoxGrey), 1000);
    EXPECT_GT(canvas->Count(kRed), 0);
}

TEST(MainViewScrolling, ScrollingAOneToOneViewNeedsNoDecoder) {
    const std::string dir = MakeScratchDir("main_view_scrolling");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -seed 5 -size 640x480 plasma:gray50-gray50 -colorspace Gray "
                            "-threshold 50% -density 96 -units PixelsPerInch -compress Group4 big.tif"));
    const std::string path = dir + "/big.tif";
    const Reference reference = Decode(path, "", 640, 480);
    ViewHarness h(320, 240);
    ASSERT_TRUE(h.view && h.Show(path));
    // The cross-hair at the mouse would stand in the picture.
    SettingsSetShowHairCross(h.settings().get(), nullptr, kCallerInternal, false);
    ZoomOne(h);
    const double per_mm = ViewerGetPixelsPerMmX(h.context());
    auto shown_origin = [&] {
        const RectD rect = h.CutOutRect();
        return PointI{int(std::lround(rect.origin.x * per_mm)), int(std::lround(rect.origin.y * per_mm))};
    };
    auto check = [&](const char* what) {
        std::unique_ptr<DibCanvas> canvas = h.Print();
        Ref<ViewMapping> mapping = h.Mapping();
        ASSERT_TRUE(mapping) << what;
        const RectD rect = h.CutOutRect();
        // The shown part starts on a whole image pixel.
        EXPECT_NEAR(rect.origin.x * per_mm, shown_origin().x, 1e-6) << what;
        EXPECT_NEAR(rect.origin.y * per_mm, shown_origin().y, 1e-6) << what;
        EXPECT_EQ(CompareWindow(*canvas, mapping->window_offset, int(mapping->placement.pixel_width),
                                int(mapping->placement.pixel_height), reference, shown_origin()),
                  "")
            << what;
    };
    check("top left");
    AppendTo(path);

    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 0, false, 2));
    PumpPending();
    EXPECT_GT(shown_origin().y, 0);
    check("two lines down");
    h.Wheel(-120);
    check("the wheel, one line down");
    h.Wheel(-120, MK_CONTROL);
    EXPECT_GT(shown_origin().x, 0);
    check("the wheel with Ctrl, one line right");
    SendMessageW(h.view->window(), WM_HSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(h.view->horizontal_bar));
    PumpPending();
    check("the bar, one line right");
    // Panning by whole pixels stays on the cached render too.
    const PointI from = h.Mapping()->window_offset;
    const PointI start{from.x + 100, from.y + 100}, end{from.x + 80, from.y + 90};
    h.Post(WM_MOUSEMOVE, 0, start);
    h.Post(WM_LBUTTONDOWN, MK_LBUTTON, start);
    h.Post(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, start);
    h.Post(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, end);
    h.Post(WM_LBUTTONUP, MK_RBUTTON, end);
    h.Post(WM_RBUTTONUP, 0, end);
    PumpPending();
    check("panned");

    // Far away from what was rendered the view must decode, which fails.
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 0, false, 1000));
    PumpPending();
    std::unique_ptr<DibCanvas> canvas = h.Print();
    EXPECT_GT(canvas->Count(kBoxGrey), 1000);
}

TEST(MainViewScrolling, TheBarsFollowThePictureWhenItIsTurned) {
    const std::string dir = MakeScratchDir("main_view_turned_scrolling");
    ASSERT_TRUE(MakeFilesIn(dir,
                            "convert -seed 9 -size 640x480 plasma:gray50-gray50 -colorspace Gray "
                            "-threshold 50% -density 96 -units PixelsPerInch -compress Group4 big.tif"));
    const std::string path = dir + "/big.tif";
    // The view turns the page counter-clockwise: the page's top edge is on
    // the left, its x runs upwards.
    const Reference reference = Decode(path, "-rotate -90", 480, 640);
    ViewHarness h(320, 240);
    ASSERT_TRUE(h.view && h.Show(path));
    SettingsSetShowHairCross(h.settings().get(), nullptr, kCallerInternal, false);
    CutOutSetRotation(h.CutOut().get(), 90);
    ZoomOne(h);
    const double per_mm = ViewerGetPixelsPerMmX(h.context());
    // The shown part's top-left in the turned picture.
    auto turned_origin = [&] {
        const RectD rect = h.CutOutRect();
        return PointI{int(std::lround(rect.origin.y * per_mm)),
                      int(std::lround((169.33333333333334 - rect.origin.x - rect.size.width) * per_mm))};
    };
    auto position = [](HWND bar) {
        SCROLLINFO info = {};
        info.cbSize = sizeof(info);
        info.fMask = SIF_POS | SIF_RANGE;
        GetScrollInfo(bar, SB_CTL, &info);
        return info.nPos;
    };
    auto check = [&](const char* what) {
        std::unique_ptr<DibCanvas> canvas = h.Print();
        Ref<ViewMapping> mapping = h.Mapping();
        ASSERT_TRUE(mapping) << what;
        EXPECT_EQ(CompareWindow(*canvas, mapping->window_offset, int(mapping->placement.pixel_width),
                                int(mapping->placement.pixel_height), reference, turned_origin()),
                  "")
            << what;
    };
    check("at the start");
    // A fixed zoom keeps the corner of the page's turned frame, which the
    // picture shows at its lower right.
    const PointI start = turned_origin();
    const int vertical = position(h.view->vertical_bar), horizontal = position(h.view->horizontal_bar);
    EXPECT_GT(vertical, 2);
    EXPECT_GT(horizontal, 1);
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 0, false, -2));
    PumpPending();
    check("two lines up");
    EXPECT_LT(turned_origin().y, start.y) << "up shows what lies above";
    EXPECT_EQ(position(h.view->vertical_bar), vertical - 2);
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 0, true, -1));
    PumpPending();
    check("one line left");
    EXPECT_LT(turned_origin().x, start.x) << "left shows what lies to the left";
    EXPECT_EQ(position(h.view->horizontal_bar), horizontal - 1);
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 0, false, 1));
    PumpPending();
    check("one line down again");
    EXPECT_EQ(position(h.view->vertical_bar), vertical - 1);
}

TEST(MainViewMouse, ABandDragBecomesTheCutOutItsCornersPredict) {
    const std::string dir = MakeScratchDir("main_view_band");
    MakeDrawings(dir);
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    // With an exact zoom the band is kept as it is, not widened to the view.
    SettingsSetZoomExact(h.settings().get(), nullptr, kCallerInternal, true);
    h.Changed(event::kViewEverything);
    Ref<ViewMapping> before = h.Mapping();
    ASSERT_TRUE(before);
    const PointI origin = before->window_offset;
    const PointI from{origin.x + 130, origin.y + 95}, to{origin.x + 30, origin.y + 20};
    RectD predicted;
    RectDFromPoints(predicted, ViewMapDeviceToPage(before.get(), from),
                    ViewMapDeviceToPage(before.get(), to));
    h.Drag(from, to);
    const RectD band = h.CutOutRect();
    EXPECT_NEAR(band.origin.x, predicted.origin.x, 1e-9);
    EXPECT_NEAR(band.origin.y, predicted.origin.y, 1e-9);
    EXPECT_NEAR(band.size.width, predicted.size.width, 1e-9);
    EXPECT_NEAR(band.size.height, predicted.size.height, 1e-9);
    EXPECT_GE(h.Count(event::kViewChanged), 1u);

    // A band under 3 pixels in one direction is ignored.
    Ref<ViewMapping> zoomed = h.Mapping();
    const PointI o = zoomed->window_offset;
    h.Drag(PointI{o.x + 20, o.y + 20}, PointI{o.x + 120, o.y + 22});
    EXPECT_EQ(h.CutOutRect(), band);

    // Fitted, the band is widened to the view's shape around its centre.
    SettingsSetZoomExact(h.settings().get(), nullptr, kCallerInternal, false);
    CutOutReset(h.CutOut().get());
    h.Changed(event::kViewEverything);
    before = h.Mapping();
    const PointI fitted = before->window_offset;
    RectDFromPoints(predicted, ViewMapDeviceToPage(before.get(), PointI{fitted.x + 40, fitted.y + 40}),
                    ViewMapDeviceToPage(before.get(), PointI{fitted.x + 60, fitted.y + 140}));
    h.Drag(PointI{fitted.x + 40, fitted.y + 40}, PointI{fitted.x + 60, fitted.y + 140});
    h.Print();  // computes the mapping, which stores the shown part back
    const RectD shown = h.CutOutRect();
    EXPECT_LE(shown.origin.x, predicted.origin.x + 1e-9);
    EXPECT_GE(shown.origin.x + shown.size.width, predicted.origin.x + predicted.size.width - 1e-9);
    EXPECT_NEAR(shown.size.height, predicted.size.height, 1e-6);
    const RectI target = MainViewGetTargetRect(h.view.get());
    EXPECT_NEAR(shown.size.width / shown.size.height, double(target.size.width) / target.size.height, 0.01);
}

TEST(MainViewMouse, RestrictionsBlockZoomAndScrollFromTheMouseToo) {
    const std::string dir = MakeScratchDir("main_view_restrictions");
    MakeDrawings(dir);
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    // Zoomed in, so that there is something to scroll.
    RectD part;
    RectDSet(part, 10, 10, 20, 15);
    CutOutSetRect(h.CutOut().get(), part);
    h.Changed(event::kViewZoom);
    ASSERT_TRUE(h.Print() && h.Mapping());
    const RectD start = h.CutOutRect();
    const PointI o = h.Mapping()->window_offset;
    const PointI a{o.x + 50, o.y + 40}, b{o.x + 150, o.y + 140};

    h.SetRestrictions(restriction::kZoom);
    h.Drag(a, b);
    EXPECT_EQ(h.CutOutRect(), start) << "band under the zoom restriction";
    h.Post(WM_MOUSEMOVE, 0, a);
    h.Post(WM_LBUTTONDOWN, MK_LBUTTON, a);
    h.Post(WM_LBUTTONUP, 0, a);
    PumpPending();
    EXPECT_EQ(h.Count(event::kZoomAll), 0u) << "a click zooms all only when zooming is allowed";

    h.SetRestrictions(restriction::kScroll);
    EXPECT_FALSE(MainViewScrollBy(h.view.get(), 0, false, 1));
    h.Wheel(-120);
    SendMessageW(h.view->window(), WM_VSCROLL, SB_LINEDOWN, reinterpret_cast<LPARAM>(h.view->vertical_bar));
    h.Post(WM_MOUSEMOVE, 0, b);
    h.Post(WM_LBUTTONDOWN, MK_LBUTTON, b);
    h.Post(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, b);
    h.Post(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, a);
    h.Post(WM_LBUTTONUP, MK_RBUTTON, a);
    h.Post(WM_RBUTTONUP, 0, a);
    PumpPending();
    EXPECT_EQ(h.CutOutRect(), start) << "scrolling under the scroll restriction";
    EXPECT_TRUE(MainViewScrollBy(h.view.get(), 1, false, 1)) << "a caller that waives the restriction";
    PumpPending();

    // Allowed again, each of them works.
    h.SetRestrictions(0);
    RectD before = h.CutOutRect();
    h.Wheel(-120);
    EXPECT_GT(h.CutOutRect().origin.y, before.origin.y) << "wheel";
    before = h.CutOutRect();
    const PointI p = h.Mapping()->window_offset;
    const PointI c{p.x + 150, p.y + 140}, d{p.x + 100, p.y + 100};
    h.Post(WM_MOUSEMOVE, 0, c);
    h.Post(WM_LBUTTONDOWN, MK_LBUTTON, c);
    h.Post(WM_RBUTTONDOWN, MK_LBUTTON | MK_RBUTTON, c);
    h.Post(WM_MOUSEMOVE, MK_LBUTTON | MK_RBUTTON, d);
    h.Post(WM_LBUTTONUP, MK_RBUTTON, d);
    h.Post(WM_RBUTTONUP, 0, d);
    PumpPending();
    EXPECT_GT(h.CutOutRect().origin.x, before.origin.x) << "panning";
    EXPECT_EQ(h.Count(event::kContextMenu), 0u) << "panning opens no menu";
    h.Post(WM_MOUSEMOVE, 0, d);
    h.Post(WM_LBUTTONDOWN, MK_LBUTTON, d);
    h.Post(WM_LBUTTONUP, 0, d);
    PumpPending();
    EXPECT_EQ(h.Count(event::kZoomAll), 1u) << "click";
}

TEST(MainViewMouse, TheCrossHairFollowsTheMouseInXorAndLeavesWithIt) {
    const std::string dir = MakeScratchDir("main_view_cross_hair");
    MakeDrawings(dir);
    const std::string path = dir + "/bilevel.tif";
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(path));
    ZoomOne(h);
    ASSERT_TRUE(h.Print() && h.Mapping());
    const PointI o = h.Mapping()->window_offset;
    const Reference reference = Decode(path, "", 240, 160);
    const PointI at{o.x + 30, o.y + 20};  // inside the black rectangle
    h.Post(WM_MOUSEMOVE, 0, at);
    PumpPending();
    std::unique_ptr<DibCanvas> canvas = h.Print();
    for (const PointI& p : {PointI{30, 5}, PointI{30, 100}, PointI{150, 20}, PointI{5, 20}}) {
        EXPECT_EQ(canvas->Pixel(o.x + p.x, o.y + p.y), reference.Pixel(p.x, p.y) ^ 0xFFFF00u)
            << p.x << ", " << p.y;
    }
    EXPECT_EQ(canvas->Pixel(o.x + 31, o.y + 21), reference.Pixel(31, 21));
    // Where the lines cross they are drawn twice, which cancels.
    EXPECT_EQ(canvas->Pixel(at.x, at.y), reference.Pixel(30, 20));
    // Outside the page the lines run on to the edges of the picture.
    EXPECT_EQ(canvas->Pixel(2, at.y), kLightGrey ^ 0xFFFF00u);
    PostMessageW(h.view->window(), WM_MOUSELEAVE, 0, 0);
    PumpPending();
    canvas = h.Print();
    EXPECT_EQ(CompareWindow(*canvas, o, 240, 160, reference, PointI{}), "");
}

TEST(MainViewMouse, TheWheelOverAFittedPageDoesNothing) {
    const std::string dir = MakeScratchDir("main_view_wheel");
    MakeDrawings(dir);
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/bilevel.tif"));
    ASSERT_TRUE(h.Print() && h.Mapping());
    const RectD fitted = h.CutOutRect();
    EXPECT_FALSE(IsWindowEnabled(h.view->vertical_bar));
    h.Wheel(-240);
    h.Wheel(120, MK_CONTROL);
    EXPECT_FALSE(MainViewScrollBy(h.view.get(), 0, false, 3));
    const RectD after = h.CutOutRect();
    EXPECT_EQ(after, fitted);
    EXPECT_TRUE(std::isfinite(after.origin.x) && std::isfinite(after.origin.y));
}

TEST(MainViewMouse, TheRightButtonOpensTheMenuOnlyWithoutDragging) {
    const std::string dir = MakeScratchDir("main_view_menu");
    MakeDrawings(dir);
    ViewHarness h(420, 330);
    Ref<DocItem> page = h.Show(dir + "/bilevel.tif");
    ASSERT_TRUE(h.view && page);
    ASSERT_TRUE(h.Print() && h.Mapping());
    const PointI o = h.Mapping()->window_offset;
    const PointI at{o.x + 33, o.y + 44};
    h.Post(WM_MOUSEMOVE, 0, at);
    h.Post(WM_RBUTTONDOWN, MK_RBUTTON, at);
    h.Post(WM_RBUTTONUP, 0, at);
    PumpPending();
    ASSERT_EQ(h.Count(event::kContextMenu), 1u);
    for (const ReceivedEvent& received : h.recorder->events) {
        if (received.code != event::kContextMenu) continue;
        Ref<RefCounted> object = VariantGetObject(received.argument);
        auto* request = dynamic_cast<ContextMenuRequest*>(object.get());
        ASSERT_TRUE(request);
        POINT screen{at.x, at.y};
        ClientToScreen(h.view->window(), &screen);
        EXPECT_EQ(request->item_id, page->id);
        EXPECT_EQ(request->screen_x, screen.x);
        EXPECT_EQ(request->screen_y, screen.y);
    }
    const PointI away{at.x + 40, at.y + 30};
    h.Post(WM_RBUTTONDOWN, MK_RBUTTON, at);
    h.Post(WM_MOUSEMOVE, MK_RBUTTON, away);
    h.Post(WM_RBUTTONUP, 0, away);
    PumpPending();
    EXPECT_EQ(h.Count(event::kContextMenu), 1u) << "a right-button drag opens nothing";
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
    const std::string dir = MakeScratchDir("main_view_settles");
    MakeDrawings(dir);
    ASSERT_TRUE(h.Show(dir + "/grey.tif"));
    UpdateWindow(h.view->window());
    PumpUntil([] { return false; }, 300);
    const size_t computed = h.Count(event::kMainViewRecomputed);
    EXPECT_GE(computed, 1u);
    InvalidateRect(h.view->window(), nullptr, FALSE);
    PumpUntil([] { return false; }, 300);
    EXPECT_EQ(h.Count(event::kMainViewRecomputed), computed) << "a repaint alone computes nothing";
    EXPECT_GT(MainViewGetScale(h.view.get()), 0.0);
}

TEST(MainViewMeasuring, TheKeyStartsAndEndsAMeasurementDrawnAtTheMouse) {
    const std::string dir = MakeScratchDir("main_view_measuring");
    MakeDrawings(dir);
    ViewHarness h(420, 330);
    ASSERT_TRUE(h.view && h.Show(dir + "/grey.tif"));
    ASSERT_TRUE(h.Print() && h.Mapping());
    const PointI o = h.Mapping()->window_offset;
    h.Post(WM_MOUSEMOVE, 0, PointI{o.x + 40, o.y + 150});
    PumpPending();
    ViewerSendAction(h.context(), event::kMeasuringPoint);
    ASSERT_TRUE(h.view->anchor);
    const PointD anchor = h.view->anchor->point;
    EXPECT_EQ(ViewMapPageToDevice(h.Mapping().get(), anchor), (PointI{o.x + 40, o.y + 150}));
    h.Post(WM_MOUSEMOVE, 0, PointI{o.x + 150, o.y + 200});
    PumpPending();
    std::unique_ptr<DibCanvas> canvas = h.Print();
    EXPECT_GT(canvas->Count(kRed), 50) << "the line and the box";
    // The box stands at the upper right of the mouse when there is room.
    int red_upper_right = 0;
    for (int y = o.y + 200 - 140; y < o.y + 200 - 20; ++y) {
        for (int x = o.x + 150 + 20; x < o.x + 150 + 60; ++x) red_upper_right += canvas->Pixel(x, y) == kRed;
    }
    EXPECT_GT(red_upper_right, 10);
    ViewerSendAction(h.context(), event::kMeasuringPoint);
    EXPECT_FALSE(h.view->anchor);
    canvas = h.Print();
    EXPECT_EQ(canvas->Count(kRed), 0);
}

TEST(MainViewWindow, AFloatingViewIsAToolWindowThatKeepsItsPlaceAndDocksWhenClosed) {
    ViewHarness h(300, 200);
    ASSERT_TRUE(h.view);
    Ref<Settings> settings = h.settings();
    SettingsSetPopupsMoveable(settings.get(), nullptr, kCallerInternal, false);
    RectI stored;
    RectISet(stored, 30, 40, 260, 180);
    SettingsSetPaneRect(settings.get(), nullptr, kCallerViewer, kPaneMainView, stored);
    MainViewSetDisplayMode(h.view.get(), kMainViewFloating, h.host, RectI{});
    HWND window = h.view->window();
    ASSERT_TRUE(window);
    EXPECT_TRUE(GetWindowLongW(window, GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(GetWindowLongW(window, GWL_STYLE) & WS_THICKFRAME);
    HMENU menu = GetSystemMenu(window, FALSE);
    for (UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE, SC_RESTORE, SC_MOVE}) {
        EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND), UINT(-1)) << command;
    }
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), UINT(-1));
    RECT frame, placed;
    GetWindowRect(h.host, &frame);
    GetWindowRect(window, &placed);
    EXPECT_EQ(placed.left - frame.left, 30);
    EXPECT_EQ(placed.top - frame.top, 40);
    EXPECT_EQ(placed.right - placed.left, 260);

    // Moved by the user, the place is kept relative to the frame.
    SetWindowPos(window, nullptr, frame.left + 50, frame.top + 70, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    const RectI kept = SettingsGetPaneRect(settings.get(), kPaneMainView);
    EXPECT_EQ(kept.origin, (PointI{50, 70}));
    EXPECT_EQ(kept.size, (SizeI{260, 180}));

    // A movable view is made again with a frame to drag.
    SettingsSetPopupsMoveable(settings.get(), nullptr, kCallerInternal, true);
    MainViewSetDisplayMode(h.view.get(), kMainViewFloating, h.host, RectI{});
    EXPECT_TRUE(GetWindowLongW(h.view->window(), GWL_STYLE) & WS_THICKFRAME);
    EXPECT_NE(GetMenuState(GetSystemMenu(h.view->window(), FALSE), SC_MOVE, MF_BYCOMMAND), UINT(-1));

    const size_t before = h.Count(event::kShowZoomView);
    SendMessageW(h.view->window(), WM_CLOSE, 0, 0);
    ASSERT_EQ(h.Count(event::kShowZoomView), before + 1);
    EXPECT_EQ(VariantToInt(h.recorder->events.back().argument), int32_t(kMainViewDocked));
    // Nothing of this test goes to the registry when the viewer ends.
    ScopedLock hold(settings->lock);
    settings->changed = 0;
}
