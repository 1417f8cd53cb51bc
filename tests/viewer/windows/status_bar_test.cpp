// The status bar of a running frame, read from the control itself: the
// texts of its parts as the hub's notifications change them, the owner-drawn
// progress bar through WM_PRINTCLIENT, and the actions its clicks post.
#include "viewer/windows/status_bar.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <string>

#include "tests/viewer/views/dib_canvas.h"
#include "tests/viewer/windows/frame_test_support.h"
#include "viewer/core/event_codes.h"
#include "viewer/core/length_text.h"
#include "viewer/core/open_params.h"
#include "viewer/core/scale.h"

namespace {

constexpr uint32_t kBlue = 0x0000FF;

std::wstring PartText(HWND control, int part) {
    const LRESULT length = LOWORD(SendMessageW(control, SB_GETTEXTLENGTHW, part, 0));
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(control, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(length));
    return text;
}

struct StatusHarness {
    StatusHarness() : viewer("PlovexStatusBarTest") {
        // The recorder keeps the dialogs that clicks ask for from opening.
        viewer.recorder->on_notify = [](RecordingListener* self, HubEvent* event) {
            self->answer = event->code == event::kScaleDialog || event->code == event::kGoToPage ||
                                   event->code == event::kZoomFactor
                               ? kHubStop
                               : kHubContinue;
        };
        bar = viewer.frame->status_bar.get();
        control = StatusBarGetWindow(bar);
    }
    ViewerContext* context() const { return viewer.context.get(); }
    std::wstring Text(int part) const { return PartText(control, part); }
    // Waits, bounded, until the part shows the text.
    bool Shows(int part, const std::wstring& text) const {
        return PollUntil([&] { return Text(part) == text; }, 5000);
    }
    std::wstring LanguageText(uint32_t id) const { return ViewerTextOrEmpty(viewer.context.get(), id); }
    // The blue area of the control as it paints itself (the progress part
    // is owner-drawn by the frame): its bounding box, and whether it fills it.
    struct Blue {
        int count = 0, left = 0, right = -1, top = 0, bottom = -1;
        int Width() const { return right - left + 1; }
        int Height() const { return bottom - top + 1; }
        bool Solid() const { return count == Width() * Height(); }
    };
    Blue BlueArea() const {
        RECT client = {};
        GetClientRect(control, &client);
        DibCanvas canvas(client.right, client.bottom, 0xFFFFFF);
        SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(canvas.dc()), PRF_CLIENT);
        Blue blue;
        blue.left = client.right;
        blue.top = client.bottom;
        // The progress part and a margin around it; blue anywhere else
        // would still change the count of the whole control.
        RECT part = {};
        SendMessageW(control, SB_GETRECT, kStatusPartProgress, reinterpret_cast<LPARAM>(&part));
        const int from = std::max(0, int(part.left) - 10),
                  to = std::min(int(client.right), int(part.right) + 10);
        for (int y = 0; y < client.bottom; ++y) {
            for (int x = from; x < to; ++x) {
                if (canvas.Pixel(x, y) != kBlue) continue;
                ++blue.count;
                blue.left = std::min(blue.left, x);
                blue.right = std::max(blue.right, x);
                blue.top = std::min(blue.top, y);
                blue.bottom = std::max(blue.bottom, y);
            }
        }
        EXPECT_EQ(canvas.Count(kBlue), blue.count) << "blue outside the progress part";
        return blue;
    }
    void Progress(double fraction) const {
        Variant argument;
        VariantInitDouble(argument, fraction);
        ViewerSendActionArg(viewer.context.get(), event::kProgress, argument);
        PumpPending();
    }

    FrameViewer viewer;
    StatusBarWindow* bar = nullptr;
    HWND control = nullptr;
};

std::string MakeA4Pages() {
    const std::string dir = MakeScratchDir("status_bar");
    // 595 x 842 pixels at 72 dpi: 209.9 x 297.0 mm.
    EXPECT_TRUE(MakeFilesIn(dir,
                            "convert -density 72 -units PixelsPerInch -size 595x842 xc:white xc:white"
                            " xc:white -compress group4 a4.tif"));
    return dir + "/a4.tif";
}

TEST(StatusBar, PartsFollowTheActivePage) {
    StatusHarness h;
    ASSERT_NE(h.control, nullptr);
    EXPECT_EQ(SendMessageW(h.control, SB_GETPARTS, 0, 0), kStatusPartCount);
    ASSERT_TRUE(h.viewer.Open({MakeA4Pages()}));
    Ref<DocItem> document = h.viewer.Document(0);
    Ref<DocItem> second = DocItemGetChild(document.get(), 1);
    ASSERT_NE(second, nullptr);
    ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), 0).get());

    wchar_t expected[100];
    swprintf(expected, 100, h.LanguageText(1846).c_str(), 1, 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);
    EXPECT_TRUE(h.Shows(kStatusPartPaper, L"\tISO A4")) << h.Text(kStatusPartPaper);
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"\t" + h.LanguageText(2070) + L" " + h.LanguageText(2071)))
        << h.Text(kStatusPartScale);

    ViewerSetActiveItem(h.context(), second.get());
    swprintf(expected, 100, h.LanguageText(1846).c_str(), 2, 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);

    // The scale as the scale dialog sets it: on the page and the document.
    Ref<Scale> scale = ScaleCreate(1, 50);
    OpenParamsSetScale(second->GetOpenParams().get(), scale.get());
    if (Ref<OpenParams> params = document->GetOpenParams()) OpenParamsSetScale(params.get(), scale.get());
    ViewerPostActionArg(h.context(), event::kDrawingScaleChanged, VariantOfInt(0));
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"\t" + h.LanguageText(2070) + L" 1 : 50"))
        << h.Text(kStatusPartScale);

    // The document itself: its page count; no paper format.
    ViewerSetActiveItem(h.context(), document.get());
    swprintf(expected, 100, h.LanguageText(1847).c_str(), 3);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t" + std::wstring(expected))) << h.Text(kStatusPartPage);
    EXPECT_TRUE(h.Shows(kStatusPartPaper, L"\t")) << h.Text(kStatusPartPaper);

    // Without any document the scale part is empty and the page part a tab.
    AppCloseAll(h.viewer.root.get(), h.context());
    EXPECT_TRUE(h.Shows(kStatusPartScale, L"")) << h.Text(kStatusPartScale);
    EXPECT_TRUE(h.Shows(kStatusPartPage, L"\t")) << h.Text(kStatusPartPage);
}

// The parts are set with the control's redrawing off (as Wine does it, the
// control is not visible meanwhile): a shown bar is visible again and waits
// for its paint, a hidden one stays hidden, and both hold the new texts.
TEST(StatusBar, NewTextsLeaveTheBarAsShownOrHidden) {
    StatusHarness h;
    ASSERT_TRUE(h.viewer.Open({MakeA4Pages()}));
    Ref<DocItem> document = h.viewer.Document(0);
    wchar_t expected[100];
    for (const int32_t mode : {0, 1}) {
        SCOPED_TRACE(mode);
        h.viewer.SetMode(kPaneStatusBar, mode);
        PumpPending();
        for (const uint32_t page : {1u, 0u}) {
            ValidateRect(h.control, nullptr);
            ViewerSetActiveItem(h.context(), DocItemGetChild(document.get(), page).get());
            StatusBarRefresh(h.bar, event::kActiveItemChanged);
            swprintf(expected, 100, h.LanguageText(1846).c_str(), int(page + 1), 3);
            EXPECT_EQ(h.Text(kStatusPartPage), L"\t" + std::wstring(expected));
            EXPECT_EQ((GetWindowLongW(h.control, GWL_STYLE) & WS_VISIBLE) != 0, mode == 1);
            if (mode == 1) {
                EXPECT_TRUE(GetUpdateRect(h.control, nullptr, FALSE));
            }
            PumpPending();
        }
    }
}

TEST(StatusBar, CutOutSizeFollowsTheLengthUnitAndZoomTheFixedFactor) {
    StatusHarness h;
    Settings* settings = h.viewer.settings.get();
    SettingsSetLengthUnit(settings, nullptr, kCallerInternal, kLengthMillimetres);
    ASSERT_TRUE(h.viewer.Open({MakeA4Pages()}));
    PumpPending();
    ASSERT_TRUE(PollUntil([&] { return h.Text(kStatusPartCutOut).size() > 1; }, 5000));
    const std::wstring in_millimetres = h.Text(kStatusPartCutOut);
    EXPECT_NE(in_millimetres.find(L" x "), std::wstring::npos) << in_millimetres;

    SettingsSetLengthUnit(settings, h.context(), kCallerViewer, kLengthInch);
    EXPECT_TRUE(PollUntil([&] { return h.Text(kStatusPartCutOut) != in_millimetres; }, 5000));
    const std::wstring in_inches = h.Text(kStatusPartCutOut);
    EXPECT_NE(in_inches.find(L" x "), std::wstring::npos) << in_inches;
    SettingsSetLengthUnit(settings, h.context(), kCallerViewer, kLengthMillimetres);
    EXPECT_TRUE(h.Shows(kStatusPartCutOut, in_millimetres)) << h.Text(kStatusPartCutOut);

    // A fixed zoom factor is shown as such once the view has taken it.
    SettingsSetZoomFactor(settings, h.context(), kCallerViewer, 2.0);
    EXPECT_TRUE(h.Shows(kStatusPartZoom, L"\t200 % " + h.LanguageText(1878))) << h.Text(kStatusPartZoom);
    SettingsSetZoomFactor(settings, h.context(), kCallerViewer, 0.0);
    EXPECT_TRUE(PollUntil(
        [&] {
            const std::wstring zoom = h.Text(kStatusPartZoom);
            return zoom.size() > 3 && zoom.find(h.LanguageText(1878)) == std::wstring::npos;
        },
        5000))
        << h.Text(kStatusPartZoom);
    EXPECT_EQ(h.Text(kStatusPartZoom).substr(h.Text(kStatusPartZoom).size() - 2), L" %");
}

TEST(StatusBar, StatusTextNeedsASender) {
    StatusHarness h;
    Variant text;
    VariantInitString(text, WString(L"dragging"));
    ViewerSendActionArg(h.context(), event::kStatusText, text);
    EXPECT_EQ(h.Text(kStatusPartText), L"dragging");
    if (Ref<EventHub> hub = AppGetEventHub(h.viewer.root.get())) {
        VariantInitString(text, WString(L"anonymous"));
        EventHubSendArg(hub.get(), nullptr, event::kStatusText, text);
    }
    EXPECT_EQ(h.Text(kStatusPartText), L"dragging");
}

TEST(StatusBar, ProgressBarShowsOnlyFractionsFromZeroToOne) {
    EXPECT_EQ(StatusBarProgressPercent(std::nan("")), -1);

    StatusHarness h;
    RECT part = {};
    SendMessageW(h.control, SB_GETRECT, kStatusPartProgress, reinterpret_cast<LPARAM>(&part));
    EXPECT_EQ(h.BlueArea().count, 0);

    h.Progress(1.0);
    EXPECT_EQ(h.bar->progress_drawn, 100);
    const StatusHarness::Blue full = h.BlueArea();
    // Inside the part, a few pixels in from its edges, filled.
    EXPECT_TRUE(full.Solid());
    EXPECT_GE(full.left, part.left + 2);
    EXPECT_LE(full.right, part.right - 2);
    EXPECT_GE(full.Width(), part.right - part.left - 8);
    EXPECT_GE(full.top, part.top + 4);
    EXPECT_LE(full.bottom, part.bottom - 4);
    EXPECT_GT(full.Height(), 0);
    // Listeners after the status bar never see the progress.
    EXPECT_EQ(h.viewer.Count(event::kProgress), 1u);

    h.Progress(0.5);
    const StatusHarness::Blue half = h.BlueArea();
    EXPECT_TRUE(half.Solid());
    EXPECT_EQ(half.left, full.left);
    EXPECT_NEAR(half.Width(), full.Width() / 2.0, 1.0);

    h.Progress(1.5);
    EXPECT_EQ(h.bar->progress, -1);
    EXPECT_EQ(h.BlueArea().count, 0);
    h.Progress(1.0);
    EXPECT_EQ(h.BlueArea().count, full.count);
    h.Progress(-0.1);
    EXPECT_EQ(h.BlueArea().count, 0);
    EXPECT_EQ(h.bar->progress_drawn, -1);
}

TEST(StatusBar, ClicksPostTheActionsOfTheirParts) {
    StatusHarness h;
    const auto click = [&](int part) {
        NMMOUSE mouse = {};
        mouse.hdr.hwndFrom = h.control;
        mouse.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(h.control));
        mouse.hdr.code = NM_CLICK;
        mouse.dwItemSpec = static_cast<DWORD_PTR>(part);
        const LRESULT result =
            SendMessageW(h.viewer.Frame(), WM_NOTIFY, mouse.hdr.idFrom, reinterpret_cast<LPARAM>(&mouse));
        PumpPending();
        return result;
    };
    // The program has one action more than the control from 61 on.
    const uint32_t scale_dialog = kViewerProgramBuild ? 63 : 62;
    const uint32_t zoom_factor = kViewerProgramBuild ? 62 : 61;
    EXPECT_EQ(click(kStatusPartScale), 1);
    EXPECT_EQ(h.viewer.Count(scale_dialog), 1u);
    EXPECT_EQ(click(kStatusPartPage), 1);
    EXPECT_EQ(h.viewer.Count(event::kGoToPage), 1u);
    EXPECT_EQ(VariantToInt(h.viewer.recorder->events.back().argument), -1);
    EXPECT_EQ(click(kStatusPartZoom), 1);
    EXPECT_EQ(h.viewer.Count(zoom_factor), 1u);
    for (const int part : {kStatusPartText, kStatusPartProgress, kStatusPartPaper, kStatusPartCutOut}) {
        EXPECT_EQ(click(part), 0) << part;
    }
}

}  // namespace
